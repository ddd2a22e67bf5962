#include "tests/support/auto_lap.h"

#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "framework/placement.h"
#include "game/controls.h"
#include "race/player_vehicle.h"
#include "race/race_scenes.h"
#include "race/race_state.h"

bool StartAloneBeforeTheLine(int course) {
    const CourseInfo* info = FindCourse(course);
    if (!info || !info->routines) return false;
    ClearBoundaries();
    info->routines->writeBoundaryPoints();
    DeriveCourseSurfaces();
    currentCourse = course;
    ResetRace();
    RaceState& r = raceState;
    r.enemyCount = 0;
    r.section = courseGeometry.sectionCount - 1;
    r.half = 0;
    r.lapCounter = r.lapsDone = -1;
    r.limitTime = 10000000;
    r.crystalRange = 10;
    r.supplyCrystalCount = r.boostCrystalCount = 0;
    // The course's own animation needs its set-up's models: a bare course has none.
    courseStepProc = nullptr;
    r.placement = MakePlacement(0.0f, 0.0f, 0.0f, 1.0f);
    SetPlacementPosition(r.placement, BoundaryMid(r.section));
    OrientOnTrack(r.placement, 0.0f);
    GlueToSurface();
    return true;
}

void DriveOneFrame(PlayerControl control) {
    playerControl = control;
    ReadControls();
    RaceStep();
}

AutoLap DriveAutomaticLap(int course) {
    AutoLap result;
    if (!StartAloneBeforeTheLine(course)) return result;
    const CourseInfo* info = FindCourse(course);
    RaceState& r = raceState;
    // The race clock runs 16 ms a frame.
    const int limitFrames = static_cast<int>(info->limitSeconds * 1000 / 16);
    for (int k = 0; k < limitFrames && r.lapsDone < 1; ++k) {
        DriveOneFrame(DriveAuto);
        if (k > 300 && r.speed < 15.0f) ++result.slowFrames;
        result.frames = k;
    }
    result.lapped = r.lapsDone >= 1;
    result.section = r.section;
    return result;
}
