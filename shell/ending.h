// The ending, after course 10 is won: KORVAN drives across the desert at sunset toward the setting
// sun, leaving a wake of glowing embers, while the camera comes round from its nose to behind it
// and falls back until the car, boosting away, is a small shape against the sun. A black band rises
// from the bottom and three lines are written out in it. Then the vehicle gallery. The first time
// through (courses open 10) nothing skips it; afterwards a skip key jumps to its fade-out.
#pragma once
#include <cstdint>

#include "platform/math.h"
#include "shell/line_mask.h"

// The counter from 0, the orange fog, the ambient and the sun's light, "Ending.mid" loaded and
// started, "BackGround7.x" as the sky, turned so that its sun is ahead of the car.
void EndingSetUp();
void EndingFrame();
// The set-up and the scene together: what the course progression runs after course 10.
void StartEnding();

constexpr int kEndingFadeInFrames = 250;  // keys are read only after the fade-in
constexpr int kEndingFadeOut = 3350;      // the tune fades, the screen goes black; a skip jumps here
constexpr int kEndingLastFrame = 3600;    // the gallery follows this frame
constexpr int kEndingLineY = 430;
constexpr int kEndingLineCount = 3;

struct EndingLine {
    const char* text;
    int x;
};
extern const EndingLine kEndingLines[kEndingLineCount];

// The 2D over the picture at scene frame t.
struct EndingOverlay {
    int bandTop;       // the black band from here to the bottom; 480 when there is none
    int bandAlpha;
    int line;          // the line shown (0..2), -1 for none
    LineMask mask;
    int fadeAlpha;     // the black over everything: the fade-in and the fade-out
};
EndingOverlay EndingOverlayAt(int t);

// Where the car is at scene frame t: its body's placement on its path, driving along +z with a
// gentle weave, and its tyres' turn.
D3DXMATRIX EndingCarPlacement(int t);
// The camera at scene frame t: eye and the point it looks at.
struct EndingCamera {
    D3DXVECTOR3 eye;
    D3DXVECTOR3 at;
};
EndingCamera EndingCameraAt(int t);
// The direction of the setting sun (from anywhere), low over the horizon ahead of the car.
D3DXVECTOR3 EndingSunDirection();

// The embers the car sheds: each lives this many frames; two are born every frame, one from each
// rear pod.
constexpr int kEmberLife = 110;
constexpr int kEmberSlots = 2 * kEmberLife;
struct Ember {
    D3DXVECTOR3 position;
    float size;
    uint32_t colour;  // ARGB, alpha fading as it dies
};
// The embers alive at scene frame t (as many as have been born yet); returns how many were written.
int EndingEmbersAt(int t, Ember* out);
