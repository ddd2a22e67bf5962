#include "framework/application.h"

#include <cstdlib>
#include <ctime>

#include "framework/debug_log.h"
#include "framework/frame_pacer.h"
#include "framework/frame_stats.h"
#include "framework/graphics_device.h"
#include "framework/input.h"
#include "framework/music.h"
#include "framework/picture_pacer.h"
#include "framework/presentation.h"
#include "framework/sound.h"
#include "framework/step_blend.h"
#include "framework/switches.h"
#include "platform/audio.h"
#include "platform/builtin_resources.h"
#include "platform/frame_fit.h"
#include "platform/input.h"
#include "platform/system.h"
#include "platform/text.h"

FrameProc frameProc = nullptr;
int appActive = 0;
int clientWidth = 640;
int clientHeight = 480;
uint32_t frameNumber = 0;
int appExitCode = 0;

namespace {
const char* const kDisplayWords[] = {"window", "fullscreen", nullptr};
const char* const kScalingWords[] = {"sharp", "smooth", nullptr};
}  // namespace
ConfigSetting displayMode{"display.mode", kDisplayWords, kDisplayFullScreen,
                          "the game in a window or over the whole screen; Alt+Enter or F11 switches in play"};
ConfigSetting displayScaling{"display.scaling", kScalingWords, kScalingSharp,
                             "how the 640 x 480 picture is enlarged: sharp keeps square pixels (whole steps, "
                             "2x, 3x, where they fit), smooth fills the window's height or width, filtered"};

namespace {
bool lockHeld = false;
bool systemStarted = false;
bool windowCreated = false;
bool quitRequested = false;
}  // namespace

void SetApplicationActive(bool active) {
    appActive = active ? 1 : 0;
    // The frames stop by themselves; the sound would play on, a looping engine note included.
    AudioSetPaused(!active);
    Log(active ? "<アクティブ>\n" : "<非アクティブ>\n");
}

bool ToggleFullScreen() {
    if (SysHeadless()) return false;
    const bool toFull = windowed != 0;
    if (!SysWindowFullscreen(toFull)) {
        LogWarning("display: the window system refused %s\n", toFull ? "full screen" : "the window");
        return false;
    }
    windowed = toFull ? 0 : 1;
    InputShowCursor(windowed != 0);
    Log("display: %s\n", toFull ? "full screen" : "window");
    displayMode.value = toFull ? kDisplayFullScreen : kDisplayWindow;
    SaveConfigFile();
    // The driver may wait for the display in one and not the other.
    ApplyPresentation();
    return true;
}

void HandleWindowEvent(int event, int a, int b) {
    switch (static_cast<SysEvent>(event)) {
        case SysEvent::kClose:
            quitRequested = true;
            break;
        case SysEvent::kActivate:
            SetApplicationActive(true);
            break;
        case SysEvent::kDeactivate:
            // Headless runs have no focus to lose; the game keeps running there.
            if (SysHeadless()) break;
            SetApplicationActive(false);
            break;
        case SysEvent::kKeyDown: {
            // Alt+Enter and F11 switch full screen, as players expect of a game on any desktop.
            if (b & kSysKeyRepeat) break;
            const int code = InputScanCodeFromSdl(a);
            const bool altEnter = (b & kSysKeyAlt) && (code == DIK_RETURN || code == DIK_NUMPADENTER);
            if (code == DIK_F11 || altEnter) ToggleFullScreen();
            break;
        }
        case SysEvent::kResize:
            if (!windowed) break;  // full screen keeps its size
            clientWidth = a;
            clientHeight = b;
            Log("<クライアント領域 %d x %d>\n", clientWidth, clientHeight);
            break;
        case SysEvent::kDisplayChange:
            Log("<ディスプレイモードの変更>\n");
            // The window may now be on a display of another refresh rate.
            ApplyPresentation();
            break;
        default:
            break;
    }
}

static void OnSysEvent(SysEvent event, int a, int b) { HandleWindowEvent(static_cast<int>(event), a, b); }

