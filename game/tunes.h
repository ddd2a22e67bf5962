// The game's music through whichever player the BGM Type setting chooses: the background-music
// library (KBGM System, 2) or the MIDI player (Direct Music, 1); with No BGM & Sounds (0) no music
// command does anything. A tune is loaded into both players at once, so switching the setting
// between scenes needs no reload.
#pragma once

extern bool kbgmReady;  // the background-music library passed the boot probe
extern int kbgmHandle;  // its song handle

// The boot's probe of the library: open, load, play, stop. True when it all worked.
bool ProbeBackgroundMusic(const char* file);
// Stops and frees the library's song (retrying while it still plays) and closes the library.
void ReleaseBackgroundMusic();

// Replaces the tune in both players by a ".mid" file (relative to the working directory); it
// does not start playing. The library refuses to free a song that still plays: it is stopped and
// asked again, a bounded number of times, so a library that never lets go cannot hang the game.
void SwitchTune(const char* file);
// Plays the loaded tune from its start, looping; the MIDI player is left alone when it already plays.
void PlayTune();
void PauseTune();
void ResumeTune();
// The library fades the tune out over speed x 0.5 seconds; the MIDI player stops at once.
void FadeOutTune(int speed);
// Both players stopped; the MIDI player's piece released.
void StopTune();
