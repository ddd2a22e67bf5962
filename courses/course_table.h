// The fifteen courses' fixed numbers and files, indexed by course number (1 to 10 the normal
// courses, 11 to 15 the secret ones; row 0 is not a course). The common set-up reads a row; what
// a course builds by its own code (boundary points, ground, scenery choice, per-frame drawing)
// lives in that course's own file and is reached through its CourseRoutines.
//
// Adding a course: write coursesNN.cpp defining `const CourseRoutines courseNNRoutines`, and point
// its row's `routines` at it in course_table.cpp.
#pragma once
#include <cstdint>

#include "courses/course_geometry.h"
#include "game/limits.h"

struct CourseView;


// What a course does by its own code, called by the common set-up at its steps.
struct CourseRoutines {
    // Step 15: writes sectionCount and the boundary points (the crystal and boost sections come
    // from the table row).
    void (*writeBoundaryPoints)();
    // Step 17: builds groundQuad; null for the courses without a ground.
    void (*buildGround)();
    // Step 19: when set, builds the edge strips itself instead of the row's two profiles.
    void (*buildEdgeStrips)();
    // Step 20: points chosen scenery pool models at scenery meshes and sets their sceneryOn flags;
    // null for the courses without scenery.
    void (*chooseScenery)();
    // Step 9 extras: loads and places further background models (course 4's volcanoes, course
    // 3's pyramid); null when there are none. Runs inside the "data" directory.
    void (*loadExtras)();
    // The scenery routine installed in courseFrameProc: draws the course world each race frame.
    void (*frame)(const CourseView& view);
    // The course's own animation and sounds, installed in courseStepProc; null when it has none.
    void (*step)(const CourseView& view);
};

struct CourseInfo {
    const char* menuName;       // as shown in course select
    int laps;
    int limitSeconds;           // time on the clock at the start
    int extensionSeconds;       // added at each completed lap
    const char* music;          // ".mid" in the data directory
    const char* roadTexture;
    const char* upperStripTexture;
    const char* lowerStripTexture;
    const char* backgroundMesh;
    const char* background2Mesh;
    D3DXVECTOR3 gatePosition;   // centre of boundary 0 raised by 0.1
    uint32_t fogColour;
    float fogStart, fogEnd;
    uint32_t ambient;
    float lightDirection[3];    // light 0, before normalisation
    float lightColour[4];       // r, g, b, a
    uint32_t clearColour;
    int sections;               // sectionCount the course's points must give
    int boostSectionA, boostSectionB;
    int enemyCount;             // opponents in a race by default
    int gridK;                  // opponent i starts on K - (K div enemyCount) * i
    // Top speed of opponent i: firstBase - firstStep * i for i < 3, laterBase - laterStep * (i - 3)
    // from i = 3 on.
    float firstBase, firstStep, laterBase, laterStep;
    int laneM;                  // lane = (rand() mod M - (M - 1) / 2) / 100
    bool sideBySideGrid;        // secret course 1: every opponent on section 1 at a fixed lane
    int supplyCrystals[SupplyCrystalSlots];
    int supplyCrystalCount;
    int boostCrystals[BoostCrystalSlots];
    int boostCrystalCount;
    StripProfile upperStrips;
    StripProfile lowerStrips;
    const CourseRoutines* routines;  // null until the course's own file is written
};

// Rows 1 to 15; row 0 is empty.
extern const CourseInfo courseTable[CourseCount + 1];

// The row of a course number, or null when there is no such course.
const CourseInfo* FindCourse(int course);

// Top speed of opponent i on a course (the side-by-side grid draws its speeds at set-up instead).
float OpponentTopSpeed(const CourseInfo& info, int i);

// Lap count of a course, 0 for a number that is not a course (the race, records and save file read
// it through here).
int CourseLaps(int course);
