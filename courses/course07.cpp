// Course 7, "Dive To Sunset": the longest course, a dive from high in the evening sky down to the
// sea and the long climb back. Starts at height 1200; four long descents through wide bends reach
// -1400, a rolling run along the water, then four climbs home. 1239 boundaries.
#include <cmath>

#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_trace.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/settings.h"

namespace {

constexpr float kStartY = 1200.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kStep = 90.0f;
constexpr float kSeaY = -1700.0f;
constexpr float kSeaMargin = 4000.0f;
constexpr float kSeaTile = 600.0f;
constexpr float kStreakTurn = -0.002f;  // radians per frame
// The atmosphere follows the camera's height: sea colours below -1000, sunset above 1000.
constexpr float kLowY = -1000.0f;
constexpr float kHighY = 1000.0f;
constexpr uint32_t kLowAmbient = 0xff00c0c0u;
constexpr uint32_t kHighAmbient = 0xffd09030u;
constexpr uint32_t kLowFog = 0xff0000ffu;
constexpr uint32_t kHighFog = 0xffff8040u;
constexpr float kFogStart = 1.0f;
constexpr float kFogEnd = 1500.0f;

float streakYaw = 0.0f;

void WriteBoundaryPoints() {
    TraceBegin(D3DXVECTOR3(0.0f, kStartY, 0.0f), 0.0f, kHalfWidth);
    TraceLeg(125, kStep, 0.0f, -600.0f);
    TraceLeg(30, kStep, 90.0f);
    TraceLeg(115, kStep, 0.0f, -1000.0f);
    TraceLeg(20, kStep, -45.0f);
    TraceLeg(40, kStep, 90.0f);
    TraceLeg(20, kStep, -45.0f);
    TraceLeg(115, kStep, 0.0f, -1000.0f);
    TraceLeg(30, kStep, 90.0f);
    TraceLeg(250, kStep, 0.0f, 0.0f, 150.0f, 3);
    TraceLeg(30, kStep, 90.0f);
    TraceLeg(115, kStep, 0.0f, 1000.0f);
    TraceLeg(20, kStep, -45.0f);
    TraceLeg(40, kStep, 90.0f);
    TraceLeg(20, kStep, -45.0f);
    TraceLeg(114, kStep, 0.0f, 1000.0f);
    TraceLeg(30, kStep, 90.0f);
    TraceLeg(125, kStep, 0.0f, 600.0f);
    TraceEnd();
}

// The sea far below the lowest point of the road.
void BuildGround() {
    const CourseGeometry& g = courseGeometry;
    float x0 = g.boundary[0].left.x, x1 = x0, z0 = g.boundary[0].left.z, z1 = z0;
    for (int s = 0; s < g.sectionCount; ++s) {
        const D3DXVECTOR3 p = BoundaryMid(s);
        x0 = std::fmin(x0, p.x);
        x1 = std::fmax(x1, p.x);
        z0 = std::fmin(z0, p.z);
        z1 = std::fmax(z1, p.z);
    }
    x0 -= kSeaMargin;
    x1 += kSeaMargin;
    z0 -= kSeaMargin;
    z1 += kSeaMargin;
    const float tu = (x1 - x0) / kSeaTile, tv = (z1 - z0) / kSeaTile;
    const CourseVertex v[4] = {
        {x0, kSeaY, z1, 0, 1, 0, 0xffffffffu, 0, 0},
        {x1, kSeaY, z1, 0, 1, 0, 0xffffffffu, tu, 0},
        {x0, kSeaY, z0, 0, 1, 0, 0xffffffffu, 0, tv},
        {x1, kSeaY, z0, 0, 1, 0, 0xffffffffu, tu, tv},
    };
    groundQuad.Create(v, CourseVertexFvf, sizeof v);
}

uint32_t Blend(uint32_t low, uint32_t high, float t) {
    uint32_t out = 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const float a = static_cast<float>((low >> shift) & 0xff), b = static_cast<float>((high >> shift) & 0xff);
        out |= static_cast<uint32_t>(a + (b - a) * t + 0.5f) << shift;
    }
    return out;
}

// Where the camera is between the sea (0) and the sunset (1).
float HeightBlend(float y) {
    if (y <= kLowY) return 0.0f;
    if (y >= kHighY) return 1.0f;
    return (y - kLowY) / (kHighY - kLowY);
}

void PlaceStreaks(const D3DXVECTOR3& eye, float t) {
    // The streaks sink towards the horizon as the road dives, so the sun seems to set.
    background2Model.Init(&background2Mesh, eye.x, eye.y - 300.0f * (1.0f - t), eye.z, 1.0f);
    background2Model.RotateY(streakYaw);
}

// Ambient and fog blended by height, the borders, the road and the line; behind them the sea
// (Render Level 2), the sky and the turning cloud streaks.
void Step(const CourseView&) { streakYaw += kStreakTurn; }

void Frame(const CourseView& v) {
    const D3DXVECTOR3 eye = v.scene.eye;
    const float t = HeightBlend(eye.y);
    PlaceStreaks(eye, t);
    SetSkyStates(background2Model);
    if (!device) return;
    device->SetRenderState(D3DRS_AMBIENT, Blend(kLowAmbient, kHighAmbient, t));
    SetCourseFog(Blend(kLowFog, kHighFog, t), kFogStart, kFogEnd);
    WorldLightingOn();
    device->SetTexture(0, upperStripTexture.texture);
    DrawUpperStripsWindow(v);
    device->SetTexture(0, roadTexture.texture);
    DrawRoadWindow(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    if (renderLevel == 2) DrawGroundBeneath(fileTextures[kTextureWater1]);
    DrawSky(v);
    DrawOnFarPlane(background2Model);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course07Routines = {
    WriteBoundaryPoints, BuildGround, nullptr, nullptr, nullptr, Frame, Step,
};
