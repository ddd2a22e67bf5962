#include "shell/ending.h"

#include <cmath>

#include "courses/course_setup.h"
#include "framework/application.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/placement.h"
#include "framework/scene_view.h"
#include "framework/step_blend.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/data_dir.h"
#include "game/progress.h"
#include "game/scene_flow.h"
#include "game/tunes.h"
#include "race/vehicle.h"
#include "shell/scene_lights.h"
#include "shell/vehicle_gallery.h"

const EndingLine kEndingLines[kEndingLineCount] = {
    {"I'm on \"KORVAN\" now . ", 236},
    {"And ", 308},
    {"I'm going on ... ", 256},
};

namespace {
constexpr float kPi = 3.14159265f;

// --- the set-up ---------------------------------------------------------------------------------
constexpr uint32_t kFogColour = 0xffff8040u;
constexpr float kFogStart = 1.0f, kFogEnd = 2000.0f;
constexpr uint32_t kAmbient = 0xff4a3430u;
// The sun low ahead (+z) lights the car's nose gold; light 1 is the cool dusk sky from above and
// behind, which keeps the car's back from going flat when it drives into the light.
constexpr float kSunElevation = 0.07f;
constexpr float kSunR = 1.0f, kSunG = 0.72f, kSunB = 0.42f;
const D3DXVECTOR3 kSkyLightDirection(0.3f, -1.0f, 0.5f);
constexpr float kSkyR = 0.30f, kSkyG = 0.26f, kSkyB = 0.48f;
// The sky's picture has its sun a half turn round from its seam (world -x); this turn puts it
// ahead of the car.
constexpr float kSkyYaw = kPi / 2.0f;

// --- the car's drive ----------------------------------------------------------------------------
constexpr float kSpeed = 3.0f;           // units a frame along +z
constexpr float kWeave = 70.0f;          // how far the path swings left and right
constexpr float kWeaveLength = 520.0f;   // units of the drive to one radian of the swing
constexpr float kBodyHeight = 6.0f;      // the body's origin above the sand
constexpr float kRollPerCurve = 180.0f;  // the body leans into the bends
constexpr float kSteerShown = 0.22f;     // the front tyres' turn at the sharpest point
constexpr float kSpinPerUnit = 1.0f / 12.0f;  // the race's tyre turn for the distance driven
// As the last line is wiped away the car boosts off into the sun.
constexpr float kBoostFrom = 2900.0f;
constexpr float kBoostAcceleration = 0.004f;

// --- the camera ---------------------------------------------------------------------------------
// Keys of the camera's path round the car, in scene frames. yaw: where the camera stands round the
// car (0 ahead of its nose, pi behind it, toward the car's right in between); distance and height
// from the car; lookUp and lookAhead: the point looked at, above and ahead of the car. The camera
// opens low at the nose as the car comes on, swings round its right side while the first line is
// written, settles behind it, and falls back and up until the car is a small shape driving into
// the sun as the screen fades.
struct CameraKey {
    float t, yaw, distance, height, lookUp, lookAhead;
};
constexpr CameraKey kCameraKeys[] = {
    {0.0f, 0.45f, 50.0f, 4.0f, 2.0f, 0.0f},
    {500.0f, 0.75f, 45.0f, 5.0f, 2.0f, 0.0f},
    {1100.0f, 1.7f, 46.0f, 7.0f, 1.0f, 0.0f},
    {1700.0f, 2.6f, 52.0f, 10.0f, 0.0f, 0.0f},
    {2300.0f, kPi, 64.0f, 13.0f, 0.0f, 20.0f},
    {2900.0f, kPi, 110.0f, 22.0f, 0.0f, 80.0f},
    {3350.0f, kPi, 195.0f, 38.0f, 0.0f, 160.0f},
    {3600.0f, kPi, 235.0f, 45.0f, 0.0f, 190.0f},
};
constexpr int kCameraKeyCount = sizeof kCameraKeys / sizeof kCameraKeys[0];
// The camera turns with the car by this share of its heading, so the weave shows and the horizon
// stays nearly still.
constexpr float kCameraFollowsHeading = 0.4f;

// --- the sky and the sand -----------------------------------------------------------------------
constexpr float kSunDistance = 1500.0f;
constexpr float kSunSize = 520.0f;
constexpr float kHaloSize = 1400.0f;
constexpr float kGroundCell = 160.0f;   // the sand is a grid around the camera, so fog shades it well
constexpr int kGroundCells = 26;        // 4160 units across: out to the far plane
constexpr float kSandTile = 90.0f;
constexpr float kFarSand = 1990.0f;     // where the far plane cuts the sand off
constexpr float kSkyRadius = 1800.0f;   // the sky's dome
constexpr uint32_t kSandColour = 0xffc89070u;  // evening sand

// --- the overlays ------------------------------------------------------------------------------
constexpr int kBandRiseFrom = 900, kBandUp = 1150, kBandSinkFrom = 3100;
constexpr int kBandTop = 380;
constexpr int kLineFrom = 1501, kLinePeriod = 500;
constexpr int kLineHalf = 8;

// --- the embers ---------------------------------------------------------------------------------
// Born at the two rear pods, each is carried along in the car's wake, falling back from the car
// only slowly, so the car draws a plume of them after it; it rises and spreads, twinkles, and
// cools from pale gold through orange to a dusky rose as it fades.
const D3DXVECTOR3 kPodLeft(-3.6f, 2.0f, -14.5f), kPodRight(3.6f, 2.0f, -14.5f);
constexpr float kEmberLag = 0.32f;   // units a frame an ember falls back from the car
constexpr float kEmberRise = 0.06f;
constexpr float kEmberSpread = 0.05f;
constexpr float kEmberGrowth = 0.03f;
constexpr float kEmberBrightness = 0.8f;

// What the step leaves for drawing.
struct EndingView {
    SceneView scene;
    VehiclePose car;
    VehicleEffects carEffects;
    D3DXVECTOR3 sun;
    int emberCount;
    Ember embers[kEmberSlots];
    EndingOverlay overlay;
};
EndingView endingView;


// A repeatable random number in [0, 1) for ember n and one of its properties.
float EmberRandom(int n, uint32_t property) {
    uint32_t x = static_cast<uint32_t>(n) * 4u + property;
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return static_cast<float>(x & 0xffffffu) / 16777216.0f;
}

// The path: distance s along +z, the swing x(s) and its first two derivatives.
float PathDistance(float t) {
    const float boosted = t > kBoostFrom ? t - kBoostFrom : 0.0f;
    return kSpeed * t + 0.5f * kBoostAcceleration * boosted * boosted;
}
float PathX(float s) { return kWeave * std::sin(s / kWeaveLength); }
float PathSlope(float s) { return kWeave / kWeaveLength * std::cos(s / kWeaveLength); }
float PathCurve(float s) { return -kWeave / (kWeaveLength * kWeaveLength) * std::sin(s / kWeaveLength); }
float PathHeading(float s) { return std::atan(PathSlope(s)); }

D3DXMATRIX CarPlacementAt(float t) {
    const float s = PathDistance(t);
    D3DXMATRIX m = MakePlacement(PathX(s), kBodyHeight, s, 1.0f);
    RotateY(m, PathHeading(s));
    RotateZ(m, -kRollPerCurve * PathCurve(s));
    return m;
}

float CameraKeyValue(const CameraKey& k, int field) {
    switch (field) {
        case 0: return k.yaw;
        case 1: return k.distance;
        case 2: return k.height;
        case 3: return k.lookUp;
        default: return k.lookAhead;
    }
}

// One field of the camera path at time t: a cubic through the keys with tangents from their
// neighbours (level at the first and last key), held after the last.
float CameraPath(float t, int field) {
    if (t <= kCameraKeys[0].t) return CameraKeyValue(kCameraKeys[0], field);
    for (int i = 0; i + 1 < kCameraKeyCount; ++i) {
        const CameraKey& a = kCameraKeys[i];
        const CameraKey& b = kCameraKeys[i + 1];
        if (t >= b.t) continue;
        const float p0 = CameraKeyValue(a, field), p1 = CameraKeyValue(b, field);
        const float h = b.t - a.t, s = (t - a.t) / h;
        float m0 = 0.0f, m1 = 0.0f;
        if (i > 0) m0 = (p1 - CameraKeyValue(kCameraKeys[i - 1], field)) / (b.t - kCameraKeys[i - 1].t);
        if (i + 2 < kCameraKeyCount)
            m1 = (CameraKeyValue(kCameraKeys[i + 2], field) - p0) / (kCameraKeys[i + 2].t - a.t);
        const float s2 = s * s, s3 = s2 * s;
        return (2 * s3 - 3 * s2 + 1) * p0 + (s3 - 2 * s2 + s) * h * m0 + (-2 * s3 + 3 * s2) * p1 +
               (s3 - s2) * h * m1;
    }
    return CameraKeyValue(kCameraKeys[kCameraKeyCount - 1], field);
}

uint32_t BlendColour(uint32_t a, uint32_t b, float f) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const float x = static_cast<float>((a >> shift) & 0xff), y = static_cast<float>((b >> shift) & 0xff);
        out |= static_cast<uint32_t>(x + (y - x) * f + 0.5f) << shift;
    }
    return out;
}

