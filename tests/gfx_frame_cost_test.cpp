// The graphics device's savings leave the picture as it was: triangles the camera cannot see are
// not drawn (and everything it can see still is), the depth test left out over a freshly cleared
// depth buffer comes back once depth is written; the draw hook reports what each draw cost; and
// frames handed over without waiting never pile up behind the game.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/gfx.h"
#include "platform/math.h"
#include "platform/system.h"
#include "tests/support/raw_device.h"

namespace {

struct ColorVertex {  // 0x042
    float x, y, z;
    D3DCOLOR color;
};
struct ScreenVertex {  // 0x044
    float x, y, z, rhw;
    D3DCOLOR color;
};

GfxDirect3D* d3d = nullptr;
GfxDevice* dev = nullptr;

struct Seen {
    int draws = 0, clears = 0;
    uint64_t samples = 0;
};

void Record(const GfxDrawCost& cost, void* context) {
    Seen& s = *static_cast<Seen*>(context);
    if (cost.clear) {
        ++s.clears;
        return;
    }
    ++s.draws;
    s.samples += cost.samples;
    EXPECT_GE(cost.microseconds, 0.0);
}

class FrameCostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(OpenRawDevice("frame cost test", D3DFMT_D16, &d3d, &dev)); }
    static void TearDownTestSuite() { CloseRawDevice(&d3d, &dev); }

    // A camera at the origin looking down +z, 45 degrees high, and a black frame.
    void SetUp() override {
        D3DXMATRIX id, view, proj;
        D3DXMatrixIdentity(&id);
        D3DXVECTOR3 eye(0, 0, 0), at(0, 0, 1), up(0, 1, 0);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 4.0f / 3.0f, 1.0f, 100.0f);
        dev->SetTransform(D3DTS_WORLD, &id);
        dev->SetTransform(D3DTS_VIEW, &view);
        dev->SetTransform(D3DTS_PROJECTION, &proj);
        dev->SetRenderState(D3DRS_LIGHTING, 0);
        dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        dev->SetRenderState(D3DRS_ZENABLE, 1);
        dev->SetRenderState(D3DRS_ZWRITEENABLE, 1);
        dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        dev->SetTexture(0, nullptr);
        dev->SetVertexShader(0x042);
        ASSERT_EQ(dev->BeginScene(), D3D_OK);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    }
    void TearDown() override {
        dev->SetDrawHook(nullptr, nullptr);
        dev->EndScene();
    }

    // A square of side 2 r facing the camera at depth z, centred on (x, y).
    static void Square(float x, float y, float z, float r, D3DCOLOR c) {
        const ColorVertex v[4] = {{x - r, y - r, z, c}, {x - r, y + r, z, c}, {x + r, y - r, z, c}, {x + r, y + r, z, c}};
        dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex));
    }

    static std::vector<uint8_t> Frame() {
        std::vector<uint8_t> f(640 * 480 * 4);
        EXPECT_TRUE(dev->ReadFrame(f.data()));
        return f;
    }
    static uint32_t At(const std::vector<uint8_t>& f, int x, int y) {
        const uint8_t* p = &f[(static_cast<size_t>(y) * 640 + x) * 4];
        return (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
    }
};

TEST_F(FrameCostTest, UnseenTrianglesAreSkippedAndSeenOnesDrawn) {
    Seen seen;
    dev->SetDrawHook(Record, &seen);
    // Flat shading: a pipeline variant no other test draws. Its first draw reaches the rasteriser
    // even unseen (a loading screen draws the coming scene so that its code is ready).
    dev->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    Square(0, 0, -10, 1, 0xFFFF0000u);
    EXPECT_EQ(seen.draws, 1);
    EXPECT_EQ(seen.samples, 0u);
    // Then behind the camera, beyond the far plane, wholly left of the view: nothing reaches it.
    Square(0, 0, -10, 1, 0xFFFF0000u);
    Square(0, 0, 2000, 1, 0xFFFF0000u);
    Square(-60, 0, 10, 1, 0xFFFF0000u);
    EXPECT_EQ(seen.draws, 1);
    // A square far larger than the view, its corners beyond every side, covers the whole frame.
    Square(0, 0, 10, 500, 0xFF0000FFu);
    EXPECT_EQ(seen.draws, 2);
    EXPECT_EQ(seen.samples, 640u * 480u);
    // One poking in from the left edge by a few pixels is drawn: its pixels are there.
    // Half the view's width at depth 9 is 9 tan(22.5 deg) 4/3 = 4.970: 0.1 of it inside, 6 pixels.
    Square(-5.87f, 0, 9, 1, 0xFF00FF00u);
    EXPECT_EQ(seen.draws, 3);
    dev->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    const std::vector<uint8_t> f = Frame();
    EXPECT_EQ(At(f, 0, 240), 0x00FF00u);
    EXPECT_EQ(At(f, 320, 240), 0x0000FFu);
}

