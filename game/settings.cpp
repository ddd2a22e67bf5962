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

namespace {
const char* const kNormal = "(Normal ) ";
const char* const kFaster = "(Faster ) ";
const char* const kFastest = "(Fastest) ";
}  // namespace

const SettingInfo kSettings[kSettingCount] = {
    {"View Type ", &viewType, 0, 1, 0, {{0, "Back View ", kNormal}, {1, "Cockpit View ", kFastest}}, 2},
    {"BGM Type ", &bgmType, 0, 2, 2,
     {{2, "KBGM System ", kNormal}, {1, "Direct Music ", kFaster}, {0, "No BGM & Sounds ", kFastest}}, 3},
    {"Render Level ", &renderLevel, 0, 2, 2,
     {{2, "Render High ", kNormal}, {1, "Render Medium ", kFaster}, {0, "Render Low ", kFastest}}, 3},
    {"FPS ", &showFps, 0, 1, 0, {{1, "Show FPS ", kNormal}, {0, "Hide FPS ", kFastest}}, 2},
    {"Mini Map ", &miniMap, 0, 2, 2,
     {{2, "Show MiniMap ", kNormal}, {1, "Show MiniMap (My Car Only) ", kFaster}, {0, "Hide MiniMap ", kFastest}},
     3},
    {"Speed Meter ", &speedMeter, 0, 2, 1,
     {{2, "Text Speed Meter ", kNormal}, {1, "Gauge Speed Meter ", kFaster}, {0, "Hide Speed Meter ", kFastest}},
     3},
    {"Timer(s) ", &timerMode, 0, 4, 2,
     {{4, "Show All Timers ", kNormal},
      {3, "Show Limit/Time/Last Timers ", kNormal},
      {2, "Show Limit/Time Timers ", kFaster},
      {1, "Show Limit Timer Only ", kFaster},
      {0, "Hide All Timers ", kFastest}},
     5},
    {"Fog Type ", &fogType, 0, 1, 1, {{1, "Pixel Fog ", kNormal}, {0, "Vertex Fog ", kFastest}}, 2},
    {"Auto Save ", &autoSave, 0, 1, 1, {{1, "ON ", nullptr}, {0, "OFF ", nullptr}}, 2},
};

void ResetSettings(bool kbgmAvailable) {
    for (const SettingInfo& s : kSettings) *s.value = s.defaultValue;
    bgmType = kbgmAvailable ? 2 : 1;
}

bool SettingsInRange(const int values[kSettingCount]) {
    for (int i = 0; i < kSettingCount; ++i)
        if (values[i] < kSettings[i].lowest || values[i] > kSettings[i].highest) return false;
    return true;
}

const SettingChoice* CurrentChoice(const SettingInfo& setting) {
    for (int i = 0; i < setting.choiceCount; ++i)
        if (setting.choices[i].value == *setting.value) return &setting.choices[i];
    return nullptr;
}

int NextSettingValue(const SettingInfo& setting, int value) {
    for (int i = 0; i < setting.choiceCount; ++i)
        if (setting.choices[i].value == value) return setting.choices[(i + 1) % setting.choiceCount].value;
    return setting.defaultValue;
}
