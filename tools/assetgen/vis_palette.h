// Flat colours for meshes drawn without lighting (sky set pieces): an 8 x 8 grid of swatches in
// "palette.bmp"; a face takes a colour by pointing all its texture coordinates at a swatch centre.
#pragma once

inline constexpr unsigned kPalette[] = {
    0xff9a5c, 0xffc07a, 0xe0607a, 0xa04a8c, 0x6a3a8a, 0xfff0c0, 0xffffff, 0xc8b0e0,  // sunset clouds
    0xd8c8a0, 0xa08060, 0x6a5040, 0xe8e0d0, 0x9ab0d0, 0x5a6a90, 0xffe080, 0xff6030,  // rings, rocks
};
inline constexpr int kPaletteCount = sizeof(kPalette) / sizeof(kPalette[0]);

inline float PaletteU(int i) { return ((i % 8) + 0.5f) / 8.0f; }
inline float PaletteV(int i) { return ((i / 8) + 0.5f) / 8.0f; }
