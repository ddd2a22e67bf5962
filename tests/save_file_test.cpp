// The save file: its value list and four masked runs, the read's sums and range tests, applying
// everything at once, the music rule, the bounded reader, the kept copy of a refused file, saves
// that fail or are interrupted, and a race saved by one run and auto-loaded by the next.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/switches.h"
#include "game/asset_tables.h"
#include "game/save_file.h"
#include "game/tunes.h"
#include "platform/atomic_file.h"
#include "race/race_state.h"
#include "shell/boot.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"
#include "tests/support/save_state.h"

namespace {

// Each test has a data folder of its own and a log to look at; the machine has the music library,
// so a saved BGM Type 2 stays 2 unless a test says otherwise.
class SaveFileTest : public ::testing::Test {
protected:
    std::string home, logPath;

    void SetUp() override {
        home = MakeTempDir();
        setenv("XDG_DATA_HOME", home.c_str(), 1);
        logPath = home + "/debug.txt";
        SetLogFilePath(logPath.c_str());
        ResetSaveState();
        kbgmReady = true;
        atomicWriteFailsBeforeRename = false;
        std::srand(4321);
    }
    void TearDown() override {
        atomicWriteFailsBeforeRename = false;
        kbgmReady = false;
        SetLogFilePath("");
    }

    // Where the file goes; asking makes the folder, as the game's own reads and saves do.
    std::string Path() const {
        const std::string path = SaveFilePath();
        EXPECT_EQ(path, home + "/korvan/KORVAN -Outer Bounds-.dat");
        return path;
    }
    std::string Log() const { return ReadFile(logPath); }

    // A file made by hand from a value list, with masks of the test's own.
    void WriteValues(const int32_t* values, int count = kSaveValueCount) {
        std::vector<uint32_t> a(count), b(count), c(count), d(count);
        for (int k = 0; k < count; ++k) {
            a[k] = (7u * k + 11) % 60000;
            b[k] = (59999u - 13u * k) % 60000;
            c[k] = static_cast<uint32_t>(values[k]) + a[k] + b[k];
            d[k] = static_cast<uint32_t>(values[k]) + b[k];
        }
        std::vector<uint32_t> all = a;
        all.insert(all.end(), b.begin(), b.end());
        all.insert(all.end(), c.begin(), c.end());
        all.insert(all.end(), d.begin(), d.end());
        ASSERT_TRUE(WriteBytes(Path(), JoinSaveNumbers(all)));
    }

    // The read refuses the file and the state stays as it was.
    void ExpectRefused(const std::string& what) {
        const SavedState before = CaptureState();
        EXPECT_FALSE(ReadSaveFile()) << what;
        EXPECT_TRUE(SameState(before, CaptureState())) << what;
    }
};

void Collect(std::vector<int32_t>& values) {
    values.resize(kSaveValueCount);
    CollectSaveValues(values.data());
}

}  // namespace

TEST(SaveFileLayout, PositionsFollowTheLapsTableAndTheSettingsKeepTheFilesOrder) {
    EXPECT_EQ(kSaveValueCount, 186);
    EXPECT_EQ(kSaveNumberCount, 744);
    EXPECT_EQ(kSaveBestRanksAt, 142);
    EXPECT_EQ(kSaveRatiosAt, 157);
    EXPECT_EQ(kSaveSettingsAt, 172);
    EXPECT_EQ(kSavePadButtonsAt, 181);

    ResetSaveState();
    coursesOpen = 6;
    secretFound[0] = secretFound[3] = true;
    records[2].splitMinutes[0] = 1;   // course 2's splits follow course 1's five laps
    records[15].splitMillis[2] = 777; // the last value before the ranks
    records[3].bestCrystalRatio = 200.0f / 3.0f;
    viewType = 1, renderLevel = 0, bgmType = 2, miniMap = 1, speedMeter = 2, showFps = 1, timerMode = 3,
    fogType = 0, autoSave = 0;
    std::vector<int32_t> v;
    Collect(v);
    EXPECT_EQ(v[0], 6);
    EXPECT_EQ(v[1], 0b01001);
    EXPECT_EQ(v[32 + 10], 1);
    EXPECT_EQ(v[141], 777);
    EXPECT_EQ(v[157 + 2], 6666);
    const std::vector<int32_t> settings(v.begin() + 172, v.begin() + 181);
    EXPECT_EQ(settings, (std::vector<int32_t>{1, 0, 2, 1, 2, 1, 3, 0, 0}));
    EXPECT_EQ(v[181], 6);
    EXPECT_EQ(v[185], 10);
}

