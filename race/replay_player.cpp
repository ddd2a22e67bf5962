#include "race/replay_player.h"

#include <cmath>
#include <cstdlib>

#include "courses/course_geometry.h"
#include "courses/course_setup.h"
#include "courses/track_queries.h"
#include "framework/application.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/placement.h"
#include "framework/step_blend.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "game/tunes.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_camera.h"
#include "race/race_hud.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/race_world.h"
#include "race/race_scenes.h"
#include "race/replay.h"
#include "race/sparks.h"
#include "race/time_attack.h"

namespace {
constexpr int kShotFrames = 300, kTracksideFrames = 600;
constexpr float kTracksideReach = 2000.0f;
constexpr int kCurtainFrames = 80;
constexpr int kClosingLead = 160;
enum ShotMode {
    kShotNear, kShotFar, kShotFront, kShotBehind, kShotFrontAgain, kShotChase, kShotRight, kShotLeft, kShotClosing
};

struct Axes {
    D3DXVECTOR3 right, up, forward, position;
};

Axes AxesOf(const D3DXMATRIX& m) {
    return {PlacementAxisX(m), PlacementAxisY(m), PlacementAxisZ(m), PlacementPosition(m)};
}

D3DXVECTOR3 Unit(D3DXVECTOR3 v) {
    D3DXVec3Normalize(&v, &v);
    return v;
}

// Where a trackside camera stands: 30 units up off the section's right (or left) half, then 10
// units along the section's cross direction (outward beyond the right edge, inward over the left).
D3DXVECTOR3 TracksideEye(int mode) {
    const CourseGeometry& g = courseGeometry;
    const int s = raceState.shotSection;
    const D3DXVECTOR3 across = g.crossDir[s].start * 10.0f;
    if (mode == kShotRight) return BoundaryRight(s) + g.halfNormal[2 * s + 1] * 30.0f + across;
    return BoundaryLeft(s) + g.halfNormal[2 * s] * 30.0f + across;
}

// The car has passed the trackside camera's section: a later lap, or this lap further on.
bool PassedShotSection() {
    const RaceState& r = raceState;
    return r.lapsDone > r.shotLap || (r.lapsDone == r.shotLap && r.section > r.shotSection);
}

void ChooseShot() {
    RaceState& r = raceState;
    // A new shot: the pictures until the next step show its camera, never a blend from the last.
    MarkPictureCut();
    const int pick = std::rand() % 12;
    if (pick <= 5) {
        r.shotMode = pick;
        r.shotTimer = kShotFrames;
        return;
    }
    r.shotMode = pick <= 8 ? kShotRight : kShotLeft;
    r.shotTimer = kTracksideFrames;
    r.shotLap = r.lapsDone;
    const int n = courseGeometry.sectionCount > 0 ? courseGeometry.sectionCount : 1;
    r.shotSection = (r.section + r.crystalRange / (renderLevel + 1)) % n;
}

void DrawCurtains(int t, int end);

// The replay's picture of frame t (frameCount) as its step left the world.
void DrawReplayPicture() {
    const RaceState& r = raceState;
    const int t = frameCount;
    if (BeginFrame(RaceClearColour())) {
        DrawRaceWorld(raceWorld);
        BeginOverlay();
        if (miniMap != 0) DrawMiniMap();
        device->SetTexture(0, nullptr);
        if (t % 61 < 30) DrawPair(replayTexts, 42, 22, 40, 20);
        if (t % 71 < 35) DrawPair(skipTexts, 282, 422, 280, 420);
        DrawCurtains(t, r.replayEnd);
        EndFrame();
    }
}

void DrawCurtains(int t, int end) {
    device->SetTexture(0, nullptr);
    if (t < kCurtainFrames) DrawSideCurtains(4 * (kCurtainFrames - t), 0xff000000u);
    if (t > end - kCurtainFrames) DrawSideCurtains(320 - 4 * (end - t), 0xff000000u);
}
}  // namespace

void StartReplay() {
    RaceState& r = raceState;
    r.shotTimer = 1;
    r.shotMode = kShotNear;
    r.shotSection = std::rand() % 50;
    r.shotLap = 0;
    SetScene(ReplayFrame, 2);
}