TEST_F(FrameCostTest, DepthTestLeftOutOnlyWhileNoDepthIsWritten) {
    // Depth writes off on the cleared buffer: a far square, then a nearer one over it.
    dev->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    Square(0, 0, 50, 100, 0xFF0000FFu);
    Square(-3, 0, 20, 1, 0xFFFFFF00u);
    // Depth written by a near square; then a far one without depth writes must stay hidden behind
    // it.
    dev->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    Square(3, 0, 10, 1, 0xFF00FF00u);
    dev->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    Square(12, 0, 40, 8, 0xFFFF0000u);
    const std::vector<uint8_t> f = Frame();
    // x on screen = 320 + 240 x / (z tan 22.5 deg): green about 494, yellow 233, red 378..610.
    EXPECT_EQ(At(f, 494, 240), 0x00FF00u);
    EXPECT_EQ(At(f, 390, 240), 0xFF0000u);
    EXPECT_EQ(At(f, 233, 240), 0xFFFF00u);
    EXPECT_EQ(At(f, 20, 20), 0x0000FFu);
    // After a clear of the depth buffer to a nearer value, the test stays on: a square beyond it
    // leaves no pixel.
    dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0);
    Seen seen;
    dev->SetDrawHook(Record, &seen);
    Square(0, 0, 90, 100, 0xFFFFFFFFu);
    EXPECT_EQ(seen.draws, 1);
    EXPECT_EQ(seen.samples, 0u);
}

TEST_F(FrameCostTest, HookReportsClearsAndPixelsOfScreenDraws) {
    Seen seen;
    dev->SetDrawHook(Record, &seen);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    EXPECT_EQ(seen.clears, 1);
    dev->SetRenderState(D3DRS_ZENABLE, 0);
    dev->SetVertexShader(0x044);
    const ScreenVertex rect[4] = {{9.5f, 9.5f, 0, 1, 0xFFFFFFFFu}, {19.5f, 9.5f, 0, 1, 0xFFFFFFFFu},
                                  {9.5f, 29.5f, 0, 1, 0xFFFFFFFFu}, {19.5f, 29.5f, 0, 1, 0xFFFFFFFFu}};
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, rect, sizeof(ScreenVertex));
    EXPECT_EQ(seen.draws, 1);
    EXPECT_EQ(seen.samples, 200u);
    char words[128];
    GfxDescribeProgramKey(0, words, sizeof(words));
    EXPECT_STREQ(words, "plain");
}

// A frame that costs the rasteriser a good deal: twenty blended squares over the whole view.
void CostlyFrame() {
    static_cast<void>(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0));
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    for (int i = 0; i < 20; ++i) {
        const ColorVertex v[4] = {{-500, -500, 10, 0x40FFFFFFu}, {-500, 500, 10, 0x40FFFFFFu},
                                  {500, -500, 10, 0x40FFFFFFu}, {500, 500, 10, 0x40FFFFFFu}};
        dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex));
    }
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    dev->SetRenderState(D3DRS_ZWRITEENABLE, 1);
}

double PresentAndMs(bool waitForPicture) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dev->EndScene(), D3D_OK);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    if (waitForPicture) {
        std::vector<uint8_t> f(640 * 480 * 4);
        EXPECT_TRUE(dev->ReadFrame(f.data()));
    }
    EXPECT_EQ(dev->BeginScene(), D3D_OK);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Thirty costly frames handed over as fast as the game can make them: the picture is then at
// most two frames behind, so reading it back waits for about two frames' drawing, not thirty.
TEST_F(FrameCostTest, PresentedFramesRunAtMostTwoBehind) {
    CostlyFrame();
    PresentAndMs(true);  // the blended variant is built and the queue empty
    double oneFrame = 1e9;
    for (int i = 0; i < 3; ++i) {
        CostlyFrame();
        oneFrame = std::min(oneFrame, PresentAndMs(true));
    }
    for (int i = 0; i < 30; ++i) {
        CostlyFrame();
        PresentAndMs(false);
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> f(640 * 480 * 4);
    ASSERT_TRUE(dev->ReadFrame(f.data()));
    const double backlog = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(backlog, 8 * oneFrame) << "one frame " << oneFrame << " ms";
}

}  // namespace
