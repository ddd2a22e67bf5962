#include "race/race_scenes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "courses/course_draw.h"
#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "framework/debug_log.h"
#include "framework/draw2d.h"
#include "framework/frame_stats.h"
#include "framework/graphics_device.h"
#include "framework/placement.h"
#include "framework/scene_view.h"
#include "framework/switches.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "game/tunes.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_camera.h"
#include "race/race_hud.h"
#include "race/race_state.h"
#include "race/race_world.h"
#include "race/course_intro.h"
#include "race/replay.h"
#include "race/replay_player.h"
#include "race/sparks.h"
#include "race/ghost_car.h"
#include "race/time_attack.h"

RaceExits raceExits;

namespace {
constexpr int kCountdownFrames = 240;
constexpr int kFailureFrames = 480;
constexpr int kReplayLeadOut = 40;
constexpr int kWholeScreenW = 640, kWholeScreenH = 480;
constexpr uint32_t kBlack = 0xff000000u;
constexpr uint32_t kFinishColour = 0xff4080ffu, kFinishShadow = 0xff010101u;
constexpr int kMusicFadeOnFailure = 8;

// Finish sequence, in frames after the line.
constexpr int kRankTextFrom = 601, kRankTextTo = 899;
constexpr int kCrystalTextFrom = 1201, kCrystalTextTo = 1799;
constexpr int kSkipFrom = 350, kCurtainsFrom = 2100, kCurtainsTo = 2180;

// The world as this frame's step left it for drawing.
RaceWorldView& world = raceWorld;
// The race frame's step found the finish sequence over: the frame is black and the race hands over.
bool finishOver = false;

// Lighting and fog off for the screen overlays.
void BeginOverlay() {
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetTexture(0, nullptr);
}

void DrawPair(Texture pair[2], int shadowX, int shadowY, int x, int y) {
    pair[1].DrawAt(shadowX, shadowY);
    pair[0].DrawAt(x, y);
}

// The world of a scene where the cars stand (countdown, pause, failure endings): no crystals, the
// player's car posed with `pose`, without exhaust. The course's own step runs; the sparks fly on
// while the car shows, unless the race is paused (they hang where they were).
void StandingWorld(const VehiclePose& pose, bool drawPlayer, bool sparksFly) {
    world = RaceWorldAt(frameCount, false, drawPlayer, pose, false);
    if (courseStepProc) courseStepProc(world.course);
    if (drawPlayer && sparksFly) AdvanceSparks();
}

// The race is over for this run: stats, and the --exit-after-race switch.
void RaceOver() {
    ReportRaceStats();
    if (programOptions.exitAfterRace) CloseMainWindow();
}

void EndFinishSequence() {
    RaceState& r = raceState;
    RaceOver();
    Log("race: course %d finished, rank %d\n", currentCourse, r.finalRank);
    StartReplay();
    frameProc = ReplayFrame;
}

void FinishBookkeeping(int laps) {
    RaceState& r = raceState;
    if (!r.finished) {
        if (FinishRace()) {
            frameCount = 0;
            FadeOutTune(kMusicFadeOnFailure);
            frameProc = OutOfRankFrame;
        }
        playerControl = DriveAuto;
        r.replayEnd = std::min(frameCount + kReplayLeadOut, kLastReplayFrame);
        r.finished = 1;
        ShowBigText("FINISH ", 64, kFinishColour, kFinishShadow, 224, 100, 300);
        frameCount = 0;
        r.driftAngle = 0.0f;
        ReportRaceStats();
        return;
    }
    if (r.bigTextTimer != 0) return;
    char text[256];
    if (frameCount >= kRankTextFrom && frameCount <= kRankTextTo && !timeAttack.active) {
        std::snprintf(text, sizeof text, "Your Rank %d ", r.finalRank);
        ShowBigText(text, 64, kFinishColour, kFinishShadow, 144, 100, 300);
    } else if (frameCount >= kCrystalTextFrom && frameCount <= kCrystalTextTo) {
        std::snprintf(text, sizeof text,
                      "   Your Rate Of \nCollecting Crystals \n        Is \n\n      %3.2f %% \n\n   ( %d / %d ) ",
                      CrystalRatio(), r.crystalsTaken, (r.supplyCrystalCount + r.boostCrystalCount) * laps);
        ShowBigText(text, 32, kFinishColour, kFinishShadow, 168, 80, 600);
    }
}

void DrawCurtains() {
    if (frameCount <= kCurtainsFrom || frameCount > kCurtainsTo) return;
    BeginOverlay();
    DrawRect(0, 0, 4 * (frameCount - kCurtainsFrom), kWholeScreenH, kBlack);
    DrawRect(4 * (2260 - frameCount), 0, kWholeScreenW, kWholeScreenH, kBlack);
}

// The two endings of a failed race differ only in their text.
void FailureFrame(Texture texts[2]) {
    ReadControls();
    FailureCamera(raceState.placement, frameCount);
    StandingWorld(PlayerPose(0.0f), true, true);

    if (BeginFrame(RaceClearColour())) {
        DrawRaceWorld(world);
        BeginOverlay();
        if (frameCount < 320) {
            DrawRect(0, 0, frameCount, kWholeScreenH, kBlack);
            DrawRect(kWholeScreenW - frameCount, 0, kWholeScreenW, kWholeScreenH, kBlack);
        } else {
            DrawRect(0, 0, kWholeScreenW, kWholeScreenH, kBlack);
        }
        DrawPair(texts, 180, 104, 176, 100);
        if (frameCount >= 431)
            DrawRect(0, 0, kWholeScreenW, kWholeScreenH, static_cast<uint32_t>((5 * frameCount - 102) % 256) << 24);
        EndFrame();
    }

    frameCount += 1;
    if (frameCount >= kFailureFrames) {
        RaceOver();
        GoToTitle();
    }
}

// What a race's scenes can draw, drawn once by the race's loading (DrawRaceOnce), in two frames:
// the intro's; then the course, the crystals, every opponent wherever it stands, the player's car
// with each exhaust flame, the boost flames, the glow and a spark, and the screen layer
// (rectangles, text images, the screen font, mini map, HUD, place numbers) on a fresh frame and
// over the world.
void DrawTheIntro() {
    DrawIntroKinds();
    DrawEachScreenKind(countdownTexts[0][0]);
}

void DrawEverythingOfTheRace() {
    // The screen layer first, as the shell's and the results' screens draw it, on a fresh frame.
    DrawEachScreenKind(countdownTexts[0][0]);
    RaceWorldView every = world;
    every.everything = true;
    DrawRaceWorld(every);
    // The sun's glare, which a course may show only when the sun is in sight.
    BeginBehindWorld();
    DrawSunGlare(world.course, D3DXVECTOR3(0.0f, 0.0f, 100.0f), 0);
    EndBehindWorld();
    SetSceneView(world.course.scene);
    VehicleEffects effects = world.playerEffects;
    effects.boostFlames = effects.glow = true;
    for (int step = 0; step < 3; ++step) {
        effects.exhaustStep = step;
        DrawPlayerCar(world.playerPose, effects);
    }
    const Spark spark = {1, PlacementPosition(world.playerPose.body), D3DXVECTOR3(0, 0, 0)};
    DrawSparksOf(&spark, 1);
    BeginOverlay();
    DrawEachScreenKind(countdownTexts[0][0]);
    DrawRect(0, 0, kWholeScreenW, kWholeScreenH, 0x80000000u);
    DrawPair(countdownTexts[0], 260, 180, 256, 176);
    DrawMiniMap();
    DrawHud();
    DrawOpponentNumbers();
}

// Part of loading a race: everything the race's scenes draw (the intro, the countdown, the race,
// the pause, the finish, the replay and the results) is drawn once into a frame that is never
// shown. The renderer builds its pipelines for these draws here, so no frame the player sees
// waits for one and the first frames of every scene keep their 60 frames per second. Nothing the
// race reads changes but the camera, which the countdown places afresh.
void DrawRaceOnce() {
    const VehiclePose pose = RestPose(PlayerVehicleParts(), raceState.placement);
    CountdownCamera(pose.body, 1, 0.0f);
    world = RaceWorldAt(frameCount, true, true, pose, true);
    // The course's own first step, as the countdown's frames would run it, with its sounds held
    // back as in a pause: the intro is silent until the countdown.
    world.course.paused = true;
    if (courseStepProc) courseStepProc(world.course);
    DrawUnseen(DrawTheIntro);
    DrawUnseen(DrawEverythingOfTheRace);
}

void ResumeRace() {
    PlaySound(kSoundAccept);
    if (raceState.lapsDone >= 0) ResumeTune();
    frameProc = RaceFrame;
}

// The race frame's drawing: the world, then mini map, HUD, skip line, place numbers and curtains.
void DrawRaceFrame() {
    const RaceState& r = raceState;
    if (finishOver) {
        BeginOverlay();
        DrawRect(0, 0, kWholeScreenW, kWholeScreenH, kBlack);
        return;
    }
    DrawRaceWorld(world);
    BeginOverlay();
    if (miniMap != 0 && !r.finished) DrawMiniMap();
    DrawHud();
    if (r.finished && frameCount > kSkipFrom && frameCount < kCurtainsFrom && frameCount % 71 < 35) {
        BeginOverlay();
        DrawPair(skipTexts, 282, 422, 280, 420);
    }
    if (!r.finished) DrawOpponentNumbers();
    if (r.finished && frameCount > kCurtainsFrom) DrawCurtains();
}
}  // namespace

