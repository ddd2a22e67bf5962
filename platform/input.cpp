#include "platform/input.h"

#include <SDL.h>

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/system.h"

namespace {

struct ScanCodeMap {
    SDL_Scancode sdl;
    int code;
};

// Every key of a PC keyboard that DirectInput gives a code to.
const ScanCodeMap kScanCodes[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, {SDL_SCANCODE_1, DIK_1}, {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3}, {SDL_SCANCODE_4, DIK_4}, {SDL_SCANCODE_5, DIK_5}, {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7}, {SDL_SCANCODE_8, DIK_8}, {SDL_SCANCODE_9, DIK_9}, {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_MINUS, DIK_MINUS}, {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK}, {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q}, {SDL_SCANCODE_W, DIK_W}, {SDL_SCANCODE_E, DIK_E}, {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T}, {SDL_SCANCODE_Y, DIK_Y}, {SDL_SCANCODE_U, DIK_U}, {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O}, {SDL_SCANCODE_P, DIK_P}, {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET}, {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A}, {SDL_SCANCODE_S, DIK_S}, {SDL_SCANCODE_D, DIK_D}, {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G}, {SDL_SCANCODE_H, DIK_H}, {SDL_SCANCODE_J, DIK_J}, {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L}, {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE}, {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT}, {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH},  // the ISO key beside Return has the same make code
    {SDL_SCANCODE_Z, DIK_Z}, {SDL_SCANCODE_X, DIK_X}, {SDL_SCANCODE_C, DIK_C}, {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_B, DIK_B}, {SDL_SCANCODE_N, DIK_N}, {SDL_SCANCODE_M, DIK_M},
    {SDL_SCANCODE_COMMA, DIK_COMMA}, {SDL_SCANCODE_PERIOD, DIK_PERIOD}, {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT}, {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU}, {SDL_SCANCODE_SPACE, DIK_SPACE}, {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1}, {SDL_SCANCODE_F2, DIK_F2}, {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4}, {SDL_SCANCODE_F5, DIK_F5}, {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7}, {SDL_SCANCODE_F8, DIK_F8}, {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10}, {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7}, {SDL_SCANCODE_KP_8, DIK_NUMPAD8}, {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT}, {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5}, {SDL_SCANCODE_KP_6, DIK_NUMPAD6}, {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1}, {SDL_SCANCODE_KP_2, DIK_NUMPAD2}, {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0}, {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102}, {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12}, {SDL_SCANCODE_F13, DIK_F13}, {SDL_SCANCODE_F14, DIK_F14},
    {SDL_SCANCODE_F15, DIK_F15},
    // Japanese and Brazilian keys.
    {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA}, {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1},
    {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT}, {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN}, {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA},
    // Extended keys.
    {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK}, {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK},
    {SDL_SCANCODE_STOP, DIK_STOP}, {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_MUTE, DIK_MUTE},
    {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR}, {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE},
    {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP}, {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
    {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP}, {SDL_SCANCODE_AC_HOME, DIK_WEBHOME},
    {SDL_SCANCODE_WWW, DIK_WEBHOME}, {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ}, {SDL_SCANCODE_SYSREQ, DIK_SYSRQ},
    {SDL_SCANCODE_RALT, DIK_RMENU}, {SDL_SCANCODE_PAUSE, DIK_PAUSE}, {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_UP, DIK_UP}, {SDL_SCANCODE_PAGEUP, DIK_PRIOR}, {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT}, {SDL_SCANCODE_END, DIK_END}, {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT}, {SDL_SCANCODE_INSERT, DIK_INSERT},
    {SDL_SCANCODE_DELETE, DIK_DELETE}, {SDL_SCANCODE_LGUI, DIK_LWIN}, {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_APPLICATION, DIK_APPS}, {SDL_SCANCODE_POWER, DIK_POWER},
    {SDL_SCANCODE_SLEEP, DIK_SLEEP}, {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH},
    {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES}, {SDL_SCANCODE_AC_REFRESH, DIK_WEBREFRESH},
    {SDL_SCANCODE_AC_STOP, DIK_WEBSTOP}, {SDL_SCANCODE_AC_FORWARD, DIK_WEBFORWARD},
    {SDL_SCANCODE_AC_BACK, DIK_WEBBACK}, {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER},
    {SDL_SCANCODE_MAIL, DIK_MAIL}, {SDL_SCANCODE_MEDIASELECT, DIK_MEDIASELECT},
};

struct KeyName {
    const char* name;
    int code;
};

// Names as the DirectInput constants spell them after "DIK_"; the first name of a code is its own,
// later ones are the SDK's aliases.
const KeyName kKeyNames[] = {
    {"ESCAPE", DIK_ESCAPE}, {"1", DIK_1}, {"2", DIK_2}, {"3", DIK_3}, {"4", DIK_4}, {"5", DIK_5},
    {"6", DIK_6}, {"7", DIK_7}, {"8", DIK_8}, {"9", DIK_9}, {"0", DIK_0}, {"MINUS", DIK_MINUS},
    {"EQUALS", DIK_EQUALS}, {"BACK", DIK_BACK}, {"TAB", DIK_TAB}, {"Q", DIK_Q}, {"W", DIK_W},
    {"E", DIK_E}, {"R", DIK_R}, {"T", DIK_T}, {"Y", DIK_Y}, {"U", DIK_U}, {"I", DIK_I}, {"O", DIK_O},
    {"P", DIK_P}, {"LBRACKET", DIK_LBRACKET}, {"RBRACKET", DIK_RBRACKET}, {"RETURN", DIK_RETURN},
    {"LCONTROL", DIK_LCONTROL}, {"A", DIK_A}, {"S", DIK_S}, {"D", DIK_D}, {"F", DIK_F}, {"G", DIK_G},
    {"H", DIK_H}, {"J", DIK_J}, {"K", DIK_K}, {"L", DIK_L}, {"SEMICOLON", DIK_SEMICOLON},
    {"APOSTROPHE", DIK_APOSTROPHE}, {"GRAVE", DIK_GRAVE}, {"LSHIFT", DIK_LSHIFT},
    {"BACKSLASH", DIK_BACKSLASH}, {"Z", DIK_Z}, {"X", DIK_X}, {"C", DIK_C}, {"V", DIK_V},
    {"B", DIK_B}, {"N", DIK_N}, {"M", DIK_M}, {"COMMA", DIK_COMMA}, {"PERIOD", DIK_PERIOD},
    {"SLASH", DIK_SLASH}, {"RSHIFT", DIK_RSHIFT}, {"MULTIPLY", DIK_MULTIPLY}, {"LMENU", DIK_LMENU},
    {"SPACE", DIK_SPACE}, {"CAPITAL", DIK_CAPITAL}, {"F1", DIK_F1}, {"F2", DIK_F2}, {"F3", DIK_F3},
    {"F4", DIK_F4}, {"F5", DIK_F5}, {"F6", DIK_F6}, {"F7", DIK_F7}, {"F8", DIK_F8}, {"F9", DIK_F9},
    {"F10", DIK_F10}, {"NUMLOCK", DIK_NUMLOCK}, {"SCROLL", DIK_SCROLL}, {"NUMPAD7", DIK_NUMPAD7},
    {"NUMPAD8", DIK_NUMPAD8}, {"NUMPAD9", DIK_NUMPAD9}, {"SUBTRACT", DIK_SUBTRACT},
    {"NUMPAD4", DIK_NUMPAD4}, {"NUMPAD5", DIK_NUMPAD5}, {"NUMPAD6", DIK_NUMPAD6}, {"ADD", DIK_ADD},
    {"NUMPAD1", DIK_NUMPAD1}, {"NUMPAD2", DIK_NUMPAD2}, {"NUMPAD3", DIK_NUMPAD3},
    {"NUMPAD0", DIK_NUMPAD0}, {"DECIMAL", DIK_DECIMAL}, {"OEM_102", DIK_OEM_102}, {"F11", DIK_F11},
    {"F12", DIK_F12}, {"F13", DIK_F13}, {"F14", DIK_F14}, {"F15", DIK_F15}, {"KANA", DIK_KANA},
    {"ABNT_C1", DIK_ABNT_C1}, {"CONVERT", DIK_CONVERT}, {"NOCONVERT", DIK_NOCONVERT},
    {"YEN", DIK_YEN}, {"ABNT_C2", DIK_ABNT_C2}, {"NUMPADEQUALS", DIK_NUMPADEQUALS},
    {"PREVTRACK", DIK_PREVTRACK}, {"AT", DIK_AT}, {"COLON", DIK_COLON}, {"UNDERLINE", DIK_UNDERLINE},
    {"KANJI", DIK_KANJI}, {"STOP", DIK_STOP}, {"AX", DIK_AX}, {"UNLABELED", DIK_UNLABELED},
    {"NEXTTRACK", DIK_NEXTTRACK}, {"NUMPADENTER", DIK_NUMPADENTER}, {"RCONTROL", DIK_RCONTROL},
    {"MUTE", DIK_MUTE}, {"CALCULATOR", DIK_CALCULATOR}, {"PLAYPAUSE", DIK_PLAYPAUSE},
    {"MEDIASTOP", DIK_MEDIASTOP}, {"VOLUMEDOWN", DIK_VOLUMEDOWN}, {"VOLUMEUP", DIK_VOLUMEUP},
    {"WEBHOME", DIK_WEBHOME}, {"NUMPADCOMMA", DIK_NUMPADCOMMA}, {"DIVIDE", DIK_DIVIDE},
    {"SYSRQ", DIK_SYSRQ}, {"RMENU", DIK_RMENU}, {"PAUSE", DIK_PAUSE}, {"HOME", DIK_HOME},
    {"UP", DIK_UP}, {"PRIOR", DIK_PRIOR}, {"LEFT", DIK_LEFT}, {"RIGHT", DIK_RIGHT}, {"END", DIK_END},
    {"DOWN", DIK_DOWN}, {"NEXT", DIK_NEXT}, {"INSERT", DIK_INSERT}, {"DELETE", DIK_DELETE},
    {"LWIN", DIK_LWIN}, {"RWIN", DIK_RWIN}, {"APPS", DIK_APPS}, {"POWER", DIK_POWER},
    {"SLEEP", DIK_SLEEP}, {"WAKE", DIK_WAKE}, {"WEBSEARCH", DIK_WEBSEARCH},
    {"WEBFAVORITES", DIK_WEBFAVORITES}, {"WEBREFRESH", DIK_WEBREFRESH}, {"WEBSTOP", DIK_WEBSTOP},
    {"WEBFORWARD", DIK_WEBFORWARD}, {"WEBBACK", DIK_WEBBACK}, {"MYCOMPUTER", DIK_MYCOMPUTER},
    {"MAIL", DIK_MAIL}, {"MEDIASELECT", DIK_MEDIASELECT},
    // The SDK's alternative names.
    {"BACKSPACE", DIK_BACK}, {"NUMPADSTAR", DIK_MULTIPLY}, {"LALT", DIK_LMENU},
    {"CAPSLOCK", DIK_CAPITAL}, {"NUMPADMINUS", DIK_SUBTRACT}, {"NUMPADPLUS", DIK_ADD},
    {"NUMPADPERIOD", DIK_DECIMAL}, {"NUMPADSLASH", DIK_DIVIDE}, {"RALT", DIK_RMENU},
    {"UPARROW", DIK_UP}, {"PGUP", DIK_PRIOR}, {"LEFTARROW", DIK_LEFT}, {"RIGHTARROW", DIK_RIGHT},
    {"DOWNARROW", DIK_DOWN}, {"PGDN", DIK_NEXT}, {"CIRCUMFLEX", DIK_PREVTRACK},
};

int sdlToScanCode[SDL_NUM_SCANCODES];
bool tableBuilt = false;

void BuildTable() {
    if (tableBuilt) return;
    std::memset(sdlToScanCode, 0, sizeof(sdlToScanCode));
    for (const ScanCodeMap& m : kScanCodes) sdlToScanCode[m.sdl] = m.code;
    tableBuilt = true;
}

// A pad in a slot: through SDL's game-controller API when SDL knows its layout (its mapping
// database, the player's gamecontrollerdb.txt), else as a raw joystick.
struct PadSlot {
    SDL_GameController* controller = nullptr;
    SDL_Joystick* joystick = nullptr;  // the controller's own joystick, or the raw one
    SDL_JoystickGUID guid = {};        // of the pad last in this slot, so it gets its slot back
    bool hadPad = false;               // some pad was in this slot since the pads were opened
    bool failed = false;               // the pad offered to this slot at start could not be opened
    bool attachedThisPoll = false;
    bool lostThisPoll = false;
};

PadSlot slots[kInputMaxPads];
// Devices SDL could not open: not offered a slot again while they stay attached.
std::vector<SDL_JoystickID> refusedDevices;
bool joysticksStarted = false;
bool wheelWatched = false;
int wheelSteps = 0;

// DirectInput reports a wheel notch as 120 units.
constexpr int kWheelDelta = 120;

int SDLCALL WatchWheel(void*, SDL_Event* e) {
    if (e->type == SDL_MOUSEWHEEL) {
        wheelSteps += (e->wheel.direction == SDL_MOUSEWHEEL_FLIPPED) ? -e->wheel.y : e->wheel.y;
    }
    return 1;
}

bool DeviceAttached(SDL_JoystickID id) {
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) return true;
    }
    return false;
}

