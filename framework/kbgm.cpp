#include "framework/kbgm.h"

#include <string>

#include "framework/debug_log.h"
#include "platform/bgm.h"

namespace {
constexpr int kFadeStepMs = 500;

bool libraryOpen = false;
int slotLimit = 0;
int loadedSongs = 0;

bool ValidHandle(int handle) { return libraryOpen && BgmLoaded(handle); }
}  // namespace

int KBGMOpen(int songSlots, int device) {
    if (libraryOpen) return kKbgmOk;
    if (device != -1 || songSlots < 1 || songSlots > kBgmMaxSongs) return kKbgmBadArgument;
    if (!BgmStart()) {
        Log("KBGM: no audio stream\n");
        return kKbgmNoOutput;
    }
    libraryOpen = true;
    slotLimit = songSlots;
    loadedSongs = 0;
    return kKbgmOk;
}

int KBGMLoadFile(int* handle, const char* file) {
    if (!handle || !file) return kKbgmBadArgument;
    *handle = 0;
    if (!libraryOpen) return kKbgmNoOutput;
    if (loadedSongs >= slotLimit) return kKbgmTableFull;
    std::string error;
    const int song = BgmLoad(file, error);
    if (!song) {
        Log("KBGM: %s: %s\n", file, error.c_str());
        return kKbgmFileError;
    }
    ++loadedSongs;
    *handle = song;
    return kKbgmOk;
}

int KBGMPlay(int handle, int repeat) {
    if (!libraryOpen) return kKbgmNoOutput;
    if (!ValidHandle(handle)) return kKbgmBadHandle;
    return BgmPlay(handle, repeat != 0) ? kKbgmOk : kKbgmNoOutput;
}

int KBGMStop() {
    if (!libraryOpen) return kKbgmNoOutput;
    BgmStop();
    return kKbgmOk;
}

int KBGMFree(int handle) {
    if (!libraryOpen) return kKbgmNoOutput;
    if (!ValidHandle(handle)) return kKbgmBadHandle;
    if (!BgmFree(handle)) return kKbgmBusy;
    --loadedSongs;
    return kKbgmOk;
}

int KBGMClose() {
    if (!libraryOpen) return kKbgmNoOutput;
    BgmShutdown();
    libraryOpen = false;
    loadedSongs = 0;
    return kKbgmOk;
}

int KBGMFadeOut(int handle, int speed) {
    if (!libraryOpen) return kKbgmNoOutput;
    if (!ValidHandle(handle)) return kKbgmBadHandle;
    BgmFadeOut(handle, speed > 0 ? speed * kFadeStepMs : 0);
    return kKbgmOk;
}

int KBGMPause() {
    if (!libraryOpen) return kKbgmNoOutput;
    BgmPause();
    return kKbgmOk;
}

int KBGMResume(int handle) {
    if (!libraryOpen) return kKbgmNoOutput;
    if (!ValidHandle(handle)) return kKbgmBadHandle;
    BgmResume(handle);
    return kKbgmOk;
}

int KBGMSetRepeat(int handle, int loopStartBeat, int repeats) {
    if (!libraryOpen) return kKbgmNoOutput;
    if (!ValidHandle(handle)) return kKbgmBadHandle;
    if (loopStartBeat < 0) return kKbgmBadArgument;
    const uint64_t tick = static_cast<uint64_t>(loopStartBeat) * BgmSongTicksPerQuarter(handle);
    BgmSetRepeat(handle, tick > 0x7fffffffu ? 0x7fffffffu : static_cast<uint32_t>(tick), repeats);
    return kKbgmOk;
}
