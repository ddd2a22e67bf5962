#include "framework/mesh.h"

#include <cstring>
#include <vector>

#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/texture.h"
#include "platform/xfile.h"

namespace {

D3DCOLORVALUE Color(const float* c, float alpha) { return {c[0], c[1], c[2], alpha}; }

// Copies the flattened file into device buffers; false when the device refuses them.
bool Upload(const XMesh& x, DWORD fvf, UINT stride, GfxVertexBuffer** vb, GfxIndexBuffer** ib) {
    *vb = nullptr;
    *ib = nullptr;
    if (!device || x.vertices.empty() || x.indices.empty()) return true;  // nothing to draw: no buffers
    UINT vbBytes = static_cast<UINT>(x.vertices.size() * stride);
    if (FAILED(device->CreateVertexBuffer(vbBytes, D3DUSAGE_WRITEONLY, fvf, D3DPOOL_MANAGED, vb)) || !*vb) return false;
    uint8_t* dst = nullptr;
    if (FAILED((*vb)->Lock(0, vbBytes, &dst, 0)) || !dst) return false;
    bool colors = (fvf & D3DFVF_DIFFUSE) != 0;
    for (const XVertex& v : x.vertices) {
        std::memcpy(dst, v.position, 12);
        std::memcpy(dst + 12, v.normal, 12);
        uint8_t* p = dst + 24;
        if (colors) {
            std::memcpy(p, &v.color, 4);
            p += 4;
        }
        std::memcpy(p, v.uv, 8);
        dst += stride;
    }
    (*vb)->Unlock();

    bool wide = x.vertices.size() > 0xFFFF;
    UINT ibBytes = static_cast<UINT>(x.indices.size() * (wide ? 4 : 2));
    if (FAILED(device->CreateIndexBuffer(ibBytes, D3DUSAGE_WRITEONLY, wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                         D3DPOOL_MANAGED, ib)) || !*ib)
        return false;
    uint8_t* idx = nullptr;
    if (FAILED((*ib)->Lock(0, ibBytes, &idx, 0)) || !idx) return false;
    if (wide) {
        std::memcpy(idx, x.indices.data(), ibBytes);
    } else {
        for (size_t i = 0; i < x.indices.size(); ++i) {
            uint16_t s = static_cast<uint16_t>(x.indices[i]);
            std::memcpy(idx + i * 2, &s, 2);
        }
    }
    (*ib)->Unlock();
    return true;
}

}  // namespace

bool Mesh::Load(const char* path, D3DCOLOR colorKey, UINT mipLevels) {
    if (Loaded()) Release();
    const char* shown = path ? path : "";
    Log("load(%s) ... ", shown);
    name = shown;

    XMesh x;
    std::string error;
    bool parsed = device && XFileLoad(path, x, &error);
    if (!device) error = "no graphics device";
    bool optimized = parsed && XOptimizeMesh(x);
    DWORD format = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1 | (x.hasColors ? D3DFVF_DIFFUSE : 0);
    UINT size = x.hasColors ? 36 : 32;
    GfxVertexBuffer* vb = nullptr;
    GfxIndexBuffer* ib = nullptr;
    bool uploaded = parsed && Upload(x, format, size, &vb, &ib);
    if (!uploaded) {
        if (vb) vb->Release();
        if (ib) ib->Release();
        Log("failed.\n");
        if (parsed) error = "the device refused the mesh buffers";
        Log("(%s: %s)\n", shown, error.c_str());
        return false;
    }
    Log("ok.\n");

    vertices = vb;
    indices = ib;
    fvf = format;
    stride = size;
    // A mesh without triangles (an empty placeholder) still counts as loaded; it draws nothing.
    loaded_ = true;

    materialCount = static_cast<uint32_t>(x.materials.size());
    materials = new D3DMATERIAL8[materialCount]();
    textures = new GfxTexture*[materialCount]();
    subsets = new Subset[materialCount]();
    for (uint32_t i = 0; i < materialCount; ++i) {
        const XMaterial& m = x.materials[i];
        D3DMATERIAL8& d = materials[i];
        d.Diffuse = Color(m.diffuse, m.diffuse[3]);
        d.Ambient = d.Diffuse;
        d.Specular = Color(m.specular, 1.0f);
        d.Emissive = Color(m.emissive, 1.0f);
        d.Power = m.power;
        if (!m.textureFile.empty()) textures[i] = textureCache.Acquire(false, m.textureFile.c_str(), colorKey, mipLevels);
        const XSubset& s = x.subsets[i];
        subsets[i] = {s.indexStart, s.triangleCount, s.vertexMin, s.vertexEnd - s.vertexMin};
    }
    boundsMin = D3DXVECTOR3(x.boundsMin[0], x.boundsMin[1], x.boundsMin[2]);
    boundsMax = D3DXVECTOR3(x.boundsMax[0], x.boundsMax[1], x.boundsMax[2]);
    sphereCenter = D3DXVECTOR3(x.sphereCenter[0], x.sphereCenter[1], x.sphereCenter[2]);
    sphereRadius = x.sphereRadius;
    if (!optimized) Log("optimization failed.\n");
    return true;
}

