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

// Draws the scene's picture of this step (`draw` makes a whole frame, BeginFrame to EndFrame, from
// what the step left) and names it as the picture of every display refresh until the next step,
// where it is drawn again with frameCount and menuCursor as this step drew them and the moving world placed between
// this step and the one before (see framework/picture_pacer.h).
void ShowStepPicture(void (*draw)());

// A scene that keeps the screen black.
void BlackFrame();
