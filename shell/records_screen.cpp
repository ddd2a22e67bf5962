#include "shell/records_screen.h"

#include <cstdarg>
#include <cstdio>

#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/limits.h"
#include "game/progress.h"
#include "game/records.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "shell/course_select.h"
#include "shell/menu_frame.h"
#include "shell/title_background.h"

namespace {
constexpr int kLastCourse = CourseCount;
constexpr int kCoursesBeforeSecrets = 10;
constexpr uint32_t kArrowColour = 0xff00c0ffu;  // the shell font's colour, as Course Select's marks
constexpr int kCourseBarRight = 488;
constexpr int kShortBarRight = 168;

bool IsCoursePage(int cursor) { return cursor >= 1 && cursor <= kLastCourse; }
bool IsSummaryPage(int cursor) {
    return cursor == kRecordsRankPage || cursor == kRecordsLapPage || cursor == kRecordsTotalPage ||
           cursor == kRecordsRatioPage;
}
bool SecretHidden(int course) { return course >= kFirstSecretCourse && !secretFound[course - kFirstSecretCourse]; }
// A course the summary pages list: a normal course open so far, a secret course found.
bool CourseListed(int course) {
    return course < kFirstSecretCourse ? course <= coursesOpen : secretFound[course - kFirstSecretCourse];
}

// One more line of a page, printf-formatted (cut to the line's size, never past it).
void Add(RecordsLine lines[], int& n, int x, int y, const char* format, ...) __attribute__((format(printf, 5, 6)));
void Add(RecordsLine lines[], int& n, int x, int y, const char* format, ...) {
    if (n >= kRecordsMaxLines) return;
    RecordsLine& line = lines[n++];
    line.x = x;
    line.y = y;
    va_list args;
    va_start(args, format);
    std::vsnprintf(line.text, sizeof(line.text), format, args);
    va_end(args);
}

int CoursePageLines(int course, RecordsLine lines[]) {
    const CourseRecord& r = records[course];
    const int laps = RecordedLaps(course);
    int n = 0;
    Add(lines, n, 120, 240, "%s", CourseSelectLine(course));
    Add(lines, n, 120, 256, "Best Rank                     %d ", r.bestRank);
    Add(lines, n, 120, 272, "Best Lap                %2d:%2.3f ", r.bestLapMinutes, r.bestLapMillis / 1000.0);
    for (int i = 1; i <= laps; ++i) {
        const char* const format =
            i == 1 ? "Best Total Time  Lap %3d %02d:%2.3f " : "                 Lap %3d %02d:%2.3f ";
        Add(lines, n, 120, 16 * (i + 17), format, i, r.splitMinutes[i - 1], r.splitMillis[i - 1] / 1000.0);
    }
    const RaceTime total = BestTotal(course);
    Add(lines, n, 120, 16 * (laps + 18), "Best Total Time        %03d:%2.3f ", total.minutes, total.millis / 1000.0);
    Add(lines, n, 120, 16 * (laps + 19), "Best Crystal Ratio         %3.2f %% ", r.bestCrystalRatio);
    return n;
}

int SummaryPageLines(int page, RecordsLine lines[]) {
    int n = 0;
    const char* caption = page == kRecordsRankPage    ? "Best \n Rank "
                          : page == kRecordsLapPage   ? "Best \n Lap "
                          : page == kRecordsTotalPage ? "Best \n Total \n  Time "
                                                      : "Best \n Crystal \n    Ratio ";
    Add(lines, n, 200, 240, "%s", caption);
    for (int course = 1; course <= kLastCourse; ++course) {
        if (!CourseListed(course)) continue;
        const bool secret = course >= kFirstSecretCourse;
        const int number = secret ? course - kFirstSecretCourse + 1 : course;
        const char* const kind = secret ? "Secret" : "Course";
        const CourseRecord& r = records[course];
        const int y = 240 + 16 * (course - 1);
        switch (page) {
            case kRecordsRankPage:
                Add(lines, n, 288, y, "%s %2d Rank %d ", kind, number, r.bestRank);
                break;
            case kRecordsLapPage:
                Add(lines, n, 288, y, "%s %2d %02d:%2.3f ", kind, number, r.bestLapMinutes, r.bestLapMillis / 1000.0);
                break;
            case kRecordsTotalPage: {
                const RaceTime total = BestTotal(course);
                Add(lines, n, 288, y, "%s %2d %03d:%2.3f ", kind, number, total.minutes, total.millis / 1000.0);
                break;
            }
            default:
                Add(lines, n, 288, y, "%s %2d %3.2f %% ", kind, number, r.bestCrystalRatio);
                break;
        }
    }
    return n;
}

void DrawRecordsScreen() {
    const bool coursePage = IsCoursePage(menuCursor);
    DrawMenuBar(0, coursePage ? kCourseBarRight : kShortBarRight);
    // Up/Down marks in the first quarter of every two seconds, Left/Right marks in the third.
    // The marks are flat shapes of either winding: no culling for them.
    const uint32_t blink = MenuClockMs() % 2000;
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    if (blink < 500) {
        DrawTriangleUp(112, 244, 4, kArrowColour);
        DrawTriangleDown(112, 252, 4, kArrowColour);
    } else if (blink >= 1000 && blink < 1500) {
        DrawTriangleRight(116, 248, 4, kArrowColour);
        DrawTriangleLeft(108, 248, 4, kArrowColour);
    }
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    const char* const exitRow = "Exit ";
    DrawMenuTexts("Records ", coursePage ? nullptr : &exitRow, coursePage ? 0 : 1);
    RecordsLine lines[kRecordsMaxLines];
    const int n = RecordsPageLines(menuCursor, lines);
    BeginText();
    for (int i = 0; i < n; ++i) DrawText(lines[i].x, lines[i].y, lines[i].text);
    EndText();
    DrawMenuHelp(!coursePage, true);
}
}  // namespace

