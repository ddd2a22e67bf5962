// Crystal pick-up and the boost gauge, without a window: the gauge flow of five points a frame,
// the stored boosts and the full stock, a boost crystal during a running boost, crystals taken
// after the finish, the pick-up distance and the crystals coming back at a lap.
#include <gtest/gtest.h>

#include "framework/placement.h"
#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "race/crystals.h"
#include "race/race_state.h"
#include "game/asset_tables.h"

namespace {

constexpr float kRoadY = 64.0f;

class Crystals : public ::testing::Test {
protected:
    void SetUp() override {
        course01Routines.writeBoundaryPoints();
        DeriveCourseSurfaces();
        ResetRace();
        raceState.pose.body = MakePlacement(100.0f, kRoadY, 500.0f, 1.0f);
        raceState.supplyCrystalCount = 2;
        raceState.boostCrystalCount = 1;
        // Supply crystal 0 under the car, supply crystal 1 and the boost crystal far away.
        supplyCrystals[0].Init(nullptr, 100.0f, kRoadY, 510.0f, 1.0f);
        supplyCrystals[1].Init(nullptr, 100.0f, kRoadY, 900.0f, 1.0f);
        boostCrystals[0].Init(nullptr, 60.0f, kRoadY, 900.0f, 1.0f);
        RestoreCrystals();
    }
};

TEST_F(Crystals, SupplyCrystalAtNinetyGivesOneStockAndFifteenPointsOverFiveFrames) {
    raceState.boostGauge = 90;
    const int gauge[5] = {95, 0, 5, 10, 15};
    const int stock[5] = {0, 1, 1, 1, 1};
    for (int f = 0; f < 5; ++f) {
        PickUpCrystals();
        EXPECT_EQ(raceState.boostGauge, gauge[f]) << "frame " << f;
        EXPECT_EQ(raceState.boostStock, stock[f]) << "frame " << f;
    }
    EXPECT_EQ(raceState.gaugeFill, 0);
    EXPECT_EQ(supplyCrystalPresent[0], 0);
    EXPECT_EQ(supplyCrystalPresent[1], 1);
    EXPECT_EQ(raceState.crystalsTaken, 1);
    // Gone until the next lap: standing on its place takes nothing more.
    for (int f = 0; f < 5; ++f) PickUpCrystals();
    EXPECT_EQ(raceState.boostGauge, 15);
    EXPECT_EQ(raceState.crystalsTaken, 1);
}

TEST_F(Crystals, TenStoredBoostsKeepTheGaugeFullAndFurtherCrystalsAddNothing) {
    raceState.boostStock = 10;
    raceState.boostGauge = 100;
    for (int f = 0; f < 6; ++f) {
        PickUpCrystals();
        EXPECT_EQ(raceState.boostStock, 10);
        EXPECT_EQ(raceState.boostGauge, 100);
    }
    EXPECT_EQ(raceState.gaugeFill, 0);
    EXPECT_EQ(raceState.crystalsTaken, 1);  // it still counts for the ratio
}

TEST_F(Crystals, NinthStockFillingTheGaugeMakesTheTenthAndEmptiesIt) {
    raceState.boostStock = 9;
    raceState.boostGauge = 95;
    PickUpCrystals();
    EXPECT_EQ(raceState.boostStock, 10);
    EXPECT_EQ(raceState.boostGauge, 0);
}

TEST_F(Crystals, BoostCrystalDuringABoostRestartsTheHundredEightyFrames) {
    raceState.pose.body = MakePlacement(60.0f, kRoadY, 885.0f, 1.0f);  // 15 units from the boost crystal
    raceState.boostTimer = 40;
    PickUpCrystals();
    EXPECT_EQ(raceState.boostTimer, 180);
    EXPECT_EQ(boostCrystalPresent[0], 0);
    // The supply crystal 40 units away is out of reach.
    EXPECT_EQ(supplyCrystalPresent[1], 1);
    EXPECT_EQ(raceState.crystalsTaken, 1);
    EXPECT_EQ(raceState.boostStock, 0);
}

TEST_F(Crystals, PickUpReachIsBelowTwentyUnits) {
    raceState.pose.body = MakePlacement(100.0f, kRoadY, 880.0f, 1.0f);  // exactly 20 from supply crystal 1
    PickUpCrystals();
    EXPECT_EQ(supplyCrystalPresent[1], 1);
    raceState.pose.body = MakePlacement(100.0f, kRoadY, 880.5f, 1.0f);
    PickUpCrystals();
    EXPECT_EQ(supplyCrystalPresent[1], 0);
}

TEST_F(Crystals, CrystalsAfterTheFinishFillTheGaugeButDoNotCount) {
    raceState.finished = 1;
    PickUpCrystals();
    raceState.pose.body = MakePlacement(60.0f, kRoadY, 890.0f, 1.0f);
    PickUpCrystals();
    EXPECT_EQ(supplyCrystalPresent[0], 0);
    EXPECT_EQ(boostCrystalPresent[0], 0);
    EXPECT_EQ(raceState.crystalsTaken, 0);
    EXPECT_EQ(raceState.boostGauge, 10);
    EXPECT_EQ(raceState.boostTimer, 180);
}

TEST_F(Crystals, RestoreBringsBackOnlyTheCrystalsTheCourseUses) {
    supplyCrystalPresent[0] = supplyCrystalPresent[1] = 0;
    boostCrystalPresent[0] = 0;
    supplyCrystalPresent[2] = 0;
    boostCrystalPresent[1] = 0;
    RestoreCrystals();
    EXPECT_EQ(supplyCrystalPresent[0], 1);
    EXPECT_EQ(supplyCrystalPresent[1], 1);
    EXPECT_EQ(boostCrystalPresent[0], 1);
    EXPECT_EQ(supplyCrystalPresent[2], 0);
    EXPECT_EQ(boostCrystalPresent[1], 0);
    // A corrupt count never reaches past the crystal slots.
    raceState.supplyCrystalCount = 1000;
    raceState.boostCrystalCount = -3;
    RestoreCrystals();
    PickUpCrystals();
    EXPECT_EQ(supplyCrystalPresent[SupplyCrystalSlots - 1], 1);
}

}  // namespace
