// The boot loader: board checks, the music probe, the asset tables filled from data/, the logo and
// the shutdown, end to end.
#include <gtest/gtest.h>

#include <array>

#include <sys/stat.h>

#include <regex>
#include <string>


#include "framework/debug_log.h"
#include "game/tunes.h"
#include "game/asset_tables.h"
#include "game/save_file.h"
#include "race/race_hud.h"
#include "race/vehicle.h"
#include "shell/boot.h"
#include "shell/logo_scene.h"
#include "game/pad_config.h"
#include "game/settings.h"
#include "tests/support/screen_image.h"
#include "tests/support/run_game.h"
#include "tests/support/save_state.h"

TEST(BoardCheck, SmallTexturesCautionAndOneLightOnlyWarns) {
    BoardCheck small = CheckGraphicsBoard(256, 256, 8, 0, 8);
    EXPECT_TRUE(small.caution);
    EXPECT_FALSE(small.warning);
    BoardCheck oneLight = CheckGraphicsBoard(512, 512, 1, 0, 8);
    EXPECT_FALSE(oneLight.caution);
    EXPECT_TRUE(oneLight.warning);
    EXPECT_TRUE(CheckGraphicsBoard(4096, 4096, 8, 1, 8).warning);  // square textures only
    EXPECT_TRUE(CheckGraphicsBoard(4096, 4096, 8, 0, 1).warning);  // one texture stage
    BoardCheck both = CheckGraphicsBoard(512, 256, 1, 0, 8);
    EXPECT_TRUE(both.caution && both.warning);
    BoardCheck good = CheckGraphicsBoard(2048, 2048, 8, 0, 8);
    EXPECT_FALSE(good.caution || good.warning);
}

TEST(MusicProbe, WithoutAnAudioStreamTheLibraryIsUnavailable) {
    // No sound service was started in this process, so the library cannot open.
    EXPECT_FALSE(ProbeBackgroundMusic("06TowardUnlimitedHorizon.mid"));
    ResetSettings(false);
    EXPECT_EQ(bgmType, 1);
    ResetSettings(true);
    EXPECT_EQ(bgmType, 2);
}

TEST(Settings, DefaultsAndRanges) {
    ResetSettings(true);
    EXPECT_EQ(viewType, 0);
    EXPECT_EQ(renderLevel, 2);
    EXPECT_EQ(showFps, 0);
    EXPECT_EQ(miniMap, 2);
    EXPECT_EQ(speedMeter, 1);
    EXPECT_EQ(timerMode, 2);
    EXPECT_EQ(fogType, 1);
    EXPECT_EQ(autoSave, 1);
    EXPECT_TRUE(SettingsInRange(std::array<int, kSettingCount>{1, 2, 2, 1, 2, 2, 4, 1, 1}.data()));
    EXPECT_FALSE(SettingsInRange(std::array<int, kSettingCount>{0, 3, 2, 0, 2, 1, 2, 1, 1}.data()));
    EXPECT_FALSE(SettingsInRange(std::array<int, kSettingCount>{0, 1, 2, 0, 2, 1, 5, 1, 1}.data()));
    EXPECT_FALSE(SettingsInRange(std::array<int, kSettingCount>{-1, 1, 2, 0, 2, 1, 2, 1, 1}.data()));
}

TEST(PadButtons, DefaultsAndValidity) {
    ResetPadButtons();
    const int defaults[kPadActionCount] = {6, 7, 8, 9, 10};
    for (int i = 0; i < kPadActionCount; ++i) EXPECT_EQ(padButtons[i], defaults[i]);
    const int dup[kPadActionCount] = {6, 7, 8, 9, 6};
    const int low[kPadActionCount] = {5, 7, 8, 9, 10};
    const int high[kPadActionCount] = {6, 7, 8, 9, 14};
    EXPECT_TRUE(PadButtonsValid(defaults));
    EXPECT_FALSE(PadButtonsValid(dup));
    EXPECT_FALSE(PadButtonsValid(low));
    EXPECT_FALSE(PadButtonsValid(high));
}

TEST(AssetTables, OpponentTypesAndPanels) {
    EXPECT_EQ(OpponentType(0), 1);
    EXPECT_EQ(OpponentType(3), 4);
    EXPECT_EQ(OpponentType(4), 5);
    EXPECT_EQ(OpponentType(7), 5);
    // The mini map's panel is its 100-pixel area at (20, 360) widened by 5 on every side.
    EXPECT_EQ(kHudPanelRects[3].x1, 15);
    EXPECT_EQ(kHudPanelRects[3].y2, 465);
}

