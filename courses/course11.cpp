// Secret course 1, "I Love You": a heart drawn on the ground, dimpled at the top and swelling to
// a rounded point at the bottom, 300 across so the whole field can start side by side; nearly flat
// for ten quick laps; 206 boundaries, 20600 units a lap.
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

constexpr int kSections = 206;
constexpr float kLapLength = 20600.0f;
constexpr float kHalfWidth = 150.0f;
constexpr float kBaseY = 0.0f;
const Wave kPlan[] = {{1.0f, -0.3f, 1.5707963f}, {2.0f, -0.1f, 1.5707963f}, {3.0f, -0.06f, 1.5707963f}};
const Wave kHills[] = {{2.0f, 12.0f, 0.0f}};

void WriteBoundaryPoints() {
    WriteSmoothLoop(kPlan, kSections, kLapLength, kHalfWidth, kHills, kBaseY);
}

// The road alone, the sky behind it: the walls stand in the set-up but this course leaves them out.
void Frame(const CourseView& v) {
    SetSkyStates();
    WorldLightingOn();
    if (!device) return;
    device->SetTexture(0, roadTexture.texture);
    DrawRoadWindow(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawSky(v);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course11Routines = {
    WriteBoundaryPoints,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    Frame,
    nullptr,
};
