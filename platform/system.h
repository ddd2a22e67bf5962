// System services the framework stands on: the window and its events, the millisecond clock and
// sleep, message boxes, the single-instance lock, the executable's path and system information.
// Plain types only; SDL stays inside system.cpp.
#pragma once
#include <cstdint>
#include <string>

// What the event pump reports to the framework, in the terms the window procedure handles.
enum class SysEvent {
    kClose,        // the window's close button or a quit request
    kActivate,     // the window gained focus
    kDeactivate,   // the window lost focus
    kResize,       // new client size (width, height)
    kDisplayChange,
    kKeyDown,      // SDL scancode in a; b holds kSysKeyRepeat and kSysKeyAlt
    kKeyUp,
    kOther,        // any other event (joystick, mouse...): handed to the raw listener only
};

// Flags of a key event.
constexpr int kSysKeyRepeat = 1;  // the key's auto-repeat, not a new press
constexpr int kSysKeyAlt = 2;     // an Alt key was held

using SysEventHandler = void (*)(SysEvent event, int a, int b);
// Listener for every raw SDL event (as void*); input devices use it for pads.
using SysRawEventListener = void (*)(const void* sdlEvent);

struct SysInfo {
    int year, month, day, hour, minute;
    std::string osName;    // uname sysname
    int osMajor, osMinor, osBuild;
    uint64_t memAvailable, memTotal;  // bytes
};

// Starts SDL's event and video subsystems. Headless picks the offscreen video driver explicitly.
// Text input (the input method) stays off, so every key, letters included, reaches the game as a
// key and none is taken by an input method's composition.
bool SysInit(bool headless);
// Says ahead of SysInit whether the run is headless (message boxes then stay on the terminal).
void SysSetHeadless(bool headless);
void SysShutdown();
bool SysHeadless();

// Creates the 640 x 480 OpenGL-capable window, hidden until the graphics device shows it.
bool SysCreateWindow(const char* title, int width, int height);
void SysDestroyWindow();
void* SysWindowHandle();  // the SDL_Window*, for the graphics device
void SysShowWindow();
void SysShowCursor(bool show);
void SysSetWindowTitle(const char* title);
void SysSetWindowIcon(const uint8_t* bmpBytes, unsigned long size);
bool SysWindowFullscreen(bool on);
void SysGetWindowSize(int* w, int* h);

// Drains the event queue into the handler; returns false once a close request was seen.
bool SysPumpEvents(SysEventHandler handler);
void SysAddRawEventListener(SysRawEventListener listener);
// Posts a close request that the next pump reports as kClose.
void SysPostClose();
// Blocks until an event arrives (used while the window is inactive).
void SysWaitEvent();

uint32_t SysTimeMs();          // milliseconds, monotonic, wraps like a 32-bit tick counter
void SysSleepMs(uint32_t ms);

// The text goes to stderr, and a desktop message box shows it too wherever a display can (also
// before SysInit, as for the second instance); never when headless or on the off-screen driver.
void SysMessageBox(const char* caption, const char* text);

// Exclusive lock on a file of this name in the runtime directory; false when another process holds it.
bool SysAcquireInstanceLock(const char* name);
void SysReleaseInstanceLock();

// Full path of the running executable ("" when unknown).
std::string SysExecutablePath();
SysInfo SysQueryInfo();
// Writes to the debug stream, as the platform's other messages (platform/log_sink.h) do.
void SysDebugOutput(const char* text);