bool DeviceHeld(SDL_JoystickID id) {
    for (const PadSlot& s : slots) {
        if (s.joystick && SDL_JoystickInstanceID(s.joystick) == id) return true;
    }
    return false;
}

void ClosePad(PadSlot& slot) {
    if (slot.controller) SDL_GameControllerClose(slot.controller);
    else if (slot.joystick) SDL_JoystickClose(slot.joystick);
    slot.controller = nullptr;
    slot.joystick = nullptr;
}

// Opens device `index` into the slot; false when SDL cannot open it.
bool OpenPad(int index, PadSlot& slot) {
    if (SDL_IsGameController(index)) {
        slot.controller = SDL_GameControllerOpen(index);
        slot.joystick = slot.controller ? SDL_GameControllerGetJoystick(slot.controller) : nullptr;
    }
    if (!slot.joystick) {
        if (slot.controller) SDL_GameControllerClose(slot.controller);
        slot.controller = nullptr;
        slot.joystick = SDL_JoystickOpen(index);
    }
    if (!slot.joystick) {
        refusedDevices.push_back(SDL_JoystickGetDeviceInstanceID(index));
        return false;
    }
    slot.failed = false;
    slot.guid = SDL_JoystickGetGUID(slot.joystick);
    slot.hadPad = true;
    return true;
}

