#include "framework/sound.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "framework/config_file.h"
#include "framework/debug_log.h"
#include "platform/asset_path.h"
#include "platform/audio.h"
#include "platform/wav_file.h"

bool sound3D = true;
bool soundFx = true;
ConfigSetting effectsVolume{"sound.effects_volume", 100, 0, 100, "loudness of the sound effects, in percent"};

namespace {

// A sound effect longer than this is refused (about six minutes in the stream's format).
constexpr size_t kMaxClipFrames = 16u << 20;
constexpr long kMaxWavFile = 256L << 20;

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
    WavSound wav;
    const char* reason = "";
    if (!WavDecode(file.data(), file.size(), kMaxClipFrames, wav, &reason)) {
        Log("%s\n", reason);
        return false;
    }
    file.clear();
    file.shrink_to_fit();
    if (wav.samples.empty()) {
        // Nothing to hear: the sound loads empty and stays silent.
        Log("data is too small.\n");
        Log("ok.\n");
        return true;
    }
    std::vector<int16_t> stereo;
    if (!AudioResample(wav.samples, wav.channels, wav.rate, stereo, kMaxClipFrames)) {
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
