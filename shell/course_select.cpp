#include "shell/course_select.h"

#include <cstdio>
#include <cstring>

#include "framework/application.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/limits.h"
#include "game/progress.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "race/race_scenes.h"
#include "race/time_attack.h"
#include "shell/menu_frame.h"
#include "shell/title_background.h"

namespace {
constexpr int kLastCursor = 14;
constexpr int kFirstSecret = 10;  // cursor of secret course 1
const char* const kLines[CourseCount + 1] = {
    "",
    "Course  1 Blue Surf And Wind ",
    "Course  2 Green Night Of Calm City ",
    "Course  3 Yellow Sand Ocean ",
    "Course  4 Red Lava In Twin Volcano ",
    "Course  5 Black Sky Is Falling ",
    "Course  6 Toward Unlimited Horizon ",
    "Course  7 Dive To Sunset ",
    "Course  8 Escape From Jail ",
    "Course  9 Everlasting Cold ",
    "Course 10 Far From The Globe ",
    "Secret  1 I Love You ",
    "Secret  2 Under Water 2nd ",
    "Secret  3 Gloomy Tunnel 2nd ",
    "Secret  4 Can You Pick Up All Crystals ? ",
    "Secret  5 Demonstration ",
};

// Left and Right switch the line between the race and "Time Attack " for a course with a ghost.
bool timeAttackChosen = false;
char timeAttackLine[96];

bool SecretHidden(int cursor) { return cursor >= kFirstSecret && !secretFound[cursor - kFirstSecret]; }

void StartChosenCourse(bool timeAttack) {
    autoSaveResult = 0;
    PlaySound(kSoundAccept);
    const int course = menuCursor + 1;
    menuCursor = 0;
    // A Time Attack begins no series of races: it leads back here, never to the next course.
    if (timeAttack) {
        StartTimeAttack(course);
        return;
    }
    startedFromCourse1 = course == 1;
    StartCourse(course);
}
}  // namespace

const char* CourseSelectLine(int course) { return course >= 1 && course <= CourseCount ? kLines[course] : ""; }

int CourseSelectUp(int cursor) {
    int c = cursor - 1;
    if (c < 0) c = kLastCursor;
    while (SecretHidden(c)) --c;
    if (coursesOpen < 10 && c > coursesOpen - 1) c = coursesOpen - 1;
    return c;
}

int CourseSelectDown(int cursor) {
    int c = cursor + 1;
    if (c > kLastCursor) c = 0;
    if (coursesOpen < 10 && c > coursesOpen - 1) c = 0;
    while (SecretHidden(c)) {
        if (++c > kLastCursor) c = 0;
    }
    return c;
}

void CourseSelectFrame() {
    ReadControls();
    const bool choice = coursesOpen > 1;
    // The ghost file is looked for once a frame: the line, the help and the keys all follow it.
    const bool offered = choice && TimeAttackOffered(menuCursor + 1);
    const bool timeAttackHere = offered && timeAttackChosen;
    if (BeginMenuFrame()) {
        if (choice) {
            device->SetTexture(0, nullptr);
            DrawRect(120, 240, 488, 256, 0x800080ffu);
            // The arrows blink in the first half of every second.
            if (MenuClockMs() % 1000 < 500) {
                DrawTriangleUp(112, 244, 4, 0xff00c0ffu);
                DrawTriangleDown(112, 252, 4, 0xff00c0ffu);
            }
            const char* line = CourseSelectLine(menuCursor + 1);
            if (timeAttackHere) {
                std::snprintf(timeAttackLine, sizeof timeAttackLine, "Time Attack %s", line);
                line = timeAttackLine;
                // The longer line gets a longer bar.
                DrawRect(488, 240, 120 + 8 * static_cast<int>(std::strlen(line)) + 8, 256, 0x800080ffu);
            }
            DrawMenuTexts("Course Select ", &line, 1);
        }
        DrawMenuHelp(true, true);
        if (offered && MenuHelpVisible()) {
            BeginText();
            DrawText(456, 452, "\"<- ->\"Key Time Attack ");
            EndText();
        }
        EndMenuFrame();
    }

    if (!choice) {
        StartChosenCourse(false);
        return;
    }
    if (controls.up.pressed) {
        PlaySound(kSoundSlide);
        HoldIdleCounter();
        menuCursor = CourseSelectUp(menuCursor);
    } else if (controls.down.pressed) {
        PlaySound(kSoundSlide);
        HoldIdleCounter();
        menuCursor = CourseSelectDown(menuCursor);
    } else if ((controls.menuLeft.pressed || controls.menuRight.pressed) && offered) {
        PlaySound(kSoundSlide);
        HoldIdleCounter();
        timeAttackChosen = !timeAttackChosen;
    } else if (controls.accept.pressed) {
        StartChosenCourse(timeAttackHere);
        return;
    } else if (controls.back.pressed) {
        LeaveMenuForTitle(true);
        return;
    }
    frameCount += 1;
}
