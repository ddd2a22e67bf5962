// The MIDI file reader and the sequencer both music players share: timing, merging, looping,
// seeking, and refusing malformed files without crashing or hanging.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/audio.h"
#include "platform/midi_file.h"
#include "tests/support/midi_bytes.h"

namespace {

using Bytes = MidiBytes;

// A sink that records what the sequencer sends, with the frame each message arrives at.
struct Recorder {
    struct Got {
        int64_t frame;
        uint8_t status, d1, d2;
    };
    std::vector<Got> got;
    int64_t rendered = 0;
    static void Event(void* u, uint8_t s, uint8_t a, uint8_t b) {
        auto* r = static_cast<Recorder*>(u);
        r->got.push_back({r->rendered, s, a, b});
    }
    static void Render(void* u, float*, int, int frames) { static_cast<Recorder*>(u)->rendered += frames; }
    MidiSink Sink() { return MidiSink{this, Event, Render}; }
};

bool Parse(const Bytes& b, MidiSong& song) {
    std::string error;
    return ParseMidi(b.data(), b.size(), song, error);
}

// A song that exercises most of the reader: two tracks, tempo change, running status, sysex,
// pitch bend, programs and drums.
Bytes RichSong() {
    MidiTrack conductor;
    conductor.At(0, MidiTempo(500000));
    conductor.At(960, MidiTempo(250000));
    conductor.At(0, {0xff, 0x03, 0x04, 'S', 'o', 'n', 'g'});
    MidiTrack notes;
    notes.At(0, {0xc0, 81});
    notes.At(0, {0xb0, 7, 100});
    notes.At(0, {0xf0, 0x03, 0x7e, 0x7f, 0xf7});
    for (int i = 0; i < 16; ++i) {
        notes.At(i * 240, {0x90, uint8_t(60 + i), 100});
        notes.At(i * 240 + 200, {0x80, uint8_t(60 + i), 0});
        notes.At(i * 240, {0x99, 36, 120});
        notes.At(i * 240 + 10, {0x89, 36, 0});
        notes.At(i * 240 + 100, {0xe0, 0, uint8_t(64 + i)});
    }
    notes.end = 3840;
    return MidiFileBytes(1, 480, {conductor, notes});
}

TEST(MidiFile, TimesFollowTheTempoMap) {
    MidiTrack t;
    t.At(0, MidiTempo(500000));    // 120 beats a minute: a quarter is half a second
    t.At(960, MidiTempo(1000000)); // from beat 2 on, 60 beats a minute
    t.At(480, {0x90, 60, 100});
    t.At(1440, {0x80, 60, 0});
    t.end = 1920;
    MidiSong song;
    ASSERT_TRUE(Parse(MidiFileBytes(0, 480, {t}), song));
    ASSERT_EQ(song.events.size(), 2u);
    EXPECT_EQ(song.events[0].frame, kAudioRate / 2);           // 0.5 s
    EXPECT_EQ(song.events[1].frame, kAudioRate * 2);           // 1.0 s + one slow beat
    EXPECT_EQ(song.endFrame, kAudioRate * 3);
    EXPECT_EQ(MidiFrameToTick(song, kAudioRate * 2), 1440u);
    EXPECT_EQ(MidiFrameToTick(song, kAudioRate / 4), 240u);
}

TEST(MidiFile, RunningStatusNoteOffsAndTrackMerging) {
    // Running status: one status byte, three notes; velocity 0 ends a note.
    MidiTrack first;
    first.At(0, {0x90, 60, 100}).At(16, {60, 0}).At(16, {64, 90});
    first.end = 48;
    MidiTrack second;
    second.At(8, {0xc1, 33});
    const Bytes file = MidiFileBytes(1, 96, {first, second});

    MidiSong song;
    ASSERT_TRUE(Parse(file, song));
    ASSERT_EQ(song.events.size(), 4u);
    EXPECT_EQ(song.events[0].status, 0x90);
    EXPECT_EQ(song.events[1].tick, 8u);
    EXPECT_EQ(song.events[1].status, 0xc1);  // the second track's event sorts in between
    EXPECT_EQ(song.events[2].status, 0x80);  // note-on with velocity 0 became a note-off
    EXPECT_EQ(song.events[3].data1, 64);
    EXPECT_EQ(song.endTick, 48u);
}

TEST(MidiFile, FormatTwoPlaysPatternsInTurnAndSmpteCountsRealTime) {
    MidiTrack a, b;
    a.At(0, {0x90, 60, 100});
    a.end = 100;
    b.At(0, {0x90, 62, 100});
    b.end = 100;
    MidiSong song;
    ASSERT_TRUE(Parse(MidiFileBytes(2, 96, {a, b}), song));
    ASSERT_EQ(song.events.size(), 2u);
    EXPECT_EQ(song.events[1].tick, 100u);
    EXPECT_EQ(song.endTick, 200u);

    // 25 frames a second, 40 ticks a frame: 1000 ticks a second whatever the tempo says.
    MidiTrack s;
    s.At(0, MidiTempo(100000));
    s.At(500, {0x90, 60, 100});
    ASSERT_TRUE(Parse(MidiFileBytes(0, 0xe728, {s}), song));
    EXPECT_EQ(song.events[0].frame, kAudioRate / 2);
}

TEST(MidiFile, MalformedFilesAreRefusedWithAReason) {
    const Bytes good = RichSong();
    std::vector<Bytes> bad;
    bad.push_back({});
    bad.push_back({'M', 'T', 'h', 'd'});
    Bytes noHeader = good;
    noHeader[0] = 'X';
    bad.push_back(noHeader);
    Bytes zeroDivision = good;
    zeroDivision[12] = zeroDivision[13] = 0;
    bad.push_back(zeroDivision);
    Bytes noTracks(good.begin(), good.begin() + 14);
    bad.push_back(noTracks);
    // A data byte where a status must come first.
    MidiTrack t;
    t.At(0, {0x40, 0x40});
    bad.push_back(MidiFileBytes(0, 96, {t}));
    // A delta time of five bytes.
    Bytes longDelta = MidiHeader(0, 1, 96);
    const Bytes longDeltaTrack = MidiChunk("MTrk", {0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100});
    longDelta.insert(longDelta.end(), longDeltaTrack.begin(), longDeltaTrack.end());
    bad.push_back(longDelta);
    // A meta event longer than its track.
    Bytes longMeta = MidiHeader(0, 1, 96);
    const Bytes longMetaTrack = MidiChunk("MTrk", {0x00, 0xff, 0x01, 0x7f, 'a'});
    longMeta.insert(longMeta.end(), longMetaTrack.begin(), longMetaTrack.end());
    bad.push_back(longMeta);
    for (size_t i = 0; i < bad.size(); ++i) {
        MidiSong song;
        std::string error;
        EXPECT_FALSE(ParseMidi(bad[i].data(), bad[i].size(), song, error)) << "case " << i;
        EXPECT_FALSE(error.empty()) << "case " << i;
        EXPECT_TRUE(song.events.empty());
    }
    MidiSong song;
    std::string error;
    EXPECT_FALSE(ReadMidiFile("no such file.mid", song, error));
}

TEST(MidiCursor, SendsEachEventAtItsFrameAndLoopsFromTheLoopStart) {
    MidiTrack t;
    t.At(0, {0xc0, 5});
    t.At(480, {0x90, 60, 100});
    t.At(960, {0x80, 60, 0});
    t.end = 1920;  // two seconds at 120 beats a minute
    MidiSong song;
    ASSERT_TRUE(Parse(MidiFileBytes(0, 480, {t}), song));
    Recorder rec;
    MidiCursor cursor;
    MidiCursorReset(cursor, &song);
    cursor.playing = true;
    cursor.loop = true;
    cursor.loopStart = 480;
    cursor.repeatsLeft = 1;
    const int block = 1000;
    for (int i = 0; i < 7 * kAudioRate / block; ++i) MidiCursorAdvance(cursor, nullptr, block, rec.Sink());
    std::vector<Recorder::Got> notes;
    for (const auto& g : rec.got) {
        if ((g.status & 0xf0) == 0x90) notes.push_back(g);
    }
    // First pass at 0.5 s; the one repeat goes back to beat 1 (0.5 s), so the note sounds at once.
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].frame, kAudioRate / 2);
    EXPECT_EQ(notes[1].frame, 2 * kAudioRate);
    EXPECT_FALSE(cursor.playing);
    // The song's end releases its channel's notes.
    EXPECT_TRUE(std::any_of(rec.got.begin(), rec.got.end(),
                            [](const Recorder::Got& g) { return g.status == 0xb0 && g.d1 == 123; }));
    EXPECT_EQ(rec.rendered, 7 * kAudioRate / block * block);  // every frame asked for was rendered
}

