// The race's scene chain and its per-frame driver: the countdown, the race frame with its fixed
// order of work, the pause menu, the two failure endings and the finish sequence up to the
// curtains; plus the hand-over into a race and out of it.
#pragma once

#include "framework/application.h"

// Hands the race's world, view and projection matrices to the device (and to the framework's
// screen projection).
void SetSceneTransforms();

void CountdownFrame();
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
    FrameProc replayFrame = nullptr; // the replay after the finish sequence
};
extern RaceExits raceExits;

// Leaves the race for the title menu: ResetRace, the title set-up, the title scene.
void GoToTitle();
// Makes a course ready to race: the race reset, the course's set-up, the car facing world +z.
// False (logged, nothing started) for a course that cannot be set up.
bool PrepareRace(int course);
// The boot's first course: the race's records connected to the course set-up, then course 1.
void SetUpFirstCourse();
// The --course switch: course N's set-up and straight into the countdown. Falls back to the
// title when the course cannot be set up.
void StartCourseFromSwitch(int course);
// Writes the "race" entry of --stats from the race as it stands.
void ReportRaceStats();
