// The generated sound effects and tunes: every file is there, loads through the game's own readers,
// has the right length and level, and the tunes are heard as music on both players: not silent, not
// clipped, no gap anywhere (the loop point included), in key and built from repeating motifs.
#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "framework/debug_log.h"
#include "framework/sound.h"
#include "game/sound_effects.h"
#include "platform/audio.h"
#include "platform/bgm.h"
#include "platform/midi_file.h"
#include "tools/assetgen/audio_manifest.h"

namespace {

namespace fs = std::filesystem;

const std::string kDataDir = std::string(KORVAN_BUILD_DIR) + "/data/";

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

uint32_t Le(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

struct Wav {
    int format = 0, channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;  // interleaved
    double Seconds() const { return channels ? double(samples.size()) / channels / rate : 0; }
};

// A plain reader, independent of the game's, so a fault in either shows up.
bool ParseWav(const std::vector<uint8_t>& b, Wav& w) {
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(&b[8], "WAVE", 4)) return false;
    if (Le(&b[4], 4) + 8 != b.size()) return false;
    bool haveFormat = false;
    for (size_t p = 12; p + 8 <= b.size();) {
        uint32_t size = Le(&b[p + 4], 4);
        if (p + 8 + size > b.size()) return false;
        if (!std::memcmp(&b[p], "fmt ", 4) && size >= 16) {
            w.format = Le(&b[p + 8], 2);
            w.channels = Le(&b[p + 10], 2);
            w.rate = Le(&b[p + 12], 4);
            w.bits = Le(&b[p + 22], 2);
            haveFormat = true;
        } else if (!std::memcmp(&b[p], "data", 4) && haveFormat) {
            for (uint32_t i = 0; i + 1 < size; i += 2) w.samples.push_back(static_cast<int16_t>(Le(&b[p + 8 + i], 2)));
            return true;
        }
        p += 8 + size + (size & 1);
    }
    return false;
}

double Rms(const int16_t* s, size_t n) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) sum += double(s[i]) * s[i];
    return n ? std::sqrt(sum / n) : 0;
}

// Zero crossings per second: a rough pitch of a tone.
double Crossings(const std::vector<int16_t>& s, size_t from, size_t to) {
    int n = 0;
    for (size_t i = from + 1; i < to; ++i) n += (s[i - 1] < 0) != (s[i] < 0);
    return n / ((to - from) / 44100.0);
}

