#include "framework/music.h"

#include <string>

#include "framework/debug_log.h"
#include "platform/audio.h"
#include "platform/midi.h"

uint32_t musicResumePoint = 0;
ConfigSetting musicVolume{"sound.music_volume", 100, 0, 100,
                          "loudness of the music (either BGM type), in percent"};

bool InitDirectMusic() {
    LogSeparator();
    Log("InitDirectMusic\n");
    AudioSetMusicVolume(musicVolume.value / 100.0f);
    // Without a SoundFont or an audio stream the game still runs, only without this player's music.
    MidiStart();
    return true;
}

void FreeDirectMusic() {
    LogSeparator();
    Log("FreeDirectMusic\n");
    UnloadMusic();
    MidiShutdown();
}

namespace {
// The piece loaded last, for its release line.
std::string loadedPiece;
}  // namespace

bool LoadMusic(const char* path) {
    if (MidiLoaded() || !loadedPiece.empty()) UnloadMusic();
    Log("load(%s) ... ", path ? path : "");
    std::string error;
    if (!path || !MidiLoad(path, error)) {
        Log("can't load object.\n");
        if (path && !error.empty()) Log("music: %s: %s\n", path, error.c_str());
        return false;
    }
    Log("ok.\n");
    loadedPiece = path;
    if (!MidiReady()) {
        // The piece cannot be performed: no synthesizer. It is dropped so nothing pretends to play.
        Log("パフォーマンスが作成できません.\n");
        MidiUnload();
        return false;
    }
    return true;
}

void UnloadMusic() {
    StopMusic();
    if (!loadedPiece.empty()) Log("release(%s)\n", loadedPiece.c_str());
    loadedPiece.clear();
    MidiUnload();
}

void PlayMusic(bool loop) {
    if (!MidiLoaded()) return;
    MidiPlay(loop, musicResumePoint);
}

void PauseMusic() {
    if (!MidiLoaded()) return;
    musicResumePoint = MidiPause();
}

void StopMusic() {
    if (!MidiLoaded()) return;
    MidiHalt();
    musicResumePoint = 0;
}

bool IsMusicPlaying() { return MidiPlaying(); }
