// Pads as a player uses them, through SDL's virtual joysticks: a game controller read by its
// layout (D-pad, stick, triggers, the face buttons in their places), a raw joystick as before, a
// layout added from gamecontrollerdb.txt, the player's dead zone; and in a race, a pad plugged in
// and out while driving: the D-pad steers, and an unplugged pad lets go of the gas.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/input.h"
#include "framework/switches.h"
#include "game/controls.h"
#include "platform/system.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"

namespace {

// A pad SDL knows the layout of: every controller button and axis, numbered as SDL numbers them.
int AttachController() {
    SDL_VirtualJoystickDesc d;
    SDL_zero(d);
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    d.naxes = SDL_CONTROLLER_AXIS_MAX;
    d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    d.name = "Test Pad";
    return SDL_JoystickAttachVirtualEx(&d);
}

// A pad SDL knows nothing of: three axes, eight buttons and a hat.
int AttachRawJoystick() { return SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 3, 8, 1); }

// The device index of a virtual pad by its instance.
SDL_Joystick* Handle(int deviceIndex) {
    SDL_Joystick* j = SDL_JoystickOpen(deviceIndex);
    EXPECT_NE(j, nullptr) << SDL_GetError();
    return j;
}

class PadTest : public ::testing::Test {
protected:
    std::string home, logPath;
    std::vector<SDL_Joystick*> handles;
    void SetUp() override {
        home = MakeTempDir();
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        logPath = home + "/debug.txt";
        SetLogFilePath(logPath.c_str());
        programOptions = ProgramOptions{};
        padDeadZone.value = padDeadZone.defaultValue;
        ASSERT_TRUE(SysInit(true));
        frameNumber = 0;
    }
    void TearDown() override {
        for (SDL_Joystick* j : handles) SDL_JoystickClose(j);
        FreeInput();
        while (SDL_NumJoysticks() > 0 && SDL_JoystickIsVirtual(0)) SDL_JoystickDetachVirtual(0);
        SysShutdown();
        SetLogFilePath("");
        padDeadZone.value = padDeadZone.defaultValue;
    }
    SDL_Joystick* Open(int device) {
        handles.push_back(Handle(device));
        return handles.back();
    }
    void Frame() {
        UpdateInput();
        ++frameNumber;
    }
    bool On(int input) { return PadState(0, input) >= 2; }
};

}  // namespace

TEST_F(PadTest, AControllerIsReadByItsLayout) {
    const int device = AttachController();
    ASSERT_GE(device, 0) << SDL_GetError();
    ASSERT_TRUE(InitDirectInput());
    SetPadsEnabled(true);
    SDL_Joystick* j = Open(device);
    EXPECT_NE(ReadFile(logPath).find("ジョイスティック[0] = Test Pad (game controller)"), std::string::npos);
    // Released triggers rest at the low end of their axis.
    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);

    // The face buttons, shoulders, back and start are buttons 1 to 8 in that order.
    const SDL_GameControllerButton order[] = {
        SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_X,
        SDL_CONTROLLER_BUTTON_Y, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
        SDL_CONTROLLER_BUTTON_BACK, SDL_CONTROLLER_BUTTON_START};
    for (int b = 0; b < 8; ++b) {
        SDL_JoystickSetVirtualButton(j, order[b], 1);
        Frame();
        for (int i = 0; i < 8; ++i) EXPECT_EQ(On(kPadButton1 + i), i == b) << "button " << b << " reads " << i;
        SDL_JoystickSetVirtualButton(j, order[b], 0);
    }
    // The D-pad and the stick are the directions; the D-pad wins over a stick held the other way.
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_DPAD_UP, 1);
    Frame();
    EXPECT_TRUE(On(kPadLeft));
    EXPECT_FALSE(On(kPadRight));
    EXPECT_TRUE(On(kPadUp));
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0);
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_DPAD_UP, 0);
    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTY, 32767);
    Frame();
    EXPECT_TRUE(On(kPadRight));
    EXPECT_TRUE(On(kPadDown));
    EXPECT_FALSE(On(kPadUp));
    // The triggers are the z axis: left above, right below.
    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    Frame();
    EXPECT_TRUE(On(kPadZAbove));
    EXPECT_FALSE(On(kPadZBelow));
    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    Frame();
    EXPECT_TRUE(On(kPadZBelow));
    EXPECT_FALSE(On(kPadZAbove));
}

