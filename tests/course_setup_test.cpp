// The common course set-up on course 1 and the course table's numbers: grid, top speeds, crystals,
// opponent boosts, draw range by render level, the player's start, the refused courses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "framework/placement.h"
#include "game/asset_tables.h"
#include "game/settings.h"
#include "race/crystals.h"

namespace {

// Straight road along +z with n boundaries 100 apart: a stand-in course for grid rules.
void StraightCourse(int n) {
    courseGeometry.sectionCount = n;
    for (int s = 0; s < n; ++s) {
        courseGeometry.boundary[s].left = D3DXVECTOR3(0, 0, 100.0f * s);
        courseGeometry.boundary[s].right = D3DXVECTOR3(200, 0, 100.0f * s);
    }
    DeriveCourseSurfaces();
}

TEST(CourseSetup, CourseOneFillsTheRaceFromItsRow) {
    renderLevel = 0;
    ASSERT_TRUE(SetUpCourse(1));
    const CourseGeometry& g = courseGeometry;
    EXPECT_EQ(currentCourse, 1);
    EXPECT_NE(courseFrameProc, nullptr);
    EXPECT_EQ(courseClearColour, 0u);
    EXPECT_EQ(g.sectionCount, 150);
    EXPECT_EQ(courseStart.limitTime, 60000);
    EXPECT_EQ(g.boostSectionA, 61);
    EXPECT_EQ(g.boostSectionB, 136);

    // Twenty supply crystals on 72-81 and 139-148, all present; no boost crystals. The race stands
    // their models there.
    ASSERT_EQ(courseStart.supplyCrystalCount, 20);
    PlaceCrystals();
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const int expected = i < 10 ? 72 + i : 139 + (i - 10);
        EXPECT_EQ(g.supplyCrystalSection[i], expected);
        EXPECT_EQ(courseStart.supplyCrystalPresent[i], 1);
        const D3DXVECTOR3 at = supplyCrystals[i].GetPosition();
        const D3DXVECTOR3 want = CrystalPosition(expected);
        EXPECT_NEAR(at.x, want.x, 1e-3f);
        EXPECT_NEAR(at.y, want.y, 1e-3f);
        EXPECT_NEAR(at.z, want.z, 1e-3f);
    }
    EXPECT_EQ(courseStart.boostCrystalCount, 0);
    for (int s : g.boostCrystalSection) EXPECT_EQ(s, -1);

    // The player one section before the line, no lap yet.
    EXPECT_EQ(courseStart.section, 149);
    EXPECT_EQ(courseStart.half, 0);
    EXPECT_EQ(courseStart.lapCounter, -1);
    EXPECT_EQ(courseStart.lapsDone, -1);
    const D3DXVECTOR3 player = courseStart.playerPosition;
    EXPECT_NEAR(player.x, 100.0f, 1e-3f);
    EXPECT_NEAR(player.z, 0.0f, 1e-3f);

    // Four opponents on 120, 90, 60, 30 at 15.5, 14.5, 13.5 and 10, starting at half speed.
    ASSERT_EQ(courseStart.enemyCount, 4);
    const int sections[] = {120, 90, 60, 30};
    const float tops[] = {15.5f, 14.5f, 13.5f, 10.0f};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(courseStart.grid[i].section, sections[i]);
        EXPECT_EQ(courseStart.grid[i].half, 0);
        EXPECT_EQ(courseStart.grid[i].laps, 0);
        EXPECT_FLOAT_EQ(courseStart.grid[i].topSpeed, tops[i]);
        EXPECT_FLOAT_EQ(courseStart.grid[i].speed, tops[i] / 2);
        EXPECT_EQ(courseStart.grid[i].boostTimer, 0);
        // Standing one unit above the middle of its boundary.
        const D3DXVECTOR3 at = PlacementPosition(courseStart.grid[i].placement);
        const D3DXVECTOR3 mid = BoundaryMid(sections[i]);
        EXPECT_NEAR(at.y, mid.y + 1.0f, 1e-3f);
        EXPECT_NEAR(at.x, mid.x, 1e-3f);
        // Lanes within +-0.30 for the next race, opponent 0 always in the middle.
        EXPECT_LE(std::fabs(courseStart.grid[i].lane), 0.30f + 1e-6f);
    }
    EXPECT_EQ(courseStart.grid[0].lane, 0.0f);
    // At program start every lane is 0: each heading turns +z toward the middle of the next
    // boundary (opponent 3 stands on the first bend, well turned to the right).
    for (int i = 0; i < 4; ++i) {
        const D3DXVECTOR3 d = BoundaryMid(sections[i] + 1) - BoundaryMid(sections[i]);
        EXPECT_NEAR(courseStart.grid[i].heading, std::atan2(d.x, d.z), 1e-3f) << i;
    }
    EXPECT_GT(courseStart.grid[3].heading, 1.0f);

    // No scenery on course 1: every pool model on the empty mesh and off.
    for (int m = 0; m < kSceneryPoolSize; ++m) {
        if (g.sceneryOn[m] != 0 || sceneryPool[m].mesh != &sceneryMeshes[0]) {
            ADD_FAILURE() << "pool model " << m;
            break;
        }
    }
    // Course centre: the mean boundary point, 300 higher.
    double sumX = 0, sumY = 0;
    for (int s = 0; s < 150; ++s) {
        sumX += g.boundary[s].left.x + g.boundary[s].right.x;
        sumY += g.boundary[s].left.y + g.boundary[s].right.y;
    }
    EXPECT_NEAR(g.courseCentre.x, sumX / 300, 0.01);
    EXPECT_NEAR(g.courseCentre.y, sumY / 300 + 300, 0.01);
}

