// The game's start as a player meets it, run in the test process with scripted keys and the device
// lost (the scenes' rules alone, frames in microseconds): the logo, the story prologue (on a board
// with two lights) and the demonstration, the title with its idle timer, Course Select's cursor and
// its hand-over to the race.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "framework/application.h"
#include "framework/graphics_device.h"
#include "game/progress.h"
#include "game/scene_flow.h"
#include "race/course_intro.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "courses/course_geometry.h"
#include "courses/course_table.h"
#include "shell/course_select.h"
#include "shell/demonstration.h"
#include "shell/logo_scene.h"
#include "shell/story.h"
#include "shell/title_scene.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"
#include "tests/support/scripted_session.h"
#include "tests/support/shot_session.h"

namespace {

// The logo's frames 0 to 600 (the last hands over), the story prologue's 1960 and the
// demonstration's 1200: the title's first frame is this game frame. A board with one light skips
// the prologue.
constexpr uint32_t kStoryStart = kStoryFirstFrame;
constexpr uint32_t kDemonstrationStart = kDemonstrationFirstFrame;
constexpr uint32_t kTitleStart = kTitleFirstFrame;
constexpr uint32_t kOneLightTitleStart = 1801;

void OneLight() { maxActiveLights = 1; }

// The game from its start in a child process, device lost, with these keys: runs `until` frames
// and answers what `check` makes of the game then (0 for as expected).
struct Session {
    std::string keys;
    uint32_t until;
    int (*check)();
    void (*prepare)() = nullptr;  // after the boot, before the first frame
};

int RunSession(void* context) {
    const Session& s = *static_cast<Session*>(context);
    const bool started = StartGameInProcess(0, 9, MakeTempDir() + "/debug.txt", WriteInputScript(s.keys));
    if (!started) return 100;
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    if (s.prepare) s.prepare();
    RunFramesUntil(s.until);
    const int verdict = s.check();
    device->SetCooperativeLevelForTest(D3D_OK);
    StopGameInProcess(started);
    return verdict;
}

int RunGameAfter(const std::string& keys, uint32_t until, int (*check)(), void (*prepare)() = nullptr) {
    Session s{keys, until, check, prepare};
    return RunInChildProcess(RunSession, &s);
}

TEST(GameStart, LogoThenStoryThenDemonstrationThenTheTitle) {
    EXPECT_EQ(RunGameAfter("", 599, [] { return frameProc == LogoFrame ? 0 : 1; }), 0);
    EXPECT_EQ(RunGameAfter("", kStoryStart, [] { return frameProc == StoryFrame && frameCount == 0 ? 0 : 1; }), 0);
    EXPECT_EQ(RunGameAfter("", kDemonstrationStart - 1, [] { return frameProc == StoryFrame ? 0 : 1; }), 0);
    EXPECT_EQ(RunGameAfter("", kDemonstrationStart, [] { return frameProc == DemonstrationFrame ? 0 : 1; }), 0);
    EXPECT_EQ(RunGameAfter("", kTitleStart + 1, [] { return frameProc == TitleFrame && frameCount == 1 ? 0 : 1; }), 0);
}

TEST(GameStart, AOneLightBoardNeverShowsTheStory) {
    EXPECT_EQ(RunGameAfter("", 601, [] { return frameProc == DemonstrationFrame ? 0 : 1; }, OneLight), 0);
    EXPECT_EQ(RunGameAfter(
                  "", kOneLightTitleStart + 1, [] { return frameProc == TitleFrame && frameCount == 1 ? 0 : 1; },
                  OneLight),
              0);
    // The idle title leads to the demonstration too.
    EXPECT_EQ(RunGameAfter("", kOneLightTitleStart + 1801, [] { return frameProc == DemonstrationFrame ? 0 : 1; },
                           OneLight),
              0);
}

TEST(GameStart, AnySkipKeyInTheStoryLeadsToTheTitle) {
    // Frame 100 of the prologue, by the keyboard and by the pad's Pause / Skip button.
    for (const char* key : {"Z", "S", "Q", "PAD0:9"}) {
        const std::string keys = PressAt(kStoryStart + 100, key);
        EXPECT_EQ(RunGameAfter(keys, kStoryStart + 100, [] { return frameProc == StoryFrame ? 0 : 1; }), 0) << key;
        EXPECT_EQ(RunGameAfter(keys, kStoryStart + 101,
                               [] { return frameProc == TitleFrame && frameCount == 0 && menuCursor == 0 ? 0 : 1; }),
                  0)
            << key;
    }
    // A key that is not a skip key does nothing.
    EXPECT_EQ(RunGameAfter(PressAt(kStoryStart + 100, "DOWN"), kStoryStart + 101,
                           [] { return frameProc == StoryFrame ? 0 : 1; }),
              0);
}

TEST(GameStart, AKeyInTheDemonstrationJumpsToItsFadeOut) {
    // The demonstration's frame 100: it jumps to 950, ending 250 frames later.
    const std::string keys = PressAt(kDemonstrationStart + 100, "X");
    EXPECT_EQ(RunGameAfter(keys, kDemonstrationStart + 102, [] { return frameCount == 952 ? 0 : 1; }), 0);
    EXPECT_EQ(RunGameAfter(keys, kDemonstrationStart + 350, [] { return frameProc == TitleFrame ? 0 : 1; }), 0);
}

TEST(GameStart, FirstStartGoesFromRashIntoRacesStraightToCourse1) {
    const std::string keys = PressAt(kTitleStart + 100, "Z");
    EXPECT_EQ(RunGameAfter(keys, kTitleStart + 101, [] { return frameProc == CourseSelectFrame ? 0 : 1; }), 0);
    // Course Select draws its frame and, with only course 1 open, goes on at once.
    EXPECT_EQ(RunGameAfter(keys, kTitleStart + 102, [] {
                  return frameProc == PreRaceFrame && frameCount == 0 && currentCourse == 1 && startedFromCourse1 ? 0 : 1;
              }),
              0);
}

TEST(GameStart, TheIdleTitleStartsTheAttractSequenceAfter1800Frames) {
    EXPECT_EQ(RunGameAfter("", kTitleStart + 1800, [] { return frameProc == TitleFrame ? 0 : 1; }), 0);
    EXPECT_EQ(RunGameAfter("", kTitleStart + 1801, [] { return frameProc == StoryFrame ? 0 : 1; }), 0);
}

TEST(GameStart, AKeyAtFrame1000PutsTheAttractSequence1260FramesLater) {
    const std::string keys = PressAt(kTitleStart + 1000, "DOWN");
    EXPECT_EQ(RunGameAfter(keys, kTitleStart + 1001, [] { return menuCursor == 1 && frameCount == 541 ? 0 : 1; }), 0);
    EXPECT_EQ(RunGameAfter(keys, kTitleStart + 1000 + 1260, [] { return frameProc == TitleFrame ? 0 : 1; }), 0);
    EXPECT_EQ(RunGameAfter(keys, kTitleStart + 1000 + 1261, [] { return frameProc == StoryFrame ? 0 : 1; }), 0);
}

TEST(GameStart, FromFrame1750TheTitleIgnoresEveryKey) {
    const std::string keys = PressAt(kTitleStart + 1750, "DOWN") + PressAt(kTitleStart + 1760, "UP") +
                             PressAt(kTitleStart + 1770, "Z");
    EXPECT_EQ(RunGameAfter(keys, kTitleStart + 1780,
                           [] { return menuCursor == 0 && frameProc == TitleFrame && frameCount == 1780 ? 0 : 1; }),
              0);
    EXPECT_EQ(RunGameAfter(keys, kTitleStart + 1801, [] { return frameProc == StoryFrame ? 0 : 1; }), 0);
}

TEST(GameStart, GoingBackFromCourseSelectKeepsTheIdleTimerRunning) {
    const std::string keys = PressAt(kTitleStart + 10, "DOWN") + PressAt(kTitleStart + 12, "UP") +
                             PressAt(kTitleStart + 14, "Z") + PressAt(kTitleStart + 20, "X");
    // With two courses open Course Select waits for a key; Go Back returns with the counter + 1.
    EXPECT_EQ(RunGameAfter(
                  keys, kTitleStart + 21, [] { return frameProc == TitleFrame && frameCount == 21 ? 0 : 1; },
                  [] { coursesOpen = 2; }),
              0);
}

// Course Select's cursor rules.
class CourseSelectCursor : public ::testing::Test {
protected:
    void SetUp() override { ResetProgress(); }
    void TearDown() override { ResetProgress(); }
};

TEST_F(CourseSelectCursor, FourOpenWithSecretsOneAndThreeFound) {
    coursesOpen = 4;
    secretFound[0] = secretFound[2] = true;
    EXPECT_EQ(CourseSelectDown(3), 0);   // Down from course 4 goes to course 1
    EXPECT_EQ(CourseSelectUp(0), 3);     // Up from course 1 goes to course 4
    EXPECT_EQ(CourseSelectDown(0), 1);
    EXPECT_EQ(CourseSelectUp(2), 1);
}

TEST_F(CourseSelectCursor, AllTenOpenVisitTheSecretsFound) {
    coursesOpen = 11;
    secretFound[0] = secretFound[2] = true;
    EXPECT_EQ(CourseSelectDown(9), 10);   // course 10 to secret 1
    EXPECT_EQ(CourseSelectDown(10), 12);  // secret 1 to secret 3
    EXPECT_EQ(CourseSelectDown(12), 0);   // secret 3 to course 1
    EXPECT_EQ(CourseSelectUp(0), 12);     // and back up the same way
    EXPECT_EQ(CourseSelectUp(12), 10);
    EXPECT_EQ(CourseSelectUp(10), 9);
    // No secret found: round the ten courses only.
    secretFound[0] = secretFound[2] = false;
    EXPECT_EQ(CourseSelectDown(9), 0);
    EXPECT_EQ(CourseSelectUp(0), 9);
}

TEST_F(CourseSelectCursor, LinesNameEachCourse) {
    EXPECT_STREQ(CourseSelectLine(1), "Course  1 Blue Surf And Wind ");
    EXPECT_STREQ(CourseSelectLine(10), "Course 10 Far From The Globe ");
    EXPECT_STREQ(CourseSelectLine(14), "Secret  4 Can You Pick Up All Crystals ? ");
    EXPECT_STREQ(CourseSelectLine(15), "Secret  5 Demonstration ");
}

}  // namespace

