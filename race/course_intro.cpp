#include "race/course_intro.h"

#include "courses/course_geometry.h"
#include "courses/course_table.h"
#include "framework/application.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/scene_view.h"
#include "framework/text_draw.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "race/player_vehicle.h"
#include "race/race_scenes.h"
#include "race/race_state.h"

namespace {
constexpr float kBackgroundTurn = 0.01f;
constexpr int kIntroFrames = 600;
constexpr int kSkipFrom = 50, kSkipTo = 550;

SceneView IntroView() {
    return SceneViewLookingAt(D3DXVECTOR3(0.0f, 1000.0f, 0.0f), D3DXVECTOR3(0.0f, 1000.0f, 1.0f));
}
}  // namespace

void StepIntroBackground() { backgroundModel.RotateY(kBackgroundTurn); }

void DrawIntroBackground() {
    if (!device) return;
    SetSceneView(IntroView());
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetTexture(0, nullptr);
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    // The race's sky travels with its camera; here it stands at the origin.
    backgroundModel.localMatrix._41 = backgroundModel.localMatrix._42 = backgroundModel.localMatrix._43 = 0.0f;
    backgroundModel.Draw();
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
    device->SetTexture(0, nullptr);
}

void DrawBlackOver(int alpha) {
    if (alpha <= 0) return;
    device->SetTexture(0, nullptr);
    DrawAcross(0, 480, static_cast<uint32_t>(alpha > 255 ? 255 : alpha) << 24);
}


bool IntroShowsAutoSave(int t) { return t > 40 && t < 160 && autoSave && autoSaveResult != 0; }

// The intro's picture at scene frame t, into the begun frame.
static void DrawIntro(int t) {
    DrawIntroBackground();
    Texture* title = courseTitleTexts[currentCourse >= 1 && currentCourse <= CourseCount ? currentCourse : 1];
    const int w = static_cast<int>(title[0].desc.Width);
    title[1].DrawAt(322 - w / 3, 162);
    title[0].DrawAt(320 - w / 3, 160);
    device->SetTexture(0, nullptr);
    if (t < 40) {
        DrawRect(0, 292, 16 * t, 356, static_cast<uint32_t>(3 * t) << 24);
    } else {
        DrawAcross(292, 356, 0x80000000u);
    }
    BeginText();
    const int laps = CourseLaps(currentCourse);
    if (laps == 1) {
        DrawText(t < 100 ? 2 * (320 - t) : 440, 300, "1 Lap ");
    } else {
        DrawTextFormat(t < 100 ? 2 * (320 - t) : 440, 300, "%d Laps ", laps);
    }
    if (t >= 21) DrawTextFormat(t < 120 ? 2 * (340 - t) : 440, 332, "Number Of Enemies %d ", raceState.enemyCount);
    if (IntroShowsAutoSave(t))
        DrawText(100, 332, autoSaveResult == 1 ? "Auto Save Success " : "Auto Save Failure ");
    EndText();
    if (t < 50) DrawBlackOver(250 - 5 * t);
    if (t >= 551) DrawBlackOver((5 * t + 66) % 256);
}

void DrawIntroKinds() {
    DrawIntro(0);
    DrawIntro(kSkipTo);
}

void PreRaceFrame() {
    ReadControls();
    const int t = frameCount;
    StepIntroBackground();

    if (BeginFrame(0xff000000u)) {
        DrawIntro(t);
        EndFrame();
    }

    if (t > kSkipFrom && t < kSkipTo && SkipPressed()) frameCount = t > 119 ? kSkipTo : 120;
    frameCount += 1;
    if (frameCount >= kIntroFrames) {
        // The car faces world +z on its start section, as the grid has it.
        OrientOnTrack(raceState.placement, 0.0f);
        GlueToSurface();
        SetScene(CountdownFrame, 1);
    }
}
