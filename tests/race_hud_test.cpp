// The race HUD on the real device, off-screen: which panels the settings leave on screen, the
// reverse warning giving way to the big text, the place numbers of two level opponents, the mini
// map's placing of a world point, and opponents outside the draw window left undrawn.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>


#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/placement.h"
#include "platform/system.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/race_hud.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "tests/support/screen_image.h"
#include "tests/support/headless_device.h"
#include "support/run_game.h"

namespace {

constexpr uint32_t kGrey = 0xff404040u;

class RaceHud : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(StartHeadlessDevice());
        LoadTextTextures();
    }
    static void TearDownTestSuite() {
        ReleaseWorldAssets();
        StopHeadlessDevice();
    }
    void SetUp() override {
        ASSERT_NE(device, nullptr);
        ResetRace();
        raceState.movingForward = 1;
        raceState.enemyCount = 0;
        raceState.bigTextTimer = 0;
        renderLevel = 0;
        timerMode = 0;
        speedMeter = 0;
        showFps = 0;
        miniMap = 0;
        frameCount = 10;
    }
    void Begin() {
        ASSERT_TRUE(BeginFrame(kGrey));
        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_FOGENABLE, 0);
        device->SetRenderState(D3DRS_ZENABLE, 0);
    }
    // Ends the frame and keeps its pixels.
    void End(std::vector<uint8_t>& out) {
        out.assign(640 * 480 * 4, 0);
        ASSERT_TRUE(device->ReadFrame(out.data()));
        EndFrame();
        device->SetRenderState(D3DRS_ZENABLE, 1);
    }
    static const uint8_t* At(const std::vector<uint8_t>& f, int x, int y) {
        return &f[(static_cast<size_t>(y) * 640 + x) * 4];
    }
    static bool IsGrey(const std::vector<uint8_t>& f, int x, int y) {
        const uint8_t* p = At(f, x, y);
        return p[0] == 0x40 && p[1] == 0x40 && p[2] == 0x40;
    }
    static bool IsBlack(const std::vector<uint8_t>& f, int x, int y) {
        const uint8_t* p = At(f, x, y);
        return p[0] == 0 && p[1] == 0 && p[2] == 0;
    }
    // Pixels in [x1, x2) x [y1, y2) that are no longer the clear colour.
    static int Changed(const std::vector<uint8_t>& f, int x1, int y1, int x2, int y2) {
        int n = 0;
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x)
                if (!IsGrey(f, x, y)) ++n;
        return n;
    }
    // Clearly red or yellow pixels (the two copies of the reverse warning).
    static int Warm(const std::vector<uint8_t>& f, int x1, int y1, int x2, int y2) {
        int n = 0;
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x) {
                const uint8_t* p = At(f, x, y);
                if (p[0] > 180 && p[2] < 80) ++n;
            }
        return n;
    }
};

TEST(RaceHudText, LapTimeReadsAsTheHudShowsIt) {
    char text[32];
    FormatLapTime(text, sizeof text, 99, 59999);
    EXPECT_STREQ(text, "99:59.999 ");
    FormatLapTime(text, sizeof text, 1, 5123);
    EXPECT_STREQ(text, "01:5.123 ");
}

TEST_F(RaceHud, HiddenTimersSpeedMeterAndFpsLeaveOnlyTheRankPanel) {
    std::vector<uint8_t> f;
    Begin();
    raceState.rank = 1;
    DrawHud();
    End(f);
    // The rank panel is a black rectangle from (248, 8) to (400, 56) at the Low level.
    EXPECT_TRUE(IsBlack(f, 250, 10));
    EXPECT_TRUE(IsBlack(f, 398, 54));
    EXPECT_TRUE(IsGrey(f, 246, 30));
    EXPECT_TRUE(IsGrey(f, 300, 58));
    // Nothing else: the rank texts may reach a little past the panel's right side.
    const int total = Changed(f, 0, 0, 640, 480);
    const int nearRank = Changed(f, 248, 8, 440, 60);
    EXPECT_GT(nearRank, 0);
    EXPECT_EQ(total, nearRank);

    // With every read-out on, the other panels appear where they belong.
    timerMode = 4;
    speedMeter = 1;
    showFps = 1;
    Begin();
    DrawHud();
    End(f);
    EXPECT_TRUE(IsBlack(f, 100, 36));   // FPS panel (8, 8)-(104, 40)
    EXPECT_TRUE(IsBlack(f, 630, 150));  // timers (536, 8)-(632, 152) for four read-outs
    EXPECT_TRUE(IsGrey(f, 630, 154));
    EXPECT_TRUE(IsBlack(f, 630, 470));  // speed (536, 440)-(632, 472)
    EXPECT_TRUE(IsGrey(f, 630, 474));
}

