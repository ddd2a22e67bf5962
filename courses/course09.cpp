// Course 9, "Everlasting Cold": a wide sheet of ice laid over frozen ground, 300 across, rolling
// gently over low drifts; a long sweeping loop whose bends open slowly so a sliding car can hold
// them; 275 boundaries, 33000 units a lap.
#include <cmath>
#include <cstdlib>

#include "courses/course_builder.h"
#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "framework/graphics_device.h"
#include "shell/asset_tables.h"
#include "shell/settings.h"

namespace {

// One term of a closed curve: amplitude * sin(k * angle + phase).
struct Wave {
    float k, amplitude, phase;
};

// A closed centre line around the origin, r(angle) = 1 + sum of the plan's waves, run clockwise
// from +z; its points are spaced evenly along the curve so every section is lapLength / sections
// long. Heights follow baseY + the hills' waves over the lap fraction (hills start at phase 0, so
// boundary 0 sits at baseY). The loop is moved so that boundary 0's centre is (0, baseY, 0).
void WriteSmoothLoop(const Wave* plan, int planCount, int sections, float lapLength, float halfWidth,
                     const Wave* hills, int hillCount, float baseY) {
    constexpr int kSamples = 20000;
    constexpr float kTwoPi = 6.2831853f;
    static float sx[kSamples + 1], sz[kSamples + 1], along[kSamples + 1];
    for (int i = 0; i <= kSamples; ++i) {
        const float a = kTwoPi * static_cast<float>(i) / kSamples;
        float r = 1.0f;
        for (int w = 0; w < planCount; ++w) r += plan[w].amplitude * std::sin(plan[w].k * a + plan[w].phase);
        sx[i] = r * std::sin(a);
        sz[i] = r * std::cos(a);
        along[i] = i == 0 ? 0.0f : along[i - 1] + std::hypot(sx[i] - sx[i - 1], sz[i] - sz[i - 1]);
    }
    const float scale = lapLength / along[kSamples];
    static float cx[MaxSections], cz[MaxSections];
    int j = 0;
    for (int s = 0; s < sections; ++s) {
        const float t = along[kSamples] * static_cast<float>(s) / static_cast<float>(sections);
        while (j + 1 < kSamples && along[j + 1] < t) ++j;
        const float f = (t - along[j]) / (along[j + 1] - along[j]);
        cx[s] = (sx[j] + f * (sx[j + 1] - sx[j])) * scale;
        cz[s] = (sz[j] + f * (sz[j + 1] - sz[j])) * scale;
    }
    const float ox = cx[0], oz = cz[0];
    ClearBoundaries();
    for (int s = 0; s < sections; ++s) {
        const int prev = (s + sections - 1) % sections, next = (s + 1) % sections;
        const float tx = cx[next] - cx[prev], tz = cz[next] - cz[prev];
        const float len = std::hypot(tx, tz);
        const float rx = tz / len, rz = -tx / len;  // right of the direction of travel
        const float u = kTwoPi * static_cast<float>(s) / static_cast<float>(sections);
        float y = baseY;
        for (int h = 0; h < hillCount; ++h) y += hills[h].amplitude * std::sin(hills[h].k * u + hills[h].phase);
        const float x = cx[s] - ox, z = cz[s] - oz;
        AddBoundary(D3DXVECTOR3(x - rx * halfWidth, y, z - rz * halfWidth),
                    D3DXVECTOR3(x + rx * halfWidth, y, z + rz * halfWidth));
    }
}

constexpr int kSections = 275;
constexpr float kLapLength = 33000.0f;
constexpr float kHalfWidth = 150.0f;
constexpr float kBaseY = 0.0f;
const Wave kPlan[] = {{2.0f, 0.25f, 0.3f}, {3.0f, 0.12f, 1.0f}, {5.0f, 0.04f, 0.5f}};
const Wave kHills[] = {{3.0f, 30.0f, 0.0f}, {7.0f, 8.0f, 0.0f}};

void WriteBoundaryPoints() {
    WriteSmoothLoop(kPlan, sizeof kPlan / sizeof kPlan[0], kSections, kLapLength, kHalfWidth, kHills,
                    sizeof kHills / sizeof kHills[0], kBaseY);
}

// The sky, then the frozen banks below, the borders and the ice; no ground of its own.
void Frame() {
    DrawSky();
    WorldLightingOn();
    if (!device) return;
    if (renderLevel >= 1) {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetTexture(0, lowerStripTexture.texture);
        DrawLowerStripsWindow();
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    }
    device->SetTexture(0, upperStripTexture.texture);
    DrawUpperStripsWindow();
    device->SetTexture(0, roadTexture.texture);
    DrawRoadWindow();
    DrawGateAndBanner();
}

}  // namespace

const CourseRoutines course09Routines = {
    WriteBoundaryPoints,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    Frame,
};
