#include "race/time_attack.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "courses/course_table.h"
#include "framework/debug_log.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/switches.h"
#include "framework/text_draw.h"
#include "framework/texture.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/records.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "game/tunes.h"
#include "race/course_intro.h"
#include "race/ghost_car.h"
#include "race/race_camera.h"
#include "race/race_results.h"
#include "race/race_scenes.h"
#include "race/race_state.h"

TimeAttack timeAttack;
FrameProc timeAttackCourseSelect = nullptr;

namespace {
const char* const kFace = "ＭＳ ゴシック";
constexpr uint32_t kSlowerColour = 0xffff2020u, kFasterColour = 0xff2080ffu;

// The HUD's image of the difference shown, and the serial it was made for.
Texture splitImage;
int splitImageSerial = 0;
// The results' "New Record ", made when first shown.
Texture newRecordImage;
constexpr uint32_t kNewRecordColour = 0xffffff40u, kNewRecordShadow = 0xff010101u;
Texture newRecordShadow;

int LapsOfCourse() { return std::clamp(CourseLaps(timeAttack.course), 1, kMaxLaps); }

int LineX(int t, int delay) { return std::min(160, 2 * (t - 160 - delay)); }

// The run's time at lap line `lap` against the ghost's, from the frames at which each first
// reached it and first crossed the line (the lap clock starts there): 16 ms a frame, as the race
// clock runs.
void NoteLapLine(int lap) {
    TimeAttack& ta = timeAttack;
    if (lap < 1 || lap > kMaxLaps) return;
    ta.splitLap = lap;
    ta.splitSerial += 1;
    const int runStart = LapFrameOf(ghostRecording, 0), runAt = LapFrameOf(ghostRecording, lap);
    const int ghostStart = LapFrameOf(raceGhost, 0), ghostAt = LapFrameOf(raceGhost, lap);
    ta.splitKnown[lap] = ta.hasGhost && runStart >= 0 && runAt >= 0 && ghostStart >= 0 && ghostAt >= 0;
    if (!ta.splitKnown[lap]) return;
    ta.splitMillis[lap] = ((runAt - runStart) - (ghostAt - ghostStart)) * kMillisPerFrame;
    Log("time attack: lap %d: %+d ms against the ghost\n", lap, ta.splitMillis[lap]);
}
}  // namespace

