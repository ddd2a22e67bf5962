// The one screen font: an italic gothic face of a given pixel height and weight, drawn in
// textColor. Each character is rasterised once into the font's glyph atlas (one texture), so a menu
// or HUD redrawn every frame, changing clocks included, costs one draw per DrawText and no
// rasterising.
#pragma once
#include <cstdint>

struct ScreenFont;  // the cached face and its rasterised strings, private to text_draw.cpp

extern ScreenFont* textFont;  // null until CreateTextFont (InitDirect3D makes the first one)
extern int textHeight;        // pixel height of the current font
extern uint32_t textColor;    // 0xAARRGGBB of the current font

// Releases the current font, then makes one of this pixel height and weight (400 regular, 700
// bold), italic, and stores the height and colour.
void CreateTextFont(int height, uint32_t color, int weight);
// Releases the font and every string texture it holds, if there is one.
void FreeTextFont();

// Bracket a run of DrawText calls: BeginText sets the states text needs (blending, the stage-0
// texture and its filters, no depth test, no fog), EndText puts the caller's back.
void BeginText();
void EndText();

// Draws UTF-8 text in textColor with its top-left corner at (x, y), clipped to the rectangle from
// there to the bottom-right of the screen. Line breaks start new lines; tabs go to the next stop
// every eight half-width columns.
void DrawText(int x, int y, const char* text);
// printf-style into a 2400-byte buffer, then DrawText. A longer result is cut (at a whole
// character), never written past the buffer.
void DrawTextFormat(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));

class Texture;
// One of each kind of screen draw the game makes, for a loading step's unseen frame (see
// DrawUnseen): rectangles clear, half-clear and solid (each alpha draws with a pipeline of its
// own), a text image, and a line of the screen font. Leaves the stage-0 texture unbound.
void DrawEachScreenKind(Texture& textImage);

constexpr int kTextFormatBufferSize = 2400;

// How many glyphs the font's atlas holds, and how many it rasterised since it was made.
int TextCacheSize();
int TextRasterisedCount();
