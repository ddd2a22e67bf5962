// The game's graphics device off-screen, for suites that draw: SDL on its off-screen driver, the
// hidden 640 x 480 window and the device set-up the game itself runs (InitDirect3D). Call
// StartHeadlessDevice from SetUpTestSuite and StopHeadlessDevice from TearDownTestSuite.
#pragma once
#include <string>

// Points the debug log at logPath (debug.txt in a fresh temporary directory when empty), then
// starts SDL off-screen, makes the window and the device. False when any step fails; what did
// start is still stopped by StopHeadlessDevice.
// The window is width x height (a wide picture's tests ask for a wider one).
bool StartHeadlessDevice(const std::string& logPath = "", int width = 640, int height = 480);
// Frees the device, the fonts the text drawing opened, the window and SDL, and sends the log back
// to stderr. Safe after a failed start and safe twice.
void StopHeadlessDevice();
// The debug log the device reports to.
const std::string& HeadlessDeviceLogPath();
// Moves into the build directory and loads, as the boot does, the asset tables' textures and text
// images and the world's models (and the sounds when asked) from its data directory. False when
// the data directory cannot be entered.
bool LoadWorldAssets(bool withSounds);
// Releases what the boot's tables hold: sounds, asset tables, crystals, HUD panels.
void ReleaseWorldAssets();
