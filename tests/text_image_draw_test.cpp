// Text images drawn over their ink bands only: where the bands fall in a texture, and, on the real
// device off-screen at both frame sizes, the same pixels as the whole texture drawn over a coloured
// background; with the alpha test off, the whole texture is drawn as before.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/texture.h"
#include "tests/support/headless_device.h"

namespace {

constexpr uint32_t kInk = 0xFF336699u;

std::vector<TexelRect> Bands(const std::vector<uint32_t>& texels, int pitch, int w, int h) {
    std::vector<TexelRect> bands;
    FindInkBands(texels.data(), pitch, w, h, bands);
    return bands;
}

void ExpectBand(const TexelRect& b, int left, int top, int right, int bottom) {
    EXPECT_EQ(b.left, left);
    EXPECT_EQ(b.top, top);
    EXPECT_EQ(b.right, right);
    EXPECT_EQ(b.bottom, bottom);
}

TEST(InkBands, CoverTheInkAndTheTexelsAFilteredSampleReaches) {
    const int w = 32, h = 32, pitch = 40;  // a pitch wider than the texture: the tail is never ink
    std::vector<uint32_t> t(static_cast<size_t>(pitch) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = w; x < pitch; ++x) t[static_cast<size_t>(y) * pitch + x] = kInk;
    EXPECT_TRUE(Bands(t, pitch, w, h).empty());

    // Ink on row 16, columns 10..12: the band below it holds it, and the band above reaches it
    // through its last row's filter; the two have the same columns and are joined.
    for (int x = 10; x <= 12; ++x) t[16 * pitch + x] = kInk;
    std::vector<TexelRect> b = Bands(t, pitch, w, h);
    ASSERT_EQ(b.size(), 1u);
    ExpectBand(b[0], 9, 8, 14, 24);

    // On row 20 instead: only the band of rows 16..23.
    for (int x = 10; x <= 12; ++x) t[16 * pitch + x] = 0;
    t[20 * pitch + 5] = kInk;
    b = Bands(t, pitch, w, h);
    ASSERT_EQ(b.size(), 1u);
    ExpectBand(b[0], 4, 16, 7, 24);

    // Colour without alpha is clear.
    t[20 * pitch + 5] = 0x00FFFFFFu;
    EXPECT_TRUE(Bands(t, pitch, w, h).empty());
}

TEST(InkBands, InkAtAnEdgeReachesRoundToTheOtherSide) {
    const int w = 16, h = 24;
    std::vector<uint32_t> t(static_cast<size_t>(w) * h, 0);
    // Top row, first column: wraps to the last column and to the bottom band.
    t[0] = kInk;
    std::vector<TexelRect> b = Bands(t, w, w, h);
    ASSERT_EQ(b.size(), 2u);
    ExpectBand(b[0], 0, 0, 16, 8);
    ExpectBand(b[1], 0, 16, 16, 24);

    // Last column of row 12: the band takes the whole width for the sample that wraps to column 0.
    t[0] = 0;
    t[12 * w + 15] = kInk;
    b = Bands(t, w, w, h);
    ASSERT_EQ(b.size(), 1u);
    ExpectBand(b[0], 0, 8, 16, 16);

    // All ink: one band over everything. A height that is no multiple of the band ends short.
    std::vector<uint32_t> full(static_cast<size_t>(w) * 13, kInk);
    b = Bands(full, w, w, 13);
    ASSERT_EQ(b.size(), 1u);
    ExpectBand(b[0], 0, 0, 16, 13);
}

class TextImageDraw : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(StartHeadlessDevice()); }
    static void TearDownTestSuite() { StopHeadlessDevice(); }
    void TearDown() override {
        ASSERT_EQ(device->SetRenderSize(640, 480), D3D_OK);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        device->SetRenderState(D3DRS_ZENABLE, 1);
        device->SetTexture(0, nullptr);
    }

    // Stripes of colour, then the image at (x, y) tinted partly clear, drawn by DrawTinted or whole.
    static std::vector<uint8_t> Draw(const Texture& image, int x, int y, bool whole, bool alphaTest, bool blend = true) {
        EXPECT_TRUE(BeginFrame(0xFF000000u));
        device->SetRenderState(D3DRS_ZENABLE, 0);
        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        device->SetTexture(0, nullptr);
        for (int s = 0; s < 16; ++s)
            DrawRect(s * 40, 0, s * 40 + 40, 480, 0xFF000000u | (s * 0x0F0B07u + 0x203040u));
        SetAlphaBlend(blend, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest ? 1 : 0);
        device->SetRenderState(D3DRS_ALPHAREF, 0);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_NOTEQUAL);
        const uint32_t tint = 0xC0FFFFFFu;
        if (whole) {
            device->SetTexture(0, image.texture);
            DrawTexturedRect(x, y, x + static_cast<int>(image.desc.Width), y + static_cast<int>(image.desc.Height), tint);
        } else {
            image.DrawTinted(x, y, tint);
        }
        std::vector<uint8_t> rgba(static_cast<size_t>(device->FrameWidth()) * device->FrameHeight() * 4);
        EXPECT_TRUE(device->ReadFrame(rgba.data()));
        EndFrame();
        return rgba;
    }
};

