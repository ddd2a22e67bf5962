#include "courses/track_queries.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "framework/placement.h"

namespace {
// 0.985 of a full turn: how nearly the angles seen from a point must close around it.
constexpr float kInsideAngleSum = 6.188937664f;
// Unit vectors to two corners that cancel this closely put the point on the side between them.
constexpr float kOnSideLength = 0.04f;
constexpr float kTestReach = 10.0f;   // the test line runs this far above and below a point

float AngleBetween(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return std::acos(std::clamp(D3DXVec3Dot(&a, &b), -1.0f, 1.0f));
}
}  // namespace

int PreviousSection(int s) { return s > 0 ? s - 1 : courseGeometry.sectionCount - 1; }

bool SurfaceHits::Any() const { return OnSection(0) || OnSection(1) || OnSection(2); }

bool InsideTriangle(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c) {
    D3DXVECTOR3 toA = a - p, toB = b - p, toC = c - p;
    // Standing on a corner: every direction is degenerate, but the point is on the triangle.
    constexpr float kOnCorner = 1e-8f;
    if (D3DXVec3LengthSq(&toA) < kOnCorner || D3DXVec3LengthSq(&toB) < kOnCorner || D3DXVec3LengthSq(&toC) < kOnCorner)
        return true;
    D3DXVec3Normalize(&toA, &toA);
    D3DXVec3Normalize(&toB, &toB);
    D3DXVec3Normalize(&toC, &toC);
    const D3DXVECTOR3 ab = toA + toB, bc = toB + toC, ca = toC + toA;
    if (D3DXVec3Length(&ab) < kOnSideLength || D3DXVec3Length(&bc) < kOnSideLength || D3DXVec3Length(&ca) < kOnSideLength)
        return true;
    return AngleBetween(toA, toB) + AngleBetween(toB, toC) + AngleBetween(toC, toA) >= kInsideAngleSum;
}

bool PointOverHalf(const D3DXVECTOR3& p, const D3DXVECTOR3& up, int s, int t, D3DXVECTOR3* hitOut) {
    const CourseGeometry& g = courseGeometry;
    const int n = NextSection(s);
    const D3DXVECTOR3 top = p + up * kTestReach, bottom = p - up * kTestReach;
    D3DXVECTOR3 hit;
    if (!D3DXPlaneIntersectLine(&hit, &g.halfPlane[2 * s + t], &top, &bottom)) return false;
    if (hitOut) *hitOut = hit;
    if (t == 0) return InsideTriangle(hit, BoundaryRight(s), BoundaryRight(n), BoundaryLeft(n));
    return InsideTriangle(hit, BoundaryLeft(n), BoundaryLeft(s), BoundaryRight(s));
}

SurfaceHits TestSurface(const D3DXVECTOR3& p, const D3DXVECTOR3& up, int section) {
    SurfaceHits hits{};
    const int sections[3] = {PreviousSection(section), section, NextSection(section)};
    for (int k = 0; k < 3; ++k)
        for (int t = 0; t < 2; ++t) hits.on[k][t] = PointOverHalf(p, up, sections[k], t);
    return hits;
}

bool WithinSections(int a, int b, int range) {
    const int d = std::abs(a - b);
    return d < range || d > courseGeometry.sectionCount - range - 1;
}

void OrientOnHalf(D3DXMATRIX& body, int h, float yaw) {
    const CourseGeometry& g = courseGeometry;
    const D3DXVECTOR3 p = PlacementPosition(body);
    LookAtPoint(body, D3DXVECTOR3(p.x, p.y, p.z + 1.0f), 1.0f);
    RotateAxis(body, g.tiltAxis[h], g.tiltAngle[h]);
    RotateY(body, yaw);
}