TEST_F(SaveFileTest, TwoSavesOfOneStateDifferAndBothReadBackToIt) {
    SetVariedState(1);
    const SavedState saved = CaptureState();
    ASSERT_TRUE(WriteSaveFile());
    const std::string first = ReadBytes(Path());
    ASSERT_TRUE(WriteSaveFile());
    const std::string second = ReadBytes(Path());
    EXPECT_NE(first, second);
    // 744 numbers in lower-case hexadecimal without leading zeros, each followed by one blank.
    for (const std::string& text : {first, second}) {
        EXPECT_TRUE(std::regex_match(text, std::regex("((0|[1-9a-f][0-9a-f]{0,7}) ){744}"))) << text.substr(0, 80);
        const std::vector<uint32_t> n = SaveNumbers(text);
        for (int k = 0; k < 2 * kSaveValueCount; ++k) EXPECT_LT(n[k], 60000u) << "mask " << k;
    }

    ResetSaveState();
    ASSERT_TRUE(ReadSaveFile()) << Log();
    EXPECT_TRUE(SameState(saved, CaptureState()));
    ResetSaveState();
    ASSERT_TRUE(WriteBytes(Path(), first));
    ASSERT_TRUE(ReadSaveFile()) << Log();
    EXPECT_TRUE(SameState(saved, CaptureState()));
    EXPECT_NE(Log().find("save file: read " + Path()), std::string::npos);
}

TEST_F(SaveFileTest, ChangingAnySingleNumberIsCaughtUnlessItKeepsTheSums) {
    SetVariedState(2);
    std::vector<int32_t> original;
    Collect(original);
    ASSERT_TRUE(WriteSaveFile());
    const std::vector<uint32_t> numbers = SaveNumbers(ReadBytes(Path()));
    ASSERT_EQ(numbers.size(), 744u);
    const int n = kSaveValueCount;

    for (int i = 0; i < kSaveNumberCount; ++i) {
        std::vector<uint32_t> changed = numbers;
        changed[i] += 1;
        ASSERT_TRUE(WriteBytes(Path(), JoinSaveNumbers(changed)));
        SetVariedState(3);  // something else is held when the read runs
        if (i / n != 1) {
            ExpectRefused("number " + std::to_string(i));
            continue;
        }
        // The sums never involve b[k]: a change of b[k] within the masks' range moves V[k] down by
        // one and passes unless that value leaves its range.
        const SavedState before = CaptureState();
        if (ReadSaveFile()) {
            std::vector<int32_t> read;
            Collect(read);
            std::vector<int32_t> expected = original;
            expected[i % n] -= 1;
            EXPECT_EQ(read, expected) << "b[" << i % n << "]";
        } else {
            EXPECT_TRUE(SameState(before, CaptureState()));
        }
    }

    // a[k] and c[k] moved together keep c[k] = a[k] + d[k]: the same state reads back.
    for (int k = 0; k < n; ++k) {
        std::vector<uint32_t> changed = numbers;
        const uint32_t shift = (k * 977u + 1) % 60000;
        const uint32_t newA = (changed[k] + shift) % 60000;
        changed[2 * n + k] += newA - changed[k];
        changed[k] = newA;
        ASSERT_TRUE(WriteBytes(Path(), JoinSaveNumbers(changed)));
        SetVariedState(3);
        ASSERT_TRUE(ReadSaveFile()) << "entry " << k;
        std::vector<int32_t> read;
        Collect(read);
        EXPECT_EQ(read, original) << "entry " << k;
    }

    // A mask no writer draws (b[k] with a high bit set) is refused.
    std::vector<uint32_t> changed = numbers;
    changed[n + 40] ^= 0x40000000u;
    ASSERT_TRUE(WriteBytes(Path(), JoinSaveNumbers(changed)));
    ExpectRefused("b[40] beyond 59999");
}

