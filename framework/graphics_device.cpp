#include "framework/graphics_device.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/application.h"
#include "framework/config_file.h"
#include "framework/debug_log.h"
#include "framework/frame_stats.h"
#include "framework/picture_pacer.h"
#include "framework/presentation.h"
#include "framework/screenshot.h"
#include "framework/text_draw.h"
#include "platform/frame_fit.h"
#include "platform/system.h"

GfxDirect3D* direct3D = nullptr;
GfxDevice* device = nullptr;
D3DPRESENT_PARAMETERS presentParams = {};
int windowed = 1;
uint32_t adapter = D3DADAPTER_DEFAULT;
char deviceTypeName[16] = "";
int screenWidth = 640;
int screenHeight = 480;
D3DFORMAT displayFormat = D3DFMT_UNKNOWN;

int maxPrimitiveCount = 0;
int maxActiveLights = 0;
int fogVertexCap = 0;
int fogTableCap = 0;
int fogRangeCap = 0;
int textureMemoryKB = 0;
int maxTextureWidth = 0;
int maxTextureHeight = 0;
int maxTextureStages = 0;
int squareTexturesOnly = 0;
int textureAlphaCap = 0;
int textureMipmapCap = 0;
int bumpMapCap = 0;

D3DXMATRIX worldMatrix;
D3DXMATRIX viewMatrix;
D3DXMATRIX cameraMatrix;
D3DXMATRIX projectionMatrix;
D3DXMATRIX viewportMatrix;
D3DXMATRIX screenMatrix;
D3DXMATRIX inverseScreenMatrix;
D3DXMATRIX identityMatrix;

D3DLIGHT8 light0 = {};
int lightEnabled = 0;

static const char* const kErrorCaption = "エラー";

namespace {
constexpr int kFrameW = 640, kFrameH = 480;
const char* const kResolutionWords[] = {"1x", "2x", "window", nullptr};
}  // namespace
ConfigSetting displayResolution{"display.resolution", kResolutionWords, 0,
                                "the size the picture is drawn at before it is shown: 1x is 640 x 480, 2x is "
                                "1280 x 960, window is the window's own size (sharper, and costlier to draw); "
                                "with display.aspect wide, 480 lines, 960 lines or the window's pixels"};
namespace {
const char* const kAspectWords[] = {"4:3", "wide", nullptr};
}  // namespace
ConfigSetting displayAspect{"display.aspect", kAspectWords, kAspect43,
                            "the picture's shape: 4:3 is the game's own frame (black bars on a wider screen); "
                            "wide draws the 3D at the window's shape, up to 21:9, more to see at the sides, the "
                            "texts and the HUD as they are in the centre"};

int pictureLeft = 0;
int pictureRight = 640;
float pictureWidth = 640.0f;

bool WidePictures() { return displayAspect.value == kAspectWide; }

RenderResolution ConfiguredRenderResolution() {
    switch (displayResolution.value) {
        case 1: return RenderResolution::k2x;
        case 2: return RenderResolution::kWindow;
        default: return RenderResolution::k1x;
    }
}

RenderSize RenderSizeFor(RenderResolution resolution, int windowWidth, int windowHeight) {
    switch (resolution) {
        case RenderResolution::k2x: return {2 * kFrameW, 2 * kFrameH};
        case RenderResolution::kWindow: {
            // The picture the window shows the frame as, filling its height or width; a window
            // smaller than the frame shows the frame shrunk, as at 1x.
            const FrameFit fit = FitFrame(kFrameW, kFrameH, windowWidth, windowHeight, FrameScaling::kSmooth);
            if (fit.width <= kFrameW || fit.height <= kFrameH) return {kFrameW, kFrameH};
            return {fit.width, fit.height};
        }
        case RenderResolution::k1x: break;
    }
    return {kFrameW, kFrameH};
}

