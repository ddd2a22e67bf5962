// Secret course 3, "Gloomy Tunnel 2nd": a winding tunnel 200 across under a ceiling at height 64,
// with lamp poles on both walls every fourth section; it rises and sinks a little as it bores on;
// 452 boundaries, 36000 units a lap.
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

constexpr int kSections = 452;
constexpr float kLapLength = 36000.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kBaseY = 0.0f;
const Wave kPlan[] = {{3.0f, 0.18f, 0.5f}, {4.0f, 0.07f, 1.5f}, {8.0f, 0.02f, 0.0f}};
const Wave kHills[] = {{3.0f, 40.0f, 0.0f}, {7.0f, 15.0f, 0.0f}};

void WriteBoundaryPoints() {
    WriteSmoothLoop(kPlan, kSections, kLapLength, kHalfWidth, kHills, kBaseY);
}

constexpr int kPoleSpacing = 4;
constexpr int kPoleLeftMesh = 13;
constexpr int kPoleRightMesh = 14;

// Poles on both sides of every fourth section.
void ChooseScenery() {
    const int n = courseGeometry.sectionCount;
    for (int s = 0; s < n; s += kPoleSpacing) {
        PutSceneryPair(s, kPoleLeftMesh, kPoleRightMesh);
    }
}

// The poles, the ceiling, the walls and the road (the depth test lets the tunnel cover the far
// poles), the sky behind them.
void Frame(const CourseView& v) {
    SetSkyStates();
    WorldLightingOn();
    if (!device) return;
    DrawSceneryByLevel(v);
    WorldLightingOn();
    DrawSkirts(v);
    DrawBordersAndRoad(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawSky(v);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course13Routines = {
    WriteBoundaryPoints,
    nullptr,
    nullptr,
    ChooseScenery,
    nullptr,
    Frame,
    nullptr,
};
