// A vehicle as the game draws it: a pose (where its body stands this frame and how its four tyres
// turn, a value computed from a car's record) and the one routine that draws a body from a pose
// with its shadow, tyres, gloss, exhaust and boost flames, glow and sparks. The race, its replay,
// and every scene that shows a car draw through here.
#pragma once
#include "framework/model.h"
#include "platform/math.h"

struct VehiclePose {
    D3DXMATRIX body;      // the body's world placement
    D3DXMATRIX tires[4];  // each tyre relative to the body
};

// The models of one vehicle in the asset tables: meshes, their rest placements relative to the
// body, their alphas. Only the meshes and rest placements are used; where the car is comes from
// the pose.
struct VehicleParts {
    Model* body;
    Model* tires;          // four
    Model* shadow;
    Model* boostFlames;    // six, or null
    Model* exhaustFlames;  // six (three sizes a side), or null
    Model* glow;           // a slightly larger shell, or null
};

// What shows around the body this frame.
struct VehicleEffects {
    int gloss = 0;            // environment gloss: 0 none, 1 on the body, 2 on the body and tyres
    int exhaustStep = -1;     // which of the three exhaust flames a side (frame mod 3), -1 none
    bool boostFlames = false;
    bool glow = false;
    bool sparks = false;      // the drift sparks fly behind it
};

// How long a boost runs, in frames, for the player's car and the opponents alike.
constexpr int kBoostFrames = 180;
// A car's body origin stands this high above its wheels' ground, along the road's normal.
constexpr float kBodyLift = 6.0f;

VehicleParts PlayerVehicleParts();
VehicleParts OpponentVehicleParts(int slot);
// The opponent type (1..5) whose models an opponent slot holds: slots 0-3 types 1-4, slots 4-7 type 5.
int OpponentType(int slot);

// A pose with the tyres at their rest placements and the body at `body`.
VehiclePose RestPose(const VehicleParts& parts, const D3DXMATRIX& body);

// A pose between two steps' (see framework/step_blend.h): the body and each tyre blended as
// placements; at fraction 1 exactly `now`.
VehiclePose BlendPose(const VehiclePose& before, const VehiclePose& now, float fraction);
// Draws the vehicle with the device's current lighting and fog.
void DrawVehicle(const VehicleParts& parts, const VehiclePose& pose, const VehicleEffects& effects);