// Every attached device not yet in a slot goes into one: the slot it had before when it comes
// back, else the lowest free slot. The ninth pad and later wait for a free slot.
void TakeNewPads() {
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
        if (DeviceHeld(id)) continue;
        if (std::find(refusedDevices.begin(), refusedDevices.end(), id) != refusedDevices.end()) continue;
        const SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(i);
        int chosen = -1;
        for (int n = 0; n < kInputMaxPads && chosen < 0; ++n) {
            if (!slots[n].joystick && slots[n].hadPad && std::memcmp(&slots[n].guid, &guid, sizeof(guid)) == 0) {
                chosen = n;
            }
        }
        for (int n = 0; n < kInputMaxPads && chosen < 0; ++n) {
            if (!slots[n].joystick) chosen = n;
        }
        if (chosen < 0) return;
        if (OpenPad(i, slots[chosen])) slots[chosen].attachedThisPoll = true;
    }
}

// A pad with a known layout: the directions from the D-pad or the left stick, the z axis from
// the triggers (left trigger one way, right trigger the other, as a DirectInput pad reports its
// two triggers on one axis), buttons 1..8 on south, east, west, north, the two shoulders, back
// and start.
void ReadController(SDL_GameController* c, InputPadReading& out) {
    auto axis = [c](SDL_GameControllerAxis a) { return InputScaleAxis(SDL_GameControllerGetAxis(c, a)); };
    auto button = [c](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(c, b) != 0; };
    out.x = axis(SDL_CONTROLLER_AXIS_LEFTX);
    out.y = axis(SDL_CONTROLLER_AXIS_LEFTY);
    if (button(SDL_CONTROLLER_BUTTON_DPAD_LEFT)) out.x = -kInputAxisRange;
    if (button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) out.x = kInputAxisRange;
    if (button(SDL_CONTROLLER_BUTTON_DPAD_UP)) out.y = -kInputAxisRange;
    if (button(SDL_CONTROLLER_BUTTON_DPAD_DOWN)) out.y = kInputAxisRange;
    // Triggers run 0..32767: each is half the axis.
    const int left = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
    const int right = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    out.z = static_cast<int>(std::lround((left - right) * static_cast<double>(kInputAxisRange) / 32767.0));
    out.z = std::clamp(out.z, -kInputAxisRange, kInputAxisRange);
    static const SDL_GameControllerButton kButtons[kInputPadButtons] = {
        SDL_CONTROLLER_BUTTON_A,            SDL_CONTROLLER_BUTTON_B,
        SDL_CONTROLLER_BUTTON_X,            SDL_CONTROLLER_BUTTON_Y,
        SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
        SDL_CONTROLLER_BUTTON_BACK,         SDL_CONTROLLER_BUTTON_START,
    };
    for (int b = 0; b < kInputPadButtons; ++b) out.buttons[b] = button(kButtons[b]) ? 0x80 : 0;
}

