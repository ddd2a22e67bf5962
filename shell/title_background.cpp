#include "shell/title_background.h"

#include <cmath>

#include "courses/course_setup.h"
#include "framework/application.h"
#include "framework/graphics_device.h"
#include "framework/picture_pacer.h"
#include "framework/placement.h"
#include "framework/scene_view.h"
#include "framework/step_blend.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/data_dir.h"
#include "game/tunes.h"

namespace {
constexpr float kBackgroundTurn = 0.04f;
constexpr int kLetterCount = 6;
constexpr float kLetterX[kLetterCount] = {-500.0f, -290.0f, -80.0f, 130.0f, 340.0f, 550.0f};
// The letters stand in a row far ahead of the viewer, above the middle of the screen; the planets
// circle the origin, passing behind the letters and out of sight behind the viewer.
constexpr float kLetterY = 300.0f, kLetterZ = 1100.0f;
const D3DXVECTOR3 kEye(25.0f, 40.0f, -300.0f), kLookAt(25.0f, 60.0f, 1100.0f);
constexpr uint32_t kGrey = 0xff808080u;
constexpr int kSubtitleTop = 200, kSubtitleRest = 370;
// The title's fog only softens the far planets.
constexpr uint32_t kFogColour = 0xff000010u;
constexpr float kFogStart = 1200.0f, kFogEnd = 2400.0f;

SceneView TitleView() { return SceneViewLookingAt(kEye, kLookAt); }
}  // namespace

namespace {
uint32_t ClockMsAt(uint32_t step) { return static_cast<uint32_t>(static_cast<uint64_t>(step) * 1000u / 60u); }
}  // namespace

// Between two steps the frame counter has moved on; the picture shows the step it was drawn for.
uint32_t MenuClockMs() { return ClockMsAt(pictureBetweenSteps ? pictureStep : frameNumber); }

float LetterTurn(int letter, uint32_t ms) {
    const uint32_t stagger = 300u * static_cast<uint32_t>(letter);
    if (ms < stagger) return 0.0f;
    const uint32_t phase = (ms - stagger) % 4000u;
    if (phase >= 1000u) return 0.0f;
    return kTwoPi * static_cast<float>(phase) / 1000.0f;
}

uint32_t TitleAmbient(int t) {
    if (t <= 180) return 0xff000000u;
    if (t > 360) return kGrey;
    const uint32_t level = static_cast<uint32_t>(0x80 * (t - 180) / 180);
    return 0xff000000u | (level << 16) | (level << 8) | level;
}

int SubtitleLeft(int t) {
    if (t <= 360) return 640;
    if (t > 540) return kSubtitleRest;
    return 640 - (3 * (t - 360)) / 2;
}

void TitleSetUp() {
    if (device) {
        device->SetRenderState(D3DRS_FOGENABLE, 1);
        SetCourseFog(kFogColour, kFogStart, kFogEnd);
        device->SetRenderState(D3DRS_AMBIENT, 0xff000000u);
        for (int i = 1; i < 10; ++i) device->LightEnable(i, 0);
    }
    SetDirectionalLight(0.35f, -0.45f, 1.0f, 0.95f, 0.95f, 1.0f, 1.0f);
    EnterDataDirectory();
    backgroundMesh.Load("BackGround10_1.x", 0, 0);
    SwitchTune("Title.mid");
    LeaveDataDirectory();
    backgroundModel.Init(&backgroundMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    for (int i = 0; i < kLetterCount; ++i)
        letterModels[i].Init(letterModels[i].mesh, kLetterX[i], kLetterY, kLetterZ, 1.0f);
    PlayTune();
    // The title and the menus over it, before the subtitle comes in and after, drawn unseen so no
    // frame of theirs waits for the renderer.
    for (int t : {0, 400}) DrawUnseen(DrawTitleWithMenuKinds, t);
}

void DrawTitleWithMenuKinds(int t) {
    DrawTitleBackground(t);
    DrawEachScreenKind(subtitleTexts[0]);
}

void ReloadTitleTune() {
    EnterDataDirectory();
    SwitchTune("Title.mid");
    LeaveDataDirectory();
}

void StepTitleBackground() { backgroundModel.RotateY(kBackgroundTurn); }

void DrawTitleBackground(int t) {
    if (!device) return;
    SetSceneView(TitleView());
    device->SetRenderState(D3DRS_AMBIENT, TitleAmbient(t));
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    EnableLight(true);
    device->SetTexture(0, nullptr);
    // Between two steps the background stands part of its step's turn along, and the letters
    // part of theirs.
    static StepPair<D3DXMATRIX> heldBackground;
    heldBackground.Hold(backgroundModel.GetWorldMatrix());
    const bool blend = heldBackground.Blends();
    if (backgroundModel.mesh && backgroundModel.visible) {
        backgroundModel.mesh->Draw(blend ? BlendPlacement(heldBackground.before, heldBackground.now, pictureFraction)
                                         : heldBackground.now);
    }

    // The letters stand still through the intro, then turn one after another.
    const uint32_t ms = MenuClockMs();
    const uint32_t msBefore = ClockMsAt((pictureBetweenSteps ? pictureStep : frameNumber) - 1);
    for (int i = 0; i < kLetterCount; ++i) {
        Model& letter = letterModels[i];
        if (!letter.mesh) continue;
        D3DXMATRIX world = MakePlacement(kLetterX[i], kLetterY, kLetterZ, 1.0f);
        if (t > 540) {
            D3DXMATRIX turned = world;
            RotateY(turned, LetterTurn(i, ms));
            if (blend) {
                D3DXMATRIX before = world;
                RotateY(before, LetterTurn(i, msBefore));
                turned = BlendPlacement(before, turned, pictureFraction);
            }
            world = turned;
        }
        letter.mesh->Draw(world);
    }
    device->SetTransform(D3DTS_WORLD, &identityMatrix);

    device->SetRenderState(D3DRS_FOGENABLE, 0);
    EnableLight(false);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetTexture(0, nullptr);
    if (t > 360) {
        const int x = SubtitleLeft(t);
        subtitleTexts[1].DrawAt(x + 1, kSubtitleTop + 1);
        subtitleTexts[0].DrawAt(x, kSubtitleTop);
    }
    device->SetTexture(0, nullptr);
}
