// The race end to end: the real executable, headless and unpaced, started straight on a course.
// The automatic driver finishes every course within its limit time; a scripted
// driver holding the gas and steering through the curves completes a lap of course 1; the
// countdown, both views and the pause menu are checked on their screenshots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>


#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_table.h"
#include "framework/input.h"
#include "race/race_scenes.h"
#include "framework/switches.h"
#include "framework/graphics_device.h"
#include "framework/application.h"
#include "framework/placement.h"
#include "race/player_vehicle.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "tests/support/auto_lap.h"
#include "tests/support/in_process_game.h"
#include "tests/support/screen_image.h"
#include "tests/support/run_game.h"
#include "tests/support/shot_session.h"

namespace {

// The number after "key": in the "race" entry of a stats file (-1e9 when missing).
double RaceField(const std::string& stats, const std::string& key) {
    const size_t race = stats.find("\"race\":");
    if (race == std::string::npos) return -1e9;
    const size_t at = stats.find("\"" + key + "\":", race);
    if (at == std::string::npos) return -1e9;
    const std::string rest = stats.substr(at + key.size() + 3);
    if (rest.rfind(" true", 0) == 0) return 1;
    if (rest.rfind(" false", 0) == 0) return 0;
    return std::stod(rest);
}

using Image = ScreenImage;

// Pixels in a box whose red clearly dominates green and blue.
int RedPixels(const Image& img, int x1, int y1, int x2, int y2) {
    int count = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) {
            const unsigned char* p = img.At(x, y);
            if (p[0] > 150 && p[1] < 90 && p[2] < 90) ++count;
        }
    return count;
}

// Mean absolute difference of two images over a box, per channel.
double Difference(const Image& a, const Image& b, int x1, int y1, int x2, int y2) {
    double sum = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
            for (int c = 0; c < 3; ++c) sum += std::abs(a.At(x, y)[c] - b.At(x, y)[c]);
    return sum / ((x2 - x1) * (y2 - y1) * 3.0);
}

// The boot hands --course straight to the race and logs it; a run without that line never raced.
bool RaceStarted(const GameRun& run, int course) {
    return run.output.find("race: course " + std::to_string(course) + " from the command line") != std::string::npos;
}

std::string WriteScript(const std::string& dir, const std::string& text) {
    const std::string path = dir + "/input.txt";
    std::ofstream(path) << text;
    return path;
}

// One run per course.
class AutopilotRace : public ::testing::TestWithParam<int> {};

TEST_P(AutopilotRace, FinishesWithinTheLimitTime) {
    const int course = GetParam();
    const CourseInfo* info = FindCourse(course);
    ASSERT_NE(info, nullptr);
    ASSERT_NE(info->routines, nullptr) << "course " << course << " has no routines";
    // A whole race with its finish sequence takes minutes on a busy machine.
    GameRun run = RunGame({"--headless", "--unpaced", "--seed", "7", "--skip-intro", "--course", std::to_string(course),
                           "--autopilot", "--exit-after-race", "--stats", "s.json"},
                          "", "", 1400);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(RaceStarted(run, course)) << run.output;
    const std::string stats = ReadFile(run.dir + "/s.json");
    EXPECT_EQ(RaceField(stats, "course"), course) << stats;
    EXPECT_EQ(RaceField(stats, "finished"), 1) << stats;
    EXPECT_EQ(RaceField(stats, "laps_done"), info->laps) << stats;
    EXPECT_GT(RaceField(stats, "limit_left_ms"), 0) << stats;
    EXPECT_GE(RaceField(stats, "rank"), 1) << stats;
    EXPECT_LE(RaceField(stats, "rank"), 4) << stats;
    // The run ends with the finish sequence: the countdown, the approach to the line, the laps
    // on the lap clock and 2181 frames after the line.
    const double lapFrames = RaceField(stats, "time_ms") / 16.0;
    const size_t at = stats.find("\"frames\":");
    ASSERT_NE(at, std::string::npos);
    const double frames = std::stod(stats.substr(at + 9));
    EXPECT_GT(frames, 240 + lapFrames + 2181) << stats;
    EXPECT_LT(frames, 240 + lapFrames + 2181 + 300) << stats;
    std::printf("course %d: %s", course, stats.c_str());
}

