// Mutation runs over the model-file reader and the bitmap loader: thousands of damaged files, each
// either refused with a reason or read into a consistent result, never a crash, a hang or a leak
// (run under AddressSanitizer with -DKORVAN_SANITIZE=ON).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/image.h"
#include "platform/xfile.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromText(const char* text) { return Bytes(text, text + std::strlen(text)); }

const char* kSeedText = R"(xof 0302txt 0032
template Vector { <3D82AB5E-62DA-11cf-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }
Material Chrome { 0.8;0.8;0.9;1.0;; 20.0; 1;1;1;; 0;0;0;; TextureFilename { "chrome.bmp"; } }
Frame Car {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0.5,0,1;; }
  Frame Body {
    Mesh Hull {
      8;
      -1;-1;-2;, -1;1;-2;, 1;1;-2;, 1;-1;-2;, -1;-1;2;, -1;1;2;, 1;1;2;, 1;-1;2;;
      6;
      4;0,1,2,3;, 4;7,6,5,4;, 4;4,5,1,0;, 4;3,2,6,7;, 4;1,5,6,2;, 4;4,0,3,7;;
      MeshNormals { 6; 0;0;-1;, 0;0;1;, -1;0;0;, 1;0;0;, 0;1;0;, 0;-1;0;;
        6; 4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;; }
      MeshTextureCoords { 8; 0;0;, 0;1;, 1;1;, 1;0;, 0;0;, 0;1;, 1;1;, 1;0;; }
      MeshVertexColors { 2; 0;1;0;0;1;;, 7;0;1;0;1;;; }
      MeshMaterialList { 3; 6; 0,1,1,2,0,1;;
        Material { 1;0;0;1;; 5; 0;0;0;; 0;0;0;; }
        {Chrome}
        Material Glass { 0.2;0.3;0.9;0.5;; 40; 1;1;1;; 0;0;0;; TextureFilename { "glass.bmp"; } } }
    }
  }
  Frame Wheel { FrameTransformMatrix { -1,0,0,0, 0,1,0,0, 0,0,1,0, 1,0,1,1;; }
    Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; } }
}
)";

Bytes BinarySeed() {
    Bytes b = FromText("xof 0302bin 0032");
    auto word = [&](uint16_t w) { b.push_back(w & 0xFF), b.push_back(w >> 8); };
    auto dword = [&](uint32_t d) {
        for (int i = 0; i < 4; ++i) b.push_back((d >> (8 * i)) & 0xFF);
    };
    auto name = [&](const char* s) {
        word(1);
        dword(static_cast<uint32_t>(std::strlen(s)));
        b.insert(b.end(), s, s + std::strlen(s));
    };
    auto floats = [&](std::vector<float> v) {
        word(7);
        dword(static_cast<uint32_t>(v.size()));
        for (float f : v) {
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            dword(bits);
        }
    };
    auto ints = [&](std::vector<uint32_t> v) {
        word(6);
        dword(static_cast<uint32_t>(v.size()));
        for (uint32_t x : v) dword(x);
    };
    name("Frame");
    word(10);
    name("FrameTransformMatrix");
    word(10);
    floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2, 3, 4, 1});
    word(11);
    name("Mesh");
    word(10);
    ints({4});
    floats({0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0});
    ints({1, 4, 0, 1, 2, 3});
    name("MeshMaterialList");
    word(10);
    ints({1, 1, 0});
    name("Material");
    word(10);
    floats({1, 1, 1, 1, 2, 0, 0, 0, 0, 0, 0});
    name("TextureFilename");
    word(10);
    word(2);
    dword(5);
    b.insert(b.end(), {'a', '.', 'b', 'm', 'p'});
    word(20);
    word(11);
    word(11);
    word(11);
    word(11);
    word(11);
    return b;
}

Bytes BmpSeed(int w, int h, int bits) {
    int paletteCount = bits <= 8 ? (1 << bits) : 0;
    size_t row = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;
    size_t offset = 54 + paletteCount * 4;
    Bytes b(offset + row * h, 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<uint32_t>(b.size()), 4);
    put(10, static_cast<uint32_t>(offset), 4);
    put(14, 40, 4);
    put(18, w, 4);
    put(22, h, 4);
    put(26, 1, 2);
    put(28, bits, 2);
    put(46, paletteCount, 4);
    for (int i = 0; i < paletteCount; ++i) put(54 + i * 4, 0x010203u * i, 4);
    for (size_t i = offset; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 37);
    return b;
}

