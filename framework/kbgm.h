// The background-music library: ten calls that play one Standard MIDI File song at a time through a
// song handle, on our own synthesizer (no SoundFont). Every call returns at once; the music is
// rendered on the game's audio stream.
#pragma once

// Results. The game relies on 0 (success) and on kKbgmBusy from KBGMFree.
constexpr int kKbgmOk = 0;
constexpr int kKbgmNoOutput = 0x1001;     // the library is not open, or there is no audio stream
constexpr int kKbgmBadHandle = 0x1002;    // no song has this handle
constexpr int kKbgmBusy = 0x1003;         // 4099: the song is playing, paused or fading; stop it first
constexpr int kKbgmFileError = 0x1004;    // the file is missing or not a Standard MIDI File
constexpr int kKbgmBadArgument = 0x1005;
constexpr int kKbgmTableFull = 0x1006;    // as many songs are loaded as KBGMOpen allowed

// Opens the library on the game's stream. songSlots: songs that may be loaded at once (1..16);
// device: -1, the game's own output (the only one there is). Opening an open library succeeds.
int KBGMOpen(int songSlots, int device);
// Loads a file (relative to the working directory) and writes its handle; 0 is written on failure.
int KBGMLoadFile(int* handle, const char* file);
// Plays the song from its start; with repeat nonzero it loops (see KBGMSetRepeat), else plays once.
int KBGMPlay(int handle, int repeat);
// Stops the current song at once.
int KBGMStop();
// Frees a song; kKbgmBusy while it is playing, paused or fading.
int KBGMFree(int handle);
// Stops and frees everything and closes the library.
int KBGMClose();
// Fades the song out over speed x 0.5 seconds, then stops it (speed 0 or less stops at once).
int KBGMFadeOut(int handle, int speed);
// Holds the current song; its notes are released.
int KBGMPause();
// Continues the held song from where it was.
int KBGMResume(int handle);
// Where loops go back to, in quarter notes from the song's start, and how many loops follow the
// first pass (a negative count loops without end, which is also the setting of a new song).
int KBGMSetRepeat(int handle, int loopStartBeat, int repeats);
