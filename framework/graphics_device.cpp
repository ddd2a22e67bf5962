#include "framework/graphics_device.h"

#include "framework/debug_log.h"

bool InitDirect3D() {
    LogSeparator();
    Log("InitDirect3D\n");
    return true;
}

void FreeDirect3D() {}
