// The internal resolution: the size chosen from display.resolution and the window, and the frame
// drawn larger with the same picture (screen-space shapes in 640 x 480 coordinates land on the
// same places scaled, the 3D keeps its view), read back and shown at that size.
#include <gtest/gtest.h>

#include <vector>

#include "framework/config_file.h"
#include "framework/graphics_device.h"
#include "platform/gfx.h"
#include "platform/math.h"
#include "platform/system.h"
#include "tests/support/raw_device.h"

namespace {

TEST(RenderSize, FromTheSettingAndTheWindow) {
    for (RenderResolution r : {RenderResolution::k1x, RenderResolution::k2x}) {
        const RenderSize s = RenderSizeFor(r, 1920, 1080);
        EXPECT_EQ(s.width, r == RenderResolution::k1x ? 640 : 1280);
        EXPECT_EQ(s.height, r == RenderResolution::k1x ? 480 : 960);
    }
    // The window's size: the largest 4:3 picture it holds, so the view keeps its shape.
    RenderSize s = RenderSizeFor(RenderResolution::kWindow, 1920, 1080);
    EXPECT_EQ(s.width, 1440);
    EXPECT_EQ(s.height, 1080);
    s = RenderSizeFor(RenderResolution::kWindow, 1000, 2000);
    EXPECT_EQ(s.width, 1000);
    EXPECT_EQ(s.height, 750);
    // Never below the frame itself, whatever the window (an empty one included).
    for (int w : {0, 320, 640}) {
        s = RenderSizeFor(RenderResolution::kWindow, w, w * 3 / 4);
        EXPECT_EQ(s.width, 640) << w;
        EXPECT_EQ(s.height, 480) << w;
    }
}

TEST(RenderSize, SettingReadFromTheFile) {
    ResetConfig();
    EXPECT_EQ(ConfiguredRenderResolution(), RenderResolution::k1x);
    EXPECT_EQ(ApplyConfigText("display.resolution = 2x\n"), 0);
    EXPECT_EQ(ConfiguredRenderResolution(), RenderResolution::k2x);
    EXPECT_EQ(ApplyConfigText("display.resolution = Window\n"), 0);
    EXPECT_EQ(ConfiguredRenderResolution(), RenderResolution::kWindow);
    // A size the game does not offer is refused and the setting keeps what it had.
    EXPECT_EQ(ApplyConfigText("display.resolution = 3x\n"), 1);
    EXPECT_EQ(ConfiguredRenderResolution(), RenderResolution::kWindow);
    ResetConfig();
}

struct ScreenVertex {  // 0x044
    float x, y, z, rhw;
    D3DCOLOR color;
};
struct ColorVertex {  // 0x042
    float x, y, z;
    D3DCOLOR color;
};

GfxDirect3D* d3d = nullptr;
GfxDevice* dev = nullptr;

class LargerFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(OpenRawDevice("internal resolution test", D3DFMT_D24X8, &d3d, &dev)); }
    static void TearDownTestSuite() { CloseRawDevice(&d3d, &dev); }
    void TearDown() override { ASSERT_EQ(dev->SetRenderSize(640, 480), D3D_OK); }

    // A frame of a screen-space rectangle and a 3D triangle, drawn at width x height.
    static std::vector<uint8_t> DrawScene(UINT width, UINT height) {
        EXPECT_EQ(dev->SetRenderSize(width, height), D3D_OK);
        EXPECT_EQ(dev->FrameWidth(), width);
        EXPECT_EQ(dev->FrameHeight(), height);
        D3DXMATRIX id, view, proj;
        D3DXMatrixIdentity(&id);
        D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 4.0f / 3.0f, 0.1f, 100.0f);
        dev->SetTransform(D3DTS_WORLD, &id);
        dev->SetTransform(D3DTS_VIEW, &view);
        dev->SetTransform(D3DTS_PROJECTION, &proj);
        dev->SetRenderState(D3DRS_LIGHTING, 0);
        dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        dev->SetTexture(0, nullptr);
        EXPECT_EQ(dev->BeginScene(), D3D_OK);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        const ColorVertex tri[3] = {{-1, -1, 0, 0xFF00FF00u}, {0, 1.5f, 0, 0xFF00FF00u}, {1.2f, -0.8f, 0, 0xFF00FF00u}};
        dev->SetVertexShader(0x042);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex));
        // The rectangle covers the 640 x 480 pixels 100..199 across and 50..79 down.
        const float x0 = 99.5f, y0 = 49.5f, x1 = 199.5f, y1 = 79.5f;
        const ScreenVertex rect[4] = {{x0, y0, 0, 1, 0xFFFF0000u}, {x1, y0, 0, 1, 0xFFFF0000u},
                                      {x0, y1, 0, 1, 0xFFFF0000u}, {x1, y1, 0, 1, 0xFFFF0000u}};
        dev->SetVertexShader(0x044);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, rect, sizeof(ScreenVertex));
        dev->EndScene();
        std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
        EXPECT_TRUE(dev->ReadFrame(rgba.data()));
        return rgba;
    }
};

