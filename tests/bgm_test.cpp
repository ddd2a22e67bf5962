// The background-music library: the results of its ten calls, and what our synthesizer really
// plays, rendered to a buffer: timing, looping, repeats, fading, pausing, instruments, controllers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "framework/kbgm.h"
#include "platform/audio.h"
#include "platform/bgm.h"
#include "tests/support/midi_bytes.h"

namespace {

// CTest runs the cases side by side in separate processes: each keeps its own files.
std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "korvan_bgm_" + std::to_string(getpid()) + "_" + name;
}

// A one-track song at 480 ticks a quarter, two seconds long; 120 beats a minute unless the events
// say otherwise.
struct Song : MidiTrack {
    Song() { end = 1920; }
    std::string Write(const std::string& name) const {
        const std::string path = TempPath(name);
        EXPECT_TRUE(WriteBytesToFile(path, MidiFileBytes(0, 480, {*this}))) << path;
        return path;
    }
};

struct Stretch {
    int left = 0, right = 0;  // peaks
    double crossings = 0;     // zero crossings of the left side per second
    int Peak() const { return std::max(left, right); }
};

Stretch Render(double seconds) {
    const int frames = static_cast<int>(seconds * kAudioRate);
    std::vector<int16_t> buf(frames * 2);
    AudioRender(buf.data(), frames);
    Stretch s;
    int crossings = 0;
    for (int i = 0; i < frames; ++i) {
        s.left = std::max(s.left, std::abs(static_cast<int>(buf[i * 2])));
        s.right = std::max(s.right, std::abs(static_cast<int>(buf[i * 2 + 1])));
        if (i > 0 && (buf[i * 2] >= 0) != (buf[i * 2 - 2] >= 0)) ++crossings;
    }
    s.crossings = crossings / seconds;
    return s;
}

constexpr int kQuiet = 40;
constexpr int kAudible = 1500;

class KbgmTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(AudioStart(AudioOutput::kPull));
        ASSERT_EQ(KBGMOpen(10, -1), 0);
    }
    void TearDown() override {
        KBGMClose();
        AudioStop();
    }
    // Loads and plays a song, returning its handle.
    int Start(Song& song, const char* name, int repeat = 1) {
        int handle = 0;
        EXPECT_EQ(KBGMLoadFile(&handle, song.Write(name).c_str()), 0);
        EXPECT_EQ(KBGMPlay(handle, repeat), 0);
        return handle;
    }
};

TEST(Kbgm, OpenNeedsTheAudioStream) {
    AudioStop();
    EXPECT_NE(KBGMOpen(10, -1), 0);
    int handle = 7;
    EXPECT_NE(KBGMLoadFile(&handle, "x.mid"), 0);
    EXPECT_EQ(handle, 0);
    EXPECT_NE(KBGMPlay(1, 1), 0);
    ASSERT_TRUE(AudioStart(AudioOutput::kPull));
    EXPECT_NE(KBGMOpen(10, 0), 0);  // only the game's own output exists
    EXPECT_EQ(KBGMOpen(10, -1), 0);
    EXPECT_EQ(KBGMOpen(10, -1), 0);  // already open
    EXPECT_EQ(KBGMClose(), 0);
    AudioStop();
}

TEST_F(KbgmTest, TheGamesCallSequencesGetTheirResults) {
    // The boot probe frees the handle before anything was loaded: an error, but not "busy".
    int handle = 0;
    const int freeEmpty = KBGMFree(handle);
    EXPECT_NE(freeEmpty, 0);
    EXPECT_NE(freeEmpty, kKbgmBusy);
    EXPECT_NE(KBGMLoadFile(&handle, "no such song.mid"), 0);
    EXPECT_EQ(handle, 0);

    Song song;
    song.At(0, {0xc0, 81}).Note(0, 0, 400, 72);
    EXPECT_EQ(KBGMLoadFile(&handle, song.Write("probe.mid").c_str()), 0);
    EXPECT_NE(handle, 0);
    EXPECT_EQ(KBGMPlay(handle, 1), 0);
    EXPECT_EQ(KBGMFree(handle), 4099);  // still playing
    EXPECT_EQ(KBGMStop(), 0);
    EXPECT_EQ(KBGMFree(handle), 0);
    EXPECT_NE(KBGMPlay(handle, 1), 0);  // freed

    // A music change: free (stopping while busy), close, open, load.
    EXPECT_EQ(KBGMLoadFile(&handle, song.Write("probe.mid").c_str()), 0);
    EXPECT_EQ(KBGMPlay(handle, 1), 0);
    int tries = 0;
    while (KBGMFree(handle) == 4099 && tries < 3) {
        KBGMStop();
        ++tries;
    }
    EXPECT_EQ(tries, 1);
    EXPECT_EQ(KBGMClose(), 0);
    EXPECT_NE(KBGMPause(), 0);  // closed
    EXPECT_EQ(KBGMOpen(10, -1), 0);
    EXPECT_EQ(KBGMLoadFile(&handle, song.Write("probe.mid").c_str()), 0);
    // A song that is loaded but was never played can be freed at once.
    EXPECT_EQ(KBGMFree(handle), 0);

    // Garbage is refused like a missing file.
    const std::string junk = TempPath("junk.mid");
    std::ofstream(junk) << "MThd but not really a MIDI file";
    EXPECT_EQ(KBGMLoadFile(&handle, junk.c_str()), kKbgmFileError);
    EXPECT_EQ(handle, 0);
}

