#include "race/race_hud.h"

#include <algorithm>
#include <cstdio>

#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "framework/placement.h"
#include "game/records.h"
#include "framework/draw2d.h"
#include "framework/frame_pacer.h"
#include "framework/graphics_device.h"
#include "framework/text_draw.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/race_state.h"
#include "race/time_attack.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "game/settings.h"

BigText bigText = {"", 0, 0, 0, 0, 0, 0, 0, 0};
Texture bigTextImage;
Texture bigShadowImage;

VertexBuffer hudPanels[kHudPanelCount];
const PanelRect kHudPanelRects[kHudPanelCount] = {
    {8, 8, 104, 40},     {536, 440, 632, 472}, {248, 8, 400, 56},  {15, 355, 125, 465}, {536, 428, 632, 438},
    {536, 8, 632, 56},   {536, 8, 632, 88},    {536, 8, 632, 120}, {536, 8, 632, 152},
};

namespace {
const char* const kFace = "ＭＳ ゴシック";
constexpr uint32_t kLapTimeColour = 0xff00c0ffu;
constexpr uint32_t kNewBestColour = 0xffffc0ffu;
constexpr uint32_t kLapTextColour = 0xffff0000u, kLapShadowColour = 0xff808080u;
constexpr uint32_t kGreen = 0xff00ff00u, kBlack = 0xff000000u;
constexpr int kBlinkingTextFrames = 1000;

// The lap read-outs as they stand, and the serials of what their images show.
struct LapReadout {
    int minutes, millis;
    bool newBest;
    int serial;
};
LapReadout lastLapReadout = {99, 59999, false, 1};
LapReadout bestLapReadout = {99, 59999, false, 1};
int lastLapImageSerial = 0, bestLapImageSerial = 0, bigTextImageSerial = 0;

void MakeReadoutImage(Texture& image, const LapReadout& readout, uint32_t colour) {
    char text[32];
    FormatLapTime(text, sizeof text, readout.minutes, readout.millis);
    image.Release();
    image.CreateFromTextItalic(text, 16, colour, 700, kFace);
}

// The images of the texts that changed since they were last drawn.
void RefreshTextImages() {
    if (lastLapImageSerial != lastLapReadout.serial) {
        MakeReadoutImage(lastLapTimeText, lastLapReadout, lastLapReadout.newBest ? kNewBestColour : kLapTimeColour);
        lastLapImageSerial = lastLapReadout.serial;
    }
    if (bestLapImageSerial != bestLapReadout.serial) {
        MakeReadoutImage(bestLapTimeText, bestLapReadout, kLapTimeColour);
        bestLapImageSerial = bestLapReadout.serial;
    }
    if (bigTextImageSerial != bigText.serial) {
        bigTextImage.Release();
        bigShadowImage.Release();
        if (bigText.text[0] != '\0') {
            bigTextImage.CreateFromTextItalic(bigText.text, bigText.size, bigText.colour, 700, kFace);
            bigShadowImage.CreateFromTextItalic(bigText.text, bigText.size, bigText.shadowColour, 700, kFace);
        }
        bigTextImageSerial = bigText.serial;
    }
}

// Panel slots: FPS, speed, rank, mini map, boost gauge, then the timer panel
// for one to four read-outs.
enum { kPanelFps, kPanelSpeed, kPanelRank, kPanelMap, kPanelGauge, kPanelTimers };

void DrawPanel(int slot) {
    if (renderLevel >= 2) {
        hudPanels[slot].DrawTriangleStrip(2);
        return;
    }
    const PanelRect& r = kHudPanelRects[slot];
    DrawRect(r.x1, r.y1, r.x2, r.y2, kBlack);
}

// A text image drawn with a uniform alpha (the big text dims in its last frames).
void DrawImage(const Texture& image, int x, int y, uint32_t alpha) { image.DrawTinted(x, y, (alpha << 24) | 0xffffffu); }

struct Marker {
    float x, y;
    int half;  // half size in pixels
    uint32_t colour;
};

void AddSquare(ScreenVertex* v, int& n, const Marker& m) {
    const float x1 = m.x - m.half, y1 = m.y - m.half, x2 = m.x + m.half, y2 = m.y + m.half;
    const ScreenVertex corners[6] = {
        {x1, y1, 0.2f, 1.0f, m.colour}, {x2, y1, 0.2f, 1.0f, m.colour}, {x1, y2, 0.2f, 1.0f, m.colour},
        {x2, y1, 0.2f, 1.0f, m.colour}, {x2, y2, 0.2f, 1.0f, m.colour}, {x1, y2, 0.2f, 1.0f, m.colour},
    };
    for (const ScreenVertex& c : corners) v[n++] = c;
}

Marker MapMarker(const D3DXVECTOR3& p, int half, uint32_t colour) {
    const CourseGeometry& g = courseGeometry;
    const float extent = g.miniMapExtent > 0.0f ? g.miniMapExtent : 1.0f;
    const int dx = static_cast<int>((p.x - g.miniMapCentre[0]) * MiniMapSize / extent);
    const int dz = static_cast<int>((p.z + g.miniMapCentre[1]) * MiniMapSize / extent);
    return {MiniMapLeft + MiniMapSize / 2 + dx, MiniMapTop + MiniMapSize / 2 - dz, half, colour};
}
}  // namespace

