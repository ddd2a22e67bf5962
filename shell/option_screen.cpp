#include "shell/option_screen.h"

#include "framework/application.h"
#include "framework/config_file.h"
#include "framework/input.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "game/sound_effects.h"
#include "game/tunes.h"
#include "shell/key_config_screen.h"
#include "shell/menu_frame.h"
#include "shell/pad_config_screen.h"
#include "shell/title_background.h"

namespace {
// Row 0 "Exit ", rows 1..9 the settings in table order, then "Pad Config ", "Key Config " and
// the pad's rumble (korvan.cfg's input.rumble, written at once when it changes).
constexpr int kRowExit = 0;
constexpr int kRowPadConfig = kSettingCount + 1;
constexpr int kRowKeyConfig = kSettingCount + 2;
constexpr int kRowRumble = kSettingCount + 3;
constexpr int kRows = kSettingCount + 4;
constexpr int kBarRight = 232;
constexpr int kLabelX = 240;
constexpr int kHintX = 500;

const SettingInfo* SettingOfRow(int row) { return row >= 1 && row <= kSettingCount ? &kSettings[row - 1] : nullptr; }

void DrawOptionScreen() {
    DrawMenuBar(menuCursor, kBarRight);
    const char* rows[kRows];
    rows[kRowExit] = "Exit ";
    for (int i = 0; i < kSettingCount; ++i) rows[i + 1] = kSettings[i].caption;
    rows[kRowPadConfig] = "Pad Config ";
    rows[kRowKeyConfig] = "Key Config ";
    rows[kRowRumble] = "Rumble ";
    DrawMenuTexts("Option ", rows, kRows);
    BeginText();
    DrawText(kLabelX, 240 + 16 * kRowRumble, padRumble.value == kRumbleOn ? "ON " : "OFF ");
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingChoice* choice = CurrentChoice(kSettings[i]);
        if (!choice) continue;
        const int y = 240 + 16 * (i + 1);
        DrawText(kLabelX, y, choice->label);
        if (choice->hint) DrawText(kHintX, y, choice->hint);
    }
    EndText();
    DrawMenuHelp(true, true);
}

// The music system changes at once: the title's tune is loaded afresh into both players and
// started under the new BGM Type; the accept sound follows only when sounds are still on.
void StepBgmType() {
    ReloadTitleTune();
    bgmType = NextBgmType(bgmType, kbgmReady);
    PlayTune();
    PlaySound(kSoundAccept);
}

void AcceptRow() {
    HoldIdleCounter();
    if (menuCursor == kRowExit) {
        LeaveMenuForTitle(false);
    } else if (menuCursor == kRowPadConfig) {
        PlaySound(kSoundAccept);
        menuCursor = 0;
        SetScene(PadConfigFrame, frameCount);
    } else if (menuCursor == kRowKeyConfig) {
        PlaySound(kSoundAccept);
        menuCursor = 0;
        SetScene(KeyConfigFrame, frameCount);
    } else if (menuCursor == kRowRumble) {
        PlaySound(kSoundAccept);
        padRumble.value = padRumble.value == kRumbleOn ? kRumbleOff : kRumbleOn;
        SaveConfigFile();
    } else if (menuCursor == 1 + kSettingBgm) {
        StepBgmType();
    } else if (const SettingInfo* setting = SettingOfRow(menuCursor)) {
        PlaySound(kSoundAccept);
        *setting->value = NextSettingValue(*setting, *setting->value);
    }
}
}  // namespace

int NextBgmType(int value, bool kbgmAvailable) {
    const int next = NextSettingValue(kSettings[kSettingBgm], value);
    return next == 2 && !kbgmAvailable ? 1 : next;
}

void OptionFrame() {
    ReadControls();
    if (BeginMenuFrame()) {
        DrawOptionScreen();
        EndMenuFrame();
    }

    if (MoveMenuCursorByKeys(kRows)) {
        // The cursor moved: nothing else this frame.
    } else if (controls.accept.pressed) {
        AcceptRow();
    } else if (controls.back.pressed) {
        LeaveMenuForTitle(true);
        return;
    }
    frameCount += 1;
}
