// The course geometry derived from boundary points: normals, merge, tilt, texture tiling, strips,
// crystals, the course centre, the mini map, the yaw rule and course 1's layout.
#include <gtest/gtest.h>

#include <cmath>

#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_table.h"

namespace {

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

// A straight road along +z, L on the low-x side, with boundaries `step` apart and `width` wide.
void StraightCourse(int n, float width, float step, float y = 0.0f) {
    courseGeometry.sectionCount = n;
    for (int s = 0; s < n; ++s) {
        courseGeometry.boundary[s].left = D3DXVECTOR3(0.0f, y, step * s);
        courseGeometry.boundary[s].right = D3DXVECTOR3(width, y, step * s);
    }
}

// A square loop with a straight run on each side, lying in the x-z plane (y = 0).
void SquareLoop(float x0, float z0, float size) {
    int n = 0;
    auto put = [&](float lx, float lz, float rx, float rz) {
        courseGeometry.boundary[n].left = D3DXVECTOR3(lx, 0, lz);
        courseGeometry.boundary[n].right = D3DXVECTOR3(rx, 0, rz);
        ++n;
    };
    put(x0, z0, x0 + 50, z0 + 50);
    put(x0, z0 + size, x0 + 50, z0 + size - 50);
    put(x0 + size, z0 + size, x0 + size - 50, z0 + size - 50);
    put(x0 + size, z0, x0 + size - 50, z0 + 50);
    courseGeometry.sectionCount = n;
}

class CourseGeometryTest : public ::testing::Test {
protected:
    void SetUp() override { currentCourse = 1; }
    void TearDown() override { currentCourse = 0; }
};

TEST_F(CourseGeometryTest, FlatSectionPointsUpWithNoTilt) {
    StraightCourse(4, 200.0f, 100.0f, 64.0f);
    DeriveCourseSurfaces();
    for (int h = 0; h < 6; ++h) {
        SCOPED_TRACE(h);
        EXPECT_EQ(courseGeometry.halfNormal[h], D3DXVECTOR3(0, 1, 0));
        EXPECT_EQ(courseGeometry.tiltAxis[h], D3DXVECTOR3(1, 0, 0));
        EXPECT_EQ(courseGeometry.tiltAngle[h], 0.0f);
        // Plane y = 64 through the road.
        const D3DXPLANE& p = courseGeometry.halfPlane[h];
        D3DXVECTOR3 onRoad(50, 64, 150);
        EXPECT_NEAR(D3DXPlaneDotCoord(&p, &onRoad), 0.0f, 1e-3f);
    }
    ExpectVec(courseGeometry.edgeDir[1].left, 0, 0, 1);
    ExpectVec(courseGeometry.crossDir[1].end, 1, 0, 0);
}

TEST_F(CourseGeometryTest, HalvesCloseInNormalShareTheirUnnormalisedMean) {
    // Section 0 twisted a little: its halves tilt the opposite ways by about 0.07 in x and z.
    StraightCourse(3, 100.0f, 100.0f);
    courseGeometry.boundary[0].right.y = 5.0f;
    courseGeometry.boundary[1].left.y = 5.0f;
    DeriveCourseSurfaces();
    const D3DXVECTOR3 n0 = courseGeometry.halfNormal[0];
    const D3DXVECTOR3 n1 = courseGeometry.halfNormal[1];
    EXPECT_EQ(n0, n1);
    EXPECT_EQ(n0.x, 0.0f);
    EXPECT_EQ(n0.z, 0.0f);
    EXPECT_LT(n0.y, 1.0f);  // the mean of two unit vectors, not normalised again
    EXPECT_GT(n0.y, 0.99f);
    // The mean is straight up in direction only: its axis degenerates and falls back to (1, 0, 0).
    EXPECT_EQ(courseGeometry.tiltAxis[0], D3DXVECTOR3(1, 0, 0));
    EXPECT_EQ(courseGeometry.tiltAxis[1], D3DXVECTOR3(1, 0, 0));
    EXPECT_NEAR(courseGeometry.tiltAngle[0], 0.0f, 1e-6f);
}

TEST_F(CourseGeometryTest, HalvesFarApartInNormalKeepTheirOwn) {
    // Lift only R[1] so that half 1 of section 0 is steep and half 0 stays flat.
    StraightCourse(3, 100.0f, 100.0f);
    courseGeometry.boundary[1].right.y = 40.0f;
    DeriveCourseSurfaces();
    const D3DXVECTOR3 n0 = courseGeometry.halfNormal[0];
    const D3DXVECTOR3 n1 = courseGeometry.halfNormal[1];
    D3DXVECTOR3 d = n0 - n1;
    ASSERT_GE(D3DXVec3Length(&d), 0.3f);
    EXPECT_EQ(n0, D3DXVECTOR3(0, 1, 0));
    EXPECT_NEAR(D3DXVec3Length(&n1), 1.0f, 1e-6f);
    // The tilt turns up onto the steep normal.
    D3DXMATRIX m;
    D3DXMatrixRotationAxis(&m, &courseGeometry.tiltAxis[1], courseGeometry.tiltAngle[1]);
    D3DXVECTOR3 up(0, 1, 0), turned;
    D3DXVec3TransformNormal(&turned, &up, &m);
    ExpectVec(turned, n1.x, n1.y, n1.z, 1e-5f);
}

TEST_F(CourseGeometryTest, MergeBoundaryIsStrictlyBelowPointThree) {
    // A fold about the diagonal: raise R[1] until the two halves differ by just under / over 0.3.
    auto differenceFor = [](float lift) {
        StraightCourse(3, 100.0f, 100.0f);
        courseGeometry.boundary[1].right.y = lift;
        DeriveCourseSurfaces();
        return courseGeometry.halfNormal[0] == courseGeometry.halfNormal[1];
    };
    // |n0 - n1| = 2 sin(theta / 2) with tan(theta) = lift * sqrt(2) / 100 for this fold.
    EXPECT_TRUE(differenceFor(20.0f));   // about 0.28
    EXPECT_FALSE(differenceFor(23.0f));  // about 0.32
}

TEST_F(CourseGeometryTest, TileCountsFollowEdgeLengths) {
    struct Case { float edge; float tiles; } cases[] = {{20, 1}, {32, 1}, {100, 3}, {200, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        StraightCourse(3, c.edge, c.edge);
        DeriveCourseSurfaces();
        CourseVertex v[4];
        MakeRoadQuadVertices(0, v);
        // Across each edge the coordinate spans the tile count, centred on 0.5.
        EXPECT_FLOAT_EQ(v[0].u - v[2].u, c.tiles);
        EXPECT_FLOAT_EQ(v[1].u - v[3].u, c.tiles);
        EXPECT_FLOAT_EQ(v[1].v - v[0].v, c.tiles);
        EXPECT_FLOAT_EQ(v[3].v - v[2].v, c.tiles);
        EXPECT_FLOAT_EQ((v[0].u + v[2].u) / 2, 0.5f);
    }
}

TEST_F(CourseGeometryTest, CourseTenStretchesOneTexturePerQuad) {
    StraightCourse(3, 200.0f, 300.0f);
    DeriveCourseSurfaces();
    currentCourse = 10;
    CourseVertex v[4];
    MakeRoadQuadVertices(1, v);
    EXPECT_FLOAT_EQ(v[0].u, 1.0f);
    EXPECT_FLOAT_EQ(v[0].v, 0.0f);
    EXPECT_FLOAT_EQ(v[1].u, 1.0f);
    EXPECT_FLOAT_EQ(v[1].v, 1.0f);
    EXPECT_FLOAT_EQ(v[2].u, 0.0f);
    EXPECT_FLOAT_EQ(v[3].v, 1.0f);
}

TEST_F(CourseGeometryTest, RoadQuadCornersAndNormalsFollowTheBoundaries) {
    StraightCourse(4, 200.0f, 100.0f);
    courseGeometry.boundary[2].right.y = 40.0f;  // section 2's half 0 normal differs from half 1
    DeriveCourseSurfaces();
    CourseVertex v[4];
    MakeRoadQuadVertices(1, v);
    // Strip order B, D, A, C: R[2], R[1], L[2], L[1].
    EXPECT_EQ(v[0].x, 200.0f);
    EXPECT_EQ(v[0].z, 200.0f);
    EXPECT_EQ(v[0].y, 40.0f);
    EXPECT_EQ(v[1].z, 100.0f);
    EXPECT_EQ(v[2].x, 0.0f);
    EXPECT_EQ(v[3].z, 100.0f);
    // L[2] takes half 0 of section 2, R[2] half 1 of section 2.
    EXPECT_EQ(v[2].nx, courseGeometry.halfNormal[4].x);
    EXPECT_EQ(v[2].ny, courseGeometry.halfNormal[4].y);
    EXPECT_EQ(v[0].nx, courseGeometry.halfNormal[5].x);
    EXPECT_EQ(v[0].ny, courseGeometry.halfNormal[5].y);
    for (const CourseVertex& x : v) EXPECT_EQ(x.colour, 0xffffffffu);
}

TEST_F(CourseGeometryTest, ClosingSectionJoinsLastBoundaryToTheLine) {
    StraightCourse(5, 200.0f, 100.0f);
    // Bend the last boundary back so the loop closes toward boundary 0.
    courseGeometry.boundary[4].left = D3DXVECTOR3(0, 0, -100);
    courseGeometry.boundary[4].right = D3DXVECTOR3(200, 0, -100);
    DeriveCourseSurfaces();
    ExpectVec(courseGeometry.edgeDir[4].left, 0, 0, 1);
    ExpectVec(courseGeometry.crossDir[4].end, 1, 0, 0);
    EXPECT_EQ(courseGeometry.halfNormal[8], D3DXVECTOR3(0, 1, 0));
    EXPECT_EQ(courseGeometry.tiltAxis[9], D3DXVECTOR3(1, 0, 0));
    CourseVertex v[4];
    MakeRoadQuadVertices(4, v);
    EXPECT_EQ(v[0].z, 0.0f);    // B = R[0]
    EXPECT_EQ(v[1].z, -100.0f); // D = R[4]
    EXPECT_FLOAT_EQ(v[0].u - v[2].u, 6.0f);
    EXPECT_FLOAT_EQ(v[3].v - v[2].v, 3.0f);
}

TEST_F(CourseGeometryTest, WallStripStandsOnTheEdgeAndFacesAway) {
    StraightCourse(4, 200.0f, 100.0f);
    DeriveCourseSurfaces();
    const StripProfile wall = {64, 0, 0, 0, 64, 64};
    CourseVertex left[4], right[4];
    MakeSectionStripVertices(1, 0, wall, left);
    MakeSectionStripVertices(1, 1, wall, right);
    // Left wall: B = Q1 = L[2] raised 64, D = Q3 = L[2], A = Q0 = L[1] raised, C = Q2 = L[1].
    EXPECT_EQ(left[0].z, 200.0f);
    EXPECT_EQ(left[0].y, 64.0f);
    EXPECT_EQ(left[1].y, 0.0f);
    EXPECT_EQ(left[2].z, 100.0f);
    // Both walls are lit from the road side: the left one's normal points to +x, the right one's
    // to -x (the right base runs backwards so both have the same winding).
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(left[i].nx, 1.0f, 1e-6f);
        EXPECT_NEAR(right[i].nx, -1.0f, 1e-6f);
        EXPECT_EQ(right[i].x, 200.0f);
    }
    // 100 along the base with 64-unit tiles, 64 up the side.
    EXPECT_FLOAT_EQ(left[0].u - left[2].u, 1.0f);
    EXPECT_FLOAT_EQ(left[1].v - left[0].v, 1.0f);
}

TEST_F(CourseGeometryTest, VergeLiesBesideTheRoadAndEmptyStripIsHarmless) {
    StraightCourse(4, 200.0f, 100.0f);
    DeriveCourseSurfaces();
    const StripProfile verge = {0, 320, 0, 64, 64, 64};
    CourseVertex v[4];
    MakeSectionStripVertices(0, 3, verge, v);
    // Right side: top edge 320 out, bottom edge 64 out.
    EXPECT_EQ(v[2].x, 520.0f);  // A = Q0 from base0 = R[1]
    EXPECT_EQ(v[3].x, 264.0f);
    EXPECT_EQ(v[0].y, 0.0f);
    const StripProfile empty = {0, 0, 0, 0, 64, 64};
    MakeSectionStripVertices(0, 2, empty, v);
    for (const CourseVertex& x : v) {
        EXPECT_FALSE(std::isnan(x.nx) || std::isnan(x.u) || std::isnan(x.v));
        EXPECT_EQ(x.x, 0.0f);
    }
}

TEST_F(CourseGeometryTest, CrystalsStandAboveTheMiddleOfTheirBoundary) {
    StraightCourse(4, 200.0f, 100.0f, 64.0f);
    DeriveCourseSurfaces();
    ExpectVec(CrystalPosition(2), 100, 64 + 10 + 1, 200);
}

TEST_F(CourseGeometryTest, CourseCentreIsTheMeanPointRaised) {
    SquareLoop(1000, 1000, 1000);
    ComputeCourseCentre();
    ExpectVec(courseGeometry.courseCentre, 1500, 300, 1500, 1e-3f);
}

TEST_F(CourseGeometryTest, MiniMapBoxAlwaysReachesTheOrigin) {
    // A course entirely at positive x and z: the box runs from 0 to 1975 in x and from -1975 to 0
    // in z' = -z.
    SquareLoop(1000, 1000, 1000);
    ComputeMiniMap();
    EXPECT_FLOAT_EQ(courseGeometry.miniMapCentre[0], 987.5f);
    EXPECT_FLOAT_EQ(courseGeometry.miniMapCentre[1], -987.5f);
    EXPECT_FLOAT_EQ(courseGeometry.miniMapExtent, 1975.0f);
    // Boundary 0's middle (1025, 1025): x = trunc(37.5 * 100 / 1975 + 70), y = trunc(-37.5 ... + 410).
    const MiniMapVertex& v0 = courseGeometry.miniMapVertices[0];
    EXPECT_EQ(v0.x, 71.0f);
    EXPECT_EQ(v0.y, 408.0f);
    EXPECT_EQ(v0.z, 0.2f);
    EXPECT_EQ(v0.rhw, 1.0f);
    EXPECT_EQ(v0.colour, 0xffff0000u);
    // Every point inside the 100 x 100 box at (20, 360); the loop closes on vertex 0.
    for (int s = 0; s < 4; ++s) {
        EXPECT_GE(courseGeometry.miniMapVertices[s].x, 20.0f);
        EXPECT_LE(courseGeometry.miniMapVertices[s].x, 120.0f);
        EXPECT_GE(courseGeometry.miniMapVertices[s].y, 360.0f);
        EXPECT_LE(courseGeometry.miniMapVertices[s].y, 460.0f);
    }
    const MiniMapVertex& last = courseGeometry.miniMapVertices[4];
    EXPECT_EQ(last.x, v0.x);
    EXPECT_EQ(last.y, v0.y);
    EXPECT_EQ(last.colour, 0xffff8040u);
}

TEST(Boundaries, GeneratorsCannotWritePastTheLastSection) {
    ClearBoundaries();
    EXPECT_EQ(courseGeometry.sectionCount, 0);
    for (int s = 0; s < MaxSections; ++s) {
        ASSERT_TRUE(AddBoundary(D3DXVECTOR3(0, 0, float(s)), D3DXVECTOR3(1, 0, float(s))));
    }
    EXPECT_FALSE(AddBoundary(D3DXVECTOR3(9, 9, 9), D3DXVECTOR3(9, 9, 9)));
    EXPECT_EQ(courseGeometry.sectionCount, MaxSections);
    EXPECT_EQ(courseGeometry.boundary[MaxSections - 1].left.z, float(MaxSections - 1));
}

TEST(YawTo, SameDirectionIsZeroAndOppositeIsPi) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    EXPECT_EQ(YawToPlacement(m, nullptr, D3DXVECTOR3(0, 0, 5)), 0.0f);
    EXPECT_EQ(YawToPlacement(m, nullptr, D3DXVECTOR3(0.001f, 0, 1)), 0.0f);
    EXPECT_FLOAT_EQ(YawToPlacement(m, nullptr, D3DXVECTOR3(0, 0, -3)), 3.1415927f);
}