bool RacePaused() { return frameProc == PauseFrame; }

uint32_t RaceClearColour() { return courseClearColour ? courseClearColour : kBlack; }

void CountdownFrame() {
    RaceState& r = raceState;
    ReadControls();

    // The rocket start: gas pressed inside a window and held until the start.
    if (controls.gas.pressed) {
        if (r.startTry) {
            if (frameCount >= 151 && frameCount <= 169) {
                r.speed = 10.0f;
            } else if ((frameCount >= 131 && frameCount <= 149) || (frameCount >= 171 && frameCount <= 189)) {
                r.speed = 3.0f;
            } else {
                r.speed = 0.0f;
            }
        } else {
            r.speed = 0.0f;
        }
        r.startTry = 0;
    } else if (!controls.gas.held && !r.startTry) {
        r.speed = 0.0f;
    }

    // The engine revs and the car shakes while the gas is down.
    float lift = 0.0f;
    if (controls.gas.held) {
        KeepSoundPlaying(kSoundEngine);
        lift = RandomLift();
    }
    const VehiclePose pose = PlayerPose(lift);
    CountdownCamera(pose.body, frameCount, lift);
    PlaceTimeAttackGhost(0);
    StandingWorld(pose, true, true);
    if (frameCount == 60 || frameCount == 120 || frameCount == 180) PlaySound(kSoundSignal1);

    if (BeginFrame(RaceClearColour())) {
        DrawRaceWorld(world);
        BeginOverlay();
        if (frameCount < 128)
            DrawRect(0, 0, kWholeScreenW, kWholeScreenH, static_cast<uint32_t>((256 - 2 * frameCount) % 256) << 24);
        if (frameCount >= 61 && frameCount <= 120) DrawPair(countdownTexts[2], 260, 180, 256, 176);
        if (frameCount >= 121 && frameCount <= 180) DrawPair(countdownTexts[1], 260, 180, 256, 176);
        if (frameCount >= 181 && frameCount <= 240) DrawPair(countdownTexts[0], 260, 180, 256, 176);
        EndFrame();
    }

    frameCount += 1;
    if (frameCount > kCountdownFrames) {
        PlaySound(kSoundSignal2);
        frameCount = 0;
        if (programOptions.autopilot) playerControl = DriveAuto;
        frameProc = RaceFrame;
    }
}