TEST(LogoScene, PicturesSweepCloseAndFade) {
    EXPECT_FALSE(LogoLayoutAt(119, false).drawPictures);
    LogoLayout first = LogoLayoutAt(120, false);
    EXPECT_TRUE(first.drawPictures);
    EXPECT_EQ(first.streamX1, -640);
    EXPECT_EQ(first.streamX2, 0);
    LogoLayout closing = LogoLayoutAt(250, true);
    EXPECT_EQ(closing.creditY1, 70);
    EXPECT_EQ(closing.creditY2, 410);
    EXPECT_TRUE(closing.autoLoadLine);
    EXPECT_FALSE(LogoLayoutAt(250, false).autoLoadLine);
    LogoLayout band = LogoLayoutAt(400, false);
    EXPECT_EQ(band.creditY1, 150);
    EXPECT_EQ(band.creditY2, 330);
    EXPECT_EQ(band.overlayAlpha, 112);
    EXPECT_EQ(LogoLayoutAt(479, false).overlayAlpha, 238);
    EXPECT_FALSE(LogoLayoutAt(480, false).drawPictures);
}

namespace {
// Every "load(NAME) ... RESULT" line of a debug log.
std::vector<std::pair<std::string, std::string>> LoadLines(const std::string& log) {
    std::vector<std::pair<std::string, std::string>> out;
    std::regex re(R"(load\(([^)]*)\) \.\.\. (ok\.|failed\.|can't load object\.))");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), re); it != std::sregex_iterator(); ++it) {
        out.emplace_back((*it)[1].str(), (*it)[2].str());
    }
    return out;
}
}  // namespace

