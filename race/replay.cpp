#include "race/replay.h"

#include "framework/placement.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/race_state.h"
#include "game/asset_tables.h"

ReplayPlayerFrame replayPlayer[kReplayFrames];
ReplayOpponentFrame replayOpponents[MaxOpponents][kReplayFrames];
uint8_t replaySupplyPresent[kReplayFrames][SupplyCrystalSlots];
uint8_t replayBoostPresent[kReplayFrames][BoostCrystalSlots];

void RecordFrame(int frame, uint8_t gasHeld, int steerInput) {
    if (frame < 0 || frame >= kReplayFrames) return;
    const RaceState& r = raceState;
    ReplayPlayerFrame& p = replayPlayer[frame];
    p.position = PlacementPosition(r.placement);
    p.section = r.section;
    p.half = r.half;
    p.lapsDone = r.lapsDone;
    p.speed = r.speed;
    p.heading = r.heading;
    p.driftAngle = r.driftAngle;
    p.steerInput = steerInput;
    p.gasHeld = gasHeld;
    p.crystalFlash = r.gaugeFill >= 1 ? 1 : 0;
    p.boostTimer = r.boostTimer;
    p.wheelSpin = r.wheelSpin;
    for (int i = 0; i < r.enemyCount && i < MaxOpponents; ++i) {
        const Opponent& car = opponents[i];
        ReplayOpponentFrame& o = replayOpponents[i][frame];
        o.position = PlacementPosition(car.placement);
        o.section = car.section;
        o.half = car.half;
        o.wheelTurn = static_cast<int>(car.wheelSpin * 1000.0f);
        o.steer = car.steer;
        o.heading = car.heading;
        o.boosting = car.boostTimer >= 1 ? 1 : 0;
    }
    for (int i = 0; i < SupplyCrystalSlots; ++i) replaySupplyPresent[frame][i] = supplyCrystalPresent[i];
    for (int i = 0; i < BoostCrystalSlots; ++i) replayBoostPresent[frame][i] = boostCrystalPresent[i];
}