TEST_F(SaveFileTest, ShortOddAndLongerFiles) {
    SetVariedState(4);
    const SavedState saved = CaptureState();
    ASSERT_TRUE(WriteSaveFile());
    const std::vector<uint32_t> numbers = SaveNumbers(ReadBytes(Path()));
    const int n = kSaveValueCount;
    ResetSaveState();

    std::vector<uint32_t> cut(numbers.begin(), numbers.end() - 1);
    ASSERT_TRUE(WriteBytes(Path(), JoinSaveNumbers(cut)));
    ExpectRefused("743 numbers");
    EXPECT_NE(Log().find("743 numbers, not a multiple of four"), std::string::npos);

    // Four runs of 185: a multiple of four, but the last value of the list is missing.
    std::vector<uint32_t> short4;
    for (int run = 0; run < 4; ++run)
        short4.insert(short4.end(), numbers.begin() + run * n, numbers.begin() + run * n + n - 1);
    ASSERT_TRUE(WriteBytes(Path(), JoinSaveNumbers(short4)));
    ExpectRefused("740 numbers");
    EXPECT_NE(Log().find("740 numbers, 744 needed"), std::string::npos);

    ASSERT_TRUE(WriteBytes(Path(), ""));
    ExpectRefused("an empty file");

    // Four runs of 187: the first 186 values decode in their places, the extra entry is checked.
    auto longer = [&](uint32_t extraC) {
        std::vector<uint32_t> out;
        const uint32_t extra[4] = {100, 200, extraC, 205};  // V = 5
        for (int run = 0; run < 4; ++run) {
            out.insert(out.end(), numbers.begin() + run * n, numbers.begin() + run * n + n);
            out.push_back(extra[run]);
        }
        return out;
    };
    ASSERT_TRUE(WriteBytes(Path(), JoinSaveNumbers(longer(305))));
    ASSERT_TRUE(ReadSaveFile()) << Log();
    EXPECT_TRUE(SameState(saved, CaptureState()));
    ResetSaveState();
    ASSERT_TRUE(WriteBytes(Path(), JoinSaveNumbers(longer(306))));
    ExpectRefused("an inconsistent extra entry");
}

TEST_F(SaveFileTest, EveryRangeTestRefusesTheWholeFile) {
    SetVariedState(5);
    std::vector<int32_t> valid;
    Collect(valid);
    struct Case {
        int index;
        int32_t value;
        bool accepted;
    };
    const int ninthRank = kSaveBestRanksAt + 8;
    int32_t firstPad = valid[kSavePadButtonsAt];
    const std::vector<Case> cases = {
        {ninthRank, 0, false}, {ninthRank, 10, false}, {ninthRank, 1, true}, {ninthRank, 9, true},
        {kSaveCoursesOpenAt, 0, false}, {kSaveCoursesOpenAt, -1, false}, {kSaveCoursesOpenAt, 12, false},
        {kSaveCoursesOpenAt, 1, true}, {kSaveCoursesOpenAt, 11, true},
        {kSaveSecretFlagsAt, -1, false}, {kSaveSecretFlagsAt, 32, false}, {kSaveSecretFlagsAt, 31, true},
        {kSaveRatiosAt + 14, -1, false}, {kSaveRatiosAt + 14, 10001, false}, {kSaveRatiosAt + 14, 10000, true},
        {kSavePadButtonsAt + 4, firstPad, false}, {kSavePadButtonsAt + 2, 5, false},
        {kSavePadButtonsAt + 2, 14, false},
        {kSaveBestLapsAt, -1, false}, {kSaveBestLapsAt, 100, false}, {kSaveBestLapsAt + 1, 60000, false},
        {kSaveBestLapsAt, 99, true}, {kSaveSplitsAt + 1, -1, false}, {kSaveBestRanksAt - 2, -3, false},
    };
    for (const Case& c : cases) {
        std::vector<int32_t> values = valid;
        values[c.index] = c.value;
        WriteValues(values.data());
        SetVariedState(6);
        if (!c.accepted) {
            ExpectRefused("value " + std::to_string(c.index) + " = " + std::to_string(c.value));
            continue;
        }
        EXPECT_TRUE(ReadSaveFile()) << c.index << " = " << c.value;
        std::vector<int32_t> read;
        Collect(read);
        EXPECT_EQ(read, values);
    }
}

