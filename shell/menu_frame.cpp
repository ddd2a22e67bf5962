#include "shell/menu_frame.h"

#include <algorithm>

#include "framework/application.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "shell/title_background.h"
#include "shell/title_scene.h"

namespace {
constexpr uint32_t kBarColour = 0x800080ffu;
constexpr int kIdleHold = 540;
}  // namespace

bool BeginMenuFrame() {
    StepTitleBackground();
    return BeginMenuPicture();
}

bool BeginMenuPicture() {
    if (!BeginFrame(0xff000000u)) return false;
    DrawTitleBackground(frameCount);
    return true;
}

void DrawMenuBar(int row, int right) {
    device->SetTexture(0, nullptr);
    DrawRect(120, 16 * (row + 15), right, 16 * (row + 16), kBarColour);
}

void DrawMenuTexts(const char* caption, const char* const* rows, int rowCount) {
    BeginText();
    if (caption) DrawText(40, 224, caption);
    for (int i = 0; i < rowCount; ++i)
        if (rows[i]) DrawText(120, 240 + 16 * i, rows[i]);
    EndText();
}

bool MenuHelpVisible() { return MenuClockMs() % 1501 < 1000; }

void DrawMenuHelp(bool accept, bool goBack) {
    if (!MenuHelpVisible()) return;
    BeginText();
    if (accept) DrawText(480, 420, "\"Z\"Key To Accept ");
    if (goBack) DrawText(480, 436, "\"X\"Key To Go Back ");
    EndText();
}

void EndMenuFrame() { EndFrame(); }

int MoveMenuCursor(int cursor, int step, int rows) {
    PlaySound(kSoundSlide);
    HoldIdleCounter();
    return ((cursor + step) % rows + rows) % rows;
}

bool MoveMenuCursorByKeys(int rows) {
    if (controls.up.pressed) {
        menuCursor = MoveMenuCursor(menuCursor, -1, rows);
    } else if (controls.down.pressed) {
        menuCursor = MoveMenuCursor(menuCursor, 1, rows);
    } else {
        return false;
    }
    return true;
}

void HoldIdleCounter() { frameCount = std::min(frameCount, kIdleHold); }

void LeaveMenuForTitle(bool byGoBack) {
    PlaySound(kSoundCansel);
    menuCursor = 0;
    if (byGoBack) frameCount = std::min(frameCount + 1, kIdleHold + 1);
    SetScene(TitleFrame, frameCount);
}