void Mesh::Release() {
    if (!name.empty()) {
        Log("release(%s)\n", name.c_str());
        name.clear();
    }
    delete[] materials;
    materials = nullptr;
    if (textures) {
        for (uint32_t i = 0; i < materialCount; ++i)
            if (textures[i]) textureCache.ReleaseTexture(textures[i]);
        delete[] textures;
        textures = nullptr;
    }
    delete[] subsets;
    subsets = nullptr;
    materialCount = 0;
    if (indices) indices->Release();
    indices = nullptr;
    if (vertices) vertices->Release();
    vertices = nullptr;
    fvf = 0;
    stride = 0;
    loaded_ = false;
    boundsMin = boundsMax = sphereCenter = D3DXVECTOR3(0, 0, 0);
    sphereRadius = 0.0f;
}

void Mesh::DrawSubsets(const D3DXMATRIX& world, GfxTexture* const* textureOverride, float alpha, bool useAlpha) {
    if (!loaded_ || !device) return;
    device->SetTransform(D3DTS_WORLD, &world);
    if (vertices && indices) {
        device->SetVertexShader(fvf);
        device->SetStreamSource(0, vertices, stride);
        device->SetIndices(indices, 0);
    }
    for (uint32_t i = 0; i < materialCount; ++i) {
        D3DMATERIAL8& material = materials[i];
        if (useAlpha) {
            material.Diffuse = material.Ambient;
            material.Diffuse.a = alpha;
        }
        device->SetMaterial(&material);
        device->SetTexture(0, textureOverride ? *textureOverride : textures[i]);
        const Subset& s = subsets[i];
        if (vertices && indices && s.triangleCount > 0)
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, s.vertexMin, s.vertexCount, s.indexStart, s.triangleCount);
        if (useAlpha) material.Diffuse = material.Ambient;
    }
}

void Mesh::Draw(const D3DXMATRIX& world) { DrawSubsets(world, nullptr, 0.0f, false); }

void Mesh::SetLastSubsetStates() {
    if (!loaded_ || !device || materialCount == 0) return;
    device->SetMaterial(&materials[materialCount - 1]);
    device->SetTexture(0, textures[materialCount - 1]);
}

void Mesh::DrawWithTexture(const D3DXMATRIX& world, GfxTexture* texture) { DrawSubsets(world, &texture, 0.0f, false); }

void Mesh::DrawWithTexture(const D3DXMATRIX& world, const Texture& texture) {
    GfxTexture* t = texture.texture;
    DrawSubsets(world, &t, 0.0f, false);
}

void Mesh::DrawWithAlpha(const D3DXMATRIX& world, float alpha) { DrawSubsets(world, nullptr, alpha, true); }