bool InitApplication() {
    appExitCode = 0;
    SysSetHeadless(programOptions.headless);
    // 1-2. One game at a time: an exclusive lock stands in for the named mutex.
    Log("多重起動を禁止します.\n");
    if (!SysAcquireInstanceLock("ztk mutex")) {
        // The desktop's message box may have no Japanese glyphs: the English line says it too.
        ShowMessage("このプログラムは既に起動しています.\nKORVAN -Outer Bounds- is already running.\n");
        return false;
    }
    lockHeld = true;

    // 4. The debug stream, then the player's settings (a first real start writes the file with
    // every setting in it, for the player to find).
    InitDebugStream();
    LoadConfigFile(!programOptions.headless);
    SetFrameScaling(displayScaling.value == kScalingSmooth ? FrameScaling::kSmooth : FrameScaling::kSharp);

    // 5. The window.
    if (!SysInit(programOptions.headless)) {
        LogWarning("SDL could not start: no video driver\n");
        return false;
    }
    systemStarted = true;
    // 640 x 480, or the size --window asks for (an off-screen window too, for wide pictures).
    const int startWidth = programOptions.windowWidth > 0 ? programOptions.windowWidth : 640;
    const int startHeight = programOptions.windowHeight > 0 ? programOptions.windowHeight : 480;
    if (!SysCreateWindow("KORVAN -Outer Bounds-", startWidth, startHeight)) return false;
    windowCreated = true;
    // Icon resource 101, the game's own, for the title bar and the task switcher.
    if (const BuiltinResource* icon = FindBuiltinResource("IDI_ICON101")) SysSetWindowIcon(icon->data, icon->size);
    clientWidth = startWidth;
    clientHeight = startHeight;
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

namespace {
struct NamedScene {
    FrameProc scene;
    const char* name;
};
constexpr int kMaxNamedScenes = 48;
NamedScene namedScenes[kMaxNamedScenes];
int namedSceneCount = 0;

const char* SceneName(FrameProc scene) {
    for (int i = 0; i < namedSceneCount; ++i)
        if (namedScenes[i].scene == scene) return namedScenes[i].name;
    return nullptr;
}
}  // namespace

void NameScene(FrameProc scene, const char* name) {
    for (int i = 0; i < namedSceneCount; ++i) {
        if (namedScenes[i].scene == scene) {
            namedScenes[i].name = name;
            return;
        }
    }
    if (namedSceneCount < kMaxNamedScenes) {
        namedScenes[namedSceneCount++] = {scene, name};
    } else {
        Log("NameScene: no room for %s\n", name);
    }
}

namespace {
FrameProc lastStepScene = nullptr;

// One step: input, the scene (its logic, then its own picture), the frame counted.
void RunStep() {
    StatsSetScene(SceneName(frameProc));
    StatsBeginFrame();
    // 1. Input first; a held quit key posts a close request, and the frame still completes. A
    // sound device lost since the last frame is opened again for the music as well as the effects.
    UpdateInput();
    if (QuitKeyDown()) CloseMainWindow();
    AudioCheckDevice();
    // 2. The scene. A scene that replaces frameProc takes effect on the next frame. A new scene's
    // first picture is a cut: nothing of the scene before blends into it.
    FrameProc scene = frameProc;
    pictureStep = frameNumber;
    pictureProc = nullptr;
    if (scene != lastStepScene) MarkPictureCut();
    lastStepScene = scene;
    if (scene) scene();
    // A device that needs a reset is not reset: the program ends through the normal quit path.
    if (DeviceNeedsReset()) CloseMainWindow();
    ++frameNumber;
    StatsEndWork();
}

void CloseAfterLastFrame() {
    if (programOptions.frames > 0 && frameNumber == static_cast<uint32_t>(programOptions.frames)) {
        CloseMainWindow();
    }
}

// A turn of the loop while a picture is drawn for every refresh: the step the next refresh's
// picture needs, with its own picture, or else a picture between the steps.
void RunPictureTurn(int refreshHz) {
    PicturePacer& p = picturePacer;
    if (!p.active || p.refreshHz != refreshHz) {
        const bool offScreen = SysHeadless();
        StartPictures(p, frameNumber, refreshHz, offScreen && programOptions.unpaced, offScreen);
        p.lastPictureDrawn = LastPictureDrawn;
        Log("display: a picture for every refresh at %d Hz%s\n", refreshHz,
            p.simulated ? ", the display and its clock simulated" : "");
    }
    const PictureTurn turn = NextPictureTurn(p, frameNumber);
    pictureFraction = turn.fraction;
    if (turn.step) {
        const uint32_t step = frameNumber;
        const uint32_t presented = PresentCount();
        const int64_t started = PacerClockNs();
        RunStep();
        NoteStepCost(p, PacerClockNs() - started);
        if (!p.simulated) MeasureRate(framePacer, SysTimeMs());
        if (StepEndedLate(p, step)) StatsCountLate();
        WatchPresentation(turn.restarted);
        RefreshPassed(p, PresentCount() != presented);
        StatsSetPictures(p.refreshHz, p.pictures, p.dropped);
        CloseAfterLastFrame();
        return;
    }
    bool shown = false;
    if (pictureProc) {
        const uint32_t presented = PresentCount();
        pictureBetweenSteps = true;
        DrawPictureBetween(p, frameNumber, pictureProc);
        pictureBetweenSteps = false;
        shown = PresentCount() != presented;
        if (DeviceNeedsReset()) CloseMainWindow();
    }
    RefreshPassed(p, shown);
    StatsSetPictures(p.refreshHz, p.pictures, p.dropped);
}
}  // namespace

void RunFrame() {
    const int refreshHz = programOptions.unpaced && !SysHeadless() ? 0 : SmoothRefreshHz();
    if (refreshHz > 0) {
        RunPictureTurn(refreshHz);
        return;
    }
    if (picturePacer.active) {
        // Back to one picture a step: the pacer's schedule starts from now.
        picturePacer.active = false;
        RestartSchedule(framePacer);
    }
    pictureFraction = 1.0f;
    RunStep();
    // 3-6. Rate measurement and sleep to the schedule.
    PaceResult pace = PaceFrame(framePacer);
    if (!programOptions.unpaced && !pace.onTime) StatsCountLate();
    WatchPresentation(pace.restarted);
    CloseAfterLastFrame();
}

void CloseMainWindow() { SysPostClose(); }

void ShowMessage(const char* text) {
    SysMessageBox("", text);
    ClearInput();
}

void SetWindowTitle(const char* text) { SysSetWindowTitle(text); }

void WaitForMessage() { SysWaitEvent(); }
