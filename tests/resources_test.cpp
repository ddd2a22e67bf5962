// The resource classes on the real device, rendered off-screen: mesh loading with its log lines
// and shared textures, the subsets' material colours in pixels, textures from files, built-in
// bitmaps and text, vertex buffers, and the model's matrices and visibility.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/mesh.h"
#include "framework/model.h"
#include "framework/screenshot.h"
#include "framework/texture.h"
#include "framework/draw2d.h"
#include "framework/vertex_buffer.h"
#include "platform/system.h"
#include "platform/text.h"
#include "support/run_game.h"
#include "tests/support/headless_device.h"

namespace {

std::string logPath;
std::string assetDir;
std::string oldCwd;

void WriteText(const std::string& name, const std::string& text) {
    FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// A w x h 24-bit bitmap of one colour (0xRRGGBB).
void WriteSolidBmp(const std::string& name, int w, int h, uint32_t rgb) {
    size_t row = ((static_cast<size_t>(w) * 24 + 31) / 32) * 4;
    std::string b(54 + row * h, '\0');
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<uint32_t>(b.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, w, 4);
    put(22, h, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) put(54 + y * row + x * 3, rgb, 3);
    WriteText(name, b);
}

// Two quads side by side, clockwise as seen from the camera: the left one plain red, the right
// one white with a texture.
const char* kTwoSubsets = R"(xof 0302txt 0032
Frame Root {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
  Mesh Panels {
    8;
    -2;-1;0;, -2;1;0;, -0.5;1;0;, -0.5;-1;0;,
    0.5;-1;0;, 0.5;1;0;, 2;1;0;, 2;-1;0;;
    2; 4;0,1,2,3;, 4;4,5,6,7;;
    MeshNormals { 1; 0;0;-1;; 2; 4;0,0,0,0;, 4;0,0,0,0;; }
    MeshTextureCoords { 8; 0;1;, 0;0;, 1;0;, 1;1;, 0;1;, 0;0;, 1;0;, 1;1;; }
    MeshMaterialList { 2; 2; 0, 1;;
      Material Red { 1.0;0.0;0.0;1.0;; 0.0; 0;0;0;; 0;0;0;; }
      Material Skin { 1.0;1.0;1.0;1.0;; 0.0; 0;0;0;; 0;0;0;; TextureFilename { "shared.bmp"; } }
    }
  }
}
)";

const char* kAlsoShared = R"(xof 0302txt 0032
Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;
  MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { "SHARED.bmp"; } } } }
)";

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        assetDir = MakeTempDir();
        logPath = assetDir + "/debug.txt";
        ASSERT_TRUE(StartHeadlessDevice(logPath));
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
        oldCwd = cwd;
        ASSERT_EQ(chdir(assetDir.c_str()), 0);
        WriteText("Panels.x", kTwoSubsets);
        WriteText("also.x", kAlsoShared);
        WriteText("broken.x", std::string(kTwoSubsets).substr(0, 300));
        WriteSolidBmp("shared.bmp", 8, 8, 0x00C864);
        WriteSolidBmp("yellow.bmp", 4, 4, 0xFFFF00);
        WriteSolidBmp("odd.bmp", 5, 3, 0x000000);
    }
    static void TearDownTestSuite() {
        if (!oldCwd.empty()) {
            EXPECT_EQ(chdir(oldCwd.c_str()), 0);
        }
        StopHeadlessDevice();
    }
    void SetUp() override { ClearLog(); }

    static void ClearLog() { WriteText(logPath, ""); }
    static std::string LogText() { return ReadFile(logPath); }

    static std::vector<uint8_t> Frame() {
        std::vector<uint8_t> px(640 * 480 * 4);
        EXPECT_TRUE(device->ReadFrame(px.data()));
        return px;
    }
    static void ExpectPixel(const std::vector<uint8_t>& px, int x, int y, int r, int g, int b, const char* what) {
        const uint8_t* p = &px[(static_cast<size_t>(y) * 640 + x) * 4];
        EXPECT_NEAR(p[0], r, 2) << what << " at " << x << "," << y;
        EXPECT_NEAR(p[1], g, 2) << what << " at " << x << "," << y;
        EXPECT_NEAR(p[2], b, 2) << what << " at " << x << "," << y;
    }
    static void DefaultCamera() {
        SetCameraLookAt(D3DXVECTOR3(0, 0, -1), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
        device->SetTransform(D3DTS_VIEW, &viewMatrix);
    }
};

