#include "tests/support/auto_lap.h"

#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "race/player_vehicle.h"
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
    playerBody.Init(nullptr, 0.0f, 0.0f, 0.0f, 1.0f);
    const D3DXVECTOR3 start = BoundaryMid(r.section);
    playerBody.localMatrix._41 = start.x;
    playerBody.localMatrix._42 = start.y;
    playerBody.localMatrix._43 = start.z;
    OrientOnTrack(playerBody, 0.0f);
    GlueToSurface();
    return true;
}

void DriveOneFrame(PlayerControl control) {
    RaceState& r = raceState;
    r.steerInput = 0;
    r.gasHeld = r.brakeHeld = 0;
    control(&r.gasHeld, &r.brakeHeld);
    LimitSpeed();
    PlaceAndMoveCar();
    UpdateProgress();
    EdgeContacts();
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
