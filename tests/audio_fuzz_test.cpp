// Mutation runs over the game's sound and music readers, as files on disk: ten thousand damaged WAV
// files through Sound::Load, ten thousand damaged MIDI files through the background-music library
// (KBGMLoadFile) and the SoundFont player's loader (MidiLoad), both on the shared MIDI reader. Each
// file is refused with its log line and leaves nothing behind, or is loaded whole; a sound and a
// tune loaded before stay as they were. Seeded, so a failure comes back with the same file; run
// under the sanitizers (ctest -L sanitize) it also proves no crash, no overrun and no leak.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "framework/debug_log.h"
#include "framework/kbgm.h"
#include "framework/sound.h"
#include "platform/audio.h"
#include "platform/bgm.h"
#include "platform/midi.h"
#include "tests/support/midi_bytes.h"
#include "tests/support/run_game.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kRuns = 10000;

// ---- Damage -----------------------------------------------------------------------------------

// A chunk-based format's shape, for the damage that knows it: the chunk ids whose size fields get
// huge or boundary values, and the byte order of those fields.
struct ChunkFormat {
    std::vector<const char*> ids;
    bool bigEndian;
};

void PutSize(Bytes& b, size_t at, uint32_t v, bool bigEndian) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * (bigEndian ? 3 - i : i)));
}

// Bit flips, cut lengths, inserted garbage, deleted and repeated stretches, boundary values in
// 16- and 32-bit fields, and huge or off-by-a-little sizes in the chunk headers.
Bytes Mutate(const Bytes& seed, const ChunkFormat& format, std::mt19937& rng) {
    static const uint32_t kSizes[] = {0, 1, 2, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u, 0x10000000u};
    Bytes b = seed;
    auto pick = [&](size_t n) { return n == 0 ? size_t{0} : static_cast<size_t>(rng() % n); };
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        switch (rng() % 9) {
        case 0:  // flip a bit
            if (!b.empty()) b[pick(b.size())] ^= static_cast<uint8_t>(1u << (rng() % 8));
            break;
        case 1:  // a random byte
            if (!b.empty()) b[pick(b.size())] = static_cast<uint8_t>(rng());
            break;
        case 2:  // cut the file short
            b.resize(pick(b.size() + 1));
            break;
        case 3: {  // insert garbage
            const size_t at = pick(b.size() + 1), n = 1 + pick(48);
            Bytes junk(n);
            for (uint8_t& x : junk) x = static_cast<uint8_t>(rng());
            b.insert(b.begin() + at, junk.begin(), junk.end());
            break;
        }
        case 4: {  // delete a stretch
            const size_t at = pick(b.size()), n = std::min(b.size() - at, 1 + pick(32));
            b.erase(b.begin() + at, b.begin() + at + n);
            break;
        }
        case 5: {  // repeat a stretch somewhere else
            const size_t at = pick(b.size()), n = std::min(b.size() - at, 1 + pick(128));
            const Bytes copy(b.begin() + at, b.begin() + at + n);
            b.insert(b.begin() + pick(b.size() + 1), copy.begin(), copy.end());
            break;
        }
        case 6:  // a boundary value in a 16-bit field (channels, bits, format, track count)
            if (b.size() >= 2) {
                static const uint16_t kWords[] = {0, 1, 3, 0x7FFF, 0x8000, 0xFFFF, 9, 64};
                const size_t at = pick(b.size() - 1);
                const uint16_t v = kWords[pick(8)];
                b[at] = static_cast<uint8_t>(v);
                b[at + 1] = static_cast<uint8_t>(v >> 8);
            }
            break;
        default: {  // a huge or boundary size in a chunk header, or the size one off
            std::vector<size_t> sizeFields;
            for (size_t at = 0; at + 8 <= b.size(); ++at) {
                for (const char* id : format.ids) {
                    if (std::memcmp(&b[at], id, 4) == 0) sizeFields.push_back(at + 4);
                }
            }
            if (sizeFields.empty()) break;
            const size_t at = sizeFields[pick(sizeFields.size())];
            uint32_t v = kSizes[pick(8)];
            if (rng() % 3 == 0) {
                uint32_t old = 0;
                for (int i = 0; i < 4; ++i) old = (old << 8) | b[at + (format.bigEndian ? i : 3 - i)];
                v = old + static_cast<uint32_t>(pick(5)) - 2;
            }
            PutSize(b, at, v, format.bigEndian);
            break;
        }
        }
    }
    return b;
}

// The run's n-th file: every 500th is empty, the rest damaged copies of the seeds in turn.
Bytes NthFile(int n, const std::vector<Bytes>& seeds, const ChunkFormat& format, std::mt19937& rng) {
    if (n % 500 == 0) return {};
    return Mutate(seeds[n % seeds.size()], format, rng);
}