TEST(MidiCursor, SeekReplaysSettingsButNoNotes) {
    MidiSong song;
    ASSERT_TRUE(Parse(RichSong(), song));
    Recorder rec;
    MidiCursor cursor;
    MidiCursorReset(cursor, &song);
    MidiCursorSeek(cursor, 1000, rec.Sink());
    ASSERT_FALSE(rec.got.empty());
    for (const auto& g : rec.got) {
        const int kind = g.status & 0xf0;
        EXPECT_TRUE(kind == 0xb0 || kind == 0xc0 || kind == 0xe0) << std::hex << int(g.status);
    }
    EXPECT_EQ(MidiCursorTick(cursor), 1000u);
    EXPECT_EQ(cursor.frame, MidiTickToFrame(song, 1000));
    // A seek past the end is held at the end.
    MidiCursorSeek(cursor, 1000000, rec.Sink());
    EXPECT_EQ(MidiCursorTick(cursor), song.endTick);
}

TEST(MidiCursor, ASongOfNoLengthLoopingDoesNotSpin) {
    MidiTrack t;
    t.At(0, {0x90, 60, 100});
    MidiSong song;
    ASSERT_TRUE(Parse(MidiFileBytes(0, 96, {t}), song));
    EXPECT_EQ(song.endFrame, 0);
    Recorder rec;
    MidiCursor cursor;
    MidiCursorReset(cursor, &song);
    cursor.playing = cursor.loop = true;
    for (int i = 0; i < 100; ++i) MidiCursorAdvance(cursor, nullptr, 512, rec.Sink());
    EXPECT_EQ(rec.rendered, 100 * 512);
    EXPECT_FALSE(cursor.playing);  // it ends rather than loop on the spot

    // Nor can a loop that starts at or past the end.
    MidiTrack t2;
    t2.At(0, {0x90, 60, 100});
    t2.end = 96;
    ASSERT_TRUE(Parse(MidiFileBytes(0, 96, {t2}), song));
    MidiCursorReset(cursor, &song);
    cursor.playing = cursor.loop = true;
    cursor.loopStart = 5000;
    for (int i = 0; i < 100; ++i) MidiCursorAdvance(cursor, nullptr, 512, rec.Sink());
    EXPECT_FALSE(cursor.playing);
}

