// The pad's rumble in a race, felt through SDL's virtual joystick and its rumble callback: a boost,
// a wall hit and a collision with a computer car each give their pulse (the collision hardest, the
// boost softest and longest); nothing while paused, in the finish sequence or the replay; the pad
// stopped at once on the pause and at the race's end. With input.rumble off, and for a pad without
// rumble, nothing at all, logged once.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "courses/course_table.h"
#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/frame_pacer.h"
#include "framework/input.h"
#include "framework/placement.h"
#include "framework/switches.h"
#include "game/scene_flow.h"
#include "race/opponents.h"
#include "race/player_vehicle.h"
#include "race/race_rumble.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "race/replay_player.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"

namespace {

// What the test was doing when the pad was told to rumble.
enum Stage { kBoot, kBoost, kWall, kCollision, kPaused, kFinish, kReplay, kStageCount };

struct Motor {
    int stage;
    uint32_t frame, ticks;
    uint16_t low, high;
};

struct Record {
    int count = 0;
    Motor calls[4000];
    int stage = kBoot;
    int pauseFrame = -1, finishFrame = -1;
    bool reachedReplay = false;
    int result = 0;
};
Record* record = nullptr;

int SDLCALL Rumble(void*, Uint16 low, Uint16 high) {
    if (record && record->count < 4000) {
        record->calls[record->count++] = Motor{record->stage, frameNumber, SDL_GetTicks(), low, high};
    }
    return 0;
}

int AttachPad(bool withRumble) {
    SDL_VirtualJoystickDesc d;
    SDL_zero(d);
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    d.naxes = SDL_CONTROLLER_AXIS_MAX;
    d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    d.name = withRumble ? "Rumble Pad" : "Still Pad";
    if (withRumble) d.Rumble = Rumble;
    return SDL_JoystickAttachVirtualEx(&d);
}

// Course 1 straight at its countdown, the player at the wheel, frames at the real pace.
bool StartRace(const std::string& log) {
    setenv("XDG_RUNTIME_DIR", MakeTempDir().c_str(), 1);
    setenv("XDG_CONFIG_HOME", MakeTempDir().c_str(), 1);
    setenv("XDG_DATA_HOME", MakeTempDir().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SetLogFilePath(log.c_str());
    if (chdir(MakeRunDir().c_str()) != 0) return false;
    programOptions = ProgramOptions{};
    programOptions.headless = true;
    programOptions.course = 1;
    programOptions.skipIntro = true;
    programOptions.unpaced = true;
    programOptions.seedGiven = true;
    programOptions.seed = 11;
    if (!InitApplication()) return false;
    GameBoot();
    return true;
}

void Frames(int n) {
    for (int i = 0; i < n && PumpMessages(); ++i) RunFrame();
}

void Button(SDL_Joystick* j, SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(j, b, down ? 1 : 0); }

// A press of one frame and its release.
void Tap(SDL_Joystick* j, SDL_GameControllerButton b) {
    Button(j, b, true);
    Frames(2);
    Button(j, b, false);
    Frames(1);
}

int PulsesIn(int stage) {
    int n = 0;
    for (int i = 0; i < record->count; ++i) n += record->calls[i].stage == stage && record->calls[i].low > 0;
    return n;
}

bool StopSince(int from) {
    for (int i = from; i < record->count; ++i)
        if (record->calls[i].low == 0 && record->calls[i].high == 0) return true;
    return false;
}

// A computer car put standing right in the player's way until the two meet (the player's car
// stops dead, or the pad's pulse tells); false when they never did.
void StandInTheWay() {
    Opponent& o = opponents[0];
    o.placement = raceState.placement;
    MoveLocal(o.placement, 0.0f, 0.0f, 15.0f);
    o.section = raceState.section;
    o.half = raceState.half;
    o.speed = 0.0f;
    o.topSpeed = 0.0f;
}

bool HitAnOpponent() {
    for (int i = 0; i < 300 && raceState.speed < 10.0f; ++i) Frames(1);
    for (int i = 0; i < 200; ++i) {
        if (i % 20 == 0) StandInTheWay();
        const int before = record->count;
        const float speed = raceState.speed;
        Frames(1);
        bool hit = speed > 4.0f && raceState.speed < 0.5f * speed;
        for (int k = before; k < record->count; ++k) hit = hit || record->calls[k].low > 0;
        if (hit) {
            MoveLocal(opponents[0].placement, 0.0f, 0.0f, -1000.0f);  // out of the way again
            return true;
        }
    }
    return false;
}

int RaceWithARumblePad(void*) {
    Record& r = *record;
    if (!StartRace(MakeTempDir() + "/debug.txt")) return 10;
    const int device = AttachPad(true);
    Frames(1);
    SDL_Joystick* j = SDL_JoystickOpen(device);
    if (!j) return 11;
    for (int i = 0; i < 600 && frameProc != RaceFrame; ++i) Frames(1);
    if (frameProc != RaceFrame) return 12;

    // At the real pace, so the pulses' lengths show: away on the gas, a boost from the stock.
    framePacer.sleeping = true;
    RestartSchedule(framePacer);
    Button(j, SDL_CONTROLLER_BUTTON_A, true);
    Frames(30);
    r.stage = kBoost;
    raceState.boostStock = 1;
    int from = r.count;
    Tap(j, SDL_CONTROLLER_BUTTON_X);
    for (int i = 0; i < 60 && !StopSince(from); ++i) Frames(1);

    // Steered into the wall until it bumps, then away from it.
    r.stage = kWall;
    Button(j, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    for (int i = 0; i < 400 && PulsesIn(kWall) == 0; ++i) Frames(1);
    Button(j, SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    Button(j, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    Frames(8);
    Button(j, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    from = r.count;
    for (int i = 0; i < 60 && !StopSince(from); ++i) Frames(1);

    // The automatic driver keeps the car on the road from here, up to speed; a car standing in
    // its way.
    framePacer.sleeping = false;
    r.stage = kBoot;
    playerControl = DriveAuto;
    Frames(150);
    r.stage = kCollision;
    if (!HitAnOpponent()) return 13;
    r.stage = kBoot;
    Frames(150);

    // Paused in the middle of a pulse: the pad stops, and stays still however long the pause lasts.
    if (!HitAnOpponent()) return 14;
    Button(j, SDL_CONTROLLER_BUTTON_Y, true);
    Frames(1);
    r.pauseFrame = static_cast<int>(frameNumber) - 1;
    r.stage = kPaused;
    Button(j, SDL_CONTROLLER_BUTTON_Y, false);
    Frames(90);
    if (frameProc != PauseFrame) return 15;
    r.stage = kBoot;
    Tap(j, SDL_CONTROLLER_BUTTON_B);  // Go Back resumes
    if (frameProc != RaceFrame) return 16;
    Frames(150);

    // The final line crossed in the middle of a pulse: the pad stops there, and the finish
    // sequence (the automatic driver meets whatever it meets) and the replay stay still.
    if (!HitAnOpponent()) return 17;
    raceState.lapsDone = CourseLaps(currentCourse);
    Frames(1);
    r.finishFrame = static_cast<int>(frameNumber) - 1;
    r.stage = kFinish;
    for (int i = 0; i < 8; ++i) {
        Frames(40);
        StandInTheWay();  // and it runs into a standing car now and then
    }
    Frames(80);
    Tap(j, SDL_CONTROLLER_BUTTON_Y);  // skips to the curtains
    for (int i = 0; i < 400 && frameProc != ReplayFrame; ++i) Frames(1);
    r.stage = kReplay;
    r.reachedReplay = frameProc == ReplayFrame;
    Frames(300);
    SDL_JoystickClose(j);
    StopGameInProcess(true);
    return 0;
}

// A pad without rumble, then a rumble pad while input.rumble is off, then one pulled out in the
// middle of a pulse: nothing reaches a motor but the one pulse, and the log tells of the pad
// without rumble once.
int PadsThatGetNothing(void*) {
    Record& r = *record;
    const std::string log = MakeTempDir() + "/debug.txt";
    if (!StartRace(log)) return 10;
    int device = AttachPad(false);
    Frames(1);
    for (int i = 0; i < 600 && frameProc != RaceFrame; ++i) Frames(1);
    if (frameProc != RaceFrame) return 12;
    playerControl = DriveAuto;
    Frames(30);
    for (int n = 0; n < 3; ++n) {
        if (!HitAnOpponent()) return 14;
        Frames(60);
    }
    r.result = CountOf(ReadFile(log), "no rumble");
    SDL_JoystickDetachVirtual(device);
    Frames(2);

    device = AttachPad(true);
    Frames(2);
    padRumble.value = kRumbleOff;
    for (int n = 0; n < 3; ++n) {
        if (!HitAnOpponent()) return 15;
        Frames(60);
    }
    r.pauseFrame = r.count;  // calls while off
    padRumble.value = kRumbleOn;
    r.stage = kCollision;
    if (!HitAnOpponent()) return 13;
    SDL_JoystickDetachVirtual(device);  // mid-pulse
    r.stage = kFinish;
    for (int n = 0; n < 3; ++n) {
        if (!HitAnOpponent()) return 16;
        Frames(60);
    }
    r.result = r.result * 100 + CountOf(ReadFile(log), "no rumble");
    StopGameInProcess(true);
    return 0;
}

Record* SharedRecord() {
    void* at = mmap(nullptr, sizeof(Record), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return at == MAP_FAILED ? nullptr : new (at) Record();
}

}  // namespace

TEST(PadRumble, HitsAndBoostsPulseInTheRaceAndNowhereElse) {
    record = SharedRecord();
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(RunInChildProcess(RaceWithARumblePad, nullptr), 0);
    const Record& r = *record;
    // The strongest pulse of each stage, and the lengths of those that ran out (the pad was next
    // told to stop by SDL's clock).
    uint16_t strongest[kStageCount] = {};
    uint16_t boostHigh = 1;
    uint32_t longest[kStageCount] = {}, shortest[kStageCount] = {};
    for (int i = 0; i < r.count; ++i) {
        const Motor& m = r.calls[i];
        if (m.low == 0) continue;
        strongest[m.stage] = std::max(strongest[m.stage], m.low);
        if (m.stage == kBoost) boostHigh = m.high;
        if (i + 1 < r.count && r.calls[i + 1].low == 0 && r.calls[i + 1].high == 0) {
            const uint32_t ms = r.calls[i + 1].ticks - m.ticks;
            longest[m.stage] = std::max(longest[m.stage], ms);
            shortest[m.stage] = shortest[m.stage] ? std::min(shortest[m.stage], ms) : ms;
        }
    }
    std::printf("strongest: boost %u, wall %u, collision %u of 65535; lengths: boost %u ms, wall %u..%u ms\n",
                strongest[kBoost], strongest[kWall], strongest[kCollision], longest[kBoost], shortest[kWall],
                longest[kWall]);
    // The boost hums softly on the low motor alone, longer than a hit; a car standing in the way
    // stops the player harder than a wall's glancing bump.
    ASSERT_GT(strongest[kBoost], 0);
    ASSERT_GT(strongest[kWall], 0);
    EXPECT_EQ(boostHigh, 0);
    EXPECT_LT(strongest[kBoost], strongest[kWall]);
    EXPECT_GT(strongest[kCollision], strongest[kWall]);
    EXPECT_GE(longest[kBoost], static_cast<uint32_t>(kBoostPulseMs) - 20);
    EXPECT_GE(shortest[kWall], static_cast<uint32_t>(kHitPulseMs) - 20);
    EXPECT_LT(longest[kWall], longest[kBoost]);

    // Stopped in the frame of the pause and in the frame of the finish; still through the pause,
    // the finish sequence and the replay. Nothing before the race.
    auto stopAt = [&](int frame) {
        for (int i = 0; i < r.count; ++i)
            if (static_cast<int>(r.calls[i].frame) == frame && r.calls[i].low == 0 && r.calls[i].high == 0) return true;
        return false;
    };
    EXPECT_TRUE(stopAt(r.pauseFrame)) << r.pauseFrame;
    EXPECT_TRUE(stopAt(r.finishFrame)) << r.finishFrame;
    EXPECT_EQ(PulsesIn(kPaused), 0);
    EXPECT_EQ(PulsesIn(kFinish), 0);
    EXPECT_TRUE(r.reachedReplay);
    EXPECT_EQ(PulsesIn(kReplay), 0);
    for (int i = 0; i < r.count && r.calls[i].stage == kBoot; ++i) EXPECT_EQ(r.calls[i].low, 0) << "before the race";
    munmap(record, sizeof(Record));
    record = nullptr;
}

TEST(PadRumble, OffOrWithoutMotorsNothingAndALogLineOnce) {
    record = SharedRecord();
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(RunInChildProcess(PadsThatGetNothing, nullptr), 0);
    const Record& r = *record;
    EXPECT_EQ(r.result, 101) << "lines telling of the pad without rumble, after it and at the end";
    EXPECT_EQ(r.pauseFrame, 0) << "calls with input.rumble off";
    EXPECT_GE(PulsesIn(kCollision), 1);
    EXPECT_EQ(PulsesIn(kFinish), 0) << "pulses for a pad pulled out";
    munmap(record, sizeof(Record));
    record = nullptr;
}
