// The per-course frame machinery: the draw window, the gate and banner rule, the ambient sound
// rule, the road drawn off-screen for exactly the windowed sections, and course 1 rendered from
// its grid and from above (written as PNGs beside the test for a look).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "courses/course_builder.h"
#include "courses/course_draw.h"
#include "courses/course_geometry.h"
#include "courses/course_setup.h"
#include "framework/graphics_device.h"
#include "framework/scene_view.h"
#include "framework/mesh.h"
#include "framework/screenshot.h"
#include "framework/sound.h"
#include "platform/system.h"
#include "game/asset_tables.h"
#include "game/data_dir.h"
#include "game/settings.h"
#include "tests/support/headless_device.h"
#include "tests/support/course_view.h"

namespace {

std::vector<int> Window(int c, int range, int n) {
    std::vector<int> out(2 * range + 1);
    out.resize(DrawWindowSections(c, range, n, out.data()));
    return out;
}

TEST(DrawWindow, AheadFarToNearThenBehindWrapped) {
    const std::vector<int> want = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 141, 142, 143, 144, 145, 146, 147, 148, 149};
    EXPECT_EQ(Window(0, 10, 150), want);
    // Near the end of the loop the ahead run wraps past the line.
    const std::vector<int> end = {1, 0, 149, 147, 148};
    EXPECT_EQ(Window(149, 3, 150), end);
    // A window of one section has no behind run.
    EXPECT_EQ(Window(42, 1, 150), std::vector<int>{42});
}

TEST(DrawWindow, GateOnlyWhileTheLineCanBeInTheWindow) {
    for (int c = 0; c < 150; ++c) {
        const bool shown = c < 10 || c > 140;
        EXPECT_EQ(StartLineInWindow(c, 10, 150), shown) << c;
    }
}

TEST(Banner, BlinksGoUntilTheFinalLapThenShowsFinish) {
    // Five laps, three done: more than one lap left, "GO2.bmp" on 3 frames in every 40.
    int goFrames = 0;
    for (int f = 0; f < 400; ++f) {
        BannerSign sign = ChooseBanner(5, 3, f);
        EXPECT_NE(sign, BannerSign::Finish);
        if (sign == BannerSign::Go) {
            ++goFrames;
            EXPECT_LT(f % 40, 3);
        }
    }
    EXPECT_EQ(goFrames, 30);
    // Four done: the final lap, "FINISH.bmp" every frame; a one-lap course shows it from the
    // first crossing on, and blinks "GO2.bmp" on the grid before it.
    for (int f = 0; f < 80; ++f) EXPECT_EQ(ChooseBanner(5, 4, f), BannerSign::Finish);
    EXPECT_EQ(ChooseBanner(1, 0, 7), BannerSign::Finish);
    EXPECT_EQ(ChooseBanner(1, -1, 40), BannerSign::Go);
    EXPECT_EQ(ChooseBanner(1, -1, 7), BannerSign::Hidden);
}

TEST(AmbientSound, OnlyOnMultiplesOf300AndNeverWithoutSounds) {
    Sound silent;  // empty: never playing, so only the frame and setting rules decide
    const int savedBgm = bgmType;
    bgmType = 1;
    CourseView v{};
    for (int f : {0, 300, 600, 9000}) {
        v.frame = f;
        EXPECT_TRUE(PlayAmbientSound(v, silent)) << f;
    }
    for (int f : {1, 150, 299, 301, 599}) {
        v.frame = f;
        EXPECT_FALSE(PlayAmbientSound(v, silent)) << f;
    }
    bgmType = 0;
    for (int f : {0, 300, 600}) {
        v.frame = f;
        EXPECT_FALSE(PlayAmbientSound(v, silent)) << f;
    }
    bgmType = 2;
    v.paused = true;
    v.frame = 300;
    EXPECT_FALSE(PlayAmbientSound(v, silent));
    bgmType = savedBgm;
}

// --- off-screen rendering -----------------------------------------------------------------------

class CourseRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ready = StartHeadlessDevice();
    }
    static void TearDownTestSuite() {
        ReleaseWorldAssets();
        StopHeadlessDevice();
    }
    void SetUp() override {
        if (!ready) GTEST_SKIP() << "no off-screen device";
    }

    static std::vector<uint8_t> Frame() {
        std::vector<uint8_t> rgba(640 * 480 * 4);
        device->ReadFrame(rgba.data());
        return rgba;
    }

    static const uint8_t* Pixel(const std::vector<uint8_t>& f, int x, int y) { return &f[(y * 640 + x) * 4]; }

    static bool ready;
};
bool CourseRenderTest::ready = false;