// The race frame. Its order is fixed and every step depends on the ones before it. The step:
//   1. read the controls                             10. the camera
//   2. the opponents drive                           11. drift sparks thrown
//   3. the finish bookkeeping and sequence           12. the world to draw: the camera's view,
//      (past its end: a black frame, hand over)          the course's own animation, the
//   4. the controller sets gas, brake, steering          crystals turn, the sparks fly
//   5. speed limits and sideways decay               13. timers (time up ends the race)
//   6. the car is placed, moved, and pushed by       14. the replay records this frame
//      the opponents                                 15. the big text's timer
//   7. progress, lap crossings, walls, glue
//   8. wheels, the car's pose, crystal pick-up
//   9. the player's rank
// Then the drawing (when the device can): the course's scenery, crystals, opponents and the
// player's car (not from the cockpit), mini map and HUD, the blinking skip line after the
// finish, the place numbers over the opponents, the curtains. Then the keys: the view change
// (it shows from the next frame), pause or the skip of the finish sequence; and the frame is
// counted.
void RaceStep() {
    RaceState& r = raceState;
    const int laps = std::clamp(CourseLaps(currentCourse), 1, kMaxLaps);
    finishOver = false;

    UpdateOpponents();

    if (r.lapsDone >= laps && !r.demonstration) {
        FinishBookkeeping(laps);
        if (r.finished && frameCount > kCurtainsTo) {
            finishOver = true;
            return;
        }
    }

    r.steerInput = 0;
    r.gasHeld = r.brakeHeld = 0;
    playerControl(&r.gasHeld, &r.brakeHeld);

    LimitSpeed();

    PlaceAndMoveCar();
    CarContacts();

    UpdateProgress();
    EdgeContacts();

    r.wheelSpin += r.speed / 12.0f;
    r.lift = RandomLift();
    r.pose = PlayerPose(r.lift);
    PickUpCrystals();

    r.rank = CurrentRank();

    UpdateRaceCamera(r.pose.body, r.lift, r.demonstration ? 0 : viewType);

    ThrowDriftSparks(r.pose.body);

    world = RaceWorldAt(frameCount, true, viewType == 0 || r.finished || r.demonstration, r.pose, r.gasHeld != 0);
    if (courseStepProc) courseStepProc(world.course);
    TurnCrystals();
    if (world.player) AdvanceSparks();

    if (UpdateTimers()) {
        frameCount = 0;
        FadeOutTune(kMusicFadeOnFailure);
        frameProc = TimeUpFrame;
    }

    if (!r.demonstration) {
        if (!r.finished) {
            RecordFrame(frameCount, r.gasHeld, r.steerInput);
        } else if (r.replayEnd < kLastReplayFrame) {
            RecordFrame(frameCount + r.replayEnd - kReplayLeadOut, r.gasHeld, r.steerInput);
        }
        if (!r.finished) RecordGhostFrame(frameCount);
        StepTimeAttack(frameCount, r.finished);
        ReportRaceStats();
    }

    AdvanceBigText();
}

