// Frame cost of the graphics device on a race-like scene: 2000 lit, fogged, textured triangles
// in 200 buffer draws (road sections and scenery), a full-screen sky behind them, and 60 HUD
// rectangles drawn from memory with blending, presented and finished each frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/gfx.h"
#include "platform/math.h"
#include "platform/system.h"

namespace {

struct SceneVertex {  // 0x152: position, normal, diffuse, one coordinate pair
    float x, y, z, nx, ny, nz;
    D3DCOLOR color;
    float u, v;
};
struct HudVertex {  // 0x144
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

struct Scene {
    GfxDirect3D* d3d = nullptr;
    GfxDevice* dev = nullptr;
    GfxTexture* ground = nullptr;
    GfxTexture* hud = nullptr;
    std::vector<GfxVertexBuffer*> sections;
    bool ok = false;

    bool Create() {
        if (!SysInit(true) || !SysCreateWindow("gfx bench", 640, 480)) return false;
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        if (!d3d) return false;
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = 640;
        pp.BackBufferHeight = 480;
        pp.Windowed = 1;
        pp.EnableAutoDepthStencil = 1;
        pp.AutoDepthStencilFormat = D3DFMT_D16;
        if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, SysWindowHandle(), D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &dev))) {
            return false;
        }
        ground = MakeTexture(256, 0xFF40A040u, 0xFF308030u);
        hud = MakeTexture(64, 0xFFFFFFFFu, 0x00000000u);
        // 200 sections of a winding road: strips of 10 triangles each (12 vertices).
        for (int s = 0; s < 200; ++s) {
            SceneVertex v[12];
            for (int i = 0; i < 6; ++i) {
                float z = 4.0f + (s * 5 + i) * 1.0f;
                float cx = std::sin(z * 0.02f) * 20.0f;
                for (int side = 0; side < 2; ++side) {
                    SceneVertex& p = v[i * 2 + side];
                    p = SceneVertex{cx + (side ? 12.0f : -12.0f), -3.0f, z, 0.0f, 1.0f, 0.0f, 0xFFC0C0C0u,
                                    static_cast<float>(side), z * 0.1f};
                }
            }
            GfxVertexBuffer* vb = nullptr;
            if (FAILED(dev->CreateVertexBuffer(sizeof(v), 0, 0x152, D3DPOOL_MANAGED, &vb))) return false;
            uint8_t* p = nullptr;
            vb->Lock(0, 0, &p, 0);
            std::memcpy(p, v, sizeof(v));
            vb->Unlock();
            sections.push_back(vb);
        }
        D3DXMATRIX view, proj;
        D3DXVECTOR3 eye(0, 2, 0), at(0, 0, 30), up(0, 1, 0);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 4.0f / 3.0f, 0.1f, 2000.0f);
        dev->SetTransform(D3DTS_VIEW, &view);
        dev->SetTransform(D3DTS_PROJECTION, &proj);
        D3DLIGHT8 l{};
        l.Type = D3DLIGHT_DIRECTIONAL;
        l.Diffuse = {0.5f, 0.5f, 0.5f, 0};
        l.Direction = {0.577f, -0.577f, 0.577f};
        l.Range = 1000.0f;
        dev->SetLight(0, &l);
        dev->LightEnable(0, 1);
        dev->SetRenderState(D3DRS_AMBIENT, 0xFF808080u);
        dev->SetRenderState(D3DRS_FOGCOLOR, 0xFF8090A0u);
        dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
        dev->SetRenderState(D3DRS_FOGSTART, GfxFloatBits(100.0f));
        dev->SetRenderState(D3DRS_FOGEND, GfxFloatBits(900.0f));
        dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        dev->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        dev->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
        ok = true;
        return true;
    }

    GfxTexture* MakeTexture(UINT size, D3DCOLOR a, D3DCOLOR b) {
        GfxTexture* t = nullptr;
        if (FAILED(dev->CreateTexture(size, size, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t))) return nullptr;
        D3DLOCKED_RECT lr{};
        t->LockRect(0, &lr, nullptr, 0);
        uint32_t* px = static_cast<uint32_t*>(lr.pBits);
        for (UINT y = 0; y < size; ++y)
            for (UINT x = 0; x < size; ++x) px[y * size + x] = (((x / 8) ^ (y / 8)) & 1) ? a : b;
        t->UnlockRect(0);
        return t;
    }

    void Frame(int n) {
        dev->BeginScene();
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        // Sky: a full-screen rectangle, no depth write.
        dev->SetRenderState(D3DRS_ZWRITEENABLE, 0);
        dev->SetRenderState(D3DRS_LIGHTING, 0);
        dev->SetRenderState(D3DRS_FOGENABLE, 0);
        dev->SetTexture(0, nullptr);
        DrawRect(0, 0, 640, 480, 0xFF6080C0u);
        dev->SetRenderState(D3DRS_ZWRITEENABLE, 1);
        // The road: lit, fogged, textured.
        dev->SetRenderState(D3DRS_LIGHTING, 1);
        dev->SetRenderState(D3DRS_FOGENABLE, 1);
        dev->SetTexture(0, ground);
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, std::sin(n * 0.01f), 0, 0);
        dev->SetTransform(D3DTS_WORLD, &world);
        dev->SetVertexShader(0x152);
        for (GfxVertexBuffer* vb : sections) {
            dev->SetStreamSource(0, vb, sizeof(SceneVertex));
            dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 10);
        }
        // The HUD: blended rectangles from memory.
        dev->SetRenderState(D3DRS_LIGHTING, 0);
        dev->SetRenderState(D3DRS_FOGENABLE, 0);
        dev->SetRenderState(D3DRS_ZENABLE, 0);
        dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        dev->SetTexture(0, hud);
        for (int i = 0; i < 60; ++i) {
            float x = static_cast<float>((i % 10) * 60), y = static_cast<float>((i / 10) * 20);
            DrawRect(x, y, x + 48, y + 16, 0xC0FFFFFFu, true);
        }
        dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        dev->SetRenderState(D3DRS_ZENABLE, 1);
        dev->EndScene();
        dev->Present(nullptr, nullptr, nullptr, nullptr);
    }

    void DrawRect(float x1, float y1, float x2, float y2, D3DCOLOR c, bool textured = false) {
        HudVertex v[4] = {{x1, y1, 0.2f, 1, c, 0, 0}, {x2, y1, 0.2f, 1, c, 1, 0}, {x1, y2, 0.2f, 1, c, 0, 1},
                          {x2, y2, 0.2f, 1, c, 1, 1}};
        dev->SetVertexShader(textured ? 0x144 : 0x144);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(HudVertex));
    }

    void Destroy() {
        for (GfxVertexBuffer* vb : sections) vb->Release();
        sections.clear();
        if (dev) dev->SetTexture(0, nullptr);
        if (ground) ground->Release();
        if (hud) hud->Release();
        if (dev) dev->Release();
        if (d3d) d3d->Release();
        SysDestroyWindow();
        SysShutdown();
    }
};

void BM_RaceLikeFrame(benchmark::State& state) {
    Scene scene;
    if (!scene.Create()) {
        state.SkipWithError("no graphics device");
        scene.Destroy();
        return;
    }
    // The first frames compile the rasteriser's state variants; they are not what a race costs.
    for (int i = 0; i < 5; ++i) scene.Frame(i);
    int n = 0;
    for (auto _ : state) scene.Frame(n++);
    state.counters["triangles"] = 2000 + 2 + 120;
    state.counters["draws"] = 200 + 1 + 60;
    scene.Destroy();
}
BENCHMARK(BM_RaceLikeFrame)->Iterations(600)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
