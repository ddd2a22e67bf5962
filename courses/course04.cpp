// Course 4, "Red Lava In Twin Volcano": a road high over a sea of lava between two volcanoes.
// The line lies at (1900, 2000, -1200); the road climbs and drops through hard right-handers, a
// quick left-right flick, a great loop round the crater and the long straight home. 303
// boundaries; no scenery, the lava and the volcanoes travel with the camera.
#include <cmath>

#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_trace.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/settings.h"

namespace {

constexpr float kLineX = 1900.0f;
constexpr float kLineY = 2000.0f;
constexpr float kLineZ = -1200.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kStep = 120.0f;
// The lava pulses once every 101 frames and swells by up to a quarter.
constexpr int kPulsePeriod = 101;
constexpr float kPulseStep = 6.2831853f / 100.0f;
constexpr float kPulseMid = 1.125f;
constexpr float kPulseDepth = 0.125f;
constexpr float kHalfTurn = 3.1415927f;

void WriteBoundaryPoints() {
    TraceBegin(D3DXVECTOR3(kLineX, kLineY, kLineZ), 0.0f, kHalfWidth);
    TraceLeg(15, 107.4f, 0.0f);
    TraceLeg(12, kStep, 90.0f, 150.0f);
    TraceLeg(20, 145.8f, 0.0f, 0.0f, 80.0f, 1);
    TraceLeg(8, kStep, 45.0f);
    TraceLeg(8, kStep, -45.0f);
    TraceLeg(8, 130.3f, 0.0f);
    TraceLeg(20, 145.8f, 0.0f, -300.0f);
    TraceLeg(12, kStep, 90.0f);
    TraceLeg(30, 145.1f, 0.0f, 0.0f, 120.0f, 2);
    TraceLeg(12, kStep, 90.0f, 150.0f);
    TraceLeg(30, 81.3f, 0.0f, 0.0f, 60.0f, 1);
    TraceLeg(16, kStep, -90.0f);
    TraceLeg(30, kStep, 180.0f, 0.0f, 100.0f, 1);
    TraceLeg(16, kStep, -90.0f);
    TraceLeg(14, 101.9f, 0.0f);
    TraceLeg(12, kStep, 90.0f);
    TraceLeg(40, 86.5f, 0.0f, 0.0f, 90.0f, 2);
    TraceEnd();
}

// The lava sea and the second pair of volcanoes (seen behind, turned half round).
void LoadExtras() {
    extraBackgroundMeshes[0].Load("BackGround4_1.x", 0, 1);
    extraBackgroundModels[0].Init(&extraBackgroundMeshes[0], 0.0f, 0.0f, 0.0f, 1.0f);
    extraBackgroundMeshes[1].Load("Volcano.x", 0, 1);
    extraBackgroundModels[1].Init(&extraBackgroundMeshes[1], 0.0f, 0.0f, 0.0f, 1.0f);
    extraBackgroundModels[1].RotateY(kHalfTurn);
}

// The road and the line; behind them the sky, the pulsing lava (Render Level 2) and the
// volcanoes, each around the camera as the sky is.
void Frame(const CourseView& v) {
    SetSkyStates(renderLevel >= 1 ? extraBackgroundModels[1] : background2Model);
    WorldLightingOn();
    if (!device) return;
    device->SetTexture(0, roadTexture.texture);
    DrawRoadWindow(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawSky(v);
    if (renderLevel == 2) {
        const float phase = static_cast<float>(v.frame % kPulsePeriod) * kPulseStep;
        extraBackgroundModels[0].SetScale(kPulseMid + kPulseDepth * std::sin(phase));
        DrawAroundCamera(v, extraBackgroundModels[0]);
    }
    DrawAroundCamera(v, background2Model);
    if (renderLevel >= 1) DrawAroundCamera(v, extraBackgroundModels[1]);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course04Routines = {
    WriteBoundaryPoints, nullptr, nullptr, nullptr, LoadExtras, Frame, nullptr,
};