TEST(YawTo, TurnIsSignedSoThatRotateYLandsOnTheDirection) {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 50, 0, 50);
    for (float target : {0.7f, -0.7f, 2.5f, -2.5f}) {
        SCOPED_TRACE(target);
        // The direction a RotateY(target) would give the forward axis.
        D3DXVECTOR3 dir(std::sin(target), 0, std::cos(target));
        const float yaw = YawToPlacement(m, nullptr, dir);
        EXPECT_NEAR(yaw, target, 1e-4f);
    }
    // With a parent turned a quarter right, world +x is already the forward axis.
    D3DXMATRIX parent, local;
    D3DXMatrixRotationY(&parent, 3.1415927f / 2);
    D3DXMatrixIdentity(&local);
    EXPECT_EQ(YawToPlacement(local, &parent, D3DXVECTOR3(1, 0, 0)), 0.0f);
}

TEST(Course1, LayoutIsAClosedCausewayOf150Sections) {
    currentCourse = 1;
    course01Routines.writeBoundaryPoints();
    const CourseInfo& info = *FindCourse(1);
    ASSERT_EQ(courseGeometry.sectionCount, 150);
    EXPECT_EQ(info.sections, 150);
    ExpectVec(courseGeometry.boundary[0].left, 0, 64, 100);
    ExpectVec(courseGeometry.boundary[0].right, 200, 64, 100);
    ExpectVec(BoundaryMid(0) + D3DXVECTOR3(0, 0.1f, 0), info.gatePosition.x, info.gatePosition.y,
              info.gatePosition.z, 1e-4f);
    DeriveCourseSurfaces();
    for (int s = 0; s < 150; ++s) {
        SCOPED_TRACE(s);
        const int t = NextSection(s);
        // 200 wide everywhere, sections between 100 and 130 long on the centre line, no repeats.
        D3DXVECTOR3 w = courseGeometry.boundary[s].right - courseGeometry.boundary[s].left;
        EXPECT_NEAR(D3DXVec3Length(&w), 200.0f, 0.05f);
        D3DXVECTOR3 step = BoundaryMid(t) - BoundaryMid(s);
        EXPECT_GT(D3DXVec3Length(&step), 99.0f);
        EXPECT_LT(D3DXVec3Length(&step), 130.0f);
        // The road is never upside down and every half has a usable tilt.
        EXPECT_GT(courseGeometry.halfNormal[2 * s].y, 0.95f);
        EXPECT_GT(courseGeometry.halfNormal[2 * s + 1].y, 0.95f);
        EXPECT_NEAR(D3DXVec3Length(&courseGeometry.tiltAxis[2 * s]), 1.0f, 1e-5f);
    }
    // The hump lifts the road back along -z; the straights stay at 64.
    EXPECT_GT(courseGeometry.boundary[73].left.y, 80.0f);
    EXPECT_EQ(courseGeometry.boundary[140].left.y, 64.0f);
    // Every crystal and boost section lies on the course.
    for (int i = 0; i < info.supplyCrystalCount; ++i) EXPECT_LT(info.supplyCrystals[i], 150);
    currentCourse = 0;
}

}  // namespace