TEST(CourseSetup, DrawRangeFollowsRenderLevel) {
    for (int level = 0; level <= 2; ++level) {
        renderLevel = level;
        ASSERT_TRUE(SetUpCourse(1));
        EXPECT_EQ(courseStart.crystalRange, 10 + 10 * level);
    }
    renderLevel = 0;
}

TEST(CourseSetup, CoursesThatAreNotAvailableAreRefusedUntouched) {
    ASSERT_TRUE(SetUpCourse(1));
    const int sections = courseGeometry.sectionCount;
    for (int course : {0, -3, 16}) EXPECT_FALSE(SetUpCourse(course));
    for (int course = 2; course <= CourseCount; ++course) {
        if (courseTable[course].routines) continue;
        EXPECT_FALSE(SetUpCourse(course)) << course;
    }
    EXPECT_EQ(currentCourse, 1);
    EXPECT_EQ(courseGeometry.sectionCount, sections);
}

TEST(CourseSetup, EightOpponentsOnAGridOfK300) {
    StraightCourse(600);
    CourseInfo info = courseTable[12];
    PlacePlayerAndOpponents(info);
    ASSERT_EQ(courseStart.enemyCount, 8);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(courseStart.grid[i].section, 300 - 37 * i);
        EXPECT_FLOAT_EQ(courseStart.grid[i].topSpeed, 14.7f);
        EXPECT_FLOAT_EQ(courseStart.grid[i].speed, 7.35f);
    }
    EXPECT_EQ(courseStart.section, 599);
}

TEST(CourseSetup, LateOpponentsFollowTheSecondRule) {
    StraightCourse(300);
    CourseInfo info = courseTable[8];  // 16 - 1.8 i, then 8 - 0.5 (i - 3)
    PlacePlayerAndOpponents(info);
    const float expected[] = {16.0f, 14.2f, 12.4f, 8.0f, 7.5f, 7.0f, 6.5f, 6.0f};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(courseStart.grid[i].topSpeed, expected[i], 1e-5f) << i;
}

TEST(CourseSetup, GridHeadingAimsAtLastRacesLane) {
    StraightCourse(300);
    CourseInfo info = courseTable[1];
    // Lanes left from an earlier race: opponent 1 aimed 0.3 of the width to the right.
    courseStart.grid[1].lane = 0.3f;
    PlacePlayerAndOpponents(info);
    // From the middle of boundary 90 to 60 units right of the middle of boundary 91, 100 ahead.
    EXPECT_NEAR(courseStart.grid[1].heading, std::atan2(60.0f, 100.0f), 5e-4f);
}

TEST(CourseSetup, SecretCourseOneLinesUpSideBySide) {
    StraightCourse(206);
    CourseInfo info = courseTable[11];
    PlacePlayerAndOpponents(info);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(courseStart.grid[i].section, 1);
        if (i > 0) {
            EXPECT_GE(courseStart.grid[i].topSpeed, 15.0f);
            EXPECT_LE(courseStart.grid[i].topSpeed, 17.99f + 1e-5f);
            EXPECT_FLOAT_EQ(courseStart.grid[i].lane, (40 - 10 * i) / 100.0f);
        }
    }
    EXPECT_EQ(courseStart.grid[0].topSpeed, 19.0f);
    EXPECT_EQ(courseStart.grid[0].lane, 0.0f);
}

