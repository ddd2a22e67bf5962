// 24-bit images drawn in code, their BMP encoding, a deterministic random source, tileable noise and
// a small pixel font for the signs and the credit card.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

inline constexpr float kTau = 6.28318531f;

struct Rgb {
    float r = 0, g = 0, b = 0;  // 0..255
};
Rgb Hex(unsigned rgb);
Rgb Mix(Rgb a, Rgb b, float t);
Rgb Scaled(Rgb a, float s);
Rgb Add(Rgb a, Rgb b);

struct Image {
    int w = 0, h = 0;
    std::vector<Rgb> px;  // row 0 is the top of the picture
    Image(int width, int height, Rgb fill = {});
    Rgb& At(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
    Rgb Get(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
    // Wrapped access for tileable drawing.
    Rgb& Wrap(int x, int y) { return At(((x % w) + w) % w, ((y % h) + h) % h); }
    void Blend(int x, int y, Rgb c, float a);       // clipped
    void BlendWrap(int x, int y, Rgb c, float a);   // wrapped
    void FillRect(int x0, int y0, int x1, int y1, Rgb c);  // x1, y1 exclusive, clipped
    void SoftDisc(float cx, float cy, float r, Rgb c, float alpha, float soft, bool wrap = false);
    void Line(float x0, float y0, float x1, float y1, float width, Rgb c, float alpha, bool wrap = false);
    // Pixels of exact black would vanish where a mesh or strip uses black as its transparent colour.
    void LiftBlack();
};

// A complete 24-bit bottom-up BMP file.
std::vector<uint8_t> EncodeBmp(const Image& img);

// xorshift-style generator with a fixed seed per asset, so every build writes the same bytes.
struct Rng {
    explicit Rng(uint32_t seed) : s(seed * 2654435761u + 0x9e3779b9u) {}
    uint32_t s;
    uint32_t Next();
    float Unit();                       // 0..1
    float Range(float a, float b) { return a + (b - a) * Unit(); }
};

// Value noise on a lattice of `period` cells that wraps, so textures tile seamlessly.
float TileNoise(float x, float y, int period, uint32_t seed);
// Sum of octaves of TileNoise, 0..1; x, y in 0..1 over the tile.
float TileFbm(float x, float y, int basePeriod, int octaves, uint32_t seed);

// Pixel font: 5 x 7 glyphs for A-Z, a-z, 0-9 and a few marks; each glyph pixel drawn as a
// scale x scale block. Returns the width drawn.
int TextWidth(const std::string& text, int scale);
void DrawText(Image& img, int x, int y, const std::string& text, int scale, Rgb c);
// Text with a dark outline ring of `outline` pixels.
void DrawTextOutlined(Image& img, int x, int y, const std::string& text, int scale, Rgb c, Rgb edge,
                      int outline);
