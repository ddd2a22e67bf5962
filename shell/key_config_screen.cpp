#include "shell/key_config_screen.h"

#include <string>

#include "framework/application.h"
#include "framework/config_file.h"
#include "framework/debug_log.h"
#include "framework/input.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "shell/menu_frame.h"
#include "shell/option_screen.h"

namespace {
// Row 0 "Exit ", rows 1..7 the race actions in raceKeys' order.
constexpr int kRows = kRaceKeyActionCount + 1;
const char* const kKeyRows[kRows] = {"Exit ",        "Gas ",  "Brake ",        "Steer Left ",
                                     "Steer Right ", "Boost ", "Pause / Skip ", "View Change "};
constexpr int kBarRight = 256;
constexpr int kKeysX = 272;

// The row waiting for a key, 0 when none.
int waitingRow = 0;

void DrawKeyConfigScreen() {
    DrawMenuBar(menuCursor, kBarRight);
    DrawMenuTexts("Key Config ", kKeyRows, kRows);
    BeginText();
    for (int row = 1; row < kRows; ++row) {
        const int y = 240 + 16 * row;
        if (row == waitingRow) DrawText(kKeysX, y, "Press A Key (Escape Keeps) ");
        else DrawTextFormat(kKeysX, y, "%s ", ConfigValueText(*raceKeys[row - 1]).c_str());
    }
    EndText();
    DrawMenuHelp(true, true);
}

void BackToOptions() {
    PlaySound(kSoundCansel);
    menuCursor = 0;
    waitingRow = 0;
    SetScene(OptionFrame, frameCount);
}

// Enter drives this screen as Z and A do: a player setting keys reaches for it.
bool AcceptPressed() {
    return controls.accept.pressed || KeyState(DIK_RETURN) == 2 || KeyState(DIK_NUMPADENTER) == 2;
}

// A frame of waiting: Escape keeps the line, any other key a race action may take is given to it.
void WaitForKey() {
    HoldBackQuitKey();
    const int code = FirstPressedKey();
    if (code == 0) return;
    const int action = waitingRow - 1;
    waitingRow = 0;
    if (code == DIK_ESCAPE) {
        PlaySound(kSoundCansel);
        return;
    }
    const std::string before = ConfigValueText(*raceKeys[action]);
    if (!AssignRaceKey(action, code)) return;  // the action's own key: nothing changes
    PlaySound(kSoundAccept);
    Log("keys: %s = %s (was %s)\n", raceKeys[action]->name, ConfigValueText(*raceKeys[action]).c_str(),
        before.c_str());
    SaveConfigFile();
}
}  // namespace

int FirstPressedKey() {
    if (KeyState(DIK_ESCAPE) == 2) return DIK_ESCAPE;
    for (int code = 1; code < 256; ++code) {
        if (KeyState(code) != 2 || ConfigReservedKey(code) || !*InputScanCodeName(code)) continue;
        return code;
    }
    return 0;
}

void KeyConfigFrame() {
    ReadControls();
    if (BeginMenuFrame()) {
        DrawKeyConfigScreen();
        EndMenuFrame();
    }

    if (waitingRow != 0) {
        HoldIdleCounter();
        WaitForKey();
    } else if (MoveMenuCursorByKeys(kRows)) {
        // The cursor moved: nothing else this frame.
    } else if (AcceptPressed()) {
        HoldIdleCounter();
        if (menuCursor == 0) {
            BackToOptions();
            return;
        }
        PlaySound(kSoundAccept);
        waitingRow = menuCursor;
        HoldBackQuitKey();
    } else if (controls.back.pressed) {
        BackToOptions();
        return;
    }
    frameCount += 1;
}
