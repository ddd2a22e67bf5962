#include "framework/texture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/debug_log.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "platform/builtin_resources.h"
#include "platform/image.h"
#include "platform/text.h"

constinit TextureCache textureCache;

namespace {

// Formats tried in turn until the device creates one.
constexpr D3DFORMAT kLoadFormats[] = {
    D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5, D3DFMT_A8R3G3B2, D3DFMT_X8R8G8B8,
    D3DFMT_R8G8B8,   D3DFMT_R5G6B5,   D3DFMT_X4R4G4B4, D3DFMT_X1R5G5B5,
};

UINT NextPowerOfTwo(UINT n) {
    UINT p = 1;
    while (p < n && p < (1u << 30)) p <<= 1;
    return p;
}

// The size the device accepts for an image: powers of two and square when it demands them, and
// halved until within its limits.
void FitToDevice(UINT& w, UINT& h) {
    D3DCAPS8 caps{};
    if (!device || FAILED(device->GetDeviceCaps(&caps))) return;
    if (caps.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY)) {
        w = NextPowerOfTwo(w);
        h = NextPowerOfTwo(h);
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) w = h = std::max(w, h);
    while (caps.MaxTextureWidth && w > caps.MaxTextureWidth && w > 1) w = (w + 1) / 2;
    while (caps.MaxTextureHeight && h > caps.MaxTextureHeight && h > 1) h = (h + 1) / 2;
}

// Writes the image into a w x h level: scaled with a box filter when filtering, else copied to
// the top-left corner and cut (what an unfiltered load does when the sizes differ).
void Resample(const Image& image, bool filter, UINT w, UINT h, uint32_t* dst, int pitchPixels) {
    for (UINT y = 0; y < h; ++y) std::memset(dst + static_cast<size_t>(y) * pitchPixels, 0, w * 4);
    if (!filter || (w == static_cast<UINT>(image.width) && h == static_cast<UINT>(image.height))) {
        UINT cw = std::min<UINT>(w, image.width), ch = std::min<UINT>(h, image.height);
        for (UINT y = 0; y < ch; ++y)
            std::memcpy(dst + static_cast<size_t>(y) * pitchPixels, &image.pixels[static_cast<size_t>(y) * image.width], cw * 4);
        return;
    }
    for (UINT y = 0; y < h; ++y) {
        int y0 = static_cast<int>(static_cast<uint64_t>(y) * image.height / h);
        int y1 = std::max(y0 + 1, static_cast<int>(static_cast<uint64_t>(y + 1) * image.height / h));
        for (UINT x = 0; x < w; ++x) {
            int x0 = static_cast<int>(static_cast<uint64_t>(x) * image.width / w);
            int x1 = std::max(x0 + 1, static_cast<int>(static_cast<uint64_t>(x + 1) * image.width / w));
            uint32_t sum[4] = {0, 0, 0, 0};
            uint32_t n = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    uint32_t p = image.pixels[static_cast<size_t>(sy) * image.width + sx];
                    for (int c = 0; c < 4; ++c) sum[c] += (p >> (c * 8)) & 0xFF;
                    ++n;
                }
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) out |= ((sum[c] + n / 2) / n) << (c * 8);
            dst[static_cast<size_t>(y) * pitchPixels + x] = out;
        }
    }
}

GfxTexture* CreateFromImage(const Image& image, bool filter, UINT mipLevels, D3DSURFACE_DESC* desc) {
    if (!device || image.width <= 0 || image.height <= 0) return nullptr;
    UINT w = image.width, h = image.height;
    FitToDevice(w, h);
    for (D3DFORMAT format : kLoadFormats) {
        GfxTexture* tex = nullptr;
        if (FAILED(device->CreateTexture(w, h, mipLevels, 0, format, D3DPOOL_MANAGED, &tex)) || !tex) continue;
        D3DLOCKED_RECT locked{};
        if (FAILED(tex->LockRect(0, &locked, nullptr, 0)) || !locked.pBits) {
            tex->Release();
            continue;
        }
        Resample(image, filter, w, h, static_cast<uint32_t*>(locked.pBits), locked.Pitch / 4);
        tex->UnlockRect(0);
        if (desc) tex->GetLevelDesc(0, desc);
        return tex;
    }
    return nullptr;
}