// A whole race renders thousands of frames: the one-lap course runs drawn by the real program;
// every course's whole race runs in the test process below.
INSTANTIATE_TEST_SUITE_P(Courses, AutopilotRace, ::testing::Values(14));

// One course's whole race in the test process with the device lost: the race's steps alone, which
// drawing never changes (see the race drawing test), so thousands of frames take a second.
struct WholeRace {
    int course = 0;
    int finished = 0, lapsDone = 0, rank = 0, limitLeft = 0, raceFrames = 0;
    std::string out;
};

int RunWholeRace(void* context) {
    WholeRace& w = *static_cast<WholeRace*>(context);
    const bool started = StartGameInProcess(w.course, 7, MakeTempDir() + "/debug.txt");
    if (started) {
        programOptions.exitAfterRace = true;
        device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
        while (PumpMessages() && frameNumber < 60000) {
            const bool racing = frameProc == RaceFrame;
            RunFrame();
            if (racing && !raceState.finished) ++w.raceFrames;
            if (raceState.finished && !w.finished) {
                w.finished = 1;
                w.lapsDone = raceState.lapsDone;
                w.rank = raceState.finalRank;
                w.limitLeft = raceState.limitTime;
            }
        }
        device->SetCooperativeLevelForTest(D3D_OK);
    }
    StopGameInProcess(started);
    FILE* f = std::fopen(w.out.c_str(), "w");
    if (!f) return 1;
    std::fprintf(f, "%d %d %d %d %d\n", w.finished, w.lapsDone, w.rank, w.limitLeft, w.raceFrames);
    std::fclose(f);
    return started ? 0 : 1;
}

class WholeRaceInProcess : public ::testing::TestWithParam<int> {};

TEST_P(WholeRaceInProcess, AutomaticDriverFinishesInTheFirstFourWithinTheLimit) {
    WholeRace w;
    w.course = GetParam();
    w.out = MakeTempDir() + "/race.txt";
    ASSERT_EQ(RunInChildProcess(RunWholeRace, &w), 0);
    const std::string result = ReadFile(w.out);
    ASSERT_EQ(std::sscanf(result.c_str(), "%d %d %d %d %d", &w.finished, &w.lapsDone, &w.rank, &w.limitLeft,
                          &w.raceFrames),
              5);
    EXPECT_EQ(w.finished, 1);
    EXPECT_EQ(w.lapsDone, CourseLaps(w.course));
    EXPECT_GE(w.rank, 1);
    EXPECT_LE(w.rank, 4);
    EXPECT_GT(w.limitLeft, 0);
    std::printf("course %d: rank %d, %d race frames, %d ms left\n", w.course, w.rank, w.raceFrames, w.limitLeft);
}

INSTANTIATE_TEST_SUITE_P(EveryCourse, WholeRaceInProcess, ::testing::Range(1, CourseCount + 1));

// A driver at the keyboard, played out here on course 1's real geometry with the game's own
// driving routines: gas held from the countdown on, Left and Right pressed and released to keep to
// the inside of the road (clear of the opponents' lanes, which stay within 60 units of the
// middle), never re-pressing a key within 9 frames (no slides). Returns the input script and
// the race frames the lap took (0 when this driver never completes it).
constexpr int kRaceStartFrame = 240;

float WrapAngle(float a) {
    while (a > 3.1415927f) a -= 6.2831853f;
    while (a < -3.1415927f) a += 6.2831853f;
    return a;
}

