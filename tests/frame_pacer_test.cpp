// The frame schedule: sleep to 16/20 ms slots, catch up after a slow frame, restart after a stall.
#include "framework/frame_pacer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
uint32_t fakeNow = 0;
std::vector<uint32_t> sleeps;
uint32_t FakeClock() { return fakeNow; }
void FakeSleep(uint32_t ms) {
    sleeps.push_back(ms);
    fakeNow += ms;
}

FramePacer StartPacer(uint32_t t0) {
    fakeNow = t0;
    sleeps.clear();
    FramePacer p;
    InitFramePacer(p, FakeClock, FakeSleep);
    return p;
}
}  // namespace

TEST(FramePacer, ShortFramesSleepToTheSixFrameCycle) {
    FramePacer p = StartPacer(1000);
    for (int i = 0; i < 12; ++i) {
        fakeNow += 10;  // each frame's work takes 10 ms
        PaceFrame(p);
    }
    ASSERT_EQ(sleeps.size(), 12u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(sleeps[i], (i % 6 == 5) ? 10u : 6u) << "frame " << i;
    // Twelve frames take exactly 200 ms: 60 frames per second.
    EXPECT_EQ(fakeNow, 1200u);
    EXPECT_EQ(p.frameStartTime, 1200u);
}

TEST(FramePacer, SlowFrameIsCaughtUpWithoutSleeping) {
    FramePacer p = StartPacer(0);
    fakeNow += 30;  // 30 ms: late, but under four periods
    PaceResult r = PaceFrame(p);
    EXPECT_FALSE(r.onTime);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(p.frameStartTime, 16u);
    // The next frame starts 14 ms behind its slot; 2 ms of work still leaves it late: no sleep.
    fakeNow += 2;
    PaceFrame(p);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(p.frameStartTime, 32u);
    // Now a 1 ms frame fits: 32 - 33 is behind, 33 - 32 = 1 < 16, so it sleeps 15.
    fakeNow += 1;
    PaceFrame(p);
    ASSERT_EQ(sleeps.size(), 1u);
    EXPECT_EQ(sleeps[0], 15u);
}

TEST(FramePacer, StallOfFourPeriodsRestartsTheSchedule) {
    FramePacer p = StartPacer(500);
    fakeNow += 64;  // exactly four 16 ms periods
    PaceResult r = PaceFrame(p);
    EXPECT_FALSE(r.onTime);
    EXPECT_TRUE(r.restarted);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(p.frameStartTime, fakeNow - 16u);
    // 63 ms would only have been caught up.
    FramePacer q = StartPacer(500);
    fakeNow += 63;
    EXPECT_FALSE(PaceFrame(q).restarted);
    EXPECT_EQ(q.frameStartTime, 516u);
}

TEST(FramePacer, LoadingBeforeTheFirstFrameIsNotCountedLate) {
    // Without a restart the boot's three seconds of loading make the first two frames late.
    FramePacer p = StartPacer(100);
    fakeNow += 3000;
    fakeNow += 2;
    EXPECT_FALSE(PaceFrame(p).onTime);
    fakeNow += 2;
    EXPECT_FALSE(PaceFrame(p).onTime);
    // With it the first frame sleeps out its 16 ms slot and every frame keeps its slot.
    FramePacer q = StartPacer(100);
    fakeNow += 3000;
    RestartSchedule(q);
    const uint32_t start = fakeNow;
    for (int i = 0; i < 30; ++i) {
        fakeNow += 2;
        PaceResult r = PaceFrame(q);
        EXPECT_TRUE(r.onTime) << "frame " << i;
    }
    EXPECT_EQ(sleeps.front(), 14u);
    EXPECT_EQ(fakeNow - start, 500u);
}

TEST(FramePacer, LongFrameOfTheCycleRestartsOnlyAtEightyMs) {
    FramePacer p = StartPacer(0);
    for (int i = 0; i < 5; ++i) {
        fakeNow += 1;
        PaceFrame(p);
    }
    // The sixth frame is the 20 ms one: 79 ms behind still catches up, 80 restarts.
    uint32_t start = p.frameStartTime;
    fakeNow = start + 79;
    PaceFrame(p);
    EXPECT_EQ(p.frameStartTime, start + 20);
}

TEST(FramePacer, RateIsMeasuredEveryThirtyFrames) {
    FramePacer p = StartPacer(0);
    p.sleeping = false;  // keep the clock under the test's control
    for (int i = 0; i < 29; ++i) {
        fakeNow += 20;
        PaceFrame(p);
        EXPECT_FLOAT_EQ(p.fps, 60.0f);
    }
    fakeNow = 500;  // thirty frames in exactly 500 ms
    PaceFrame(p);
    EXPECT_FLOAT_EQ(p.fps, 60.0f);
    EXPECT_EQ(p.fpsCount, 0);
    for (int i = 0; i < 30; ++i) {
        fakeNow += 25;  // 750 ms for the next thirty
        PaceFrame(p);
    }
    EXPECT_FLOAT_EQ(p.fps, 40.0f);
}

TEST(FramePacer, UnpacedRunKeepsTheScheduleButNeverSleeps) {
    FramePacer p = StartPacer(0);
    p.sleeping = false;
    fakeNow += 1;
    PaceResult r = PaceFrame(p);
    EXPECT_TRUE(r.onTime);
    EXPECT_EQ(r.slept, 15u);
    EXPECT_TRUE(sleeps.empty());
}

TEST(FramePacer, ClockWrapAroundIsHarmless) {
    FramePacer p = StartPacer(0xFFFFFFF0u);
    fakeNow += 10;  // wraps past zero
    PaceFrame(p);
    ASSERT_EQ(sleeps.size(), 1u);
    EXPECT_EQ(sleeps[0], 6u);
}
