// The race in progress: the player's motion, progress along the course, lap and limit clocks, the
// per-lap history, and the rules that are not physics (section progress, lap crossings both ways,
// the timers, the rank and the finish bookkeeping). One global record shared by every race scene.
#pragma once
#include <cstdint>

#include "game/limits.h"
#include "platform/math.h"
#include "race/vehicle.h"

// The race clocks advance this many milliseconds per frame (the game's clock, not wall time).
constexpr int kMillisPerFrame = 16;

// Where the race stands, as its scenes read it: running (the countdown and the race until the
// final line), paused (the pause menu), finishing (the finish sequence after the final line), its
// curtains closed (the frame that hands over to the replay), or failed (time up, out of rank).
enum class RacePhase : uint8_t { kRunning, kPaused, kFinishing, kFinishOver, kFailed };

// Who drives the player's car this frame; both flags are cleared by the caller.
using PlayerControl = void (*)(uint8_t* gasHeld, uint8_t* brakeHeld);
extern PlayerControl playerControl;

struct RaceState {
    float heading;      // yaw, radians, kept within [-2pi, 2pi]
    float driftAngle;   // extra yaw of the body while sliding
    float speed;        // units per frame along the car's own forward axis
    float wheelSpin;    // accumulated tyre rotation
    float sideSpeed;    // sideways speed from a slide impulse
    int boostGauge;     // 0..100
    int boostTimer;     // frames of boost left
    int boostStock;     // stored boosts, 0..10
    int gaugeFill;      // gauge points still flowing in
    int slideTapTimer;  // double-tap window of the slide: negative after a left tap, positive after a right
    int gripState;      // -1 while drifting; 10 while the gas is held, counting down otherwise
    int steerInput;     // -1 left, 0, +1 right
    int section;        // the section the car is on
    int half;           // which of its two triangles
    int lapCounter;     // +1 per forward crossing of the line, -1 per backward one
    int lapsDone;       // highest value lapCounter has reached
    uint8_t finished;       // the car has crossed the final line
    RacePhase phase;
    uint8_t movingForward;  // the last section change was forward (drives the reverse warning)
    uint8_t startTry;       // the rocket start may still be tried
    uint8_t gasHeld;        // the controller's flags of this frame (exhaust flames, replay)
    uint8_t brakeHeld;
    // The attract mode's drive: laps count for the car's progress only (no records, texts, clock
    // extension or music), the clock never runs out, nothing is recorded for a replay, and the
    // camera follows from behind whatever the View Type.
    uint8_t demonstration;
    int crystalsTaken;
    int enemyCount;
    int lapMinutes, lapMillis;  // the lap in progress
    int limitTime;              // milliseconds left
    int bigTextTimer;           // frames the big centre text still shows
    int bigTextShown;           // the timer value this frame's HUD shows the big text with
    int crystalRange;           // draw window in sections
    int boostCrystalCount, supplyCrystalCount;
    int pauseCursor;
    int replayEnd;              // the frame the replay ends at; -1 after a reset
    int shotTimer;              // frames left in the replay's camera shot
    int shotMode;               // 0..8: the replay's camera shot
    int shotSection, shotLap;   // where a trackside shot's camera stands, and on which lap
    int finalRank;              // rank at the last lap, once finished
    float lift;                 // this frame's vertical shake of the car
    int rank;                   // the player's place this frame

    // Per-lap history, index = lap number 1..10.
    int rankAtLap[kMaxLaps + 1];
    int lapTimeMinutes[kMaxLaps + 1];
    int lapTimeMillis[kMaxLaps + 1];

    // Where the car is: its world placement, facing along heading + drift, on the road surface.
    D3DXMATRIX placement;
    D3DXMATRIX previousPlacement;  // before this frame's move
    // The car as this frame draws it (and as the crystals and the camera see it): upright on its
    // half facing along the heading, rolled by the drift, lifted off the road and shaken.
    VehiclePose pose;
};
extern RaceState raceState;

// The car's four corner points: +-9 along its right axis, +-15 along its forward axis.
struct CarCorners {
    D3DXVECTOR3 frontLeft, frontRight, rearLeft, rearRight;
};
CarCorners CarCornerPoints();

// Back to the state before a course's set-up: motion, boost, clocks, history, texts, camera,
// sparks, counters, the keyboard-and-pad driver, and the course music stopped.
void ResetRace();
// The lap history alone (lap times 99:59.999, ranks -1): the boot's first reset.
void ResetLapHistory();
// Section, half and lap changes from the front corners of the moved car.
void UpdateProgress();
// A forward crossing of the start line (called by UpdateProgress).
void CrossLineForward();
// How far a car has come: lines crossed, then the section, then the half of it.
struct RaceProgress {
    int laps, section, half;
};
// `a` is strictly ahead of `b`: more laps, or as many and a later section, or the same section
// and its later half. The player's rank and the place numbers over the opponents both use it.
bool ProgressAhead(const RaceProgress& a, const RaceProgress& b);
RaceProgress PlayerProgress();
RaceProgress OpponentProgress(int i);
// 1 + the opponents strictly ahead of the player.
int CurrentRank();
// Lap clock and limit time; true when the limit has run out this frame.
bool UpdateTimers();
// The first finish frame's bookkeeping; true when the final rank is out of the top four.
bool FinishRace();
// Crystals taken as a percentage of all crystals over all laps (0 on a course without crystals).
float CrystalRatio();
// Takes the course set-up's start record: the clock, the draw range, the player's start section
// and position, the opponents' grid and the crystals (their models stood on their sections).
void ApplyCourseStart();
