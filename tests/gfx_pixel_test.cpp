// The graphics device against the rules it stands in for: tiny scenes drawn off-screen, read back,
// and compared with the value each rule gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/gfx.h"
#include "platform/math.h"
#include "platform/system.h"
#include "tests/support/raw_device.h"

namespace {

GfxDirect3D* d3d = nullptr;
GfxDevice* dev = nullptr;

struct Rgba {
    int r, g, b, a;
};

struct ScreenVertex {  // 0x044
    float x, y, z, rhw;
    D3DCOLOR color;
};
struct TexScreenVertex {  // 0x144
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
struct LitVertex {  // 0x052
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR color;
};
struct NormalVertex {  // 0x012
    float x, y, z;
    float nx, ny, nz;
};
struct ColorVertex {  // 0x042
    float x, y, z;
    D3DCOLOR color;
};

class GfxPixelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(OpenRawDevice("gfx pixel test", D3DFMT_D24X8, &d3d, &dev)); }
    static void TearDownTestSuite() { CloseRawDevice(&d3d, &dev); }

    // Each test starts from the device defaults it relies on, with a black frame.
    void SetUp() override {
        ASSERT_NE(dev, nullptr);
        D3DXMATRIX id;
        D3DXMatrixIdentity(&id);
        dev->SetTransform(D3DTS_WORLD, &id);
        dev->SetTransform(D3DTS_VIEW, &id);
        dev->SetTransform(D3DTS_PROJECTION, &id);
        dev->SetTransform(D3DTS_TEXTURE0, &id);
        dev->SetRenderState(D3DRS_LIGHTING, 0);
        dev->SetRenderState(D3DRS_FOGENABLE, 0);
        dev->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
        dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
        dev->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
        dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        dev->SetRenderState(D3DRS_ZENABLE, 1);
        dev->SetRenderState(D3DRS_ZWRITEENABLE, 1);
        dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        dev->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        dev->SetTexture(0, nullptr);
        for (DWORD i = 0; i < 8; ++i) dev->LightEnable(i, 0);
        D3DMATERIAL8 black{};
        dev->SetMaterial(&black);
        ASSERT_EQ(dev->BeginScene(), D3D_OK);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    }
    void TearDown() override { dev->EndScene(); }

    void Read() {
        frame.assign(640 * 480 * 4, 0);
        ASSERT_TRUE(dev->ReadFrame(frame.data()));
    }
    Rgba At(int x, int y) const {
        const uint8_t* p = &frame[(static_cast<size_t>(y) * 640 + x) * 4];
        return Rgba{p[0], p[1], p[2], p[3]};
    }
    void DrawScreenRect(float x1, float y1, float x2, float y2, float z, D3DCOLOR c) {
        ScreenVertex v[4] = {{x1, y1, z, 1, c}, {x2, y1, z, 1, c}, {x1, y2, z, 1, c}, {x2, y2, z, 1, c}};
        dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), D3D_OK);
    }
    // Camera at the origin looking down +z through a 90-degree perspective.
    void LookForward() {
        D3DXMATRIX view, proj;
        D3DXVECTOR3 eye(0, 0, 0), at(0, 0, 1), up(0, 1, 0);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 2, 4.0f / 3.0f, 1.0f, 100.0f);
        dev->SetTransform(D3DTS_VIEW, &view);
        dev->SetTransform(D3DTS_PROJECTION, &proj);
    }

    std::vector<uint8_t> frame;
};

