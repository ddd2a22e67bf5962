// Damaged ghost files by the ten thousand: bit flips, cut lengths, inserted and dropped bytes,
// header numbers changed with a fresh checksum (so the checks behind it are reached), noise up to
// beyond the size limit. The reader must never crash or read out of bounds (this suite also runs
// under AddressSanitizer), a refused file must leave the run it reads into as it was and the file
// where it lay, and a file it accepts must hold a run that writes back as the same bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "framework/debug_log.h"
#include "game/ghost_file.h"
#include "platform/crc32.h"
#include "tests/support/run_game.h"
#include "tests/support/save_state.h"

namespace {

constexpr int kRounds = 10000;

GhostRun ValidRun(std::mt19937& rng, int frames) {
    GhostRun run;
    run.course = 2;
    run.laps = 1 + static_cast<int>(rng() % 10);
    run.totalMillis = static_cast<int>(rng() % (kGhostMaxMillis + 1));
    run.frames.resize(static_cast<size_t>(frames));
    for (GhostFrame& f : run.frames) {
        f.x = static_cast<float>(static_cast<int>(rng() % 20000) - 10000) / 3.0f;
        f.y = static_cast<float>(rng() % 100);
        f.z = static_cast<float>(static_cast<int>(rng() % 20000) - 10000) / 7.0f;
        for (int16_t& q : f.orientation) q = static_cast<int16_t>(rng());
        f.halfIndex = static_cast<uint16_t>(rng());
        f.wheelSpin = static_cast<int16_t>(rng());
        f.tyreRoll = static_cast<int16_t>(rng());
        f.steer = static_cast<int8_t>(static_cast<int>(rng() % 3) - 1);
        f.lapsDone = static_cast<int8_t>(static_cast<int>(rng() % (run.laps + 2)) - 1);
    }
    return run;
}

void Reseal(std::string& b) {
    if (b.size() < 4) return;
    const uint32_t crc = Crc32(b.data(), b.size() - 4);
    for (int k = 0; k < 4; ++k) b[b.size() - 4 + k] = static_cast<char>(crc >> (8 * k));
}

std::string Damage(const std::string& valid, std::mt19937& rng, int kind) {
    auto pick = [&](size_t lo, size_t hi) { return std::uniform_int_distribution<size_t>(lo, hi)(rng); };
    std::string b = valid;
    switch (kind) {
        case 0: {  // bit flips
            const size_t flips = pick(1, 8);
            for (size_t i = 0; i < flips; ++i) b[pick(0, b.size() - 1)] ^= static_cast<char>(1 << pick(0, 7));
            return b;
        }
        case 1:  // cut short
            return b.substr(0, pick(0, b.size() - 1));
        case 2: {  // bytes inserted
            std::string garbage(pick(1, 64), ' ');
            for (char& ch : garbage) ch = static_cast<char>(pick(0, 255));
            return b.insert(pick(0, b.size()), garbage);
        }
        case 3:  // bytes dropped
            return b.erase(pick(0, b.size() - 1), pick(1, 64));
        case 4: {  // a header number replaced, checksum fixed
            const size_t at = 4 * pick(1, 5);
            const uint32_t v = pick(0, 3) == 0 ? static_cast<uint32_t>(rng()) : static_cast<uint32_t>(pick(0, 12));
            for (int k = 0; k < 4; ++k) b[at + k] = static_cast<char>(v >> (8 * k));
            Reseal(b);
            return b;
        }
        case 5: {  // whole frames added or removed with the count kept, checksum fixed
            if (pick(0, 1)) {
                b.insert(kGhostHeaderBytes, std::string(kGhostFrameBytes * pick(1, 3), '\0'));
            } else if (b.size() > kGhostHeaderBytes + kGhostFrameBytes + kGhostCheckBytes) {
                b.erase(kGhostHeaderBytes, kGhostFrameBytes);
            }
            Reseal(b);
            return b;
        }
        case 6: {  // frame bytes changed, checksum fixed (steer, laps, NaN positions)
            const size_t flips = pick(1, 6);
            for (size_t i = 0; i < flips; ++i) b[pick(kGhostHeaderBytes, b.size() - 5)] = static_cast<char>(rng());
            Reseal(b);
            return b;
        }
        case 7: {  // noise, up to beyond the size limit
            std::string noise(pick(0, 1) ? pick(0, 4096) : pick(kGhostFileByteLimit - 16, kGhostFileByteLimit + 16), ' ');
            for (char& ch : noise) ch = static_cast<char>(pick(0, 255));
            if (noise.size() >= 4) std::memcpy(&noise[0], "KVGH", 4);
            return noise;
        }
        default:  // the magic word kept, the rest another file's
            return b.substr(0, 4) + std::string(pick(0, 200), static_cast<char>(pick(0, 255)));
    }
}

}  // namespace

TEST(GhostFileFuzz, DamagedFilesAreRefusedAndLeftAlone) {
    char memoryDir[] = "/dev/shm/korvan_ghostXXXXXX";
    const char* made = mkdtemp(memoryDir);
    const std::string home = made ? made : MakeTempDir();
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    SetLogFilePath("/dev/null");
    const std::string path = GhostFilePath(2, true);
    ASSERT_FALSE(path.empty());

    std::mt19937 rng(20261209);
    std::vector<std::string> valid;
    for (int frames : {1, 7, 300, 2000}) {
        const std::vector<uint8_t> bytes = EncodeGhost(ValidRun(rng, frames));
        valid.emplace_back(bytes.begin(), bytes.end());
    }
    int refused = 0, accepted = 0, touched = 0, changedOnRefusal = 0, roundTripFailures = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::string damaged = Damage(valid[round % valid.size()], rng, round % 9);
        ASSERT_TRUE(WriteBytes(path, damaged));
        GhostRun out;
        out.course = -1;
        out.laps = -2;
        out.totalMillis = -3;
        bool wasRefused = false;
        if (!ReadGhostFile(2, &out, &wasRefused)) {
            ++refused;
            if (!wasRefused || out.course != -1 || out.laps != -2 || out.totalMillis != -3 || !out.frames.empty())
                ++changedOnRefusal;
            if (ReadBytes(path) != damaged) ++touched;
            continue;
        }
        ++accepted;
        const std::vector<uint8_t> again = EncodeGhost(out);
        if (std::string(again.begin(), again.end()) != damaged) ++roundTripFailures;
    }
    SetLogFilePath("");
    std::filesystem::remove_all(home);
    std::printf("%d damaged ghost files: %d refused, %d accepted\n", kRounds, refused, accepted);
    EXPECT_EQ(changedOnRefusal, 0) << "a refused read changed the run it reads into";
    EXPECT_EQ(touched, 0) << "a refused file was changed";
    EXPECT_EQ(roundTripFailures, 0) << "an accepted file does not write back as itself";
    // Header numbers and frame bytes changed under a fresh checksum are often still a valid ghost.
    EXPECT_GE(refused, kRounds * 3 / 4);
}