VehiclePose CarPoseAt(int t) {
    const VehicleParts parts = PlayerVehicleParts();
    VehiclePose pose = RestPose(parts, CarPlacementAt(static_cast<float>(t)));
    const float s = PathDistance(static_cast<float>(t));
    const float steer = kSteerShown * PathCurve(s) / (kWeave / (kWeaveLength * kWeaveLength));
    for (int w = 0; w < 4; ++w) {
        if (w < 2) RotateY(pose.tires[w], steer);
        RotateX(pose.tires[w], s * kSpinPerUnit);
    }
    return pose;
}

// --- drawing ------------------------------------------------------------------------------------

void DrawSand(const D3DXVECTOR3& eye) {
    static TexturedVertex v[kGroundCells * kGroundCells * 6];
    // The grid stays on whole cells, so the sand does not swim as the camera moves.
    const float x0 = std::floor(eye.x / kGroundCell) * kGroundCell - kGroundCells / 2 * kGroundCell;
    const float z0 = std::floor(eye.z / kGroundCell) * kGroundCell - kGroundCells / 2 * kGroundCell;
    int n = 0;
    for (int i = 0; i < kGroundCells; ++i) {
        for (int j = 0; j < kGroundCells; ++j) {
            const float xa = x0 + i * kGroundCell, xb = xa + kGroundCell;
            const float za = z0 + j * kGroundCell, zb = za + kGroundCell;
            auto at = [&](float x, float z) {
                return TexturedVertex{x, 0.0f, z, kSandColour, x / kSandTile, -z / kSandTile};
            };
            // Clockwise seen from above, as the culling wants a face turned up.
            v[n++] = at(xa, za);
            v[n++] = at(xa, zb);
            v[n++] = at(xb, zb);
            v[n++] = at(xa, za);
            v[n++] = at(xb, zb);
            v[n++] = at(xb, za);
        }
    }
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
    device->SetTexture(0, fileTextures[kTextureDesert].texture);
    device->SetVertexShader(kTexturedVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(n / 3), v, sizeof(TexturedVertex));
}