::testing::AssertionResult Near(Rgba got, int r, int g, int b, int tolerance = 2) {
    if (std::abs(got.r - r) <= tolerance && std::abs(got.g - g) <= tolerance && std::abs(got.b - b) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b << "), want (" << r
                                         << ", " << g << ", " << b << ")";
}

int Channel(float v) { return static_cast<int>(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); }

TEST_F(GfxPixelTest, ScreenRectangleCoversExactlyItsPixels) {
    DrawScreenRect(10, 20, 30, 40, 0.5f, 0xFFFF8000u);
    Read();
    EXPECT_TRUE(Near(At(10, 20), 255, 128, 0, 0));
    EXPECT_TRUE(Near(At(29, 39), 255, 128, 0, 0));
    EXPECT_TRUE(Near(At(9, 20), 0, 0, 0, 0));
    EXPECT_TRUE(Near(At(30, 20), 0, 0, 0, 0));
    EXPECT_TRUE(Near(At(10, 19), 0, 0, 0, 0));
    EXPECT_TRUE(Near(At(10, 40), 0, 0, 0, 0));
    // Row 0 of the read-back is the top of the screen.
    DrawScreenRect(0, 0, 640, 1, 0.5f, 0xFF00FF00u);
    Read();
    EXPECT_TRUE(Near(At(320, 0), 0, 255, 0, 0));
    EXPECT_TRUE(Near(At(320, 1), 0, 0, 0, 0));
}

TEST_F(GfxPixelTest, CullCounterClockwiseKeepsOnlyClockwiseTriangles) {
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    // Clockwise on the screen (y down): right, then down-left.
    ScreenVertex cw[3] = {{100, 100, 0.5f, 1, 0xFFFF0000u}, {200, 100, 0.5f, 1, 0xFFFF0000u}, {100, 200, 0.5f, 1, 0xFFFF0000u}};
    ScreenVertex ccw[3] = {{300, 100, 0.5f, 1, 0xFF00FF00u}, {300, 200, 0.5f, 1, 0xFF00FF00u}, {400, 100, 0.5f, 1, 0xFF00FF00u}};
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(ScreenVertex));
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(ScreenVertex));
    Read();
    EXPECT_TRUE(Near(At(120, 120), 255, 0, 0, 0));
    EXPECT_TRUE(Near(At(320, 120), 0, 0, 0, 0));

    // The same rule for transformed geometry (y up in projection space, so the order reverses).
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    ColorVertex tri[3] = {{-0.5f, -0.5f, 0.5f, 0xFF0000FFu}, {0.0f, 0.5f, 0.5f, 0xFF0000FFu}, {0.5f, -0.5f, 0.5f, 0xFF0000FFu}};
    dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 260), 0, 0, 255, 0));
    std::swap(tri[1], tri[2]);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 260), 0, 0, 0, 0));
    // D3DCULL_CW removes the clockwise one instead.
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 260), 0, 0, 255, 0));
}

TEST_F(GfxPixelTest, DirectionalLightFollowsAmbientPlusDiffuseFormula) {
    LookForward();
    dev->SetRenderState(D3DRS_LIGHTING, 1);
    dev->SetRenderState(D3DRS_AMBIENT, 0xFF404040u);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.8f, 0.6f, 0.4f, 1.0f};
    // 60 degrees off the quad's normal: N.L = 0.5.
    D3DXVECTOR3 dir(std::sin(D3DX_PI / 3), 0.0f, std::cos(D3DX_PI / 3));
    light.Direction = dir;
    light.Range = 1000.0f;
    dev->SetLight(0, &light);
    dev->LightEnable(0, 1);
    const D3DCOLOR vc = 0xFFC08040u;  // vertex colour: the diffuse and ambient material
    LitVertex q[4] = {{-5, 5, 10, 0, 0, -1, vc}, {5, 5, 10, 0, 0, -1, vc}, {-5, -5, 10, 0, 0, -1, vc}, {5, -5, 10, 0, 0, -1, vc}};
    dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(LitVertex));
    Read();
    const float amb = 0x40 / 255.0f, nl = 0.5f;
    const float cr = 0xC0 / 255.0f, cg = 0x80 / 255.0f, cb = 0x40 / 255.0f;
    EXPECT_TRUE(Near(At(320, 240), Channel(cr * (amb + 0.8f * nl)), Channel(cg * (amb + 0.6f * nl)), Channel(cb * (amb + 0.4f * nl))));

    // Without vertex colours the material is the source; emissive adds.
    D3DMATERIAL8 m{};
    m.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
    m.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
    m.Emissive = {0.1f, 0.0f, 0.0f, 0.0f};
    dev->SetMaterial(&m);
    NormalVertex n[4] = {{-5, 5, 10, 0, 0, -1}, {5, 5, 10, 0, 0, -1}, {-5, -5, 10, 0, 0, -1}, {5, -5, 10, 0, 0, -1}};
    dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, n, sizeof(NormalVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 240), Channel(0.1f + 0.5f * amb + 1.0f * 0.8f * nl), Channel(0.5f * amb + 0.5f * 0.6f * nl),
                     Channel(0.5f * amb + 0.25f * 0.4f * nl)));

    // A light from behind the surface adds nothing (the material's emissive still does); lighting
    // off shows the vertex colour as is.
    light.Direction = D3DXVECTOR3(0, 0, -1);
    dev->SetLight(0, &light);
    dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(LitVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 240), Channel(0.1f + cr * amb), Channel(cg * amb), Channel(cb * amb)));
    dev->SetRenderState(D3DRS_LIGHTING, 0);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(LitVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 240), 0xC0, 0x80, 0x40, 0));
}

