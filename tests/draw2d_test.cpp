// The screen font and the 2D shapes on the real device, off-screen: pixels compared with the
// coordinates each rule gives, draw calls counted for the sun flare, and the random numbers it takes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/screenshot.h"
#include "framework/text_draw.h"
#include "platform/system.h"
#include "platform/text.h"
#include "support/run_game.h"
#include "tests/support/headless_device.h"

namespace {

struct Pixel {
    int r, g, b;
};

class Draw2D : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(StartHeadlessDevice()); }
    static void TearDownTestSuite() { StopHeadlessDevice(); }
    void SetUp() override {
        ASSERT_NE(device, nullptr);
        frameNumber = 0;
        ASSERT_TRUE(BeginFrame(0xFF000000u));
        // Flat, unlit, untextured, no depth test: only the shape's own rule decides its pixels.
        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_ZENABLE, 0);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetTexture(0, nullptr);
    }
    void TearDown() override {
        EndFrame();
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_ZENABLE, 1);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        device->SetRenderState(D3DRS_LIGHTING, 1);
        SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    }
    void Read() {
        frame.assign(640 * 480 * 4, 0);
        ASSERT_TRUE(device->ReadFrame(frame.data()));
    }
    Pixel At(int x, int y) const {
        const uint8_t* p = &frame[(static_cast<size_t>(y) * 640 + x) * 4];
        return {p[0], p[1], p[2]};
    }
    bool Lit(int x, int y) const {
        Pixel p = At(x, y);
        return p.r + p.g + p.b > 0;
    }
    // Bounding box of every lit pixel; false when none is lit.
    bool LitBox(int& x0, int& y0, int& x1, int& y1) const {
        x0 = y0 = 1 << 20;
        x1 = y1 = -1;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                if (!Lit(x, y)) continue;
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
        return x1 >= 0;
    }
    // Whether any pixel in [x0, x1) x [y0, y1) is lit.
    bool AnyLitIn(int x0, int y0, int x1, int y1) const {
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                if (Lit(x, y)) return true;
            }
        }
        return false;
    }
    // Presents what was drawn and starts the next frame cleared to black.
    void NextFrame() {
        EndFrame();
        ASSERT_TRUE(BeginFrame(0xFF000000u));
    }
    std::vector<uint8_t> frame;
};

TEST_F(Draw2D, RectCoversExactlyItsPixels) {
    DrawRect(10, 20, 30, 50, 0xFF00FF00u);
    Read();
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(x0, y0, x1, y1));
    EXPECT_EQ(x0, 10);
    EXPECT_EQ(y0, 20);
    EXPECT_EQ(x1, 29);
    EXPECT_EQ(y1, 49);
    Pixel p = At(15, 30);
    EXPECT_EQ(p.g, 255);
    EXPECT_EQ(p.r, 0);
}

TEST_F(Draw2D, TranslucentRectIsTheFadeTool) {
    DrawRect(0, 0, 640, 480, 0xFF3060C0u);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    DrawRect(100, 100, 200, 200, 0x80000000u);
    Read();
    Pixel faded = At(150, 150), kept = At(50, 50);
    EXPECT_EQ(kept.b, 0xC0);
    EXPECT_NEAR(faded.b, 0xC0 * 127 / 255, 2);
    EXPECT_NEAR(faded.g, 0x60 * 127 / 255, 2);
}

TEST_F(Draw2D, AllFourArrowsShowUnderTheUsualCulling) {
    // The game culls counter-clockwise triangles; the menus draw their arrows with it on.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    DrawTriangleUp(100, 100, 12, 0xFFFFFFFFu);
    DrawTriangleDown(200, 100, 12, 0xFFFFFFFFu);
    DrawTriangleLeft(300, 100, 12, 0xFFFFFFFFu);
    DrawTriangleRight(400, 100, 12, 0xFFFFFFFFu);
    Read();
    for (int x : {100, 200, 300, 400}) EXPECT_TRUE(Lit(x, 100)) << x;
    // Each points its own way: the tip's side is lit, the opposite side of the centre is not.
    EXPECT_TRUE(Lit(100, 91));
    EXPECT_FALSE(Lit(100, 111));
    EXPECT_TRUE(Lit(200, 109));
    EXPECT_FALSE(Lit(200, 89));
    EXPECT_TRUE(Lit(291, 100));
    EXPECT_FALSE(Lit(311, 100));
    EXPECT_TRUE(Lit(409, 100));
    EXPECT_FALSE(Lit(389, 100));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

TEST_F(Draw2D, TriangleUpWithAnOddRadiusHasItsBaseAtTheIntegerHalf) {
    // r = 21: apex at y 79, base at 100 + 21/2 = 110 (not 110.5), half-width 21 * sqrt(3) / 2.
    DrawTriangleUp(100, 100, 21, 0xFFFFFFFFu);
    Read();
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(x0, y0, x1, y1));
    EXPECT_EQ(y1, 109);  // pixel centres on row 110 lie on the base edge, which is not filled
    EXPECT_FALSE(Lit(100, 110));
    EXPECT_TRUE(Lit(100, 109));
    EXPECT_GE(y0, 79);
    EXPECT_LE(y0, 81);
    // The widest row is the last one, 30 of the 31 rows down from the apex.
    const float half = 21.0f * std::sqrt(3.0f) / 2.0f * 30.0f / 31.0f;  // 17.6
    EXPECT_EQ(x0, static_cast<int>(std::ceil(100 - half)));
    EXPECT_EQ(x1, static_cast<int>(std::ceil(100 + half)) - 1);
    EXPECT_TRUE(Lit(100, 90));
}