// Thousands of damaged copies of a real song: each is refused or read, never a crash or a hang, and
// whatever is read can be played through with looping on.
TEST(MidiFile, FuzzedFilesNeverCrashOrHang) {
    const Bytes good = RichSong();
    std::mt19937 rng(12345);
    const auto start = std::chrono::steady_clock::now();
    int accepted = 0;
    for (int round = 0; round < 6000; ++round) {
        Bytes b = good;
        const int kind = round % 4;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng() % b.size();
            if (kind == 0) b[at] = static_cast<uint8_t>(rng());
            if (kind == 1) b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
            if (kind == 2) b.insert(b.begin() + at, static_cast<uint8_t>(rng()));
            if (kind == 3 && b.size() > 1) b.erase(b.begin() + at);
        }
        if (round % 50 == 0) b.resize(rng() % b.size());
        MidiSong song;
        std::string error;
        if (!ParseMidi(b.data(), b.size(), song, error)) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        ++accepted;
        Recorder rec;
        MidiCursor cursor;
        MidiCursorReset(cursor, &song);
        MidiCursorSeek(cursor, static_cast<uint32_t>(rng() % 5000), rec.Sink());
        cursor.playing = cursor.loop = true;
        for (int i = 0; i < 20; ++i) MidiCursorAdvance(cursor, nullptr, 4096, rec.Sink());
        EXPECT_EQ(rec.rendered, 20 * 4096);
    }
    EXPECT_GT(accepted, 100);  // the mutations still leave plenty of readable files to play
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 60.0);
}

}  // namespace