TEST_F(GfxPixelTest, PointLightAttenuatesWithDistanceAndStopsAtItsRange) {
    LookForward();
    dev->SetRenderState(D3DRS_LIGHTING, 1);
    dev->SetRenderState(D3DRS_AMBIENT, 0);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1, 1, 1, 1};
    light.Position = {0, 0, 6};  // 4 units in front of the quad at z = 10
    light.Range = 100.0f;
    light.Attenuation0 = 0.0f;
    light.Attenuation1 = 0.5f;  // 1 / (0.5 * 4) = 0.5 at the centre
    dev->SetLight(1, &light);
    dev->LightEnable(1, 1);
    // A small quad so that the distance is nearly 4 at every vertex.
    const D3DCOLOR vc = 0xFFFFFFFFu;
    LitVertex q[4] = {{-0.01f, 0.01f, 10, 0, 0, -1, vc}, {0.01f, 0.01f, 10, 0, 0, -1, vc}, {-0.01f, -0.01f, 10, 0, 0, -1, vc},
                      {0.01f, -0.01f, 10, 0, 0, -1, vc}};
    dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(LitVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 240), 128, 128, 128));
    light.Range = 3.0f;
    dev->SetLight(1, &light);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFFu, 1.0f, 0);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(LitVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 240), 0, 0, 0));
}

TEST_F(GfxPixelTest, LinearFogAtKnownDepthInVertexAndTableMode) {
    LookForward();
    dev->SetRenderState(D3DRS_FOGENABLE, 1);
    dev->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FFu);
    dev->SetRenderState(D3DRS_FOGSTART, GfxFloatBits(5.0f));
    dev->SetRenderState(D3DRS_FOGEND, GfxFloatBits(25.0f));
    ColorVertex q[4] = {{-50, 50, 10, 0xFFFFFFFFu}, {50, 50, 10, 0xFFFFFFFFu}, {-50, -50, 10, 0xFFFFFFFFu}, {50, -50, 10, 0xFFFFFFFFu}};
    dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    // f = (25 - 10) / (25 - 5) = 0.75 of the surface, 0.25 of the fog colour.
    dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ColorVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 240), Channel(0.75f), Channel(0.75f), 255));
    EXPECT_TRUE(Near(At(10, 10), Channel(0.75f), Channel(0.75f), 255));

    // Table fog works per pixel: a floor receding from z = 5 to z = 45 fades fully into fog.
    dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    dev->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ColorVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 240), Channel(0.75f), Channel(0.75f), 255));
    ColorVertex floor[4] = {{-20, -2, 5, 0xFFFFFFFFu}, {20, -2, 5, 0xFFFFFFFFu}, {-20, -2, 45, 0xFFFFFFFFu}, {20, -2, 45, 0xFFFFFFFFu}};
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, floor, sizeof(ColorVertex));
    Read();
    // Screen row of the floor at depth z: y = 240 + 240 * (2 / z) (90-degree view).
    auto rowAt = [](float z) { return static_cast<int>(240.0f + 240.0f * 2.0f / z); };
    EXPECT_TRUE(Near(At(320, rowAt(15.0f)), Channel(0.5f), Channel(0.5f), 255, 4));
    EXPECT_TRUE(Near(At(320, rowAt(35.0f)), 0, 0, 255, 2));
    EXPECT_TRUE(Near(At(320, rowAt(6.0f)), Channel(0.95f), Channel(0.95f), 255, 4));

    // Exponential table fog at depth 10 with density 0.1: exp(-1), and exp(-1) again squared inside.
    dev->SetRenderState(D3DRS_FOGDENSITY, GfxFloatBits(0.1f));
    for (DWORD mode : {D3DFOG_EXP, D3DFOG_EXP2}) {
        dev->SetRenderState(D3DRS_FOGTABLEMODE, mode);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ColorVertex));
        Read();
        const float f = std::exp(-1.0f);
        EXPECT_TRUE(Near(At(320, 240), Channel(f), Channel(f), 255)) << "mode " << mode;
    }
    // At depth 20 the two differ: exp(-2) against exp(-4).
    ColorVertex far[4] = {{-50, 50, 20, 0xFFFFFFFFu}, {50, 50, 20, 0xFFFFFFFFu}, {-50, -50, 20, 0xFFFFFFFFu}, {50, -50, 20, 0xFFFFFFFFu}};
    for (DWORD mode : {D3DFOG_EXP, D3DFOG_EXP2}) {
        dev->SetRenderState(D3DRS_FOGTABLEMODE, mode);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, far, sizeof(ColorVertex));
        Read();
        const float f = std::exp(mode == D3DFOG_EXP ? -2.0f : -4.0f);
        EXPECT_TRUE(Near(At(320, 240), Channel(f), Channel(f), 255)) << "mode " << mode;
    }
}

