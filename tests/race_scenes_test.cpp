// The race's scenes as the player meets them, on course 1's real geometry without a window (a
// frame without a device runs its step alone): the countdown's rocket-start windows, the
// cameras and their smoothing, contacts with an opponent, the finish sequence's timings, its skip,
// and the two failed endings leading back to the title. The countdown's signals are heard in the
// whole game run in the test process.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "framework/application.h"
#include "framework/input.h"
#include "framework/placement.h"
#include "game/asset_tables.h"
#include "game/records.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "game/sound_effects.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_camera.h"
#include "race/race_hud.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "race/replay_player.h"
#include "race/sparks.h"
#include "tests/support/auto_lap.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"

namespace {

constexpr float kRoadY = 64.0f;

class RaceScenes : public ::testing::Test {
protected:
    void SetUp() override {
        std::srand(5);
        ResetRecords();
        ASSERT_TRUE(StartAloneBeforeTheLine(1));
        courseFrameProc = nullptr;
        raceState.limitTime = 100000;
        raceState.pose.body = raceState.placement;
        viewType = 0;
        ReleaseKeys();
        raceExits = RaceExits{};
    }
    void TearDown() override { ReleaseKeys(); }

    static void ReleaseKeys() {
        std::memset(keys, 0, sizeof keys);
        std::memset(prevKeys, 0, sizeof prevKeys);
    }
    static void Tap(int key) {
        keys[key] = 0x80;
        prevKeys[key] = 0;
    }
    static void Hold(int key) { keys[key] = prevKeys[key] = 0x80; }

    // The car on course 1's home straight (a road along +z from x 0 to 200), facing +z.
    static void PutCar(float x, float z) {
        raceState.placement = MakePlacement(x, kRoadY, z, 1.0f);
        OrientOnTrack(raceState.placement, 0.0f);
        raceState.pose.body = raceState.placement;
    }

    // The countdown from its first frame with the gas first pressed at `pressAt` and held to the
    // start (0: never pressed; a negative value: pressed there and let go at once). The player's
    // speed as the race begins.
    static float RocketStart(int pressAt) {
        raceState.startTry = 1;
        raceState.speed = 0.0f;
        frameCount = 1;
        frameProc = CountdownFrame;
        const int press = pressAt < 0 ? -pressAt : pressAt;
        while (frameProc == CountdownFrame) {
            if (press != 0 && frameCount == press) {
                Tap(DIK_Z);
            } else if (press != 0 && frameCount > press && pressAt > 0) {
                Hold(DIK_Z);
            } else {
                ReleaseKeys();
            }
            frameProc();
        }
        ReleaseKeys();
        return raceState.speed;
    }

    // Runs the current scene until the scene frame counter reaches `count` (or 5000 frames pass).
    static void RunUntilFrame(int count) {
        for (int k = 0; k < 5000 && frameCount != count; ++k) frameProc();
    }

