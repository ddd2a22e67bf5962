// Course 9, "Everlasting Cold": a wide sheet of ice laid over frozen ground, 300 across, rolling
// gently over low drifts; a long sweeping loop whose bends open slowly so a sliding car can hold
// them; 275 boundaries, 33000 units a lap.
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

constexpr int kSections = 275;
constexpr float kLapLength = 33000.0f;
constexpr float kHalfWidth = 100.0f;  // the start gate spans a 200-wide road
constexpr float kBaseY = 0.0f;
const Wave kPlan[] = {{2.0f, 0.25f, 0.3f}, {3.0f, 0.12f, 1.0f}, {5.0f, 0.04f, 0.5f}};
const Wave kHills[] = {{3.0f, 30.0f, 0.0f}, {7.0f, 8.0f, 0.0f}};

void WriteBoundaryPoints() {
    WriteSmoothLoop(kPlan, kSections, kLapLength, kHalfWidth, kHills, kBaseY);
}

// The frozen banks below, the borders and the ice, the sky behind them; no ground of its own.
void Frame(const CourseView& v) { DrawWalledCourse(v); }

}  // namespace

const CourseRoutines course09Routines = {
    WriteBoundaryPoints,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    Frame,
    nullptr,
};
