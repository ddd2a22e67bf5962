// The MIDI music player on the SoundFont synthesizer: log lines, failures, and what is heard when,
// rendered to a buffer: start, pause and resume at the position, stop and start over, looping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "framework/debug_log.h"
#include "framework/music.h"
#include "platform/audio.h"
#include "platform/midi.h"
#include "tests/support/midi_bytes.h"

namespace {

using Bytes = MidiBytes;

// CTest runs the cases side by side in separate processes: each keeps its own files.
std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "korvan_music_" + std::to_string(getpid()) + "_" + name;
}

// One track at 480 ticks a quarter and 120 beats a minute (a quarter is 0.5 s): an organ playing
// eighth notes from beat 1 to the end of beat 3, the song ending after beat 4 (2 s).
Bytes OrganSong() {
    MidiTrack organ;
    organ.At(0, MidiTempo(500000)).At(0, {0xc0, 19});
    for (uint32_t t = 480; t < 1920; t += 240) organ.Note(0, t, 200, 60);
    organ.end = 1920;
    return MidiFileBytes(0, 480, {organ});
}

int Peak(double seconds) {
    std::vector<int16_t> buf(static_cast<size_t>(seconds * kAudioRate) * 2);
    AudioRender(buf.data(), static_cast<int>(buf.size() / 2));
    int peak = 0;
    for (int16_t s : buf) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

constexpr int kQuiet = 60;     // what counts as silence (a few LSB of dither and reverb)
constexpr int kAudible = 1500; // a note clearly heard

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPath = TempPath("log.txt");
        std::remove(logPath.c_str());
        SetLogFilePath(logPath.c_str());
        songPath = TempPath("organ.mid");
        ASSERT_TRUE(WriteBytesToFile(songPath, OrganSong()));
        ASSERT_TRUE(AudioStart(AudioOutput::kPull));
        ASSERT_TRUE(InitDirectMusic());
        if (!MidiReady()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    }
    void TearDown() override {
        FreeDirectMusic();
        AudioStop();
        SetLogFilePath("");
    }
    std::string LogText() {
        std::ifstream f(logPath);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    std::string logPath, songPath;
};

TEST_F(MusicTest, TheTuneIsHeardWhenItsNotesComeAndStopsWithStopMusic) {
    ASSERT_TRUE(LoadMusic(songPath.c_str()));
    EXPECT_NE(LogText().find("InitDirectMusic\nmusic: SoundFont "), std::string::npos);
    EXPECT_NE(LogText().find("load(" + songPath + ") ... ok.\n"), std::string::npos);
    EXPECT_FALSE(IsMusicPlaying());
    EXPECT_LT(Peak(0.3), kQuiet);  // loaded is not playing
    PlayMusic(true);
    EXPECT_TRUE(IsMusicPlaying());
    EXPECT_LT(Peak(0.45), kQuiet);   // the first note is at 0.5 s
    EXPECT_GT(Peak(0.5), kAudible);
    StopMusic();
    EXPECT_FALSE(IsMusicPlaying());
    EXPECT_EQ(musicResumePoint, 0u);
    Peak(2.0);                       // the reverb rings out
    EXPECT_LT(Peak(0.5), kQuiet);
}

TEST_F(MusicTest, PauseResumesWhereItWasAndStopStartsOver) {
    ASSERT_TRUE(LoadMusic(songPath.c_str()));
    PlayMusic(true);
    Peak(1.0);
    PauseMusic();
    EXPECT_FALSE(IsMusicPlaying());
    EXPECT_NEAR(static_cast<int>(musicResumePoint), 960, 2);  // one second is two beats
    Peak(2.5);
    EXPECT_LT(Peak(0.3), kQuiet);    // nothing advances while paused
    EXPECT_NEAR(static_cast<int>(MidiPositionTick()), 960, 2);

    PlayMusic(true);
    EXPECT_TRUE(IsMusicPlaying());
    EXPECT_GT(Peak(0.25), kAudible);  // the eighth notes of beat 2 go on at once
    EXPECT_NEAR(static_cast<int>(MidiPositionTick()), 960 + 240, 2);

    StopMusic();
    EXPECT_EQ(musicResumePoint, 0u);
    Peak(2.5);
    PlayMusic(true);
    EXPECT_LT(Peak(0.45), kQuiet);    // from the beginning: half a second of rest again
    EXPECT_NEAR(static_cast<int>(MidiPositionTick()), 432, 2);
}

TEST_F(MusicTest, LoopingGoesOnAndASinglePlayEnds) {
    ASSERT_TRUE(LoadMusic(songPath.c_str()));
    PlayMusic(false);
    Peak(2.1);
    EXPECT_FALSE(IsMusicPlaying());
    Peak(2.0);
    EXPECT_LT(Peak(1.0), kQuiet);

    PlayMusic(true);
    Peak(2.6);                       // the second pass's first note came at 2.5 s
    EXPECT_TRUE(IsMusicPlaying());
    EXPECT_GT(Peak(0.3), kAudible);
}

TEST_F(MusicTest, BrokenOrMissingFilesLeaveNoPiece) {
    ASSERT_TRUE(LoadMusic(songPath.c_str()));
    const std::string broken = TempPath("broken.mid");
    Bytes junk = OrganSong();
    junk.resize(30);
    junk[22] = 0x45;  // a data byte where the first status should be
    ASSERT_TRUE(WriteBytesToFile(broken, junk));
    EXPECT_FALSE(LoadMusic(broken.c_str()));
    EXPECT_NE(LogText().find("load(" + broken + ") ... can't load object.\n"), std::string::npos);
    PlayMusic(true);
    EXPECT_FALSE(IsMusicPlaying());
    EXPECT_FALSE(LoadMusic("no such tune.mid"));
    EXPECT_NE(LogText().find("load(no such tune.mid) ... can't load object.\n"), std::string::npos);
    PauseMusic();
    StopMusic();
    UnloadMusic();
    EXPECT_LT(Peak(0.6), kQuiet);
}

TEST(MusicWithoutAudio, NothingPlaysAndNothingBreaks) {
    const std::string songPath = TempPath("organ2.mid");
    ASSERT_TRUE(WriteBytesToFile(songPath, OrganSong()));
    AudioStop();
    EXPECT_TRUE(InitDirectMusic());  // the game goes on without this player's music
    EXPECT_FALSE(MidiReady());
    EXPECT_FALSE(LoadMusic(songPath.c_str()));
    PlayMusic(true);
    EXPECT_FALSE(IsMusicPlaying());
    PauseMusic();
    StopMusic();
    FreeDirectMusic();
}

}  // namespace
