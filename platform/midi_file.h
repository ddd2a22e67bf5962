// Standard MIDI Files: the reader both music players share, and the sequencer that walks a song
// in audio frames of the game's stream (tempo changes, looping, seeking to a tick).
// A malformed file is refused with a reason; it never crashes or hangs the reader.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One channel message, placed on the song's tick and on the stream's frame clock.
struct MidiEvent {
    uint32_t tick;
    int64_t frame;   // at the stream's rate, from the song's start
    uint8_t status;  // 0x80..0xEF (channel messages only)
    uint8_t data1;
    uint8_t data2;
};

struct MidiTempo {
    uint32_t tick;
    int64_t frame;
    uint32_t microsPerQuarter;
};

struct MidiSong {
    int format = 0;
    int trackCount = 0;
    double ticksPerSecondSmpte = 0;  // nonzero for SMPTE time division (tempo then ignored)
    int ticksPerQuarter = 0;
    std::vector<MidiEvent> events;   // sorted by tick, file order kept within a tick
    std::vector<MidiTempo> tempos;   // first entry at tick 0
    uint32_t endTick = 0;            // the last track's end
    int64_t endFrame = 0;
};

// Limits that keep a hostile file from exhausting memory or time.
constexpr size_t kMidiMaxFileSize = 16u << 20;
constexpr size_t kMidiMaxEvents = 2000000;
constexpr int kMidiMaxTracks = 256;

// Parses a whole file held in memory. On failure `song` is left empty and `error` says why.
bool ParseMidi(const uint8_t* data, size_t size, MidiSong& song, std::string& error);
// Reads and parses a file (relative to the working directory).
bool ReadMidiFile(const char* path, MidiSong& song, std::string& error);

int64_t MidiTickToFrame(const MidiSong& song, uint32_t tick);
uint32_t MidiFrameToTick(const MidiSong& song, int64_t frame);

// Where a player's synthesizer receives what the sequencer produces.
struct MidiSink {
    void* user = nullptr;
    void (*event)(void* user, uint8_t status, uint8_t data1, uint8_t data2) = nullptr;
    // Renders `frames` frames into mix + 2 * offset (interleaved stereo, added).
    void (*render)(void* user, float* mix, int offset, int frames) = nullptr;
};

// A song's playback position. Not thread-safe by itself: the players hold the stream's lock.
struct MidiCursor {
    const MidiSong* song = nullptr;
    size_t next = 0;       // next event to send
    int64_t frame = 0;     // position in frames
    bool playing = false;
    bool loop = false;
    uint32_t loopStart = 0;     // tick a loop goes back to
    int repeatsLeft = -1;       // loops still to make (-1: without end)
    uint16_t usedChannels = 0;  // channels the song talks to (for the silencing at its end)
};

// Points the cursor at a song, stopped at its start.
void MidiCursorReset(MidiCursor& cursor, const MidiSong* song);
// Moves to a tick (clamped to the song): every program, controller and pitch-bend message before it
// is sent again so the channels sound as they would had the song played up to there.
void MidiCursorSeek(MidiCursor& cursor, uint32_t tick, const MidiSink& sink);
// Plays `frames` frames: sends each event at its frame and renders the stretches between. At the
// song's end the channels' notes are released; a looping song goes back to its loop start while it
// has repeats left, otherwise the cursor stops (and the rest of the block is still rendered so releasing notes ring out).
void MidiCursorAdvance(MidiCursor& cursor, float* mix, int frames, const MidiSink& sink);
uint32_t MidiCursorTick(const MidiCursor& cursor);
