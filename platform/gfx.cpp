// The device's state, resources and draws on OpenGL 3.3.
//
// Everything is drawn into one 640 x 480 colour texture with a depth buffer. Row 0 of that target
// is the top row of the D3D screen, so reading it back needs no flip; Present flips while it
// scales the frame into the window. A draw sends only the uniform groups and GL state that
// changed since the previous one (see GfxDirty), binds the vertex layout only when the buffer,
// format or stride changed, and draws from the game's arrays through one ring buffer.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gfx_gl.h"

// --- small helpers -------------------------------------------------------------------------------

bool gfxContextAlive = false;

// Textures are filled through a unit of their own, so a texture made or changed in the middle of
// a frame never disturbs what stage 0 has bound.
constexpr GLenum kUploadUnit = GL_TEXTURE0 + 7;

UINT GfxFvfStride(DWORD fvf) {
    UINT size = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ: size = 12; break;
        case D3DFVF_XYZRHW: size = 16; break;
        default: return 0;  // blended positions are not drawn by this device
    }
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (texCount > 8) return 0;
    for (UINT i = 0; i < texCount; ++i) {
        static const UINT kCoordBytes[4] = {8, 12, 16, 4};  // the two size bits of each set
        size += kCoordBytes[(fvf >> (16 + 2 * i)) & 3];
    }
    if (fvf & ~(D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                D3DFVF_TEXCOUNT_MASK | 0xFFFF0000u)) {
        return 0;
    }
    return size;
}

static float FloatOf(DWORD bits) {
    float f;
    std::memcpy(&f, &bits, sizeof(f));
    return f;
}

static void ColorToFloats(D3DCOLOR c, float out[4]) {
    out[0] = ((c >> 16) & 0xFF) / 255.0f;
    out[1] = ((c >> 8) & 0xFF) / 255.0f;
    out[2] = (c & 0xFF) / 255.0f;
    out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

static UINT PrimitiveVertexCount(D3DPRIMITIVETYPE type, UINT count) {
    switch (type) {
        case D3DPT_POINTLIST: return count;
        case D3DPT_LINELIST: return count * 2;
        case D3DPT_LINESTRIP: return count + 1;
        case D3DPT_TRIANGLELIST: return count * 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN: return count + 2;
    }
    return 0;
}

static GLenum GlPrimitive(D3DPRIMITIVETYPE type) {
    switch (type) {
        case D3DPT_POINTLIST: return GL_POINTS;
        case D3DPT_LINELIST: return GL_LINES;
        case D3DPT_LINESTRIP: return GL_LINE_STRIP;
        case D3DPT_TRIANGLELIST: return GL_TRIANGLES;
        case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
        case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    }
    return GL_TRIANGLES;
}

static GLenum GlBlend(DWORD b) {
    switch (b) {
        case D3DBLEND_ZERO: return GL_ZERO;
        case D3DBLEND_ONE: return GL_ONE;
        case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
        case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
        default: return GL_ONE;
    }
}

static GLenum GlCompare(DWORD f) {
    switch (f) {
        case D3DCMP_NEVER: return GL_NEVER;
        case D3DCMP_LESS: return GL_LESS;
        case D3DCMP_EQUAL: return GL_EQUAL;
        case D3DCMP_LESSEQUAL: return GL_LEQUAL;
        case D3DCMP_GREATER: return GL_GREATER;
        case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
        case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
        default: return GL_ALWAYS;
    }
}

static GLint GlAddress(DWORD a) {
    switch (a) {
        case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
        case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
        case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
        default: return GL_REPEAT;
    }
}

// Which uniform group a render state belongs to.
static uint32_t DirtyOfRenderState(DWORD state) {
    switch (state) {
        case D3DRS_LIGHTING: return kDirtyMaterial | kDirtyLights;
        case D3DRS_AMBIENT:
        case D3DRS_SPECULARENABLE:
        case D3DRS_COLORVERTEX:
        case D3DRS_DIFFUSEMATERIALSOURCE:
        case D3DRS_AMBIENTMATERIALSOURCE:
        case D3DRS_SPECULARMATERIALSOURCE:
        case D3DRS_EMISSIVEMATERIALSOURCE:
        case D3DRS_NORMALIZENORMALS:
        case D3DRS_LOCALVIEWER: return kDirtyMaterial;
        case D3DRS_FOGENABLE:
        case D3DRS_FOGCOLOR:
        case D3DRS_FOGTABLEMODE:
        case D3DRS_FOGVERTEXMODE:
        case D3DRS_FOGSTART:
        case D3DRS_FOGEND:
        case D3DRS_FOGDENSITY:
        case D3DRS_RANGEFOGENABLE: return kDirtyFog;
        case D3DRS_ALPHATESTENABLE:
        case D3DRS_ALPHAREF:
        case D3DRS_ALPHAFUNC:
        case D3DRS_TEXTUREFACTOR:
        case D3DRS_SHADEMODE: return kDirtyStage;
        case D3DRS_ZENABLE:
        case D3DRS_ZWRITEENABLE:
        case D3DRS_ZFUNC:
        case D3DRS_ALPHABLENDENABLE:
        case D3DRS_SRCBLEND:
        case D3DRS_DESTBLEND:
        case D3DRS_BLENDOP:
        case D3DRS_CULLMODE:
        case D3DRS_COLORWRITEENABLE:
        case D3DRS_FILLMODE:
        case D3DRS_POINTSIZE: return kDirtyRaster;
        default: return 0;
    }
}

// --- resources -----------------------------------------------------------------------------------

UINT GfxResource::Release() {
    UINT left = --refCount_;
    if (left == 0) delete this;
    return left;
}

GfxTexture::~GfxTexture() {
    if (name_ && gfxContextAlive) glDeleteTextures(1, &name_);
    delete[] lockBits_;
}

HRESULT GfxTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) const {
    if (!desc || level >= levels_) return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = std::max(1u, width_ >> level);
    desc->Height = std::max(1u, height_ >> level);
    desc->Size = desc->Width * desc->Height * 4;
    return D3D_OK;
}

HRESULT GfxTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const void* rect, DWORD flags) {
    if (!locked || level != 0 || rect || lockBits_) return D3DERR_INVALIDCALL;
    lockBits_ = new uint32_t[static_cast<size_t>(width_) * height_]();
    // As a managed texture does, a lock shows what the texture holds (a new one holds zeros).
    if (filled_ && gfxContextAlive) {
        glActiveTexture(kUploadUnit);
        glBindTexture(GL_TEXTURE_2D, name_);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, lockBits_);
        glActiveTexture(GL_TEXTURE0);
    }
    locked->Pitch = static_cast<int>(width_ * 4);
    locked->pBits = lockBits_;
    return D3D_OK;
}