TEST_F(CourseRenderTest, RoadIsDrawnForTheWindowedSectionsOnly) {
    // A 150-section straight along +z, untextured and unlit: drawn quads are white.
    BuildStraightCourse();

    ASSERT_TRUE(BeginFrame(0xff000000u));
    const CourseView v = LookFrom(D3DXVECTOR3(100, 800, 1000), D3DXVECTOR3(100, 0, 1000), D3DXVECTOR3(0, 0, 1), 0);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetTexture(0, nullptr);
    DrawRoadWindow(v);
    const std::vector<uint8_t> f = Frame();
    EndFrame();
    // z = 950 (section 9, inside the window) lies below the centre, z = 1050 (section 10) above.
    EXPECT_EQ(Pixel(f, 320, 290)[0], 255);
    EXPECT_EQ(Pixel(f, 320, 290)[1], 255);
    EXPECT_EQ(Pixel(f, 320, 190)[0], 0);
    // Beside the road nothing is drawn.
    EXPECT_EQ(Pixel(f, 20, 290)[0], 0);
}

TEST_F(CourseRenderTest, SceneryIsDrawnOnlyInsideTheWindowAndNearTheCamera) {
    ASSERT_EQ(chdir(KORVAN_BUILD_DIR), 0);
    Mesh tree;
    ASSERT_TRUE(LoadTreeModel(tree));
    BuildStraightCourse();
    for (int m = 0; m < 300; ++m) sceneryPool[m].Init(&tree, 0, 0, 0, 1.0f);
    PlaceSceneryPool(sceneryPool);

    // Draw calls made by one scenery run with the given models flagged.
    auto drawCalls = [](bool nearTest, bool (*flag)(int section), const D3DXVECTOR3& eye) {
        for (int m = 0; m < 300; ++m) courseGeometry.sceneryOn[m] = flag(m / 2) ? 1 : 0;
        BeginFrame(0xff000000u);
        const CourseView v = LookFrom(eye, eye + D3DXVECTOR3(0, -1, 0.2f), D3DXVECTOR3(0, 1, 0), 0);
        const UINT before = device->DrawCallCount();
        if (nearTest) DrawSceneryNear(v); else DrawSceneryOnScreen(v);
        const UINT calls = device->DrawCallCount() - before;
        EndFrame();
        return calls;
    };
    const D3DXVECTOR3 above(100, 1500, 400);
    for (bool nearTest : {true, false}) {
        SCOPED_TRACE(nearTest);
        const UINT all = drawCalls(nearTest, [](int) { return true; }, above);
        const UINT inside = drawCalls(nearTest, [](int s) { return s < 10 || s > 140; }, above);
        const UINT outside = drawCalls(nearTest, [](int s) { return s >= 10 && s <= 140; }, above);
        EXPECT_GT(inside, 0u);
        EXPECT_EQ(all, inside);
        EXPECT_EQ(outside, 0u);
        // The same view from 2100 up: every model is more than 2000 units away.
        EXPECT_EQ(drawCalls(nearTest, [](int) { return true; }, D3DXVECTOR3(100, 2100, 400)), 0u);
    }
    for (int m = 0; m < 300; ++m) {
        courseGeometry.sceneryOn[m] = 0;
        sceneryPool[m].Init(&sceneryMeshes[0], 0, 0, 0, 1.0f);
    }
}

TEST_F(CourseRenderTest, FogModeFollowsFogTypeWithTheSameColourAndRange) {
    const int savedFog = fogType;
    for (int type : {1, 0, 1}) {
        SCOPED_TRACE(type);
        fogType = type;
        ASSERT_TRUE(SetUpCourse(1));
        DWORD table = 0, vertex = 0, colour = 0, enabled = 0, start = 0, end = 0, ambient = 0;
        device->GetRenderState(D3DRS_FOGTABLEMODE, &table);
        device->GetRenderState(D3DRS_FOGVERTEXMODE, &vertex);
        device->GetRenderState(D3DRS_FOGCOLOR, &colour);
        device->GetRenderState(D3DRS_FOGENABLE, &enabled);
        device->GetRenderState(D3DRS_FOGSTART, &start);
        device->GetRenderState(D3DRS_FOGEND, &end);
        device->GetRenderState(D3DRS_AMBIENT, &ambient);
        EXPECT_EQ(table, type == 1 ? DWORD(D3DFOG_LINEAR) : DWORD(D3DFOG_NONE));
        if (type == 0) {
            EXPECT_EQ(vertex, DWORD(D3DFOG_LINEAR));
        }
        EXPECT_EQ(enabled, 1u);
        EXPECT_EQ(colour, 0xff40ffffu);
        float startF, endF;
        std::memcpy(&startF, &start, 4);
        std::memcpy(&endF, &end, 4);
        EXPECT_EQ(startF, 1.0f);
        EXPECT_EQ(endF, 2000.0f);
        EXPECT_EQ(ambient, 0xffd0d0d0u);
        // Light 0: course 1's sun, (0, -1, -1) normalised, white; lights 1 to 9 off.
        EXPECT_NEAR(light0.Direction.z, -0.7071068f, 1e-5f);
        EXPECT_EQ(light0.Diffuse.r, 1.0f);
        BOOL on = 1;
        device->GetLightEnable(1, &on);
        EXPECT_EQ(on, 0);
    }
    fogType = savedFog;
}

