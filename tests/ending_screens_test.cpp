// The story prologue, the ending, the vehicle gallery and the staff roll as the player sees them:
// the game run in the test process and drawn off-screen, each scene entered the way the game enters
// it, with screenshots at chosen moments. The shots stay in the build folder's "screens" directory to
// be looked at; the checks here find each scene's own marks in them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "courses/course_geometry.h"
#include "framework/application.h"
#include "framework/frame_stats.h"
#include "framework/switches.h"
#include "game/progress.h"
#include "game/scene_flow.h"
#include "shell/course_clear.h"
#include "shell/ending.h"
#include "shell/staff_roll.h"
#include "shell/story.h"
#include "shell/vehicle_gallery.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"
#include "tests/support/screen_image.h"

namespace {

struct Shot : ScreenImage {
    // Warm pixels: red well above blue (the sand, the sunset, the embers).
    int Warm(int x1, int y1, int x2, int y2) const {
        int n = 0;
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x) {
                const unsigned char* p = At(x, y);
                if (p[0] > 90 && p[0] > p[2] + 40) ++n;
            }
        return n;
    }
};

// Shots at scene frames of the scenes met on the way from the story or from course 10's clear to
// the title.
struct SceneShot {
    FrameProc scene;
    int t;
    std::string name;
};

struct Showing {
    bool fromStory;  // else the ending after a first win of course 10
    bool hurry;      // the ending's and the gallery's clocks jump ahead to each shot
    std::vector<SceneShot> shots;
};

// Runs the scenes drawn, taking each shot on the frame its scene reaches its t. 0 when every shot
// was taken.
int ShowScenes(void* context) {
    const Showing& s = *static_cast<Showing*>(context);
    if (!StartGameInProcess(0, 11, MakeTempDir() + "/debug.txt")) return 100;
    const std::string dir = ScreensDir();
    if (s.fromStory) {
        StartStory();
    } else {
        coursesOpen = 10;
        currentCourse = 10;
        frameCount = 0;
        frameProc = CourseClearFrame;
    }
    size_t taken = 0;
    while (taken < s.shots.size() && frameNumber < 20000 && PumpMessages()) {
        const SceneShot& next = s.shots[taken];
        // A scene whose picture follows from its clock alone runs on to just before its next shot,
        // and to just before its end once its shots are taken: a few hundred frames drawn, not
        // ten thousand.
        if (s.hurry && frameProc == next.scene && frameCount < next.t - 2) frameCount = next.t - 2;
        if (s.hurry && frameProc == EndingFrame && next.scene != EndingFrame && frameCount < kEndingLastFrame - 2)
            frameCount = kEndingLastFrame - 2;
        if (s.hurry && frameProc == GalleryFrame && next.scene != GalleryFrame && frameCount < kGalleryLastFrame - 2)
            frameCount = kGalleryLastFrame - 2;
        // The scene that runs next frame, at the counter it runs with.
        if (frameProc == next.scene && frameCount == next.t) {
            programOptions.shots.push_back({static_cast<int>(frameNumber), dir + "/" + next.name + ".png"});
            ++taken;
        }
        RunFrame();
    }
    // No frame the player saw waited for the renderer: each scene's loading drew it unseen.
    const std::string waited = ScenesThatBuiltPipelines(StatsJson());
    if (!waited.empty()) std::fprintf(stderr, "pipelines first drawn in shown frames: %s\n", waited.c_str());
    StopGameInProcess(true);
    if (!waited.empty()) return 2;
    return taken == s.shots.size() ? 0 : 1;
}

