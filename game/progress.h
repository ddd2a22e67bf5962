// Progress beside the records: how many normal courses are open, which secret courses were found,
// and whether the current series of races began with course 1.
#pragma once

extern int coursesOpen;          // 1..11; 11: all ten open and the staff roll seen
extern bool secretFound[5];      // secret course k + 1 found
extern bool startedFromCourse1;  // not saved

// The start-up values: course 1 open, no secret found.
void ResetProgress();
