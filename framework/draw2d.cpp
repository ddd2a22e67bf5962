#include "framework/draw2d.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/graphics_device.h"

namespace {

constexpr float kPi = 3.14159265358979f;
// Depth of the flat screen rectangles, in front of nothing but drawn with the depth test as set.
constexpr float kRectDepth = 0.2f;

// The flare shows only while the camera looks within about 40 degrees of the sun, at full strength
// within about 26 degrees, and washes the screen within about 32 degrees.
constexpr float kFlareCosine = 0.76f;
constexpr float kFlareFullCosine = 0.9f;
constexpr float kGlareCosine = 0.85f;
constexpr int kFlareMaxAlpha = 220;
// The flare's strength straight at the sun, before the angle scales it (by at most 0.1).
constexpr int64_t kFlareMinStrength = 1400;
constexpr int64_t kFlareMaxStrength = 2200;
constexpr int kGlareMaxAlpha = 100;

void DrawScreenTriangle(const ScreenVertex (&v)[3]) {
    if (!device) return;
    device->SetVertexShader(kScreenVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ScreenVertex));
}

// A fan of `rimCount` triangles around the centre, rim points at k * step degrees for
// k = rimCount .. 1, closed by repeating the first rim point; put in a short-lived vertex buffer.
void DrawFan(float x, float y, float z, float radius, uint32_t centerColor, uint32_t rimColor, int rimCount,
             float stepDegrees) {
    if (!device) return;
    ColorVertex v[38];
    const int count = rimCount + 2;
    v[0] = {x, y, z, centerColor};
    for (int i = 0; i < rimCount; ++i) {
        const int k = rimCount - i;
        const float theta = static_cast<float>(k) * stepDegrees * kPi / 180.0f;
        v[1 + i] = {x + radius * std::cos(theta), y + radius * std::sin(theta), z, rimColor};
    }
    v[count - 1] = v[1];

    const UINT length = static_cast<UINT>(count * sizeof(ColorVertex));
    GfxVertexBuffer* buffer = nullptr;
    if (FAILED(device->CreateVertexBuffer(length, 0, kColorVertexFvf, D3DPOOL_MANAGED, &buffer)) || !buffer) return;
    uint8_t* data = nullptr;
    if (SUCCEEDED(buffer->Lock(0, length, &data, 0)) && data) {
        std::memcpy(data, v, length);
        buffer->Unlock();
        device->SetStreamSource(0, buffer, sizeof(ColorVertex));
        device->SetVertexShader(kColorVertexFvf);
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, static_cast<UINT>(rimCount));
        device->SetStreamSource(0, nullptr, 0);
    }
    buffer->Release();
}

}  // namespace

void DrawTriangleUp(int cx, int cy, int r, uint32_t color) {
    const float h = static_cast<float>(r) * std::sqrt(3.0f) / 2.0f;
    const float fx = static_cast<float>(cx), fy = static_cast<float>(cy);
    const float base = static_cast<float>(cy + r / 2);
    // Wound clockwise on the screen, as the rectangles are, so the usual culling keeps it.
    const ScreenVertex v[3] = {
        {fx, fy - static_cast<float>(r), 0.0f, 1.0f, color},
        {fx + h, base, 0.0f, 1.0f, color},
        {fx - h, base, 0.0f, 1.0f, color},
    };
    DrawScreenTriangle(v);
}

void DrawTriangleRight(int cx, int cy, int r, uint32_t color) {
    const float h = static_cast<float>(r) * std::sqrt(3.0f) / 2.0f;
    const float fy = static_cast<float>(cy);
    const float back = static_cast<float>(cx - r / 2);
    const ScreenVertex v[3] = {
        {back, fy - h, 0.0f, 1.0f, color},
        {static_cast<float>(cx + r), fy, 0.0f, 1.0f, color},
        {back, fy + h, 0.0f, 1.0f, color},
    };
    DrawScreenTriangle(v);
}

void DrawTriangleDown(int cx, int cy, int r, uint32_t color) {
    const float h = static_cast<float>(r) * std::sqrt(3.0f) / 2.0f;
    const float fx = static_cast<float>(cx), fy = static_cast<float>(cy);
    const float base = static_cast<float>(cy - r / 2);
    // Up's triangle mirrored top to bottom, its base corners swapped to keep the winding.
    const ScreenVertex v[3] = {
        {fx, fy + static_cast<float>(r), 0.0f, 1.0f, color},
        {fx - h, base, 0.0f, 1.0f, color},
        {fx + h, base, 0.0f, 1.0f, color},
    };
    DrawScreenTriangle(v);
}

