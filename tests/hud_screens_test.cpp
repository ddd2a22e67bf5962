// The race HUD as the game itself draws it: the whole game run in this process (headless, course 1,
// automatic driver), and once the car is under way the settings changed between frames as the
// option screen would change them, every render level with every timer read-out and a spread of
// speed meter, mini map and frame-rate settings, each frame kept as a PNG. Then the big "FINAL LAP "
// text at each render level. The pixels are checked against the panels and texts each setting
// calls for; the PNGs stay in the printed directory for a look.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>


#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/switches.h"
#include "race/race_hud.h"
#include "race/race_state.h"
#include "game/settings.h"
#include "tests/support/screen_image.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"

namespace {

// The race starts after its 240-frame countdown; the lap text of the first crossing of the line
// has gone by frame 400.
constexpr uint32_t kFirstHudFrame = 420;

struct Rgb {
    int r, g, b;
};

struct Shot {
    std::string name;
    int level = 0, timers = 0, meter = 0, map = 0, fps = 0;
    ScreenImage image;

    bool Load(const std::string& dir) { return image.Load(dir + "/" + name) && image.w == 640 && image.h == 480; }
    Rgb At(int x, int y) const {
        const unsigned char* p = image.At(x, y);
        return {p[0], p[1], p[2]};
    }
    bool Black(int x, int y) const {
        const Rgb c = At(x, y);
        return c.r <= 4 && c.g <= 4 && c.b <= 4;
    }
    int Brightness(int x, int y) const {
        const Rgb c = At(x, y);
        return c.r + c.g + c.b;
    }
    // Pixels in [x1, x2) x [y1, y2) that pass the test.
    template <typename Test>
    int Count(int x1, int y1, int x2, int y2, Test test) const {
        int n = 0;
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x) {
                const Rgb c = At(x, y);
                if (test(c.r, c.g, c.b)) ++n;
            }
        return n;
    }
};

// The text colours of the HUD, with room for the edges of the letters and the frame's rounding.
bool Red(int r, int g, int b) { return r > 180 && g < 80 && b < 80; }
bool Green(int r, int g, int b) { return g > 180 && r < 80 && b < 80; }
bool Yellow(int r, int g, int b) { return r > 200 && g > 200 && b < 80; }
bool Orange(int r, int g, int b) { return r > 200 && g > 90 && g < 170 && b < 110; }
// 0xFF00C0FF: the screen font's read-outs and the lap-time images.
bool Cyan(int r, int g, int b) { return r < 60 && g > 150 && g < 220 && b > 220; }
bool MapBlue(int r, int g, int b) { return r < 40 && g < 40 && b > 220; }
bool MapYellow(int r, int g, int b) { return r > 220 && g > 220 && b < 40; }

// The panel at a point: opaque black at Low and Medium; at High a translucent quad, so neither black
// nor as bright as the picture just outside it at (outX, outY).
void ExpectPanel(const Shot& s, int x, int y, int outX, int outY, const char* what) {
    if (s.level < 2) {
        EXPECT_TRUE(s.Black(x, y)) << what << " at (" << x << ", " << y << ")";
    } else {
        EXPECT_FALSE(s.Black(x, y)) << what << " at (" << x << ", " << y << ")";
        EXPECT_LT(s.Brightness(x, y) * 10, s.Brightness(outX, outY) * 9) << what << " at (" << x << ", " << y << ")";
    }
}

void ExpectNoPanel(const Shot& s, int x, int y, const char* what) {
    EXPECT_FALSE(s.Black(x, y)) << what << " at (" << x << ", " << y << ")";
}

void CheckHud(const Shot& s) {
    SCOPED_TRACE(s.name);
    // The rank panel (248, 8)-(400, 56) always, its "Rank" in red at (256, 16).
    ExpectPanel(s, 398, 54, 398, 60, "rank panel");
    ExpectPanel(s, 250, 10, 244, 10, "rank panel");
    EXPECT_GT(s.Count(256, 16, 330, 50, Red), 100);

    // Timers: the panel (536, 8)-(632, 24 + 32 x timers), a label per read-out down its rows.
    const int bottom = 24 + 32 * s.timers;
    if (s.timers > 0) {
        ExpectPanel(s, 630, bottom - 3, 630, bottom + 3, "timer panel");
        ExpectNoPanel(s, 630, bottom + 3, "below the timer panel");
    } else {
        ExpectNoPanel(s, 630, 20, "timer panel");
    }
    bool (*const labelColour[4])(int, int, int) = {Red, Green, Yellow, Orange};
    const char* const labels[4] = {"LIMIT TIME ", "TIME ", "LAST LAP ", "BEST LAP "};
    for (int k = 0; k < 4; ++k) {
        const int found = s.Count(536, 16 + 32 * k, 632, 32 + 32 * k, labelColour[k]);
        if (k < s.timers) {
            EXPECT_GT(found, 20) << labels[k];
        } else {
            EXPECT_EQ(found, 0) << labels[k];
        }
    }
    // Their read-outs: the limit at (544, 32), the lap clock at (544, 64), the last and best laps at
    // (544, 96) and (544, 128).
    for (int k = 0; k < 4; ++k) {
        const int found = s.Count(536, 32 + 32 * k, 632, 48 + 32 * k, Cyan);
        if (k < s.timers) {
            EXPECT_GT(found, 15) << "the read-out under " << labels[k];
        } else {
            EXPECT_EQ(found, 0) << "the read-out under " << labels[k];
        }
    }

    // Speed meter: the gauge panel (536, 428)-(632, 438) and the speed panel (536, 440)-(632, 472).
    if (s.meter > 0) {
        ExpectPanel(s, 630, 436, 634, 436, "boost gauge panel");
        ExpectPanel(s, 630, 470, 634, 470, "speed panel");
    } else {
        ExpectNoPanel(s, 630, 470, "speed panel");
        ExpectNoPanel(s, 630, 436, "boost gauge panel");
    }
    // The gauge: a bar from (538, 442) turning from blue to red with the speed; the car is near
    // full speed, so it is mostly red, with no green.
    const int bar = s.Count(538, 444, 560, 468, [](int r, int g, int b) { return r > 100 && g < 30 && b < 140; });
    EXPECT_EQ(bar > 400, s.meter == 1) << "speed bar, " << bar << " pixels";
    // The text: "%03.1f Km/h " at (538, 448).
    const int speedText = s.Count(536, 448, 632, 466, Cyan);
    EXPECT_EQ(speedText > 15, s.meter == 2) << "speed text, " << speedText << " pixels";

    // Mini map: the panel (15, 355)-(125, 465); the player's yellow square in both modes, the
    // opponents' blue ones only with "Show MiniMap ".
    if (s.map > 0) {
        ExpectPanel(s, 16, 463, 12, 463, "map panel");
    } else {
        ExpectNoPanel(s, 16, 463, "map panel");
    }
    const int yellow = s.Count(15, 355, 125, 465, MapYellow);
    const int blue = s.Count(15, 355, 125, 465, MapBlue);
    EXPECT_EQ(yellow >= 9, s.map > 0) << yellow << " yellow map pixels";
    EXPECT_EQ(blue >= 9, s.map == 2) << blue << " blue map pixels";

    // Frame rate: the panel (8, 8)-(104, 40), "%02.2f FPS " at (16, 16).
    if (s.fps) {
        ExpectPanel(s, 102, 38, 106, 38, "FPS panel");
    } else {
        ExpectNoPanel(s, 102, 38, "FPS panel");
    }
    const int fpsText = s.Count(16, 16, 104, 32, Cyan);
    EXPECT_EQ(fpsText > 15, s.fps == 1) << "FPS text, " << fpsText << " pixels";
}

