// Loading a race draws everything the countdown and the race will draw once, unseen, so the
// renderer builds its pipelines during the load and not in the first frames the player sees; the
// shell's scenes do the same as they load. The whole game runs in this process (headless, course
// 1, automatic driver), and the real game from its boot and through a whole race.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/application.h"
#include "framework/graphics_device.h"
#include "framework/sound.h"
#include "framework/switches.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "game/sound_effects.h"
#include "race/course_intro.h"
#include "race/race_scenes.h"
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

// The load's unseen drawing runs the course's own first step; the course's sounds (course 1's surf,
// course 5's thunder) wait, and the intro that follows is silent until the countdown.
TEST(RaceLoading, TheLoadAndTheIntroAreSilent) {
    const std::string logPath = MakeTempDir() + "/debug.txt";
    const bool started = StartGameInProcess(1, 5, logPath);
    ASSERT_TRUE(started);
    bgmType = 1;
    programOptions.skipIntro = false;
    for (int course : {1, 5}) {
        for (Sound& s : sounds) s.Stop();
        StartCourse(course);
        ASSERT_EQ(frameProc, PreRaceFrame) << course;
        // The intro's frames need not be drawn to be heard.
        device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
        int heard = 0;
        for (int f = 0; f < 700 && frameProc == PreRaceFrame; ++f) {
            for (int i = 0; i < kSoundCount; ++i) {
                if (sounds[i].IsPlaying()) {
                    ADD_FAILURE() << "course " << course << ": " << sounds[i].name << " at intro frame " << frameCount;
                    ++heard;
                }
            }
            if (heard) break;
            RunFrame();
        }
        device->SetCooperativeLevelForTest(D3D_OK);
        if (heard == 0) {
            EXPECT_EQ(frameProc, CountdownFrame) << course;
        }
    }
    StopGameInProcess(started);
}

// The player's first minutes and a whole race: no frame shown waits for the renderer to compile
// a pipeline. From the boot: the logo, the prologue, the demonstration (a race of its own) and the
// title; then course 14 from its intro through a pause, a boost, the finish, the replay and the
// results, and on to the title and the prologue again.
TEST(ShownFrames, NoneWaitsForAPipelineFromTheBootOrThroughAWholeRace) {
    GameRun attract = RunGame({"--headless", "--unpaced", "--seed", "7", "--frames", "4400", "--stats", "s.json"});
    ASSERT_EQ(attract.exitCode, 0) << attract.output;
    const std::string first = ReadFile(attract.dir + "/s.json");
    for (const char* scene : {"\"logo\"", "\"story\"", "\"demonstration\"", "\"title\""})
        ASSERT_NE(first.find(scene), std::string::npos) << scene << " did not run\n" << first;
    EXPECT_EQ(ScenesThatBuiltPipelines(first), "") << first;

    const std::string dir = MakeRunDir();
    const std::string input = dir + "/race.in";
    FILE* f = std::fopen(input.c_str(), "w");
    ASSERT_NE(f, nullptr);
    // The intro lasts 600 frames and the countdown 240: pause in the race, resume, boost.
    std::fputs("900 down Q\n901 up Q\n930 down Q\n931 up Q\n1000 down LSHIFT\n1003 up LSHIFT\n", f);
    std::fclose(f);
    GameRun race = RunGame({"--headless", "--unpaced", "--seed", "7", "--course", "14", "--autopilot", "--input", input,
                            "--frames", "9500", "--stats", "s.json"},
                           "", dir, 900);
    ASSERT_EQ(race.exitCode, 0) << race.output;
    const std::string stats = ReadFile(race.dir + "/s.json");
    for (const char* scene : {"\"intro\"", "\"countdown\"", "\"race\"", "\"pause\"", "\"replay\"", "\"results\"",
                              "\"title\""})
        ASSERT_NE(stats.find(scene), std::string::npos) << scene << " did not run\n" << stats;
    EXPECT_EQ(ScenesThatBuiltPipelines(stats), "") << stats;
}

}  // namespace
