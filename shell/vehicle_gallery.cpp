#include "shell/vehicle_gallery.h"

#include <cmath>

#include "courses/course_draw.h"
#include "courses/course_setup.h"
#include "framework/application.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/placement.h"
#include "framework/scene_view.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/data_dir.h"
#include "game/progress.h"
#include "game/scene_flow.h"
#include "game/tunes.h"
#include "race/vehicle.h"
#include "shell/scene_lights.h"
#include "shell/staff_roll.h"

const GalleryVehicle kGalleryVehicles[kGalleryVehicleCount] = {
    {4, 0.0f, "       BuSkel \n(Bullet Of Skeleton) ", 240, 1.0f},
    {3, 300.0f, "Hannya ", 296, 1.12f},  // the widest: the camera stands a little further off
    {2, 600.0f, "Killer - Bee ", 272, 1.0f},
    {1, 900.0f, "ZORVAN ", 296, 1.0f},
    {0, 1200.0f, "Black - Hornet ", 264, 1.0f},
    {-1, 1500.0f, "KORVAN ", 296, 1.0f},
};

namespace {
constexpr float kPi = 3.14159265f;
constexpr uint32_t kFogColour = 0xffff8040u;
constexpr float kFogStart = 1.0f, kFogEnd = 2000.0f;
constexpr float kBackgroundTurn = 0.005f;

// The row: the cars stand 300 apart at y 0, z -1.
constexpr float kRowY = 0.0f, kRowZ = -1.0f;
constexpr float kSpacing = 300.0f;
constexpr int kFirstVisit = 300;  // the camera's first slide starts here
constexpr int kPeriod = 600;      // one car a period: a slide, then a rest
constexpr int kSlide = 300;
constexpr int kNameFrom = 601, kNameFrames = 300;

// The framing: resting on a car the camera stands low and close in front of it, looking at its
// middle, so the car fills most of the picture above its name. On the way from one car to the next
// it pulls back and up and comes in again, and while it rests it creeps a little closer.
constexpr float kRestEyeY = 9.0f, kRestEyeZ = -36.0f, kLookY = -2.5f;
constexpr float kPullBackZ = 34.0f, kPullBackY = 12.0f;
constexpr float kCreepZ = 5.0f, kCreepY = 1.5f;

// The cars turn on their pools of light: each shows its flank as the camera arrives and turns its
// nose toward the camera while its name shows, always seen three-quarters on, never head-on (where
// a car is at its narrowest).
constexpr float kArrivalYaw = kPi - 1.25f;
constexpr float kTurnPerFrame = 0.0025f;
constexpr float kPoolRadius = 30.0f;
// However far back the camera pulls, the cars more than this far to its side are out of the picture.
constexpr float kInSight = 160.0f;

// A key light from above the camera's left, and light 1 a warm rim from behind the row.
const D3DXVECTOR3 kKeyDirection(0.5f, -0.6f, 0.6f);
const D3DXVECTOR3 kRimDirection(-0.5f, -0.35f, -0.8f);

struct GalleryView {
    SceneView scene;
    D3DXMATRIX bodies[kGalleryVehicleCount];
    int name;
    int fadeAlpha;
};
GalleryView galleryView;


float SmoothStep(float s) { return s * s * (3.0f - 2.0f * s); }

// Where car i's rest begins: the second half of its period.
int RestStart(int i) { return kFirstVisit + kPeriod * i + kSlide; }

// How far the camera stands off car k of the row (past either end, the car at that end).
float ReachOf(int k) {
    if (k < 0) k = 0;
    if (k >= kGalleryVehicleCount) k = kGalleryVehicleCount - 1;
    return kGalleryVehicles[k].reach;
}

VehicleParts PartsOf(const GalleryVehicle& v) {
    return v.slot < 0 ? PlayerVehicleParts() : OpponentVehicleParts(v.slot);
}

// The pool of light under a car: a disc laid flat on the ground, brightest in the middle.
void DrawPool(float x) {
    D3DXMATRIX world;
    D3DXMatrixRotationX(&world, kPi / 2.0f);
    world._41 = x;
    world._42 = kRowY - kBodyLift + 0.2f;
    world._43 = kRowZ;
    device->SetTransform(D3DTS_WORLD, &world);
    DrawDisc(0.0f, 0.0f, 0.0f, kPoolRadius, 0xb0ffc890u, 0x00ff8040u);
}

void DrawGallery(const GalleryView& v) {
    if (v.fadeAlpha < 255) {
        SetSceneView(v.scene);
        CourseView sky{};
        sky.scene = v.scene;
        DrawSky(sky);
        // The pools, then the cars on them.
        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_FOGENABLE, 1);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
        device->SetTexture(0, nullptr);
        SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        for (const GalleryVehicle& g : kGalleryVehicles)
            if (std::fabs(g.x - v.scene.eye.x) <= kInSight) DrawPool(g.x);
        device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetTransform(D3DTS_WORLD, &identityMatrix);
        device->SetRenderState(D3DRS_LIGHTING, 1);
        EnableLight(true);
        VehicleEffects effects;
        effects.gloss = 1;
        for (int i = 0; i < kGalleryVehicleCount; ++i) {
            // Only the cars beside the camera can be in the picture.
            if (std::fabs(kGalleryVehicles[i].x - v.scene.eye.x) > kInSight) continue;
            const VehicleParts parts = PartsOf(kGalleryVehicles[i]);
            DrawVehicle(parts, RestPose(parts, v.bodies[i]), effects);
        }
        device->SetTransform(D3DTS_WORLD, &identityMatrix);
    }

    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetTexture(0, nullptr);
    if (v.name >= 0) {
        const GalleryVehicle& g = kGalleryVehicles[v.name];
        BeginText();
        DrawText(g.nameX, kGalleryNameY, g.name);
        EndText();
        device->SetTexture(0, nullptr);
    }
    if (v.fadeAlpha > 0) DrawAcross(0, 480, static_cast<uint32_t>(v.fadeAlpha) << 24);
}
}  // namespace