void DrawTriangleLeft(int cx, int cy, int r, uint32_t color) {
    const float h = static_cast<float>(r) * std::sqrt(3.0f) / 2.0f;
    const float fy = static_cast<float>(cy);
    const float back = static_cast<float>(cx + r / 2);
    const ScreenVertex v[3] = {
        {back, fy + h, 0.0f, 1.0f, color},
        {static_cast<float>(cx - r), fy, 0.0f, 1.0f, color},
        {back, fy - h, 0.0f, 1.0f, color},
    };
    DrawScreenTriangle(v);
}

void DrawRect(int x1, int y1, int x2, int y2, uint32_t color) {
    if (!device) return;
    const float l = static_cast<float>(x1), t = static_cast<float>(y1);
    const float r = static_cast<float>(x2), b = static_cast<float>(y2);
    const ScreenVertex v[4] = {
        {l, t, kRectDepth, 1.0f, color},
        {r, t, kRectDepth, 1.0f, color},
        {l, b, kRectDepth, 1.0f, color},
        {r, b, kRectDepth, 1.0f, color},
    };
    device->SetVertexShader(kScreenVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
}

void DrawTexturedRect(int x1, int y1, int x2, int y2, uint32_t color) {
    if (!device) return;
    const float l = static_cast<float>(x1), t = static_cast<float>(y1);
    const float r = static_cast<float>(x2), b = static_cast<float>(y2);
    const TexturedScreenVertex v[4] = {
        {l, t, kRectDepth, 1.0f, color, 0.0f, 0.0f},
        {r, t, kRectDepth, 1.0f, color, 1.0f, 0.0f},
        {l, b, kRectDepth, 1.0f, color, 0.0f, 1.0f},
        {r, b, kRectDepth, 1.0f, color, 1.0f, 1.0f},
    };
    device->SetVertexShader(kTexturedScreenVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexturedScreenVertex));
}

void DrawTexturedRectParts(int x, int y, int width, int height, const TexelRect* parts, int count, uint32_t color) {
    if (!device || count <= 0 || width <= 0 || height <= 0) return;
    // Kept between calls: text images are drawn every frame, and their vertices fit the last size.
    static std::vector<TexturedScreenVertex> v;
    v.clear();
    const float tw = static_cast<float>(width), th = static_cast<float>(height);
    for (int i = 0; i < count; ++i) {
        const TexelRect& p = parts[i];
        const float l = static_cast<float>(x + p.left), t = static_cast<float>(y + p.top);
        const float r = static_cast<float>(x + p.right), b = static_cast<float>(y + p.bottom);
        const float u1 = p.left / tw, v1 = p.top / th, u2 = p.right / tw, v2 = p.bottom / th;
        const TexturedScreenVertex lt{l, t, kRectDepth, 1.0f, color, u1, v1}, rt{r, t, kRectDepth, 1.0f, color, u2, v1};
        const TexturedScreenVertex lb{l, b, kRectDepth, 1.0f, color, u1, v2}, rb{r, b, kRectDepth, 1.0f, color, u2, v2};
        // The two triangles of DrawTexturedRect's strip, in the same order and winding.
        for (const TexturedScreenVertex& c : {lt, rt, lb, rt, rb, lb}) v.push_back(c);
    }
    device->SetVertexShader(kTexturedScreenVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(count) * 2, v.data(), sizeof(TexturedScreenVertex));
}

void DrawQuad3D(float x, float y, float z, float width, float height, uint32_t color) {
    if (!device) return;
    const float hw = width / 2.0f, hh = height / 2.0f;
    const TexturedVertex v[4] = {
        {x - hw, y - hh, z, color, 0.0f, 0.0f},
        {x + hw, y - hh, z, color, 1.0f, 0.0f},
        {x - hw, y + hh, z, color, 0.0f, 1.0f},
        {x + hw, y + hh, z, color, 1.0f, 1.0f},
    };
    device->SetVertexShader(kTexturedVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexturedVertex));
}

