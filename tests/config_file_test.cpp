// The player's settings file: every declared setting read and written back, bad lines of every
// sort logged and ignored without harm, and the file itself found, made and replaced safely.
#include "framework/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/input.h"
#include "framework/music.h"
#include "framework/presentation.h"
#include "framework/sound.h"
#include "game/controls.h"
#include "platform/atomic_file.h"
#include "tests/support/run_game.h"

extern ConfigSetting keysGas;
extern ConfigSetting keysPause;

namespace {

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Each test has its own config folder and its own debug log.
class ConfigFileTest : public ::testing::Test {
protected:
    std::string home, log;
    void SetUp() override {
        home = MakeTempDir();
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        log = home + "/debug.txt";
        SetLogFilePath(log.c_str());
        atomicWriteFailsBeforeRename = false;
        ResetConfig();
    }
    void TearDown() override {
        atomicWriteFailsBeforeRename = false;
        SetLogFilePath("");
        ResetConfig();
    }
    std::string Path() const { return home + "/korvan/korvan.cfg"; }
};

// Each setting moved off its default, within its kind and range.
void SetOffDefault(ConfigSetting& s) {
    switch (s.kind) {
        case ConfigKind::kNumber: s.value = s.defaultValue != s.hi ? s.hi : s.lo; break;
        case ConfigKind::kChoice: s.value = s.defaultValue == 0 ? 1 : 0; break;
        case ConfigKind::kKeys:
            s.keyCount = 3;
            s.keys[0] = DIK_W;
            s.keys[1] = DIK_NUMPAD7;
            s.keys[2] = DIK_RCONTROL;
            break;
    }
}

}  // namespace

TEST_F(ConfigFileTest, EverySettingOfTheGameIsDeclaredWithItsDefault) {
    for (const char* name : {"display.mode", "display.scaling", "display.vsync", "sound.music_volume",
                             "sound.effects_volume", "pad.dead_zone", "keys.gas", "keys.brake", "keys.left", "keys.right", "keys.boost",
                             "keys.pause", "keys.view"}) {
        EXPECT_NE(FindConfigSetting(name), nullptr) << name;
    }
    EXPECT_EQ(FindConfigSetting("KEYS.GAS"), &keysGas);  // names compare ignoring case
    EXPECT_EQ(displayMode.value, kDisplayFullScreen);
    EXPECT_EQ(displayScaling.value, kScalingSharp);
    EXPECT_EQ(displayVsync.value, kVsyncOn);
    EXPECT_EQ(musicVolume.value, 100);
    EXPECT_EQ(effectsVolume.value, 100);
    EXPECT_EQ(padDeadZone.value, kPadAxisThreshold);
    EXPECT_EQ(ConfigValueText(keysGas), "Z A UP NUMPAD8");
    EXPECT_EQ(ConfigValueText(keysPause), "Q");
}

TEST_F(ConfigFileTest, ARoundTripKeepsEveryValue) {
    struct Saved {
        ConfigSetting* setting;
        int value, keyCount, keys[kConfigMaxKeys];
    };
    std::vector<Saved> wanted;
    for (ConfigSetting* s : ConfigSettings()) {
        SetOffDefault(*s);
        Saved w{s, s->value, s->keyCount, {}};
        std::copy(s->keys, s->keys + kConfigMaxKeys, w.keys);
        wanted.push_back(w);
    }
    ASSERT_TRUE(SaveConfigFile());
    ResetConfig();
    ASSERT_TRUE(LoadConfigFile(false));
    for (const Saved& w : wanted) {
        const ConfigSetting& s = *w.setting;
        EXPECT_EQ(s.value, w.value) << s.name;
        if (s.kind == ConfigKind::kKeys) {
            ASSERT_EQ(s.keyCount, w.keyCount) << s.name;
            for (int i = 0; i < s.keyCount; ++i) EXPECT_EQ(s.keys[i], w.keys[i]) << s.name;
        }
    }
    // Written again unchanged, the file is the same byte for byte.
    const std::string first = ReadFile(Path());
    ASSERT_TRUE(SaveConfigFile());
    EXPECT_EQ(ReadFile(Path()), first);
    EXPECT_EQ(ReadFile(log).find("ignored"), std::string::npos) << ReadFile(log);
}

