// One computer car as the race keeps it: where it is, how it drives, how far it has come. The
// race holds one array of them (race/opponents.h); the course set-up writes the start grid's
// into its start record, which the race takes whole.
#pragma once

#include <array>

#include "game/limits.h"
#include "platform/math.h"

struct Opponent {
    D3DXMATRIX placement;  // its world placement on its own half, facing along its heading
    float speed;           // units per frame
    float topSpeed;
    float heading;         // yaw, radians
    float lane;            // where across the road it aims: -0.5 left side .. 0.5 right side
    float wheelSpin;       // accumulated tyre rotation
    int section, half;     // the section it is on, and which of its two triangles
    int laps;              // lines crossed
    int boostTimer;        // frames of boost left
    int steer;             // -1 left, 0, +1 right: the front tyres as drawn
};

// Every opponent slot of a race, in index order.
using OpponentArray = std::array<Opponent, MaxOpponents>;
