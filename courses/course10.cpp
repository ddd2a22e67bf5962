// Course 10, "Far From The Globe": a track hung in space 2000 units above anything, 200 across,
// swinging in long climbs and dives of several hundred units; only its edges are drawn, as lines
// of light against the turning sky; 886 boundaries, 88000 units a lap.
#include <cmath>
#include <cstdlib>

#include "courses/course_builder.h"
#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_loop.h"
#include "courses/course_setup.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/settings.h"

namespace {

constexpr int kSections = 886;
constexpr float kLapLength = 88000.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kBaseY = 2000.0f;
const Wave kPlan[] = {{2.0f, 0.2f, 0.0f}, {3.0f, 0.15f, 2.0f}, {4.0f, 0.06f, 1.0f}, {7.0f, 0.02f, 0.3f}};
const Wave kHills[] = {{2.0f, 400.0f, 0.0f}, {5.0f, 120.0f, 0.0f}, {9.0f, 30.0f, 0.0f}};

void WriteBoundaryPoints() {
    WriteSmoothLoop(kPlan, kSections, kLapLength, kHalfWidth, kHills, kBaseY);
}

constexpr float kSkyTurn = -0.005f;
constexpr float kPlanetTurn = -0.01f;

// The sky and the far planet turn slowly each frame (the step), and light 0 follows the sky so the
// sun's side stays lit; the road itself is the untextured edge strips seen from both sides.
void Step(const CourseView&) {
    backgroundModel.RotateY(kSkyTurn);
    background2Model.RotateY(kPlanetTurn);
}

void Frame(const CourseView& v) {
    SetSkyStates(renderLevel == 2 ? background2Model : backgroundModel);
    if (!device) return;
    const D3DXVECTOR3 skyZ = backgroundModel.GetAxisZ();
    SetDirectionalLight(-skyZ.x, -skyZ.y - 0.2f, -skyZ.z, 1.0f, 1.0f, 1.0f, 1.0f);
    WorldLightingOn();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTexture(0, nullptr);
    DrawUpperStripsWindow(v);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawSky(v);
    if (renderLevel == 2) {
        device->SetRenderState(D3DRS_LIGHTING, 1);
        EnableLight(true);
        DrawAroundCamera(v, background2Model);
    }
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course10Routines = {
    WriteBoundaryPoints,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    Frame,
    Step,
};
