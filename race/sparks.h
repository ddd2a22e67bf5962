// The drift sparks: twenty slots, each living 10 frames, flying from the rear corner on the outside
// of a slide. The race's step throws and moves them; the vehicle drawing shows them.
#pragma once
#include "platform/math.h"

constexpr int kSparkSlots = 20;

struct Spark {
    int life;
    D3DXVECTOR3 position;
    D3DXVECTOR3 velocity;
};
extern Spark sparks[kSparkSlots];

void ClearSparks();
// Throws new sparks while the car drifts hard, from the car's drawn body (a placement), and keeps
// the drift's screech ("Drift.wav") playing.
void ThrowDriftSparks(const D3DXMATRIX& body);
// The sparks alone, for a car whose drift angle alone is known (the replay): beyond 5pi/64 they
// fly. No sound.
void ThrowSparksAtDrift(const D3DXMATRIX& body, float driftAngle);
// Moves every live spark by its velocity and ages it.
void AdvanceSparks();
// Draws the live sparks as additive camera-facing squares (the device's view must be set).
void DrawSparks();
// The live ones of these sparks, drawn the same way.
void DrawSparksOf(const Spark* list, int count);
