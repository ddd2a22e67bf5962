// The race camera: it follows the car in the back view or the cockpit view (smoothed across
// frames), watches it from the course centre after the finish, sweeps in behind it during the
// countdown and passes through it in the failure endings. The race's step moves it; drawing
// takes its view from here once per frame.
#pragma once

#include "framework/scene_view.h"
#include "platform/math.h"

struct RaceCamera {
    D3DXVECTOR3 eye;
    D3DXVECTOR3 target;
    D3DXMATRIX view;  // the look-at of this frame
};
extern RaceCamera raceCamera;

// Eye at the origin looking along +z.
void ResetRaceCamera();
// Step 10 of the race frame: the view of this frame from the car's pose (lift = its shake), from
// behind the car (view 0) or from its cockpit (1).
void UpdateRaceCamera(const D3DXMATRIX& pose, float lift, int view);
// The countdown: the back-view eye displaced sideways by 2 x (180 - frame) until frame 180.
void CountdownCamera(const D3DXMATRIX& pose, int frame, float lift);
// The chase view without smoothing: where the back view's camera settles behind the drawn body.
void ChaseCamera(const D3DXMATRIX& pose, float lift);
// A camera placed by a replay shot: from eye at target, with world up.
void LookFromTo(const D3DXVECTOR3& eye, const D3DXVECTOR3& target);
// Time up and out of rank: 35 above the car and (95 - 4 x frame) behind it, looking at it.
void FailureCamera(const D3DXMATRIX& placement, int frame);
// The camera's view as the scenes draw with it.
SceneView RaceSceneView();
