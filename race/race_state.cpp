#include "race/race_state.h"

#include <algorithm>
#include <cmath>

#include "courses/course_geometry.h"
#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "courses/track_queries.h"
#include "framework/placement.h"
#include "game/sound_effects.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_camera.h"
#include "race/race_hud.h"
#include "race/sparks.h"
#include "race/ghost_car.h"
#include "race/time_attack.h"
#include "game/tunes.h"
#include "game/records.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"

RaceState raceState;
PlayerControl playerControl = DriveByInput;

namespace {
constexpr float kCornerSide = 9.0f;   // the car's corner points
constexpr float kCornerLength = 15.0f;
constexpr int kMillisPerMinute = 60000;
constexpr int kResetLapMinutes = 99;
constexpr int kResetLapMillis = 59999;
constexpr int kWorstRankToPass = 4;

int CourseLapsNow() { return std::clamp(CourseLaps(currentCourse), 1, kMaxLaps); }
}  // namespace

CarCorners CarCornerPoints() {
    const D3DXMATRIX& m = raceState.placement;
    const D3DXVECTOR3 right(m._11, m._12, m._13), forward(m._31, m._32, m._33), pos(m._41, m._42, m._43);
    const D3DXVECTOR3 side = right * kCornerSide, length = forward * kCornerLength;
    return {pos - side + length, pos + side + length, pos - side - length, pos + side - length};
}

void ResetLapHistory() {
    for (int lap = 1; lap <= kMaxLaps; ++lap) {
        raceState.lapTimeMinutes[lap] = kResetLapMinutes;
        raceState.lapTimeMillis[lap] = kResetLapMillis;
        raceState.rankAtLap[lap] = -1;
    }
}

void ResetRace() {
    RaceState& r = raceState;
    ResetLapHistory();
    r.speed = r.sideSpeed = r.heading = r.driftAngle = 0.0f;
    r.wheelSpin = 0.0f;
    r.gripState = r.boostGauge = r.boostTimer = r.boostStock = r.gaugeFill = r.slideTapTimer = 0;
    r.steerInput = 0;
    r.gasHeld = r.brakeHeld = 0;
    r.lift = 0.0f;
    r.startTry = 1;
    playerControl = DriveByInput;
    r.lapCounter = r.lapsDone = 0;
    r.movingForward = 1;
    r.lapMinutes = r.lapMillis = 0;
    ResetLapTimeReadouts();
    ResetRaceCamera();
    ClearSparks();
    frameCount = 0;
    r.bigTextTimer = 0;
    r.finished = 0;
    r.phase = RacePhase::kRunning;
    r.finalRank = 0;
    r.crystalsTaken = 0;
    r.pauseCursor = 0;
    r.replayEnd = -1;
    r.demonstration = 0;
    EndTimeAttack();
    StopTune();
}

void UpdateProgress() {
    RaceState& r = raceState;
    const CarCorners c = CarCornerPoints();
    const D3DXVECTOR3 up = PlacementAxisY(r.placement);
    const SurfaceHits left = TestSurface(c.frontLeft, up, r.section);
    const SurfaceHits right = TestSurface(c.frontRight, up, r.section);
    // A front corner over no tested triangle: the car is at a wall and keeps its progress.
    if (!left.Any() || !right.Any()) return;
    if (left.OnSection(2) || right.OnSection(2)) {
        r.movingForward = 1;
        r.section = NextSection(r.section);
        r.half = left.on[2][0] || right.on[2][0] ? 0 : 1;
        if (r.section == 0) CrossLineForward();
    } else if (left.OnSection(1) || right.OnSection(1)) {
        r.half = left.on[1][0] || right.on[1][0] ? 0 : 1;
    } else {
        r.section = PreviousSection(r.section);
        r.movingForward = 0;
        r.half = left.on[0][0] || right.on[0][0] ? 0 : 1;
        if (r.section == courseGeometry.sectionCount - 1) r.lapCounter -= 1;
    }
}