TEST_F(KbgmTest, NotesAreHeardWhenTheyComeAndSilenceFollowsStop) {
    Song song;
    song.At(0, {0xc0, 81}).Note(0, 480, 900, 72);
    const int handle = Start(song, "timing.mid");
    EXPECT_LT(Render(0.49).Peak(), kQuiet);   // the note is at 0.5 s
    EXPECT_GT(Render(0.3).Peak(), kAudible);
    EXPECT_NEAR(static_cast<int>(BgmPositionTick()), 758, 2);
    KBGMStop();
    Render(1.5);                              // the reverb rings out
    EXPECT_LT(Render(0.5).Peak(), kQuiet);
    EXPECT_EQ(KBGMFree(handle), 0);
}

TEST_F(KbgmTest, RepeatLoopsWithoutEndAndASinglePlayEnds) {
    Song song;
    song.At(0, {0xc0, 0}).Note(0, 0, 300, 60);
    int handle = Start(song, "loop.mid", 1);
    Render(2.0);                              // the song is 2 s long
    EXPECT_GT(Render(0.3).Peak(), kAudible);  // its note again on the next pass
    Render(3.8);
    EXPECT_GT(Render(0.3).Peak(), kAudible);  // and on the one after
    KBGMStop();
    EXPECT_EQ(KBGMFree(handle), 0);

    handle = Start(song, "once.mid", 0);
    Render(2.1);
    EXPECT_EQ(BgmCurrentState(), BgmState::kStopped);
    EXPECT_EQ(KBGMFree(handle), 0);           // it ended by itself
    Render(1.0);
    EXPECT_LT(Render(1.0).Peak(), kQuiet);
}

TEST_F(KbgmTest, SetRepeatBoundsTheLoops) {
    Song song;
    song.end = 960;  // one second
    song.At(0, {0xc0, 80}).Note(0, 480, 200, 69);
    int handle = 0;
    ASSERT_EQ(KBGMLoadFile(&handle, song.Write("repeat.mid").c_str()), 0);
    EXPECT_EQ(KBGMSetRepeat(handle, 1, 1), 0);  // loops go back to beat 1, once
    ASSERT_EQ(KBGMPlay(handle, 1), 0);
    EXPECT_GT(Render(0.7).Peak(), kAudible);    // first pass, note at 0.5 s
    Render(0.3);
    EXPECT_GT(Render(0.2).Peak(), kAudible);    // the repeat starts at the note
    Render(0.6);
    EXPECT_EQ(BgmCurrentState(), BgmState::kStopped);
    EXPECT_EQ(KBGMFree(handle), 0);
}

TEST_F(KbgmTest, FadeOutTakesLongerForLargerValues) {
    Song song;
    song.end = 480 * 40;
    song.At(0, {0xc0, 19}).Note(0, 0, 480 * 40, 60).Note(0, 0, 480 * 40, 64);
    int handle = Start(song, "fade.mid");
    Render(0.3);
    const int before = Render(0.1).Peak();
    EXPECT_GT(before, kAudible);
    EXPECT_EQ(KBGMFadeOut(handle, 2), 0);     // one second
    Render(0.4);
    const int halfway = Render(0.2).Peak();
    EXPECT_LT(halfway, before * 0.75);
    EXPECT_GT(halfway, before * 0.2);
    EXPECT_EQ(KBGMFree(handle), 4099);        // still fading
    Render(0.5);
    EXPECT_EQ(BgmCurrentState(), BgmState::kStopped);
    EXPECT_EQ(KBGMFree(handle), 0);
    Render(2.0);
    EXPECT_LT(Render(0.3).Peak(), kQuiet);

    handle = Start(song, "fade.mid");
    Render(0.4);
    EXPECT_EQ(KBGMFadeOut(handle, 8), 0);     // four seconds
    Render(1.2);
    EXPECT_GT(Render(0.2).Peak(), before / 2);
    EXPECT_EQ(BgmCurrentState(), BgmState::kFading);
}