TEST_F(PadTest, TheStickCountsBeyondThePlayersDeadZone) {
    const int device = AttachController();
    ASSERT_GE(device, 0);
    ASSERT_TRUE(InitDirectInput());
    SetPadsEnabled(true);
    SDL_Joystick* j = Open(device);
    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTX, 32767 * 3 / 10);  // about 300 of 1000
    Frame();
    EXPECT_FALSE(On(kPadRight));  // the designed 500
    padDeadZone.value = 200;
    Frame();
    EXPECT_TRUE(On(kPadRight));
}

TEST_F(PadTest, ARawJoystickWorksAsBeforeAndGamecontrollerdbGivesItALayout) {
    int device = AttachRawJoystick();
    ASSERT_GE(device, 0);
    ASSERT_TRUE(InitDirectInput());
    SetPadsEnabled(true);
    SDL_Joystick* j = Open(device);
    EXPECT_NE(ReadFile(logPath).find("(joystick)"), std::string::npos);
    SDL_JoystickSetVirtualButton(j, 3, 1);
    SDL_JoystickSetVirtualHat(j, 0, SDL_HAT_LEFT);
    Frame();
    EXPECT_TRUE(On(kPadButton1 + 3));  // its own fourth button
    EXPECT_TRUE(On(kPadLeft));         // the hat is a direction too
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(j), guid, sizeof(guid));
    // Mapping databases write the GUID without the name's checksum (characters 4 to 7).
    for (int i = 4; i < 8; ++i) guid[i] = '0';
    for (SDL_Joystick* h : handles) SDL_JoystickClose(h);
    handles.clear();
    FreeInput();  // the pad service goes, and the virtual pad with it

    // The player's gamecontrollerdb.txt says its fourth button is the south button.
    mkdir((home + "/korvan").c_str(), 0700);
    std::ofstream(home + "/korvan/gamecontrollerdb.txt")
        << "# a pad SDL does not know\n"
        << guid << ",Test Wheel,a:b3,b:b2,x:b1,y:b0,back:b4,start:b5,leftx:a0,lefty:a1,platform:Linux,\n";
    device = AttachRawJoystick();  // the same model again
    ASSERT_TRUE(InitDirectInput());
    SetPadsEnabled(true);
    j = Open(device);
    EXPECT_NE(ReadFile(logPath).find("pad mappings: 1 from " + home + "/korvan/gamecontrollerdb.txt"),
              std::string::npos)
        << ReadFile(logPath);
    SDL_JoystickSetVirtualButton(j, 3, 1);
    Frame();
    Frame();
    EXPECT_TRUE(On(kPadButton1));
    EXPECT_FALSE(On(kPadButton1 + 3));
}

TEST_F(PadTest, PadsComeAndGoAndTheFirstIsAlwaysPadZero) {
    ASSERT_TRUE(InitDirectInput());
    SetPadsEnabled(true);
    Frame();
    EXPECT_EQ(padCount, 0);
    const int first = AttachController();
    Frame();
    EXPECT_EQ(padCount, 1);
    SDL_Joystick* a = Open(first);
    SDL_JoystickSetVirtualButton(a, SDL_CONTROLLER_BUTTON_A, 1);
    Frame();
    EXPECT_TRUE(On(kPadButton1));
    EXPECT_NE(ReadFile(logPath).find("ジョイスティック[0] = Test Pad (game controller) plugged in"), std::string::npos);
    // A second pad goes to slot 1; the first one leaves and comes back to slot 0.
    AttachController();
    Frame();
    EXPECT_EQ(padCount, 2);
    SDL_JoystickClose(a);
    handles.clear();
    ASSERT_EQ(SDL_JoystickDetachVirtual(first), 0);
    Frame();
    EXPECT_EQ(PadState(0, kPadButton1), 1);
    EXPECT_EQ(padCount, 1);
    const int again = AttachController();
    Frame();
    EXPECT_EQ(padCount, 2);
    SDL_Joystick* b = Open(again);
    SDL_JoystickSetVirtualButton(b, SDL_CONTROLLER_BUTTON_START, 1);
    Frame();
    EXPECT_TRUE(On(kPadButton1 + 7));
    EXPECT_NE(ReadFile(logPath).find("ジョイスティック[0]を再取得しました.\n"), std::string::npos);
}

