// How the frames are shown: waiting for the display's refresh (vertical sync) so no frame is ever
// shown torn, while the frame pacer keeps the game at its fixed 60 frames of logic a second. The
// choice follows the display's refresh rate and korvan.cfg's display.vsync, is logged with the
// rate, and is given up for the run when the display's wait is seen holding the game back.
#pragma once
#include <cstdint>
#include <string>

#include "framework/config_file.h"
#include "platform/gfx.h"

// "display.vsync": kVsyncOn (the default) or kVsyncOff (frames shown at once; they may tear).
enum { kVsyncOn = 0, kVsyncOff = 1 };
extern ConfigSetting displayVsync;

// What the choice is made from.
struct PresentSituation {
    bool vsyncWanted;  // display.vsync
    bool offScreen;    // --headless: nothing is shown, so nothing may wait
    bool unpaced;      // --unpaced: frames back to back, as fast as they go
    bool heldBack;     // the display's wait was seen holding the game below 60 frames a second
    int refreshHz;     // the display's refresh rate; 0 when the system does not say
    bool smooth = false;  // display.smooth: a picture for every refresh of a display faster than 60 Hz
};

struct PresentChoice {
    DWORD interval;    // D3DPRESENT_INTERVAL_: ONE to FOUR wait for the display, IMMEDIATE does not
    const char* why;   // for the log
    bool warn;         // vsync was wanted and cannot be had: the line goes to the terminal too
    bool smooth = false;  // a picture every refresh, the moving world placed between the steps
};

// The rules. A display at 60 Hz, or at a multiple of it (within 1 Hz: 59.94 Hz is reported as 59
// or 60), shows each frame on the same number of refreshes: ONE at 60 Hz, TWO at 120, up to FOUR
// at 240. A faster display of another rate (75, 144 Hz) waits for the next refresh: every frame
// is shown whole, some one refresh longer than others, and the pacer still runs 60 a second. A
// display slower than 60 Hz (50 Hz) cannot show 60 frames a second: waiting for it would slow the
// game to its rate, so frames are shown at once (they may tear). An unknown rate waits for the
// next refresh, as most displays run at 60 Hz or faster (the watch below catches one that does
// not). Off-screen, unpaced, display.vsync off or held back: at once. With display.smooth on, a
// display faster than 60 Hz (120 Hz as well as 144) waits for every refresh and gets a picture for
// each, the moving world placed between the steps.
PresentChoice ChoosePresentation(const PresentSituation& situation);

// The debug log's line for a choice: the rate, window or full screen, and what was chosen; when
// the driver did not take the wait, that too ("display: 60 Hz, full screen: vsync, each frame on
// 1 refresh").
std::string DescribePresentation(const PresentSituation& situation, const PresentChoice& choice, bool fullScreen,
                                 bool driverRefused);

// Schedule restarts of the frame pacer (a frame four periods or more behind) within this many
// frames that show the display's wait holding the game back.
constexpr int kHeldBackRestarts = 3;
constexpr uint32_t kHeldBackFrames = 300;

// Keeps the frames of the last schedule restarts.
struct HoldBackWatch {
    uint32_t restarts[kHeldBackRestarts] = {};
    int count = 0;
};
// Notes a restart at frame `frame`; true when it is the kHeldBackRestarts-th within
// kHeldBackFrames frames.
bool NoteScheduleRestart(HoldBackWatch& watch, uint32_t frame);

// The interval the device is made with, for a display at that rate (its presentation parameters).
DWORD StartPresentationInterval(int refreshHz);
// Chooses for the display the window is on now and sets the device's presentation interval,
// logging the line above. Called at start-up once the window has its mode, after a switch between
// window and full screen, and when the window moves to another display.
void ApplyPresentation();
// The pacer's verdict on each frame: a frame that restarted the schedule while the device waits
// for the display counts toward the watch; once it fires, frames are shown at once for the rest of
// the run, with a warning on the terminal.
void WatchPresentation(bool scheduleRestarted);
// The rate of the display the pictures are drawn for, one for every refresh, while vsync waits for
// them (display.smooth on, a display faster than 60 Hz), or of the display --refresh stands in for
// off-screen; 0 when a picture is drawn once a step.
int SmoothRefreshHz();
