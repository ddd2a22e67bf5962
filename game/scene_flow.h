// State shared by the scene chain outside and inside the race.
#pragma once

extern int frameCount;      // frames since the current scene chain started; scenes reset and count it
extern int menuCursor;      // row selected in the current menu
extern int autoSaveResult;  // 0 no message, 1 success, 2 failure

// A scene that keeps the screen black.
void BlackFrame();
