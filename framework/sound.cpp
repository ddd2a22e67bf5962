#include "framework/sound.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/config_file.h"
#include "framework/debug_log.h"
#include "platform/asset_path.h"
#include "platform/audio.h"

bool sound3D = true;
bool soundFx = true;
ConfigSetting effectsVolume{"sound.effects_volume", 100, 0, 100, "loudness of the sound effects, in percent"};

namespace {

// A sound effect longer than this is refused (about six minutes in the stream's format).
constexpr size_t kMaxClipFrames = 16u << 20;
constexpr long kMaxWavFile = 256L << 20;

struct Chunk {
    char id[4];
    size_t offset;  // of the chunk's data in the file
    uint32_t size;  // as declared
};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// The chunks directly inside the RIFF form, in file order. A chunk header cut by the end of the
// form ends the list; a chunk's declared size is kept as is (the caller checks it against the file).
std::vector<Chunk> ListChunks(const std::vector<uint8_t>& file, size_t formEnd) {
    std::vector<Chunk> chunks;
    size_t at = 12;
    while (at + 8 <= formEnd) {
        Chunk c;
        std::memcpy(c.id, &file[at], 4);
        c.size = Le32(&file[at + 4]);
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

bool ReadWholeFile(const char* path, std::vector<uint8_t>& out, bool& tooLarge) {
    tooLarge = false;
    // Sounds are named as the game names them; the file may differ in case.
    FILE* f = std::fopen(ResolveAssetPath(path).c_str(), "rb");
    if (!f) return false;
    if (std::fseek(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        return false;
    }
    const long size = std::ftell(f);
    if (size < 0 || size > kMaxWavFile) {
        tooLarge = size > kMaxWavFile;
        std::fclose(f);
        return tooLarge;
    }
    std::rewind(f);
    out.resize(static_cast<size_t>(size));
    const size_t got = size > 0 ? std::fread(out.data(), 1, out.size(), f) : 0;
    std::fclose(f);
    out.resize(got);
    return true;
}

// Decodes PCM of 8 (unsigned), 16, 24 or 32 bits to floats in -1..1.
void Decode(const uint8_t* data, size_t frames, int channels, int bits, int blockAlign, std::vector<float>& out) {
    out.resize(frames * channels);
    const int bytes = bits / 8;
    for (size_t f = 0; f < frames; ++f) {
        const uint8_t* frame = data + f * blockAlign;
        for (int c = 0; c < channels; ++c) {
            const uint8_t* s = frame + c * bytes;
            float v;
            switch (bits) {
                case 8: v = (s[0] - 128) / 128.0f; break;
                case 16: v = static_cast<int16_t>(Le16(s)) / 32768.0f; break;
                case 24: v = static_cast<int32_t>((s[0] << 8) | (s[1] << 16) | (uint32_t(s[2]) << 24)) / 2147483648.0f; break;
                default: v = static_cast<int32_t>(Le32(s)) / 2147483648.0f; break;
            }
            out[f * channels + c] = v;
        }
    }
}

}  // namespace

bool InitDirectSound() {
    LogSeparator();
    Log("InitDirectSound\n");
    Log("3Dサウンド = ");
    sound3D = !HasSwitch("/3ds");
    Log(sound3D ? "ON\n" : "OFF\n");
    Log("エフェクト = ");
    soundFx = !HasSwitch("/fx");
    Log(soundFx ? "ON\n" : "OFF\n");
    AudioSetEffectsVolume(effectsVolume.value / 100.0f);
    // No device is not a reason to stop the game: the stream logs it and sounds stay silent.
    AudioStart(AudioOutput::kDevice);
    return true;
}

void FreeDirectSound() {
    LogSeparator();
    Log("FreeDirectSound\n");
    AudioStop();
}

Sound::~Sound() {
    // Quietly: the game releases its sounds in its quit routine; this only covers forgotten ones.
    if (buffer) AudioDestroyClip(buffer);
    buffer = 0;
}

bool Sound::Load(const char* path) {
    if (buffer) Release();
    const char* shown = path ? path : "";
    Log("load(%s) ... ", shown);
    name = shown;

    std::vector<uint8_t> file;
    bool tooLarge = false;
    if (!path || !ReadWholeFile(path, file, tooLarge)) {
        Log("open error.\n");
        return false;
    }
    if (tooLarge) {
        Log("out of memory.\n");
        return false;
    }
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(&file[8], "WAVE", 4) != 0) {
        Log("RIFF is not found.\n");
        return false;
    }
    // The form ends where it says, or where the file does when it says more.
    const size_t formEnd = std::min<uint64_t>(file.size(), 8ull + Le32(&file[4]));
    const std::vector<Chunk> chunks = ListChunks(file, formEnd);

    // The format chunk is looked up by name: a file may carry other chunks before it.
    const Chunk* fmt = FindChunk(chunks, "fmt ");
    if (!fmt || fmt->size < 16) {
        Log("fmt is not found.\n");
        return false;
    }
    if (fmt->offset + fmt->size > file.size()) {
        Log("ascend error.\n");
        return false;
    }
    const uint8_t* f = &file[fmt->offset];
    const int tag = Le16(f);
    const int channels = Le16(f + 2);
    const uint32_t rate = Le32(f + 4);
    const int blockAlign = Le16(f + 12);
    const int bits = Le16(f + 14);
    const bool playable = channels >= 1 && channels <= 8 && rate >= 1000 && rate <= 384000 &&
                          (bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
                          blockAlign >= channels * (bits / 8);
    if (tag != 1 || !playable) {
        Log("is not PCM format.\n");
        return false;
    }
    const Chunk* data = FindChunk(chunks, "data");
    if (!data) {
        Log("chunk is not found.\n");
        return false;
    }
    // A data chunk that claims more than the file holds is refused rather than played with a tail
    // of whatever happened to be in memory.
    if (static_cast<uint64_t>(data->offset) + data->size > file.size()) {
        Log("data runs past the end of the file.\n");
        return false;
    }
    const size_t frames = data->size / static_cast<size_t>(blockAlign);
    if (frames == 0) {
        // Nothing to hear: the sound loads empty and stays silent.
        Log("data is too small.\n");
        Log("ok.\n");
        return true;
    }
    std::vector<float> samples;
    Decode(&file[data->offset], frames, channels, bits, blockAlign, samples);
    file.clear();
    file.shrink_to_fit();
    std::vector<int16_t> stereo;
    if (!AudioResample(samples, channels, static_cast<int>(rate), stereo, kMaxClipFrames)) {
        Log("out of memory.\n");
        return false;
    }
    buffer = AudioCreateClip(std::move(stereo));
    if (!buffer) {
        Log("out of memory.\n");
        return false;
    }
    Log("ok.\n");
    return true;
}

void Sound::Play(bool loop) {
    if (buffer) AudioPlayClip(buffer, loop);
}

void Sound::Stop() {
    if (buffer) AudioStopClip(buffer);
}

bool Sound::IsPlaying() const { return buffer && AudioClipPlaying(buffer); }

void Sound::Release() {
    if (!name.empty()) {
        Log("release(%s)\n", name.c_str());
        name.clear();
    }
    if (buffer) {
        AudioStopClip(buffer);
        AudioDestroyClip(buffer);
    }
    buffer = 0;
}
