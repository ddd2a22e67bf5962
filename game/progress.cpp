#include "game/progress.h"

int coursesOpen = 1;
bool secretFound[5] = {false, false, false, false, false};
bool startedFromCourse1 = false;

void ResetProgress() {
    coursesOpen = 1;
    for (bool& f : secretFound) f = false;
    startedFromCourse1 = false;
}
