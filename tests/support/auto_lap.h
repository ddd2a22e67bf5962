// The player's automatic driver on a course's bare geometry (no window, no opponents): how it
// takes its first lap, for the checks that every course can be driven within its limit.
#pragma once
#include "race/race_state.h"

struct AutoLap {
    bool lapped = false;  // crossed the line within the course's limit time
    int frames = 0;       // race frames the lap took (or all the frames tried)
    int slowFrames = 0;   // frames after the first 300 spent below 15 units a frame
    int section = 0;      // where the car ended
};

// Writes the course's boundary points and puts the player's car alone on the last section,
// facing along the road, with a race clock that never runs out. False for an unknown course.
bool StartAloneBeforeTheLine(int course);

// One race frame's step (the game's own) with this controller driving the player's car.
void DriveOneFrame(PlayerControl control);

// Starts as above and drives one lap with the race frame's driving steps.
AutoLap DriveAutomaticLap(int course);