// A whole race in a process of its own: the player drives (no automatic driver).
namespace {

struct Drive {
    float speedBefore = 0, speedWithGas = 0, speedAfterUnplug = 0, speedAfterReplug = 0;
    float headingStraight = 0, headingLeft = 0;
    bool gasHeld = false, leftHeld = false, gasAfterUnplug = true, gasReleasedOnce = false;
};

bool StartRace() {
    setenv("XDG_RUNTIME_DIR", MakeTempDir().c_str(), 1);
    SetLogFilePath((MakeTempDir() + "/debug.txt").c_str());
    if (chdir(MakeRunDir().c_str()) != 0) return false;
    programOptions = ProgramOptions{};
    programOptions.headless = true;
    programOptions.unpaced = true;
    programOptions.course = 1;
    programOptions.seedGiven = true;
    programOptions.seed = 5;
    if (!InitApplication()) return false;
    GameBoot();
    return true;
}

void Frames(int n) {
    for (int i = 0; i < n && PumpMessages(); ++i) RunFrame();
}

int DriveWithAPad(void* context) {
    Drive& d = *static_cast<Drive*>(context);
    if (!StartRace()) return 10;
    for (int i = 0; i < 2000 && frameProc != RaceFrame; ++i) Frames(1);
    if (frameProc != RaceFrame) return 11;
    Frames(30);
    d.speedBefore = raceState.speed;

    // Plugged in during the race: the south button is the gas (button 1).
    const int device = AttachController();
    Frames(1);
    SDL_Joystick* j = SDL_JoystickOpen(device);
    if (!j) return 12;
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_A, 1);
    Frames(90);
    d.gasHeld = controls.gas.held;
    d.speedWithGas = raceState.speed;
    d.headingStraight = raceState.heading;
    // The D-pad steers.
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
    Frames(30);
    d.leftHeld = controls.left.held;
    d.headingLeft = raceState.heading;

    // Pulled out with the gas and the D-pad still held down.
    SDL_JoystickClose(j);
    SDL_JoystickDetachVirtual(device);
    Frames(1);
    d.gasReleasedOnce = PadState(0, kPadButton1) == 1;
    Frames(60);
    d.gasAfterUnplug = controls.gas.held || controls.left.held;
    d.speedAfterUnplug = raceState.speed;

    // Plugged in again, the race goes on with it.
    const int again = AttachController();
    Frames(1);
    j = SDL_JoystickOpen(again);
    if (!j) return 13;
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_A, 1);
    Frames(60);
    d.speedAfterReplug = raceState.speed;
    SDL_JoystickClose(j);
    StopGameInProcess(true);
    return 0;
}

}  // namespace

TEST(PadRace, PluggedInMidRaceItDrivesSteersAndLetsGoWhenPulledOut) {
    // The results come back through shared memory: the race runs in a child process.
    Drive* d = static_cast<Drive*>(mmap(nullptr, sizeof(Drive), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(d, MAP_FAILED);
    new (d) Drive();
    ASSERT_EQ(RunInChildProcess(DriveWithAPad, d), 0);
    std::printf("speed: %.2f at the start, %.2f with the pad's gas, %.2f a second after unplugging, %.2f with the "
                "pad back; the D-pad turned the car %.3f rad in half a second\n",
                d->speedBefore, d->speedWithGas, d->speedAfterUnplug, d->speedAfterReplug,
                std::fabs(d->headingLeft - d->headingStraight));
    EXPECT_TRUE(d->gasHeld);
    EXPECT_GT(d->speedWithGas, d->speedBefore + 1.0f) << d->speedBefore << " -> " << d->speedWithGas;
    EXPECT_TRUE(d->leftHeld);
    EXPECT_GT(std::fabs(d->headingLeft - d->headingStraight), 0.05f);
    EXPECT_TRUE(d->gasReleasedOnce);
    EXPECT_FALSE(d->gasAfterUnplug);
    EXPECT_LT(d->speedAfterUnplug, d->speedWithGas);
    EXPECT_GT(d->speedAfterReplug, d->speedAfterUnplug);
    munmap(d, sizeof(Drive));
}
