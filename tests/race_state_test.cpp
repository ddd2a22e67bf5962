// Race state rules on course 1's real geometry, without a window: progress and lap crossings in
// both directions, the first crossing, ranks, the clocks, the finish bookkeeping and the records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "framework/placement.h"
#include "courses/track_queries.h"
#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_table.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_hud.h"
#include "game/records.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "tests/support/run_game.h"

namespace {

constexpr float kRoadY = 64.0f;

class RaceStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A finish keeps the run as the course's ghost: in a folder of the test's own.
        setenv("XDG_DATA_HOME", MakeTempDir().c_str(), 1);
        course01Routines.writeBoundaryPoints();
        DeriveCourseSurfaces();
        currentCourse = 1;
        ResetRecords();
        ResetRace();
        raceState.enemyCount = 0;
        raceState.section = courseGeometry.sectionCount - 1;
        raceState.half = 0;
        raceState.lapCounter = raceState.lapsDone = -1;
        raceState.limitTime = 100000;
        raceState.supplyCrystalCount = raceState.boostCrystalCount = 0;
    }

    // The car on the home straight of course 1 (a road along +z from x 0 to 200), facing +z.
    static void PutCar(float x, float z) {
        raceState.placement = MakePlacement(x, kRoadY, z, 1.0f);
        OrientOnTrack(raceState.placement, 0.0f);
        // Crystals are reached by the car as drawn: here standing on the road itself.
        raceState.pose.body = raceState.placement;
    }

    // Moves the car to z and runs the progress rule.
    static void DriveTo(float z) {
        PutCar(100.0f, z);
        UpdateProgress();
    }
};

TEST_F(RaceStateTest, InsideTestAcceptsInteriorSidesAndCornersOnly) {
    const D3DXVECTOR3 a(0, 0, 0), b(10, 0, 0), c(0, 0, 10);
    EXPECT_TRUE(InsideTriangle(D3DXVECTOR3(2, 0, 2), a, b, c));
    EXPECT_TRUE(InsideTriangle(D3DXVECTOR3(5, 0, 0), a, b, c));   // on a side
    EXPECT_TRUE(InsideTriangle(D3DXVECTOR3(0, 0, 0), a, b, c));   // on a corner
    EXPECT_FALSE(InsideTriangle(D3DXVECTOR3(6, 0, 6), a, b, c));
    EXPECT_FALSE(InsideTriangle(D3DXVECTOR3(-1, 0, 5), a, b, c));
}

TEST_F(RaceStateTest, HalvesSplitAlongTheDiagonalFromRightStartToLeftEnd) {
    // Section 0 runs from z 100 to 200; half 0 is the right-front triangle.
    const D3DXVECTOR3 up(0, 1, 0);
    EXPECT_TRUE(PointOverHalf(D3DXVECTOR3(190, kRoadY, 190), up, 0, 0));
    EXPECT_FALSE(PointOverHalf(D3DXVECTOR3(190, kRoadY, 190), up, 0, 1));
    EXPECT_TRUE(PointOverHalf(D3DXVECTOR3(10, kRoadY, 110), up, 0, 1));
    EXPECT_FALSE(PointOverHalf(D3DXVECTOR3(-10, kRoadY, 150), up, 0, 0));
    EXPECT_FALSE(PointOverHalf(D3DXVECTOR3(-10, kRoadY, 150), up, 0, 1));
}

TEST_F(RaceStateTest, FirstCrossingStartsLapZeroWithoutALapEvent) {
    PutCar(100.0f, 50.0f);
    UpdateProgress();
    EXPECT_EQ(raceState.section, courseGeometry.sectionCount - 1);
    DriveTo(90.0f);  // the front corners reach section 0
    EXPECT_EQ(raceState.section, 0);
    EXPECT_EQ(raceState.lapCounter, 0);
    EXPECT_EQ(raceState.lapsDone, 0);
    EXPECT_EQ(raceState.rankAtLap[1], -1);
    EXPECT_STREQ(bigText.text, "LAST 5 LAPS ");
    EXPECT_EQ(raceState.limitTime, 100000);
}

TEST_F(RaceStateTest, BackwardOverTheLineAndForwardAgainCountsNoLap) {
    raceState.section = 0;
    raceState.lapCounter = raceState.lapsDone = 0;
    raceState.lapMillis = 5000;
    DriveTo(110.0f);
    EXPECT_EQ(raceState.section, 0);

    DriveTo(80.0f);  // front corners back on the closing section
    EXPECT_EQ(raceState.section, courseGeometry.sectionCount - 1);
    EXPECT_EQ(raceState.lapCounter, -1);
    EXPECT_EQ(raceState.movingForward, 0);

    std::strcpy(bigText.text, "");
    DriveTo(90.0f);
    EXPECT_EQ(raceState.section, 0);
    EXPECT_EQ(raceState.lapCounter, 0);
    EXPECT_EQ(raceState.lapsDone, 0);
    EXPECT_EQ(raceState.movingForward, 1);
    EXPECT_EQ(raceState.lapMillis, 5000);     // the lap clock was not taken
    EXPECT_EQ(raceState.limitTime, 100000);   // no extra time
    EXPECT_EQ(raceState.rankAtLap[1], -1);
    EXPECT_STREQ(bigText.text, "");          // no lap text either
}