// A joystick without a known layout: its first three axes and first eight buttons as it numbers
// them, its first hat as the directions as well.
void ReadJoystick(SDL_Joystick* joystick, InputPadReading& out) {
    const int axes = SDL_JoystickNumAxes(joystick);
    out.x = axes > 0 ? InputScaleAxis(SDL_JoystickGetAxis(joystick, 0)) : 0;
    out.y = axes > 1 ? InputScaleAxis(SDL_JoystickGetAxis(joystick, 1)) : 0;
    out.z = axes > 2 ? InputScaleAxis(SDL_JoystickGetAxis(joystick, 2)) : 0;
    if (SDL_JoystickNumHats(joystick) > 0) {
        const Uint8 hat = SDL_JoystickGetHat(joystick, 0);
        if (hat & SDL_HAT_LEFT) out.x = -kInputAxisRange;
        if (hat & SDL_HAT_RIGHT) out.x = kInputAxisRange;
        if (hat & SDL_HAT_UP) out.y = -kInputAxisRange;
        if (hat & SDL_HAT_DOWN) out.y = kInputAxisRange;
    }
    const int buttons = SDL_JoystickNumButtons(joystick);
    for (int b = 0; b < kInputPadButtons; ++b) {
        out.buttons[b] = (b < buttons && SDL_JoystickGetButton(joystick, b)) ? 0x80 : 0;
    }
}

}  // namespace

