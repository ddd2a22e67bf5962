// The computer cars alone on every course: set up as for a race, driven by their own routine once
// per frame with no player in their way. Every car completes a lap and none stays on one section
// for long (a car held against a side or circling round its aim would). Two cases on course 1's
// start straight pin the causes found that way: a lane reaching past the road's side, and an aim
// lying above the car's own plane.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/placement.h"
#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "framework/debug_log.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "tests/support/run_game.h"

namespace {

// A race frame runs the race clock on by 16 ms.
constexpr int kMillisPerRaceFrame = 16;
// Far longer than any car needs to cross one section, even from its half-speed start on the grid
// (3 units a frame for the slowest, rising by 0.1 each frame).
constexpr int kMostFramesOnASection = 120;
// A car's own way to the line at its top speed, stretched for the lane's longer way round the
// bends and the climb from half speed on the grid.
constexpr float kWayAllowance = 1.15f;
constexpr int kSpinUpFrames = 60;

struct AloneRun {
    int frames = 0;
    int laps[MaxOpponents] = {};
    int lapsAt[MaxOpponents] = {};       // laps done by frame `at` of Drive

    int longestStay[MaxOpponents] = {};  // most consecutive frames on one section
    int heldOn[MaxOpponents] = {};       // the section of that longest stay
};

float WayToTheLine(int section) {
    float way = 0.0f;
    for (int s = section; s != 0; s = NextSection(s)) {
        const D3DXVECTOR3 step = BoundaryMid(NextSection(s)) - BoundaryMid(s);
        way += D3DXVec3Length(&step);
    }
    return way;
}

class OpponentsAlone : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SetLogFilePath((MakeTempDir() + "/debug.txt").c_str());
    }
    static void TearDownTestSuite() { SetLogFilePath(""); }

    // The course set up as for a race, the player's car parked far off the course. The lanes the
    // grid headings aim along are those of the course set up before, as from race to race.
    static bool SetUpRace(int course, unsigned seed) {
        std::srand(seed);
        renderLevel = 0;
        ResetRace();
        if (!SetUpCourse(course)) return false;
        ApplyCourseStart();
        raceState.placement = MakePlacement(1.0e6f, 1.0e6f, 1.0e6f, 1.0f);
        return true;
    }

    // The opponents driving alone for `frames` race frames; their laps are also noted after `at`.
    static AloneRun Drive(int frames, int at = 0) {
        AloneRun run;
        run.frames = frames;
        const int count = raceState.enemyCount;
        int stay[MaxOpponents] = {};
        int last[MaxOpponents];
        for (int i = 0; i < count; ++i) last[i] = opponents[i].section;
        for (int k = 0; k < frames; ++k) {
            frameCount = k;
            UpdateOpponents();
            for (int i = 0; i < count; ++i) {
                stay[i] = opponents[i].section == last[i] ? stay[i] + 1 : 0;
                last[i] = opponents[i].section;
                if (stay[i] > run.longestStay[i]) {
                    run.longestStay[i] = stay[i];
                    run.heldOn[i] = opponents[i].section;
                }
                if (k + 1 == at) run.lapsAt[i] = opponents[i].laps;
            }
        }
        for (int i = 0; i < count; ++i) run.laps[i] = opponents[i].laps;
        return run;
    }
};

// Courses 1 to 15 in order, each for its limit time. The slowest cars of the longest courses (6, 7
// and 10, top speeds 8 to 10 from far down the grid) cannot reach the line within the limit even at
// full speed all the way; those courses run on for as long as their own way takes.
TEST_F(OpponentsAlone, EveryCarLapsEveryCourse) {
    for (int course = 1; course <= CourseCount; ++course) {
        SCOPED_TRACE("course " + std::to_string(course));
        const CourseInfo* info = FindCourse(course);
        ASSERT_NE(info, nullptr);
        ASSERT_TRUE(SetUpRace(course, 100u + static_cast<unsigned>(course)));
        const int count = raceState.enemyCount;
        ASSERT_EQ(count, std::min(info->enemyCount, MaxOpponents));

        const int limitFrames = info->limitSeconds * 1000 / kMillisPerRaceFrame;
        int frames = limitFrames;
        for (int i = 0; i < count; ++i) {
            ASSERT_GT(opponents[i].topSpeed, 0.0f);
            const float own = WayToTheLine(opponents[i].section) / opponents[i].topSpeed * kWayAllowance + kSpinUpFrames;
            frames = std::max(frames, static_cast<int>(own));
        }
        const AloneRun run = Drive(frames, limitFrames);

        std::string line = "course " + std::to_string(course) + ": laps in the limit of " +
                           std::to_string(limitFrames) + " frames";
        for (int i = 0; i < count; ++i) line += " " + std::to_string(run.lapsAt[i]);
        if (frames > limitFrames) {
            line += ", after " + std::to_string(frames) + " frames";
            for (int i = 0; i < count; ++i) line += " " + std::to_string(run.laps[i]);
        }
        line += "; longest stay on a section";
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE("opponent " + std::to_string(i));
            line += " " + std::to_string(run.longestStay[i]);
            EXPECT_GE(run.laps[i], 1) << "top speed " << opponents[i].topSpeed << ", ends on section " << opponents[i].section;
            EXPECT_LE(run.longestStay[i], kMostFramesOnASection) << "held on section " << run.heldOn[i];
        }
        std::printf("%s\n", line.c_str());
    }
}