TEST_F(RaceStateTest, CompletedLapRecordsRankTimeBestLapAndExtraTime) {
    raceState.lapCounter = raceState.lapsDone = 0;
    raceState.lapMinutes = 0;
    raceState.lapMillis = 16000;
    DriveTo(50.0f);
    DriveTo(90.0f);
    EXPECT_EQ(raceState.lapsDone, 1);
    EXPECT_EQ(raceState.rankAtLap[1], 1);
    EXPECT_EQ(raceState.lapTimeMillis[1], 16000);
    EXPECT_EQ(raceState.lapMillis, 0);
    EXPECT_EQ(raceState.limitTime, 100000 + FindCourse(1)->extensionSeconds * 1000);
    EXPECT_EQ(records[1].bestLapMillis, 16000);
    EXPECT_EQ(records[1].bestLapMinutes, 0);
    EXPECT_STREQ(bigText.text, "LAST 4 LAPS ");
}

TEST_F(RaceStateTest, OneLapCourseShowsFinalLapAtTheFirstCrossing) {
    int oneLap = 0;
    for (int c = 1; c <= CourseCount; ++c)
        if (CourseLaps(c) == 1) oneLap = c;
    ASSERT_NE(oneLap, 0);
    currentCourse = oneLap;
    DriveTo(50.0f);
    DriveTo(90.0f);
    EXPECT_EQ(raceState.lapsDone, 0);
    EXPECT_STREQ(bigText.text, "FINAL LAP ");
    EXPECT_EQ(raceState.bigTextTimer, 90);
    EXPECT_EQ(bigText.x, 212);
}

TEST_F(RaceStateTest, OpponentLevelWithThePlayerIsNotAhead) {
    raceState.enemyCount = 3;
    raceState.lapCounter = 1;
    raceState.section = 40;
    raceState.half = 0;
    opponents[0].laps = 1, opponents[0].section = 40, opponents[0].half = 0;   // level
    opponents[1].laps = 1, opponents[1].section = 40, opponents[1].half = 1;   // one half ahead
    opponents[2].laps = 0, opponents[2].section = 140, opponents[2].half = 1;  // a lap down
    EXPECT_EQ(CurrentRank(), 2);
    opponents[2].laps = 2;
    opponents[2].section = 0;
    EXPECT_EQ(CurrentRank(), 3);
}

TEST_F(RaceStateTest, LapClockWaitsForTheLineWhileTheLimitRuns) {
    EXPECT_FALSE(UpdateTimers());
    EXPECT_EQ(raceState.lapMillis, 0);
    EXPECT_EQ(raceState.limitTime, 100000 - 16);
    DriveTo(50.0f);
    DriveTo(90.0f);
    UpdateTimers();
    EXPECT_EQ(raceState.lapMillis, 16);
    raceState.lapMillis = 59990;
    UpdateTimers();
    EXPECT_EQ(raceState.lapMinutes, 1);
    EXPECT_EQ(raceState.lapMillis, 6);
}

TEST_F(RaceStateTest, LapCompletingFrameCannotTimeOut) {
    raceState.lapCounter = raceState.lapsDone = 0;
    raceState.limitTime = 16;
    DriveTo(50.0f);
    DriveTo(90.0f);
    ASSERT_EQ(raceState.lapsDone, 1);
    EXPECT_FALSE(UpdateTimers());
    raceState.limitTime = 16;
    EXPECT_TRUE(UpdateTimers());
}

TEST_F(RaceStateTest, FinishingFifthKeepsBestRankFourAndFails) {
    records[1].bestRank = 4;
    const int laps = CourseLaps(1);
    for (int lap = 1; lap <= laps; ++lap) {
        raceState.rankAtLap[lap] = 5;
        raceState.lapTimeMinutes[lap] = 0;
        raceState.lapTimeMillis[lap] = 20000;
    }
    raceState.lapsDone = laps;
    EXPECT_TRUE(FinishRace());
    EXPECT_EQ(raceState.finalRank, 5);
    EXPECT_EQ(records[1].bestRank, 4);
    // The splits still take this race: 5 x 20 s = 1:40.000 beats 99:59.999 x 5.
    EXPECT_EQ(records[1].splitMillis[0], 20000);
}

