#include "race/race_scenes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "courses/course_setup.h"
#include "courses/course_table.h"
#include "framework/debug_log.h"
#include "framework/draw2d.h"
#include "framework/frame_stats.h"
#include "framework/graphics_device.h"
#include "framework/input.h"
#include "framework/switches.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_camera.h"
#include "race/race_hud.h"
#include "race/race_music.h"
#include "race/race_state.h"
#include "race/replay.h"
#include "game/asset_tables.h"
#include "game/pad_config.h"
#include "game/scene_flow.h"
#include "game/settings.h"

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

uint32_t RaceClearColour() { return courseClearColour ? courseClearColour : kBlack; }

bool KeyPressed(int code) { return KeyState(code) == 2; }
bool PadPressed(int input) { return PadState(0, input) == 2; }

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

// The cars as they stand: opponents, then the player's car (unless seen from its cockpit).
void DrawStandingCars(bool drawPlayer, float lift) {
    DrawOpponents();
    PoseCarParts(lift);
    if (drawPlayer) DrawPlayerCar(false);
    UnposeCarParts(lift);
}

// The world of a race scene: the course's scenery between the camera and the cars.
void DrawCourse() {
    SetSceneTransforms();
    if (courseFrameProc) courseFrameProc();
    SetSceneTransforms();
}

// The race is over for this run: stats, and the --exit-after-race switch.
void RaceOver() {
    ReportRaceStats();
    if (programOptions.exitAfterRace) CloseMainWindow();
}

void EndFinishSequence() {
    RaceState& r = raceState;
    frameCount = 2;
    RaceOver();
    if (raceExits.replayFrame) {
        frameProc = raceExits.replayFrame;
        return;
    }
    Log("race: course %d finished, rank %d\n", currentCourse, r.finalRank);
    GoToTitle();
}

