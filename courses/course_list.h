// The courses' own routines, one record per course file (courseNN.cpp), referenced by the course
// table's rows.
#pragma once
#include "courses/course_table.h"

extern const CourseRoutines course01Routines;
extern const CourseRoutines course02Routines;
extern const CourseRoutines course03Routines;
extern const CourseRoutines course04Routines;
extern const CourseRoutines course05Routines;
extern const CourseRoutines course06Routines;
extern const CourseRoutines course07Routines;
extern const CourseRoutines course08Routines;
extern const CourseRoutines course09Routines;
extern const CourseRoutines course10Routines;
extern const CourseRoutines course11Routines;
extern const CourseRoutines course12Routines;
extern const CourseRoutines course13Routines;
extern const CourseRoutines course14Routines;
extern const CourseRoutines course15Routines;
