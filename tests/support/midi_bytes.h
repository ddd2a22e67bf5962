// Standard MIDI File bytes for the music tests: tracks of timed events written out the way a
// sequencer would save them (delta times, an end-of-track marker, big-endian chunk lengths).
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using MidiBytes = std::vector<uint8_t>;

// One track: events at absolute ticks (each a whole message, status byte included, or a meta or
// system-exclusive event), and the tick its end marker sits on (at least the last event's).
struct MidiTrack {
    std::vector<std::pair<uint32_t, MidiBytes>> events;
    uint32_t end = 0;
    MidiTrack& At(uint32_t tick, MidiBytes message);
    // A note-on at `tick` and its note-off `length` ticks later.
    MidiTrack& Note(int channel, uint32_t tick, uint32_t length, int key, int velocity = 110);
};

void AppendVlq(MidiBytes& out, uint32_t value);
void AppendBigEndian(MidiBytes& out, uint32_t value, int bytes);

// The "MThd" chunk: format, track count, and ticks a quarter (or an SMPTE division).
MidiBytes MidiHeader(int format, int trackCount, uint16_t division);
// A chunk of any id around a body as given (for damaged or foreign chunks).
MidiBytes MidiChunk(const char* id, const MidiBytes& body);
// An "MTrk" chunk: the events in tick order (messages on one tick keep the order they were given).
MidiBytes MidiTrackChunk(const MidiTrack& track);
// A whole file: the header, then one chunk per track.
MidiBytes MidiFileBytes(int format, uint16_t division, const std::vector<MidiTrack>& tracks);
// The set-tempo meta event.
MidiBytes MidiTempo(uint32_t microsPerQuarter);

// Writes bytes to a file, replacing it; false when it cannot be written.
bool WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes);