TEST_F(Draw2D, TriangleRightPointsRightFromItsIntegerHalf) {
    DrawTriangleRight(300, 100, 21, 0xFFFF0000u);
    Read();
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(x0, y0, x1, y1));
    EXPECT_EQ(x0, 290);  // 300 - 21/2
    EXPECT_LE(x1, 320);  // the tip at 321 is a point
    EXPECT_GE(x1, 318);
    EXPECT_EQ(At(295, 100).r, 255);
    // The top edge runs from (290, 81.8) to the tip (321, 100).
    EXPECT_FALSE(Lit(291, 82));
    EXPECT_TRUE(Lit(291, 83));
    EXPECT_FALSE(Lit(289, 100));
}

TEST_F(Draw2D, ScreenShapesKeepTheirWindingUnderTheDefaultCulling) {
    // Rectangles wind clockwise on the screen and survive counter-clockwise culling.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    DrawRect(10, 10, 20, 20, 0xFFFFFFFFu);
    DrawTriangleRight(100, 100, 20, 0xFFFFFFFFu);
    Read();
    EXPECT_TRUE(Lit(15, 15));
    EXPECT_TRUE(Lit(100, 100));
}

TEST_F(Draw2D, TexturedRectStretchesTheWholeTexture) {
    GfxTexture* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    uint32_t* row0 = static_cast<uint32_t*>(locked.pBits);
    uint32_t* row1 = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + locked.Pitch);
    row0[0] = 0xFFFF0000u;
    row0[1] = 0xFF00FF00u;
    row1[0] = 0xFF0000FFu;
    row1[1] = 0xFFFFFFFFu;
    texture->UnlockRect(0);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    DrawTexturedRect(100, 100, 140, 140, 0xFFFFFFFFu);
    Read();
    device->SetTexture(0, nullptr);
    texture->Release();
    Pixel tl = At(105, 105), tr = At(135, 105), bl = At(105, 135), br = At(135, 135);
    EXPECT_EQ(tl.r, 255);
    EXPECT_EQ(tl.g, 0);
    EXPECT_EQ(tr.g, 255);
    EXPECT_EQ(tr.r, 0);
    EXPECT_EQ(bl.b, 255);
    EXPECT_EQ(bl.r, 0);
    EXPECT_EQ(br.r + br.g + br.b, 3 * 255);
    EXPECT_FALSE(Lit(140, 120));
    EXPECT_TRUE(Lit(139, 139));
}

// A camera at (0, 0, -10) looking at the origin along +z.
void LookDownZ() {
    SetCameraLookAt(D3DXVECTOR3(0, 0, -10), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
    device->SetTransform(D3DTS_VIEW, &viewMatrix);
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
}

TEST_F(Draw2D, DiscIsAFanBlendingCentreToRim) {
    LookDownZ();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);  // fans wind clockwise as seen
    const UINT calls = device->DrawCallCount(), triangles = device->TriangleCount();
    DrawDisc(0, 0, 0, 3.0f, 0xFFFF0000u, 0xFF0000FFu);
    EXPECT_EQ(device->DrawCallCount() - calls, 1u);
    EXPECT_EQ(device->TriangleCount() - triangles, 36u);
    Read();
    Pixel centre = At(320, 240);
    EXPECT_GT(centre.r, 240);
    EXPECT_LT(centre.b, 15);
    // 3 units at 10 units' distance: about 217 pixels across the 480-pixel height of a 45° view.
    const float pixelsPerUnit = 240.0f / (10.0f * std::tan(3.14159265f / 8.0f));
    const int rim = static_cast<int>(3.0f * pixelsPerUnit);
    Pixel nearRim = At(320 + rim - 4, 240);
    EXPECT_GT(nearRim.b, nearRim.r);
    EXPECT_FALSE(Lit(320 + rim + 3, 240));

}

