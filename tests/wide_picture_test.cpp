// Wide pictures: the size drawn for a window of any shape, the 640 x 480 layer whole in the middle
// of a wider picture, covers across its whole width, the 3D's on-screen tests agreeing with what
// the wide view shows, and the game's own fades over a wide race.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "courses/course_builder.h"
#include "courses/course_draw.h"
#include "courses/course_geometry.h"
#include "courses/course_setup.h"
#include "framework/config_file.h"
#include "framework/draw2d.h"
#include "framework/graphics_device.h"
#include "framework/mesh.h"
#include "framework/scene_view.h"
#include "game/asset_tables.h"
#include "game/data_dir.h"
#include "tests/support/course_view.h"
#include "tests/support/headless_device.h"
#include "tests/support/run_game.h"
#include "tests/support/screen_image.h"

namespace {

TEST(WideRenderSize, TheWindowsShapeHeldBetweenFourThirdsAnd21By9) {
    struct Case {
        RenderResolution resolution;
        int windowWidth, windowHeight, width, height;
    };
    const Case cases[] = {
        {RenderResolution::k1x, 1280, 720, 854, 480},      // 16:9 at 480 lines, an even width
        {RenderResolution::k2x, 1280, 720, 1708, 960},
        {RenderResolution::kWindow, 1280, 720, 1280, 720},  // pixel for pixel
        {RenderResolution::k1x, 1920, 1200, 768, 480},     // 16:10
        {RenderResolution::k1x, 2560, 1080, 1120, 480},    // wider than 21:9: held at 21:9
        {RenderResolution::kWindow, 2560, 1080, 2520, 1080},
        {RenderResolution::k1x, 1280, 1024, 640, 480},     // 5:4: the 640 x 480 layer must fit whole
        {RenderResolution::kWindow, 1280, 1024, 1280, 960},
        {RenderResolution::kWindow, 640, 360, 854, 480},   // never below 480 lines
        {RenderResolution::k1x, 0, 0, 640, 480},           // a window with no area yet
    };
    for (const Case& c : cases) {
        const RenderSize s = WideRenderSizeFor(c.resolution, c.windowWidth, c.windowHeight);
        EXPECT_EQ(s.width, c.width) << c.windowWidth << " x " << c.windowHeight;
        EXPECT_EQ(s.height, c.height) << c.windowWidth << " x " << c.windowHeight;
    }
}

// A device drawing a 16:9 picture at 1x (854 x 480) in a 1280 x 720 off-screen window.
class WideDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        displayAspect.value = kAspectWide;
        ready = StartHeadlessDevice("", 1280, 720);
    }
    static void TearDownTestSuite() {
        StopHeadlessDevice();
        displayAspect.value = kAspect43;
    }
    void SetUp() override {
        if (!ready) GTEST_SKIP() << "no off-screen device";
        ASSERT_EQ(device->FrameWidth(), 854u);
        ASSERT_EQ(device->FrameHeight(), 480u);
    }
    // A frame cleared to black with flat, unlit, untextured drawing and no depth test.
    static void BeginFlatFrame() {
        ASSERT_TRUE(BeginFrame(0xff000000u));
        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_ZENABLE, 0);
        device->SetRenderState(D3DRS_FOGENABLE, 0);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetTexture(0, nullptr);
    }
    static void EndFlatFrame() {
        EndFrame();
        device->SetRenderState(D3DRS_ZENABLE, 1);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_LIGHTING, 1);
    }
    static std::vector<uint8_t> Frame() {
        std::vector<uint8_t> rgba(854 * 480 * 4);
        device->ReadFrame(rgba.data());
        return rgba;
    }
    static int Red(const std::vector<uint8_t>& f, int x, int y) { return f[(y * 854 + x) * 4]; }
    // The columns of row y that are lit.
    static int LitColumns(const std::vector<uint8_t>& f, int y) {
        int n = 0;
        for (int x = 0; x < 854; ++x) n += Red(f, x, y) > 128 ? 1 : 0;
        return n;
    }
    static bool ready;
};
bool WideDevice::ready = false;