TEST_F(ResourcesTest, MeshReloadAndFailureLogLines) {
    Mesh mesh;
    ASSERT_TRUE(mesh.Load("Panels.x", 0, 1));
    ASSERT_TRUE(mesh.Load("Panels.x", 0, 1));
    std::string log = LogText();
    // The first load, its texture, then on reload the mesh's release (and its texture's) before
    // the second load line.
    EXPECT_EQ(log,
              "load(Panels.x) ... ok.\nload(shared.bmp) ... ok.\n"
              "release(Panels.x)\nrelease(shared.bmp)\n"
              "load(Panels.x) ... ok.\nload(shared.bmp) ... ok.\n");
    EXPECT_EQ(mesh.materialCount, 2u);
    EXPECT_FLOAT_EQ(mesh.boundsMin.x, -2.0f);
    EXPECT_FLOAT_EQ(mesh.boundsMax.y, 1.0f);
    EXPECT_NEAR(mesh.sphereCenter.x, 0.0f, 1e-6f);
    // Ambient colour made equal to the diffuse colour at load.
    EXPECT_FLOAT_EQ(mesh.materials[0].Ambient.r, 1.0f);
    EXPECT_FLOAT_EQ(mesh.materials[0].Ambient.g, 0.0f);
    EXPECT_EQ(mesh.textures[0], nullptr);
    EXPECT_NE(mesh.textures[1], nullptr);

    // A damaged file: failed, the name stays for one release line; a missing one likewise. A
    // mesh whose last load failed holds nothing.
    ClearLog();
    EXPECT_FALSE(mesh.Load("broken.x", 0, 1));
    EXPECT_FALSE(mesh.Loaded());
    EXPECT_EQ(mesh.name, "broken.x");
    EXPECT_FALSE(mesh.Load("missing.x", 0, 1));
    mesh.Release();
    mesh.Release();
    log = LogText();
    EXPECT_EQ(log.find("release(Panels.x)\nrelease(shared.bmp)\nload(broken.x) ... failed.\n"), 0u) << log;
    EXPECT_NE(log.find("load(missing.x) ... failed.\n"), std::string::npos);
    EXPECT_EQ(CountOf(log, "release(broken.x)"), 0);
    EXPECT_EQ(CountOf(log, "release(missing.x)\n"), 1);
    // Drawing an empty mesh does nothing (and must not crash).
    mesh.Draw(identityMatrix);
    Mesh never;
    never.Release();
}

TEST_F(ResourcesTest, MeshesShareTexturesThroughTheCache) {
    {
        Mesh a, b;
        ASSERT_TRUE(a.Load("Panels.x", 0, 1));
        ASSERT_TRUE(b.Load("Panels.x", 0, 1));
        EXPECT_EQ(a.textures[1], b.textures[1]);
        EXPECT_EQ(CountOf(LogText(), "load(shared.bmp)"), 1);
        EXPECT_EQ(textureCache.Count(), 1);
        EXPECT_EQ(textureCache.First()->refCount, 2);
        a.Release();
        EXPECT_EQ(CountOf(LogText(), "release(shared.bmp)"), 0);
        b.Release();
        EXPECT_EQ(CountOf(LogText(), "release(shared.bmp)\n"), 1);
        EXPECT_EQ(textureCache.Count(), 0);
    }
    // Names are shared only when exactly equal; the file look-up itself ignores case.
    Mesh a, b;
    ASSERT_TRUE(a.Load("Panels.x", 0, 1));
    ASSERT_TRUE(b.Load("also.x", 0, 1));
    EXPECT_NE(b.textures[0], nullptr);
    EXPECT_NE(a.textures[1], b.textures[0]);
    EXPECT_EQ(textureCache.Count(), 2);

    // New entries go directly after the first one.
    GfxTexture* y = textureCache.Acquire(false, "yellow.bmp", 0, 1);
    ASSERT_NE(y, nullptr);
    std::vector<std::string> order;
    for (const TextureCacheEntry* e = textureCache.First(); e; e = e->next) order.push_back(e->name);
    EXPECT_EQ(order, (std::vector<std::string>{"shared.bmp", "yellow.bmp", "SHARED.bmp"}));
    EXPECT_EQ(textureCache.Acquire(false, "nothing.bmp", 0, 1), nullptr);
    EXPECT_EQ(textureCache.Count(), 3);
    textureCache.ReleaseTexture(y);
    textureCache.ReleaseTexture(y);  // unknown by now: ignored
    EXPECT_EQ(textureCache.Count(), 2);
    EXPECT_NE(LogText().find("load(nothing.bmp) ... failed.\n"), std::string::npos);
}