TEST_F(SaveFileTest, EachSettingIsTestedAgainstItsOwnRangeAndLandsInItsOwnGlobal) {
    // The file's order: View, Render, BGM, Mini Map, Speed Meter, FPS, Timer(s), Fog, Auto Save.
    int* const fileOrder[kSettingCount] = {&viewType, &renderLevel, &bgmType, &miniMap, &speedMeter,
                                           &showFps,  &timerMode,   &fogType, &autoSave};
    std::vector<int32_t> valid;
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo* info = nullptr;
        for (const SettingInfo& s : kSettings)
            if (s.value == fileOrder[i]) info = &s;
        ASSERT_NE(info, nullptr);
        for (int32_t value : {info->lowest - 1, info->highest + 1, info->lowest, info->highest}) {
            ResetSaveState();
            Collect(valid);
            valid[kSaveSettingsAt + i] = value;
            WriteValues(valid.data());
            for (const SettingInfo& s : kSettings) *s.value = s.highest == value ? s.lowest : s.highest;
            const int held = *fileOrder[i];
            const bool inRange = value >= info->lowest && value <= info->highest;
            EXPECT_EQ(ReadSaveFile(), inRange) << info->caption << value;
            EXPECT_EQ(*fileOrder[i], inRange ? value : held) << info->caption << value;
        }
    }
}

TEST_F(SaveFileTest, CrystalRatiosReadBackTruncatedAndSurviveEverySave) {
    records[3].bestCrystalRatio = 200.0f / 3.0f;
    ASSERT_TRUE(WriteSaveFile());
    ResetSaveState();
    ASSERT_TRUE(ReadSaveFile());
    EXPECT_EQ(records[3].bestCrystalRatio, 66.66f);
    char shown[32];
    std::snprintf(shown, sizeof(shown), "%3.2f", records[3].bestCrystalRatio);
    EXPECT_STREQ(shown, "66.66");

    // Every ratio a file can hold is saved again as the same number of hundredths: none loses a
    // hundredth each time the game loads and saves (0.53 % is held as 0.52999997 %).
    std::vector<int32_t> values;
    ResetSaveState();
    Collect(values);
    int lost = 0;
    for (int first = 0; first <= 10000; first += CourseCount) {
        for (int c = 0; c < CourseCount; ++c) values[kSaveRatiosAt + c] = std::min(first + c, 10000);
        WriteValues(values.data());
        ASSERT_TRUE(ReadSaveFile());
        std::vector<int32_t> again;
        Collect(again);
        for (int c = 0; c < CourseCount; ++c) lost += again[kSaveRatiosAt + c] != values[kSaveRatiosAt + c];
    }
    EXPECT_EQ(lost, 0);
}

TEST_F(SaveFileTest, BgmType2ReadWithoutTheMusicLibraryGives1) {
    bgmType = 2;
    ASSERT_TRUE(WriteSaveFile());
    kbgmReady = false;
    ResetSaveState();
    ASSERT_TRUE(ReadSaveFile());
    EXPECT_EQ(bgmType, 1);
    kbgmReady = true;
    ASSERT_TRUE(ReadSaveFile());
    EXPECT_EQ(bgmType, 2);
    // A save without the library writes what is held, then drops to Direct Music.
    kbgmReady = false;
    ASSERT_TRUE(WriteSaveFile());
    EXPECT_EQ(bgmType, 1);
    EXPECT_EQ(SaveNumbers(ReadBytes(Path()))[3 * kSaveValueCount + kSaveSettingsAt + 2] -
                  SaveNumbers(ReadBytes(Path()))[kSaveValueCount + kSaveSettingsAt + 2],
              2u);
}

