// The courses' own routines, one record per course file (courseNN.cpp), referenced by the course
// table's rows.
#pragma once
#include "courses/course_table.h"

extern const CourseRoutines course01Routines;
