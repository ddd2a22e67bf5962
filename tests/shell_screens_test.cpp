// The shell's screens as the player sees them, from the real game run headless with scripted keys:
// the title at four moments of its intro, the Save, Load and Course Select screens, the
// demonstration and "Quitting Now..."; then a course's intro, its replay, the results and a
// secret course's announcement. The screenshots stay in the build folder's "screens" directory to
// be looked at; the checks here find each screen's own marks in them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>


#include "game/progress.h"
#include "game/records.h"
#include "game/save_file.h"
#include "game/settings.h"
#include "tests/support/screen_image.h"
#include "tests/support/run_game.h"
#include "tests/support/shot_session.h"
#include "tests/support/scripted_session.h"
#include "tests/support/save_state.h"

namespace {

// The title's first frame after the logo (601 frames), the story prologue (1960) and the
// demonstration (1200).
constexpr int kDemonstrationStart = kDemonstrationFirstFrame;
constexpr int kTitleStart = kTitleFirstFrame;

using Shot = ScreenImage;

TEST(ShellScreens, TitleMenusDemonstrationAndQuitting) {
    const std::string run = MakeRunDir();
    // Every course open, so Course Select offers a choice.
    ASSERT_TRUE(WriteSaveInRunDir(run, [] { coursesOpen = kAllCoursesOpen; }));
    const int t = kTitleStart;
    std::string keys = PressAt(t + 720, "DOWN") + PressAt(t + 722, "DOWN") + PressAt(t + 724, "DOWN") +  // to "Save "
                       PressAt(t + 730, "Z") + PressAt(t + 740, "DOWN") + PressAt(t + 750, "Z") +        // saved
                       PressAt(t + 770, "X") +                                                       // title
                       PressAt(t + 780, "UP") + PressAt(t + 782, "UP") + PressAt(t + 790, "Z") +         // "Load "
                       PressAt(t + 810, "X") + PressAt(t + 830, "Z") +                                 // Course Select
                       PressAt(t + 850, "DOWN") + PressAt(t + 852, "DOWN") + PressAt(t + 870, "X") +     // course 3, back
                       PressAt(t + 880, "UP") + PressAt(t + 890, "Z");                                 // "Quit "
    const std::string input = WriteInputScript(keys);
    ASSERT_FALSE(input.empty());
    const std::string dir = ScreensDir();
    struct Named { int frame; std::string name; };
    const std::vector<Named> shots = {
        {kDemonstrationStart + 400, "demonstration"}, {t + 100, "title-0100"}, {t + 300, "title-0300"},
        {t + 450, "title-0450"},     {t + 700, "title-0700"},   {t + 765, "save-success"},
        {t + 800, "load"},           {t + 860, "course-select"}, {t + 891, "quitting"},
    };
    std::vector<std::string> args = {"--headless", "--unpaced", "--seed", "4", "--input", input, "--frames", "6000"};
    for (const Named& s : shots) {
        args.push_back("--shot");
        args.push_back(std::to_string(s.frame) + ":" + dir + "/" + s.name + ".png");
    }
    GameRun game = RunGameDrawingShotsOnly(args, run);
    ASSERT_EQ(game.exitCode, 0) << game.output;
    // Quit closed the game through the normal quit path, every table released.
    EXPECT_NE(game.output.find("FreeDirect3D"), std::string::npos);
    EXPECT_NE(game.output.find("release(KORVANbody.x)"), std::string::npos);

    Shot s;
    ASSERT_TRUE(s.Load(dir + "/title-0100.png"));
    EXPECT_GT(s.FontPixels(120, 240, 280, 336), 200);   // the six rows
    EXPECT_LT(s.Lit(360, 200, 640, 232), 50);           // no subtitle yet
    ASSERT_TRUE(s.Load(dir + "/title-0450.png"));
    EXPECT_GT(s.Lit(500, 200, 640, 232), 100);          // the subtitle sliding in
    ASSERT_TRUE(s.Load(dir + "/title-0700.png"));
    EXPECT_GT(s.Lit(60, 60, 620, 200), 5000);           // the letters lit
    ASSERT_TRUE(s.Load(dir + "/save-success.png"));
    EXPECT_GT(s.FontPixels(120, 288, 230, 304), 40);    // "Save Success "
    EXPECT_GT(s.FontPixels(40, 224, 90, 240), 20);      // the caption
    ASSERT_TRUE(s.Load(dir + "/course-select.png"));
    EXPECT_GT(s.FontPixels(120, 240, 480, 256), 60);    // the course line
    ASSERT_TRUE(s.Load(dir + "/demonstration.png"));
    EXPECT_GT(s.Lit(0, 0, 640, 400), 100000);           // the course
    ASSERT_TRUE(s.Load(dir + "/quitting.png"));
    EXPECT_GT(s.FontPixels(260, 200, 380, 216), 40);    // "Quitting Now..."
    EXPECT_LT(s.Lit(0, 0, 640, 190), 10);
}

TEST(ShellScreens, IntroReplayResultsAndASecretCourseFound) {
    const std::string run = MakeRunDir();
    // Every course open and course 1's best race under a minute: secret course 3 is earned after
    // the next race.
    ASSERT_TRUE(WriteSaveInRunDir(run, [] {
        coursesOpen = kAllCoursesOpen;
        autoSave = 0;
        for (int k = 0; k < 5; ++k) {
            records[1].splitMinutes[k] = 0;
            records[1].splitMillis[k] = 11000;
        }
    }));
    const std::string input = WriteInputScript(PressAt(5500, "Q") + PressAt(5960, "Z"));
    ASSERT_FALSE(input.empty());
    const std::string dir = ScreensDir();
    const std::vector<std::pair<int, std::string>> shots = {
        {300, "intro"}, {4700, "replay-1"}, {5000, "replay-2"}, {5400, "replay-3"}, {5950, "results"}, {6100, "secret"},
    };
    std::vector<std::string> args = {"--headless", "--unpaced", "--seed", "8", "--course", "14", "--autopilot",
                                     "--input", input, "--frames", "6110"};
    for (const auto& s : shots) {
        args.push_back("--shot");
        args.push_back(std::to_string(s.first) + ":" + dir + "/" + s.second + ".png");
    }
    GameRun game = RunGameDrawingShotsOnly(args, run);
    ASSERT_EQ(game.exitCode, 0) << game.output;
    Shot s;
    ASSERT_TRUE(s.Load(dir + "/intro.png"));
    EXPECT_GT(s.FontPixels(430, 296, 640, 350), 60);    // "1 Lap ", "Number Of Enemies 4 "
    ASSERT_TRUE(s.Load(dir + "/results.png"));
    EXPECT_GT(s.FontPixels(200, 40, 460, 56), 60);      // the headings
    EXPECT_GT(s.FontPixels(200, 80, 460, 96), 60);      // lap 1's line
    ASSERT_TRUE(s.Load(dir + "/secret.png"));
    EXPECT_GT(s.FontPixels(240, 120, 420, 184), 100);   // "Congratulations !! " and the secret's line
    for (const char* name : {"replay-1", "replay-2", "replay-3"}) {
        ASSERT_TRUE(s.Load(dir + "/" + name + ".png")) << name;
        EXPECT_GT(s.Lit(0, 0, 640, 480), 100000) << name;  // the course seen, between the curtains
    }
}

}  // namespace
