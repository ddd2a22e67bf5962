// Private to the graphics device: the OpenGL side of GfxDevice, shared by its files: gfx.cpp (the
// device's life), gfx_resources.cpp (textures and buffers), gfx_state.cpp (the states the game
// sets), gfx_pipeline.cpp (program variants and sending state), gfx_draw.cpp (draws and present),
// gfx_shader.cpp (the pipeline program) and gfx_adapter.cpp (context creation).
#pragma once
#include <epoxy/gl.h>

// What every shader of the device starts with: desktop GLSL 3.30, unless the GL header in use (the
// browser build's platform/webgl/epoxy/gl.h) names its own.
#ifndef GFX_GLSL_PROLOGUE
#define GFX_GLSL_PROLOGUE "#version 330 core\n"
#endif

#include <cstdint>
#include <unordered_set>

#include "platform/gfx.h"

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr int kMaxLights = 8;
// The largest side of the render target (SetRenderSize): 4x the frame's width, and more than any
// screen the game runs on.
constexpr UINT kMaxRenderSide = 4096;

// Uniform locations of the pipeline program.
struct GfxUniforms {
    GLint worldView, proj, normalMat, numLights, lightPos, lightDir, lightDiffuse,
        lightAmbient, lightSpecular, lightAtten, lightSpot, matDiffuse, matAmbient, matSpecular,
        matEmissive, matPower, globalAmbient, colorSource, specularOn, normalize, fogVertexMode,
        fogParams, rangeFog, texGen, texTransform, texMatrix, localViewer, frame;
    GLint tex, colorOp, alphaOp, tfactor, alphaFunc, alphaRef, fogPixel, fogParamsF, fogColor;
};

// What selects a variant of the pipeline program.
enum GfxProgramKey : uint32_t {
    kKeyRhw = 1u << 0,              // pre-transformed vertices
    kKeyLighting = 1u << 1,
    kKeyFogVertex = 1u << 2,        // fog factor per vertex
    kKeyFogTable = 1u << 3,         // fog factor per pixel
    kKeyTexture = 1u << 4,          // a texture is bound to stage 0
    kKeyStageGeneric = 1u << 5,     // stage 0 does something other than texture x diffuse
    kKeyAlphaTest = 1u << 6,
    kKeyFlat = 1u << 7,
    kKeySpecular = 1u << 8,
    kKeyTexCoordGeneric = 1u << 9,  // coordinate set 1, generated coordinates or a texture matrix
    kKeyFogTableLinear = 1u << 10,  // linear fog per pixel, its factor interpolated from the vertices
    kProgramKeyCount = 1u << 11,
};

// Compiles and links the variant of the pipeline program (for a wide frame when `wide`); 0 (and
// the reason in error) on failure.
GLuint GfxBuildProgram(uint32_t key, bool wide, GfxUniforms& u, char* error, int errorSize);

// One built variant and the uniform groups it has not been sent since they changed.
struct GfxProgram {
    GLuint program = 0;
    GfxUniforms u{};
    uint32_t stale = 0;
};

// Groups of uniforms and GL state that a draw re-sends only when something in them changed.
enum GfxDirty : uint32_t {
    kDirtyTransform = 1u << 0,   // world, view, projection
    kDirtyLights = 1u << 1,      // lights, enables, or the view they are seen through
    kDirtyMaterial = 1u << 2,    // material, ambient, colour sources, specular switch
    kDirtyFog = 1u << 3,
    kDirtyStage = 1u << 4,       // stage 0 operations, texture factor, alpha test
    kDirtyTexCoord = 1u << 5,    // coordinate generation and texture matrix
    kDirtySampler = 1u << 6,     // filters and addressing of stage 0
    kDirtyRaster = 1u << 7,      // depth, blending, culling, colour writes
    kDirtyTexture = 1u << 8,     // the texture bound to stage 0
    kDirtyAll = 0xFFFFFFFFu,
};

// Memory for vertices (or indices) drawn from the game's arrays: two buffers written front to back
// without waiting for the rasteriser. When one is full the other takes over, and a fence tells
// whether the draws that read the other one have finished (they have, many frames ago, unless a
// single frame fills a whole buffer). Orphaning the full buffer instead would make the driver
// allocate and clear fresh storage of the ring's size in the middle of a frame.
struct GfxStreamRing {
    GLuint names[2] = {0, 0};
    GLsync fences[2] = {nullptr, nullptr};
    int current = 0;
    uint32_t pos = 0, size = 0;
    GLuint name() const { return names[current]; }
};

struct GfxState {
    void* window = nullptr;   // SDL_Window*
    void* context = nullptr;  // SDL_GLContext
    bool headless = false;
    bool software = false;
    D3DFORMAT depthFormat = D3DFMT_D24X8;
    DWORD presentInterval = D3DPRESENT_INTERVAL_IMMEDIATE;  // how Present waits for the display