void FinishBookkeeping(int laps) {
    RaceState& r = raceState;
    if (!r.finished) {
        if (FinishRace()) {
            frameCount = 0;
            FadeCourseMusic(kMusicFadeOnFailure);
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
    if (frameCount >= kRankTextFrom && frameCount <= kRankTextTo) {
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
    if (BeginFrame(RaceClearColour())) {
        FailureCamera(frameCount);
        DrawCourse();
        DrawStandingCars(true, 0.0f);
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

// Part of loading a race: everything the countdown and the race frames draw (course, crystals,
// cars, the fade, the countdown numbers, mini map, HUD and place numbers) is drawn once into the
// hidden frame and not shown. The renderer builds its pipelines for these draws here, so the
// first frames of the countdown and of the race keep their 60 frames per second. Nothing of the
// race changes: the crystals are not turned and the big text keeps its timer.
void DrawRaceOnce() {
    if (!BeginFrame(RaceClearColour())) return;
    CountdownCamera(1, 0.0f);
    SetSceneTransforms();
    DrawCourse();
    DrawStillCrystals();
    DrawOpponents();
    DrawPlayerCar(true);
    BeginOverlay();
    DrawRect(0, 0, kWholeScreenW, kWholeScreenH, 0x80000000u);
    DrawPair(countdownTexts[0], 260, 180, 256, 176);
    DrawMiniMap();
    const int bigTextTimer = raceState.bigTextTimer;
    DrawHud(1);
    raceState.bigTextTimer = bigTextTimer;
    DrawOpponentNumbers(1);
    device->EndScene();
    device->Flush();
}

void ResumeRace() {
    PlaySound(kSoundAccept);
    if (raceState.lapsDone >= 0) ResumeCourseMusic();
    frameProc = RaceFrame;
}
}  // namespace

void SetSceneTransforms() {
    viewMatrix = raceViewMatrix;
    D3DXMatrixInverse(&cameraMatrix, nullptr, &viewMatrix);
    screenMatrix = viewMatrix * projectionMatrix * viewportMatrix;
    D3DXMatrixInverse(&inverseScreenMatrix, nullptr, &screenMatrix);
    if (!device) return;
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
    device->SetTransform(D3DTS_VIEW, &raceViewMatrix);
    device->SetTransform(D3DTS_PROJECTION, &projectionMatrix);
}

bool RacePaused() { return frameProc == PauseFrame; }

void CountdownFrame() {
    RaceState& r = raceState;
    const bool drawn = BeginFrame(RaceClearColour());
    if (drawn) SetSceneTransforms();

    // The rocket start: gas pressed inside a window and held until the start.
    if (GasJustPressed()) {
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
    } else if (!GasHeld() && !r.startTry) {
        r.speed = 0.0f;
    }

    // The engine revs and the car shakes while the gas is down.
    float lift = 0.0f;
    if (GasHeld()) {
        KeepSoundPlaying(kSoundEngine);
        lift = RandomLift();
    }

    if (drawn) {
        PoseCarParts(lift);
        CountdownCamera(frameCount, lift);
        UnposeCarParts(lift);
        DrawCourse();
        DrawStandingCars(true, lift);

        BeginOverlay();
        if (frameCount < 128)
            DrawRect(0, 0, kWholeScreenW, kWholeScreenH, static_cast<uint32_t>((256 - 2 * frameCount) % 256) << 24);
        if (frameCount >= 61 && frameCount <= 120) DrawPair(countdownTexts[2], 260, 180, 256, 176);
        if (frameCount >= 121 && frameCount <= 180) DrawPair(countdownTexts[1], 260, 180, 256, 176);
        if (frameCount >= 181 && frameCount <= 240) DrawPair(countdownTexts[0], 260, 180, 256, 176);
    }
    if (frameCount == 60 || frameCount == 120 || frameCount == 180) PlaySound(kSoundSignal1);
    if (drawn) EndFrame();

    frameCount += 1;
    if (frameCount > kCountdownFrames) {
        PlaySound(kSoundSignal2);
        frameCount = 0;
        if (programOptions.autopilot) playerControl = DriveAuto;
        frameProc = RaceFrame;
    }
}

// The race frame. Its order is fixed and every step depends on the ones before it:
//   1. begin the frame, hand over the matrices        12. the course's scenery between two
//   2. the opponents drive                                 hand-overs of the matrices
//   3. the finish bookkeeping and sequence           13. crystals, opponents, the player's car,
//   4. the controller sets gas, brake, steering          then the car's pose is undone
//   5. speed limits and sideways decay                 14. timers (time up ends the race)
//   6. the car is placed, moved, and pushed by        15. the replay records this frame
//      the opponents                                  16. mini map and HUD
//   7. progress, lap crossings, walls, glue           17. the blinking skip line after the finish
//   8. wheels, the car's pose, crystal pick-up        18. the place numbers over the opponents
//   9. the player's rank                              19. end the frame
//  10. the camera                                     20. view change (shows from the next frame)
//  11. drift sparks                                   21. pause, or skip the finish sequence
//                                                     22. count the frame
void RaceFrame() {
    RaceState& r = raceState;
    const int laps = std::clamp(CourseLaps(currentCourse), 1, kMaxLaps);
    const bool drawn = BeginFrame(RaceClearColour());
    if (drawn) SetSceneTransforms();

    UpdateOpponents();

    bool curtains = false;
    if (r.lapsDone >= laps) {
        FinishBookkeeping(laps);
        if (r.finished && frameCount > kCurtainsTo) {
            if (drawn) {
                BeginOverlay();
                DrawRect(0, 0, kWholeScreenW, kWholeScreenH, kBlack);
                EndFrame();
            }
            EndFinishSequence();
            return;
        }
        curtains = frameCount > kCurtainsFrom;
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
    PoseCarParts(r.lift);
    PickUpCrystals();

    const int rank = CurrentRank();

    UpdateRaceCamera(r.lift);

    DriftSparks();

    if (drawn) {
        DrawCourse();
        DrawCrystals();
        DrawOpponents();
        if (viewType == 0 || r.finished) DrawPlayerCar(r.gasHeld != 0);
    }
    UnposeCarParts(r.lift);

    if (UpdateTimers()) {
        frameCount = 0;
        FadeCourseMusic(kMusicFadeOnFailure);
        frameProc = TimeUpFrame;
    }

    if (!r.finished) {
        RecordFrame(frameCount, r.gasHeld, r.steerInput);
    } else if (r.replayEnd < kLastReplayFrame) {
        RecordFrame(frameCount + r.replayEnd - kReplayLeadOut, r.gasHeld, r.steerInput);
    }
    ReportRaceStats();

    if (drawn) {
        BeginOverlay();
        if (miniMap != 0 && !r.finished) DrawMiniMap();
        DrawHud(rank);
        if (r.finished && frameCount > kSkipFrom && frameCount < kCurtainsFrom && frameCount % 71 < 35) {
            BeginOverlay();
            DrawPair(skipTexts, 282, 422, 280, 420);
        }
        if (!r.finished) DrawOpponentNumbers(rank);
        if (curtains) DrawCurtains();
        EndFrame();
    }

    if (KeyPressed(DIK_V) || PadPressed(padButtons[kPadView])) viewType = 1 - viewType;

    if (KeyPressed(DIK_Q) || PadPressed(padButtons[kPadPause])) {
        if (!r.finished) {
            if (frameProc == RaceFrame) {
                if (r.lapsDone >= 0) PauseCourseMusic();
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
    if (BeginFrame(RaceClearColour())) {
        DrawCourse();
        DrawStandingCars(viewType == 0, 0.0f);
        BeginOverlay();
        DrawRect(0, 0, kWholeScreenW, kWholeScreenH, 0x80000000u);
        DrawRect(204, 228 + 32 * r.pauseCursor, 460, 252 + 32 * r.pauseCursor, 0x800000ffu);
        DrawPair(pauseTexts, 244, 104, 240, 100);
        DrawPair(quitQuestionTexts, 181, 201, 180, 200);
        DrawPair(shortBreakTexts, 229, 233, 228, 232);
        DrawPair(quitNowTexts, 213, 265, 212, 264);
        EndFrame();
    }

    if (KeyPressed(DIK_UP) || KeyPressed(DIK_DOWN) || KeyPressed(DIK_NUMPAD8) || KeyPressed(DIK_NUMPAD5) ||
        PadPressed(kPadUp) || PadPressed(kPadDown)) {
        PlaySound(kSoundSlide);
        r.pauseCursor = 1 - r.pauseCursor;
    }
    if (KeyPressed(DIK_Z) || KeyPressed(DIK_A) || PadPressed(padButtons[kPadGas])) {
        if (r.pauseCursor == 0) {
            ResumeRace();
        } else {
            PlaySound(kSoundCansel);
            RaceOver();
            GoToTitle();
        }
        return;
    }
    if (KeyPressed(DIK_Q) || KeyPressed(DIK_X) || KeyPressed(DIK_S) || PadPressed(padButtons[kPadBrake]) ||
        PadPressed(padButtons[kPadPause]))
        ResumeRace();
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
    ConnectCourseLinks();
    ResetRace();
    if (!SetUpCourse(course)) return false;
    // The grid: the car stands upright facing world +z on its start section.
    OrientOnTrack(playerBody, 0.0f);
    GlueToSurface();
    DrawRaceOnce();
    return true;
}

void SetUpFirstCourse() {
    ConnectCourseLinks();
    SetUpCourse(1);
}

void StartCourseFromSwitch(int course) {
    if (!PrepareRace(course)) {
        Log("race: course %d cannot be raced; going to the title\n", course);
        RaceOver();
        GoToTitle();
        return;
    }
    Log("race: course %d from the command line\n", course);
    frameCount = 1;
    frameProc = CountdownFrame;
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
