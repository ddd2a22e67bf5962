#include "platform/midi.h"

#include <fluidsynth.h>
#include <unistd.h>

#include <dirent.h>
#include <strings.h>

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
    if (level <= FLUID_ERR) PlatformWarning("fluidsynth: %s\n", message);
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

// General MIDI SoundFonts by the names their packages give them, the small quick-loading one first.
const char* const kKnownSoundFonts[] = {
    "TimGM6mb.sf2", "default-GM.sf2", "default-GM.sf3", "FluidR3_GM.sf2", "FluidR3_GM.sf3",
    "GeneralUser_GS.sf2", "MuseScore_General.sf3", "MuseScore_General.sf2", "default.sf2",
};
const char* const kSoundFontFolders[] = {"/soundfonts", "/sounds/sf2", "/sounds/sf3"};

// The data directories of the XDG rules, the user's own first.
std::vector<std::string> DataDirectories() {
    std::vector<std::string> dirs;
    const char* home = std::getenv("XDG_DATA_HOME");
    if (home && home[0] == '/') {
        dirs.push_back(home);
    } else if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
        dirs.push_back(std::string(h) + "/.local/share");
    }
    const char* system = std::getenv("XDG_DATA_DIRS");
    const std::string list = (system && *system) ? system : "/usr/local/share:/usr/share";
    size_t at = 0;
    while (at <= list.size()) {
        size_t end = list.find(':', at);
        if (end == std::string::npos) end = list.size();
        std::string dir = list.substr(at, end - at);
        if (!dir.empty() && dir[0] == '/') dirs.push_back(dir);
        at = end + 1;
    }
    for (std::string& d : dirs) {
        while (d.size() > 1 && d.back() == '/') d.pop_back();
    }
    return dirs;
}

bool HasSoundFontSuffix(const std::string& name) {
    if (name.size() < 5) return false;
    const std::string tail = name.substr(name.size() - 4);
    return strcasecmp(tail.c_str(), ".sf2") == 0 || strcasecmp(tail.c_str(), ".sf3") == 0;
}

void AddOnce(std::vector<std::string>& list, const std::string& path) {
    if (!Exists(path.c_str())) return;
    if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(path);
}

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

    const char* forced = std::getenv("KORVAN_SOUNDFONT");
    if (forced && *forced && !Exists(forced)) {
        PlatformWarning("music: KORVAN_SOUNDFONT %s cannot be read; trying the usual SoundFont folders\n", forced);
    }
    settings = new_fluid_settings();
    if (!settings) return false;
    fluid_settings_setnum(settings, "synth.sample-rate", kAudioRate);
    fluid_settings_setnum(settings, "synth.gain", kSynthGain);
    fluid_settings_setint(settings, "synth.polyphony", 128);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    fluid_synth_t* created = new_fluid_synth(settings);
    if (!created) {
        PlatformWarning("music: the MIDI synthesizer cannot be created\n");
        delete_fluid_settings(settings);
        settings = nullptr;
        return false;
    }
    for (const std::string& path : MidiSoundFontCandidates()) {
        if (fluid_synth_sfload(created, path.c_str(), 1) != FLUID_FAILED) {
            soundFontPath = path;
            break;
        }
        PlatformWarning("music: SoundFont %s does not load\n", path.c_str());
    }
    if (soundFontPath.empty()) {
        PlatformWarning("music: no General MIDI SoundFont found, so the \"Direct Music\" player is silent "
                        "(install timgm6mb-soundfont or fluid-soundfont-gm, put a .sf2 file in "
                        "~/.local/share/soundfonts, or name one with KORVAN_SOUNDFONT; the \"KBGM System\" "
                        "player needs none)\n");
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

std::vector<std::string> MidiSoundFontCandidates() {
    std::vector<std::string> list;
    if (const char* forced = std::getenv("KORVAN_SOUNDFONT")) {
        if (*forced) AddOnce(list, forced);
    }
    std::vector<std::string> folders;
    for (const std::string& base : DataDirectories()) {
        for (const char* sub : kSoundFontFolders) folders.push_back(base + sub);
    }
    for (const char* name : kKnownSoundFonts) {
        for (const std::string& folder : folders) AddOnce(list, folder + "/" + name);
    }
    // The SoundFont FluidSynth was built to use, wherever its packager put it.
    if (fluid_settings_t* probe = new_fluid_settings()) {
        char* fallback = nullptr;
        if (fluid_settings_dupstr(probe, "synth.default-soundfont", &fallback) == FLUID_OK && fallback) {
            AddOnce(list, fallback);
            fluid_free(fallback);
        }
        delete_fluid_settings(probe);
    }
    for (const std::string& folder : folders) {
        DIR* d = opendir(folder.c_str());
        if (!d) continue;
        std::vector<std::string> names;
        while (dirent* e = readdir(d)) {
            if (HasSoundFontSuffix(e->d_name)) names.push_back(e->d_name);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) AddOnce(list, folder + "/" + name);
    }
    return list;
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
    AudioCheckDevice();  // a device lost since the last sound comes back for the music too
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
