#include "shell/logo_scene.h"
#include "shell/boot.h"

#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "shell/attract_sequence.h"

namespace {
constexpr int kLogoFrames = 600;

void DrawPicture(Texture& texture, int x1, int y1, int x2, int y2) {
    if (!texture.texture) return;
    device->SetTexture(0, texture.texture);
    DrawTexturedRect(x1, y1, x2, y2, 0xffffffff);
}
}  // namespace

LogoLayout LogoLayoutAt(int t, bool autoLoaded) {
    LogoLayout l{};
    if (t >= 120 && t <= 180) {
        l.drawPictures = true;
        l.streamX1 = 10 * t - 1840, l.streamY1 = 0, l.streamX2 = 10 * t - 1200, l.streamY2 = 480;
        l.creditX1 = 0, l.creditY1 = 0, l.creditX2 = 640, l.creditY2 = 480;
        l.madeInJapan = true;
    } else if (t >= 181 && t <= 329) {
        // Both pictures close toward the band between y 150 and 330.
        l.drawPictures = true;
        l.streamX1 = 4 * t - 3280, l.streamY1 = t - 180, l.streamX2 = 4 * t - 80, l.streamY2 = 660 - t;
        l.creditX1 = 0, l.creditY1 = t - 180, l.creditX2 = 640, l.creditY2 = 660 - t;
        l.madeInJapan = true;
        l.autoLoadLine = autoLoaded;
    } else if (t >= 330 && t <= 479) {
        l.drawPictures = true;
        l.streamX1 = 4 * t - 3880, l.streamY1 = 150, l.streamX2 = 4 * t - 680, l.streamY2 = 330;
        l.creditX1 = 0, l.creditY1 = 150, l.creditX2 = 640, l.creditY2 = 330;
        l.madeInJapan = true;
        int a = static_cast<int>(static_cast<float>(t - 330) * 1.6f);
        l.overlayAlpha = a > 255 ? 255 : a;
    }
    return l;
}

namespace {
void DrawLogo(const LogoLayout& l) {
    if (l.drawPictures) {
        // The pictures' black is keyed out: blend and alpha-test them over each other, whatever
        // the course set-up left behind.
        device->SetRenderState(D3DRS_FOGENABLE, 0);
        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_ZENABLE, 0);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
        device->SetRenderState(D3DRS_ALPHAREF, 0);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_NOTEQUAL);
        SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        DrawPicture(logoCreditTexture, l.creditX1, l.creditY1, l.creditX2, l.creditY2);
        // The streak is light: it adds to the card under it, so its dim halo never darkens the
        // card, and where it is black (keyed out) the card shows through unchanged.
        SetAlphaBlend(true, D3DBLEND_ONE, D3DBLEND_ONE);
        DrawPicture(logoStreamTexture, l.streamX1, l.streamY1, l.streamX2, l.streamY2);
        SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        device->SetTexture(0, nullptr);
        BeginText();
        if (l.madeInJapan) DrawText(480, 288, "Made In Japan. ");
        if (l.autoLoadLine) DrawText(400, 400, "Auto Load Success");
        EndText();
        if (l.overlayAlpha > 0) DrawAcross(0, 480, static_cast<uint32_t>(l.overlayAlpha) << 24);
        device->SetRenderState(D3DRS_ZENABLE, 1);
    }
}

void DrawLogoAt(int t) { DrawLogo(LogoLayoutAt(t, true)); }
}  // namespace

void DrawLogoUnseen() {
    // The pictures alone, then under the growing black.
    for (int t : {150, 400}) DrawUnseen(DrawLogoAt, t);
}

void LogoFrame() {
    const int t = frameCount;
    if (BeginFrame(0xff000000)) {
        DrawLogo(LogoLayoutAt(t, autoLoadSuccess));
        EndFrame();
    }
    // The streak's ignition, then its pulse every second while the pictures show.
    if (t == 120) PlaySound(kSoundBoost1);
    if (t > 120 && t < 480 && t % 60 == 0) PlaySound(kSoundBoost2);

    if (t >= kLogoFrames) {
        logoCreditTexture.Release();
        logoStreamTexture.Release();
        StartAttractSequence();
        return;
    }
    ++frameCount;
}
