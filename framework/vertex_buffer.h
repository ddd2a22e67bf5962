// Vertices the game builds itself at run time (road surfaces, walls, strips), kept in a device
// buffer and drawn as line strips, triangle strips or triangle fans.
#pragma once
#include "platform/gfx.h"

class VertexBuffer {
public:
    VertexBuffer() = default;
    ~VertexBuffer() { Release(); }
    VertexBuffer(const VertexBuffer&) = delete;
    VertexBuffer& operator=(const VertexBuffer&) = delete;

    // Copies byteLength bytes of vertices in the given format into a new buffer, releasing what
    // was held first. Only the game's eight vertex formats are accepted.
    bool Create(const void* vertices, DWORD fvf, UINT byteLength);
    void Release();

    // Draw from vertex 0 with this buffer as stream 0. A count beyond what the buffer holds is
    // cut to the primitives it has.
    void DrawLineStrip(UINT primitiveCount);
    void DrawTriangleStrip(UINT primitiveCount);
    void DrawTriangleFan(UINT primitiveCount);

    GfxVertexBuffer* buffer = nullptr;
    DWORD fvf = 0;
    DWORD stride = 0;
    DWORD vertexCount = 0;

private:
    void DrawStrip(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT verticesBeyondCount);
};

// Draws the two-triangle strips held by these buffers, in list order, as few draws as possible:
// their vertices are gathered into triangle lists, a new draw starting only where the vertex
// format changes. The picture is the one drawing each buffer in turn gives; a course window of
// a hundred small quads costs a handful of draws instead of a hundred. Buffers without four
// vertices are skipped.
void DrawQuadStrips(const VertexBuffer* const* buffers, int count);

// Bytes per vertex of one of the game's vertex formats; 0 for any other format.
DWORD VertexFormatStride(DWORD fvf);