// The sky around the camera, lowered so that its horizon meets the far edge of the sand (which
// ends at the far plane, below the camera's own horizon).
void DrawSunsetSky(const D3DXVECTOR3& eye) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    D3DXMATRIX world = backgroundModel.localMatrix;
    world._41 = eye.x;
    world._42 = eye.y * (1.0f - kSkyRadius / kFarSand);
    world._43 = eye.z;
    if (backgroundMesh.Loaded()) backgroundMesh.Draw(world);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
}

// The sun's disc and its wide halo on the horizon, additive, behind everything but the sky.
void DrawSun(const D3DXVECTOR3& sun) {
    device->SetTexture(0, fileTextures[kTextureLens].texture);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    SetBillboardWorld(sun.x, sun.y, sun.z);
    DrawQuad3D(0.0f, 0.0f, 0.0f, kHaloSize, kHaloSize, 0x60ff9050u);
    DrawQuad3D(0.0f, 0.0f, 0.0f, kSunSize, kSunSize, 0xe0fff0c0u);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
}

// The embers as camera-facing squares in one batch, added onto the picture.
void DrawEmbers(const Ember* embers, int count) {
    static TexturedVertex v[kEmberSlots * 6];
    const D3DXVECTOR3 right(cameraMatrix._11, cameraMatrix._12, cameraMatrix._13);
    const D3DXVECTOR3 up(cameraMatrix._21, cameraMatrix._22, cameraMatrix._23);
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const Ember& e = embers[i];
        const D3DXVECTOR3 r = right * (e.size * 0.5f), u = up * (e.size * 0.5f);
        const D3DXVECTOR3 a = e.position - r - u, b = e.position + r - u;
        const D3DXVECTOR3 c = e.position - r + u, d = e.position + r + u;
        v[n++] = {a.x, a.y, a.z, e.colour, 0.0f, 1.0f};
        v[n++] = {c.x, c.y, c.z, e.colour, 0.0f, 0.0f};
        v[n++] = {d.x, d.y, d.z, e.colour, 1.0f, 0.0f};
        v[n++] = {a.x, a.y, a.z, e.colour, 0.0f, 1.0f};
        v[n++] = {d.x, d.y, d.z, e.colour, 1.0f, 0.0f};
        v[n++] = {b.x, b.y, b.z, e.colour, 1.0f, 1.0f};
    }
    if (n == 0) return;
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
    device->SetTexture(0, fileTextures[kTextureLens].texture);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetVertexShader(kTexturedVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(n / 3), v, sizeof(TexturedVertex));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
}