// Whether the device's states drop every fragment whose texel alpha is zero: the alpha test passes
// only alpha above zero, and stage 0 makes its alpha from the texel's (alone or as a product).
bool ClearTexelsDropped() {
    DWORD test = 0, ref = 1, func = 0, colorOp = 0, op = 0, arg1 = 0, arg2 = 0;
    device->GetRenderState(D3DRS_ALPHATESTENABLE, &test);
    device->GetRenderState(D3DRS_ALPHAREF, &ref);
    device->GetRenderState(D3DRS_ALPHAFUNC, &func);
    if (!test || ref != 0 || (func != D3DCMP_NOTEQUAL && func != D3DCMP_GREATER)) return false;
    device->GetTextureStageState(0, D3DTSS_COLOROP, &colorOp);
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &op);
    device->GetTextureStageState(0, D3DTSS_ALPHAARG1, &arg1);
    device->GetTextureStageState(0, D3DTSS_ALPHAARG2, &arg2);
    if (colorOp == D3DTOP_DISABLE) return false;
    switch (op) {
    case D3DTOP_MODULATE:
    case D3DTOP_MODULATE2X:
    case D3DTOP_MODULATE4X:
        return arg1 == D3DTA_TEXTURE || arg2 == D3DTA_TEXTURE;
    case D3DTOP_SELECTARG1:
        return arg1 == D3DTA_TEXTURE;
    case D3DTOP_SELECTARG2:
        return arg2 == D3DTA_TEXTURE;
    default:
        return false;
    }
}

}  // namespace

void FindInkBands(const uint32_t* texels, int pitch, int width, int height, std::vector<TexelRect>& bands) {
    bands.clear();
    if (!texels || width <= 0 || height <= 0 || width > 65535 || height > 65535) return;
    // Each row's inked columns, [first, end); first == end when the row is clear.
    std::vector<int> first(static_cast<size_t>(height), 0), end(static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = texels + static_cast<size_t>(y) * pitch;
        int x0 = 0;
        while (x0 < width && (row[x0] >> 24) == 0) ++x0;
        int x1 = width;
        while (x1 > x0 && (row[x1 - 1] >> 24) == 0) --x1;
        first[static_cast<size_t>(y)] = x0;
        end[static_cast<size_t>(y)] = x1 > x0 ? x1 : x0;
    }
    for (int top = 0; top < height; top += kInkBandRows) {
        const int bottom = std::min(top + kInkBandRows, height);
        int lo = width, hi = 0;
        // A bilinear sample reaches one row above and one below; the top and bottom rows wrap.
        for (int y = top - 1; y <= bottom; ++y) {
            const size_t r = static_cast<size_t>((y + height) % height);
            if (first[r] < end[r]) {
                lo = std::min(lo, first[r]);
                hi = std::max(hi, end[r]);
            }
        }
        if (lo >= hi) continue;
        // One column each way, and the whole width when ink at one edge wraps to the other.
        int left = std::max(lo - 1, 0), right = std::min(hi + 1, width);
        if (lo == 0) right = width;
        if (hi == width) left = 0;
        const TexelRect band{static_cast<uint16_t>(left), static_cast<uint16_t>(top), static_cast<uint16_t>(right),
                             static_cast<uint16_t>(bottom)};
        if (!bands.empty() && bands.back().bottom == band.top && bands.back().left == band.left &&
            bands.back().right == band.right) {
            bands.back().bottom = band.bottom;
        } else {
            bands.push_back(band);
        }
    }
}

GfxTexture* CreateTextureFromImageSource(bool fromResource, const char* name, D3DCOLOR colorKey,
                                         UINT mipLevels, D3DSURFACE_DESC* desc) {
    if (!name) return nullptr;
    Image image;
    std::string error;
    bool ok;
    if (fromResource) {
        const BuiltinResource* res = FindBuiltinResource(name);
        ok = res && ImageLoadBmpMemory(res->data, res->size, colorKey, image, &error);
    } else {
        ok = ImageLoadBmpFile(name, colorKey, image, &error);
    }
    if (!ok) return nullptr;
    // Files are scaled with filtering when the device needs another size; built-in bitmaps never.
    return CreateFromImage(image, !fromResource, mipLevels, desc);
}

// ---------------------------------------------------------------------------------------------

bool Texture::LoadFromFile(const char* path, D3DCOLOR colorKey, UINT mipLevels) {
    Release();
    Log("load(%s) ... ", path ? path : "");
    name = path ? path : "";
    texture = CreateTextureFromImageSource(false, path, colorKey, mipLevels, &desc);
    Log(texture ? "ok.\n" : "failed.\n");
    return texture != nullptr;
}

bool Texture::LoadFromResource(const char* resourceName, D3DCOLOR colorKey, UINT mipLevels) {
    Release();
    Log("load(%s) ... ", resourceName ? resourceName : "");
    name = resourceName ? resourceName : "";
    texture = CreateTextureFromImageSource(true, resourceName, colorKey, mipLevels, &desc);
    Log(texture ? "ok.\n" : "failed.\n");
    return texture != nullptr;
}

void Texture::Release() {
    if (!name.empty()) {
        Log("release(%s)\n", name.c_str());
        name.clear();
    }
    if (texture) {
        texture->Release();
        texture = nullptr;
    }
    desc = D3DSURFACE_DESC{};
    inkBands.clear();
    inkKnown = false;
}

bool Texture::CreateFromText(const char* text, int height, D3DCOLOR color, int weight, const char*) {
    return CreateText(text, height, color, weight, false);
}