// The log lines of the run's files, by number: what followed "<prefix><number><suffix>".
std::map<int, std::string> LinesByFile(const std::string& log, const std::string& prefix, const std::string& suffix) {
    std::map<int, std::string> lines;
    size_t at = 0;
    while ((at = log.find(prefix, at)) != std::string::npos) {
        at += prefix.size();
        const int n = std::atoi(log.c_str() + at);
        const size_t rest = log.find(suffix, at);
        const size_t end = log.find('\n', at);
        if (rest == std::string::npos || end == std::string::npos || rest > end) continue;
        lines[n] = log.substr(rest + suffix.size(), end - rest - suffix.size());
        at = end;
    }
    return lines;
}

std::string FileName(const std::string& dir, const char* stem, int n, const char* ext) {
    char name[32];
    std::snprintf(name, sizeof(name), "%s%05d%s", stem, n, ext);
    return dir + "/" + name;
}

class AudioFuzz : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTempDir();
        logPath = dir + "/debug.txt";
        SetLogFilePath(logPath.c_str());
        ASSERT_TRUE(AudioStart(AudioOutput::kPull));
        start = std::chrono::steady_clock::now();
    }
    void TearDown() override {
        AudioStop();
        SetLogFilePath("");
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::string dir, logPath;
    std::chrono::steady_clock::time_point start;
};

// ---- WAV --------------------------------------------------------------------------------------

void Le(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes WavChunk(const char* id, const Bytes& body) {
    Bytes c(id, id + 4);
    Le(c, static_cast<uint32_t>(body.size()), 4);
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() & 1) c.push_back(0);
    return c;
}

// The format chunk: a plain tag, or WAVE_FORMAT_EXTENSIBLE (0xFFFE) with `subTag` as its coding.
// A slot wider than bits / 8 pads each sample (block align = channels x slot).
Bytes Fmt(int tag, int channels, int rate, int bits, int slot = 0, int subTag = 1) {
    if (slot == 0) slot = bits / 8;
    Bytes fmt;
    Le(fmt, tag, 2);
    Le(fmt, channels, 2);
    Le(fmt, rate, 4);
    Le(fmt, rate * channels * slot, 4);
    Le(fmt, channels * slot, 2);
    Le(fmt, bits, 2);
    if (tag == 0xFFFE) {
        const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        Le(fmt, 22, 2);
        Le(fmt, bits, 2);           // valid bits
        Le(fmt, 0, 4);              // channel mask
        Le(fmt, subTag, 2);
        fmt.insert(fmt.end(), tail, tail + 14);
    }
    return fmt;
}

Bytes Wav(int channels, int rate, int bits, const Bytes& data, const std::vector<Bytes>& before = {},
          const Bytes& format = {}) {
    const Bytes fmt = format.empty() ? Fmt(1, channels, rate, bits) : format;
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : before) body.insert(body.end(), c.begin(), c.end());
    for (const Bytes& c : {WavChunk("fmt ", fmt), WavChunk("data", data)}) body.insert(body.end(), c.begin(), c.end());
    Bytes out = {'R', 'I', 'F', 'F'};
    Le(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Sample bytes of a fixed pattern, `frames` frames of `channels` x `bits`.
Bytes Pattern(int frames, int channels, int bits) {
    Bytes data(static_cast<size_t>(frames) * channels * bits / 8);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 53 + 17);
    return data;
}

// A ramp the mixer passes through unchanged: 16-bit mono at the stream's rate, below the limiter.
Bytes RampWav(int frames, std::vector<int16_t>& samples) {
    Bytes data;
    for (int i = 0; i < frames; ++i) {
        samples.push_back(static_cast<int16_t>((i * 97) % 20000 - 10000));
        Le(data, static_cast<uint16_t>(samples.back()), 2);
    }
    return Wav(1, kAudioRate, 16, data);
}

