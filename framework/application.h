// The application shell: the single-instance guard, the window, the start-up chain of services,
// the message pump and the paced frame loop, and the orderly tear-down.
#pragma once
#include <cstdint>

#include "framework/config_file.h"

using FrameProc = void (*)();

// The current scene: called once per frame. A scene stores another routine here to change scene;
// the new one runs from the next frame on.
extern FrameProc frameProc;
// Gives a scene routine a name for the frame statistics (--stats); the name must live as long as
// the program. Unnamed scenes count as "other".
void NameScene(FrameProc scene, const char* name);

extern int appActive;      // frames run only while nonzero
extern int clientWidth;    // client area in pixels, updated on resizing in windowed mode
extern int clientHeight;
extern uint32_t frameNumber;  // frames run so far (the first frame is frame 0)

// The player's window settings (korvan.cfg): "display.mode" (kDisplayWindow or kDisplayFullScreen;
// the "-win" switch still opens a window for one run) and "display.scaling" (kScalingSharp or
// kScalingSmooth, how the 640 x 480 frame is enlarged).
enum { kDisplayWindow = 0, kDisplayFullScreen = 1 };
enum { kScalingSharp = 0, kScalingSmooth = 1 };
extern ConfigSetting displayMode;
extern ConfigSetting displayScaling;

// Start-up chain; false means the program ends, after FreeApplication, with appExitCode.
bool InitApplication();
// The process's exit code when the start-up fails: 0 (a second instance, no display, a device
// the game cannot use, each with its own message), kBadInputScriptExit for a bad --input script.
extern int appExitCode;
// Tears down the services in reverse order; safe after a failed start-up and safe twice.
void FreeApplication();
// Removes every queued event; false once the close request has been taken.
bool PumpMessages();
// One turn of the frame loop. Once a step: input, the scene (its step and its picture), then sleep
// to the schedule. While a picture is drawn for every display refresh (display.smooth, --refresh):
// the step the next refresh's picture needs, or else that picture between two steps; frameNumber
// counts the steps either way.
void RunFrame();
// Asks the loop to end through the normal quit path.
void CloseMainWindow();
// A message box with the text and an OK button, then the whole input state is cleared.
void ShowMessage(const char* text);
void SetWindowTitle(const char* text);
// Switches between the window and full screen (the desktop's own resolution, the frame scaled
// into it), as Alt+Enter and F11 do, and remembers the choice in korvan.cfg. Nothing happens
// headless. False when the window system refuses.
bool ToggleFullScreen();
// The application comes to the front (frames run, sound resumes) or goes to the background
// (frames stop, music and effects pause where they are).
void SetApplicationActive(bool active);
// Blocks until the next window event (the loop's wait while the application is inactive).
void WaitForMessage();

// Window messages as the shell handles them (exposed for tests): the SysEvent in event, its two
// values in a and b.
void HandleWindowEvent(int event, int a, int b);

// The game's three entry points, supplied by the shell.
void GameBoot();
void GameQuit();
void GameFirstFrame();  // the per-frame driver installed as the first frameProc
