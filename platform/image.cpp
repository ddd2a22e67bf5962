#include "platform/image.h"

#include <cstring>

#include "platform/asset_path.h"

namespace {

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Compression codes of the bitmap header.
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kJpegOrRle24 = 4, kPng = 5, kAlphaBitfields = 6;

// One colour channel of a bitfield pixel: where its bits lie and how many there are.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int width = 0;
};

// A mask is one run of set bits (or none, for a channel the file leaves out).
bool MakeChannel(uint32_t mask, Channel& c) {
    c = Channel{};
    c.mask = mask;
    if (mask == 0) return true;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    const uint64_t run = static_cast<uint64_t>(mask) >> c.shift;
    while ((run >> c.width) & 1) ++c.width;
    return (run >> c.width) == 0;
}

// The channel's value widened to eight bits the way a display does: narrower fields repeat their
// bits downwards (5 bits 10110 become 10110101), wider ones keep their top eight bits.
uint32_t Expand(const Channel& c, uint32_t pixel) {
    if (c.width == 0) return 0;
    const uint32_t v = (pixel & c.mask) >> c.shift;
    if (c.width >= 8) return v >> (c.width - 8);
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << c.width) | v;
        filled += c.width;
    }
    return out >> (filled - 8);
}

// What the headers say, checked: the decoder below trusts these figures.
struct BmpLayout {
    int width = 0, height = 0;
    bool topDown = false;
    int bits = 0;
    uint32_t compression = kRgb;
    Channel red, green, blue, alpha;
    bool alphaDeclared = false;  // the file itself says its fourth byte is alpha
    uint32_t palette[256] = {};
    int paletteSize = 0;
    size_t pixelsAt = 0, pixelsEnd = 0;  // the pixel data, within the file
};

bool ReadLayout(const uint8_t* d, size_t size, BmpLayout& l, std::string* error) {
    auto fail = [&](const char* why) {
        *error = why;
        return false;
    };
    if (size < 26 || d[0] != 'B' || d[1] != 'M') return fail("not a bitmap");
    const uint32_t infoSize = Le32(d + 14);
    int64_t width, height;
    uint32_t colorsUsed = 0, imageSize = 0;
    bool core = false;
    if (infoSize == 12) {  // OS/2 core header: 16-bit sizes, three-byte colour table entries
        core = true;
        width = Le16(d + 18);
        height = static_cast<int16_t>(Le16(d + 20));
        l.bits = Le16(d + 24);
    } else if (infoSize >= 16 && infoSize <= 1024) {
        // Windows headers of 40 bytes and more, and OS/2's second header, which may stop after
        // 16 bytes: the fields it leaves out are zero.
        const size_t have = 14 + static_cast<size_t>(infoSize);
        if (size < have || size < 14 + 16) return fail("truncated bitmap header");
        uint8_t h[14 + 56] = {};
        std::memcpy(h, d, have < sizeof h ? have : sizeof h);
        width = static_cast<int32_t>(Le32(h + 18));
        height = static_cast<int32_t>(Le32(h + 22));
        l.bits = Le16(h + 28);
        l.compression = Le32(h + 30);
        imageSize = Le32(h + 34);
        colorsUsed = Le32(h + 46);
    } else {
        return fail("unknown bitmap header");
    }
    l.topDown = height < 0;
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0 || width > kImageMaxSide || height > kImageMaxSide ||
        width * height > kImageMaxPixels)
        return fail("bitmap size out of range");
    l.width = static_cast<int>(width);
    l.height = static_cast<int>(height);
    const int bits = l.bits;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return fail("unsupported bit depth");

    // The compressions that are refused, each by name.
    switch (l.compression) {
        case kRgb: break;
        case kRle8:
            if (bits != 8) return fail("RLE8 compression needs 8 bits per pixel");
            break;
        case kRle4:
            if (bits != 4) return fail("RLE4 compression needs 4 bits per pixel");
            break;
        case kBitfields:
            // OS/2 uses the same code for its one-bit Huffman coding.
            if (bits == 1) return fail("OS/2 Huffman-coded bitmaps are not supported");
            [[fallthrough]];
        case kAlphaBitfields:
            if (bits != 16 && bits != 32) return fail("bitfields need 16 or 32 bits per pixel");
            break;
        case kJpegOrRle24:
            return fail(bits == 24 ? "OS/2 RLE24 bitmaps are not supported" : "JPEG bitmaps are not supported");
        case kPng: return fail("PNG bitmaps are not supported");
        case 11:
        case 12:
        case 13: return fail("CMYK bitmaps are not supported");
        default: return fail("unknown bitmap compression");
    }
    if (bits <= 8 && colorsUsed > 256) return fail("colour table too large");

    // Masks: inside headers of 52 bytes and more (the alpha one from 56), otherwise straight after
    // a 40-byte header: three of them, or four with the alpha bitfields code.
    size_t tableAt = 14 + infoSize;
    if (l.compression == kBitfields || l.compression == kAlphaBitfields) {
        size_t masksAt = 14 + 40;
        int count = 0;
        bool inHeader = infoSize >= 52 && infoSize != 64;
        if (inHeader) {
            count = infoSize >= 56 ? 4 : 3;
        } else if (infoSize == 40) {
            count = l.compression == kAlphaBitfields ? 4 : 3;
            tableAt += 4 * count;
        } else {
            return fail("bitfields without their masks");
        }
        if (masksAt + 4 * count > size) return fail("truncated bitmap header");
        uint32_t masks[4] = {};
        for (int i = 0; i < count; ++i) masks[i] = Le32(d + masksAt + 4 * i);
        const uint32_t depthMask = bits == 32 ? 0xFFFFFFFFu : 0xFFFFu;
        for (uint32_t m : masks)
            if (m & ~depthMask) return fail("bitfield masks beyond the pixel size");
        if (!MakeChannel(masks[0], l.red) || !MakeChannel(masks[1], l.green) || !MakeChannel(masks[2], l.blue) ||
            !MakeChannel(masks[3], l.alpha))
            return fail("bitfield masks are not contiguous");
        l.alphaDeclared = masks[3] != 0;
    } else if (bits == 16) {
        MakeChannel(0x7C00, l.red);
        MakeChannel(0x03E0, l.green);
        MakeChannel(0x001F, l.blue);
    } else if (bits == 32) {
        MakeChannel(0x00FF0000, l.red);
        MakeChannel(0x0000FF00, l.green);
        MakeChannel(0x000000FF, l.blue);
        MakeChannel(0xFF000000, l.alpha);
        // A Windows header with room for an alpha mask that names the fourth byte says so.
        l.alphaDeclared = infoSize >= 56 && infoSize != 64 && Le32(d + 14 + 52) == 0xFF000000u;
    }

    if (bits <= 8) {
        const int most = 1 << bits;
        l.paletteSize = colorsUsed == 0 || colorsUsed > static_cast<uint32_t>(most) ? most : static_cast<int>(colorsUsed);
        const size_t entry = core ? 3 : 4;
        if (tableAt > size || l.paletteSize * entry > size - tableAt) return fail("truncated colour table");
        for (int i = 0; i < l.paletteSize; ++i) {
            const uint8_t* e = d + tableAt + i * entry;
            l.palette[i] = 0xFF000000u | (static_cast<uint32_t>(e[2]) << 16) | (static_cast<uint32_t>(e[1]) << 8) | e[0];
        }
    }

    const uint32_t offset = Le32(d + 10);
    if (offset >= size) return fail("truncated bitmap");
    l.pixelsAt = offset;
    l.pixelsEnd = size;
    if (l.compression == kRle8 || l.compression == kRle4) {
        // The compressed stream ends where the header says, or with the file.
        if (imageSize != 0 && imageSize < size - offset) l.pixelsEnd = offset + imageSize;
    } else {
        // The pixel rows must all be there: a short file would otherwise come out partly black.
        const uint64_t rowBytes = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
        if (rowBytes * height > size - offset) return fail("truncated bitmap");
    }
    return true;
}