void RestoreReplayFrame(int frame) {
    if (frame < 0) frame = 0;
    if (frame > kLastReplayFrame) frame = kLastReplayFrame;
    RaceState& r = raceState;
    const ReplayPlayerFrame& p = replayPlayer[frame];
    r.section = p.section;
    r.half = p.half;
    r.lapsDone = p.lapsDone;
    r.speed = p.speed;
    r.heading = p.heading;
    r.driftAngle = p.driftAngle;
    r.steerInput = p.steerInput;
    r.gasHeld = p.gasHeld;
    r.boostTimer = p.boostTimer;
    r.wheelSpin = p.wheelSpin;
    SetPlacementPosition(r.placement, p.position);
    OrientOnTrack(r.placement, r.heading + r.driftAngle);
    for (int i = 0; i < r.enemyCount && i < MaxOpponents; ++i) {
        const ReplayOpponentFrame& o = replayOpponents[i][frame];
        Opponent& car = opponents[i];
        car.section = o.section;
        car.half = o.half;
        car.wheelSpin = static_cast<float>(o.wheelTurn) / 1000.0f;
        car.steer = o.steer;
        car.heading = o.heading;
        car.boostTimer = o.boosting;
        SetPlacementPosition(car.placement, o.position);
        OrientOnHalf(car.placement, 2 * o.section + o.half, o.heading);
    }
    for (int i = 0; i < SupplyCrystalSlots; ++i) supplyCrystalPresent[i] = replaySupplyPresent[frame][i];
    for (int i = 0; i < BoostCrystalSlots; ++i) boostCrystalPresent[i] = replayBoostPresent[frame][i];
    // The car shakes as in the race.
    r.lift = RandomLift();
    r.pose = PlayerPose(r.lift);
}

void PlaceReplayCamera() {
    RaceState& r = raceState;
    r.shotTimer -= 1;
    if (r.shotTimer < 1) ChooseShot();
    // The closing shot, put in place by the replay's step before, is a new shot too.
    static int lastMode = -1;
    if (r.shotMode != lastMode) MarkPictureCut();
    lastMode = r.shotMode;
    const Axes a = AxesOf(r.pose.body);
    const D3DXVECTOR3 toCentre = Unit(courseGeometry.courseCentre - a.position);
    switch (r.shotMode) {
        case kShotNear:
            LookFromTo(a.position + toCentre * 50.0f, a.position);
            break;
        case kShotFar:
            LookFromTo(a.position + toCentre * 400.0f, a.position + a.forward * (40.0f + 4.0f * r.speed));
            break;
        // Shots 2 to 4 stand 100 ahead of or behind the car and 30 above it. Below it the camera
        // would be under the road, which is not drawn from underneath (the car would float over
        // nothing), so the fourth looks on from ahead again.
        case kShotFront:
        case kShotFrontAgain:
            LookFromTo(a.position + a.forward * 100.0f + a.up * 30.0f, a.position);
            break;
        case kShotBehind:
            LookFromTo(a.position - a.forward * 100.0f + a.up * 30.0f, a.position);
            break;
        case kShotChase:
            ChaseCamera(r.pose.body, r.lift);
            break;
        case kShotRight:
        case kShotLeft: {
            const D3DXVECTOR3 eye = TracksideEye(r.shotMode);
            LookFromTo(eye, a.position);
            const D3DXVECTOR3 gap = a.position - eye;
            if (PassedShotSection() && D3DXVec3Length(&gap) > kTracksideReach) r.shotTimer = 1;
            break;
        }
        default: {
            // The closing shot: the camera rises away above the car as the curtains close.
            const float rise = 60.0f + static_cast<float>(kShotFrames - r.shotTimer);
            LookFromTo(a.position + a.up * rise - a.forward * 60.0f, a.position);
            break;
        }
    }
}

void ReplayFrame() {
    RaceState& r = raceState;
    ReadControls();
    if (frameCount >= r.replayEnd) {
        if (BeginFrame(0xff000000u)) EndFrame();
        StartResultsMusic();
        SetScene(timeAttack.active ? TimeAttackResultsFrame : ResultsFrame);
        return;
    }

    const int t = frameCount;
    RestoreReplayFrame(t);
    PlaceReplayCamera();
    PlaceTimeAttackGhost(t);
    ThrowSparksAtDrift(r.pose.body, r.driftAngle);
    RaceWorldView& world = raceWorld;
    world = RaceWorldAt(t, true, true, r.pose, r.gasHeld != 0);
    if (courseStepProc) courseStepProc(world.course);
    TurnCrystals();
    AdvanceSparks();
    if (t > r.replayEnd - kClosingLead && r.shotMode != kShotClosing) {
        FadeOutTune(2);
        r.shotTimer = kShotFrames;
        r.shotMode = kShotClosing;
    }

    ShowStepPicture(DrawReplayPicture);

    if (controls.pause.pressed && std::abs(t - r.replayEnd) > kCurtainFrames) r.replayEnd = t + kCurtainFrames;
    frameCount += 1;
}
