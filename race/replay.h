// The replay recorder: every race frame's state stored in fixed tables indexed by frame number,
// so the race can be played back after the finish without simulating anything.
#pragma once
#include <cstdint>

#include "courses/course_geometry.h"
#include "courses/course_table.h"
#include "platform/math.h"

constexpr int kReplayFrames = 10800;  // three minutes at 60 frames per second
constexpr int kLastReplayFrame = kReplayFrames - 1;

struct ReplayPlayerFrame {
    D3DXVECTOR3 position;
    int section, half, lapsDone;
    float speed, heading, driftAngle;
    int steerInput;
    uint8_t gasHeld;
    uint8_t crystalFlash;  // a supply crystal's points are still flowing into the gauge
    int boostTimer;
    float wheelSpin;
};

struct ReplayOpponentFrame {
    D3DXVECTOR3 position;
    int section, half;
    int wheelTurn;  // the wheel spin in thousandths of a radian
    int steer;
    float heading;
    uint8_t boosting;
};

extern ReplayPlayerFrame replayPlayer[kReplayFrames];
extern ReplayOpponentFrame replayOpponents[MaxOpponents][kReplayFrames];
extern uint8_t replaySupplyPresent[kReplayFrames][SupplyCrystalSlots];
extern uint8_t replayBoostPresent[kReplayFrames][BoostCrystalSlots];

// Stores the race as it stands under frame number `frame` (ignored outside 0..10799).
void RecordFrame(int frame, uint8_t gasHeld, int steerInput);
