// Course 6, "Toward Unlimited Horizon": a long road high above a layer of drifting air, out over
// rises and sweeping bends past trees, hills and signs. Its crystal, boost and grid numbers are
// taken from the running boundary count as the legs are written, so they move with the legs.
// 841 boundaries.
#include <cmath>
#include <cstdlib>

#include "courses/course_builder.h"
#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_trace.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/settings.h"

namespace {

constexpr float kRoadY = 300.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kStep = 95.0f;
constexpr float kAirExtent = 15000.0f;  // the air layer reaches this far from the course's middle
constexpr float kAirTile = 1500.0f;
constexpr int kAirFrames = 30;          // each of the four air textures shows for this many frames
constexpr float kGlareSize = 500.0f;
constexpr uint32_t kGlareColour = 0x80a08040u;
const D3DXVECTOR3 kGlareOffset(0.0f, 500.0f, -1900.0f);
// The grass band outside the right border: its width swells and narrows along the course.
constexpr float kBorder = 16.0f;
constexpr float kBandMid = 220.0f;
constexpr float kBandSwing = 140.0f;
constexpr float kBandWave = 0.05f;  // radians per section
constexpr float kBandDrop = -2.0f;

// Scenery meshes.
constexpr int kTreeL = 1, kTreeR = 2, kMountainL1 = 3, kMountainR1 = 4, kArrowLeft = 5, kArrowRight = 6, kScreen = 7,
              kMountainL2 = 11, kMountainR2 = 12;

void WriteBoundaryPoints() {
    CourseGeometry& g = courseGeometry;
    int supply = 0;
    auto crystalPair = [&](int at) {
        g.supplyCrystalSection[supply++] = at;
        g.supplyCrystalSection[supply++] = at + 1;
    };
    TraceBegin(D3DXVECTOR3(0.0f, kRoadY, 0.0f), 0.0f, kHalfWidth);
    crystalPair(TraceLeg(63, 83.2f, 0.0f, 0.0f, 100.0f, 2));
    TraceLeg(25, kStep, 90.0f);
    TraceLeg(80, 77.9f, 0.0f, 0.0f, 150.0f, 1);
    crystalPair(TraceLeg(25, kStep, -90.0f));
    TraceLeg(25, kStep, 90.0f);
    TraceLeg(88, 76.2f, 0.0f, 0.0f, 120.0f, 2);
    TraceLeg(25, kStep, 90.0f);
    g.boostSectionA = TraceLeg(60, 106.2f, 0.0f);
    crystalPair(TraceLeg(42, 102.8f, 0.0f, 200.0f));
    crystalPair(TraceLeg(70, 108.1f, 0.0f, 0.0f, 80.0f, 1));
    crystalPair(TraceLeg(20, kStep, 90.0f, -200.0f));
    TraceLeg(40, 103.5f, 0.0f);
    TraceLeg(20, kStep, -45.0f);
    TraceLeg(20, kStep, 45.0f);
    g.boostSectionB = TraceLeg(78, 111.6f, 0.0f, 0.0f, 100.0f, 2);
    TraceLeg(25, kStep, 90.0f);
    g.boostCrystalSection[0] = TraceLeg(60, 83.8f, 0.0f);
    TraceLeg(75, 81.0f, 0.0f, 0.0f, 60.0f, 1);
    TraceEnd();
}

// The upper strips are 16-wide borders; the lower right strip is a grass band whose width
// follows a slow wave, and the lower left a plain grass band of the middle width.
void BuildEdgeStrips() {
    const StripProfile border = {0.0f, kBorder, 0.0f, 0.0f, 64.0f, 64.0f};
    const StripProfile leftBand = {kBandDrop, kBandMid, kBandDrop, kBorder, 64.0f, 64.0f};
    for (int s = 0; s < courseGeometry.sectionCount; ++s) {
        const float width = kBandMid + kBandSwing * std::sin(kBandWave * static_cast<float>(s));
        const StripProfile rightBand = {kBandDrop, width, kBandDrop, kBorder, 64.0f, 64.0f};
        BuildSectionStrip(s, 0, border);
        BuildSectionStrip(s, 1, border);
        BuildSectionStrip(s, 2, leftBand);
        BuildSectionStrip(s, 3, rightBand);
    }
}

// Turn of the road over section s in plan: positive to the right.
float SectionTurn(int s) {
    const EdgeDirection& a = courseGeometry.edgeDir[s];
    const EdgeDirection& b = courseGeometry.edgeDir[NextSection(s)];
    return a.left.z * b.left.x - a.left.x * b.left.z;
}

void Put(int model, int mesh) {
    sceneryPool[model].Init(&sceneryMeshes[mesh], 0.0f, 0.0f, 0.0f, 1.0f);
    courseGeometry.sceneryOn[model] = 1;
}

// Signs on the outside of every bend, trees along the straights, hills further out, and a big
// screen on both sides of the start.
void ChooseScenery() {
    const int n = courseGeometry.sectionCount;
    for (int s = 4; s < n - 2; ++s) {
        const float turn = SectionTurn(s);
        if (std::fabs(turn) > 0.02f) {
            if (s % 4 == 0) Put(turn > 0 ? 2 * s : 2 * s + 1, turn > 0 ? kArrowRight : kArrowLeft);
            continue;
        }
        if (s % 6 == 0) {
            Put(2 * s, (s / 6) % 2 ? kTreeL : kTreeR);
            Put(2 * s + 1, (s / 6) % 2 ? kTreeR : kTreeL);
        } else if (s % 31 == 0) {
            Put(2 * s, (s / 31) % 2 ? kMountainL1 : kMountainL2);
        } else if (s % 37 == 0) {
            Put(2 * s + 1, (s / 37) % 2 ? kMountainR1 : kMountainR2);
        }
    }
    Put(2 * 2, kScreen);
    Put(2 * 2 + 1, kScreen);
}

// The air layer far below the road.
void BuildGround() {
    const D3DXVECTOR3 c = BoundaryMid(0);
    const float x0 = c.x - kAirExtent, x1 = c.x + kAirExtent, z0 = c.z - kAirExtent, z1 = c.z + kAirExtent;
    const float t = 2.0f * kAirExtent / kAirTile;
    const CourseVertex v[4] = {
        {x0, 0.0f, z1, 0, 1, 0, 0xffffffffu, 0, 0},
        {x1, 0.0f, z1, 0, 1, 0, 0xffffffffu, t, 0},
        {x0, 0.0f, z0, 0, 1, 0, 0xffffffffu, 0, t},
        {x1, 0.0f, z0, 0, 1, 0, 0xffffffffu, t, t},
    };
    groundQuad.Create(v, CourseVertexFvf, sizeof v);
}

// The sun behind, only while its point lies between the columns left and right of the screen.
bool GlareWithin(const CourseView& v, float left, float right) {
    if (renderLevel != 2) return false;
    const D3DXVECTOR3 s = ProjectThroughView(v.scene, v.scene.eye + kGlareOffset);
    return !(s.z < 0.0f || s.x < left || s.x > right || s.y < 0.0f || s.y > 480.0f);
}

uint32_t glareFlicker = 0;

// The flicker is drawn from the random sequence while the sun is on the 640 x 480 frame, wide
// picture or not, so a race runs the same whatever the picture's shape.
void Step(const CourseView& v) {
    if (GlareWithin(v, 0.0f, 640.0f)) glareFlicker = static_cast<uint32_t>(std::rand() % 128) * 0x01000000u;
}

// Drawn wherever the picture shows it, a wide picture's sides too.
void DrawGlare(const CourseView& v) {
    if (!GlareWithin(v, static_cast<float>(pictureLeft), static_cast<float>(pictureRight))) return;
    const D3DXVECTOR3 at = v.scene.eye + kGlareOffset;
    device->SetTexture(0, fileTextures[kTextureLens].texture);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    SetBillboardWorld(at.x, at.y, at.z);
    DrawQuad3D(0.0f, 0.0f, 0.0f, kGlareSize, kGlareSize, kGlareColour + glareFlicker);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
}

// Grass, borders, road, scenery and the line; behind them the air layer cycling through its four
// pictures, the sky and the sun.
void Frame(const CourseView& v) {
    SetSkyStates();
    if (!device) return;
    WorldLightingOn();
    DrawSkirts(v);
    DrawBordersAndRoad(v);
    DrawSceneryByLevel(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    if (renderLevel >= 1) DrawGroundBeneath(airTextures[(v.frame / kAirFrames) % 4]);
    DrawSky(v);
    DrawGlare(v);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course06Routines = {
    WriteBoundaryPoints, BuildGround, BuildEdgeStrips, ChooseScenery, nullptr, Frame, Step,
};