TEST(SceneryPlacement, PoolModelsStand192OutsideEachEdgeFacingAlongIt) {
    // A road along +x: facing +x, the left edge is at z = 200 and the right edge at z = 0.
    courseGeometry.sectionCount = 6;
    for (int s = 0; s < 6; ++s) {
        courseGeometry.boundary[s].left = D3DXVECTOR3(100.0f * s, 10, 200);
        courseGeometry.boundary[s].right = D3DXVECTOR3(100.0f * s, 10, 0);
    }
    courseGeometry.boundary[5].left.x = courseGeometry.boundary[5].right.x = 250.0f;  // the way back is short
    DeriveCourseSurfaces();
    static Model pool[12];
    for (Model& m : pool) m.Init(nullptr, 0, 0, 0, 1.0f);
    PlaceSceneryPool(pool);
    for (int s = 1; s < 4; ++s) {
        SCOPED_TRACE(s);
        const D3DXVECTOR3 left = pool[2 * s].GetPosition();
        const D3DXVECTOR3 right = pool[2 * s + 1].GetPosition();
        EXPECT_NEAR(left.x, 100.0f * s, 1e-3f);
        EXPECT_NEAR(left.z, 392.0f, 1e-3f);
        EXPECT_NEAR(right.z, -192.0f, 1e-3f);
        EXPECT_NEAR(left.y, 10.0f, 1e-3f);
        // Both turned from +z onto the road's direction, +x.
        for (Model* m : {&pool[2 * s], &pool[2 * s + 1]}) {
            const D3DXVECTOR3 f = m->GetAxisZ();
            EXPECT_NEAR(f.x, 1.0f, 1e-4f);
            EXPECT_NEAR(f.z, 0.0f, 1e-4f);
            EXPECT_NEAR(m->GetAxisY().y, 1.0f, 1e-4f);
        }
    }
}

TEST(CourseTable, EveryRowKeepsItsSectionsOnItsCourse) {
    const int supplyCounts[] = {0, 20, 16, 11, 14, 10, 10, 10, 8, 4, 4, 20, 8, 4, 20, 20};
    const int boostCounts[] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 3, 1, 1, 5, 5};
    for (int c = 1; c <= CourseCount; ++c) {
        SCOPED_TRACE(c);
        const CourseInfo& info = courseTable[c];
        EXPECT_LE(info.sections, MaxSections);
        EXPECT_EQ(info.supplyCrystalCount, supplyCounts[c]);
        EXPECT_EQ(info.boostCrystalCount, boostCounts[c]);
        for (int i = 0; i < SupplyCrystalSlots; ++i) {
            if (i < info.supplyCrystalCount) {
                EXPECT_GE(info.supplyCrystals[i], 0);
                EXPECT_LT(info.supplyCrystals[i], info.sections);
            } else {
                EXPECT_EQ(info.supplyCrystals[i], -1);
            }
        }
        for (int i = 0; i < BoostCrystalSlots; ++i) {
            if (i < info.boostCrystalCount) {
                EXPECT_LT(info.boostCrystals[i], info.sections);
            } else {
                EXPECT_EQ(info.boostCrystals[i], -1);
            }
        }
        EXPECT_LT(info.boostSectionA, info.sections);
        EXPECT_LT(info.boostSectionB, info.sections);
        EXPECT_LE(info.enemyCount, MaxOpponents);
        // Every grid slot lies on the course.
        EXPECT_LT(info.gridK, info.sections);
    }
    EXPECT_EQ(courseTable[9].boostSectionB, -1);
    EXPECT_EQ(courseTable[14].supplyCrystals[19], 476);
    EXPECT_STREQ(courseTable[14].menuName, "Secret  4 Can You Pick Up All Crystals ? ");
    EXPECT_EQ(CourseLaps(11), 10);
    EXPECT_EQ(CourseLaps(14), 1);
    EXPECT_EQ(CourseLaps(16), 0);
}

TEST(CourseTable, WrittenCoursesMatchTheirRowAndGate) {
    for (int c = 1; c <= CourseCount; ++c) {
        const CourseInfo& info = courseTable[c];
        if (!info.routines) continue;
        SCOPED_TRACE(c);
        info.routines->writeBoundaryPoints();
        EXPECT_EQ(courseGeometry.sectionCount, info.sections);
        const D3DXVECTOR3 gate = BoundaryMid(0) + D3DXVECTOR3(0, 0.1f, 0);
        EXPECT_NEAR(info.gatePosition.x, gate.x, 1e-3f);
        EXPECT_NEAR(info.gatePosition.y, gate.y, 1e-3f);
        EXPECT_NEAR(info.gatePosition.z, gate.z, 1e-3f);
        EXPECT_NE(info.routines->frame, nullptr);
    }
}

}  // namespace