float GalleryCameraX(int t) {
    const int u = t - kFirstVisit;
    if (u < 0) return -kSpacing;
    const int k = u / kPeriod, r = u - kPeriod * k;
    if (r < kSlide) return kSpacing * static_cast<float>(k - 1) + kSpacing * SmoothStep(static_cast<float>(r) / kSlide);
    return kSpacing * static_cast<float>(k);
}

GalleryCamera GalleryCameraAt(int t) {
    const float x = GalleryCameraX(t);
    const int u = t - kFirstVisit;
    float pull = 0.0f, creep = 0.0f, reach = kGalleryVehicles[0].reach;
    if (u >= 0) {
        const int k = u / kPeriod, r = u % kPeriod;
        const float here = ReachOf(k);
        if (r < kSlide) {
            const float s = static_cast<float>(r) / kSlide;
            pull = std::sin(kPi * s);
            const float before = ReachOf(k - 1);
            reach = before + (here - before) * SmoothStep(s);
        } else {
            creep = static_cast<float>(r - kSlide) / static_cast<float>(kPeriod - kSlide);
            reach = here;
        }
    }
    GalleryCamera c;
    c.at = D3DXVECTOR3(x, kLookY, kRowZ);
    c.eye = c.at + D3DXVECTOR3(0.0f, (kRestEyeY - kLookY) * reach + kPullBackY * pull - kCreepY * creep,
                               (kRestEyeZ - kRowZ) * reach - kPullBackZ * pull + kCreepZ * creep);
    return c;
}

int GalleryNameAt(int t) {
    const int n = t - kNameFrom;
    if (n < 0) return -1;
    const int car = n / kPeriod;
    if (car >= kGalleryVehicleCount || n % kPeriod >= kNameFrames) return -1;
    return car;
}

D3DXMATRIX GalleryVehiclePlacement(int i, int t) {
    D3DXMATRIX m = MakePlacement(kGalleryVehicles[i].x, kRowY, kRowZ, 1.0f);
    RotateY(m, kArrivalYaw + kTurnPerFrame * static_cast<float>(t - RestStart(i)));
    return m;
}

int GalleryFadeAlpha(int t) {
    if (t < kGalleryFadeInFrames) return 255 - t;
    if (t > kGalleryFadeOut) return t - kGalleryFadeOut > 255 ? 255 : t - kGalleryFadeOut;
    return 0;
}

uint32_t GalleryAmbient() { return maxActiveLights < 2 ? 0xffffffffu : 0xff000000u; }

void GallerySetUp() {
    frameCount = 0;
    if (device) {
        device->SetRenderState(D3DRS_FOGENABLE, 1);
        SetCourseFog(kFogColour, kFogStart, kFogEnd);
        device->SetRenderState(D3DRS_AMBIENT, GalleryAmbient());
    }
    SetKeyLight(DirectionalLight(kKeyDirection, 0.95f, 0.9f, 0.85f));
    SetSecondLight(DirectionalLight(kRimDirection, 0.9f, 0.5f, 0.25f));
    EnterDataDirectory();
    SwitchTune("Ending2.mid");
    backgroundMesh.Load("BackGround8.x", 0, 0);
    LeaveDataDirectory();
    backgroundModel.Init(&backgroundMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    PlayTune();
}

namespace {
// Everything the gallery shows at frame t (the sky's turn aside).
void SetGalleryViewAt(GalleryView& v, int t) {
    const GalleryCamera camera = GalleryCameraAt(t);
    v.scene = SceneViewLookingAt(camera.eye, camera.at);
    for (int i = 0; i < kGalleryVehicleCount; ++i) v.bodies[i] = GalleryVehiclePlacement(i, t);
    v.name = GalleryNameAt(t);
    v.fadeAlpha = GalleryFadeAlpha(t);
}

void DrawGalleryAt(int t) {
    GalleryView v;
    SetGalleryViewAt(v, t);
    DrawGallery(v);
}
}  // namespace

void GalleryFrame() {
    ReadControls();
    const int t = frameCount;
    // The step.
    if (t == kGalleryFadeOut) FadeOutTune(5);
    backgroundModel.RotateY(kBackgroundTurn);
    GalleryView& v = galleryView;
    SetGalleryViewAt(v, t);

    if (BeginFrame(0xff000000u)) {
        DrawGallery(v);
        EndFrame();
    }

    if (coursesOpen >= kAllCoursesOpen && t < kGalleryFadeOut && SkipPressed()) {
        frameCount = kGalleryFadeOut;
        return;
    }
    frameCount += 1;
    if (frameCount > kGalleryLastFrame) {
        SecondLightOff();
        SetScene(StaffRollFrame);
    }
}

void StartVehicleGallery() {
    GallerySetUp();
    // The fade-in and a car with its name, and the staff roll after it, drawn unseen so no frame
    // of theirs waits for the renderer.
    for (int t : {100, 1000}) DrawUnseen(DrawGalleryAt, t);
    DrawStaffRollUnseen();
    SetScene(GalleryFrame);
}
