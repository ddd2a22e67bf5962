// Sound effects: WAV loading with its log lines, playing through the mixer (rendered to a buffer and
// measured), the switches, and the stream on the sound device.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "framework/debug_log.h"
#include "framework/sound.h"
#include "platform/audio.h"

namespace {

using Bytes = std::vector<uint8_t>;

// CTest runs the cases side by side in separate processes: each keeps its own files.
std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "korvan_sound_" + std::to_string(getpid()) + "_" + name;
}

void Le(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes Chunk(const char* id, const Bytes& body) {
    Bytes c(id, id + 4);
    Le(c, static_cast<uint32_t>(body.size()), 4);
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() & 1) c.push_back(0);
    return c;
}

Bytes Fmt(int tag, int channels, int rate, int bits) {
    Bytes f;
    Le(f, tag, 2);
    Le(f, channels, 2);
    Le(f, rate, 4);
    Le(f, rate * channels * bits / 8, 4);
    Le(f, channels * bits / 8, 2);
    Le(f, bits, 2);
    Le(f, 0, 2);
    return f;
}

Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes out = {'R', 'I', 'F', 'F'};
    Le(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// 16-bit samples from a function of the frame and channel.
template <typename F>
Bytes Pcm16(int frames, int channels, F f) {
    Bytes d;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) Le(d, static_cast<uint16_t>(static_cast<int16_t>(f(i, c))), 2);
    return d;
}

void WriteFile(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

// Peak absolute sample per channel over a rendered stretch.
struct Level {
    int left = 0, right = 0;
    int Max() const { return std::max(left, right); }
};

Level Render(int frames, std::vector<int16_t>* keep = nullptr) {
    std::vector<int16_t> buf(frames * 2);
    AudioRender(buf.data(), frames);
    Level l;
    for (int i = 0; i < frames; ++i) {
        l.left = std::max(l.left, std::abs(static_cast<int>(buf[i * 2])));
        l.right = std::max(l.right, std::abs(static_cast<int>(buf[i * 2 + 1])));
    }
    if (keep) *keep = buf;
    return l;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPath = TempPath("log.txt");
        std::remove(logPath.c_str());
        SetLogFilePath(logPath.c_str());
        ASSERT_TRUE(AudioStart(AudioOutput::kPull));
    }
    void TearDown() override {
        AudioStop();
        SetLogFilePath("");
    }
    std::string LogText() {
        std::ifstream f(logPath);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    std::string Path(const char* name) { return TempPath(name); }
    std::string logPath;
};

// A tone of 1 kHz at half scale, 0.2 seconds, mono 44.1 kHz.
Bytes ToneWav(int frames = 8820, int amplitude = 16384) {
    return Riff({Chunk("fmt ", Fmt(1, 1, 44100, 16)),
                 Chunk("data", Pcm16(frames, 1, [&](int i, int) {
                           return amplitude * std::sin(2 * M_PI * 1000.0 * i / 44100.0);
                       }))});
}

TEST_F(SoundTest, LoadsAndPlaysThroughTheMixer) {
    // Other chunks may come before the format: it is looked up by name.
    Bytes list = Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'x'});
    Bytes file = Riff({list, Chunk("fmt ", Fmt(1, 1, 44100, 16)),
                       Chunk("data", Pcm16(8820, 1, [](int i, int) { return 16384 * std::sin(2 * M_PI * 1000.0 * i / 44100.0); }))});
    const std::string path = Path("listfirst.wav");
    WriteFile(path, file);
    Sound s;
    ASSERT_TRUE(s.Load(path.c_str()));
    EXPECT_NE(LogText().find("load(" + path + ") ... ok.\n"), std::string::npos);
    EXPECT_EQ(s.name, path);

    EXPECT_EQ(Render(4410).Max(), 0);  // nothing plays yet
    EXPECT_FALSE(s.IsPlaying());
    s.Play(false);
    EXPECT_TRUE(s.IsPlaying());
    Level during = Render(4410);
    EXPECT_NEAR(during.left, 16384, 400);  // a mono sound is heard on both sides at its level
    EXPECT_NEAR(during.right, 16384, 400);
    Render(4410);
    EXPECT_FALSE(s.IsPlaying());           // 0.2 s have passed: it ended by itself
    EXPECT_EQ(Render(4410).Max(), 0);

    s.Play(true);
    Render(44100);
    EXPECT_TRUE(s.IsPlaying());            // a looping sound goes on past its length
    EXPECT_GT(Render(1000).Max(), 10000);
    s.Stop();
    EXPECT_FALSE(s.IsPlaying());
    EXPECT_EQ(Render(1000).Max(), 0);
    s.Release();
    s.Release();  // safe twice
    EXPECT_NE(LogText().find("release(" + path + ")\n"), std::string::npos);
    EXPECT_TRUE(s.name.empty());
}

