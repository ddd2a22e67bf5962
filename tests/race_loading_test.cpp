// Loading a race draws everything the countdown and the race will draw once, unseen, so the
// renderer builds its pipelines during the load and not in the first frames the player sees.
// The whole game runs in this process (headless, course 1, automatic driver).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/switches.h"
#include "race/race_state.h"
#include "tests/support/run_game.h"

namespace {

// The countdown lasts 240 frames; the first race frames add the HUD, mini map and place numbers.
constexpr uint32_t kFramesAfterTheStart = 300;

TEST(RaceLoading, TheCountdownAndTheStartBuildNoNewPipelines) {
    const std::string dir = MakeTempDir();
    setenv("XDG_RUNTIME_DIR", MakeTempDir().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::string logPath = dir + "/debug.txt";
    SetLogFilePath(logPath.c_str());
    ASSERT_EQ(chdir(MakeRunDir().c_str()), 0);
    programOptions = ProgramOptions{};
    programOptions.headless = true;
    programOptions.unpaced = true;
    programOptions.autopilot = true;
    programOptions.course = 1;
    programOptions.seedGiven = true;
    programOptions.seed = 5;
    ASSERT_TRUE(InitApplication());
    GameBoot();
    ASSERT_NE(ReadFile(logPath).find("race: course 1 from the command line"), std::string::npos);
    ASSERT_NE(device, nullptr);
    const UINT loaded = device->PipelineCount();
    EXPECT_GT(loaded, 4u) << "the load drew the race scene";

    // The load showed nothing: the first frame is the countdown's own.
    EXPECT_EQ(frameNumber, 0u);
    while (frameNumber < kFramesAfterTheStart && PumpMessages()) RunFrame();
    ASSERT_EQ(frameNumber, kFramesAfterTheStart);
    EXPECT_GT(raceState.speed, 1.0f) << "the race is under way";
    EXPECT_EQ(device->PipelineCount(), loaded) << "a pipeline was first built in a shown frame";

    GameQuit();
    FreeApplication();
    SetLogFilePath("");
}

}  // namespace