TEST_F(TextImageDraw, BandsDrawTheSamePixelsAsTheWholeTextureAtBothSizes) {
    Texture text;
    ASSERT_TRUE(text.CreateFromTextItalic("   Your Rate Of \nCollecting Crystals \n        Is \n\n      99.50 % \n", 32,
                                          0xFFFFE040u, 700, "face"));
    ASSERT_TRUE(text.inkKnown);
    ASSERT_FALSE(text.inkBands.empty());
    // The bands are a fraction of the power-of-two texture.
    long area = 0;
    for (const TexelRect& b : text.inkBands) area += static_cast<long>(b.right - b.left) * (b.bottom - b.top);
    const long whole = static_cast<long>(text.desc.Width) * text.desc.Height;
    EXPECT_LT(area, whole / 2) << text.desc.Width << " x " << text.desc.Height;

    for (UINT scale : {1u, 2u}) {
        ASSERT_EQ(device->SetRenderSize(640 * scale, 480 * scale), D3D_OK);
        const std::vector<uint8_t> bands = Draw(text, 37, 21, false, true);
        const std::vector<uint8_t> full = Draw(text, 37, 21, true, true);
        ASSERT_EQ(bands.size(), full.size());
        size_t differ = 0;
        for (size_t i = 0; i < bands.size(); ++i) differ += bands[i] != full[i] ? 1 : 0;
        EXPECT_EQ(differ, 0u) << "at " << scale << "x";
        // And the text is there: the ink tints many pixels away from their stripe's colour.
        const std::vector<uint8_t> none = Draw(Texture(), 37, 21, false, true);
        size_t inked = 0;
        for (size_t i = 0; i < bands.size(); i += 4) inked += bands[i] != none[i] ? 1 : 0;
        EXPECT_GT(inked, 2000u * scale * scale) << "at " << scale << "x";
    }
}

TEST_F(TextImageDraw, WithoutTheAlphaTestTheWholeTextureIsDrawn) {
    Texture text;
    ASSERT_TRUE(text.CreateFromText("AB", 32, 0xFFFFFFFFu, 700, "face"));
    // Blending off too: the clear texels darken the background over the texture's whole square.
    const std::vector<uint8_t> drawn = Draw(text, 100, 100, false, false, false);
    const std::vector<uint8_t> full = Draw(text, 100, 100, true, false, false);
    EXPECT_EQ(drawn, full);
    const int lastX = 100 + static_cast<int>(text.desc.Width) - 1, lastY = 100 + static_cast<int>(text.desc.Height) - 1;
    const std::vector<uint8_t> none = Draw(Texture(), 100, 100, false, false, false);
    const size_t at = (static_cast<size_t>(lastY) * 640 + lastX) * 4;
    EXPECT_NE(none[at], 0) << "the stripe under the corner";
    EXPECT_EQ(drawn[at], 0) << "the texture's clear corner is drawn black over the stripe";
}

}  // namespace