RenderSize WideRenderSizeFor(RenderResolution resolution, int windowWidth, int windowHeight) {
    float aspect = kNarrowestAspect;
    if (windowWidth > 0 && windowHeight > 0) aspect = static_cast<float>(windowWidth) / static_cast<float>(windowHeight);
    aspect = aspect < kNarrowestAspect ? kNarrowestAspect : (aspect > kWidestAspect ? kWidestAspect : aspect);
    // An even width keeps the 640 x 480 layer on whole pixels in the middle.
    const int width1x = 2 * static_cast<int>(std::lround(240.0f * aspect));
    switch (resolution) {
        case RenderResolution::k2x: return {2 * width1x, 2 * kFrameH};
        case RenderResolution::kWindow: {
            const FrameFit fit = FitFrame(width1x, kFrameH, windowWidth, windowHeight, FrameScaling::kSmooth);
            if (fit.height <= kFrameH) return {width1x, kFrameH};
            // A window of a shape within the range is drawn pixel for pixel.
            const float shape = static_cast<float>(windowWidth) / static_cast<float>(windowHeight);
            if (shape >= kNarrowestAspect && shape <= kWidestAspect) return {windowWidth, windowHeight};
            return {fit.width, fit.height};
        }
        case RenderResolution::k1x: break;
    }
    return {width1x, kFrameH};
}

// The projection and the viewport matrix for the picture the device draws now: a 4:3 picture
// keeps the game's own (aspect 640 / 480), a wide one widens both and keeps the vertical field of
// view, so the 640 x 480 centre shows what the 4:3 picture shows.
static void SetPictureShape() {
    pictureWidth = 640.0f;
    if (device && device->WideFrame()) {
        pictureWidth = WidePictureWidth(static_cast<int>(device->FrameWidth()), static_cast<int>(device->FrameHeight()));
    }
    pictureLeft = static_cast<int>(std::floor((640.0f - pictureWidth) * 0.5f));
    pictureRight = 640 - pictureLeft;
    D3DXMatrixPerspectiveFovLH(&projectionMatrix, D3DX_PI / 4.0f, pictureWidth / static_cast<float>(screenHeight),
                               0.1f, 2000.0f);
    D3DXMatrixIdentity(&viewportMatrix);
    viewportMatrix._11 = pictureWidth / 2.0f;
    viewportMatrix._22 = -screenHeight / 2.0f;
    viewportMatrix._41 = screenWidth / 2.0f;
    viewportMatrix._42 = screenHeight / 2.0f;
    if (device) device->SetTransform(D3DTS_PROJECTION, &projectionMatrix);
}

bool ApplyRenderResolution() {
    if (!device) return false;
    int w = 0, h = 0;
    device->GetWindowPixelSize(&w, &h);
    const bool wide = WidePictures();
    if (device->WideFrame() != wide) {
        device->SetWideFrame(wide);
        SetPictureShape();
    }
    const RenderSize size = wide ? WideRenderSizeFor(ConfiguredRenderResolution(), w, h)
                                 : RenderSizeFor(ConfiguredRenderResolution(), w, h);
    if (static_cast<int>(device->FrameWidth()) == size.width && static_cast<int>(device->FrameHeight()) == size.height) {
        return true;
    }
    if (FAILED(device->SetRenderSize(static_cast<UINT>(size.width), static_cast<UINT>(size.height)))) {
        // Logged once per size asked for, not once per frame.
        static RenderSize refused{0, 0};
        if (refused.width != size.width || refused.height != size.height) {
            LogWarning("display: the device cannot draw at %d x %d; the picture stays at %u x %u\n", size.width,
                       size.height, device->FrameWidth(), device->FrameHeight());
            refused = size;
        }
        return false;
    }
    SetPictureShape();
    Log("internal resolution %d x %d\n", size.width, size.height);
    return true;
}

const char* FormatName(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R8G8B8: return "D3DFMT_R8G8B8";
        case D3DFMT_A8R8G8B8: return "D3DFMT_A8R8G8B8";
        case D3DFMT_X8R8G8B8: return "D3DFMT_X8R8G8B8";
        case D3DFMT_R5G6B5: return "D3DFMT_R5G6B5";
        case D3DFMT_X1R5G5B5: return "D3DFMT_X1R5G5B5";
        case D3DFMT_A1R5G5B5: return "D3DFMT_A1R5G5B5";
        case D3DFMT_A4R4G4B4: return "D3DFMT_A4R4G4B4";
        case D3DFMT_R3G3B2: return "D3DFMT_R3G3B2";
        case D3DFMT_A8: return "D3DFMT_A8";
        case D3DFMT_A8R3G3B2: return "D3DFMT_A8R3G3B2";
        case D3DFMT_X4R4G4B4: return "D3DFMT_X4R4G4B4";
        case D3DFMT_D16_LOCKABLE: return "D3DFMT_D16_LOCKABLE";
        case D3DFMT_D32: return "D3DFMT_D32";
        case D3DFMT_D15S1: return "D3DFMT_D15S1";
        case D3DFMT_D24S8: return "D3DFMT_D24S8";
        case D3DFMT_D24X8: return "D3DFMT_D24X8";
        case D3DFMT_D24X4S4: return "D3DFMT_D24X4S4";
        case D3DFMT_D16: return "D3DFMT_D16";
        default: return "D3DFMT_UNKNOWN";
    }
}

