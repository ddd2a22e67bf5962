// Sound effects: the sound service (the game's audio stream) and the `Sound` resource, a WAV
// file (integer PCM or float, platform/wav_file) loaded whole and played from its start on demand,
// once or looping.
#pragma once
#include <string>

#include "framework/config_file.h"

// "/3ds" turns 3D sound off, "/fx" effect-capable buffers; both are on by default.
extern bool sound3D;
extern bool soundFx;
// The player's effects volume in percent (korvan.cfg "sound.effects_volume").
extern ConfigSetting effectsVolume;

// Starts the audio stream. A machine without a usable sound device logs it and runs silent: this
// never ends the start-up.
bool InitDirectSound();
void FreeDirectSound();

class Sound {
public:
    Sound() = default;
    ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // Loads a WAV file (path relative to the working directory) in place of what was held.
    bool Load(const char* path);
    // Plays from the beginning, looping when asked; a sound never overlaps itself.
    void Play(bool loop);
    void Stop();
    bool IsPlaying() const;
    // Safe on an empty sound.
    void Release();

    int buffer = 0;    // the clip in the audio stream; 0 when nothing plays
    std::string name;  // path of the last load attempt; emptied by Release
};
