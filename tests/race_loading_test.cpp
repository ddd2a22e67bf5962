// Loading a race draws everything the countdown and the race will draw once, unseen, so the
// renderer builds its pipelines during the load and not in the first frames the player sees.
// The whole game runs in this process (headless, course 1, automatic driver).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "framework/application.h"
#include "framework/graphics_device.h"
#include "race/race_state.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"

namespace {

// The countdown lasts 240 frames; the first race frames add the HUD, mini map and place numbers.
constexpr uint32_t kFramesAfterTheStart = 300;

TEST(RaceLoading, TheCountdownAndTheStartBuildNoNewPipelines) {
    const std::string logPath = MakeTempDir() + "/debug.txt";
    const bool started = StartGameInProcess(1, 5, logPath);
    ASSERT_TRUE(started);
    ASSERT_NE(ReadFile(logPath).find("race: course 1 from the command line"), std::string::npos);
    ASSERT_NE(device, nullptr);
    const UINT loaded = device->PipelineCount();
    EXPECT_GT(loaded, 4u) << "the load drew the race scene";

    // The load's drawing was never shown: a present would have reset the count of draws.
    EXPECT_EQ(frameNumber, 0u);
    EXPECT_GT(device->DrawCallCount(), 20u);
    RunFramesUntil(kFramesAfterTheStart);
    ASSERT_EQ(frameNumber, kFramesAfterTheStart);
    EXPECT_GT(raceState.speed, 1.0f) << "the race is under way";
    EXPECT_EQ(device->PipelineCount(), loaded) << "a pipeline was first built in a shown frame";

    StopGameInProcess(started);
}

}  // namespace