void DrawHexagon(float x, float y, float z, float radius, uint32_t centerColor, uint32_t rimColor) {
    DrawFan(x, y, z, radius, centerColor, rimColor, 6, 60.0f);
}

void DrawDisc(float x, float y, float z, float radius, uint32_t centerColor, uint32_t rimColor) {
    DrawFan(x, y, z, radius, centerColor, rimColor, 36, 10.0f);
}

void DrawSunFlare(float x, float y, float z, float s, bool glare) {
    if (!device) return;
    // Additive light for the sun and its flare.
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);

    // The sun flickers: RGB 0xFFE080 with an alpha of 192..255, new every call.
    const uint32_t n = static_cast<uint32_t>(std::rand() % 64);
    SetBillboardWorld(x, y, z);
    DrawQuad3D(0.0f, 0.0f, 0.0f, s, s, (n << 24) - 0x3F001F80u);

    // Camera position and forward axis from the view transform.
    const D3DXMATRIX& v = viewMatrix;
    const float tx = v._41, ty = v._42, tz = v._43;
    const D3DXVECTOR3 camera(-(v._11 * tx + v._12 * ty + v._13 * tz), -(v._21 * tx + v._22 * ty + v._23 * tz),
                             -(v._31 * tx + v._32 * ty + v._33 * tz));
    const D3DXVECTOR3 forward(v._13, v._23, v._33);
    const D3DXVECTOR3 sun(x, y, z);
    const D3DXVECTOR3 toSun = sun - camera;
    const D3DXVECTOR3 step = toSun * 0.2f - forward * 5.0f;
    D3DXVECTOR3 forwardUnit, toSunUnit;
    D3DXVec3Normalize(&forwardUnit, &forward);
    D3DXVec3Normalize(&toSunUnit, &toSun);
    const float cosine = D3DXVec3Dot(&forwardUnit, &toSunUnit);

    if (cosine <= kFlareCosine) {
        SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        return;
    }

    // Intensity: 140..220 looking straight at the sun, fading to nothing at the full-strength edge.
    // The strength is 1400..2200 over the whole range of rand() (the flare was tuned on a 15-bit
    // generator; glibc's gives 31 bits, so the scaling is done in 64 bits on RAND_MAX).
    std::rand();  // drawn and unused, as the game always has: seeded runs keep their sequence
    float intensity = 0.0f;
    if (cosine >= kFlareFullCosine) {
        const int64_t r = std::rand();
        const int64_t strength = kFlareMinStrength + (kFlareMaxStrength - kFlareMinStrength) * r / RAND_MAX;
        intensity = static_cast<float>(strength) * (cosine - kFlareFullCosine);
    }
    int alpha = static_cast<int>(intensity);
    if (alpha < 0) alpha = 0;
    if (alpha > kFlareMaxAlpha) alpha = kFlareMaxAlpha;
    const uint32_t a = static_cast<uint32_t>(alpha) << 24;

    device->SetTexture(0, nullptr);
    D3DXVECTOR3 p = sun;
    struct Element {
        bool hexagon;
        float divisor;
        uint32_t center, rim;
    };
    const Element elements[6] = {
        {false, 10.0f, a, a + 0x804000u},
        {true, 8.0f, a, a + 0x806000u},
        {false, 13.0f, a, a + 0x08001040u},
        {false, 7.0f, a, a + 0x08006020u},
        {false, 20.0f, a + 0x8040u, a},
        {false, 2.0f, 0u, a + 0x2000u},
    };
    for (const Element& e : elements) {
        p -= step;
        SetBillboardWorld(p.x, p.y, p.z);
        if (e.hexagon) {
            DrawHexagon(0.0f, 0.0f, 0.0f, s / e.divisor, e.center, e.rim);
        } else {
            DrawDisc(0.0f, 0.0f, 0.0f, s / e.divisor, e.center, e.rim);
        }
    }

    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);

    if (glare && cosine > kGlareCosine) {
        float g = (cosine - kFlareFullCosine) * 1000.0f;
        if (!(g > 0.0f)) g = 0.0f;
        int ga = static_cast<int>(g);
        if (ga > kGlareMaxAlpha) ga = kGlareMaxAlpha;
        DrawRect(0, 0, 640, 480, (static_cast<uint32_t>(ga) << 24) | 0x00FFFFFFu);
    }
}