TEST_F(AudioFuzz, DamagedWavFilesAreRefusedAndTheHeldSoundStays) {
    // The sound held through the run.
    std::vector<int16_t> heldSamples;
    const std::string heldPath = dir + "/held.wav";
    ASSERT_TRUE(WriteBytesToFile(heldPath, RampWav(2000, heldSamples)));
    Sound held;
    ASSERT_TRUE(held.Load(heldPath.c_str()));
    const int heldClip = held.buffer;
    ASSERT_NE(heldClip, 0);

    const std::vector<Bytes> seeds = {
        Wav(1, 44100, 16, Pattern(300, 1, 16)),
        Wav(2, 22050, 8, Pattern(257, 2, 8)),
        Wav(2, 48000, 24, Pattern(120, 2, 24)),
        Wav(1, 11025, 32, Pattern(99, 1, 32)),
        Wav(2, 44100, 16, Pattern(64, 2, 16),
            {WavChunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c'})}),
        // The forms sound editors write: 24 bits in four-byte slots, extensible PCM and float,
        // plain float of 32 and 64 bits (the pattern's bytes make some values huge or not numbers).
        Wav(2, 44100, 24, Pattern(90, 2, 32), {}, Fmt(1, 2, 44100, 24, 4)),
        Wav(3, 48000, 24, Pattern(80, 3, 24), {}, Fmt(0xFFFE, 3, 48000, 24)),
        Wav(2, 44100, 32, Pattern(70, 2, 32), {}, Fmt(0xFFFE, 2, 44100, 32, 4, 3)),
        Wav(1, 22050, 32, Pattern(100, 1, 32), {}, Fmt(3, 1, 22050, 32)),
        Wav(2, 44100, 64, Pattern(50, 2, 64), {}, Fmt(3, 2, 44100, 64)),
    };
    const ChunkFormat riff = {{"RIFF", "fmt ", "data", "LIST"}, false};
    std::mt19937 rng(20240611);
    std::vector<bool> loaded(kRuns, false);
    int accepted = 0, withSound = 0;
    for (int n = 0; n < kRuns; ++n) {
        const Bytes file = NthFile(n, seeds, riff, rng);
        const std::string path = FileName(dir, "w", n, ".wav");
        ASSERT_TRUE(WriteBytesToFile(path, file));
        Sound sound;
        loaded[n] = sound.Load(path.c_str());
        std::remove(path.c_str());
        if (loaded[n]) {
            ++accepted;
            if (sound.buffer) {
                ++withSound;
                ASSERT_NE(sound.buffer, heldClip);
                ASSERT_EQ(AudioClipCount(), 2) << "file " << n;
                // Every fiftieth sound read is also played through the mixer.
                if (withSound % 50 == 0) {
                    sound.Play(false);
                    std::vector<int16_t> mix(2 * 256);
                    AudioRender(mix.data(), 256);
                }
            }
            sound.Release();
        } else {
            ASSERT_EQ(sound.buffer, 0) << "file " << n;
        }
        // Nothing is left behind by a refused or released file, and the held sound is untouched.
        ASSERT_EQ(AudioClipCount(), 1) << "file " << n;
        ASSERT_EQ(held.buffer, heldClip);
    }
    const double seconds = Seconds();

    // Each file has its log line: "load(<file>) ... " and the reason, or "ok.".
    const std::map<int, std::string> lines = LinesByFile(ReadFile(logPath), "load(" + dir + "/w", ".wav) ... ");
    ASSERT_EQ(lines.size(), static_cast<size_t>(kRuns));
    for (int n = 0; n < kRuns; ++n) {
        const std::string& line = lines.at(n);
        if (loaded[n]) {
            EXPECT_TRUE(line == "ok." || line == "data is too small.") << "file " << n << ": " << line;
        } else {
            EXPECT_TRUE(!line.empty() && line != "ok." && line != "data is too small.") << "file " << n << ": " << line;
        }
    }
    // The mutations reach past the header checks: some files still read, most do not.
    EXPECT_GT(accepted, kRuns / 20);
    EXPECT_LT(accepted, kRuns - kRuns / 20);
    EXPECT_GT(withSound, kRuns / 40);

    // The held sound plays exactly as loaded.
    EXPECT_FALSE(AudioClipPlaying(heldClip));
    held.Play(false);
    std::vector<int16_t> mix(2 * heldSamples.size());
    AudioRender(mix.data(), static_cast<int>(heldSamples.size()));
    for (size_t i = 0; i < heldSamples.size(); ++i) {
        ASSERT_EQ(mix[2 * i], heldSamples[i]) << "frame " << i;
        ASSERT_EQ(mix[2 * i + 1], heldSamples[i]) << "frame " << i;
    }
    std::printf("%d damaged WAV files, %d read (%d with sound), in %.2f s\n", kRuns, accepted, withSound, seconds);
}

// ---- MIDI -------------------------------------------------------------------------------------

// Seeds that between them use every part of the reader: tempo changes, running status, system
// exclusive and meta events, several tracks, format 2 patterns, SMPTE time.
std::vector<Bytes> MidiSeeds() {
    MidiTrack conductor;
    conductor.At(0, MidiTempo(500000)).At(0, {0xff, 0x03, 0x04, 'S', 'o', 'n', 'g'}).At(960, MidiTempo(300000));
    MidiTrack lead;
    lead.At(0, {0xc0, 81}).At(0, {0xb0, 7, 100}).At(0, {0xf0, 0x03, 0x7e, 0x7f, 0xf7});
    for (int i = 0; i < 12; ++i) {
        lead.Note(0, i * 240, 200, 60 + i);
        lead.Note(9, i * 240, 10, 36, 120);
        lead.At(i * 240 + 100, {0xe0, 0, uint8_t(64 + i)});
    }
    lead.end = 3000;
    MidiTrack running;
    running.At(0, {0x91, 60, 100}).At(24, {62, 90}).At(48, {60, 0}).At(72, {62, 0});
    running.end = 96;
    MidiTrack smpte;
    smpte.At(0, MidiTempo(100000)).Note(2, 500, 200, 67);
    return {MidiFileBytes(1, 480, {conductor, lead}), MidiFileBytes(0, 96, {running}),
            MidiFileBytes(2, 96, {running, running}), MidiFileBytes(0, 0xe728, {smpte})};
}

TEST_F(AudioFuzz, DamagedMidiFilesAreRefusedAndTheHeldTuneStays) {
    ASSERT_EQ(KBGMOpen(16, -1), kKbgmOk);
    // The tune held through the run: a long organ note from its start, looping.
    MidiTrack organ;
    organ.At(0, {0xc0, 19}).Note(0, 0, 1900, 60);
    organ.end = 1920;
    const std::string heldPath = dir + "/held.mid";
    ASSERT_TRUE(WriteBytesToFile(heldPath, MidiFileBytes(0, 480, {organ})));
    int held = 0;
    ASSERT_EQ(KBGMLoadFile(&held, heldPath.c_str()), kKbgmOk);
    ASSERT_EQ(KBGMPlay(held, 1), kKbgmOk);

    const std::vector<Bytes> seeds = MidiSeeds();
    const ChunkFormat smf = {{"MThd", "MTrk"}, true};
    std::mt19937 rng(19830113);
    std::vector<bool> loaded(kRuns, false);
    int accepted = 0;
    for (int n = 0; n < kRuns; ++n) {
        const Bytes file = NthFile(n, seeds, smf, rng);
        const std::string path = FileName(dir, "m", n, ".mid");
        ASSERT_TRUE(WriteBytesToFile(path, file));
        int handle = -1;
        const int result = KBGMLoadFile(&handle, path.c_str());
        // The SoundFont player reads the same file with the same reader and must agree.
        std::string error;
        const bool midiLoaded = MidiLoad(path.c_str(), error);
        std::remove(path.c_str());
        loaded[n] = result == kKbgmOk;
        ASSERT_EQ(midiLoaded, loaded[n]) << "file " << n << ": " << error;
        ASSERT_EQ(MidiLoaded(), loaded[n]) << "file " << n;
        if (loaded[n]) {
            ++accepted;
            ASSERT_NE(handle, 0);
            ASSERT_NE(handle, held);
            ASSERT_EQ(KBGMFree(handle), kKbgmOk);
        } else {
            ASSERT_EQ(result, kKbgmFileError) << "file " << n;
            ASSERT_EQ(handle, 0) << "file " << n;
            ASSERT_FALSE(error.empty()) << "file " << n;
        }
        MidiUnload();
        ASSERT_EQ(BgmCurrentSong(), held);
        ASSERT_EQ(BgmCurrentState(), BgmState::kPlaying);
    }
    const double seconds = Seconds();

    // Each refused file is logged with its reason: "KBGM: <file>: <reason>".
    const std::map<int, std::string> lines = LinesByFile(ReadFile(logPath), "KBGM: " + dir + "/m", ".mid: ");
    ASSERT_EQ(lines.size(), static_cast<size_t>(kRuns - accepted));
    for (int n = 0; n < kRuns; ++n) {
        if (loaded[n]) continue;
        ASSERT_TRUE(lines.count(n)) << "file " << n;
        EXPECT_FALSE(lines.at(n).empty()) << "file " << n;
    }
    EXPECT_GT(accepted, kRuns / 20);
    EXPECT_LT(accepted, kRuns - kRuns / 20);

    // The held tune is still the whole tune: its first note is heard, and every song slot but its
    // own is free again.
    EXPECT_EQ(BgmSongTicksPerQuarter(held), 480u);
    std::vector<int16_t> mix(2 * kAudioRate / 2);
    AudioRender(mix.data(), kAudioRate / 2);
    int peak = 0;
    for (int16_t s : mix) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 1500);
    std::vector<int> handles;
    for (int i = 1; i < 16; ++i) {
        int handle = 0;
        ASSERT_EQ(KBGMLoadFile(&handle, heldPath.c_str()), kKbgmOk) << "slot " << i;
        handles.push_back(handle);
    }
    int extra = 0;
    EXPECT_EQ(KBGMLoadFile(&extra, heldPath.c_str()), kKbgmTableFull);
    for (int handle : handles) EXPECT_EQ(KBGMFree(handle), kKbgmOk);
    KBGMStop();
    EXPECT_EQ(KBGMClose(), kKbgmOk);
    std::printf("%d damaged MIDI files, %d read, in %.2f s\n", kRuns, accepted, seconds);
}

}  // namespace
