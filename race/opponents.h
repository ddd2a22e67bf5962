// The computer cars: one Opponent record each (the course set-up stands them on the grid), their
// per-frame driving along their lanes, and their drawing inside the draw window.
#pragma once
#include <cstdint>

#include "courses/course_table.h"
#include "game/opponent.h"
#include "race/vehicle.h"

// The race's opponents; the first raceState.enemyCount are in the race.
extern OpponentArray opponents;

// Every opponent, in index order: speed, boost, aim along its lane, move, progress.
void UpdateOpponents();
// Opponent i as drawn: lifted 6 units off its half, front tyres steered, tyres turned.
VehiclePose OpponentPose(int i);
// Opponent i is inside the draw window around the player's section and in view of the camera the
// device draws with (near enough, and on screen).
bool OpponentInView(int i);
// The opponents in view, posed.
void DrawOpponents();
// Every opponent, boost flames burning, wherever it stands: a loading step draws them all once,
// so none is the first of its kind in a shown frame.
void DrawEveryOpponent();
