#include "platform/midi.h"

#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/audio.h"
#include "platform/log_sink.h"
#include "platform/midi_file.h"

namespace {

// FluidSynth's own default gain (0.2) is far quieter than the sound effects and our synthesizer.
constexpr double kSynthGain = 0.45;
constexpr int kTempFrames = 512;
constexpr int kTailFrames = 2 * kAudioRate;  // reverb and chorus ring on after the last voice

fluid_settings_t* settings = nullptr;
fluid_synth_t* synth = nullptr;
std::string soundFontPath;
std::unique_ptr<MidiSong> song;
MidiCursor cursor;
int tailFrames = 0;
float temp[kTempFrames * 2];

struct Guard {
    Guard() { AudioLock(); }
    ~Guard() { AudioUnlock(); }
};

// FluidSynth reports from wherever it runs, inside the mix on SDL's audio thread too: the sink is
// safe to call from there.
void FluidLog(int level, const char* message, void*) {
    if (level <= FLUID_ERR) PlatformLog("fluidsynth: %s\n", message);
}

void OnEvent(void*, uint8_t status, uint8_t d1, uint8_t d2) {
    const int ch = status & 0x0f;
    switch (status & 0xf0) {
        case 0x80: fluid_synth_noteoff(synth, ch, d1); break;
        case 0x90: fluid_synth_noteon(synth, ch, d1, d2); break;
        case 0xa0: fluid_synth_key_pressure(synth, ch, d1, d2); break;
        case 0xb0: fluid_synth_cc(synth, ch, d1, d2); break;
        case 0xc0: fluid_synth_program_change(synth, ch, d1); break;
        case 0xd0: fluid_synth_channel_pressure(synth, ch, d1); break;
        case 0xe0: fluid_synth_pitch_bend(synth, ch, (d2 << 7) | d1); break;
        default: break;
    }
}

void Render(void*, float* mix, int offset, int frames) {
    if (fluid_synth_get_active_voice_count(synth) > 0) tailFrames = kTailFrames;
    if (tailFrames <= 0) return;
    tailFrames -= frames;
    mix += offset * 2;
    while (frames > 0) {
        const int n = std::min(frames, kTempFrames);
        fluid_synth_write_float(synth, n, temp, 0, 2, temp, 1, 2);
        for (int i = 0; i < n * 2; ++i) mix[i] += temp[i];
        mix += n * 2;
        frames -= n;
    }
}

const MidiSink kSink{nullptr, OnEvent, Render};

void Source(void*, float* mix, int frames) { MidiCursorAdvance(cursor, mix, frames, kSink); }

bool Exists(const char* path) { return path && *path && access(path, R_OK) == 0; }

}  // namespace

bool MidiStart() {
    if (synth) return true;
    if (!AudioRunning()) {
        PlatformLog("music: no audio stream; the MIDI player stays silent\n");
        return false;
    }
    fluid_set_log_function(FLUID_PANIC, FluidLog, nullptr);
    fluid_set_log_function(FLUID_ERR, FluidLog, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);

    // The smaller SoundFont first: it loads in a few tens of milliseconds and sounds complete.
    const char* candidates[] = {
        std::getenv("KORVAN_SOUNDFONT"),
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/soundfonts/default.sf2",
    };
    if (candidates[0] && *candidates[0] && !Exists(candidates[0])) {
        PlatformLog("music: KORVAN_SOUNDFONT %s cannot be read; trying the system SoundFonts\n", candidates[0]);
    }
    settings = new_fluid_settings();
    if (!settings) return false;
    fluid_settings_setnum(settings, "synth.sample-rate", kAudioRate);
    fluid_settings_setnum(settings, "synth.gain", kSynthGain);
    fluid_settings_setint(settings, "synth.polyphony", 128);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    fluid_synth_t* created = new_fluid_synth(settings);
    if (!created) {
        PlatformLog("music: the MIDI synthesizer cannot be created\n");
        delete_fluid_settings(settings);
        settings = nullptr;
        return false;
    }
    for (const char* path : candidates) {
        if (!Exists(path)) continue;
        if (fluid_synth_sfload(created, path, 1) != FLUID_FAILED) {
            soundFontPath = path;
            break;
        }
        PlatformLog("music: SoundFont %s does not load\n", path);
    }
    if (soundFontPath.empty()) {
        PlatformLog("music: no General MIDI SoundFont found; DirectMusic music is silent\n");
        delete_fluid_synth(created);
        delete_fluid_settings(settings);
        settings = nullptr;
        return false;
    }
    PlatformLog("music: SoundFont %s\n", soundFontPath.c_str());
    Guard g;
    synth = created;
    tailFrames = 0;
    cursor = MidiCursor{};
    AudioSetSource(kAudioSourceMidi, Source, nullptr);
    return true;
}

void MidiShutdown() {
    {
        Guard g;
        AudioSetSource(kAudioSourceMidi, nullptr, nullptr);
        cursor = MidiCursor{};
        song.reset();
    }
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
    synth = nullptr;
    settings = nullptr;
    soundFontPath.clear();
}

bool MidiReady() { return synth != nullptr; }

const char* MidiSoundFontPath() { return soundFontPath.c_str(); }

bool MidiLoad(const char* path, std::string& error) {
    MidiUnload();
    auto loaded = std::make_unique<MidiSong>();
    if (!ReadMidiFile(path, *loaded, error)) return false;
    Guard g;
    song = std::move(loaded);
    MidiCursorReset(cursor, song.get());
    return true;
}

void MidiUnload() {
    std::unique_ptr<MidiSong> old;
    Guard g;
    if (synth) fluid_synth_all_sounds_off(synth, -1);
    cursor = MidiCursor{};
    old = std::move(song);
}

bool MidiLoaded() {
    Guard g;
    return song != nullptr;
}

void MidiPlay(bool loop, uint32_t startTick) {
    Guard g;
    if (!synth || !song) return;
    // A clean slate, then the song's settings up to the start point.
    fluid_synth_system_reset(synth);
    MidiCursorReset(cursor, song.get());
    MidiCursorSeek(cursor, startTick, kSink);
    cursor.loop = loop;
    cursor.playing = true;
}

uint32_t MidiHalt() {
    Guard g;
    if (!synth || !song) return 0;
    fluid_synth_all_sounds_off(synth, -1);
    cursor.playing = false;
    const uint32_t tick = MidiCursorTick(cursor);
    cursor.next = 0;
    cursor.frame = 0;
    return tick;
}

uint32_t MidiPause() {
    Guard g;
    if (!synth || !song) return 0;
    fluid_synth_all_notes_off(synth, -1);
    cursor.playing = false;
    return MidiCursorTick(cursor);
}

bool MidiPlaying() {
    Guard g;
    return synth && song && cursor.playing;
}

uint32_t MidiPositionTick() {
    Guard g;
    return MidiCursorTick(cursor);
}

uint32_t MidiSongTicksPerQuarter() {
    Guard g;
    if (!song) return 0;
    return song->ticksPerQuarter > 0 ? static_cast<uint32_t>(song->ticksPerQuarter)
                                     : static_cast<uint32_t>(song->ticksPerSecondSmpte / 2);
}
