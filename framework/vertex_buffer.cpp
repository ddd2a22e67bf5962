#include "framework/vertex_buffer.h"

#include <cstring>
#include <initializer_list>

#include "framework/graphics_device.h"

namespace {

struct FormatStride {
    DWORD fvf;
    DWORD stride;
};

// Position (or pre-transformed position), optional normal, diffuse colour, 0 to 2 coordinate pairs.
constexpr FormatStride kFormats[] = {
    {0x042, 16}, {0x044, 20}, {0x052, 28}, {0x142, 24},
    {0x144, 28}, {0x152, 36}, {0x242, 32}, {0x252, 44},
};

// Room for a drawing window of quad strips gathered into one list (six vertices a quad).
constexpr size_t kBatchBytes = 256 * 1024;
alignas(16) uint8_t batch[kBatchBytes];

void DrawBatch(DWORD fvf, DWORD stride, size_t bytes) {
    if (bytes == 0) return;
    const UINT vertices = static_cast<UINT>(bytes / stride);
    device->SetVertexShader(fvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, vertices / 3, batch, stride);
}

}  // namespace

DWORD VertexFormatStride(DWORD fvf) {
    for (const FormatStride& f : kFormats)
        if (f.fvf == fvf) return f.stride;
    return 0;
}

bool VertexBuffer::Create(const void* vertices, DWORD format, UINT byteLength) {
    Release();
    DWORD size = VertexFormatStride(format);
    if (size == 0 || !vertices || byteLength == 0 || !device) return false;
    GfxVertexBuffer* created = nullptr;
    if (FAILED(device->CreateVertexBuffer(byteLength, 0, format, D3DPOOL_MANAGED, &created)) || !created) return false;
    uint8_t* data = nullptr;
    if (FAILED(created->Lock(0, byteLength, &data, 0)) || !data) {
        created->Release();
        return false;
    }
    std::memcpy(data, vertices, byteLength);
    created->Unlock();
    buffer = created;
    fvf = format;
    stride = size;
    vertexCount = byteLength / size;
    return true;
}

void VertexBuffer::Release() {
    if (buffer) {
        buffer->Release();
        buffer = nullptr;
    }
    fvf = 0;
    stride = 0;
    vertexCount = 0;
}

void VertexBuffer::DrawStrip(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT verticesBeyondCount) {
    if (!buffer || !device) return;
    if (vertexCount <= verticesBeyondCount) return;
    UINT available = vertexCount - verticesBeyondCount;
    if (primitiveCount > available) primitiveCount = available;
    if (primitiveCount == 0) return;
    device->SetStreamSource(0, buffer, stride);
    device->SetVertexShader(fvf);
    device->DrawPrimitive(type, 0, primitiveCount);
}

void VertexBuffer::DrawLineStrip(UINT primitiveCount) { DrawStrip(D3DPT_LINESTRIP, primitiveCount, 1); }
void VertexBuffer::DrawTriangleStrip(UINT primitiveCount) { DrawStrip(D3DPT_TRIANGLESTRIP, primitiveCount, 2); }
void VertexBuffer::DrawTriangleFan(UINT primitiveCount) { DrawStrip(D3DPT_TRIANGLEFAN, primitiveCount, 2); }

void DrawQuadStrips(const VertexBuffer* const* buffers, int count) {
    if (!device) return;
    DWORD fvf = 0, stride = 0;
    size_t used = 0;
    for (int i = 0; i < count; ++i) {
        const VertexBuffer* b = buffers[i];
        if (!b || !b->buffer || b->vertexCount < 4 || !b->buffer->Data()) continue;
        if (b->fvf != fvf || used + 6 * b->stride > kBatchBytes) {
            DrawBatch(fvf, stride, used);
            used = 0;
            fvf = b->fvf;
            stride = b->stride;
        }
        // Strip v0 v1 v2 v3 as the list (v0 v1 v2) (v1 v3 v2): the same two triangles, each led
        // by the vertex that leads it in the strip.
        const uint8_t* v = b->buffer->Data();
        for (int k : {0, 1, 2, 1, 3, 2}) {
            std::memcpy(batch + used, v + static_cast<size_t>(k) * stride, stride);
            used += stride;
        }
    }
    DrawBatch(fvf, stride, used);
}
