// A small Standard MIDI File writer: format 1, one tempo track plus one track per part.
// Events are collected in any order and sorted when the file is written, so a composer can lay
// down each part independently.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kTicksPerQuarter = 480;

struct SmfEvent {
    uint32_t tick;
    int order;                  // tie-break at one tick: note-offs, then set-up, then note-ons
    std::vector<uint8_t> bytes; // status and data bytes, or 0xff type len... for meta events
};

struct SmfTrack {
    std::string name;
    std::vector<SmfEvent> events;

    void Note(uint32_t tick, uint32_t length, int channel, int key, int velocity);
    void Program(uint32_t tick, int channel, int program);
    void Controller(uint32_t tick, int channel, int controller, int value);
    void Tempo(uint32_t tick, double bpm);
    void TimeSignature(uint32_t tick, int numerator, int denominatorPower);
    void Marker(uint32_t tick, const std::string& text);
};

struct SmfSong {
    std::vector<SmfTrack> tracks;  // track 0 carries the tempo map
    uint32_t endTick = 0;           // every track ends here, so the piece loops on the bar line
};

// The complete file image.
std::vector<uint8_t> EncodeSmf(const SmfSong& song);