DisplayModeChoice ChooseDisplayMode(const D3DDISPLAYMODE* modes, int count, D3DFORMAT desktopFormat) {
    DisplayModeChoice choice{false, D3DFMT_UNKNOWN};
    for (int i = 0; i < count; ++i) {
        if (modes[i].Width != 640 || modes[i].Height != 480) continue;
        if (modes[i].Format == desktopFormat) {
            choice.found = true;
            choice.format = desktopFormat;
            return choice;
        }
        choice.format = modes[i].Format;  // the last 640 x 480 mode in another format wins
    }
    return choice;
}

// Picks the adapter and the mode, decides window or full screen, finds the depth format and
// makes the device, logging each step.
static bool CreateDevice(int width, int height) {
    screenWidth = width;
    screenHeight = height;

    UINT adapterCount = direct3D->GetAdapterCount();
    Log("アダプタ数 = %d\n", static_cast<int>(adapterCount));
    Log("アダプタID = ");
    if (adapterCount > 1 && HasSwitch("-2nd")) {
        adapter = 1;
        Log("1\n");
    } else {
        adapter = D3DADAPTER_DEFAULT;
        Log("D3DADAPTER_DEFAULT\n");
    }
    D3DADAPTER_IDENTIFIER8 id{};
    direct3D->GetAdapterIdentifier(adapter, 0, &id);
    Log("アダプタ名 = %s\n", id.Description);

    UINT modeCount = direct3D->GetAdapterModeCount(adapter);
    Log("アダプタのモード数 = %d\n", static_cast<int>(modeCount));
    D3DDISPLAYMODE desktop{};
    direct3D->GetAdapterDisplayMode(adapter, &desktop);
    displayFormat = desktop.Format;
    Log("現在のモード = %d x %d %s\n", static_cast<int>(desktop.Width), static_cast<int>(desktop.Height),
        FormatName(displayFormat));
    D3DDISPLAYMODE* modes = new D3DDISPLAYMODE[modeCount ? modeCount : 1];
    int listed = 0;
    for (UINT i = 0; i < modeCount; ++i) {
        if (SUCCEEDED(direct3D->EnumAdapterModes(adapter, i, &modes[listed]))) ++listed;
    }
    DisplayModeChoice choice = ChooseDisplayMode(modes, listed, displayFormat);
    delete[] modes;
    Log("ウインドウ化 = ");
    if (choice.found) {
        // "-win" opens a window for this run; otherwise the player's setting decides.
        windowed = (HasSwitch("-win") || displayMode.value == kDisplayWindow) ? 1 : 0;
        Log(windowed ? "ON\n" : "OFF\n");
    } else {
        displayFormat = choice.format;
        windowed = 0;
        Log("OFF(フォーマット変更)\n");
    }
    Log("選択されたモード = %d x %d %s ", width, height, FormatName(displayFormat));

    std::memset(&presentParams, 0, sizeof(presentParams));
    presentParams.BackBufferWidth = static_cast<UINT>(width);
    presentParams.BackBufferHeight = static_cast<UINT>(height);
    presentParams.BackBufferFormat = displayFormat;
    presentParams.BackBufferCount = 1;
    presentParams.MultiSampleType = D3DMULTISAMPLE_NONE;
    presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentParams.hDeviceWindow = SysWindowHandle();
    presentParams.Windowed = windowed;
    presentParams.EnableAutoDepthStencil = 1;
    presentParams.FullScreen_PresentationInterval = StartPresentationInterval(static_cast<int>(desktop.RefreshRate));

    static const D3DFORMAT kDepthFormats[] = {D3DFMT_D16, D3DFMT_D15S1, D3DFMT_D24X8,
                                              D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32};
    D3DFORMAT depth = D3DFMT_UNKNOWN;
    for (D3DFORMAT f : kDepthFormats) {
        if (SUCCEEDED(direct3D->CheckDeviceFormat(adapter, D3DDEVTYPE_HAL, displayFormat, D3DUSAGE_DEPTHSTENCIL,
                                                  D3DRTYPE_SURFACE, f)) &&
            SUCCEEDED(direct3D->CheckDepthStencilMatch(adapter, D3DDEVTYPE_HAL, displayFormat, displayFormat, f))) {
            depth = f;
            break;
        }
    }
    presentParams.AutoDepthStencilFormat = depth;
    Log("(%s)\n", FormatName(depth));

    if (windowed) SysShowWindow();

    struct Attempt {
        const char* name;
        D3DDEVTYPE type;
        DWORD flags;
    };
    static const Attempt kAttempts[] = {
        {"TnLHAL", D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
        {"HAL", D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
        {"REF", D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    };
    for (const Attempt& a : kAttempts) {
        std::snprintf(deviceTypeName, sizeof(deviceTypeName), "%s", a.name);
        if (SUCCEEDED(direct3D->CreateDevice(adapter, a.type, SysWindowHandle(), a.flags, &presentParams, &device))) {
            break;
        }
        device = nullptr;
    }
    if (!device) {
        SysMessageBox(kErrorCaption, "3Dデバイスが作成できません.");
        return false;
    }
    // Full screen shows the frame scaled over the whole display; off-screen there is nothing to fill.
    if (!windowed && !SysHeadless()) {
        SysShowWindow();
        SysWindowFullscreen(true);
    }
    Log("デバイスタイプ = %s\n", deviceTypeName);
    // The wait for the display, chosen again now the window has its mode, and logged.
    ApplyPresentation();
    return true;
}

static void LogCapabilities() {
    D3DCAPS8 caps{};
    device->GetDeviceCaps(&caps);
    maxPrimitiveCount = static_cast<int>(caps.MaxPrimitiveCount);
    maxActiveLights = static_cast<int>(caps.MaxActiveLights);
    fogVertexCap = (caps.RasterCaps & D3DPRASTERCAPS_FOGVERTEX) ? 1 : 0;
    fogTableCap = (caps.RasterCaps & D3DPRASTERCAPS_FOGTABLE) ? 1 : 0;
    fogRangeCap = (caps.RasterCaps & D3DPRASTERCAPS_FOGRANGE) ? 1 : 0;
    textureMemoryKB = static_cast<int>(device->GetAvailableTextureMem() >> 10);
    maxTextureWidth = static_cast<int>(caps.MaxTextureWidth);
    maxTextureHeight = static_cast<int>(caps.MaxTextureHeight);
    maxTextureStages = static_cast<int>(caps.MaxSimultaneousTextures);
    squareTexturesOnly = (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : 0;
    textureAlphaCap = (caps.TextureCaps & D3DPTEXTURECAPS_ALPHA) ? 1 : 0;
    textureMipmapCap = (caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP) ? 1 : 0;
    bumpMapCap = (caps.TextureOpCaps & D3DTEXOPCAPS_BUMPENVMAP) ? 1 : 0;
    Log("最大プリミティブ = %d\n最大ライト = %d\nフォグ{\n\t頂点 = %d\n\tピクセル = %d\n\t範囲 = %d\n}\n",
        maxPrimitiveCount, maxActiveLights, fogVertexCap, fogTableCap, fogRangeCap);
    Log("テクスチャー{\n\t利用可能メモリ = %d KB\n\t最大サイズ = %d x %d\n\t最大ステージ = %d\n"
        "\t非正方形テクスチャ = %d\n\tアルファブレンド = %d\n\tミップマップ = %d\n\tバンプマップ = %d\n}\n",
        textureMemoryKB, maxTextureWidth, maxTextureHeight, maxTextureStages, squareTexturesOnly ? 0 : 1,
        textureAlphaCap, textureMipmapCap, bumpMapCap);
}

static void SetDefaultTransforms() {
    D3DXMatrixIdentity(&identityMatrix);
    worldMatrix = identityMatrix;
    device->SetTransform(D3DTS_WORLD, &worldMatrix);
    SetCameraLookAt(D3DXVECTOR3(0.0f, 0.0f, -1.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    device->SetTransform(D3DTS_VIEW, &viewMatrix);
    SetPictureShape();
    D3DXMatrixInverse(&cameraMatrix, nullptr, &viewMatrix);
    screenMatrix = viewMatrix * projectionMatrix * viewportMatrix;
    D3DXMatrixInverse(&inverseScreenMatrix, nullptr, &screenMatrix);
    D3DCLIPSTATUS8 clip{0xFFF, 0xFFF};
    device->SetClipStatus(&clip);
}

static void SetDefaultRenderStates() {
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF808080u);
    device->SetRenderState(D3DRS_SPECULARENABLE, 0);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000u, 1.0f, 0);
}

bool InitDirect3D() {
    LogSeparator();
    Log("InitDirect3D\n");
    RememberShotDirectory();
    direct3D = Direct3DCreate8(D3D_SDK_VERSION);
    if (!direct3D) {
        SysMessageBox(kErrorCaption, "Direct3Dの初期化に失敗しました.");
        return false;
    }
    if (!CreateDevice(640, 480)) return false;
    LogCapabilities();
    SetDefaultTransforms();
    SetDefaultRenderStates();
    SetDirectionalLight(1.0f, -1.0f, 1.0f, 0.5f, 0.5f, 0.5f, 0.0f);
    ApplyRenderResolution();
    CreateTextFont(16, 0xFFFFFFFFu, 400);
    return true;
}

void FreeDirect3D() {
    LogSeparator();
    Log("FreeDirect3D\n");
    LogMissingShots();
    FreeTextFont();
    if (device) device->Release();
    device = nullptr;
    if (direct3D) direct3D->Release();
    direct3D = nullptr;
}

namespace {
UINT pipelinesAtBegin = 0;  // the device's pipeline count when the current frame began
bool frameBegun = false;    // between BeginFrame and EndFrame
uint32_t presentCount = 0;  // frames presented so far
bool deviceNeedsReset = false;
}  // namespace

bool DeviceNeedsReset() { return deviceNeedsReset; }

bool BeginFrame(D3DCOLOR clearColor) {
    if (!device) return false;
    HRESULT level = device->TestCooperativeLevel();
    deviceNeedsReset = level == D3DERR_DEVICENOTRESET;
    if (level == D3DERR_DEVICELOST) {
        Log("3Dデバイスがロストしています.\n");
        return false;
    }
    if (deviceNeedsReset) {
        Log("3Dデバイスのリセットが必要です.\n");
        return false;
    }
    if (ConfiguredRenderResolution() != RenderResolution::k1x || WidePictures()) ApplyRenderResolution();
    HRESULT begun = device->BeginScene();
    if (begun == D3DERR_INVALIDCALL) {
        // A scene that returned without ending its frame would otherwise shut every later frame out.
        Log("BeginFrame: the previous frame was not ended\n");
        device->EndScene();
        begun = device->BeginScene();
    }
    if (FAILED(begun)) return false;
    frameBegun = true;
    pipelinesAtBegin = device->PipelineCount();
    device->Clear(0, nullptr, D3DCLEAR_ZBUFFER | (clearColor ? D3DCLEAR_TARGET : 0), clearColor, 1.0f, 0);
    device->GetTransform(D3DTS_VIEW, &viewMatrix);
    // A view that cannot be inverted keeps the previous camera rather than garbage.
    D3DXMatrixInverse(&cameraMatrix, nullptr, &viewMatrix);
    screenMatrix = viewMatrix * projectionMatrix * viewportMatrix;
    D3DXMatrixInverse(&inverseScreenMatrix, nullptr, &screenMatrix);
    return true;
}

void EndFrame() {
    if (!device) return;
    frameBegun = false;
    if (const UINT built = device->PipelineCount() - pipelinesAtBegin) {
        StatsCountPipelines(built);
        Log("graphics device: %u pipeline(s) first drawn in shown frame %u\n", built, frameNumber);
    }
    device->EndScene();
    // --shot N takes the first picture of step N; the pictures between two steps are not shots.
    if (!pictureBetweenSteps) WriteShotsForFrame(frameNumber);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    ++presentCount;
}

uint32_t PresentCount() { return presentCount; }

bool LastPictureDrawn() { return !device || device->LastFrameDrawn(); }

namespace {
bool BeginUnseenFrame() {
    if (frameBegun) {
        // Beginning here would end the frame being drawn; the scene's own frame builds them instead.
        Log("graphics device: an unseen drawing inside a frame was left out\n");
        return false;
    }
    return BeginFrame(0xff000000u);
}

void EndUnseenFrame() {
    device->EndScene();
    frameBegun = false;
    // Handed to the rasteriser now, so its compiling is done behind this loading step.
    device->Flush();
}
}  // namespace

void DrawUnseen(void (*draw)()) {
    if (!draw || !BeginUnseenFrame()) return;
    draw();
    EndUnseenFrame();
}

void DrawUnseen(void (*draw)(int t), int t) {
    if (!draw || !BeginUnseenFrame()) return;
    draw(t);
    EndUnseenFrame();
}

void SetCameraLookAt(D3DXVECTOR3 eye, D3DXVECTOR3 target, D3DXVECTOR3 up) {
    D3DXMatrixLookAtLH(&viewMatrix, &eye, &target, &up);
}

D3DXVECTOR3 ProjectThrough(const D3DXMATRIX& screen, const D3DXMATRIX& view, D3DXVECTOR3 point) {
    D3DXVECTOR4 p;
    D3DXVec3Transform(&p, &point, &screen);
    D3DXVECTOR3 out(p.x, p.y, 0.0f);
    if (p.w != 0.0f) {
        out.x = p.x / p.w;
        out.y = p.y / p.w;
    }
    // Camera position -(R t) and forward axis (third column) from the view matrix.
    const D3DXMATRIX& v = view;
    D3DXVECTOR3 t(v._41, v._42, v._43);
    D3DXVECTOR3 cam(-(v._11 * t.x + v._12 * t.y + v._13 * t.z), -(v._21 * t.x + v._22 * t.y + v._23 * t.z),
                    -(v._31 * t.x + v._32 * t.y + v._33 * t.z));
    D3DXVECTOR3 forward(v._13, v._23, v._33);
    D3DXVECTOR3 rel = point - cam;
    if (D3DXVec3Dot(&rel, &forward) < 0.0f) out.z = -1.0f;
    return out;
}

D3DXVECTOR3 ProjectToScreen(D3DXVECTOR3 point) { return ProjectThrough(screenMatrix, viewMatrix, point); }

bool ProjectsOnScreen(const D3DXVECTOR3& point, float margin) {
    const D3DXVECTOR3 s = ProjectToScreen(point);
    return s.z >= 0.0f && s.x >= static_cast<float>(pictureLeft) - margin &&
           s.x <= static_cast<float>(pictureRight) + margin && s.y >= -margin && s.y <= 480.0f + margin;
}

void SetDirectionalLight(float x, float y, float z, float r, float g, float b, float a) {
    std::memset(&light0, 0, sizeof(light0));
    light0.Type = D3DLIGHT_DIRECTIONAL;
    light0.Diffuse = D3DCOLORVALUE{r, g, b, a};
    light0.Range = 1000.0f;
    D3DXVECTOR3 dir(x, y, z);
    D3DXVec3Normalize(&dir, &dir);
    light0.Direction = dir;
    if (!device) return;
    device->SetLight(0, &light0);
    device->LightEnable(0, 1);
    lightEnabled = 1;
}

void EnableLight(bool enable) {
    if (device) device->LightEnable(0, enable ? 1 : 0);
    lightEnabled = enable ? 1 : 0;
}

void SetAlphaBlend(bool enable, DWORD srcBlend, DWORD destBlend) {
    if (!device) return;
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, enable ? 1 : 0);
    if (enable) {
        device->SetRenderState(D3DRS_SRCBLEND, srcBlend);
        device->SetRenderState(D3DRS_DESTBLEND, destBlend);
    }
}

void SetBillboardWorld(float x, float y, float z) {
    D3DXMATRIX world = cameraMatrix;
    world._41 = x;
    world._42 = y;
    world._43 = z;
    if (device) device->SetTransform(D3DTS_WORLD, &world);
}
