// The maths routines against Direct3D's conventions: row vectors, left-handed, depth 0..1.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/math.h"

namespace {

constexpr float kEps = 1e-5f;

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float eps = kEps) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

D3DXVECTOR3 Transform(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    return out;
}

TEST(Math, LookAtLeftHandedPutsTheTargetOnPositiveZ) {
    D3DXMATRIX view;
    D3DXVECTOR3 eye(10, 5, -3), at(10, 5, 7), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    ExpectVec(Transform(eye, view), 0, 0, 0);
    ExpectVec(Transform(at, view), 0, 0, 10);
    // +x in the world is to the right when looking along +z in a left-handed system.
    ExpectVec(Transform(D3DXVECTOR3(11, 5, -3), view), 1, 0, 0);
    ExpectVec(Transform(D3DXVECTOR3(10, 6, -3), view), 0, 1, 0);
    // Looking along +x: world +z is now to the left (x < 0 in view space).
    D3DXVECTOR3 at2(20, 5, -3);
    D3DXMatrixLookAtLH(&view, &eye, &at2, &up);
    ExpectVec(Transform(D3DXVECTOR3(10, 5, -2), view), -1, 0, 0);
}

TEST(Math, PerspectiveLeftHandedMapsNearAndFarToZeroAndOne) {
    D3DXMATRIX proj;
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 4.0f / 3.0f, 0.1f, 2000.0f);
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 0.1f), proj), 0, 0, 0);
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 2000.0f), proj), 0, 0, 1);
    // A point on the top edge of the 45-degree view: y = z * tan(22.5 degrees).
    float z = 10.0f, y = z * std::tan(D3DX_PI / 8);
    EXPECT_NEAR(Transform(D3DXVECTOR3(0, y, z), proj).y, 1.0f, kEps);
    EXPECT_NEAR(Transform(D3DXVECTOR3(y * 4.0f / 3.0f, 0, z), proj).x, 1.0f, kEps);
    D3DXVECTOR4 clip;
    D3DXVECTOR3 p(0, 0, 50);
    D3DXVec3Transform(&clip, &p, &proj);
    EXPECT_NEAR(clip.w, 50.0f, kEps);  // w carries the view depth
}

TEST(Math, InverseUndoesAndSingularMatricesAreRefused) {
    D3DXMATRIX a, r, t, s, inv, prod;
    D3DXVECTOR3 axis(1, 2, 3);
    D3DXMatrixRotationAxis(&r, &axis, 0.7f);
    D3DXMatrixTranslation(&t, 4, -5, 6);
    D3DXMatrixScaling(&s, 2, 3, 0.5f);
    a = s * r * t;
    float det = 0;
    ASSERT_NE(D3DXMatrixInverse(&inv, &det, &a), nullptr);
    EXPECT_NEAR(det, 3.0f, 1e-4f);
    prod = a * inv;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(prod.m[i][j], i == j ? 1.0f : 0.0f, 1e-5f);

    D3DXMATRIX flat;
    D3DXMatrixScaling(&flat, 1, 0, 1);
    D3DXMATRIX keep = inv;
    EXPECT_EQ(D3DXMatrixInverse(&inv, &det, &flat), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_TRUE(inv == keep);  // left untouched
}

TEST(Math, RotationsTurnClockwiseLookingDownTheAxis) {
    D3DXMATRIX m;
    D3DXMatrixRotationY(&m, D3DX_PI / 2);
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 1), m), 1, 0, 0);  // forward turns to the right
    D3DXMatrixRotationX(&m, D3DX_PI / 2);
    ExpectVec(Transform(D3DXVECTOR3(0, 1, 0), m), 0, 0, 1);
    D3DXMatrixRotationZ(&m, D3DX_PI / 2);
    ExpectVec(Transform(D3DXVECTOR3(1, 0, 0), m), 0, 1, 0);
    // The axis form agrees with the named axes and normalises its axis.
    D3DXMATRIX ax, ry;
    D3DXVECTOR3 y5(0, 5, 0);
    D3DXMatrixRotationAxis(&ax, &y5, 0.3f);
    D3DXMatrixRotationY(&ry, 0.3f);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(ax.m[i][j], ry.m[i][j], kEps);
    // A zero axis leaves things as they are instead of shrinking them.
    D3DXVECTOR3 zero(0, 0, 0);
    D3DXMatrixRotationAxis(&ax, &zero, 1.0f);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&ax));
    // Yaw, pitch, roll: roll first, then pitch, then yaw.
    D3DXMATRIX ypr, rz, rx, expect;
    D3DXMatrixRotationYawPitchRoll(&ypr, 0.4f, 0.2f, 0.1f);
    D3DXMatrixRotationZ(&rz, 0.1f);
    D3DXMatrixRotationX(&rx, 0.2f);
    D3DXMatrixRotationY(&ry, 0.4f);
    expect = rz * rx * ry;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(ypr.m[i][j], expect.m[i][j], kEps);
}

