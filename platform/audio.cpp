#include "platform/audio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/log_sink.h"

namespace {

struct Clip {
    std::vector<int16_t> frames;  // interleaved stereo
    size_t position = 0;          // next frame to play
    bool used = false;
    bool playing = false;
    bool loop = false;
};

struct Source {
    AudioSourceProc proc = nullptr;
    void* user = nullptr;
};

// Frames mixed per pass; the device block is split into passes of this size.
constexpr int kMixChunk = 512;

// Both live for the whole process and are never destroyed: sounds held in the game's static tables
// may release their clips while the program's statics are being torn down.
std::recursive_mutex& streamLock = *new std::recursive_mutex;
Clip* const clips = new Clip[kAudioMaxClips];
Source sources[2];
bool running = false;
bool pulled = false;
bool paused = false;
bool subsystemStarted = false;
SDL_AudioDeviceID device = 0;
bool deviceLost = false;       // the device went away and is not open again yet
uint32_t nextReopenMs = 0;     // when to try opening it again
float effectsGain = 1.0f;      // read by the mix under the stream's lock
float musicGain = 1.0f;
float mixBuffer[kMixChunk * 2];
float musicBuffer[kMixChunk * 2];

// A lost device that cannot be opened again is retried this often.
constexpr uint32_t kReopenIntervalMs = 3000;

struct ClipSpan {
    Clip* begin() const { return clips; }
    Clip* end() const { return clips + kAudioMaxClips; }
};
inline ClipSpan ClipRange() { return {}; }

// Full scale is 32768 both ways, so a 16-bit clip passes through the mixer unchanged.
inline int16_t ToSample(float v) {
    float s = v * 32768.0f;
    if (s > 32767.0f) s = 32767.0f;
    if (s < -32768.0f) s = -32768.0f;
    return static_cast<int16_t>(std::lrintf(s));
}

// Music and a few loud effects together can pass full scale: above the knee the peaks are bent
// smoothly towards full scale instead of being cut square (which crackles).
inline float SoftLimit(float v) {
    constexpr float kKnee = 0.8f, kRoom = 1.0f - kKnee;
    const float a = std::fabs(v);
    if (a <= kKnee) return v;
    const float bent = kKnee + kRoom * std::tanh((a - kKnee) / kRoom);
    return v < 0 ? -bent : bent;
}

// Mixes one pass of at most kMixChunk frames. The lock is held by the caller.
void MixPass(int16_t* out, int frames) {
    std::fill(mixBuffer, mixBuffer + frames * 2, 0.0f);
    const float kClipScale = effectsGain / 32768.0f;
    for (Clip& c : ClipRange()) {
        if (!c.used || !c.playing) continue;
        const size_t total = c.frames.size() / 2;
        if (total == 0) {
            c.playing = false;
            continue;
        }
        int done = 0;
        while (done < frames) {
            if (c.position >= total) {
                if (!c.loop) {
                    c.playing = false;
                    break;
                }
                c.position = 0;
            }
            const int n = static_cast<int>(std::min<size_t>(total - c.position, frames - done));
            const int16_t* src = c.frames.data() + c.position * 2;
            float* dst = mixBuffer + done * 2;
            for (int i = 0; i < n * 2; ++i) dst[i] += src[i] * kClipScale;
            c.position += n;
            done += n;
        }
        if (c.position >= total && !c.loop) c.playing = false;
    }
    // The music is rendered apart so that its own volume applies to it.
    std::fill(musicBuffer, musicBuffer + frames * 2, 0.0f);
    for (const Source& s : sources) {
        if (s.proc) s.proc(s.user, musicBuffer, frames);
    }
    for (int i = 0; i < frames * 2; ++i) mixBuffer[i] += musicBuffer[i] * musicGain;
    for (int i = 0; i < frames * 2; ++i) out[i] = ToSample(SoftLimit(mixBuffer[i]));
}

void MixBlock(int16_t* out, int frames) {
    while (frames > 0) {
        const int n = std::min(frames, kMixChunk);
        MixPass(out, n);
        out += n * 2;
        frames -= n;
    }
}

void DeviceCallback(void*, Uint8* stream, int len) {
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    MixBlock(reinterpret_cast<int16_t*>(stream), len / 4);
}

// Quietly when retrying a lost device: its failures were reported once already.
bool OpenDevice(bool quiet = false) {
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            if (!quiet) PlatformWarning("audio: no sound driver (%s); sounds are silent\n", SDL_GetError());
            return false;
        }
        subsystemStarted = true;
    }
    SDL_AudioSpec want{};
    want.freq = kAudioRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = DeviceCallback;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device really runs at.
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        if (!quiet) PlatformWarning("audio: the sound device cannot be opened (%s); sounds are silent\n", SDL_GetError());
        if (subsystemStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted = false;
        return false;
    }
    PlatformLog("audio: %s, %d Hz, 16-bit stereo\n", SDL_GetCurrentAudioDriver(), kAudioRate);
    return true;
}

}  // namespace

bool AudioStart(AudioOutput output) {
    if (running) return true;
    deviceLost = false;
    if (output == AudioOutput::kDevice) {
        if (!OpenDevice()) return false;
        running = true;
        pulled = false;
        SDL_PauseAudioDevice(device, paused ? 1 : 0);
        return true;
    }
    running = true;
    pulled = true;
    return true;
}