namespace {

// The failed ends of a race lead to the title with the race reset and the title set up: the game
// from Course Select's hand-over, the race's clock or its finish forced, then run to the title.
int FailedRaceLeadsToTheTitle(void* context) {
    const int how = *static_cast<int*>(context);
    if (!StartGameInProcess(0, 5, MakeTempDir() + "/debug.txt")) return 100;
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    StartCourse(1);
    while (frameProc != RaceFrame && frameNumber < 2000) RunFrame();
    for (int k = 0; k < 60; ++k) RunFrame();
    if (how == 0) {
        raceState.limitTime = 16;  // the clock runs out on the next frame
    } else {
        const int laps = CourseLaps(1);
        for (int lap = 1; lap <= laps; ++lap) raceState.rankAtLap[lap] = 6;
        raceState.lapCounter = raceState.lapsDone = laps;  // over the line in sixth place
    }
    RunFrame();
    const bool failed = frameProc == (how == 0 ? TimeUpFrame : OutOfRankFrame);
    for (int k = 0; k < 480; ++k) RunFrame();
    const bool title = frameProc == TitleFrame && raceState.lapsDone == 0 && raceState.finished == 0;
    device->SetCooperativeLevelForTest(D3D_OK);
    StopGameInProcess(true);
    return failed && title ? 0 : 1;
}

TEST(FailedRace, TimeUpLeadsToTheTitle) {
    int how = 0;
    EXPECT_EQ(RunInChildProcess(FailedRaceLeadsToTheTitle, &how), 0);
}

TEST(FailedRace, OutOfRankLeadsToTheTitle) {
    int how = 1;
    EXPECT_EQ(RunInChildProcess(FailedRaceLeadsToTheTitle, &how), 0);
}

// The game from start-up (its own frame loop, nothing drawn but the frames are the program's): the logo, the story prologue, the demonstration, the title, Course
// Select (one course open: straight on), course 1's intro and race, quit from the pause menu, back
// at the title, and "Quit ": exit code 0, and every asset the game loaded released before it ended.
TEST(GameSession, FromStartUpThroughARaceQuitAndBackToQuit) {
    const int t = kTitleStart;
    const std::string keys = PressAt(t + 10, "Z") +                                 // Rash Into Races
                             PressAt(t + 1000, "Q") + PressAt(t + 1010, "DOWN") +     // pause, "Yes"
                             PressAt(t + 1020, "Z") +                               // quit the race
                             PressAt(t + 1040, "UP") + PressAt(t + 1050, "Z");        // "Quit "
    const std::string dir = MakeRunDir();
    const std::string input = WriteInputScript(keys);
    GameRun run = RunGameDrawingShotsOnly({"--headless", "--unpaced", "--seed", "6", "--input", input,
                                           "--frames", "6000"},
                                          dir);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string log = ReadFile(run.dir + "/debug.txt");
    ASSERT_NE(log.find("race: course 1 ready"), std::string::npos) << "no race was set up";
    // The game ended by "Quit " long before the frame limit, through the quit routine.
    EXPECT_NE(log.find("FreeDirect3D"), std::string::npos);
    // Every asset loaded is released after its last load.
    size_t at = 0;
    int loaded = 0;
    while ((at = log.find("load(", at)) != std::string::npos) {
        const size_t end = log.find(") ... ok.", at);
        const size_t line = log.find('\n', at);
        if (end == std::string::npos || end > line) {
            at = line;
            continue;
        }
        const std::string name = log.substr(at + 5, end - at - 5);
        EXPECT_NE(log.find("release(" + name + ")", end), std::string::npos) << name << " never released";
        ++loaded;
        at = end;
    }
    EXPECT_GT(loaded, 100);
}

}  // namespace
