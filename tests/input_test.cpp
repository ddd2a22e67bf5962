// Two-bit key and pad states, the pad thresholds and lifecycle (through SDL's virtual joysticks),
// the scan-code table and the quit key.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/input.h"
#include "framework/switches.h"
#include "platform/input_script.h"
#include "platform/system.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

int Count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// A virtual pad with three axes and eight buttons, as SDL offers for tests.
int AttachVirtualPad() { return SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 3, 8, 0); }

// The raw SDL value whose scaled deflection is exactly `target`.
Sint16 RawFor(int target) {
    for (int raw = -32768; raw <= 32767; ++raw) {
        if (InputScaleAxis(raw) == target) return static_cast<Sint16>(raw);
    }
    ADD_FAILURE() << "no raw value scales to " << target;
    return 0;
}

bool closeRequested = false;
void NoteClose(SysEvent e, int, int) {
    if (e == SysEvent::kClose) closeRequested = true;
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPath = std::string(KORVAN_BUILD_DIR) + "/input_test_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
        std::remove(logPath.c_str());
        SetLogFilePath(logPath.c_str());
        programOptions = ProgramOptions{};
        ASSERT_TRUE(SysInit(true));
        frameNumber = 0;
    }
    void TearDown() override {
        FreeInput();
        for (int d : virtualPads) SDL_JoystickDetachVirtual(d);
        SysShutdown();
        SetLogFilePath("");
    }
    // Runs the poll of one frame.
    void Frame() {
        UpdateInput();
        ++frameNumber;
    }
    int AttachPad() {
        int d = AttachVirtualPad();
        EXPECT_GE(d, 0) << SDL_GetError();
        virtualPads.push_back(d);
        return d;
    }
    SDL_Joystick* OpenVirtual(int deviceIndex) {
        // Our own handle on the virtual device, to move its sticks and press its buttons.
        SDL_Joystick* j = SDL_JoystickOpen(deviceIndex);
        EXPECT_NE(j, nullptr) << SDL_GetError();
        return j;
    }
    std::string logPath;
    std::vector<int> virtualPads;
};

TEST_F(InputTest, KeyHeldThreeFramesReadsPressedHeldHeldThenReleasedOnce) {
    std::vector<InputScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseInputScript("0 down Z\n3 up Z\n", events, error)) << error;
    ASSERT_TRUE(InitDirectInput());
    SetInputScript(events);

    std::vector<int> states;
    for (int i = 0; i < 6; ++i) {
        Frame();
        states.push_back(KeyState(DIK_Z));
    }
    EXPECT_EQ(states, (std::vector<int>{2, 3, 3, 1, 0, 0}));
    EXPECT_EQ(KeyState(DIK_X), 0);
    EXPECT_EQ(KeyState(-1), 0);
    EXPECT_EQ(KeyState(256), 0);
}

TEST_F(InputTest, AfterShowMessageAStillHeldKeyReadsJustPressed) {
    std::vector<InputScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseInputScript("0 down SPACE\n0 down PAD0:6\n", events, error)) << error;
    ASSERT_TRUE(InitDirectInput());
    SetPadsEnabled(true);
    SetInputScript(events);
    Frame();
    Frame();
    ASSERT_EQ(KeyState(DIK_SPACE), 3);
    ASSERT_EQ(PadState(0, kPadButton1), 3);

    ShowMessage("test message");  // headless: the text goes to stderr, then the input is cleared
    EXPECT_EQ(KeyState(DIK_SPACE), 0);
    EXPECT_EQ(PadState(0, kPadButton1), 0);
    Frame();
    EXPECT_EQ(KeyState(DIK_SPACE), 2);
    EXPECT_EQ(PadState(0, kPadButton1), 2);
    Frame();
    EXPECT_EQ(KeyState(DIK_SPACE), 3);
}

