#include "platform/frame_loop.h"

void SysRunFrameLoop(bool (*)(), bool (*frame)(), void (*finish)()) {
    while (frame()) {
    }
    finish();
}

bool SysFrameLoopBlocks() { return true; }
