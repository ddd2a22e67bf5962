// The Option and Pad Key Config screens as a player meets them: the whole game in a child process
// with scripted keys and pad inputs (no real pad), checked frame by frame: the stepping of every
// option, BGM Type's music systems and sounds, and the pad table's assignments and swaps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/graphics_device.h"
#include "framework/input.h"
#include "framework/kbgm.h"
#include "framework/music.h"
#include "game/asset_tables.h"
#include "game/save_file.h"
#include "game/pad_config.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "game/sound_effects.h"
#include "game/tunes.h"
#include "shell/key_config_screen.h"
#include "shell/option_screen.h"
#include "shell/pad_config_screen.h"
#include "shell/title_scene.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"
#include "tests/support/save_state.h"
#include "tests/support/scripted_session.h"

namespace {

constexpr uint32_t T = kTitleFirstFrame;
// Title: Down, Down, Accept on "Option "; the Option screen runs from T + 15, its keys from O.
const std::string kToOption = PressAt(T + 10, "DOWN") + PressAt(T + 12, "DOWN") + PressAt(T + 14, "Z");
constexpr uint32_t O = T + 20;
// Option: Up past "Rumble " and "Key Config " to "Pad Config ", Accept; the pad screen runs from
// O + 7, its keys from P.
const std::string kToPadConfig = kToOption + PressAt(O, "UP") + PressAt(O + 2, "UP") + PressAt(O + 4, "UP") +
                                 PressAt(O + 6, "Z");
constexpr uint32_t P = O + 14;

bool Playing(SoundSlot slot) { return sounds[slot].IsPlaying(); }
bool LabelIs(int setting, const char* label) {
    const SettingChoice* choice = CurrentChoice(kSettings[setting]);
    return choice && std::strcmp(choice->label, label) == 0;
}
bool PadTableIs(int gas, int brake, int boost, int pause, int view) {
    return padButtons[kPadGas] == gas && padButtons[kPadBrake] == brake && padButtons[kPadBoost] == boost &&
           padButtons[kPadPause] == pause && padButtons[kPadView] == view;
}

TEST(OptionScreen, CursorWrapsAndLeadsToPadConfigKeyConfigAndRumble) {
    setenv("XDG_CONFIG_HOME", MakeTempDir().c_str(), 1);  // "Rumble " writes korvan.cfg
    const std::string keys = kToOption + PressAt(O, "UP") + PressAt(O + 2, "DOWN") + PressAt(O + 4, "UP") +
                             PressAt(O + 6, "UP") + PressAt(O + 8, "UP") + PressAt(O + 10, "Z") +
                             PressAt(O + 14, "X") + PressAt(O + 18, "UP") + PressAt(O + 20, "UP") +
                             PressAt(O + 22, "Z") + PressAt(O + 26, "X") + PressAt(O + 30, "UP") +
                             PressAt(O + 32, "Z");
    EXPECT_EQ(RunScriptedSession(keys,
                                 {
                                     {T + 15, [] { return frameProc == OptionFrame && menuCursor == 0; }},
                                     // Up on "Exit " lands on "Rumble ", Down wraps back.
                                     {O + 1, [] { return menuCursor == 12 && Playing(kSoundSlide); }},
                                     {O + 3, [] { return menuCursor == 0; }},
                                     {O + 9, [] { return menuCursor == 10; }},
                                     {O + 11,
                                      [] { return frameProc == PadConfigFrame && menuCursor == 0 && Playing(kSoundAccept); }},
                                     // X leaves the pad screen for the options, not for the title.
                                     {O + 15,
                                      [] { return frameProc == OptionFrame && menuCursor == 0 && Playing(kSoundCansel); }},
                                     {O + 23, [] { return frameProc == KeyConfigFrame && menuCursor == 0; }},
                                     {O + 27, [] { return frameProc == OptionFrame && menuCursor == 0; }},
                                     // "Rumble " turns the pad's rumble off.
                                     {O + 31, [] { return menuCursor == 12 && padRumble.value == kRumbleOn; }},
                                     {O + 33, [] { return padRumble.value == kRumbleOff && Playing(kSoundAccept); }},
                                 }),
              0);
}

TEST(OptionScreen, GoBackAndExitReturnToTheTitle) {
    EXPECT_EQ(RunScriptedSession(kToOption + PressAt(O, "DOWN") + PressAt(O + 2, "S"),
                                 {{O + 3, [] { return frameProc == TitleFrame && menuCursor == 0; }}}),
              0);
    EXPECT_EQ(RunScriptedSession(kToOption + PressAt(O, "Z"),
                                 {{O + 1, [] { return frameProc == TitleFrame && Playing(kSoundCansel); }}}),
              0);
}

// One Accept on each option row but BGM Type: each option takes the next value of its own order.
TEST(OptionScreen, EachRowStepsItsOwnOption) {
    std::string keys = kToOption;
    uint32_t f = O;
    for (int row = 1; row <= 9; ++row) {
        keys += PressAt(f, "DOWN");
        if (row != 2) keys += PressAt(f + 2, "Z");
        f += 4;
    }
    const auto prepare = [] {
        for (const SettingInfo& s : kSettings) *s.value = s.defaultValue;
    };
    EXPECT_EQ(RunScriptedSession(keys,
                                 {{f, [] {
                                       return viewType == 1 && renderLevel == 1 && showFps == 1 && miniMap == 1 &&
                                              speedMeter == 0 && timerMode == 1 && fogType == 0 && autoSave == 0 &&
                                              menuCursor == 9 && LabelIs(kSettingView, "Cockpit View ") &&
                                              LabelIs(kSettingAutoSave, "OFF ");
                                   }}},
                                 prepare),
              0);
}

TEST(OptionScreen, TimersCountDownFromFourAndWrapFromZero) {
    std::string keys = kToOption;
    for (int k = 0; k < 7; ++k) keys += PressAt(O + 2 * k, "DOWN");  // row 7, "Timer(s) "
    for (int k = 0; k < 5; ++k) keys += PressAt(O + 20 + 2 * k, "Z");
    EXPECT_EQ(RunScriptedSession(keys,
                                 {
                                     {O + 21,
                                      [] {
                                          return timerMode == 3 && LabelIs(kSettingTimers, "Show Limit/Time/Last Timers ") &&
                                                 Playing(kSoundAccept);
                                      }},
                                     {O + 27, [] { return timerMode == 0 && LabelIs(kSettingTimers, "Hide All Timers "); }},
                                     {O + 29, [] { return timerMode == 4 && LabelIs(kSettingTimers, "Show All Timers "); }},
                                 },
                                 [] { timerMode = 4; }),
              0);
}

TEST(OptionScreen, BgmTypeStepsWithoutTheLibrary) {
    EXPECT_EQ(NextBgmType(2, true), 1);
    EXPECT_EQ(NextBgmType(1, true), 0);
    EXPECT_EQ(NextBgmType(0, true), 2);
    EXPECT_EQ(NextBgmType(0, false), 1);
}

// Without the background-music library BGM Type goes 1 -> 0 -> 1 and never "KBGM System ". Under 0
// the title's tune stops and no menu sound plays; back to 1 the tune and "Accept.wav" start at once.
TEST(OptionScreen, BgmTypeWithoutTheLibraryCyclesDirectMusicAndSilence) {
    const std::string keys = kToOption + PressAt(O, "DOWN") + PressAt(O + 2, "DOWN") + PressAt(O + 4, "Z") +
                             PressAt(O + 6, "DOWN") + PressAt(O + 8, "UP") + PressAt(O + 10, "Z") +
                             PressAt(O + 12, "Z") + PressAt(O + 14, "Z") + PressAt(O + 16, "Z");
    const auto prepare = [] {
        kbgmReady = false;
        bgmType = 1;
    };
    EXPECT_EQ(RunScriptedSession(keys,
                                 {
                                     {O, [] { return bgmType == 1 && IsMusicPlaying(); }},
                                     {O + 5,
                                      [] {
                                          return bgmType == 0 && LabelIs(kSettingBgm, "No BGM & Sounds ") &&
                                                 !IsMusicPlaying() && !Playing(kSoundAccept);
                                      }},
                                     {O + 7, [] { return menuCursor == 3 && !Playing(kSoundSlide); }},
                                     {O + 9, [] { return menuCursor == 2 && !Playing(kSoundSlide); }},
                                     {O + 11,
                                      [] {
                                          return bgmType == 1 && LabelIs(kSettingBgm, "Direct Music ") &&
                                                 IsMusicPlaying() && Playing(kSoundAccept);
                                      }},
                                     {O + 13, [] { return bgmType == 0 && !IsMusicPlaying(); }},
                                     {O + 15, [] { return bgmType == 1 && IsMusicPlaying(); }},
                                     {O + 17, [] { return bgmType == 0; }},
                                 },
                                 prepare),
              0);
}

// With the library the title's tune moves between the two players: 2 -> 1 -> 0 -> 2.
TEST(OptionScreen, BgmTypeWithTheLibraryMovesTheTuneBetweenPlayers) {
    const std::string keys = kToOption + PressAt(O, "DOWN") + PressAt(O + 2, "DOWN") + PressAt(O + 4, "Z") +
                             PressAt(O + 6, "Z") + PressAt(O + 8, "Z");
    EXPECT_EQ(RunScriptedSession(keys,
                                 {
                                     {O, [] { return kbgmReady && bgmType == 2 && !IsMusicPlaying(); }},
                                     {O + 5, [] { return bgmType == 1 && IsMusicPlaying(); }},
                                     {O + 7, [] { return bgmType == 0 && !IsMusicPlaying(); }},
                                     // The library plays again: it will not free a song that plays.
                                     {O + 9,
                                      [] {
                                          return bgmType == 2 && LabelIs(kSettingBgm, "KBGM System ") &&
                                                 !IsMusicPlaying() && Playing(kSoundAccept) &&
                                                 KBGMFree(kbgmHandle) == kKbgmBusy;
                                      }},
                                 },
                                 [] { bgmType = kbgmReady ? 2 : 1; }),
              0);
}

// Button 3 on "Gas / Accept " with the defaults: Gas / Accept button 3, Boost button 1. The same
// button again changes nothing and plays nothing; so do Z and the keyboard's arrows; any pad
// button on "Exit " leaves.
TEST(PadConfigScreen, ButtonThreeOnGasSwapsWithBoost) {
    const std::string keys = kToPadConfig + PressAt(P, "DOWN") + PressAt(P + 2, "PAD0:1") + PressAt(P + 4, "PAD0:8") +
                             PressAt(P + 6, "PAD0:8") + PressAt(P + 8, "Z") + PressAt(P + 10, "PAD0:0") +
                             PressAt(P + 12, "PAD0:13");
    EXPECT_EQ(RunScriptedSession(keys,
                                 {
                                     {P + 1, [] { return frameProc == PadConfigFrame && menuCursor == 0; }},
                                     {P + 3, [] { return menuCursor == 1 && Playing(kSoundSlide); }},
                                     {P + 5, [] { return PadTableIs(8, 7, 6, 9, 10) && Playing(kSoundAccept); }},
                                     {P + 7, [] { return PadTableIs(8, 7, 6, 9, 10) && !Playing(kSoundAccept); }},
                                     {P + 9,
                                      [] {
                                          return frameProc == PadConfigFrame && PadTableIs(8, 7, 6, 9, 10) &&
                                                 !Playing(kSoundAccept);
                                      }},
                                     {P + 11, [] { return menuCursor == 0; }},
                                     {P + 13,
                                      [] {
                                          return frameProc == OptionFrame && menuCursor == 0 && PadTableIs(8, 7, 6, 9, 10) &&
                                                 Playing(kSoundCansel);
                                      }},
                                 }),
              0);
}

// The Go Back and Pause buttons assign like any other; only X, S and Q go back. Two buttons at once
// make one change, the first in button order; a button held from before counts.
TEST(PadConfigScreen, PadButtonsAssignAndOnlyKeysGoBack) {
    const std::string keys = kToPadConfig + PressAt(P, "PAD0:1") + PressAt(P + 2, "PAD0:1") + PressAt(P + 4, "PAD0:1") +
                             PressAt(P + 6, "PAD0:7") + PressAt(P + 8, "PAD0:9") + PressAt(P + 10, "PAD0:12") +
                             PressAt(P + 10, "PAD0:11") + HoldAt(P + 12, 10, "PAD0:13") + PressAt(P + 14, "PAD0:1") +
                             PressAt(P + 16, "A") + PressAt(P + 30, "Q");
    EXPECT_EQ(RunScriptedSession(keys,
                                 {
                                     {P + 5, [] { return menuCursor == 3; }},
                                     {P + 7, [] { return frameProc == PadConfigFrame && PadTableIs(6, 8, 7, 9, 10); }},
                                     {P + 9, [] { return frameProc == PadConfigFrame && PadTableIs(6, 8, 9, 7, 10); }},
                                     {P + 11, [] { return PadTableIs(6, 8, 11, 7, 10); }},
                                     {P + 13, [] { return PadTableIs(6, 8, 13, 7, 10); }},
                                     {P + 17, [] { return menuCursor == 4 && PadTableIs(6, 8, 7, 13, 10); }},
                                     {P + 31,
                                      [] {
                                          return frameProc == OptionFrame && menuCursor == 0 && PadTableIs(6, 8, 7, 13, 10);
                                      }},
                                 }),
              0);
}

TEST(PadConfigScreen, AssignmentSwapsAndRefusesWhatIsNoButton) {
    ResetPadButtons();
    EXPECT_TRUE(AssignPadButton(kPadView, 13));
    EXPECT_TRUE(PadTableIs(6, 7, 8, 9, 13));  // a free button: nobody else changes
    EXPECT_TRUE(AssignPadButton(kPadGas, 13));
    EXPECT_TRUE(PadTableIs(13, 7, 8, 9, 6));
    EXPECT_FALSE(AssignPadButton(kPadGas, 13));
    EXPECT_FALSE(AssignPadButton(kPadGas, 5));   // the z axis is no button
    EXPECT_FALSE(AssignPadButton(kPadGas, 14));
    EXPECT_FALSE(AssignPadButton(5, 7));
    EXPECT_TRUE(PadTableIs(13, 7, 8, 9, 6));
    ResetPadButtons();
}

// A long run of random pad presses on the five action rows, several buttons at once and held over
// one another: after every frame the five entries are still five different buttons.
int padChanges = 0;
int lastPad[kPadActionCount];

TEST(PadConfigScreen, EntriesStayDifferentAfterRandomPresses) {
    std::mt19937 random(21);
    std::string keys = kToPadConfig + PressAt(P, "PAD0:1");
    int cursor = 1;
    uint32_t f = P + 2;
    const uint32_t end = P + 3000;
    while (f < end) {
        if (random() % 3 == 0) {
            // A pad direction, never onto "Exit ".
            const bool up = cursor > 1 && (cursor == 5 || random() % 2 == 0);
            keys += PressAt(f, up ? "PAD0:0" : "PAD0:1");
            cursor += up ? -1 : 1;
            f += 1;  // let go for a frame, or the next press of it would read as held
        } else {
            const int count = 1 + static_cast<int>(random() % 3);
            for (int k = 0; k < count; ++k) {
                const std::string button = "PAD0:" + std::to_string(6 + random() % 8);
                keys += HoldAt(f, 1 + random() % 12, button.c_str());
            }
        }
        f += 1 + random() % 4;
    }
    std::vector<SessionStep> steps;
    steps.push_back({P + 2, [] {
                         std::memcpy(lastPad, padButtons, sizeof(lastPad));
                         return PadButtonsValid(padButtons);
                     }});
    for (uint32_t at = P + 3; at < end + 20; ++at)
        steps.push_back({at, [] {
                             if (std::memcmp(lastPad, padButtons, sizeof(lastPad)) != 0) ++padChanges;
                             std::memcpy(lastPad, padButtons, sizeof(lastPad));
                             return PadButtonsValid(padButtons) && frameProc == PadConfigFrame;
                         }});
    // The presses really changed the table, hundreds of times.
    steps.push_back({end + 20, [] { return padChanges > 300; }});
    EXPECT_EQ(RunScriptedSession(keys, steps), 0);
}

}  // namespace

