#include "race/race_results.h"

#include <algorithm>

#include "courses/course_geometry.h"
#include "courses/course_table.h"
#include "framework/application.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/data_dir.h"
#include "game/records.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "game/tunes.h"
#include "race/course_intro.h"
#include "race/race_scenes.h"
#include "race/race_state.h"

namespace {
constexpr int kMusicStop = 1750;
constexpr int kResultsFrames = 1800;

int LineX(int t, int delay) { return std::min(200, 2 * (t - 160 - delay)); }
}  // namespace

int ResultsAllInPlace(int laps) { return (16 * laps + 536) / 2; }

void StartResultsMusic() {
    frameCount = 0;
    EnterDataDirectory();
    SwitchTune("Result.mid");
    LeaveDataDirectory();
    PlayTune();
}

void DrawResultsBackdrop(int t, int bottom) {
    DrawIntroBackground();
    device->SetTexture(0, nullptr);
    if (t >= 50 && t < 90) {
        // From the picture's right edge to its left in 40 frames (16 pixels a frame at 4:3).
        const int left = pictureLeft + 16 * (90 - t) * (pictureRight - pictureLeft) / 640;
        DrawRect(left, 32, pictureRight, bottom, static_cast<uint32_t>((3 * t + 106) % 256) << 24);
    } else if (t >= 90) {
        DrawAcross(32, bottom, 0x80000000u);
    }
}

void DrawResultsFades(int t) {
    if (t < 50) DrawBlackOver(250 - 5 * t);
    if (t > kMusicStop) DrawBlackOver((5 * t + 210) % 256);
}

bool StepResultsClock(int inPlace) {
    if (frameCount > 50 && frameCount < kMusicStop && SkipPressed()) {
        PlaySound(kSoundAccept);
        frameCount = frameCount < inPlace ? inPlace : kMusicStop;
    }
    if (frameCount == kMusicStop) FadeOutTune(1);
    frameCount += 1;
    return frameCount > kResultsFrames;
}

void ResultsFrame() {
    ReadControls();
    const RaceState& r = raceState;
    const int t = frameCount;
    const int n = std::clamp(CourseLaps(currentCourse), 1, kMaxLaps);
    StepIntroBackground();

    if (BeginFrame(0xff000000u)) {
        DrawResultsBackdrop(t, 32 * n + 136);
        BeginText();
        DrawText(200, 40, "Result ");
        DrawText(280, 40, "Rank ");
        DrawText(360, 40, "Lap Time ");
        for (int k = 1; k <= n; ++k) {
            const int x = LineX(t, 8 * (k - 1)), y = 80 + 32 * (k - 1);
            DrawTextFormat(x, y, "Lap %2d ", k);
            DrawTextFormat(x + 80, y, "%2d ", r.rankAtLap[k]);
            DrawTextFormat(x + 160, y, "%02d:%2.3f ", r.lapTimeMinutes[k], r.lapTimeMillis[k] / 1000.0);
        }
        const RaceTime total = SumLapTimes(&r.lapTimeMinutes[1], &r.lapTimeMillis[1], n);
        DrawTextFormat(LineX(t, 8 * n) + 64, 32 * n + 80, "Total Time %02d:%2.3f ", total.minutes, total.millis / 1000.0);
        DrawTextFormat(LineX(t, 8 * n + 8), 32 * n + 112, "Crystal Ratio %3.2f %% ( %d / %d ) ", CrystalRatio(),
                       r.crystalsTaken, (r.supplyCrystalCount + r.boostCrystalCount) * n);
        EndText();
        DrawResultsFades(t);
        EndFrame();
    }

    if (StepResultsClock(ResultsAllInPlace(n))) {
        ResetRace();
        SetScene(raceExits.courseClearFrame ? raceExits.courseClearFrame : BlackFrame);
    }
}
