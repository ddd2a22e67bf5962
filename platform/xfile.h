// Reader for DirectX ".x" model files (text form and uncompressed binary form). It flattens the
// file's frame hierarchy into one triangle mesh in model space, grouped into one subset per
// material in the file's material order, ready to be drawn from a single vertex and index buffer.
// Malformed or truncated files are refused with a reason; counts are checked before anything is
// allocated, so a hostile file can neither crash nor exhaust memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct XMaterial {
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};  // r, g, b, a
    float power = 0.0f;
    float specular[3] = {0.0f, 0.0f, 0.0f};
    float emissive[3] = {0.0f, 0.0f, 0.0f};
    std::string textureFile;  // empty when the material has no texture
};

struct XVertex {
    float position[3];
    float normal[3];
    float uv[2];
    uint32_t color;  // ARGB; 0xFFFFFFFF where the file gives no vertex colour
};

// A run of triangles that share one material.
struct XSubset {
    uint32_t material;     // index into XMesh::materials
    uint32_t indexStart;   // first index in XMesh::indices
    uint32_t triangleCount;
    uint32_t vertexMin;    // smallest and one past the largest vertex the subset uses
    uint32_t vertexEnd;
};

struct XMesh {
    std::vector<XVertex> vertices;
    std::vector<uint32_t> indices;     // triangle list, subsets one after another
    std::vector<XSubset> subsets;      // one per material, in material order (may hold 0 triangles)
    std::vector<XMaterial> materials;
    bool hasTexCoords = false;
    bool hasColors = false;
    float boundsMin[3] = {0, 0, 0};
    float boundsMax[3] = {0, 0, 0};
    float sphereCenter[3] = {0, 0, 0};
    float sphereRadius = 0.0f;
};

// Upper bounds on what a model file may hold; anything larger is refused as damaged.
constexpr uint32_t kXMaxElements = 1u << 21;    // vertices, faces, normals... of one mesh
constexpr uint32_t kXMaxTriangles = 1u << 22;   // triangles of the whole file
constexpr uint32_t kXMaxMaterials = 4096;
constexpr int kXMaxDepth = 64;                  // nesting of frames and data objects

// Parses a whole file held in memory. On failure returns false with a short reason in *error.
bool XFileParse(const void* data, size_t size, XMesh& out, std::string* error);
// Reads the file (case-insensitive fallback on its name) and parses it.
bool XFileLoad(const char* path, XMesh& out, std::string* error);

// Reorders each subset's triangles for the post-transform vertex cache and renumbers the vertices
// in first-use order. Returns false (and leaves the mesh as it was) when the mesh is inconsistent.
bool XOptimizeMesh(XMesh& mesh);
