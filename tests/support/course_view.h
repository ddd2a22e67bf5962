// A course view for tests that draw a course from a camera of their own.
#pragma once
#include "courses/course_setup.h"
#include "framework/mesh.h"

// The view of a camera at `eye` looking at `at`, handed to the device (world identity, view,
// projection) and to the framework's camera matrices, with the draw window around `section`.
CourseView LookFrom(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, const D3DXVECTOR3& up, int section,
                    int crystalRange = 10, int frame = 0);

// A course of 150 sections in a straight line along +z, 200 wide, 100 apart, its surfaces built.
void BuildStraightCourse();

// The tall tree model from the data directory (the build's own, for tests run from the build).
bool LoadTreeModel(Mesh& tree);
