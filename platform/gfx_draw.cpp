// Drawing on the device: scenes, clears and Present, vertex formats and their attribute layout,
// the rings that carry vertices and indices drawn from the game's arrays, the draw calls, and
// reading the frame back. A draw binds the vertex layout only when the buffer, format or stride
// changed, and leaves the state it needs to GfxPrepareDraw.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/frame_fit.h"
#include "platform/gfx_gl.h"

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

static uint64_t NowNs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

void GfxProfileBegin(GfxState& s) {
    if (!s.drawHook) return;
    if (!s.sampleQuery) glGenQueries(1, &s.sampleQuery);
    glFinish();
    glBeginQuery(GL_SAMPLES_PASSED, s.sampleQuery);
    s.hookStartNs = NowNs();
}

void GfxProfileEnd(GfxState& s, bool clear, UINT primitives) {
    if (!s.drawHook) return;
    glEndQuery(GL_SAMPLES_PASSED);
    glFinish();
    GfxDrawCost cost{};
    cost.microseconds = std::max(0.0, static_cast<double>(NowNs() - s.hookStartNs) / 1000.0 - s.hookOverheadUs);
    GLuint64 samples = 0;
    glGetQueryObjectui64v(s.sampleQuery, GL_QUERY_RESULT, &samples);
    cost.clear = clear;
    // A clear passes no fragments through the query: it writes every pixel of the target.
    cost.samples = clear ? static_cast<uint64_t>(s.targetWidth) * s.targetHeight : samples;
    cost.programKey = clear ? 0 : s.lastKey;
    cost.blended = !clear && s.blendOn;
    cost.primitives = primitives;
    s.drawHook(cost, s.drawHookContext);
}

void GfxDevice::SetDrawHook(GfxDrawHook hook, void* context) {
    GfxState& s = *state_;
    if (hook && !s.drawHook) {
        // What waiting on an empty draw costs (waking the rasteriser's threads and reading the
        // query), taken off every draw's time: the least of a few tries.
        if (!s.sampleQuery) glGenQueries(1, &s.sampleQuery);
        double least = 1e9;
        for (int i = 0; i < 16; ++i) {
            glFinish();
            glBeginQuery(GL_SAMPLES_PASSED, s.sampleQuery);
            const uint64_t start = NowNs();
            glEndQuery(GL_SAMPLES_PASSED);
            glFinish();
            GLuint64 samples = 0;
            glGetQueryObjectui64v(s.sampleQuery, GL_QUERY_RESULT, &samples);
            least = std::min(least, static_cast<double>(NowNs() - start) / 1000.0);
        }
        s.hookOverheadUs = least;
    }
    s.drawHook = hook;
    s.drawHookContext = context;
}

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
        GfxColorToFloats(color, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(z);
        mask |= GL_DEPTH_BUFFER_BIT;
        s.depthAtFar = z >= 1.0f;
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
    GfxProfileBegin(s);
    glClear(mask);
    GfxProfileEnd(s, true, 0);
    s.dirty |= kDirtyRaster;
    return D3D_OK;
}

// The longest a frame waits for the one two before it: a drawing that takes longer is given up
// on rather than holding the game (the frame goes on; the picture is only late).
constexpr GLuint64 kFrameWaitNs = 1000000000ull;