std::string LogText(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

TEST(AudioAssets, EveryFileIsWritten) {
    for (const char* name : kSoundFiles) EXPECT_TRUE(fs::is_regular_file(kDataDir + name)) << name;
    for (const char* name : kTuneFiles) EXPECT_TRUE(fs::is_regular_file(kDataDir + name)) << name;
}

TEST(AudioAssets, SoundsAreNormalisedPcmWithoutClicks) {
    std::map<std::string, Wav> wavs;
    for (const char* name : kSoundFiles) {
        SCOPED_TRACE(name);
        Wav w;
        ASSERT_TRUE(ParseWav(ReadBytes(kDataDir + name), w));
        EXPECT_EQ(w.format, 1);
        EXPECT_EQ(w.bits, 16);
        EXPECT_EQ(w.rate, 44100);
        EXPECT_TRUE(w.channels == 1 || w.channels == 2);
        EXPECT_GT(w.Seconds(), 0.15);
        EXPECT_LT(w.Seconds(), 5.0);
        int peak = 0;
        for (int16_t s : w.samples) peak = std::max(peak, std::abs(int(s)));
        EXPECT_GT(peak, 16000) << "normalised to a useful level";
        EXPECT_LT(peak, 32000) << "headroom below full scale";
        // Starts and ends at rest: no click when it starts or is cut at its end.
        EXPECT_LT(std::abs(int(w.samples.front())), 400);
        EXPECT_LT(std::abs(int(w.samples.back())), 400);
        std::printf("%-15s %.3f s  peak %5d  rms %5.0f\n", name, w.Seconds(), peak, Rms(w.samples.data(), w.samples.size()));
        wavs[name] = w;
    }
    // The go signal is higher and longer than the three before it.
    const Wav& s1 = wavs["Signal1.wav"];
    const Wav& s2 = wavs["Signal2.wav"];
    EXPECT_GT(s2.Seconds(), s1.Seconds() * 1.5);
    EXPECT_GT(Crossings(s2.samples, 2000, 8000), Crossings(s1.samples, 2000, 8000) * 1.5);
    // The engine is restarted every frame while the gas is held: its first 16 ms must already
    // carry the full tone, not a fade.
    const Wav& engine = wavs["Engine.wav"];
    double opening = Rms(engine.samples.data(), 706);
    double body = Rms(engine.samples.data() + 706, 8820);
    EXPECT_GT(opening, body * 0.7);
    // The tyre squeal loops: its end runs into its start without a jump.
    const Wav& drift = wavs["Drift.wav"];
    EXPECT_LT(std::abs(int(drift.samples.back()) - int(drift.samples.front())), 600);
}

TEST(AudioAssets, SoundsLoadAndPlayThroughTheGame) {
    const std::string logPath = ::testing::TempDir() + "audio_assets_sound_log.txt";
    std::remove(logPath.c_str());
    SetLogFilePath(logPath.c_str());
    ASSERT_TRUE(AudioStart(AudioOutput::kPull));
    {
        Sound sounds[kSoundFileCount];
        for (int i = 0; i < kSoundFileCount; ++i) {
            const std::string path = kDataDir + kSoundFiles[i];
            EXPECT_TRUE(sounds[i].Load(path.c_str())) << kSoundFiles[i];
            EXPECT_NE(sounds[i].buffer, 0) << kSoundFiles[i];
        }
        const std::string log = LogText(logPath);
        for (const char* name : kSoundFiles) {
            EXPECT_NE(log.find(std::string("load(") + kDataDir + name + ") ... ok.\n"), std::string::npos) << name;
        }
        EXPECT_EQ(log.find("too small"), std::string::npos);
        // Each one is heard when played.
        for (int i = 0; i < kSoundFileCount; ++i) {
            sounds[i].Play(false);
            std::vector<int16_t> out(44100 * 2);
            AudioRender(out.data(), 44100);
            sounds[i].Stop();
            EXPECT_GT(Rms(out.data(), out.size()), 300) << kSoundFiles[i];
        }
        for (Sound& s : sounds) s.Release();
    }
    AudioStop();
    SetLogFilePath("");
}

// --- Tunes -----------------------------------------------------------------------------------------

struct TuneFacts {
    double seconds = 0;
    double bpm = 0;
    int notes = 0;
    int maxPolyphony = 0;
    int hangingNotes = 0;
    uint16_t channels = 0;      // channels with notes
    uint16_t programmed = 0;    // channels given a program change
    bool volumeAndPan = false;  // CC7 and CC10 set on the melodic channels
    double leadInKey = 0;       // share of lead notes on the seven most used pitch classes
    int motifRepeats = 0;       // how often the lead's most common two-bar rhythm comes back
};

TuneFacts Examine(const MidiSong& song) {
    TuneFacts f;
    f.seconds = double(song.endFrame) / kAudioRate;
    f.bpm = song.tempos.empty() ? 0 : 60e6 / song.tempos[0].microsPerQuarter;
    int sounding[16][128] = {};
    int active = 0;
    uint16_t cc7 = 0, cc10 = 0;
    int pcs[12] = {};
    int leadNotes = 0;
    std::map<uint32_t, std::string> rhythm;  // two-bar block -> onset pattern of the lead
    const uint32_t block = song.ticksPerQuarter * 8;
    for (const MidiEvent& e : song.events) {
        int type = e.status & 0xf0, ch = e.status & 15;
        if (type == 0x90 && e.data2 > 0) {
            ++f.notes;
            f.channels |= 1 << ch;
            ++sounding[ch][e.data1];
            f.maxPolyphony = std::max(f.maxPolyphony, ++active);
            if (ch == 0) {
                ++pcs[e.data1 % 12];
                ++leadNotes;
                std::string& r = rhythm[e.tick / block];
                r += std::to_string((e.tick % block) / (song.ticksPerQuarter / 4)) + ",";
            }
        } else if (type == 0x80 || type == 0x90) {
            if (sounding[ch][e.data1] > 0) --sounding[ch][e.data1], --active;
        } else if (type == 0xc0) {
            f.programmed |= 1 << ch;
        } else if (type == 0xb0 && e.data1 == 7) {
            cc7 |= 1 << ch;
        } else if (type == 0xb0 && e.data1 == 10) {
            cc10 |= 1 << ch;
        }
    }
    f.hangingNotes = active;
    uint16_t melodic = f.channels & ~(1 << 9);
    f.volumeAndPan = (cc7 & melodic) == melodic && (cc10 & melodic) == melodic;
    std::sort(pcs, pcs + 12, std::greater<int>());
    int top7 = 0;
    for (int i = 0; i < 7; ++i) top7 += pcs[i];
    f.leadInKey = leadNotes ? double(top7) / leadNotes : 0;
    std::map<std::string, int> counts;
    for (auto& [b, r] : rhythm) f.motifRepeats = std::max(f.motifRepeats, ++counts[r]);
    return f;
}

bool IsCourseTune(const std::string& name) { return std::isdigit(static_cast<unsigned char>(name[0])); }

TEST(AudioAssets, TunesAreGeneralMidiMusicOfTheRightLength) {
    for (const char* name : kTuneFiles) {
        SCOPED_TRACE(name);
        MidiSong song;
        std::string error;
        ASSERT_TRUE(ReadMidiFile((kDataDir + name).c_str(), song, error)) << error;
        TuneFacts f = Examine(song);
        std::printf("%-30s %6.1f s  %5.1f bpm  %5d notes  polyphony %2d  in key %.2f  motif x%d\n", name, f.seconds,
                    f.bpm, f.notes, f.maxPolyphony, f.leadInKey, f.motifRepeats);
        EXPECT_GE(f.seconds, 90.0);
        EXPECT_LE(f.seconds, 180.0);
        if (IsCourseTune(name)) {
            EXPECT_GE(f.bpm, 130.0);
            EXPECT_LE(f.bpm, 170.0);
        } else {
            EXPECT_GE(f.bpm, 60.0);
            EXPECT_LE(f.bpm, 140.0);
        }
        EXPECT_EQ(song.format, 1);
        EXPECT_TRUE(f.channels & (1 << 9)) << "drums on channel 10";
        EXPECT_GE(__builtin_popcount(f.channels), 4) << "drums, bass, harmony and lead at least";
        EXPECT_EQ(f.channels & f.programmed & ~(1 << 9), f.channels & ~(1 << 9)) << "every melodic part picks its instrument";
        EXPECT_TRUE(f.volumeAndPan);
        EXPECT_EQ(f.hangingNotes, 0) << "a note held past the end would hang over the loop";
        EXPECT_LE(f.maxPolyphony, 24);
        EXPECT_GE(f.leadInKey, 0.9) << "the melody keeps to its key";
        EXPECT_GE(f.motifRepeats, 4) << "the melody is built from rhythms that come back";
    }
}

TEST(AudioAssets, TunesDifferFromEachOther) {
    std::map<std::vector<uint8_t>, std::string> seen;
    for (const char* name : kTuneFiles) {
        auto bytes = ReadBytes(kDataDir + name);
        EXPECT_TRUE(seen.emplace(bytes, name).second) << name << " repeats " << seen[bytes];
    }
}

// Level over time of a rendered stereo stream: catches silence, clipping and gaps.
struct Levels {
    double peak = 0;       // of full scale
    double rmsDb = -200;   // whole rendering
    double minWindowDb = 0;  // quietest quarter second
    double minWindowAt = 0;
    double loopDb = 0;     // the half second either side of the loop point
};

double Db(double v) { return 20 * std::log10(std::max(v, 1e-10)); }

Levels Measure(const std::vector<float>& stereo, double loopSeconds) {
    Levels l;
    double sum = 0;
    for (float s : stereo) l.peak = std::max(l.peak, double(std::fabs(s))), sum += double(s) * s;
    l.rmsDb = Db(std::sqrt(sum / stereo.size()));
    const size_t window = kAudioRate / 4 * 2;
    l.minWindowDb = 0;
    for (size_t at = window; at + 2 * window <= stereo.size(); at += window) {
        double w = 0;
        for (size_t i = at; i < at + window; ++i) w += double(stereo[i]) * stereo[i];
        double db = Db(std::sqrt(w / window));
        if (db < l.minWindowDb) l.minWindowDb = db, l.minWindowAt = at / 2.0 / kAudioRate;
    }
    size_t loop = size_t(loopSeconds * kAudioRate) * 2, half = kAudioRate;
    double w = 0;
    for (size_t i = loop - half; i < loop + half && i < stereo.size(); ++i) w += double(stereo[i]) * stereo[i];
    l.loopDb = Db(std::sqrt(w / (2 * half)));
    return l;
}

void ExpectMusic(const char* player, const char* name, const Levels& l) {
    std::printf("%-10s %-30s peak %.3f  rms %6.1f dBFS  quietest %6.1f dB at %6.2f s  loop %6.1f dB\n", player, name,
                l.peak, l.rmsDb, l.minWindowDb, l.minWindowAt, l.loopDb);
    EXPECT_LT(l.peak, 0.97) << "clipped";
    EXPECT_GT(l.rmsDb, -34.0) << "too quiet";
    EXPECT_GT(l.minWindowDb, l.rmsDb - 26.0) << "a gap in the music";
    EXPECT_GT(l.loopDb, l.rmsDb - 12.0) << "a gap at the loop";
}

class TuneRender : public ::testing::TestWithParam<int> {
protected:
    const char* Name() const { return kTuneFiles[GetParam()]; }
    double Seconds() const {
        MidiSong song;
        std::string error;
        return ReadMidiFile((kDataDir + Name()).c_str(), song, error) ? double(song.endFrame) / kAudioRate : 0;
    }
};

// FluidSynth's own file player with the General MIDI SoundFont the game prefers, at the game's
// music level: the whole tune and past its loop point.
TEST_P(TuneRender, SoundsRightOnTheSoundFont) {
    const char* fonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
                           "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
    const char* font = nullptr;
    for (const char* f : fonts) if (fs::exists(f)) { font = f; break; }
    if (!font) GTEST_SKIP() << "no General MIDI SoundFont installed";
    const double seconds = Seconds();
    ASSERT_GT(seconds, 0);

    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_settings_setnum(settings, "synth.sample-rate", kAudioRate);
    fluid_settings_setnum(settings, "synth.gain", 0.55);
    fluid_synth_t* synth = new_fluid_synth(settings);
    ASSERT_NE(fluid_synth_sfload(synth, font, 1), FLUID_FAILED);
    fluid_player_t* player = new_fluid_player(synth);
    ASSERT_EQ(fluid_player_add(player, (kDataDir + Name()).c_str()), FLUID_OK);
    fluid_player_set_loop(player, -1);
    fluid_player_play(player);
    const size_t frames = size_t((seconds + 6) * kAudioRate);
    std::vector<float> left(frames), right(frames), stereo(frames * 2);
    for (size_t at = 0; at < frames; at += 1024) {
        int n = int(std::min<size_t>(1024, frames - at));
        fluid_synth_write_float(synth, n, left.data() + at, 0, 1, right.data() + at, 0, 1);
    }
    for (size_t i = 0; i < frames; ++i) stereo[2 * i] = left[i], stereo[2 * i + 1] = right[i];
    delete_fluid_player(player);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    ExpectMusic("SoundFont", Name(), Measure(stereo, seconds));
}

// The game's own background-music synthesizer on the game's audio stream.
TEST_P(TuneRender, SoundsRightOnTheOwnSynthesizer) {
    const double seconds = Seconds();
    ASSERT_GT(seconds, 0);
    ASSERT_TRUE(AudioStart(AudioOutput::kPull));
    ASSERT_TRUE(BgmStart());
    std::string error;
    int song = BgmLoad((kDataDir + Name()).c_str(), error);
    ASSERT_NE(song, 0) << error;
    ASSERT_TRUE(BgmPlay(song, true));
    const int frames = int((seconds + 6) * kAudioRate);
    std::vector<int16_t> out(size_t(frames) * 2);
    int voices = 0;
    for (int at = 0; at < frames; at += 2048) {
        AudioRender(out.data() + size_t(at) * 2, std::min(2048, frames - at));
        voices = std::max(voices, BgmActiveVoices());
    }
    BgmShutdown();
    AudioStop();
    std::vector<float> stereo(out.size());
    for (size_t i = 0; i < out.size(); ++i) stereo[i] = out[i] / 32768.0f;
    // Release tails fill the voice pool on busy tunes and are taken first: a count, not a fault.
    std::printf("Synth      %-30s voices at most %d of %d\n", Name(), voices, kBgmMaxVoices);
    ExpectMusic("Synth", Name(), Measure(stereo, seconds));
}

INSTANTIATE_TEST_SUITE_P(EveryTune, TuneRender, ::testing::Range(0, kTuneFileCount),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string n = kTuneFiles[info.param];
                             n = n.substr(0, n.find('.'));
                             return "t" + n;
                         });

// Two runs of the generator write the same bytes, and the build's data is what it writes.
TEST(AudioAssets, GeneratorIsDeterministic) {
    const fs::path root = fs::path(::testing::TempDir()) / "audio_assets_determinism";
    fs::remove_all(root);
    for (const char* run : {"one", "two"}) {
        const std::string cmd = std::string(KORVAN_BUILD_DIR) + "/assetgen --data " + (root / run / "data").string() +
                                " --resources " + (root / run / "res.cpp").string() + " > /dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    auto check = [&](const char* name) {
        auto one = ReadBytes((root / "one" / "data" / name).string());
        EXPECT_FALSE(one.empty()) << name;
        EXPECT_EQ(one, ReadBytes((root / "two" / "data" / name).string())) << name;
        EXPECT_EQ(one, ReadBytes(kDataDir + name)) << name;
    };
    for (const char* name : kSoundFiles) check(name);
    for (const char* name : kTuneFiles) check(name);
    fs::remove_all(root);
}

}  // namespace
