// The computer cars: per-opponent parallel arrays (the course set-up places them on the grid),
// their per-frame driving along their lanes, and their drawing inside the draw window.
#pragma once
#include <cstdint>

#include "courses/course_table.h"

extern float oppSpeed[MaxOpponents];
extern float oppTopSpeed[MaxOpponents];
extern float oppHeading[MaxOpponents];
extern float oppLane[MaxOpponents];
extern float oppWheelSpin[MaxOpponents];
extern int oppSection[MaxOpponents];
extern int oppHalf[MaxOpponents];
extern int oppLaps[MaxOpponents];
extern int oppBoostTimer[MaxOpponents];
extern int oppSteer[MaxOpponents];
extern uint8_t oppVisible[MaxOpponents];

// Every opponent, in index order: speed, boost, aim along its lane, move, progress.
void UpdateOpponents();
// Opponents inside the draw window and in view, posed on their halves.
void DrawOpponents();
