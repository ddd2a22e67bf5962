#include "platform/image.h"

#include <SDL.h>

#include <cstring>

#include "platform/asset_path.h"

namespace {

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Checks the headers before the decoder sees them: the decoder trusts the sizes it reads, so
// absurd dimensions, colour tables and bit depths are refused here.
bool CheckHeader(const uint8_t* d, size_t size, std::string* error) {
    auto fail = [&](const char* why) {
        *error = why;
        return false;
    };
    if (size < 26 || d[0] != 'B' || d[1] != 'M') return fail("not a bitmap");
    uint32_t infoSize = Le32(d + 14);
    int64_t width, height;
    int bits;
    uint32_t compression = 0, colorsUsed = 0;
    if (infoSize == 12) {  // OS/2 core header
        width = Le16(d + 18);
        height = static_cast<int16_t>(Le16(d + 20));
        bits = Le16(d + 24);
    } else if (infoSize >= 40 && infoSize <= 1024) {
        if (size < 14 + 40) return fail("truncated bitmap header");
        width = static_cast<int32_t>(Le32(d + 18));
        height = static_cast<int32_t>(Le32(d + 22));
        bits = Le16(d + 28);
        compression = Le32(d + 30);
        colorsUsed = Le32(d + 46);
    } else {
        return fail("unknown bitmap header");
    }
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0 || width > kImageMaxSide || height > kImageMaxSide ||
        width * height > kImageMaxPixels)
        return fail("bitmap size out of range");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return fail("unsupported bit depth");
    if (compression != 0 && compression != 3 && compression != 6) return fail("compressed bitmaps are not supported");
    if (bits <= 8 && colorsUsed > 256) return fail("colour table too large");
    // The pixel rows must all be there; the decoder would otherwise read a short file as black.
    uint32_t offset = Le32(d + 10);
    uint64_t rowBytes = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    if (offset >= size || rowBytes * height > size - offset) return fail("truncated bitmap");
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
    if (!CheckHeader(d, size, error)) return false;

    SDL_RWops* rw = SDL_RWFromConstMem(d, static_cast<int>(size));
    if (!rw) {
        *error = SDL_GetError();
        return false;
    }
    SDL_Surface* loaded = SDL_LoadBMP_RW(rw, 1);
    if (!loaded) {
        *error = SDL_GetError();
        return false;
    }
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    if (!argb) {
        *error = SDL_GetError();
        return false;
    }
    bool ok = SDL_LockSurface(argb) == 0;
    if (ok) {
        out.width = argb->w;
        out.height = argb->h;
        out.pixels.resize(static_cast<size_t>(argb->w) * argb->h);
        for (int y = 0; y < argb->h; ++y)
            std::memcpy(&out.pixels[static_cast<size_t>(y) * argb->w],
                        static_cast<const uint8_t*>(argb->pixels) + static_cast<size_t>(y) * argb->pitch,
                        static_cast<size_t>(argb->w) * 4);
        SDL_UnlockSurface(argb);
    } else {
        *error = SDL_GetError();
    }
    SDL_FreeSurface(argb);
    if (!ok) return false;
    ApplyColorKey(out, colorKey);
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
