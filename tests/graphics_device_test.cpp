// The device set-up: its log, default state, frame begin with a lost device, the camera matrices,
// the display-mode decision, and the screenshot switch end to end.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sched.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/screenshot.h"
#include "platform/gfx_gl.h"
#include "platform/system.h"
#include "support/run_game.h"
#include "tests/support/headless_device.h"

namespace {

std::string logPath;

class GraphicsDeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(StartHeadlessDevice());
        logPath = HeadlessDeviceLogPath();
    }
    static void TearDownTestSuite() { StopHeadlessDevice(); }
    std::vector<uint8_t> Frame() {
        std::vector<uint8_t> px(640 * 480 * 4);
        EXPECT_TRUE(device->ReadFrame(px.data()));
        return px;
    }
};

TEST_F(GraphicsDeviceTest, StartUpLogsAdapterModeDeviceAndCapabilities) {
    std::string log = ReadFile(logPath);
    EXPECT_NE(log.find("----------------------------------------\nInitDirect3D\n"), std::string::npos);
    EXPECT_NE(log.find("アダプタ数 = "), std::string::npos);
    // One display off-screen: "-2nd" could not apply, the default adapter is named.
    EXPECT_NE(log.find("アダプタID = D3DADAPTER_DEFAULT\n"), std::string::npos);
    EXPECT_NE(log.find("アダプタ名 = "), std::string::npos);
    EXPECT_NE(log.find("アダプタのモード数 = "), std::string::npos);
    EXPECT_NE(log.find("現在のモード = "), std::string::npos);
    EXPECT_NE(log.find("ウインドウ化 = "), std::string::npos);
    // The mode line ends with the depth format the search took: GL gives 16-bit depth first.
    EXPECT_NE(log.find("選択されたモード = 640 x 480 "), std::string::npos);
    EXPECT_NE(log.find(" (D3DFMT_D16)\n"), std::string::npos);
    EXPECT_NE(log.find("デバイスタイプ = "), std::string::npos);
    EXPECT_NE(log.find("最大プリミティブ = "), std::string::npos);
    EXPECT_NE(log.find("フォグ{\n\t頂点 = 1\n\tピクセル = 1\n\t範囲 = 1\n}\n"), std::string::npos);
    EXPECT_NE(log.find("\t非正方形テクスチャ = 1\n"), std::string::npos);
    EXPECT_TRUE(std::strcmp(deviceTypeName, "HAL") == 0 || std::strcmp(deviceTypeName, "TnLHAL") == 0);
    EXPECT_EQ(screenWidth, 640);
    EXPECT_EQ(screenHeight, 480);
    EXPECT_GE(maxTextureWidth, 512);
    EXPECT_GE(maxActiveLights, 2);
    EXPECT_GE(maxTextureStages, 2);
    EXPECT_EQ(squareTexturesOnly, 0);
}

// The software rasteriser's threads must not pre-empt the game thread that hands them a frame.
TEST_F(GraphicsDeviceTest, RasteriserThreadsRunAsBatchWork) {
    int rasterisers = 0;
    DIR* tasks = opendir("/proc/self/task");
    ASSERT_NE(tasks, nullptr);
    while (dirent* e = readdir(tasks)) {
        if (e->d_name[0] == '.') continue;
        std::string comm = ReadFile(std::string("/proc/self/task/") + e->d_name + "/comm");
        if (comm.rfind("llvmpipe-", 0) != 0) continue;
        ++rasterisers;
        EXPECT_EQ(sched_getscheduler(std::atoi(e->d_name)), SCHED_BATCH) << comm;
    }
    closedir(tasks);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    // On a small machine (or a run pinned to a few cores) the rasteriser gets the thread count
    // the game asks for: one of its own on one core, twice the cores otherwise.
    cpu_set_t cores;
    ASSERT_EQ(sched_getaffinity(0, sizeof cores, &cores), 0);
    const int count = CPU_COUNT(&cores);
    if (renderer && std::strstr(renderer, "llvmpipe") && count <= kFewCores) {
        const char* asked = std::getenv("LP_NUM_THREADS");
        ASSERT_NE(asked, nullptr);
        EXPECT_EQ(rasterisers, std::atoi(asked));
        EXPECT_GE(rasterisers, 1);
    }
}

