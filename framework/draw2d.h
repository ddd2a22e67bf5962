// Immediate-mode shapes on the graphics device: flat and textured rectangles and triangles in
// screen pixels, camera-facing quads, hexagon and disc fans in world space. Every shape draws with
// the device's current render states; callers set blending, the texture and the world transform
// where they matter.
#pragma once
#include <cstdint>

// Screen-space vertex (format 0x044) and its textured form (0x144).
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t color;
};
struct TexturedScreenVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
// World-space vertices: coloured (0x042) and textured (0x142).
struct ColorVertex {
    float x, y, z;
    uint32_t color;
};
struct TexturedVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};

constexpr uint32_t kScreenVertexFvf = 0x044;
constexpr uint32_t kTexturedScreenVertexFvf = 0x144;
constexpr uint32_t kColorVertexFvf = 0x042;
constexpr uint32_t kTexturedVertexFvf = 0x142;

// Equilateral triangle of circumradius r centred at (cx, cy), apex up; r/2 is an integer halving.
void DrawTriangleUp(int cx, int cy, int r, uint32_t color);
// The same triangle pointing right.
void DrawTriangleRight(int cx, int cy, int r, uint32_t color);
// The same two turned the other way: pointing down, pointing left.
void DrawTriangleDown(int cx, int cy, int r, uint32_t color);
void DrawTriangleLeft(int cx, int cy, int r, uint32_t color);
// Rectangle from (x1, y1) to (x2, y2); with an alpha below 255 the game's fade and tint tool.
void DrawRect(int x1, int y1, int x2, int y2, uint32_t color);
// A band over the whole width of the picture, rows y1 to y2: what covers the screen (fades,
// dimming, black frames) spans a wide picture's sides too (pictureLeft to pictureRight).
void DrawAcross(int y1, int y2, uint32_t color);
// Two curtains drawn in from the picture's sides, `closed` of the 640 x 480 layer's half width
// (320 meets in the middle): a wide picture's curtains cross its wider halves in the same time.
void DrawSideCurtains(int closed, uint32_t color);
// As DrawRect, with the whole stage-0 texture stretched over it.
void DrawTexturedRect(int x1, int y1, int x2, int y2, uint32_t color);

// A rectangle of texels: columns [left, right), rows [top, bottom).
struct TexelRect {
    uint16_t left, top, right, bottom;
};
// Parts of the stage-0 texture, width x height texels, drawn at its natural size with its top-left
// corner at (x, y): each texel lands on the pixel DrawTexturedRect over the whole texture would
// give it, so drawing every part draws the same picture. One draw for all the parts.
void DrawTexturedRectParts(int x, int y, int width, int height, const TexelRect* parts, int count, uint32_t color);

// Textured quad in the x-y plane centred at (x, y) at depth z, drawn with the world transform.
void DrawQuad3D(float x, float y, float z, float width, float height, uint32_t color);
// A fan of thirty-six rim points around (x, y, z) in the x-y plane, coloured from the centre colour
// to the rim colour.
void DrawDisc(float x, float y, float z, float radius, uint32_t centerColor, uint32_t rimColor);
