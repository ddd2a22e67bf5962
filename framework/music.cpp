#include "framework/music.h"

#include "framework/debug_log.h"

bool InitDirectMusic() {
    LogSeparator();
    Log("InitDirectMusic\n");
    return true;
}
void FreeDirectMusic() {}
