// State shared by the scene chain outside and inside the race, and the one routine that changes
// scene.
#pragma once

#include "framework/application.h"

extern int frameCount;      // the current scene's frame: set by SetScene, counted by the scene
extern int menuCursor;      // row selected in the current menu
extern int autoSaveResult;  // 0 no message, 1 success, 2 failure

// Changes scene: `scene` runs from the next frame with frameCount at `firstFrame`. A scene starts
// from 0 unless it goes on counting from where another left off (the menus carry the title's idle
// count, the pause menu the race's frame).
void SetScene(FrameProc scene, int firstFrame = 0);

// A scene that keeps the screen black.
void BlackFrame();
