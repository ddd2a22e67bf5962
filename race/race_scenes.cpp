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
#include "game/sound_effects.h"
#include "game/tunes.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_camera.h"
#include "race/race_hud.h"
#include "race/race_rumble.h"
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
constexpr int kWholeScreenH = 480;
constexpr uint32_t kBlack = 0xff000000u;
constexpr uint32_t kFinishColour = 0xff4080ffu, kFinishShadow = 0xff010101u;
constexpr int kMusicFadeOnFailure = 8;

// Finish sequence, in frames after the line.
constexpr int kRankTextFrom = 601, kRankTextTo = 899;
constexpr int kCrystalTextFrom = 1201, kCrystalTextTo = 1799;
constexpr int kSkipFrom = 350, kCurtainsFrom = 2100, kCurtainsTo = 2180;
constexpr int kCurtainStep = 4;  // pixels a frame each curtain closes by
static_assert(kFinishCurtainsFrame == kCurtainsFrom + 1, "a skip lands on the curtains' first frame");

// The world as this frame's step left it for drawing.
RaceWorldView& world = raceWorld;

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
}

// The frame the car crosses the final line: the result is recorded, the automatic driver takes
// over, "FINISH " shows, and the finish sequence's frames count from 0 (out of the first four the
// out-of-rank ending runs from its frame 0 instead). The replay ends 40 frames after the line.
void CrossFinalLine() {
    RaceState& r = raceState;
    const bool outOfRank = FinishRace();
    playerControl = DriveAuto;
    r.replayEnd = std::min((outOfRank ? 0 : frameCount) + kReplayLeadOut, kLastReplayFrame);
    r.finished = 1;
    ShowBigText("FINISH ", 64, kFinishColour, kFinishShadow, 224, 100, 300);
    if (outOfRank) {
        FadeOutTune(kMusicFadeOnFailure);
        SetScene(OutOfRankFrame);
        r.phase = RacePhase::kFailed;
    } else {
        frameCount = 0;
        r.phase = RacePhase::kFinishing;
    }
    r.driftAngle = 0.0f;
    ReportRaceStats();
}

// The finish sequence's big text of this frame, while no other shows.
void ShowFinishText(FinishText which, int laps) {
    const RaceState& r = raceState;
    if (which == FinishText::kNone || r.bigTextTimer != 0) return;
    // A Time Attack has no rank to tell: its rank window stays empty.
    if (which == FinishText::kRank && timeAttack.active) return;
    char text[256];
    if (which == FinishText::kRank) {
        std::snprintf(text, sizeof text, "Your Rank %d ", r.finalRank);
        ShowBigText(text, 64, kFinishColour, kFinishShadow, 144, 100, 300);
    } else {
        std::snprintf(text, sizeof text,
                      "   Your Rate Of \nCollecting Crystals \n        Is \n\n      %3.2f %% \n\n   ( %d / %d ) ",
                      CrystalRatio(), r.crystalsTaken, (r.supplyCrystalCount + r.boostCrystalCount) * laps);
        ShowBigText(text, 32, kFinishColour, kFinishShadow, 168, 80, 600);
    }
}

// The two curtains closing from the screen's sides to its middle.
void DrawCurtains(int closed) {
    if (closed <= 0) return;
    BeginOverlay();
    DrawSideCurtains(closed, kBlack);
}

// The failure endings' picture, with the texts of the one running.
Texture* failureTexts = nullptr;

void DrawFailurePicture() {
    Texture* texts = failureTexts;
    if (BeginFrame(RaceClearColour())) {
        DrawRaceWorld(world);
        BeginOverlay();
        if (frameCount < 320) {
            DrawSideCurtains(frameCount, kBlack);
        } else {
            DrawAcross(0, kWholeScreenH, kBlack);
        }
        DrawPair(texts, 180, 104, 176, 100);
        if (frameCount >= 431)
            DrawAcross(0, kWholeScreenH, static_cast<uint32_t>((5 * frameCount - 102) % 256) << 24);
        EndFrame();
    }
}

