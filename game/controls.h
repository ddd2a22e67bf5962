// The game's controls of this frame: every group of keys and pad inputs the scenes act on, read
// once at the start of a scene's frame (ReadControls) from the input snapshot and the pad table.
// A group is held while any of its inputs is down and pressed when any of them went down this
// frame (menus act on a press, driving on a hold).
#pragma once

struct ControlState {
    bool held;     // some input of the group is down (state 2 or 3)
    bool pressed;  // some input of the group went down this frame (state 2)
};

struct Controls {
    // Driving: gas Z, A, Up, numeric pad 8, pad up, the Gas / Accept button; brake X, S, Down,
    // numeric pad 5, pad down, the Brake / Go Back button; steering Left / Right, numeric pad 4 / 6,
    // pad left / right; boost left Shift, Space, numeric pad 0, the Boost button; pause Q, the
    // Pause / Skip button; view V, the View Change button.
    ControlState gas, brake, left, right, boost, pause, view;
    // Menus, whatever korvan.cfg gives the race actions: up Up, numeric pad 8, pad up; down Down,
    // numeric pad 5, pad down; left Left, numeric pad 4, pad left; right Right, numeric pad 6, pad
    // right; accept Z, A, the Gas / Accept button; back X, S, Q, the Brake / Go Back and Pause /
    // Skip buttons.
    ControlState up, down, menuLeft, menuRight, accept, back;
};
extern Controls controls;

// The race actions whose keyboard keys korvan.cfg holds ("keys.gas" ... "keys.view"), in this
// order: gas, brake, left, right, boost, pause, view.
struct ConfigSetting;
constexpr int kRaceKeyActionCount = 7;
extern ConfigSetting* const raceKeys[kRaceKeyActionCount];

// Gives race action `action` the key `code` in place of its first key (its other keys stay). A key
// another action had moves here, and that action takes the key this one lost, so no key drives
// two actions; a key the action already has, a key with no name and Escape or F11 change nothing
// (false).
bool AssignRaceKey(int action, int code);

// Decodes this frame's controls from the key and pad states (the first pad) and the pad table.
void ReadControls();

// Z, X, A, S, Q or the pad's Gas / Accept, Brake / Go Back or Pause / Skip just pressed: the skip of
// the intro, results, story, ending, gallery and staff roll.
inline bool SkipPressed() { return controls.accept.pressed || controls.back.pressed; }
