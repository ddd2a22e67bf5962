// The browser build's SoundFont player: there is none (no FluidSynth, and a General MIDI SoundFont
// would be a large download). "Direct Music" then plays nothing and says so once; the game's own
// synthesizer ("KBGM System", the default) plays the music.
#include <string>
#include <vector>

#include "platform/log_sink.h"
#include "platform/midi.h"

bool MidiStart() {
    PlatformLog("music: no SoundFont player in the browser; KBGM System plays the music\n");
    return false;
}
std::vector<std::string> MidiSoundFontCandidates() { return {}; }
void MidiShutdown() {}
bool MidiReady() { return false; }
const char* MidiSoundFontPath() { return ""; }
bool MidiLoad(const char*, std::string& error) {
    error = "no SoundFont player in the browser";
    return false;
}
void MidiUnload() {}
bool MidiLoaded() { return false; }
void MidiPlay(bool, uint32_t) {}
uint32_t MidiHalt() { return 0; }
uint32_t MidiPause() { return 0; }
bool MidiPlaying() { return false; }
uint32_t MidiPositionTick() { return 0; }
uint32_t MidiSongTicksPerQuarter() { return 0; }