TEST_F(Draw2D, Quad3DIsCentredWithTheWholeTexture) {
    LookDownZ();
    const UINT calls = device->DrawCallCount();
    DrawQuad3D(0, 0, 0, 2.0f, 1.0f, 0xFF00FF00u);
    EXPECT_EQ(device->DrawCallCount() - calls, 1u);
    Read();
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(x0, y0, x1, y1));
    const float pixelsPerUnit = 240.0f / (10.0f * std::tan(3.14159265f / 8.0f));
    EXPECT_NEAR((x0 + x1) / 2.0, 320, 1.0);
    EXPECT_NEAR((y0 + y1) / 2.0, 240, 1.0);
    EXPECT_NEAR(x1 - x0 + 1, 2.0f * pixelsPerUnit, 2.0);
    EXPECT_NEAR(y1 - y0 + 1, 1.0f * pixelsPerUnit, 2.0);
}

// The screen font.
class ScreenText : public Draw2D {
protected:
    void SetUp() override {
        Draw2D::SetUp();
        CreateTextFont(16, 0xFF00C0FFu, 700);
    }
};

TEST_F(ScreenText, MenuTextLightsOnlyItsOwnBox) {
    BeginText();
    DrawText(120, 240, "Rash Into Races ");
    EndText();
    Read();
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(x0, y0, x1, y1));
    // Sixteen half-width cells of 8 x 16 from (120, 240); italic leans a pixel or two to the right.
    EXPECT_GE(x0, 120);
    EXPECT_LE(x0, 122);
    EXPECT_GE(y0, 240);
    EXPECT_LE(x1, 120 + 128 + 1);
    EXPECT_GE(x1, 120 + 14 * 8);  // the last "s"
    EXPECT_LE(y1, 255);
    EXPECT_GE(y1, 250);
    // Full ink shows the font's colour.
    int brightest = 0;
    Pixel best{0, 0, 0};
    for (int y = 240; y < 256; ++y) {
        for (int x = 120; x < 250; ++x) {
            Pixel p = At(x, y);
            if (p.b > brightest) {
                brightest = p.b;
                best = p;
            }
        }
    }
    EXPECT_EQ(best.r, 0);
    EXPECT_EQ(best.g, 0xC0);
    EXPECT_EQ(best.b, 0xFF);
}

TEST_F(ScreenText, GlyphsLandWhereTheWholeStringWouldBeRasterised) {
    const char* text = "Course  1 Blue Surf And Wind \nローディング\t1'23\"45";
    BeginText();
    DrawText(20, 100, text);
    EndText();
    Read();
    TextImage image;
    ASSERT_TRUE(TextRender(text, 16, 700, true, image));
    int inked = 0, mismatched = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const bool ink = image.coverage[static_cast<size_t>(y) * image.width + x] != 0;
            inked += ink;
            mismatched += ink != Lit(20 + x, 100 + y);
        }
    }
    EXPECT_GT(inked, 500);
    EXPECT_LT(mismatched, inked / 100);  // overlapping italic edges may blend a little differently
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(x0, y0, x1, y1));
    EXPECT_LT(x1, 20 + image.width);
    EXPECT_LT(y1, 100 + image.height);
}

TEST_F(ScreenText, LineBreaksTabsAndTheClipRectangle) {
    BeginText();
    DrawText(10, 10, "A\n\tB");
    DrawText(630, 470, "WWWW\nWWWW");  // clipped by the screen's edges, nothing else
    EndText();
    Read();
    EXPECT_TRUE(AnyLitIn(10, 10, 18, 26));
    EXPECT_TRUE(AnyLitIn(74, 26, 82, 42));
    EXPECT_FALSE(AnyLitIn(18, 26, 74, 42));
    EXPECT_TRUE(AnyLitIn(630, 470, 640, 480));
}

TEST_F(ScreenText, GlyphsAreRasterisedOnceWhateverTheStrings) {
    const int before = TextRasterisedCount();
    BeginText();
    DrawText(0, 0, "Records ");
    EndText();
    EXPECT_EQ(TextRasterisedCount() - before, 8);  // R e c o r d s and the blank
    for (uint32_t f = 0; f < 100; ++f) {
        BeginText();
        DrawText(0, 0, "Records ");
        DrawText(0, 16, "Option ");
        DrawTextFormat(0, 32, "%d'%02d\"%02d", static_cast<int>(f / 60), static_cast<int>(f % 60), 5);
        EndText();
    }
    // Option adds O p t i n; the clock the ten digits and two marks.
    EXPECT_EQ(TextRasterisedCount() - before, 8 + 5 + 12);
    EXPECT_EQ(TextCacheSize(), 8 + 5 + 12);
}