TEST_F(RaceHud, ReverseWarningNeverShowsWithABigText) {
    std::vector<uint8_t> f;
    raceState.movingForward = 0;
    Begin();
    DrawHud();
    End(f);
    // The warning's red copy at (12, 200), left of where any big text sits.
    EXPECT_GT(Warm(f, 12, 200, 200, 330), 200);

    ShowBigText("FINAL LAP ", 48, 0xffff0000u, 0xff808080u, 212, 100, 90);
    for (int k = 0; k < 3; ++k) {
        Begin();
        AdvanceBigText();
        DrawHud();
        End(f);
        EXPECT_EQ(Warm(f, 12, 200, 200, 330), 0);
        EXPECT_GT(Warm(f, 212, 100, 500, 160), 100);  // the big text itself
    }
    EXPECT_EQ(raceState.bigTextTimer, 87);
}

TEST_F(RaceHud, LevelOpponentsAreNumberedInIndexOrderSkippingThePlayersPlace) {
    // The default camera looks from (0, 0, -1) toward +z: two opponents side by side ahead, in the
    // draw window around the player's section.
    raceState.enemyCount = 2;
    raceState.section = 7;
    raceState.crystalRange = 10;
    for (int i = 0; i < 2; ++i) {
        opponents[i].placement = MakePlacement(i == 0 ? -4.0f : 4.0f, -20.0f, 60.0f, 1.0f);
        opponents[i].laps = 1;
        opponents[i].section = 7;
        opponents[i].half = 1;
    }
    const D3DXVECTOR3 s0 = ProjectToScreen(D3DXVECTOR3(-4.0f, 0.0f, 60.0f));
    const D3DXVECTOR3 s1 = ProjectToScreen(D3DXVECTOR3(4.0f, 0.0f, 60.0f));
    ASSERT_LT(s0.x + 40, s1.x);
    auto expected = [&](int first, int second) {
        std::vector<uint8_t> f;
        Begin();
        numberTexts[first].DrawAt(static_cast<int>(s0.x) - 4, static_cast<int>(s0.y) - 16);
        numberTexts[second].DrawAt(static_cast<int>(s1.x) - 4, static_cast<int>(s1.y) - 16);
        End(f);
        return f;
    };
    auto drawn = [&](int rank) {
        std::vector<uint8_t> f;
        raceState.rank = rank;
        Begin();
        DrawOpponentNumbers();
        End(f);
        return f;
    };
    const std::vector<uint8_t> oneTwo = expected(1, 2), twoOne = expected(2, 1), twoThree = expected(2, 3);
    ASSERT_NE(oneTwo, twoOne);
    EXPECT_EQ(drawn(3), oneTwo);     // the player behind both
    EXPECT_EQ(drawn(1), twoThree);   // the player leads: places 2 and 3
    // Opponent 1 a half ahead now leads the numbering.
    opponents[1].half = 0;
    opponents[1].section = 8;
    EXPECT_EQ(drawn(3), twoOne);
    // An opponent out of the camera's view gets no number.
    opponents[1].placement = MakePlacement(4.0f, -20.0f, -60.0f, 1.0f);
    std::vector<uint8_t> f = drawn(3);
    EXPECT_EQ(Changed(f, static_cast<int>(s1.x) - 10, 0, 640, 480), 0);
    EXPECT_GT(Changed(f, 0, 0, static_cast<int>(s1.x) - 10, 480), 0);
}

TEST_F(RaceHud, MiniMapPutsAWorldPointOnItsPixel) {
    course01Routines.writeBoundaryPoints();
    DeriveCourseSurfaces();
    CourseGeometry& g = courseGeometry;
    g.miniMapCentre[0] = 1000.0f;
    g.miniMapCentre[1] = -500.0f;  // the world z centre is 500
    g.miniMapExtent = 2000.0f;
    miniMap = 1;
    // x = 20 + 50 + (1500 - 1000) x 100 / 2000 = 95, y = 360 + 50 - (900 - 500) x 100 / 2000 = 390.
    raceState.placement = MakePlacement(1500.0f, 64.0f, 900.0f, 1.0f);
    std::vector<uint8_t> f;
    Begin();
    DrawMiniMap();
    End(f);
    auto yellow = [&](int x, int y) {
        const uint8_t* p = At(f, x, y);
        return p[0] == 0xff && p[1] == 0xff && p[2] == 0;
    };
    EXPECT_TRUE(yellow(95, 390));
    EXPECT_TRUE(yellow(94, 389));
    int count = 0, minX = 640, minY = 480;
    for (int y = 355; y < 465; ++y)
        for (int x = 15; x < 125; ++x)
            if (yellow(x, y)) {
                ++count;
                minX = std::min(minX, x);
                minY = std::min(minY, y);
            }
    EXPECT_EQ(count, 16);  // the car's square from (93, 388) to (97, 392)
    EXPECT_EQ(minX, 93);
    EXPECT_EQ(minY, 388);
    // The map panel behind it is black at the Low level; the rest of the screen untouched.
    EXPECT_TRUE(IsBlack(f, 16, 356));
    EXPECT_EQ(Changed(f, 0, 0, 640, 350), 0);

    // With every marker on, the opponents show in blue.
    miniMap = 2;
    raceState.enemyCount = 1;
    opponents[0].placement = MakePlacement(0.0f, 64.0f, 500.0f, 1.0f);  // (20 + 50 - 50, 410) = (20, 410)
    raceState.supplyCrystalCount = raceState.boostCrystalCount = 0;
    Begin();
    DrawMiniMap();
    End(f);
    EXPECT_EQ(At(f, 20, 410)[2], 0xff);
    EXPECT_EQ(At(f, 20, 410)[0], 0);
    // Hidden by its setting.
    miniMap = 0;
    Begin();
    DrawMiniMap();
    End(f);
    EXPECT_EQ(Changed(f, 0, 0, 640, 480), 0);
}

