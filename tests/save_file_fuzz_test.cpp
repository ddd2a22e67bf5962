// Damaged save files by the thousand: bit flips, cut lengths, inserted garbage, huge and swapped
// numbers, noise, an empty file and a folder in the file's place. The reader must never crash or
// read out of bounds (this suite also runs under AddressSanitizer), a refused file must leave
// everything the game holds as it was, and a file it accepts must hold a state the game can use.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "framework/debug_log.h"
#include "game/save_file.h"
#include "game/tunes.h"
#include "tests/support/run_game.h"
#include "tests/support/save_state.h"

namespace {

constexpr int kRounds = 12000;

// Every field where the rest of the game expects it.
bool StateUsable() {
    if (coursesOpen < 1 || coursesOpen > kAllCoursesOpen) return false;
    for (int c = 1; c <= CourseCount; ++c) {
        const CourseRecord& r = records[c];
        if (r.bestRank < 1 || r.bestRank > 9) return false;
        if (!(r.bestCrystalRatio >= 0.0f && r.bestCrystalRatio <= 100.0f)) return false;
        if (r.bestLapMinutes < 0 || r.bestLapMillis < 0 || r.bestLapMillis > 59999) return false;
    }
    for (const SettingInfo& s : kSettings)
        if (*s.value < s.lowest || *s.value > s.highest) return false;
    return PadButtonsValid(padButtons);
}

std::vector<std::string> Tokens(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
        const size_t end = text.find(' ', at);
        out.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end;
    }
    return out;
}

std::string Join(const std::vector<std::string>& tokens) {
    std::string text;
    for (const std::string& t : tokens) text += t + " ";
    return text;
}

// One damaged copy of a valid file.
std::string Damage(const std::string& valid, std::mt19937& rng, int kind) {
    auto pick = [&](size_t lo, size_t hi) { return std::uniform_int_distribution<size_t>(lo, hi)(rng); };
    std::string text = valid;
    std::vector<std::string> tokens = Tokens(valid);
    switch (kind) {
        case 0: {  // bit flips
            const size_t flips = pick(1, 16);
            for (size_t i = 0; i < flips; ++i) text[pick(0, text.size() - 1)] ^= static_cast<char>(1 << pick(0, 7));
            return text;
        }
        case 1:  // cut short
            return text.substr(0, pick(0, text.size() - 1));
        case 2: {  // garbage inserted, any bytes
            std::string garbage(pick(1, 64), ' ');
            for (char& ch : garbage) ch = static_cast<char>(pick(0, 255));
            return text.insert(pick(0, text.size()), garbage);
        }
        case 3: {  // a huge number in place of one
            std::string huge(pick(9, 40), 'f');
            for (char& ch : huge) ch = "0123456789abcdef"[pick(0, 15)];
            huge[0] = '1';
            tokens[pick(0, tokens.size() - 1)] = huge;
            return Join(tokens);
        }
        case 4:  // one number dropped
            tokens.erase(tokens.begin() + static_cast<long>(pick(0, tokens.size() - 1)));
            return Join(tokens);
        case 5: {  // one number repeated
            const size_t at = pick(0, tokens.size() - 1);
            tokens.insert(tokens.begin() + static_cast<long>(at), tokens[at]);
            return Join(tokens);
        }
        case 6: {  // one number replaced by any 32-bit value
            char number[16];
            std::snprintf(number, sizeof(number), "%x", static_cast<unsigned>(rng()));
            tokens[pick(0, tokens.size() - 1)] = number;
            return Join(tokens);
        }
        case 7:  // two numbers swapped
            std::swap(tokens[pick(0, tokens.size() - 1)], tokens[pick(0, tokens.size() - 1)]);
            return Join(tokens);
        case 8: {  // noise, up to beyond the size limit
            std::string noise(pick(0, kSaveFileByteLimit + 2000), ' ');
            for (char& ch : noise) ch = static_cast<char>(pick(0, 255));
            return noise;
        }
        case 9: {  // numbers appended, up to beyond the size limit
            const size_t more = pick(1, 3000);
            for (size_t i = 0; i < more; ++i) text += tokens[pick(0, tokens.size() - 1)] + " ";
            return text;
        }
        case 10: {  // a blank run padded past the limit, or a line break where a blank was
            if (pick(0, 1)) return text + std::string(pick(1, 2 * kSaveFileByteLimit), ' ');
            text[text.find(' ', pick(0, text.size() - 2))] = "\n\t\r"[pick(0, 2)];
            return text;
        }
        default:  // the sums kept, the value changed: a and c moved together
        {
            const size_t n = tokens.size() / 4;
            const size_t k = pick(0, n - 1);
            const unsigned shift = static_cast<unsigned>(pick(1, 59999));
            char number[16];
            const unsigned a = static_cast<unsigned>(std::strtoul(tokens[k].c_str(), nullptr, 16)) + shift;
            const unsigned c = static_cast<unsigned>(std::strtoul(tokens[2 * n + k].c_str(), nullptr, 16)) + shift;
            std::snprintf(number, sizeof(number), "%x", a);
            tokens[k] = number;
            std::snprintf(number, sizeof(number), "%x", c);
            tokens[2 * n + k] = number;
            return Join(tokens);
        }
    }
}

}  // namespace

