// The adapter side of the device: displays and their modes as the video driver reports them, the
// depth formats OpenGL can give, and the creation of the device on the window's GL context.
#include <SDL.h>
#include <dirent.h>
#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/gfx_gl.h"
#include "platform/system.h"

namespace {

D3DFORMAT FormatOfSdl(uint32_t f) {
    switch (f) {
        case SDL_PIXELFORMAT_RGB888:
        case SDL_PIXELFORMAT_BGR888:
        case SDL_PIXELFORMAT_RGBX8888:
        case SDL_PIXELFORMAT_BGRX8888: return D3DFMT_X8R8G8B8;
        case SDL_PIXELFORMAT_ARGB8888:
        case SDL_PIXELFORMAT_RGBA8888:
        case SDL_PIXELFORMAT_ABGR8888:
        case SDL_PIXELFORMAT_BGRA8888:
        case SDL_PIXELFORMAT_ARGB2101010: return D3DFMT_A8R8G8B8;
        case SDL_PIXELFORMAT_RGB24:
        case SDL_PIXELFORMAT_BGR24: return D3DFMT_R8G8B8;
        case SDL_PIXELFORMAT_RGB565:
        case SDL_PIXELFORMAT_BGR565: return D3DFMT_R5G6B5;
        case SDL_PIXELFORMAT_RGB555:
        case SDL_PIXELFORMAT_BGR555: return D3DFMT_X1R5G5B5;
        case SDL_PIXELFORMAT_ARGB1555:
        case SDL_PIXELFORMAT_RGBA5551:
        case SDL_PIXELFORMAT_ABGR1555:
        case SDL_PIXELFORMAT_BGRA5551: return D3DFMT_A1R5G5B5;
        case SDL_PIXELFORMAT_ARGB4444:
        case SDL_PIXELFORMAT_RGBA4444:
        case SDL_PIXELFORMAT_ABGR4444:
        case SDL_PIXELFORMAT_BGRA4444: return D3DFMT_A4R4G4B4;
        case SDL_PIXELFORMAT_RGB444: return D3DFMT_X4R4G4B4;
        case SDL_PIXELFORMAT_RGB332: return D3DFMT_R3G3B2;
        default: return D3DFMT_UNKNOWN;
    }
}

// A display mode in the game's terms. The desktop's own format always offers 640 x 480: the
// frame is scaled to whatever the display shows, so full screen never changes the real mode.
std::vector<D3DDISPLAYMODE> ModesOf(int display) {
    std::vector<D3DDISPLAYMODE> modes;
    int n = SDL_GetNumDisplayModes(display);
    bool desktop640 = false;
    SDL_DisplayMode desk{};
    bool haveDesk = SDL_GetDesktopDisplayMode(display, &desk) == 0;
    D3DFORMAT deskFormat = haveDesk ? FormatOfSdl(desk.format) : D3DFMT_UNKNOWN;
    for (int i = 0; i < n; ++i) {
        SDL_DisplayMode m{};
        if (SDL_GetDisplayMode(display, i, &m) != 0) continue;
        D3DDISPLAYMODE d{static_cast<UINT>(m.w), static_cast<UINT>(m.h), static_cast<UINT>(m.refresh_rate),
                         FormatOfSdl(m.format)};
        if (d.Width == 640 && d.Height == 480 && d.Format == deskFormat) desktop640 = true;
        modes.push_back(d);
    }
    if (haveDesk && !desktop640 && deskFormat != D3DFMT_UNKNOWN) {
        modes.push_back(D3DDISPLAYMODE{640, 480, static_cast<UINT>(desk.refresh_rate), deskFormat});
    }
    return modes;
}

bool IsDepthFormat(D3DFORMAT f) {
    // What a GL renderbuffer gives: 16, 24 and 32-bit depth, 24-bit depth with 8-bit stencil.
    return f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE || f == D3DFMT_D24X8 || f == D3DFMT_D24S8 || f == D3DFMT_D32;
}

bool IsSoftwareRenderer(const char* renderer) {
    if (!renderer) return true;
    return std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") || std::strstr(renderer, "swrast") ||
           std::strstr(renderer, "Software");
}

void FillCaps(GfxState& s, UINT adapter) {
    D3DCAPS8 c{};
    c.DeviceType = D3DDEVTYPE_HAL;
    c.AdapterOrdinal = adapter;
    c.RasterCaps = D3DPRASTERCAPS_FOGVERTEX | D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_FOGRANGE;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    c.TextureOpCaps = D3DTEXOPCAPS_MODULATE;
    GLint maxTex = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTex);
    c.MaxTextureWidth = c.MaxTextureHeight = static_cast<DWORD>(std::max(maxTex, 64));
    // Stage states are kept for eight stages as GL's texture units allow; the pipeline program
    // draws stage 0, the only one the game uses.
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &units);
    c.MaxTextureBlendStages = c.MaxSimultaneousTextures =
        static_cast<DWORD>(std::clamp<GLint>(units, 1, static_cast<GLint>(kD3DTextureStageCount)));
    c.MaxActiveLights = kMaxLights;
    // A draw's element count is a GLsizei.
    c.MaxPrimitiveCount = 0x7FFFFFFF / 3;
    c.MaxVertexIndex = 0xFFFFFFFF;
    c.MaxStreams = 1;
    s.caps = s.realCaps = c;

    // Free texture memory: the driver's own figure where it offers one (KB), else, for a
    // renderer that keeps textures in system memory, what the system has available.
    GLint kb[4] = {0, 0, 0, 0};
    uint64_t bytes = 0;
    if (epoxy_has_gl_extension("GL_NVX_gpu_memory_info")) {
        glGetIntegerv(0x9049, kb);  // GPU_MEMORY_INFO_CURRENT_AVAILABLE_VIDMEM_NVX
        bytes = static_cast<uint64_t>(kb[0]) * 1024u;
    } else if (epoxy_has_gl_extension("GL_ATI_meminfo")) {
        glGetIntegerv(0x87FC, kb);  // TEXTURE_FREE_MEMORY_ATI
        bytes = static_cast<uint64_t>(kb[0]) * 1024u;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    if (bytes == 0) bytes = SysQueryInfo().memAvailable;
    s.textureMem = static_cast<UINT>(std::min<uint64_t>(bytes, 0xFFF00000u));
}

}  // namespace

