// The logo on the real device, off-screen: the light streak sweeping over the credit card is keyed
// out where it is black, so the card shows through everywhere but under the streak's light.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "courses/course_setup.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "shell/logo_scene.h"
#include "tests/support/headless_device.h"

namespace {

class LogoScene : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(StartHeadlessDevice() && LoadWorldAssets(false));
        // As in the game: the boot's render state, and course 1 built before the logo.
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_PHONG);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
        ASSERT_TRUE(SetUpCourse(1));
    }
    static void TearDownTestSuite() {
        ReleaseWorldAssets();
        StopHeadlessDevice();
    }
    // The logo's frame t as the screen shows it, RGBA.
    static std::vector<uint8_t> Frame(int t) {
        frameCount = t;
        LogoFrame();
        std::vector<uint8_t> rgba(640 * 480 * 4);
        device->ReadFrame(rgba.data());
        return rgba;
    }
    static int Brightness(const std::vector<uint8_t>& f, int x, int y) {
        const uint8_t* p = &f[(y * 640 + x) * 4];
        return p[0] + p[1] + p[2];
    }
};

TEST_F(LogoScene, TheStreaksBlackLetsTheCreditShowThrough) {
    // Frame 120: the streak is still off screen to the left; frame 150: it covers x -340 to 300
    // over the full height, its light a band about y 240.
    const std::vector<uint8_t> before = Frame(120);
    const std::vector<uint8_t> during = Frame(150);
    // Nowhere does the streak darken the card: what it does not light, it leaves as it was.
    int card = 0, darkened = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 300; ++x) {
            const int b = Brightness(before, x, y), d = Brightness(during, x, y);
            if (b > 60) ++card;
            if (d + 30 < b) ++darkened;
        }
    EXPECT_GT(card, 2000);
    EXPECT_EQ(darkened, 0);
}

}  // namespace
