#include "game/controls.h"

#include <algorithm>
#include <initializer_list>

#include "framework/config_file.h"
#include "framework/input.h"
#include "game/pad_config.h"

Controls controls;

// The keyboard keys of the race actions, as the player's korvan.cfg gives them; the defaults are
// the game's own. The menus keep their keys whatever these say.
ConfigSetting keysGas{"keys.gas", {DIK_Z, DIK_A, DIK_UP, DIK_NUMPAD8}, "keys for the gas (up to 4)"};
ConfigSetting keysBrake{"keys.brake", {DIK_X, DIK_S, DIK_DOWN, DIK_NUMPAD5}, "keys for the brake (up to 4)"};
ConfigSetting keysLeft{"keys.left", {DIK_LEFT, DIK_NUMPAD4},
                       "keys that steer left (the menus keep Left and numeric pad 4)"};
ConfigSetting keysRight{"keys.right", {DIK_RIGHT, DIK_NUMPAD6},
                        "keys that steer right (the menus keep Right and numeric pad 6)"};
ConfigSetting keysBoost{"keys.boost", {DIK_LSHIFT, DIK_SPACE, DIK_NUMPAD0}, "keys for the boost"};
ConfigSetting keysPause{"keys.pause", {DIK_Q}, "keys that pause the race and skip the replay"};
ConfigSetting keysView{"keys.view", {DIK_V}, "keys that change the view"};

ConfigSetting* const raceKeys[kRaceKeyActionCount] = {&keysGas, &keysBrake, &keysLeft, &keysRight,
                                                      &keysBoost, &keysPause, &keysView};

namespace {
bool HasKey(const ConfigSetting& s, int code) { return std::find(s.keys, s.keys + s.keyCount, code) != s.keys + s.keyCount; }

void RemoveKey(ConfigSetting& s, int code) {
    int* end = std::remove(s.keys, s.keys + s.keyCount, code);
    s.keyCount = static_cast<int>(end - s.keys);
    std::fill(s.keys + s.keyCount, s.keys + kConfigMaxKeys, 0);
}
}  // namespace

bool AssignRaceKey(int action, int code) {
    if (action < 0 || action >= kRaceKeyActionCount || code <= 0 || code > 255) return false;
    if (ConfigReservedKey(code) || !*InputScanCodeName(code)) return false;
    ConfigSetting& target = *raceKeys[action];
    if (HasKey(target, code)) return false;
    const int lost = target.keyCount > 0 ? target.keys[0] : 0;
    if (target.keyCount > 0) target.keys[0] = code;
    else target.keys[target.keyCount++] = code;
    for (ConfigSetting* other : raceKeys) {
        if (other == &target || !HasKey(*other, code)) continue;
        if (lost == 0 || HasKey(*other, lost)) {
            RemoveKey(*other, code);
        } else {
            *std::find(other->keys, other->keys + other->keyCount, code) = lost;
        }
    }
    return true;
}

namespace {
// One group: keys by scan code and pad inputs of the first pad.
ControlState Group(std::initializer_list<int> keyCodes, std::initializer_list<int> padInputs) {
    ControlState s{false, false};
    for (int code : keyCodes) {
        const int state = KeyState(code);
        s.held = s.held || state >= 2;
        s.pressed = s.pressed || state == 2;
    }
    for (int input : padInputs) {
        const int state = PadState(0, input);
        s.held = s.held || state >= 2;
        s.pressed = s.pressed || state == 2;
    }
    return s;
}
// A race action: the player's keys, then its pad inputs.
ControlState Group(const ConfigSetting& keys, std::initializer_list<int> padInputs) {
    ControlState s = Group(std::initializer_list<int>{}, padInputs);
    for (int i = 0; i < keys.keyCount; ++i) {
        const int state = KeyState(keys.keys[i]);
        s.held = s.held || state >= 2;
        s.pressed = s.pressed || state == 2;
    }
    return s;
}
}  // namespace

void ReadControls() {
    Controls& c = controls;
    c.gas = Group(keysGas, {kPadUp, padButtons[kPadGas]});
    c.brake = Group(keysBrake, {kPadDown, padButtons[kPadBrake]});
    c.left = Group(keysLeft, {kPadLeft});
    c.right = Group(keysRight, {kPadRight});
    c.boost = Group(keysBoost, {padButtons[kPadBoost]});
    c.pause = Group(keysPause, {padButtons[kPadPause]});
    c.view = Group(keysView, {padButtons[kPadView]});
    c.up = Group({DIK_UP, DIK_NUMPAD8}, {kPadUp});
    c.down = Group({DIK_DOWN, DIK_NUMPAD5}, {kPadDown});
    c.menuLeft = Group({DIK_LEFT, DIK_NUMPAD4}, {kPadLeft});
    c.menuRight = Group({DIK_RIGHT, DIK_NUMPAD6}, {kPadRight});
    c.accept = Group({DIK_Z, DIK_A}, {padButtons[kPadGas]});
    c.back = Group({DIK_X, DIK_S, DIK_Q}, {padButtons[kPadBrake], padButtons[kPadPause]});
}