TEST_F(InputTest, AxisCountsOnlyStrictlyBeyondFiveHundred) {
    InputPadReading r;
    uint8_t bytes[kPadInputs];
    for (int v : {500, -500, 0}) {
        r.x = r.y = r.z = v;
        PadBytesFromReading(r, bytes);
        for (int i = kPadUp; i <= kPadZAbove; ++i) EXPECT_EQ(bytes[i], 0) << "axis value " << v << " input " << i;
    }
    r.x = 501;
    r.y = -501;
    r.z = 501;
    r.buttons[7] = 0x80;
    PadBytesFromReading(r, bytes);
    EXPECT_EQ(bytes[kPadRight], 0x80);
    EXPECT_EQ(bytes[kPadLeft], 0);
    EXPECT_EQ(bytes[kPadUp], 0x80);
    EXPECT_EQ(bytes[kPadDown], 0);
    EXPECT_EQ(bytes[kPadZAbove], 0x80);
    EXPECT_EQ(bytes[kPadZBelow], 0);
    EXPECT_EQ(bytes[kPadButton1 + 7], 0x80);
    EXPECT_EQ(bytes[kPadButton1], 0);
}

TEST_F(InputTest, AxisScaleCoversTheFullRangeMonotonically) {
    EXPECT_EQ(InputScaleAxis(-32768), -1000);
    EXPECT_EQ(InputScaleAxis(32767), 1000);
    EXPECT_EQ(InputScaleAxis(0), 0);
    int last = -1000;
    for (int raw = -32768; raw <= 32767; raw += 7) {
        int v = InputScaleAxis(raw);
        ASSERT_GE(v, last) << raw;
        last = v;
    }
}

TEST_F(InputTest, VirtualPadStickAndButtonsThroughThePoll) {
    const int device = AttachPad();
    ASSERT_TRUE(InitDirectInput());
    EXPECT_EQ(padCount, 1);
    EXPECT_NE(ReadAll(logPath).find("ジョイスティック数 = 1\n"), std::string::npos);
    SDL_Joystick* j = OpenVirtual(device);
    SetPadsEnabled(true);

    SDL_JoystickSetVirtualAxis(j, 0, RawFor(500));
    SDL_JoystickSetVirtualAxis(j, 1, RawFor(-500));
    Frame();
    EXPECT_EQ(PadState(0, kPadRight), 0);
    EXPECT_EQ(PadState(0, kPadUp), 0);

    SDL_JoystickSetVirtualAxis(j, 0, RawFor(501));
    SDL_JoystickSetVirtualAxis(j, 1, RawFor(-501));
    SDL_JoystickSetVirtualButton(j, 2, 1);
    Frame();
    EXPECT_EQ(PadState(0, kPadRight), 2);
    EXPECT_EQ(PadState(0, kPadUp), 2);
    EXPECT_EQ(PadState(0, kPadButton1 + 2), 2);
    Frame();
    EXPECT_EQ(PadState(0, kPadRight), 3);
    SDL_JoystickSetVirtualAxis(j, 0, 0);
    Frame();
    EXPECT_EQ(PadState(0, kPadRight), 1);
    EXPECT_EQ(PadState(0, kPadLeft), 0);
    EXPECT_EQ(PadState(1, kPadButton1 + 2), 0);  // nothing in slot 1
    SDL_JoystickClose(j);
}

