#include "game/scene_flow.h"

#include "framework/application.h"
#include "framework/graphics_device.h"

int frameCount = 0;
int menuCursor = 0;
int autoSaveResult = 0;

void SetScene(FrameProc scene, int firstFrame) {
    frameCount = firstFrame;
    frameProc = scene;
}

void BlackFrame() {
    if (!BeginFrame(0xff000000)) return;
    EndFrame();
}