TEST_F(GraphicsDeviceTest, DefaultStateIsTheGamesStartingPoint) {
    DWORD v = 0;
    device->GetRenderState(D3DRS_AMBIENT, &v);
    EXPECT_EQ(v, 0xFF808080u);
    device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DCULL_CCW));
    device->GetRenderState(D3DRS_SRCBLEND, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DBLEND_SRCALPHA));
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_MODULATE));
    device->GetTextureStageState(0, D3DTSS_MIPFILTER, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTEXF_POINT));
    D3DLIGHT8 l{};
    device->GetLight(0, &l);
    EXPECT_EQ(l.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_NEAR(l.Direction.x, 1.0f / std::sqrt(3.0f), 1e-6f);
    EXPECT_NEAR(l.Direction.y, -1.0f / std::sqrt(3.0f), 1e-6f);
    EXPECT_FLOAT_EQ(l.Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(l.Range, 1000.0f);
    BOOL on = 0;
    device->GetLightEnable(0, &on);
    EXPECT_TRUE(on);
    EXPECT_EQ(lightEnabled, 1);
    D3DXMATRIX view;
    device->GetTransform(D3DTS_VIEW, &view);
    EXPECT_FLOAT_EQ(view._43, 1.0f);  // eye at z = -1 looking at the origin
    EXPECT_FLOAT_EQ(viewportMatrix._11, 320.0f);
    EXPECT_FLOAT_EQ(viewportMatrix._22, -240.0f);
    EXPECT_FLOAT_EQ(viewportMatrix._41, 320.0f);
    EXPECT_FLOAT_EQ(viewportMatrix._42, 240.0f);
}

TEST_F(GraphicsDeviceTest, ProjectToScreenCentreAndBehind) {
    D3DXVECTOR3 eye(5, 2, -20), at(5, 2, 0), up(0, 1, 0);
    SetCameraLookAt(eye, at, up);
    device->SetTransform(D3DTS_VIEW, &viewMatrix);
    ASSERT_TRUE(BeginFrame(0xFF000000u));
    EndFrame();
    D3DXVECTOR3 centre = ProjectToScreen(D3DXVECTOR3(5, 2, 30));
    EXPECT_NEAR(centre.x, 320.0f, 1e-3f);
    EXPECT_NEAR(centre.y, 240.0f, 1e-3f);
    EXPECT_EQ(centre.z, 0.0f);
    // Up in the world is up on the screen (smaller y); right is right.
    D3DXVECTOR3 upper = ProjectToScreen(D3DXVECTOR3(6, 3, 0));
    EXPECT_GT(upper.x, 320.0f);
    EXPECT_LT(upper.y, 240.0f);
    EXPECT_EQ(ProjectToScreen(D3DXVECTOR3(5, 2, -30)).z, -1.0f);
    // The camera matrix places the camera: its translation row is the eye.
    EXPECT_NEAR(cameraMatrix._41, 5.0f, 1e-4f);
    EXPECT_NEAR(cameraMatrix._43, -20.0f, 1e-4f);
    // Billboards take the camera's orientation at the given point.
    SetBillboardWorld(1, 2, 3);
    D3DXMATRIX world;
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_FLOAT_EQ(world._41, 1.0f);
    EXPECT_FLOAT_EQ(world._43, 3.0f);
    EXPECT_FLOAT_EQ(world._11, cameraMatrix._11);
    EXPECT_FLOAT_EQ(world._33, cameraMatrix._33);
    D3DXMatrixIdentity(&world);
    device->SetTransform(D3DTS_WORLD, &world);
}

TEST_F(GraphicsDeviceTest, BeginFrameWithZeroKeepsThePicture) {
    ASSERT_TRUE(BeginFrame(0xFF2040C0u));
    EndFrame();
    std::vector<uint8_t> px = Frame();
    EXPECT_EQ(px[0], 0x20);
    EXPECT_EQ(px[1], 0x40);
    EXPECT_EQ(px[2], 0xC0);
    ASSERT_TRUE(BeginFrame(0));
    EndFrame();
    px = Frame();
    EXPECT_EQ(px[2], 0xC0);
    ASSERT_TRUE(BeginFrame(0xFF000000u));
    EndFrame();
    px = Frame();
    EXPECT_EQ(px[2], 0x00);
}

TEST_F(GraphicsDeviceTest, LostDeviceSkipsTheFrameAndAResetIsReported) {
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    EXPECT_FALSE(BeginFrame(0xFF000000u));
    EndFrame();  // the scene still ends its frame: no effect
    EXPECT_NE(ReadFile(logPath).find("3Dデバイスがロストしています.\n"), std::string::npos);
    // Nothing asked to close yet.
    static bool closed;
    closed = false;
    SysPumpEvents([](SysEvent e, int, int) { closed |= e == SysEvent::kClose; });
    EXPECT_FALSE(closed);

    EXPECT_FALSE(DeviceNeedsReset());

    // A device needing a reset is reported; the frame loop is the one that closes the program.
    device->SetCooperativeLevelForTest(D3DERR_DEVICENOTRESET);
    EXPECT_FALSE(BeginFrame(0xFF000000u));
    EXPECT_NE(ReadFile(logPath).find("3Dデバイスのリセットが必要です.\n"), std::string::npos);
    EXPECT_TRUE(DeviceNeedsReset());
    SysPumpEvents([](SysEvent e, int, int) { closed |= e == SysEvent::kClose; });
    EXPECT_FALSE(closed);

    // The device comes back on its own: frames resume.
    device->SetCooperativeLevelForTest(D3D_OK);
    EXPECT_TRUE(BeginFrame(0xFF000000u));
    EXPECT_FALSE(DeviceNeedsReset());
    EndFrame();
}

TEST_F(GraphicsDeviceTest, AFrameLeftOpenDoesNotShutLaterFramesOut) {
    ASSERT_TRUE(BeginFrame(0xFF000000u));
    // The scene returns without EndFrame; the next frame still begins.
    EXPECT_TRUE(BeginFrame(0xFF102030u));
    EndFrame();
    EXPECT_NE(ReadFile(logPath).find("BeginFrame: the previous frame was not ended\n"), std::string::npos);
    EXPECT_EQ(Frame()[2], 0x30);
}

TEST_F(GraphicsDeviceTest, AlphaBlendAndLightSwitches) {
    SetAlphaBlend(false, D3DBLEND_ONE, D3DBLEND_ONE);
    DWORD v = 0;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
    EXPECT_EQ(v, 0u);
    device->GetRenderState(D3DRS_DESTBLEND, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));  // untouched when switching off
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    device->GetRenderState(D3DRS_DESTBLEND, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DBLEND_ONE));
    SetAlphaBlend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    EnableLight(false);
    BOOL on = 1;
    device->GetLightEnable(0, &on);
    EXPECT_FALSE(on);
    EXPECT_EQ(lightEnabled, 0);
    SetDirectionalLight(0, 0, 0, 1, 1, 1, 1);  // a zero direction stays zero, never NaN
    EXPECT_EQ(light0.Direction.x, 0.0f);
    SetDirectionalLight(1, -1, 1, 0.5f, 0.5f, 0.5f, 0);
}

