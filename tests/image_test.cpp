// Bitmap loading: 24-bit and palettised files of odd widths, the colour key, run-length coded
// rows with every escape, the forms refused by name, refusal of damaged headers before anything is
// allocated, and every bitmap the game ships read exactly as SDL reads it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/builtin_resources.h"
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

// A palettised bitmap of `bits` (8 or 4) with a 16-colour table whose entry i is 0x0i0i0i,
// holding `stream` as its run-length coded pixels (compression 1 for 8 bits, 2 for 4).
std::vector<uint8_t> RleBmp(int w, int h, int bits, const std::vector<uint8_t>& stream) {
    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < 16; ++i) palette.push_back(0x010101u * i);
    std::vector<uint8_t> b = MakeBmp(w, h, 8, std::vector<uint32_t>(w * h, 0), palette);
    b.resize(14 + 40 + 16 * 4);
    Put16(b, 28, static_cast<uint16_t>(bits));
    b.insert(b.end(), stream.begin(), stream.end());
    Put32(b, 30, bits == 8 ? 1 : 2);
    Put32(b, 34, static_cast<uint32_t>(stream.size()));
    return b;
}

// The palette indices of a decoded RleBmp, top row first.
std::vector<int> Indices(const Image& img) {
    std::vector<int> out;
    for (uint32_t p : img.pixels) out.push_back(p == 0 ? -1 : static_cast<int>(p & 0xFF));
    return out;
}

TEST(Image, RunLengthCodedRowsWithEveryEscape) {
    Image img;
    std::string error;
    // 8 bits, 5 x 4, rows stored bottom-up: a run past the row's end (cut there); an odd literal
    // stretch with its pad byte and an early end of line; a short run and a delta of one pixel
    // right and one row up; a run, and the end of the bitmap before the last row is full.
    const std::vector<uint8_t> rle8 = {
        9, 1,  0, 0,                      // bottom row: 1 1 1 1 1
        0, 3, 2, 3, 4, 0,  0, 0,          // row 2: 2 3 4 . .
        2, 5,  0, 2, 1, 1,                // row 3: 5 5 . . .
        1, 7,  0, 1,                      // top row: . . . 7 .
    };
    const std::vector<uint8_t> eight = RleBmp(5, 4, 8, rle8);
    ASSERT_TRUE(ImageLoadBmpMemory(eight.data(), eight.size(), 0, img, &error)) << error;
    // Skipped pixels keep colour 0 of the table (black, opaque: -1 here would be transparent).
    EXPECT_EQ(Indices(img), (std::vector<int>{0, 0, 0, 7, 0,  5, 5, 0, 0, 0,  2, 3, 4, 0, 0,  1, 1, 1, 1, 1}));
    EXPECT_EQ(img.pixels[0], 0xFF000000u);

    // 4 bits, 7 x 2: a run of alternating nibbles; a literal stretch of five nibbles (three bytes
    // and a pad); a delta right; the stream ends after the top row without an end marker.
    const std::vector<uint8_t> rle4 = {
        7, 0x12,  0, 0,                   // bottom row: 1 2 1 2 1 2 1
        0, 5, 0x34, 0x56, 0x70, 0,        // top row: 3 4 5 6 7
        0, 2, 1, 0,  1, 0x99,             // ... skip one, then 9
    };
    const std::vector<uint8_t> four = RleBmp(7, 2, 4, rle4);
    ASSERT_TRUE(ImageLoadBmpMemory(four.data(), four.size(), 0, img, &error)) << error;
    EXPECT_EQ(Indices(img), (std::vector<int>{3, 4, 5, 6, 7, 0, 9,  1, 2, 1, 2, 1, 2, 1}));

    // The same stream cut inside a command, or before the picture's end, is refused.
    for (size_t cut : {size_t{1}, size_t{4}, size_t{8}, rle4.size() - 1}) {
        std::vector<uint8_t> stream(rle4.begin(), rle4.begin() + cut);
        std::vector<uint8_t> b = RleBmp(7, 2, 4, stream);
        EXPECT_FALSE(ImageLoadBmpMemory(b.data(), b.size(), 0, img, &error)) << cut;
        EXPECT_EQ(error, "truncated bitmap") << cut;
    }
}

