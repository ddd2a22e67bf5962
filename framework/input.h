// Keyboard, pad and mouse state, polled once per frame before the scene runs. Every query answers
// with two bits: bit 1 = on in this frame, bit 0 = on in the previous frame, so 0 = up, 2 = just
// pressed, 3 = held, 1 = just released. Holding Escape closes the program.
#pragma once
#include <cstdint>

#include "framework/config_file.h"
#include "platform/input.h"  // the DIK_ scan codes

constexpr int kMaxPads = kInputMaxPads;
constexpr int kPadInputs = kInputPadInputs;

// Pad input numbers: the directions of the x and y axes, the z axis, then buttons 1 to 8.
enum : int {
    kPadUp = 0,
    kPadDown = 1,
    kPadLeft = 2,
    kPadRight = 3,
    kPadZBelow = 4,
    kPadZAbove = 5,
    kPadButton1 = 6,  // buttons 1..8 are kPadButton1 + 0 .. kPadButton1 + 7
};

// An axis counts as pushed only strictly beyond this deflection (of 1000): the designed value,
// and the default of the player's dead zone (korvan.cfg "pad.dead_zone"), which replaces it.
constexpr int kPadAxisThreshold = 500;
extern ConfigSetting padDeadZone;

// The first pad's rumble, korvan.cfg "input.rumble": kRumbleOn (the default) or kRumbleOff.
enum : int { kRumbleOn = 0, kRumbleOff = 1 };
extern ConfigSetting padRumble;

extern uint8_t keys[256];      // bit 7 while the key is down, by scan code
extern uint8_t prevKeys[256];
extern int quitKey;            // the key whose press closes the program (DIK_ESCAPE)
extern uint8_t pads[kMaxPads][kPadInputs];  // 0x80 while the input is on
extern uint8_t prevPads[kMaxPads][kPadInputs];
extern int padCount;           // pads attached (0..8): found at start-up, then as they come and go
extern int padsEnabled;        // controllers are polled only while nonzero

struct MouseSnapshot {
    int x = 0, y = 0;   // client coordinates, clamped to the client area
    int wheel = 0;      // movement since the last frame, 120 per notch
    uint8_t buttons[4] = {0, 0, 0, 0};  // left, right, middle, extra: 0x80 while held
};
extern MouseSnapshot mouse;
extern MouseSnapshot prevMouse;

// Opens the keyboard, mouse and controllers and, with --input, the input script. A bad script is
// reported with its line (in the log and on stderr) and opens nothing: false, and the program
// ends with kBadInputScriptExit after the normal tear-down, before the first frame.
bool InitDirectInput();
void FreeInput();
// The per-frame poll: scripted events of this frame, keyboard, mouse, controllers.
void UpdateInput();
// The quit key (Escape) is down in this frame's poll: the frame loop then closes the program.
bool QuitKeyDown();
// The quit key does not close the program until a poll sees it up: a screen that waits for any
// key (Escape there means "keep what was") calls this every frame it waits.
void HoldBackQuitKey();
// Every key, pad input and mouse button reads as up until the next poll.
void ClearInput();

// A pulse of the first pad's motors, each 0..1 of its strength, for `ms` milliseconds (a new
// pulse replaces a running one). Nothing while input.rumble is off or there is no pad; a pad
// without rumble gets nothing and is logged once.
void RumblePad(float low, float high, int ms);
// Stops the first pad's motors at once.
void StopPadRumble();

int KeyState(int code);
int PadState(int pad, int index);
void SetPadsEnabled(bool enabled);
void SetCursorPosition(int x, int y);

constexpr int kBadInputScriptExit = 2;

// The six direction bytes and eight button bytes of one controller from its axes and buttons; a
// direction is on strictly beyond the dead zone.
void PadBytesFromReading(const InputPadReading& reading, uint8_t out[kPadInputs]);
