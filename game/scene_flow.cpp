#include "game/scene_flow.h"

#include "framework/application.h"
#include "framework/graphics_device.h"
#include "framework/picture_pacer.h"

int frameCount = 0;
int menuCursor = 0;
int autoSaveResult = 0;

namespace {
void (*stepPicture)() = nullptr;
int stepPictureFrame = 0;   // frameCount when the step drew its picture
int stepPictureCursor = 0;  // and menuCursor

// Between two steps: the step's picture again. The scene has counted its frame (and may have moved
// its cursor) since; the picture shows them as they were drawn, and they are back as the scene
// left them before the next step.
void StepPictureAgain() {
    if (!stepPicture) return;
    const int counted = frameCount, cursor = menuCursor;
    frameCount = stepPictureFrame;
    menuCursor = stepPictureCursor;
    stepPicture();
    frameCount = counted;
    menuCursor = cursor;
}
}  // namespace

void ShowStepPicture(void (*draw)()) {
    stepPicture = draw;
    stepPictureFrame = frameCount;
    stepPictureCursor = menuCursor;
    SetPictureProc(StepPictureAgain);
    draw();
}

void SetScene(FrameProc scene, int firstFrame) {
    frameCount = firstFrame;
    frameProc = scene;
}

void BlackFrame() {
    if (!BeginFrame(0xff000000)) return;
    EndFrame();
}