void AudioStop() {
    if (device != 0) {
        SDL_CloseAudioDevice(device);  // waits for the callback to finish
        device = 0;
    }
    if (subsystemStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystemStarted = false;
    deviceLost = false;
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    running = false;
    pulled = false;
    // Clips stay held by their owners (who release them); they only stop sounding.
    for (Clip& c : ClipRange()) c.playing = false;
}

bool AudioRunning() { return running; }
bool AudioPulled() { return running && pulled; }

void AudioSetPaused(bool pause) {
    paused = pause;
    if (device != 0) SDL_PauseAudioDevice(device, pause ? 1 : 0);
}

bool AudioPaused() { return paused; }

void AudioSetEffectsVolume(float volume) {
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    effectsGain = std::clamp(volume, 0.0f, 1.0f);
}

void AudioSetMusicVolume(float volume) {
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    musicGain = std::clamp(volume, 0.0f, 1.0f);
}

void AudioCheckDevice() {
    if (!running || pulled) return;
    if (!deviceLost) {
        if (device == 0 || SDL_GetAudioDeviceStatus(device) != SDL_AUDIO_STOPPED) return;
        PlatformWarning("audio: the sound device was lost; opening it again\n");
        SDL_CloseAudioDevice(device);
        device = 0;
        deviceLost = true;
        nextReopenMs = SDL_GetTicks();
    }
    if (static_cast<int32_t>(SDL_GetTicks() - nextReopenMs) < 0) return;
    if (!OpenDevice(true)) {
        nextReopenMs = SDL_GetTicks() + kReopenIntervalMs;
        return;
    }
    // The mix picks up where it was: the clips and the music kept their positions meanwhile.
    deviceLost = false;
    SDL_PauseAudioDevice(device, paused ? 1 : 0);
    PlatformLog("audio: the sound device is back\n");
}

bool AudioDeviceOpen() { return running && !pulled && device != 0; }

void AudioLoseDeviceForTest() {
    // SDL answers "stopped" for a device it no longer has, as it does for a disconnected one.
    if (device != 0) SDL_CloseAudioDevice(device);
}

void AudioRender(int16_t* stereo, int frames) {
    if (!stereo || frames <= 0) return;
    if (!running || !pulled || paused) {
        std::memset(stereo, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames));
        return;
    }
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    MixBlock(stereo, frames);
}

void AudioLock() { streamLock.lock(); }
void AudioUnlock() { streamLock.unlock(); }

void AudioSetSource(int slot, AudioSourceProc proc, void* user) {
    if (slot < 0 || slot > 1) return;
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    sources[slot].proc = proc;
    sources[slot].user = user;
}

int AudioCreateClip(std::vector<int16_t>&& stereoFrames) {
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    for (int i = 0; i < kAudioMaxClips; ++i) {
        if (clips[i].used) continue;
        clips[i] = Clip{};
        clips[i].frames = std::move(stereoFrames);
        clips[i].used = true;
        return i + 1;
    }
    return 0;
}

void AudioDestroyClip(int clip) {
    if (clip < 1 || clip > kAudioMaxClips) return;
    std::vector<int16_t> freed;
    {
        std::lock_guard<std::recursive_mutex> guard(streamLock);
        freed.swap(clips[clip - 1].frames);
        clips[clip - 1] = Clip{};
    }
    // The memory goes back outside the lock, so the audio thread never waits on it.
}

void AudioPlayClip(int clip, bool loop) {
    if (clip < 1 || clip > kAudioMaxClips) return;
    AudioCheckDevice();
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    Clip& c = clips[clip - 1];
    if (!c.used) return;
    c.position = 0;
    c.loop = loop;
    // Without a running stream nothing would ever advance it: the sound stays silent and stopped.
    c.playing = running && !c.frames.empty();
}

void AudioStopClip(int clip) {
    if (clip < 1 || clip > kAudioMaxClips) return;
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    clips[clip - 1].playing = false;
}

bool AudioClipPlaying(int clip) {
    if (clip < 1 || clip > kAudioMaxClips) return false;
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    return clips[clip - 1].used && clips[clip - 1].playing;
}

int AudioClipCount() {
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    int n = 0;
    for (const Clip& c : ClipRange()) n += c.used ? 1 : 0;
    return n;
}

bool AudioResample(const std::vector<float>& samples, int channels, int rate, std::vector<int16_t>& out,
                   size_t maxFrames) {
    out.clear();
    if (channels < 1 || rate < 1) return false;
    const size_t inFrames = samples.size() / static_cast<size_t>(channels);
    if (inFrames == 0) return true;
    const double step = static_cast<double>(rate) / kAudioRate;
    const double outCount = std::ceil(static_cast<double>(inFrames) / step);
    if (outCount > static_cast<double>(maxFrames)) return false;
    const size_t outFrames = static_cast<size_t>(outCount);
    out.resize(outFrames * 2);
    // A mono sound goes to both sides; beyond two channels only the front pair is heard.
    const int right = channels > 1 ? 1 : 0;
    for (size_t i = 0; i < outFrames; ++i) {
        const double at = i * step;
        size_t i0 = static_cast<size_t>(at);
        if (i0 >= inFrames) i0 = inFrames - 1;
        const size_t i1 = std::min(i0 + 1, inFrames - 1);
        const float t = static_cast<float>(at - static_cast<double>(i0));
        const float* a = &samples[i0 * channels];
        const float* b = &samples[i1 * channels];
        out[i * 2] = ToSample(a[0] + (b[0] - a[0]) * t);
        out[i * 2 + 1] = ToSample(a[right] + (b[right] - a[right]) * t);
    }
    return true;
}
