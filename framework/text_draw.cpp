#include "framework/text_draw.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "platform/text.h"

namespace {

// A string once rasterised: its texture (white, the ink in the alpha channel) and size.
struct CachedString {
    GfxTexture* texture = nullptr;  // null for a string with no ink
    int width = 0, height = 0;      // pixels of the text
    float u = 1.0f, v = 1.0f;       // texture coordinates of the text's far corner
    uint32_t lastUse = 0;
};

// Strings idle for this many frames are dropped (a changing clock leaves one per frame behind);
// past the limit the oldest go first.
constexpr uint32_t kIdleFrames = 120;
constexpr size_t kMaxCachedStrings = 512;
constexpr int kFallbackMaxTexture = 2048;

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

void DropString(CachedString& entry) {
    if (entry.texture) entry.texture->Release();
    entry.texture = nullptr;
}

}  // namespace

struct ScreenFont {
    int height = 16;
    int weight = 400;
    bool italic = true;
    std::unordered_map<std::string, CachedString> strings;
    uint32_t lastSweep = 0;
    int rasterised = 0;
};

ScreenFont* textFont = nullptr;
int textHeight = 0;
uint32_t textColor = 0xFFFFFFFF;

namespace {

void SweepCache(ScreenFont& font) {
    if (frameNumber == font.lastSweep) return;
    font.lastSweep = frameNumber;
    if (font.strings.size() <= kMaxCachedStrings / 4 && frameNumber % 60 != 0) return;
    for (auto it = font.strings.begin(); it != font.strings.end();) {
        if (frameNumber - it->second.lastUse > kIdleFrames) {
            DropString(it->second);
            it = font.strings.erase(it);
        } else {
            ++it;
        }
    }
}

void MakeRoom(ScreenFont& font) {
    if (font.strings.size() < kMaxCachedStrings) return;
    std::vector<std::pair<uint32_t, const std::string*>> ages;
    ages.reserve(font.strings.size());
    for (auto& entry : font.strings) ages.emplace_back(entry.second.lastUse, &entry.first);
    std::sort(ages.begin(), ages.end());
    const size_t drop = font.strings.size() / 4;
    std::vector<std::string> names;
    for (size_t i = 0; i < drop; ++i) names.push_back(*ages[i].second);
    for (const std::string& name : names) {
        auto it = font.strings.find(name);
        DropString(it->second);
        font.strings.erase(it);
    }
}

// Rasterises the string once into a texture of its own size (cut at the device's limit).
CachedString Rasterise(const ScreenFont& font, const char* text) {
    CachedString entry;
    TextImage image;
    if (!TextRender(text, font.height, font.weight, font.italic, image) || image.width <= 0 || image.height <= 0) {
        return entry;
    }
    const int maxW = maxTextureWidth > 0 ? maxTextureWidth : kFallbackMaxTexture;
    const int maxH = maxTextureHeight > 0 ? maxTextureHeight : kFallbackMaxTexture;
    const int w = std::min(image.width, maxW);
    const int h = std::min(image.height, maxH);
    GfxTexture* texture = nullptr;
    if (FAILED(device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture)) || !texture) {
        return entry;
    }
    D3DSURFACE_DESC desc = {};
    texture->GetLevelDesc(0, &desc);
    D3DLOCKED_RECT locked = {};
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0)) || !locked.pBits) {
        texture->Release();
        return entry;
    }
    const int texW = static_cast<int>(desc.Width ? desc.Width : w);
    const int texH = static_cast<int>(desc.Height ? desc.Height : h);
    for (int y = 0; y < texH; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < texW; ++x) {
            const uint8_t ink = (x < w && y < h) ? image.coverage[static_cast<size_t>(y) * image.width + x] : 0;
            row[x] = (static_cast<uint32_t>(ink) << 24) | 0x00FFFFFFu;
        }
    }
    texture->UnlockRect(0);
    entry.texture = texture;
    entry.width = w;
    entry.height = h;
    entry.u = static_cast<float>(w) / static_cast<float>(texW);
    entry.v = static_cast<float>(h) / static_cast<float>(texH);
    return entry;
}

void DrawCached(int x, int y, const CachedString& entry) {
    // Texel centres on pixel centres: the quad's edges sit half a pixel before the first pixel.
    const float l = static_cast<float>(x) - 0.5f, t = static_cast<float>(y) - 0.5f;
    const float r = l + static_cast<float>(entry.width), b = t + static_cast<float>(entry.height);
    const TexturedScreenVertex v[4] = {
        {l, t, 0.0f, 1.0f, textColor, 0.0f, 0.0f},
        {r, t, 0.0f, 1.0f, textColor, entry.u, 0.0f},
        {l, b, 0.0f, 1.0f, textColor, 0.0f, entry.v},
        {r, b, 0.0f, 1.0f, textColor, entry.u, entry.v},
    };
    device->SetTexture(0, entry.texture);
    device->SetVertexShader(kTexturedScreenVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexturedScreenVertex));
}

// Cuts a string at a whole UTF-8 character so that no partial character is drawn.
void TrimPartialCharacter(char* text) {
    size_t len = std::strlen(text);
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
    if (!TextInit()) {
        Log("CreateTextFont: no gothic face found; text is not drawn\n");
        return;
    }
    textFont = new ScreenFont;
    textFont->height = height;
    textFont->weight = weight;
    textFont->italic = true;
    textFont->lastSweep = frameNumber;
    textHeight = height;
    textColor = color;
}

void FreeTextFont() {
    if (!textFont) return;
    for (auto& entry : textFont->strings) DropString(entry.second);
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
    if (textFont) SweepCache(*textFont);
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
    auto found = font.strings.find(text);
    if (found == font.strings.end()) {
        MakeRoom(font);
        found = font.strings.emplace(text, Rasterise(font, text)).first;
        ++font.rasterised;
    }
    found->second.lastUse = frameNumber;
    if (found->second.texture) DrawCached(x, y, found->second);

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

int TextCacheSize() { return textFont ? static_cast<int>(textFont->strings.size()) : 0; }

int TextRasterisedCount() { return textFont ? textFont->rasterised : 0; }
