// The graphics device set-up: the one device of the game, its display mode and window decision, the
// capabilities the game reads, the fixed default state, the per-frame begin and end, and the camera
// matrices used to project points to the screen.
#pragma once
#include <cstdint>

#include "framework/config_file.h"
#include "platform/gfx.h"
#include "platform/math.h"

// Device globals (owned here; released by FreeDirect3D).
extern GfxDirect3D* direct3D;
extern GfxDevice* device;  // the device the game draws with
extern D3DPRESENT_PARAMETERS presentParams;
extern uint32_t adapter;          // 0 (D3DADAPTER_DEFAULT) or 1
extern char deviceTypeName[16];   // "TnLHAL", "HAL" or "REF"
extern int screenWidth;           // always 640
extern int screenHeight;          // always 480
extern D3DFORMAT displayFormat;
// 1 while the game shows in a window, 0 full screen: decided when the device opens (the "-win"
// switch or the display mode; always 0 headless), switched by the full-screen toggle.
extern int windowed;

// Capabilities, as 0/1 flags or numbers (read once by InitDirect3D).
extern int maxPrimitiveCount;
extern int maxActiveLights;
extern int fogVertexCap;
extern int fogTableCap;
extern int fogRangeCap;
extern int textureMemoryKB;
extern int maxTextureWidth;
extern int maxTextureHeight;
extern int maxTextureStages;
extern int squareTexturesOnly;
extern int textureAlphaCap;
extern int textureMipmapCap;
extern int bumpMapCap;

// Matrices, row-vector convention.
extern D3DXMATRIX worldMatrix;
extern D3DXMATRIX viewMatrix;           // read back from the device at every BeginFrame
extern D3DXMATRIX cameraMatrix;         // inverse of viewMatrix
extern D3DXMATRIX projectionMatrix;
extern D3DXMATRIX viewportMatrix;       // projected coordinates to pixels
extern D3DXMATRIX screenMatrix;         // view x projection x viewport
extern D3DXMATRIX inverseScreenMatrix;
extern D3DXMATRIX identityMatrix;

// Light 0 as last set by SetDirectionalLight, and whether it is on.
extern D3DLIGHT8 light0;
extern int lightEnabled;

// Start-up: adapter, mode, window decision, depth format, device, capabilities, default state.
// False after a message box when no device can be made.
bool InitDirect3D();
void FreeDirect3D();

// Starts a frame: depth cleared to 1.0, the picture cleared only when the colour is nonzero
// (0xFF000000 clears to black, 0 keeps the previous picture). False when the device is lost (or
// needs a reset, see DeviceNeedsReset) or the scene cannot begin.
bool BeginFrame(D3DCOLOR clearColor);
// The last BeginFrame found the device needing a reset, which this game does not attempt: the
// frame loop then closes the program.
bool DeviceNeedsReset();
// Ends the scene and presents the frame; writes the screenshots asked for this frame. A pipeline
// first drawn between the frame's begin and end made this shown frame wait for its compile: the
// frame statistics count it for the scene, and the debug log says so.
void EndFrame();
// Frames presented by EndFrame so far (the loop tells from it whether a scene showed a picture).
uint32_t PresentCount();
// Whether the rasteriser has finished the last frame presented (never waits; true without a device).
bool LastPictureDrawn();
// Draws `draw` once into a frame that is never shown: a loading step draws the scene it leads to,
// so the renderer builds every pipeline that drawing needs there and not in the scene's first
// shown frames. Outside a frame only; the next frame begins with a clear as usual.
void DrawUnseen(void (*draw)());
// The same for a drawing of scene frame t (a scene's look at one of its moments).
void DrawUnseen(void (*draw)(int t), int t);