TEST_F(SaveFileTest, TheReaderIsBoundedAndStrict) {
    SetVariedState(7);
    ASSERT_TRUE(WriteSaveFile());
    const std::string valid = ReadBytes(Path());
    const SavedState saved = CaptureState();

    // Blanks and line ends between the numbers are fine, within the size limit.
    ResetSaveState();
    ASSERT_TRUE(WriteBytes(Path(), "\n" + valid + std::string(kSaveFileByteLimit - valid.size() - 2, ' ') + "\n"));
    ASSERT_TRUE(ReadSaveFile()) << Log();
    EXPECT_TRUE(SameState(saved, CaptureState()));

    ResetSaveState();
    ASSERT_TRUE(WriteBytes(Path(), valid + std::string(kSaveFileByteLimit - valid.size() + 1, ' ')));
    ExpectRefused("one byte beyond the limit");
    EXPECT_NE(Log().find("16385 bytes, more than 16384"), std::string::npos);

    // A sparse gigabyte is refused from its size alone.
    const int fd = open(Path().c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 1 << 30), 0);
    close(fd);
    ExpectRefused("a gigabyte");

    // Tokens a "%x" loop would stop at, or read as something else.
    const std::vector<uint32_t> numbers = SaveNumbers(valid);
    for (const char* token : {"zz", "0x1f", "-1", "+1", "100000000", "123456789abcdef0123", "1f.", "\x01"}) {
        std::string text = JoinSaveNumbers(std::vector<uint32_t>(numbers.begin(), numbers.begin() + 500));
        text += token;
        text += " " + JoinSaveNumbers(std::vector<uint32_t>(numbers.begin() + 501, numbers.end()));
        ASSERT_TRUE(WriteBytes(Path(), text));
        ExpectRefused(std::string("token ") + token);
    }
    std::string withNul = valid;
    withNul[valid.size() / 2] = '\0';
    ASSERT_TRUE(WriteBytes(Path(), withNul));
    ExpectRefused("a NUL byte");

    // Not a regular file: a folder, or a pipe that would block a plain open.
    unlink(Path().c_str());
    ASSERT_EQ(mkfifo(Path().c_str(), 0600), 0);
    ExpectRefused("a pipe");
    unlink(Path().c_str());
    ASSERT_EQ(mkdir(Path().c_str(), 0700), 0);
    ExpectRefused("a folder");
    EXPECT_NE(Log().find("refused: not a regular file"), std::string::npos);
    // No save replaces a folder it could not keep.
    SetVariedState(8);
    const SavedState held = CaptureState();
    EXPECT_FALSE(WriteSaveFile());
    EXPECT_TRUE(SameState(held, CaptureState()));
    struct stat st;
    ASSERT_EQ(stat(Path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(SaveFileTest, AMissingFileChangesNothingAndAFirstSaveMakesTheFolder) {
    SetVariedState(9);
    ExpectRefused("no file");
    EXPECT_NE(Log().find("save file: none at " + Path()), std::string::npos);
    const std::string nested = home + "/deeper/still";
    setenv("XDG_DATA_HOME", nested.c_str(), 1);
    ASSERT_TRUE(WriteSaveFile());
    struct stat st;
    EXPECT_EQ(stat((nested + "/korvan/KORVAN -Outer Bounds-.dat").c_str(), &st), 0);
    EXPECT_NE(stat((nested + "/korvan/KORVAN -Outer Bounds-.dat.rejected").c_str(), &st), 0);
}

TEST_F(SaveFileTest, ARefusedFileIsKeptOnceBeforeASaveReplacesIt) {
    const std::string damaged = "this was a save file until the disk went bad\n";
    ASSERT_TRUE(WriteBytes(Path(), damaged));
    SetVariedState(10);
    ExpectRefused("a damaged file");
    EXPECT_EQ(ReadBytes(Path()), damaged);  // reading never touches it

    ASSERT_TRUE(WriteSaveFile()) << Log();
    const std::string kept = Path() + ".rejected";
    EXPECT_EQ(ReadBytes(kept), damaged);
    const std::string log = Log();
    EXPECT_NE(log.find("kept as " + kept + " (refused: byte 0 is not part of a hexadecimal number)"),
              std::string::npos)
        << log;
    // The next save leaves the kept copy alone; the new file reads back.
    ASSERT_TRUE(WriteSaveFile());
    EXPECT_EQ(ReadBytes(kept), damaged);
    const SavedState saved = CaptureState();
    ResetSaveState();
    ASSERT_TRUE(ReadSaveFile());
    EXPECT_TRUE(SameState(saved, CaptureState()));

    // A file over the size limit is kept whole, though it was never read whole.
    std::string big(40000, '7');
    big[12345] = ' ';
    ASSERT_TRUE(WriteBytes(Path(), big));
    ExpectRefused("a big file");
    ASSERT_TRUE(WriteSaveFile());
    EXPECT_EQ(ReadBytes(kept), big);
}

namespace {

struct ReadOnlySave {
    SavedState held;
};

// The save into a folder it may not write to, run as an account without the power to ignore that.
int SaveIntoReadOnlyFolder(void* context) {
    ReadOnlySave& r = *static_cast<ReadOnlySave*>(context);
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) return 2;
    }
    SetLogFilePath("");
    if (WriteSaveFile()) return 3;
    return SameState(r.held, CaptureState()) ? 0 : 4;
}

}  // namespace

