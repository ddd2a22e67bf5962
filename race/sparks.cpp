#include "race/sparks.h"

#include <cmath>
#include <cstdlib>

#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/placement.h"
#include "framework/step_blend.h"
#include "game/asset_tables.h"
#include "game/sound_effects.h"
#include "race/player_vehicle.h"
#include "race/race_state.h"

Spark sparks[kSparkSlots];

namespace {
constexpr int kSparkLife = 10;
constexpr float kSparkSize = 1.6f;
}  // namespace

void ClearSparks() {
    for (Spark& s : sparks) s = Spark{0, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0)};
}

void ThrowDriftSparks(const D3DXMATRIX& body) {
    const RaceState& r = raceState;
    if (r.gripState != -1 || std::fabs(r.driftAngle) <= kSparkDrift) return;
    // The tyres screech while the sparks fly; the replay shows the sparks without it.
    KeepSoundPlaying(kSoundDrift);
    ThrowSparksAtDrift(body, r.driftAngle);
}

void ThrowSparksAtDrift(const D3DXMATRIX& body, float driftAngle) {
    if (std::fabs(driftAngle) <= kSparkDrift) return;
    const D3DXVECTOR3 right = PlacementAxisX(body), up = PlacementAxisY(body), forward = PlacementAxisZ(body);
    const D3DXVECTOR3 pos = PlacementPosition(body);
    // They fly from the rear corner on the outside of the slide, backward from the car.
    const D3DXVECTOR3 origin = pos - up * 4.0f - forward * 7.0f + right * (driftAngle >= 0.0f ? -7.0f : 7.0f);
    for (Spark& s : sparks) {
        if (std::rand() % 10 != 0) continue;
        s.life = kSparkLife;
        s.position = origin;
        s.velocity = -forward;
        s.velocity.x += static_cast<float>(std::rand() % 1000 - 500) * 0.002f;
        s.velocity.y += static_cast<float>(std::rand() % 1000 - 500) * 0.002f;
        s.velocity.z += static_cast<float>(std::rand() % 1000 - 500) * 0.002f;
    }
}

void AdvanceSparks() {
    for (Spark& s : sparks) {
        if (s.life <= 0) continue;
        s.position += s.velocity;
        s.life -= 1;
    }
}

void DrawSparks() {
    // Between two steps each spark that flew on stands part of its step's flight along.
    struct Slots {
        Spark s[kSparkSlots];
    };
    static StepPair<Slots> held;
    Slots now;
    for (int i = 0; i < kSparkSlots; ++i) now.s[i] = sparks[i];
    held.Hold(now);
    if (!held.Blends()) {
        DrawSparksOf(sparks, kSparkSlots);
        return;
    }
    Slots drawn = held.now;
    for (int i = 0; i < kSparkSlots; ++i) {
        const Spark& before = held.before.s[i];
        Spark& s = drawn.s[i];
        if (s.life > 0 && before.life == s.life + 1) s.position = BlendPoint(before.position, s.position, pictureFraction);
    }
    DrawSparksOf(drawn.s, kSparkSlots);
}

void DrawSparksOf(const Spark* list, int count) {
    bool any = false;
    for (int i = 0; i < count; ++i) any = any || list[i].life > 0;
    if (!any || !device) return;
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetTexture(0, nullptr);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    for (int i = 0; i < count; ++i) {
        const Spark& s = list[i];
        if (s.life <= 0) continue;
        // Bright yellow cooling to orange as the spark dies.
        const uint32_t alpha = static_cast<uint32_t>(s.life * 25) & 0xff;
        SetBillboardWorld(s.position.x, s.position.y, s.position.z);
        DrawQuad3D(0.0f, 0.0f, 0.0f, kSparkSize, kSparkSize, (alpha << 24) | (s.life > 5 ? 0xffff80u : 0xff8020u));
    }
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_LIGHTING, 1);
}