int CountWhere(const std::vector<uint8_t>& f, int channel) {
    int n = 0;
    for (size_t i = 0; i < f.size(); i += 4) n += f[i + channel] > 128 ? 1 : 0;
    return n;
}

TEST_F(LargerFrameTest, TwiceTheSizeDrawsTheSamePictureWithFourPixelsForOne) {
    const std::vector<uint8_t> one = DrawScene(640, 480);
    const std::vector<uint8_t> two = DrawScene(1280, 960);
    ASSERT_FALSE(one.empty());
    ASSERT_FALSE(two.empty());
    // The rectangle covers exactly the doubled pixels: 200..399 across, 100..159 down.
    auto red = [&](int x, int y) { return two[(static_cast<size_t>(y) * 1280 + x) * 4] > 128; };
    EXPECT_TRUE(red(200, 100));
    EXPECT_TRUE(red(399, 159));
    EXPECT_FALSE(red(199, 100));
    EXPECT_FALSE(red(400, 100));
    EXPECT_FALSE(red(200, 99));
    EXPECT_FALSE(red(200, 160));
    EXPECT_EQ(CountWhere(two, 0), 4 * CountWhere(one, 0));
    // The triangle keeps its view: four times the pixels, give or take its edges, and every 2x
    // pixel inside agrees with the 1x pixel it stands in.
    const int green1 = CountWhere(one, 1), green2 = CountWhere(two, 1);
    ASSERT_GT(green1, 1000);
    EXPECT_NEAR(static_cast<double>(green2) / (4.0 * green1), 1.0, 0.02);
    int disagree = 0;
    for (int y = 0; y < 480; y += 7) {
        for (int x = 0; x < 640; x += 7) {
            const bool g1 = one[(static_cast<size_t>(y) * 640 + x) * 4 + 1] > 128;
            int inside = 0;
            for (int k = 0; k < 4; ++k) {
                inside += two[(static_cast<size_t>(2 * y + k / 2) * 1280 + 2 * x + k % 2) * 4 + 1] > 128 ? 1 : 0;
            }
            // Only an edge pixel may be split between its four.
            if ((g1 && inside == 0) || (!g1 && inside == 4)) ++disagree;
        }
    }
    EXPECT_EQ(disagree, 0);
}

TEST_F(LargerFrameTest, SizesOutsideTheLimitsOrInsideAScene) {
    EXPECT_EQ(dev->SetRenderSize(0, 480), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetRenderSize(640, 5000), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->FrameWidth(), 640u);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->SetRenderSize(1280, 960), D3DERR_INVALIDCALL);
    dev->EndScene();
    EXPECT_EQ(dev->FrameWidth(), 640u);
    EXPECT_EQ(dev->FrameHeight(), 480u);
}

}  // namespace
