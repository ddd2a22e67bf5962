#include "tests/support/headless_device.h"

#include <unistd.h>

#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/data_dir.h"
#include "game/sound_effects.h"
#include "platform/system.h"
#include "race/crystals.h"
#include "race/race_hud.h"
#include "platform/text.h"
#include "tests/support/run_game.h"

namespace {
std::string logPath;
}  // namespace

bool StartHeadlessDevice(const std::string& path, int width, int height) {
    logPath = path.empty() ? MakeTempDir() + "/debug.txt" : path;
    SetLogFilePath(logPath.c_str());
    return SysInit(true) && SysCreateWindow("headless device test", width, height) && InitDirect3D();
}

void StopHeadlessDevice() {
    FreeDirect3D();
    TextShutdown();
    SysDestroyWindow();
    SysShutdown();
    SetLogFilePath("");
}

const std::string& HeadlessDeviceLogPath() { return logPath; }

bool LoadWorldAssets(bool withSounds) {
    if (chdir(KORVAN_BUILD_DIR) != 0 || !EnterDataDirectory()) return false;
    if (withSounds) LoadSounds();
    LoadTextures();
    LoadWorld();
    LoadCrystals();
    LeaveDataDirectory();
    return true;
}

void ReleaseWorldAssets() {
    ReleaseSounds();
    ReleaseAssetTables();
    ReleaseCrystals();
    ReleaseHudPanels();
}
