#include "framework/text_draw.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "framework/debug_log.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/texture.h"
#include "platform/text.h"

namespace {

// A glyph once rasterised into the atlas.
struct Glyph {
    int x = 0, y = 0;    // place in the atlas
    int width = 0;       // image width (0: no ink, as a blank)
    int advance = 0;     // pen step to the next character
};

// The atlas starts small and doubles when full; at the largest size a full atlas starts over.
constexpr int kAtlasStartSize = 256;
constexpr int kAtlasMaxSize = 2048;
constexpr uint32_t kReplacementCharacter = 0xFFFD;

// Render and texture-stage states BeginText replaces and EndText gives back.
const D3DRENDERSTATETYPE kSavedStates[] = {
    D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_ZENABLE, D3DRS_ZWRITEENABLE,
    D3DRS_FOGENABLE, D3DRS_ALPHATESTENABLE, D3DRS_CULLMODE,
};
const D3DTEXTURESTAGESTATETYPE kSavedStageStates[] = {
    D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_ALPHAOP, D3DTSS_ALPHAARG1,
    D3DTSS_ALPHAARG2, D3DTSS_MAGFILTER, D3DTSS_MINFILTER, D3DTSS_MIPFILTER, D3DTSS_ADDRESSU,
    D3DTSS_ADDRESSV, D3DTSS_TEXCOORDINDEX, D3DTSS_TEXTURETRANSFORMFLAGS,
};
constexpr size_t kStateCount = sizeof(kSavedStates) / sizeof(kSavedStates[0]);
constexpr size_t kStageStateCount = sizeof(kSavedStageStates) / sizeof(kSavedStageStates[0]);

struct SavedState {
    bool active = false;
    DWORD states[kStateCount] = {};
    DWORD stageStates[kStageStateCount] = {};
    DWORD fvf = 0;
    GfxTexture* texture = nullptr;
};

SavedState saved;
std::vector<TexturedScreenVertex> quads;  // the vertices of one DrawText, reused

// Next code point of UTF-8 text; a broken sequence gives one replacement character per byte.
uint32_t NextCodePoint(const unsigned char*& p) {
    const unsigned char lead = *p++;
    if (lead < 0x80) return lead;
    int extra = 0;
    uint32_t c = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return kReplacementCharacter;
    }
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) return kReplacementCharacter;  // p[i] may be the terminator
    }
    for (int i = 0; i < extra; ++i) c = (c << 6) | (p[i] & 0x3F);
    p += extra;
    return c;
}

}  // namespace

struct ScreenFont {
    int height = 16;
    int weight = 400;
    bool italic = true;
    int tabWidth = 64;
    // The atlas: white texels, the ink in the alpha channel; a copy in memory for uploads.
    GfxTexture* texture = nullptr;
    int size = 0;
    std::vector<uint32_t> pixels;
    bool dirty = false;
    int shelfX = 0, shelfY = 0;  // next free place; shelves are one cell high
    std::unordered_map<uint32_t, Glyph> glyphs;
    int rasterised = 0;
};

ScreenFont* textFont = nullptr;
int textHeight = 0;
uint32_t textColor = 0xFFFFFFFF;

namespace {

// Empties the atlas at this size (a new texture when the size changes). False when the device
// gives no texture.
bool ResetAtlas(ScreenFont& font, int size) {
    font.glyphs.clear();
    font.shelfX = font.shelfY = 0;
    if (font.texture && font.size != size) {
        font.texture->Release();
        font.texture = nullptr;
    }
    font.size = size;
    font.pixels.assign(static_cast<size_t>(size) * size, 0x00FFFFFFu);
    font.dirty = true;
    if (!font.texture &&
        (FAILED(device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &font.texture)) ||
         !font.texture)) {
        font.texture = nullptr;
        return false;
    }
    return true;
}

bool Upload(ScreenFont& font) {
    if (!font.dirty) return true;
    D3DLOCKED_RECT locked = {};
    if (FAILED(font.texture->LockRect(0, &locked, nullptr, 0)) || !locked.pBits) return false;
    for (int y = 0; y < font.size; ++y) {
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                    &font.pixels[static_cast<size_t>(y) * font.size], static_cast<size_t>(font.size) * 4);
    }
    font.texture->UnlockRect(0);
    font.dirty = false;
    return true;
}

enum class GlyphResult { kReady, kAtlasReset, kFailed };

