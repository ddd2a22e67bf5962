// The platform's graphics device on its own, without the game's device set-up: SDL on its
// off-screen driver, a hidden 640 x 480 window and a windowed device with a depth buffer, for the
// suites that test the device itself. Open it from SetUpTestSuite and close it from
// TearDownTestSuite.
#pragma once
#include "platform/gfx.h"

// Software vertex processing, as on a machine without a GPU (a hardware request is refused there).
// False when SDL, the window or the device cannot start; whatever started is still closed by
// CloseRawDevice.
bool OpenRawDevice(const char* title, D3DFORMAT depthFormat, GfxDirect3D** d3d, GfxDevice** dev);
// Releases the device and the interface, the window and SDL. Safe after a failed open.
void CloseRawDevice(GfxDirect3D** d3d, GfxDevice** dev);