TEST_F(SaveFileTest, ASaveIntoAFolderWithoutWritePermissionFailsAndTheOldFileStays) {
    SetVariedState(11);
    const SavedState first = CaptureState();
    ASSERT_TRUE(WriteSaveFile());
    const std::string before = ReadBytes(Path());

    SetVariedState(12);
    ReadOnlySave r{CaptureState()};
    ASSERT_EQ(chmod(home.c_str(), 0755), 0);
    ASSERT_EQ(chmod((home + "/korvan").c_str(), 0555), 0);
    const int result = RunInChildProcess(SaveIntoReadOnlyFolder, &r);
    chmod((home + "/korvan").c_str(), 0755);
    ASSERT_EQ(result, 0) << "2: no account to drop to, 3: the save succeeded, 4: the state changed";
    EXPECT_EQ(ReadBytes(Path()), before);
    ResetSaveState();
    ASSERT_TRUE(ReadSaveFile());
    EXPECT_TRUE(SameState(first, CaptureState()));
}

TEST_F(SaveFileTest, ASaveInterruptedBeforeTheRenameLeavesTheOldFileWhole) {
    SetVariedState(13);
    const SavedState first = CaptureState();
    ASSERT_TRUE(WriteSaveFile());
    const std::string before = ReadBytes(Path());

    SetVariedState(14);
    bgmType = 2;
    kbgmReady = false;  // a successful save would drop BGM Type to 1
    const SavedState held = CaptureState();
    atomicWriteFailsBeforeRename = true;
    EXPECT_FALSE(WriteSaveFile());
    atomicWriteFailsBeforeRename = false;
    EXPECT_TRUE(SameState(held, CaptureState()));
    EXPECT_EQ(ReadBytes(Path()), before);
    struct stat st;
    EXPECT_NE(stat((Path() + ".tmp").c_str(), &st), 0);
    EXPECT_NE(Log().find("the previous file is unchanged"), std::string::npos);

    kbgmReady = true;
    ResetSaveState();
    ASSERT_TRUE(ReadSaveFile());
    EXPECT_TRUE(SameState(first, CaptureState()));
}

// ---------------------------------------------------------------------------------------------------
// A race saved by one run and auto-loaded by the next.

namespace {

struct RaceRun {
    std::string home, log, out;
};

// The first run: course 1 to the finish with the automatic driver (the device lost, so only the
// race's steps run), then the save, as the course clear would make it. Writes what the race did.
int RaceThenSave(void* context) {
    RaceRun& run = *static_cast<RaceRun*>(context);
    const bool started = StartGameInProcess(1, 7, run.log, "", run.home);
    bool saved = false;
    RaceState finish{};
    float ratio = 0.0f;
    if (started) {
        programOptions.exitAfterRace = true;
        device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
        while (PumpMessages() && frameNumber < 60000) {
            RunFrame();
            if (raceState.finished && !finish.finished) finish = raceState, ratio = CrystalRatio();
        }
        device->SetCooperativeLevelForTest(D3D_OK);
        saved = finish.finished && WriteSaveFile();
    }
    FILE* f = std::fopen(run.out.c_str(), "w");
    if (f) {
        std::fprintf(f, "%d %d %.9g\n", finish.finished, finish.finalRank, ratio);
        for (int lap = 1; lap <= RecordedLaps(1); ++lap)
            std::fprintf(f, "%d %d\n", finish.lapTimeMinutes[lap], finish.lapTimeMillis[lap]);
        std::fclose(f);
    }
    StopGameInProcess(started);
    return started && saved && f ? 0 : 1;
}

// The second run: boot, the logo's first 300 frames, then course 1's record as it was loaded.
int BootAndLook(void* context) {
    RaceRun& run = *static_cast<RaceRun*>(context);
    const bool started = StartGameInProcess(0, 8, run.log, "", run.home);
    if (started) {
        device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
        RunFramesUntil(300);
        device->SetCooperativeLevelForTest(D3D_OK);
    }
    FILE* f = std::fopen(run.out.c_str(), "w");
    if (f) {
        const CourseRecord& r = records[1];
        std::fprintf(f, "%d %d %d %d %.9g\n", autoLoadSuccess, r.bestRank, r.bestLapMinutes, r.bestLapMillis,
                     r.bestCrystalRatio);
        for (int lap = 0; lap < RecordedLaps(1); ++lap)
            std::fprintf(f, "%d %d\n", r.splitMinutes[lap], r.splitMillis[lap]);
        std::fclose(f);
    }
    StopGameInProcess(started);
    return started && f ? 0 : 1;
}

}  // namespace