TEST_F(GfxPixelTest, AlphaTestNotEqualZeroAndSourceAlphaBlending) {
    DrawScreenRect(0, 0, 640, 480, 0.9f, 0xFFFF0000u);
    dev->SetRenderState(D3DRS_ZENABLE, 0);
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    dev->SetRenderState(D3DRS_ALPHAREF, 0);
    dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_NOTEQUAL);
    DrawScreenRect(0, 0, 100, 100, 0.5f, 0x0000FF00u);  // alpha 0: discarded even without blending
    Read();
    EXPECT_TRUE(Near(At(50, 50), 255, 0, 0, 0));
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    DrawScreenRect(100, 0, 200, 100, 0.5f, 0x4000FF00u);  // alpha 64
    Read();
    const float a = 64 / 255.0f;
    EXPECT_TRUE(Near(At(150, 50), Channel(1.0f - a), Channel(a), 0));
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    DrawScreenRect(200, 0, 300, 100, 0.5f, 0x800000FFu);
    Read();
    EXPECT_TRUE(Near(At(250, 50), 255, 0, Channel(128 / 255.0f)));
}

// Draws whose pixels all have alpha 1 skip the alpha test and blending; these cases must keep
// them: a texture with one clear texel, a vertex buffer re-filled with translucent colours, a
// lit material below full alpha, an additive blend.
TEST_F(GfxPixelTest, OpaqueSurfacesLookTheSameAndTranslucentOnesStillTestAndBlend) {
    struct TexLitVertex {  // 0x152
        float x, y, z, nx, ny, nz;
        D3DCOLOR color;
        float u, v;
    };
    DrawScreenRect(0, 0, 640, 480, 0.9f, 0xFF800000u);  // dark red behind everything
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    dev->SetRenderState(D3DRS_ALPHAREF, 0);
    dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_NOTEQUAL);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    dev->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    dev->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);

    // A 2 x 2 texture, green except a clear bottom-right texel, on a vertex buffer of opaque white.
    GfxTexture* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    uint32_t* px = static_cast<uint32_t*>(lr.pBits);
    px[0] = px[1] = px[2] = 0xFF00FF00u;
    px[3] = 0x0000FF00u;
    ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
    EXPECT_FALSE(tex->Opaque());
    const D3DCOLOR white = 0xFFFFFFFFu;
    TexScreenVertex q[4] = {{100, 100, 0.5f, 1, white, 0, 0}, {300, 100, 0.5f, 1, white, 1, 0},
                            {100, 300, 0.5f, 1, white, 0, 1}, {300, 300, 0.5f, 1, white, 1, 1}};
    GfxVertexBuffer* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(sizeof(q), 0, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, D3DPOOL_MANAGED, &vb),
              D3D_OK);
    uint8_t* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, q, sizeof(q));
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_TRUE(vb->DiffuseOpaque(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, sizeof(TexScreenVertex)));
    dev->SetTexture(0, tex);
    dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    dev->SetStreamSource(0, vb, sizeof(TexScreenVertex));
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    // A later quad in front only where the clear texel let the depth through.
    dev->SetTexture(0, nullptr);
    DrawScreenRect(100, 100, 300, 300, 0.7f, 0xFF0000FFu);
    dev->SetTexture(0, tex);
    Read();
    EXPECT_TRUE(Near(At(150, 150), 0, 255, 0, 0));
    EXPECT_TRUE(Near(At(250, 250), 0, 0, 255, 0));

    // Made fully opaque, the texture covers the red exactly, whatever the blend and test.
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(lr.pBits)[3] = 0xFF00FF00u;
    ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
    EXPECT_TRUE(tex->Opaque());
    dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    dev->SetStreamSource(0, vb, sizeof(TexScreenVertex));
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    Read();
    EXPECT_TRUE(Near(At(250, 250), 0, 255, 0, 0));

    // The same buffer re-filled with quarter-alpha colours blends again with what is behind.
    for (TexScreenVertex& v : q) v.color = 0x40FFFFFFu;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, q, sizeof(q));
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_FALSE(vb->DiffuseOpaque(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, sizeof(TexScreenVertex)));
    dev->SetRenderState(D3DRS_ZENABLE, 0);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF800000u, 1.0f, 0);
    dev->SetStreamSource(0, vb, sizeof(TexScreenVertex));
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    Read();
    const float a = 0x40 / 255.0f;
    EXPECT_TRUE(Near(At(150, 150), Channel((1 - a) * 0x80 / 255.0f), Channel(a), 0));

    // Lit from the material: full alpha replaces, half alpha blends, an additive blend adds.
    LookForward();
    dev->SetRenderState(D3DRS_LIGHTING, 1);
    dev->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFFu);
    D3DMATERIAL8 m{};
    m.Ambient = {0.0f, 0.5f, 0.0f, 1.0f};
    m.Diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
    dev->SetMaterial(&m);
    dev->SetTexture(0, tex);
    NormalVertex n[4] = {{-5, 5, 10, 0, 0, -1}, {5, 5, 10, 0, 0, -1}, {-5, -5, 10, 0, 0, -1}, {5, -5, 10, 0, 0, -1}};
    dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
    auto drawLit = [&]() {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF800000u, 1.0f, 0);
        dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
        ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, n, sizeof(NormalVertex)), D3D_OK);
        Read();
    };
    dev->SetTexture(0, nullptr);
    drawLit();
    EXPECT_TRUE(Near(At(320, 240), 0, 128, 0));
    m.Diffuse.a = 0.5f;
    dev->SetMaterial(&m);
    drawLit();
    EXPECT_TRUE(Near(At(320, 240), 64, 64, 0));
    m.Diffuse.a = 1.0f;
    dev->SetMaterial(&m);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    drawLit();
    EXPECT_TRUE(Near(At(320, 240), 128, 128, 0));
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // A lit surface whose colour comes from its vertices takes their alpha.
    LitVertex lit[4] = {{-5, 5, 10, 0, 0, -1, 0x80FFFFFFu}, {5, 5, 10, 0, 0, -1, 0x80FFFFFFu},
                        {-5, -5, 10, 0, 0, -1, 0x80FFFFFFu}, {5, -5, 10, 0, 0, -1, 0x80FFFFFFu}};
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF800000u, 1.0f, 0);
    dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lit, sizeof(LitVertex)), D3D_OK);
    Read();
    EXPECT_TRUE(Near(At(320, 240), 192, 128, 128));  // white at half alpha over the dark red

    dev->SetRenderState(D3DRS_LIGHTING, 0);
    dev->SetTexture(0, nullptr);
    dev->SetStreamSource(0, nullptr, 0);
    vb->Release();
    tex->Release();
}