// The other forms of the reader: run-length coded rows with every escape, bitfields of 16 and 32
// bits after a 40-byte header (three masks, or four with the alpha code) and inside a 124-byte one.
Bytes BmpWith(Bytes b, uint32_t infoSize, uint32_t compression, const std::vector<uint32_t>& masksOrStream) {
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
    };
    const size_t offset = b[10] | (b[11] << 8);
    Bytes pixels(b.begin() + offset, b.end());
    Bytes tail(b.begin() + 54, b.begin() + offset);  // the colour table
    b.resize(54);
    put(14, infoSize);
    put(30, compression);
    if (compression == 1 || compression == 2) {
        pixels.clear();
        for (uint32_t v : masksOrStream) pixels.push_back(static_cast<uint8_t>(v));
    } else {
        b.resize(14 + infoSize, 0);
        for (size_t i = 0; i < masksOrStream.size(); ++i) {
            if (infoSize == 40) b.resize(b.size() + 4);
            put(54 + 4 * i, masksOrStream[i]);
        }
    }
    b.insert(b.end(), tail.begin(), tail.end());
    put(10, static_cast<uint32_t>(b.size()));
    b.insert(b.end(), pixels.begin(), pixels.end());
    put(2, static_cast<uint32_t>(b.size()));
    return b;
}

std::vector<Bytes> BitmapSeeds() {
    const std::vector<uint32_t> rle8 = {9, 1, 0, 0, 0, 3, 2, 3, 4, 0, 0, 0, 2, 5, 0, 2, 1, 1, 1, 7, 0, 1};
    const std::vector<uint32_t> rle4 = {7, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 2, 1, 0, 1, 0x99, 0, 1};
    std::vector<Bytes> seeds = {
        BmpSeed(5, 3, 24), BmpSeed(7, 4, 8), BmpSeed(3, 3, 4), BmpSeed(9, 2, 1), BmpSeed(4, 4, 32), BmpSeed(6, 2, 16),
        BmpWith(BmpSeed(5, 4, 8), 40, 1, rle8),
        BmpWith(BmpSeed(7, 3, 4), 40, 2, rle4),
        BmpWith(BmpSeed(6, 3, 16), 40, 3, {0xF800, 0x07E0, 0x001F}),
        BmpWith(BmpSeed(5, 3, 16), 40, 6, {0x0F00, 0x00F0, 0x000F, 0xF000}),
        BmpWith(BmpSeed(4, 3, 32), 40, 6, {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF}),
        BmpWith(BmpSeed(3, 5, 32), 124, 3, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}),
    };
    // And the files image programs wrote.
    for (const char* name : {"rle8.bmp", "rgb565.bmp", "argb1555.bmp", "argb32.bmp", "bgra32.bmp", "os2.bmp"}) {
        std::ifstream in(std::string(KORVAN_SOURCE_DIR) + "/tests/data/" + name, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return seeds;
}

// Byte-level and structure-aware damage.
Bytes Mutate(const Bytes& seed, std::mt19937& rng) {
    Bytes b = seed;
    auto pick = [&](size_t n) { return n == 0 ? 0 : static_cast<size_t>(rng() % n); };
    static const char* kTokens[] = {"{", "}", ";", ",", "4294967295", "-1", "999999999", "1e38", "Mesh",
                                    "Frame", "Material", "MeshNormals", "\"", "<", "0", "65536", "3;0,1,2;"};
    int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        switch (rng() % 8) {
        case 0:  // flip a bit
            if (!b.empty()) b[pick(b.size())] ^= static_cast<uint8_t>(1u << (rng() % 8));
            break;
        case 1:  // random byte
            if (!b.empty()) b[pick(b.size())] = static_cast<uint8_t>(rng());
            break;
        case 2:  // truncate
            b.resize(pick(b.size() + 1));
            break;
        case 3: {  // delete a range
            size_t at = pick(b.size()), n = std::min(b.size() - at, pick(64) + 1);
            b.erase(b.begin() + at, b.begin() + at + n);
            break;
        }
        case 4: {  // duplicate a range
            size_t at = pick(b.size()), n = std::min(b.size() - at, pick(256) + 1);
            Bytes chunk(b.begin() + at, b.begin() + at + n);
            b.insert(b.begin() + pick(b.size() + 1), chunk.begin(), chunk.end());
            break;
        }
        case 5: {  // insert a token of the format
            const char* t = kTokens[pick(sizeof(kTokens) / sizeof(kTokens[0]))];
            b.insert(b.begin() + pick(b.size() + 1), t, t + std::strlen(t));
            break;
        }
        case 6: {  // overwrite a 32-bit field with a boundary value
            static const uint32_t kValues[] = {0, 1, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0x10000, 8193, 7};
            if (b.size() >= 4) {
                size_t at = pick(b.size() - 3);
                uint32_t v = kValues[pick(8)];
                for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
            }
            break;
        }
        default: {  // overwrite a 16-bit field (binary tokens, bit depths)
            if (b.size() >= 2) {
                size_t at = pick(b.size() - 1);
                uint16_t v = static_cast<uint16_t>(rng() % 64);
                b[at] = v & 0xFF;
                b[at + 1] = v >> 8;
            }
            break;
        }
        }
    }
    return b;
}