TEST(Image, FormsThatCannotBeReadAreRefusedByName) {
    const std::vector<uint8_t> good = MakeBmp(4, 2, 24, std::vector<uint32_t>(8, 0x123456));
    const std::vector<uint8_t> pal = MakeBmp(4, 2, 8, {0, 1, 0, 1, 1, 0, 1, 3}, {0, 0xFFFFFF, 0x808080});
    struct Case {
        std::vector<uint8_t> file;
        const char* reason;
    };
    auto with = [](std::vector<uint8_t> b, size_t at, uint32_t v, int bytes) {
        if (bytes == 2) Put16(b, at, static_cast<uint16_t>(v));
        else Put32(b, at, v);
        return b;
    };
    std::vector<uint8_t> huffman = with(with(good, 28, 1, 2), 30, 3, 4);
    huffman = with(huffman, 14, 64, 4);  // OS/2's 64-byte header
    huffman.insert(huffman.begin() + 54, 24, 0);
    std::vector<uint8_t> gappy = with(with(good, 28, 32, 2), 30, 3, 4);
    gappy.insert(gappy.begin() + 54, 12, 0);
    Put32(gappy, 54, 0x00F0F000);  // red mask with a hole
    Put32(gappy, 58, 0x0000FF00);
    Put32(gappy, 62, 0x000000FF);
    const Case cases[] = {
        {huffman, "OS/2 Huffman-coded bitmaps are not supported"},
        {with(good, 30, 4, 4), "OS/2 RLE24 bitmaps are not supported"},
        {with(pal, 30, 4, 4), "JPEG bitmaps are not supported"},
        {with(good, 30, 5, 4), "PNG bitmaps are not supported"},
        {with(good, 30, 11, 4), "CMYK bitmaps are not supported"},
        {with(good, 30, 3, 4), "bitfields need 16 or 32 bits per pixel"},
        {with(good, 30, 1, 4), "RLE8 compression needs 8 bits per pixel"},
        {gappy, "bitfield masks are not contiguous"},
        {pal, "a pixel's colour is beyond the colour table"},  // index 3 of three colours
        {with(pal, 46, 0, 4), "truncated colour table"},      // a table of 256 would not fit
    };
    for (const Case& c : cases) {
        Image img;
        std::string error;
        EXPECT_FALSE(ImageLoadBmpMemory(c.file.data(), c.file.size(), 0, img, &error)) << c.reason;
        EXPECT_EQ(error, c.reason);
        EXPECT_TRUE(img.pixels.empty()) << c.reason;
    }
}

// What SDL's own reader makes of a bitmap, as ARGB; empty when it refuses the file.
std::vector<uint32_t> SdlPixels(const unsigned char* data, size_t size) {
    std::vector<uint32_t> px;
    SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromConstMem(data, static_cast<int>(size)), 1);
    SDL_Surface* argb = loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
    if (argb && SDL_LockSurface(argb) == 0) {
        for (int y = 0; y < argb->h; ++y) {
            const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch);
            px.insert(px.end(), row, row + argb->w);
        }
        SDL_UnlockSurface(argb);
    }
    SDL_FreeSurface(argb);
    SDL_FreeSurface(loaded);
    return px;
}

TEST(Image, EveryShippedBitmapReadsAsSdlReadsIt) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> bitmaps;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(KORVAN_BUILD_DIR) + "/data")) {
        if (entry.path().extension() != ".bmp") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        bitmaps.emplace_back(entry.path().filename().string(),
                             std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    for (int i = 0; i < builtinResourceCount; ++i)
        bitmaps.emplace_back(builtinResources[i].name, std::vector<uint8_t>(builtinResources[i].data,
                                                                              builtinResources[i].data + builtinResources[i].size));
    ASSERT_GT(bitmaps.size(), 20u);
    for (const auto& [name, bytes] : bitmaps) {
        Image img;
        std::string error;
        ASSERT_TRUE(ImageLoadBmpMemory(bytes.data(), bytes.size(), 0, img, &error)) << name << ": " << error;
        EXPECT_TRUE(img.pixels == SdlPixels(bytes.data(), bytes.size())) << name;
    }
}

}  // namespace
