// The computer cars on course 1's real geometry, without a window: the turn limit toward a target
// straight behind, the step back of a car that would leave its section, the lap count at the line,
// and cars far from the player that still drive and still count for the player's rank.
#include <gtest/gtest.h>

#include <cmath>

#include "framework/placement.h"
#include "courses/track_queries.h"
#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "race/opponents.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"

namespace {

constexpr float kRoadY = 64.0f;
constexpr float kTurn = 0.049087387f;  // the most an opponent turns in one frame

class Opponents : public ::testing::Test {
protected:
    void SetUp() override {
        course01Routines.writeBoundaryPoints();
        DeriveCourseSurfaces();
        ResetRace();
        raceState.section = 0;
        raceState.half = 0;
        raceState.lapCounter = 0;
        courseGeometry.boostSectionA = courseGeometry.boostSectionB = -1;
        frameCount = 0;
        raceState.enemyCount = 0;
    }

    // Opponent i at (x, z) on the start straight (a road along +z from x 0 to 200, sections 100
    // long from z 100), on `section`, half 0, heading `heading`.
    static void Place(int i, float x, float z, int section, float heading, float speed) {
        opponents[i].placement = MakePlacement(x, kRoadY, z, 1.0f);
        opponents[i].section = section;
        opponents[i].half = 0;
        opponents[i].laps = 0;
        opponents[i].lane = 0.0f;
        opponents[i].heading = heading;
        opponents[i].speed = speed;
        opponents[i].topSpeed = 20.0f;
        opponents[i].boostTimer = 0;
        opponents[i].wheelSpin = 0.0f;
        raceState.enemyCount = std::max(raceState.enemyCount, i + 1);
    }
};

TEST_F(Opponents, TargetStraightBehindTurnsByTheFullLimitAndStepsBack) {
    // On section 5 (z 600..700) facing -z: its aim, the middle of boundary 6, lies straight behind.
    Place(0, 100.0f, 605.0f, 5, 3.1415927f, 10.0f);
    UpdateOpponents();
    EXPECT_NEAR(std::fabs(opponents[0].heading - 3.1415927f), kTurn, 1e-5f);
    EXPECT_NE(opponents[0].steer, 0);
    // The 10 units backward would leave section 5: undone, it keeps its section and place.
    EXPECT_EQ(opponents[0].section, 5);
    EXPECT_EQ(opponents[0].laps, 0);
    EXPECT_NEAR(PlacementPosition(opponents[0].placement).z, 605.0f, 1e-2f);
    EXPECT_NEAR(PlacementPosition(opponents[0].placement).y, kRoadY, 1e-2f);
    // Frame after frame it keeps turning by the limit until it faces its aim.
    for (int f = 0; f < 5; ++f) UpdateOpponents();
    EXPECT_NEAR(std::fabs(opponents[0].heading - 3.1415927f), 6 * kTurn, 1e-4f);
    EXPECT_NEAR(opponents[0].speed, 10.6f, 1e-4f);
}

TEST_F(Opponents, CarDrivingOffTheRoadSideIsMovedBackAndKeepsItsSection) {
    // Near the right edge (x 200) of section 8, facing +x: the move would put it off the road.
    Place(0, 195.0f, 850.0f, 8, 1.5707964f, 12.0f);
    UpdateOpponents();
    const D3DXVECTOR3 p = PlacementPosition(opponents[0].placement);
    EXPECT_EQ(opponents[0].section, 8);
    EXPECT_NEAR(p.x, 195.0f, 0.05f);
    EXPECT_NEAR(p.z, 850.0f, 0.05f);
    // Still turning toward its aim (ahead along +z, so to the left).
    EXPECT_NEAR(opponents[0].heading, 1.5707964f - kTurn, 1e-5f);
    EXPECT_EQ(opponents[0].steer, -1);
    EXPECT_NEAR(opponents[0].wheelSpin, 12.1f / 12.0f, 1e-5f);
}

TEST_F(Opponents, CrossingTheLineCountsALapAndSettlesOnTheRoad) {
    const int last = courseGeometry.sectionCount - 1;
    // On the closing section (z 0..100) facing the line at z 100, 2 units above the road.
    Place(0, 100.0f, 95.0f, last, 0.0f, 10.0f);
    opponents[0].placement._42 = kRoadY + 2.0f;
    UpdateOpponents();
    EXPECT_EQ(opponents[0].section, 0);
    EXPECT_EQ(opponents[0].laps, 1);
    EXPECT_NEAR(PlacementPosition(opponents[0].placement).z, 105.1f, 1e-2f);
    EXPECT_NEAR(PlacementPosition(opponents[0].placement).y, kRoadY, 1e-3f);
}

TEST_F(Opponents, CarsFarFromThePlayerStillDriveAndCountForTheRank) {
    // The player on section 0 of lap 0; opponent 0 beside it, opponent 1 far ahead, well beyond
    // the draw window; opponent 2 a lap behind on the same far section.
    raceState.crystalRange = 5;
    Place(0, 60.0f, 150.0f, 0, 0.0f, 10.0f);
    Place(1, 100.0f, 950.0f, 8, 0.0f, 10.0f);
    Place(2, 140.0f, 950.0f, 8, 0.0f, 10.0f);
    opponents[2].laps = -1;
    ASSERT_FALSE(WithinSections(opponents[1].section, raceState.section, raceState.crystalRange));
    EXPECT_EQ(CurrentRank(), 2);
    for (int f = 0; f < 10; ++f) UpdateOpponents();
    // 10.1 + ... + 11.0 = 105.5 units: opponent 1 is on section 9, opponent 2 as well.
    EXPECT_EQ(opponents[1].section, 9);
    EXPECT_NEAR(PlacementPosition(opponents[1].placement).z, 1055.5f, 0.05f);
    EXPECT_EQ(opponents[2].section, 9);
    EXPECT_EQ(CurrentRank(), 3);  // opponent 0 has moved ahead of the still player on section 1
    EXPECT_EQ(opponents[0].section, 1);
}

TEST_F(Opponents, BoostSectionGivesOneHundredEightyFramesAboveTopSpeed) {
    courseGeometry.boostSectionA = 3;
    Place(0, 100.0f, 410.0f, 3, 0.0f, 10.0f);
    frameCount = 7;
    UpdateOpponents();
    EXPECT_EQ(opponents[0].boostTimer, 179);
    EXPECT_NEAR(opponents[0].speed, 20.0f + 5.0f + 0.07f, 1e-4f);
    EXPECT_EQ(opponents[0].section, 3);
}

TEST(OpponentDrawWindow, SectionsWithinTheRangeAcrossTheWrap) {
    course01Routines.writeBoundaryPoints();
    DeriveCourseSurfaces();
    const int n = courseGeometry.sectionCount;
    EXPECT_TRUE(WithinSections(3, 0, 4));
    EXPECT_FALSE(WithinSections(4, 0, 4));
    // Behind the player across the line the window reaches one section further.
    EXPECT_TRUE(WithinSections(n - 4, 0, 4));
    EXPECT_FALSE(WithinSections(n - 5, 0, 4));
}

}  // namespace
