// The boot loader and the quit routine (the framework calls GameBoot, GameQuit).
#pragma once

// Steps of the start-up that belong to the race, the courses and the save file. GameBoot connects
// the ones whose modules exist; an empty entry is skipped.
struct BootHooks {
    void (*setUpFirstCourse)() = nullptr;  // course 1's set-up, so a course is always built
    void (*resetLapHistory)() = nullptr;   // lap times 99:59.999, rank at lap -1
    void (*resetRecords)() = nullptr;      // records table and progress to their defaults
    void (*resetRace)() = nullptr;         // ResetRace, and the player driven by the keyboard and pad
    bool (*readSaveFile)() = nullptr;      // the auto-load; true when the save file was read
};
extern BootHooks bootHooks;

struct BoardCheck {
    bool caution = false;  // textures below 512: the game cannot work; the program closes
    bool warning = false;  // one light, square-only textures or one stage: it may look wrong
};
BoardCheck CheckGraphicsBoard(int maxWidth, int maxHeight, int activeLights, int squareOnly, int textureStages);

// The background-music library's probe: open, load, play, stop. True when it all worked.
bool ProbeBackgroundMusic(const char* file);
// Stops and frees the library's song (retrying while it still plays) and closes the library.
void ReleaseBackgroundMusic();
