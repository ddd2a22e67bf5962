#include "platform/midi_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/asset_path.h"
#include "platform/audio.h"

namespace {

constexpr uint32_t kDefaultTempo = 500000;  // 120 beats per minute until the song says otherwise
constexpr uint32_t kMinTempo = 1000;        // a zero tempo would make every tick take no time
constexpr uint64_t kMaxTick = 0x7fffffffu;

struct Reader {
    const uint8_t* p;
    const uint8_t* end;
    bool Has(size_t n) const { return static_cast<size_t>(end - p) >= n; }
    uint32_t Be32() {
        uint32_t v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        p += 4;
        return v;
    }
    uint16_t Be16() {
        uint16_t v = static_cast<uint16_t>((p[0] << 8) | p[1]);
        p += 2;
        return v;
    }
    // Variable-length quantity: at most four bytes, as the file format allows.
    bool Vlq(uint32_t& out) {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            if (p >= end) return false;
            const uint8_t b = *p++;
            out = (out << 7) | (b & 0x7f);
            if (!(b & 0x80)) return true;
        }
        return false;
    }
};

struct RawEvent {
    uint64_t tick;
    uint32_t order;  // keeps the file's order among events on the same tick
    uint8_t status, data1, data2;
};

struct RawTempo {
    uint64_t tick;
    uint32_t order;
    uint32_t micros;
};

bool Fail(std::string& error, const char* text) {
    error = text;
    return false;
}

// Reads one track's events. `base` is the tick the track starts at (nonzero only for format 2).
bool ReadTrack(Reader r, uint64_t base, std::vector<RawEvent>& events, std::vector<RawTempo>& tempos,
               uint64_t& trackEnd, uint32_t& order, std::string& error) {
    uint64_t tick = base;
    uint8_t running = 0;
    while (r.p < r.end) {
        uint32_t delta;
        if (!r.Vlq(delta)) return Fail(error, "bad delta time");
        tick += delta;
        if (tick > kMaxTick) return Fail(error, "song too long");
        if (!r.Has(1)) return Fail(error, "track ends inside an event");
        uint8_t status = *r.p;
        if (status & 0x80) {
            ++r.p;
        } else {
            if (!running) return Fail(error, "data byte without a status");
            status = running;
        }
        if (status == 0xff) {
            running = 0;
            if (!r.Has(1)) return Fail(error, "track ends inside a meta event");
            const uint8_t type = *r.p++;
            uint32_t len;
            if (!r.Vlq(len) || !r.Has(len)) return Fail(error, "meta event runs past its track");
            if (type == 0x2f) {
                trackEnd = tick;
                return true;
            }
            if (type == 0x51 && len >= 3) {
                uint32_t micros = (uint32_t(r.p[0]) << 16) | (uint32_t(r.p[1]) << 8) | r.p[2];
                tempos.push_back({tick, order++, std::max(micros, kMinTempo)});
            }
            r.p += len;
            continue;
        }
        if (status == 0xf0 || status == 0xf7) {
            running = 0;
            uint32_t len;
            if (!r.Vlq(len) || !r.Has(len)) return Fail(error, "system exclusive runs past its track");
            r.p += len;
            continue;
        }
        if (status >= 0xf0) return Fail(error, "unexpected system message");
        running = status;
        const uint8_t kind = status & 0xf0;
        const int dataBytes = (kind == 0xc0 || kind == 0xd0) ? 1 : 2;
        if (!r.Has(dataBytes)) return Fail(error, "track ends inside an event");
        uint8_t d1 = r.p[0];
        uint8_t d2 = dataBytes == 2 ? r.p[1] : 0;
        r.p += dataBytes;
        if ((d1 | d2) & 0x80) return Fail(error, "bad data byte");
        if (events.size() >= kMidiMaxEvents) return Fail(error, "too many events");
        // A note-on of velocity 0 is a note-off; the synthesizers see only the one form.
        if (kind == 0x90 && d2 == 0) {
            status = 0x80 | (status & 0x0f);
            d2 = 64;
        }
        events.push_back({tick, order++, status, d1, d2});
    }
    // A track without its end marker ends with its last event.
    trackEnd = tick;
    return true;
}

int64_t FramesFor(const MidiSong& song, const MidiTempo& from, uint32_t ticks) {
    double seconds;
    if (song.ticksPerSecondSmpte > 0) {
        seconds = ticks / song.ticksPerSecondSmpte;
    } else {
        seconds = static_cast<double>(ticks) * from.microsPerQuarter / (1e6 * song.ticksPerQuarter);
    }
    return static_cast<int64_t>(std::llround(seconds * kAudioRate));
}