int InputScanCodeFromSdl(int sdlScancode) {
    BuildTable();
    if (sdlScancode < 0 || sdlScancode >= SDL_NUM_SCANCODES) return 0;
    return sdlToScanCode[sdlScancode];
}

int InputScanCodeFromName(const char* name) {
    if (!name) return -1;
    for (const KeyName& k : kKeyNames) {
        if (strcasecmp(k.name, name) == 0) return k.code;
    }
    return -1;
}

const char* InputScanCodeName(int code) {
    for (const KeyName& k : kKeyNames) {
        if (k.code == code) return k.name;
    }
    return "";
}

int InputScaleAxis(int raw) {
    // Linear over SDL's full range, rounded to nearest, so both ends reach the full deflection.
    const long scaled = (static_cast<long>(raw) + 32768L) * (2L * kInputAxisRange) * 2L / 65535L;
    const long value = (scaled + 1) / 2 - kInputAxisRange;
    return static_cast<int>(std::clamp<long>(value, -kInputAxisRange, kInputAxisRange));
}

bool InputOpen() {
    BuildTable();
    if (!wheelWatched) {
        SDL_AddEventWatch(WatchWheel, nullptr);
        wheelWatched = true;
    }
    wheelSteps = 0;
    if (!joysticksStarted) {
        // The game-controller service brings the joysticks with it, and SDL's mapping database.
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return false;
        joysticksStarted = true;
    }
    return true;
}

int InputAddPadMappings(const char* path) {
    if (!joysticksStarted || !path || access(path, R_OK) != 0) return -1;
    return SDL_GameControllerAddMappingsFromFile(path);
}

void InputClose() {
    for (PadSlot& s : slots) {
        ClosePad(s);
        s = PadSlot{};
    }
    refusedDevices.clear();
    if (joysticksStarted) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    joysticksStarted = false;
    if (wheelWatched) SDL_DelEventWatch(WatchWheel, nullptr);
    wheelWatched = false;
}

void InputReadKeyboard(uint8_t keys[256]) {
    BuildTable();
    std::memset(keys, 0, 256);
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    if (!state) return;
    count = std::min(count, static_cast<int>(SDL_NUM_SCANCODES));
    for (int sc = 0; sc < count; ++sc) {
        if (state[sc] && sdlToScanCode[sc]) keys[sdlToScanCode[sc]] = 0x80;
    }
}

