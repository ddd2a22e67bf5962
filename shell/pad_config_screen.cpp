#include "shell/pad_config_screen.h"

#include <algorithm>

#include "framework/application.h"
#include "framework/input.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/pad_config.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "shell/menu_frame.h"
#include "shell/option_screen.h"

namespace {
// Row 0 "Exit ", rows 1..5 the actions in the pad table's order.
constexpr int kRows = kPadActionCount + 1;
const char* const kPadRows[kRows] = {"Exit ", "Gas / Accept ", "Brake / Go Back ", "Boost ", "Pause / Skip ",
                                     "View Change "};
constexpr int kBarRight = 256;
constexpr int kButtonX = 272;
constexpr int kPadButtonLast = kPadButton1 + 7;
constexpr int kIdleHold = 540;

bool Pressed(int state) { return state == 2; }
bool Down(int state) { return state >= 2; }

bool AnyPadButtonPressed() {
    for (int b = kPadButton1; b <= kPadButtonLast; ++b)
        if (Pressed(PadState(0, b))) return true;
    return false;
}

void DrawPadConfigScreen() {
    DrawMenuBar(menuCursor, kBarRight);
    DrawMenuTexts("Pad Key Config ", kPadRows, kRows);
    BeginText();
    for (int k = 0; k < kPadActionCount; ++k) DrawTextFormat(kButtonX, 256 + 16 * k, "Button %d ", padButtons[k] - 5);
    EndText();
    DrawMenuHelp(true, true);
    if (MenuHelpVisible()) {
        BeginText();
        DrawText(480, 452, "Use Pad To Select ");
        EndText();
    }
}

void BackToOptions() {
    PlaySound(kSoundCansel);
    menuCursor = 0;
    SetScene(OptionFrame, frameCount);
}

void AcceptRow() {
    HoldIdleCounter();
    if (menuCursor == 0) {
        BackToOptions();
        return;
    }
    const int action = menuCursor - 1;
    const int button = FirstNewPadButton(action);
    if (button != 0 && AssignPadButton(action, button)) PlaySound(kSoundAccept);
}
}  // namespace

bool AssignPadButton(int action, int button) {
    if (action < 0 || action >= kPadActionCount) return false;
    if (button < kPadButton1 || button > kPadButtonLast || padButtons[action] == button) return false;
    for (int k = 0; k < kPadActionCount; ++k)
        if (padButtons[k] == button) padButtons[k] = padButtons[action];
    padButtons[action] = button;
    return true;
}

int FirstNewPadButton(int action) {
    if (action < 0 || action >= kPadActionCount) return 0;
    for (int b = kPadButton1; b <= kPadButtonLast; ++b)
        if (Down(PadState(0, b)) && b != padButtons[action]) return b;
    return 0;
}

void PadConfigFrame() {
    if (BeginMenuFrame()) {
        DrawPadConfigScreen();
        EndMenuFrame();
    }

    const bool accept = Pressed(KeyState(DIK_Z)) || Pressed(KeyState(DIK_A)) || AnyPadButtonPressed();
    const bool goBack = Pressed(KeyState(DIK_X)) || Pressed(KeyState(DIK_S)) || Pressed(KeyState(DIK_Q));
    if (Pressed(PadState(0, kPadUp))) {
        menuCursor = MoveMenuCursor(menuCursor, -1, kRows);
    } else if (Pressed(PadState(0, kPadDown))) {
        menuCursor = MoveMenuCursor(menuCursor, 1, kRows);
    } else if (accept) {
        AcceptRow();
    } else if (goBack) {
        BackToOptions();
        frameCount = std::min(frameCount + 1, kIdleHold + 1);
        return;
    }
    frameCount += 1;
}