void RaceFrame() {
    RaceState& r = raceState;
    ReadControls();
    RaceStep();

    if (BeginFrame(RaceClearColour())) {
        DrawRaceFrame();
        EndFrame();
    }

    if (finishOver) {
        EndFinishSequence();
        return;
    }

    if (controls.view.pressed) viewType = 1 - viewType;

    if (controls.pause.pressed) {
        if (!r.finished) {
            if (frameProc == RaceFrame) {
                if (r.lapsDone >= 0) PauseTune();
                r.pauseCursor = 0;
                frameProc = PauseFrame;
            }
        } else if (frameCount > kSkipFrom && frameCount < kCurtainsFrom) {
            r.bigTextTimer = 1;
            frameCount = kCurtainsFrom + 1;
            return;
        }
    }

    frameCount += 1;
}

void PauseFrame() {
    RaceState& r = raceState;
    ReadControls();
    StandingWorld(PlayerPose(0.0f), viewType == 0, false);

    if (BeginFrame(RaceClearColour())) {
        DrawRaceWorld(world);
        BeginOverlay();
        DrawRect(0, 0, kWholeScreenW, kWholeScreenH, 0x80000000u);
        DrawRect(204, 228 + 32 * r.pauseCursor, 460, 252 + 32 * r.pauseCursor, 0x800000ffu);
        DrawPair(pauseTexts, 244, 104, 240, 100);
        DrawPair(quitQuestionTexts, 181, 201, 180, 200);
        DrawPair(shortBreakTexts, 229, 233, 228, 232);
        DrawPair(quitNowTexts, 213, 265, 212, 264);
        EndFrame();
    }

    if (controls.up.pressed || controls.down.pressed) {
        PlaySound(kSoundSlide);
        r.pauseCursor = 1 - r.pauseCursor;
    }
    if (controls.accept.pressed) {
        if (r.pauseCursor == 0) {
            ResumeRace();
        } else {
            PlaySound(kSoundCansel);
            if (timeAttack.active) {
                LeaveTimeAttack();
                return;
            }
            RaceOver();
            GoToTitle();
        }
        return;
    }
    if (controls.back.pressed) ResumeRace();
}