void DrawOverlay(const EndingOverlay& o) {
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetTexture(0, nullptr);
    if (o.bandTop < 480 && o.bandAlpha > 0) DrawAcross(o.bandTop, 480, static_cast<uint32_t>(o.bandAlpha) << 24);
    if (o.line >= 0) DrawMaskedLine(kEndingLines[o.line].x, kEndingLineY, kEndingLines[o.line].text, o.mask, kLineHalf);
    if (o.fadeAlpha > 0) DrawAcross(0, 480, static_cast<uint32_t>(o.fadeAlpha) << 24);
}

void DrawEnding(const EndingView& v) {
    if (v.overlay.fadeAlpha < 255) {
        SetSceneView(v.scene);
        DrawSunsetSky(v.scene.eye);
        device->SetRenderState(D3DRS_FOGENABLE, 0);
        DrawSun(v.sun);
        device->SetRenderState(D3DRS_FOGENABLE, 1);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        DrawSand(v.scene.eye);
        device->SetTexture(0, nullptr);
        device->SetRenderState(D3DRS_LIGHTING, 1);
        EnableLight(true);
        DrawVehicle(PlayerVehicleParts(), v.car, v.carEffects);
        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_FOGENABLE, 0);
        DrawEmbers(v.embers, v.emberCount);
    }
    DrawOverlay(v.overlay);
}
}  // namespace

EndingOverlay EndingOverlayAt(int t) {
    EndingOverlay o{};
    o.bandTop = 480;
    o.line = -1;
    o.mask = NoLineMask();
    if (t < kEndingFadeInFrames) o.fadeAlpha = 255 - t;
    if (t > kEndingFadeOut) o.fadeAlpha = t - kEndingFadeOut > 255 ? 255 : t - kEndingFadeOut;
    // The band: rising from the bottom, standing, sinking back.
    if (t > kBandRiseFrom && t <= kBandUp) {
        o.bandTop = static_cast<int>(480.0f - static_cast<float>(t - kBandRiseFrom) / 2.5f);
        o.bandAlpha = (t - kBandRiseFrom) * 255 / (kBandUp - kBandRiseFrom);
    } else if (t > kBandUp && t <= kBandSinkFrom) {
        o.bandTop = kBandTop;
        o.bandAlpha = 255;
    } else if (t > kBandSinkFrom && t <= kEndingFadeOut) {
        o.bandTop = static_cast<int>(static_cast<float>(kBandTop) + static_cast<float>(t - kBandSinkFrom) / 2.5f);
        o.bandAlpha = 255 - (t - kBandSinkFrom) * 255 / (kEndingFadeOut - kBandSinkFrom);
    }
    // The lines, each written out and wiped away again within its 500 frames.
    if (t >= kLineFrom && t < kLineFrom + kEndingLineCount * kLinePeriod) {
        o.line = (t - kLineFrom) / kLinePeriod;
        const int u = t % kLinePeriod;
        if (u < 160) {
            o.mask = RevealLineMask(u, 4, 64);
        } else if (u > 340) {
            o.mask = HideLineMask(u, 4, 1296, 1360);
        }
    }
    return o;
}

