// The common course set-up: makes a course the current one (fog, light, clear colour, music,
// textures, background models, boundary points, surfaces, strips, scenery, the grid, crystals and
// the mini map), in one fixed sequence that every course shares; each course differs only in its
// table row and the routines of its own file.
//
// The set-up writes race fields it does not own (the player's start, the opponents' grid, the
// crystal counts and present flags) through `courseRace`, a record of pointers. Each pointer
// starts on storage of its own here, so the set-up and the course routines work alone (tests,
// tools); the race connects them to its own records once at boot.
#pragma once
#include <cstdint>

#include "courses/course_table.h"
#include "framework/mesh.h"
#include "framework/model.h"
#include "framework/texture.h"
#include "framework/vertex_buffer.h"

using CourseFrameProc = void (*)();

// The current course's scenery routine; every race scene calls it once per frame between placing
// the camera and drawing the cars.
extern CourseFrameProc courseFrameProc;

// The race frames' clear colour, set by the course set-up.
extern uint32_t courseClearColour;

// Course-owned resources: the three course textures, the second background, the banner and the
// ground quads (the sky itself is the asset tables' backgroundMesh / backgroundModel).
extern Texture roadTexture;
extern Texture upperStripTexture;
extern Texture lowerStripTexture;
extern Mesh background2Mesh;
extern Model background2Model;
// Further background models a course may load (course 4's second sky and volcano).
extern Mesh extraBackgroundMeshes[2];
extern Model extraBackgroundModels[2];
extern VertexBuffer bannerQuad;  // the start banner, 90 x 40, 21 units before the line
extern VertexBuffer groundQuad;  // one large textured quad under the course (most courses)

// Race fields the set-up writes and the scenery routines read. Arrays hold MaxOpponents entries,
// present flags one byte per crystal model.
struct CourseRaceLinks {
    int* limitTime;           // milliseconds left
    int* crystalRange;        // draw window in sections: 10, 20 or 30
    int* section;             // the player's section
    int* half;
    int* lapCounter;
    int* lapsDone;
    int* enemyCount;
    int* supplyCrystalCount;
    int* boostCrystalCount;
    int* frameCount;          // the scene frame counter
    float* oppSpeed;
    float* oppTopSpeed;
    float* oppHeading;
    float* oppLane;           // kept from race to race: the grid headings aim along last race's lanes
    int* oppSection;
    int* oppHalf;
    int* oppLaps;
    int* oppBoostTimer;
    uint8_t* supplyCrystalPresent;
    uint8_t* boostCrystalPresent;
    // True while the race is paused (ambient sounds wait); null = never paused.
    bool (*racePaused)();
    // The course's best lap record (minutes, milliseconds); null = no record yet (99:59.999).
    void (*bestLap)(int course, int* minutes, int* millis);
    // Switches the music to the course's ".mid" file (called inside the "data" directory; playback
    // starts later, at the first crossing of the line); null = the set-up's own switch, which
    // reloads the tune into the background-music library (when it is ready) and the MIDI player.
    void (*switchMusic)(const char* file);
};
extern CourseRaceLinks courseRace;

// The whole set-up of a course (1 to 15). False, with a log line and nothing changed, for a number
// that is not a course or a course whose own file is not written yet.
bool SetUpCourse(int course);
// Linear fog of this colour between the two depths, per pixel or per vertex by the Fog Type setting.
void SetCourseFog(uint32_t colour, float start, float end);

// Steps 22 and 23 on their own: the player's start one section before the line, and the
// opponents on the grid with their top speeds, start speeds, headings and new lanes.
void PlacePlayerAndOpponents(const CourseInfo& info);

// The best-lap read-out text as the HUD shows it: "%02d:%02.3f ".
void FormatLapTime(char* out, int size, int minutes, int millis);
