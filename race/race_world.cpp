#include "race/race_world.h"

#include "courses/course_geometry.h"

#include "framework/graphics_device.h"
#include "framework/step_blend.h"
#include "framework/texture.h"
#include "game/settings.h"
#include "race/crystals.h"
#include "race/ghost_car.h"
#include "race/opponents.h"
#include "race/race_camera.h"
#include "race/race_scenes.h"
#include "race/race_state.h"

RaceWorldView raceWorld;

CourseView RaceCourseView(int frame) {
    const RaceState& r = raceState;
    CourseView v;
    v.section = r.section;
    v.crystalRange = r.crystalRange;
    v.lapsDone = r.lapsDone;
    v.frame = frame;
    v.paused = r.phase == RacePhase::kPaused;
    v.scene = RaceSceneView();
    return v;
}

RaceWorldView RaceWorldAt(int frame, bool crystals, bool player, const VehiclePose& pose, bool exhaust) {
    RaceWorldView w;
    w.course = RaceCourseView(frame);
    w.crystals = crystals;
    w.player = player;
    w.playerPose = pose;
    w.playerEffects = PlayerCarEffects(exhaust, frame);
    return w;
}

bool BoostGlowVisible(int boostTimer, int frame) {
    if (boostTimer > 60) return frame % 2 == 0;
    if (boostTimer > 30) return frame % 4 == 0;
    if (boostTimer > 0) return frame % 8 == 0;
    return false;
}

VehicleEffects PlayerCarEffects(bool exhaust, int frame) {
    const RaceState& r = raceState;
    VehicleEffects e;
    // Low: no gloss; Medium: on the body; High: on the body and the tyres.
    e.gloss = renderLevel;
    e.exhaustStep = exhaust ? frame % 3 : -1;
    e.boostFlames = r.boostTimer > 0;
    e.glow = BoostGlowVisible(r.boostTimer, frame);
    e.sparks = true;
    return e;
}

void DrawPlayerCar(const VehiclePose& pose, const VehicleEffects& effects) {
    if (!device) return;
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    DrawVehicle(PlayerVehicleParts(), pose, effects);
}

namespace {
// The world as a picture shows it: as the step left it, or between two steps the camera and the
// player's car placed part of the way from the step before.
RaceWorldView PictureWorld(const RaceWorldView& w) {
    // A loading step's drawing of everything is no picture of a step.
    if (w.everything) return w;
    static StepPair<SceneView> camera;
    static StepPair<VehiclePose> car;
    camera.Hold(w.course.scene);
    car.Hold(w.playerPose);
    RaceWorldView drawn = w;
    if (camera.Blends() && !PlacementJumped(camera.before.camera, camera.now.camera))
        drawn.course.scene = BlendSceneView(camera.before, camera.now, pictureFraction);
    if (car.Blends() && !PlacementJumped(car.before.body, car.now.body))
        drawn.playerPose = BlendPose(car.before, car.now, pictureFraction);
    return drawn;
}
}  // namespace

void DrawRaceWorld(const RaceWorldView& step) {
    const RaceWorldView w = PictureWorld(step);
    SetSceneView(w.course.scene);
    if (courseFrameProc) courseFrameProc(w.course);
    // The scenery may leave its own world transform behind.
    SetSceneView(w.course.scene);
    if (w.crystals) {
        DrawCrystals(w.course.section, w.everything ? courseGeometry.sectionCount + 1 : w.course.crystalRange);
    }
    if (w.everything) {
        DrawEveryOpponent();
    } else {
        DrawOpponents();
    }
    if (w.player) DrawPlayerCar(w.playerPose, w.playerEffects);
    // The ghost is translucent: drawn over everything of the world, the player's car included.
    if (w.everything) {
        DrawGhostCarAt(w.playerPose);
    } else {
        DrawGhostCar();
    }
}

void BeginOverlay() {
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetTexture(0, nullptr);
}

void DrawPair(Texture pair[2], int shadowX, int shadowY, int x, int y) {
    pair[1].DrawAt(shadowX, shadowY);
    pair[0].DrawAt(x, y);
}