void CrossLineForward() {
    RaceState& r = raceState;
    r.lapCounter += 1;
    if (r.demonstration) {
        r.lapsDone = std::max(r.lapsDone, r.lapCounter);
        return;
    }
    if (r.lapCounter > r.lapsDone && !r.finished) {
        if (r.lapCounter > 0) PlaySound(kSoundSignal2);
        r.lapsDone = r.lapCounter;
        if (r.lapCounter > 0 && r.lapCounter <= kMaxLaps) {
            const int lap = r.lapCounter;
            r.rankAtLap[lap] = CurrentRank();
            r.lapTimeMinutes[lap] = r.lapMinutes;
            r.lapTimeMillis[lap] = r.lapMillis;
            // A Time Attack run keeps no records.
            const bool newBest = !timeAttack.active && RecordLap(currentCourse, r.lapMinutes, r.lapMillis);
            SetLapTimeReadouts(r.lapMinutes, r.lapMillis, newBest);
            r.lapMinutes = r.lapMillis = 0;
            const CourseInfo* info = FindCourse(currentCourse);
            if (info && !timeAttack.active) r.limitTime += info->extensionSeconds * 1000;
            RestoreCrystals();
        }
        ShowLapText(CourseLapsNow(), r.lapsDone);
    }
    if (r.lapsDone == 0 && r.lapMinutes == 0 && r.lapMillis == 0) PlayTune();
}

bool ProgressAhead(const RaceProgress& a, const RaceProgress& b) {
    if (a.laps != b.laps) return a.laps > b.laps;
    if (a.section != b.section) return a.section > b.section;
    return a.half > b.half;
}

RaceProgress PlayerProgress() { return {raceState.lapCounter, raceState.section, raceState.half}; }

RaceProgress OpponentProgress(int i) { return {opponents[i].laps, opponents[i].section, opponents[i].half}; }

int CurrentRank() {
    const RaceState& r = raceState;
    const RaceProgress player = PlayerProgress();
    int ahead = 0;
    for (int i = 0; i < r.enemyCount && i < MaxOpponents; ++i) {
        if (ProgressAhead(OpponentProgress(i), player)) ++ahead;
    }
    return 1 + ahead;
}

bool UpdateTimers() {
    RaceState& r = raceState;
    if (r.finished || r.demonstration) return false;
    if (r.lapCounter >= 0 || r.lapMinutes != 0 || r.lapMillis != 0) {
        r.lapMillis += kMillisPerFrame;
        if (r.lapMillis >= kMillisPerMinute) {
            r.lapMinutes += 1;
            r.lapMillis -= kMillisPerMinute;
        }
    }
    if (!timeAttack.active) r.limitTime -= kMillisPerFrame;
    return r.limitTime < 1;
}

float CrystalRatio() {
    const RaceState& r = raceState;
    const int total = (r.boostCrystalCount + r.supplyCrystalCount) * CourseLapsNow();
    if (total <= 0) return 0.0f;
    return static_cast<float>(r.crystalsTaken) / static_cast<float>(total) * 100.0f;
}

bool FinishRace() {
    RaceState& r = raceState;
    const int laps = CourseLapsNow();
    r.finalRank = r.rankAtLap[laps];
    if (timeAttack.active) {
        FinishTimeAttack();
        return false;
    }
    RecordFinish(currentCourse, r.finalRank, &r.lapTimeMinutes[1], &r.lapTimeMillis[1], laps, CrystalRatio());
    KeepRaceGhost(currentCourse, &r.lapTimeMinutes[1], &r.lapTimeMillis[1], laps);
    return r.finalRank > kWorstRankToPass;
}

void ApplyCourseStart() {
    RaceState& r = raceState;
    const CourseStart& c = courseStart;
    r.limitTime = c.limitTime;
    r.crystalRange = c.crystalRange;
    r.section = c.section;
    r.half = c.half;
    r.lapCounter = c.lapCounter;
    r.lapsDone = c.lapsDone;
    SetPlacementPosition(r.placement, c.playerPosition);
    r.enemyCount = c.enemyCount;
    opponents = c.grid;
    r.supplyCrystalCount = c.supplyCrystalCount;
    r.boostCrystalCount = c.boostCrystalCount;
    for (int i = 0; i < SupplyCrystalSlots; ++i) supplyCrystalPresent[i] = c.supplyCrystalPresent[i];
    for (int i = 0; i < BoostCrystalSlots; ++i) boostCrystalPresent[i] = c.boostCrystalPresent[i];
    PlaceCrystals();
}
