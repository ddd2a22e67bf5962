// The race camera and the drawing of the player's car. The camera follows the car in the back view
// or the cockpit view (smoothed across frames), watches it from the course centre after the finish,
// sweeps in behind it during the countdown and passes through it in the failure endings.
#pragma once

#include "platform/math.h"

extern D3DXVECTOR3 cameraEye;
extern D3DXVECTOR3 cameraTarget;
// The view the race scenes hand to the device (SetSceneTransforms).
extern D3DXMATRIX raceViewMatrix;

// Eye at the origin looking along +z.
void ResetRaceCamera();
// Step 10 of the race frame: the view of this frame from the posed car (lift = its shake).
void UpdateRaceCamera(float lift);
// The countdown: the back-view eye displaced sideways by 2 x (180 - frame) until frame 180.
void CountdownCamera(int frame, float lift);
// Time up and out of rank: 35 above the car and (95 - 4 x frame) behind it, looking at it.
void FailureCamera(int frame);

// The car with its sparks, reflection, exhaust and boost flames and the boost glow.
void DrawPlayerCar(bool exhaust);
// Whether the boost glow shows this frame: every 2nd frame above 60 boost frames left, every 4th
// above 30, every 8th below.
bool BoostGlowVisible(int boostTimer, int frame);
