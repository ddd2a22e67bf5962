// The player's options: camera view, music system, render detail, HUD elements, fog mode, auto save.
// Read directly by the race, HUD, music and course code; edited by the Option screen; stored in the
// save file.
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

// Puts every setting back to its default; BGM Type's default depends on the music library's presence.
void ResetSettings(bool kbgmAvailable);

// True when every value lies in its range (a save file with any value out of range is refused).
bool SettingsInRange(int view, int bgm, int render, int fps, int map, int meter, int timers, int fog, int save);
