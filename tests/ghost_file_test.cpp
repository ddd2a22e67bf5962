// The ghost file: what is written reads back as itself, each kind of damage is refused with the file
// left in place, and a ghost is replaced only by a faster run (a slower or equal one leaves the
// file byte for byte as it was; a refused one is copied aside first).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/debug_log.h"
#include "game/ghost_file.h"
#include "platform/crc32.h"
#include "tests/support/run_game.h"
#include "tests/support/save_state.h"

namespace {

GhostRun SampleRun(int course, int frames, int totalMillis) {
    GhostRun run;
    run.course = course;
    run.laps = 3;
    run.totalMillis = totalMillis;
    for (int i = 0; i < frames; ++i) {
        GhostFrame f;
        f.x = 0.25f * i;
        f.y = -3.5f;
        f.z = 1000.0f + i;
        const int16_t q[4] = {static_cast<int16_t>(i), -200, 300, 32000};
        std::memcpy(f.orientation, q, sizeof q);
        f.halfIndex = static_cast<uint16_t>(i % 700);
        f.wheelSpin = static_cast<int16_t>(i * 97);
        f.tyreRoll = static_cast<int16_t>(-i);
        f.steer = static_cast<int8_t>(i % 3 - 1);
        f.lapsDone = static_cast<int8_t>(i * 4 / frames - 1);
        run.frames.push_back(f);
    }
    return run;
}

bool SameRun(const GhostRun& a, const GhostRun& b) {
    return a.course == b.course && a.laps == b.laps && a.totalMillis == b.totalMillis &&
           a.frames.size() == b.frames.size() &&
           std::memcmp(a.frames.data(), b.frames.data(), a.frames.size() * sizeof(GhostFrame)) == 0;
}

// Replaces bytes and puts a fresh checksum on, so the checks behind the checksum are reached.
std::vector<uint8_t> Resealed(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(value >> (8 * k));
    const uint32_t crc = Crc32(bytes.data(), bytes.size() - 4);
    for (int k = 0; k < 4; ++k) bytes[bytes.size() - 4 + k] = static_cast<uint8_t>(crc >> (8 * k));
    return bytes;
}

std::string AsString(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

class GhostFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = MakeTempDir();
        setenv("XDG_DATA_HOME", home_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(home_); }
    std::string home_;
};

}  // namespace

TEST(Crc32, KnownValuesAndPieces) {
    EXPECT_EQ(Crc32("123456789", 9), 0xcbf43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    EXPECT_EQ(Crc32("6789", 4, Crc32("12345", 5)), 0xcbf43926u);
}

TEST(GhostCodec, RoundTripsAndSizesFollowTheFrameCount) {
    // Longer than the replay's three minutes: a ghost has no cap at 10800 frames.
    const GhostRun run = SampleRun(7, 16500, 275123);
    const std::vector<uint8_t> bytes = EncodeGhost(run);
    ASSERT_EQ(bytes.size(), kGhostHeaderBytes + 16500 * kGhostFrameBytes + kGhostCheckBytes);
    EXPECT_EQ(std::memcmp(bytes.data(), "KVGH", 4), 0);
    GhostRun back;
    std::string why;
    ASSERT_TRUE(DecodeGhost(bytes.data(), bytes.size(), 7, &back, &why)) << why;
    EXPECT_TRUE(SameRun(run, back));
}

TEST(GhostCodec, EachKindOfDamageIsRefusedAndLeavesTheRunAlone) {
    const std::vector<uint8_t> good = EncodeGhost(SampleRun(3, 50, 61000));
    std::vector<uint8_t> magic = good;
    magic[0] = 'X';
    std::vector<uint8_t> flipped = good;
    flipped[kGhostHeaderBytes + 5] ^= 0x10;
    std::vector<uint8_t> longer = good;
    longer.insert(longer.end() - 4, kGhostFrameBytes, 0);
    std::vector<uint8_t> nan = Resealed(good, kGhostHeaderBytes, 0x7fc00000u);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int course;
    } cases[] = {
        {"empty", {}, 3},
        {"magic", magic, 3},
        {"version", Resealed(good, 4, 2), 3},
        {"course", good, 4},
        {"laps", Resealed(good, 12, 11), 3},
        {"time", Resealed(good, 16, kGhostMaxMillis + 1), 3},
        {"no frames", Resealed(good, 20, 0), 3},
        {"count larger than the file", Resealed(good, 20, 51), 3},
        {"count smaller than the file", Resealed(good, 20, 49), 3},
        {"count overflowing the size", Resealed(good, 20, 0xffffffffu), 3},
        {"bit flip", flipped, 3},
        {"truncated", std::vector<uint8_t>(good.begin(), good.end() - 9), 3},
        {"a frame too many", longer, 3},
        {"position not a number", nan, 3},
        {"steer", Resealed(good, kGhostHeaderBytes + 24, 0x00020000u), 3},
    };
    for (const auto& c : cases) {
        GhostRun out = SampleRun(9, 2, 5);
        const GhostRun before = out;
        std::string why;
        EXPECT_FALSE(DecodeGhost(c.bytes.data(), c.bytes.size(), c.course, &out, &why)) << c.name;
        EXPECT_FALSE(why.empty()) << c.name;
        EXPECT_TRUE(SameRun(before, out)) << c.name;
    }
}