TEST_F(ConfigFileTest, GoodLinesApplyAndEveryBadOneIsLoggedWithItsLineAndIgnored) {
    const std::string text =
        "# a comment\n"
        "   \n"
        "display.mode = window\n"
        "sound.music_volume = 140\n"          // out of range
        "sound.effects_volume = 35  # quiet\n"
        "pad.dead_zone = twelve\n"            // not a number
        "keys.gas = W, UP\n"
        "keys.brake = ESCAPE\n"               // Escape quits, whatever else it is given to
        "keys.boost = SHIFTLOCK\n"            // no such key
        "keys.view = A B C D E\n"             // too many
        "display.scaling = blurry\n"          // not one of the words
        "just some words\n"                   // no "="
        "display.frobnicate = 3\n"            // unknown, kept
        "keys.pause =\n"                      // no key
        "DISPLAY.SCALING = Smooth\n";
    EXPECT_EQ(ApplyConfigText(text), 9);
    EXPECT_EQ(displayMode.value, kDisplayWindow);
    EXPECT_EQ(musicVolume.value, 100);
    EXPECT_EQ(effectsVolume.value, 35);
    EXPECT_EQ(padDeadZone.value, kPadAxisThreshold);
    EXPECT_EQ(ConfigValueText(keysGas), "W UP");
    EXPECT_EQ(ConfigValueText(*FindConfigSetting("keys.brake")), "X S DOWN NUMPAD5");
    EXPECT_EQ(ConfigValueText(*FindConfigSetting("keys.view")), "V");
    EXPECT_EQ(ConfigValueText(keysPause), "Q");
    EXPECT_EQ(displayScaling.value, kScalingSmooth);
    const std::string logged = ReadFile(log);
    for (const char* line : {"line 4: sound.music_volume needs a whole number from 0 to 100; ignored",
                             "line 6: pad.dead_zone needs a whole number", "line 8: keys.brake: ESCAPE is kept",
                             "line 9: keys.boost: \"SHIFTLOCK\" is not a key name",
                             "line 10: keys.view takes at most 4 keys",
                             "line 11: display.scaling needs one of sharp, smooth",
                             "line 12: \"just some words\" is not \"key = value\"",
                             "line 13: unknown setting \"display.frobnicate = 3\"",
                             "line 14: keys.pause needs at least one key"}) {
        EXPECT_NE(logged.find(line), std::string::npos) << line << "\n" << logged;
    }
    // The unknown line survives the next write, for the version of the game that knows it.
    const std::string written = ConfigText();
    EXPECT_NE(written.find("\ndisplay.frobnicate = 3\n"), std::string::npos) << written;
    EXPECT_NE(written.find("\ndisplay.mode = window\n"), std::string::npos);
    EXPECT_EQ(written.find("blurry"), std::string::npos);
}

