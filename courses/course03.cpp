// Course 3, "Yellow Sand Ocean": a desert loop over long dunes that starts and ends inside a
// stepped pyramid. The line lies in the pyramid's tunnel at (0, 7, -4000); the road leaves it
// along +z over two dunes, swings right round a wide half circle, comes back through a long S
// and over more dunes, turns again and runs home into the tunnel. 386 boundaries, cacti beside it.
#include <cmath>

#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_trace.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/settings.h"

namespace {

constexpr float kLineY = 7.0f;
constexpr float kLineZ = -4000.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kTunnelStep = 100.0f;  // seven of these each way stay level inside the pyramid
constexpr int kTunnelSteps = 7;
constexpr float kStep = 110.0f;
constexpr int kCactus = 10;
constexpr int kCactusEvery = 5;
constexpr float kGroundMargin = 4000.0f;
constexpr float kGroundTile = 400.0f;

void WriteBoundaryPoints() {
    TraceBegin(D3DXVECTOR3(0.0f, kLineY, kLineZ), 0.0f, kHalfWidth);
    TraceLeg(kTunnelSteps, kTunnelStep, 0.0f);
    TraceLeg(40, kStep, 0.0f, 0.0f, 70.0f, 2);
    TraceLeg(60, kStep, 180.0f, 0.0f, 40.0f, 1);
    TraceLeg(28, kStep, 0.0f, 0.0f, 60.0f, 2);
    TraceLeg(20, kStep, -45.0f);
    TraceLeg(40, kStep, 90.0f, 0.0f, 50.0f, 1);
    TraceLeg(20, kStep, -45.0f);
    TraceLeg(28, kStep, 0.0f, 0.0f, 60.0f, 2);
    TraceLeg(60, kStep, 180.0f, 0.0f, 40.0f, 1);
    TraceLeg(76, kStep, 0.0f, 0.0f, 70.0f, 3);
    TraceLeg(kTunnelSteps, kTunnelStep, 0.0f);
    TraceEnd();
}

// The sand: one quad at y = 0 reaching well past the course on every side.
void BuildGround() {
    const CourseGeometry& g = courseGeometry;
    float x0 = g.boundary[0].left.x, x1 = x0, z0 = g.boundary[0].left.z, z1 = z0;
    for (int s = 0; s < g.sectionCount; ++s) {
        for (const D3DXVECTOR3& p : {g.boundary[s].left, g.boundary[s].right}) {
            x0 = std::fmin(x0, p.x);
            x1 = std::fmax(x1, p.x);
            z0 = std::fmin(z0, p.z);
            z1 = std::fmax(z1, p.z);
        }
    }
    x0 -= kGroundMargin;
    x1 += kGroundMargin;
    z0 -= kGroundMargin;
    z1 += kGroundMargin;
    const float tu = (x1 - x0) / kGroundTile, tv = (z1 - z0) / kGroundTile;
    const CourseVertex v[4] = {
        {x0, 0.0f, z1, 0, 1, 0, 0xffffffffu, 0, 0},
        {x1, 0.0f, z1, 0, 1, 0, 0xffffffffu, tu, 0},
        {x0, 0.0f, z0, 0, 1, 0, 0xffffffffu, 0, tv},
        {x1, 0.0f, z0, 0, 1, 0, 0xffffffffu, tu, tv},
    };
    groundQuad.Create(v, CourseVertexFvf, sizeof v);
}

// Cacti on every fifth section on both sides, none inside the pyramid.
void ChooseScenery() {
    const int n = courseGeometry.sectionCount;
    for (int s = 2 * kTunnelSteps; s < n - 2 * kTunnelSteps; s += kCactusEvery) {
        for (int k = 0; k < 2; ++k) {
            sceneryPool[2 * s + k].Init(&sceneryMeshes[kCactus], 0.0f, 0.0f, 0.0f, 1.0f);
            courseGeometry.sceneryOn[2 * s + k] = 1;
        }
    }
}

// The pyramid stands over the line, the road running through its tunnel.
void LoadExtras() { background2Model.Init(&background2Mesh, 0.0f, kLineY, kLineZ, 1.0f); }

// The pyramid lit where it stands, the road with its verges, the cacti and the line; then behind
// them the sand, the sky and the sun low on the right.
uint32_t glareFlicker = 0;

void Step(const CourseView&) { glareFlicker = GlareFlicker(); }

void Frame(const CourseView& v) {
    SetSkyStates();
    WorldLightingOn();
    if (!device) return;
    background2Model.Draw();
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
    // The dunes lift the road off the flat sand, so the road and its verges are drawn.
    DrawSkirts(v);
    DrawBordersAndRoad(v);
    if (renderLevel == 2) {
        DrawSceneryNear(v);
    } else {
        DrawSceneryOnScreen(v);
    }
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawGroundBeneath(fileTextures[kTextureDesert]);
    DrawSky(v);
    DrawSunGlare(v, D3DXVECTOR3(1900.0f, 400.0f, 0.0f), glareFlicker);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course03Routines = {
    WriteBoundaryPoints, BuildGround, nullptr, ChooseScenery, LoadExtras, Frame, Step,
};
