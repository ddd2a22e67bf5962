#include "race/crystals.h"

#include <algorithm>

#include "framework/graphics_device.h"
#include "framework/mesh.h"
#include "framework/placement.h"
#include "framework/step_blend.h"
#include "game/sound_effects.h"
#include "race/opponents.h"
#include "courses/course_setup.h"
#include "courses/track_queries.h"
#include "race/race_state.h"
#include "race/vehicle.h"
#include "game/asset_tables.h"

uint8_t supplyCrystalPresent[SupplyCrystalSlots];
uint8_t boostCrystalPresent[BoostCrystalSlots];
Mesh supplyCrystalMesh, boostCrystalMesh;
Model supplyCrystals[SupplyCrystalSlots];
Model boostCrystals[BoostCrystalSlots];

namespace {
constexpr float kPickUpRange = 20.0f;
constexpr int kCrystalPoints = 25;
constexpr int kFlowPerFrame = 5;
constexpr int kGaugeFull = 100;
constexpr int kMaxStock = 10;
constexpr float kSupplyTurn = 0.1f;
constexpr float kBoostTurn = 0.2f;

bool Reached(Model& crystal, const D3DXVECTOR3& car) {
    const D3DXVECTOR3 gap = crystal.GetPosition() - car;
    return D3DXVec3Length(&gap) < kPickUpRange;
}

int SupplyCount() { return std::clamp(raceState.supplyCrystalCount, 0, SupplyCrystalSlots); }
int BoostCount() { return std::clamp(raceState.boostCrystalCount, 0, BoostCrystalSlots); }

void Place(const int* sections, int count, Model* models) {
    const CourseGeometry& g = courseGeometry;
    for (int i = 0; i < count; ++i) {
        const int s = sections[i];
        if (s < 0 || s >= g.sectionCount) continue;
        const D3DXVECTOR3 p = CrystalPosition(s);
        models[i].localMatrix._41 = p.x;
        models[i].localMatrix._42 = p.y;
        models[i].localMatrix._43 = p.z;
        models[i].SetOrientation(g.edgeDir[s].left, g.halfNormal[2 * s]);
    }
}

void DrawShining(Model& crystal, StepPair<D3DXMATRIX>& held) {
    held.Hold(crystal.GetWorldMatrix());
    if (!crystal.mesh) return;
    // Between two steps the crystal stands turned part of its step's turn.
    const bool blend = held.Blends() && !PlacementJumped(held.before, held.now);
    crystal.mesh->DrawWithTexture(blend ? BlendPlacement(held.before, held.now, pictureFraction) : held.now,
                                  envTexture);
}

// Each crystal's placement over the last two steps, for the pictures between them.
StepPair<D3DXMATRIX> heldSupply[SupplyCrystalSlots], heldBoost[BoostCrystalSlots];
}  // namespace

void PickUpCrystals() {
    RaceState& r = raceState;
    // Reached by the car as drawn this frame.
    const D3DXVECTOR3 car = PlacementPosition(r.pose.body);
    for (int i = 0; i < SupplyCount(); ++i) {
        if (!supplyCrystalPresent[i] || !Reached(supplyCrystals[i], car)) continue;
        r.gaugeFill += kCrystalPoints;
        if (!r.finished) r.crystalsTaken += 1;
        supplyCrystalPresent[i] = 0;
        PlaySound(kSoundGetCrystal);
    }
    // A crystal's points arrive over five frames.
    if (r.gaugeFill > 0) {
        r.gaugeFill -= kFlowPerFrame;
        r.boostGauge += kFlowPerFrame;
    }
    if (r.boostGauge > kGaugeFull - 1) {
        r.boostStock += 1;
        r.boostGauge -= kGaugeFull;
        // A full stock keeps a full gauge.
        if (r.boostStock > kMaxStock) {
            r.boostStock = kMaxStock;
            r.boostGauge = kGaugeFull;
        }
    }
    for (int i = 0; i < BoostCount(); ++i) {
        if (!boostCrystalPresent[i] || !Reached(boostCrystals[i], car)) continue;
        r.boostTimer = kBoostFrames;
        if (!r.finished) r.crystalsTaken += 1;
        boostCrystalPresent[i] = 0;
        PlaySound(kSoundBoost1);
    }
}

void TurnCrystals() {
    for (Model& m : supplyCrystals) m.RotateY(kSupplyTurn);
    for (Model& m : boostCrystals) m.RotateY(kBoostTurn);
}

void DrawCrystals(int section, int range) {
    if (!device) return;

    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    // The environment map follows the camera-space normal: u' = u/2 + 1/2, v' = -v/2 + 1/2.
    const D3DXMATRIX texMatrix(0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    device->SetTransform(D3DTS_TEXTURE0, &texMatrix);
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_FOGENABLE, 1);

    const CourseGeometry& g = courseGeometry;
    for (int i = 0; i < SupplyCount(); ++i)
        if (supplyCrystalPresent[i] && WithinSections(g.supplyCrystalSection[i], section, range))
            DrawShining(supplyCrystals[i], heldSupply[i]);
    for (int i = 0; i < BoostCount(); ++i)
        if (boostCrystalPresent[i] && WithinSections(g.boostCrystalSection[i], section, range))
            DrawShining(boostCrystals[i], heldBoost[i]);

    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTransform(D3DTS_TEXTURE0, &identityMatrix);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
}

void RestoreCrystals() {
    for (int i = 0; i < SupplyCount(); ++i) supplyCrystalPresent[i] = 1;
    for (int i = 0; i < BoostCount(); ++i) boostCrystalPresent[i] = 1;
}

void LoadCrystals() {
    supplyCrystalMesh.Load("SupplyCrystal.x", 0, 0);
    for (Model& m : supplyCrystals) m.Init(&supplyCrystalMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    boostCrystalMesh.Load("BoostCrystal.x", 0, 0);
    for (Model& m : boostCrystals) m.Init(&boostCrystalMesh, 0.0f, 0.0f, 0.0f, 1.0f);
}

void ReleaseCrystals() {
    supplyCrystalMesh.Release();
    boostCrystalMesh.Release();
}

void PlaceCrystals() {
    const CourseStart& c = courseStart;
    Place(courseGeometry.supplyCrystalSection, std::clamp(c.supplyCrystalCount, 0, SupplyCrystalSlots), supplyCrystals);
    Place(courseGeometry.boostCrystalSection, std::clamp(c.boostCrystalCount, 0, BoostCrystalSlots), boostCrystals);
}