TEST_F(InputTest, DisabledPadsNeverReadPressedOrHeld) {
    const int device = AttachPad();
    std::vector<InputScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseInputScript("0 down PAD0:7\n", events, error)) << error;
    ASSERT_TRUE(InitDirectInput());
    SetInputScript(events);
    SDL_Joystick* j = OpenVirtual(device);
    SDL_JoystickSetVirtualButton(j, 0, 1);
    SDL_JoystickSetVirtualAxis(j, 1, 32767);

    // Off at start: the boot routine turns the pads on.
    Frame();
    for (int i = 0; i < kPadInputs; ++i) EXPECT_EQ(PadState(0, i), 0);
    SetPadsEnabled(true);
    Frame();
    Frame();
    ASSERT_EQ(PadState(0, kPadButton1), 3);
    ASSERT_EQ(PadState(0, kPadButton1 + 1), 3);
    ASSERT_EQ(PadState(0, kPadDown), 3);

    SetPadsEnabled(false);
    for (int f = 0; f < 4; ++f) {
        for (int i = 0; i < kPadInputs; ++i) {
            int s = PadState(0, i);
            EXPECT_TRUE(s == 0 || s == 1) << "input " << i << " read " << s;
        }
        Frame();
    }
    SetPadsEnabled(true);
    Frame();
    EXPECT_EQ(PadState(0, kPadButton1), 2);
    SDL_JoystickClose(j);
}

// An unplugged pad lets go of every input it held (a held gas button must not keep the car
// accelerating with nobody at the pad), is logged once, and comes back into its slot.
TEST_F(InputTest, UnpluggedPadReleasesEverythingIsLoggedOnceAndComesBack) {
    int device = AttachPad();
    ASSERT_TRUE(InitDirectInput());
    SDL_Joystick* j = OpenVirtual(device);
    SetPadsEnabled(true);
    SDL_JoystickSetVirtualButton(j, 1, 1);
    SDL_JoystickSetVirtualAxis(j, 0, 32767);
    Frame();
    Frame();
    ASSERT_EQ(PadState(0, kPadButton1 + 1), 3);
    ASSERT_EQ(PadState(0, kPadRight), 3);

    SDL_JoystickClose(j);
    ASSERT_EQ(SDL_JoystickDetachVirtual(device), 0);
    virtualPads.clear();
    Frame();
    EXPECT_EQ(PadState(0, kPadButton1 + 1), 1);  // just released
    EXPECT_EQ(PadState(0, kPadRight), 1);
    for (int i = 0; i < 4; ++i) Frame();
    for (int i = 0; i < kPadInputs; ++i) EXPECT_EQ(PadState(0, i), 0) << "input " << i;
    EXPECT_EQ(padCount, 0);
    std::string log = ReadAll(logPath);
    EXPECT_EQ(Count(log, "ジョイスティック[0]のアクセス権を失いました.\n"), 1);

    device = AttachPad();
    j = OpenVirtual(device);
    SDL_JoystickSetVirtualButton(j, 4, 1);  // back: button 7
    Frame();
    log = ReadAll(logPath);
    EXPECT_EQ(Count(log, "ジョイスティック[0]を再取得しました.\n"), 1);
    EXPECT_EQ(padCount, 1);
    EXPECT_EQ(PadState(0, kPadButton1 + 6), 2);
    EXPECT_EQ(PadState(0, kPadButton1 + 1), 0);
    SDL_JoystickClose(j);
}

TEST_F(InputTest, OnlyTheFirstEightControllersAreUsed) {
    for (int i = 0; i < 9; ++i) AttachPad();
    ASSERT_TRUE(InitDirectInput());
    EXPECT_EQ(padCount, 8);
    EXPECT_NE(ReadAll(logPath).find("ジョイスティック数 = 8\n"), std::string::npos);
}

TEST_F(InputTest, HeldEscapeIsReportedAndClosesNothingItself) {
    std::vector<InputScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseInputScript("1 down ESCAPE\n2 up ESCAPE\n", events, error)) << error;
    ASSERT_TRUE(InitDirectInput());
    SetInputScript(events);
    auto closeSeen = [] {
        closeRequested = false;
        SysPumpEvents(NoteClose);
        return closeRequested;
    };
    Frame();
    EXPECT_FALSE(QuitKeyDown());
    Frame();
    EXPECT_TRUE(QuitKeyDown());
    // The poll only reports: the frame loop is the one that asks the program to close.
    EXPECT_FALSE(closeSeen());
    Frame();
    EXPECT_FALSE(QuitKeyDown());
}