GfxDirect3D* Direct3DCreate8(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
    return new GfxDirect3D();
}

GfxDirect3D::~GfxDirect3D() {
    if (probeContext_) SDL_GL_DeleteContext(probeContext_);
}

UINT GfxDirect3D::Release() {
    delete this;
    return 0;
}

UINT GfxDirect3D::GetAdapterCount() const {
    int n = SDL_GetNumVideoDisplays();
    return n > 0 ? static_cast<UINT>(n) : 0;
}

HRESULT GfxDirect3D::GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* id) const {
    if (!id || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    std::memset(id, 0, sizeof(*id));
    const char* driver = SDL_GetCurrentVideoDriver();
    std::snprintf(id->Driver, sizeof(id->Driver), "%s", driver ? driver : "");
    // Some drivers name a display by its number only: say whose display it is.
    const char* name = SDL_GetDisplayName(static_cast<int>(adapter));
    if (name && *name && std::strspn(name, "0123456789") != std::strlen(name)) {
        std::snprintf(id->Description, sizeof(id->Description), "%s", name);
    } else {
        std::snprintf(id->Description, sizeof(id->Description), "%s display %u", driver ? driver : "video", adapter);
    }
    return D3D_OK;
}

UINT GfxDirect3D::GetAdapterModeCount(UINT adapter) const {
    if (adapter >= GetAdapterCount()) return 0;
    return static_cast<UINT>(ModesOf(static_cast<int>(adapter)).size());
}

HRESULT GfxDirect3D::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* out) const {
    if (!out || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    std::vector<D3DDISPLAYMODE> modes = ModesOf(static_cast<int>(adapter));
    if (mode >= modes.size()) return D3DERR_INVALIDCALL;
    *out = modes[mode];
    return D3D_OK;
}

HRESULT GfxDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out) const {
    if (!out || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    SDL_DisplayMode m{};
    if (SDL_GetDesktopDisplayMode(static_cast<int>(adapter), &m) != 0) return D3DERR_NOTAVAILABLE;
    *out = D3DDISPLAYMODE{static_cast<UINT>(m.w), static_cast<UINT>(m.h), static_cast<UINT>(m.refresh_rate),
                          FormatOfSdl(m.format)};
    return D3D_OK;
}

HRESULT GfxDirect3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                       D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) const {
    if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_DEPTHSTENCIL) {
        return resourceType == D3DRTYPE_SURFACE && IsDepthFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    switch (checkFormat) {
        case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_R8G8B8: case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
        case D3DFMT_A8R3G3B2: case D3DFMT_R3G3B2: return D3D_OK;
        default: return D3DERR_NOTAVAILABLE;
    }
}

