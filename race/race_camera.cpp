#include "race/race_camera.h"

#include <cmath>

#include "courses/course_geometry.h"
#include "framework/placement.h"
#include "framework/step_blend.h"
#include "race/player_vehicle.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "game/settings.h"

RaceCamera raceCamera = {D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f),
                         D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)};

namespace {
constexpr float kBackDistance = 95.0f;
constexpr float kBackHeight = 35.0f;
constexpr float kBackLookAhead = 300.0f;
constexpr float kBackEyeFollow = 0.8f;
constexpr float kBackTargetFollow = 0.3f;
constexpr float kCockpitHeight = 10.0f;
constexpr float kCockpitForward = 3.0f;
constexpr float kCockpitLookAhead = 50.0f;
constexpr float kCockpitFollow = 0.5f;
constexpr float kFinishDistance = 50.0f;
constexpr int kSweepFrames = 180;

struct Axes {
    D3DXVECTOR3 right, up, forward, position;
};

Axes AxesOf(const D3DXMATRIX& m) {
    return {D3DXVECTOR3(m._11, m._12, m._13), D3DXVECTOR3(m._21, m._22, m._23), D3DXVECTOR3(m._31, m._32, m._33),
            D3DXVECTOR3(m._41, m._42, m._43)};
}

void Look(const D3DXVECTOR3& eye, const D3DXVECTOR3& target, const D3DXVECTOR3& up) {
    D3DXMatrixLookAtLH(&raceCamera.view, &eye, &target, &up);
}

// The drawn body turned toward the direction of travel and rolled against the drift.
Axes BackViewAxes(D3DXMATRIX body) {
    const RaceState& r = raceState;
    RotateY(body, r.driftAngle);
    RotateZ(body, r.gripState == -1 ? -r.driftAngle / 6.0f : -r.driftAngle);
    return AxesOf(body);
}

D3DXVECTOR3 BackEye(const Axes& a, float lift) {
    return a.position - a.forward * kBackDistance + a.up * (kBackHeight - lift);
}

D3DXVECTOR3 BackTarget(const Axes& a, float lift) { return a.position + a.forward * kBackLookAhead - a.up * lift; }

}  // namespace

void ResetRaceCamera() {
    raceCamera.eye = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    raceCamera.target = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
}

void UpdateRaceCamera(const D3DXMATRIX& pose, float lift, int view) {
    const RaceState& r = raceState;
    // The look from the course centre after the finish, and a change of view, start a new shot:
    // the pictures between this step and the one before show this step's camera.
    static int lastShot = -1;
    const int shot = r.finished ? 2 : view;
    if (shot != lastShot) MarkPictureCut();
    lastShot = shot;
    D3DXVECTOR3& cameraEye = raceCamera.eye;
    D3DXVECTOR3& cameraTarget = raceCamera.target;
    if (r.finished) {
        // A fixed look at the car from the direction of the course centre, world up.
        const D3DXVECTOR3 pos = PlacementPosition(pose);
        D3DXVECTOR3 toCentre = courseGeometry.courseCentre - pos;
        D3DXVec3Normalize(&toCentre, &toCentre);
        cameraEye = pos + toCentre * kFinishDistance;
        cameraTarget = pos;
        Look(cameraEye, cameraTarget, D3DXVECTOR3(0.0f, 1.0f, 0.0f));
        return;
    }
    if (view == 0) {
        const Axes a = BackViewAxes(pose);
        cameraEye += (BackEye(a, lift) - cameraEye) * kBackEyeFollow;
        cameraTarget += (BackTarget(a, lift) - cameraTarget) * kBackTargetFollow;
        Look(cameraEye, cameraTarget, a.up);
        return;
    }
    D3DXMATRIX body = pose;
    RotateZ(body, r.gripState == -1 ? -r.driftAngle / 6.0f : -r.driftAngle);
    const Axes a = AxesOf(body);
    cameraEye += (a.position + a.up * kCockpitHeight + a.forward * kCockpitForward - cameraEye) * kCockpitFollow;
    cameraTarget += (a.position + a.up * kCockpitHeight + a.forward * kCockpitLookAhead - cameraTarget) * kCockpitFollow;
    Look(cameraEye, cameraTarget, a.up);
}

void CountdownCamera(const D3DXMATRIX& pose, int frame, float lift) {
    const Axes a = BackViewAxes(pose);
    raceCamera.eye = BackEye(a, lift);
    raceCamera.target = BackTarget(a, lift);
    if (frame < kSweepFrames) raceCamera.eye += a.right * (2.0f * static_cast<float>(kSweepFrames - frame));
    Look(raceCamera.eye, raceCamera.target, a.up);
}

void ChaseCamera(const D3DXMATRIX& pose, float lift) { CountdownCamera(pose, kSweepFrames, lift); }

void LookFromTo(const D3DXVECTOR3& eye, const D3DXVECTOR3& target) {
    raceCamera.eye = eye;
    raceCamera.target = target;
    Look(eye, target, D3DXVECTOR3(0.0f, 1.0f, 0.0f));
}

void FailureCamera(const D3DXMATRIX& placement, int frame) {
    const Axes a = AxesOf(placement);
    raceCamera.eye = a.position + a.up * kBackHeight - a.forward * (kBackDistance - 4.0f * static_cast<float>(frame));
    raceCamera.target = a.position;
    Look(raceCamera.eye, raceCamera.target, a.up);
}

SceneView RaceSceneView() { return MakeSceneView(raceCamera.view); }

