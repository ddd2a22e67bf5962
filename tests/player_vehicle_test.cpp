// The driving model on course 1's real geometry: the gas and brake table, drifts, slides, boosts,
// the speed limits, walls, the automatic driver and the glue to the road.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "framework/placement.h"
#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "framework/input.h"
#include "game/controls.h"
#include "race/player_vehicle.h"
#include "race/sparks.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "game/pad_config.h"
#include "game/scene_flow.h"

namespace {

constexpr float kRoadY = 64.0f;

class VehicleTest : public ::testing::Test {
protected:
    void SetUp() override {
        course01Routines.writeBoundaryPoints();
        DeriveCourseSurfaces();
        currentCourse = 1;
        ResetPadButtons();
        ReleaseAll();
        ResetRace();
        raceState.enemyCount = 0;
        raceState.section = 5;  // the start straight: z 600..700, x 0..200
        raceState.half = 0;
        raceState.lapCounter = raceState.lapsDone = 0;
    }
    void TearDown() override { ReleaseAll(); }

    static void ReleaseAll() {
        std::memset(keys, 0, sizeof keys);
        std::memset(prevKeys, 0, sizeof prevKeys);
        std::memset(pads, 0, sizeof pads);
        std::memset(prevPads, 0, sizeof prevPads);
    }
    // Held since the last frame (state 3).
    static void Hold(int key) { keys[key] = prevKeys[key] = 0x80; }
    // Pressed in this frame (state 2).
    static void Tap(int key) {
        keys[key] = 0x80;
        prevKeys[key] = 0;
    }
    static void Release(int key) { keys[key] = prevKeys[key] = 0; }

    static void Drive(int frames = 1) {
        for (int i = 0; i < frames; ++i) {
            raceState.steerInput = 0;
            uint8_t gas = 0, brake = 0;
            ReadControls();
            DriveByInput(&gas, &brake);
            LimitSpeed();
        }
    }