void ShowBigText(const char* text, int size, uint32_t colour, uint32_t shadowColour, int x, int y, int frames) {
    BigText& b = bigText;
    std::snprintf(b.text, sizeof b.text, "%s", text);
    b.size = size;
    b.colour = colour;
    b.shadowColour = shadowColour;
    const int offset = size == 64 ? 4 : 2;
    b.x = x;
    b.y = y;
    b.shadowX = x + offset;
    b.shadowY = y + offset;
    b.serial += 1;
    raceState.bigTextTimer = frames;
}

void AdvanceBigText() {
    RaceState& r = raceState;
    r.bigTextShown = r.bigTextTimer;
    if (r.bigTextTimer <= 0) return;
    r.bigTextTimer -= 1;
    // The text has gone; its images stay for this frame's HUD, which shows its last frame.
    if (r.bigTextTimer == 0) bigText.text[0] = '\0';
}

void DrawBigText() {
    const int shown = raceState.bigTextShown;
    if (shown <= 0 || !device) return;
    // Four equal steps down at 16, 12, 8 and 4 frames left.
    const int steps = shown <= 4 ? 4 : shown <= 8 ? 3 : shown <= 12 ? 2 : shown <= 16 ? 1 : 0;
    const uint32_t alpha = static_cast<uint32_t>(255 - 51 * steps);
    if (shown <= kBlinkingTextFrames || shown % 61 < 30) {
        RefreshTextImages();
        DrawImage(bigShadowImage, bigText.shadowX, bigText.shadowY, alpha);
        DrawImage(bigTextImage, bigText.x, bigText.y, alpha);
    }
}

void ShowLapText(int laps, int lapsDone) {
    if (laps == lapsDone + 1) {
        ShowBigText("FINAL LAP ", 48, kLapTextColour, kLapShadowColour, 212, 100, 90);
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "LAST %d LAPS ", laps - lapsDone);
    ShowBigText(text, 48, kLapTextColour, kLapShadowColour, 188, 100, 90);
}

void SetLapTimeReadouts(int minutes, int millis, bool newBest) {
    lastLapReadout = {minutes, millis, newBest, lastLapReadout.serial + 1};
    if (newBest) bestLapReadout = {minutes, millis, false, bestLapReadout.serial + 1};
}

void ResetLapTimeReadouts() {
    lastLapReadout = {99, 59999, false, lastLapReadout.serial + 1};
    bestLapReadout = {99, 59999, false, bestLapReadout.serial + 1};
}

void ShowBestLapRecord(int course) {
    int minutes = 99, millis = 59999;
    BestLapOf(course, &minutes, &millis);
    bestLapReadout = {minutes, millis, false, bestLapReadout.serial + 1};
}

void FormatLapTime(char* out, int size, int minutes, int millis) {
    std::snprintf(out, static_cast<size_t>(size), "%02d:%02.3f ", minutes, millis / 1000.0);
}

void DrawMiniMap() {
    if (!device || miniMap == 0) return;
    const RaceState& r = raceState;
    // Whatever text image was drawn last would otherwise paint the black panel.
    device->SetTexture(0, nullptr);
    DrawPanel(kPanelMap);
    miniMapBuffer.DrawLineStrip(static_cast<UINT>(courseGeometry.sectionCount));

    ScreenVertex v[(SupplyCrystalSlots + BoostCrystalSlots + MaxOpponents + 1) * 6];
    int n = 0;
    if (miniMap == 2) {
        for (int i = 0; i < std::clamp(r.supplyCrystalCount, 0, SupplyCrystalSlots); ++i)
            if (supplyCrystalPresent[i]) AddSquare(v, n, MapMarker(supplyCrystals[i].GetPosition(), 1, 0xffffffffu));
        for (int i = 0; i < std::clamp(r.boostCrystalCount, 0, BoostCrystalSlots); ++i)
            if (boostCrystalPresent[i]) AddSquare(v, n, MapMarker(boostCrystals[i].GetPosition(), 1, kGreen));
        for (int i = 0; i < std::clamp(r.enemyCount, 0, MaxOpponents); ++i)
            AddSquare(v, n, MapMarker(PlacementPosition(opponents[i].placement), 2, 0xff0000ffu));
    }
    AddSquare(v, n, MapMarker(PlacementPosition(r.placement), 2, 0xffffff00u));
    device->SetVertexShader(kScreenVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(n / 3), v, sizeof(ScreenVertex));
}

