// The game's sound effects: the sixteen sounds in load order, loaded once by the boot, and the
// routine every scene plays them through (silent while BGM Type is No BGM & Sounds).
#pragma once

#include "framework/sound.h"

enum SoundSlot {
    kSoundSignal1, kSoundSignal2, kSoundHit, kSoundDrift, kSoundRecover, kSoundEneHit,
    kSoundGetCrystal, kSoundBoost1, kSoundBoost2, kSoundSlide, kSoundEngine, kSoundThunder,
    kSoundWave, kSoundHeartBeat, kSoundAccept, kSoundCansel, kSoundCount
};
extern const char* const kSoundFiles[kSoundCount];
extern Sound sounds[kSoundCount];

// Loading (boot step 7, working directory already "data") and release (shutdown).
void LoadSounds();
void ReleaseSounds();

// Plays a shell or race sound only while sounds are on (BGM Type above 0), from its start.
void PlaySound(SoundSlot slot);
