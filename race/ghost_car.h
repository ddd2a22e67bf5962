// The ghost car: the player's best run on a course driven again beside the player, frame by frame,
// drawn as the player's car made translucent (no collisions, sounds, exhaust or glow); and the
// recorder that keeps every race's run, so that a finished race or Time Attack run faster than the
// kept ghost becomes the course's next ghost (game/ghost_file).
#pragma once
#include "game/ghost_file.h"
#include "platform/math.h"
#include "race/vehicle.h"

// This race's run as recorded so far: one frame per race frame before the finish, from frame 0.
extern GhostRun ghostRecording;
// The ghost the race shows (no frames: none).
extern GhostRun raceGhost;

// Where the ghost stands this frame, as the step left it for drawing.
struct GhostView {
    bool shown = false;  // a ghost frame exists for this frame and the camera is not inside it
    VehiclePose pose;
};
extern GhostView ghostView;

// The car as it stands now, as a ghost frame: its position, the drawn body's orientation, its half,
// tyres and laps done.
GhostFrame GhostFrameOfCar();
// Stores the car under race frame `frame`: frame 0 starts a new recording; a frame past the end is
// appended, one already recorded (a restarted count) cuts the recording back to it first.
void RecordGhostFrame(int frame);
// The first finish frame: the recording becomes the course's ghost when its total time (the lap
// times of the race) beats the kept one. True when it was kept.
bool KeepRaceGhost(int course, const int* lapMinutes, const int* lapMillis, int laps);

// The course's ghost read from its file for the race to show (none when missing or refused).
bool LoadRaceGhost(int course);
void ClearRaceGhost();

// The pose a ghost frame draws: the body turned by its orientation and lifted off its half of the
// road, the tyres steered, spun and rolled as the race poses the player's.
VehiclePose GhostPose(const GhostFrame& f);
// The step's part: the ghost at race frame `frame` (hidden past its last frame, and while `eye` is
// inside its body).
void PlaceGhost(int frame, const D3DXVECTOR3& eye);
// The frame of the ghost's recording at which its laps done first reached `lap`; -1 when never.
int LapFrameOf(const GhostRun& run, int lap);

// Draws the ghost where the step placed it (nothing when hidden or when there is none).
void DrawGhostCar();
// Draws the ghost's look at `pose`, whatever the race holds (a loading step's unseen drawing).
void DrawGhostCarAt(const VehiclePose& pose);
