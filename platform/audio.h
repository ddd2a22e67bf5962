// The game's one audio stream: 44100 Hz, 16-bit stereo. It mixes the sound-effect clips and the
// music of the two synthesizers (the SoundFont player and our own background-music synthesizer).
// The stream either feeds the sound device, or is pulled by the caller (tests, benchmarks).
// Plain types only; SDL stays inside audio.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kAudioRate = 44100;
// Clips that can be held at once (the game keeps 16 sounds; tests and reloads need headroom).
constexpr int kAudioMaxClips = 64;

enum class AudioOutput {
    kDevice,  // the sound device plays the stream; its callback renders on SDL's audio thread
    kPull,    // no device: AudioRender produces the stream on demand
};

// Starts the stream. With kDevice a device that cannot be opened is logged and the stream stays
// stopped (false); the game goes on silent. Starting an already running stream keeps it as it is.
bool AudioStart(AudioOutput output);
// Stops the stream and closes the device. Clips stay held (stopped) until destroyed.
void AudioStop();
// True while the stream runs (device open, or pull mode).
bool AudioRunning();
bool AudioPulled();

// Pauses the whole stream (effects and music stop where they are) or resumes it; the game pauses
// it while its window is in the background. In pull mode a paused stream renders silence and
// nothing advances.
void AudioSetPaused(bool paused);
bool AudioPaused();

// Loudness of the effects (the clips) and of the music (the two synthesizers), 0 silent to 1 as
// made; values outside are clamped.
void AudioSetEffectsVolume(float volume);
void AudioSetMusicVolume(float volume);

// A sound device that went away (unplugged headphones, a restarted sound server) is opened again,
// so effects and music both go on; a device that cannot be opened yet is tried again every few
// seconds, the game silent meanwhile. Cheap: call it once a frame and before starting a sound.
void AudioCheckDevice();
// True while a sound device is open (false in pull mode and while a lost device is not back).
bool AudioDeviceOpen();
// For tests: closes the device as a disconnection would, without telling the stream.
void AudioLoseDeviceForTest();

// Renders the next frames of the mix into interleaved stereo (2 x frames values). Only in pull
// mode; otherwise the buffer is filled with silence and nothing advances.
void AudioRender(int16_t* stereo, int frames);

// The stream's own lock: held while a block is rendered. Synthesizers take it around every change
// of the state their render routines read.
void AudioLock();
void AudioUnlock();

// A music source adds `frames` frames of interleaved stereo float (full scale 1.0) into `mix`.
// Called with the lock held, on the audio thread.
using AudioSourceProc = void (*)(void* user, float* mix, int frames);
// Two slots: 0 the SoundFont player, 1 the background-music synthesizer. Null removes a source.
constexpr int kAudioSourceMidi = 0;
constexpr int kAudioSourceBgm = 1;
void AudioSetSource(int slot, AudioSourceProc proc, void* user);

// Clips: whole sounds converted to the stream's format at load. A clip plays from its start, once or
// looping, and never overlaps itself. Ids are 1..kAudioMaxClips; 0 means none.
int AudioCreateClip(std::vector<int16_t>&& stereoFrames);
void AudioDestroyClip(int clip);
void AudioPlayClip(int clip, bool loop);  // restarts from the beginning
void AudioStopClip(int clip);
bool AudioClipPlaying(int clip);
int AudioClipCount();  // clips currently held

// Converts PCM samples of any rate and channel count to the stream's rate in stereo, by linear
// interpolation. `samples` holds frames x channels values, normalised to -1..1 by the caller's
// decoding. Returns false (and leaves `out` empty) when the result would exceed maxFrames.
bool AudioResample(const std::vector<float>& samples, int channels, int rate, std::vector<int16_t>& out,
                   size_t maxFrames);
