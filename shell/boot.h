// The boot loader and the quit routine (the framework calls GameBoot, GameQuit).
#pragma once

// The save file's reader for the start-up auto-load; true when the file was read. Empty until the
// save file is part of the game: then the defaults stay in force, as after a missing file.
struct BootHooks {
    bool (*readSaveFile)() = nullptr;
};
extern BootHooks bootHooks;

struct BoardCheck {
    bool caution = false;  // textures below 512: the game cannot work; the program closes
    bool warning = false;  // one light, square-only textures or one stage: it may look wrong
};
BoardCheck CheckGraphicsBoard(int maxWidth, int maxHeight, int activeLights, int squareOnly, int textureStages);

