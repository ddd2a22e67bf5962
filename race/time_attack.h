// Time Attack: a course raced alone against the ghost of the player's best run on it. Course
// Select starts it for a course that has a ghost file; the intro, countdown and race run as usual
// with no computer cars and no limit time, the ghost drives beside the player, the HUD shows the
// difference to the ghost at each lap line where the rank would stand, and after the replay a
// results table (with "New Record " when the run became the ghost) leads back to Course Select.
// Nothing of the save file's records changes and no course opens.
#pragma once
#include "framework/application.h"
#include "game/limits.h"

struct TimeAttack {
    bool active = false;
    int course = 0;
    bool hasGhost = false;    // a ghost was read and drives in this run
    int ghostMillis = 0;      // its total time
    bool newRecord = false;   // the finished run became the course's ghost
    int finishFrame = 0;      // race frames before the finish (the ghost drives on after it)
    int splitLap = 0;         // the last lap line whose difference the HUD shows (0: none yet)
    int splitMillis[kMaxLaps + 1] = {};  // this run's time at each lap line minus the ghost's
    bool splitKnown[kMaxLaps + 1] = {};  // the ghost reached that lap line
    int splitSerial = 0;      // counts the differences shown, so the HUD remakes its image
};
extern TimeAttack timeAttack;

// Where Time Attack goes when it is over: Course Select (set by the shell at boot).
extern FrameProc timeAttackCourseSelect;

// The course has a ghost file (a finished race or run on it), so Course Select offers Time Attack.
bool TimeAttackOffered(int course);
// Course Select's hand-over: the course made ready, its computer cars taken off, the ghost read,
// then the intro. A course that cannot be set up leads back to the title (logged).
void StartTimeAttack(int course);
// Back to Course Select with the course of the run under the cursor: the race reset, the title's
// music and background, Course Select.
void LeaveTimeAttack();
// The race's reset ends a run: not active, no ghost.
void EndTimeAttack();

// The race step's part after the frame is recorded: the lap-line differences and the ghost placed
// for race frame `frame` (counted on after the finish). Nothing outside Time Attack.
void StepTimeAttack(int frame, bool finished);
// The ghost at race frame `frame` for the countdown (frame 0) and the replay.
void PlaceTimeAttackGhost(int frame);
// The finish rules of a run: the ghost kept when faster, nothing recorded. Called once.
void FinishTimeAttack();

// "+0:01.234" / "-0:00.480": a difference in milliseconds.
void FormatSplit(char* out, int size, int millis);
// The HUD's rank panel in Time Attack: the difference at the last lap line (red slower, blue faster).
void DrawTimeAttackSplit();

// The results after the replay: lap times, each lap line's difference, the total, the ghost's
// total and "New Record "; then Course Select.
void TimeAttackResultsFrame();
