#include "game/sound_effects.h"

#include "game/settings.h"

const char* const kSoundFiles[kSoundCount] = {
    "Signal1.wav", "Signal2.wav", "Hit.wav",    "Drift.wav",   "Recover.wav",   "EneHit.wav",
    "GetCrystal.wav", "Boost1.wav", "Boost2.wav", "Slide.wav", "Engine.wav",    "Thunder.wav",
    "Wave.wav",    "HeartBeat.wav", "Accept.wav", "Cansel.wav",
};
Sound sounds[kSoundCount];

void LoadSounds() {
    for (int i = 0; i < kSoundCount; ++i) sounds[i].Load(kSoundFiles[i]);
}

void ReleaseSounds() {
    for (Sound& s : sounds) s.Release();
}

void PlaySound(SoundSlot slot) {
    if (bgmType <= 0 || slot < 0 || slot >= kSoundCount) return;
    sounds[slot].Stop();
    sounds[slot].Play(false);
}
