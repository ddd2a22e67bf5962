#include "game/tunes.h"

#include "framework/kbgm.h"
#include "framework/music.h"
#include "game/settings.h"

bool kbgmReady = false;
int kbgmHandle = 0;

namespace {
// A tune is loaded into the library (the boot's probe tune does not count).
bool kbgmSongLoaded = false;
// The library refuses to free a song that still plays; this many stops are always enough.
constexpr int kFreeTries = 100;

void FreeLibrarySong() {
    for (int tries = 0; KBGMFree(kbgmHandle) == kKbgmBusy && tries < kFreeTries; ++tries) KBGMStop();
}
}  // namespace

bool ProbeBackgroundMusic(const char* file) {
    if (KBGMOpen(10, -1) != 0) return false;
    KBGMFree(kbgmHandle);
    if (KBGMLoadFile(&kbgmHandle, file) != 0) {
        KBGMClose();
        return false;
    }
    if (KBGMPlay(kbgmHandle, 1) != 0) {
        KBGMFree(kbgmHandle);
        KBGMClose();
        return false;
    }
    KBGMStop();
    kbgmSongLoaded = false;
    return true;
}

void ReleaseBackgroundMusic() {
    if (!kbgmReady) return;
    FreeLibrarySong();
    KBGMClose();
    kbgmSongLoaded = false;
}

void SwitchTune(const char* file) {
    if (kbgmReady) {
        FreeLibrarySong();
        KBGMClose();
        KBGMOpen(10, -1);
        kbgmSongLoaded = KBGMLoadFile(&kbgmHandle, file) == kKbgmOk;
    }
    UnloadMusic();
    LoadMusic(file);
}

void PlayTune() {
    if (bgmType == 2 && kbgmReady && kbgmSongLoaded) KBGMPlay(kbgmHandle, 1);
    if (bgmType == 1 && !IsMusicPlaying()) PlayMusic(true);
}

void PauseTune() {
    if (bgmType == 2 && kbgmReady) KBGMPause();
    if (bgmType == 1) PauseMusic();
}

void ResumeTune() {
    if (bgmType == 2 && kbgmReady) KBGMResume(kbgmHandle);
    if (bgmType == 1) PlayMusic(true);
}

void FadeOutTune(int speed) {
    if (bgmType == 2 && kbgmReady) KBGMFadeOut(kbgmHandle, speed);
    if (bgmType == 1) StopMusic();
}

void StopTune() {
    if (kbgmReady && kbgmSongLoaded) KBGMStop();
    StopMusic();
    UnloadMusic();
}