TEST(SaveFileEndToEnd, ARaceOnCourse1IsSavedAndTheNextRunAutoLoadsItsRecords) {
    const std::string home = MakeTempDir();
    RaceRun first{home, MakeTempDir() + "/debug.txt", MakeTempDir() + "/race.txt"};
    ASSERT_EQ(RunInChildProcess(RaceThenSave, &first), 0) << ReadFile(first.log);
    const std::string firstLog = ReadFile(first.log);
    EXPECT_NE(firstLog.find("save file: none at"), std::string::npos);  // the first run found nothing
    EXPECT_NE(firstLog.find("save file: saved to " + home + "/korvan/KORVAN -Outer Bounds-.dat"), std::string::npos);

    RaceRun second{home, MakeTempDir() + "/debug.txt", MakeTempDir() + "/loaded.txt"};
    ASSERT_EQ(RunInChildProcess(BootAndLook, &second), 0) << ReadFile(second.log);
    EXPECT_NE(ReadFile(second.log).find("Auto Load Success"), std::string::npos) << ReadFile(second.log);

    // The race: finished, its rank, ratio and five laps; the loaded record holds exactly those.
    FILE* race = std::fopen(first.out.c_str(), "r");
    FILE* loaded = std::fopen(second.out.c_str(), "r");
    ASSERT_TRUE(race && loaded);
    int finished = 0, rank = 0, autoLoaded = 0, bestRank = 0, bestMin = 0, bestMs = 0;
    float ratio = 0, bestRatio = 0;
    ASSERT_EQ(std::fscanf(race, "%d %d %f", &finished, &rank, &ratio), 3);
    ASSERT_EQ(std::fscanf(loaded, "%d %d %d %d %f", &autoLoaded, &bestRank, &bestMin, &bestMs, &bestRatio), 5);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(autoLoaded, 1);
    EXPECT_EQ(bestRank, rank);
    // The file keeps the ratio in whole hundredths of a percent, truncated.
    EXPECT_LE(bestRatio, ratio + 1e-4f);
    EXPECT_GT(bestRatio, ratio - 0.01f);
    RaceTime fastest{99, 59999};
    for (int lap = 0; lap < RecordedLaps(1); ++lap) {
        int raceMin = 0, raceMs = 0, splitMin = 0, splitMs = 0;
        ASSERT_EQ(std::fscanf(race, "%d %d", &raceMin, &raceMs), 2);
        ASSERT_EQ(std::fscanf(loaded, "%d %d", &splitMin, &splitMs), 2);
        EXPECT_EQ(splitMin, raceMin) << "lap " << lap + 1;
        EXPECT_EQ(splitMs, raceMs) << "lap " << lap + 1;
        if (TimeLess({raceMin, raceMs}, fastest)) fastest = {raceMin, raceMs};
    }
    EXPECT_EQ(bestMin, fastest.minutes);
    EXPECT_EQ(bestMs, fastest.millis);
    std::fclose(race);
    std::fclose(loaded);
    std::printf("course 1: rank %d, best lap %d:%05d, crystals %.4f %%, loaded %.4f %%\n", rank, bestMin, bestMs, ratio,
                bestRatio);
}
