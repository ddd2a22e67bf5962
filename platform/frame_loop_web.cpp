// The browser's frame loop: the page calls Tick before each picture it shows, and Tick runs the
// frames the 60 Hz schedule has made due since the last call (back to back after a stall, as
// the desktop loop catches up), a few at most, so the page keeps answering.
#include <emscripten.h>

#include "platform/frame_loop.h"

namespace {
bool (*dueProc)() = nullptr;
bool (*frameProc)() = nullptr;
void (*finishProc)() = nullptr;
// More frames than this in one call would hold the page (unpaced runs come back to the page after
// as many, so that it can show a picture and take the keys).
constexpr int kMostFramesPerCall = 4;

void Tick() {
    for (int n = 0; n < kMostFramesPerCall && dueProc(); ++n) {
        if (!frameProc()) {
            emscripten_cancel_main_loop();
            finishProc();
            // The page learns that the game is over (it shows so; the web test waits for it).
            EM_ASM({ if (Module.onFrameLoopEnd) Module.onFrameLoopEnd(); });
            return;
        }
    }
}
}  // namespace

void SysRunFrameLoop(bool (*frameDue)(), bool (*frame)(), void (*finish)()) {
    dueProc = frameDue;
    frameProc = frame;
    finishProc = finish;
    // Called at the page's own rate (0); the call does not return, so nothing on the stack below
    // it is unwound while the page runs.
    emscripten_set_main_loop(Tick, 0, 1);
}

bool SysFrameLoopBlocks() { return false; }