TEST(EndingScreens, TheStoryPrologueWritesItsLinesUnderTheGlidingBody) {
    // The body glides frame by frame: the prologue runs every frame.
    Showing s{true, false, {{StoryFrame, 150, "story-line-1"}, {StoryFrame, 1200, "story-line-4-heartbeat"},
                     {StoryFrame, 1560, "story-line-5"}, {StoryFrame, 1790, "story-fade"}}};
    ASSERT_EQ(RunInChildProcess(ShowScenes, &s), 0);
    const std::string dir = ScreensDir();
    Shot shot;
    ASSERT_TRUE(shot.Load(dir + "/story-line-1.png"));
    EXPECT_GT(shot.FontPixels(220, 384, 440, 400), 60);   // "I'm not sure when it was . "
    EXPECT_GT(shot.Lit(0, 60, 300, 200), 2000);             // the body at the left
    ASSERT_TRUE(shot.Load(dir + "/story-line-5.png"));
    EXPECT_GT(shot.FontPixels(264, 384, 400, 400), 30);    // "' \" KORVAN \" ' "
    EXPECT_GT(shot.Lit(200, 60, 480, 200), 2000);           // the body near the middle now
    ASSERT_TRUE(shot.Load(dir + "/story-fade.png"));
    EXPECT_EQ(shot.FontPixels(0, 0, 640, 480), 0);         // no line during the fade
}

TEST(EndingScreens, EndingGalleryAndStaffRoll) {
    Showing s{false, true,
              {{EndingFrame, 600, "ending-0600"},
               {EndingFrame, 1750, "ending-1750-line-1"},
               {EndingFrame, 2750, "ending-2750-line-3"},
               {EndingFrame, 3200, "ending-3200"},
               {GalleryFrame, 750, "gallery-1-buskel"},
               {GalleryFrame, 1350, "gallery-2-hannya"},
               {GalleryFrame, 1950, "gallery-3-killer-bee"},
               {GalleryFrame, 2550, "gallery-4-zorvan"},
               {GalleryFrame, 3150, "gallery-5-black-hornet"},
               {GalleryFrame, 3750, "gallery-6-korvan"},
               {StaffRollFrame, 100, "staff-roll"}}};
    ASSERT_EQ(RunInChildProcess(ShowScenes, &s), 0);
    const std::string dir = ScreensDir();
    Shot shot;
    for (const char* name : {"ending-0600", "ending-1750-line-1", "ending-2750-line-3", "ending-3200"}) {
        ASSERT_TRUE(shot.Load(dir + "/" + name + ".png")) << name;
        EXPECT_GT(shot.Warm(0, 0, 640, 380), 40000) << name;  // the desert at sunset
    }
    ASSERT_TRUE(shot.Load(dir + "/ending-1750-line-1.png"));
    EXPECT_GT(shot.FontPixels(236, 430, 420, 446), 60);      // "I'm on \"KORVAN\" now . "
    EXPECT_EQ(shot.Lit(0, 390, 200, 480), 0);                 // the band is black beside it
    ASSERT_TRUE(shot.Load(dir + "/ending-2750-line-3.png"));
    EXPECT_GT(shot.FontPixels(256, 430, 400, 446), 40);      // "I'm going on ... "
    const struct {
        const char* name;
        int x1, x2, lines;
    } gallery[] = {
        {"gallery-1-buskel", 240, 410, 2},     {"gallery-2-hannya", 296, 360, 1}, {"gallery-3-killer-bee", 272, 380, 1},
        {"gallery-4-zorvan", 296, 360, 1},     {"gallery-5-black-hornet", 264, 390, 1},
        {"gallery-6-korvan", 296, 360, 1},
    };
    for (const auto& g : gallery) {
        ASSERT_TRUE(shot.Load(dir + "/" + g.name + ".png")) << g.name;
        EXPECT_GT(shot.FontPixels(g.x1, 400, g.x2, 400 + 16 * g.lines), 30) << g.name;  // the name
        EXPECT_GT(shot.Lit(100, 100, 540, 380), 40000) << g.name;                       // the car, big
    }
    ASSERT_TRUE(shot.Load(dir + "/staff-roll.png"));
    EXPECT_GT(shot.FontPixels(248, 100, 400, 116), 60);   // "Congratulations !! "
    EXPECT_GT(shot.FontPixels(224, 132, 420, 148), 60);   // "Thank You For Playing !! "
    EXPECT_GT(shot.FontPixels(320, 196, 450, 212), 40);   // "Created By Kiru "
    EXPECT_GT(shot.FontPixels(188, 356, 460, 372), 80);   // "Try To Find \"5 Secret Courses\" !! "
    EXPECT_EQ(shot.Lit(0, 0, 640, 90), 0);                 // black elsewhere
}

}  // namespace
