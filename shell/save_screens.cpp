#include "shell/save_screens.h"

#include "framework/application.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/save_file.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "game/sound_effects.h"
#include "game/tunes.h"
#include "shell/menu_frame.h"
#include "shell/title_background.h"

namespace {
constexpr int kRows = 2;

// The shared frame of both screens; `act` saves or loads and says whether it worked.
void FileScreenFrame(const char* caption, const char* action, const char* success, const char* failure,
                     bool (*act)()) {
    ReadControls();
    if (BeginMenuFrame()) {
        DrawMenuBar(menuCursor, 232);
        const char* const rows[kRows] = {"Exit ", action};
        DrawMenuTexts(caption, rows, kRows);
        if (autoSaveResult != 0) {
            BeginText();
            DrawText(120, 288, autoSaveResult == 1 ? success : failure);
            EndText();
        }
        DrawMenuHelp(true, true);
        EndMenuFrame();
    }

    if (MoveMenuCursorByKeys(kRows)) {
        // The cursor moved: nothing else this frame.
    } else if (controls.accept.pressed) {
        HoldIdleCounter();
        if (menuCursor == 0) {
            LeaveMenuForTitle(false);
        } else {
            PlaySound(kSoundAccept);
            autoSaveResult = act() ? 1 : 2;
        }
    } else if (controls.back.pressed) {
        LeaveMenuForTitle(true);
        return;
    }
    frameCount += 1;
}

bool SaveGame() { return WriteSaveFile(); }

// A load brings its own BGM Type: the title's tune starts again under it.
bool LoadGame() {
    if (!ReadSaveFile()) return false;
    ReloadTitleTune();
    if (bgmType == 2 && !kbgmReady) bgmType = 1;
    PlayTune();
    return true;
}
}  // namespace

void SaveFrame() { FileScreenFrame("Save ", "Save ", "Save Success ", "Save Failure ", SaveGame); }

void LoadFrame() { FileScreenFrame("Load ", "Load ", "Load Success ", "Load Failure ", LoadGame); }