int RecordsUp(int cursor) {
    int c = IsCoursePage(cursor) ? cursor - 1 : -1;
    if (c < 0) c = kLastCourse;
    while (SecretHidden(c)) --c;
    if (coursesOpen < kCoursesBeforeSecrets && c > coursesOpen) c = coursesOpen;
    return c;
}

int RecordsDown(int cursor) {
    int c = IsCoursePage(cursor) ? cursor + 1 : 1;
    if (c > kLastCourse) c = 0;
    if (coursesOpen < kCoursesBeforeSecrets && c > coursesOpen) c = 0;
    while (SecretHidden(c)) {
        if (++c > kLastCourse) c = 0;
    }
    return c;
}

int RecordsRight(int cursor) {
    switch (cursor) {
        case kRecordsRankPage: return kRecordsLapPage;
        case kRecordsLapPage: return kRecordsTotalPage;
        case kRecordsTotalPage: return kRecordsRatioPage;
        case kRecordsRatioPage: return 0;
        default: return kRecordsRankPage;
    }
}

int RecordsLeft(int cursor) {
    switch (cursor) {
        case kRecordsRatioPage: return kRecordsTotalPage;
        case kRecordsTotalPage: return kRecordsLapPage;
        case kRecordsLapPage: return kRecordsRankPage;
        case kRecordsRankPage: return 0;
        default: return kRecordsRatioPage;
    }
}

int RecordsPageLines(int cursor, RecordsLine lines[kRecordsMaxLines]) {
    if (IsCoursePage(cursor)) return CoursePageLines(cursor, lines);
    if (IsSummaryPage(cursor)) return SummaryPageLines(cursor, lines);
    return 0;
}

void RecordsFrame() {
    ReadControls();
    if (BeginMenuFrame()) {
        DrawRecordsScreen();
        EndMenuFrame();
    }

    int moved = -1;
    if (controls.up.pressed) {
        moved = RecordsUp(menuCursor);
    } else if (controls.down.pressed) {
        moved = RecordsDown(menuCursor);
    } else if (controls.menuRight.pressed) {
        moved = RecordsRight(menuCursor);
    } else if (controls.menuLeft.pressed) {
        moved = RecordsLeft(menuCursor);
    } else if (controls.accept.pressed) {
        HoldIdleCounter();
        if (!IsCoursePage(menuCursor)) LeaveMenuForTitle(false);
    } else if (controls.back.pressed) {
        LeaveMenuForTitle(true);
        return;
    }
    if (moved >= 0) {
        PlaySound(kSoundSlide);
        HoldIdleCounter();
        menuCursor = moved;
    }
    frameCount += 1;
}