TEST(Math, NormaliseKeepsZeroAtZero) {
    D3DXVECTOR3 v(3, 0, 4), out;
    D3DXVec3Normalize(&out, &v);
    ExpectVec(out, 0.6f, 0, 0.8f);
    D3DXVECTOR3 zero(0, 0, 0);
    D3DXVec3Normalize(&out, &zero);
    ExpectVec(out, 0, 0, 0, 0);
    EXPECT_FALSE(std::isnan(out.x));
    D3DXPLANE p(0, 0, 0, 5), pn;
    D3DXPlaneNormalize(&pn, &p);
    EXPECT_EQ(pn.a, 0.0f);
    EXPECT_FALSE(std::isnan(pn.d));
}

TEST(Math, PlanesFromPointsAndLineIntersection) {
    // Three points of the plane y = 2.
    D3DXVECTOR3 a(0, 2, 0), b(0, 2, 1), c(1, 2, 0);
    D3DXPLANE plane;
    D3DXPlaneFromPoints(&plane, &a, &b, &c);
    // (b - a) x (c - a) = (0,0,1) x (1,0,0) = (0,1,0): the normal points up; d = -2.
    EXPECT_NEAR(plane.a, 0, kEps);
    EXPECT_NEAR(plane.b, 1, kEps);
    EXPECT_NEAR(plane.c, 0, kEps);
    EXPECT_NEAR(plane.d, -2, kEps);
    D3DXVECTOR3 above(5, 12, 7);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &above), 10.0f, kEps);

    // A vertical segment through a test point meets the plane where the road is.
    D3DXVECTOR3 top(3, 10, 4), bottom(3, -10, 4), hit;
    ASSERT_NE(D3DXPlaneIntersectLine(&hit, &plane, &top, &bottom), nullptr);
    ExpectVec(hit, 3, 2, 4);
    // The whole line counts, not just the segment.
    D3DXVECTOR3 p1(0, 5, 0), p2(0, 4, 0);
    ASSERT_NE(D3DXPlaneIntersectLine(&hit, &plane, &p1, &p2), nullptr);
    ExpectVec(hit, 0, 2, 0);
    // Parallel: no point, and the output is left alone.
    D3DXVECTOR3 q1(0, 5, 0), q2(1, 5, 1), keep(9, 9, 9);
    hit = keep;
    EXPECT_EQ(D3DXPlaneIntersectLine(&hit, &plane, &q1, &q2), nullptr);
    ExpectVec(hit, 9, 9, 9, 0);
}

TEST(Math, TransformsOfPointsAndDirections) {
    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, 1, 2, 3);
    D3DXVECTOR3 v(1, 1, 1), out;
    ExpectVec(Transform(v, t), 2, 3, 4);
    D3DXVec3TransformNormal(&out, &v, &t);
    ExpectVec(out, 1, 1, 1);
    // Multiplication order: a * b applies a first.
    D3DXMATRIX s, st;
    D3DXMatrixScaling(&s, 2, 2, 2);
    st = s * t;
    ExpectVec(Transform(v, st), 3, 4, 5);
    D3DXVECTOR3 cross;
    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    D3DXVec3Cross(&cross, &x, &y);
    ExpectVec(cross, 0, 0, 1);
    EXPECT_FLOAT_EQ(D3DXVec3Length(&v), std::sqrt(3.0f));
}

}  // namespace
