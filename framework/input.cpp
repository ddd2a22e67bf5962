#include "framework/input.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/switches.h"
#include "platform/input_script.h"
#include "platform/user_dirs.h"

uint8_t keys[256];
uint8_t prevKeys[256];
int quitKey = DIK_ESCAPE;
uint8_t pads[kMaxPads][kPadInputs];
uint8_t prevPads[kMaxPads][kPadInputs];
int padCount = 0;
int padsEnabled = 0;
MouseSnapshot mouse;
MouseSnapshot prevMouse;
ConfigSetting padDeadZone{"pad.dead_zone", kPadAxisThreshold, 50, 950,
                          "how far the pad's stick must be pushed to count as a direction, in thousandths of its "
                          "travel"};

const char* const kRumbleWords[] = {"on", "off", nullptr};
ConfigSetting padRumble{"input.rumble", kRumbleWords, kRumbleOn,
                        "the pad rumbles on wall hits, collisions and boosts in a race"};

namespace {

bool devicesOpen = false;
// A pad without rumble is told of once, until another pad comes into its slot.
bool rumbleRefusalLogged[kMaxPads];
bool quitKeyHeldBack = false;
bool joysticksAvailable = false;
bool padLost[kMaxPads];

// Layouts of unusual pads, in SDL's mapping format, from the player's config folder.
void AddPlayerPadMappings() {
    const std::string folder = UserDirectory(UserDir::kConfig, "korvan");
    if (folder.empty()) return;
    const std::string path = folder + "/gamecontrollerdb.txt";
    if (access(path.c_str(), F_OK) != 0) return;
    const int added = InputAddPadMappings(path.c_str());
    if (added < 0) LogWarning("pad mappings: %s cannot be read\n", path.c_str());
    else Log("pad mappings: %d from %s\n", added, path.c_str());
}

void ReportBadScript(const std::string& error) {
    Log("--input %s\n", error.c_str());
    std::fprintf(stderr, "korvan: --input %s\n", error.c_str());
}

void UpdateKeyboard() {
    std::memcpy(prevKeys, keys, sizeof(keys));
    InputReadKeyboard(keys);
    const uint8_t* scripted = InputScriptKeys();
    for (int i = 0; i < 256; ++i) keys[i] |= scripted[i];
}

void UpdateMouse() {
    InputMouseReading reading;
    InputReadMouse(reading);
    std::memcpy(prevMouse.buttons, mouse.buttons, sizeof(mouse.buttons));
    prevMouse.x = mouse.x;
    prevMouse.y = mouse.y;
    prevMouse.wheel = mouse.wheel;
    mouse.x = std::clamp(reading.x, 0, std::max(0, clientWidth - 1));
    mouse.y = std::clamp(reading.y, 0, std::max(0, clientHeight - 1));
    mouse.wheel = reading.wheel;
    std::memcpy(mouse.buttons, reading.buttons, sizeof(mouse.buttons));
}

void LogPad(int slot, const char* what) {
    Log("ジョイスティック[%d] = %s (%s)%s\n", slot, InputPadName(slot),
        InputPadIsController(slot) ? "game controller" : "joystick", what);
}

void UpdatePads() {
    std::memcpy(prevPads, pads, sizeof(pads));
    if (joysticksAvailable) InputUpdatePads();
    for (int slot = 0; slot < kMaxPads; ++slot) {
        uint8_t* record = pads[slot];
        InputPadReading reading;
        const InputPadStatus status = joysticksAvailable ? InputPollPad(slot, reading) : InputPadStatus::kEmpty;
        switch (status) {
            case InputPadStatus::kLost:
                // An unplugged pad lets go of everything it held: a button kept down would hold
                // the gas down with nobody at the pad.
                Log("ジョイスティック[%d]のアクセス権を失いました.\n", slot);
                padLost[slot] = true;
                std::memset(record, 0, kPadInputs);
                break;
            case InputPadStatus::kAttached:
                if (padLost[slot]) Log("ジョイスティック[%d]を再取得しました.\n", slot);
                LogPad(slot, " plugged in");
                padLost[slot] = false;
                rumbleRefusalLogged[slot] = false;
                PadBytesFromReading(reading, record);
                break;
            case InputPadStatus::kRead:
                PadBytesFromReading(reading, record);
                break;
            case InputPadStatus::kEmpty:
                std::memset(record, 0, kPadInputs);  // a slot without a pad never reports input
                break;
        }
        // Scripted pad inputs add to whatever the device reports.
        const uint8_t* scripted = InputScriptPad(slot);
        for (int i = 0; i < kPadInputs; ++i) record[i] |= scripted[i];
    }
    if (joysticksAvailable) padCount = InputPadCount();
}

}  // namespace

