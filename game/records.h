// The records table: per course the best rank, the best lap, the lap splits of the race with the
// best total time and the best crystal ratio. The race updates it at each completed lap and at the
// finish; the Records screen and the save file read it.
#pragma once

#include "game/limits.h"

struct CourseRecord {
    int bestRank;
    int bestLapMinutes;
    int bestLapMillis;
    int splitMinutes[kMaxLaps];  // lap k of the best race at [k - 1]
    int splitMillis[kMaxLaps];
    float bestCrystalRatio;
};

// Rows 1 to 15 by course number; row 0 is not a course.
extern CourseRecord records[CourseCount + 1];

// Each course's fixed number of laps, by course number: only that many splits of a row are used,
// and the save file stores exactly that many. The course table holds the same counts (a test
// keeps the two equal); the records keep their own copy because they sit below the courses.
inline constexpr int kRecordedLaps[CourseCount + 1] = {0, 5, 5, 3, 3, 3, 3, 2, 3, 5, 3, 10, 3, 3, 1, 3};
// The laps of a course, 0 for a number that is not a course.
constexpr int RecordedLaps(int course) { return course >= 1 && course <= CourseCount ? kRecordedLaps[course] : 0; }

// Every row to its reset values (rank 9, times 99:59.999, ratio 0).
void ResetRecords();
// The record row of a course, or null for a number that is not a course.
CourseRecord* FindRecord(int course);

// A time as (minutes, milliseconds 0..59999).
struct RaceTime {
    int minutes;
    int millis;
};
// Minutes summed, plus the whole minutes carried out of the summed milliseconds.
RaceTime SumLapTimes(const int* minutes, const int* millis, int count);
// Minutes first, then milliseconds.
bool TimeLess(RaceTime a, RaceTime b);
// The best race's total time on a course: the sum of its recorded splits ({0, 0} for a number that
// is not a course).
RaceTime BestTotal(int course);

// A completed lap: becomes the course's best lap when it is strictly faster. True when it did.
bool RecordLap(int course, int minutes, int millis);
// The finish: best rank, the splits when the race total beats the stored one, the best ratio.
void RecordFinish(int course, int finalRank, const int* lapMinutes, const int* lapMillis, int laps, float ratio);
// Course set-up's reader of the best lap (null-safe for a number that is not a course).
void BestLapOf(int course, int* minutes, int* millis);
