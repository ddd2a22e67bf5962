// Pictures between two steps. The game's logic runs 60 steps a second; a display of another rate
// gets a picture at each of its refreshes, and each picture places what moves in the 3D world
// between the step before and the step now, by the fraction of the step that has passed when the
// picture is shown. The step hands the drawing its pose values as before; the drawing keeps the
// previous step's copies (a StepPair) and draws from blended ones. Nothing here is read by a step.
#pragma once
#include <cstdint>

#include "framework/scene_view.h"
#include "platform/math.h"

// How far the picture being drawn stands between the step before (0) and the step now (1). It is
// 1 whenever a picture is drawn once a step (a 60 Hz display, display.smooth off, off-screen).
extern float pictureFraction;
// The number of the step whose state the drawing shows (frameNumber while it ran).
extern uint32_t pictureStep;

// The step marks a cut: what it shows does not follow on from the step before (a replay's shot
// changing, the view changing, a car placed back on the road, a scene starting). Pictures of that
// step show it as it stands, never a blend across the cut.
void MarkPictureCut();
// Whether the step `step` was marked as a cut.
bool PictureCutAt(uint32_t step);

// The drawing's memory of one value over the last two steps. Hold(value) is called with the
// step's value each time a picture is drawn: the first picture of a step moves `now` to
// `before`; a step that does not follow the held one (a step without a picture between, a cut)
// holds the value alone, so it is drawn as it stands.
template <class T>
struct StepPair {
    uint32_t step = 0;
    bool held = false;
    bool follows = false;  // `before` is the value of the step just before `step`
    T before{}, now{};

    void Hold(const T& value) {
        if (held && step == pictureStep) {
            now = value;
            return;
        }
        follows = held && step + 1 == pictureStep && !PictureCutAt(pictureStep);
        before = follows ? now : value;
        now = value;
        step = pictureStep;
        held = true;
    }
    // Whether this picture shows a blend (the steps follow on, and the picture is not at the step now).
    bool Blends() const { return follows && pictureFraction < 1.0f; }
};

// A placement (rows right, up and forward, each scaled, then the position) between two: the
// position along the straight line, the orientation turned along the shorter arc between the
// two (no shearing, no shrinking halfway), the scales in between. At fraction 1 exactly `now`,
// at 0 exactly `before`.
D3DXMATRIX BlendPlacement(const D3DXMATRIX& before, const D3DXMATRIX& now, float fraction);
// A camera between two: its placement blended as above, the view made from it.
SceneView BlendSceneView(const SceneView& before, const SceneView& now, float fraction);
D3DXVECTOR3 BlendPoint(const D3DXVECTOR3& before, const D3DXVECTOR3& now, float fraction);
// Whether a placement jumped between two steps further than anything the game moves in one step
// (a car put back, a camera cut that nobody marked): such a pair is not blended.
bool PlacementJumped(const D3DXMATRIX& before, const D3DXMATRIX& now);