TEST_F(ResourcesTest, SubsetsDrawWithTheirMaterialsAndTextures) {
    Mesh mesh;
    ASSERT_TRUE(mesh.Load("Panels.x", 0, 1));
    Texture yellow;
    ASSERT_TRUE(yellow.LoadFromFile("yellow.bmp", 0, 1));

    // Light off and a white global ambient: each pixel is its material's ambient colour (equal
    // to the diffuse colour), times the texture where there is one.
    EnableLight(false);
    device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    DefaultCamera();
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 0, 0, 5);
    ASSERT_TRUE(BeginFrame(0xFF000000));
    D3DXVECTOR3 left = ProjectToScreen(D3DXVECTOR3(-1.25f, 0, 5));
    D3DXVECTOR3 right = ProjectToScreen(D3DXVECTOR3(1.25f, 0, 5));
    D3DXVECTOR3 gap = ProjectToScreen(D3DXVECTOR3(0, 0, 5));
    mesh.Draw(world);
    std::vector<uint8_t> px = Frame();
    // Kept beside the test's assets for a look when a colour is wrong.
    EXPECT_TRUE(WriteScreenshot((assetDir + "/subsets.png").c_str()));
    RecordProperty("screenshot", assetDir + "/subsets.png");
    EndFrame();
    int lx = static_cast<int>(left.x), rx = static_cast<int>(right.x), y = static_cast<int>(left.y);
    ExpectPixel(px, lx, y, 255, 0, 0, "red subset");
    ExpectPixel(px, rx, y, 0, 200, 100, "textured subset");
    ExpectPixel(px, static_cast<int>(gap.x), y, 0, 0, 0, "between the panels");

    // The given texture on every subset: red x yellow stays red, white x yellow is yellow.
    ASSERT_TRUE(BeginFrame(0xFF000000));
    mesh.DrawWithTexture(world, yellow);
    px = Frame();
    EndFrame();
    ExpectPixel(px, lx, y, 255, 0, 0, "red subset with yellow");
    ExpectPixel(px, rx, y, 255, 255, 0, "white subset with yellow");

    // Translucent: alpha 0.25 over a black picture, then the material is as loaded again.
    ASSERT_TRUE(BeginFrame(0xFF000000));
    mesh.DrawWithAlpha(world, 0.25f);
    px = Frame();
    EndFrame();
    ExpectPixel(px, lx, y, 64, 0, 0, "quarter red");
    ExpectPixel(px, rx, y, 0, 50, 25, "quarter texture");
    EXPECT_FLOAT_EQ(mesh.materials[0].Diffuse.a, 1.0f);
    EXPECT_FLOAT_EQ(mesh.materials[1].Diffuse.g, 1.0f);

    // A model draws the mesh at its world matrix; invisible or without a mesh nothing is drawn.
    Model model;
    model.Init(&mesh, 0, 0, 5, 1.0f);
    ASSERT_TRUE(BeginFrame(0xFF000000));
    model.Draw();
    px = Frame();
    EndFrame();
    ExpectPixel(px, lx, y, 255, 0, 0, "model");
    model.visible = 0;
    ASSERT_TRUE(BeginFrame(0xFF000000));
    model.Draw();
    model.DrawTranslucent();
    px = Frame();
    EndFrame();
    ExpectPixel(px, lx, y, 0, 0, 0, "invisible model");

    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF808080);
    EnableLight(true);
}

