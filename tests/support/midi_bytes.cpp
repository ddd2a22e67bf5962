#include "tests/support/midi_bytes.h"

#include <algorithm>
#include <cstdio>

MidiTrack& MidiTrack::At(uint32_t tick, MidiBytes message) {
    events.push_back({tick, std::move(message)});
    return *this;
}

MidiTrack& MidiTrack::Note(int channel, uint32_t tick, uint32_t length, int key, int velocity) {
    At(tick, {uint8_t(0x90 | channel), uint8_t(key), uint8_t(velocity)});
    return At(tick + length, {uint8_t(0x80 | channel), uint8_t(key), 0});
}

void AppendVlq(MidiBytes& out, uint32_t value) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = value & 0x7f;
        value >>= 7;
    } while (value);
    while (n > 1) out.push_back(groups[--n] | 0x80);
    out.push_back(groups[0]);
}

void AppendBigEndian(MidiBytes& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

MidiBytes MidiHeader(int format, int trackCount, uint16_t division) {
    MidiBytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    AppendBigEndian(out, static_cast<uint32_t>(format), 2);
    AppendBigEndian(out, static_cast<uint32_t>(trackCount), 2);
    AppendBigEndian(out, division, 2);
    return out;
}

MidiBytes MidiChunk(const char* id, const MidiBytes& body) {
    MidiBytes chunk(id, id + 4);
    AppendBigEndian(chunk, static_cast<uint32_t>(body.size()), 4);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

MidiBytes MidiTrackChunk(const MidiTrack& track) {
    auto events = track.events;
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    MidiBytes body;
    uint32_t last = 0;
    for (const auto& [tick, message] : events) {
        AppendVlq(body, tick - last);
        body.insert(body.end(), message.begin(), message.end());
        last = tick;
    }
    AppendVlq(body, std::max(track.end, last) - last);
    body.insert(body.end(), {0xff, 0x2f, 0x00});
    return MidiChunk("MTrk", body);
}

MidiBytes MidiFileBytes(int format, uint16_t division, const std::vector<MidiTrack>& tracks) {
    MidiBytes out = MidiHeader(format, static_cast<int>(tracks.size()), division);
    for (const MidiTrack& t : tracks) {
        const MidiBytes chunk = MidiTrackChunk(t);
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

MidiBytes MidiTempo(uint32_t microsPerQuarter) {
    return {0xff, 0x51, 0x03, uint8_t(microsPerQuarter >> 16), uint8_t(microsPerQuarter >> 8),
            uint8_t(microsPerQuarter)};
}

bool WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}
