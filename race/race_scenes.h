// The race's scene chain and its per-frame driver: the countdown, the race frame with its fixed
// order of work, the pause menu, the two failure endings and the finish sequence up to the
// curtains; plus the hand-over into a race and out of it.
//
// Every race scene runs its frame in three parts: the step (every rule of the frame, no device
// call), the drawing (reads what the step left, changes nothing the step reads, skipped when the
// device cannot draw), then the keys that change scene or view from the next frame on.
#pragma once

#include "framework/application.h"

void CountdownFrame();
// The race frame's step alone (steps 2 to 18 of the race's order without the drawing): what a frame
// with a lost device runs. Exposed for the tests that drive the race without drawing it.
void RaceStep();
void RaceFrame();
void PauseFrame();
void TimeUpFrame();
void OutOfRankFrame();

// True while the pause menu is the scene.
bool RacePaused();

// Where the race goes when it is over. Empty entries: the black scene stands in.
struct RaceExits {
    void (*titleSetUp)() = nullptr;  // loads the title's music and background
    FrameProc titleFrame = nullptr;  // the title menu
    FrameProc courseClearFrame = nullptr;  // the course progression after the results
};
extern RaceExits raceExits;

// Leaves the race for the title menu: ResetRace, the title set-up, the title scene.
void GoToTitle();
// Makes a course ready to race: the race reset, the course's set-up, the car facing world +z.
// False (logged, nothing started) for a course that cannot be set up.
bool PrepareRace(int course);
// A course made ready for the attract mode's drive (see RaceState::demonstration), the automatic
// driver at the wheel and the camera behind the car. False (logged) when it cannot be set up.
bool PrepareDemonstration(int course);
// The boot's first course: the race's records connected to the course set-up, then course 1.
void SetUpFirstCourse();
// Course Select's and the course progression's hand-over: the course made ready and its intro
// (with --skip-intro, its countdown). A course that cannot be set up leads back to the title.
void StartCourse(int course);
// The race scenes' clear colour: the course's, else black.
uint32_t RaceClearColour();
// The --course switch: course N's set-up and straight into the countdown. Falls back to the
// title when the course cannot be set up.
void StartCourseFromSwitch(int course);
// Writes the "race" entry of --stats from the race as it stands.
void ReportRaceStats();