TEST_F(ResourcesTest, TexturesFromFilesResourcesAndText) {
    Texture t;
    ASSERT_TRUE(t.LoadFromFile("odd.bmp", 0, 0));
    EXPECT_EQ(t.desc.Width, 5u);
    EXPECT_EQ(t.desc.Height, 3u);
    EXPECT_EQ(t.desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_GT(t.texture->GetLevelCount(), 1u);  // 0 asks for a full chain
    EXPECT_FALSE(t.LoadFromFile("nothing.bmp", 0, 1));
    EXPECT_EQ(t.texture, nullptr);
    EXPECT_EQ(t.name, "nothing.bmp");
    ASSERT_TRUE(t.LoadFromResource("IDB_Air1", 0, 1));
    EXPECT_EQ(t.desc.Width, 256u);
    EXPECT_EQ(t.desc.Height, 256u);
    EXPECT_FALSE(t.LoadFromResource("IDB_Nothing", 0, 1));
    t.Release();
    EXPECT_EQ(LogText(),
              "load(odd.bmp) ... ok.\nrelease(odd.bmp)\nload(nothing.bmp) ... failed.\n"
              "release(nothing.bmp)\nload(IDB_Air1) ... ok.\nrelease(IDB_Air1)\n"
              "load(IDB_Nothing) ... failed.\nrelease(IDB_Nothing)\n");

    // Text: the size rule against the device limits.
    int w = 0, h = 0;
    ASSERT_TRUE(TextMeasure("ABCDEFGHIJ", 20, 400, false, &w, &h));
    ASSERT_EQ(w, 100);
    ASSERT_EQ(h, 20);
    int savedW = maxTextureWidth, savedH = maxTextureHeight, savedSquare = squareTexturesOnly;
    maxTextureWidth = maxTextureHeight = 256;
    squareTexturesOnly = 0;
    ASSERT_TRUE(t.CreateFromText("ABCDEFGHIJ", 20, 0xFFFFFFFF, 400, "ＭＳ ゴシック"));
    EXPECT_EQ(t.desc.Width, 128u);
    EXPECT_EQ(t.desc.Height, 32u);
    EXPECT_EQ(t.desc.Format, D3DFMT_A4R4G4B4);
    EXPECT_EQ(t.name, "text");
    squareTexturesOnly = 1;
    ASSERT_TRUE(t.CreateFromTextItalic("ABCDEFGHIJ", 20, 0xFFFFFFFF, 400, "ＭＳ ゴシック"));
    EXPECT_EQ(t.desc.Width, 128u);
    EXPECT_EQ(t.desc.Height, 128u);
    // Wider than the device allows: cut at the limit.
    squareTexturesOnly = 0;
    maxTextureWidth = 64;
    ASSERT_TRUE(t.CreateFromText("ABCDEFGHIJ", 20, 0xFFFFFFFF, 400, "ＭＳ ゴシック"));
    EXPECT_EQ(t.desc.Width, 64u);
    maxTextureWidth = savedW;
    maxTextureHeight = savedH;
    squareTexturesOnly = savedSquare;
    EXPECT_FALSE(t.CreateFromText("", 20, 0xFFFFFFFF, 400, "ＭＳ ゴシック"));

    // Drawn at its natural size: ink in the colour cut to four bits per channel, the rest clear.
    ASSERT_TRUE(t.CreateFromText("\xE2\x96\xA0\xE2\x96\xA0\xE2\x96\xA0\xE2\x96\xA0", 32, 0xFF3AC5E9, 400, "ＭＳ ゴシック"));
    ASSERT_TRUE(BeginFrame(0xFF000000));
    device->SetRenderState(D3DRS_ZENABLE, 0);
    t.DrawAt(100, 50);
    std::vector<uint8_t> px = Frame();
    device->SetRenderState(D3DRS_ZENABLE, 1);
    EndFrame();
    device->SetTexture(0, nullptr);
    // Filled squares: the middle of each 32-pixel cell is ink.
    ExpectPixel(px, 100 + 16, 50 + 16, 0x33, 0xCC, 0xEE, "text ink");
    ExpectPixel(px, 100 + 48, 50 + 16, 0x33, 0xCC, 0xEE, "text ink");
    ExpectPixel(px, 100 + static_cast<int>(t.desc.Width) - 1, 50 + static_cast<int>(t.desc.Height) - 1, 0, 0, 0,
                "texture outside the text");
    ExpectPixel(px, 99, 60, 0, 0, 0, "left of the texture");
    t.Release();
    Texture empty;
    empty.DrawAt(0, 0);
}

// A text texture whose lock fails is not kept unfilled (it would draw whatever its memory holds):
// it is released and logged, and the next text texture is made as usual.
TEST_F(ResourcesTest, TextTextureWhoseLockFailsIsReleased) {
    Texture t;
    device->FailTextureLocksForTest(true);
    const bool made = t.CreateFromText("ABC", 20, 0xFFFFFFFF, 400, "ＭＳ ゴシック");
    device->FailTextureLocksForTest(false);
    EXPECT_FALSE(made);
    EXPECT_EQ(t.texture, nullptr);
    EXPECT_EQ(t.desc.Width, 0u);
    EXPECT_NE(LogText().find("text(ABC): the "), std::string::npos) << LogText();
    EXPECT_NE(LogText().find(" texture cannot be locked\n"), std::string::npos) << LogText();
    ASSERT_TRUE(BeginFrame(0xFF000000));
    const UINT draws = device->DrawCallCount();
    t.DrawAt(0, 0);  // nothing to draw
    EXPECT_EQ(device->DrawCallCount(), draws);
    EndFrame();

    ASSERT_TRUE(t.CreateFromText("ABC", 20, 0xFFFFFFFF, 400, "ＭＳ ゴシック"));
    EXPECT_NE(t.texture, nullptr);
    EXPECT_EQ(t.desc.Format, D3DFMT_A4R4G4B4);
}

TEST_F(ResourcesTest, VertexBuffersCreateAndDraw) {
    struct V {
        float x, y, z, rhw;
        uint32_t color;
    };
    const V quad[4] = {{10, 10, 0.5f, 1, 0xFF00FF00}, {60, 10, 0.5f, 1, 0xFF00FF00},
                       {10, 40, 0.5f, 1, 0xFF00FF00}, {60, 40, 0.5f, 1, 0xFF00FF00}};
    VertexBuffer vb;
    ASSERT_TRUE(vb.Create(quad, 0x044, sizeof(quad)));
    EXPECT_EQ(vb.stride, 20u);
    EXPECT_EQ(vb.vertexCount, 4u);
    ASSERT_TRUE(BeginFrame(0xFF000000));
    device->SetTexture(0, nullptr);
    vb.DrawTriangleStrip(50);  // more than it holds: cut to the two it has
    std::vector<uint8_t> px = Frame();
    EndFrame();
    ExpectPixel(px, 30, 25, 0, 255, 0, "strip");
    ExpectPixel(px, 70, 25, 0, 0, 0, "outside the strip");

    // An unknown format releases what was held and fails.
    EXPECT_FALSE(vb.Create(quad, 0x102, sizeof(quad)));
    EXPECT_EQ(vb.buffer, nullptr);
    EXPECT_EQ(vb.vertexCount, 0u);
    vb.DrawTriangleFan(2);
    const DWORD strides[][2] = {{0x042, 16}, {0x044, 20}, {0x052, 28}, {0x142, 24},
                                {0x144, 28}, {0x152, 36}, {0x242, 32}, {0x252, 44}};
    std::vector<uint8_t> bytes(44 * 6, 0);
    for (const auto& s : strides) {
        ASSERT_TRUE(vb.Create(bytes.data(), s[0], static_cast<UINT>(bytes.size()))) << s[0];
        EXPECT_EQ(vb.stride, s[1]);
        EXPECT_EQ(vb.vertexCount, bytes.size() / s[1]);
    }
    EXPECT_FALSE(vb.Create(bytes.data(), 0x112, static_cast<UINT>(bytes.size())));
}

// A window of quad strips gathered into lists gives the picture the strips give one by one, in
// the same order (the later quad covers the earlier), across a change of vertex format, and
// leaves out buffers that hold nothing.
TEST_F(ResourcesTest, QuadStripsDrawnTogetherMatchTheStripsDrawnInTurn) {
    using V = ScreenVertex;
    using T = TexturedScreenVertex;
    auto quad = [](float x1, float y1, float x2, float y2, uint32_t c, VertexBuffer& vb) {
        const V v[4] = {{x1, y1, 0.5f, 1, c}, {x2, y1, 0.5f, 1, c}, {x1, y2, 0.5f, 1, c}, {x2, y2, 0.5f, 1, c}};
        return vb.Create(v, 0x044, sizeof(v));
    };
    VertexBuffer red, green, blue, empty;
    ASSERT_TRUE(quad(10, 10, 110, 60, 0xFFFF0000u, red));
    ASSERT_TRUE(quad(60, 30, 160, 90, 0xFF00FF00u, green));  // over the red one's right half
    VertexBuffer textured;
    const T t[4] = {{200, 10, 0.5f, 1, 0xFF0000FFu, 0, 0}, {260, 10, 0.5f, 1, 0xFF0000FFu, 1, 0},
                    {200, 50, 0.5f, 1, 0xFF0000FFu, 0, 1}, {260, 50, 0.5f, 1, 0xFF0000FFu, 1, 1}};
    ASSERT_TRUE(textured.Create(t, 0x144, sizeof(t)));
    ASSERT_TRUE(quad(300, 10, 340, 50, 0xFFFFFFFFu, blue));

    const VertexBuffer* list[] = {&red, &empty, &green, &textured, &blue};
    ASSERT_TRUE(BeginFrame(0xFF000000));
    device->SetTexture(0, nullptr);
    for (const VertexBuffer* b : list) const_cast<VertexBuffer*>(b)->DrawTriangleStrip(2);
    const std::vector<uint8_t> one = Frame();
    EndFrame();

    ASSERT_TRUE(BeginFrame(0xFF000000));
    device->SetTexture(0, nullptr);
    const UINT before = device->DrawCallCount();
    DrawQuadStrips(list, 5);
    EXPECT_EQ(device->DrawCallCount() - before, 3u);  // one list per run of one format
    const std::vector<uint8_t> together = Frame();
    EndFrame();

    EXPECT_EQ(one, together);
    ExpectPixel(together, 30, 20, 255, 0, 0, "red quad");
    ExpectPixel(together, 100, 50, 0, 255, 0, "green quad over the red one");
    ExpectPixel(together, 230, 30, 0, 0, 255, "textured-format quad");
    ExpectPixel(together, 320, 30, 255, 255, 255, "quad after the format change");
}

TEST_F(ResourcesTest, ModelMatricesAndParents) {
    Mesh box;
    box.boundsMin = D3DXVECTOR3(-1, -2, -3);
    box.boundsMax = D3DXVECTOR3(1, 2, 3);
    Model m;
    EXPECT_EQ(m.visible, 0);
    EXPECT_FLOAT_EQ(m.alpha, 0.5f);
    m.Init(&box, 10, 0, 0, 2.0f);
    EXPECT_EQ(m.visible, 1);
    // Corners 0..3 at max x in the order (max y, max z), (max y, min z), (min y, max z), (min y, min z).
    EXPECT_EQ(m.corners[0], D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(m.corners[1], D3DXVECTOR3(1, 2, -3));
    EXPECT_EQ(m.corners[2], D3DXVECTOR3(1, -2, 3));
    EXPECT_EQ(m.corners[3], D3DXVECTOR3(1, -2, -3));
    EXPECT_EQ(m.corners[7], D3DXVECTOR3(-1, -2, -3));

    // A quarter turn, then a move along the model's own z: world units, whatever the scale.
    m.RotateY(D3DX_PI / 2);
    m.MoveLocal(0, 0, 4);
    D3DXVECTOR3 p = m.GetPosition();
    EXPECT_NEAR(p.x, 14.0f, 1e-4f);
    EXPECT_NEAR(p.z, 0.0f, 1e-4f);
    m.MoveParent(0, 6, 0);
    EXPECT_NEAR(m.GetPosition().y, 3.0f, 1e-4f);  // the offset divided by the scale
    m.SetScale(4.0f);
    D3DXVECTOR3 axisX = m.GetAxisX();
    EXPECT_NEAR(D3DXVec3Length(&axisX), 4.0f, 1e-4f);
    EXPECT_NEAR(m.GetPosition().x, 14.0f, 1e-4f);

    // A child follows its parent.
    Model parent, child;
    parent.Init(&box, 0, 0, 100, 1.0f);
    parent.RotateY(D3DX_PI / 2);
    child.Init(&box, 0, 0, 5, 1.0f);
    child.parent = &parent;
    D3DXVECTOR3 cp = child.GetPosition();
    EXPECT_NEAR(cp.x, 5.0f, 1e-4f);
    EXPECT_NEAR(cp.z, 100.0f, 1e-4f);
    D3DXVECTOR3 corners[8];
    child.GetCorners(corners);
    EXPECT_NEAR(corners[0].x, 5.0f + 3.0f, 1e-4f);  // model z (max 3) turned onto world x
    // A parent loop made by mistake ends instead of recursing forever.
    parent.parent = &child;
    child.GetWorldMatrix();
    parent.parent = nullptr;

    // Orientation keeps position and scale.
    Model o;
    o.Init(&box, 1, 2, 3, 2.0f);
    o.LookAt(1, 2, 13);
    EXPECT_NEAR(o.GetAxisZ().z, 2.0f, 1e-5f);
    EXPECT_NEAR(o.GetAxisX().x, 2.0f, 1e-5f);
    EXPECT_EQ(o.GetPosition(), D3DXVECTOR3(1, 2, 3));
    o.SetOrientation(D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0));
    EXPECT_NEAR(o.GetAxisZ().x, 2.0f, 1e-5f);
    EXPECT_NEAR(o.GetAxisX().z, -2.0f, 1e-5f);
    EXPECT_NEAR(o.GetAxisY().y, 2.0f, 1e-5f);
}

TEST_F(ResourcesTest, FaceTowardsTurnsAboutTheVerticalOnly) {
    Mesh box;
    Model m;
    m.Init(&box, 5, 1, 5, 2.0f);
    m.FaceTowards(5, 9, 50);  // straight ahead: yaw 0
    EXPECT_NEAR(m.GetAxisZ().x, 0.0f, 1e-5f);
    EXPECT_NEAR(m.GetAxisZ().z, 2.0f, 1e-5f);
    EXPECT_NEAR(m.GetAxisY().y, 2.0f, 1e-5f);
    m.FaceTowards(5, 0, -50);  // straight behind: yaw -pi
    EXPECT_NEAR(m.GetAxisZ().x, 0.0f, 1e-5f);
    EXPECT_NEAR(m.GetAxisZ().z, -2.0f, 1e-5f);
    EXPECT_NEAR(m.GetAxisX().x, -2.0f, 1e-5f);
    m.FaceTowards(15, 0, 5);  // to the right
    EXPECT_NEAR(m.GetAxisZ().x, 2.0f, 1e-5f);
    m.FaceTowards(-5, 0, 15);  // ahead and to the left
    EXPECT_NEAR(m.GetAxisZ().x, -std::sqrt(2.0f), 1e-5f);
    EXPECT_NEAR(m.GetAxisZ().z, std::sqrt(2.0f), 1e-5f);
    EXPECT_EQ(m.GetPosition(), D3DXVECTOR3(5, 1, 5));
}

TEST_F(ResourcesTest, IsOnScreenByPositionOrAnyCorner) {
    DefaultCamera();
    ASSERT_TRUE(BeginFrame(0xFF000000));
    EndFrame();
    Mesh longBox;
    longBox.boundsMin = D3DXVECTOR3(-1, -1, -1);
    longBox.boundsMax = D3DXVECTOR3(1, 1, 30);
    Model m;
    m.Init(&longBox, 0, 0, -10, 1.0f);  // centre behind the camera, front corners well ahead
    EXPECT_LT(ProjectToScreen(m.GetPosition()).z, 0.0f);
    EXPECT_TRUE(m.IsOnScreen());
    m.Init(&longBox, 0, 0, -40, 1.0f);  // wholly behind
    EXPECT_FALSE(m.IsOnScreen());
    m.Init(&longBox, 0, 0, 10, 1.0f);
    EXPECT_TRUE(m.IsOnScreen());
    m.Init(&longBox, 500, 0, 10, 1.0f);  // far off to the side
    EXPECT_FALSE(m.IsOnScreen());
}

}  // namespace
