// A course view for tests that draw a course from a camera of their own.
#pragma once
#include "courses/course_setup.h"

// The view of a camera at `eye` looking at `at`, handed to the device (world identity, view,
// projection) and to the framework's camera matrices, with the draw window around `section`.
CourseView LookFrom(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, const D3DXVECTOR3& up, int section,
                    int crystalRange = 10, int frame = 0);