// Where the file's row r (rows are stored bottom-up unless the height was negative) lands.
size_t RowStart(const BmpLayout& l, int r) {
    const int y = l.topDown ? r : l.height - 1 - r;
    return static_cast<size_t>(y) * l.width;
}

// Palette indices to colours; an index past the colour table is a damaged file.
bool Colour(const BmpLayout& l, const std::vector<uint8_t>& indices, Image& out, std::string* error) {
    for (size_t i = 0; i < indices.size(); ++i) {
        if (indices[i] >= l.paletteSize) {
            *error = "a pixel's colour is beyond the colour table";
            return false;
        }
        out.pixels[i] = l.palette[indices[i]];
    }
    return true;
}

// Run-length coded rows of 8 or 4 bits. Pixels the stream skips (by a delta or a line or bitmap
// ended early) keep colour 0 of the table, as the tools that write these files read them back.
bool DecodeRle(const uint8_t* d, const BmpLayout& l, Image& out, std::string* error) {
    const bool four = l.compression == kRle4;
    std::vector<uint8_t> indices(out.pixels.size(), 0);
    const uint8_t* p = d + l.pixelsAt;
    const uint8_t* end = d + l.pixelsEnd;
    int x = 0, r = 0;  // position in file order: r counts rows from the first stored
    auto put = [&](uint8_t index) {
        if (x < l.width && r < l.height) indices[RowStart(l, r) + x] = index;
        ++x;
    };
    bool finished = false;
    while (!finished && r < l.height) {
        if (end - p < 2) {
            // A stream may stop without its end marker once the last row is full.
            if (p == end && r == l.height - 1 && x >= l.width) break;
            *error = "truncated bitmap";
            return false;
        }
        const int count = p[0], value = p[1];
        p += 2;
        if (count > 0) {  // a run of one index, or of two alternating ones
            for (int i = 0; i < count; ++i) put(static_cast<uint8_t>(four ? (i & 1 ? value & 15 : value >> 4) : value));
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++r;
                break;
            case 1:  // end of bitmap
                finished = true;
                break;
            case 2:  // delta: right and up (in file order) by two unsigned bytes
                if (end - p < 2) {
                    *error = "truncated bitmap";
                    return false;
                }
                x += p[0];
                r += p[1];
                p += 2;
                break;
            default: {  // a literal stretch of `value` indices, padded to an even byte count
                const size_t bytes = four ? (value + 1) / 2 : value;
                const size_t padded = bytes + (bytes & 1);
                if (static_cast<size_t>(end - p) < bytes) {
                    *error = "truncated bitmap";
                    return false;
                }
                for (int i = 0; i < value; ++i)
                    put(static_cast<uint8_t>(four ? (i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]));
                // The pad byte of the last stretch may be missing at the very end of the file.
                p += padded <= static_cast<size_t>(end - p) ? padded : bytes;
                break;
            }
        }
        // A delta may leave the picture: the remaining pixels keep colour 0.
        if (x > l.width + 255 * 2) x = l.width;
    }
    return Colour(l, indices, out, error);
}