HRESULT GfxDevice::Present(const void* srcRect, const void* dstRect, void* window, const void* dirtyRegion) {
    GfxState& s = *state_;
    if (srcRect || dstRect || window || dirtyRegion) return D3DERR_INVALIDCALL;
    if (s.cooperative != D3D_OK) return s.cooperative;
    SDL_Window* win = static_cast<SDL_Window*>(s.window);
    if (!s.headless) {
        int w = s.targetWidth, h = s.targetHeight;
        SDL_GL_GetDrawableSize(win, &w, &h);
        // The picture keeps the frame's shape, centred; the rest of the window stays black.
        const FrameFit fit = FitFrame(s.targetWidth, s.targetHeight, w, h, CurrentFrameScaling());
        const int x0 = fit.x, y0 = h - fit.y - fit.height, dw = fit.width, dh = fit.height;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, s.fbo);
        glViewport(0, 0, w, h);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        // Row 0 of the frame is the top of the picture: flip while scaling.
        glBlitFramebuffer(0, 0, s.targetWidth, s.targetHeight, x0, y0 + dh, x0 + dw, y0, GL_COLOR_BUFFER_BIT,
                          fit.nearest ? GL_NEAREST : GL_LINEAR);
        glBindFramebuffer(GL_FRAMEBUFFER, s.fbo);
        glViewport(0, 0, s.targetWidth, s.targetHeight);
        s.dirty |= kDirtyRaster;
        SDL_GL_SwapWindow(win);
    }
    // Hand the frame to the rasteriser without waiting for it, as a graphics card takes it: the
    // next frame's logic runs while this one is drawn. The rasteriser would queue frames without
    // bound; one that falls behind would show the player a picture ever further behind the keys
    // (a second and more when a close view costs more than a frame to draw), and the game would
    // only see it when the queue is full. So a frame that finds the one two before it still being
    // drawn waits for it here: the pacer's late count shows at once whether drawing keeps up.
    // Reading the picture back (screenshots) waits for the frame itself.
    GLsync& older = s.frameFences[s.frameFenceSlot];
    if (older) {
        glClientWaitSync(older, GL_SYNC_FLUSH_COMMANDS_BIT, kFrameWaitNs);
        glDeleteSync(older);
    }
    older = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    s.frameFenceSlot ^= 1;
    glFlush();
    s.drawCalls = 0;
    s.triangles = 0;
    return D3D_OK;
}

// Whether triangles within the box lo..hi can put no pixel on the frame: all eight corners,
// through world x view x projection, lie beyond the same side of the view volume, so everything
// between them does too. The margins keep the half-pixel shift and rounding on the drawn side; a
// box that is not finite is drawn.
static bool BoxOutsideView(const GfxState& s, const float lo[3], const float hi[3]) {
    D3DXMATRIX wv, m;
    D3DXMatrixMultiply(&wv, &s.world, &s.view);
    D3DXMatrixMultiply(&m, &wv, &s.proj);
    unsigned outsideAll = 0x3F;
    for (int c = 0; c < 8; ++c) {
        const float x = (c & 1) ? hi[0] : lo[0], y = (c & 2) ? hi[1] : lo[1], z = (c & 4) ? hi[2] : lo[2];
        const float cx = x * m._11 + y * m._21 + z * m._31 + m._41;
        const float cy = x * m._12 + y * m._22 + z * m._32 + m._42;
        const float cz = x * m._13 + y * m._23 + z * m._33 + m._43;
        const float cw = x * m._14 + y * m._24 + z * m._34 + m._44;
        if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(cz) || !std::isfinite(cw)) return false;
        // Sideways the margin covers the half-pixel shift; in depth only rounding.
        const float margin = 0.01f * std::fabs(cw), depthMargin = 1e-4f * std::fabs(cw);
        unsigned outside = 0;
        if (cx < -cw - margin) outside |= 1;
        if (cx > cw + margin) outside |= 2;
        if (cy < -cw - margin) outside |= 4;
        if (cy > cw + margin) outside |= 8;
        if (cz < -depthMargin) outside |= 16;  // D3D's depth runs from 0 at the near plane to w
        if (cz > cw + depthMargin) outside |= 32;
        outsideAll &= outside;
        if (!outsideAll) return false;
    }
    return true;
}

