#include "race/vehicle.h"

#include "framework/graphics_device.h"
#include "framework/mesh.h"
#include "framework/step_blend.h"
#include "game/asset_tables.h"
#include "race/sparks.h"

namespace {
// A part hung on the body: its placement relative to the body, carried by the body's.
void DrawPart(Model& part, const D3DXMATRIX& local, const D3DXMATRIX& body, bool translucent) {
    if (!part.mesh || !part.visible) return;
    D3DXMATRIX world;
    D3DXMatrixMultiply(&world, &local, &body);
    if (translucent) {
        part.mesh->DrawWithAlpha(world, part.alpha);
    } else {
        part.mesh->Draw(world);
    }
}

// The environment map as a gloss over a part: texture coordinates from the camera-space normal.
void DrawGloss(Model& part, const D3DXMATRIX& world) {
    if (!part.mesh || !envTexture.texture) return;
    D3DXMATRIX texMatrix(0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    device->SetTransform(D3DTS_TEXTURE0, &texMatrix);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    SetAlphaBlend(true, D3DBLEND_ONE, D3DBLEND_ONE);
    part.mesh->DrawWithTexture(world, envTexture);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetTransform(D3DTS_TEXTURE0, &identityMatrix);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTexture(0, nullptr);
}
}  // namespace

VehicleParts PlayerVehicleParts() {
    return {&playerBody, playerTires, &playerShadow, playerFlames, playerFlames2, &glowShells[0]};
}

VehicleParts OpponentVehicleParts(int slot) {
    OpponentModels& m = opponentModels[slot];
    return {&m.body, m.tires, &m.shadow, m.flames, m.flames2, nullptr};
}

int OpponentType(int slot) { return (slot >= 0 && slot < 4) ? slot + 1 : 5; }

VehiclePose RestPose(const VehicleParts& parts, const D3DXMATRIX& body) {
    VehiclePose pose;
    pose.body = body;
    for (int t = 0; t < 4; ++t) pose.tires[t] = parts.tires[t].localMatrix;
    return pose;
}

void DrawVehicle(const VehicleParts& parts, const VehiclePose& pose, const VehicleEffects& effects) {
    if (!device) return;
    if (effects.sparks) DrawSparks();

    DrawPart(*parts.shadow, parts.shadow->localMatrix, pose.body, true);
    if (parts.body->mesh && parts.body->visible) parts.body->mesh->Draw(pose.body);
    for (int t = 0; t < 4; ++t) DrawPart(parts.tires[t], pose.tires[t], pose.body, false);
    if (effects.gloss >= 1) {
        DrawGloss(*parts.body, pose.body);
        if (effects.gloss >= 2) {
            for (int t = 0; t < 4; ++t) {
                D3DXMATRIX world;
                D3DXMatrixMultiply(&world, &pose.tires[t], &pose.body);
                DrawGloss(parts.tires[t], world);
            }
        }
    }

    const bool exhaust = effects.exhaustStep >= 0 && parts.exhaustFlames;
    const bool boost = effects.boostFlames && parts.boostFlames;
    const bool glow = effects.glow && parts.glow;
    if (!exhaust && !boost && !glow) return;
    // Flames and glow are thin shells seen from inside as well.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    if (exhaust) {
        Model& left = parts.exhaustFlames[effects.exhaustStep % 3];
        Model& right = parts.exhaustFlames[3 + effects.exhaustStep % 3];
        DrawPart(left, left.localMatrix, pose.body, true);
        DrawPart(right, right.localMatrix, pose.body, true);
    }
    if (boost)
        for (int f = 0; f < 6; ++f) DrawPart(parts.boostFlames[f], parts.boostFlames[f].localMatrix, pose.body, true);
    if (glow) DrawPart(*parts.glow, parts.glow->localMatrix, pose.body, true);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}

VehiclePose BlendPose(const VehiclePose& before, const VehiclePose& now, float f) {
    if (f >= 1.0f) return now;
    VehiclePose pose;
    pose.body = BlendPlacement(before.body, now.body, f);
    for (int t = 0; t < 4; ++t) pose.tires[t] = BlendPlacement(before.tires[t], now.tires[t], f);
    return pose;
}