TEST_F(SoundTest, PlayOnAPlayingSoundRestartsFromTheBeginning) {
    // First half loud, second half quiet: where the sound is tells which half is heard.
    Bytes file = Riff({Chunk("fmt ", Fmt(1, 1, 44100, 16)),
                       Chunk("data", Pcm16(44100, 1, [](int i, int) { return i < 22050 ? 20000 : 2000; }))});
    WriteFile(Path("halves.wav"), file);
    Sound s;
    ASSERT_TRUE(s.Load(Path("halves.wav").c_str()));
    s.Play(false);
    Render(30000);
    EXPECT_EQ(Render(100).Max(), 2000);
    s.Play(false);
    EXPECT_EQ(Render(100).Max(), 20000);
    Render(44000);
    EXPECT_FALSE(s.IsPlaying());
}

TEST_F(SoundTest, AnyRateAndChannelCountIsConverted) {
    // 22.05 kHz 8-bit stereo, left loud and right silent: twice as many frames at the stream's rate.
    Bytes d;
    for (int i = 0; i < 2205; ++i) {
        d.push_back(static_cast<uint8_t>(128 + ((i / 10) % 2 ? 100 : -100)));
        d.push_back(128);
    }
    WriteFile(Path("stereo8.wav"), Riff({Chunk("fmt ", Fmt(1, 2, 22050, 8)), Chunk("data", d)}));
    Sound s;
    ASSERT_TRUE(s.Load(Path("stereo8.wav").c_str()));
    s.Play(false);
    Level l = Render(4300);
    EXPECT_NEAR(l.left, 100 * 256, 300);
    EXPECT_EQ(l.right, 0);
    EXPECT_TRUE(s.IsPlaying());  // 0.1 s of sound is 4410 frames here
    Render(200);
    EXPECT_FALSE(s.IsPlaying());

    // 24-bit mono at 48 kHz.
    Bytes d24;
    for (int i = 0; i < 4800; ++i) Le(d24, static_cast<uint32_t>(0x400000), 3);  // half scale, constant
    WriteFile(Path("mono24.wav"), Riff({Chunk("fmt ", Fmt(1, 1, 48000, 24)), Chunk("data", d24)}));
    ASSERT_TRUE(s.Load(Path("mono24.wav").c_str()));
    s.Play(false);
    EXPECT_NEAR(Render(1000).left, 16384, 2);
}

TEST_F(SoundTest, FloatBeyondFullScaleIsClampedIntoTheMix) {
    // 44.1 kHz mono float: the mixer passes each value through its limiter unchanged in length.
    const float values[] = {0.25f, 1.5f, -3.0f, std::nanf(""), 1.0f, -0.5f};
    Bytes d;
    for (float v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Le(d, bits, 4);
    }
    WriteFile(Path("float.wav"), Riff({Chunk("fmt ", Fmt(3, 1, 44100, 32)), Chunk("data", d)}));
    Sound s;
    ASSERT_TRUE(s.Load(Path("float.wav").c_str()));
    s.Play(false);
    std::vector<int16_t> mix;
    Render(6, &mix);
    // Full scale bent by the mixer's limiter above its knee of 0.8, as any loud sample is (1.5 left
    // as it was would come out near 32708).
    const int full = static_cast<int>(std::lrint(32768 * (0.8 + 0.2 * std::tanh(1.0))));
    const int want[] = {8192, full, -full, 0, full, -16384};
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(mix[2 * i], want[i], 1) << i;
        EXPECT_EQ(mix[2 * i + 1], mix[2 * i]) << i;
    }
}

