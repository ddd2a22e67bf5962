// Bitmap loading for textures: Windows and OS/2 BMP files as image programs write them, decoded
// by a reader of our own to 32-bit ARGB, top row first, with an optional colour key made
// transparent black. Taken: 1, 4 and 8 bits with a colour table (8 and 4 bits also run-length
// coded), 24 bits, 16 and 32 bits plain or through bitfield masks of any width and position, with
// or without alpha, stored bottom-up or top-down. Refused with a reason: OS/2 Huffman and RLE24,
// embedded JPEG and PNG, CMYK, and anything damaged.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, width * height, row-major, top row first
};

// Largest bitmap accepted, per side and in all; bigger headers are refused as damaged before
// anything is allocated.
constexpr int kImageMaxSide = 8192;
constexpr int64_t kImageMaxPixels = 16 << 20;

// Pixels whose ARGB value (alpha 0xFF for bitmaps without alpha) equals a nonzero colour key
// become 0x00000000. A key of 0 means none.
void ApplyColorKey(Image& image, uint32_t colorKey);

// From a file (case-insensitive fallback on its name) or from bytes in memory. On failure the
// image is left empty and *error says why.
bool ImageLoadBmpFile(const char* path, uint32_t colorKey, Image& out, std::string* error);
bool ImageLoadBmpMemory(const void* data, size_t size, uint32_t colorKey, Image& out, std::string* error);
