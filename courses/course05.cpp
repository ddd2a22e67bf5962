// Course 5, "Black Sky Is Falling": a road under a storm ceiling that dives again and again
// through the black cloud floor at y = 0 and climbs back out. Starts at height 200; 500
// boundaries of long straights with deep dips, wide right-handers and one left.
#include <cstdlib>

#include "courses/course_draw.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "courses/course_trace.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/settings.h"
#include "game/sound_effects.h"

namespace {

constexpr float kStartY = 200.0f;
constexpr float kHalfWidth = 100.0f;
constexpr float kStep = 100.0f;
constexpr float kCloudExtent = 12000.0f;  // the cloud floor reaches this far from the origin
constexpr float kCloudTile = 500.0f;
// Lightning: a flash of six frames and a second flicker, every three seconds.
constexpr int kFlashPeriod = 180;
constexpr int kFlashFrames = 6;
constexpr int kFlickerFrame = 10;
constexpr uint32_t kFlashAmbient = 0xffffff80u;
constexpr uint32_t kDarkAmbient = 0xff808080u;
constexpr uint32_t kStormFog = 0xff404040u;
constexpr uint32_t kUnderFog = 0xff606060u;
constexpr uint32_t kUnderAmbient = 0xffa0a0a0u;
constexpr float kFogStart = 1.0f;
constexpr float kFogEnd = 2000.0f;

void WriteBoundaryPoints() {
    TraceBegin(D3DXVECTOR3(0.0f, kStartY, 0.0f), 0.0f, kHalfWidth);
    TraceLeg(20, 105.2f, 0.0f);
    TraceLeg(15, kStep, 90.0f);
    TraceLeg(55, 95.1f, 0.0f, -500.0f);
    TraceLeg(45, 96.0f, 0.0f, 500.0f);
    TraceLeg(15, kStep, 90.0f);
    TraceLeg(40, 89.6f, 0.0f, 0.0f, -400.0f, 1);
    TraceLeg(15, kStep, -90.0f);
    TraceLeg(15, kStep, 90.0f);
    TraceLeg(11, 97.1f, 0.0f);
    TraceLeg(40, 89.6f, 0.0f, 0.0f, -450.0f, 2);
    TraceLeg(20, kStep, 90.0f);
    TraceLeg(35, 103.1f, 0.0f, 0.0f, -300.0f, 2);
    TraceLeg(20, kStep, -45.0f);
    TraceLeg(20, kStep, 45.0f);
    TraceLeg(35, 103.1f, 0.0f, 0.0f, -400.0f, 1);
    TraceLeg(20, kStep, 90.0f);
    TraceLeg(79, 120.6f, 0.0f, 0.0f, -500.0f, 2);
    TraceEnd();
}

// The cloud floor: one dark quad at y = 0 the road dives through.
void BuildGround() {
    const float e = kCloudExtent, t = 2.0f * kCloudExtent / kCloudTile;
    const CourseVertex v[4] = {
        {-e, 0.0f, e, 0, 1, 0, 0xffffffffu, 0, 0},
        {e, 0.0f, e, 0, 1, 0, 0xffffffffu, t, 0},
        {-e, 0.0f, -e, 0, 1, 0, 0xffffffffu, 0, t},
        {e, 0.0f, -e, 0, 1, 0, 0xffffffffu, t, t},
    };
    groundQuad.Create(v, CourseVertexFvf, sizeof v);
}

void SetWorldFog(uint32_t colour) {
    SetCourseFog(colour, kFogStart, kFogEnd);
}

// Above the clouds: the storm ceiling lit by the lightning, thunder with each flash.
void SetStormStates(const CourseView& v) {
    const int phase = v.frame % kFlashPeriod;
    const bool flash = phase < kFlashFrames || phase == kFlickerFrame;
    if (flash) {
        device->SetRenderState(D3DRS_AMBIENT, kFlashAmbient);
        device->SetRenderState(D3DRS_FOGENABLE, 1);
        EnableLight(true);
    } else {
        device->SetRenderState(D3DRS_AMBIENT, kDarkAmbient);
        device->SetRenderState(D3DRS_FOGENABLE, 0);
        EnableLight(false);
    }
}

// Thunder with each flash the camera sees from above the clouds.
void Step(const CourseView& v) {
    const int phase = v.frame % kFlashPeriod;
    if (v.scene.eye.y >= 0.0f && (phase == 0 || phase == kFlickerFrame) && bgmType > 0 && !v.paused)
        sounds[kSoundThunder].Play(false);
}

// Under the storm's light (or, under the clouds, in grey fog) the kerbs, the road, the line, and
// the cloud floor, seen from above and from below; behind them the sky and the storm clouds.
void Frame(const CourseView& v) {
    const bool aboveClouds = v.scene.eye.y >= 0.0f;
    SetSkyStates(aboveClouds ? background2Model : backgroundModel);
    if (!device) return;
    if (aboveClouds) {
        SetStormStates(v);
        SetWorldFog(kStormFog);
    } else {
        SetWorldFog(kUnderFog);
        device->SetRenderState(D3DRS_AMBIENT, kUnderAmbient);
    }
    WorldLightingOn();
    device->SetTexture(0, upperStripTexture.texture);
    DrawUpperStripsWindow(v);
    device->SetTexture(0, roadTexture.texture);
    DrawRoadWindow(v);
    DrawGateAndBanner(v);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    DrawGround(fileTextures[kTextureBlackSky]);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    BeginBehindWorld();
    DrawSky(v);
    if (aboveClouds) {
        SetStormStates(v);
        DrawAroundCamera(v, background2Model);
    }
    EndBehindWorld();
}

}  // namespace

const CourseRoutines course05Routines = {
    WriteBoundaryPoints, BuildGround, nullptr, nullptr, nullptr, Frame, Step,
};
