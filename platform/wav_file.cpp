#include "platform/wav_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/audio.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

constexpr int kTagPcm = 1, kTagFloat = 3, kTagExtensible = 0xFFFE;
// WAVE_FORMAT_EXTENSIBLE names its coding by a GUID whose first two bytes are the plain format tag
// and whose other fourteen are always these.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct Chunk {
    char id[4];
    size_t offset;  // of the chunk's data in the file
    uint32_t size;  // as declared
};

// The chunks directly inside the RIFF form, in file order. A chunk header cut by the end of the
// form ends the list; a chunk's declared size is kept as is (the caller checks it against the file).
std::vector<Chunk> ListChunks(const uint8_t* file, size_t formEnd) {
    std::vector<Chunk> chunks;
    size_t at = 12;
    while (at + 8 <= formEnd) {
        Chunk c;
        std::memcpy(c.id, file + at, 4);
        c.size = Le32(file + at + 4);
        c.offset = at + 8;
        chunks.push_back(c);
        // Chunks are padded to an even length.
        const uint64_t next = static_cast<uint64_t>(c.offset) + c.size + (c.size & 1);
        if (next > formEnd) break;
        at = static_cast<size_t>(next);
    }
    return chunks;
}

const Chunk* FindChunk(const std::vector<Chunk>& chunks, const char* id) {
    for (const Chunk& c : chunks) {
        if (std::memcmp(c.id, id, 4) == 0) return &c;
    }
    return nullptr;
}

// The reason for a coding the effects cannot play, by its format tag.
const char* RefusedCoding(int tag) {
    switch (tag) {
        case 0x0002:  // Microsoft ADPCM
        case 0x0011:  // IMA ADPCM
            return "ADPCM is not supported.";
        case 0x0006: return "A-law is not supported.";
        case 0x0007: return "mu-law is not supported.";
        case 0x0031: return "GSM 6.10 is not supported.";
        case 0x0050: return "MPEG is not supported.";
        case 0x0055: return "MP3 is not supported.";
        default: return "is not PCM format.";
    }
}

// How each sample sits in the data: integer PCM in a slot of `slot` bytes whose significant
// `bytes` begin at `start`, or IEEE float of `bytes` bytes.
struct Layout {
    bool isFloat = false;
    int channels = 0;
    int blockAlign = 0;
    int bytes = 0;
    int slot = 0;
    int start = 0;
};

float Sample(const Layout& l, const uint8_t* s) {
    if (l.isFloat) {
        double v;
        if (l.bytes == 4) {
            float f;
            std::memcpy(&f, s, 4);
            v = f;
        } else {
            std::memcpy(&v, s, 8);
        }
        // Float sound may pass full scale; the mix takes -1..1 (and nothing for a value that is none).
        if (std::isnan(v)) return 0.0f;
        return static_cast<float>(v < -1.0 ? -1.0 : v > 1.0 ? 1.0 : v);
    }
    if (l.bytes == 1 && l.slot == 1) return (s[0] - 128) / 128.0f;  // eight bits are unsigned
    uint32_t v = 0;
    for (int i = 0; i < l.bytes; ++i) v |= static_cast<uint32_t>(s[l.start + i]) << (8 * (4 - l.bytes + i));
    return static_cast<int32_t>(v) / 2147483648.0f;
}

}  // namespace

bool WavDecode(const uint8_t* file, size_t size, size_t maxStreamFrames, WavSound& out, const char** reason) {
    out = WavSound{};
    auto fail = [&](const char* why) {
        *reason = why;
        return false;
    };
    if (size < 12 || std::memcmp(file, "RIFF", 4) != 0) return fail("RIFF is not found.");
    if (std::memcmp(file + 8, "WAVE", 4) != 0) return fail("not a WAVE file.");
    // The form ends where it says, or where the file does when it says more.
    const size_t formEnd = static_cast<size_t>(std::min<uint64_t>(size, 8ull + Le32(file + 4)));
    const std::vector<Chunk> chunks = ListChunks(file, formEnd);

    // The format chunk is looked up by name: a file may carry other chunks before it.
    const Chunk* fmt = FindChunk(chunks, "fmt ");
    if (!fmt || fmt->size < 16) return fail("fmt is not found.");
    if (fmt->offset + fmt->size > size) return fail("ascend error.");
    const uint8_t* f = file + fmt->offset;
    int tag = Le16(f);
    const int channels = Le16(f + 2);
    const uint32_t rate = Le32(f + 4);
    const int blockAlign = Le16(f + 12);
    const int bits = Le16(f + 14);
    if (tag == kTagExtensible) {
        // The coding is in the sub-format; the bits are the sample's container.
        if (fmt->size < 40 || Le16(f + 16) < 22 || std::memcmp(f + 26, kSubFormatTail, 14) != 0)
            return fail("is not PCM format.");
        tag = Le16(f + 24);
    }
    if (tag != kTagPcm && tag != kTagFloat) return fail(RefusedCoding(tag));

    Layout l;
    l.isFloat = tag == kTagFloat;
    l.channels = channels;
    l.blockAlign = blockAlign;
    l.bytes = bits / 8;
    const bool sizes = l.isFloat ? bits == 32 || bits == 64 : bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!sizes || channels < 1 || channels > 8 || rate < 1000 || rate > 384000 || blockAlign < channels * l.bytes)
        return fail("is not PCM format.");
    // Samples step by the block align shared out over the channels: 24 bits may sit in four bytes
    // each. A frame padded at its end only keeps its samples packed.
    l.slot = l.bytes;
    if (!l.isFloat && l.bytes > 1 && blockAlign % channels == 0 && blockAlign / channels <= 4)
        l.slot = blockAlign / channels;

    const Chunk* data = FindChunk(chunks, "data");
    if (!data) return fail("chunk is not found.");
    // A data chunk that claims more than the file holds is refused rather than played with a tail
    // of whatever happened to be in memory.
    if (static_cast<uint64_t>(data->offset) + data->size > size) return fail("data runs past the end of the file.");
    const size_t frames = data->size / static_cast<size_t>(blockAlign);
    if (static_cast<double>(frames) * kAudioRate / rate > static_cast<double>(maxStreamFrames))
        return fail("out of memory.");
    const uint8_t* pcm = file + data->offset;

    // A sample narrower than its slot is stored in the slot's high bytes, the low ones zero; some
    // writers put it in the low bytes instead, which shows as low bytes that are not all zero.
    if (l.slot > l.bytes) {
        const int pad = l.slot - l.bytes;
        bool lowBytesZero = true;
        for (size_t i = 0; i < frames && lowBytesZero; ++i)
            for (int c = 0; c < channels; ++c)
                for (int b = 0; b < pad; ++b) lowBytesZero &= pcm[i * blockAlign + c * l.slot + b] == 0;
        l.start = lowBytesZero ? pad : 0;
    }

    out.channels = channels;
    out.rate = static_cast<int>(rate);
    out.samples.resize(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) out.samples[i * channels + c] = Sample(l, pcm + i * blockAlign + c * l.slot);
    return true;
}
