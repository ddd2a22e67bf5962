// Courses 9 to 15: each set-up matches its table row (sections, crystals, opponent boosts, grid and
// top speeds), and its boundary points make a drivable loop: closed, wide enough, bends a car at
// full speed can follow, no pass crossing another at the same level, and a lap a good driver
// finishes inside the limit time. Each course is also rendered from its grid and from above
// (PNGs beside the test for a look).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "courses/course_builder.h"
#include "courses/course_draw.h"
#include "courses/course_geometry.h"
#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "framework/graphics_device.h"
#include "framework/screenshot.h"
#include "platform/system.h"
#include "support/auto_lap.h"
#include "tests/support/headless_device.h"
#include "tests/support/course_view.h"
#include "game/asset_tables.h"
#include "game/data_dir.h"
#include "game/settings.h"

namespace {

constexpr float kPi = 3.14159265f;
// A car at full speed covers about 18 units a frame and turns at most 3 pi / 256 a frame.
constexpr float kFullSpeed = 18.0f;
constexpr float kMaxTurnPerFrame = 3.0f * kPi / 256.0f;
// A good driver averages well below full speed; this is the pace the lap length is judged by.
constexpr float kGoodPace = 14.0f;

float PlanDistance(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return std::hypot(a.x - b.x, a.z - b.z); }

float SectionLength(int s) { return PlanDistance(BoundaryMid(s), BoundaryMid(NextSection(s))); }

float Heading(int s) {
    const D3DXVECTOR3 d = BoundaryMid(NextSection(s)) - BoundaryMid(s);
    return std::atan2(d.x, d.z);
}

class CoursesNineToFifteen : public ::testing::TestWithParam<int> {};

TEST_P(CoursesNineToFifteen, SetUpMatchesItsRow) {
    const int c = GetParam();
    const CourseInfo& info = courseTable[c];
    ASSERT_NE(info.routines, nullptr);
    renderLevel = 0;
    ASSERT_TRUE(SetUpCourse(c));
    const CourseGeometry& g = courseGeometry;
    EXPECT_EQ(currentCourse, c);
    EXPECT_EQ(g.sectionCount, info.sections);
    EXPECT_EQ(g.boostSectionA, info.boostSectionA);
    EXPECT_EQ(g.boostSectionB, info.boostSectionB);
    for (int i = 0; i < SupplyCrystalSlots; ++i) EXPECT_EQ(g.supplyCrystalSection[i], info.supplyCrystals[i]) << i;
    for (int i = 0; i < BoostCrystalSlots; ++i) EXPECT_EQ(g.boostCrystalSection[i], info.boostCrystals[i]) << i;
    EXPECT_EQ(courseStart.supplyCrystalCount, info.supplyCrystalCount);
    EXPECT_EQ(courseStart.boostCrystalCount, info.boostCrystalCount);
    EXPECT_EQ(courseStart.section, info.sections - 1);
    ASSERT_EQ(courseStart.enemyCount, info.enemyCount);
    for (int i = 0; i < info.enemyCount; ++i) {
        SCOPED_TRACE(i);
        if (info.sideBySideGrid) {
            EXPECT_EQ(courseStart.grid[i].section, 1);
            if (i == 0) {
                EXPECT_EQ(courseStart.grid[i].topSpeed, 19.0f);
            } else {
                EXPECT_GE(courseStart.grid[i].topSpeed, 15.0f);
                EXPECT_LE(courseStart.grid[i].topSpeed, 17.99f + 1e-4f);
            }
        } else {
            EXPECT_EQ(courseStart.grid[i].section, info.gridK - (info.gridK / info.enemyCount) * i);
            EXPECT_FLOAT_EQ(courseStart.grid[i].topSpeed, OpponentTopSpeed(info, i));
        }
        // Each starts at half its drawn top speed (the leader's 19 is set after its start speed).
        if (info.sideBySideGrid && i == 0) {
            EXPECT_GE(courseStart.grid[i].speed, 7.5f);
            EXPECT_LE(courseStart.grid[i].speed, 9.0f);
        } else {
            EXPECT_FLOAT_EQ(courseStart.grid[i].speed, courseStart.grid[i].topSpeed / 2);
        }
    }
    // The frame routine is installed; the scenery course flags its poles, the others none.
    EXPECT_EQ(courseFrameProc, info.routines->frame);
    int flagged = 0;
    for (int h = 0; h < 2 * g.sectionCount; ++h) flagged += g.sceneryOn[h];
    if (c == 13) {
        EXPECT_GT(flagged, g.sectionCount / 3);
    } else {
        EXPECT_EQ(flagged, 0);
    }
}

TEST_P(CoursesNineToFifteen, BoundaryPointsMakeADrivableLoop) {
    const int c = GetParam();
    const CourseInfo& info = courseTable[c];
    ASSERT_NE(info.routines, nullptr);
    info.routines->writeBoundaryPoints();
    const int n = courseGeometry.sectionCount;
    ASSERT_EQ(n, info.sections);

    // Closed: the section from the last boundary back to boundary 0 is no longer than three
    // average sections.
    float lap = 0.0f;
    for (int s = 0; s < n; ++s) lap += SectionLength(s);
    EXPECT_LE(SectionLength(n - 1), 3.0f * lap / n);

    // Every boundary at least 100 across; left and right at the same side all the way round.
    for (int s = 0; s < n; ++s) {
        EXPECT_GE(PlanDistance(BoundaryLeft(s), BoundaryRight(s)), 100.0f) << s;
        const D3DXVECTOR3 across = BoundaryRight(s) - BoundaryLeft(s);
        const D3DXVECTOR3 along = BoundaryMid(NextSection(s)) - BoundaryMid(s);
        // Right of the direction of travel: along x across has a positive y in this left-handed world.
        EXPECT_GT(along.z * across.x - along.x * across.z, 0.0f) << s;
    }

    // Bends: the heading turns no faster than a car at full speed can turn.
    const float minRadius = kFullSpeed / kMaxTurnPerFrame;
    float turnSum = 0.0f;
    for (int s = 0; s < n; ++s) {
        float turn = Heading(NextSection(s)) - Heading(s);
        while (turn > kPi) turn -= 2 * kPi;
        while (turn < -kPi) turn += 2 * kPi;
        turnSum += turn;
        const float length = 0.5f * (SectionLength(s) + SectionLength(NextSection(s)));
        if (std::fabs(turn) > 1e-6f) {
            EXPECT_GE(length / std::fabs(turn), minRadius) << s;
        }
    }
    // One full turn round: a simple loop, not a figure of eight.
    EXPECT_NEAR(std::fabs(turnSum), 2 * kPi, 0.01f);

    // No pass crosses or touches another in plan unless it runs at least 60 above or below it.
    for (int a = 0; a < n; ++a) {
        const D3DXVECTOR3 ma = BoundaryMid(a);
        const float wa = PlanDistance(BoundaryLeft(a), BoundaryRight(a));
        for (int b = a + 1; b < n; ++b) {
            const int apart = std::min(b - a, n - (b - a));
            float along = 0.0f;
            for (int k = 0; k < apart && along < 3.0f * wa; ++k) along += SectionLength((std::min(a, b) + k) % n);
            if (along < 3.0f * wa) continue;  // neighbours along the road
            const D3DXVECTOR3 mb = BoundaryMid(b);
            const float wb = PlanDistance(BoundaryLeft(b), BoundaryRight(b));
            if (PlanDistance(ma, mb) < 0.5f * (wa + wb) + 20.0f) {
                EXPECT_GE(std::fabs(ma.y - mb.y), 60.0f) << a << " over " << b;
            }
        }
    }

    // A lap at a good driver's pace fits in the first limit time, leaving room to spare.
    const float lapSeconds = lap / kGoodPace / 60.0f;
    EXPECT_LT(lapSeconds, 0.9f * static_cast<float>(info.limitSeconds)) << "lap " << lap;
    // Slopes a car can hold: no section climbs or drops more than a fifth of its length.
    for (int s = 0; s < n; ++s) {
        const float rise = BoundaryMid(NextSection(s)).y - BoundaryMid(s).y;
        EXPECT_LE(std::fabs(rise), 0.2f * SectionLength(s)) << s;
    }
}

INSTANTIATE_TEST_SUITE_P(Courses, CoursesNineToFifteen, ::testing::Range(9, 16));

// The player's automatic driver laps each course within its limit without crawling; the whole
// race with its finish is run end to end on a few courses only (race_e2e_test).
TEST(CoursesNineToFifteenDriven, AutomaticDriverLapsWithinTheLimit) {
    for (int course = 9; course <= 15; ++course) {
        SCOPED_TRACE(course);
        const AutoLap lap = DriveAutomaticLap(course);
        EXPECT_TRUE(lap.lapped) << "stuck on section " << lap.section;
        EXPECT_LT(lap.slowFrames, 60) << "laps in " << lap.frames << " frames";
        std::printf("course %d: automatic lap in %d frames, %d slow\n", course, lap.frames, lap.slowFrames);
    }
}

// Course 10 stays far above the ground all the way round.
TEST(CourseTen, HangsInSpace) {
    courseTable[10].routines->writeBoundaryPoints();
    for (int s = 0; s < courseGeometry.sectionCount; ++s) EXPECT_GT(BoundaryMid(s).y, 1000.0f) << s;
}

// Course 11's grid is wide enough for eight cars side by side at their lanes 0.4 .. -0.3.
TEST(CourseEleven, GridTakesEightCarsAbreast) {
    courseTable[11].routines->writeBoundaryPoints();
    const float width = PlanDistance(BoundaryLeft(1), BoundaryRight(1));
    EXPECT_GE(0.1f * width, 25.0f);
}

// --- off-screen rendering -----------------------------------------------------------------------

class CoursePictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ready = StartHeadlessDevice();
        loaded = ready && LoadWorldAssets(false);
    }
    static void TearDownTestSuite() {
        ReleaseWorldAssets();
        StopHeadlessDevice();
    }
    void SetUp() override {
        if (!ready) GTEST_SKIP() << "no off-screen device";
        ASSERT_TRUE(loaded);
    }
    static bool ready;
    static bool loaded;
};
bool CoursePictures::ready = false;
bool CoursePictures::loaded = false;

