// Secret course 5, "Demonstration": the attract run's showcase, short and fast, 240 across
// between low walls: a hairpin-tight swing round one end, a long climb to a crest 250 up and a
// plunging drop back down, then rolling bumps into the line; 386 boundaries, 20000 units a lap.
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

constexpr int kSections = 386;
constexpr float kLapLength = 20000.0f;
constexpr float kHalfWidth = 100.0f;  // the start gate spans a 200-wide road
constexpr float kBaseY = 0.0f;
const Wave kPlan[] = {{2.0f, 0.3f, 0.7f}, {3.0f, 0.1f, 0.2f}, {5.0f, 0.03f, 1.1f}};
const Wave kHills[] = {{1.0f, -180.0f, 0.0f}, {2.0f, 90.0f, 0.0f}, {6.0f, 15.0f, 0.0f}};

void WriteBoundaryPoints() {
    WriteSmoothLoop(kPlan, kSections, kLapLength, kHalfWidth, kHills, kBaseY);
}

// The walls and the road, the sky behind them.
void Frame(const CourseView& v) {
    SetSkyStates();
    WorldLightingOn();
    if (!device) return;
    DrawBordersAndRoad(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawSky(v);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course15Routines = {
    WriteBoundaryPoints,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    Frame,
    nullptr,
};
