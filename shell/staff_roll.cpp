#include "shell/staff_roll.h"

#include "framework/application.h"
#include "framework/graphics_device.h"
#include "framework/text_draw.h"
#include "game/controls.h"
#include "game/progress.h"
#include "game/save_file.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "race/race_state.h"
#include "shell/title_scene.h"

namespace {

void DrawStaffRoll(bool tryToFind) {
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetTexture(0, nullptr);
    BeginText();
    DrawText(248, 100, "Congratulations !! ");
    DrawText(224, 132, "Thank You For Playing !! ");
    DrawText(320, 196, "Created By Kiru ");
    if (tryToFind) DrawText(188, 356, "Try To Find \"5 Secret Courses\" !! ");
    EndText();
}

void DrawStaffRollWithItsLine() { DrawStaffRoll(true); }
}  // namespace

void DrawStaffRollUnseen() { DrawUnseen(DrawStaffRollWithItsLine); }

namespace {
// The end of the game's first round: every course open from now on, saved when Auto Save is on,
// and back to the title.
void FinishTheGame() {
    coursesOpen = kAllCoursesOpen;
    if (autoSave) WriteSaveFile();
    ResetRace();
    GoToTitleScreen();
}
}  // namespace

bool StaffRollShowsTryToFind() {
    if (coursesOpen < kAllCoursesOpen) return true;
    for (bool found : secretFound)
        if (!found) return true;
    return false;
}

void StaffRollFrame() {
    ReadControls();
    const int t = frameCount;
    const bool tryToFind = StaffRollShowsTryToFind();

    if (BeginFrame(0xff000000u)) {
        DrawStaffRoll(tryToFind);
        EndFrame();
    }

    if (coursesOpen >= kAllCoursesOpen && t < kStaffRollLastFrame && SkipPressed()) {
        frameCount = kStaffRollLastFrame;
        return;
    }
    frameCount += 1;
    if (frameCount > kStaffRollLastFrame) FinishTheGame();
}