// Keeps only the precision the format has, so a 16-bit texture looks like one.
static void QuantiseToFormat(uint32_t* px, size_t n, D3DFORMAT f) {
    auto q = [](uint32_t v, int bits) -> uint32_t {
        uint32_t top = v >> (8 - bits);
        uint32_t maxv = (1u << bits) - 1;
        return (top * 255 + maxv / 2) / maxv;
    };
    int a = 8, r = 8, g = 8, b = 8;
    bool opaque = false;
    switch (f) {
        case D3DFMT_A4R4G4B4: a = r = g = b = 4; break;
        case D3DFMT_X4R4G4B4: r = g = b = 4; opaque = true; break;
        case D3DFMT_A1R5G5B5: a = 1; r = g = b = 5; break;
        case D3DFMT_X1R5G5B5: r = g = b = 5; opaque = true; break;
        case D3DFMT_R5G6B5: r = 5; g = 6; b = 5; opaque = true; break;
        case D3DFMT_A8R3G3B2: r = 3; g = 3; b = 2; break;
        case D3DFMT_R3G3B2: r = 3; g = 3; b = 2; opaque = true; break;
        case D3DFMT_X8R8G8B8:
        case D3DFMT_R8G8B8: opaque = true; break;
        default: return;
    }
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = px[i];
        uint32_t ca = opaque ? 255 : q(c >> 24, a), cr = q((c >> 16) & 0xFF, r), cg = q((c >> 8) & 0xFF, g),
                 cb = q(c & 0xFF, b);
        px[i] = (ca << 24) | (cr << 16) | (cg << 8) | cb;
    }
}

HRESULT GfxTexture::UnlockRect(UINT level) {
    if (level != 0 || !lockBits_) return D3DERR_INVALIDCALL;
    QuantiseToFormat(lockBits_, static_cast<size_t>(width_) * height_, format_);
    // Remembered so that draws of fully opaque surfaces can skip the alpha test and blending.
    opaque_ = true;
    for (size_t i = 0, n = static_cast<size_t>(width_) * height_; i < n && opaque_; ++i) {
        opaque_ = (lockBits_[i] >> 24) == 0xFF;
    }
    glActiveTexture(kUploadUnit);
    glBindTexture(GL_TEXTURE_2D, name_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_BGRA,
                    GL_UNSIGNED_BYTE, lockBits_);
    if (levels_ > 1) glGenerateMipmap(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE0);
    filled_ = true;
    delete[] lockBits_;
    lockBits_ = nullptr;
    return D3D_OK;
}

GfxVertexBuffer::~GfxVertexBuffer() {
    if (name_ && gfxContextAlive) glDeleteBuffers(1, &name_);
    delete[] data_;
}

// Both buffer kinds keep their bytes in memory: a lock hands out a pointer into them and
// remembers the range to upload at the unlock (none for a read-only lock).
static HRESULT LockBufferRange(uint8_t* bytes, UINT length, UINT offset, UINT size, DWORD flags, bool& locked,
                               UINT& lockOffset, UINT& lockSize, uint8_t** data) {
    if (!data || locked || offset > length) return D3DERR_INVALIDCALL;
    if (size == 0) size = length - offset;
    if (size > length - offset) return D3DERR_INVALIDCALL;
    lockOffset = offset;
    lockSize = (flags & D3DLOCK_READONLY) ? 0 : size;
    locked = true;
    *data = bytes + offset;
    return D3D_OK;
}

// Uploads the locked range through the copy target, so that the device's own bindings (the
// vertex array's index buffer among them) stay as they are.
static HRESULT UnlockBufferRange(unsigned name, const uint8_t* bytes, bool& locked, UINT lockOffset, UINT lockSize) {
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    if (lockSize > 0) {
        glBindBuffer(GL_COPY_WRITE_BUFFER, name);
        glBufferSubData(GL_COPY_WRITE_BUFFER, lockOffset, lockSize, bytes + lockOffset);
    }
    return D3D_OK;
}

HRESULT GfxVertexBuffer::Lock(UINT offset, UINT size, uint8_t** data, DWORD flags) {
    return LockBufferRange(data_, length_, offset, size, flags, locked_, lockOffset_, lockSize_, data);
}

HRESULT GfxVertexBuffer::Unlock() {
    if (locked_) scannedFvf_ = 0xFFFFFFFFu;  // the colours may have changed
    return UnlockBufferRange(name_, data_, locked_, lockOffset_, lockSize_);
}

bool GfxDiffuseAllOpaque(const uint8_t* v, UINT count, UINT stride, DWORD fvf) {
    if (!(fvf & D3DFVF_DIFFUSE)) return true;
    UINT off;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ: off = 12; break;
        case D3DFVF_XYZRHW: off = 16; break;
        default: return false;
    }
    if (fvf & D3DFVF_NORMAL) off += 12;
    if (fvf & D3DFVF_PSIZE) off += 4;
    if (stride < off + 4) return false;
    for (UINT i = 0; i < count; ++i) {
        if (v[static_cast<size_t>(i) * stride + off + 3] != 0xFF) return false;
    }
    return true;
}

bool GfxVertexBuffer::DiffuseOpaque(DWORD fvf, UINT stride) {
    if (fvf != scannedFvf_ || stride != scannedStride_) {
        scannedFvf_ = fvf;
        scannedStride_ = stride;
        scannedOpaque_ = stride > 0 && GfxDiffuseAllOpaque(data_, length_ / stride, stride, fvf);
    }
    return scannedOpaque_;
}

GfxIndexBuffer::~GfxIndexBuffer() {
    if (name_ && gfxContextAlive) glDeleteBuffers(1, &name_);
    delete[] data_;
}

HRESULT GfxIndexBuffer::Lock(UINT offset, UINT size, uint8_t** data, DWORD flags) {
    return LockBufferRange(data_, length_, offset, size, flags, locked_, lockOffset_, lockSize_, data);
}

HRESULT GfxIndexBuffer::Unlock() {
    return UnlockBufferRange(name_, data_, locked_, lockOffset_, lockSize_);
}

// --- state set-up --------------------------------------------------------------------------------

