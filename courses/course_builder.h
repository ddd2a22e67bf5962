// Builds the current course's drawable parts from CourseGeometry: one road quad and four edge
// strips per section (separate small buffers, so a frame draws only the sections around the
// player), the placement of the scenery pool and of the crystals, and the mini-map line strip.
#pragma once
#include <cstdint>

#include "courses/course_geometry.h"
#include "framework/model.h"
#include "framework/vertex_buffer.h"

extern VertexBuffer roadQuad[MaxSections];
extern VertexBuffer edgeStrip[MaxSections][4];  // 0 upper left, 1 upper right, 2 lower left, 3 lower right
extern VertexBuffer miniMapBuffer;

// Derives the per-section surfaces, releases every section's five buffers and builds the road quads.
void BuildCourseSurfaces();

// Fills one buffer with a textured quad (strip order B, D, A, C).
void WriteQuad(VertexBuffer& buffer, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c,
               const D3DXVECTOR3& d, const D3DXVECTOR3& nA, const D3DXVECTOR3& nB, const D3DXVECTOR3& nC,
               const D3DXVECTOR3& nD, uint32_t colour, float tilesAB, float tilesBD, float tilesCD,
               float tilesAC);

// A quad hung on a side edge. The colour is not used: strips are always opaque white.
void BuildEdgeStrip(VertexBuffer& buffer, const D3DXVECTOR3& base0, const D3DXVECTOR3& base1,
                    const D3DXVECTOR3& normal0, const D3DXVECTOR3& dir0, const D3DXVECTOR3& normal1,
                    const D3DXVECTOR3& dir1, float topHeight, float topOffset, float bottomHeight,
                    float bottomOffset, float tileAlongBase, float tileAlongSide, uint32_t colour);

// The four strips of every section with the usual bases and directions: the upper pair with one
// profile, the lower pair with the other.
void BuildSectionStrips(const StripProfile& upper, const StripProfile& lower);
// One strip k of section s (for courses that vary the profile along the course).
void BuildSectionStrip(int s, int k, const StripProfile& profile);

// Signed yaw (radians) that turns the model's forward axis onto the direction; the model is a copy.
float YawTo(Model model, const D3DXVECTOR3& direction);

// Places scenery pool models 2s (left) and 2s + 1 (right) of every section 192 units outside the
// road, tilted with the road and turned along its edge.
void PlaceSceneryPool(Model* pool);

// Points section s's two scenery pool models at these scenery meshes and switches them on.
void PutSceneryPair(int s, int leftMesh, int rightMesh);

// Marks the crystals of the used slots (counted over every slot that is not -1) present, each on
// a section the course has; returns the count. The race places the crystals' models there.
int MarkCrystals(const int* sections, int slots, uint8_t* present);

// Computes the mini map and creates its 2001-vertex buffer.
void BuildMiniMap();
