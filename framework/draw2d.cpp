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

void DrawAcross(int y1, int y2, uint32_t color) { DrawRect(pictureLeft, y1, pictureRight, y2, color); }

void DrawSideCurtains(int closed, uint32_t color) {
    if (closed <= 0) return;
    const int edge = pictureLeft + closed * (320 - pictureLeft) / 320;
    DrawRect(pictureLeft, 0, edge, 480, color);
    DrawRect(640 - edge, 0, pictureRight, 480, color);
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

void DrawDisc(float x, float y, float z, float radius, uint32_t centerColor, uint32_t rimColor) {
    DrawFan(x, y, z, radius, centerColor, rimColor, 36, 10.0f);
}