TEST_F(GraphicsDeviceTest, ScreenshotWritesThePicture) {
    std::string path = MakeTempDir() + "/shot.png";
    ASSERT_TRUE(BeginFrame(0xFF00FF00u));
    EndFrame();
    ASSERT_TRUE(WriteScreenshot(path.c_str()));
    std::string png = ReadFile(path);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_FALSE(WriteScreenshot("/nonexistent-dir/shot.png"));
}

TEST(DisplayMode, TheDesktopFormatOrTheLastOther640x480) {
    const D3DDISPLAYMODE modes[] = {
        {800, 600, 60, D3DFMT_X8R8G8B8}, {640, 480, 60, D3DFMT_R5G6B5}, {640, 480, 60, D3DFMT_X1R5G5B5},
        {1024, 768, 60, D3DFMT_X8R8G8B8},
    };
    DisplayModeChoice c = ChooseDisplayMode(modes, 4, D3DFMT_R5G6B5);
    EXPECT_TRUE(c.found);
    EXPECT_EQ(c.format, D3DFMT_R5G6B5);
    c = ChooseDisplayMode(modes, 4, D3DFMT_X8R8G8B8);
    EXPECT_FALSE(c.found);
    EXPECT_EQ(c.format, D3DFMT_X1R5G5B5);  // the last one listed
    c = ChooseDisplayMode(modes, 1, D3DFMT_X8R8G8B8);
    EXPECT_FALSE(c.found);
    EXPECT_EQ(c.format, D3DFMT_UNKNOWN);
    EXPECT_STREQ(FormatName(D3DFMT_D24X4S4), "D3DFMT_D24X4S4");
    EXPECT_STREQ(FormatName(D3DFMT_X8R8G8B8), "D3DFMT_X8R8G8B8");
    EXPECT_STREQ(FormatName(static_cast<D3DFORMAT>(12345)), "D3DFMT_UNKNOWN");
}

TEST(GraphicsDeviceStart, WithoutVideoTheDeviceIsRefused) {
    // No video subsystem: the device object cannot be made, the error is shown and start-up fails.
    EXPECT_FALSE(InitDirect3D());
    EXPECT_EQ(device, nullptr);
    FreeDirect3D();  // safe after a failed start
}

TEST(GraphicsDeviceEndToEnd, ShotSwitchWritesTheFrameAndTheLogNamesTheDevice) {
    GameRun run = RunGame({"--headless", "--frames", "3", "--shot", "2:f.png", "-dbf"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::string png = ReadFile(run.dir + "/f.png");
    ASSERT_GT(png.size(), 24u) << run.output;
    // PNG signature, then the IHDR chunk: width and height, big-endian.
    EXPECT_EQ(png.substr(1, 3), "PNG");
    auto be32 = [&](size_t at) {
        return (static_cast<uint32_t>(static_cast<uint8_t>(png[at])) << 24) |
               (static_cast<uint32_t>(static_cast<uint8_t>(png[at + 1])) << 16) |
               (static_cast<uint32_t>(static_cast<uint8_t>(png[at + 2])) << 8) | static_cast<uint8_t>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), 640u);
    EXPECT_EQ(be32(20), 480u);
    std::string log = ReadFile(run.dir + "/debug.txt");
    EXPECT_NE(log.find("InitDirect3D"), std::string::npos);
    EXPECT_NE(log.find("アダプタ数 = "), std::string::npos);
    EXPECT_NE(log.find("デバイスタイプ = "), std::string::npos);
    EXPECT_NE(log.find("FreeDirect3D"), std::string::npos);
}

}  // namespace
