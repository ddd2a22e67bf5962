// The race world as every scene shows it: the course's scenery, the crystals, the opponents and the
// player's car, drawn from the race state and a view. The race, its loading, and the scenes that
// show a race outside it (replay, demonstration) fill a RaceWorldView in their step and draw it.
#pragma once

#include "courses/course_setup.h"
#include "race/vehicle.h"

struct RaceWorldView {
    CourseView course;        // the camera, the draw window, the scene frame
    bool crystals;            // the crystals show (not in the countdown, pause or failure endings)
    bool player;              // the player's car shows (not from its own cockpit)
    bool everything = false;  // every crystal and opponent wherever it stands (a loading step's drawing)
    VehiclePose playerPose;
    VehicleEffects playerEffects;
};

// The world as the last race step left it for drawing.
extern RaceWorldView raceWorld;

// The view of the race world as the race state stands: camera, draw window, scene frame, pause.
CourseView RaceCourseView(int frame);
// The world as the race state stands at scene frame `frame`: the crystals shown or not, the player's
// car shown or not, posed so, with its exhaust burning or not.
RaceWorldView RaceWorldAt(int frame, bool crystals, bool player, const VehiclePose& pose, bool exhaust);
// The player's car as the race shows it: gloss by render level, the exhaust when the gas is down,
// boost flames and glow while a boost runs, the sparks.
VehicleEffects PlayerCarEffects(bool exhaust, int frame);
// Whether the boost glow shows this frame: every 2nd frame above 60 boost frames left, every 4th
// above 30, every 8th below.
bool BoostGlowVisible(int boostTimer, int frame);

// Hands the view to the device, draws the course's scenery, then the crystals, the opponents in
// view and the player's car.
void DrawRaceWorld(const RaceWorldView& world);
// The player's car alone (lighting on, fog off), as the race draws it.
void DrawPlayerCar(const VehiclePose& pose, const VehicleEffects& effects);

// Lighting and fog off and the stage-0 texture unbound: the screen overlays over the drawn world.
void BeginOverlay();
// A text drawn with its shadow: the shadow image pair[1] at (shadowX, shadowY), then pair[0] on
// top at (x, y).
class Texture;
void DrawPair(Texture pair[2], int shadowX, int shadowY, int x, int y);