// Finds the glyph, rasterising it into the atlas the first time. When the atlas had to grow or
// start over, the glyphs placed before are gone: the caller lays its text out again.
GlyphResult FindGlyph(ScreenFont& font, uint32_t c, const Glyph** out) {
    auto found = font.glyphs.find(c);
    if (found != font.glyphs.end()) {
        *out = &found->second;
        return GlyphResult::kReady;
    }
    TextImage image;
    int advance = 0;
    if (!TextRenderGlyph(c, font.height, font.weight, font.italic, image, &advance)) {
        if (c == kReplacementCharacter) return GlyphResult::kFailed;
        return FindGlyph(font, kReplacementCharacter, out);
    }
    ++font.rasterised;
    Glyph glyph;
    glyph.advance = advance;
    const bool inked = std::any_of(image.coverage.begin(), image.coverage.end(), [](uint8_t c) { return c != 0; });
    glyph.width = inked ? std::min(image.width, font.size) : 0;  // blanks take no room and no quad
    GlyphResult result = GlyphResult::kReady;
    if (glyph.width > 0) {
        if (font.shelfX + glyph.width > font.size) {
            font.shelfX = 0;
            font.shelfY += font.height;
        }
        if (font.shelfY + font.height > font.size) {
            const int size = std::min(font.size * 2, kAtlasMaxSize);
            if (!ResetAtlas(font, size)) return GlyphResult::kFailed;
            result = GlyphResult::kAtlasReset;
        }
        glyph.x = font.shelfX;
        glyph.y = font.shelfY;
        const int rows = std::min(image.height, font.height);
        for (int y = 0; y < rows; ++y) {
            uint32_t* dst = &font.pixels[static_cast<size_t>(glyph.y + y) * font.size + glyph.x];
            const uint8_t* src = &image.coverage[static_cast<size_t>(y) * image.width];
            for (int x = 0; x < glyph.width; ++x) dst[x] = (static_cast<uint32_t>(src[x]) << 24) | 0x00FFFFFFu;
        }
        font.shelfX += glyph.width + 1;  // a blank column keeps neighbours apart
        font.dirty = true;
    }
    *out = &(font.glyphs[c] = glyph);
    return result;
}

// Lays the text out into quads. False when the atlas changed underneath (lay out again).
bool LayOut(ScreenFont& font, int x, int y, const char* text, bool& failed) {
    quads.clear();
    const float scale = 1.0f / static_cast<float>(font.size);
    int penX = 0, penY = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        if (*p == '\r' || *p == '\n') {
            if (*p == '\r' && p[1] == '\n') ++p;
            ++p;
            penX = 0;
            penY += font.height;
            if (y + penY >= screenHeight) break;  // every further line is below the screen
            continue;
        }
        if (*p == '\t') {
            ++p;
            penX = (penX / font.tabWidth + 1) * font.tabWidth;
            continue;
        }
        if (x + penX >= screenWidth) {
            // The rest of this line is right of the screen: skip to the next line break.
            while (*p && *p != '\r' && *p != '\n') ++p;
            continue;
        }
        const uint32_t c = NextCodePoint(p);
        const Glyph* glyph = nullptr;
        const GlyphResult result = FindGlyph(font, c, &glyph);
        if (result == GlyphResult::kAtlasReset) return false;
        if (result == GlyphResult::kFailed) {
            failed = true;
            return true;
        }
        const int left = x + penX, top = y + penY;
        const bool visible = glyph->width > 0 && left < screenWidth && top + font.height > 0 &&
                             left + glyph->width > 0;
        penX += glyph->advance;
        if (!visible) continue;
        // Texel centres on pixel centres: the quad's edges sit half a pixel before the first pixel.
        const float l = static_cast<float>(left) - 0.5f, t = static_cast<float>(top) - 0.5f;
        const float r = l + static_cast<float>(glyph->width), b = t + static_cast<float>(font.height);
        const float u0 = static_cast<float>(glyph->x) * scale, v0 = static_cast<float>(glyph->y) * scale;
        const float u1 = static_cast<float>(glyph->x + glyph->width) * scale;
        const float v1 = static_cast<float>(glyph->y + font.height) * scale;
        const TexturedScreenVertex tl = {l, t, 0.0f, 1.0f, textColor, u0, v0};
        const TexturedScreenVertex tr = {r, t, 0.0f, 1.0f, textColor, u1, v0};
        const TexturedScreenVertex bl = {l, b, 0.0f, 1.0f, textColor, u0, v1};
        const TexturedScreenVertex br = {r, b, 0.0f, 1.0f, textColor, u1, v1};
        quads.insert(quads.end(), {tl, tr, bl, tr, br, bl});
    }
    return true;
}

