// The common course set-up: makes a course the current one (fog, light, clear colour, music,
// textures, background models, boundary points, surfaces, strips, scenery, the grid, crystals and
// the mini map), in one fixed sequence that every course shares; each course differs only in its
// table row and the routines of its own file.
//
// A course never reaches into the race. Its set-up fills `courseStart`, the record of where the
// race begins (the player's start, the opponents' grid, the crystals, the clock), which the race
// applies; each frame the race hands the course's routines a `CourseView` of what they may show.
#pragma once
#include <cstdint>

#include "courses/course_table.h"
#include "framework/mesh.h"
#include "framework/scene_view.h"
#include "framework/model.h"
#include "framework/texture.h"
#include "framework/vertex_buffer.h"
#include "game/opponent.h"

// What a course's routines are told each frame: where the player is, how far the race shows, the
// scene's frame counter, whether the race stands paused, and the camera.
struct CourseView {
    int section;       // the player's section: the centre of the draw window
    int crystalRange;  // the draw window in sections: 10, 20 or 30
    int lapsDone;
    int frame;         // the scene frame counter
    bool paused;       // the pause menu is up: ambient sounds wait
    SceneView scene;
};

using CourseFrameProc = void (*)(const CourseView& view);

// The current course's scenery routine: draws the course world; every race scene calls it once per
// frame between placing the camera and drawing the cars. It changes nothing the race reads.
extern CourseFrameProc courseFrameProc;
// The current course's own animation and sounds (turning skies, lightning, thunder, the random
// flicker of its lights), run once per frame in the scene's step, before drawing; null when the
// course has none.
extern CourseFrameProc courseStepProc;

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

// Where a race on the current course begins: filled by SetUpCourse, applied by the race. The
// opponents' lanes stay from one set-up to the next: the grid headings aim along the last race's.
struct CourseStart {
    int limitTime;             // milliseconds on the clock
    int crystalRange;          // draw window in sections: 10, 20 or 30 by the render level
    int section, half;         // the player's start: one section before the line
    int lapCounter, lapsDone;  // -1: the line is still to be crossed
    D3DXVECTOR3 playerPosition;
    int enemyCount;
    // The grid: the first enemyCount on their start sections, tyres at rest. The lanes of every
    // slot stay from one set-up to the next.
    OpponentArray grid;
    int supplyCrystalCount;
    int boostCrystalCount;
    uint8_t supplyCrystalPresent[SupplyCrystalSlots];
    uint8_t boostCrystalPresent[BoostCrystalSlots];
};
extern CourseStart courseStart;

// The whole set-up of a course (1 to 15). False, with a log line and nothing changed, for a number
// that is not a course or a course whose own file is not written yet.
bool SetUpCourse(int course);
// Linear fog of this colour between the two depths, per pixel or per vertex by the Fog Type setting.
void SetCourseFog(uint32_t colour, float start, float end);

// The player's start one section before the line, and the opponents on the grid with their top
// speeds, start speeds, headings and new lanes, into courseStart.
void PlacePlayerAndOpponents(const CourseInfo& info);