// The whole game in this process, from the boot to the quit.
class HudScreens : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shotDir = MakeTempDir();
        logPath = shotDir + "/debug.txt";
        started = StartGameInProcess(1, 11, logPath);
        ASSERT_TRUE(started);
        RunFrames(kFirstHudFrame);
    }
    static void TearDownTestSuite() {
        StopGameInProcess(started);
        std::printf("HUD screenshots in %s\n", shotDir.c_str());
    }
    static void RunFrames(uint32_t until) { RunFramesUntil(until); }
    // Runs one frame and keeps it as shot.name.
    static void RunShotFrame(const Shot& shot) {
        programOptions.shots.emplace_back(static_cast<int>(frameNumber), shotDir + "/" + shot.name);
        RunFrame();
    }
    static std::string shotDir, logPath;
    static bool started;
};
std::string HudScreens::shotDir, HudScreens::logPath;
bool HudScreens::started = false;

TEST_F(HudScreens, EverySettingShowsItsPanelsAndTexts) {
    ASSERT_EQ(frameNumber, kFirstHudFrame);
    EXPECT_NE(ReadFile(logPath).find("race: course 1 from the command line"), std::string::npos);
    ASSERT_EQ(raceState.finished, 0);
    ASSERT_GT(raceState.speed, 12.0f) << "the automatic driver is not under way";

    std::vector<Shot> shots;
    for (int level = 0; level <= 2; ++level) {
        for (int timers = 0; timers <= 4; ++timers) {
            Shot s;
            s.level = level;
            s.timers = timers;
            s.meter = timers % 3;
            s.map = (timers + level) % 3;
            s.fps = (timers + level) % 2;
            char name[64];
            std::snprintf(name, sizeof name, "hud_r%d_t%d_s%d_m%d_f%d.png", s.level, s.timers, s.meter, s.map, s.fps);
            s.name = name;
            renderLevel = s.level;
            timerMode = s.timers;
            speedMeter = s.meter;
            miniMap = s.map;
            showFps = s.fps;
            ASSERT_EQ(raceState.bigTextTimer, 0);
            RunShotFrame(s);
            shots.push_back(s);
        }
    }
    for (Shot& s : shots) {
        ASSERT_TRUE(s.Load(shotDir)) << s.name;
        CheckHud(s);
    }
}

TEST_F(HudScreens, FinalLapTextAtEveryRenderLevel) {
    timerMode = 2;
    speedMeter = 1;
    miniMap = 2;
    showFps = 0;
    // The crossing that starts the last of course 1's five laps.
    ShowLapText(5, 4);
    EXPECT_STREQ(bigText.text, "FINAL LAP ");
    std::vector<Shot> shots;
    for (int level = 0; level <= 2; ++level) {
        Shot s;
        s.level = level;
        s.name = "final_lap_r" + std::to_string(level) + ".png";
        renderLevel = level;
        RunShotFrame(s);
        shots.push_back(s);
    }
    EXPECT_EQ(raceState.bigTextTimer, 90 - 3);
    for (Shot& s : shots) {
        SCOPED_TRACE(s.name);
        ASSERT_TRUE(s.Load(shotDir));
        // The red text at (212, 100), 48 high, over its grey shadow 2 down and right.
        EXPECT_GT(s.Count(212, 100, 520, 160, Red), 800);
        EXPECT_GT(s.Count(214, 102, 524, 164, [](int r, int g, int b) {
            return r > 100 && r < 160 && std::abs(r - g) < 12 && std::abs(r - b) < 12;
        }), 50);
        // Nothing of it left of x 212 or above y 100.
        EXPECT_EQ(s.Count(150, 100, 210, 160, Red), 0);
        EXPECT_EQ(s.Count(212, 60, 520, 98, Red), 0);
    }
}

}  // namespace
