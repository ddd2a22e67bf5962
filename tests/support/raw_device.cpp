#include "tests/support/raw_device.h"

#include "platform/system.h"

bool OpenRawDevice(const char* title, D3DFORMAT depthFormat, GfxDirect3D** d3d, GfxDevice** dev) {
    if (!SysInit(true) || !SysCreateWindow(title, 640, 480)) return false;
    *d3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!*d3d) return false;
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 640;
    pp.BackBufferHeight = 480;
    pp.Windowed = 1;
    pp.EnableAutoDepthStencil = 1;
    pp.AutoDepthStencilFormat = depthFormat;
    return (*d3d)->CreateDevice(0, D3DDEVTYPE_HAL, SysWindowHandle(), D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, dev) ==
           D3D_OK;
}

void CloseRawDevice(GfxDirect3D** d3d, GfxDevice** dev) {
    if (*dev) (*dev)->Release();
    *dev = nullptr;
    if (*d3d) (*d3d)->Release();
    *d3d = nullptr;
    SysDestroyWindow();
    SysShutdown();
}
