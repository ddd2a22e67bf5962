#include "race/race_camera.h"

#include <cmath>

#include "courses/course_geometry.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "race/player_vehicle.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "game/settings.h"

D3DXVECTOR3 cameraEye(0.0f, 0.0f, 0.0f);
D3DXVECTOR3 cameraTarget(0.0f, 0.0f, 1.0f);
D3DXMATRIX raceViewMatrix = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);

namespace {
constexpr float kBackDistance = 95.0f;
constexpr float kBackHeight = 35.0f;
constexpr float kBackLookAhead = 300.0f;
constexpr float kBackEyeFollow = 0.8f;
constexpr float kBackTargetFollow = 0.3f;
constexpr float kCockpitHeight = 10.0f;
constexpr float kCockpitForward = 3.0f;
constexpr float kCockpitLookAhead = 50.0f;
constexpr float kCockpitFollow = 0.5f;
constexpr float kFinishDistance = 50.0f;
constexpr int kSweepFrames = 180;
constexpr float kSparkSize = 1.6f;

struct Axes {
    D3DXVECTOR3 right, up, forward, position;
};

Axes AxesOf(const D3DXMATRIX& m) {
    return {D3DXVECTOR3(m._11, m._12, m._13), D3DXVECTOR3(m._21, m._22, m._23), D3DXVECTOR3(m._31, m._32, m._33),
            D3DXVECTOR3(m._41, m._42, m._43)};
}

void Look(const D3DXVECTOR3& eye, const D3DXVECTOR3& target, const D3DXVECTOR3& up) {
    D3DXMatrixLookAtLH(&raceViewMatrix, &eye, &target, &up);
}

// The body turned toward the direction of travel and rolled against the drift, on a copy.
Axes BackViewAxes() {
    const RaceState& r = raceState;
    Model body = playerBody;
    body.RotateY(r.driftAngle);
    body.RotateZ(r.gripState == -1 ? -r.driftAngle / 6.0f : -r.driftAngle);
    return AxesOf(body.localMatrix);
}

D3DXVECTOR3 BackEye(const Axes& a, float lift) {
    return a.position - a.forward * kBackDistance + a.up * (kBackHeight - lift);
}

D3DXVECTOR3 BackTarget(const Axes& a, float lift) { return a.position + a.forward * kBackLookAhead - a.up * lift; }

void DrawSparks() {
    bool any = false;
    for (const Spark& s : sparks) any = any || s.life > 0;
    if (!any || !device) return;
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetTexture(0, nullptr);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    for (const Spark& s : sparks) {
        if (s.life <= 0) continue;
        // Bright yellow cooling to orange as the spark dies.
        const uint32_t alpha = static_cast<uint32_t>(s.life * 25) & 0xff;
        SetBillboardWorld(s.position.x, s.position.y, s.position.z);
        DrawQuad3D(0.0f, 0.0f, 0.0f, kSparkSize, kSparkSize, (alpha << 24) | (s.life > 5 ? 0xffff80u : 0xff8020u));
    }
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_LIGHTING, 1);
}

// The environment map as a gloss over the car: texture coordinates from the camera-space normal.
void DrawReflection(Model& model) {
    if (!model.mesh || !envTexture.texture) return;
    D3DXMATRIX texMatrix(0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    device->SetTransform(D3DTS_TEXTURE0, &texMatrix);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    SetAlphaBlend(true, D3DBLEND_ONE, D3DBLEND_ONE);
    model.mesh->DrawWithTexture(model.GetWorldMatrix(), envTexture);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetTransform(D3DTS_TEXTURE0, &identityMatrix);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTexture(0, nullptr);
}
}  // namespace

void ResetRaceCamera() {
    cameraEye = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    cameraTarget = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
}

void UpdateRaceCamera(float lift) {
    const RaceState& r = raceState;
    if (r.finished) {
        // A fixed look at the car from the direction of the course centre, world up.
        const D3DXVECTOR3 pos = playerBody.GetPosition();
        D3DXVECTOR3 toCentre = courseGeometry.courseCentre - pos;
        D3DXVec3Normalize(&toCentre, &toCentre);
        cameraEye = pos + toCentre * kFinishDistance;
        cameraTarget = pos;
        Look(cameraEye, cameraTarget, D3DXVECTOR3(0.0f, 1.0f, 0.0f));
        return;
    }
    if (viewType == 0) {
        const Axes a = BackViewAxes();
        cameraEye += (BackEye(a, lift) - cameraEye) * kBackEyeFollow;
        cameraTarget += (BackTarget(a, lift) - cameraTarget) * kBackTargetFollow;
        Look(cameraEye, cameraTarget, a.up);
        return;
    }
    Model body = playerBody;
    body.RotateZ(r.gripState == -1 ? -r.driftAngle / 6.0f : -r.driftAngle);
    const Axes a = AxesOf(body.localMatrix);
    cameraEye += (a.position + a.up * kCockpitHeight + a.forward * kCockpitForward - cameraEye) * kCockpitFollow;
    cameraTarget += (a.position + a.up * kCockpitHeight + a.forward * kCockpitLookAhead - cameraTarget) * kCockpitFollow;
    Look(cameraEye, cameraTarget, a.up);
}

void CountdownCamera(int frame, float lift) {
    const Axes a = BackViewAxes();
    cameraEye = BackEye(a, lift);
    cameraTarget = BackTarget(a, lift);
    if (frame < kSweepFrames) cameraEye += a.right * (2.0f * static_cast<float>(kSweepFrames - frame));
    Look(cameraEye, cameraTarget, a.up);
}

void FailureCamera(int frame) {
    const Axes a = AxesOf(playerBody.localMatrix);
    cameraEye = a.position + a.up * kBackHeight - a.forward * (kBackDistance - 4.0f * static_cast<float>(frame));
    cameraTarget = a.position;
    Look(cameraEye, cameraTarget, a.up);
}

bool BoostGlowVisible(int boostTimer, int frame) {
    if (boostTimer > 60) return frame % 2 == 0;
    if (boostTimer > 30) return frame % 4 == 0;
    if (boostTimer > 0) return frame % 8 == 0;
    return false;
}

void DrawPlayerCar(bool exhaust) {
    if (!device) return;
    const RaceState& r = raceState;
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    AdvanceSparks();
    DrawSparks();

    playerShadow.DrawTranslucent();
    playerBody.Draw();
    for (Model& tire : playerTires) tire.Draw();
    // Low: no gloss; Medium: on the body; High: on the body and the tyres.
    if (renderLevel >= 1) {
        DrawReflection(playerBody);
        if (renderLevel >= 2)
            for (Model& tire : playerTires) DrawReflection(tire);
    }

    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    if (exhaust) {
        const int step = frameCount % 3;
        playerFlames2[step].DrawTranslucent();
        playerFlames2[3 + step].DrawTranslucent();
    }
    if (r.boostTimer > 0)
        for (Model& flame : playerFlames) flame.DrawTranslucent();
    if (BoostGlowVisible(r.boostTimer, frameCount)) glowShells[0].DrawTranslucent();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}