TEST_F(KbgmTest, PauseHoldsThePositionAndResumeContinues) {
    Song song;
    song.end = 480 * 8;
    song.At(0, {0xc0, 24});
    for (int i = 0; i < 16; ++i) song.Note(0, i * 240, 200, 60 + i % 5);
    int handle = Start(song, "pause.mid");
    Render(1.0);
    EXPECT_EQ(KBGMPause(), 0);
    const uint32_t held = BgmPositionTick();
    EXPECT_NEAR(static_cast<int>(held), 960, 2);
    Render(2.0);
    EXPECT_LT(Render(0.3).Peak(), kQuiet);    // silent while paused
    EXPECT_EQ(BgmPositionTick(), held);
    EXPECT_EQ(KBGMFree(handle), 4099);        // a paused song is still the library's
    EXPECT_EQ(KBGMResume(handle), 0);
    EXPECT_GT(Render(0.3).Peak(), kAudible);
    EXPECT_NEAR(static_cast<int>(BgmPositionTick()), 960 + 288, 2);
}

// Lead, bass, pad and drums are told apart by how they start, how fast they swing and how they end.
TEST_F(KbgmTest, InstrumentsSoundTheirPart) {
    struct Heard {
        Stretch attack, body, late;
    };
    auto hear = [&](int channel, int program, int key, const char* name) {
        Song song;
        song.end = 960;
        song.At(0, {uint8_t(0xc0 | channel), uint8_t(program)}).Note(channel, 0, 900, key);
        const int handle = Start(song, name, 0);
        Heard h;
        h.attack = Render(0.02);
        Render(0.38);
        h.body = Render(0.1);
        h.late = Render(0.3);
        KBGMStop();
        Render(1.5);
        KBGMFree(handle);
        return h;
    };
    const Heard lead = hear(0, 81, 72, "lead.mid");
    const Heard bass = hear(1, 33, 36, "bass.mid");
    const Heard pad = hear(2, 89, 60, "pad.mid");
    const Heard kick = hear(9, 0, 36, "kick.mid");
    const Heard hat = hear(9, 0, 42, "hat.mid");
    for (const Heard* h : {&lead, &bass, &pad}) EXPECT_GT(h->body.Peak(), kAudible);
    EXPECT_GT(kick.attack.Peak(), kAudible);
    EXPECT_GT(hat.attack.Peak(), kAudible / 2);
    // A lead speaks at once; a pad swells.
    EXPECT_GT(lead.attack.Peak(), lead.body.Peak() / 2);
    EXPECT_LT(pad.attack.Peak(), pad.body.Peak() / 4);
    // A bass swings slowly, a lead two and a half octaves up much faster, a hi-hat fastest.
    EXPECT_LT(bass.body.crossings, 300);
    EXPECT_GT(lead.body.crossings, 4 * bass.body.crossings);
    EXPECT_GT(hat.attack.crossings, 3000);
    // Drums die away by themselves while held notes sustain.
    EXPECT_LT(kick.body.Peak(), kick.attack.Peak() / 10);
    EXPECT_LT(hat.body.Peak(), hat.attack.Peak() / 10);
    EXPECT_GT(lead.late.Peak(), kAudible);
}

TEST_F(KbgmTest, VelocityVolumePanAndTempoAreFollowed) {
    auto peak = [&](Song song, const char* name) {
        const int handle = Start(song, name, 0);
        Render(0.2);
        Stretch s = Render(0.2);
        KBGMStop();
        Render(1.5);
        KBGMFree(handle);
        return s;
    };
    Song soft, loud, muted, left;
    soft.At(0, {0xc0, 80}).Note(0, 0, 900, 69, 40);
    loud.At(0, {0xc0, 80}).Note(0, 0, 900, 69, 120);
    muted.At(0, {0xc0, 80}).At(0, {0xb0, 7, 0}).At(0, {0xb0, 91, 0}).Note(0, 0, 900, 69, 120);
    left.At(0, {0xc0, 80}).At(0, {0xb0, 10, 0}).At(0, {0xb0, 91, 0}).Note(0, 0, 900, 69, 120);
    const Stretch s = peak(soft, "soft.mid"), l = peak(loud, "loud.mid");
    EXPECT_LT(s.Peak() * 2, l.Peak());
    EXPECT_LT(peak(muted, "muted.mid").Peak(), kQuiet);
    const Stretch p = peak(left, "left.mid");
    EXPECT_GT(p.left, kAudible);
    EXPECT_LT(p.right, p.left / 20);

    // At 60 beats a minute the note of beat 1 comes after one second.
    Song slow;
    slow.At(0, {0xff, 0x51, 0x03, 0x0f, 0x42, 0x40}).At(0, {0xc0, 80}).Note(0, 480, 400, 69);
    Start(slow, "slow.mid", 0);
    EXPECT_LT(Render(0.99).Peak(), kQuiet);
    EXPECT_GT(Render(0.2).Peak(), kAudible);
}

}  // namespace