static void SetDefaultState(GfxState& s) {
    std::memset(s.rs, 0, sizeof(s.rs));
    s.rs[D3DRS_ZENABLE] = D3DZB_TRUE;
    s.rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    s.rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    s.rs[D3DRS_ZWRITEENABLE] = 1;
    s.rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    s.rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    s.rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    s.rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    s.rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    float one = 1.0f;
    std::memcpy(&s.rs[D3DRS_FOGEND], &one, 4);
    std::memcpy(&s.rs[D3DRS_FOGDENSITY], &one, 4);
    std::memcpy(&s.rs[D3DRS_POINTSIZE], &one, 4);
    s.rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    s.rs[D3DRS_CLIPPING] = 1;
    s.rs[D3DRS_LIGHTING] = 1;
    s.rs[D3DRS_COLORVERTEX] = 1;
    s.rs[D3DRS_LOCALVIEWER] = 1;
    s.rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    s.rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    // A vertex colour also stands for the ambient material (the game's road and strips count on it).
    s.rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_COLOR1;
    s.rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    s.rs[D3DRS_COLORWRITEENABLE] = 0xF;
    s.rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;

    for (UINT st = 0; st < kD3DTextureStageCount; ++st) {
        DWORD* t = s.tss[st];
        std::memset(t, 0, sizeof(s.tss[st]));
        t[D3DTSS_COLOROP] = st == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAOP] = st == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = st;
        t[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        t[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        t[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        t[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        t[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        t[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        t[D3DTSS_MAXANISOTROPY] = 1;
        t[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        D3DXMatrixIdentity(&s.texMat[st]);
    }
    D3DXMatrixIdentity(&s.world);
    D3DXMatrixIdentity(&s.view);
    D3DXMatrixIdentity(&s.proj);
    for (int i = 0; i < kMaxLights; ++i) {
        s.lights[i] = D3DLIGHT8{};
        s.lights[i].Type = D3DLIGHT_DIRECTIONAL;
        s.lights[i].Diffuse = {1, 1, 1, 0};
        s.lights[i].Direction = {0, 0, 1};
        s.lightOn[i] = false;
    }
    s.material = D3DMATERIAL8{};
    s.dirty = kDirtyAll;
}

// The variant for a key, built on first use.
static GfxProgram* GetProgram(GfxState& s, uint32_t key, char* error, int errorSize) {
    GfxProgram* p = s.programs[key];
    if (p) return p;
    p = new GfxProgram();
    p->program = GfxBuildProgram(key, p->u, error, errorSize);
    if (!p->program) {
        delete p;
        return nullptr;
    }
    p->stale = kDirtyAll;
    glUseProgram(p->program);
    glUniform1i(p->u.tex, 0);
    s.current = p;
    s.programs[key] = p;
    s.built[s.builtCount++] = p;
    return p;
}

bool GfxInitState(GfxState& s, char* error, int errorSize) {
    // The variant every clear-and-draw-a-rectangle frame needs is built now, so that a broken GL
    // shows at start-up rather than as a blank screen.
    if (!GetProgram(s, kKeyRhw, error, errorSize)) return false;

    glGenTextures(1, &s.colorTex);
    glBindTexture(GL_TEXTURE_2D, s.colorTex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kFrameWidth, kFrameHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glGenRenderbuffers(1, &s.depthRb);
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
    glRenderbufferStorage(GL_RENDERBUFFER, depthFormat, kFrameWidth, kFrameHeight);
    glGenFramebuffers(1, &s.fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, s.fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s.colorTex, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, s.depthRb);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::snprintf(error, errorSize, "the 640 x 480 render target is incomplete");
        return false;
    }
    glViewport(0, 0, kFrameWidth, kFrameHeight);

    glGenVertexArrays(1, &s.vao);
    glBindVertexArray(s.vao);
    s.vertexRing.size = 4u << 20;
    s.indexRing.size = 1u << 20;
    for (GfxStreamRing* ring : {&s.vertexRing, &s.indexRing}) {
        glGenBuffers(2, ring->names);
        for (GLuint name : ring->names) {
            glBindBuffer(GL_COPY_WRITE_BUFFER, name);
            glBufferData(GL_COPY_WRITE_BUFFER, ring->size, nullptr, GL_STREAM_DRAW);
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, s.vertexRing.name());
    s.boundVbo = s.vertexRing.name();

    glGenSamplers(1, &s.sampler);
    glBindSampler(0, s.sampler);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // flat shading takes the first vertex, as D3D
    glFrontFace(GL_CCW);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);

    SetDefaultState(s);
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

// --- sending state -------------------------------------------------------------------------------

static void UploadTransforms(GfxState& s, const GfxUniforms& u) {
    D3DXMATRIX wv;
    D3DXMatrixMultiply(&wv, &s.world, &s.view);
    glUniformMatrix4fv(u.worldView, 1, GL_FALSE, &wv.m[0][0]);
    glUniformMatrix4fv(u.proj, 1, GL_FALSE, &s.proj.m[0][0]);
    // Normals go through the inverse transpose of the world-view matrix; with the row-vector
    // convention that is n * (WV^-1)^T, i.e. the rows of WV^-1 read as columns.
    D3DXMATRIX inv;
    float nm[9];
    if (D3DXMatrixInverse(&inv, nullptr, &wv)) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) nm[r * 3 + c] = inv.m[c][r];
    } else {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) nm[r * 3 + c] = wv.m[r][c];
    }
    glUniformMatrix3fv(u.normalMat, 1, GL_FALSE, nm);
}

static void UploadLights(GfxState& s, const GfxUniforms& u) {
    float pos[kMaxLights * 4], dir[kMaxLights * 4], dif[kMaxLights * 4], amb[kMaxLights * 4],
        spe[kMaxLights * 4], att[kMaxLights * 4], spot[kMaxLights * 4];
    int n = 0;
    for (int i = 0; i < kMaxLights; ++i) {
        if (!s.lightOn[i]) continue;
        const D3DLIGHT8& l = s.lights[i];
        D3DXVECTOR3 p(l.Position), d(l.Direction), pe, de;
        D3DXVec3TransformCoord(&pe, &p, &s.view);
        D3DXVec3TransformNormal(&de, &d, &s.view);
        D3DXVec3Normalize(&de, &de);
        if (l.Type == D3DLIGHT_DIRECTIONAL) de = -de;  // towards the light
        float* o = pos + n * 4;
        o[0] = pe.x; o[1] = pe.y; o[2] = pe.z; o[3] = static_cast<float>(l.Type);
        o = dir + n * 4;
        o[0] = de.x; o[1] = de.y; o[2] = de.z; o[3] = 0;
        std::memcpy(dif + n * 4, &l.Diffuse, 16);
        std::memcpy(amb + n * 4, &l.Ambient, 16);
        std::memcpy(spe + n * 4, &l.Specular, 16);
        o = att + n * 4;
        o[0] = l.Attenuation0; o[1] = l.Attenuation1; o[2] = l.Attenuation2; o[3] = l.Range;
        o = spot + n * 4;
        o[0] = std::cos(l.Theta * 0.5f); o[1] = std::cos(l.Phi * 0.5f); o[2] = l.Falloff; o[3] = 0;
        ++n;
    }
    glUniform1i(u.numLights, n);
    if (n > 0) {
        glUniform4fv(u.lightPos, n, pos);
        glUniform4fv(u.lightDir, n, dir);
        glUniform4fv(u.lightDiffuse, n, dif);
        glUniform4fv(u.lightAmbient, n, amb);
        glUniform4fv(u.lightSpecular, n, spe);
        glUniform4fv(u.lightAtten, n, att);
        glUniform4fv(u.lightSpot, n, spot);
    }
}

static void UploadMaterial(GfxState& s, const GfxUniforms& u) {
    glUniform4fv(u.matDiffuse, 1, &s.material.Diffuse.r);
    glUniform4fv(u.matAmbient, 1, &s.material.Ambient.r);
    glUniform4fv(u.matSpecular, 1, &s.material.Specular.r);
    glUniform4fv(u.matEmissive, 1, &s.material.Emissive.r);
    glUniform1f(u.matPower, s.material.Power);
    float amb[4];
    ColorToFloats(s.rs[D3DRS_AMBIENT], amb);
    glUniform4fv(u.globalAmbient, 1, amb);
    // A source names a vertex colour; it falls back to the material where the vertex has none.
    auto src = [&](DWORD rs) -> int {
        DWORD v = s.rs[rs];
        if (!s.rs[D3DRS_COLORVERTEX]) return 0;
        if (v == D3DMCS_COLOR1 && (s.fvf & D3DFVF_DIFFUSE)) return 1;
        if (v == D3DMCS_COLOR2 && (s.fvf & D3DFVF_SPECULAR)) return 2;
        return 0;
    };
    glUniform4i(u.colorSource, src(D3DRS_DIFFUSEMATERIALSOURCE), src(D3DRS_AMBIENTMATERIALSOURCE),
                src(D3DRS_SPECULARMATERIALSOURCE), src(D3DRS_EMISSIVEMATERIALSOURCE));
    glUniform1i(u.specularOn, s.rs[D3DRS_SPECULARENABLE] ? 1 : 0);
    glUniform1i(u.normalize, s.rs[D3DRS_NORMALIZENORMALS] ? 1 : 0);
    glUniform1i(u.localViewer, s.rs[D3DRS_LOCALVIEWER] ? 1 : 0);
}

static void UploadFog(GfxState& s, const GfxUniforms& u) {
    bool on = s.rs[D3DRS_FOGENABLE] != 0;
    DWORD table = s.rs[D3DRS_FOGTABLEMODE], vertex = s.rs[D3DRS_FOGVERTEXMODE];
    int vertexMode = 0, pixel = 0;
    if (on) {
        if (table != D3DFOG_NONE && table <= D3DFOG_LINEAR) {
            pixel = table == D3DFOG_EXP ? 2 : (table == D3DFOG_EXP2 ? 3 : 4);
        } else if (vertex != D3DFOG_NONE && vertex <= D3DFOG_LINEAR) {
            vertexMode = static_cast<int>(vertex);
            pixel = 1;
        }
    }
    float params[3] = {FloatOf(s.rs[D3DRS_FOGSTART]), FloatOf(s.rs[D3DRS_FOGEND]), FloatOf(s.rs[D3DRS_FOGDENSITY])};
    glUniform1i(u.fogVertexMode, vertexMode);
    glUniform3fv(u.fogParams, 1, params);
    glUniform1i(u.rangeFog, s.rs[D3DRS_RANGEFOGENABLE] ? 1 : 0);
    glUniform1i(u.fogPixel, pixel);
    glUniform3fv(u.fogParamsF, 1, params);
    float c[4];
    ColorToFloats(s.rs[D3DRS_FOGCOLOR], c);
    glUniform3fv(u.fogColor, 1, c);
}

static void UploadStage(GfxState& s, const GfxUniforms& u) {
    const DWORD* t = s.tss[0];
    glUniform3i(u.colorOp, static_cast<GLint>(t[D3DTSS_COLOROP]), static_cast<GLint>(t[D3DTSS_COLORARG1]),
                static_cast<GLint>(t[D3DTSS_COLORARG2]));
    glUniform3i(u.alphaOp, static_cast<GLint>(t[D3DTSS_ALPHAOP]), static_cast<GLint>(t[D3DTSS_ALPHAARG1]),
                static_cast<GLint>(t[D3DTSS_ALPHAARG2]));
    float tf[4];
    ColorToFloats(s.rs[D3DRS_TEXTUREFACTOR], tf);
    glUniform4fv(u.tfactor, 1, tf);
    // D3DCMP_NEVER..ALWAYS minus one is the set of outcomes that pass: bit 0 less, 1 equal, 2 greater.
    DWORD func = s.rs[D3DRS_ALPHAFUNC];
    glUniform1i(u.alphaFunc, func >= D3DCMP_NEVER && func <= D3DCMP_ALWAYS ? static_cast<GLint>(func - 1) : 0);
    glUniform1f(u.alphaRef, static_cast<float>(s.rs[D3DRS_ALPHAREF] & 0xFF));
}

static void UploadTexCoord(GfxState& s, const GfxUniforms& u) {
    const DWORD* t = s.tss[0];
    DWORD tci = t[D3DTSS_TEXCOORDINDEX];
    int gen = 0;
    switch (tci & 0xFFFF0000u) {
        case D3DTSS_TCI_CAMERASPACENORMAL: gen = 2; break;
        case D3DTSS_TCI_CAMERASPACEPOSITION: gen = 3; break;
        case D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR: gen = 4; break;
        default: gen = (tci & 0xFFFF) == 1 ? 1 : 0; break;
    }
    glUniform1i(u.texGen, gen);
    DWORD flags = t[D3DTSS_TEXTURETRANSFORMFLAGS];
    glUniform1i(u.texTransform, static_cast<GLint>(flags & (0xFF | D3DTTFF_PROJECTED)));
    glUniformMatrix4fv(u.texMatrix, 1, GL_FALSE, &s.texMat[0].m[0][0]);
}

static void UploadSampler(GfxState& s) {
    const DWORD* t = s.tss[0];
    GLint mag = t[D3DTSS_MAGFILTER] == D3DTEXF_POINT || t[D3DTSS_MAGFILTER] == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR;
    bool minLinear = !(t[D3DTSS_MINFILTER] == D3DTEXF_POINT || t[D3DTSS_MINFILTER] == D3DTEXF_NONE);
    GLint min;
    switch (t[D3DTSS_MIPFILTER]) {
        case D3DTEXF_POINT: min = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
        case D3DTEXF_LINEAR:
        case D3DTEXF_ANISOTROPIC: min = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
        default: min = minLinear ? GL_LINEAR : GL_NEAREST; break;
    }
    glSamplerParameteri(s.sampler, GL_TEXTURE_MAG_FILTER, mag);
    glSamplerParameteri(s.sampler, GL_TEXTURE_MIN_FILTER, min);
    glSamplerParameteri(s.sampler, GL_TEXTURE_WRAP_S, GlAddress(t[D3DTSS_ADDRESSU]));
    glSamplerParameteri(s.sampler, GL_TEXTURE_WRAP_T, GlAddress(t[D3DTSS_ADDRESSV]));
    float border[4];
    ColorToFloats(t[D3DTSS_BORDERCOLOR], border);
    glSamplerParameterfv(s.sampler, GL_TEXTURE_BORDER_COLOR, border);
}

static void ApplyRaster(GfxState& s) {
    const DWORD* rs = s.rs;
    if (rs[D3DRS_ZENABLE]) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GlCompare(rs[D3DRS_ZFUNC]));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(rs[D3DRS_ZWRITEENABLE] && rs[D3DRS_ZENABLE] ? GL_TRUE : GL_FALSE);
    if (rs[D3DRS_ALPHABLENDENABLE]) {
        GLenum src = GlBlend(rs[D3DRS_SRCBLEND]), dst = GlBlend(rs[D3DRS_DESTBLEND]);
        if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA) {
            src = GL_SRC_ALPHA;
            dst = GL_ONE_MINUS_SRC_ALPHA;
        } else if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA) {
            src = GL_ONE_MINUS_SRC_ALPHA;
            dst = GL_SRC_ALPHA;
        }
        glBlendFunc(src, dst);
        switch (rs[D3DRS_BLENDOP]) {
            case D3DBLENDOP_SUBTRACT: glBlendEquation(GL_FUNC_SUBTRACT); break;
            case D3DBLENDOP_REVSUBTRACT: glBlendEquation(GL_FUNC_REVERSE_SUBTRACT); break;
            case D3DBLENDOP_MIN: glBlendEquation(GL_MIN); break;
            case D3DBLENDOP_MAX: glBlendEquation(GL_MAX); break;
            default: glBlendEquation(GL_FUNC_ADD); break;
        }
    }
    // The target's y runs down like D3D's screen but GL measures winding with y up, so a
    // triangle counter-clockwise on the D3D screen is clockwise to GL: D3DCULL_CCW culls GL's
    // back faces (front = counter-clockwise).
    switch (rs[D3DRS_CULLMODE]) {
        case D3DCULL_CCW: glEnable(GL_CULL_FACE); glCullFace(GL_BACK); break;
        case D3DCULL_CW: glEnable(GL_CULL_FACE); glCullFace(GL_FRONT); break;
        default: glDisable(GL_CULL_FACE); break;
    }
    DWORD cw = rs[D3DRS_COLORWRITEENABLE];
    glColorMask((cw & 1) != 0, (cw & 2) != 0, (cw & 4) != 0, (cw & 8) != 0);
    switch (rs[D3DRS_FILLMODE]) {
        case D3DFILL_POINT: glPolygonMode(GL_FRONT_AND_BACK, GL_POINT); break;
        case D3DFILL_WIREFRAME: glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); break;
        default: glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); break;
    }
    glPointSize(std::max(1.0f, FloatOf(rs[D3DRS_POINTSIZE])));
}

