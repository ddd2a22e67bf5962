// The race HUD over the 3D view: the big centre text, the panels with the rank, timers, boost
// gauge and speed, the reverse warning, the mini map and the place numbers over the opponents.
#pragma once
#include <cstdint>

#include "framework/texture.h"
#include "framework/vertex_buffer.h"

// The big centre text: what it says (empty once it has gone), how it looks and where; its timer is
// raceState.bigTextTimer. The HUD makes its two images when it first draws a new text.
struct BigText {
    char text[256];
    int size;
    uint32_t colour, shadowColour;
    int x, y, shadowX, shadowY;
    int serial;  // counts the texts shown, so the HUD knows when to remake the images
};
extern BigText bigText;
extern Texture bigTextImage;
extern Texture bigShadowImage;

// Shows a big text for `frames` frames. The shadow sits (4, 4) off for size 64, (2, 2) otherwise.
void ShowBigText(const char* text, int size, uint32_t colour, uint32_t shadowColour, int x, int y, int frames);
// The race step's part of the big text: this frame's HUD shows it with the timer as it stands
// (bigTextShown), then the timer counts down and the text goes at 0.
void AdvanceBigText();
// The lap texts of a forward crossing: "FINAL LAP " or "LAST %d LAPS ".
void ShowLapText(int laps, int lapsDone);
// The last-lap read-out after a completed lap (pink for a new best lap; the best-lap read-out then
// shows it too).
void SetLapTimeReadouts(int minutes, int millis, bool newBest);
// Both read-outs back to "99:59.999".
void ResetLapTimeReadouts();
// The best-lap read-out from the course's record.
void ShowBestLapRecord(int course);
// The best-lap read-out text as the HUD shows it: "%02d:%02.3f ".
void FormatLapTime(char* out, int size, int minutes, int millis);

// The HUD's panels: translucent dark-blue rectangles drawn as two-triangle strips (FPS, speed,
// rank, mini map, boost gauge, then the timer panel for one to four read-outs); at the lowest
// render levels plain black rectangles of the same size.
constexpr int kHudPanelCount = 9;
extern VertexBuffer hudPanels[kHudPanelCount];
struct PanelRect { int x1, y1, x2, y2; };
extern const PanelRect kHudPanelRects[kHudPanelCount];
// Creates the panels' vertex buffers (boot step 16) and releases them (shutdown).
void BuildHudPanels();
void ReleaseHudPanels();

// The mini map with its markers by the Mini Map setting (the race leaves it out after the finish).
void DrawMiniMap();
// Panels, gauges, rank, timers, reverse warning and the big text (after the finish: the big text
// only), from the race state as the step left it.
void DrawHud();
void DrawBigText();
// The place numbers over the opponents in view.
void DrawOpponentNumbers();