// Triangles of untransformed vertices that the camera cannot see are not handed to the rasteriser
// (once their pipeline has drawn: see GfxPipelineDrawn). minAlpha: the vertices' least diffuse
// alpha, read only when the box is outside.
template <typename MinAlpha>
static bool TrianglesUnseen(const GfxState& s, D3DPRIMITIVETYPE type, bool known, const float lo[3],
                            const float hi[3], MinAlpha minAlpha) {
    if (type < D3DPT_TRIANGLELIST || (s.fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ || !known) return false;
    return BoxOutsideView(s, lo, hi) && GfxPipelineDrawn(s, type, false, minAlpha());
}

static void CountDraw(GfxState& s, D3DPRIMITIVETYPE type, UINT count) {
    ++s.drawCalls;
    if (type >= D3DPT_TRIANGLELIST) s.triangles += count;
}

// As in D3D, a draw from memory, drawn or skipped, leaves no stream source (and, for an indexed
// one, no index buffer) behind.
static void EndDrawFromMemory(GfxState& s, bool indexed) {
    if (s.stream) s.stream->Release();
    s.stream = nullptr;
    if (!indexed) return;
    if (s.indices) s.indices->Release();
    s.indices = nullptr;
}

HRESULT GfxDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    GfxState& s = *state_;
    if (!s.inScene || !s.stream || primitiveCount == 0) return s.inScene && s.stream ? D3D_OK : D3DERR_INVALIDCALL;
    UINT stride = s.streamStride ? s.streamStride : GfxFvfStride(s.fvf);
    UINT n = PrimitiveVertexCount(type, primitiveCount);
    if (n == 0 || stride == 0 || static_cast<uint64_t>(startVertex + n) * stride > s.stream->Length()) {
        return D3DERR_INVALIDCALL;
    }
    float lo[3], hi[3];
    if (TrianglesUnseen(s, type, s.stream->PositionBounds(s.fvf, stride, lo, hi), lo, hi,
                        [&] { return s.stream->DiffuseMinAlpha(s.fvf, stride); })) {
        CountDraw(s, type, primitiveCount);
        return D3D_OK;
    }
    BindLayout(s, s.stream->glName(), 0, s.fvf, stride);
    if (!GfxPrepareDraw(s, type, (s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW, s.stream->DiffuseMinAlpha(s.fvf, stride))) {
        return D3DERR_INVALIDCALL;
    }
    GfxProfileBegin(s);
    glDrawArrays(GlPrimitive(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(n));
    GfxProfileEnd(s, false, primitiveCount);
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
    float lo[3], hi[3];
    if (TrianglesUnseen(s, type, s.stream->PositionBounds(s.fvf, stride, lo, hi), lo, hi,
                        [&] { return s.stream->DiffuseMinAlpha(s.fvf, stride); })) {
        CountDraw(s, type, primitiveCount);
        return D3D_OK;
    }
    BindLayout(s, s.stream->glName(), 0, s.fvf, stride);
    if (!GfxPrepareDraw(s, type, (s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW, s.stream->DiffuseMinAlpha(s.fvf, stride))) {
        return D3DERR_INVALIDCALL;
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, s.indices->glName());
    GfxProfileBegin(s);
    glDrawElementsBaseVertex(GlPrimitive(type), static_cast<GLsizei>(n),
                             indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexSize),
                             static_cast<GLint>(s.baseVertex));
    GfxProfileEnd(s, false, primitiveCount);
    CountDraw(s, type, primitiveCount);
    return D3D_OK;
}

HRESULT GfxDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride) {
    GfxState& s = *state_;
    if (!s.inScene || !vertexData || stride == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    UINT n = PrimitiveVertexCount(type, primitiveCount);
    if (n == 0) return D3DERR_INVALIDCALL;
    float lo[3], hi[3];
    if (TrianglesUnseen(s, type, GfxPositionBounds(static_cast<const uint8_t*>(vertexData), n, stride, s.fvf, lo, hi),
                        lo, hi, [&] {
                            return GfxDiffuseMinAlpha(static_cast<const uint8_t*>(vertexData), n, stride, s.fvf);
                        })) {
        CountDraw(s, type, primitiveCount);
        EndDrawFromMemory(s, false);
        return D3D_OK;
    }
    uint32_t start = RingWrite(s.vertexRing, GL_ARRAY_BUFFER, vertexData, n * stride, stride);
    s.boundVbo = s.vertexRing.name();
    BindLayout(s, s.vertexRing.name(), 0, s.fvf, stride);
    if (!GfxPrepareDraw(s, type, (s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW,
                     GfxDiffuseMinAlpha(static_cast<const uint8_t*>(vertexData), n, stride, s.fvf))) {
        return D3DERR_INVALIDCALL;
    }
    GfxProfileBegin(s);
    glDrawArrays(GlPrimitive(type), static_cast<GLint>(start / stride), static_cast<GLsizei>(n));
    GfxProfileEnd(s, false, primitiveCount);
    CountDraw(s, type, primitiveCount);
    EndDrawFromMemory(s, false);
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
    float lo[3], hi[3];
    if (TrianglesUnseen(s, type,
                        GfxPositionBounds(static_cast<const uint8_t*>(vertexData), minIndex + numVertices, stride,
                                          s.fvf, lo, hi),
                        lo, hi, [&] {
                            return GfxDiffuseMinAlpha(static_cast<const uint8_t*>(vertexData), minIndex + numVertices,
                                                       stride, s.fvf);
                        })) {
        CountDraw(s, type, primitiveCount);
        EndDrawFromMemory(s, true);
        return D3D_OK;
    }
    // Vertices from 0 to minIndex + numVertices are what the indices may reach.
    uint32_t vbytes = (minIndex + numVertices) * stride;
    uint32_t vstart = RingWrite(s.vertexRing, GL_ARRAY_BUFFER, vertexData, vbytes, stride);
    s.boundVbo = s.vertexRing.name();
    BindLayout(s, s.vertexRing.name(), 0, s.fvf, stride);
    if (!GfxPrepareDraw(s, type, (s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW,
                     GfxDiffuseMinAlpha(static_cast<const uint8_t*>(vertexData), minIndex + numVertices, stride,
                                         s.fvf))) {
        return D3DERR_INVALIDCALL;
    }
    uint32_t istart = RingWrite(s.indexRing, GL_ELEMENT_ARRAY_BUFFER, indexData, n * indexSize, indexSize);
    GfxProfileBegin(s);
    glDrawElementsBaseVertex(GlPrimitive(type), static_cast<GLsizei>(n),
                             indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(istart)),
                             static_cast<GLint>(vstart / stride));
    GfxProfileEnd(s, false, primitiveCount);
    CountDraw(s, type, primitiveCount);
    EndDrawFromMemory(s, true);
    return D3D_OK;
}

void GfxDevice::Flush() const { glFlush(); }

bool GfxDevice::ReadFrame(uint8_t* rgba) const {
    if (!rgba) return false;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, state_->fbo);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, state_->targetWidth, state_->targetHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return glGetError() == GL_NO_ERROR;
}

void GfxDevice::GetWindowPixelSize(int* width, int* height) const {
    *width = state_->targetWidth;
    *height = state_->targetHeight;
    if (state_->window) SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(state_->window), width, height);
}

UINT GfxDevice::FrameWidth() const { return static_cast<UINT>(state_->targetWidth); }
UINT GfxDevice::FrameHeight() const { return static_cast<UINT>(state_->targetHeight); }

bool GfxDevice::LastFrameDrawn() const {
    const GfxState& s = *state_;
    if (s.cooperative != D3D_OK) return true;
    // Present fenced the frame in the slot before the one it left for the next.
    GLsync last = s.frameFences[s.frameFenceSlot ^ 1];
    if (!last) return true;
    const GLenum status = glClientWaitSync(last, 0, 0);
    return status == GL_ALREADY_SIGNALED || status == GL_CONDITION_SATISFIED;
}

UINT GfxDevice::DrawCallCount() const { return state_->drawCalls; }
UINT GfxDevice::TriangleCount() const { return state_->triangles; }