    GLuint fbo = 0, colorTex = 0, depthRb = 0;
    // The render target's size: the 640 x 480 frame, or that frame drawn at a higher resolution.
    int targetWidth = kFrameWidth, targetHeight = kFrameHeight;
    // A wide frame (SetWideFrame): the picture takes the target's shape, the 640 x 480 coordinates
    // of screen-space vertices centred in it; the programs are built with WIDE and read uFrame.
    bool wide = false;
    GLuint vao = 0, sampler = 0;
    GfxProgram* programs[kProgramKeyCount] = {};
    GfxProgram* built[kProgramKeyCount] = {};  // the first builtCount entries are the built ones
    uint32_t builtCount = 0;
    GfxProgram* current = nullptr;
    // Every pipeline that has drawn (see PipelineKeyOf in gfx_pipeline.cpp): the rasteriser has
    // compiled its code, so drawing it again costs no compile.
    std::unordered_set<uint64_t> pipelines;
    UINT pipelinesBuilt = 0;

    // Rings of memory for vertices and indices drawn from the game's arrays.
    GfxStreamRing vertexRing, indexRing;
    // One fence after each of the last two presented frames: a frame is handed over only once the
    // one two before it has been drawn, so the picture never runs more than two frames behind.
    GLsync frameFences[2] = {nullptr, nullptr};
    int frameFenceSlot = 0;

    // Device state, D3D values.
    DWORD rs[kD3DRenderStateCount] = {};
    DWORD tss[kD3DTextureStageCount][kD3DTextureStageStateCount] = {};
    D3DXMATRIX world, view, proj, texMat[kD3DTextureStageCount];
    D3DLIGHT8 lights[kMaxLights] = {};
    bool lightOn[kMaxLights] = {};
    D3DMATERIAL8 material = {};
    float minZ = 0.0f, maxZ = 1.0f;  // the viewport's depth range
    GfxTexture* textures[kD3DTextureStageCount] = {};
    DWORD fvf = 0;
    GfxVertexBuffer* stream = nullptr;
    UINT streamStride = 0;
    GfxIndexBuffer* indices = nullptr;
    UINT baseVertex = 0;
    bool inScene = false;
    HRESULT cooperative = D3D_OK;

    D3DCAPS8 caps = {}, realCaps = {};
    UINT textureMem = 0;

    // What was last sent, so draws skip what has not changed.
    uint32_t dirty = kDirtyAll;
    GLuint boundVbo = 0, boundIbo = 0;
    DWORD layoutFvf = 0xFFFFFFFFu;
    UINT layoutStride = 0;
    GLuint layoutVbo = 0;
    uintptr_t layoutOffset = 0;

    UINT drawCalls = 0, triangles = 0;
    bool blendOn = false;  // GL's blending switch as last set
    bool depthTestOn = false;  // GL's depth test switch as last set
    // Every depth value is 1.0 (the far plane) or more, as a clear left it: no draw wrote depth since.
    bool depthAtFar = false;
    uint32_t lastKey = 0;  // the variant of the last prepared draw

    // The profiler's hook (see GfxDevice::SetDrawHook) and its query of the pixels drawn.
    GfxDrawHook drawHook = nullptr;
    void* drawHookContext = nullptr;
    GLuint sampleQuery = 0;
    uint64_t hookStartNs = 0;
    double hookOverheadUs = 0;  // measuring an empty draw's cost, taken off each draw
};

// Around a draw or clear while a draw hook is set: waits for the rasteriser to finish what came
// before, then, after the draw, for the draw itself, and reports its cost.
void GfxProfileBegin(GfxState& s);
void GfxProfileEnd(GfxState& s, bool clear, UINT primitives);

// True while a device's GL context exists: resources that outlive the device (a static object
// destroyed at exit) then free nothing on the GL side, which went with the context.
extern bool gfxContextAlive;

// Creates the 640 x 480 target, program, buffers and default state on the current context.
bool GfxInitState(GfxState& s, char* error, int errorSize);
void GfxFreeState(GfxState& s);

// Direct3D's defaults for every render state, stage state, transform, light and the material.
void GfxSetDefaultState(GfxState& s);

// The variant for a key, built on first use (and made current); null, with the reason in error,
// when it cannot be built.
GfxProgram* GfxGetProgram(GfxState& s, uint32_t key, char* error, int errorSize);

// Before a draw: picks the program variant and sends what changed; false when the variant cannot
// be built (the draw is then skipped). rhw: pre-transformed vertices; diffuseMinAlpha: the least
// diffuse alpha of the draw's vertices (0 to 255).
bool GfxPrepareDraw(GfxState& s, D3DPRIMITIVETYPE type, bool rhw, uint8_t diffuseMinAlpha);
// Whether the pipeline such a draw needs has drawn before. A draw the camera cannot see is skipped
// only then: a loading screen's drawing of the coming scene still builds every pipeline it needs.
bool GfxPipelineDrawn(const GfxState& s, D3DPRIMITIVETYPE type, bool rhw, uint8_t diffuseMinAlpha);

// A D3DCOLOR (0xAARRGGBB) as red, green, blue, alpha from 0 to 1.
inline void GfxColorToFloats(D3DCOLOR c, float out[4]) {
    out[0] = ((c >> 16) & 0xFF) / 255.0f;
    out[1] = ((c >> 8) & 0xFF) / 255.0f;
    out[2] = (c & 0xFF) / 255.0f;
    out[3] = ((c >> 24) & 0xFF) / 255.0f;
}