// A fuzz run: files made of good lines, damaged lines and noise never stop the game, never put a
// setting outside its kind and range, and a good line after any amount of damage still applies.
TEST_F(ConfigFileTest, FuzzedFilesNeverBreakTheSettings) {
    std::mt19937 rng(24);
    const std::string good = ConfigText();
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < good.size(); at = end + 1) {
        end = good.find('\n', at);
        if (end == std::string::npos) end = good.size();
        lines.push_back(good.substr(at, end - at));
    }
    const std::string noise[] = {"=", "==", " = ", "keys.gas", "keys.gas = ", "pad.dead_zone = 99999999999999999999",
                           "pad.dead_zone = -5", "pad.dead_zone = 0x20", "sound.music_volume = 1e2",
                           "display.mode = fullscreen window", "keys.left = ,,,", "\xff\xfe\x00\x01 = \x80",
                           "#=#", "keys.gas = Z Z Z Z Z Z Z Z", "\r\n", std::string(5000, 'k'),
                                 std::string("keys.gas = Z\0X", 14)};
    testing::internal::CaptureStderr();  // thousands of warnings: the log file keeps them
    for (int round = 0; round < 1500; ++round) {
        std::string text;
        const int count = static_cast<int>(rng() % 40);
        for (int i = 0; i < count; ++i) {
            std::string line;
            switch (rng() % 4) {
                case 0: line = lines[rng() % lines.size()]; break;
                case 1: line = noise[rng() % (sizeof(noise) / sizeof(noise[0]))]; break;
                case 2:
                    for (int n = static_cast<int>(rng() % 60); n > 0; --n) line += static_cast<char>(rng() % 256);
                    break;
                default: {
                    line = lines[rng() % lines.size()];
                    for (int n = static_cast<int>(rng() % 4); n > 0 && !line.empty(); --n) {
                        line[rng() % line.size()] = static_cast<char>(rng() % 256);
                    }
                }
            }
            text += line + "\n";
        }
        text += "sound.effects_volume = 42\n";
        ApplyConfigText(text);
        for (const ConfigSetting* s : ConfigSettings()) {
            switch (s->kind) {
                case ConfigKind::kNumber:
                    ASSERT_GE(s->value, s->lo) << s->name;
                    ASSERT_LE(s->value, s->hi) << s->name;
                    break;
                case ConfigKind::kChoice: ASSERT_TRUE(s->value == 0 || s->value == 1) << s->name; break;
                case ConfigKind::kKeys:
                    ASSERT_GE(s->keyCount, 1) << s->name;
                    ASSERT_LE(s->keyCount, kConfigMaxKeys) << s->name;
                    for (int i = 0; i < s->keyCount; ++i) {
                        ASSERT_GT(s->keys[i], 0) << s->name;
                        ASSERT_NE(s->keys[i], DIK_ESCAPE) << s->name;
                    }
                    break;
            }
        }
        ASSERT_EQ(effectsVolume.value, 42) << "round " << round;
        // Whatever was read writes back as a file that reads back to the same settings.
        std::vector<std::string> before;
        for (const ConfigSetting* s : ConfigSettings()) before.push_back(ConfigValueText(*s));
        ApplyConfigText(ConfigText());
        for (size_t i = 0; i < before.size(); ++i) {
            ASSERT_EQ(ConfigValueText(*ConfigSettings()[i]), before[i]) << ConfigSettings()[i]->name;
        }
        ResetConfig();
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("korvan: korvan.cfg line "), std::string::npos);
}

TEST_F(ConfigFileTest, AMissingFileIsWrittenWithTheDefaultsOnlyWhenAsked) {
    ASSERT_TRUE(LoadConfigFile(false));
    EXPECT_NE(access(Path().c_str(), F_OK), 0);
    ASSERT_TRUE(LoadConfigFile(true));
    const std::string text = ReadFile(Path());
    EXPECT_NE(text.find("display.mode = fullscreen\n"), std::string::npos) << text;
    EXPECT_NE(text.find("# loudness of the music"), std::string::npos) << text;
    EXPECT_EQ(ApplyConfigText(text), 0);
}

