// Course 2, "Green Night Of Calm City": a city block circuit at night. A long straight, two right
// corners round the block, an easy S past the towers on the far side, two more corners and the
// straight home; gentle rises over the short sides. 166 boundaries, towers on both sides.
#include "courses/course_builder.h"
#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_trace.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/settings.h"

namespace {

constexpr float kRoadY = 20.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kStraight = 120.0f;
constexpr float kCorner = 110.0f;  // ten of these turn 90 degrees on a radius of 700
constexpr int kBuildingLeft = 8;
constexpr int kBuildingRight = 9;
constexpr int kBuildingEvery = 3;

void WriteBoundaryPoints() {
    TraceBegin(D3DXVECTOR3(0.0f, kRoadY, 0.0f), 0.0f, kHalfWidth);
    TraceLeg(20, kStraight, 0.0f);
    TraceLeg(10, kCorner, 90.0f);
    TraceLeg(20, kStraight, 0.0f, 0.0f, 30.0f, 1);
    TraceLeg(10, kCorner, 90.0f);
    TraceLeg(10, kStraight, 0.0f);
    TraceLeg(6, kCorner, -30.0f, 0.0f, 40.0f, 1);
    TraceLeg(12, kCorner, 60.0f);
    TraceLeg(6, kCorner, -30.0f, 0.0f, 40.0f, 1);
    TraceLeg(10, kStraight, 0.0f);
    TraceLeg(10, kCorner, 90.0f);
    TraceLeg(20, kStraight, 0.0f, 0.0f, 30.0f, 1);
    TraceLeg(10, kCorner, 90.0f);
    TraceLeg(22, kStraight, 0.0f);
    TraceEnd();
}

// Towers on every third section on both sides, clear of the start line.
void ChooseScenery() {
    const int n = courseGeometry.sectionCount;
    for (int s = 3; s < n - 2; s += kBuildingEvery) {
        PutSceneryPair(s, kBuildingLeft, kBuildingRight);
    }
}

// The broad verges, their edges, the road, the towers and the line, the night sky behind them.
void Frame(const CourseView& v) {
    SetSkyStates();
    WorldLightingOn();
    if (!device) return;
    DrawSkirts(v);
    DrawBordersAndRoad(v);
    DrawSceneryByLevel(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawSky(v);
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course02Routines = {
    WriteBoundaryPoints, nullptr, nullptr, ChooseScenery, nullptr, Frame, nullptr,
};
