// The background-music synthesizer: our own compact General MIDI synthesizer for Standard MIDI Files,
// needing no SoundFont. Oscillator and noise voices with envelopes and filters, one patch per GM
// instrument family plus the drum kit on channel 10, velocity, volume, expression, pan, pitch bend,
// sustain and a small reverb. It renders on the game's audio stream; every call here only changes
// state under the stream's lock and returns at once.
#pragma once
#include <cstdint>
#include <string>

constexpr int kBgmMaxSongs = 16;
constexpr int kBgmMaxVoices = 64;

enum class BgmState { kStopped, kPlaying, kPaused, kFading };

// Attaches the synthesizer to the stream; false when the stream is not running.
bool BgmStart();
// Stops the music (a short ramp, the reverb rings out) and frees every song.
void BgmShutdown();
bool BgmStarted();

// Loads a song; returns its id (1..kBgmMaxSongs), or 0 with the reason in `error`.
int BgmLoad(const char* path, std::string& error);
// Frees a song that is not the current one (playing, paused or fading); false otherwise.
bool BgmFree(int song);
bool BgmLoaded(int song);

// Plays a song from its start (the current song, if another, stops first).
bool BgmPlay(int song, bool loop);
// Stops the current song at once (a few milliseconds of ramp, no click).
void BgmStop();
// Holds the current song where it is; its notes are released.
void BgmPause();
// Continues a paused song from where it was held.
bool BgmResume(int song);
// Fades the current song out over `ms` milliseconds, then stops it.
bool BgmFadeOut(int song, int ms);
// Where loops go back to (in ticks) and how many loops follow the first pass (-1: without end).
bool BgmSetRepeat(int song, uint32_t loopStartTick, int repeats);

int BgmCurrentSong();  // 0 when none
BgmState BgmCurrentState();
uint32_t BgmSongTicksPerQuarter(int song);
uint32_t BgmPositionTick();
int BgmActiveVoices();
