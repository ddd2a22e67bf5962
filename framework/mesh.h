// Meshes: a model file (".x") loaded with its materials and the textures they name, drawn one
// subset per material.
#pragma once
#include <cstdint>
#include <string>

#include "platform/gfx.h"
#include "platform/math.h"

class Texture;

class Mesh {
public:
    Mesh() = default;
    ~Mesh() { Release(); }
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Loads a model file relative to the working directory; its textures are shared through the
    // texture cache and loaded with this colour key and number of mip levels (0 = a full chain).
    bool Load(const char* path, D3DCOLOR colorKey, UINT mipLevels);
    void Release();
    bool Loaded() const { return loaded_; }

    // World transform, then each subset with its material and texture (stage 0, null allowed).
    void Draw(const D3DXMATRIX& world);
    // As Draw, with the given texture on every subset.
    void DrawWithTexture(const D3DXMATRIX& world, GfxTexture* texture);
    void DrawWithTexture(const D3DXMATRIX& world, const Texture& texture);
    // As Draw, each subset's diffuse colour being its ambient colour with this alpha.
    void DrawWithAlpha(const D3DXMATRIX& world, float alpha);
    // Sets the material and texture that Draw leaves set (its last subset's) without drawing.
    void SetLastSubsetStates();

    D3DMATERIAL8* materials = nullptr;   // one per subset; ambient = diffuse at load
    GfxTexture** textures = nullptr;     // one per subset, null where the material has none
    uint32_t materialCount = 0;
    std::string name;                    // path of the last load attempt; emptied by Release
    D3DXVECTOR3 boundsMin{0, 0, 0};
    D3DXVECTOR3 boundsMax{0, 0, 0};
    D3DXVECTOR3 sphereCenter{0, 0, 0};
    float sphereRadius = 0.0f;

    // The drawable geometry: one vertex and index buffer, a triangle range per subset.
    struct Subset {
        UINT indexStart;
        UINT triangleCount;
        UINT vertexMin;
        UINT vertexCount;
    };
    GfxVertexBuffer* vertices = nullptr;
    GfxIndexBuffer* indices = nullptr;
    Subset* subsets = nullptr;
    DWORD fvf = 0;
    UINT stride = 0;

private:
    bool loaded_ = false;
    void DrawSubsets(const D3DXMATRIX& world, GfxTexture* const* textureOverride, float alpha, bool useAlpha);
};