// Cuts a string at a whole UTF-8 character so that no partial character is drawn.
void TrimPartialCharacter(char* text) {
    const size_t len = std::strlen(text);
    size_t start = len;
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start;
    if (start == 0) return;
    const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
    size_t need = 1;
    if ((lead & 0xE0) == 0xC0) need = 2;
    else if ((lead & 0xF0) == 0xE0) need = 3;
    else if ((lead & 0xF8) == 0xF0) need = 4;
    if (len - (start - 1) < need) text[start - 1] = '\0';
}

}  // namespace

void CreateTextFont(int height, uint32_t color, int weight) {
    FreeTextFont();
    textHeight = height;
    textColor = color;
    if (!device) return;
    if (!TextInit()) {
        Log("CreateTextFont: no gothic face found; text is not drawn\n");
        return;
    }
    auto* font = new ScreenFont;
    font->height = height;
    font->weight = weight;
    font->italic = true;
    font->tabWidth = std::max(1, TextTabWidth(height, weight, true));
    int size = kAtlasStartSize;
    while (size < kAtlasMaxSize && size < 4 * height) size *= 2;  // room for a few shelves
    if (!ResetAtlas(*font, size)) {
        Log("CreateTextFont: no texture for the glyphs; text is not drawn\n");
        delete font;
        return;
    }
    textFont = font;
}

void FreeTextFont() {
    if (!textFont) return;
    if (textFont->texture) textFont->texture->Release();
    delete textFont;
    textFont = nullptr;
}

void BeginText() {
    if (!device || saved.active) return;
    saved.active = true;
    for (size_t i = 0; i < kStateCount; ++i) device->GetRenderState(kSavedStates[i], &saved.states[i]);
    for (size_t i = 0; i < kStageStateCount; ++i) device->GetTextureStageState(0, kSavedStageStates[i], &saved.stageStates[i]);
    saved.fvf = device->GetVertexShader();
    saved.texture = device->GetTexture(0);
    if (saved.texture) saved.texture->AddRef();

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetVertexShader(kTexturedScreenVertexFvf);
    if (textFont) device->SetTexture(0, textFont->texture);
}

void EndText() {
    if (!device || !saved.active) return;
    for (size_t i = 0; i < kStateCount; ++i) device->SetRenderState(kSavedStates[i], saved.states[i]);
    for (size_t i = 0; i < kStageStateCount; ++i) device->SetTextureStageState(0, kSavedStageStates[i], saved.stageStates[i]);
    device->SetVertexShader(saved.fvf);
    device->SetTexture(0, saved.texture);
    if (saved.texture) saved.texture->Release();
    saved = SavedState{};
}

void DrawText(int x, int y, const char* text) {
    if (!device || !textFont || !text || !*text) return;
    if (x >= screenWidth || y >= screenHeight) return;  // the clip rectangle is empty
    const bool bracketed = saved.active;
    if (!bracketed) BeginText();

    ScreenFont& font = *textFont;
    bool failed = false;
    // A text with more new glyphs than the atlas holds is laid out again after the atlas grew.
    bool laidOut = false;
    for (int attempt = 0; attempt < 4 && !laidOut; ++attempt) laidOut = LayOut(font, x, y, text, failed);
    if (laidOut && !failed && !quads.empty() && Upload(font)) {
        device->SetTexture(0, font.texture);
        device->SetVertexShader(kTexturedScreenVertexFvf);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(quads.size() / 3), quads.data(),
                                sizeof(TexturedScreenVertex));
    }

    if (!bracketed) EndText();
}

void DrawTextFormat(int x, int y, const char* format, ...) {
    char buffer[kTextFormatBufferSize];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (written < 0) return;
    if (static_cast<size_t>(written) >= sizeof(buffer)) TrimPartialCharacter(buffer);
    DrawText(x, y, buffer);
}

int TextCacheSize() { return textFont ? static_cast<int>(textFont->glyphs.size()) : 0; }

int TextRasterisedCount() { return textFont ? textFont->rasterised : 0; }

void DrawEachScreenKind(Texture& textImage) {
    if (!device) return;
    device->SetTexture(0, nullptr);
    for (uint32_t alpha : {0x00u, 0x80u, 0xffu}) DrawRect(0, 0, 64, 64, alpha << 24);
    textImage.DrawAt(0, 0);
    BeginText();
    DrawText(0, 0, "0");
    EndText();
    device->SetTexture(0, nullptr);
}