// Whatever lanes a race draws and whichever course came before: a handful of draws per course, only
// the stay on one section checked (over the first 2000 frames, where the grid's lanes and headings
// still disagree).
TEST_F(OpponentsAlone, NoCarIsHeldWhateverItsLanes) {
    constexpr int kDraws = 6;
    for (int course = 1; course <= CourseCount; ++course) {
        int worst = 0;
        for (int draw = 0; draw < kDraws; ++draw) {
            SCOPED_TRACE("course " + std::to_string(course) + ", draw " + std::to_string(draw));
            const int before = 1 + (draw * 7 + course) % CourseCount;
            ASSERT_TRUE(SetUpRace(before, 500u + static_cast<unsigned>(draw)));
            ASSERT_TRUE(SetUpRace(course, 1000u + static_cast<unsigned>(draw)));
            const AloneRun run = Drive(2000);
            for (int i = 0; i < raceState.enemyCount; ++i) {
                EXPECT_LE(run.longestStay[i], kMostFramesOnASection)
                    << "opponent " << i << " lane " << opponents[i].lane << " held on section " << run.heldOn[i];
                worst = std::max(worst, run.longestStay[i]);
            }
        }
        std::printf("course %d: longest stay on a section over %d draws: %d frames\n", course, kDraws, worst);
    }
}

// --- course 1's start straight: a road along +z from x 0 to 200 at height 64, section s from
// z = 100 + 100 s to 200 + 100 s --------------------------------------------------------------------

constexpr float kRoadY = 64.0f;

class OpponentOnTheStraight : public ::testing::Test {
protected:
    void SetUp() override {
        ClearBoundaries();
        course01Routines.writeBoundaryPoints();
        DeriveCourseSurfaces();
        ResetRace();
        courseGeometry.boostSectionA = courseGeometry.boostSectionB = -1;
        frameCount = 0;
        raceState.enemyCount = 1;
    }
    static void Place(float x, float z, int section, float lane) {
        opponents[0].placement = MakePlacement(x, kRoadY, z, 1.0f);
        opponents[0].section = section;
        opponents[0].half = 0;
        opponents[0].laps = 0;
        opponents[0].lane = lane;
        opponents[0].heading = 0.0f;
        opponents[0].speed = 10.0f;
        opponents[0].topSpeed = 10.0f;
        opponents[0].boostTimer = 0;
    }
};

TEST_F(OpponentOnTheStraight, LaneBeyondTheSideKeepsTheCarGoing) {
    // Secret course 4 draws lanes up to 0.7 of the width from the middle: 40 units past the right
    // side here. Aiming there the car would stand against the side on section 3 for good, facing
    // its aim; aiming half a car's width inside the side it may scrape the side where it swings
    // over, but it goes on.
    for (float lane : {0.7f, -0.7f}) {
        SCOPED_TRACE(lane);
        Place(100.0f, 410.0f, 3, lane);
        int stay = 0, longest = 0, last = 3;
        for (int k = 0; k < 60; ++k) {
            UpdateOpponents();
            stay = opponents[0].section == last ? stay + 1 : 0;
            last = opponents[0].section;
            longest = std::max(longest, stay);
        }
        // 600 units at 10 a frame from z 410, less the frames against the side.
        EXPECT_GE(opponents[0].section, 7);
        EXPECT_LT(longest, 25);
        EXPECT_NEAR(PlacementPosition(opponents[0].placement).y, kRoadY, 1e-2f);
        // Weaving about its aim, half a car's width inside the side.
        EXPECT_NEAR(PlacementPosition(opponents[0].placement).x, lane > 0 ? 191.0f : 9.0f, 12.0f);
    }
}

TEST_F(OpponentOnTheStraight, AimAboveTheCarsPlaneIsNoTurn) {
    // Boundary 6's right end raised by 8: section 5's left-rear half stays flat, its right-front half
    // climbs toward the right, so the aims on the right of boundary 6 lie above the flat half's plane.
    courseGeometry.boundary[6].right.y += 8.0f;
    DeriveCourseSurfaces();
    // On the flat half, 70 before the boundary, right in line with its aim: lane 0.35 puts the aim
    // at (170, 70.8, 700), 0.097 radian up from its nose.
    Place(170.0f, 630.0f, 5, 0.35f);
    UpdateOpponents();
    EXPECT_FLOAT_EQ(opponents[0].heading, 0.0f);
    EXPECT_EQ(opponents[0].steer, 0);
    EXPECT_NEAR(PlacementPosition(opponents[0].placement).x, 170.0f, 0.01f);
    EXPECT_NEAR(PlacementPosition(opponents[0].placement).z, 640.0f, 1e-2f);
    // Straight on over the boundary.
    for (int k = 0; k < 7; ++k) UpdateOpponents();
    EXPECT_EQ(opponents[0].section, 6);
    EXPECT_NEAR(PlacementPosition(opponents[0].placement).x, 170.0f, 0.5f);
    EXPECT_NEAR(PlacementPosition(opponents[0].placement).z, 710.0f, 0.5f);

    // An aim off to the side on the same slope is still turned toward, by the full limit.
    Place(170.0f, 630.0f, 5, -0.35f);
    UpdateOpponents();
    EXPECT_NEAR(opponents[0].heading, -0.049087387f, 1e-5f);
    EXPECT_EQ(opponents[0].steer, -1);
}

}  // namespace