HRESULT GfxDirect3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                            D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) const {
    if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    // The frame is always drawn into our own 8-bit target, which pairs with every depth format.
    return IsDepthFormat(depthFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

// How many threads Mesa's software rasteriser is asked for on a machine with this many cores.
// On one core it would draw on the thread that hands it the frame, so the whole rasterising would
// count against the game thread's frame: one thread of its own lets it draw while the game thread
// sleeps until its next frame. On a few cores, one thread per core leaves a core idle whenever
// the game thread holds it and the frame's last tiles wait for the one thread that is still
// drawing; twice as many threads as cores keep every core drawing (measured on two cores, a
// race drawn as fast as it goes: about a tenth less time per frame). Machines with more cores
// keep Mesa's own count.
int RasteriserThreadsFor(int cores) { return cores <= 1 ? 1 : 2 * cores; }

void GfxPrepareRasteriser() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (sched_getaffinity(0, sizeof(cpus), &cpus) != 0) return;
    const int cores = CPU_COUNT(&cpus);
    if (cores < 1 || cores > kFewCores) return;
    // A player's own choice of rasteriser threads stays.
    char threads[8];
    std::snprintf(threads, sizeof threads, "%d", RasteriserThreadsFor(cores));
    setenv("LP_NUM_THREADS", threads, 0);
}

// Mesa's software rasteriser draws each frame on its own threads, woken when the frame is handed
// over. Woken as ordinary threads they pre-empt the game thread that woke them, which then waits
// for a free core in the middle of its frame. As batch threads they take the cores the game thread
// leaves idle instead. Returns how many of them are batch threads now; a refusal only costs
// smoothness.
static int MoveRasteriserThreadsToBatch() {
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return 0;
    int moved = 0;
    while (dirent* e = readdir(tasks)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        char path[300], comm[32] = "";
        std::snprintf(path, sizeof path, "/proc/self/task/%s/comm", e->d_name);
        FILE* f = std::fopen(path, "r");
        if (!f) continue;
        bool read = std::fgets(comm, sizeof comm, f) != nullptr;
        std::fclose(f);
        if (!read || std::strncmp(comm, "llvmpipe-", 9) != 0) continue;
        sched_param param{};
        if (sched_setscheduler(static_cast<pid_t>(std::atoi(e->d_name)), SCHED_BATCH, &param) == 0) ++moved;
    }
    closedir(tasks);
    return moved;
}

// Each rasteriser thread takes its name once it runs, so a walk made as soon as the context exists
// can miss the last one started (about one start in a dozen on a busy two-core machine), and it
// would pre-empt the game thread all game long. The walk is made again, two milliseconds apart and
// for a fifth of a second at most, until it finds every thread asked for through LP_NUM_THREADS,
// or, when no count was asked, until two walks find the same number.
static int YieldRasteriserThreads() {
    const char* asked = std::getenv("LP_NUM_THREADS");
    const int wanted = asked ? std::atoi(asked) : -1;
    int moved = 0, previous = -1;
    for (int walk = 0; walk < 100; ++walk) {
        moved = MoveRasteriserThreadsToBatch();
        if (wanted >= 0 ? moved >= wanted : moved == previous) break;
        previous = moved;
        SDL_Delay(2);
    }
    return moved;
}

HRESULT GfxDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, void* window, DWORD behaviorFlags,
                                  D3DPRESENT_PARAMETERS* params, GfxDevice** device) {
    if (!device || !params || !window || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;  // no reference rasteriser here
    if (params->BackBufferWidth != static_cast<UINT>(kFrameWidth) ||
        params->BackBufferHeight != static_cast<UINT>(kFrameHeight)) {
        return D3DERR_INVALIDCALL;
    }
    SDL_Window* win = static_cast<SDL_Window*>(window);
    // The device draws on its adapter's display: the window goes there (full screen fills it).
    int display = static_cast<int>(adapter);
    if (SDL_GetWindowDisplayIndex(win) != display) {
        SDL_SetWindowPosition(win, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display));
    }
    SDL_GLContext ctx = probeContext_;
    bool software = probeSoftware_;
    if (!ctx) {
        ctx = SDL_GL_CreateContext(win);
        if (!ctx) {
            char line[256];
            std::snprintf(line, sizeof line, "graphics device: no OpenGL context: %s\n", SDL_GetError());
            SysDebugOutput(line);
            return D3DERR_NOTAVAILABLE;
        }
        SDL_GL_MakeCurrent(win, ctx);
        if (epoxy_gl_version() < 33) {
            SDL_GL_DeleteContext(ctx);
            return D3DERR_NOTAVAILABLE;
        }
        software = IsSoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    }
    probeContext_ = nullptr;
    // Hardware vertex processing asks for a GPU; keep the context for the next, humbler attempt.
    if ((behaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING) && software) {
        probeContext_ = ctx;
        probeSoftware_ = software;
        return D3DERR_NOTAVAILABLE;
    }
    SDL_GL_MakeCurrent(win, ctx);
    if (software) {
        int moved = YieldRasteriserThreads();
        char line[96];
        std::snprintf(line, sizeof line, "graphics device: %d rasteriser threads yield to the game\n", moved);
        SysDebugOutput(line);
    }

    GfxDevice* dev = new GfxDevice();
    GfxState* s = new GfxState();
    dev->state_ = s;
    s->window = win;
    s->context = ctx;
    s->software = software;
    const char* driver = SDL_GetCurrentVideoDriver();
    s->headless = driver && std::strcmp(driver, "offscreen") == 0;
    s->depthFormat = params->EnableAutoDepthStencil ? params->AutoDepthStencilFormat : D3DFMT_D24X8;
    if (s->depthFormat == D3DFMT_UNKNOWN) s->depthFormat = D3DFMT_D24X8;
    char error[1024];
    if (!GfxInitState(*s, error, sizeof(error))) {
        SysDebugOutput("graphics device: ");
        SysDebugOutput(error);
        SysDebugOutput("\n");
        dev->Release();
        return D3DERR_NOTAVAILABLE;
    }
    FillCaps(*s, adapter);
    // The wait for the display the parameters ask for; one the driver refuses shows frames at once.
    if (dev->SetPresentationInterval(params->FullScreen_PresentationInterval) == D3DERR_INVALIDCALL) {
        dev->SetPresentationInterval(D3DPRESENT_INTERVAL_IMMEDIATE);
    }
    gfxContextAlive = true;
    *device = dev;
    return D3D_OK;
}