// A screenshot of the real game, RGBA.
struct Shot : ScreenImage {
    // Pixels in [x1, x2) x [y1, y2) that pass the test.
    template <typename Test>
    int Count(int x1, int y1, int x2, int y2, Test test) const {
        int n = 0;
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x) {
                const uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
                if (test(p[0], p[1], p[2])) ++n;
            }
        return n;
    }
};

// The start of course 1 as the player sees it, driven by the automatic driver: the HUD just after
// the start with its lap text, and later the crystals along the back straight.
TEST(RaceHudOnScreen, StartOfCourse1ShowsTheHudAndTheCrystals) {
    GameRun run = RunGame({"--headless", "--unpaced", "--seed", "7", "--skip-intro", "--course", "1", "--autopilot", "--frames", "860",
                           "--stats", "s.json", "--shot", "300:hud.png", "--shot", "800:crystals.png",
                           "--shot", "850:taken.png"},
                          "", "", 240);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string stats = ReadFile(run.dir + "/s.json");
    EXPECT_NE(stats.find("\"course\": 1,"), std::string::npos) << stats;
    EXPECT_NE(stats.find("\"finished\": false"), std::string::npos) << stats;

    Shot hud;
    ASSERT_TRUE(hud.Load(run.dir + "/hud.png"));
    ASSERT_EQ(hud.w, 640);
    ASSERT_EQ(hud.h, 480);
    auto red = [](int r, int g, int b) { return r > 180 && g < 80 && b < 80; };
    auto yellow = [](int r, int g, int b) { return r > 220 && g > 220 && b < 40; };
    auto blue = [](int r, int g, int b) { return r < 40 && g < 40 && b > 220; };
    // "LAST 5 LAPS " at (188, 100), "Rank" at (256, 16), the timer labels on the right.
    EXPECT_GT(hud.Count(188, 100, 470, 150, red), 500);
    EXPECT_GT(hud.Count(256, 16, 330, 50, red), 100);
    EXPECT_GT(hud.Count(536, 16, 632, 32, red), 30);
    // The mini map: the player's square and the four opponents' squares.
    EXPECT_GE(hud.Count(15, 355, 125, 465, yellow), 9);
    EXPECT_GE(hud.Count(15, 355, 125, 465, blue), 4 * 9);
    // Nothing of the HUD in the middle of the road.
    EXPECT_EQ(hud.Count(200, 250, 440, 340, red), 0);

    // Course 1's supply crystals stand on the back straight (the right side of the map) and on the
    // home straight: white squares on the map, no stored boost yet.
    auto white = [](int r, int g, int b) { return r > 240 && g > 240 && b > 240; };
    auto green = [](int r, int g, int b) { return r < 40 && g > 220 && b < 40; };
    // The 8-pixel "B" stock marks are thin strokes, softened by the texture filter.
    auto markGreen = [](int r, int g, int b) { return r < 100 && g > 150 && b < 100; };
    EXPECT_GT(hud.Count(72, 355, 125, 465, white), 8);
    EXPECT_GT(hud.Count(15, 355, 68, 465, white), 8);
    EXPECT_EQ(hud.Count(536, 418, 632, 428, markGreen), 0);

    // Just before them, the crystals stand in a row down the middle of the road ahead.
    Shot crystals;
    ASSERT_TRUE(crystals.Load(run.dir + "/crystals.png"));
    auto cyan = [](int r, int g, int b) { return r < 120 && g > 150 && b > 170; };
    EXPECT_GT(crystals.Count(295, 250, 345, 335, cyan), 100);
    EXPECT_EQ(hud.Count(295, 250, 345, 335, cyan), 0);

    // Down the back straight the car has taken them: gone from the map, boosts in stock.
    Shot taken;
    ASSERT_TRUE(taken.Load(run.dir + "/taken.png"));
    EXPECT_EQ(taken.Count(72, 355, 125, 465, white), 0);
    EXPECT_GT(taken.Count(15, 355, 68, 465, white), 8);
    EXPECT_GT(taken.Count(536, 418, 632, 428, markGreen), 4);
    EXPECT_GT(taken.Count(538, 430, 632, 437, green), hud.Count(538, 430, 632, 437, green));
    std::printf("screenshots in %s\n", run.dir.c_str());
}

}  // namespace