    static void PutCar(float x, float z, float heading) {
        raceState.placement = MakePlacement(x, kRoadY, z, 1.0f);
        raceState.heading = heading;
        OrientOnTrack(raceState.placement, heading);
    }
};

TEST_F(VehicleTest, GasAndBrakeTogetherSlowByFiveHundredthsAndNeverDrift) {
    raceState.speed = 10.0f;
    raceState.gripState = kGripFrames;
    Hold(DIK_Z);
    Hold(DIK_X);
    Hold(DIK_LEFT);
    for (int i = 0; i < 30; ++i) {
        const float before = raceState.speed;
        Drive();
        EXPECT_NEAR(raceState.speed, before - 0.05f, 1e-4f);
        EXPECT_GE(raceState.gripState, 0);
    }
}

TEST_F(VehicleTest, DriftStartsOnlyWithBrakeAloneWithinTenFramesOfGasAboveSpeedFive) {
    // Gas, coast nine frames, then brake while steering at speed 10: a drift.
    raceState.speed = 10.0f;
    Hold(DIK_UP);
    Drive();
    EXPECT_EQ(raceState.gripState, kGripFrames);
    Release(DIK_UP);
    Drive(9);
    EXPECT_EQ(raceState.gripState, 1);
    Hold(DIK_DOWN);
    Hold(DIK_RIGHT);
    Drive();
    EXPECT_EQ(raceState.gripState, -1);

    // Ten coasting frames close the window.
    ResetRace();
    raceState.speed = 10.0f;
    Hold(DIK_UP);
    Release(DIK_DOWN);
    Drive();
    Release(DIK_UP);
    Drive(10);
    Hold(DIK_DOWN);
    Drive();
    EXPECT_EQ(raceState.gripState, 0);

    // Too slow.
    ResetRace();
    raceState.speed = 4.0f;
    Release(DIK_DOWN);
    Hold(DIK_UP);
    Drive();
    Release(DIK_UP);
    Hold(DIK_DOWN);
    Drive();
    EXPECT_EQ(raceState.gripState, 0);

    // Not steering.
    ResetRace();
    raceState.speed = 10.0f;
    Release(DIK_DOWN);
    Release(DIK_RIGHT);
    Hold(DIK_UP);
    Drive();
    Release(DIK_UP);
    Hold(DIK_DOWN);
    Drive();
    EXPECT_EQ(raceState.gripState, 0);
}

TEST_F(VehicleTest, DriftEndsBelowSpeedFiveAndRecoversWithoutSteering) {
    raceState.speed = 5.1f;
    raceState.gripState = -1;
    raceState.driftAngle = 0.3f;
    Hold(DIK_X);
    Hold(DIK_LEFT);
    Drive();  // 5.1 - 0.2 < 5
    EXPECT_EQ(raceState.gripState, 0);
    EXPECT_EQ(raceState.driftAngle, 0.0f);

    // Decayed and no steering: the drift recovers.
    ReleaseAll();
    raceState.speed = 12.0f;
    raceState.gripState = -1;
    raceState.driftAngle = 0.004f;
    Drive();
    EXPECT_EQ(raceState.gripState, 0);
    EXPECT_EQ(raceState.driftAngle, 0.0f);
}

TEST_F(VehicleTest, StandingDoubleTapStartsNoSlideButUsesTheTap) {
    Tap(DIK_LEFT);
    Drive();
    EXPECT_EQ(raceState.slideTapTimer, -8);
    Release(DIK_LEFT);
    Drive(2);
    EXPECT_EQ(raceState.slideTapTimer, -6);
    Tap(DIK_LEFT);
    Drive();
    EXPECT_EQ(raceState.slideTapTimer, 0);
    EXPECT_EQ(raceState.sideSpeed, 0.0f);

    // Moving, the same double tap slides; the impulse decays by 0.5 a frame.
    ReleaseAll();
    raceState.speed = 8.0f;
    Tap(DIK_RIGHT);
    Drive();
    Release(DIK_RIGHT);
    Drive();
    Tap(DIK_RIGHT);
    raceState.steerInput = 0;
    uint8_t gas = 0, brake = 0;
    ReadControls();
    DriveByInput(&gas, &brake);
    EXPECT_EQ(raceState.sideSpeed, 5.0f);
    LimitSpeed();
    EXPECT_EQ(raceState.sideSpeed, 4.5f);
}

TEST_F(VehicleTest, BoostWithoutGasIsTwoFaster) {
    frameCount = 7;
    raceState.boostStock = 2;
    Hold(DIK_SPACE);
    uint8_t gas = 0, brake = 0;
    ReadControls();
    DriveByInput(&gas, &brake);
    const float noGas = raceState.speed;
    EXPECT_EQ(raceState.boostStock, 1);
    EXPECT_EQ(raceState.boostTimer, kBoostFrames - 1);
    EXPECT_NEAR(noGas, 22.0f + 0.07f + 2.0f, 1e-4f);

    Hold(DIK_Z);
    raceState.steerInput = 0;
    ReadControls();
    DriveByInput(&gas, &brake);
    EXPECT_NEAR(raceState.speed, 22.07f, 1e-4f);
    EXPECT_EQ(raceState.boostStock, 1);  // a running boost is not refired
    EXPECT_EQ(gas, 1);
}

TEST_F(VehicleTest, SpeedNeverBelowMinusOneAndSettlesAboveTopSpeed) {
    Hold(DIK_S);
    Drive(200);
    EXPECT_EQ(raceState.speed, -1.0f);

    ReleaseAll();
    Hold(DIK_A);
    Drive(400);
    EXPECT_GT(raceState.speed, 18.0f);
    EXPECT_LT(raceState.speed, 18.3f);

    // A boost's speed falls back by 0.11 a frame.
    raceState.speed = 24.0f;
    LimitSpeed();
    EXPECT_NEAR(raceState.speed, 23.89f, 1e-4f);
}

TEST_F(VehicleTest, HeadOnIntoAWallReversesTheSpeed) {
    // Facing the right wall (x = 200) across the road.
    PutCar(180.0f, 650.0f, 1.5707964f);
    raceState.speed = 12.0f;
    PlaceAndMoveCar();
    EXPECT_NEAR(PlacementPosition(raceState.placement).x, 192.0f, 1e-3f);
    UpdateProgress();
    EdgeContacts();
    EXPECT_NEAR(raceState.speed, -10.0f, 1e-4f);  // 12 / 1.2, backward
    EXPECT_NEAR(PlacementPosition(raceState.placement).x, 180.0f, 1e-3f);
    EXPECT_EQ(raceState.section, 5);

    // Drifting, the bounce keeps half the speed and ends the drift.
    PutCar(180.0f, 650.0f, 1.5707964f);
    raceState.speed = 12.0f;
    raceState.gripState = -1;
    PlaceAndMoveCar();
    EdgeContacts();
    EXPECT_NEAR(raceState.speed, -6.0f, 1e-4f);
    EXPECT_EQ(raceState.gripState, 0);
}

TEST_F(VehicleTest, GlancingWallTurnsAwayFromIt) {
    // Heading a little right of +z, close to the right wall: only the front right corner leaves.
    PutCar(188.0f, 650.0f, 0.3f);
    raceState.speed = 6.0f;
    PlaceAndMoveCar();
    EdgeContacts();
    EXPECT_NEAR(raceState.heading, 0.3f - kWallTurn, 1e-5f);
    EXPECT_NEAR(raceState.speed, 5.0f, 1e-4f);
}

TEST_F(VehicleTest, MovesAlongItsHeadingAndStaysGluedToTheRoad) {
    PutCar(100.0f, 620.0f, 0.0f);
    raceState.speed = 10.0f;
    PlaceAndMoveCar();
    UpdateProgress();
    EdgeContacts();
    const D3DXVECTOR3 p = PlacementPosition(raceState.placement);
    EXPECT_NEAR(p.z, 630.0f, 1e-3f);
    EXPECT_NEAR(p.y, kRoadY, 1e-3f);
    EXPECT_EQ(raceState.speed, 10.0f);
}

TEST_F(VehicleTest, AutomaticDriverTurnsTowardTheNextBoundaryAtMostThreePiOver256) {
    // Heading well left of the next boundary's middle: the turn is limited.
    PutCar(100.0f, 620.0f, -1.0f);
    uint8_t gas = 0, brake = 0;
    DriveAuto(&gas, &brake);
    EXPECT_NEAR(raceState.heading, -1.0f + kAutoTurnLimit, 1e-5f);
    EXPECT_EQ(raceState.steerInput, 1);
    EXPECT_EQ(gas, 1);
    EXPECT_NEAR(raceState.speed, 0.1f, 1e-6f);

    // Straight at it: no turn.
    PutCar(100.0f, 620.0f, 0.0f);
    raceState.heading = 0.0f;
    DriveAuto(&gas, &brake);
    EXPECT_NEAR(raceState.heading, 0.0f, 1e-3f);
    EXPECT_EQ(raceState.steerInput, 0);
}

TEST_F(VehicleTest, ThePoseLiftsTheBodyAndLeavesThePlacementAlone) {
    PutCar(100.0f, 620.0f, 0.2f);
    raceState.driftAngle = 0.1f;
    OrientOnTrack(raceState.placement, raceState.heading + raceState.driftAngle);
    const D3DXMATRIX physics = raceState.placement;
    const VehiclePose pose = PlayerPose(0.25f);
    EXPECT_NEAR(PlacementPosition(pose.body).y, kRoadY + 6.0f + 0.25f, 1e-3f);
    // The shake lifts it along its own up axis, which the drift rolls a little to the side.
    EXPECT_NEAR(PlacementPosition(pose.body).x, PlacementPosition(physics).x, 0.05f);
    // The drawn body faces along the heading; the drift shows only as a roll.
    const D3DXVECTOR3 forward = PlacementAxisZ(pose.body);
    EXPECT_NEAR(std::atan2(forward.x, forward.z), 0.2f, 1e-3f);
    EXPECT_TRUE(raceState.placement == physics);
}

TEST_F(VehicleTest, SparksFlyOnlyInADeepDrift) {
    PutCar(100.0f, 620.0f, 0.0f);
    ClearSparks();
    raceState.gripState = -1;
    raceState.driftAngle = 0.2f;
    for (int i = 0; i < 50; ++i) ThrowDriftSparks(raceState.placement);
    for (const Spark& s : sparks) EXPECT_EQ(s.life, 0);
    raceState.driftAngle = 0.5f;
    for (int i = 0; i < 50; ++i) ThrowDriftSparks(raceState.placement);
    int live = 0;
    for (const Spark& s : sparks) live += s.life == 10 ? 1 : 0;
    EXPECT_GT(live, 0);
    for (int i = 0; i < 10; ++i) AdvanceSparks();
    for (const Spark& s : sparks) EXPECT_EQ(s.life, 0);
}

}  // namespace