std::string ScriptHumanLap(int* lapFrames) {
    StartAloneBeforeTheLine(1);
    RaceState& r = raceState;

    std::string script = "100 down Z\n";
    std::memset(keys, 0, sizeof keys);
    std::memset(prevKeys, 0, sizeof prevKeys);
    keys[DIK_Z] = prevKeys[DIK_Z] = 0x80;
    const int steerKeys[2] = {DIK_LEFT, DIK_RIGHT};
    const char* const names[2] = {"LEFT", "RIGHT"};
    int lastPress[2] = {-100, -100};
    constexpr float kTargetOffset = 82.0f;  // right of the middle: the inside of both curves
    *lapFrames = 0;
    for (int k = 0; k < 2400 && *lapFrames == 0; ++k) {
        // Where the car is going against where the road goes.
        const CourseGeometry& g = courseGeometry;
        const int s = r.section;
        const D3DXVECTOR3 along = g.edgeDir[s].left + g.edgeDir[s].right;
        const float roadYaw = std::atan2(along.x, along.z);
        const D3DXVECTOR3 fromMid = PlacementPosition(r.placement) - BoundaryMid(s);
        const float offset = D3DXVec3Dot(&fromMid, &g.crossDir[s].start);
        const float wanted = roadYaw + std::clamp(0.004f * (kTargetOffset - offset), -0.25f, 0.25f);
        const float error = WrapAngle(wanted - (r.heading + r.driftAngle));
        const int want = error > 0.006f ? 1 : (error < -0.006f ? 0 : -1);
        for (int d = 0; d < 2; ++d) {
            prevKeys[steerKeys[d]] = keys[steerKeys[d]];
            const bool down = keys[steerKeys[d]] != 0;
            if (want == d && !down && k - lastPress[d] >= 9) {
                keys[steerKeys[d]] = 0x80;
                lastPress[d] = k;
                script += std::to_string(kRaceStartFrame + k) + " down " + names[d] + "\n";
            } else if (want != d && down) {
                keys[steerKeys[d]] = 0;
                script += std::to_string(kRaceStartFrame + k) + " up " + names[d] + "\n";
            }
        }
        // The race frame's step, as the game runs it.
        DriveOneFrame(DriveByInput);
        if (r.lapsDone >= 1) *lapFrames = k;
    }
    std::memset(keys, 0, sizeof keys);
    std::memset(prevKeys, 0, sizeof prevKeys);
    return script;
}

TEST(RaceEndToEnd, ScriptedDriverHoldingTheGasCompletesALapOfCourse1) {
    int lapFrames = 0;
    const std::string script = ScriptHumanLap(&lapFrames);
    ASSERT_GT(lapFrames, 0) << "the scripted driver never finishes a lap";
    const std::string dir = MakeRunDir();
    const std::string input = WriteScript(dir, script);
    const int frames = kRaceStartFrame + lapFrames + 60;
    GameRun run = RunGameDrawingShotsOnly({"--headless", "--unpaced", "--seed", "3", "--skip-intro", "--course", "1",
                                           "--input", input, "--frames", std::to_string(frames), "--stats", "s.json"},
                                          dir);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(RaceStarted(run, 1)) << run.output;
    const std::string stats = ReadFile(run.dir + "/s.json");
    EXPECT_GE(RaceField(stats, "laps_done"), 1) << stats;
    EXPECT_EQ(RaceField(stats, "finished"), 0) << stats;
    std::printf("scripted lap: %d frames\n%s", lapFrames, stats.c_str());
}

TEST(RaceEndToEnd, CountdownViewsAndPauseMenuOnScreen) {
    // The race starts at frame 240. Countdown "3 " at frame 90; the back view on the start
    // straight at 330; V at 335 switches to the cockpit (shot at 375, after the glide); Q at 390
    // pauses (shot at 400); Z at 410 answers "No" and the race goes on (shot at 430).
    const std::string dir = MakeRunDir();
    const std::string input = WriteScript(dir,
                                          "100 down Z\n335 down V\n336 up V\n390 down Q\n391 up Q\n"
                                          "409 up Z\n410 down Z\n");
    GameRun run = RunGame({"--headless", "--unpaced", "--seed", "5", "--skip-intro", "--course", "1", "--input", input,
                           "--frames", "440", "--shot", "90:count.png", "--shot", "330:back.png",
                           "--shot", "375:cockpit.png", "--shot", "400:pause.png", "--shot", "430:resumed.png"},
                          "", dir);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(RaceStarted(run, 1)) << run.output;
    Image count, back, cockpit, pause, resumed;
    ASSERT_TRUE(count.Load(dir + "/count.png"));
    ASSERT_TRUE(back.Load(dir + "/back.png"));
    ASSERT_TRUE(cockpit.Load(dir + "/cockpit.png"));
    ASSERT_TRUE(pause.Load(dir + "/pause.png"));
    ASSERT_TRUE(resumed.Load(dir + "/resumed.png"));

    // The red "3 " at (256, 176), 128 pixels high.
    EXPECT_GT(RedPixels(count, 256, 176, 384, 304), 300);
    EXPECT_LT(RedPixels(count, 0, 0, 200, 150), 50);

    // The own car fills the lower middle of the back view and is gone from the cockpit view.
    EXPECT_GT(Difference(back, cockpit, 280, 350, 360, 440), 20.0);

    // Pause: the selection bar on "No" is blue over the half-dark screen.
    const unsigned char* bar = pause.At(300, 236);
    EXPECT_GT(bar[2], bar[0] + 40);
    EXPECT_GT(bar[2], bar[1] + 40);
    // The race goes on after "No": the bar is gone.
    const unsigned char* after = resumed.At(300, 236);
    EXPECT_FALSE(after[2] > after[0] + 40 && after[2] > after[1] + 40 && after[2] < 200);
}

