// The Option, Pad Key Config and Records screens as the player sees them, from the real game run
// headless with scripted keys and pad inputs; and an option set on the Option screen, saved, and
// read by a second run whose race shows it. The screenshots stay in the build folder's "screens"
// directory to be looked at; the checks here find each screen's own marks in them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/pad_config.h"
#include "game/progress.h"
#include "game/records.h"
#include "game/save_file.h"
#include "game/settings.h"
#include "tests/support/run_game.h"
#include "tests/support/screen_image.h"
#include "tests/support/shot_session.h"
#include "tests/support/save_state.h"
#include "tests/support/scripted_session.h"

namespace {

constexpr uint32_t T = kTitleFirstFrame;

struct Shot : ScreenImage {
    // The selection bar's translucent blue over the dark title world.
    bool Bar(int x, int y) const {
        const unsigned char* p = At(x, y);
        return p[0] < 50 && p[2] > 110 && p[2] > p[1] + 40;
    }
};

// Pixels where one box of font pixels differs from another of the same size (at x, ya and x, yb).
int FontMaskDifference(const Shot& a, int x, int ya, const Shot& b, int yb, int w, int h) {
    int n = 0;
    for (int dy = 0; dy < h; ++dy)
        for (int dx = 0; dx < w; ++dx) n += a.Font(x + dx, ya + dy) != b.Font(x + dx, yb + dy) ? 1 : 0;
    return n;
}

// The first game frame from `after` on whose menu clock (ms) passes `when`.
uint32_t FrameWhen(uint32_t after, bool (*when)(uint32_t ms)) {
    for (uint32_t f = after;; ++f)
        if (when(f * 1000u / 60u)) return f;
}
// The blinking help shows (mod 1501 below 1000) with the Records screen's up/down marks (mod 2000
// below 500), or with its left/right marks (mod 2000 from 1000 to 1499).
bool HelpAndUpDownMarks(uint32_t ms) { return ms % 1501 < 1000 && ms % 2000 < 500; }
bool HelpAndLeftRightMarks(uint32_t ms) { return ms % 1501 < 1000 && ms % 2000 >= 1000 && ms % 2000 < 1500; }
uint32_t HelpShownFrom(uint32_t after) { return FrameWhen(after, HelpAndUpDownMarks); }

GameRun RunWithShots(const std::string& run, const std::string& script, uint32_t frames,
                     const std::vector<std::pair<uint32_t, std::string>>& shots,
                     std::vector<std::string> args = {}) {
    const std::string input = WriteInputScript(script);
    const std::vector<std::string> common = {"--headless", "--unpaced", "--seed", "5", "--input", input,
                                             "--frames", std::to_string(frames)};
    args.insert(args.begin(), common.begin(), common.end());
    for (const auto& s : shots) {
        args.push_back("--shot");
        args.push_back(std::to_string(s.first) + ":" + ScreensDir() + "/" + s.second + ".png");
    }
    return RunGameDrawingShotsOnly(args, run);
}

// The Option screen with a save's non-default values, then the pad screen before and after button
// 3 is pressed on "Gas / Accept ".
TEST(OptionScreens, NonDefaultValuesAndAPadSwap) {
    const std::string run = MakeRunDir();
    ASSERT_TRUE(WriteSaveInRunDir(run, [] {
        viewType = 1;
        bgmType = 1;
        renderLevel = 0;
        showFps = 1;
        miniMap = 1;
        speedMeter = 2;
        timerMode = 4;
        fogType = 0;
        autoSave = 0;
    }));
    const uint32_t option = HelpShownFrom(T + 600);
    const uint32_t pad = HelpShownFrom(option + 40);
    const uint32_t swapped = HelpShownFrom(pad + 20);
    const std::string script = PressAt(T + 10, "DOWN") + PressAt(T + 12, "DOWN") + PressAt(T + 14, "Z") +
                               PressAt(T + 20, "DOWN") + PressAt(T + 22, "DOWN") + PressAt(T + 24, "DOWN") +
                               PressAt(T + 26, "DOWN") + PressAt(T + 28, "DOWN") +  // the bar on "Mini Map "
                               PressAt(option + 10, "PAD0:0") + PressAt(option + 12, "PAD0:0") +
                               PressAt(option + 14, "PAD0:0") + PressAt(option + 16, "PAD0:0") +
                               PressAt(option + 18, "PAD0:0") + PressAt(option + 20, "PAD0:0") +
                               PressAt(option + 22, "PAD0:0") + PressAt(option + 24, "PAD0:0") +  // "Pad Config "
                               PressAt(option + 26, "Z") +                                         // pad screen
                               PressAt(pad + 5, "PAD0:1") + PressAt(pad + 10, "PAD0:8");           // Gas: button 3
    const GameRun game = RunWithShots(run, script, swapped + 2,
                                      {{option, "option"}, {pad, "pad-config"}, {swapped, "pad-config-swapped"}});
    ASSERT_EQ(game.exitCode, 0) << game.output;

    Shot s;
    ASSERT_TRUE(s.Load(ScreensDir() + "/option.png"));
    EXPECT_GT(s.FontPixels(40, 224, 100, 240), 20);  // "Option "
    for (int row = 0; row <= 12; ++row)
        EXPECT_GT(s.FontPixels(120, 240 + 16 * row, 232, 256 + 16 * row), 15) << "caption of row " << row;
    EXPECT_GT(s.FontPixels(240, 432, 290, 448), 10);  // "Rumble " is "ON "
    for (int row = 1; row <= 9; ++row) {
        EXPECT_GT(s.FontPixels(240, 240 + 16 * row, 490, 256 + 16 * row), 15) << "label of row " << row;
        // Auto Save alone has no speed hint.
        if (row < 9) {
            EXPECT_GT(s.FontPixels(500, 240 + 16 * row, 600, 256 + 16 * row), 15) << "hint of row " << row;
        }
    }
    EXPECT_LT(s.FontPixels(500, 384, 600, 400), 3);
    // The labels of the loaded values: "Cockpit View " and "Show MiniMap (My Car Only) " reach
    // further right than the defaults' "Back View " and "Show MiniMap ".
    EXPECT_GT(s.FontPixels(320, 256, 340, 272), 10);
    EXPECT_GT(s.FontPixels(400, 320, 450, 336), 20);
    EXPECT_TRUE(s.Bar(225, 328));   // the bar on row 5, up to x 232
    EXPECT_FALSE(s.Bar(236, 328));
    EXPECT_GT(s.FontPixels(480, 420, 620, 452), 100);  // the help

    Shot before, after;
    ASSERT_TRUE(before.Load(ScreensDir() + "/pad-config.png"));
    ASSERT_TRUE(after.Load(ScreensDir() + "/pad-config-swapped.png"));
    EXPECT_GT(before.FontPixels(40, 224, 150, 240), 40);   // "Pad Key Config "
    EXPECT_GT(before.FontPixels(480, 452, 620, 468), 40);  // "Use Pad To Select "
    EXPECT_TRUE(before.Bar(250, 248));                     // the bar on "Exit ", up to x 256
    EXPECT_TRUE(after.Bar(250, 264));                      // then on "Gas / Accept "
    for (int k = 0; k < kPadActionCount; ++k)
        EXPECT_GT(before.FontPixels(272, 256 + 16 * k, 352, 272 + 16 * k), 20) << "button of action " << k;
    // "Button 1 " and "Button 3 " differ; after the swap Gas shows what Boost showed, and back.
    EXPECT_GT(FontMaskDifference(before, 272, 256, before, 288, 80, 16), 10);
    EXPECT_LT(FontMaskDifference(after, 272, 256, before, 288, 80, 16), 4);
    EXPECT_LT(FontMaskDifference(after, 272, 288, before, 256, 80, 16), 4);
    EXPECT_LT(FontMaskDifference(after, 272, 272, before, 272, 80, 16), 4);  // Brake kept its button
}

// A played save: all courses open, secrets 1 and 3 found, every course with a record of its own.
void PlayedSave() {
    coursesOpen = kAllCoursesOpen;
    secretFound[0] = secretFound[2] = true;
    for (int c = 1; c <= CourseCount; ++c) {
        CourseRecord& r = records[c];
        r.bestRank = 1 + c % 4;
        r.bestLapMinutes = c % 3 == 0 ? 1 : 0;
        r.bestLapMillis = 20000 + 2731 * c;  // up to 60965: carried into the minutes below
        r.bestLapMinutes += r.bestLapMillis / 60000;
        r.bestLapMillis %= 60000;
        for (int lap = 0; lap < RecordedLaps(c); ++lap) {
            r.splitMinutes[lap] = r.bestLapMinutes;
            r.splitMillis[lap] = (r.bestLapMillis + 977 * lap) % 60000;
        }
        r.bestCrystalRatio = static_cast<float>(40 + 4 * c) + 0.25f;
    }
}

TEST(RecordsScreens, ACoursePageAndTheFourSummaryPages) {
    const std::string run = MakeRunDir();
    ASSERT_TRUE(WriteSaveInRunDir(run, PlayedSave));
    const uint32_t course = HelpShownFrom(T + 600);
    std::vector<uint32_t> pages;
    for (uint32_t at = course; pages.size() < 3;) pages.push_back(at = HelpShownFrom(at + 20));
    pages.push_back(FrameWhen(pages.back() + 20, HelpAndLeftRightMarks));
    // Title: "Records "; Down to course 1; then Right from the course page through the summaries.
    std::string script = PressAt(T + 10, "DOWN") + PressAt(T + 12, "Z") + PressAt(T + 20, "DOWN");
    for (uint32_t at : pages) script += PressAt(at - 5, "RIGHT");
    const GameRun game =
        RunWithShots(run, script, pages.back() + 2,
                     {{course, "records-course1"}, {pages[0], "records-rank"}, {pages[1], "records-lap"},
                      {pages[2], "records-total"}, {pages[3], "records-ratio"}});
    ASSERT_EQ(game.exitCode, 0) << game.output;

    Shot s;
    ASSERT_TRUE(s.Load(ScreensDir() + "/records-course1.png"));
    EXPECT_GT(s.FontPixels(40, 224, 100, 240), 20);  // "Records "
    // The course line, rank, best lap, five laps, total and ratio: ten lines from y 240.
    for (int line = 0; line < 10; ++line)
        EXPECT_GT(s.FontPixels(120, 240 + 16 * line, 488, 256 + 16 * line), 40) << "line " << line;
    EXPECT_LT(s.FontPixels(120, 400, 470, 416), 3);
    EXPECT_TRUE(s.Bar(480, 250));  // the long bar of a course page
    EXPECT_LT(s.FontPixels(480, 420, 620, 436), 3);   // no Accept help on a course page
    EXPECT_GT(s.FontPixels(480, 436, 620, 452), 40);  // the Go Back help
    EXPECT_TRUE(s.Font(112, 242) && s.Font(112, 253));  // the up/down marks
    EXPECT_FALSE(s.Font(106, 248) || s.Font(117, 248));

    for (const char* name : {"records-rank", "records-lap", "records-total", "records-ratio"}) {
        ASSERT_TRUE(s.Load(ScreensDir() + "/" + name + ".png")) << name;
        EXPECT_GT(s.FontPixels(120, 240, 168, 256), 15) << name;  // "Exit "
        EXPECT_GT(s.FontPixels(200, 240, 288, 272), 30) << name;  // the caption's first two lines
        EXPECT_TRUE(s.Bar(160, 250)) << name;                     // the short bar
        EXPECT_FALSE(s.Bar(480, 250)) << name;
        // Courses 1..10 and secrets 1 and 3 listed; secrets 2, 4 and 5 not.
        for (int c = 1; c <= CourseCount; ++c) {
            const int pixels = s.FontPixels(288, 240 + 16 * (c - 1), 480, 256 + 16 * (c - 1));
            if (c <= 11 || c == 13) {
                EXPECT_GT(pixels, 40) << name << " course " << c;
            } else {
                EXPECT_LT(pixels, 3) << name << " course " << c;
            }
        }
        EXPECT_GT(s.FontPixels(480, 420, 620, 436), 40) << name;  // the Accept help
    }
    // The last page was shot with the left/right marks.
    EXPECT_TRUE(s.Font(106, 248) && s.Font(117, 248));
    EXPECT_FALSE(s.Font(112, 242) || s.Font(112, 253));
}

// What a race screenshot shows of the two options: the car seen from behind (saturated or bright
// pixels where the road lies below the middle of the screen), and the rank panel's colour, a
// translucent blue at Render High and plain black below it.
int CarPixels(const Shot& s) {
    int n = 0;
    for (int y = 330; y < 440; ++y)
        for (int x = 250; x < 390; ++x) {
            const unsigned char* p = s.At(x, y);
            const int most = std::max({p[0], p[1], p[2]}), least = std::min({p[0], p[1], p[2]});
            if (most - least > 60 || p[0] + p[1] + p[2] > 550) ++n;
        }
    return n;
}
bool BlueRankPanel(const Shot& s) {
    const unsigned char* p = s.At(256, 14);
    return p[2] > 100 && p[2] > p[0] + 60;
}
bool BlackRankPanel(const Shot& s) {
    const unsigned char* p = s.At(256, 14);
    return p[0] + p[1] + p[2] < 10;
}

// Cockpit view and Render Low set on the Option screen and saved; a second run reads the save and
// its race on course 2 shows them: no car ahead of the camera, the HUD's panels plain black and
// the city's towers gone. A run with the defaults shows the car from behind and blue panels.
TEST(OptionScreens, OptionsSavedShowInTheNextRunsRace) {
    const std::string run = MakeRunDir();
    const std::string script = PressAt(T + 10, "DOWN") + PressAt(T + 12, "DOWN") + PressAt(T + 14, "Z") +  // Option
                               PressAt(T + 20, "DOWN") + PressAt(T + 22, "Z") +                          // cockpit
                               PressAt(T + 24, "DOWN") + PressAt(T + 26, "DOWN") + PressAt(T + 28, "Z") +
                               PressAt(T + 30, "Z") +                                                    // Render Low
                               PressAt(T + 40, "X") +                                                    // title
                               PressAt(T + 50, "DOWN") + PressAt(T + 52, "DOWN") + PressAt(T + 54, "DOWN") +
                               PressAt(T + 56, "Z") + PressAt(T + 60, "DOWN") + PressAt(T + 62, "Z");    // saved
    const GameRun first = RunWithShots(run, script, T + 70, {});
    ASSERT_EQ(first.exitCode, 0) << first.output;
    const std::string home = run + "/" + kRunDataHome;
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    ResetSaveState();
    const bool read = ReadSaveFile();
    const bool saved = read && viewType == 1 && renderLevel == 0 && timerMode == 2;
    ResetSaveState();
    unsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(saved) << "the save holds cockpit view and Render Low";

    constexpr uint32_t kRaceShot = 1500;  // ten seconds into the race
    const std::vector<std::string> race = {"--course", "2", "--autopilot"};
    const GameRun second = RunWithShots(run, "", kRaceShot + 2, {{kRaceShot, "race-cockpit-render-low"}}, race);
    ASSERT_EQ(second.exitCode, 0) << second.output;
    const GameRun plain = RunWithShots(MakeRunDir(), "", kRaceShot + 2, {{kRaceShot, "race-defaults"}}, race);
    ASSERT_EQ(plain.exitCode, 0) << plain.output;

    Shot saved2, defaults;
    ASSERT_TRUE(saved2.Load(ScreensDir() + "/race-cockpit-render-low.png"));
    ASSERT_TRUE(defaults.Load(ScreensDir() + "/race-defaults.png"));
    EXPECT_GT(CarPixels(defaults), 1000);
    EXPECT_TRUE(BlueRankPanel(defaults));
    EXPECT_LT(CarPixels(saved2), 50);
    EXPECT_TRUE(BlackRankPanel(saved2));
}

}  // namespace
