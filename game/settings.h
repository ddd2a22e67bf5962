// The player's options: camera view, music system, render detail, HUD elements, fog mode, auto save.
// Read directly by the race, HUD, music and course code; edited by the Option screen; stored in the
// save file. Each option is declared once, in `kSettings`: its caption, the values it takes with
// their labels and hints, and its default; the defaults, the save file's range test and the Option
// screen are all built from that one table.
#pragma once

extern int viewType;    // 0 back view, 1 cockpit view
extern int bgmType;     // 2 KBGM System, 1 Direct Music, 0 no music and no sounds
extern int renderLevel; // 2 high, 1 medium, 0 low
extern int showFps;     // boolean
extern int miniMap;     // 2 all cars, 1 own car only, 0 hidden
extern int speedMeter;  // 2 text, 1 gauge, 0 hidden
extern int timerMode;   // how many of the four timer read-outs are shown (0..4)
extern int fogType;     // 1 table (pixel) fog, 0 vertex fog
extern int autoSave;    // boolean

struct SettingChoice {
    int value;
    const char* label;  // as the Option screen shows it
    const char* hint;   // the speed hint beside it, or null
};

struct SettingInfo {
    const char* caption;          // the Option screen's row caption
    int* value;                   // the global it lives in
    int lowest, highest;          // its range
    int defaultValue;             // BGM Type's default is settled at start-up (KBGM or not)
    SettingChoice choices[5];     // in the order the Option screen steps through them
    int choiceCount;
};

constexpr int kSettingCount = 9;
// In Option-screen order: View Type, BGM Type, Render Level, FPS, Mini Map, Speed Meter, Timer(s),
// Fog Type, Auto Save. The save file keeps its own order (game/save_file.cpp maps between them).
extern const SettingInfo kSettings[kSettingCount];
enum SettingIndex {
    kSettingView, kSettingBgm, kSettingRender, kSettingFps, kSettingMiniMap, kSettingSpeedMeter,
    kSettingTimers, kSettingFog, kSettingAutoSave
};

// Puts every setting back to its default; BGM Type's default depends on the music library's presence.
void ResetSettings(bool kbgmAvailable);

// True when every value lies in its range (a save file with any value out of range is refused).
// `values` holds one value per setting, in table order.
bool SettingsInRange(const int values[kSettingCount]);

// The choice of a setting's current value (null when the value is out of range).
const SettingChoice* CurrentChoice(const SettingInfo& setting);
// The value after `value` in the Option screen's stepping order (toggles swap; the others count
// down and wrap to the top).
int NextSettingValue(const SettingInfo& setting, int value);
