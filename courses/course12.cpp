// Secret course 2, "Under Water 2nd": a sea-bed canyon between walls 384 high, 300 across, diving
// deep in long swells and climbing back towards the light; 568 boundaries, 45000 units a lap.
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

constexpr int kSections = 568;
constexpr float kLapLength = 45000.0f;
constexpr float kHalfWidth = 100.0f;  // the start gate spans a 200-wide road
constexpr float kBaseY = 0.0f;
const Wave kPlan[] = {{2.0f, 0.3f, 1.0f}, {3.0f, 0.1f, 0.0f}, {6.0f, 0.04f, 2.0f}, {9.0f, 0.015f, 1.0f}};
const Wave kHills[] = {{2.0f, -250.0f, 0.0f}, {5.0f, -60.0f, 0.0f}, {11.0f, -12.0f, 0.0f}};

void WriteBoundaryPoints() {
    WriteSmoothLoop(kPlan, kSections, kLapLength, kHalfWidth, kHills, kBaseY);
}

// The canyon walls, the borders and the road, the sky behind them.
void Frame(const CourseView& v) { DrawWalledCourse(v); }

}  // namespace

const CourseRoutines course12Routines = {
    WriteBoundaryPoints,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    Frame,
    nullptr,
};
