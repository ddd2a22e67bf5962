// Music: the MIDI music player the game calls DirectMusic (a SoundFont synthesizer on the game's
// audio stream). One piece at a time; it plays from a resume point, which pausing sets and
// stopping clears.
#pragma once
#include <cstdint>

#include "framework/config_file.h"

// Where the next PlayMusic starts, in ticks of the loaded piece.
extern uint32_t musicResumePoint;
// The player's music volume in percent (korvan.cfg "sound.music_volume"), for both players.
extern ConfigSetting musicVolume;

bool InitDirectMusic();
void FreeDirectMusic();

// Replaces the loaded piece (path relative to the working directory).
bool LoadMusic(const char* path);
// Stops and releases the piece.
void UnloadMusic();
// Plays from musicResumePoint, repeating without end when loop is true.
void PlayMusic(bool loop);
// Stops and remembers where, so the next PlayMusic continues there.
void PauseMusic();
// Stops and forgets the position.
void StopMusic();
// True only while the loaded piece is playing.
bool IsMusicPlaying();