namespace {
// The swap interval of a presentation interval (refreshes per frame, 0 at once); -1 for none.
int SwapIntervalOf(DWORD interval) {
    switch (interval) {
        case D3DPRESENT_INTERVAL_IMMEDIATE: return 0;
        case D3DPRESENT_INTERVAL_DEFAULT:
        case D3DPRESENT_INTERVAL_ONE: return 1;
        case D3DPRESENT_INTERVAL_TWO: return 2;
        case D3DPRESENT_INTERVAL_THREE: return 3;
        case D3DPRESENT_INTERVAL_FOUR: return 4;
        default: return -1;
    }
}
}  // namespace

HRESULT GfxDevice::SetPresentationInterval(DWORD interval) {
    GfxState& s = *state_;
    const int swap = SwapIntervalOf(interval);
    if (swap < 0) return D3DERR_INVALIDCALL;
    // Off-screen frames are never swapped: a wait would only hold the game back.
    if (s.headless || swap == 0) {
        if (!s.headless) SDL_GL_SetSwapInterval(0);
        s.presentInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        return swap == 0 ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    if (SDL_GL_SetSwapInterval(swap) != 0) {
        char line[256];
        std::snprintf(line, sizeof line, "graphics device: no swap interval of %d: %s\n", swap, SDL_GetError());
        SysDebugOutput(line);
        SDL_GL_SetSwapInterval(0);
        s.presentInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        return D3DERR_NOTAVAILABLE;
    }
    s.presentInterval = interval == D3DPRESENT_INTERVAL_DEFAULT ? D3DPRESENT_INTERVAL_ONE : interval;
    return D3D_OK;
}

DWORD GfxDevice::PresentationInterval() const { return state_->presentInterval; }

UINT GfxDevice::DisplayRefreshRate() const {
    const GfxState& s = *state_;
    if (s.headless) return 0;
    const int display = SDL_GetWindowDisplayIndex(static_cast<SDL_Window*>(s.window));
    SDL_DisplayMode mode{};
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate <= 0) return 0;
    return static_cast<UINT>(mode.refresh_rate);
}