TEST_F(ScreenText, OneDrawPerText) {
    BeginText();
    const UINT calls = device->DrawCallCount(), triangles = device->TriangleCount();
    DrawText(0, 0, "Rash Into Races ");
    DrawText(0, 20, "A B\nC");
    EXPECT_EQ(device->DrawCallCount() - calls, 2u);
    EXPECT_EQ(device->TriangleCount() - triangles, 2u * (13 + 3));  // blanks have no ink
    EndText();
}

TEST_F(ScreenText, AFullAtlasGrowsAndTextStaysRight) {
    // 300 different kanji at 32 pixels: the first atlas holds about fifty of them.
    CreateTextFont(32, 0xFFFFFFFFu, 400);
    std::string many;
    for (uint32_t c = 0x4E00; c < 0x4E00 + 300; ++c) {
        many += static_cast<char>(0xE0 | (c >> 12));
        many += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        many += static_cast<char>(0x80 | (c & 0x3F));
        if ((c - 0x4E00) % 20 == 19) many += "\n";
    }
    BeginText();
    DrawText(0, 0, many.c_str());
    EndText();
    EXPECT_EQ(TextCacheSize(), 300);
    Read();
    EXPECT_TRUE(AnyLitIn(0, 0, 32, 32));      // the first of them, drawn before the atlas grew
    EXPECT_TRUE(AnyLitIn(0, 448, 32, 480));   // the last line
    CreateTextFont(16, 0xFF00C0FFu, 700);
    NextFrame();
    BeginText();
    DrawText(120, 240, "Rash Into Races ");
    EndText();
    Read();
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(x0, y0, x1, y1));
    EXPECT_GE(x0, 120);
    EXPECT_LE(x1, 249);
    EXPECT_GE(y0, 240);
    EXPECT_LE(y1, 255);
}

TEST_F(ScreenText, FormatResultIsCutAtTheBufferAndAWholeCharacter) {
    // 2398 line breaks, then "AB": the cut at 2399 bytes keeps "A" only. Drawn from far above the
    // screen so that the line after the breaks lands on row 0.
    std::string breaks(2398, '\n');
    BeginText();
    DrawTextFormat(0, -16 * 2398, "%sAB", breaks.c_str());
    // 2397 breaks, then "あい": the cut falls inside "あ", which is dropped whole.
    std::string fewer(2397, '\n');
    DrawTextFormat(100, 100 - 16 * 2397, "%sあい", fewer.c_str());
    EndText();
    Read();
    EXPECT_TRUE(AnyLitIn(0, 0, 8, 16));
    EXPECT_FALSE(AnyLitIn(9, 0, 40, 16));
    EXPECT_FALSE(AnyLitIn(100, 100, 140, 116));
}

TEST_F(ScreenText, TextBracketPutsTheCallersStatesBack) {
    GfxTexture* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetVertexShader(0x152);
    BeginText();
    DrawText(0, 0, "Loading Now...");
    EndText();
    DWORD z = 0, cull = 0, fog = 0, filter = 0;
    device->GetRenderState(D3DRS_ZENABLE, &z);
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    device->GetRenderState(D3DRS_FOGENABLE, &fog);
    device->GetTextureStageState(0, D3DTSS_MAGFILTER, &filter);
    EXPECT_EQ(z, 1u);
    EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(fog, 1u);
    EXPECT_EQ(filter, static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(device->GetVertexShader(), 0x152u);
    EXPECT_EQ(device->GetTexture(0), texture);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(ScreenText, ScreenshotOfTheScreenFont) {
    BeginText();
    DrawText(40, 40, "Rash Into Races \nRecords \nOption \nローディング 16");
    EndText();
    CreateTextFont(32, 0xFFFFFFFFu, 400);
    BeginText();
    DrawText(40, 160, "Rash Into Races \nローディング 32");
    EndText();
    CreateTextFont(16, 0xFF00C0FFu, 700);
    const std::string path = std::string(KORVAN_BUILD_DIR) + "/text_screen.png";
    ASSERT_TRUE(WriteScreenshot(path.c_str()));
    std::printf("screen font shot: %s\n", path.c_str());
}

}  // namespace
