// Course 1, "Blue Surf And Wind": a 200-wide causeway at height 64 over open water. A straight
// along +z, a right-hand half circle of radius 2000, a straight back along -z over a hump, a second
// half circle and the straight home to the line; 150 boundaries.
#include <cmath>

#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/settings.h"
#include "game/sound_effects.h"

namespace {

constexpr float kRoadY = 64.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kStep = 100.0f;
constexpr float kArcRadius = 2000.0f;
constexpr int kArcSteps = 50;
constexpr float kHumpHeight = 25.0f;
constexpr int kHumpSteps = 25;

void Put(float lx, float ly, float lz, float rx, float ry, float rz) {
    AddBoundary(D3DXVECTOR3(lx, ly, lz), D3DXVECTOR3(rx, ry, rz));
}

// Boundary pair across a road running along z at centre x (facing +z when `forward`).
void PutStraight(float centreX, float y, float z, bool forward) {
    const float side = forward ? -kHalfWidth : kHalfWidth;
    Put(centreX + side, y, z, centreX - side, y, z);
}

void WriteBoundaryPoints() {
    ClearBoundaries();
    const float pi = 3.1415927f;
    // Start straight: the line at z = 100, then ten boundaries 100 apart.
    for (int s = 0; s <= 10; ++s) PutStraight(100.0f, kRoadY, 100.0f + kStep * s, true);
    // First half circle, turning right about (2100, 1100): L on the outer circle.
    const float cx1 = 100.0f + kArcRadius, cz1 = 1100.0f;
    for (int s = 1; s <= kArcSteps; ++s) {
        const float a = pi - s * pi / kArcSteps;
        const float c = std::cos(a), sn = std::sin(a);
        Put(cx1 + (kArcRadius + kHalfWidth) * c, kRoadY, cz1 + (kArcRadius + kHalfWidth) * sn,
            cx1 + (kArcRadius - kHalfWidth) * c, kRoadY, cz1 + (kArcRadius - kHalfWidth) * sn);
    }
    // Back along -z over a hump.
    const float backX = cx1 + kArcRadius;
    for (int s = 1; s <= kHumpSteps; ++s) {
        const float y = kRoadY + kHumpHeight * std::sin(s * pi / kHumpSteps);
        PutStraight(backX, y, cz1 - kStep * s, false);
    }
    // Second half circle about (2100, -1400), from angle 0 down to -pi.
    const float cz2 = cz1 - kStep * kHumpSteps;
    for (int s = 1; s <= kArcSteps; ++s) {
        const float a = -s * pi / kArcSteps;
        const float c = std::cos(a), sn = std::sin(a);
        Put(cx1 + (kArcRadius + kHalfWidth) * c, kRoadY, cz2 + (kArcRadius + kHalfWidth) * sn,
            cx1 + (kArcRadius - kHalfWidth) * c, kRoadY, cz2 + (kArcRadius - kHalfWidth) * sn);
    }
    // Home straight: fourteen boundaries up to z = 0; the closing section reaches the line.
    for (int s = 1; s <= 14; ++s) PutStraight(100.0f, kRoadY, cz2 + kStep * s, true);
}

// The sea: one quad at y = 0 under the whole course, the water texture repeated 20 times each way.
void BuildGround() {
    constexpr float x0 = -5000.0f, x1 = 5000.0f, z0 = -5000.0f, z1 = 10000.0f, tiles = 20.0f;
    const CourseVertex v[4] = {
        {x0, 0.0f, z1, 0, 0, -1, 0xffffffffu, 0, 0},
        {x1, 0.0f, z1, 0, 0, -1, 0xffffffffu, tiles, 0},
        {x0, 0.0f, z0, 0, 0, -1, 0xffffffffu, 0, tiles},
        {x1, 0.0f, z0, 0, 0, -1, 0xffffffffu, tiles, tiles},
    };
    groundQuad.Create(v, CourseVertexFvf, sizeof v);
}

// Surf sounds; the skirt below the causeway, the road, the line and the walls last; then behind
// them the sea, the sky and the sun low ahead.
uint32_t glareFlicker = 0;

// The surf's sound every five seconds and the sun's flicker.
void Step(const CourseView& v) {
    PlayAmbientSound(v, sounds[kSoundWave]);
    glareFlicker = GlareFlicker();
}

void Frame(const CourseView& v) {
    SetSkyStates();
    WorldLightingOn();
    if (!device) return;
    DrawSkirts(v);
    device->SetTexture(0, roadTexture.texture);
    DrawRoadWindow(v);
    DrawGateAndBanner(v);
    device->SetTexture(0, upperStripTexture.texture);
    DrawUpperStripsWindow(v);
    BeginBehindWorld();
    DrawGroundBeneath(fileTextures[kTextureWater2]);
    DrawSky(v);
    DrawSunGlare(v, D3DXVECTOR3(0.0f, 300.0f, 1900.0f), glareFlicker);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course01Routines = {
    WriteBoundaryPoints,
    BuildGround,
    nullptr,
    nullptr,
    nullptr,
    Frame,
    Step,
};