TEST_F(ConfigFileTest, AFileThatIsNoFileKeepsTheDefaultsAndAFailedWriteKeepsTheOldFile) {
    ASSERT_EQ(mkdir((home + "/korvan").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(Path().c_str(), 0700), 0);  // a folder where the file should be
    EXPECT_FALSE(LoadConfigFile(true));
    EXPECT_EQ(displayMode.value, kDisplayFullScreen);
    ASSERT_EQ(rmdir(Path().c_str()), 0);

    WriteText(Path(), "display.mode = window\n");
    ASSERT_TRUE(LoadConfigFile(false));
    ASSERT_EQ(displayMode.value, kDisplayWindow);
    displayMode.value = kDisplayFullScreen;
    atomicWriteFailsBeforeRename = true;  // the disk fills up in the middle of the write
    EXPECT_FALSE(SaveConfigFile());
    EXPECT_EQ(ReadFile(Path()), "display.mode = window\n");
    EXPECT_NE(access((Path() + ".tmp").c_str(), F_OK), 0);
    atomicWriteFailsBeforeRename = false;
    EXPECT_TRUE(SaveConfigFile());
    EXPECT_NE(ReadFile(Path()).find("display.mode = fullscreen\n"), std::string::npos);
}

TEST_F(ConfigFileTest, RaceKeysFromTheFileDriveTheCarAndTheMenusKeepTheirs) {
    ASSERT_EQ(ApplyConfigText("keys.gas = W\n"), 0);
    keys[DIK_W] = 0x80;
    prevKeys[DIK_W] = 0;
    keys[DIK_Z] = 0;
    ReadControls();
    EXPECT_TRUE(controls.gas.held);
    EXPECT_TRUE(controls.gas.pressed);
    EXPECT_FALSE(controls.accept.held);  // the menus' accept stays on Z and A
    keys[DIK_W] = 0;
    keys[DIK_Z] = 0x80;
    ReadControls();
    EXPECT_FALSE(controls.gas.held);     // Z no longer drives
    EXPECT_TRUE(controls.accept.held);
    keys[DIK_Z] = 0;

    // Steering moved to J and L: the arrows and the numeric pad still page the menus, J and L
    // steer and leave the menus alone.
    ASSERT_EQ(ApplyConfigText("keys.left = J\nkeys.right = L\n"), 0);
    for (int key : {DIK_LEFT, DIK_NUMPAD4, DIK_RIGHT, DIK_NUMPAD6, DIK_J, DIK_L}) {
        keys[key] = 0x80;
        prevKeys[key] = 0;
        ReadControls();
        const bool leftKey = key == DIK_LEFT || key == DIK_NUMPAD4, rightKey = key == DIK_RIGHT || key == DIK_NUMPAD6;
        EXPECT_EQ(controls.menuLeft.pressed, leftKey) << key;
        EXPECT_EQ(controls.menuRight.pressed, rightKey) << key;
        EXPECT_EQ(controls.left.held, key == DIK_J) << key;
        EXPECT_EQ(controls.right.held, key == DIK_L) << key;
        keys[key] = 0;
    }
}

// A setting changed in play rewrites only its own line: the player's comments, spacing, order,
// unknown and bad lines stay byte for byte; a changed setting without a line is added at the end;
// an edit made to the file while the game ran survives; a full disk keeps the old file.
TEST_F(ConfigFileTest, AWriteChangesOnlyTheLinesOfChangedSettings) {
    mkdir((home + "/korvan").c_str(), 0700);
    const std::string mine =
        "# my settings\r\n"
        "display.mode = window\r\n"
        "keys.gas = Z\n"                        // overridden below: a read never applies it
        "  KEYS.GAS\t=  W   A  # my gas keys\n"
        "display.scaling = blurry\n"            // bad: ignored, kept
        "future.setting = 7\n"                  // unknown: kept where it is
        "\n"
        "keys.pause = Q";                       // no newline at the end
    WriteText(Path(), mine);
    ASSERT_TRUE(LoadConfigFile(false));
    ASSERT_EQ(ConfigValueText(keysGas), "W A");
    ASSERT_TRUE(SaveConfigFile());
    EXPECT_EQ(ReadFile(Path()), mine);  // nothing changed, nothing written differently

    ASSERT_TRUE(AssignRaceKey(5, DIK_W));  // the pause takes W from the gas, the gas takes Q
    EXPECT_EQ(ConfigValueText(keysGas), "Q A");
    EXPECT_EQ(ConfigValueText(keysPause), "W");
    padRumble.value = kRumbleOff;
    ASSERT_TRUE(SaveConfigFile());
    std::string wanted =
        "# my settings\r\n"
        "display.mode = window\r\n"
        "keys.gas = Z\n"
        "  KEYS.GAS\t=  Q A  # my gas keys\n"
        "display.scaling = blurry\n"
        "future.setting = 7\n"
        "\n"
        "keys.pause = W\n"
        "\n# " + std::string(padRumble.help) + "\ninput.rumble = off\n";
    EXPECT_EQ(ReadFile(Path()), wanted);

    // The player edits the file while the game runs; the next change in play keeps that edit.
    WriteText(Path(), "# edited\nsound.music_volume = 20\n" + wanted);
    effectsVolume.value = 10;
    ASSERT_TRUE(SaveConfigFile());
    const std::string edited = ReadFile(Path());
    EXPECT_EQ(edited.rfind("# edited\nsound.music_volume = 20\n" + wanted, 0), 0u) << edited;
    EXPECT_NE(edited.find("\nsound.effects_volume = 10\n"), std::string::npos) << edited;

    atomicWriteFailsBeforeRename = true;  // the disk is full
    ASSERT_TRUE(AssignRaceKey(0, DIK_E));
    EXPECT_FALSE(SaveConfigFile());
    EXPECT_EQ(ReadFile(Path()), edited);
    atomicWriteFailsBeforeRename = false;
    ASSERT_TRUE(SaveConfigFile());
    EXPECT_NE(ReadFile(Path()).find("  KEYS.GAS\t=  E A  # my gas keys\n"), std::string::npos) << ReadFile(Path());
    ResetConfig();
    ASSERT_TRUE(LoadConfigFile(false));
    EXPECT_EQ(ConfigValueText(keysGas), "E A");
    EXPECT_EQ(padRumble.value, kRumbleOff);
}

// Keys given in the game: a key in use swaps over, no key ever drives two actions, and the keys
// the game keeps for itself, or the action's own, change nothing.
TEST_F(ConfigFileTest, AKeyGivenInTheGameSwapsWithTheActionThatHadIt) {
    EXPECT_FALSE(AssignRaceKey(0, DIK_A));        // already the gas's
    EXPECT_FALSE(AssignRaceKey(0, DIK_ESCAPE));
    EXPECT_FALSE(AssignRaceKey(6, DIK_F11));
    EXPECT_FALSE(AssignRaceKey(7, DIK_W));        // no such action
    ASSERT_TRUE(AssignRaceKey(6, DIK_SPACE));     // the view takes Space from the boost, which takes V
    EXPECT_EQ(ConfigValueText(*raceKeys[6]), "SPACE");
    EXPECT_EQ(ConfigValueText(*raceKeys[4]), "LSHIFT V NUMPAD0");
    ASSERT_TRUE(AssignRaceKey(1, DIK_LSHIFT));    // the brake takes left Shift; the boost gets X back
    EXPECT_EQ(ConfigValueText(*raceKeys[1]), "LSHIFT S DOWN NUMPAD5");
    EXPECT_EQ(ConfigValueText(*raceKeys[4]), "X V NUMPAD0");
    // An action that already has the key the other loses just drops the taken one.
    ASSERT_EQ(ApplyConfigText("keys.view = G C\nkeys.pause = Q C\n"), 0);
    ASSERT_TRUE(AssignRaceKey(6, DIK_Q));
    EXPECT_EQ(ConfigValueText(*raceKeys[6]), "Q C");
    EXPECT_EQ(ConfigValueText(*raceKeys[5]), "G C");
    EXPECT_FALSE(AssignRaceKey(5, DIK_C));  // already the pause's
    for (int a = 0; a < kRaceKeyActionCount; ++a) {
        for (int b = a + 1; b < kRaceKeyActionCount; ++b) {
            for (int i = 0; i < raceKeys[a]->keyCount; ++i) {
                for (int j = 0; j < raceKeys[b]->keyCount; ++j) {
                    if (raceKeys[a]->keys[i] == DIK_C) continue;  // the file gave C to both
                    EXPECT_NE(raceKeys[a]->keys[i], raceKeys[b]->keys[j]) << a << " " << b;
                }
            }
        }
    }
}
