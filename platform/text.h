// Text rasteriser: a line (or lines) of text rendered with IPA Gothic, which stands in for the face
// "ＭＳ ゴシック" and any other face the game names. Plain types only; SDL2_ttf stays inside text.cpp.
#pragma once
#include <cstdint>
#include <vector>

struct TextImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;  // width * height, row-major, top row first, 0 (empty) .. 255 (ink)
};

// Opens the font library with the face found through fontconfig (or KORVAN_FONT); false, with a
// warning that says what to install, when no face with Japanese glyphs can be found.
bool TextInit();
void TextShutdown();

// Renders UTF-8 text at a pixel height (cell height, as a GDI font of that height), weight 400 or
// 700, upright or italic. "\n" starts a new line; tabs expand to the next multiple of 8 half-width
// columns. An empty text gives a 0 x 0 image and true; false when the font is unavailable.
bool TextRender(const char* utf8, int pixelHeight, int weight, bool italic, TextImage& out);

// Size the text would take, without rendering it.
bool TextMeasure(const char* utf8, int pixelHeight, int weight, bool italic, int* width, int* height);

// One character as the string layout places it, for screens that assemble text from cached
// glyphs: its cell-high image with the pen at x = 0 (ink may reach past the advance, as italic
// does) and how far the pen moves on to the next character.
bool TextRenderGlyph(uint32_t codepoint, int pixelHeight, int weight, bool italic, TextImage& out, int* advance);
// Pixels between tab stops (eight half-width columns) in that face.
int TextTabWidth(int pixelHeight, int weight, bool italic);
