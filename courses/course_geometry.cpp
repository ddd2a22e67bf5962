#include "courses/course_geometry.h"

#include <algorithm>
#include <cmath>

CourseGeometry courseGeometry;
int currentCourse = 0;

namespace {

// Two triangles whose normals differ by less than this share their mean normal, so that lighting
// runs smoothly over a section that is nearly planar.
constexpr float kNormalMergeDistance = 0.3f;
constexpr float kYawSame = 0.005f;
constexpr float kYawOpposite = 1.99f;
constexpr float kYawSignCheck = 0.1f;
constexpr float kPi = 3.1415927f;

D3DXVECTOR3 Unit(const D3DXVECTOR3& v) {
    D3DXVECTOR3 out;
    D3DXVec3Normalize(&out, &v);
    return out;
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 out;
    D3DXVec3Cross(&out, &a, &b);
    return out;
}

float Length(const D3DXVECTOR3& v) { return D3DXVec3Length(&v); }

bool IsZero(const D3DXVECTOR3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// The axis and angle that turn the up vector onto n.
void TiltFor(const D3DXVECTOR3& n, D3DXVECTOR3& axis, float& angle) {
    if (n.x == 0.0f && n.z == 0.0f && (n.y == 1.0f || n.y == -1.0f)) {
        axis = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    } else {
        axis = Unit(D3DXVECTOR3(n.z, 0.0f, -n.x));
    }
    float len = Length(n);
    // Rounding can put n.y / |n| a hair outside [-1, 1], where acos has no answer.
    float c = len > 0.0f ? std::clamp(n.y / len, -1.0f, 1.0f) : 1.0f;
    angle = std::acos(c);
}

float TileCount(float length, float tileSize) { return std::max(1.0f, length / tileSize); }

void SetVertex(CourseVertex& v, const D3DXVECTOR3& p, const D3DXVECTOR3& n, uint32_t colour, float u, float tv) {
    v.x = p.x;
    v.y = p.y;
    v.z = p.z;
    v.nx = n.x;
    v.ny = n.y;
    v.nz = n.z;
    v.colour = colour;
    v.u = u;
    v.v = tv;
}

}  // namespace

void ClearBoundaries() { courseGeometry.sectionCount = 0; }

bool AddBoundary(const D3DXVECTOR3& left, const D3DXVECTOR3& right) {
    CourseGeometry& g = courseGeometry;
    if (g.sectionCount < 0) g.sectionCount = 0;
    if (g.sectionCount >= MaxSections) return false;
    g.boundary[g.sectionCount].left = left;
    g.boundary[g.sectionCount].right = right;
    ++g.sectionCount;
    return true;
}

D3DXVECTOR3 BoundaryMid(int s) {
    const BoundaryPair& b = courseGeometry.boundary[s];
    return (b.left + b.right) * 0.5f;
}

void DeriveCourseSurfaces() {
    CourseGeometry& g = courseGeometry;
    const int n = g.sectionCount;
    for (int s = 0; s < n; ++s) {
        const int t = NextSection(s);
        const D3DXVECTOR3& l0 = g.boundary[s].left;
        const D3DXVECTOR3& r0 = g.boundary[s].right;
        const D3DXVECTOR3& l1 = g.boundary[t].left;
        const D3DXVECTOR3& r1 = g.boundary[t].right;
        g.edgeDir[s].left = Unit(l1 - l0);
        g.edgeDir[s].right = Unit(r1 - r0);
        g.crossDir[s].start = Unit(r0 - l0);
        g.crossDir[s].end = Unit(r1 - l1);
        g.halfNormal[2 * s] = Unit(Cross(g.edgeDir[s].left, g.crossDir[s].start));
        g.halfNormal[2 * s + 1] = Unit(Cross(g.edgeDir[s].right, g.crossDir[s].end));
        D3DXPlaneFromPoints(&g.halfPlane[2 * s], &l0, &l1, &r0);
        D3DXPlaneFromPoints(&g.halfPlane[2 * s + 1], &l1, &r1, &r0);
    }
    for (int s = 0; s < n; ++s) {
        D3DXVECTOR3& n0 = g.halfNormal[2 * s];
        D3DXVECTOR3& n1 = g.halfNormal[2 * s + 1];
        if (Length(n0 - n1) < kNormalMergeDistance) {
            D3DXVECTOR3 mean = (n0 + n1) * 0.5f;
            n0 = mean;
            n1 = mean;
        }
        for (int h = 2 * s; h < 2 * s + 2; ++h) TiltFor(g.halfNormal[h], g.tiltAxis[h], g.tiltAngle[h]);
        D3DXVECTOR3& a0 = g.tiltAxis[2 * s];
        D3DXVECTOR3& a1 = g.tiltAxis[2 * s + 1];
        if (IsZero(a0) && IsZero(a1)) {
            a0 = a1 = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
        } else if (IsZero(a0)) {
            a0 = a1;
        } else if (IsZero(a1)) {
            a1 = a0;
        }
    }
}

void MakeQuadVertices(CourseVertex out[4], const D3DXVECTOR3& a, const D3DXVECTOR3& b,
                      const D3DXVECTOR3& c, const D3DXVECTOR3& d, const D3DXVECTOR3& nA,
                      const D3DXVECTOR3& nB, const D3DXVECTOR3& nC, const D3DXVECTOR3& nD,
                      uint32_t colour, float tilesAB, float tilesBD, float tilesCD, float tilesAC) {
    const float ta = std::trunc(tilesAB);
    const float tb = std::trunc(tilesBD);
    const float tc = std::trunc(tilesCD);
    const float td = std::trunc(tilesAC);
    SetVertex(out[0], b, nB, colour, (ta - 1.0f) / 2.0f + 1.0f, -(tb - 1.0f) / 2.0f);
    SetVertex(out[1], d, nD, colour, (tc - 1.0f) / 2.0f + 1.0f, (tb - 1.0f) / 2.0f + 1.0f);
    SetVertex(out[2], a, nA, colour, -(ta - 1.0f) / 2.0f, -(td - 1.0f) / 2.0f);
    SetVertex(out[3], c, nC, colour, -(tc - 1.0f) / 2.0f, (td - 1.0f) / 2.0f + 1.0f);
}

void MakeRoadQuadVertices(int s, CourseVertex out[4]) {
    const CourseGeometry& g = courseGeometry;
    const int t = NextSection(s);
    const D3DXVECTOR3& a = g.boundary[t].left;
    const D3DXVECTOR3& b = g.boundary[t].right;
    const D3DXVECTOR3& c = g.boundary[s].left;
    const D3DXVECTOR3& d = g.boundary[s].right;
    float tilesAB = 1.0f, tilesBD = 1.0f, tilesCD = 1.0f, tilesAC = 1.0f;
    // Course 10 stretches its road texture once over every quad.
    if (currentCourse != 10) {
        tilesAB = TileCount(Length(b - a), TileSize);
        tilesBD = TileCount(Length(b - d), TileSize);
        tilesCD = TileCount(Length(d - c), TileSize);
        tilesAC = TileCount(Length(c - a), TileSize);
    }
    MakeQuadVertices(out, a, b, c, d, g.halfNormal[2 * t], g.halfNormal[2 * t + 1], g.halfNormal[2 * s],
                     g.halfNormal[2 * s + 1], 0xffffffffu, tilesAB, tilesBD, tilesCD, tilesAC);
}

void MakeEdgeStripVertices(CourseVertex out[4], const D3DXVECTOR3& base0, const D3DXVECTOR3& base1,
                           const D3DXVECTOR3& normal0, const D3DXVECTOR3& dir0,
                           const D3DXVECTOR3& normal1, const D3DXVECTOR3& dir1,
                           const StripProfile& p) {
    const D3DXVECTOR3 q0 = base0 + dir0 * p.topOffset + normal0 * p.topHeight;
    const D3DXVECTOR3 q1 = base1 + dir1 * p.topOffset + normal1 * p.topHeight;
    const D3DXVECTOR3 q2 = base0 + dir0 * p.bottomOffset + normal0 * p.bottomHeight;
    const D3DXVECTOR3 q3 = base1 + dir1 * p.bottomOffset + normal1 * p.bottomHeight;
    const float tilesAB = TileCount(Length(q1 - q0), p.tileAlongBase);
    const float tilesCD = TileCount(Length(q3 - q2), p.tileAlongBase);
    const float tilesAC = TileCount(Length(q2 - q0), p.tileAlongSide);
    const float tilesBD = TileCount(Length(q1 - q3), p.tileAlongSide);
    const D3DXVECTOR3 n0 = Unit(Cross(Unit(q1 - q0), Unit(q2 - q0)));
    const D3DXVECTOR3 n1 = Unit(Cross(Unit(q3 - q1), Unit(q0 - q1)));
    const D3DXVECTOR3 n2 = Unit(Cross(Unit(q0 - q2), Unit(q3 - q2)));
    const D3DXVECTOR3 n3 = Unit(Cross(Unit(q2 - q3), Unit(q1 - q3)));
    MakeQuadVertices(out, q0, q1, q2, q3, n0, n1, n2, n3, 0xffffffffu, tilesAB, tilesBD, tilesCD, tilesAC);
}

void MakeSectionStripVertices(int s, int k, const StripProfile& profile, CourseVertex out[4]) {
    const CourseGeometry& g = courseGeometry;
    const int t = NextSection(s);
    if (k == 0 || k == 2) {
        MakeEdgeStripVertices(out, g.boundary[s].left, g.boundary[t].left, g.halfNormal[2 * s],
                              -g.crossDir[s].start, g.halfNormal[2 * t], -g.crossDir[t].start, profile);
    } else {
        MakeEdgeStripVertices(out, g.boundary[t].right, g.boundary[s].right, g.halfNormal[2 * t + 1],
                              g.crossDir[t].end, g.halfNormal[2 * s + 1], g.crossDir[s].end, profile);
    }
}

D3DXVECTOR3 CrystalPosition(int s) {
    const CourseGeometry& g = courseGeometry;
    D3DXVECTOR3 p = BoundaryMid(s) + (g.halfNormal[2 * s] + g.halfNormal[2 * s + 1]) * 0.5f * 10.0f;
    p.y += 1.0f;
    return p;
}

void ComputeCourseCentre() {
    CourseGeometry& g = courseGeometry;
    D3DXVECTOR3 sum(0.0f, 0.0f, 0.0f);
    for (int s = 0; s < g.sectionCount; ++s) sum += g.boundary[s].left + g.boundary[s].right;
    g.courseCentre = sum / (2.0f * static_cast<float>(g.sectionCount));
    g.courseCentre.y += 300.0f;
}

void ComputeMiniMap() {
    CourseGeometry& g = courseGeometry;
    const int n = g.sectionCount;
    // The box starts at the origin, so it always contains it.
    float minX = 0.0f, maxX = 0.0f, minZ = 0.0f, maxZ = 0.0f;
    for (int s = 0; s < n; ++s) {
        // z is negated so that the map's up is the world's -z.
        const float mx = (g.boundary[s].left.x + g.boundary[s].right.x) / 2.0f;
        const float mz = (g.boundary[s].left.z + g.boundary[s].right.z) / -2.0f;
        minX = std::min(minX, mx);
        maxX = std::max(maxX, mx);
        minZ = std::min(minZ, mz);
        maxZ = std::max(maxZ, mz);
    }
    g.miniMapCentre[0] = (maxX + minX) / 2.0f;
    g.miniMapCentre[1] = (maxZ + minZ) / 2.0f;
    const float width = maxX - minX;
    const float depth = maxZ - minZ;
    g.miniMapExtent = width > depth ? width : depth;
    // A course collapsed onto the origin would divide by zero; draw it as a dot instead.
    const float extent = g.miniMapExtent > 0.0f ? g.miniMapExtent : 1.0f;
    for (int s = 0; s < n; ++s) {
        const float mx = (g.boundary[s].left.x + g.boundary[s].right.x) / 2.0f;
        const float mz = (g.boundary[s].left.z + g.boundary[s].right.z) / -2.0f;
        MiniMapVertex& v = g.miniMapVertices[s];
        v.x = std::trunc((mx - g.miniMapCentre[0]) * MiniMapSize / extent + MiniMapSize / 2.0f + MiniMapLeft);
        v.y = std::trunc((mz - g.miniMapCentre[1]) * MiniMapSize / extent + MiniMapSize / 2.0f + MiniMapTop);
        v.z = 0.2f;
        v.rhw = 1.0f;
        v.colour = 0xffff0000u;
    }
    g.miniMapVertices[n] = g.miniMapVertices[0];
    g.miniMapVertices[n].colour = 0xffff8040u;
}

namespace {

D3DXVECTOR3 ForwardAxis(const D3DXMATRIX& local, const D3DXMATRIX* parentWorld) {
    D3DXMATRIX world = local;
    if (parentWorld) D3DXMatrixMultiply(&world, &local, parentWorld);
    return D3DXVECTOR3(world._31, world._32, world._33);
}

}  // namespace

float YawToPlacement(const D3DXMATRIX& local, const D3DXMATRIX* parentWorld, const D3DXVECTOR3& direction) {
    const D3DXVECTOR3 f = Unit(ForwardAxis(local, parentWorld));
    const D3DXVECTOR3 t = Unit(direction);
    const float apart = Length(f - t);
    if (apart < kYawSame) return 0.0f;
    if (apart > kYawOpposite) return kPi;
    const float lf = Length(f), lt = Length(t);
    // Both are unit vectors unless the direction was zero; a zero direction has no turn.
    if (lf == 0.0f || lt == 0.0f) return 0.0f;
    const float angle = std::acos(std::clamp(D3DXVec3Dot(&f, &t) / (lf * lt), -1.0f, 1.0f));
    D3DXMATRIX turn, turned;
    D3DXMatrixRotationY(&turn, angle);
    D3DXMatrixMultiply(&turned, &turn, &local);
    const D3DXVECTOR3 f2 = Unit(ForwardAxis(turned, parentWorld));
    return Length(f2 - t) < kYawSignCheck ? angle : -angle;
}
