#include "courses/course_draw.h"

#include <cstdlib>

#include "courses/course_builder.h"
#include "courses/course_setup.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
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

int WindowRange() {
    const int range = *courseRace.crystalRange;
    return range > kMaxRange ? kMaxRange : range;
}

D3DXMATRIX CurrentCameraMatrix() {
    D3DXMATRIX view, camera;
    D3DXMatrixIdentity(&camera);
    if (!device) return camera;
    device->GetTransform(D3DTS_VIEW, &view);
    if (!D3DXMatrixInverse(&camera, nullptr, &view)) D3DXMatrixIdentity(&camera);
    return camera;
}

void ResetWorld() {
    if (device) device->SetTransform(D3DTS_WORLD, &identityMatrix);
}

void RefreshWindow() {
    windowCount = CurrentDrawWindow(window);
}

void DrawStrips(int first, int second) {
    if (!device) return;
    RefreshWindow();
    ResetWorld();
    const VertexBuffer* strips[4 * kMaxRange];
    int n = 0;
    for (int i = 0; i < windowCount; ++i) {
        strips[n++] = &edgeStrip[window[i]][first];
        strips[n++] = &edgeStrip[window[i]][second];
    }
    DrawQuadStrips(strips, n);
}

bool ProjectsInsideScreen(const D3DXVECTOR3& p) {
    const D3DXVECTOR3 s = ProjectToScreen(p);
    return s.z >= 0.0f && s.y >= 0.0f && s.y <= 480.0f && s.x >= 0.0f && s.x <= 640.0f;
}

// Scenery in two runs (ahead, behind), the stage-0 texture unbound before each: the meshes bring
// their own.
void DrawScenery(bool nearTest) {
    if (!device) return;
    RefreshWindow();
    const D3DXVECTOR3 eye = CameraPosition();
    const int range = WindowRange();
    for (int i = 0; i < windowCount; ++i) {
        if (i == 0 || i == range) device->SetTexture(0, nullptr);
        const int s = window[i];
        for (int k = 0; k < 2; ++k) {
            if (!courseGeometry.sceneryOn[2 * s + k]) continue;
            Model& model = sceneryPool[2 * s + k];
            const D3DXVECTOR3 p = model.GetPosition();
            const D3DXVECTOR3 d = p - eye;
            if (D3DXVec3Length(&d) >= kSceneryDrawDistance) continue;
            if (nearTest ? model.IsOnScreen() : ProjectsInsideScreen(p)) model.Draw();
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

int CurrentDrawWindow(int* out) {
    return DrawWindowSections(*courseRace.section, WindowRange(), courseGeometry.sectionCount, out);
}

void DrawRoadWindow() {
    if (!device) return;
    RefreshWindow();
    ResetWorld();
    const VertexBuffer* quads[2 * kMaxRange];
    for (int i = 0; i < windowCount; ++i) quads[i] = &roadQuad[window[i]];
    DrawQuadStrips(quads, windowCount);
}

void DrawUpperStripsWindow() { DrawStrips(0, 1); }
void DrawLowerStripsWindow() { DrawStrips(2, 3); }
void DrawSceneryNear() { DrawScenery(true); }
void DrawSceneryOnScreen() { DrawScenery(false); }

void DrawSceneryByLevel() {
    if (renderLevel == 2) DrawSceneryNear();
    if (renderLevel == 1) DrawSceneryOnScreen();
}

void DrawSkirts() {
    if (!device || renderLevel < 1) return;
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTexture(0, lowerStripTexture.texture);
    DrawLowerStripsWindow();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}

void DrawBordersAndRoad() {
    if (!device) return;
    device->SetTexture(0, upperStripTexture.texture);
    DrawUpperStripsWindow();
    device->SetTexture(0, roadTexture.texture);
    DrawRoadWindow();
}

void DrawWalledCourse() {
    DrawSky();
    WorldLightingOn();
    if (!device) return;
    DrawSkirts();
    DrawBordersAndRoad();
    DrawGateAndBanner();
}

bool StartLineInWindow(int c, int range, int n) { return !(range <= c && c <= n - range); }

BannerSign ChooseBanner(int laps, int lapsDone, int frameCount) {
    if (laps > lapsDone + 1) {
        return frameCount % kBannerBlinkPeriod < kBannerBlinkFrames ? BannerSign::Go : BannerSign::Hidden;
    }
    return BannerSign::Finish;
}

D3DXVECTOR3 CameraPosition() {
    const D3DXMATRIX camera = CurrentCameraMatrix();
    return D3DXVECTOR3(camera._41, camera._42, camera._43);
}

void DrawSky() {
    if (!device) return;
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTransform(D3DTS_TEXTURE0, &identityMatrix);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    EnableLight(false);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    const D3DXVECTOR3 eye = CameraPosition();
    backgroundModel.localMatrix._41 = eye.x;
    backgroundModel.localMatrix._42 = eye.y;
    backgroundModel.localMatrix._43 = eye.z;
    backgroundModel.Draw();
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    ResetWorld();
}

void DrawSunGlare(const D3DXVECTOR3& offset) {
    if (!device || renderLevel != 2) return;
    device->SetTexture(0, fileTextures[kTextureLens].texture);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DXMATRIX world = CurrentCameraMatrix();
    const D3DXVECTOR3 at = D3DXVECTOR3(world._41, world._42, world._43) + offset;
    world._41 = at.x;
    world._42 = at.y;
    world._43 = at.z;
    device->SetTransform(D3DTS_WORLD, &world);
    const uint32_t flicker = static_cast<uint32_t>(std::rand() % 128) * 0x01000000u;
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

void WorldLightingOn() {
    if (!device) return;
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetRenderState(D3DRS_LIGHTING, 1);
    EnableLight(true);
}

void DrawGateAndBanner() {
    if (!device) return;
    const int c = *courseRace.section;
    const int range = *courseRace.crystalRange;
    if (!StartLineInWindow(c, range, courseGeometry.sectionCount)) return;
    gateModel.Draw();
    ResetWorld();
    switch (ChooseBanner(CourseLaps(currentCourse), *courseRace.lapsDone, *courseRace.frameCount)) {
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

bool PlayAmbientSound(Sound& sound) {
    if (*courseRace.frameCount % kAmbientSoundPeriod != 0) return false;
    if (bgmType <= 0 || sound.IsPlaying()) return false;
    if (courseRace.racePaused && courseRace.racePaused()) return false;
    sound.Play(false);
    return true;
}
