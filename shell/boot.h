// The boot loader and the quit routine (the framework calls GameBoot, GameQuit).
#pragma once

// The start-up auto-load read the save file (the logo says so).
extern bool autoLoadSuccess;

struct BoardCheck {
    bool caution = false;  // textures below 512: the game cannot work; the program closes
    bool warning = false;  // one light, square-only textures or one stage: it may look wrong
};
BoardCheck CheckGraphicsBoard(int maxWidth, int maxHeight, int activeLights, int squareOnly, int textureStages);

