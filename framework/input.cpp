#include "framework/input.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/switches.h"
#include "platform/input_script.h"

uint8_t keys[256];
uint8_t prevKeys[256];
int quitKey = DIK_ESCAPE;
uint8_t pads[kMaxPads][kPadInputs];
uint8_t prevPads[kMaxPads][kPadInputs];
int padCount = 0;
int padsEnabled = 0;
MouseSnapshot mouse;
MouseSnapshot prevMouse;

namespace {

bool devicesOpen = false;
bool joysticksAvailable = false;
bool padLost[kMaxPads];

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

void UpdatePads() {
    std::memcpy(prevPads, pads, sizeof(pads));
    if (joysticksAvailable && padCount > 0) InputUpdatePads();
    for (int slot = 0; slot < kMaxPads; ++slot) {
        uint8_t* record = pads[slot];
        if (slot < padCount && joysticksAvailable) {
            InputPadReading reading;
            switch (InputPollPad(slot, reading)) {
                case InputPadStatus::kLost:
                    // An unplugged pad keeps last frame's values; the loss is logged once.
                    if (!padLost[slot]) Log("ジョイスティック[%d]のアクセス権を失いました.\n", slot);
                    padLost[slot] = true;
                    break;
                case InputPadStatus::kReopened:
                    Log("ジョイスティック[%d]を再取得しました.\n", slot);
                    padLost[slot] = false;
                    PadBytesFromReading(reading, record);
                    break;
                case InputPadStatus::kRead:
                    PadBytesFromReading(reading, record);
                    break;
                case InputPadStatus::kEmpty:
                    std::memset(record, 0, kPadInputs);  // a slot without a device never reports input
                    break;
            }
        } else {
            std::memset(record, 0, kPadInputs);
        }
        // Scripted pad inputs add to whatever the device reports.
        const uint8_t* scripted = InputScriptPad(slot);
        for (int i = 0; i < kPadInputs; ++i) record[i] |= scripted[i];
    }
}

}  // namespace

void PadBytesFromReading(const InputPadReading& reading, uint8_t out[kPadInputs]) {
    out[kPadUp] = reading.y < -kPadAxisThreshold ? 0x80 : 0;
    out[kPadDown] = reading.y > kPadAxisThreshold ? 0x80 : 0;
    out[kPadLeft] = reading.x < -kPadAxisThreshold ? 0x80 : 0;
    out[kPadRight] = reading.x > kPadAxisThreshold ? 0x80 : 0;
    out[kPadZBelow] = reading.z < -kPadAxisThreshold ? 0x80 : 0;
    out[kPadZAbove] = reading.z > kPadAxisThreshold ? 0x80 : 0;
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
    mouse = MouseSnapshot{};
    prevMouse = MouseSnapshot{};
    padsEnabled = 0;

    // Keyboard and mouse: SDL always has them (a machine without a display has neither focus nor
    // keys down, which reads as every key up).
    joysticksAvailable = InputOpen();
    if (!joysticksAvailable) Log("ジョイスティックが使用できません.\n");  // the keyboard still plays
    devicesOpen = true;
    quitKey = DIK_ESCAPE;
    if (!windowed) InputShowCursor(false);
    SetCursorPosition(clientWidth / 2, clientHeight / 2);

    // Controllers, the first eight in the system's order.
    padCount = joysticksAvailable ? InputOpenPads() : 0;
    if (padCount == 0) return true;
    Log("ジョイスティック数 = %d\n", padCount);
    for (int slot = 0; slot < padCount; ++slot) {
        if (!InputPadSlotOpened(slot)) Log("ジョイスティック[%d]が初期化できません.\n", slot);
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
    UpdateMouse();
    if (padsEnabled) UpdatePads();
    if (keys[quitKey & 0xFF] & 0x80) CloseMainWindow();
}

void ClearInput() {
    std::memset(keys, 0, sizeof(keys));
    std::memset(prevKeys, 0, sizeof(prevKeys));
    std::memset(pads, 0, sizeof(pads));
    std::memset(prevPads, 0, sizeof(prevPads));
    std::memset(mouse.buttons, 0, sizeof(mouse.buttons));
    std::memset(prevMouse.buttons, 0, sizeof(prevMouse.buttons));
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
