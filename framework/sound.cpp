#include "framework/sound.h"

#include "framework/debug_log.h"

bool InitDirectSound() {
    LogSeparator();
    Log("InitDirectSound\n");
    return true;
}
void FreeDirectSound() {}
