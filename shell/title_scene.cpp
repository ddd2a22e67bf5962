#include "shell/title_scene.h"

#include "framework/application.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "game/tunes.h"
#include "shell/course_select.h"
#include "shell/attract_sequence.h"
#include "shell/menu_frame.h"
#include "shell/option_screen.h"
#include "shell/records_screen.h"
#include "shell/save_screens.h"
#include "shell/title_background.h"

namespace {
constexpr int kRows = 6;
const char* const kTitleRows[kRows] = {"Rash Into Races ", "Records ", "Option ", "Save ", "Load ", "Quit "};
enum { kRowRace, kRowRecords, kRowOption, kRowSave, kRowLoad, kRowQuit };
constexpr int kKeysUntil = 1750;
constexpr int kAttractAfter = 1800;
constexpr int kFadeInFrames = 30;

void AcceptRow() {
    PlaySound(kSoundAccept);
    switch (menuCursor) {
        case kRowRace:
        case kRowRecords:
        case kRowOption: {
            const int row = menuCursor;
            HoldIdleCounter();
            menuCursor = 0;
            if (row == kRowRace) SetScene(CourseSelectFrame, frameCount);
            if (row == kRowRecords) SetScene(RecordsFrame, frameCount);
            if (row == kRowOption) SetScene(OptionFrame, frameCount);
            break;
        }
        case kRowSave:
            autoSaveResult = 0;
            menuCursor = 0;
            SetScene(SaveFrame, frameCount);
            break;
        case kRowLoad:
            autoSaveResult = 0;
            menuCursor = 0;
            SetScene(LoadFrame, frameCount);
            break;
        case kRowQuit:
            CloseMainWindow();
            break;
    }
}
}  // namespace

namespace {
void DrawTitlePicture() {
    const int t = frameCount;
    if (BeginMenuPicture()) {
        DrawMenuBar(menuCursor, 280);
        DrawMenuTexts(nullptr, kTitleRows, kRows);
        DrawMenuHelp(true, false);
        if (t < kFadeInFrames) DrawAcross(240, 480, static_cast<uint32_t>(240 - 8 * t) << 24);
        EndMenuFrame();
    }
}
}  // namespace

void TitleFrame() {
    ReadControls();
    const int t = frameCount;
    StepTitleBackground();
    ShowStepPicture(DrawTitlePicture);

    if (t < kKeysUntil) {
        if (MoveMenuCursorByKeys(kRows)) {
            // The cursor moved: nothing else this frame.
        } else if (controls.accept.pressed) {
            AcceptRow();
        }
    }
    if (t == kKeysUntil) FadeOutTune(1);

    frameCount += 1;
    if (frameProc == TitleFrame && frameCount > kAttractAfter) {
        ReloadTitleTune();
        StartAttractSequence();
    }
}

void GoToTitleScreen() {
    TitleSetUp();
    SetScene(TitleFrame);
}
