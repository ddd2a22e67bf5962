#include "shell/line_mask.h"

#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/text_draw.h"

namespace {
constexpr int kScreenRight = 640;
constexpr uint32_t kBlack = 0xff000000u;
}  // namespace

LineMask NoLineMask() { return {0, 0, 0, 0}; }

LineMask RevealLineMask(int s, int speed, int lead) {
    return {speed * s + lead, kScreenRight, speed * s, kScreenRight};
}

LineMask HideLineMask(int s, int speed, int upperOffset, int lowerOffset) {
    return {0, speed * s - upperOffset, 0, speed * s - lowerOffset};
}

void DrawLineMask(const LineMask& mask, int y, int half) {
    if (mask.upperX1 < mask.upperX2) DrawRect(mask.upperX1, y, mask.upperX2, y + half, kBlack);
    if (mask.lowerX1 < mask.lowerX2) DrawRect(mask.lowerX1, y + half, mask.lowerX2, y + 2 * half, kBlack);
}

void DrawMaskedLine(int x, int y, const char* text, const LineMask& mask, int half) {
    BeginText();
    DrawText(x, y, text);
    EndText();
    device->SetTexture(0, nullptr);
    DrawLineMask(mask, y, half);
}
