#include "shell/demonstration.h"

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/controls.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "game/tunes.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "race/race_world.h"
#include "shell/attract_sequence.h"

namespace {
constexpr int kDemoCourse = 15;
constexpr int kFadeInFrames = 255;
constexpr int kFadeOutFrom = 906, kFadeOutTo = 1160;
constexpr int kTuneFade = 950;
constexpr int kDemoFrames = 1200;

// The black over the picture: fading in over the first 255 frames, out from 906 to 1160.
uint32_t DemoOverlayAlpha(int t) {
    if (t < kFadeInFrames) return static_cast<uint32_t>(255 - t);
    if (t < kFadeOutFrom) return 0;
    if (t <= kFadeOutTo) return static_cast<uint32_t>(t - kFadeOutFrom + 1);
    return 255;
}

void DrawDemonstrationPicture() {
    if (BeginFrame(0xff000000u)) {
        DrawRaceWorld(raceWorld);
        BeginOverlay();
        DrawPair(skipTexts, 282, 422, 280, 420);
        device->SetTexture(0, nullptr);
        const uint32_t alpha = DemoOverlayAlpha(frameCount);
        if (alpha > 0) DrawAcross(0, 480, alpha << 24);
        EndFrame();
    }
}
}  // namespace

void DemonstrationSetUp() {
    frameCount = 0;
    if (!PrepareDemonstration(kDemoCourse)) {
        LogWarning("demonstration: course %d cannot be set up\n", kDemoCourse);
    }
    frameCount = 0;
    EnableLight(false);
    PlayTune();
}

void DemonstrationFrame() {
    ReadControls();
    RaceStep();
    const int t = frameCount;
    if (t == kTuneFade) FadeOutTune(5);

    ShowStepPicture(DrawDemonstrationPicture);

    if (t < kTuneFade && SkipPressed()) {
        frameCount = kTuneFade;
        FadeOutTune(5);
        PlaySound(kSoundAccept);
    }
    frameCount += 1;
    if (frameCount >= kDemoFrames) EndAttractStep(kAttractDemonstration);
}

void StartDemonstration() {
    DemonstrationSetUp();
    SetScene(DemonstrationFrame);
}
