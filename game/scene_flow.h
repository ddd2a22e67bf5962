// State shared by the scene chain outside and inside the race.
#pragma once

extern int frameCount;      // frames since the current scene chain started; scenes reset and count it
extern int menuCursor;      // row selected in the current menu
extern int autoSaveResult;  // 0 no message, 1 success, 2 failure

// A scene that keeps the screen black; stands where the scene chain has nothing to show.
void BlackFrame();
// The scene the logo hands over to: the story prologue on boards with two lights, else the
// demonstration (each with its set-up). Until those scenes exist: the black scene.
void StartAttractSequence();