void PadBytesFromReading(const InputPadReading& reading, uint8_t out[kPadInputs]) {
    const int zone = padDeadZone.value;
    out[kPadUp] = reading.y < -zone ? 0x80 : 0;
    out[kPadDown] = reading.y > zone ? 0x80 : 0;
    out[kPadLeft] = reading.x < -zone ? 0x80 : 0;
    out[kPadRight] = reading.x > zone ? 0x80 : 0;
    out[kPadZBelow] = reading.z < -zone ? 0x80 : 0;
    out[kPadZAbove] = reading.z > zone ? 0x80 : 0;
    for (int b = 0; b < kInputPadButtons; ++b) out[kPadButton1 + b] = reading.buttons[b] ? 0x80 : 0;
}

bool InitDirectInput() {
    LogSeparator();
    Log("InitDirectInput\n");

    // The script first: a bad one stops the run before any device is opened.
    if (!programOptions.inputFile.empty()) {
        std::string error;
        if (!LoadInputScript(programOptions.inputFile.c_str(), error)) {
            ReportBadScript(error);
            return false;
        }
    } else {
        ClearInputScript();
    }

    std::memset(keys, 0, sizeof(keys));
    std::memset(prevKeys, 0, sizeof(prevKeys));
    std::memset(pads, 0, sizeof(pads));
    std::memset(prevPads, 0, sizeof(prevPads));
    std::memset(padLost, 0, sizeof(padLost));
    std::memset(rumbleRefusalLogged, 0, sizeof(rumbleRefusalLogged));
    mouse = MouseSnapshot{};
    prevMouse = MouseSnapshot{};
    padsEnabled = 0;

    // Keyboard and mouse: SDL always has them (a machine without a display has neither focus nor
    // keys down, which reads as every key up).
    joysticksAvailable = InputOpen();
    if (!joysticksAvailable) LogWarning("ジョイスティックが使用できません.\n");  // the keyboard still plays
    if (joysticksAvailable) AddPlayerPadMappings();
    devicesOpen = true;
    quitKey = DIK_ESCAPE;
    if (!windowed) InputShowCursor(false);
    SetCursorPosition(clientWidth / 2, clientHeight / 2);

    // Controllers, the first eight in the system's order.
    padCount = joysticksAvailable ? InputOpenPads() : 0;
    if (padCount == 0) return true;
    Log("ジョイスティック数 = %d\n", padCount);
    for (int slot = 0; slot < padCount; ++slot) {
        if (InputPadSlotFailed(slot)) LogWarning("ジョイスティック[%d]が初期化できません.\n", slot);
        else LogPad(slot, "");
    }
    return true;
}

void FreeInput() {
    if (!devicesOpen) return;
    LogSeparator();
    Log("FreeInput\n");
    InputClose();
    InputShowCursor(true);
    ClearInputScript();
    devicesOpen = false;
    joysticksAvailable = false;
    padCount = 0;
}

void UpdateInput() {
    AdvanceInputScript(frameNumber);
    UpdateKeyboard();
    if (quitKeyHeldBack && !(keys[quitKey & 0xFF] & 0x80)) quitKeyHeldBack = false;
    UpdateMouse();
    if (padsEnabled) UpdatePads();
}

bool QuitKeyDown() { return !quitKeyHeldBack && (keys[quitKey & 0xFF] & 0x80) != 0; }

void HoldBackQuitKey() { quitKeyHeldBack = true; }

void ClearInput() {
    std::memset(keys, 0, sizeof(keys));
    std::memset(prevKeys, 0, sizeof(prevKeys));
    std::memset(pads, 0, sizeof(pads));
    std::memset(prevPads, 0, sizeof(prevPads));
    std::memset(mouse.buttons, 0, sizeof(mouse.buttons));
    std::memset(prevMouse.buttons, 0, sizeof(prevMouse.buttons));
}

void RumblePad(float low, float high, int ms) {
    if (!devicesOpen || !joysticksAvailable || padRumble.value != kRumbleOn) return;
    auto motor = [](float strength) { return static_cast<int>(std::clamp(strength, 0.0f, 1.0f) * 65535.0f + 0.5f); };
    const InputRumbleResult result = InputRumblePad(0, motor(low), motor(high), ms);
    if (result == InputRumbleResult::kNoRumble && !rumbleRefusalLogged[0]) {
        Log("ジョイスティック[0] = %s: no rumble; the race's pulses are left out\n", InputPadName(0));
        rumbleRefusalLogged[0] = true;
    }
}

void StopPadRumble() {
    if (!devicesOpen || !joysticksAvailable || padRumble.value != kRumbleOn) return;
    InputRumblePad(0, 0, 0, 0);
}

int KeyState(int code) {
    if (code < 0 || code > 255) return 0;
    return ((keys[code] >> 7) << 1) | (prevKeys[code] >> 7);
}

int PadState(int pad, int index) {
    if (pad < 0 || pad >= kMaxPads || index < 0 || index >= kPadInputs) return 0;
    return ((pads[pad][index] >> 7) << 1) | (prevPads[pad][index] >> 7);
}

void SetPadsEnabled(bool enabled) {
    padsEnabled = enabled ? 1 : 0;
    if (!enabled) std::memset(pads, 0, sizeof(pads));
}

void SetCursorPosition(int x, int y) { InputMoveCursor(x, y); }
