// The current course as the race sees it: boundary point pairs and everything derived from them
// once per course (edge and cross directions, the two triangles of each section with their normals,
// planes and tilt), the crystal and opponent-boost sections, the course centre and the mini map.
// One global record, overwritten in place by each course set-up; nothing here touches the device,
// so the whole derivation can be checked without a window.
#pragma once
#include <cstdint>

#include "platform/math.h"

constexpr int MaxSections = 2000;
constexpr int MaxHalves = 2 * MaxSections;
constexpr int SupplyCrystalSlots = 20;
constexpr int BoostCrystalSlots = 5;
// A road quad carries one texture repetition per this many units of edge (at least one).
constexpr float TileSize = 32.0f;

// Left point first: the race reads the pair as one 24-byte record.
struct BoundaryPair {
    D3DXVECTOR3 left;
    D3DXVECTOR3 right;
};

struct EdgeDirection {
    D3DXVECTOR3 left;   // unit(L[s+1] - L[s])
    D3DXVECTOR3 right;  // unit(R[s+1] - R[s])
};

struct CrossDirection {
    D3DXVECTOR3 start;  // unit(R[s] - L[s])
    D3DXVECTOR3 end;    // unit(R[s+1] - L[s+1])
};

// Road and strip vertex: position, normal, diffuse, one coordinate pair (XYZ|NORMAL|DIFFUSE|TEX1).
struct CourseVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(CourseVertex) == 36);
constexpr uint32_t CourseVertexFvf = 0x152;

// Mini-map vertex: pre-transformed pixel position and diffuse (XYZRHW|DIFFUSE).
struct MiniMapVertex {
    float x, y, z, rhw;
    uint32_t colour;
};
static_assert(sizeof(MiniMapVertex) == 20);
constexpr uint32_t MiniMapVertexFvf = 0x44;
constexpr int MiniMapVertexCount = MaxSections + 1;

// Where the mini map sits on the 640 x 480 screen and how large it is; the HUD places the car
// markers with the same three numbers.
constexpr float MiniMapSize = 100.0f;
constexpr float MiniMapLeft = 20.0f;
constexpr float MiniMapTop = 360.0f;

// Half h = 2s + t of section s: t = 0 is the left-rear triangle (L[s], L[s+1], R[s]), t = 1 the
// right-front triangle (L[s+1], R[s+1], R[s]); the quad is split along L[s+1]-R[s].
struct CourseGeometry {
    int sectionCount;                    // 2 .. MaxSections; section s runs from boundary s to s+1
    BoundaryPair boundary[MaxSections];  // L[s] = boundary[s].left, R[s] = boundary[s].right
    EdgeDirection edgeDir[MaxSections];
    CrossDirection crossDir[MaxSections];
    D3DXVECTOR3 halfNormal[MaxHalves];
    D3DXPLANE halfPlane[MaxHalves];
    D3DXVECTOR3 tiltAxis[MaxHalves];     // turns (0, 1, 0) onto halfNormal by tiltAngle
    float tiltAngle[MaxHalves];
    uint8_t sceneryOn[MaxHalves];        // scenery pool model 2s + k is drawn (k 0 left, 1 right)
    int supplyCrystalSection[SupplyCrystalSlots];  // -1 = empty slot
    int boostCrystalSection[BoostCrystalSlots];    // -1 = empty slot
    int boostSectionA;                   // sections where an opponent boosts, -1 = none
    int boostSectionB;
    D3DXVECTOR3 courseCentre;            // mean boundary point, raised by 300
    float miniMapCentre[2];              // box centre: x and z' (z' = -z)
    float miniMapExtent;                 // larger side of the box
    MiniMapVertex miniMapVertices[MiniMapVertexCount];  // work array the mini-map buffer is made from
};

extern CourseGeometry courseGeometry;

// The course being raced, 1 to 15 (0 before the first set-up). Course 10 stretches one road
// texture over each whole quad.
extern int currentCourse;

// The boundary that follows s, closing the loop.
inline int NextSection(int s) { return s + 1 < courseGeometry.sectionCount ? s + 1 : 0; }
inline const D3DXVECTOR3& BoundaryLeft(int s) { return courseGeometry.boundary[s].left; }
inline const D3DXVECTOR3& BoundaryRight(int s) { return courseGeometry.boundary[s].right; }
// Centre of boundary s.
D3DXVECTOR3 BoundaryMid(int s);

// The course generators write their boundaries through these: ClearBoundaries empties the list,
// AddBoundary appends one pair (left first) and counts it in sectionCount. A course that would
// pass MaxSections keeps its first MaxSections boundaries; the rest are refused (false).
void ClearBoundaries();
bool AddBoundary(const D3DXVECTOR3& left, const D3DXVECTOR3& right);

// Derives edgeDir, crossDir, halfNormal, halfPlane, tiltAxis and tiltAngle for every section from
// the boundary points (the geometry half of BuildCourseSurfaces).
void DeriveCourseSurfaces();

// The four vertices of a textured quad in triangle-strip order B, D, A, C. Each tile count is
// truncated; across an edge of n tiles the coordinate spans n, centred on 0.5.
void MakeQuadVertices(CourseVertex out[4], const D3DXVECTOR3& a, const D3DXVECTOR3& b,
                      const D3DXVECTOR3& c, const D3DXVECTOR3& d, const D3DXVECTOR3& nA,
                      const D3DXVECTOR3& nB, const D3DXVECTOR3& nC, const D3DXVECTOR3& nD,
                      uint32_t colour, float tilesAB, float tilesBD, float tilesCD, float tilesAC);

// The road quad of section s (needs DeriveCourseSurfaces first).
void MakeRoadQuadVertices(int s, CourseVertex out[4]);

// The profile of one edge strip: how far above (along the surface normal) and out (along the
// side direction) its top and bottom edges lie, and its texture tile sizes.
struct StripProfile {
    float topHeight, topOffset, bottomHeight, bottomOffset, tileAlongBase, tileAlongSide;
};

// A quad hung on a side edge: corners base + offset * dir + height * normal.
void MakeEdgeStripVertices(CourseVertex out[4], const D3DXVECTOR3& base0, const D3DXVECTOR3& base1,
                           const D3DXVECTOR3& normal0, const D3DXVECTOR3& dir0,
                           const D3DXVECTOR3& normal1, const D3DXVECTOR3& dir1,
                           const StripProfile& profile);

// Strip k of section s with the bases and directions every course uses: k = 0 upper left,
// 1 upper right, 2 lower left, 3 lower right.
void MakeSectionStripVertices(int s, int k, const StripProfile& profile, CourseVertex out[4]);

// Where a crystal on section s stands: 10 units above the middle of the boundary along the mean
// normal of the section's two halves, plus 1 in y.
D3DXVECTOR3 CrystalPosition(int s);

// courseCentre = mean of all boundary points, y raised by 300.
void ComputeCourseCentre();

// Fills miniMapCentre, miniMapExtent and the first sectionCount + 1 mini-map vertices.
void ComputeMiniMap();

// The signed turn about y from a placement's forward axis onto a direction (0 when already on it,
// pi when opposite). local is the placement relative to the parent, parentWorld its parent's world
// matrix (null without one); the turn is tried on a copy to find its sign.
float YawToPlacement(const D3DXMATRIX& local, const D3DXMATRIX* parentWorld, const D3DXVECTOR3& direction);