void InputReadMouse(InputMouseReading& out) {
    int x = 0, y = 0;
    const Uint32 buttons = SDL_GetMouseState(&x, &y);
    out.x = x;
    out.y = y;
    out.wheel = wheelSteps * kWheelDelta;
    wheelSteps = 0;
    // DirectInput's button order: left, right, middle, first extra.
    out.buttons[0] = (buttons & SDL_BUTTON_LMASK) ? 0x80 : 0;
    out.buttons[1] = (buttons & SDL_BUTTON_RMASK) ? 0x80 : 0;
    out.buttons[2] = (buttons & SDL_BUTTON_MMASK) ? 0x80 : 0;
    out.buttons[3] = (buttons & SDL_BUTTON_X1MASK) ? 0x80 : 0;
}

void InputMoveCursor(int x, int y) {
    SDL_Window* window = static_cast<SDL_Window*>(SysWindowHandle());
    if (window) SDL_WarpMouseInWindow(window, x, y);
}

void InputShowCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

int InputOpenPads() {
    for (PadSlot& s : slots) {
        ClosePad(s);
        s = PadSlot{};
    }
    if (!joysticksStarted) return 0;
    SDL_JoystickUpdate();
    // At start the pads fill the slots in the system's order.
    const int count = std::min(SDL_NumJoysticks(), kInputMaxPads);
    refusedDevices.clear();
    for (int i = 0; i < count; ++i) slots[i].failed = !OpenPad(i, slots[i]);
    return count;
}

void InputUpdatePads() {
    if (!joysticksStarted) return;
    // Fresh states and the list of attached devices (SDL looks for new and removed ones here).
    SDL_JoystickUpdate();
    for (PadSlot& s : slots) {
        s.attachedThisPoll = false;
        s.lostThisPoll = false;
        if (s.joystick && !SDL_JoystickGetAttached(s.joystick)) {
            ClosePad(s);
            s.lostThisPoll = true;
        }
    }
    // A refused device that went away may be tried again when it comes back.
    refusedDevices.erase(std::remove_if(refusedDevices.begin(), refusedDevices.end(),
                                        [](SDL_JoystickID id) { return !DeviceAttached(id); }),
                         refusedDevices.end());
    TakeNewPads();
}

int InputPadCount() {
    int n = 0;
    for (const PadSlot& s : slots) n += s.joystick ? 1 : 0;
    return n;
}

bool InputPadSlotOpened(int slot) { return slot >= 0 && slot < kInputMaxPads && slots[slot].joystick; }

bool InputPadSlotFailed(int slot) { return slot >= 0 && slot < kInputMaxPads && slots[slot].failed; }

const char* InputPadName(int slot) {
    if (!InputPadSlotOpened(slot)) return "";
    const char* name = slots[slot].controller ? SDL_GameControllerName(slots[slot].controller)
                                              : SDL_JoystickName(slots[slot].joystick);
    return name ? name : "";
}

bool InputPadIsController(int slot) { return InputPadSlotOpened(slot) && slots[slot].controller; }

InputPadStatus InputPollPad(int index, InputPadReading& out) {
    out = InputPadReading{};
    if (index < 0 || index >= kInputMaxPads || !joysticksStarted) return InputPadStatus::kEmpty;
    PadSlot& slot = slots[index];
    if (slot.lostThisPoll) return InputPadStatus::kLost;
    if (!slot.joystick) return InputPadStatus::kEmpty;
    if (slot.controller) ReadController(slot.controller, out);
    else ReadJoystick(slot.joystick, out);
    return slot.attachedThisPoll ? InputPadStatus::kAttached : InputPadStatus::kRead;
}

InputRumbleResult InputRumblePad(int index, int low, int high, int ms) {
    if (!InputPadSlotOpened(index)) return InputRumbleResult::kNoPad;
    SDL_Joystick* joystick = slots[index].joystick;
    if (!SDL_JoystickGetAttached(joystick)) return InputRumbleResult::kNoPad;
    if (!SDL_JoystickHasRumble(joystick)) return InputRumbleResult::kNoRumble;
    const Uint16 lowMotor = static_cast<Uint16>(std::clamp(low, 0, 65535));
    const Uint16 highMotor = static_cast<Uint16>(std::clamp(high, 0, 65535));
    const Uint32 length = static_cast<Uint32>(std::max(ms, 0));
    return SDL_JoystickRumble(joystick, lowMotor, highMotor, length) == 0 ? InputRumbleResult::kStarted
                                                                          : InputRumbleResult::kNoRumble;
}