bool TimeAttackOffered(int course) {
    const std::string path = GhostFilePath(course);
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void StartTimeAttack(int course) {
    if (!PrepareRace(course)) {
        LogWarning("time attack: course %d cannot be raced; going to the title\n", course);
        GoToTitle();
        return;
    }
    TimeAttack& ta = timeAttack;
    ta = TimeAttack();
    ta.active = true;
    ta.course = course;
    // Alone on the course: no computer cars, and a clock that never runs out.
    raceState.enemyCount = 0;
    ta.hasGhost = LoadRaceGhost(course);
    ta.ghostMillis = ta.hasGhost ? raceGhost.totalMillis : 0;
    PlaceTimeAttackGhost(0);
    Log("time attack: course %d ready, %s\n", course, ta.hasGhost ? "with its ghost" : "without a ghost");
    if (programOptions.skipIntro) {
        SetScene(CountdownFrame, 1);
        return;
    }
    SetScene(PreRaceFrame);
}

void EndTimeAttack() {
    timeAttack.active = false;
    ClearRaceGhost();
    splitImage.Release();
    splitImageSerial = 0;
}

void LeaveTimeAttack() {
    const int course = timeAttack.course;
    ReportRaceStats();
    if (programOptions.exitAfterRace) CloseMainWindow();
    ResetRace();
    if (raceExits.titleSetUp) raceExits.titleSetUp();
    menuCursor = std::clamp(course - 1, 0, CourseCount - 1);
    SetScene(timeAttackCourseSelect ? timeAttackCourseSelect : BlackFrame);
}

void StepTimeAttack(int frame, bool finished) {
    TimeAttack& ta = timeAttack;
    if (!ta.active) return;
    const RaceState& r = raceState;
    if (!finished && r.lapsDone > ta.splitLap && r.lapsDone <= LapsOfCourse()) NoteLapLine(r.lapsDone);
    PlaceTimeAttackGhost(finished ? ta.finishFrame + frame : frame);
}

void PlaceTimeAttackGhost(int frame) {
    if (!timeAttack.active) return;
    PlaceGhost(frame, raceCamera.eye);
}

void FinishTimeAttack() {
    TimeAttack& ta = timeAttack;
    const RaceState& r = raceState;
    const int laps = LapsOfCourse();
    ta.finishFrame = static_cast<int>(ghostRecording.frames.size());
    ta.newRecord = KeepRaceGhost(ta.course, &r.lapTimeMinutes[1], &r.lapTimeMillis[1], laps);
    const RaceTime total = SumLapTimes(&r.lapTimeMinutes[1], &r.lapTimeMillis[1], laps);
    Log("time attack: course %d finished in %d ms (ghost %d ms)%s\n", ta.course, total.minutes * 60000 + total.millis,
        ta.ghostMillis, ta.newRecord ? ", new record" : "");
}

void FormatSplit(char* out, int size, int millis) {
    const char sign = millis > 0 ? '+' : '-';
    const int a = std::abs(millis);
    std::snprintf(out, static_cast<size_t>(size), "%c%d:%02d.%03d", sign, a / 60000, a / 1000 % 60, a % 1000);
}

void DrawTimeAttackSplit() {
    const TimeAttack& ta = timeAttack;
    if (ta.splitLap < 1 || !ta.splitKnown[ta.splitLap]) return;
    if (splitImageSerial != ta.splitSerial) {
        char text[32];
        const int d = ta.splitMillis[ta.splitLap];
        FormatSplit(text, sizeof text, d);
        splitImage.Release();
        splitImage.CreateFromTextItalic(text, 32, d > 0 ? kSlowerColour : kFasterColour, 700, kFace);
        splitImageSerial = ta.splitSerial;
    }
    splitImage.DrawAt(254, 16);
}

void TimeAttackResultsFrame() {
    ReadControls();
    const RaceState& r = raceState;
    const TimeAttack& ta = timeAttack;
    const int t = frameCount;
    const int n = LapsOfCourse();
    StepIntroBackground();

    if (BeginFrame(0xff000000u)) {
        DrawResultsBackdrop(t, 32 * n + 168);
        BeginText();
        DrawText(160, 40, "Time Attack ");
        DrawText(280, 40, "Lap Time ");
        DrawText(400, 40, "Ghost ");
        char split[32];
        for (int k = 1; k <= n; ++k) {
            const int x = LineX(t, 8 * (k - 1)), y = 80 + 32 * (k - 1);
            DrawTextFormat(x, y, "Lap %2d ", k);
            DrawTextFormat(x + 120, y, "%02d:%2.3f ", r.lapTimeMinutes[k], r.lapTimeMillis[k] / 1000.0);
            if (ta.splitKnown[k]) {
                FormatSplit(split, sizeof split, ta.splitMillis[k]);
                DrawText(x + 240, y, split);
            }
        }
        const RaceTime total = SumLapTimes(&r.lapTimeMinutes[1], &r.lapTimeMillis[1], n);
        DrawTextFormat(LineX(t, 8 * n) + 64, 32 * n + 80, "Total Time %02d:%2.3f ", total.minutes,
                       total.millis / 1000.0);
        if (ta.hasGhost)
            DrawTextFormat(LineX(t, 8 * n + 8) + 64, 32 * n + 112, "Ghost Time %02d:%2.3f ", ta.ghostMillis / 60000,
                           ta.ghostMillis % 60000 / 1000.0);
        EndText();
        if (ta.newRecord && t >= ResultsAllInPlace(n)) {
            if (!newRecordImage.texture) {
                newRecordImage.CreateFromTextItalic("New Record ", 32, kNewRecordColour, 700, kFace);
                newRecordShadow.CreateFromTextItalic("New Record ", 32, kNewRecordShadow, 700, kFace);
            }
            newRecordShadow.DrawAt(234, 32 * n + 138);
            newRecordImage.DrawAt(232, 32 * n + 136);
        }
        DrawResultsFades(t);
        EndFrame();
    }

    if (StepResultsClock(ResultsAllInPlace(n) + 8)) LeaveTimeAttack();
}