// The program variant of every draw, as the profiler's hook reports it.
std::vector<uint32_t> drawnKeys;
void RecordKey(const GfxDrawCost& cost, void*) {
    if (!cost.clear) drawnKeys.push_back(cost.programKey);
}

// A draw whose alpha can never fall to the alpha test's reference draws without the test (no
// discard in its shader) and looks the same; one that can reach it keeps the test.
TEST_F(GfxPixelTest, AlphaTestLeftOutWhereTheAlphaNeverReachesTheReference) {
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    dev->SetRenderState(D3DRS_ALPHAREF, 0);
    dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_NOTEQUAL);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    GfxTexture* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3D_OK);
    D3DLOCKED_RECT lr{};
    auto fill = [&](uint32_t lastTexel) {
        ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
        uint32_t* px = static_cast<uint32_t*>(lr.pBits);
        px[0] = px[1] = px[2] = 0xFFFFFFFFu;
        px[3] = lastTexel;
        ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
    };
    auto hasTest = [&](D3DCOLOR colour, GfxTexture* texture) {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        dev->SetTexture(0, texture);
        drawnKeys.clear();
        dev->SetDrawHook(RecordKey, nullptr);
        TexScreenVertex q[4] = {{0, 0, 0.5f, 1, colour, 0, 0}, {64, 0, 0.5f, 1, colour, 1, 0},
                                {0, 64, 0.5f, 1, colour, 0, 1}, {64, 64, 0.5f, 1, colour, 1, 1}};
        dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexScreenVertex)), D3D_OK);
        dev->SetDrawHook(nullptr, nullptr);
        EXPECT_EQ(drawnKeys.size(), 1u);
        return !drawnKeys.empty() && (drawnKeys[0] & (1u << 6)) != 0;  // the alpha-test switch
    };
    // A translucent panel (alpha 128 everywhere): always passes, blended as before.
    EXPECT_FALSE(hasTest(0x80FF0000u, nullptr));
    Read();
    EXPECT_TRUE(Near(At(32, 32), 128, 0, 0));
    // The least alpha that still rounds to 1 passes; one that reaches 0 needs the test.
    EXPECT_FALSE(hasTest(0x01FF0000u, nullptr));
    EXPECT_TRUE(hasTest(0x00FF0000u, nullptr));
    // A texture with a texel of alpha 4 at quarter alpha: 4 x 64 / 255 is just over 1, passes.
    fill(0x04FFFFFFu);
    EXPECT_FALSE(hasTest(0x40FFFFFFu, tex));
    // A clear texel keeps the test, and is still dropped by it.
    fill(0x00FFFFFFu);
    EXPECT_TRUE(hasTest(0xFFFFFFFFu, tex));
    // A test that can fail at any alpha keeps the test too.
    dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_LESS);
    dev->SetRenderState(D3DRS_ALPHAREF, 200);
    EXPECT_TRUE(hasTest(0x80FF0000u, nullptr));
    dev->SetTexture(0, nullptr);
    tex->Release();
}

