// The player's progress beside the records table: how many normal courses Course Select offers,
// which secret courses have been found, and whether the current series of races began at course 1.
// Also the five secret-course tests the course progression runs after a finished race.
#pragma once

constexpr int kSecretCourseCount = 5;
constexpr int kFirstSecretCourse = 11;     // secret course k is course number 10 + k
constexpr int kAllCoursesOpen = 11;        // all ten normal courses open and the staff roll seen

extern int coursesOpen;                          // 1..11
extern bool secretFound[kSecretCourseCount];     // [k - 1]: secret course k has been found
extern bool startedFromCourse1;                  // the series began with course 1 (never saved)

// The start-up values: course 1 open, no secret found, no series.
void ResetProgress();

// Secret course `secret` (1..5) is earned, judged after `courseJustFinished`:
//   1: best rank 1 on every normal course;
//   2: every crystal of every normal course (a best ratio of exactly 100 %);
//   3: course 1's best total time under one minute;
//   4: course 10 finished in a series begun at course 1;
//   5: course 10 finished with the mini map, speed meter, frame rate and timers all hidden.
bool SecretCourseEarned(int secret, int courseJustFinished);

// The course progression's search: once all courses are open, the tests run in order 1 to 5, each
// only for a secret not found yet; the number of the last that passes is announced first (0 when
// none passes or the courses are not all open).
int FindSecretCourse(int courseJustFinished);