void CheckMesh(const XMesh& m) {
    size_t total = 0;
    ASSERT_EQ(m.subsets.size(), m.materials.size());
    for (const XSubset& s : m.subsets) {
        ASSERT_LE(static_cast<size_t>(s.indexStart) + s.triangleCount * 3u, m.indices.size());
        total += s.triangleCount * 3u;
    }
    ASSERT_EQ(total, m.indices.size());
    for (uint32_t i : m.indices) ASSERT_LT(i, m.vertices.size());
}

TEST(ResourceFuzz, MutatedModelFilesAndBitmapsNeverCrash) {
    std::vector<Bytes> models = {FromText(kSeedText), BinarySeed()};
    // The game's own generated models join the corpus when the build has made them.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(KORVAN_BUILD_DIR) + "/data", ec)) {
        if (entry.path().extension() != ".x" || models.size() >= 6) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (b.size() < 12 * 1024) models.push_back(std::move(b));
    }
    const std::vector<Bytes> bitmaps = BitmapSeeds();
    for (const Bytes& seed : bitmaps) {
        Image img;
        std::string error;
        ASSERT_TRUE(ImageLoadBmpMemory(seed.data(), seed.size(), 0, img, &error)) << error;
    }

    for (const Bytes& seed : models) {
        XMesh m;
        std::string error;
        ASSERT_TRUE(XFileParse(seed.data(), seed.size(), m, &error)) << error;
    }

    std::mt19937 rng(12345);
    const int kModelRuns = 20000, kBitmapRuns = 10000;
    int modelsRead = 0, bitmapsRead = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kModelRuns; ++i) {
        Bytes b = Mutate(models[i % models.size()], rng);
        XMesh m;
        std::string error;
        if (XFileParse(b.data(), b.size(), m, &error)) {
            ++modelsRead;
            CheckMesh(m);
            ASSERT_TRUE(XOptimizeMesh(m));
            CheckMesh(m);
        } else {
            ASSERT_FALSE(error.empty());
            ASSERT_TRUE(m.vertices.empty() && m.indices.empty());
        }
    }
    for (int i = 0; i < kBitmapRuns; ++i) {
        Bytes b = Mutate(bitmaps[i % bitmaps.size()], rng);
        Image img;
        std::string error;
        if (ImageLoadBmpMemory(b.data(), b.size(), 0xFF000000, img, &error)) {
            ++bitmapsRead;
            ASSERT_GT(img.width, 0);
            ASSERT_EQ(img.pixels.size(), static_cast<size_t>(img.width) * img.height);
        } else {
            ASSERT_TRUE(img.pixels.empty());
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Some mutations must survive, or the run would only exercise the header checks.
    EXPECT_GT(modelsRead, kModelRuns / 20);
    EXPECT_GT(bitmapsRead, kBitmapRuns / 20);
    RecordProperty("models_read", modelsRead);
    RecordProperty("bitmaps_read", bitmapsRead);
    std::printf("%d mutated models (%d read), %d mutated bitmaps (%d read) in %.2f s\n", kModelRuns, modelsRead,
                kBitmapRuns, bitmapsRead, seconds);
}

}  // namespace