// Every compare function of the alpha test against a reference of 128.
TEST_F(GfxPixelTest, AlphaTestCompareFunctions) {
    dev->SetRenderState(D3DRS_ZENABLE, 0);
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    dev->SetRenderState(D3DRS_ALPHAREF, 128);
    const D3DCOLOR alphas[3] = {0x7F00FF00u, 0x8000FF00u, 0x8100FF00u};  // below, equal, above
    const struct {
        DWORD func;
        bool below, equal, above;
    } cases[] = {
        {D3DCMP_NEVER, false, false, false},   {D3DCMP_LESS, true, false, false},
        {D3DCMP_EQUAL, false, true, false},    {D3DCMP_LESSEQUAL, true, true, false},
        {D3DCMP_GREATER, false, false, true},  {D3DCMP_NOTEQUAL, true, false, true},
        {D3DCMP_GREATEREQUAL, false, true, true}, {D3DCMP_ALWAYS, true, true, true},
    };
    for (const auto& c : cases) {
        dev->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        for (int k = 0; k < 3; ++k) DrawScreenRect(10.0f + 40 * k, 10, 40.0f + 40 * k, 40, 0.5f, alphas[k]);
        Read();
        const bool want[3] = {c.below, c.equal, c.above};
        for (int k = 0; k < 3; ++k) EXPECT_EQ(At(25 + 40 * k, 25).g == 255, want[k]) << "func " << c.func << " case " << k;
    }
}

TEST_F(GfxPixelTest, TextureModulatesWithDiffuseAndSelectArgPicksOne) {
    GfxTexture* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    uint32_t* px = static_cast<uint32_t*>(lr.pBits);
    px[0] = 0xFFFF0000u;  // top left red
    px[1] = 0xFF00FF00u;  // top right green
    px[2] = 0xFF0000FFu;  // bottom left blue
    px[3] = 0x80FFFFFFu;  // bottom right half-transparent white
    ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(tex->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    dev->SetTexture(0, tex);
    dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    dev->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    const D3DCOLOR diffuse = 0xFF808080u;
    TexScreenVertex q[4] = {{100, 100, 0.5f, 1, diffuse, 0, 0}, {300, 100, 0.5f, 1, diffuse, 1, 0},
                            {100, 300, 0.5f, 1, diffuse, 0, 1}, {300, 300, 0.5f, 1, diffuse, 1, 1}};
    dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexScreenVertex));
    Read();
    EXPECT_TRUE(Near(At(150, 150), 128, 0, 0));
    EXPECT_TRUE(Near(At(250, 150), 0, 128, 0));
    EXPECT_TRUE(Near(At(150, 250), 0, 0, 128));
    EXPECT_EQ(At(250, 250).a, 128);  // alpha modulates too: texel 128 x diffuse 255

    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexScreenVertex));
    Read();
    EXPECT_TRUE(Near(At(150, 150), 128, 128, 128));
    // No texture: the texture term is opaque white, so MODULATE shows the diffuse colour.
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev->SetTexture(0, nullptr);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexScreenVertex));
    Read();
    EXPECT_TRUE(Near(At(250, 250), 128, 128, 128));
    EXPECT_EQ(At(250, 250).a, 255);
    tex->Release();
}

TEST_F(GfxPixelTest, DepthTestHidesFartherAndZWriteOffLeavesDepthAlone) {
    DrawScreenRect(0, 0, 100, 100, 0.2f, 0xFF00FF00u);
    DrawScreenRect(0, 0, 100, 100, 0.8f, 0xFFFF0000u);  // behind: hidden
    Read();
    EXPECT_TRUE(Near(At(50, 50), 0, 255, 0, 0));
    dev->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    DrawScreenRect(0, 0, 100, 100, 0.1f, 0xFF0000FFu);  // drawn, but leaves depth at 0.2
    dev->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    DrawScreenRect(0, 0, 100, 100, 0.15f, 0xFFFFFF00u);
    Read();
    EXPECT_TRUE(Near(At(50, 50), 255, 255, 0, 0));
    dev->SetRenderState(D3DRS_ZENABLE, 0);
    DrawScreenRect(0, 0, 100, 100, 0.9f, 0xFFFFFFFFu);
    Read();
    EXPECT_TRUE(Near(At(50, 50), 255, 255, 255, 0));
}

