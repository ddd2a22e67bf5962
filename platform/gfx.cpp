// The graphics device on OpenGL 3.3: its life from the render target to the tear-down, and what it
// reports about itself (capabilities, cooperative level).
//
// Everything is drawn into one 640 x 480 colour texture with a depth buffer. Row 0 of that target
// is the top row of the D3D screen, so reading it back needs no flip; Present flips while it
// scales the frame into the window. The rest of the device lives beside this file:
// gfx_resources.cpp (textures, vertex and index buffers), gfx_state.cpp (the states the game
// sets), gfx_pipeline.cpp (program variants and sending the state to GL), gfx_draw.cpp (scenes,
// clears, draws, present), gfx_shader.cpp (the program's source) and gfx_adapter.cpp (displays
// and the creation of the device).
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/frame_fit.h"
#include "platform/gfx_gl.h"

bool gfxContextAlive = false;

// The colour texture and depth buffer everything is drawn into, at width x height, replacing any
// earlier ones; the viewport covers them.
static bool GfxMakeTarget(GfxState& s, int width, int height) {
    if (!s.colorTex) glGenTextures(1, &s.colorTex);
    glBindTexture(GL_TEXTURE_2D, s.colorTex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    // The texture bound to stage 0 was just displaced: the next draw binds it again.
    s.dirty |= kDirtyTexture;
    if (!s.depthRb) glGenRenderbuffers(1, &s.depthRb);
    glBindRenderbuffer(GL_RENDERBUFFER, s.depthRb);
    GLenum depthFormat = GL_DEPTH_COMPONENT24;
    bool stencil = false;
    switch (s.depthFormat) {
        case D3DFMT_D16:
        case D3DFMT_D16_LOCKABLE: depthFormat = GL_DEPTH_COMPONENT16; break;
        case D3DFMT_D32: depthFormat = GL_DEPTH_COMPONENT32; break;
        case D3DFMT_D24S8: depthFormat = GL_DEPTH24_STENCIL8; stencil = true; break;
        default: break;
    }
    glRenderbufferStorage(GL_RENDERBUFFER, depthFormat, width, height);
    if (!s.fbo) glGenFramebuffers(1, &s.fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, s.fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s.colorTex, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, s.depthRb);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    s.targetWidth = width;
    s.targetHeight = height;
    glViewport(0, 0, width, height);
    return true;
}

bool GfxInitState(GfxState& s, char* error, int errorSize) {
    // The variant every clear-and-draw-a-rectangle frame needs is built now, so that a broken GL
    // shows at start-up rather than as a blank screen.
    if (!GfxGetProgram(s, kKeyRhw, error, errorSize)) return false;

    if (!GfxMakeTarget(s, kFrameWidth, kFrameHeight)) {
        std::snprintf(error, errorSize, "the 640 x 480 render target is incomplete");
        return false;
    }

    glGenVertexArrays(1, &s.vao);
    glBindVertexArray(s.vao);
    s.vertexRing.size = 4u << 20;
    s.indexRing.size = 1u << 20;
    // Each ring is bound as what it holds from the start (WebGL fixes a buffer's kind at its
    // first binding).
    for (GfxStreamRing* ring : {&s.vertexRing, &s.indexRing}) {
        const GLenum target = ring == &s.indexRing ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
        glGenBuffers(2, ring->names);
        for (GLuint name : ring->names) {
            glBindBuffer(target, name);
            glBufferData(target, ring->size, nullptr, GL_STREAM_DRAW);
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, s.vertexRing.name());
    s.boundVbo = s.vertexRing.name();

    glGenSamplers(1, &s.sampler);
    glBindSampler(0, s.sampler);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // flat shading takes the first vertex, as D3D
    glFrontFace(GL_CCW);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);

    GfxSetDefaultState(s);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

void GfxFreeState(GfxState& s) {
    for (auto& t : s.textures) {
        if (t) t->Release();
        t = nullptr;
    }
    if (s.stream) s.stream->Release();
    s.stream = nullptr;
    if (s.indices) s.indices->Release();
    s.indices = nullptr;
    if (s.sampler) glDeleteSamplers(1, &s.sampler);
    for (GfxStreamRing* ring : {&s.vertexRing, &s.indexRing}) {
        for (GLsync& fence : ring->fences) {
            if (fence) glDeleteSync(fence);
            fence = nullptr;
        }
        if (ring->names[0]) glDeleteBuffers(2, ring->names);
        *ring = GfxStreamRing{};
    }
    for (GLsync& fence : s.frameFences) {
        if (fence) glDeleteSync(fence);
        fence = nullptr;
    }
    if (s.vao) glDeleteVertexArrays(1, &s.vao);
    for (uint32_t i = 0; i < s.builtCount; ++i) {
        glDeleteProgram(s.built[i]->program);
        delete s.built[i];
    }
    std::memset(s.programs, 0, sizeof(s.programs));
    s.builtCount = 0;
    s.current = nullptr;
    if (s.fbo) glDeleteFramebuffers(1, &s.fbo);
    if (s.depthRb) glDeleteRenderbuffers(1, &s.depthRb);
    if (s.colorTex) glDeleteTextures(1, &s.colorTex);
    s.sampler = s.vao = s.fbo = s.depthRb = s.colorTex = 0;
}

// --- the device ----------------------------------------------------------------------------------

GfxDevice::~GfxDevice() {
    if (state_) {
        if (state_->context) {
            SDL_GL_MakeCurrent(static_cast<SDL_Window*>(state_->window), state_->context);
            GfxFreeState(*state_);
            SDL_GL_DeleteContext(state_->context);
            gfxContextAlive = false;
        }
        delete state_;
    }
}

UINT GfxDevice::Release() {
    UINT left = --refCount_;
    if (left == 0) delete this;
    return left;
}

HRESULT GfxDevice::TestCooperativeLevel() { return state_->cooperative; }

void GfxDevice::SetCooperativeLevelForTest(HRESULT level) { state_->cooperative = level; }

HRESULT GfxDevice::GetDeviceCaps(D3DCAPS8* caps) const {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = state_->caps;
    return D3D_OK;
}

void GfxDevice::OverrideCaps(const D3DCAPS8* caps) { state_->caps = caps ? *caps : state_->realCaps; }

UINT GfxDevice::GetAvailableTextureMem() const { return state_->textureMem; }

HRESULT GfxDevice::SetRenderSize(UINT width, UINT height) {
    GfxState& s = *state_;
    if (width < 1 || height < 1 || width > kMaxRenderSide || height > kMaxRenderSide) return D3DERR_INVALIDCALL;
    if (static_cast<int>(width) == s.targetWidth && static_cast<int>(height) == s.targetHeight) return D3D_OK;
    if (s.inScene) return D3DERR_INVALIDCALL;
    const int oldWidth = s.targetWidth, oldHeight = s.targetHeight;
    if (!GfxMakeTarget(s, static_cast<int>(width), static_cast<int>(height))) {
        // The driver refused the size (out of memory): the frame keeps its earlier size.
        GfxMakeTarget(s, oldWidth, oldHeight);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    s.depthAtFar = true;
    // A wide frame's shape follows the target's: the programs hear of it with the transforms.
    s.dirty |= kDirtyRaster | kDirtyTransform;
    return D3D_OK;
}

HRESULT GfxDevice::SetWideFrame(bool wide) {
    GfxState& s = *state_;
    if (s.inScene) return D3DERR_INVALIDCALL;
    if (wide == s.wide) return D3D_OK;
    s.wide = wide;
    // Every variant is built for one kind of frame: the built ones go, the next draws build their
    // own again (a start-up choice, made before the scenes draw).
    for (uint32_t i = 0; i < s.builtCount; ++i) {
        glDeleteProgram(s.built[i]->program);
        delete s.built[i];
    }
    std::memset(s.programs, 0, sizeof(s.programs));
    std::memset(s.built, 0, sizeof(s.built));
    s.builtCount = 0;
    s.current = nullptr;
    s.pipelines.clear();
    glUseProgram(0);
    s.dirty = kDirtyAll;
    return D3D_OK;
}

bool GfxDevice::WideFrame() const { return state_->wide; }
