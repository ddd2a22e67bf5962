#include "framework/presentation.h"

#include <cstdio>
#include <cstdlib>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/picture_pacer.h"
#include "framework/switches.h"
#include "platform/system.h"

namespace {
const char* const kVsyncWords[] = {"on", "off", nullptr};

// The game's rate, and how far a display's reported rate may stray from a multiple of it.
constexpr int kGameRate = 60;
constexpr int kRateTolerance = 1;

// Refreshes per frame on a display at 60, 120, 180 and 240 Hz.
constexpr PresentChoice kEveryKthRefresh[] = {
    {D3DPRESENT_INTERVAL_ONE, "vsync, each frame on 1 refresh", false},
    {D3DPRESENT_INTERVAL_TWO, "vsync, each frame on 2 refreshes", false},
    {D3DPRESENT_INTERVAL_THREE, "vsync, each frame on 3 refreshes", false},
    {D3DPRESENT_INTERVAL_FOUR, "vsync, each frame on 4 refreshes", false},
};

HoldBackWatch holdBackWatch;
bool heldBack = false;
int smoothRefreshHz = 0;  // the choice ApplyPresentation made last

PresentSituation CurrentSituation(int refreshHz) {
    return PresentSituation{displayVsync.value == kVsyncOn, SysHeadless(), programOptions.unpaced, heldBack, refreshHz,
                            displaySmooth.value == kSmoothOn};
}
}  // namespace

ConfigSetting displayVsync{"display.vsync", kVsyncWords, kVsyncOn,
                           "wait for the display's refresh to show each frame whole (off: shown at once, they may "
                           "tear); the game keeps its 60 frames a second either way"};

PresentChoice ChoosePresentation(const PresentSituation& s) {
    if (s.offScreen) return {D3DPRESENT_INTERVAL_IMMEDIATE, "frames are not shown, nothing waits", false};
    if (s.unpaced) return {D3DPRESENT_INTERVAL_IMMEDIATE, "--unpaced: frames shown at once, back to back", false};
    if (!s.vsyncWanted) {
        return {D3DPRESENT_INTERVAL_IMMEDIATE, "display.vsync = off: frames shown at once (they may tear)", false};
    }
    if (s.heldBack) {
        return {D3DPRESENT_INTERVAL_IMMEDIATE,
                "waiting for the display held the game below 60 frames a second: frames shown at once for the rest "
                "of the run (they may tear)",
                true};
    }
    if (s.refreshHz <= 0) return {D3DPRESENT_INTERVAL_ONE, "vsync, each frame on the next refresh", false};
    if (s.smooth && s.refreshHz > kGameRate + kRateTolerance) {
        return {D3DPRESENT_INTERVAL_ONE,
                "vsync, a picture every refresh, the moving world placed between the game's 60 steps a second", false,
                true};
    }
    const int k = (s.refreshHz + kGameRate / 2) / kGameRate;
    if (k >= 1 && k <= 4 && std::abs(s.refreshHz - k * kGameRate) <= kRateTolerance) return kEveryKthRefresh[k - 1];
    if (s.refreshHz > kGameRate) {
        return {D3DPRESENT_INTERVAL_ONE,
                "vsync, each frame on the next refresh (every frame whole; some stay a refresh longer, as the rate "
                "is no multiple of the game's 60)",
                false};
    }
    return {D3DPRESENT_INTERVAL_IMMEDIATE,
            "slower than the game's 60 frames a second: frames shown at once (they may tear), as waiting for the "
            "display would slow the game to its rate; a 60 Hz mode shows every frame whole",
            true};
}

std::string DescribePresentation(const PresentSituation& s, const PresentChoice& choice, bool fullScreen,
                                 bool driverRefused) {
    char line[512];
    if (s.offScreen) {
        std::snprintf(line, sizeof line, "display: off-screen: %s\n", choice.why);
        return line;
    }
    char rate[32];
    if (s.refreshHz > 0) {
        std::snprintf(rate, sizeof rate, "%d Hz", s.refreshHz);
    } else {
        std::snprintf(rate, sizeof rate, "refresh rate unknown");
    }
    std::snprintf(line, sizeof line, "display: %s, %s: %s%s\n", rate, fullScreen ? "full screen" : "window", choice.why,
                  driverRefused ? "; the driver cannot wait for the display here, so frames are shown at once" : "");
    return line;
}

bool NoteScheduleRestart(HoldBackWatch& watch, uint32_t frame) {
    if (watch.count == kHeldBackRestarts) {
        for (int i = 1; i < kHeldBackRestarts; ++i) watch.restarts[i - 1] = watch.restarts[i];
        watch.count -= 1;
    }
    watch.restarts[watch.count++] = frame;
    return watch.count == kHeldBackRestarts && frame - watch.restarts[0] <= kHeldBackFrames;
}

void ApplyPresentation() {
    if (!device) return;
    const PresentSituation situation = CurrentSituation(static_cast<int>(device->DisplayRefreshRate()));
    const PresentChoice choice = ChoosePresentation(situation);
    const bool refused = device->SetPresentationInterval(choice.interval) == D3DERR_NOTAVAILABLE;
    smoothRefreshHz = choice.smooth && !refused ? situation.refreshHz : 0;
    const std::string line = DescribePresentation(situation, choice, windowed == 0, refused);
    if (choice.warn) {
        LogWarning("%s", line.c_str());
    } else {
        Log("%s", line.c_str());
    }
}

void WatchPresentation(bool scheduleRestarted) {
    if (!scheduleRestarted || heldBack || !device) return;
    if (device->PresentationInterval() == D3DPRESENT_INTERVAL_IMMEDIATE) return;
    if (!NoteScheduleRestart(holdBackWatch, frameNumber)) return;
    heldBack = true;
    ApplyPresentation();
}

DWORD StartPresentationInterval(int refreshHz) { return ChoosePresentation(CurrentSituation(refreshHz)).interval; }

int SmoothRefreshHz() {
    // Off-screen, --refresh stands in for a display of that rate.
    if (SysHeadless()) {
        const int hz = programOptions.refreshHz;
        return displaySmooth.value == kSmoothOn && hz >= kGameRate ? hz : 0;
    }
    return smoothRefreshHz;
}
