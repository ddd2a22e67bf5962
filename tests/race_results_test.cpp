// After a finished race: the replay, the results and the course progression, as the player meets
// them. The rules run without a window (a frame without a device runs its step alone); the replay's
// faithfulness and the whole way from course 1 into course 2's intro run the game in the test
// process with its save file on disk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "framework/application.h"
#include "framework/graphics_device.h"
#include "framework/input.h"
#include "framework/placement.h"
#include "framework/switches.h"
#include "game/progress.h"
#include "game/records.h"
#include "game/save_file.h"
#include "game/scene_flow.h"
#include "game/asset_tables.h"
#include "game/settings.h"
#include "game/sound_effects.h"
#include "race/course_intro.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_camera.h"
#include "race/race_results.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "race/replay.h"
#include "race/replay_player.h"
#include "race/sparks.h"
#include "shell/course_clear.h"
#include "shell/title_scene.h"
#include "tests/support/auto_lap.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"
#include "tests/support/save_state.h"

namespace {

void ReleaseKeys() {
    std::memset(keys, 0, sizeof keys);
    std::memset(prevKeys, 0, sizeof prevKeys);
}

void Tap(int key) {
    keys[key] = 0x80;
    prevKeys[key] = 0;
}

class AfterTheRace : public ::testing::Test {
protected:
    void SetUp() override {
        std::srand(3);
        ResetSaveState();
        ASSERT_TRUE(StartAloneBeforeTheLine(1));
        courseFrameProc = nullptr;
        raceState.pose.body = raceState.placement;
        ReleaseKeys();
        raceExits = RaceExits{};
        raceExits.courseClearFrame = CourseClearFrame;
        courseTenEnding = nullptr;
        autoSave = 0;
    }
    void TearDown() override {
        ReleaseKeys();
        ResetSaveState();
    }
};

TEST_F(AfterTheRace, TheAutoSaveMessageShowsOnTheIntrosFrames41To159Only) {
    autoSave = 1;
    autoSaveResult = 2;
    for (int t = 0; t < 600; ++t) EXPECT_EQ(IntroShowsAutoSave(t), t >= 41 && t <= 159) << t;
    autoSaveResult = 0;  // no save was made
    EXPECT_FALSE(IntroShowsAutoSave(100));
    autoSaveResult = 1;
    autoSave = 0;  // saved, but Auto Save is off now
    EXPECT_FALSE(IntroShowsAutoSave(100));
}

TEST_F(AfterTheRace, OneKeyCompletesTheResultsTableASecondStartsTheFadeOut) {
    const int laps = CourseLaps(1);
    frameProc = ResultsFrame;
    frameCount = 100;
    frameProc();
    EXPECT_EQ(frameCount, 101);  // nothing pressed
    Tap(DIK_Z);
    frameProc();
    EXPECT_EQ(frameCount, ResultsAllInPlace(laps) + 1);
    EXPECT_EQ(ResultsAllInPlace(laps), (16 * laps + 536) / 2);
    ReleaseKeys();
    frameProc();
    Tap(DIK_X);
    frameProc();
    EXPECT_EQ(frameCount, 1751);
    // Keys are read only from frame 51: the fade-in is never cut.
    frameCount = 50;
    Tap(DIK_Z);
    frameProc();
    EXPECT_EQ(frameCount, 51);
}

TEST_F(AfterTheRace, ResultsEndInTheCourseProgressionWithTheRaceReset) {
    frameProc = ResultsFrame;
    frameCount = 1790;
    raceState.lapsDone = 5;
    for (int k = 0; k < 11; ++k) frameProc();
    EXPECT_EQ(frameProc, CourseClearFrame);
    EXPECT_EQ(raceState.lapsDone, 0);
    EXPECT_EQ(frameCount, 0);
}

TEST_F(AfterTheRace, SkippingTheReplayInItsLast80FramesDoesNothing) {
    RaceState& r = raceState;
    StartReplay();
    r.replayEnd = 500;
    frameProc = ReplayFrame;
    frameCount = 421;
    Tap(DIK_Q);
    frameProc();
    EXPECT_EQ(r.replayEnd, 500);  // |421 - 500| is not above 80
    frameCount = 419;
    Tap(DIK_Q);
    frameProc();
    EXPECT_EQ(r.replayEnd, 499);  // the curtains close over the next 80 frames
    ReleaseKeys();
    while (frameProc == ReplayFrame && frameCount < 1000) frameProc();
    EXPECT_EQ(frameProc, ResultsFrame);
    EXPECT_EQ(frameCount, 0);
}

TEST_F(AfterTheRace, ARaceFinishedAfter10760FramesReplaysTo10799) {
    RaceState& r = raceState;
    const int laps = CourseLaps(1);
    for (int lap = 1; lap <= laps; ++lap) r.rankAtLap[lap] = 1;
    r.lapCounter = r.lapsDone = laps;
    r.section = 0;
    frameProc = RaceFrame;
    frameCount = 10770;
    replayPlayer[kLastReplayFrame].speed = 123.0f;
    frameProc();
    EXPECT_EQ(r.replayEnd, kLastReplayFrame);
    // No frame after the line is recorded over the end of the tables.
    for (int k = 0; k < 50; ++k) frameProc();
    EXPECT_EQ(replayPlayer[kLastReplayFrame].speed, 123.0f);
}

TEST_F(AfterTheRace, ATracksideShotEndsOnceTheCarIsPastItAndFarAway) {
    RaceState& r = raceState;
    const int n = courseGeometry.sectionCount;
    r.shotMode = 6;
    r.shotTimer = 400;
    r.shotLap = 1;
    r.shotSection = 10;
    r.lapsDone = 1;
    // Before the camera's section, however far: the shot stays.
    r.section = 5;
    r.pose.body = MakePlacement(BoundaryMid(n / 2).x, BoundaryMid(n / 2).y, BoundaryMid(n / 2).z, 1.0f);
    PlaceReplayCamera();
    EXPECT_EQ(r.shotTimer, 399);
    // Past it but within 2000 units: it stays.
    r.section = 12;
    r.pose.body = MakePlacement(BoundaryMid(12).x, BoundaryMid(12).y, BoundaryMid(12).z, 1.0f);
    PlaceReplayCamera();
    EXPECT_EQ(r.shotTimer, 398);
    // Past it and farther: the next frame chooses a new shot.
    r.section = n / 2;
    r.pose.body = MakePlacement(BoundaryMid(n / 2).x, BoundaryMid(n / 2).y, BoundaryMid(n / 2).z, 1.0f);
    const D3DXVECTOR3 gap = BoundaryMid(n / 2) - raceCamera.eye;
    ASSERT_GT(D3DXVec3Length(&gap), 2000.0f);
    PlaceReplayCamera();
    EXPECT_EQ(r.shotTimer, 1);
    // A later lap counts as past too.
    r.shotTimer = 400;
    r.shotMode = 7;
    r.shotLap = 0;
    r.section = 3;
    PlaceReplayCamera();
    EXPECT_EQ(r.shotTimer, 1);
}

// Shots 2 to 4 stand 100 units ahead of or behind the car and 30 above or below it, looking at
// it; the trackside cameras stand 30 off their half and 10 along the section's cross direction.
TEST_F(AfterTheRace, ReplayShotsStandWhereTheirModesPutThem) {
    RaceState& r = raceState;
    const int s = 12;
    D3DXMATRIX car = MakePlacement(BoundaryMid(s).x, BoundaryMid(s).y, BoundaryMid(s).z, 1.0f);
    OrientOnTrack(car, 0.3f);
    r.pose.body = car;
    const D3DXVECTOR3 at = PlacementPosition(car), right = PlacementAxisX(car), up = PlacementAxisY(car),
                      forward = PlacementAxisZ(car);
    for (int mode : {2, 3, 4}) {
        r.shotMode = mode;
        r.shotTimer = 100;
        PlaceReplayCamera();
        const D3DXVECTOR3 off = raceCamera.eye - at, aim = raceCamera.target - at;
        EXPECT_NEAR(std::fabs(D3DXVec3Dot(&off, &forward)), 100.0f, 1e-2f) << mode;
        EXPECT_NEAR(std::fabs(D3DXVec3Dot(&off, &up)), 30.0f, 1e-2f) << mode;
        EXPECT_NEAR(D3DXVec3Dot(&off, &right), 0.0f, 1e-2f) << mode;
        EXPECT_LT(D3DXVec3Length(&aim), 1e-2f) << mode;
    }
    const CourseGeometry& g = courseGeometry;
    r.shotSection = s;
    r.shotLap = r.lapsDone = 1;
    r.section = s - 2;
    const D3DXVECTOR3 rightEye = BoundaryRight(s) + g.halfNormal[2 * s + 1] * 30.0f + g.crossDir[s].start * 10.0f;
    const D3DXVECTOR3 leftEye = BoundaryLeft(s) + g.halfNormal[2 * s] * 30.0f + g.crossDir[s].start * 10.0f;
    for (int mode : {6, 7}) {
        r.shotMode = mode;
        r.shotTimer = 100;
        PlaceReplayCamera();
        const D3DXVECTOR3 miss = raceCamera.eye - (mode == 6 ? rightEye : leftEye);
        EXPECT_LT(D3DXVec3Length(&miss), 1e-2f) << mode;
    }
}

// The replay draws the sparks of a deep drift without the screech: that sound is the race's.
int ReplayOfADrift(void*) {
    if (!StartGameInProcess(1, 9, MakeTempDir() + "/debug.txt")) return 100;
    bgmType = 1;
    RaceState& r = raceState;
    r.driftAngle = 0.5f;
    for (int f = 0; f <= 300; ++f) RecordFrame(f, 0, 0);
    r.replayEnd = 300;
    sounds[kSoundDrift].Stop();
    StartReplay();
    frameProc = ReplayFrame;
    int sparksShown = 0, screeches = 0;
    while (frameProc == ReplayFrame && PumpMessages()) {
        RunFrame();
        for (const Spark& s : sparks) sparksShown += s.life > 0 ? 1 : 0;
        screeches += sounds[kSoundDrift].IsPlaying() ? 1 : 0;
    }
    StopGameInProcess(true);
    if (sparksShown == 0) return 2;
    return screeches == 0 ? 0 : 1;
}

TEST(ReplayPlayback, ADeepDriftShowsItsSparksSilently) { EXPECT_EQ(RunInChildProcess(ReplayOfADrift, nullptr), 0); }

TEST_F(AfterTheRace, CourseTenFinishedTheFirstTimeTestsNoSecretAndLeadsToTheEnding) {
    coursesOpen = 10;
    for (CourseRecord& rec : records) rec.bestRank = 1;  // secret 1's condition holds
    currentCourse = 10;
    static bool endingStarted;
    endingStarted = false;
    courseTenEnding = [] { endingStarted = true; };
    frameCount = 0;
    frameProc = CourseClearFrame;
    frameProc();
    EXPECT_TRUE(endingStarted);
    EXPECT_FALSE(secretFound[0]);
    EXPECT_EQ(coursesOpen, 10);
}

TEST_F(AfterTheRace, SecretFiveIsAnnouncedThenSecretFourThenTheGameMovesOn) {
    coursesOpen = kAllCoursesOpen;
    startedFromCourse1 = true;
    miniMap = speedMeter = timerMode = showFps = 0;
    currentCourse = 10;
    static int endings;
    endings = 0;
    courseTenEnding = [] { ++endings; };
    frameCount = 0;
    frameProc = CourseClearFrame;
    // 600 frames of "Secret Course 5", recorded on the last of them.
    for (int k = 0; k < 599; ++k) frameProc();
    EXPECT_FALSE(secretFound[4]);
    frameProc();
    EXPECT_TRUE(secretFound[4]);
    EXPECT_FALSE(secretFound[3]);
    EXPECT_EQ(frameCount, 0);
    for (int k = 0; k < 599; ++k) frameProc();
    EXPECT_FALSE(secretFound[3]);
    frameProc();
    EXPECT_TRUE(secretFound[3]);
    EXPECT_EQ(endings, 0);
    frameProc();
    EXPECT_EQ(endings, 1);
    EXPECT_FALSE(secretFound[0]);
}

TEST_F(AfterTheRace, ASecretCourseLeadsBackToTheTitleAndANormalOneOpensTheNext) {
    currentCourse = 12;
    frameCount = 0;
    frameProc = CourseClearFrame;
    frameProc();
    EXPECT_EQ(frameProc, TitleFrame);
    EXPECT_EQ(coursesOpen, 1);
    EXPECT_EQ(autoSaveResult, 0);  // Auto Save off
}

// --- the game in the test process --------------------------------------------------------------

struct Positions {
    D3DXVECTOR3 player;
    D3DXVECTOR3 opponents[MaxOpponents];
};

// A seeded race on course 14 with the device lost: the places at each race frame as the race had
// them, and as the replay shows them at the same recorded frame.
int ReplayFaithfulness(void* context) {
    const std::string& out = *static_cast<std::string*>(context);
    if (!StartGameInProcess(14, 17, MakeTempDir() + "/debug.txt")) return 100;
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    std::vector<Positions> race(kReplayFrames), shown(kReplayFrames);
    std::vector<bool> recorded(kReplayFrames, false), replayed(kReplayFrames, false);
    int mismatches = 0, compared = 0;
    while (frameNumber < 20000 && PumpMessages()) {
        const bool racing = frameProc == RaceFrame && !raceState.finished;
        const int f = frameCount;
        RunFrame();
        if (racing && raceState.finished == 0 && f < kReplayFrames) {
            recorded[f] = true;
            race[f].player = PlacementPosition(raceState.placement);
            for (int i = 0; i < raceState.enemyCount; ++i) race[f].opponents[i] = PlacementPosition(opponents[i].placement);
        }
        if (frameProc == ReplayFrame && f < kReplayFrames && frameCount == f + 1 && recorded[f]) {
            ++compared;
            if (!(PlacementPosition(raceState.placement) == race[f].player)) ++mismatches;
            for (int i = 0; i < raceState.enemyCount; ++i)
                if (!(PlacementPosition(opponents[i].placement) == race[f].opponents[i])) ++mismatches;
        }
        if (frameProc == ResultsFrame) break;
    }
    device->SetCooperativeLevelForTest(D3D_OK);
    StopGameInProcess(true);
    FILE* file = std::fopen(out.c_str(), "w");
    if (!file) return 101;
    std::fprintf(file, "%d %d\n", compared, mismatches);
    std::fclose(file);
    return 0;
}

TEST(ReplayPlayback, EveryCarStandsWhereTheRaceHadItAtThatFrame) {
    std::string out = MakeTempDir() + "/replay.txt";
    ASSERT_EQ(RunInChildProcess(ReplayFaithfulness, &out), 0);
    int compared = 0, mismatches = -1;
    ASSERT_EQ(std::sscanf(ReadFile(out).c_str(), "%d %d", &compared, &mismatches), 2);
    EXPECT_GT(compared, 1000);  // the whole one-lap race, frame by frame
    EXPECT_EQ(mismatches, 0);
}

// From a fresh save: course 1's intro, the race with the automatic driver, the replay skipped,
// the results, and the course progression into course 2's intro; the save file on disk then holds
// courses open 2 and course 1's records.
int CourseOneIntoCourseTwo(void* context) {
    const std::string& dataHome = *static_cast<std::string*>(context);
    // The replay begins a little after the race's finish sequence; Q there skips it.
    std::string keys;
    for (int f = 8000; f < 9600; f += 200) keys += std::to_string(f) + " down Q\n" + std::to_string(f + 1) + " up Q\n";
    const std::string keyFile = MakeTempDir() + "/keys.txt";
    FILE* k = std::fopen(keyFile.c_str(), "w");
    if (!k) return 99;
    std::fputs(keys.c_str(), k);
    std::fclose(k);
    if (!StartGameInProcess(0, 7, MakeTempDir() + "/debug.txt", keyFile, dataHome)) return 100;
    programOptions.skipIntro = false;
    autoSave = 1;
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    StartCourse(1);
    int result = 1;
    while (frameNumber < 30000 && PumpMessages()) {
        RunFrame();
        if (frameProc == PreRaceFrame && currentCourse == 2) {
            result = autoSaveResult == 1 && coursesOpen == 2 ? 0 : 2;
            break;
        }
    }
    device->SetCooperativeLevelForTest(D3D_OK);
    StopGameInProcess(true);
    return result;
}

TEST(CourseProgression, CourseOneWonLeadsIntoCourseTwoAndTheSaveFileSaysSo) {
    std::string dataHome = MakeTempDir();
    ASSERT_EQ(RunInChildProcess(CourseOneIntoCourseTwo, &dataHome), 0);
    // What a second run would load.
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    ResetSaveState();
    ASSERT_TRUE(ReadSaveFile());
    EXPECT_EQ(coursesOpen, 2);
    EXPECT_GE(records[1].bestRank, 1);
    EXPECT_LE(records[1].bestRank, 4);
    EXPECT_LT(records[1].bestLapMinutes, 99);
    EXPECT_LT(BestTotal(1).minutes, 99);
    EXPECT_GT(records[1].bestCrystalRatio, 0.0f);
    EXPECT_EQ(records[2].bestRank, 9);
    ResetSaveState();
}

}  // namespace