TEST_F(RaceStateTest, FinishRecordsTheRatioAndOnlyABetterTotal) {
    raceState.supplyCrystalCount = 10;
    raceState.crystalsTaken = 25;
    const int laps = CourseLaps(1);
    for (int lap = 1; lap <= laps; ++lap) {
        raceState.rankAtLap[lap] = 2;
        raceState.lapTimeMinutes[lap] = 1;
        raceState.lapTimeMillis[lap] = 0;
    }
    for (int k = 0; k < laps; ++k) {
        records[1].splitMinutes[k] = 0;
        records[1].splitMillis[k] = 59999;
    }
    EXPECT_FALSE(FinishRace());
    EXPECT_EQ(records[1].bestRank, 2);
    EXPECT_FLOAT_EQ(records[1].bestCrystalRatio, 25.0f / (10.0f * laps) * 100.0f);
    EXPECT_EQ(records[1].splitMillis[0], 59999);  // 5 x 0:59.999 beats 5 x 1:00.000
}

TEST_F(RaceStateTest, CrystalRatioOfACourseWithoutCrystalsIsZero) {
    raceState.crystalsTaken = 3;
    EXPECT_EQ(CrystalRatio(), 0.0f);
}

TEST_F(RaceStateTest, SupplyCrystalPointsFlowFivePerFrameIntoStoredBoosts) {
    PutCar(100.0f, 650.0f);
    raceState.supplyCrystalCount = 1;
    supplyCrystals[0].Init(nullptr, 100.0f, kRoadY, 660.0f, 1.0f);
    supplyCrystalPresent[0] = 1;
    raceState.boostGauge = 90;
    PickUpCrystals();
    EXPECT_EQ(supplyCrystalPresent[0], 0);
    EXPECT_EQ(raceState.crystalsTaken, 1);
    EXPECT_EQ(raceState.boostGauge, 95);
    PickUpCrystals();
    EXPECT_EQ(raceState.boostStock, 1);
    EXPECT_EQ(raceState.boostGauge, 0);
    for (int i = 0; i < 5; ++i) PickUpCrystals();
    EXPECT_EQ(raceState.boostGauge, 15);
    EXPECT_EQ(raceState.gaugeFill, 0);

    // A full stock keeps a full gauge; after the finish crystals no longer count.
    RestoreCrystals();
    raceState.boostStock = 10;
    raceState.boostGauge = 100;
    raceState.finished = 1;
    for (int i = 0; i < 6; ++i) PickUpCrystals();
    EXPECT_EQ(raceState.boostStock, 10);
    EXPECT_EQ(raceState.boostGauge, 100);
    EXPECT_EQ(raceState.crystalsTaken, 1);
}

TEST_F(RaceStateTest, OpponentsDriveOntoTheNextSectionAndTurnAtMostTwoPiOver128) {
    raceState.enemyCount = 2;
    // Opponent 0 on the start straight facing its aim; opponent 1 facing backward.
    for (int i = 0; i < 2; ++i) {
        opponents[i].placement = MakePlacement(100.0f, kRoadY, 690.0f, 1.0f);
        opponents[i].section = 5;
        opponents[i].half = 0;
        opponents[i].laps = 0;
        opponents[i].lane = 0.0f;
        opponents[i].speed = 10.0f;
        opponents[i].topSpeed = 15.0f;
        opponents[i].boostTimer = 0;
    }
    opponents[0].heading = 0.0f;
    opponents[1].heading = 3.1415927f;
    opponents[1].placement = MakePlacement(100.0f, kRoadY, 605.0f, 1.0f);
    UpdateOpponents();
    EXPECT_NEAR(opponents[0].speed, 10.1f, 1e-5f);
    EXPECT_EQ(opponents[0].section, 6);
    EXPECT_NEAR(PlacementPosition(opponents[0].placement).z, 700.1f, 1e-3f);
    EXPECT_NEAR(opponents[1].heading, 3.1415927f + 0.049087387f, 1e-4f);
    EXPECT_EQ(opponents[1].steer, 1);
    // Backward it would leave its section: moved back, it stays where it was along the course.
    EXPECT_EQ(opponents[1].section, 5);
    EXPECT_NEAR(PlacementPosition(opponents[1].placement).z, 605.0f, 1e-3f);
}

TEST(RaceRecords, TotalsCarryWholeMinutesOutOfTheMilliseconds) {
    const int minutes[3] = {1, 0, 2};
    const int millis[3] = {59999, 59999, 2};
    const RaceTime t = SumLapTimes(minutes, millis, 3);
    EXPECT_EQ(t.minutes, 5);  // 3 minutes + 120000 ms
    EXPECT_EQ(t.millis, 0);
    EXPECT_TRUE(TimeLess({1, 59999}, {2, 0}));
    EXPECT_FALSE(TimeLess({2, 0}, {2, 0}));
}

TEST(RaceRecords, ResetValues) {
    ResetRecords();
    EXPECT_EQ(records[5].bestRank, 9);
    EXPECT_EQ(records[5].bestLapMinutes, 99);
    EXPECT_EQ(records[5].bestLapMillis, 59999);
    EXPECT_EQ(records[15].splitMillis[9], 59999);
    EXPECT_EQ(records[15].bestCrystalRatio, 0.0f);
    EXPECT_EQ(FindRecord(0), nullptr);
    EXPECT_EQ(FindRecord(16), nullptr);
}

}  // namespace