// Whether stage 0 is the game's usual texture x diffuse for colour and alpha (or just the diffuse
// when no texture is bound), which the fast variants compute directly.
static bool StageIsModulate(const DWORD* t) {
    auto modulate = [](DWORD op, DWORD a1, DWORD a2) {
        bool diffuse2 = a2 == D3DTA_DIFFUSE || a2 == D3DTA_CURRENT;
        bool diffuse1 = a1 == D3DTA_DIFFUSE || a1 == D3DTA_CURRENT;
        return op == D3DTOP_MODULATE && ((a1 == D3DTA_TEXTURE && diffuse2) || (a2 == D3DTA_TEXTURE && diffuse1));
    };
    return modulate(t[D3DTSS_COLOROP], t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2]) &&
           modulate(t[D3DTSS_ALPHAOP], t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2]);
}

// Whether stage 0's alpha is exactly 1 for every pixel of this draw: the usual texture x diffuse
// stage with an opaque texture (or none, read without a border) and a diffuse alpha of 1, from the
// vertices (diffuseOpaque) or, when lit, from the material.
static bool AlphaIsOne(const GfxState& s, bool rhw, bool diffuseOpaque) {
    const DWORD* t = s.tss[0];
    if (!StageIsModulate(t)) return false;
    if (const GfxTexture* tex = s.textures[0]) {
        if (!tex->Opaque() || t[D3DTSS_ADDRESSU] == D3DTADDRESS_BORDER || t[D3DTSS_ADDRESSV] == D3DTADDRESS_BORDER) {
            return false;
        }
    }
    if (rhw || !s.rs[D3DRS_LIGHTING]) return diffuseOpaque;
    const bool fromVertex = s.rs[D3DRS_COLORVERTEX] &&
                            ((s.rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1 && (s.fvf & D3DFVF_DIFFUSE)) ||
                             (s.rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR2 && (s.fvf & D3DFVF_SPECULAR)));
    if (fromVertex) return s.rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1 && diffuseOpaque;
    return s.material.Diffuse.a == 1.0f;
}