// Course 11 puts its eight opponents side by side on section 1, two sections ahead of the player's
// car, where they stand through the countdown. At frame 200 the countdown's camera has settled
// behind the car and they stand in the road straight ahead; course 1's nearest opponent starts 30
// sections on, out of sight. The opponents' bodies, lights and tyres show colours that neither
// course's road, sky nor city has (deep red, orange, pink), counted right of the count's "1 "
// (from x 312 on), whose own red would count too.
bool OpponentColour(const unsigned char* p) {
    const int r = p[0], g = p[1], b = p[2];
    const bool deepRed = r > 140 && g < 60 && b < 60;
    const bool orange = r > 230 && g > 100 && g < 170 && b < 90;
    const bool pink = r > 230 && g > 70 && g < 110 && b > 70 && b < 110;
    return deepRed || orange || pink;
}

int OpponentPixels(const Image& img) {
    int count = 0;
    for (int y = 230; y < 290; ++y)
        for (int x = 312; x < 400; ++x)
            if (OpponentColour(img.At(x, y))) ++count;
    return count;
}

TEST(RaceEndToEnd, StartGridOfCourse11ShowsTheOpponentsAhead) {
    const std::vector<std::string> shot = {"--headless", "--unpaced", "--seed", "5", "--frames", "210",
                                           "--shot", "200:grid.png"};
    std::vector<std::string> gridArgs = shot, emptyArgs = shot;
    gridArgs.insert(gridArgs.end(), {"--skip-intro", "--course", "11"});
    emptyArgs.insert(emptyArgs.end(), {"--skip-intro", "--course", "1"});
    GameRun grid = RunGame(gridArgs, "", "", 240);
    GameRun empty = RunGame(emptyArgs, "", "", 240);
    ASSERT_EQ(grid.exitCode, 0) << grid.output;
    ASSERT_EQ(empty.exitCode, 0) << empty.output;
    ASSERT_TRUE(RaceStarted(grid, 11)) << grid.output;
    ASSERT_TRUE(RaceStarted(empty, 1)) << empty.output;
    Image withCars, withoutCars;
    ASSERT_TRUE(withCars.Load(grid.dir + "/grid.png"));
    ASSERT_TRUE(withoutCars.Load(empty.dir + "/grid.png"));
    std::printf("course 11 grid: %s/grid.png\ncourse 1 grid: %s/grid.png\n", grid.dir.c_str(), empty.dir.c_str());
    const int cars = OpponentPixels(withCars), none = OpponentPixels(withoutCars);
    EXPECT_GE(cars, 40) << "no opponent in the road ahead of the grid";
    EXPECT_LE(none, 5);
}

}  // namespace

namespace {

TEST(RaceEndToEnd, QuittingFromThePauseMenuEndsTheRunWithExitAfterRace) {
    // Q pauses at 300, Down moves to "Yes" at 310, Z quits at 320: the run ends there, long
    // before its 2000 frames.
    const std::string dir = MakeRunDir();
    const std::string input = WriteScript(dir, "300 down Q\n301 up Q\n310 down DOWN\n311 up DOWN\n320 down Z\n");
    GameRun run = RunGame({"--headless", "--unpaced", "--skip-intro", "--course", "1", "--input", input, "--exit-after-race",
                           "--frames", "2000", "--stats", "s.json"},
                          "", dir);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(RaceStarted(run, 1)) << run.output;
    const std::string stats = ReadFile(run.dir + "/s.json");
    const size_t at = stats.find("\"frames\":");
    ASSERT_NE(at, std::string::npos) << stats;
    EXPECT_LT(std::stod(stats.substr(at + 9)), 330) << stats;
    EXPECT_EQ(RaceField(stats, "finished"), 0) << stats;
    EXPECT_EQ(RaceField(stats, "laps_done"), -1) << stats;
}

}  // namespace
