#include "game/settings.h"

int viewType = 0;
int bgmType = 1;
int renderLevel = 2;
int showFps = 0;
int miniMap = 2;
int speedMeter = 1;
int timerMode = 2;
int fogType = 1;
int autoSave = 1;

void ResetSettings(bool kbgmAvailable) {
    viewType = 0;
    bgmType = kbgmAvailable ? 2 : 1;
    renderLevel = 2;
    showFps = 0;
    miniMap = 2;
    speedMeter = 1;
    timerMode = 2;
    fogType = 1;
    autoSave = 1;
}

bool SettingsInRange(int view, int bgm, int render, int fps, int map, int meter, int timers, int fog, int save) {
    auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    return in(view, 0, 1) && in(bgm, 0, 2) && in(render, 0, 2) && in(fps, 0, 1) && in(map, 0, 2) &&
           in(meter, 0, 2) && in(timers, 0, 4) && in(fog, 0, 1) && in(save, 0, 1);
}