// Whether the alpha test lets a pixel of alpha 255 through.
static bool AlphaTestPassesOpaque(const GfxState& s) {
    DWORD func = s.rs[D3DRS_ALPHAFUNC], ref = s.rs[D3DRS_ALPHAREF] & 0xFF;
    if (func < D3DCMP_NEVER || func > D3DCMP_ALWAYS) return false;
    const DWORD outcome = ref < 255 ? 4u : 2u;  // 255 against the reference: greater, or equal
    return ((func - 1) & outcome) != 0;
}

// Whether blending a pixel of alpha 1 leaves exactly the pixel itself.
static bool BlendIsReplaceForOpaque(const GfxState& s) {
    const DWORD* rs = s.rs;
    if (rs[D3DRS_BLENDOP] != D3DBLENDOP_ADD) return false;
    DWORD src = rs[D3DRS_SRCBLEND], dst = rs[D3DRS_DESTBLEND];
    if (src == D3DBLEND_BOTHSRCALPHA) return true;
    return (src == D3DBLEND_ONE || src == D3DBLEND_SRCALPHA) && (dst == D3DBLEND_ZERO || dst == D3DBLEND_INVSRCALPHA);
}

static uint32_t ProgramKeyOf(const GfxState& s, bool rhw, bool alphaOne) {
    const DWORD* rs = s.rs;
    const DWORD* t = s.tss[0];
    uint32_t key = 0;
    if (rhw) {
        key |= kKeyRhw;  // no transform, lighting, fog or coordinate processing for screen pixels
    } else {
        if (rs[D3DRS_LIGHTING]) key |= kKeyLighting;
        if (rs[D3DRS_FOGENABLE]) {
            DWORD table = rs[D3DRS_FOGTABLEMODE], vertex = rs[D3DRS_FOGVERTEXMODE];
            if (table == D3DFOG_LINEAR) key |= kKeyFogTableLinear;
            else if (table != D3DFOG_NONE && table < D3DFOG_LINEAR) key |= kKeyFogTable;
            else if (vertex != D3DFOG_NONE && vertex <= D3DFOG_LINEAR) key |= kKeyFogVertex;
        }
        if (t[D3DTSS_TEXCOORDINDEX] != 0 || t[D3DTSS_TEXTURETRANSFORMFLAGS] != D3DTTFF_DISABLE) {
            key |= kKeyTexCoordGeneric;
        }
    }
    if (s.textures[0]) key |= kKeyTexture;
    if (!StageIsModulate(t)) key |= kKeyStageGeneric;
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS &&
        !(alphaOne && AlphaTestPassesOpaque(s))) {
        key |= kKeyAlphaTest;
    }
    if (rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT) key |= kKeyFlat;
    if (rs[D3DRS_SPECULARENABLE]) key |= kKeySpecular;
    return key;
}

constexpr uint32_t kUniformGroups = kDirtyTransform | kDirtyLights | kDirtyMaterial | kDirtyFog | kDirtyStage |
                                    kDirtyTexCoord;

// Picks the program variant and sends what changed since it last drew; false when the variant
// cannot be built (the draw is then skipped). rhw: the draw's vertices are pre-transformed.
// diffuseOpaque: every vertex of the draw has a diffuse alpha of 255. Where the pixels' alpha is
// then exactly 1, an alpha test that 255 passes and a blend that reduces to the source colour are
// left out: the picture is the same, and the rasteriser can test depth before shading.
static bool PrepareDraw(GfxState& s, bool rhw, bool diffuseOpaque) {
    uint32_t d = s.dirty;
    if (d & kUniformGroups) {
        for (uint32_t i = 0; i < s.builtCount; ++i) s.built[i]->stale |= d & kUniformGroups;
    }
    const bool alphaOne = AlphaIsOne(s, rhw, diffuseOpaque);
    const uint32_t key = ProgramKeyOf(s, rhw, alphaOne);
    GfxProgram* p = s.programs[key];
    if (!p) {
        char error[1024];
        p = GetProgram(s, key, error, sizeof(error));
        if (!p) {
            SDL_LogError(SDL_LOG_CATEGORY_RENDER, "graphics device: %s", error);
            return false;
        }
    }
    if (p != s.current) {
        glUseProgram(p->program);
        s.current = p;
    }
    if (uint32_t st = p->stale) {
        if (st & kDirtyTransform) UploadTransforms(s, p->u);
        if (st & kDirtyLights) UploadLights(s, p->u);
        if (st & kDirtyMaterial) UploadMaterial(s, p->u);
        if (st & kDirtyFog) UploadFog(s, p->u);
        if (st & kDirtyStage) UploadStage(s, p->u);
        if (st & kDirtyTexCoord) UploadTexCoord(s, p->u);
        p->stale = 0;
    }
    if (d & kDirtySampler) UploadSampler(s);
    if (d & kDirtyRaster) ApplyRaster(s);
    const bool blend = s.rs[D3DRS_ALPHABLENDENABLE] && !(alphaOne && BlendIsReplaceForOpaque(s));
    if (blend != s.blendOn || (d & kDirtyRaster)) {
        if (blend) glEnable(GL_BLEND);
        else glDisable(GL_BLEND);
        s.blendOn = blend;
    }
    if (d & kDirtyTexture) {
        GfxTexture* t = s.textures[0];
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, t ? t->glName() : 0);
    }
    s.dirty = 0;
    return true;
}

