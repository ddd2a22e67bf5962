#include "platform/system.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/gfx.h"
#include "platform/gl_context.h"
#include "platform/log_sink.h"

namespace {
SDL_Window* window = nullptr;
bool headless = false;
bool sdlStarted = false;
int lockFd = -1;
std::vector<SysRawEventListener> rawListeners;
uint32_t closeEventType = 0;

// True when SDL's video driver is one that draws nowhere a person could see a box.
bool OffscreenDriverNamed() {
    const char* driver = getenv("SDL_VIDEODRIVER");
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}
}  // namespace

void SysSetHeadless(bool wantHeadless) { headless = wantHeadless; }

bool SysInit(bool wantHeadless) {
    headless = wantHeadless;
    if (headless) {
        // Named explicitly: left to itself SDL tries Wayland and X11 first.
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    GfxPrepareRasteriser();
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        // A machine without a display can still run the game off-screen.
        if (!headless) {
            std::fprintf(stderr, "korvan: no display (%s); running off-screen\n", SDL_GetError());
            headless = true;
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
            setenv("SDL_VIDEODRIVER", "offscreen", 1);
            if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
            if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) return false;
        } else {
            return false;
        }
    }
    sdlStarted = true;
    closeEventType = SDL_RegisterEvents(1);
    // SDL starts text input with the video: an input method would then compose letters into text
    // instead of passing them on as keys. The game reads keys only.
    SDL_StopTextInput();
    return true;
}

void SysShutdown() {
    if (sdlStarted) SDL_Quit();
    sdlStarted = false;
    rawListeners.clear();
}

bool SysHeadless() { return headless; }

bool SysCreateWindow(const char* title, int width, int height) {
    // The graphics device needs its OpenGL context on this window.
    SysRequestGlContext();
    window = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    return window != nullptr;
}

void SysDestroyWindow() {
    if (window) SDL_DestroyWindow(window);
    window = nullptr;
}

void* SysWindowHandle() { return window; }

void SysShowWindow() {
    if (window) SDL_ShowWindow(window);
}

void SysShowCursor(bool show) {
    if (sdlStarted) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void SysSetWindowTitle(const char* title) {
    if (window) SDL_SetWindowTitle(window, title);
}

void SysSetWindowIcon(const uint8_t* bmpBytes, unsigned long size) {
    if (!window || !bmpBytes || size == 0) return;
    SDL_RWops* rw = SDL_RWFromConstMem(bmpBytes, static_cast<int>(size));
    SDL_Surface* icon = rw ? SDL_LoadBMP_RW(rw, 1) : nullptr;
    if (icon) {
        SDL_SetWindowIcon(window, icon);
        SDL_FreeSurface(icon);
    }
}

bool SysWindowFullscreen(bool on) {
    if (!window) return false;
    return SDL_SetWindowFullscreen(window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
}

void SysGetWindowSize(int* w, int* h) {
    *w = 0;
    *h = 0;
    if (window) SDL_GetWindowSize(window, w, h);
}

void SysAddRawEventListener(SysRawEventListener listener) { rawListeners.push_back(listener); }

bool SysPumpEvents(SysEventHandler handler) {
    SDL_Event e;
    bool keepRunning = true;
    while (SDL_PollEvent(&e)) {
        for (SysRawEventListener l : rawListeners) l(&e);
        if (e.type == SDL_QUIT || (closeEventType && e.type == closeEventType)) {
            handler(SysEvent::kClose, 0, 0);
            keepRunning = false;
            break;  // the quit request ends the pump; what follows it is not dispatched
        }
        switch (e.type) {
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_CLOSE: handler(SysEvent::kClose, 0, 0); keepRunning = false; break;
                    case SDL_WINDOWEVENT_FOCUS_GAINED: handler(SysEvent::kActivate, 0, 0); break;
                    case SDL_WINDOWEVENT_FOCUS_LOST: handler(SysEvent::kDeactivate, 0, 0); break;
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        handler(SysEvent::kResize, e.window.data1, e.window.data2);
                        break;
                    case SDL_WINDOWEVENT_DISPLAY_CHANGED: handler(SysEvent::kDisplayChange, 0, 0); break;
                    default: break;
                }
                break;
            case SDL_KEYDOWN:
                handler(SysEvent::kKeyDown, e.key.keysym.scancode,
                        (e.key.repeat ? kSysKeyRepeat : 0) | ((e.key.keysym.mod & KMOD_ALT) ? kSysKeyAlt : 0));
                break;
            case SDL_KEYUP: handler(SysEvent::kKeyUp, e.key.keysym.scancode, 0); break;
            default: handler(SysEvent::kOther, static_cast<int>(e.type), 0); break;
        }
        if (!keepRunning) break;
    }
    return keepRunning;
}

void SysPostClose() {
    if (!sdlStarted) return;
    SDL_Event e;
    SDL_zero(e);
    e.type = closeEventType ? closeEventType : static_cast<uint32_t>(SDL_QUIT);
    SDL_PushEvent(&e);
}

void SysWaitEvent() {
    if (sdlStarted) SDL_WaitEventTimeout(nullptr, 100);
}

uint32_t SysTimeMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void SysSleepMs(uint32_t ms) {
    timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}

void SysMessageBox(const char* caption, const char* text) {
    // The terminal always has it; a player who started the game from a desktop sees the box.
    if (caption && *caption) std::fprintf(stderr, "[%s] ", caption);
    std::fputs(text ? text : "", stderr);
    if (!text || !*text || text[std::strlen(text) - 1] != '\n') std::fputc('\n', stderr);
    std::fflush(stderr);
    if (headless || OffscreenDriverNamed()) return;
    // Callable before SDL starts (the second instance never starts it); fails quietly without a
    // display, and the terminal line above is then all there is.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption ? caption : "", text ? text : "", window);
}

bool SysAcquireInstanceLock(const char* name) {
    const char* dir = getenv("XDG_RUNTIME_DIR");
    std::string path = (dir && *dir) ? std::string(dir) : std::string("/tmp");
    path += "/";
    path += name;
    path += ".lock";
    lockFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) return true;  // no place for a lock: never refuse the player over it
    if (flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        close(lockFd);
        lockFd = -1;
        return false;
    }
    return true;
}

void SysReleaseInstanceLock() {
    if (lockFd >= 0) {
        flock(lockFd, LOCK_UN);
        close(lockFd);
    }
    lockFd = -1;
}

std::string SysExecutablePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return std::string();
    buf[n] = '\0';
    return std::string(buf);
}

SysInfo SysQueryInfo() {
    SysInfo info{};
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    info.year = local.tm_year + 1900;
    info.month = local.tm_mon + 1;
    info.day = local.tm_mday;
    info.hour = local.tm_hour;
    info.minute = local.tm_min;
    utsname u{};
    if (uname(&u) == 0) {
        info.osName = u.sysname;
        std::sscanf(u.release, "%d.%d.%d", &info.osMajor, &info.osMinor, &info.osBuild);
    }
    struct sysinfo si{};
    if (sysinfo(&si) == 0) {
        info.memTotal = static_cast<uint64_t>(si.totalram) * si.mem_unit;
        info.memAvailable = static_cast<uint64_t>(si.freeram + si.bufferram) * si.mem_unit;
    }
    // The kernel's own estimate of what a program can still use, when it offers one.
    if (FILE* f = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        unsigned long long kb = 0;
        while (std::fgets(line, sizeof(line), f)) {
            if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
                info.memAvailable = kb * 1024ull;
                break;
            }
        }
        std::fclose(f);
    }
    return info;
}

void SysDebugOutput(const char* text) { PlatformLog("%s", text); }
