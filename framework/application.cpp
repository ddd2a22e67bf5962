#include "framework/application.h"

#include <cstdlib>
#include <ctime>

#include "framework/debug_log.h"
#include "framework/frame_pacer.h"
#include "framework/frame_stats.h"
#include "framework/graphics_device.h"
#include "framework/input.h"
#include "framework/music.h"
#include "framework/sound.h"
#include "framework/switches.h"
#include "platform/system.h"
#include "platform/text.h"

FrameProc frameProc = nullptr;
int appActive = 0;
int clientWidth = 640;
int clientHeight = 480;
int windowed = 1;
uint32_t frameNumber = 0;
int appExitCode = 0;

namespace {
bool lockHeld = false;
bool systemStarted = false;
bool windowCreated = false;
bool quitRequested = false;
}  // namespace

void HandleWindowEvent(int event, int a, int b) {
    switch (static_cast<SysEvent>(event)) {
        case SysEvent::kClose:
            quitRequested = true;
            break;
        case SysEvent::kActivate:
            appActive = 1;
            Log("<アクティブ>\n");
            break;
        case SysEvent::kDeactivate:
            // Headless runs have no focus to lose; the game keeps running there.
            if (SysHeadless()) break;
            appActive = 0;
            Log("<非アクティブ>\n");
            break;
        case SysEvent::kResize:
            if (!windowed) break;  // full screen keeps its size
            clientWidth = a;
            clientHeight = b;
            Log("<クライアント領域 %d x %d>\n", clientWidth, clientHeight);
            break;
        case SysEvent::kDisplayChange:
            Log("<ディスプレイモードの変更>\n");
            break;
        default:
            break;
    }
}

static void OnSysEvent(SysEvent event, int a, int b) { HandleWindowEvent(static_cast<int>(event), a, b); }

bool InitApplication() {
    appExitCode = 0;
    // 1-2. One game at a time: an exclusive lock stands in for the named mutex.
    Log("多重起動を禁止します.\n");
    if (!SysAcquireInstanceLock("ztk mutex")) {
        ShowMessage("このプログラムは既に起動しています.\n");
        return false;
    }
    lockHeld = true;

    // 4. The debug stream.
    InitDebugStream();

    // 5. The window.
    if (!SysInit(programOptions.headless)) {
        Log("SDL could not start: no video driver\n");
        return false;
    }
    systemStarted = true;
    if (!SysCreateWindow("KORVAN -Outer Bounds-", 640, 480)) return false;
    windowCreated = true;
    clientWidth = 640;
    clientHeight = 480;
    appActive = 1;

    // 6-9. The four services, in their order; each shows its own message on failure.
    if (!InitDirect3D()) return false;
    if (!InitDirectInput()) {
        appExitCode = kBadInputScriptExit;
        return false;
    }
    if (!InitDirectSound()) return false;
    if (!InitDirectMusic()) return false;

    // 10. The frame pacer.
    InitFramePacer(framePacer, SysTimeMs, SysSleepMs);
    framePacer.sleeping = !programOptions.unpaced;

    // 11. The random generator: from the clock, or the seed given for a reproducible run.
    std::srand(programOptions.seedGiven ? programOptions.seed : static_cast<unsigned>(std::time(nullptr)));

    // 12. The first scene.
    frameProc = GameFirstFrame;
    frameNumber = 0;
    quitRequested = false;
    return true;
}

void FreeApplication() {
    FreeDirectMusic();
    FreeDirectSound();
    FreeInput();
    FreeDirect3D();
    TextShutdown();  // the fonts opened by text images and the screen font
    if (windowCreated) SysDestroyWindow();
    windowCreated = false;
    if (systemStarted) SysShutdown();
    systemStarted = false;
    if (lockHeld) SysReleaseInstanceLock();
    lockHeld = false;
}

bool PumpMessages() {
    if (quitRequested) return false;
    SysPumpEvents(OnSysEvent);
    return !quitRequested;
}

void RunFrame() {
    StatsBeginFrame();
    // 1. Input first; a held quit key posts a close request, and the frame still completes.
    UpdateInput();
    // 2. The scene. A scene that replaces frameProc takes effect on the next frame.
    FrameProc scene = frameProc;
    if (scene) scene();
    ++frameNumber;
    StatsEndWork();
    // 3-6. Rate measurement and sleep to the schedule.
    PaceResult pace = PaceFrame(framePacer);
    if (!programOptions.unpaced && !pace.onTime) StatsCountLate();
    if (programOptions.frames > 0 && frameNumber == static_cast<uint32_t>(programOptions.frames)) {
        CloseMainWindow();
    }
}

void CloseMainWindow() { SysPostClose(); }

void ShowMessage(const char* text) {
    SysMessageBox("", text);
    ClearInput();
}

void SetWindowTitle(const char* text) { SysSetWindowTitle(text); }

void WaitForMessage() { SysWaitEvent(); }
