// Course 8, "Escape From Jail": a break-out through the cell blocks, a run of right-angle corners
// on a radius of about 560 joined by short straights, with longer runs where the boost sections
// lie. Arrow boards mark every corner. 425 boundaries.
#include <cmath>

#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_trace.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/settings.h"

namespace {

constexpr float kRoadY = 0.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kStep = 100.0f;
constexpr float kCornerStep = 98.0f;  // nine of these turn 90 degrees on a radius of 561
constexpr int kCornerSteps = 9;
constexpr int kArrowLeft = 5;
constexpr int kArrowRight = 6;
constexpr int kArrowEvery = 3;
// Lighting: a dim ambient, and below Render Level 2 a row of swaying lamps along the window.
constexpr uint32_t kAmbientHigh = 0xff806080u;
constexpr uint32_t kAmbientLow = 0xffa06080u;
constexpr int kLampEvery = 8;
constexpr int kMaxLamps = 7;          // lights 1 to 7
constexpr int kSwayPeriod = 151;
constexpr float kSwayStep = 6.2831853f / 151.0f;
constexpr float kSwayReach = 60.0f;
constexpr float kLampHeight = 120.0f;
constexpr float kLampRange = 600.0f;

void Corner(float turn) { TraceLeg(kCornerSteps, kCornerStep, turn); }

void WriteBoundaryPoints() {
    TraceBegin(D3DXVECTOR3(0.0f, kRoadY, 0.0f), 0.0f, kHalfWidth);
    TraceLeg(30, 120.4f, 0.0f);
    Corner(90.0f);
    TraceLeg(12, 96.3f, 0.0f);
    Corner(-90.0f);
    TraceLeg(6, 104.1f, 0.0f);
    Corner(-90.0f);
    TraceLeg(6, 101.8f, 0.0f);
    Corner(90.0f);
    TraceLeg(6, 104.1f, 0.0f);
    Corner(90.0f);
    TraceLeg(43, 86.8f, 0.0f, 0.0f, 40.0f, 1);
    TraceLeg(24, kStep, 90.0f);
    TraceLeg(10, 93.2f, 0.0f);
    Corner(90.0f);
    TraceLeg(8, 102.5f, 0.0f);
    Corner(-90.0f);
    TraceLeg(8, 94.6f, 0.0f);
    Corner(-90.0f);
    TraceLeg(6, 98.2f, 0.0f);
    Corner(90.0f);
    TraceLeg(6, 95.9f, 0.0f);
    Corner(90.0f);
    TraceLeg(6, 101.8f, 0.0f);
    Corner(-90.0f);
    TraceLeg(6, 95.9f, 0.0f);
    Corner(-90.0f);
    TraceLeg(6, 98.2f, 0.0f);
    Corner(90.0f);
    TraceLeg(20, 86.4f, 0.0f);
    Corner(90.0f);
    TraceLeg(20, 106.1f, 0.0f);
    Corner(-90.0f);
    Corner(90.0f);
    TraceLeg(10, 103.1f, 0.0f);
    TraceLeg(20, kStep, 90.0f);
    TraceLeg(28, 119.1f, 0.0f);
    TraceEnd();
}

// Turn of the road over section s in plan: positive to the right.
float SectionTurn(int s) {
    const EdgeDirection& a = courseGeometry.edgeDir[s];
    const EdgeDirection& b = courseGeometry.edgeDir[NextSection(s)];
    return a.left.z * b.left.x - a.left.x * b.left.z;
}

// Arrow boards on the outside of the corners, pointing the way round.
void ChooseScenery() {
    const int n = courseGeometry.sectionCount;
    for (int s = 0; s < n; s += kArrowEvery) {
        const float turn = SectionTurn(s);
        if (std::fabs(turn) < 0.05f) continue;
        const int model = turn > 0 ? 2 * s : 2 * s + 1;
        sceneryPool[model].Init(&sceneryMeshes[turn > 0 ? kArrowRight : kArrowLeft], 0.0f, 0.0f, 0.0f, 1.0f);
        courseGeometry.sceneryOn[model] = 1;
    }
}

// Point lamps over every eighth section of the window, swinging across the road.
void PlaceLamps(const CourseView& v) {
    int window[60];
    const int count = CurrentDrawWindow(v, window);
    const float sway = kSwayReach * std::sin(static_cast<float>(v.frame % kSwayPeriod) * kSwayStep);
    int lamp = 0;
    for (int i = 0; i < count && lamp < kMaxLamps; ++i) {
        const int s = window[i];
        if (s % kLampEvery != 0) continue;
        const D3DXVECTOR3 across = courseGeometry.crossDir[s].start;
        const D3DXVECTOR3 at = BoundaryMid(s) + across * sway + D3DXVECTOR3(0.0f, kLampHeight, 0.0f);
        D3DLIGHT8 light = {};
        light.Type = D3DLIGHT_POINT;
        light.Diffuse = {1.0f, 0.85f, 0.5f, 1.0f};
        light.Position = {at.x, at.y, at.z};
        light.Range = kLampRange;
        light.Attenuation0 = 0.0f;
        light.Attenuation1 = 1.0f / kLampRange;
        ++lamp;
        device->SetLight(lamp, &light);
        device->LightEnable(lamp, 1);
    }
    for (int i = lamp + 1; i <= kMaxLamps; ++i) device->LightEnable(i, 0);
}

// The dim light from above (and the swaying lamps below Render Level 2), aprons, borders, road,
// arrows and the line; the jail sky behind them.
void Frame(const CourseView& v) {
    SetSkyStates();
    WorldLightingOn();
    if (!device) return;
    if (renderLevel == 2) {
        device->SetRenderState(D3DRS_AMBIENT, kAmbientHigh);
        SetDirectionalLight(0.0f, -1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
    } else {
        device->SetRenderState(D3DRS_AMBIENT, kAmbientLow);
        SetDirectionalLight(0.0f, -1.0f, 0.0f, 0.0f, 0.1f, 0.2f, 1.0f);
        PlaceLamps(v);
    }
    DrawSkirts(v);
    DrawBordersAndRoad(v);
    DrawSceneryByLevel(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawSky(v);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course08Routines = {
    WriteBoundaryPoints, nullptr, nullptr, ChooseScenery, nullptr, Frame, nullptr,
};
