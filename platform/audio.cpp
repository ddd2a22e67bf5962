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
bool subsystemStarted = false;
SDL_AudioDeviceID device = 0;
float mixBuffer[kMixChunk * 2];

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
    constexpr float kClipScale = 1.0f / 32768.0f;
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
    for (const Source& s : sources) {
        if (s.proc) s.proc(s.user, mixBuffer, frames);
    }
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

bool OpenDevice() {
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            PlatformLog("audio: no sound driver (%s); sounds are silent\n", SDL_GetError());
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
        PlatformLog("audio: the sound device cannot be opened (%s); sounds are silent\n", SDL_GetError());
        if (subsystemStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted = false;
        return false;
    }
    PlatformLog("audio: %s, %d Hz, 16-bit stereo\n", SDL_GetCurrentAudioDriver(), kAudioRate);
    return true;
}

// A device that went away (unplugged headphones, a restarted sound server) is opened again on the
// next play, the way a lost sound buffer is restored; when that fails the game goes on silent.
void RecoverLostDevice() {
    if (!running || pulled || device == 0 || SDL_GetAudioDeviceStatus(device) != SDL_AUDIO_STOPPED) return;
    PlatformLog("audio: the sound device was lost; opening it again\n");
    SDL_CloseAudioDevice(device);
    device = 0;
    if (OpenDevice()) {
        SDL_PauseAudioDevice(device, 0);
        return;
    }
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    running = false;
    for (Clip& c : ClipRange()) c.playing = false;
}

}  // namespace

bool AudioStart(AudioOutput output) {
    if (running) return true;
    if (output == AudioOutput::kDevice) {
        if (!OpenDevice()) return false;
        running = true;
        pulled = false;
        SDL_PauseAudioDevice(device, 0);
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
    std::lock_guard<std::recursive_mutex> guard(streamLock);
    running = false;
    pulled = false;
    // Clips stay held by their owners (who release them); they only stop sounding.
    for (Clip& c : ClipRange()) c.playing = false;
}

bool AudioRunning() { return running; }
bool AudioPulled() { return running && pulled; }

void AudioRender(int16_t* stereo, int frames) {
    if (!stereo || frames <= 0) return;
    if (!running || !pulled) {
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
    RecoverLostDevice();
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
