#include "courses/course_draw.h"

#include <cstdlib>

#include "courses/course_builder.h"
#include "courses/course_setup.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/mesh.h"
#include "game/asset_tables.h"
#include "game/settings.h"

namespace {

constexpr float kSceneryDrawDistance = 2000.0f;
constexpr int kAmbientSoundPeriod = 300;
constexpr int kBannerBlinkPeriod = 40;
constexpr int kBannerBlinkFrames = 3;
constexpr float kGlareSize = 500.0f;
constexpr uint32_t kGlareColour = 0x80ffc080u;

constexpr int kMaxRange = 30;  // Render Level 2's window
int window[2 * kMaxRange];
int windowCount;

int WindowRange(const CourseView& v) { return v.crystalRange > kMaxRange ? kMaxRange : v.crystalRange; }

void ResetWorld() {
    if (device) device->SetTransform(D3DTS_WORLD, &identityMatrix);
}

void RefreshWindow(const CourseView& v) { windowCount = CurrentDrawWindow(v, window); }

void DrawStrips(const CourseView& v, int first, int second) {
    if (!device) return;
    RefreshWindow(v);
    ResetWorld();
    const VertexBuffer* strips[4 * kMaxRange];
    int n = 0;
    for (int i = 0; i < windowCount; ++i) {
        strips[n++] = &edgeStrip[window[i]][first];
        strips[n++] = &edgeStrip[window[i]][second];
    }
    DrawQuadStrips(strips, n);
}

// Scenery in two runs (ahead, behind), the stage-0 texture unbound before each: the meshes bring
// their own. The models are opaque and depth-tested, so each run goes from near to far: a model
// hidden behind a nearer one is then rejected before its pixels are shaded.
void DrawScenery(const CourseView& v, bool nearTest) {
    if (!device) return;
    RefreshWindow(v);
    const D3DXVECTOR3 eye = v.scene.eye;
    const int range = WindowRange(v) < windowCount ? WindowRange(v) : windowCount;
    // The window lists each run far to near: ahead 0 .. range - 1, behind range .. count - 1.
    int order[2 * kMaxRange];
    int n = 0;
    for (int i = range - 1; i >= 0; --i) order[n++] = i;
    for (int i = windowCount - 1; i >= range; --i) order[n++] = i;
    for (int j = 0; j < n; ++j) {
        if (j == 0 || j == range) device->SetTexture(0, nullptr);
        const int s = window[order[j]];
        for (int k = 0; k < 2; ++k) {
            if (!courseGeometry.sceneryOn[2 * s + k]) continue;
            Model& model = sceneryPool[2 * s + k];
            const D3DXVECTOR3 p = model.GetPosition();
            const D3DXVECTOR3 d = p - eye;
            if (D3DXVec3Length(&d) >= kSceneryDrawDistance) continue;
            if (nearTest ? model.IsOnScreen() : ProjectsOnScreen(p)) model.Draw();
        }
    }
    ResetWorld();
}

}  // namespace

int DrawWindowSections(int c, int range, int n, int* out) {
    if (n <= 0) return 0;
    auto wrap = [n](int s) { return ((s % n) + n) % n; };
    int count = 0;
    for (int s = c + range - 1; s >= c; --s) out[count++] = wrap(s);
    if (range >= 2) {
        for (int s = c - range + 1; s <= c - 1; ++s) out[count++] = wrap(s);
    }
    return count;
}

int CurrentDrawWindow(const CourseView& v, int* out) {
    return DrawWindowSections(v.section, WindowRange(v), courseGeometry.sectionCount, out);
}

void DrawRoadWindow(const CourseView& v) {
    if (!device) return;
    RefreshWindow(v);
    ResetWorld();
    const VertexBuffer* quads[2 * kMaxRange];
    for (int i = 0; i < windowCount; ++i) quads[i] = &roadQuad[window[i]];
    DrawQuadStrips(quads, windowCount);
}

void DrawUpperStripsWindow(const CourseView& v) { DrawStrips(v, 0, 1); }
void DrawLowerStripsWindow(const CourseView& v) { DrawStrips(v, 2, 3); }
void DrawSceneryNear(const CourseView& v) { DrawScenery(v, true); }
void DrawSceneryOnScreen(const CourseView& v) { DrawScenery(v, false); }

void DrawSceneryByLevel(const CourseView& v) {
    if (renderLevel == 2) DrawSceneryNear(v);
    if (renderLevel == 1) DrawSceneryOnScreen(v);
}

void DrawSkirts(const CourseView& v) {
    if (!device || renderLevel < 1) return;
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTexture(0, lowerStripTexture.texture);
    DrawLowerStripsWindow(v);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}

void DrawBordersAndRoad(const CourseView& v) {
    if (!device) return;
    device->SetTexture(0, upperStripTexture.texture);
    DrawUpperStripsWindow(v);
    device->SetTexture(0, roadTexture.texture);
    DrawRoadWindow(v);
}

void DrawWalledCourse(const CourseView& v) {
    SetSkyStates();
    WorldLightingOn();
    if (!device) return;
    DrawSkirts(v);
    DrawBordersAndRoad(v);
    DrawGateAndBanner(v);
    BeginBehindWorld();
    DrawSky(v);
    EndBehindWorld();
}

bool StartLineInWindow(int c, int range, int n) { return !(range <= c && c <= n - range); }

BannerSign ChooseBanner(int laps, int lapsDone, int frameCount) {
    if (laps > lapsDone + 1) {
        return frameCount % kBannerBlinkPeriod < kBannerBlinkFrames ? BannerSign::Go : BannerSign::Hidden;
    }
    return BannerSign::Finish;
}

