#include "framework/vertex_buffer.h"

#include <cstring>

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