TEST_F(InputTest, LifecycleIsLogged) {
    ASSERT_TRUE(InitDirectInput());
    FreeInput();
    FreeInput();  // a second release does nothing
    std::string log = ReadAll(logPath);
    EXPECT_EQ(Count(log, "InitDirectInput\n"), 1);
    EXPECT_EQ(Count(log, "FreeInput\n"), 1);
    EXPECT_NE(log.find("----------------------------------------\nFreeInput\n"), std::string::npos);
}

TEST(InputScanCodes, EveryKeyTheGameReadsMapsFromItsSdlKey) {
    const std::pair<SDL_Scancode, int> keysRead[] = {
        {SDL_SCANCODE_Z, DIK_Z}, {SDL_SCANCODE_X, DIK_X}, {SDL_SCANCODE_A, DIK_A},
        {SDL_SCANCODE_S, DIK_S}, {SDL_SCANCODE_Q, DIK_Q}, {SDL_SCANCODE_V, DIK_V},
        {SDL_SCANCODE_SPACE, DIK_SPACE}, {SDL_SCANCODE_LSHIFT, DIK_LSHIFT}, {SDL_SCANCODE_UP, DIK_UP},
        {SDL_SCANCODE_DOWN, DIK_DOWN}, {SDL_SCANCODE_LEFT, DIK_LEFT}, {SDL_SCANCODE_RIGHT, DIK_RIGHT},
        {SDL_SCANCODE_KP_8, DIK_NUMPAD8}, {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
        {SDL_SCANCODE_KP_4, DIK_NUMPAD4}, {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
        {SDL_SCANCODE_KP_0, DIK_NUMPAD0}, {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
        {SDL_SCANCODE_RETURN, DIK_RETURN}, {SDL_SCANCODE_1, DIK_1}, {SDL_SCANCODE_0, DIK_0},
    };
    for (auto [sdl, dik] : keysRead) EXPECT_EQ(InputScanCodeFromSdl(sdl), dik) << SDL_GetScancodeName(sdl);
    EXPECT_EQ(DIK_Z, 0x2C);
    EXPECT_EQ(DIK_NUMPAD8, 0x48);
    EXPECT_EQ(DIK_UP, 0xC8);
    EXPECT_EQ(InputScanCodeFromSdl(-4), 0);
    EXPECT_EQ(InputScanCodeFromSdl(SDL_NUM_SCANCODES), 0);
}

TEST(InputScanCodes, NoTwoSdlKeysOfTheMainBlockShareACodeAndEveryLetterIsMapped) {
    std::vector<int> seen(256, 0);
    for (int sc = SDL_SCANCODE_A; sc <= SDL_SCANCODE_Z; ++sc) {
        int code = InputScanCodeFromSdl(sc);
        ASSERT_NE(code, 0) << sc;
        EXPECT_EQ(seen[code]++, 0) << "code " << code << " twice";
    }
    for (int sc = SDL_SCANCODE_1; sc <= SDL_SCANCODE_0; ++sc) EXPECT_NE(InputScanCodeFromSdl(sc), 0);
    for (int sc = SDL_SCANCODE_KP_1; sc <= SDL_SCANCODE_KP_0; ++sc) EXPECT_NE(InputScanCodeFromSdl(sc), 0);
}

TEST(InputScanCodes, NamesRoundTrip) {
    for (int code = 1; code < 256; ++code) {
        const char* name = InputScanCodeName(code);
        if (!*name) continue;
        EXPECT_EQ(InputScanCodeFromName(name), code) << name;
    }
    EXPECT_EQ(InputScanCodeFromName("lshift"), DIK_LSHIFT);
    EXPECT_EQ(InputScanCodeFromName("PGDN"), DIK_NEXT);
    EXPECT_EQ(InputScanCodeFromName("DIK_Z"), -1);
    EXPECT_EQ(InputScanCodeFromName(""), -1);
}

}  // namespace