namespace {
// The world's states while what lies behind it is drawn.
struct WorldStates {
    DWORD renderStates[10];
    DWORD texTransform;
    GfxTexture* texture;
    D3DMATRIX world, textureMatrix;
    D3DMATERIAL8 material;
    int light;
};
constexpr D3DRENDERSTATETYPE kKeptStates[10] = {
    D3DRS_CULLMODE, D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_LIGHTING,
    D3DRS_FOGENABLE, D3DRS_ZWRITEENABLE,    D3DRS_ZENABLE,  D3DRS_ZFUNC,     D3DRS_AMBIENT,
};
WorldStates keptWorld;

// The world's depths end just short of the far plane, two steps of the coarsest depth buffer (16
// bits) before it, so the far plane holds nothing but the sky: a wall 1800 units away, whose depth
// a 16-bit buffer would round to the far plane's, still covers the sky drawn there after it.
constexpr float kWorldFarZ = 1.0f - 1.0f / 32768.0f;

void SetFarPlane(bool on) {
    const D3DVIEWPORT8 viewport = {0, 0, 640, 480, on ? 1.0f : 0.0f, on ? 1.0f : kWorldFarZ};
    device->SetViewport(&viewport);
}
}  // namespace

void SetSkyStates(Model& lastBackground) {
    if (!device) return;
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTransform(D3DTS_TEXTURE0, &identityMatrix);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    EnableLight(false);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    if (lastBackground.mesh && lastBackground.visible) lastBackground.mesh->SetLastSubsetStates();
    SetFarPlane(false);
    ResetWorld();
}


void BeginBehindWorld() {
    if (!device) return;
    WorldStates& k = keptWorld;
    for (int i = 0; i < 10; ++i) device->GetRenderState(kKeptStates[i], &k.renderStates[i]);
    device->GetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, &k.texTransform);
    k.texture = device->GetTexture(0);
    if (k.texture) k.texture->AddRef();
    device->GetTransform(D3DTS_WORLD, &k.world);
    device->GetTransform(D3DTS_TEXTURE0, &k.textureMatrix);
    device->GetMaterial(&k.material);
    k.light = lightEnabled;
    SetSkyStates();
}

void EndBehindWorld() {
    if (!device) return;
    WorldStates& k = keptWorld;
    for (int i = 0; i < 10; ++i) device->SetRenderState(kKeptStates[i], k.renderStates[i]);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, k.texTransform);
    device->SetTexture(0, k.texture);
    if (k.texture) k.texture->Release();
    k.texture = nullptr;
    device->SetTransform(D3DTS_WORLD, &k.world);
    device->SetTransform(D3DTS_TEXTURE0, &k.textureMatrix);
    device->SetMaterial(&k.material);
    EnableLight(k.light != 0);
}

void DrawOnFarPlane(Model& model) {
    if (!device) return;
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    SetFarPlane(true);
    model.Draw();
    SetFarPlane(false);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    ResetWorld();
}

void DrawAroundCamera(const CourseView& v, Model& model) {
    const D3DXVECTOR3 eye = v.scene.eye;
    model.localMatrix._41 = eye.x;
    model.localMatrix._42 = eye.y;
    model.localMatrix._43 = eye.z;
    DrawOnFarPlane(model);
}

void DrawSky(const CourseView& v) {
    SetSkyStates();
    DrawAroundCamera(v, backgroundModel);
}

uint32_t GlareFlicker() {
    if (renderLevel != 2) return 0;
    return static_cast<uint32_t>(std::rand() % 128) * 0x01000000u;
}

void DrawSunGlare(const CourseView& v, const D3DXVECTOR3& offset, uint32_t flicker) {
    if (!device || renderLevel != 2) return;
    device->SetTexture(0, fileTextures[kTextureLens].texture);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DXMATRIX world = v.scene.camera;
    const D3DXVECTOR3 at = D3DXVECTOR3(world._41, world._42, world._43) + offset;
    world._41 = at.x;
    world._42 = at.y;
    world._43 = at.z;
    device->SetTransform(D3DTS_WORLD, &world);
    DrawQuad3D(0.0f, 0.0f, 0.0f, kGlareSize, kGlareSize, kGlareColour + flicker);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    ResetWorld();
}

void DrawGround(Texture& texture) {
    if (!device) return;
    ResetWorld();
    device->SetTexture(0, texture.texture);
    groundQuad.DrawTriangleStrip(2);
}

void DrawGroundBeneath(Texture& texture) {
    if (!device) return;
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    DrawGround(texture);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
}

void WorldLightingOn() {
    if (!device) return;
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetRenderState(D3DRS_LIGHTING, 1);
    EnableLight(true);
}

void DrawGateAndBanner(const CourseView& v) {
    if (!device) return;
    const int c = v.section;
    const int range = v.crystalRange;
    if (!StartLineInWindow(c, range, courseGeometry.sectionCount)) return;
    gateModel.Draw();
    ResetWorld();
    switch (ChooseBanner(CourseLaps(currentCourse), v.lapsDone, v.frame)) {
    case BannerSign::Go:
        device->SetTexture(0, fileTextures[kTextureGo].texture);
        bannerQuad.DrawTriangleStrip(2);
        break;
    case BannerSign::Finish:
        device->SetTexture(0, fileTextures[kTextureFinish].texture);
        bannerQuad.DrawTriangleStrip(2);
        break;
    case BannerSign::Hidden:
        break;
    }
}

bool PlayAmbientSound(const CourseView& v, Sound& sound) {
    if (v.frame % kAmbientSoundPeriod != 0) return false;
    if (bgmType <= 0 || sound.IsPlaying()) return false;
    if (v.paused) return false;
    sound.Play(false);
    return true;
}
