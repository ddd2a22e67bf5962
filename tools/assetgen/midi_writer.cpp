#include "tools/assetgen/midi_writer.h"

#include <algorithm>
#include <cmath>

namespace {

enum EventOrder { kOrderNoteOff = 0, kOrderMeta = 1, kOrderSetup = 2, kOrderNoteOn = 3 };

uint8_t Clamp7(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 127)); }

void PutVarLen(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t buf[5];
    int n = 0;
    buf[n++] = value & 0x7f;
    while (value >>= 7) buf[n++] = static_cast<uint8_t>((value & 0x7f) | 0x80);
    while (n) out.push_back(buf[--n]);
}

void PutBE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

void SmfTrack::Note(uint32_t tick, uint32_t length, int channel, int key, int velocity) {
    if (length == 0 || velocity <= 0) return;
    uint8_t ch = static_cast<uint8_t>(channel & 15);
    events.push_back({tick, kOrderNoteOn, {static_cast<uint8_t>(0x90 | ch), Clamp7(key), Clamp7(std::max(velocity, 1))}});
    events.push_back({tick + length, kOrderNoteOff, {static_cast<uint8_t>(0x80 | ch), Clamp7(key), 64}});
}

void SmfTrack::Program(uint32_t tick, int channel, int program) {
    events.push_back({tick, kOrderSetup, {static_cast<uint8_t>(0xc0 | (channel & 15)), Clamp7(program)}});
}

void SmfTrack::Controller(uint32_t tick, int channel, int controller, int value) {
    events.push_back({tick, kOrderSetup, {static_cast<uint8_t>(0xb0 | (channel & 15)), Clamp7(controller), Clamp7(value)}});
}

void SmfTrack::Tempo(uint32_t tick, double bpm) {
    uint32_t usPerQuarter = static_cast<uint32_t>(std::lround(60000000.0 / bpm));
    events.push_back({tick, kOrderMeta, {0xff, 0x51, 3, static_cast<uint8_t>(usPerQuarter >> 16),
                                         static_cast<uint8_t>(usPerQuarter >> 8), static_cast<uint8_t>(usPerQuarter)}});
}

void SmfTrack::TimeSignature(uint32_t tick, int numerator, int denominatorPower) {
    events.push_back({tick, kOrderMeta, {0xff, 0x58, 4, static_cast<uint8_t>(numerator),
                                         static_cast<uint8_t>(denominatorPower), 24, 8}});
}

void SmfTrack::Marker(uint32_t tick, const std::string& text) {
    SmfEvent e{tick, kOrderMeta, {0xff, 0x06}};
    PutVarLen(e.bytes, static_cast<uint32_t>(text.size()));
    e.bytes.insert(e.bytes.end(), text.begin(), text.end());
    events.push_back(std::move(e));
}

std::vector<uint8_t> EncodeSmf(const SmfSong& song) {
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
    PutBE(out, 6, 4);
    PutBE(out, 1, 2);
    PutBE(out, static_cast<uint32_t>(song.tracks.size()), 2);
    PutBE(out, kTicksPerQuarter, 2);

    for (const SmfTrack& track : song.tracks) {
        // Nothing may sound past the loop point: a note held over the end would hang on the restart.
        std::vector<SmfEvent> events;
        for (const SmfEvent& e : track.events) {
            if (e.order == kOrderNoteOn && e.tick >= song.endTick) continue;
            events.push_back(e);
            events.back().tick = std::min(e.tick, song.endTick);
        }
        std::stable_sort(events.begin(), events.end(), [](const SmfEvent& a, const SmfEvent& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });

        std::vector<uint8_t> body;
        PutVarLen(body, 0);
        body.push_back(0xff);
        body.push_back(0x03);
        PutVarLen(body, static_cast<uint32_t>(track.name.size()));
        body.insert(body.end(), track.name.begin(), track.name.end());

        uint32_t now = 0;
        for (const SmfEvent& e : events) {
            PutVarLen(body, e.tick - now);
            now = e.tick;
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        }
        PutVarLen(body, song.endTick - now);
        body.push_back(0xff);
        body.push_back(0x2f);
        body.push_back(0x00);

        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        PutBE(out, static_cast<uint32_t>(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}
