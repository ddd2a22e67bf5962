#include "race/race_music.h"

#include "framework/kbgm.h"
#include "framework/music.h"
#include "game/asset_tables.h"
#include "game/settings.h"

namespace {
// A course song is loaded into the library (the boot's probe tune does not count).
bool kbgmSongLoaded = false;
// The library refuses to free a song that still plays; this many stops are always enough.
constexpr int kFreeTries = 100;
}  // namespace

void SwitchCourseMusic(const char* file) {
    if (kbgmReady) {
        for (int tries = 0; KBGMFree(kbgmHandle) == kKbgmBusy && tries < kFreeTries; ++tries) KBGMStop();
        KBGMClose();
        KBGMOpen(10, -1);
        kbgmSongLoaded = KBGMLoadFile(&kbgmHandle, file) == kKbgmOk;
    }
    UnloadMusic();
    LoadMusic(file);
}

void StartCourseMusic() {
    if (bgmType == 2 && kbgmReady && kbgmSongLoaded) KBGMPlay(kbgmHandle, 1);
    if (bgmType == 1 && !IsMusicPlaying()) PlayMusic(true);
}

void PauseCourseMusic() {
    if (bgmType == 2 && kbgmReady) KBGMPause();
    if (bgmType == 1) PauseMusic();
}

void ResumeCourseMusic() {
    if (bgmType == 2 && kbgmReady) KBGMResume(kbgmHandle);
    if (bgmType == 1) PlayMusic(true);
}

void FadeCourseMusic(int fadeSpeed) {
    if (bgmType == 2 && kbgmReady) KBGMFadeOut(kbgmHandle, fadeSpeed);
    if (bgmType == 1) StopMusic();
}

void StopCourseMusic() {
    if (kbgmReady && kbgmSongLoaded) KBGMStop();
    StopMusic();
    UnloadMusic();
}
