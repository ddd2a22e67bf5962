#include "framework/input.h"

#include "framework/debug_log.h"

bool InitDirectInput() {
    LogSeparator();
    Log("InitDirectInput\n");
    return true;
}
void FreeInput() {}
void UpdateInput() {}
void ClearInput() {}
