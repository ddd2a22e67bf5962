// The game's fixed counts, shared by every floor above: courses, opponents and laps.
#pragma once

// Courses 1 to 10 are the normal courses, 11 to 15 the secret ones; per-course tables are indexed
// by this number (row 0 is not a course).
constexpr int CourseCount = 15;
constexpr int MaxOpponents = 8;
// No course has more laps than this; the per-lap history and the records hold this many.
constexpr int kMaxLaps = 10;
