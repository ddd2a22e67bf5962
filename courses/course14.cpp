// Secret course 4, "Can You Pick Up All Crystals ?": one lap against the clock round a rounded
// square 200 across between 64-high walls, a crystal every 25 sections; small rises keep the eye
// busy while the light changes colour; 500 boundaries, 30000 units a lap.
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

constexpr int kSections = 500;
constexpr float kLapLength = 30000.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kBaseY = 0.0f;
const Wave kPlan[] = {{4.0f, 0.12f, 0.0f}, {2.0f, 0.15f, 1.2f}, {10.0f, 0.012f, 0.0f}};
const Wave kHills[] = {{4.0f, 25.0f, 0.0f}, {9.0f, 10.0f, 0.0f}};

void WriteBoundaryPoints() {
    WriteSmoothLoop(kPlan, kSections, kLapLength, kHalfWidth, kHills, kBaseY);
}

constexpr int kAmbientPeriod = 20;

// Every 20 frames the ambient light turns to a random opaque colour; then the walls and the road.
uint32_t ambient = 0;

void Step(const CourseView& v) {
    if (v.frame % kAmbientPeriod != 0) return;
    const uint32_t red = static_cast<uint32_t>(std::rand() % 256);
    const uint32_t green = static_cast<uint32_t>(std::rand() % 256);
    const uint32_t blue = static_cast<uint32_t>(std::rand() % 256);
    ambient = 0xff000000u + red * 65536u + green * 256u + blue;
}

void Frame(const CourseView& v) {
    SetSkyStates();
    WorldLightingOn();
    if (!device) return;
    if (v.frame % kAmbientPeriod == 0) device->SetRenderState(D3DRS_AMBIENT, ambient);
    DrawBordersAndRoad(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawSky(v);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course14Routines = {
    WriteBoundaryPoints,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    Frame,
    Step,
};