D3DXMATRIX EndingCarPlacement(int t) { return CarPlacementAt(static_cast<float>(t)); }

EndingCamera EndingCameraAt(int t) {
    const float ft = static_cast<float>(t);
    const float s = PathDistance(ft);
    const D3DXVECTOR3 car(PathX(s), kBodyHeight, s);
    const float heading = kCameraFollowsHeading * PathHeading(s);
    const D3DXVECTOR3 forward(std::sin(heading), 0.0f, std::cos(heading)), right(forward.z, 0.0f, -forward.x);
    const float yaw = CameraPath(ft, 0), distance = CameraPath(ft, 1), height = CameraPath(ft, 2);
    const float lookUp = CameraPath(ft, 3), lookAhead = CameraPath(ft, 4);
    EndingCamera c;
    c.eye = car + forward * (std::cos(yaw) * distance) + right * (std::sin(yaw) * distance) +
            D3DXVECTOR3(0.0f, height, 0.0f);
    c.at = car + forward * lookAhead + D3DXVECTOR3(0.0f, lookUp, 0.0f);
    return c;
}

D3DXVECTOR3 EndingSunDirection() { return D3DXVECTOR3(0.0f, std::sin(kSunElevation), std::cos(kSunElevation)); }

int EndingEmbersAt(int t, Ember* out) {
    const float carDistance = PathDistance(static_cast<float>(t));
    int count = 0;
    for (int born = t - kEmberLife + 1; born <= t; ++born) {
        const float age = static_cast<float>(t - born);
        const float life = age / static_cast<float>(kEmberLife);
        // Where along the path the ember is now: behind its pod by what it has fallen back.
        const float s = carDistance + kPodLeft.z - kEmberLag * age;
        const float heading = PathHeading(s);
        const D3DXVECTOR3 right(std::cos(heading), 0.0f, -std::sin(heading));
        const D3DXVECTOR3 onPath(PathX(s), kBodyHeight + kPodLeft.y, s);
        for (int side = 0; side < 2; ++side) {
            const int n = 2 * born + side;
            const float pod = side == 0 ? kPodLeft.x : kPodRight.x;
            const float outward = (side == 0 ? -1.0f : 1.0f) * (0.3f + EmberRandom(n, 0));
            const float swirl = std::sin(age * 0.08f + 6.2831853f * EmberRandom(n, 1)) * 1.2f;
            Ember& e = out[count++];
            e.position = onPath + right * (pod + outward * kEmberSpread * age + swirl) +
                         D3DXVECTOR3(0.0f, kEmberRise * age * (0.6f + EmberRandom(n, 2)) + 0.0003f * age * age, 0.0f);
            e.size = 1.0f + kEmberGrowth * age * (0.7f + 0.6f * EmberRandom(n, 3));
            const uint32_t rgb = life < 0.35f ? BlendColour(0xfff0b0u, 0xffa040u, life / 0.35f)
                                              : BlendColour(0xffa040u, 0xc04070u, (life - 0.35f) / 0.65f);
            const float twinkle = 0.7f + 0.3f * std::sin(age * 0.6f + 6.2831853f * EmberRandom(n, 1));
            const float kindle = age < 4.0f ? age / 4.0f : 1.0f;
            const float fade = kEmberBrightness * (1.0f - life) * (1.0f - life) * twinkle * kindle;
            e.colour = (static_cast<uint32_t>(255.0f * fade) << 24) | rgb;
        }
    }
    return count;
}

