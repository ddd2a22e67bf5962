// The device's resources: reference counting, textures (filled through a lock of 32-bit pixels,
// reduced to their format's precision and uploaded at the unlock), vertex and index buffers (kept
// in memory, the locked range uploaded at the unlock), and their creation on the device.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/gfx_gl.h"

// Textures are filled through a unit of their own, so a texture made or changed in the middle of
// a frame never disturbs what stage 0 has bound.
constexpr GLenum kUploadUnit = GL_TEXTURE0 + 7;

// Set by FailTextureLocksForTest.
static bool failTextureLocks = false;

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
    if (failTextureLocks) return E_OUTOFMEMORY;
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
    // Remembered so that draws of fully opaque surfaces can skip blending, and draws whose alpha
    // never falls to the alpha test's reference can skip the test.
    uint32_t least = 255;
    for (size_t i = 0, n = static_cast<size_t>(width_) * height_; i < n && least > 0; ++i) {
        least = std::min(least, lockBits_[i] >> 24);
    }
    minAlpha_ = static_cast<uint8_t>(least);
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

// Uploads the locked range through the given target: vertices through the copy target, so that
// the vertex buffer drawn from stays bound; indices as indices, the only kind WebGL lets a buffer
// once bound as one be (every indexed draw binds its own index buffer again).
static HRESULT UnlockBufferRange(GLenum target, unsigned name, const uint8_t* bytes, bool& locked, UINT lockOffset,
                                 UINT lockSize) {
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    if (lockSize > 0) {
        glBindBuffer(target, name);
        glBufferSubData(target, lockOffset, lockSize, bytes + lockOffset);
    }
    return D3D_OK;
}

HRESULT GfxVertexBuffer::Lock(UINT offset, UINT size, uint8_t** data, DWORD flags) {
    return LockBufferRange(data_, length_, offset, size, flags, locked_, lockOffset_, lockSize_, data);
}

HRESULT GfxVertexBuffer::Unlock() {
    if (locked_) {
        scannedFvf_ = 0xFFFFFFFFu;  // the colours may have changed
        boundsStride_ = 0;          // and the positions
    }
    return UnlockBufferRange(GL_COPY_WRITE_BUFFER, name_, data_, locked_, lockOffset_, lockSize_);
}

uint8_t GfxDiffuseMinAlpha(const uint8_t* v, UINT count, UINT stride, DWORD fvf) {
    if (!(fvf & D3DFVF_DIFFUSE)) return 255;
    UINT off;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ: off = 12; break;
        case D3DFVF_XYZRHW: off = 16; break;
        default: return 0;
    }
    if (fvf & D3DFVF_NORMAL) off += 12;
    if (fvf & D3DFVF_PSIZE) off += 4;
    if (stride < off + 4 || !v) return 0;
    uint8_t least = 255;
    for (UINT i = 0; i < count && least > 0; ++i) least = std::min(least, v[static_cast<size_t>(i) * stride + off + 3]);
    return least;
}

uint8_t GfxVertexBuffer::DiffuseMinAlpha(DWORD fvf, UINT stride) {
    if (fvf != scannedFvf_ || stride != scannedStride_) {
        scannedFvf_ = fvf;
        scannedStride_ = stride;
        scannedMinAlpha_ = stride > 0 ? GfxDiffuseMinAlpha(data_, length_ / stride, stride, fvf) : 0;
    }
    return scannedMinAlpha_;
}

bool GfxPositionBounds(const uint8_t* v, UINT count, UINT stride, DWORD fvf, float lo[3], float hi[3]) {
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ || count == 0 || stride < 12 || !v) return false;
    for (int k = 0; k < 3; ++k) {
        lo[k] = std::numeric_limits<float>::infinity();
        hi[k] = -std::numeric_limits<float>::infinity();
    }
    for (UINT i = 0; i < count; ++i) {
        float p[3];
        std::memcpy(p, v + static_cast<size_t>(i) * stride, sizeof(p));
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(p[k])) return false;
            lo[k] = std::min(lo[k], p[k]);
            hi[k] = std::max(hi[k], p[k]);
        }
    }
    return true;
}

bool GfxVertexBuffer::PositionBounds(DWORD fvf, UINT stride, float lo[3], float hi[3]) {
    if (stride == 0) return false;
    if (boundsStride_ != stride || boundsFvf_ != fvf) {
        boundsStride_ = stride;
        boundsFvf_ = fvf;
        boundsOk_ = GfxPositionBounds(data_, length_ / stride, stride, fvf, boundsLo_, boundsHi_);
    }
    std::memcpy(lo, boundsLo_, sizeof(boundsLo_));
    std::memcpy(hi, boundsHi_, sizeof(boundsHi_));
    return boundsOk_;
}

GfxIndexBuffer::~GfxIndexBuffer() {
    if (name_ && gfxContextAlive) glDeleteBuffers(1, &name_);
    delete[] data_;
}

HRESULT GfxIndexBuffer::Lock(UINT offset, UINT size, uint8_t** data, DWORD flags) {
    return LockBufferRange(data_, length_, offset, size, flags, locked_, lockOffset_, lockSize_, data);
}

HRESULT GfxIndexBuffer::Unlock() {
    return UnlockBufferRange(GL_ELEMENT_ARRAY_BUFFER, name_, data_, locked_, lockOffset_, lockSize_);
}

void GfxDevice::FailTextureLocksForTest(bool fail) { failTextureLocks = fail; }

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
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b->name_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, length, b->data_, (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    *buffer = b;
    return D3D_OK;
}
