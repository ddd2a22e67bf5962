// How frames are shown per display rate: the choice, run against a model of a display whose
// present waits for its refreshes and the game's own frame pacer, must keep 60 frames of logic a
// second and never tear where it waits; the watch that gives the wait up, the log line, and the
// device off-screen.
#include "framework/presentation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "framework/frame_pacer.h"
#include "framework/graphics_device.h"
#include "platform/gfx.h"
#include "tests/support/headless_device.h"
#include "tests/support/run_game.h"

namespace {

// A display refreshing `hz` times a second. A present that waits shows the frame on the first
// refresh at least `refreshes` after the one that showed the frame before, blocking the game
// until then; one that does not wait shows it at once, torn unless it fell on a refresh.
double simNow = 0.0;  // milliseconds
uint32_t SimClock() { return static_cast<uint32_t>(simNow); }
void SimSleep(uint32_t ms) { simNow += ms; }

struct DisplayRun {
    double logicRate = 0;  // frames of logic a second
    int torn = 0;
};

int RefreshesOf(DWORD interval) {
    switch (interval) {
        case D3DPRESENT_INTERVAL_ONE: return 1;
        case D3DPRESENT_INTERVAL_TWO: return 2;
        case D3DPRESENT_INTERVAL_THREE: return 3;
        case D3DPRESENT_INTERVAL_FOUR: return 4;
        default: return 0;
    }
}

DisplayRun RunOnDisplay(double hz, DWORD interval, double workMs) {
    const double refresh = 1000.0 / hz;
    const int k = RefreshesOf(interval);
    simNow = 1000.0;
    FramePacer pacer;
    InitFramePacer(pacer, SimClock, SimSleep);
    DisplayRun run;
    double lastShown = -1e9;
    constexpr int kFrames = 6000;  // 100 seconds of game
    const double start = simNow;
    for (int f = 0; f < kFrames; ++f) {
        simNow += workMs;
        if (k == 0) {
            if (std::fmod(simNow, refresh) > 1e-6) ++run.torn;
        } else {
            double shown = std::ceil(simNow / refresh - 1e-9) * refresh;
            while (shown < lastShown + k * refresh - 1e-6) shown += refresh;
            simNow = lastShown = shown;
        }
        PaceFrame(pacer);
    }
    run.logicRate = kFrames * 1000.0 / (simNow - start);
    return run;
}

PresentSituation Wanted(int hz) { return PresentSituation{true, false, false, false, hz}; }

TEST(Presentation, EachDisplayRateKeepsTheGameAtSixtyAndWaitsWhereItCan) {
    const struct {
        double hz;     // what the display really does
        int reported;  // what the system says
        DWORD interval;
    } displays[] = {
        {60.0, 60, D3DPRESENT_INTERVAL_ONE},     {59.94, 60, D3DPRESENT_INTERVAL_ONE},
        {59.94, 59, D3DPRESENT_INTERVAL_ONE},    {60.5, 61, D3DPRESENT_INTERVAL_ONE},
        {75.0, 75, D3DPRESENT_INTERVAL_ONE},     {119.88, 120, D3DPRESENT_INTERVAL_TWO},
        {144.0, 144, D3DPRESENT_INTERVAL_ONE},   {165.0, 165, D3DPRESENT_INTERVAL_ONE},
        {240.0, 240, D3DPRESENT_INTERVAL_FOUR},  {50.0, 50, D3DPRESENT_INTERVAL_IMMEDIATE},
        {30.0, 30, D3DPRESENT_INTERVAL_IMMEDIATE},
    };
    for (const auto& d : displays) {
        SCOPED_TRACE(d.reported);
        const PresentChoice choice = ChoosePresentation(Wanted(d.reported));
        EXPECT_EQ(choice.interval, d.interval);
        // A light frame and one that takes most of the fastest display's refresh.
        for (double work : {3.0, 0.85 * 1000.0 / std::max(d.hz, 60.0)}) {
            const DisplayRun run = RunOnDisplay(d.hz, choice.interval, work);
            EXPECT_GT(run.logicRate, 59.9) << work;  // 59.94 Hz paces the game at 59.94
            if (choice.interval != D3DPRESENT_INTERVAL_IMMEDIATE) {
                EXPECT_EQ(run.torn, 0) << work;
            }
        }
        EXPECT_EQ(choice.warn, d.hz < 59.0);
    }
    // Why a slower display is not waited for: the wait would hold the game to its rate.
    EXPECT_LT(RunOnDisplay(50.0, D3DPRESENT_INTERVAL_ONE, 3.0).logicRate, 50.1);
}

// display.smooth: a faster display than 60 Hz, a multiple of it included, waits for every refresh
// and gets a picture at each; 60 Hz, a slower display, and vsync off choose as before.
TEST(Presentation, SmoothPicturesWaitForEveryRefreshOfAFasterDisplay) {
    for (int hz : {75, 120, 144, 165, 240}) {
        PresentSituation s = Wanted(hz);
        s.smooth = true;
        const PresentChoice choice = ChoosePresentation(s);
        EXPECT_EQ(choice.interval, D3DPRESENT_INTERVAL_ONE) << hz;
        EXPECT_TRUE(choice.smooth) << hz;
    }
    for (int hz : {60, 61, 59, 50, 0}) {
        PresentSituation s = Wanted(hz);
        s.smooth = true;
        const PresentChoice choice = ChoosePresentation(s);
        EXPECT_FALSE(choice.smooth) << hz;
        EXPECT_EQ(choice.interval, ChoosePresentation(Wanted(hz)).interval) << hz;
    }
    PresentSituation off = Wanted(144);
    off.smooth = true;
    off.vsyncWanted = false;
    EXPECT_FALSE(ChoosePresentation(off).smooth);
}

TEST(Presentation, OffScreenUnpacedOffOrHeldBackNeverWaitAndAnUnknownRateDoes) {
    PresentSituation s = Wanted(60);
    s.offScreen = true;
    EXPECT_EQ(ChoosePresentation(s).interval, D3DPRESENT_INTERVAL_IMMEDIATE);
    s = Wanted(60);
    s.unpaced = true;
    EXPECT_EQ(ChoosePresentation(s).interval, D3DPRESENT_INTERVAL_IMMEDIATE);
    s = Wanted(60);
    s.vsyncWanted = false;
    EXPECT_EQ(ChoosePresentation(s).interval, D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_FALSE(ChoosePresentation(s).warn);  // the player's own choice
    s = Wanted(120);
    s.heldBack = true;
    EXPECT_EQ(ChoosePresentation(s).interval, D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_TRUE(ChoosePresentation(s).warn);
    EXPECT_EQ(ChoosePresentation(Wanted(0)).interval, D3DPRESENT_INTERVAL_ONE);
    EXPECT_EQ(ChoosePresentation(Wanted(300)).interval, D3DPRESENT_INTERVAL_ONE);  // five refreshes: no such wait
}

TEST(Presentation, TheWatchFiresOnTheThirdScheduleRestartWithinFiveSeconds) {
    HoldBackWatch w;
    // A course loaded now and then restarts the schedule once: never enough.
    EXPECT_FALSE(NoteScheduleRestart(w, 100));
    EXPECT_FALSE(NoteScheduleRestart(w, 500));
    EXPECT_FALSE(NoteScheduleRestart(w, 900));
    EXPECT_FALSE(NoteScheduleRestart(w, 1250));
    EXPECT_FALSE(NoteScheduleRestart(w, 1300));
    // A display that holds the game back restarts it every few dozen frames.
    EXPECT_TRUE(NoteScheduleRestart(w, 1340));
    HoldBackWatch v;
    EXPECT_FALSE(NoteScheduleRestart(v, 0));
    EXPECT_FALSE(NoteScheduleRestart(v, 150));
    EXPECT_TRUE(NoteScheduleRestart(v, kHeldBackFrames));
}

TEST(Presentation, TheLogLineNamesTheRateTheModeAndTheChoice) {
    EXPECT_EQ(DescribePresentation(Wanted(120), ChoosePresentation(Wanted(120)), true, false),
              "display: 120 Hz, full screen: vsync, each frame on 2 refreshes\n");
    const std::string refused = DescribePresentation(Wanted(0), ChoosePresentation(Wanted(0)), false, true);
    EXPECT_EQ(refused.rfind("display: refresh rate unknown, window: vsync", 0), 0u) << refused;
    EXPECT_NE(refused.find("frames are shown at once"), std::string::npos) << refused;
}

// Off-screen the device shows nothing, so it never waits, whatever it is asked; the start-up says so.
TEST(Presentation, TheOffScreenDeviceNeverWaits) {
    ASSERT_TRUE(StartHeadlessDevice());
    EXPECT_NE(ReadFile(HeadlessDeviceLogPath()).find("display: off-screen: frames are not shown, nothing waits\n"),
              std::string::npos);
    EXPECT_EQ(device->PresentationInterval(), D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_EQ(device->SetPresentationInterval(D3DPRESENT_INTERVAL_ONE), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device->PresentationInterval(), D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_EQ(device->SetPresentationInterval(D3DPRESENT_INTERVAL_IMMEDIATE), D3D_OK);
    EXPECT_EQ(device->SetPresentationInterval(3), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DisplayRefreshRate(), 0u);
    StopHeadlessDevice();
}

}  // namespace