TEST_F(SoundTest, BadFilesAreRefusedWithTheirLogLine) {
    struct Case {
        const char* file;
        Bytes bytes;
        const char* message;
    };
    const Bytes data = Chunk("data", Pcm16(100, 1, [](int, int) { return 1000; }));
    Bytes truncatedData = Riff({Chunk("fmt ", Fmt(1, 1, 44100, 16)), data});
    truncatedData.resize(truncatedData.size() - 50);  // the data chunk claims more than the file holds
    Bytes cutFmt = Riff({Chunk("fmt ", Fmt(1, 1, 44100, 16))});
    cutFmt.resize(cutFmt.size() - 4);  // the format chunk runs past the file's end
    std::vector<Case> cases = {
        {"notriff.wav", Bytes{'J', 'U', 'N', 'K', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, "RIFF is not found.\n"},
        {"avi.wav", Riff({}), "fmt is not found.\n"},
        {"nofmt.wav", Riff({data}), "fmt is not found.\n"},
        {"avi.avi", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, "not a WAVE file.\n"},
        {"adpcm.wav", Riff({Chunk("fmt ", Fmt(2, 1, 44100, 4)), data}), "ADPCM is not supported.\n"},
        {"float16.wav", Riff({Chunk("fmt ", Fmt(3, 1, 44100, 16)), data}), "is not PCM format.\n"},
        {"bits12.wav", Riff({Chunk("fmt ", Fmt(1, 1, 44100, 12)), data}), "is not PCM format.\n"},
        {"cutfmt.wav", cutFmt, "ascend error.\n"},
        {"nodata.wav", Riff({Chunk("fmt ", Fmt(1, 1, 44100, 16))}), "chunk is not found.\n"},
        {"cutdata.wav", truncatedData, "data runs past the end of the file.\n"},
    };
    for (const Case& c : cases) {
        // A load releases what the sound held first; a failed one leaves it empty and silent.
        Sound s;
        WriteFile(Path("good.wav"), ToneWav());
        ASSERT_TRUE(s.Load(Path("good.wav").c_str()));
        WriteFile(Path(c.file), c.bytes);
        EXPECT_FALSE(s.Load(Path(c.file).c_str())) << c.file;
        EXPECT_NE(LogText().find("load(" + Path(c.file) + ") ... " + c.message), std::string::npos) << c.file;
        EXPECT_EQ(s.buffer, 0) << c.file;
        EXPECT_EQ(s.name, Path(c.file));  // the name of the last attempt is kept
        s.Play(false);
        EXPECT_FALSE(s.IsPlaying());
        EXPECT_EQ(Render(100).Max(), 0);
    }
    Sound s;
    EXPECT_FALSE(s.Load(Path("missing.wav").c_str()));
    EXPECT_NE(LogText().find("load(" + Path("missing.wav") + ") ... open error.\n"), std::string::npos);
    EXPECT_EQ(AudioClipCount(), 0);  // every sound of the loop gave its clip back
}

TEST_F(SoundTest, AnEmptyDataChunkLoadsSilent) {
    WriteFile(Path("empty.wav"), Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Bytes{1, 2})}));
    Sound s;
    EXPECT_TRUE(s.Load(Path("empty.wav").c_str()));
    EXPECT_NE(LogText().find("load(" + Path("empty.wav") + ") ... data is too small.\nok.\n"), std::string::npos);
    s.Play(true);
    EXPECT_FALSE(s.IsPlaying());
    EXPECT_EQ(Render(100).Max(), 0);
}

TEST_F(SoundTest, ReloadingReleasesFirstAndSoundsMix) {
    WriteFile(Path("a.wav"), ToneWav(4410, 8000));
    WriteFile(Path("b.wav"), ToneWav(4410, 8000));
    Sound a, b;
    ASSERT_TRUE(a.Load(Path("a.wav").c_str()));
    ASSERT_TRUE(a.Load(Path("b.wav").c_str()));
    EXPECT_NE(LogText().find("release(" + Path("a.wav") + ")\nload(" + Path("b.wav") + ")"), std::string::npos);
    EXPECT_EQ(AudioClipCount(), 1);
    ASSERT_TRUE(b.Load(Path("a.wav").c_str()));
    a.Play(false);
    b.Play(false);
    EXPECT_NEAR(Render(2000).left, 16000, 400);  // two identical sounds add up
}

TEST_F(SoundTest, SwitchesSetThreeDAndEffects) {
    char prog[] = "korvan", threeD[] = "/3ds";
    char* argv[] = {prog, threeD};
    SetCommandLine(2, argv);
    EXPECT_TRUE(InitDirectSound());
    EXPECT_FALSE(sound3D);
    EXPECT_TRUE(soundFx);
    std::string log = LogText();
    EXPECT_NE(log.find("----------------------------------------\nInitDirectSound\n3Dサウンド = OFF\nエフェクト = ON\n"),
              std::string::npos);

    char fx[] = "/fx";
    char* argv2[] = {prog, fx};
    SetCommandLine(2, argv2);
    EXPECT_TRUE(InitDirectSound());
    EXPECT_TRUE(sound3D);
    EXPECT_FALSE(soundFx);
    EXPECT_NE(LogText().find("3Dサウンド = ON\nエフェクト = OFF\n"), std::string::npos);
    FreeDirectSound();
    EXPECT_NE(LogText().find("----------------------------------------\nFreeDirectSound\n"), std::string::npos);
    SetCommandLine(0, nullptr);
}

// The real path: SDL's dummy driver runs the device callback in real time, so a short sound ends
// by itself. A driver that does not exist leaves the game running, silent.
TEST(SoundDevice, PlaysOnTheDeviceAndRunsSilentWithoutOne) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string path = TempPath("device.wav");
    WriteFile(path, ToneWav(4410));
    EXPECT_TRUE(InitDirectSound());
    ASSERT_TRUE(AudioRunning());
    EXPECT_FALSE(AudioPulled());
    {
        Sound s;
        ASSERT_TRUE(s.Load(path.c_str()));
        s.Play(false);
        EXPECT_TRUE(s.IsPlaying());
        const auto start = std::chrono::steady_clock::now();
        while (s.IsPlaying() && std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_FALSE(s.IsPlaying());
        s.Release();
    }
    FreeDirectSound();

    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_TRUE(InitDirectSound());  // the game goes on
    EXPECT_FALSE(AudioRunning());
    Sound s;
    EXPECT_TRUE(s.Load(path.c_str()));  // the sound is kept, ready should audio come back
    s.Play(false);
    EXPECT_FALSE(s.IsPlaying());
    s.Release();
    FreeDirectSound();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
