// Bitmaps and sounds written by image and sound programs (tests/data, with how each was made),
// decoded by our readers and compared pixel by pixel and sample by sample with what the program
// itself reads back from the same file; and forms derived from those files that no program here
// writes (bitfields in other orders and widths, alpha bitfields, 24 bits in four-byte slots).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/image.h"
#include "platform/wav_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadData(const std::string& name) {
    std::ifstream f(std::string(KORVAN_SOURCE_DIR) + "/tests/data/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// ---- Bitmaps ----------------------------------------------------------------------------------

struct Rgba {
    int r, g, b, a;
};
Rgba Split(uint32_t argb) {
    return {static_cast<int>(argb >> 16 & 255), static_cast<int>(argb >> 8 & 255), static_cast<int>(argb & 255),
            static_cast<int>(argb >> 24)};
}

// The program's reading of `name`: ARGB, top row first.
std::vector<uint32_t> Readback(const std::string& name) {
    const Bytes rgba = ReadData(name + ".rgba");
    std::vector<uint32_t> px(rgba.size() / 4);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = (static_cast<uint32_t>(rgba[4 * i + 3]) << 24) | (rgba[4 * i] << 16) | (rgba[4 * i + 1] << 8) |
                rgba[4 * i + 2];
    return px;
}

Image Decode(const Bytes& file) {
    Image img;
    std::string error;
    EXPECT_TRUE(ImageLoadBmpMemory(file.data(), file.size(), 0, img, &error)) << error;
    return img;
}

TEST(ToolBitmaps, DecodeAsTheProgramReadsThemBack) {
    // How a channel of ours relates to the program's: the same, or the program's top bits of a
    // narrow field (it widens 4 bits by shifting, so 1111 reads 240; we spread them to 255).
    enum Match { kSame, kNibbles, kOneBitAlpha, kOpaque };
    const struct {
        const char* file;
        Match match;
    } files[] = {
        {"rgb24.bmp", kSame},   {"pal8.bmp", kSame},     {"pal4.bmp", kSame},        {"mono.bmp", kSame},
        {"os2.bmp", kSame},     {"rle8.bmp", kSame},     {"rgb565.bmp", kSame},      {"argb32.bmp", kSame},
        {"argb4444.bmp", kNibbles}, {"argb1555.bmp", kOneBitAlpha},
        // 32 bits without bitfields and a fourth byte that is sometimes zero: not alpha.
        {"bgra32.bmp", kOpaque},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        const Image img = Decode(ReadData(f.file));
        const std::vector<uint32_t> want = Readback(f.file);
        ASSERT_EQ(img.width, 19);
        ASSERT_EQ(img.height, 9);
        ASSERT_EQ(img.pixels.size(), want.size());
        int wrong = 0;
        for (size_t i = 0; i < want.size(); ++i) {
            const Rgba o = Split(img.pixels[i]), w = Split(want[i]);
            bool ok = false;
            switch (f.match) {
                case kSame: ok = img.pixels[i] == want[i]; break;
                case kNibbles:
                    ok = o.r == (w.r >> 4) * 17 && o.g == (w.g >> 4) * 17 && o.b == (w.b >> 4) * 17 &&
                         o.a == (w.a >> 4) * 17;
                    break;
                case kOneBitAlpha: ok = o.r == w.r && o.g == w.g && o.b == w.b && o.a == (w.a ? 255 : 0); break;
                case kOpaque: ok = (img.pixels[i] & 0xFFFFFF) == (want[i] & 0xFFFFFF) && o.a == 255; break;
            }
            if (!ok && ++wrong <= 3) ADD_FAILURE() << "pixel " << i << ": " << std::hex << img.pixels[i] << " vs " << want[i];
        }
    }
}

// A bitmap of `bits` with the given header size, compression and masks (written where that header
// keeps them), around pixel rows taken as they are.
Bytes BitfieldBmp(int w, int h, int bits, uint32_t infoSize, uint32_t compression, const std::vector<uint32_t>& masks,
                  const Bytes& rows) {
    const size_t after = infoSize == 40 ? 4 * masks.size() : 0;
    const size_t offset = 14 + infoSize + after;
    Bytes b(offset, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(offset + rows.size()));
    Put32(b, 10, static_cast<uint32_t>(offset));
    Put32(b, 14, infoSize);
    Put32(b, 18, w);
    Put32(b, 22, h);
    b[26] = 1;
    b[28] = static_cast<uint8_t>(bits);
    Put32(b, 30, compression);
    for (size_t i = 0; i < masks.size(); ++i) Put32(b, 54 + 4 * i, masks[i]);
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

TEST(ToolBitmaps, MasksOfAnyOrderWidthAndHeaderAreApplied) {
    const Bytes argb32 = ReadData("argb32.bmp");
    const std::vector<uint32_t> want = Readback("argb32.bmp");
    const Bytes rows(argb32.begin() + Le32(argb32, 10), argb32.end());

    // Alpha bitfields (code 6) after a 40-byte header, the masks as the program wrote them.
    const std::vector<uint32_t> masks = {Le32(argb32, 54), Le32(argb32, 58), Le32(argb32, 62), Le32(argb32, 66)};
    EXPECT_EQ(Decode(BitfieldBmp(19, 9, 32, 40, 6, masks, rows)).pixels, want);
    // The same with a 56-byte header (code 3, the alpha mask inside the header).
    EXPECT_EQ(Decode(BitfieldBmp(19, 9, 32, 56, 3, masks, rows)).pixels, want);
    // Code 3 after a 40-byte header has three masks and no alpha.
    std::vector<uint32_t> opaque = want;
    for (uint32_t& p : opaque) p |= 0xFF000000u;
    EXPECT_EQ(Decode(BitfieldBmp(19, 9, 32, 40, 3, {masks[0], masks[1], masks[2]}, rows)).pixels, opaque);

    // The program's pixels stored again in other layouts: channels in reverse order (alpha in the
    // low byte), and 10:10:10:2 with each channel's bits spread over the wider field.
    Bytes reversed, wide;
    for (size_t y = 0; y < 9; ++y) {
        for (size_t x = 0; x < 19; ++x) {
            const Rgba c = Split(want[(8 - y) * 19 + x]);  // stored bottom-up
            const uint32_t r = static_cast<uint32_t>(c.r), g = static_cast<uint32_t>(c.g),
                           bl = static_cast<uint32_t>(c.b), a2 = static_cast<uint32_t>(c.a) >> 6;
            const uint32_t rev = (bl << 24) | (g << 16) | (r << 8) | static_cast<uint32_t>(c.a);
            const uint32_t ten = (a2 << 30) | (((r << 2) | (r >> 6)) << 20) | (((g << 2) | (g >> 6)) << 10) |
                                 ((bl << 2) | (bl >> 6));
            for (int i = 0; i < 4; ++i) {
                reversed.push_back(static_cast<uint8_t>(rev >> (8 * i)));
                wide.push_back(static_cast<uint8_t>(ten >> (8 * i)));
            }
        }
    }
    EXPECT_EQ(Decode(BitfieldBmp(19, 9, 32, 40, 6, {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF}, reversed)).pixels,
              want);
    const Image tenBits = Decode(BitfieldBmp(19, 9, 32, 56, 3, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}, wide));
    ASSERT_EQ(tenBits.pixels.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const Rgba o = Split(tenBits.pixels[i]), w = Split(want[i]);
        ASSERT_EQ((o.r << 16) | (o.g << 8) | o.b, (w.r << 16) | (w.g << 8) | w.b) << i;
        ASSERT_EQ(o.a, (w.a >> 6) * 85) << i;  // two alpha bits: 0, 85, 170, 255
    }
}

TEST(ToolBitmaps, TheFourthByteIsAlphaWhenTheFileSaysSoOrNoneIsZero) {
    const Bytes bgra = ReadData("bgra32.bmp");
    const std::vector<uint32_t> want = Readback("bgra32.bmp");
    const size_t offset = Le32(bgra, 10);
    Bytes rows(bgra.begin() + offset, bgra.end());
    // A 56-byte header whose alpha mask names the fourth byte: alpha as the program reads it,
    // zeros included.
    Bytes declared = BitfieldBmp(19, 9, 32, 56, 0, {0, 0, 0, 0xFF000000}, rows);
    EXPECT_EQ(Decode(declared).pixels, want);
    // No fourth byte zero: alpha, even undeclared.
    for (size_t i = 3; i < rows.size(); i += 4) rows[i] = rows[i] ? rows[i] : 1;
    Bytes nonzero = bgra;
    std::copy(rows.begin(), rows.end(), nonzero.begin() + offset);
    const Image img = Decode(nonzero);
    ASSERT_EQ(img.pixels.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const uint32_t a = want[i] >> 24;
        ASSERT_EQ(img.pixels[i], (want[i] & 0xFFFFFF) | ((a ? a : 1) << 24)) << i;
    }
}

// ---- Sounds -----------------------------------------------------------------------------------

// The program's reading of `name`, as -1..1.
std::vector<double> SampleReadback(const std::string& name) {
    const Bytes raw = ReadData(name + ".s32");
    std::vector<double> s(raw.size() / 4);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int32_t>(Le32(raw, 4 * i)) / 2147483648.0;
    return s;
}

void ExpectSamples(const WavSound& got, const std::vector<double>& want) {
    ASSERT_EQ(got.samples.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_NEAR(got.samples[i], want[i], 1e-7) << "sample " << i;  // a 16-bit step is 3e-5
}

TEST(ToolSounds, DecodeAsTheProgramReadsThemBack) {
    const struct {
        const char* file;
        int channels, rate;
    } files[] = {
        {"pcm24.wav", 1, 44100},   {"pcm24plain.wav", 2, 44100}, {"pcm32.wav", 2, 44100}, {"ch3.wav", 3, 44100},
        {"float32.wav", 2, 44100}, {"float64.wav", 1, 22050},    {"floatx.wav", 3, 44100},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        const Bytes file = ReadData(f.file);
        WavSound wav;
        const char* reason = "";
        ASSERT_TRUE(WavDecode(file.data(), file.size(), 1u << 20, wav, &reason)) << reason;
        EXPECT_EQ(wav.channels, f.channels);
        EXPECT_EQ(wav.rate, f.rate);
        ExpectSamples(wav, SampleReadback(f.file));
    }
    const struct {
        const char* file;
        const char* reason;
    } refused[] = {
        {"ms.wav", "ADPCM is not supported."},
        {"ima.wav", "ADPCM is not supported."},
        {"alaw.wav", "A-law is not supported."},
        {"webp.webp", "not a WAVE file."},
    };
    for (const auto& f : refused) {
        const Bytes file = ReadData(f.file);
        ASSERT_FALSE(file.empty()) << f.file;
        WavSound wav;
        const char* reason = "";
        EXPECT_FALSE(WavDecode(file.data(), file.size(), 1u << 20, wav, &reason)) << f.file;
        EXPECT_STREQ(reason, f.reason) << f.file;
        EXPECT_TRUE(wav.samples.empty());
    }
}

TEST(ToolSounds, TwentyFourBitsInFourByteSlotsEitherWay) {
    // The program's stereo 24-bit file with each sample moved into a four-byte slot, in the
    // slot's high bytes (the usual way) or its low bytes with the sign spread above.
    const Bytes plain = ReadData("pcm24plain.wav");
    const std::vector<double> want = SampleReadback("pcm24plain.wav");
    const size_t dataAt = 44, samples = want.size();
    ASSERT_EQ(std::memcmp(&plain[dataAt - 8], "data", 4), 0);
    for (bool high : {true, false}) {
        SCOPED_TRACE(high ? "high bytes" : "low bytes");
        Bytes file(plain.begin(), plain.begin() + dataAt);
        for (size_t i = 0; i < samples; ++i) {
            const uint8_t* s = &plain[dataAt + 3 * i];
            const uint8_t sign = (s[2] & 0x80) ? 0xFF : 0x00;
            const uint8_t slot[4] = {high ? uint8_t{0} : s[0], high ? s[0] : s[1], high ? s[1] : s[2], high ? s[2] : sign};
            file.insert(file.end(), slot, slot + 4);
        }
        Put32(file, 4, static_cast<uint32_t>(file.size() - 8));
        Put32(file, 40, static_cast<uint32_t>(4 * samples));
        Put32(file, 28, 44100 * 8);  // bytes per second
        file[32] = 8;                // block align: two slots of four bytes; the bits stay 24
        WavSound wav;
        const char* reason = "";
        ASSERT_TRUE(WavDecode(file.data(), file.size(), 1u << 20, wav, &reason)) << reason;
        ExpectSamples(wav, want);
    }
}

}  // namespace