    // The race on its last lap's line: every lap done, at `rank`.
    static void OnTheLastLine(int rank) {
        const int laps = CourseLaps(1);
        for (int lap = 1; lap <= laps; ++lap) {
            raceState.rankAtLap[lap] = rank;
            raceState.lapTimeMinutes[lap] = 0;
            raceState.lapTimeMillis[lap] = 30000;
        }
        raceState.lapCounter = raceState.lapsDone = laps;
        raceState.section = 0;
        PutCar(100.0f, 40.0f);
        frameProc = RaceFrame;
        frameCount = 500;
    }
};

TEST_F(RaceScenes, RocketStartWindowsGiveTenThreeOrNothing) {
    for (int p : {151, 160, 169}) EXPECT_EQ(RocketStart(p), 10.0f) << p;
    for (int p : {131, 149, 171, 189}) EXPECT_EQ(RocketStart(p), 3.0f) << p;
    for (int p : {0, 100, 130, 150, 170, 190, 230}) EXPECT_EQ(RocketStart(p), 0.0f) << p;
    // A rocket start must be held to the start.
    EXPECT_EQ(RocketStart(-160), 0.0f);
    // Only the first press counts: a second one inside the window is no second try.
    raceState.startTry = 1;
    frameCount = 1;
    frameProc = CountdownFrame;
    while (frameProc == CountdownFrame) {
        if (frameCount == 120 || frameCount == 160) {
            Tap(DIK_Z);
        } else if (frameCount == 121 || frameCount > 160) {
            Hold(DIK_Z);
        } else {
            ReleaseKeys();
        }
        frameProc();
    }
    EXPECT_EQ(raceState.speed, 0.0f);
    EXPECT_EQ(frameCount, 0);
    EXPECT_EQ(frameProc, RaceFrame);
}

TEST_F(RaceScenes, BackViewFollowsEightTenthsOfTheWayAndLooksThreeTenths) {
    ResetRaceCamera();
    const D3DXVECTOR3 eye(100.0f, kRoadY + 35.0f, -95.0f), target(100.0f, kRoadY, 300.0f);
    UpdateRaceCamera(raceState.placement, 0.0f, 0);
    EXPECT_NEAR(raceCamera.eye.x, 0.8f * eye.x, 1e-3f);
    EXPECT_NEAR(raceCamera.eye.y, 0.8f * eye.y, 1e-3f);
    EXPECT_NEAR(raceCamera.eye.z, 0.8f * eye.z, 1e-3f);
    // The target starts one unit ahead of the origin.
    const float target1 = 1.0f + 0.3f * (target.z - 1.0f);
    EXPECT_NEAR(raceCamera.target.z, target1, 1e-3f);
    UpdateRaceCamera(raceState.placement, 0.0f, 0);
    EXPECT_NEAR(raceCamera.eye.y, 0.96f * eye.y, 1e-3f);
    EXPECT_NEAR(raceCamera.target.z, target1 + 0.3f * (target.z - target1), 1e-3f);
    for (int k = 0; k < 60; ++k) UpdateRaceCamera(raceState.placement, 0.0f, 0);
    EXPECT_NEAR(raceCamera.eye.z, eye.z, 1e-2f);
    EXPECT_NEAR(raceCamera.target.z, target.z, 1e-2f);
    // The view looks from the eye at the target: the car straight ahead of the camera, below it.
    D3DXVECTOR3 car;
    const D3DXVECTOR3 carPosition = PlacementPosition(raceState.placement);
    D3DXVec3TransformCoord(&car, &carPosition, &raceCamera.view);
    EXPECT_NEAR(car.x, 0.0f, 1e-2f);
    EXPECT_LT(car.y, 0.0f);
    EXPECT_NEAR(car.z, std::sqrt(95.0f * 95.0f + 35.0f * 35.0f), 10.0f);

    // Drifting, the camera swings behind the way the car travels.
    raceState.driftAngle = 0.3f;
    raceState.gripState = -1;
    for (int k = 0; k < 60; ++k) UpdateRaceCamera(raceState.placement, 0.0f, 0);
    // (95 back along the travel, 35 up the body rolled a sixth of the drift against it.)
    EXPECT_NEAR(raceCamera.eye.x, 100.0f - 95.0f * std::sin(0.3f) + 35.0f * std::sin(0.05f), 0.2f);
}

TEST_F(RaceScenes, CockpitViewFollowsHalfTheWayFromAboveTheSeat) {
    ResetRaceCamera();
    UpdateRaceCamera(raceState.placement, 0.0f, 1);
    EXPECT_NEAR(raceCamera.eye.x, 0.5f * 100.0f, 1e-3f);
    EXPECT_NEAR(raceCamera.eye.y, 0.5f * (kRoadY + 10.0f), 1e-3f);
    EXPECT_NEAR(raceCamera.eye.z, 0.5f * 3.0f, 1e-3f);
    EXPECT_NEAR(raceCamera.target.z, 1.0f + 0.5f * (50.0f - 1.0f), 1e-3f);
    for (int k = 0; k < 40; ++k) UpdateRaceCamera(raceState.placement, 0.0f, 1);
    EXPECT_NEAR(raceCamera.eye.y, kRoadY + 10.0f, 1e-3f);
    EXPECT_NEAR(raceCamera.eye.z, 3.0f, 1e-3f);

    // After the finish: a fixed look at the car from 50 units toward the course centre.
    raceState.finished = 1;
    UpdateRaceCamera(raceState.placement, 0.0f, 1);
    const D3DXVECTOR3 pos = PlacementPosition(raceState.placement);
    D3DXVECTOR3 toCentre = courseGeometry.courseCentre - pos;
    D3DXVec3Normalize(&toCentre, &toCentre);
    EXPECT_NEAR(raceCamera.eye.x, pos.x + 50.0f * toCentre.x, 1e-3f);
    EXPECT_NEAR(raceCamera.eye.y, pos.y + 50.0f * toCentre.y, 1e-3f);
    EXPECT_NEAR(raceCamera.target.z, pos.z, 1e-3f);
}

TEST_F(RaceScenes, AnOpponentAlongsideTurnsTheCarAwayAndTradesSpeeds) {
    // Both boxes 16 wide, 8 high, 28 long.
    const D3DXVECTOR3 lo(-8.0f, -4.0f, -14.0f), hi(8.0f, 4.0f, 14.0f);
    for (Model* m : {&playerBody, &opponentModels[0].body})
        for (int i = 0; i < 8; ++i)
            m->corners[i] = D3DXVECTOR3(i < 4 ? hi.x : lo.x, (i & 2) == 0 ? hi.y : lo.y, (i & 1) == 0 ? hi.z : lo.z);
    raceState.enemyCount = 1;
    raceState.section = 5;
    opponents[0].section = 6;
    auto contact = [](float oppX) {
        raceState.heading = 0.0f;
        raceState.speed = 12.0f;
        opponents[0].speed = 8.0f;
        raceState.previousPlacement = MakePlacement(100.0f, kRoadY, 590.0f, 1.0f);
        raceState.placement = MakePlacement(100.0f, kRoadY, 600.0f, 1.0f);
        opponents[0].placement = MakePlacement(oppX, kRoadY, 605.0f, 1.0f);
        CarContacts();
    };
    contact(88.0f);  // on the left: its right side inside the car
    EXPECT_NEAR(raceState.heading, kContactTurn, 1e-6f);
    EXPECT_EQ(raceState.speed, 8.0f);
    EXPECT_EQ(opponents[0].speed, 12.0f);
    EXPECT_EQ(PlacementPosition(raceState.placement).z, 590.0f);  // back where it stood
    contact(112.0f);  // on the right
    EXPECT_NEAR(raceState.heading, -kContactTurn, 1e-6f);
    contact(130.0f);  // clear of it
    EXPECT_EQ(raceState.heading, 0.0f);
    EXPECT_EQ(raceState.speed, 12.0f);
    EXPECT_EQ(PlacementPosition(raceState.placement).z, 600.0f);
    // Too far round the course to touch, whatever the boxes say.
    opponents[0].section = 40;
    contact(88.0f);
    EXPECT_EQ(raceState.heading, 0.0f);
}

TEST_F(RaceScenes, FinishSequenceShowsItsTextsOnTimeAndHandsOverAfterTheCurtains) {
    OnTheLastLine(2);
    frameProc();
    RaceState& r = raceState;
    EXPECT_EQ(r.finished, 1);
    EXPECT_EQ(r.finalRank, 2);
    EXPECT_EQ(r.replayEnd, 540);
    EXPECT_EQ(playerControl, DriveAuto);
    EXPECT_STREQ(bigText.text, "FINISH ");
    EXPECT_EQ(frameCount, 1);
    RunUntilFrame(601);
    EXPECT_STREQ(bigText.text, "");
    frameProc();
    EXPECT_STREQ(bigText.text, "Your Rank 2 ");
    EXPECT_EQ(r.bigTextTimer, 299);
    RunUntilFrame(1201);
    frameProc();
    EXPECT_NE(std::strstr(bigText.text, "Your Rate Of"), nullptr);
    EXPECT_EQ(r.bigTextTimer, 599);
    RunUntilFrame(2181);
    EXPECT_EQ(frameProc, RaceFrame);
    frameProc();
    // The replay follows, from its frame 2.
    EXPECT_EQ(frameProc, ReplayFrame);
    EXPECT_EQ(frameCount, 2);
    EXPECT_EQ(records[1].bestRank, 2);
}

// The finish sequence's look at its frames: the texts' windows, and the curtains closing 4 pixels
// a frame each from frame 2101 until they meet at the screen's middle on frame 2180.
TEST(FinishLook, TextsCurtainsAndTheEndByFrame) {
    EXPECT_EQ(FinishLookAt(600).text, FinishText::kNone);
    EXPECT_EQ(FinishLookAt(601).text, FinishText::kRank);
    EXPECT_EQ(FinishLookAt(899).text, FinishText::kRank);
    EXPECT_EQ(FinishLookAt(900).text, FinishText::kNone);
    EXPECT_EQ(FinishLookAt(1201).text, FinishText::kCrystals);
    EXPECT_EQ(FinishLookAt(1800).text, FinishText::kNone);
    EXPECT_FALSE(FinishLookAt(350).skipLine);
    EXPECT_TRUE(FinishLookAt(355).skipLine);   // 355 % 71 == 0
    EXPECT_FALSE(FinishLookAt(390).skipLine);  // 390 % 71 == 35
    EXPECT_EQ(FinishLookAt(2100).curtain, 0);
    EXPECT_FALSE(FinishLookAt(2100).skippable);
    EXPECT_EQ(FinishLookAt(kFinishCurtainsFrame).curtain, 4);
    EXPECT_EQ(FinishLookAt(2180).curtain, 320);
    EXPECT_FALSE(FinishLookAt(2180).over);
    EXPECT_TRUE(FinishLookAt(2181).over);
    EXPECT_EQ(FinishLookAt(2181).curtain, 0);
}

TEST_F(RaceScenes, SkippingTheFinishWorksOnlyBetween351And2099) {
    OnTheLastLine(1);
    frameProc();
    RunUntilFrame(350);
    Tap(DIK_Q);
    frameProc();
    EXPECT_EQ(frameCount, 351);
    Tap(DIK_Q);
    frameProc();
    EXPECT_EQ(frameCount, 2101);
    // Whatever text was up shows one last frame.
    EXPECT_EQ(raceState.bigTextTimer, 1);
    ReleaseKeys();
    frameProc();
    EXPECT_EQ(raceState.bigTextTimer, 0);
    EXPECT_EQ(frameCount, 2102);
    RunUntilFrame(2181);
    frameProc();
    EXPECT_EQ(frameProc, ReplayFrame);
}

TEST_F(RaceScenes, TimeUpEndsTheRaceAndLeadsToTheTitleAfter480Frames) {
    raceState.lapCounter = raceState.lapsDone = 1;
    raceState.limitTime = 17;
    frameProc = RaceFrame;
    frameCount = 900;
    frameProc();
    EXPECT_EQ(raceState.limitTime, 1);
    EXPECT_EQ(frameProc, RaceFrame);
    frameProc();
    EXPECT_EQ(frameProc, TimeUpFrame);
    EXPECT_EQ(frameCount, 1);
    // The camera comes from behind the car and passes through it.
    const D3DXVECTOR3 car = PlacementPosition(raceState.placement);
    frameProc();
    EXPECT_LT(raceCamera.eye.z, car.z - 80.0f);
    RunUntilFrame(40);
    frameProc();
    EXPECT_GT(raceCamera.eye.z, car.z + 60.0f);
    RunUntilFrame(479);
    EXPECT_EQ(frameProc, TimeUpFrame);
    frameProc();
    EXPECT_EQ(frameProc, BlackFrame);
    EXPECT_EQ(raceState.lapsDone, 0);  // the race was reset for the title
    EXPECT_EQ(frameCount, 0);
}

TEST_F(RaceScenes, ThePausedRaceIsFrozenSparksIncludedAndTheyFlyOnOnceItResumes) {
    PutCar(100.0f, 620.0f);
    ClearSparks();
    raceState.gripState = -1;
    raceState.driftAngle = 0.5f;
    for (int i = 0; i < 20; ++i) ThrowDriftSparks(raceState.pose.body);
    raceState.driftAngle = 0.0f;
    Spark before[kSparkSlots];
    std::memcpy(before, sparks, sizeof sparks);
    int live = 0;
    for (const Spark& s : sparks) live += s.life > 0 ? 1 : 0;
    ASSERT_GT(live, 0);
    raceState.pauseCursor = 0;
    frameProc = PauseFrame;
    for (int f = 0; f < 5; ++f) frameProc();
    for (int i = 0; i < kSparkSlots; ++i) {
        EXPECT_EQ(sparks[i].life, before[i].life) << i;
        EXPECT_TRUE(sparks[i].position == before[i].position) << i;
    }
    // Resumed, the race's own frames move them again.
    Tap(DIK_Q);
    frameProc();
    ReleaseKeys();
    ASSERT_EQ(frameProc, RaceFrame);
    frameProc();
    int moved = 0;
    for (int i = 0; i < kSparkSlots; ++i) moved += before[i].life > 0 && sparks[i].life < before[i].life ? 1 : 0;
    EXPECT_EQ(moved, live);
}

TEST_F(RaceScenes, FinishingFifthIsOutOfRankAndLeadsToTheTitle) {
    OnTheLastLine(5);
    frameProc();
    EXPECT_EQ(frameProc, OutOfRankFrame);
    EXPECT_EQ(records[1].bestRank, 5);
    EXPECT_EQ(frameCount, 1);
    RunUntilFrame(480);
    EXPECT_EQ(frameProc, BlackFrame);
}

// The whole game in the test process with its sounds: the countdown's three short signals at
// frames 60, 120 and 180 and the long one as the race starts.
TEST(RaceCountdown, SignalsSoundAtSixtyOneTwentyOneEightyAndTheStart) {
    const bool started = StartGameInProcess(1, 3, MakeTempDir() + "/debug.txt");
    ASSERT_TRUE(started);
    bgmType = 1;
    // The countdown starts at its frame 1 on the game's frame 0.
    int heard1 = 0, heard2 = 0;
    for (uint32_t f = 0; f < 260 && PumpMessages(); ++f) {
        const int count = frameCount;
        sounds[kSoundSignal1].Stop();
        sounds[kSoundSignal2].Stop();
        RunFrame();
        if (sounds[kSoundSignal1].IsPlaying()) {
            EXPECT_TRUE(count == 60 || count == 120 || count == 180) << count;
            ++heard1;
        }
        if (sounds[kSoundSignal2].IsPlaying()) {
            EXPECT_EQ(count, 240);
            ++heard2;
        }
    }
    EXPECT_EQ(heard1, 3);
    EXPECT_EQ(heard2, 1);
    StopGameInProcess(started);
}

}  // namespace