// A viewport of depth 1..1 puts a draw on the far plane: drawn after the world with the depth test,
// it fills only the pixels the world left (the sky drawn last), and it writes no nearer depth.
TEST_F(GfxPixelTest, FarPlaneViewportFillsOnlyWhatNothingCovers) {
    DrawScreenRect(0, 0, 100, 100, 0.5f, 0xFF00FF00u);
    const D3DVIEWPORT8 farPlane = {0, 0, 640, 480, 1.0f, 1.0f}, whole = {0, 0, 640, 480, 0.0f, 1.0f};
    ASSERT_EQ(dev->SetViewport(&farPlane), D3D_OK);
    DrawScreenRect(0, 0, 200, 100, 0.1f, 0xFF0000FFu);  // at 0.1 it would cover the green square
    ASSERT_EQ(dev->SetViewport(&whole), D3D_OK);
    Read();
    EXPECT_TRUE(Near(At(50, 50), 0, 255, 0, 0)) << "the far plane stays behind what was drawn";
    EXPECT_TRUE(Near(At(150, 50), 0, 0, 255, 0)) << "and fills the rest";
    // It wrote depth 1, not 0.1: anything in front still draws over it.
    DrawScreenRect(100, 0, 200, 100, 0.99f, 0xFFFF0000u);
    Read();
    EXPECT_TRUE(Near(At(150, 50), 255, 0, 0, 0));
    D3DVIEWPORT8 got{};
    ASSERT_EQ(dev->GetViewport(&got), D3D_OK);
    EXPECT_EQ(got.MinZ, 0.0f);
    EXPECT_EQ(got.MaxZ, 1.0f);
    // Only the depth range is free; a rectangle or range the device cannot draw is refused and
    // the viewport stays.
    const D3DVIEWPORT8 corner = {0, 0, 320, 240, 0.0f, 1.0f}, backwards = {0, 0, 640, 480, 0.8f, 0.2f},
                       beyond = {0, 0, 640, 480, 0.0f, 1.5f};
    EXPECT_EQ(dev->SetViewport(&corner), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetViewport(&backwards), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetViewport(&beyond), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetViewport(nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(dev->GetViewport(&got), D3D_OK);
    EXPECT_EQ(got.MaxZ, 1.0f);
}

TEST_F(GfxPixelTest, FlatShadingTakesTheFirstVertexColour) {
    dev->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    ScreenVertex t[3] = {{100, 100, 0.5f, 1, 0xFF00FF00u}, {300, 100, 0.5f, 1, 0xFFFF0000u}, {100, 300, 0.5f, 1, 0xFF0000FFu}};
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t, sizeof(ScreenVertex));
    Read();
    EXPECT_TRUE(Near(At(200, 110), 0, 255, 0, 0));
    EXPECT_TRUE(Near(At(110, 200), 0, 255, 0, 0));
}

TEST_F(GfxPixelTest, CameraSpaceNormalCoordinatesThroughTextureMatrix) {
    GfxTexture* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    uint32_t* px = static_cast<uint32_t*>(lr.pBits);
    px[0] = 0xFFFF0000u;
    px[1] = 0xFF00FF00u;
    px[2] = 0xFF0000FFu;
    px[3] = 0xFFFFFF00u;
    ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
    dev->SetTexture(0, tex);
    LookForward();
    // u' = 0.5 u + 0.5, v' = -0.5 v + 0.5 of the camera-space normal.
    D3DXMATRIX tm;
    D3DXMatrixIdentity(&tm);
    tm._11 = 0.5f;
    tm._22 = -0.5f;
    tm._41 = 0.5f;
    tm._42 = 0.5f;
    dev->SetTransform(D3DTS_TEXTURE0, &tm);
    dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    // Normal tilted right and up: u > 0.5 and v < 0.5, the top right texel (green).
    const float s = 0.6f, c = 0.53f;
    NormalVertex q[4] = {{-5, 5, 10, s, c, -c}, {5, 5, 10, s, c, -c}, {-5, -5, 10, s, c, -c}, {5, -5, 10, s, c, -c}};
    dev->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(NormalVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 240), 0, 255, 0, 0));
    for (auto& v : q) v.nx = -s, v.ny = -c;  // left and down: bottom left (blue)
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(NormalVertex));
    Read();
    EXPECT_TRUE(Near(At(320, 240), 0, 0, 255, 0));
    tex->Release();
}

TEST_F(GfxPixelTest, VertexAndIndexBuffersDrawLikeArrays) {
    ScreenVertex v[4] = {{10, 10, 0.5f, 1, 0xFF00FFFFu}, {60, 10, 0.5f, 1, 0xFF00FFFFu}, {10, 60, 0.5f, 1, 0xFF00FFFFu},
                         {60, 60, 0.5f, 1, 0xFF00FFFFu}};
    GfxVertexBuffer* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(sizeof(v), 0, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, D3DPOOL_MANAGED, &vb), D3D_OK);
    uint8_t* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, v, sizeof(v));
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    GfxIndexBuffer* ib = nullptr;
    ASSERT_EQ(dev->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, idx, sizeof(idx));
    ASSERT_EQ(ib->Unlock(), D3D_OK);
    dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    dev->SetStreamSource(0, vb, sizeof(ScreenVertex));
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    Read();
    EXPECT_TRUE(Near(At(30, 30), 0, 255, 255, 0));
    // Drawing past the end of the buffer is refused.
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);

    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    dev->SetRenderState(D3DRS_ZENABLE, 0);
    dev->SetIndices(ib, 0);
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    Read();
    EXPECT_TRUE(Near(At(55, 55), 0, 255, 255, 0));
    // The same from memory.
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    EXPECT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, idx, D3DFMT_INDEX16, v, sizeof(ScreenVertex)), D3D_OK);
    Read();
    EXPECT_TRUE(Near(At(15, 55), 0, 255, 255, 0));
    dev->SetStreamSource(0, nullptr, 0);
    dev->SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
}