// The sky is drawn after the world, on the far plane: it shows only where nothing was drawn, even
// beside a wall so far away that the 16-bit depth buffer would round its depth to the far plane's,
// and what is drawn after the course finds the states the world left.
TEST_F(CourseRenderTest, TheSkyDrawnAfterTheWorldFillsOnlyWhatTheWorldLeft) {
    ASSERT_TRUE(LoadWorldAssets(false));
    ASSERT_TRUE(SetUpCourse(1));
    ASSERT_TRUE(BeginFrame(0xff000000u));
    const CourseView v = LookFrom(D3DXVECTOR3(100, 100, -70), D3DXVECTOR3(100, 120, 500), D3DXVECTOR3(0, 1, 0), 149);
    SetSceneView(v.scene);
    SetSkyStates();
    WorldLightingOn();
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetTexture(0, nullptr);
    // The far wall: a screen rectangle over the left half at a depth a 16-bit buffer keeps only
    // just short of the far plane.
    struct Vertex {
        float x, y, z, rhw;
        uint32_t colour;
    };
    const Vertex wall[4] = {{0, 0, 0.999995f, 1, 0xff00ff00u}, {320, 0, 0.999995f, 1, 0xff00ff00u},
                            {0, 480, 0.999995f, 1, 0xff00ff00u}, {320, 480, 0.999995f, 1, 0xff00ff00u}};
    device->SetVertexShader(0x044);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, wall, sizeof(Vertex));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    GfxTexture* worldTexture = roadTexture.texture;
    device->SetTexture(0, worldTexture);
    BeginBehindWorld();
    DrawSky(v);
    EndBehindWorld();
    const std::vector<uint8_t> f = Frame();
    EndFrame();
    EXPECT_EQ(Pixel(f, 100, 240)[0], 0);
    EXPECT_EQ(Pixel(f, 100, 240)[1], 255) << "the sky covered the far wall";
    EXPECT_EQ(Pixel(f, 100, 240)[2], 0);
    const uint8_t* sky = Pixel(f, 500, 100);
    EXPECT_GT(sky[0] + sky[1] + sky[2], 100) << "the sky fills the right half";
    DWORD cull = 0, lighting = 1, fog = 1;
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    device->GetRenderState(D3DRS_FOGENABLE, &fog);
    EXPECT_EQ(cull, DWORD(D3DCULL_NONE));
    EXPECT_EQ(lighting, 0u);
    EXPECT_EQ(fog, 0u);
    EXPECT_EQ(device->GetTexture(0), worldTexture);
}

TEST_F(CourseRenderTest, CourseOneFromItsGridAndFromAbove) {
    ASSERT_TRUE(LoadWorldAssets(false));
    renderLevel = 2;
    ASSERT_TRUE(SetUpCourse(1));
    ASSERT_NE(courseFrameProc, nullptr);

    // From the grid (the player on section 149), and from high above the first bend (the player on
    // section 20, so the window holds the start straight and the bend).
    struct Shot { const char* file; int section; D3DXVECTOR3 eye, at, up; } shots[] = {
        {"course01_grid.png", 149, D3DXVECTOR3(100, 100, -70), D3DXVECTOR3(100, 74, 120), D3DXVECTOR3(0, 1, 0)},
        {"course01_above.png", 20, D3DXVECTOR3(-250, 600, 500), D3DXVECTOR3(500, 64, 1500), D3DXVECTOR3(0, 1, 0)},
    };
    for (const Shot& shot : shots) {
        SCOPED_TRACE(shot.file);
        ASSERT_TRUE(BeginFrame(0xff000000u));
        const CourseView v = LookFrom(shot.eye, shot.at, shot.up, shot.section, 30, 1);
        if (courseStepProc) courseStepProc(v);
        courseFrameProc(v);
        const std::vector<uint8_t> f = Frame();
        EndFrame();
        EXPECT_TRUE(WritePng((std::string(KORVAN_BUILD_DIR) + "/" + shot.file).c_str(), f.data(), 640, 480));
        // Something of the course covers most of the frame: few pixels keep the black clear.
        int black = 0;
        for (int i = 0; i < 640 * 480; ++i) {
            if (f[i * 4] == 0 && f[i * 4 + 1] == 0 && f[i * 4 + 2] == 0) ++black;
        }
        EXPECT_LT(black, 640 * 480 / 10);
    }
    renderLevel = 0;
}

}  // namespace
