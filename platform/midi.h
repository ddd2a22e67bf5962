// The SoundFont music player: FluidSynth with a General MIDI SoundFont, sequenced by our own MIDI
// reader and rendered into the game's audio stream (no driver of its own). Positions are ticks of
// the loaded song. Without a SoundFont there is simply no music from this player.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Creates the synthesizer with the first SoundFont of MidiSoundFontCandidates that loads and
// attaches it to the stream. False when the stream is not running or no SoundFont loads (a
// warning then says what to install); everything below then does nothing.
bool MidiStart();
// The SoundFont files to try, in order: $KORVAN_SOUNDFONT; then, in the usual SoundFont folders
// (soundfonts/, sounds/sf2/ and sounds/sf3/ under $XDG_DATA_HOME and each of $XDG_DATA_DIRS), the
// General MIDI sets by their usual names, small ones first; FluidSynth's own default SoundFont;
// then any other .sf2 or .sf3 file in those folders. Only files that exist are listed.
std::vector<std::string> MidiSoundFontCandidates();
void MidiShutdown();
bool MidiReady();
const char* MidiSoundFontPath();  // "" when none

// Replaces the loaded song. On failure nothing is loaded and `error` says why.
bool MidiLoad(const char* path, std::string& error);
void MidiUnload();
bool MidiLoaded();

// Plays the loaded song from a tick, repeating without end when loop is true.
void MidiPlay(bool loop, uint32_t startTick);
// Stops at once and rewinds; returns the tick it had reached.
uint32_t MidiHalt();
// Stops with the notes released (they ring out); returns the tick it had reached.
uint32_t MidiPause();
bool MidiPlaying();
uint32_t MidiPositionTick();
uint32_t MidiSongTicksPerQuarter();