// Renders the course's frame routine from a viewpoint; returns how many pixels differ from the
// clear colour.
int Shoot(const std::string& file, int section, const D3DXVECTOR3& eye, const D3DXVECTOR3& at) {
    if (!BeginFrame(0xff000000u)) return -1;
    const CourseView v = LookFrom(eye, at, D3DXVECTOR3(0, 1, 0), section, courseStart.crystalRange, 1);
    if (courseStepProc) courseStepProc(v);
    courseFrameProc(v);
    std::vector<uint8_t> rgba(640 * 480 * 4);
    device->ReadFrame(rgba.data());
    EndFrame();
    WritePng((std::string(KORVAN_BUILD_DIR) + "/" + file).c_str(), rgba.data(), 640, 480);
    int lit = 0;
    for (int i = 0; i < 640 * 480; ++i) {
        if (rgba[i * 4] || rgba[i * 4 + 1] || rgba[i * 4 + 2]) ++lit;
    }
    return lit;
}

TEST_F(CoursePictures, EachCourseFromItsGridAndFromAbove) {
    renderLevel = 2;
    for (int c = 9; c <= 15; ++c) {
        SCOPED_TRACE(c);
        ASSERT_TRUE(SetUpCourse(c));
        const int n = courseGeometry.sectionCount;
        // From behind the player's start, looking down the road over the line.
        const D3DXVECTOR3 start = BoundaryMid(n - 1);
        const D3DXVECTOR3 ahead = BoundaryMid(3);
        const D3DXVECTOR3 back = start + (start - ahead) * 0.3f;
        char name[64];
        std::snprintf(name, sizeof name, "course%02d_grid.png", c);
        const int gridLit = Shoot(name, n - 1, back + D3DXVECTOR3(0, 40, 0), ahead + D3DXVECTOR3(0, 10, 0));
        // High above a section a quarter of the way round, looking down at the road ahead of it.
        const int s = n / 4;
        const D3DXVECTOR3 mid = BoundaryMid(s);
        const D3DXVECTOR3 far = BoundaryMid((s + 12) % n);
        std::snprintf(name, sizeof name, "course%02d_above.png", c);
        const int aboveLit = Shoot(name, s, mid + D3DXVECTOR3(0, 900, 0) + (mid - far) * 0.5f, far);
        // Something of the course (sky, road or edges) fills a good part of both pictures.
        EXPECT_GT(gridLit, 640 * 480 / 4);
        EXPECT_GT(aboveLit, 640 * 480 / 4);
    }
    renderLevel = 0;
}

}  // namespace