TEST_F(GfxPixelTest, TextureFormatsAndLimits) {
    GfxTexture* tex = nullptr;
    // A 16-bit format keeps four bits per channel.
    ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &tex), D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    for (int i = 0; i < 16; ++i) static_cast<uint32_t*>(lr.pBits)[i] = 0xFF8A8A8Au;
    ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
    dev->SetTexture(0, tex);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    TexScreenVertex q[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0}, {40, 0, 0.5f, 1, 0xFFFFFFFFu, 1, 0},
                            {0, 40, 0.5f, 1, 0xFFFFFFFFu, 0, 1}, {40, 40, 0.5f, 1, 0xFFFFFFFFu, 1, 1}};
    dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexScreenVertex));
    Read();
    EXPECT_TRUE(Near(At(20, 20), 0x88, 0x88, 0x88, 0));
    dev->SetTexture(0, nullptr);
    tex->Release();

    // A full mip chain of 64 x 16 has seven levels.
    ASSERT_EQ(dev->CreateTexture(64, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 7u);
    tex->Release();

    // A device standing in for a board limited to 256 x 256 square textures.
    D3DCAPS8 caps{};
    dev->GetDeviceCaps(&caps);
    EXPECT_GE(caps.MaxTextureWidth, 512u);
    caps.MaxTextureWidth = caps.MaxTextureHeight = 256;
    caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    dev->OverrideCaps(&caps);
    EXPECT_EQ(dev->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->CreateTexture(128, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex, nullptr);
    dev->OverrideCaps(nullptr);
    D3DCAPS8 real{};
    dev->GetDeviceCaps(&real);
    EXPECT_EQ(real.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY, 0u);
}

GfxTexture* SolidTexture(D3DCOLOR c) {
    GfxTexture* t = nullptr;
    if (FAILED(dev->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t))) return nullptr;
    D3DLOCKED_RECT lr{};
    t->LockRect(0, &lr, nullptr, 0);
    for (int i = 0; i < 4; ++i) static_cast<uint32_t*>(lr.pBits)[i] = c;
    t->UnlockRect(0);
    return t;
}

TEST_F(GfxPixelTest, TexturesMadeMidFrameLeaveStageZeroAlone) {
    GfxTexture* red = SolidTexture(0xFFFF0000u);
    GfxTexture* green = SolidTexture(0xFF00FF00u);
    ASSERT_NE(red, nullptr);
    ASSERT_NE(green, nullptr);
    dev->SetTexture(0, red);
    TexScreenVertex q[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0}, {40, 0, 0.5f, 1, 0xFFFFFFFFu, 1, 0},
                            {0, 40, 0.5f, 1, 0xFFFFFFFFu, 0, 1}, {40, 40, 0.5f, 1, 0xFFFFFFFFu, 1, 1}};
    dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexScreenVertex));
    // Another texture refilled between two draws, as the screen font does with its strings.
    D3DLOCKED_RECT fill{};
    ASSERT_EQ(green->LockRect(0, &fill, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(fill.pBits)[0] = 0xFF0000FFu;
    ASSERT_EQ(green->UnlockRect(0), D3D_OK);
    for (auto& v : q) v.x += 100;
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexScreenVertex));
    Read();
    EXPECT_TRUE(Near(At(20, 20), 255, 0, 0, 0));
    EXPECT_TRUE(Near(At(120, 20), 255, 0, 0, 0));
    // A lock shows what the texture holds.
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(red->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(lr.pBits)[3], 0xFFFF0000u);
    EXPECT_EQ(red->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    red->UnlockRect(0);
    dev->SetTexture(0, nullptr);
    red->Release();
    green->Release();
}

TEST(GfxFormat, StridesOfTheGameFormats) {
    EXPECT_EQ(GfxFvfStride(0x042), 16u);
    EXPECT_EQ(GfxFvfStride(0x044), 20u);
    EXPECT_EQ(GfxFvfStride(0x052), 28u);
    EXPECT_EQ(GfxFvfStride(0x142), 24u);
    EXPECT_EQ(GfxFvfStride(0x144), 28u);
    EXPECT_EQ(GfxFvfStride(0x152), 36u);
    EXPECT_EQ(GfxFvfStride(0x242), 32u);
    EXPECT_EQ(GfxFvfStride(0x252), 44u);
    EXPECT_EQ(GfxFvfStride(0x112), 32u);  // mesh vertices: position, normal, one pair
    EXPECT_EQ(GfxFvfStride(0x000), 0u);   // no position
}

}  // namespace