const MidiTempo& TempoAt(const MidiSong& song, uint32_t tick) {
    auto it = std::upper_bound(song.tempos.begin(), song.tempos.end(), tick,
                               [](uint32_t t, const MidiTempo& m) { return t < m.tick; });
    return *(it - 1);
}

}  // namespace

bool ParseMidi(const uint8_t* data, size_t size, MidiSong& song, std::string& error) {
    song = MidiSong{};
    if (!data || size < 14) return Fail(error, "too short for a MIDI file");
    if (size > kMidiMaxFileSize) return Fail(error, "file too large");
    Reader r{data, data + size};
    if (r.p[0] != 'M' || r.p[1] != 'T' || r.p[2] != 'h' || r.p[3] != 'd') return Fail(error, "no MThd header");
    r.p += 4;
    const uint32_t headerLen = r.Be32();
    if (headerLen < 6 || !r.Has(headerLen)) return Fail(error, "bad header length");
    const uint8_t* headerEnd = r.p + headerLen;
    const int format = r.Be16();
    const int declaredTracks = r.Be16();
    const uint16_t division = r.Be16();
    r.p = headerEnd;
    if (format > 2) return Fail(error, "unknown format");
    MidiSong out;
    out.format = format;
    if (division & 0x8000) {
        const int fps = -static_cast<int8_t>(division >> 8);
        const int perFrame = division & 0xff;
        if (fps <= 0 || perFrame == 0) return Fail(error, "bad time division");
        out.ticksPerSecondSmpte = (fps == 29 ? 29.97 : fps) * perFrame;
    } else {
        if (division == 0) return Fail(error, "bad time division");
        out.ticksPerQuarter = division;
    }

    std::vector<RawEvent> raw;
    std::vector<RawTempo> rawTempos;
    uint64_t songEnd = 0;
    uint64_t base = 0;
    uint32_t order = 0;
    int tracks = 0;
    while (r.Has(8) && tracks < declaredTracks) {
        const bool isTrack = r.p[0] == 'M' && r.p[1] == 'T' && r.p[2] == 'r' && r.p[3] == 'k';
        r.p += 4;
        uint32_t len = r.Be32();
        // A last chunk that claims more than the file holds is read as far as it goes.
        if (!r.Has(len)) len = static_cast<uint32_t>(r.end - r.p);
        if (isTrack) {
            if (tracks >= kMidiMaxTracks) return Fail(error, "too many tracks");
            uint64_t trackEnd = 0;
            Reader track{r.p, r.p + len};
            if (!ReadTrack(track, base, raw, rawTempos, trackEnd, order, error)) return false;
            songEnd = std::max(songEnd, trackEnd);
            // Format 2 holds independent patterns: they play one after another.
            if (format == 2) base = trackEnd;
            ++tracks;
        }
        r.p += len;
    }
    if (tracks == 0) return Fail(error, "no track");

    std::sort(raw.begin(), raw.end(), [](const RawEvent& a, const RawEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::sort(rawTempos.begin(), rawTempos.end(), [](const RawTempo& a, const RawTempo& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });

    out.trackCount = tracks;
    out.tempos.push_back({0, 0, kDefaultTempo});
    if (out.ticksPerSecondSmpte == 0) {
        for (const RawTempo& t : rawTempos) {
            MidiTempo& last = out.tempos.back();
            const uint32_t tick = static_cast<uint32_t>(t.tick);
            if (tick == last.tick) {
                last.microsPerQuarter = t.micros;  // the latest change on a tick wins
                continue;
            }
            out.tempos.push_back({tick, last.frame + FramesFor(out, last, tick - last.tick), t.micros});
        }
    }
    out.events.reserve(raw.size());
    for (const RawEvent& e : raw) {
        const uint32_t tick = static_cast<uint32_t>(e.tick);
        out.events.push_back({tick, 0, e.status, e.data1, e.data2});
    }
    for (MidiEvent& e : out.events) e.frame = MidiTickToFrame(out, e.tick);
    out.endTick = static_cast<uint32_t>(songEnd);
    out.endFrame = MidiTickToFrame(out, out.endTick);
    song = std::move(out);
    error.clear();
    return true;
}

bool ReadMidiFile(const char* path, MidiSong& song, std::string& error) {
    song = MidiSong{};
    if (!path) return Fail(error, "no file name");
    // Tunes are named as the game names them; the file may differ in case.
    FILE* f = std::fopen(ResolveAssetPath(path).c_str(), "rb");
    if (!f) return Fail(error, "cannot open the file");
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0) {
        if (bytes.size() + n > kMidiMaxFileSize) {
            std::fclose(f);
            return Fail(error, "file too large");
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    std::fclose(f);
    return ParseMidi(bytes.data(), bytes.size(), song, error);
}

int64_t MidiTickToFrame(const MidiSong& song, uint32_t tick) {
    if (song.tempos.empty()) return 0;
    const MidiTempo& t = TempoAt(song, tick);
    return t.frame + FramesFor(song, t, tick - t.tick);
}

uint32_t MidiFrameToTick(const MidiSong& song, int64_t frame) {
    if (song.tempos.empty() || frame <= 0) return 0;
    auto it = std::upper_bound(song.tempos.begin(), song.tempos.end(), frame,
                               [](int64_t f, const MidiTempo& m) { return f < m.frame; });
    const MidiTempo& t = *(it - 1);
    const double seconds = static_cast<double>(frame - t.frame) / kAudioRate;
    double ticks;
    if (song.ticksPerSecondSmpte > 0) {
        ticks = seconds * song.ticksPerSecondSmpte;
    } else {
        ticks = seconds * 1e6 * song.ticksPerQuarter / t.microsPerQuarter;
    }
    const double tick = t.tick + std::floor(ticks + 1e-6);
    return tick >= kMaxTick ? static_cast<uint32_t>(kMaxTick) : static_cast<uint32_t>(tick);
}

void MidiCursorReset(MidiCursor& cursor, const MidiSong* song) {
    cursor = MidiCursor{};
    cursor.song = song;
    if (!song) return;
    for (const MidiEvent& e : song->events) cursor.usedChannels |= uint16_t(1u << (e.status & 0x0f));
}

void MidiCursorSeek(MidiCursor& cursor, uint32_t tick, const MidiSink& sink) {
    const MidiSong* song = cursor.song;
    if (!song) return;
    if (tick > song->endTick) tick = song->endTick;
    size_t i = 0;
    for (; i < song->events.size() && song->events[i].tick < tick; ++i) {
        const MidiEvent& e = song->events[i];
        const uint8_t kind = e.status & 0xf0;
        if (kind == 0xb0 || kind == 0xc0 || kind == 0xe0) sink.event(sink.user, e.status, e.data1, e.data2);
    }
    cursor.next = i;
    cursor.frame = MidiTickToFrame(*song, tick);
}

namespace {
// Releases every note the song may still hold, as its end is reached.
void ReleaseChannels(const MidiCursor& cursor, const MidiSink& sink) {
    for (int ch = 0; ch < 16; ++ch) {
        if (!(cursor.usedChannels & (1u << ch))) continue;
        sink.event(sink.user, static_cast<uint8_t>(0xb0 | ch), 64, 0);   // sustain pedal up
        sink.event(sink.user, static_cast<uint8_t>(0xb0 | ch), 123, 0);  // all notes off
    }
}
}  // namespace

void MidiCursorAdvance(MidiCursor& cursor, float* mix, int frames, const MidiSink& sink) {
    int offset = 0;
    const MidiSong* song = cursor.song;
    bool wrapped = false;
    while (frames > 0 && cursor.playing && song) {
        const size_t count = song->events.size();
        if (cursor.next < count && song->events[cursor.next].frame <= cursor.frame) {
            const MidiEvent& e = song->events[cursor.next++];
            sink.event(sink.user, e.status, e.data1, e.data2);
            continue;
        }
        if (cursor.next >= count && cursor.frame >= song->endFrame) {
            ReleaseChannels(cursor, sink);
            // One wrap per block at most: a song of (almost) no length cannot spin the audio thread.
            const uint32_t start = std::min(cursor.loopStart, song->endTick);
            const int64_t startFrame = MidiTickToFrame(*song, start);
            // A loop of no length cannot repeat: the song ends instead.
            const bool again = cursor.loop && cursor.repeatsLeft != 0 && startFrame < song->endFrame;
            if (again && !wrapped) {
                wrapped = true;
                if (cursor.repeatsLeft > 0) --cursor.repeatsLeft;
                // The channels keep the settings of the pass just played.
                cursor.next = static_cast<size_t>(
                    std::lower_bound(song->events.begin(), song->events.end(), start,
                                     [](const MidiEvent& e, uint32_t t) { return e.tick < t; }) -
                    song->events.begin());
                cursor.frame = startFrame;
                continue;
            }
            if (!again) cursor.playing = false;
            break;
        }
        const int64_t until = cursor.next < count ? song->events[cursor.next].frame : song->endFrame;
        const int n = static_cast<int>(std::min<int64_t>(frames, until - cursor.frame));
        sink.render(sink.user, mix, offset, n);
        cursor.frame += n;
        offset += n;
        frames -= n;
    }
    if (frames > 0) sink.render(sink.user, mix, offset, frames);
}

uint32_t MidiCursorTick(const MidiCursor& cursor) {
    if (!cursor.song) return 0;
    return std::min(MidiFrameToTick(*cursor.song, cursor.frame), cursor.song->endTick);
}
