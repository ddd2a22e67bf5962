// Bitmap loading: 24-bit and palettised files of odd widths, the colour key, and refusal of
// damaged headers before anything is allocated.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/image.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = v >> 8;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// A BMP of the given depth (24, or 8 with `palette`), rows stored bottom-up and padded to four
// bytes. pixels: ARGB for 24-bit, palette indices for 8-bit, top row first.
std::vector<uint8_t> MakeBmp(int w, int h, int bits, const std::vector<uint32_t>& pixels,
                             const std::vector<uint32_t>& palette = {}) {
    size_t row = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;
    size_t paletteBytes = palette.size() * 4;
    size_t offset = 14 + 40 + paletteBytes;
    std::vector<uint8_t> b(offset + row * h, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, static_cast<uint32_t>(offset));
    Put32(b, 14, 40);
    Put32(b, 18, w);
    Put32(b, 22, h);
    Put16(b, 26, 1);
    Put16(b, 28, bits);
    Put32(b, 46, static_cast<uint32_t>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i) Put32(b, 54 + i * 4, palette[i] & 0xFFFFFF);
    for (int y = 0; y < h; ++y) {
        uint8_t* dst = &b[offset + row * (h - 1 - y)];
        for (int x = 0; x < w; ++x) {
            uint32_t p = pixels[y * w + x];
            if (bits == 24) {
                dst[x * 3] = p & 0xFF;
                dst[x * 3 + 1] = (p >> 8) & 0xFF;
                dst[x * 3 + 2] = (p >> 16) & 0xFF;
            } else {
                dst[x] = static_cast<uint8_t>(p);
            }
        }
    }
    return b;
}

TEST(Image, TwentyFourBitOddWidthTopRowFirst) {
    const std::vector<uint32_t> px = {0x112233, 0x445566, 0x778899, 0x000000, 0xFFFFFF, 0x0000FF};
    std::vector<uint8_t> bmp = MakeBmp(3, 2, 24, px);
    Image img;
    std::string error;
    ASSERT_TRUE(ImageLoadBmpMemory(bmp.data(), bmp.size(), 0, img, &error)) << error;
    ASSERT_EQ(img.width, 3);
    ASSERT_EQ(img.height, 2);
    for (size_t i = 0; i < px.size(); ++i) EXPECT_EQ(img.pixels[i], 0xFF000000u | px[i]) << i;
}

TEST(Image, PalettisedOddWidthAndTheColourKey) {
    const std::vector<uint32_t> palette = {0x000000, 0xFF00FF, 0x20A040};
    const std::vector<uint32_t> idx = {1, 2, 0, 2, 1, 1, 0, 0, 2, 2, 2, 1, 1, 0, 2};  // 5 x 3
    std::vector<uint8_t> bmp = MakeBmp(5, 3, 8, idx, palette);
    Image img;
    std::string error;
    ASSERT_TRUE(ImageLoadBmpMemory(bmp.data(), bmp.size(), 0, img, &error)) << error;
    ASSERT_EQ(img.width, 5);
    for (size_t i = 0; i < idx.size(); ++i) EXPECT_EQ(img.pixels[i], 0xFF000000u | palette[idx[i]]) << i;

    // Magenta keyed out becomes transparent black; the others stay as they were.
    ASSERT_TRUE(ImageLoadBmpMemory(bmp.data(), bmp.size(), 0xFFFF00FF, img, &error));
    for (size_t i = 0; i < idx.size(); ++i)
        EXPECT_EQ(img.pixels[i], idx[i] == 1 ? 0u : (0xFF000000u | palette[idx[i]])) << i;
    // A key without alpha never matches an opaque pixel; black keyed out.
    ASSERT_TRUE(ImageLoadBmpMemory(bmp.data(), bmp.size(), 0x00FF00FF, img, &error));
    EXPECT_EQ(img.pixels[0], 0xFFFF00FFu);
    ASSERT_TRUE(ImageLoadBmpMemory(bmp.data(), bmp.size(), 0xFF000000, img, &error));
    EXPECT_EQ(img.pixels[2], 0u);
    EXPECT_EQ(img.pixels[1], 0xFF20A040u);
}

TEST(Image, DamagedBitmapsAreRefused) {
    std::vector<uint8_t> good = MakeBmp(4, 4, 24, std::vector<uint32_t>(16, 0x123456));
    Image img;
    std::string error;
    auto refused = [&](std::vector<uint8_t> b, const char* what) {
        EXPECT_FALSE(ImageLoadBmpMemory(b.data(), b.size(), 0, img, &error)) << what;
        EXPECT_TRUE(img.pixels.empty()) << what;
        EXPECT_FALSE(error.empty()) << what;
    };
    refused({}, "empty");
    refused({'B', 'M'}, "header only");
    auto b = good;
    b[0] = 'P';
    refused(b, "signature");
    b = good;
    Put32(b, 18, 100000);
    refused(b, "absurd width");
    b = good;
    Put32(b, 18, 0x80000000u);
    refused(b, "negative width");
    b = good;
    Put32(b, 22, 0x7FFFFFFF);
    refused(b, "absurd height");
    b = good;
    Put16(b, 28, 7);
    refused(b, "bit depth");
    b = good;
    Put32(b, 10, 0xFFFFFFF0u);
    refused(b, "pixel offset beyond the file");
    b = good;
    b.resize(b.size() - 5);
    refused(b, "truncated pixels");
    b = MakeBmp(2, 2, 8, {0, 1, 1, 0}, {0, 0xFFFFFF});
    Put32(b, 46, 1000000);
    refused(b, "colour table");
    // Every cut of a good file is refused without reading past the end.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        EXPECT_FALSE(ImageLoadBmpMemory(good.data(), cut, 0, img, &error)) << cut;
    }
    // Top-down bitmaps (negative height) are fine.
    b = good;
    Put32(b, 22, static_cast<uint32_t>(-4));
    EXPECT_TRUE(ImageLoadBmpMemory(b.data(), b.size(), 0, img, &error)) << error;
}

TEST(Image, FilesLoadLikeMemoryWithCaseInsensitiveNames) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("korvan_image_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<uint8_t> bmp = MakeBmp(3, 1, 24, {0xFF0000, 0x00FF00, 0x0000FF});
    FILE* f = std::fopen((dir / "Road1.bmp").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bmp.data(), 1, bmp.size(), f);
    std::fclose(f);
    Image img;
    std::string error;
    ASSERT_TRUE(ImageLoadBmpFile((dir / "road1.BMP").c_str(), 0, img, &error)) << error;
    EXPECT_EQ(img.pixels[1], 0xFF00FF00u);
    EXPECT_FALSE(ImageLoadBmpFile((dir / "road2.bmp").c_str(), 0, img, &error));
    EXPECT_TRUE(img.pixels.empty());
    fs::remove_all(dir);
}

}  // namespace