bool DecodeRows(const uint8_t* d, const BmpLayout& l, Image& out, std::string* error) {
    const size_t rowBytes = ((static_cast<size_t>(l.width) * l.bits + 31) / 32) * 4;
    if (l.bits <= 8) {
        std::vector<uint8_t> indices(out.pixels.size());
        const int perByte = 8 / l.bits;
        const int mask = (1 << l.bits) - 1;
        for (int r = 0; r < l.height; ++r) {
            const uint8_t* row = d + l.pixelsAt + r * rowBytes;
            uint8_t* dst = &indices[RowStart(l, r)];
            for (int x = 0; x < l.width; ++x) {
                const int shift = 8 - l.bits * (x % perByte + 1);
                dst[x] = static_cast<uint8_t>((row[x / perByte] >> shift) & mask);
            }
        }
        return Colour(l, indices, out, error);
    }
    if (l.bits == 24) {
        for (int r = 0; r < l.height; ++r) {
            const uint8_t* row = d + l.pixelsAt + r * rowBytes;
            uint32_t* dst = &out.pixels[RowStart(l, r)];
            for (int x = 0; x < l.width; ++x, row += 3)
                dst[x] = 0xFF000000u | (static_cast<uint32_t>(row[2]) << 16) | (static_cast<uint32_t>(row[1]) << 8) | row[0];
        }
        return true;
    }
    // 16 and 32 bits, through the masks. Alpha is only kept when the file declares it or, for the
    // plain 32-bit form, when no pixel's fourth byte is zero; an alpha channel that is zero
    // everywhere is read as no alpha at all (a picture nobody could see).
    bool anyAlpha = false, allAlpha = true;
    for (int r = 0; r < l.height; ++r) {
        const uint8_t* row = d + l.pixelsAt + r * rowBytes;
        uint32_t* dst = &out.pixels[RowStart(l, r)];
        for (int x = 0; x < l.width; ++x) {
            const uint32_t px = l.bits == 16 ? Le16(row + 2 * x) : Le32(row + 4 * x);
            const uint32_t a = Expand(l.alpha, px);
            anyAlpha |= a != 0;
            allAlpha &= a != 0;
            dst[x] = (a << 24) | (Expand(l.red, px) << 16) | (Expand(l.green, px) << 8) | Expand(l.blue, px);
        }
    }
    const bool keepAlpha = l.alpha.width > 0 && anyAlpha && (l.alphaDeclared || allAlpha);
    if (!keepAlpha)
        for (uint32_t& p : out.pixels) p |= 0xFF000000u;
    return true;
}

}  // namespace

void ApplyColorKey(Image& image, uint32_t colorKey) {
    if (colorKey == 0) return;
    for (uint32_t& p : image.pixels)
        if (p == colorKey) p = 0;
}

bool ImageLoadBmpMemory(const void* data, size_t size, uint32_t colorKey, Image& out, std::string* error) {
    std::string scratch;
    if (!error) error = &scratch;
    out = Image{};
    const uint8_t* d = static_cast<const uint8_t*>(data);
    if (!d || size > (1u << 30)) {
        *error = "not a bitmap";
        return false;
    }
    BmpLayout layout;
    if (!ReadLayout(d, size, layout, error)) return false;
    Image image;
    image.width = layout.width;
    image.height = layout.height;
    image.pixels.assign(static_cast<size_t>(layout.width) * layout.height, 0);
    const bool rle = layout.compression == kRle8 || layout.compression == kRle4;
    if (!(rle ? DecodeRle(d, layout, image, error) : DecodeRows(d, layout, image, error))) return false;
    ApplyColorKey(image, colorKey);
    out = std::move(image);
    return true;
}

bool ImageLoadBmpFile(const char* path, uint32_t colorKey, Image& out, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!ReadAssetFile(path, bytes, 1u << 30)) {
        out = Image{};
        if (error) *error = "cannot read the file";
        return false;
    }
    return ImageLoadBmpMemory(bytes.data(), bytes.size(), colorKey, out, error);
}