// Points the attributes at a buffer holding vertices of this format from byte offset base.
static void BindLayout(GfxState& s, GLuint vbo, uintptr_t base, DWORD fvf, UINT stride) {
    if (vbo == s.layoutVbo && base == s.layoutOffset && fvf == s.layoutFvf && stride == s.layoutStride) return;
    if (vbo != s.boundVbo) {
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        s.boundVbo = vbo;
    }
    // The colour sources depend on which colours the format carries.
    if ((fvf ^ s.layoutFvf) & (D3DFVF_DIFFUSE | D3DFVF_SPECULAR)) s.dirty |= kDirtyMaterial;
    s.layoutVbo = vbo;
    s.layoutOffset = base;
    s.layoutFvf = fvf;
    s.layoutStride = stride;
    auto ptr = [base](uintptr_t off) { return reinterpret_cast<const void*>(base + off); };
    GLsizei st = static_cast<GLsizei>(stride);
    uintptr_t off = 0;
    bool rhw = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, rhw ? 4 : 3, GL_FLOAT, GL_FALSE, st, ptr(0));
    off = rhw ? 16 : 12;
    if (fvf & D3DFVF_NORMAL) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, st, ptr(off));
        off += 12;
    } else {
        glDisableVertexAttribArray(1);
        glVertexAttrib3f(1, 0, 0, 0);
    }
    if (fvf & D3DFVF_PSIZE) off += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, st, ptr(off));
        off += 4;
    } else {
        glDisableVertexAttribArray(2);
        glVertexAttrib4f(2, 1, 1, 1, 1);  // no diffuse colour: opaque white
    }
    if (fvf & D3DFVF_SPECULAR) {
        glEnableVertexAttribArray(3);
        glVertexAttribPointer(3, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, st, ptr(off));
        off += 4;
    } else {
        glDisableVertexAttribArray(3);
        glVertexAttrib4f(3, 0, 0, 0, 0);
    }
    UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (UINT i = 0; i < 2; ++i) {
        GLuint loc = 4 + i;
        if (i < texCount) {
            static const int kCoordFloats[4] = {2, 3, 4, 1};
            int n = kCoordFloats[(fvf >> (16 + 2 * i)) & 3];
            glEnableVertexAttribArray(loc);
            glVertexAttribPointer(loc, std::min(n, 2), GL_FLOAT, GL_FALSE, st, ptr(off));
            off += n * 4;
        } else {
            glDisableVertexAttribArray(loc);
            glVertexAttrib2f(loc, 0, 0);
        }
    }
}

// Copies bytes into the ring at an offset that is a multiple of align and leaves the ring's
// buffer bound to target. Returns the offset.
static uint32_t RingWrite(GfxStreamRing& ring, GLenum target, const void* data, uint32_t bytes, uint32_t align) {
    uint32_t start = (ring.pos + align - 1) / align * align;
    if (bytes + align > ring.size) {
        // More than a whole buffer at once: both grow (the draws in flight keep the old storage).
        ring.size = std::max(ring.size * 2, bytes + align);
        for (int i = 0; i < 2; ++i) {
            if (ring.fences[i]) glDeleteSync(ring.fences[i]);
            ring.fences[i] = nullptr;
            glBindBuffer(target, ring.names[i]);
            glBufferData(target, ring.size, nullptr, GL_STREAM_DRAW);
        }
        start = 0;
    } else if (start + bytes > ring.size) {
        ring.fences[ring.current] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        ring.current ^= 1;
        if (GLsync earlier = ring.fences[ring.current]) {
            glClientWaitSync(earlier, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000ull);
            glDeleteSync(earlier);
            ring.fences[ring.current] = nullptr;
        }
        start = 0;
    }
    glBindBuffer(target, ring.name());
    void* dst = glMapBufferRange(target, start, bytes,
                                 GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (dst) {
        std::memcpy(dst, data, bytes);
        glUnmapBuffer(target);
    } else {
        glBufferSubData(target, start, bytes, data);
    }
    ring.pos = start + bytes;
    return start;
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

HRESULT GfxDevice::BeginScene() {
    if (state_->inScene) return D3DERR_INVALIDCALL;
    if (state_->cooperative != D3D_OK) return state_->cooperative;
    state_->inScene = true;
    return D3D_OK;
}

HRESULT GfxDevice::EndScene() {
    if (!state_->inScene) return D3DERR_INVALIDCALL;
    state_->inScene = false;
    return D3D_OK;
}

HRESULT GfxDevice::Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    GfxState& s = *state_;
    if (count != 0 || rects) return D3DERR_INVALIDCALL;
    GLbitfield mask = 0;
    glBindFramebuffer(GL_FRAMEBUFFER, s.fbo);
    if (flags & D3DCLEAR_TARGET) {
        float c[4];
        ColorToFloats(color, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(z);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_STENCIL) {
        glClearStencil(static_cast<GLint>(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (!mask) return D3D_OK;
    // A clear writes whatever the write masks say, unlike GL's clear.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glDisable(GL_SCISSOR_TEST);
    glClear(mask);
    s.dirty |= kDirtyRaster;
    return D3D_OK;
}

HRESULT GfxDevice::Present(const void* srcRect, const void* dstRect, void* window, const void* dirtyRegion) {
    GfxState& s = *state_;
    if (srcRect || dstRect || window || dirtyRegion) return D3DERR_INVALIDCALL;
    if (s.cooperative != D3D_OK) return s.cooperative;
    SDL_Window* win = static_cast<SDL_Window*>(s.window);
    if (!s.headless) {
        int w = kFrameWidth, h = kFrameHeight;
        SDL_GL_GetDrawableSize(win, &w, &h);
        // The largest 4:3 rectangle that fits, centred; the rest of the window stays black.
        int dw = w, dh = w * kFrameHeight / kFrameWidth;
        if (dh > h) {
            dh = h;
            dw = h * kFrameWidth / kFrameHeight;
        }
        int x0 = (w - dw) / 2, y0 = (h - dh) / 2;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, s.fbo);
        glViewport(0, 0, w, h);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        // Row 0 of the frame is the top of the picture: flip while scaling.
        bool exact = dw == kFrameWidth && dh == kFrameHeight;
        glBlitFramebuffer(0, 0, kFrameWidth, kFrameHeight, x0, y0 + dh, x0 + dw, y0, GL_COLOR_BUFFER_BIT,
                          exact ? GL_NEAREST : GL_LINEAR);
        glBindFramebuffer(GL_FRAMEBUFFER, s.fbo);
        glViewport(0, 0, kFrameWidth, kFrameHeight);
        s.dirty |= kDirtyRaster;
        SDL_GL_SwapWindow(win);
    }
    // Hand the frame to the rasteriser without waiting for it, as a graphics card takes it: the
    // next frame's logic runs while this one is drawn. A frame that finds the rasteriser still
    // two frames behind waits at its own flush, so the pacer's late count shows whether drawing
    // keeps up; reading the picture back (screenshots) waits for it.
    glFlush();
    s.drawCalls = 0;
    s.triangles = 0;
    return D3D_OK;
}

HRESULT GfxDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state >= kD3DRenderStateCount) return D3DERR_INVALIDCALL;
    DWORD& cur = state_->rs[state];
    if (cur == value) return D3D_OK;
    cur = value;
    state_->dirty |= DirtyOfRenderState(state);
    return D3D_OK;
}

HRESULT GfxDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const {
    if (state >= kD3DRenderStateCount || !value) return D3DERR_INVALIDCALL;
    *value = state_->rs[state];
    return D3D_OK;
}

HRESULT GfxDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= kD3DTextureStageCount || type >= kD3DTextureStageStateCount) return D3DERR_INVALIDCALL;
    DWORD& cur = state_->tss[stage][type];
    if (cur == value) return D3D_OK;
    cur = value;
    if (stage != 0) return D3D_OK;  // only stage 0 draws
    switch (type) {
        case D3DTSS_COLOROP:
        case D3DTSS_COLORARG1:
        case D3DTSS_COLORARG2:
        case D3DTSS_ALPHAOP:
        case D3DTSS_ALPHAARG1:
        case D3DTSS_ALPHAARG2: state_->dirty |= kDirtyStage; break;
        case D3DTSS_TEXCOORDINDEX:
        case D3DTSS_TEXTURETRANSFORMFLAGS: state_->dirty |= kDirtyTexCoord; break;
        case D3DTSS_ADDRESSU:
        case D3DTSS_ADDRESSV:
        case D3DTSS_BORDERCOLOR:
        case D3DTSS_MAGFILTER:
        case D3DTSS_MINFILTER:
        case D3DTSS_MIPFILTER: state_->dirty |= kDirtySampler; break;
        default: break;
    }
    return D3D_OK;
}