// The two endings of a failed race differ only in their text.
void FailureFrame(Texture texts[2]) {
    ReadControls();
    FailureCamera(raceState.placement, frameCount);
    StandingWorld(PlayerPose(0.0f), true, true);

    failureTexts = texts;
    ShowStepPicture(DrawFailurePicture);

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
    DrawAcross(0, kWholeScreenH, 0x80000000u);
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
    raceState.phase = RacePhase::kRunning;
    SetScene(RaceFrame, frameCount);
}

// The race frame's drawing (step 16): the world, then mini map, HUD, skip line, place numbers and
// curtains; black once the curtains have closed.
void DrawRaceFrame();

void DrawRacePicture() {
    if (BeginFrame(RaceClearColour())) {
        DrawRaceFrame();
        EndFrame();
    }
}

void DrawRaceFrame() {
    const RaceState& r = raceState;
    if (r.phase == RacePhase::kFinishOver) {
        BeginOverlay();
        DrawAcross(0, kWholeScreenH, kBlack);
        return;
    }
    DrawRaceWorld(world);
    BeginOverlay();
    if (miniMap != 0 && !r.finished) DrawMiniMap();
    DrawHud();
    if (!r.finished) {
        DrawOpponentNumbers();
        return;
    }
    const FinishLook look = FinishLookAt(frameCount);
    if (look.skipLine) {
        BeginOverlay();
        DrawPair(skipTexts, 282, 422, 280, 420);
    }
    DrawCurtains(look.curtain);
}
}  // namespace

FinishLook FinishLookAt(int t) {
    FinishLook look;
    look.text = FinishText::kNone;
    if (t >= kRankTextFrom && t <= kRankTextTo) look.text = FinishText::kRank;
    if (t >= kCrystalTextFrom && t <= kCrystalTextTo) look.text = FinishText::kCrystals;
    look.skippable = t > kSkipFrom && t < kCurtainsFrom;
    look.skipLine = look.skippable && t % 71 < 35;
    look.curtain = t > kCurtainsFrom && t <= kCurtainsTo ? kCurtainStep * (t - kCurtainsFrom) : 0;
    look.over = t > kCurtainsTo;
    return look;
}

uint32_t RaceClearColour() { return courseClearColour ? courseClearColour : kBlack; }

namespace {
void DrawCountdownPicture() {
    if (BeginFrame(RaceClearColour())) {
        DrawRaceWorld(world);
        BeginOverlay();
        if (frameCount < 128)
            DrawAcross(0, kWholeScreenH, static_cast<uint32_t>((256 - 2 * frameCount) % 256) << 24);
        if (frameCount >= 61 && frameCount <= 120) DrawPair(countdownTexts[2], 260, 180, 256, 176);
        if (frameCount >= 121 && frameCount <= 180) DrawPair(countdownTexts[1], 260, 180, 256, 176);
        if (frameCount >= 181 && frameCount <= 240) DrawPair(countdownTexts[0], 260, 180, 256, 176);
        EndFrame();
    }
}

// The pause menu's cursor as the step drew it (the keys move it after the picture).
int pausePictureCursor = 0;

void DrawPausePicture() {
    const int cursor = pausePictureCursor;
    if (BeginFrame(RaceClearColour())) {
        DrawRaceWorld(world);
        BeginOverlay();
        DrawAcross(0, kWholeScreenH, 0x80000000u);
        DrawRect(204, 228 + 32 * cursor, 460, 252 + 32 * cursor, 0x800000ffu);
        DrawPair(pauseTexts, 244, 104, 240, 100);
        DrawPair(quitQuestionTexts, 181, 201, 180, 200);
        DrawPair(shortBreakTexts, 229, 233, 228, 232);
        DrawPair(quitNowTexts, 213, 265, 212, 264);
        EndFrame();
    }
}
}  // namespace

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

    ShowStepPicture(DrawCountdownPicture);

    frameCount += 1;
    if (frameCount > kCountdownFrames) {
        PlaySound(kSoundSignal2);
        if (programOptions.autopilot) playerControl = DriveAuto;
        SetScene(RaceFrame);
    }
}

