// From the device's state to GL before a draw: which variant of the pipeline program the draw
// needs (its key), building variants on first use, and sending the uniform groups and raster
// state that changed since they were last sent.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/frame_fit.h"
#include "platform/gfx_gl.h"
#include "platform/log_sink.h"

static float FloatOf(DWORD bits) {
    float f;
    std::memcpy(&f, &bits, sizeof(f));
    return f;
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

// The variant for a key, built on first use.
GfxProgram* GfxGetProgram(GfxState& s, uint32_t key, char* error, int errorSize) {
    GfxProgram* p = s.programs[key];
    if (p) return p;
    p = new GfxProgram();
    p->program = GfxBuildProgram(key, s.wide, p->u, error, errorSize);
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
    if (u.frame >= 0) {
        const float width = WidePictureWidth(s.targetWidth, s.targetHeight);
        glUniform4f(u.frame, (kFrameWidth - width) * 0.5f, 2.0f / width, 1.0f / static_cast<float>(s.targetWidth),
                    1.0f / static_cast<float>(s.targetHeight));
    }
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
    GfxColorToFloats(s.rs[D3DRS_AMBIENT], amb);
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
    GfxColorToFloats(s.rs[D3DRS_FOGCOLOR], c);
    glUniform3fv(u.fogColor, 1, c);
}

static void UploadStage(GfxState& s, const GfxUniforms& u) {
    const DWORD* t = s.tss[0];
    glUniform3i(u.colorOp, static_cast<GLint>(t[D3DTSS_COLOROP]), static_cast<GLint>(t[D3DTSS_COLORARG1]),
                static_cast<GLint>(t[D3DTSS_COLORARG2]));
    glUniform3i(u.alphaOp, static_cast<GLint>(t[D3DTSS_ALPHAOP]), static_cast<GLint>(t[D3DTSS_ALPHAARG1]),
                static_cast<GLint>(t[D3DTSS_ALPHAARG2]));
    float tf[4];
    GfxColorToFloats(s.rs[D3DRS_TEXTUREFACTOR], tf);
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
    GfxColorToFloats(t[D3DTSS_BORDERCOLOR], border);
    glSamplerParameterfv(s.sampler, GL_TEXTURE_BORDER_COLOR, border);
}

static void ApplyRaster(GfxState& s) {
    const DWORD* rs = s.rs;
    // The depth test's switch is set per draw (GfxPrepareDraw).
    glDepthFunc(GlCompare(rs[D3DRS_ZFUNC]));
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
    // Point sizes are in frame pixels: a frame drawn larger draws its points larger with it.
    const float scale = static_cast<float>(s.targetHeight) / kFrameHeight;
    glPointSize(std::max(1.0f, FloatOf(rs[D3DRS_POINTSIZE])) * scale);
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

// The least alpha stage 0 can give a pixel of this draw, from 0 to 1 (exactly 1 when every pixel
// is opaque): for the usual texture x diffuse stage, the texture's least texel alpha (1 without a
// texture; the border's too where addressing reaches it) times the least diffuse alpha, from the
// vertices (diffuseMinAlpha) or, when lit, from the material. 0 for any other stage: not known.
static float LeastAlpha(const GfxState& s, bool rhw, uint8_t diffuseMinAlpha) {
    const DWORD* t = s.tss[0];
    if (!StageIsModulate(t)) return 0.0f;
    float texel = 1.0f;
    if (const GfxTexture* tex = s.textures[0]) {
        uint32_t least = tex->MinAlpha();
        if (t[D3DTSS_ADDRESSU] == D3DTADDRESS_BORDER || t[D3DTSS_ADDRESSV] == D3DTADDRESS_BORDER) {
            least = std::min(least, t[D3DTSS_BORDERCOLOR] >> 24);
        }
        texel = least / 255.0f;
    }
    const float vertices = diffuseMinAlpha / 255.0f;
    if (rhw || !s.rs[D3DRS_LIGHTING]) return texel * vertices;
    const bool fromVertex = s.rs[D3DRS_COLORVERTEX] &&
                            ((s.rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1 && (s.fvf & D3DFVF_DIFFUSE)) ||
                             (s.rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR2 && (s.fvf & D3DFVF_SPECULAR)));
    if (fromVertex) return s.rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1 ? texel * vertices : 0.0f;
    return texel * std::clamp(s.material.Diffuse.a, 0.0f, 1.0f);
}

// Whether the alpha test passes every pixel whose alpha is at least `least` (below 1): the tests
// that pass everything above their reference, when the least alpha, as the test reads it (0 to
// 255, rounded, less a margin for the interpolation's rounding), is above it.
static bool AlphaTestPassesFrom(const GfxState& s, float least) {
    const DWORD func = s.rs[D3DRS_ALPHAFUNC];
    const float lowest = std::floor(least * 255.0f - 0.01f + 0.5f);
    const float ref = static_cast<float>(s.rs[D3DRS_ALPHAREF] & 0xFF);
    switch (func) {
        case D3DCMP_ALWAYS: return true;
        case D3DCMP_GREATER:
        case D3DCMP_NOTEQUAL: return lowest > ref;
        case D3DCMP_GREATEREQUAL: return lowest >= ref;
        default: return false;
    }
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

static uint32_t ProgramKeyOf(const GfxState& s, bool rhw, float leastAlpha) {
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
    const bool alphaOne = leastAlpha >= 1.0f;
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS &&
        !(alphaOne ? AlphaTestPassesOpaque(s) : AlphaTestPassesFrom(s, leastAlpha))) {
        key |= kKeyAlphaTest;
    }
    if (rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT) key |= kKeyFlat;
    if (rs[D3DRS_SPECULARENABLE]) key |= kKeySpecular;
    return key;
}

// Whether the draw's depth test runs: a draw that writes no depth onto a depth buffer untouched
// since it was cleared to the far plane passes a less-or-equal test at every pixel, so the test is
// left out (the sky, drawn first, then reads no depth).
static bool DepthTestRuns(const GfxState& s) {
    const DWORD zfunc = s.rs[D3DRS_ZFUNC];
    const bool zOn = s.rs[D3DRS_ZENABLE] != 0, zWrite = zOn && s.rs[D3DRS_ZWRITEENABLE] != 0;
    return zOn && !(!zWrite && s.depthAtFar && (zfunc == D3DCMP_LESSEQUAL || zfunc == D3DCMP_ALWAYS));
}

static bool BlendRuns(const GfxState& s, float leastAlpha) {
    return s.rs[D3DRS_ALPHABLENDENABLE] && !(leastAlpha >= 1.0f && BlendIsReplaceForOpaque(s));
}

// What a software rasteriser compiles a draw's code for: the program variant and the fixed
// functions around it (blending, depth, colour writes, the texture's filter and addressing, the
// vertex layout and the kind of primitive). Two draws with the same key run the same code.
static uint64_t PipelineKeyOf(const GfxState& s, uint32_t programKey, float leastAlpha, D3DPRIMITIVETYPE type) {
    const DWORD* rs = s.rs;
    uint64_t k = programKey;                                        // bits 0-10
    if (BlendRuns(s, leastAlpha)) {
        k |= 1ull << 11;
        k |= static_cast<uint64_t>(rs[D3DRS_SRCBLEND] & 15) << 12;
        k |= static_cast<uint64_t>(rs[D3DRS_DESTBLEND] & 15) << 16;
        k |= static_cast<uint64_t>(rs[D3DRS_BLENDOP] & 7) << 20;
    }
    if (DepthTestRuns(s)) {
        k |= 1ull << 23;
        k |= static_cast<uint64_t>(rs[D3DRS_ZFUNC] & 15) << 24;
        if (rs[D3DRS_ZWRITEENABLE]) k |= 1ull << 28;
    }
    k |= static_cast<uint64_t>(rs[D3DRS_COLORWRITEENABLE] & 15) << 29;
    if (s.textures[0]) {
        const DWORD* t = s.tss[0];
        k |= static_cast<uint64_t>(t[D3DTSS_MAGFILTER] & 3) << 33;
        k |= static_cast<uint64_t>(t[D3DTSS_MINFILTER] & 3) << 35;
        k |= static_cast<uint64_t>(t[D3DTSS_MIPFILTER] & 3) << 37;
        k |= static_cast<uint64_t>(t[D3DTSS_ADDRESSU] & 7) << 39;
        k |= static_cast<uint64_t>(t[D3DTSS_ADDRESSV] & 7) << 42;
    }
    const uint64_t primitive = type == D3DPT_POINTLIST ? 1 : (type <= D3DPT_LINESTRIP ? 2 : 3);
    k |= primitive << 45;
    // The layout: the format's components (low 12 bits) and its coordinate sizes (high 16).
    k |= static_cast<uint64_t>(s.fvf & 0xFFF) << 47;
    k ^= static_cast<uint64_t>(s.fvf >> 16) << 48;
    return k;
}

constexpr uint32_t kUniformGroups = kDirtyTransform | kDirtyLights | kDirtyMaterial | kDirtyFog | kDirtyStage |
                                    kDirtyTexCoord;

// Picks the program variant and sends what changed since it last drew; false when the variant
// cannot be built (the draw is then skipped). rhw: the draw's vertices are pre-transformed.
// diffuseMinAlpha: the least diffuse alpha of the draw's vertices. Where the pixels' alpha is then
// exactly 1, an alpha test that 255 passes and a blend that reduces to the source colour are left
// out; where it never falls to the alpha test's reference, the test is left out (a translucent
// shadow or panel keeps its blend): the picture is the same, with no discard in the shader.
bool GfxPrepareDraw(GfxState& s, D3DPRIMITIVETYPE type, bool rhw, uint8_t diffuseMinAlpha) {
    uint32_t d = s.dirty;
    if (d & kUniformGroups) {
        for (uint32_t i = 0; i < s.builtCount; ++i) s.built[i]->stale |= d & kUniformGroups;
    }
    const float leastAlpha = LeastAlpha(s, rhw, diffuseMinAlpha);
    const uint32_t key = ProgramKeyOf(s, rhw, leastAlpha);
    s.lastKey = key;
    GfxProgram* p = s.programs[key];
    if (!p) {
        char error[1024];
        p = GfxGetProgram(s, key, error, sizeof(error));
        if (!p) {
            PlatformLog("graphics device: %s\n", error);
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
    const uint64_t pipeline = PipelineKeyOf(s, key, leastAlpha, type);
    if (s.pipelines.insert(pipeline).second) {
        ++s.pipelinesBuilt;
        char words[160];
        GfxDescribeProgramKey(key, words, sizeof(words));
        PlatformLog("graphics device: pipeline %u (%s; fixed functions %llx)\n", s.pipelinesBuilt, words,
                    static_cast<unsigned long long>(pipeline >> 11));
    }
    const bool zWrite = s.rs[D3DRS_ZENABLE] != 0 && s.rs[D3DRS_ZWRITEENABLE] != 0;
    const bool depthTest = DepthTestRuns(s);
    if (depthTest != s.depthTestOn || (d & kDirtyRaster)) {
        if (depthTest) glEnable(GL_DEPTH_TEST);
        else glDisable(GL_DEPTH_TEST);
        s.depthTestOn = depthTest;
    }
    if (zWrite) s.depthAtFar = false;
    const bool blend = BlendRuns(s, leastAlpha);
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

bool GfxPipelineDrawn(const GfxState& s, D3DPRIMITIVETYPE type, bool rhw, uint8_t diffuseMinAlpha) {
    const float leastAlpha = LeastAlpha(s, rhw, diffuseMinAlpha);
    return s.pipelines.count(PipelineKeyOf(s, ProgramKeyOf(s, rhw, leastAlpha), leastAlpha, type)) != 0;
}

UINT GfxDevice::PipelineCount() const { return state_->pipelinesBuilt; }
UINT GfxDevice::ProgramCount() const { return state_->builtCount; }

void GfxDescribeProgramKey(uint32_t key, char* out, UINT size) {
    static const struct {
        uint32_t bit;
        const char* word;
    } kWords[] = {
        {kKeyRhw, "rhw"}, {kKeyLighting, "lit"}, {kKeyFogVertex, "fog-vertex"}, {kKeyFogTable, "fog-table"},
        {kKeyFogTableLinear, "fog-linear"}, {kKeyTexture, "texture"}, {kKeyStageGeneric, "stage-generic"},
        {kKeyAlphaTest, "alpha-test"}, {kKeyFlat, "flat"}, {kKeySpecular, "specular"},
        {kKeyTexCoordGeneric, "texcoord-generic"},
    };
    if (size == 0) return;
    out[0] = '\0';
    size_t used = 0;
    for (const auto& w : kWords) {
        if (!(key & w.bit)) continue;
        const int n = std::snprintf(out + used, size - used, "%s%s", used ? " " : "", w.word);
        if (n < 0 || used + n >= size) break;
        used += n;
    }
    if (used == 0) std::snprintf(out, size, "plain");
}