HRESULT GfxDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const {
    if (stage >= kD3DTextureStageCount || type >= kD3DTextureStageStateCount || !value) return D3DERR_INVALIDCALL;
    *value = state_->tss[stage][type];
    return D3D_OK;
}

HRESULT GfxDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    GfxState& s = *state_;
    D3DXMATRIX* target = nullptr;
    uint32_t dirty = 0;
    switch (state) {
        case D3DTS_WORLD: target = &s.world; dirty = kDirtyTransform; break;
        case D3DTS_VIEW: target = &s.view; dirty = kDirtyTransform | kDirtyLights; break;
        case D3DTS_PROJECTION: target = &s.proj; dirty = kDirtyTransform; break;
        default:
            if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
                target = &s.texMat[state - D3DTS_TEXTURE0];
                dirty = state == D3DTS_TEXTURE0 ? static_cast<uint32_t>(kDirtyTexCoord) : 0u;
            }
            break;
    }
    if (!target) return D3DERR_INVALIDCALL;
    if (std::memcmp(target->m, matrix->m, sizeof(target->m)) == 0) return D3D_OK;
    std::memcpy(target->m, matrix->m, sizeof(target->m));
    s.dirty |= dirty;
    return D3D_OK;
}

HRESULT GfxDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const {
    if (!matrix) return D3DERR_INVALIDCALL;
    const GfxState& s = *state_;
    const D3DXMATRIX* src = nullptr;
    switch (state) {
        case D3DTS_WORLD: src = &s.world; break;
        case D3DTS_VIEW: src = &s.view; break;
        case D3DTS_PROJECTION: src = &s.proj; break;
        default:
            if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) src = &s.texMat[state - D3DTS_TEXTURE0];
            break;
    }
    if (!src) return D3DERR_INVALIDCALL;
    std::memcpy(matrix->m, src->m, sizeof(matrix->m));
    return D3D_OK;
}

HRESULT GfxDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
    if (index >= kMaxLights || !light) return D3DERR_INVALIDCALL;
    if (light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
    state_->lights[index] = *light;
    if (state_->lightOn[index]) state_->dirty |= kDirtyLights;
    return D3D_OK;
}

HRESULT GfxDevice::GetLight(DWORD index, D3DLIGHT8* light) const {
    if (index >= kMaxLights || !light) return D3DERR_INVALIDCALL;
    *light = state_->lights[index];
    return D3D_OK;
}

HRESULT GfxDevice::LightEnable(DWORD index, BOOL enable) {
    if (index >= kMaxLights) return D3DERR_INVALIDCALL;
    bool on = enable != 0;
    if (state_->lightOn[index] != on) {
        state_->lightOn[index] = on;
        state_->dirty |= kDirtyLights;
    }
    return D3D_OK;
}

HRESULT GfxDevice::GetLightEnable(DWORD index, BOOL* enable) const {
    if (index >= kMaxLights || !enable) return D3DERR_INVALIDCALL;
    *enable = state_->lightOn[index] ? 1 : 0;
    return D3D_OK;
}

HRESULT GfxDevice::SetMaterial(const D3DMATERIAL8* material) {
    if (!material) return D3DERR_INVALIDCALL;
    if (std::memcmp(&state_->material, material, sizeof(D3DMATERIAL8)) == 0) return D3D_OK;
    state_->material = *material;
    state_->dirty |= kDirtyMaterial;
    return D3D_OK;
}

HRESULT GfxDevice::GetMaterial(D3DMATERIAL8* material) const {
    if (!material) return D3DERR_INVALIDCALL;
    *material = state_->material;
    return D3D_OK;
}

HRESULT GfxDevice::SetClipStatus(const D3DCLIPSTATUS8* status) { return status ? D3D_OK : D3DERR_INVALIDCALL; }

HRESULT GfxDevice::SetTexture(DWORD stage, GfxTexture* texture) {
    if (stage >= kD3DTextureStageCount) return D3DERR_INVALIDCALL;
    GfxTexture*& cur = state_->textures[stage];
    if (cur == texture) return D3D_OK;
    if (texture) texture->AddRef();
    if (cur) cur->Release();
    cur = texture;
    if (stage == 0) state_->dirty |= kDirtyTexture;
    return D3D_OK;
}

GfxTexture* GfxDevice::GetTexture(DWORD stage) const {
    return stage < kD3DTextureStageCount ? state_->textures[stage] : nullptr;
}

HRESULT GfxDevice::SetVertexShader(DWORD fvf) {
    if (GfxFvfStride(fvf) == 0) return D3DERR_INVALIDCALL;
    if (state_->fvf != fvf) {
        // Which colours the vertices carry decides the material sources.
        if ((state_->fvf ^ fvf) & (D3DFVF_DIFFUSE | D3DFVF_SPECULAR)) state_->dirty |= kDirtyMaterial;
        state_->fvf = fvf;
    }
    return D3D_OK;
}

DWORD GfxDevice::GetVertexShader() const { return state_->fvf; }

HRESULT GfxDevice::SetStreamSource(UINT stream, GfxVertexBuffer* buffer, UINT stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    GfxState& s = *state_;
    if (buffer) buffer->AddRef();
    if (s.stream) s.stream->Release();
    s.stream = buffer;
    s.streamStride = stride;
    return D3D_OK;
}

HRESULT GfxDevice::SetIndices(GfxIndexBuffer* indices, UINT baseVertexIndex) {
    GfxState& s = *state_;
    if (indices) indices->AddRef();
    if (s.indices) s.indices->Release();
    s.indices = indices;
    s.baseVertex = baseVertexIndex;
    return D3D_OK;
}