void DrawHud() {
    if (!device) return;
    const RaceState& r = raceState;
    const int rank = r.rank;
    RefreshTextImages();
    device->SetTexture(0, nullptr);
    if (r.finished) {
        DrawBigText();
        return;
    }

    // Panels and gauges.
    if (showFps) DrawPanel(kPanelFps);
    if (timerMode > 0) DrawPanel(kPanelTimers + std::min(timerMode, 4) - 1);
    if (speedMeter > 0) {
        DrawPanel(kPanelGauge);
        DrawPanel(kPanelSpeed);
    }
    DrawPanel(kPanelRank);
    device->SetTexture(0, nullptr);
    if (speedMeter > 0) {
        DrawRect(538, 430, 540 + static_cast<int>(0.9f * r.boostGauge), 436, kGreen);
        if (speedMeter == 1) {
            const int v = static_cast<int>(r.speed / 25.0f * -255.0f);
            const uint32_t colour = 0xff0000ffu - static_cast<uint32_t>(v) * 0xffffu;
            DrawRect(538, 442, 540 + static_cast<int>(3.8f * r.speed), 470, colour);
        }
        for (int k = 0; k < r.boostStock; ++k) markerText.DrawAt(538 + 8 * k, 420);
    }

    // Reverse warning, rank, timer labels and lap read-outs.
    if (!r.movingForward && r.bigTextShown == 0) reverseTexts[frameCount % 20 < 4 ? 1 : 0].DrawAt(12, 200);
    if (timeAttack.active) {
        // Alone on the course: the rank panel shows the difference to the ghost instead.
        DrawTimeAttackSplit();
    } else {
        rankCaptionText.DrawAt(256, 16);
        const int place = std::clamp(rank, 1, 9);
        if (frameCount % 15 < 4) {
            rankTexts[2 * (place - 1) + 1].DrawAt(334, 15);
        } else {
            rankTexts[2 * (place - 1)].DrawAt(336, 16);
        }
    }
    for (int k = 0; k < std::min(timerMode, 4); ++k) timerCaptionTexts[k].DrawAt(k == 0 ? 536 : 544, 16 + 32 * k);
    if (timerMode >= 3) lastLapTimeText.DrawAt(544, 96);
    if (timerMode >= 4) bestLapTimeText.DrawAt(544, 128);

    DrawBigText();

    BeginText();
    if (showFps) DrawTextFormat(16, 16, "%02.2f FPS ", framePacer.fps);
    // A Time Attack has no limit time: its read-out stays empty.
    if (timerMode >= 1 && !timeAttack.active) DrawTextFormat(544, 32, "  %03.3f ", r.limitTime / 1000.0);
    if (timerMode >= 2) DrawTextFormat(544, 64, "%02d:%02.3f ", r.lapMinutes, r.lapMillis / 1000.0);
    if (speedMeter == 2) DrawTextFormat(538, 448, "%03.1f Km/h ", r.speed / 5.0f * 100.0f);
    EndText();
}

void DrawOpponentNumbers() {
    const RaceState& r = raceState;
    const int rank = r.rank;
    const int count = std::clamp(r.enemyCount, 0, MaxOpponents);
    int order[MaxOpponents];
    RaceProgress progress[MaxOpponents];
    for (int i = 0; i < count; ++i) {
        order[i] = i;
        progress[i] = OpponentProgress(i);
    }
    // Furthest first; cars level with each other keep their index order.
    std::stable_sort(order, order + count, [&progress](int a, int b) { return ProgressAhead(progress[a], progress[b]); });
    for (int k = 0; k < count; ++k) {
        const int i = order[k];
        if (!OpponentInView(i)) continue;
        const int place = k >= rank - 1 ? k + 2 : k + 1;
        if (place > 9) continue;
        const D3DXMATRIX& body = opponents[i].placement;
        const D3DXVECTOR3 top = PlacementPosition(body) + PlacementAxisY(body) * 20.0f;
        const D3DXVECTOR3 s = ProjectToScreen(top);
        if (s.z < 0.0f) continue;
        numberTexts[place].DrawAt(static_cast<int>(s.x) - 4, static_cast<int>(s.y) - 16);
    }
}

void BuildHudPanels() {
    struct PanelVertex {
        float x, y, z, rhw;
        uint32_t color;
    };
    for (int i = 0; i < kHudPanelCount; ++i) {
        const PanelRect& r = kHudPanelRects[i];
        const float x1 = static_cast<float>(r.x1), y1 = static_cast<float>(r.y1);
        const float x2 = static_cast<float>(r.x2), y2 = static_cast<float>(r.y2);
        const PanelVertex v[4] = {
            {x2, y1, 0.2f, 1.0f, 0x80000000},
            {x2, y2, 0.2f, 1.0f, 0x80000040},
            {x1, y1, 0.2f, 1.0f, 0x800000ff},
            {x1, y2, 0.2f, 1.0f, 0x80000000},
        };
        hudPanels[i].Create(v, 0x044, sizeof(v));
    }
}

void ReleaseHudPanels() {
    for (VertexBuffer& b : hudPanels) b.Release();
}