// The race frame's order is listed once, in race_scenes.h; the numbers below are its steps.
void RaceStep() {
    RaceState& r = raceState;
    const int laps = std::clamp(CourseLaps(currentCourse), 1, kMaxLaps);
    ClearRumbleCues();

    // 2.
    UpdateOpponents();

    // 3.
    if (r.lapsDone >= laps && !r.demonstration) {
        if (!r.finished) {
            CrossFinalLine();
        } else {
            const FinishLook look = FinishLookAt(frameCount);
            if (look.over) {
                r.phase = RacePhase::kFinishOver;
                return;
            }
            ShowFinishText(look.text, laps);
        }
    }

    // 4.
    r.steerInput = 0;
    r.gasHeld = r.brakeHeld = 0;
    playerControl(&r.gasHeld, &r.brakeHeld);

    // 5.
    LimitSpeed();

    // 6.
    PlaceAndMoveCar();
    CarContacts();

    // 7.
    UpdateProgress();
    EdgeContacts();

    // 8.
    r.wheelSpin += r.speed / 12.0f;
    r.lift = RandomLift();
    r.pose = PlayerPose(r.lift);
    PickUpCrystals();

    // 9.
    r.rank = CurrentRank();

    // 10.
    UpdateRaceCamera(r.pose.body, r.lift, r.demonstration ? 0 : viewType);

    // 11.
    ThrowDriftSparks(r.pose.body);

    // 12.
    world = RaceWorldAt(frameCount, true, viewType == 0 || r.finished || r.demonstration, r.pose, r.gasHeld != 0);
    if (courseStepProc) courseStepProc(world.course);
    TurnCrystals();
    if (world.player) AdvanceSparks();

    // 13.
    if (UpdateTimers()) {
        FadeOutTune(kMusicFadeOnFailure);
        SetScene(TimeUpFrame);
        r.phase = RacePhase::kFailed;
    }

    // 14.
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

    // 15.
    AdvanceBigText();
}

void RaceFrame() {
    RaceState& r = raceState;
    // 1.
    ReadControls();
    // 2-15.
    RaceStep();
    // The pad feels the frame's hits and boost while the race runs, and stops once it is over.
    SendRumbleCues(r.phase == RacePhase::kRunning && !r.finished && !r.demonstration);

    // 16.
    ShowStepPicture(DrawRacePicture);

    if (r.phase == RacePhase::kFinishOver) {
        EndFinishSequence();
        return;
    }

    // 17.
    if (controls.view.pressed) viewType = 1 - viewType;
    if (controls.pause.pressed) {
        if (r.phase == RacePhase::kRunning) {
            if (r.lapsDone >= 0) PauseTune();
            r.pauseCursor = 0;
            r.phase = RacePhase::kPaused;
            StopRaceRumble();
            SetScene(PauseFrame, frameCount);
        } else if (r.phase == RacePhase::kFinishing && FinishLookAt(frameCount).skippable) {
            // Whatever text is up shows one last frame; the curtains start closing next frame.
            r.bigTextTimer = 1;
            frameCount = kFinishCurtainsFrame;
            return;
        }
    }

    // 18.
    frameCount += 1;
}

void PauseFrame() {
    RaceState& r = raceState;
    ReadControls();
    StandingWorld(PlayerPose(0.0f), viewType == 0, false);

    pausePictureCursor = r.pauseCursor;
    ShowStepPicture(DrawPausePicture);

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
    StopRaceRumble();
    ResetRace();
    if (raceExits.titleSetUp) raceExits.titleSetUp();
    SetScene(raceExits.titleFrame ? raceExits.titleFrame : BlackFrame);
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
        SetScene(CountdownFrame, 1);
        return;
    }
    SetScene(PreRaceFrame);
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