void EndingSetUp() {
    frameCount = 0;
    if (device) {
        device->SetRenderState(D3DRS_FOGENABLE, 1);
        SetCourseFog(kFogColour, kFogStart, kFogEnd);
        device->SetRenderState(D3DRS_AMBIENT, kAmbient);
    }
    SetKeyLight(DirectionalLight(-EndingSunDirection(), kSunR, kSunG, kSunB));
    SetSecondLight(DirectionalLight(kSkyLightDirection, kSkyR, kSkyG, kSkyB));
    EnterDataDirectory();
    SwitchTune("Ending.mid");
    backgroundMesh.Load("BackGround7.x", 0, 0);
    LeaveDataDirectory();
    backgroundModel.Init(&backgroundMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    backgroundModel.RotateY(kSkyYaw);
    PlayTune();
}

namespace {
// Everything the ending shows at frame t.
void SetEndingViewAt(EndingView& v, int t) {
    const EndingCamera camera = EndingCameraAt(t);
    v.scene = SceneViewLookingAt(camera.eye, camera.at);
    v.car = CarPoseAt(t);
    v.carEffects = VehicleEffects{};
    v.carEffects.gloss = 1;
    v.carEffects.exhaustStep = t % 3;
    v.carEffects.boostFlames = t > kBoostFrom;
    v.carEffects.glow = t > kBoostFrom && t % 2 == 0;
    v.sun = camera.eye + EndingSunDirection() * kSunDistance;
    v.emberCount = EndingEmbersAt(t, v.embers);
    v.overlay = EndingOverlayAt(t);
}

void DrawEndingAt(int t) {
    EndingView v;
    SetEndingViewAt(v, t);
    DrawEnding(v);
}

// The ending as a picture shows it: between two frames of the drive the camera, the car, the sun
// and every ember that lives on placed part of the way from the frame before (not across the skip
// to the fade-out).
struct HeldEnding {
    int t;
    EndingView view;
};
StepPair<HeldEnding> heldEnding;

void DrawEndingPicture() {
    heldEnding.Hold(HeldEnding{frameCount, endingView});
    const HeldEnding& before = heldEnding.before;
    const HeldEnding& now = heldEnding.now;
    if (!BeginFrame(0xff000000u)) return;
    if (!heldEnding.Blends() || before.t + 1 != now.t) {
        DrawEnding(endingView);
        EndFrame();
        return;
    }
    const float f = pictureFraction;
    static EndingView v;
    v = now.view;
    v.scene = BlendSceneView(before.view.scene, now.view.scene, f);
    v.car = BlendPose(before.view.car, now.view.car, f);
    v.sun = BlendPoint(before.view.sun, now.view.sun, f);
    // The two newest embers were born this frame; the others lived on from the frame before,
    // which held `gone` older ones at its front.
    const int gone = before.view.emberCount - (now.view.emberCount - 2);
    if (gone >= 0) {
        for (int i = 0; i + 2 < now.view.emberCount; ++i) {
            const int j = i + gone;
            if (j < before.view.emberCount)
                v.embers[i].position = BlendPoint(before.view.embers[j].position, now.view.embers[i].position, f);
        }
    }
    DrawEnding(v);
    EndFrame();
}
}  // namespace

void EndingFrame() {
    ReadControls();
    const int t = frameCount;
    // The step: everything the frame shows follows from t.
    if (t == kEndingFadeOut) FadeOutTune(4);
    EndingView& v = endingView;
    SetEndingViewAt(v, t);

    ShowStepPicture(DrawEndingPicture);

    // Once the game has been finished before, a key jumps to the fade-out.
    if (coursesOpen >= kAllCoursesOpen && t > kEndingFadeInFrames && t < kEndingFadeOut && SkipPressed()) {
        frameCount = kEndingFadeOut;
        return;
    }
    frameCount += 1;
    if (frameCount > kEndingLastFrame) StartVehicleGallery();
}

void StartEnding() {
    EndingSetUp();
    // The fade-in, the drive with its texts, the boost with its glow and embers, the fade-out:
    // drawn unseen so no frame of the ending waits for the renderer.
    for (int t : {0, 1000, 3000, 3001, 3400}) DrawUnseen(DrawEndingAt, t);
    SetScene(EndingFrame);
}