// Left-handed look-at into viewMatrix; the caller hands viewMatrix to the device itself.
void SetCameraLookAt(D3DXVECTOR3 eye, D3DXVECTOR3 target, D3DXVECTOR3 up);
// Pixel coordinates of a world point through screenMatrix; z is 0 in front of the camera, -1 behind.
D3DXVECTOR3 ProjectToScreen(D3DXVECTOR3 point);
// A world point projects in front of the camera onto the picture widened by `margin` pixels on
// each side (x from pictureLeft - margin to pictureRight + margin, y from -margin to 480 + margin,
// both ends in; 0 to 640 for a 4:3 picture): the one test of what a drawing leaves out.
bool ProjectsOnScreen(const D3DXVECTOR3& point, float margin = 0.0f);
// The same through any screen and view matrix.
D3DXVECTOR3 ProjectThrough(const D3DXMATRIX& screen, const D3DXMATRIX& view, D3DXVECTOR3 point);
// Light 0 as a directional light of that direction (normalised) and diffuse colour; enables it.
void SetDirectionalLight(float x, float y, float z, float r, float g, float b, float a);
void EnableLight(bool enable);
// Blending on or off; when switching on, also the source and destination factors.
void SetAlphaBlend(bool enable, DWORD srcBlend, DWORD destBlend);
// World transform = cameraMatrix with its translation replaced by (x, y, z): a camera-facing sprite.
void SetBillboardWorld(float x, float y, float z);

// The display-mode walk: a 640 x 480 mode in the desktop's format is found; otherwise the format
// of the last 640 x 480 mode listed (D3DFMT_UNKNOWN when there is none) replaces it.
struct DisplayModeChoice {
    bool found;
    D3DFORMAT format;
};
DisplayModeChoice ChooseDisplayMode(const D3DDISPLAYMODE* modes, int count, D3DFORMAT desktopFormat);

// The picture's shape, from korvan.cfg's display.aspect: kAspect43 (the default) draws the game's
// 640 x 480 frame; kAspectWide draws the 3D at the window's own shape (from 4:3 to 21:9, the
// vertical field of view kept, so a wider window shows more to the sides), the 640 x 480 layer
// of text and pictures whole in its centre.
enum { kAspect43 = 0, kAspectWide = 1 };
extern ConfigSetting displayAspect;
bool WidePictures();
// The picture's edges in the 640 x 480 layer's pixels: 0 and 640 for a 4:3 picture; a wide one
// reaches beyond them (-107 and 747 at 16:9). Full-screen covers (fades, curtains, the pause's
// dimming) span these; the on-screen tests of the 3D use them.
extern int pictureLeft;
extern int pictureRight;
// The picture's width in the layer's pixels (640.0 at 4:3; 853.33 at 16:9).
extern float pictureWidth;

// The largest picture shape a wide window is drawn at, and the narrowest (the 640 x 480 layer
// always fits whole): 21:9 and 4:3. A window outside them shows the nearest with black bars.
constexpr float kWidestAspect = 21.0f / 9.0f;
constexpr float kNarrowestAspect = 4.0f / 3.0f;

// The internal resolution: the size the frame is drawn at, from korvan.cfg's display.resolution
// (1x: 640 x 480; 2x: 1280 x 960; window: the largest 4:3 picture the window holds, never below
// 640 x 480). The 3D is drawn at that size with the same view and the 640 x 480 layer of text and
// pictures scaled with it.
enum class RenderResolution { k1x, k2x, kWindow };
struct RenderSize {
    int width, height;
};
RenderSize RenderSizeFor(RenderResolution resolution, int windowWidth, int windowHeight);
// The same for a wide picture: the window's shape (within kNarrowestAspect..kWidestAspect) at 480
// lines (1x, an even width: 854 x 480 at 16:9), 960 lines (2x), or the window's own pixels
// (window; the largest picture of that shape the window holds, never below 480 lines).
RenderSize WideRenderSizeFor(RenderResolution resolution, int windowWidth, int windowHeight);
// The setting's current choice.
RenderResolution ConfiguredRenderResolution();
// Makes the device draw at the configured size and shape (for the window's size now), with the
// projection, viewport matrix and picture edges that shape needs; false, logged, when the device
// refuses it (the frame then keeps its size). Called at start-up and by every BeginFrame, which
// follows a window that changes size.
bool ApplyRenderResolution();

// Direct3D's enumerator name of a surface format, "D3DFMT_UNKNOWN" for any other value.
const char* FormatName(D3DFORMAT format);