TEST(SaveFileFuzz, DamagedFilesAreRefusedWithoutChangingAnything) {
    // A folder in memory when the machine has one: twelve thousand files written over each other
    // on a busy disk take a long while.
    char memoryDir[] = "/dev/shm/korvan_fuzzXXXXXX";
    const char* made = mkdtemp(memoryDir);
    const std::string home = made ? made : MakeTempDir();
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    // Thousands of refusals are logged: the lines go nowhere, the disk has enough to do.
    SetLogFilePath("/dev/null");
    kbgmReady = true;
    std::srand(99);
    const std::string path = SaveFilePath();
    ASSERT_FALSE(path.empty());

    // A handful of valid files of different states to damage.
    std::vector<std::string> valid;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SetVariedState(seed);
        ASSERT_TRUE(WriteSaveFile());
        valid.push_back(ReadBytes(path));
    }

    std::mt19937 rng(20240611);
    int refused = 0, accepted = 0, unchangedFailures = 0, unusable = 0, roundTripFailures = 0;
    for (int round = 0; round < kRounds; ++round) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) rmdir(path.c_str());
        const int kind = round % 13;
        if (kind == 12) {
            // Every so often: an empty file, or a folder in the file's place.
            if (round % 2) {
                unlink(path.c_str());
                ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
            } else {
                ASSERT_TRUE(WriteBytes(path, ""));
            }
        } else {
            ASSERT_TRUE(WriteBytes(path, Damage(valid[round % valid.size()], rng, kind)));
        }
        SetVariedState(static_cast<unsigned>(rng()));
        const SavedState before = CaptureState();
        if (!ReadSaveFile()) {
            ++refused;
            if (!SameState(before, CaptureState())) ++unchangedFailures;
            continue;
        }
        ++accepted;
        if (!StateUsable()) ++unusable;
        // What was accepted saves and reads back as itself (checked now and then: every save
        // waits for the disk).
        if (accepted % 64 != 1) continue;
        const SavedState loaded = CaptureState();
        if (!WriteSaveFile() || (ResetSaveState(), !ReadSaveFile()) || !SameState(loaded, CaptureState()))
            ++roundTripFailures;
    }
    SetLogFilePath("");
    kbgmReady = false;
    std::filesystem::remove_all(home);
    std::printf("%d damaged files: %d refused, %d accepted\n", kRounds, refused, accepted);
    EXPECT_EQ(unchangedFailures, 0) << "a refused read changed the state";
    EXPECT_EQ(unusable, 0) << "an accepted file left a value the game cannot use";
    EXPECT_EQ(roundTripFailures, 0);
    EXPECT_GE(refused, kRounds * 3 / 4);
}