TEST_F(WideDevice, TheLayerStandsInTheMiddleAndCoversSpanTheWholeWidth) {
    EXPECT_EQ(pictureLeft, -107);
    EXPECT_EQ(pictureRight, 747);
    EXPECT_FLOAT_EQ(pictureWidth, 854.0f);

    // The 640 x 480 layer's own rectangle: columns 107 to 746 of the picture, not one more.
    BeginFlatFrame();
    DrawRect(0, 0, 640, 480, 0xffffffffu);
    std::vector<uint8_t> f = Frame();
    EndFlatFrame();
    for (int y : {0, 240, 479}) {
        EXPECT_EQ(Red(f, 106, y), 0) << y;
        EXPECT_EQ(Red(f, 107, y), 255) << y;
        EXPECT_EQ(Red(f, 746, y), 255) << y;
        EXPECT_EQ(Red(f, 747, y), 0) << y;
    }

    // A cover reaches both edges.
    BeginFlatFrame();
    DrawAcross(0, 480, 0xffffffffu);
    f = Frame();
    EndFlatFrame();
    for (int y : {0, 240, 479}) EXPECT_EQ(LitColumns(f, y), 854) << y;

    // Curtains halfway in cover half the picture, in two quarters from its edges; closed, all of it.
    BeginFlatFrame();
    DrawSideCurtains(160, 0xffffffffu);
    f = Frame();
    EndFlatFrame();
    EXPECT_NEAR(LitColumns(f, 240), 427, 2);
    EXPECT_EQ(Red(f, 0, 240), 255);
    EXPECT_EQ(Red(f, 853, 240), 255);
    EXPECT_EQ(Red(f, 427, 240), 0);
    BeginFlatFrame();
    DrawSideCurtains(320, 0xffffffffu);
    f = Frame();
    EndFlatFrame();
    EXPECT_EQ(LitColumns(f, 240), 854);

    // Drawn at the window's own 1280 x 720 pixels, a cover still reaches the first and last row
    // and column (half a pixel of the target, not of the layer, places the shapes).
    ConfigSetting* resolution = FindConfigSetting("display.resolution");
    ASSERT_NE(resolution, nullptr);
    resolution->value = 2;
    ASSERT_TRUE(ApplyRenderResolution());
    ASSERT_EQ(device->FrameWidth(), 1280u);
    BeginFlatFrame();
    DrawAcross(0, 480, 0xffffffffu);
    std::vector<uint8_t> big(1280 * 720 * 4);
    device->ReadFrame(big.data());
    EndFlatFrame();
    resolution->value = 0;
    ASSERT_TRUE(ApplyRenderResolution());
    for (int y : {0, 719})
        for (int x : {0, 1279}) EXPECT_EQ(big[(y * 1280 + x) * 4], 255) << x << ", " << y;
}

TEST_F(WideDevice, ThreeDAtTheSidesLandsWhereTheOnScreenTestSays) {
    // Looking down +z from the origin: the wide view's half width at depth 100.
    const float halfWidth = std::tan(D3DX_PI / 8.0f) * 854.0f / 480.0f * 100.0f;
    const D3DXVECTOR3 inside(-0.9f * halfWidth, 0.0f, 100.0f), outside(-1.1f * halfWidth, 0.0f, 100.0f);
    BeginFlatFrame();
    SetSceneView(SceneViewLookingAt(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1)));
    const D3DXVECTOR3 s = ProjectToScreen(inside);
    // Left of the 640 x 480 layer, where a 4:3 picture ends, but on the wide one.
    EXPECT_LT(s.x, 0.0f);
    EXPECT_NEAR(s.x, 320.0f - 0.9f * 427.0f, 0.5f);
    EXPECT_NEAR(s.y, 240.0f, 0.5f);
    EXPECT_TRUE(ProjectsOnScreen(inside));
    EXPECT_FALSE(ProjectsOnScreen(outside));
    // A small square around the point (about 6 pixels wide), drawn through the device, lights the picture's pixel there.
    const ColorVertex quad[4] = {
        {inside.x - 0.5f, -0.5f, 100.0f, 0xffffffffu},
        {inside.x + 0.5f, -0.5f, 100.0f, 0xffffffffu},
        {inside.x - 0.5f, 0.5f, 100.0f, 0xffffffffu},
        {inside.x + 0.5f, 0.5f, 100.0f, 0xffffffffu},
    };
    device->SetVertexShader(kColorVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColorVertex));
    const std::vector<uint8_t> f = Frame();
    EndFlatFrame();
    const int column = static_cast<int>(std::lround(s.x - static_cast<float>(pictureLeft)));
    EXPECT_EQ(Red(f, column, 240), 255) << column;
    EXPECT_EQ(Red(f, column + 6, 240), 0);
    EXPECT_EQ(Red(f, column - 6, 240), 0);
    EXPECT_EQ(Red(f, column, 236), 0);
}

