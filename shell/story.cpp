#include "shell/story.h"

#include "courses/course_setup.h"
#include "framework/application.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/placement.h"
#include "framework/scene_view.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "race/race_state.h"
#include "race/vehicle.h"
#include "shell/attract_sequence.h"
#include "shell/scene_lights.h"
#include "shell/title_scene.h"

const StoryLine kStoryLines[kStoryLineCount] = {
    {"I'm not sure when it was . ", 220},
    {"But I barely remember what grandpa said to me . ", 132},
    {"' Nobody could handle that ... ' ", 192},
    {"' Selfish Sylph , ' ", 244},
    {"' \" KORVAN \" ' ", 264},
};

namespace {
constexpr int kLinePeriod = 360;   // a line every 6 seconds
constexpr int kLineShown = 300;    // each shows for 5
constexpr int kLineHalf = 8;       // the bars cover the 16-pixel line in two halves
constexpr int kRevealSteps = 64;
constexpr int kHideFrom = 237, kHideTo = 300;
constexpr int kHeartPeriod = 120;  // one heartbeat every two seconds: two quick pulses
constexpr float kGlide = 0.05f;    // the body's glide along its own forward axis, a frame

// The body starts at the left edge of the view, turned to face across it, so its glide carries it
// slowly toward the middle of the picture as the lines go by.
constexpr float kBodyX = -60.0f, kBodyY = 0.0f, kBodyZ = 60.0f;
constexpr float kBodyYaw = 1.5707963f;
const D3DXVECTOR3 kEye(0.0f, 20.0f, -50.0f), kLookAt(0.0f, 0.0f, 0.0f);

// The dark the body glides through: black fog that swallows it a little more as it goes.
constexpr uint32_t kFogColour = 0xff000000u;
constexpr float kFogStart = 60.0f, kFogEnd = 330.0f;
// A cold light from above, and a red one from below in front (light 1): the body shows dark blue
// over a red glow, the heartbeat's colour.
constexpr float kKeyR = 0.30f, kKeyG = 0.34f, kKeyB = 0.48f;
const D3DXVECTOR3 kKeyDirection(0.35f, -0.8f, 0.45f);
const D3DXVECTOR3 kGlowDirection(-0.3f, 0.8f, 0.5f);
constexpr float kGlowR = 0.85f, kGlowG = 0.12f, kGlowB = 0.08f;

// What the step leaves for drawing.
struct StoryView {
    SceneView scene;
    D3DXMATRIX body;
    StoryLook look;
};
StoryView storyView;
D3DXMATRIX storyBody;


D3DLIGHT8 KeyLight(float boost) {
    return DirectionalLight(kKeyDirection, kKeyR + boost, kKeyG + boost, kKeyB + boost);
}

void DrawStory(const StoryView& v) {
    const StoryLook& look = v.look;
    if (look.overlayAlpha < 255) {
        SetSceneView(v.scene);
        SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        const uint32_t grey = static_cast<uint32_t>(look.ambientLevel);
        device->SetRenderState(D3DRS_AMBIENT, 0xff000000u | (grey << 16) | (grey << 8) | grey);
        const D3DLIGHT8 key = KeyLight(look.lightBoost);
        device->SetLight(0, &key);
        device->LightEnable(0, 1);
        device->SetRenderState(D3DRS_FOGENABLE, 1);
        device->SetRenderState(D3DRS_LIGHTING, 1);
        device->SetRenderState(D3DRS_ZENABLE, 1);
        device->SetTexture(0, nullptr);
        VehicleEffects effects;
        effects.gloss = 1;
        effects.glow = look.heartGlow;
        const VehicleParts parts = PlayerVehicleParts();
        DrawVehicle(parts, RestPose(parts, v.body), effects);
        device->SetTransform(D3DTS_WORLD, &identityMatrix);
    }

    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetTexture(0, nullptr);
    if (look.line >= 0) {
        DrawMaskedLine(kStoryLines[look.line].x, kStoryLineY, kStoryLines[look.line].text, look.mask, kLineHalf);
    }
    if (look.overlayAlpha > 0) DrawAcross(0, 480, static_cast<uint32_t>(look.overlayAlpha) << 24);
}
}  // namespace

StoryLook StoryLookAt(int t) {
    StoryLook look{};
    look.line = -1;
    look.mask = NoLineMask();
    const int line = t / kLinePeriod, w = t % kLinePeriod;
    if (t >= 0 && line < kStoryLineCount && w < kLineShown) look.line = line;
    if (w < kRevealSteps) {
        look.mask = RevealLineMask(w, 10, 128);
    } else if (w >= kHideFrom && w <= kHideTo && t < kStoryFadeFrom) {
        look.mask = HideLineMask(w, 10, 2232, 2360);
    }
    const int beat = t % kHeartPeriod;
    look.heartGlow = t < kStoryFadeFrom && (beat <= 2 || (beat >= 20 && beat <= 22));
    look.heartSound = t < kStoryFadeFrom && beat == 0;
    if (t >= kStoryFadeFrom) {
        const int f = (t < kStoryFadeTo ? t : kStoryFadeTo) - kStoryFadeFrom;
        look.ambientLevel = static_cast<int>(1.55f * static_cast<float>(f));
        look.lightBoost = 0.01f * static_cast<float>(f);
        look.overlayAlpha = t > kStoryFadeTo ? 255 : static_cast<int>(2.55f * static_cast<float>(f));
    }
    return look;
}

namespace {
// The prologue's looks at its moments (a line revealed and the heart's glow, a line hidden, the
// fade), drawn unseen by the set-up so no frame of it waits for the renderer.
constexpr int kRehearsedFrames[] = {0, 300, kStoryFadeFrom + 50};

void DrawStoryAt(int t) {
    StoryView v = storyView;
    v.look = StoryLookAt(t);
    DrawStory(v);
}
}  // namespace

void StorySetUp() {
    frameCount = 0;
    storyBody = MakePlacement(kBodyX, kBodyY, kBodyZ, 1.0f);
    RotateY(storyBody, kBodyYaw);
    storyView.scene = SceneViewLookingAt(kEye, kLookAt);
    storyView.body = storyBody;
    if (!device) return;
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    SetCourseFog(kFogColour, kFogStart, kFogEnd);
    device->SetRenderState(D3DRS_AMBIENT, 0xff000000u);
    SetKeyLight(KeyLight(0.0f));
    SetSecondLight(DirectionalLight(kGlowDirection, kGlowR, kGlowG, kGlowB));
    for (int t : kRehearsedFrames) DrawUnseen(DrawStoryAt, t);
}

void StoryFrame() {
    ReadControls();
    const int t = frameCount;
    // The step: the glide, the heartbeat, what this frame shows.
    if (t < kStoryFadeFrom) MoveLocal(storyBody, 0.0f, 0.0f, kGlide);
    storyView.body = storyBody;
    storyView.look = StoryLookAt(t);
    if (storyView.look.heartSound) PlaySound(kSoundHeartBeat);

    if (BeginFrame(0xff000000u)) {
        DrawStory(storyView);
        EndFrame();
    }

    if (SkipPressed()) {
        PlaySound(kSoundAccept);
        ResetRace();
        GoToTitleScreen();
        return;
    }
    frameCount += 1;
    if (frameCount > kStoryLastFrame) EndAttractStep(kAttractStory);
}

void StartStory() {
    StorySetUp();
    SetScene(StoryFrame);
}
