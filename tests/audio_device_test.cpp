// The audio stream as the desktop asks of it: paused as a whole while the game is in the
// background and going on from the same place, effect and music volumes, a sound device that
// goes away (headphones pulled out) opened again for the music as well as for the effects, and
// SoundFonts found in the usual folders.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/application.h"
#include "platform/audio.h"
#include "platform/bgm.h"
#include "platform/midi.h"
#include "tests/support/run_game.h"

namespace {

// A clip whose every frame tells its own position (left and right alike).
int RampClip(int frames) {
    std::vector<int16_t> stereo(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) stereo[i * 2] = stereo[i * 2 + 1] = static_cast<int16_t>(i);
    return AudioCreateClip(std::move(stereo));
}

std::atomic<int> sourceCalls{0};
float sourceLevel = 0.25f;
void CountingSource(void*, float* mix, int frames) {
    sourceCalls.fetch_add(1);
    for (int i = 0; i < frames * 2; ++i) mix[i] += sourceLevel;
}

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class AudioStreamTest : public ::testing::Test {
protected:
    void TearDown() override {
        AudioSetSource(kAudioSourceMidi, nullptr, nullptr);
        AudioSetPaused(false);
        AudioSetEffectsVolume(1.0f);
        AudioSetMusicVolume(1.0f);
        AudioStop();
        for (int c : clips) AudioDestroyClip(c);
    }
    std::vector<int> clips;
};

}  // namespace

TEST_F(AudioStreamTest, APausedStreamIsSilentAndGoesOnFromWhereItStopped) {
    ASSERT_TRUE(AudioStart(AudioOutput::kPull));
    const int clip = RampClip(1000);
    clips.push_back(clip);
    AudioPlayClip(clip, false);
    int16_t out[2 * 200];
    AudioRender(out, 100);
    EXPECT_EQ(out[2 * 99], 99);
    AudioSetPaused(true);
    AudioRender(out, 200);
    for (int16_t v : out) ASSERT_EQ(v, 0);
    AudioSetPaused(false);
    AudioRender(out, 1);
    EXPECT_EQ(out[0], 100);  // the very next frame of the clip
}

TEST_F(AudioStreamTest, EffectAndMusicVolumesScaleOnlyTheirOwnPart) {
    ASSERT_TRUE(AudioStart(AudioOutput::kPull));
    std::vector<int16_t> loud(2000, 8000);
    const int clip = AudioCreateClip(std::move(loud));
    clips.push_back(clip);
    AudioPlayClip(clip, true);
    sourceLevel = 0.25f;  // 8192 at full scale
    AudioSetSource(kAudioSourceMidi, CountingSource, nullptr);
    int16_t out[2 * 16];
    AudioRender(out, 16);
    EXPECT_EQ(out[0], 8000 + 8192);
    AudioSetEffectsVolume(0.5f);
    AudioRender(out, 16);
    EXPECT_EQ(out[0], 4000 + 8192);
    AudioSetMusicVolume(0.0f);
    AudioRender(out, 16);
    EXPECT_EQ(out[0], 4000);
    AudioSetEffectsVolume(0.0f);
    AudioSetMusicVolume(1.0f);
    AudioRender(out, 16);
    EXPECT_EQ(out[0], 8192);
}

// SDL's dummy driver runs the stream in real time, as a sound card would.
TEST_F(AudioStreamTest, ALostDeviceIsOpenedAgainWhenMusicStarts) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ASSERT_TRUE(AudioStart(AudioOutput::kDevice)) << "the dummy audio driver is needed";
    AudioSetSource(kAudioSourceMidi, CountingSource, nullptr);
    Wait(150);
    ASSERT_GT(sourceCalls.load(), 0);
    ASSERT_TRUE(BgmStart());
    std::string error;
    const int song = BgmLoad(KORVAN_BUILD_DIR "/data/01BlueSurfAndWind.mid", error);
    ASSERT_NE(song, 0) << error;

    AudioLoseDeviceForTest();  // the headphones are pulled out
    Wait(100);
    const int before = sourceCalls.load();
    Wait(150);
    EXPECT_EQ(sourceCalls.load(), before) << "nothing plays without a device";
    // No sound effect plays: the music alone starting brings the device back.
    ASSERT_TRUE(BgmPlay(song, true));
    EXPECT_TRUE(AudioDeviceOpen());
    Wait(150);
    EXPECT_GT(sourceCalls.load(), before);
    BgmShutdown();
}

TEST_F(AudioStreamTest, TheGameInTheBackgroundPausesTheSound) {
    ASSERT_TRUE(AudioStart(AudioOutput::kPull));
    SetApplicationActive(false);
    EXPECT_EQ(appActive, 0);
    EXPECT_TRUE(AudioPaused());
    SetApplicationActive(true);
    EXPECT_EQ(appActive, 1);
    EXPECT_FALSE(AudioPaused());
}

// SoundFonts are looked for where Linux keeps them: the user's and the system's data folders.
TEST(SoundFontSearch, TheUsualFoldersInOrderTheNamedOneFirst) {
    const std::string user = MakeTempDir(), system = MakeTempDir(), forced = MakeTempDir() + "/mine.sf2";
    auto touch = [](const std::string& path) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << "x";
    };
    touch(user + "/soundfonts/Zebra.sf2");
    touch(user + "/soundfonts/notes.txt");
    touch(system + "/sounds/sf2/FluidR3_GM.sf2");
    touch(system + "/sounds/sf3/Alpha.SF3");
    touch(user + "/sounds/sf2/TimGM6mb.sf2");
    touch(forced);
    setenv("XDG_DATA_HOME", user.c_str(), 1);
    setenv("XDG_DATA_DIRS", (system + ":relative/ignored").c_str(), 1);
    setenv("KORVAN_SOUNDFONT", forced.c_str(), 1);
    std::vector<std::string> found = MidiSoundFontCandidates();
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_DATA_DIRS");
    unsetenv("KORVAN_SOUNDFONT");
    // FluidSynth's own default may exist on this machine: it comes after the known names.
    std::vector<std::string> ours;
    for (const std::string& f : found) {
        if (f.rfind(user, 0) == 0 || f.rfind(system, 0) == 0 || f == forced) ours.push_back(f);
    }
    EXPECT_EQ(ours, (std::vector<std::string>{forced, user + "/sounds/sf2/TimGM6mb.sf2",
                                              system + "/sounds/sf2/FluidR3_GM.sf2", user + "/soundfonts/Zebra.sf2",
                                              system + "/sounds/sf3/Alpha.SF3"}));
}