TEST_F(GhostFileTest, OnlyAFasterRunReplacesTheGhost) {
    const std::string path = GhostFilePath(1);
    GhostRun none;
    EXPECT_FALSE(ReadGhostFile(1, &none));

    ASSERT_TRUE(KeepGhostIfFaster(SampleRun(1, 400, 90000)));
    const std::string first = ReadBytes(path);
    ASSERT_FALSE(first.empty());
    EXPECT_FALSE(KeepGhostIfFaster(SampleRun(1, 300, 90001)));
    EXPECT_FALSE(KeepGhostIfFaster(SampleRun(1, 300, 90000)));  // a tie keeps the old one
    EXPECT_EQ(ReadBytes(path), first);

    ASSERT_TRUE(KeepGhostIfFaster(SampleRun(1, 380, 89000)));
    GhostRun back;
    ASSERT_TRUE(ReadGhostFile(1, &back));
    EXPECT_TRUE(SameRun(back, SampleRun(1, 380, 89000)));
    // Other courses have their own files.
    EXPECT_FALSE(ReadGhostFile(2, &back));
}

TEST_F(GhostFileTest, ARefusedFileIsLeftInPlaceThenKeptAsideWhenReplaced) {
    const std::string path = GhostFilePath(5, true);
    std::vector<uint8_t> bytes = EncodeGhost(SampleRun(5, 100, 70000));
    bytes.resize(bytes.size() - 30);  // truncated
    ASSERT_TRUE(WriteBytes(path, AsString(bytes)));
    GhostRun out;
    bool refused = false;
    EXPECT_FALSE(ReadGhostFile(5, &out, &refused));
    EXPECT_TRUE(refused);
    EXPECT_TRUE(out.frames.empty());
    EXPECT_EQ(ReadBytes(path), AsString(bytes));

    // A file larger than the limit is refused without being read.
    const std::string big = GhostFilePath(6, true);
    ASSERT_TRUE(WriteBytes(big, std::string(kGhostFileByteLimit + 1, 'K')));
    EXPECT_FALSE(ReadGhostFile(6, &out, &refused));
    EXPECT_TRUE(refused);
    // A folder in the file's place.
    ASSERT_EQ(mkdir(GhostFilePath(8, true).c_str(), 0700), 0);
    EXPECT_FALSE(ReadGhostFile(8, &out, &refused));
    EXPECT_TRUE(refused);

    ASSERT_TRUE(KeepGhostIfFaster(SampleRun(5, 120, 99999)));
    EXPECT_EQ(ReadBytes(path + ".rejected"), AsString(bytes));
    ASSERT_TRUE(ReadGhostFile(5, &out));
    EXPECT_EQ(out.totalMillis, 99999);
}
