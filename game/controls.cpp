#include "game/controls.h"

#include <initializer_list>

#include "framework/input.h"
#include "game/pad_config.h"

Controls controls;

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
}  // namespace

void ReadControls() {
    Controls& c = controls;
    c.gas = Group({DIK_Z, DIK_A, DIK_UP, DIK_NUMPAD8}, {kPadUp, padButtons[kPadGas]});
    c.brake = Group({DIK_X, DIK_S, DIK_DOWN, DIK_NUMPAD5}, {kPadDown, padButtons[kPadBrake]});
    c.left = Group({DIK_LEFT, DIK_NUMPAD4}, {kPadLeft});
    c.right = Group({DIK_RIGHT, DIK_NUMPAD6}, {kPadRight});
    c.boost = Group({DIK_LSHIFT, DIK_SPACE, DIK_NUMPAD0}, {padButtons[kPadBoost]});
    c.pause = Group({DIK_Q}, {padButtons[kPadPause]});
    c.view = Group({DIK_V}, {padButtons[kPadView]});
    c.up = Group({DIK_UP, DIK_NUMPAD8}, {kPadUp});
    c.down = Group({DIK_DOWN, DIK_NUMPAD5}, {kPadDown});
    c.menuLeft = c.left;
    c.menuRight = c.right;
    c.accept = Group({DIK_Z, DIK_A}, {padButtons[kPadGas]});
    c.back = Group({DIK_X, DIK_S, DIK_Q}, {padButtons[kPadBrake], padButtons[kPadPause]});
}