void TimeUpFrame() { FailureFrame(timeUpTexts); }

void OutOfRankFrame() { FailureFrame(outOfRankTexts); }

void GoToTitle() {
    ResetRace();
    if (raceExits.titleSetUp) raceExits.titleSetUp();
    frameCount = 0;
    frameProc = raceExits.titleFrame ? raceExits.titleFrame : BlackFrame;
}

bool PrepareRace(int course) {
    ResetRace();
    if (!SetUpCourse(course)) return false;
    ApplyCourseStart();
    ShowBestLapRecord(course);
    // The grid: the car stands upright facing world +z on its start section.
    OrientOnTrack(raceState.placement, 0.0f);
    GlueToSurface();
    DrawRaceOnce();
    return true;
}

bool PrepareDemonstration(int course) {
    if (!PrepareRace(course)) return false;
    RaceState& r = raceState;
    r.demonstration = 1;
    playerControl = DriveAuto;
    // The camera starts where it follows from: behind the car.
    CountdownCamera(PlayerPose(0.0f).body, 180, 0.0f);
    return true;
}

void SetUpFirstCourse() {
    if (!SetUpCourse(1)) return;
    ApplyCourseStart();
    ShowBestLapRecord(1);
}

void StartCourse(int course) {
    if (!PrepareRace(course)) {
        LogWarning("race: course %d cannot be raced; going to the title\n", course);
        RaceOver();
        GoToTitle();
        return;
    }
    Log("race: course %d ready\n", course);
    if (programOptions.skipIntro) {
        frameCount = 1;
        frameProc = CountdownFrame;
        return;
    }
    frameCount = 0;
    frameProc = PreRaceFrame;
}

void StartCourseFromSwitch(int course) {
    Log("race: course %d from the command line\n", course);
    StartCourse(course);
}

void ReportRaceStats() {
    const RaceState& r = raceState;
    int timeMs = 0;
    if (r.finished) {
        const int laps = std::clamp(CourseLaps(currentCourse), 1, kMaxLaps);
        for (int lap = 1; lap <= laps; ++lap) timeMs += r.lapTimeMinutes[lap] * 60000 + r.lapTimeMillis[lap];
    } else {
        for (int lap = 1; lap <= r.lapsDone && lap <= kMaxLaps; ++lap)
            timeMs += r.lapTimeMinutes[lap] * 60000 + r.lapTimeMillis[lap];
        timeMs += r.lapMinutes * 60000 + r.lapMillis;
    }
    char json[256];
    std::snprintf(json, sizeof json,
                  "{\"course\": %d, \"laps_done\": %d, \"finished\": %s, \"rank\": %d, \"time_ms\": %d, "
                  "\"limit_left_ms\": %d}",
                  currentCourse, r.lapsDone, r.finished ? "true" : "false", r.finished ? r.finalRank : CurrentRank(),
                  timeMs, r.limitTime);
    StatsSetField("race", json);
}