TEST_F(WideDevice, EverySceneryModelInsideTheWideViewIsDrawn) {
    ASSERT_EQ(chdir(KORVAN_BUILD_DIR), 0);
    Mesh tree;
    ASSERT_TRUE(LoadTreeModel(tree));
    BuildStraightCourse();

    // The twenty models of sections 0 to 9 (all inside the draw window around section 0) on an arc
    // 300 units ahead of the camera at its height, from 45 degrees left to 45 degrees right.
    const D3DXVECTOR3 eye(100, 30, 400);
    constexpr int kModels = 20;
    float angles[kModels];
    for (int m = 0; m < 300; ++m) courseGeometry.sceneryOn[m] = 0;
    for (int m = 0; m < kModels; ++m) {
        angles[m] = (-45.0f + 90.0f * static_cast<float>(m) / (kModels - 1)) * D3DX_PI / 180.0f;
        sceneryPool[m].Init(&tree, eye.x + 300.0f * std::sin(angles[m]), eye.y, eye.z + 300.0f * std::cos(angles[m]),
                            1.0f);
    }
    // What lies inside each view's frustum, from its shape alone.
    auto insideFrustum = [&angles](float aspect) {
        int n = 0;
        for (float a : angles) n += std::fabs(std::tan(a)) <= std::tan(D3DX_PI / 8.0f) * aspect ? 1 : 0;
        return n;
    };
    const int inWide = insideFrustum(854.0f / 480.0f);
    ASSERT_GT(inWide, insideFrustum(4.0f / 3.0f)) << "the arc must reach beyond the 4:3 view";

    auto drawCalls = [&eye](int first, int count) {
        for (int m = 0; m < kModels; ++m) courseGeometry.sceneryOn[m] = (m >= first && m < first + count) ? 1 : 0;
        EXPECT_TRUE(BeginFrame(0xff000000u));
        const CourseView v = LookFrom(eye, eye + D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 1, 0), 0);
        const UINT before = device->DrawCallCount();
        DrawSceneryOnScreen(v);
        const UINT calls = device->DrawCallCount() - before;
        EndFrame();
        return calls;
    };
    const UINT perModel = drawCalls(kModels / 2, 1);  // one model straight ahead
    ASSERT_GT(perModel, 0u);
    EXPECT_EQ(drawCalls(0, kModels), perModel * static_cast<UINT>(inWide));

    for (int m = 0; m < 300; ++m) {
        courseGeometry.sceneryOn[m] = 0;
        sceneryPool[m].Init(&sceneryMeshes[0], 0, 0, 0, 1.0f);
    }
}

// The brightness of column x over rows y0 to y1.
long ColumnSum(const ScreenImage& s, int x, int y0, int y1) {
    long sum = 0;
    for (int y = y0; y < y1; ++y) {
        const unsigned char* p = s.At(x, y);
        sum += p[0] + p[1] + p[2];
    }
    return sum;
}

TEST(WideRace, ThePauseDimsEveryColumnOfTheWidePicture) {
    const std::string config = MakeTempDir();
    mkdir((config + "/korvan").c_str(), 0700);
    std::ofstream(config + "/korvan/korvan.cfg") << "display.aspect = wide\n";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string input = MakeTempDir() + "/pause.in";
    std::ofstream(input) << "400 down Q\n401 up Q\n";
    // A race paused: the frame before
    // the pause and one under its dimming show the same standing world.
    const GameRun run = RunGame({"--headless", "--unpaced", "--seed", "7", "--window", "1280x720", "--course", "1",
                                 "--skip-intro", "--autopilot", "--input", input, "--frames", "430", "--shot",
                                 "399:race.png", "--shot", "420:paused.png"});
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ScreenImage race, paused;
    ASSERT_TRUE(race.Load(run.dir + "/race.png"));
    ASSERT_TRUE(paused.Load(run.dir + "/paused.png"));
    ASSERT_EQ(race.w, 854);
    ASSERT_EQ(race.h, 480);
    ASSERT_EQ(paused.w, 854);
    // Below the pause menu's lines: every column at about half its brightness, the sides too.
    int undimmed = 0;
    for (int x = 0; x < 854; ++x) {
        const long before = ColumnSum(race, x, 320, 480), after = ColumnSum(paused, x, 320, 480);
        if (before > 0 && after * 4 > before * 3) ++undimmed;
    }
    EXPECT_EQ(undimmed, 0);
    // The 3D reaches both edges of the wide race.
    EXPECT_GT(ColumnSum(race, 0, 0, 480), 0);
    EXPECT_GT(ColumnSum(race, 853, 0, 480), 0);
}

}  // namespace