HRESULT GfxDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                 GfxTexture** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    const D3DCAPS8& caps = state_->caps;
    if (width == 0 || height == 0 || width > caps.MaxTextureWidth || height > caps.MaxTextureHeight) {
        return D3DERR_INVALIDCALL;
    }
    if ((caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && width != height) return D3DERR_INVALIDCALL;
    switch (format) {
        case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_R8G8B8: case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
        case D3DFMT_A8R3G3B2: case D3DFMT_R3G3B2: break;
        default: return D3DERR_INVALIDCALL;
    }
    UINT full = 1;
    for (UINT m = std::max(width, height); m > 1; m >>= 1) ++full;
    if (levels == 0 || levels > full) levels = full;
    GfxTexture* t = new GfxTexture();
    t->width_ = width;
    t->height_ = height;
    t->levels_ = levels;
    t->format_ = format;
    t->pool_ = pool;
    t->usage_ = usage;
    glGenTextures(1, &t->name_);
    glActiveTexture(kUploadUnit);
    glBindTexture(GL_TEXTURE_2D, t->name_);
    for (UINT l = 0; l < levels; ++l) {
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), GL_RGBA8, static_cast<GLsizei>(std::max(1u, width >> l)),
                     static_cast<GLsizei>(std::max(1u, height >> l)), 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    glActiveTexture(GL_TEXTURE0);
    *texture = t;
    return D3D_OK;
}

HRESULT GfxDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, GfxVertexBuffer** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0) return D3DERR_INVALIDCALL;
    GfxVertexBuffer* b = new GfxVertexBuffer();
    b->length_ = length;
    b->fvf_ = fvf;
    b->data_ = new uint8_t[length]();
    glGenBuffers(1, &b->name_);
    glBindBuffer(GL_COPY_WRITE_BUFFER, b->name_);
    glBufferData(GL_COPY_WRITE_BUFFER, length, b->data_, (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    *buffer = b;
    return D3D_OK;
}

HRESULT GfxDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, GfxIndexBuffer** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
    GfxIndexBuffer* b = new GfxIndexBuffer();
    b->length_ = length;
    b->format_ = format;
    b->data_ = new uint8_t[length]();
    glGenBuffers(1, &b->name_);
    glBindBuffer(GL_COPY_WRITE_BUFFER, b->name_);
    glBufferData(GL_COPY_WRITE_BUFFER, length, b->data_, (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    *buffer = b;
    return D3D_OK;
}

static void CountDraw(GfxState& s, D3DPRIMITIVETYPE type, UINT count) {
    ++s.drawCalls;
    if (type >= D3DPT_TRIANGLELIST) s.triangles += count;
}

HRESULT GfxDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    GfxState& s = *state_;
    if (!s.inScene || !s.stream || primitiveCount == 0) return s.inScene && s.stream ? D3D_OK : D3DERR_INVALIDCALL;
    UINT stride = s.streamStride ? s.streamStride : GfxFvfStride(s.fvf);
    UINT n = PrimitiveVertexCount(type, primitiveCount);
    if (n == 0 || stride == 0 || static_cast<uint64_t>(startVertex + n) * stride > s.stream->Length()) {
        return D3DERR_INVALIDCALL;
    }
    BindLayout(s, s.stream->glName(), 0, s.fvf, stride);
    if (!PrepareDraw(s, (s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW, s.stream->DiffuseOpaque(s.fvf, stride))) {
        return D3DERR_INVALIDCALL;
    }
    glDrawArrays(GlPrimitive(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(n));
    CountDraw(s, type, primitiveCount);
    return D3D_OK;
}

HRESULT GfxDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                        UINT primitiveCount) {
    GfxState& s = *state_;
    if (!s.inScene || !s.stream || !s.indices) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    UINT stride = s.streamStride ? s.streamStride : GfxFvfStride(s.fvf);
    UINT n = PrimitiveVertexCount(type, primitiveCount);
    UINT indexSize = s.indices->Format() == D3DFMT_INDEX32 ? 4 : 2;
    if (n == 0 || stride == 0 || static_cast<uint64_t>(startIndex + n) * indexSize > s.indices->Length()) {
        return D3DERR_INVALIDCALL;
    }
    BindLayout(s, s.stream->glName(), 0, s.fvf, stride);
    if (!PrepareDraw(s, (s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW, s.stream->DiffuseOpaque(s.fvf, stride))) {
        return D3DERR_INVALIDCALL;
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, s.indices->glName());
    glDrawElementsBaseVertex(GlPrimitive(type), static_cast<GLsizei>(n),
                             indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexSize),
                             static_cast<GLint>(s.baseVertex));
    CountDraw(s, type, primitiveCount);
    return D3D_OK;
}

HRESULT GfxDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride) {
    GfxState& s = *state_;
    if (!s.inScene || !vertexData || stride == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    UINT n = PrimitiveVertexCount(type, primitiveCount);
    if (n == 0) return D3DERR_INVALIDCALL;
    uint32_t start = RingWrite(s.vertexRing, GL_ARRAY_BUFFER, vertexData, n * stride, stride);
    s.boundVbo = s.vertexRing.name();
    BindLayout(s, s.vertexRing.name(), 0, s.fvf, stride);
    if (!PrepareDraw(s, (s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW,
                     GfxDiffuseAllOpaque(static_cast<const uint8_t*>(vertexData), n, stride, s.fvf))) {
        return D3DERR_INVALIDCALL;
    }
    glDrawArrays(GlPrimitive(type), static_cast<GLint>(start / stride), static_cast<GLsizei>(n));
    CountDraw(s, type, primitiveCount);
    // As in D3D, a draw from memory leaves no stream source behind.
    if (s.stream) s.stream->Release();
    s.stream = nullptr;
    return D3D_OK;
}

HRESULT GfxDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT primitiveCount,
                                          const void* indexData, D3DFORMAT indexFormat, const void* vertexData,
                                          UINT stride) {
    GfxState& s = *state_;
    if (!s.inScene || !vertexData || !indexData || stride == 0) return D3DERR_INVALIDCALL;
    if (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    UINT n = PrimitiveVertexCount(type, primitiveCount);
    if (n == 0) return D3DERR_INVALIDCALL;
    UINT indexSize = indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    // Vertices from 0 to minIndex + numVertices are what the indices may reach.
    uint32_t vbytes = (minIndex + numVertices) * stride;
    uint32_t vstart = RingWrite(s.vertexRing, GL_ARRAY_BUFFER, vertexData, vbytes, stride);
    s.boundVbo = s.vertexRing.name();
    BindLayout(s, s.vertexRing.name(), 0, s.fvf, stride);
    if (!PrepareDraw(s, (s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW,
                     GfxDiffuseAllOpaque(static_cast<const uint8_t*>(vertexData), minIndex + numVertices, stride,
                                         s.fvf))) {
        return D3DERR_INVALIDCALL;
    }
    uint32_t istart = RingWrite(s.indexRing, GL_ELEMENT_ARRAY_BUFFER, indexData, n * indexSize, indexSize);
    glDrawElementsBaseVertex(GlPrimitive(type), static_cast<GLsizei>(n),
                             indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(istart)),
                             static_cast<GLint>(vstart / stride));
    CountDraw(s, type, primitiveCount);
    if (s.stream) s.stream->Release();
    s.stream = nullptr;
    if (s.indices) s.indices->Release();
    s.indices = nullptr;
    return D3D_OK;
}

void GfxDevice::Flush() const { glFlush(); }

bool GfxDevice::ReadFrame(uint8_t* rgba) const {
    if (!rgba) return false;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, state_->fbo);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, kFrameWidth, kFrameHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return glGetError() == GL_NO_ERROR;
}

UINT GfxDevice::DrawCallCount() const { return state_->drawCalls; }
UINT GfxDevice::TriangleCount() const { return state_->triangles; }
UINT GfxDevice::PipelineCount() const { return state_->builtCount; }