bool Texture::CreateFromTextItalic(const char* text, int height, D3DCOLOR color, int weight, const char*) {
    return CreateText(text, height, color, weight, true);
}

bool Texture::CreateText(const char* text, int height, D3DCOLOR color, int weight, bool italic) {
    Release();
    name = "text";
    TextImage image;
    if (!device || !text || !TextRender(text, height, weight, italic, image)) return false;
    int w = image.width, h = image.height;
    if (w <= 0 || h <= 0) return false;  // nothing to draw: no bitmap can be made

    D3DCAPS8 caps{};
    device->GetDeviceCaps(&caps);
    int maxW = maxTextureWidth > 0 ? maxTextureWidth : static_cast<int>(caps.MaxTextureWidth);
    int maxH = maxTextureHeight > 0 ? maxTextureHeight : static_cast<int>(caps.MaxTextureHeight);
    bool squareOnly = maxTextureWidth > 0 ? squareTexturesOnly != 0 : (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0;
    UINT tw = NextPowerOfTwo(static_cast<UINT>(maxW > 0 ? std::min(w, maxW) : w));
    UINT th = NextPowerOfTwo(static_cast<UINT>(maxH > 0 ? std::min(h, maxH) : h));
    if (squareOnly) tw = th = std::max(tw, th);

    if (FAILED(device->CreateTexture(tw, th, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture)) || !texture) {
        texture = nullptr;
        return false;
    }
    texture->GetLevelDesc(0, &desc);
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0)) || !locked.pBits) {
        // An unfilled texture would draw whatever its memory holds: none is kept.
        Log("text(%s): the %u x %u texture cannot be locked\n", text, tw, th);
        texture->Release();
        texture = nullptr;
        desc = D3DSURFACE_DESC{};
        return false;
    }

    // Four bits per channel, each nibble widened back to eight bits (n * 17) so the texture's
    // own reduction keeps exactly these nibbles.
    auto nibble = [&](int shift) { return ((color >> (shift + 4)) & 0xF) * 17u; };
    uint32_t ink = nibble(24) << 24 | nibble(16) << 16 | nibble(8) << 8 | nibble(0);
    uint32_t* dst = static_cast<uint32_t*>(locked.pBits);
    int pitch = locked.Pitch / 4;
    for (UINT y = 0; y < th; ++y) std::memset(dst + static_cast<size_t>(y) * pitch, 0, tw * 4);
    int cw = std::min<int>(w, static_cast<int>(tw)), ch = std::min<int>(h, static_cast<int>(th));
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x)
            if (image.coverage[static_cast<size_t>(y) * w + x] != 0) dst[static_cast<size_t>(y) * pitch + x] = ink;
    // The texture keeps four bits of alpha: a texel is clear exactly where it was written clear.
    FindInkBands(dst, pitch, static_cast<int>(tw), static_cast<int>(th), inkBands);
    inkKnown = true;
    texture->UnlockRect(0);
    return true;
}

void Texture::DrawTinted(int x, int y, uint32_t color) const {
    if (!texture || !device) return;
    device->SetTexture(0, texture);
    const int w = static_cast<int>(desc.Width), h = static_cast<int>(desc.Height);
    // Most of a text image's power-of-two texture is clear: its ink bands are a fraction of it.
    if (inkKnown && ClearTexelsDropped()) {
        DrawTexturedRectParts(x, y, w, h, inkBands.data(), static_cast<int>(inkBands.size()), color);
    } else {
        DrawTexturedRect(x, y, x + w, y + h, color);
    }
}

// ---------------------------------------------------------------------------------------------

GfxTexture* TextureCache::Acquire(bool fromResource, const char* name, D3DCOLOR colorKey, UINT mipLevels) {
    if (!name) return nullptr;
    for (TextureCacheEntry* e = first_; e; e = e->next) {
        if (e->name == name) {
            ++e->refCount;
            return e->texture;
        }
    }
    Log("load(%s) ... ", name);
    GfxTexture* tex = CreateTextureFromImageSource(fromResource, name, colorKey, mipLevels, nullptr);
    if (!tex) {
        Log("failed.\n");
        return nullptr;
    }
    Log("ok.\n");
    TextureCacheEntry* entry = new TextureCacheEntry{tex, name, 1, nullptr};
    if (!first_) {
        first_ = entry;
    } else {
        entry->next = first_->next;
        first_->next = entry;
    }
    return tex;
}

void TextureCache::ReleaseTexture(GfxTexture* texture) {
    if (!texture) return;
    TextureCacheEntry* prev = nullptr;
    for (TextureCacheEntry* e = first_; e; prev = e, e = e->next) {
        if (e->texture != texture) continue;
        if (--e->refCount > 0) return;
        Log("release(%s)\n", e->name.c_str());
        e->texture->Release();
        (prev ? prev->next : first_) = e->next;
        delete e;
        return;
    }
}

int TextureCache::Count() const {
    int n = 0;
    for (const TextureCacheEntry* e = first_; e; e = e->next) ++n;
    return n;
}
