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
// The race frame. Its order is fixed and every step depends on the ones before it:
//   1. read the controls
//   the step (RaceStep):
//   2. the opponents drive
//   3. the finish: the frame the car crosses the final line (the result, the automatic driver
//      takes over, "FINISH "), then the finish sequence's texts by FinishLookAt; once its
//      curtains have closed the step ends here
//   4. the controller sets gas, brake and steering
//   5. speed limits and sideways decay
//   6. the car is placed, moved, and pushed by the opponents
//   7. progress and lap crossings, then the walls, the car glued to the road
//   8. the wheels turn, the car's pose, crystal pick-up
//   9. the player's rank
//  10. the camera
//  11. drift sparks thrown
//  12. the world to draw: the camera's view, the course's own animation, the crystals turn, the
//      sparks fly
//  13. the timers (time up ends the race)
//  14. the replay records this frame, the race's statistics
//  15. the big text's timer
//   the drawing (when the device can): 16. the course's scenery, crystals, opponents and the
//      player's car (not from the cockpit), the mini map and HUD, the blinking skip line of the
//      finish sequence, the place numbers over the opponents, the curtains; a black frame once
//      they have closed
//   the keys: 17. the view change (it shows from the next frame), the pause, or the skip of the
//      finish sequence to its curtains; 18. the frame is counted
void RaceFrame();
// Steps 2 to 15 alone: what a frame with a lost device runs, and the demonstration's step.
void RaceStep();
void PauseFrame();
void TimeUpFrame();
void OutOfRankFrame();

// What the finish sequence shows at its frame t (frames since the car crossed the final line).
enum class FinishText { kNone, kRank, kCrystals };
struct FinishLook {
    FinishText text;  // the big text put up while no other shows: "Your Rank n " from 601 to 899,
                      // the rate of collecting crystals from 1201 to 1799
    bool skippable;   // the pause key skips to the curtains: from 351 to 2099
    bool skipLine;    // the blinking skip line shows: while skippable, 35 frames of every 71
    int curtain;      // how far each curtain has closed, in pixels: 4 a frame from 2101 to 2180
    bool over;        // the curtains have closed (from 2181): a black frame, the replay follows
};
FinishLook FinishLookAt(int t);
// The first frame of the curtains, where a skip jumps to.
constexpr int kFinishCurtainsFrame = 2101;

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