// BGM Type 0 silences the race too: the engine, the drift, the hits, course 1's waves and course
// 5's thunder, and the music. The same races under BGM Type 1 are heard, so the listening works.
struct RaceListening {
    int course;
    int bgm;
};

// What a race let be heard, as bits (a child's exit code holds eight): the engine, course 1's
// waves, course 5's thunder, the music, and any other sound.
enum { kHeardEngine = 1, kHeardWaves = 2, kHeardThunder = 4, kHeardMusic = 8, kHeardOther = 16 };

int SoundsHeardInARace(void* context) {
    const RaceListening& listen = *static_cast<RaceListening*>(context);
    const std::string dataHome = MakeTempDir();
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    ResetSaveState();
    bgmType = listen.bgm;
    if (!WriteSaveFile()) return 100;
    if (!StartGameInProcess(listen.course, 7, MakeTempDir() + "/debug.txt", "", dataHome)) return 101;
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    int heard = 0;
    while (frameNumber < 2400 && PumpMessages()) {
        RunFrame();
        for (int slot = 0; slot < kSoundCount; ++slot) {
            if (!sounds[slot].IsPlaying()) continue;
            heard |= slot == kSoundEngine ? kHeardEngine
                     : slot == kSoundWave ? kHeardWaves
                     : slot == kSoundThunder ? kHeardThunder
                                             : kHeardOther;
        }
        if (IsMusicPlaying()) heard |= kHeardMusic;
    }
    if (bgmType != listen.bgm) heard = 102;
    device->SetCooperativeLevelForTest(D3D_OK);
    StopGameInProcess(true);
    return heard;
}

int Heard(int course, int bgm) {
    RaceListening listen{course, bgm};
    return RunInChildProcess(SoundsHeardInARace, &listen);
}

TEST(BgmTypeZero, SilencesEveryRaceSoundAndTheMusic) {
    EXPECT_EQ(Heard(1, 1) & (kHeardEngine | kHeardWaves | kHeardMusic), kHeardEngine | kHeardWaves | kHeardMusic);
    EXPECT_EQ(Heard(5, 1) & (kHeardEngine | kHeardThunder | kHeardMusic), kHeardEngine | kHeardThunder | kHeardMusic);
    EXPECT_EQ(Heard(1, 0), 0);
    EXPECT_EQ(Heard(5, 0), 0);
}
