// Questions the race asks of the course's triangles: which half a point stands over, whether a
// section lies in a window around another, and how a car sits on a half.
#pragma once

#include "courses/course_geometry.h"

// Which of the tested triangles one test point lies over: [0] previous, [1] current, [2] next
// section, each with its two halves.
struct SurfaceHits {
    bool on[3][2];
    bool Any() const;
    bool OnSection(int which) const { return on[which][0] || on[which][1]; }
};

// The race's inside test: the angles under which p sees the sides sum to a full turn (within
// 1.5%), or p lies on a side.
bool InsideTriangle(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c);
// True when the vertical test line through p (along up) meets half t of section s inside its
// triangle: t = 0 is (R[s], R[s+1], L[s+1]), t = 1 is (L[s+1], L[s], R[s]). `hit`, when given,
// receives where the line meets the half's plane.
bool PointOverHalf(const D3DXVECTOR3& p, const D3DXVECTOR3& up, int s, int t, D3DXVECTOR3* hit = nullptr);
// p against both halves of the sections before, at and after `section`.
SurfaceHits TestSurface(const D3DXVECTOR3& p, const D3DXVECTOR3& up, int section);

// True when section a lies within range sections of b, across the wrap as well.
bool WithinSections(int a, int b, int range);
// The section before s, closing the loop.
int PreviousSection(int s);
// A car's placement rebuilt from half h of the course: facing world +z, tilted onto the half,
// turned by `yaw` about its up axis. The position is kept.
void OrientOnHalf(D3DXMATRIX& body, int h, float yaw);
