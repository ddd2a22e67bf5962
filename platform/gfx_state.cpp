// The device's state as the game sets it: render states, texture-stage states, transforms,
// lights, the material, the bound texture, vertex format, stream and indices, and their defaults.
// A change only marks the uniform groups and GL state it touches (see GfxDirty); the next draw
// sends them (gfx_pipeline.cpp).
#include <cstring>

#include "platform/gfx_gl.h"

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

void GfxSetDefaultState(GfxState& s) {
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

HRESULT GfxDevice::SetViewport(const D3DVIEWPORT8* v) {
    if (!v || v->X != 0 || v->Y != 0 || v->Width != kFrameWidth || v->Height != kFrameHeight) return D3DERR_INVALIDCALL;
    if (!(v->MinZ >= 0.0f && v->MinZ <= v->MaxZ && v->MaxZ <= 1.0f)) return D3DERR_INVALIDCALL;
    GfxState& s = *state_;
    if (v->MinZ != s.minZ || v->MaxZ != s.maxZ) {
        s.minZ = v->MinZ;
        s.maxZ = v->MaxZ;
        glDepthRange(s.minZ, s.maxZ);
    }
    return D3D_OK;
}

HRESULT GfxDevice::GetViewport(D3DVIEWPORT8* v) const {
    if (!v) return D3DERR_INVALIDCALL;
    *v = {0, 0, kFrameWidth, kFrameHeight, state_->minZ, state_->maxZ};
    return D3D_OK;
}

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
