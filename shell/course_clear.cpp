#include "shell/course_clear.h"

#include <algorithm>

#include "courses/course_geometry.h"
#include "framework/application.h"
#include "framework/graphics_device.h"
#include "framework/text_draw.h"
#include "game/progress.h"
#include "game/save_file.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "shell/title_scene.h"

void (*courseTenEnding)() = nullptr;

namespace {
constexpr int kAnnouncementFrames = 600;
// The secret being announced (the last test that passed).
int announced = 0;

void AutoSave() {
    if (!autoSave) {
        autoSaveResult = 0;
        return;
    }
    autoSaveResult = WriteSaveFile() ? 1 : 2;
}

// Nothing more to announce: on to what follows the course just finished, then the automatic save.
void MoveOn() {
    const int course = currentCourse;
    if (course >= 1 && course <= 9) {
        coursesOpen = std::max(coursesOpen, course + 1);
        StartCourse(course + 1);
    } else if (course == 10) {
        if (courseTenEnding) {
            courseTenEnding();
        } else {
            ResetRace();
            GoToTitleScreen();
        }
    } else {
        ResetRace();
        GoToTitleScreen();
    }
    AutoSave();
}
}  // namespace

void CourseClearFrame() {
    const int found = FindSecretCourse(currentCourse);
    if (found != 0) {
        announced = found;
        if (frameCount == 0) frameCount = 1;
    }
    if (frameCount == 0) {
        announced = 0;
        if (BeginFrame(0xff000000u)) EndFrame();
        MoveOn();
        return;
    }

    if (BeginFrame(0xff000000u)) {
        BeginText();
        DrawText(248, 120, "Congratulations !! ");
        DrawTextFormat(240, 152, "    You Found A \n'Secret Course %d' !! ", announced);
        EndText();
        EndFrame();
    }

    frameCount += 1;
    if (frameCount > kAnnouncementFrames) {
        if (announced >= 1 && announced <= kSecretCourseCount) secretFound[announced - 1] = true;
        frameCount = 0;
    }
}
