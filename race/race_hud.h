// The race HUD over the 3D view: the big centre text, the panels with the rank, timers, boost
// gauge and speed, the reverse warning, the mini map and the place numbers over the opponents.
#pragma once
#include <cstdint>

#include "framework/texture.h"

// The big centre text: its two images, positions and timer (the timer is raceState.bigTextTimer).
extern Texture bigTextImage;
extern Texture bigShadowImage;
extern int bigTextX, bigTextY, bigShadowX, bigShadowY;
// What the big text says (empty once it has gone).
extern char bigTextString[256];

// Makes the two big-text images and shows them for `frames` frames. The shadow sits (4, 4) off
// for size 64, (2, 2) otherwise.
void ShowBigText(const char* text, int size, uint32_t colour, uint32_t shadowColour, int x, int y, int frames);
// Draws the big text while its timer runs, dimming in its last frames, and counts it down.
void DrawBigText();
// The lap texts of a forward crossing: "FINAL LAP " or "LAST %d LAPS ".
void ShowLapText(int laps, int lapsDone);
// The last-lap read-out after a completed lap (pink for a new best lap) and the best-lap one.
void MakeLapTimeTexts(int minutes, int millis, bool newBest);
// Both read-outs back to "99:59.999".
void ResetLapTimeTexts();

void DrawMiniMap();
// Panels, gauges, rank, timers, reverse warning and the big text (after the finish: the big text only).
void DrawHud(int rank);
void DrawOpponentNumbers(int rank);