TEST(BootEndToEnd, EveryAssetLoadsAndTheLogoShowsThenEverythingIsReleased) {
    GameRun run = RunGame({"--headless", "--unpaced", "--frames", "700", "-dbf", "--shot", "150:logo.png"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::string log = ReadFile(run.dir + "/debug.txt");
    auto loads = LoadLines(log);
    // 16 sounds, the tune, 2 logo bitmaps, 4 air layers, the environment map, 10 file textures and
    // the meshes: every one of them loaded.
    EXPECT_GE(loads.size(), 16u + 1 + 2 + 4 + 1 + 10 + 40);
    for (const auto& [name, result] : loads) EXPECT_EQ(result, "ok.") << name;
    for (const char* name : {"Signal1.wav", "Cansel.wav", "IDB_CreatedByKiru", "IDB_stream", "IDB_Air3",
                             "envtex.bmp", "FINISH.bmp", "KORVANbody.x", "Enemyshadow5.x", "Gate.x",
                             "PoleR.x", "SupplyCrystal.x", "N.x", "06TowardUnlimitedHorizon.mid"}) {
        EXPECT_NE(log.find(std::string("load(") + name + ") ... "), std::string::npos) << name;
    }
    // Slot 1 wears the player's shadow: it follows the type-2 body and tyres.
    EXPECT_NE(log.find("load(Enemybody2.x) ... ok.\nrelease(Enemytire5.x)\nload(Enemytire2.x) ... ok.\n"
                       "release(Enemyshadow5.x)\nload(KORVANshadow.x) ... ok."),
              std::string::npos);
    // The logo pictures go at its end; the shutdown releases the rest.
    EXPECT_NE(log.find("release(IDB_CreatedByKiru)"), std::string::npos);
    size_t quitAt = log.rfind("release(Signal1.wav)");
    ASSERT_NE(quitAt, std::string::npos);
    EXPECT_NE(log.find("release(KORVANbody.x)", quitAt), std::string::npos);
    EXPECT_NE(log.find("FreeDirect3D", quitAt), std::string::npos);
    struct stat st{};
    EXPECT_EQ(stat((run.dir + "/logo.png").c_str(), &st), 0);
}

TEST(BootEndToEnd, MissingDataIsToleratedAndTheGameStillRuns) {
    std::string dir = MakeRunDir(false);  // no data directory at all
    GameRun run = RunGame({"--headless", "--unpaced", "--frames", "200", "-dbf", "--shot", "150:logo.png"}, "", dir);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::string log = ReadFile(run.dir + "/debug.txt");
    EXPECT_NE(log.find("load(KORVANbody.x) ... failed."), std::string::npos);
    EXPECT_NE(log.find("load(Hit.wav) ... "), std::string::npos);
    // The built-in bitmaps do not need the data directory.
    EXPECT_NE(log.find("load(IDB_stream) ... ok."), std::string::npos);
    struct stat st{};
    EXPECT_EQ(stat((run.dir + "/logo.png").c_str(), &st), 0);
}

namespace {

// Pixels of the screen font's colour (0xff00c0ff) in the box where the logo writes "Auto Load
// Success" (x 400, y 400; 17 half-width letters of 16 pixels): counted only where the other
// picture does not have that colour at the same place.
int AutoLoadLinePixels(const std::string& shot, const std::string& without) {
    ScreenImage a, b;
    if (!a.Load(shot) || !b.Load(without) || a.w != 640 || a.h != 480 || b.w != 640 || b.h != 480) return -1;
    auto fontColour = [](const unsigned char* p) { return p[0] < 60 && p[1] > 140 && p[2] > 200; };
    int count = 0;
    for (int y = 400; y < 418; ++y)
        for (int x = 400; x < 540; ++x)
            if (fontColour(a.At(x, y)) && !fontColour(b.At(x, y))) ++count;
    return count;
}

// A run directory whose user data folder holds `bytes` as the save file.
std::string RunDirWithSave(const std::string& bytes) {
    const std::string dir = MakeRunDir();
    const std::string folder = dir + "/" + kRunDataHome + "/korvan";
    std::string cmd = "mkdir -p '" + folder + "'";
    if (std::system(cmd.c_str()) != 0) return dir;
    WriteBytes(folder + "/" + kSaveFileName, bytes);
    return dir;
}

}  // namespace

TEST(BootEndToEnd, AStartUpAutoLoadAppliesTheFileAndTheLogoSaysSo) {
    // A save file made here: cockpit view and courses 1 to 4 open.
    const std::string home = MakeTempDir();
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    SetLogFilePath((home + "/debug.txt").c_str());
    ResetSaveState();
    coursesOpen = 4;
    viewType = 1;
    ASSERT_TRUE(WriteSaveFile());
    const std::string save = ReadBytes(SaveFilePath());
    SetLogFilePath("");
    unsetenv("XDG_DATA_HOME");

    const std::vector<std::string> args = {"--headless", "--unpaced", "--seed", "3", "--frames", "260", "-dbf",
                                           "--shot", "250:logo.png", "--shot", "100:black.png"};
    GameRun loaded = RunGame(args, "", RunDirWithSave(save));
    GameRun fresh = RunGame(args);
    GameRun damaged = RunGame(args, "", RunDirWithSave(save.substr(0, save.size() / 2)));
    for (const GameRun* run : {&loaded, &fresh, &damaged}) ASSERT_EQ(run->exitCode, 0) << run->output;

    const std::string loadedLog = ReadFile(loaded.dir + "/debug.txt");
    EXPECT_NE(loadedLog.find("save file: read " + loaded.dir + "/user-data/korvan/KORVAN -Outer Bounds-.dat"),
              std::string::npos)
        << loadedLog;
    EXPECT_NE(loadedLog.find("Auto Load Success"), std::string::npos);
    const std::string freshLog = ReadFile(fresh.dir + "/debug.txt");
    EXPECT_NE(freshLog.find("save file: none at"), std::string::npos);
    EXPECT_EQ(freshLog.find("Auto Load Success"), std::string::npos);
    const std::string damagedLog = ReadFile(damaged.dir + "/debug.txt");
    EXPECT_NE(damagedLog.find("refused: "), std::string::npos) << damagedLog;
    EXPECT_EQ(damagedLog.find("Auto Load Success"), std::string::npos);
    // The damaged file is left as it was for the player.
    EXPECT_EQ(ReadBytes(damaged.dir + "/user-data/korvan/" + kSaveFileName), save.substr(0, save.size() / 2));

    // Frame 250 lies in the closing of the pictures (frames 181 to 329): the line shows only
    // after a successful auto-load.
    const int withLine = AutoLoadLinePixels(loaded.dir + "/logo.png", fresh.dir + "/logo.png");
    const int withoutLine = AutoLoadLinePixels(damaged.dir + "/logo.png", fresh.dir + "/logo.png");
    std::printf("auto-load line: %d font pixels, %d after a refused file\n", withLine, withoutLine);
    EXPECT_GT(withLine, 150);
    EXPECT_EQ(withoutLine, 0);
    // Before frame 181 the screen is black either way.
    EXPECT_EQ(AutoLoadLinePixels(loaded.dir + "/black.png", fresh.dir + "/black.png"), 0);
}
