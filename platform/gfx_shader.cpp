// The one shader pair that stands in for Direct3D's fixed-function pipeline. The switches that
// cost the most per pixel on a software rasteriser (texture, stage operations, alpha test, fog,
// flat shading) select compile-time variants of it, built on first use and kept; everything else
// (matrices, lights, material, fog range, texture matrix) is a uniform.
//
// Conventions carried over from Direct3D (see gfx_pipeline.cpp for how the matrices arrive):
// - matrices are row-vector ones uploaded untransposed, so GLSL's M * v is D3D's v * M;
// - clip depth is 0..w and is moved to GL's -w..w here; y is negated so that row 0 of the
//   target is the top row of the D3D screen; positions move half a pixel so that D3D's pixel
//   centres (on integers) land on GL's (on halves);
// - pre-transformed vertices carry screen pixels and 1/w, and bypass transform, lighting and fog.
#include <cstdio>

#include "platform/gfx_gl.h"

namespace {

const char* kVertexShader = R"(layout(location = 0) in vec4 aPos;
layout(location = 1) in vec3 aNormal;
#ifdef BGRA_ATTRIBUTES
// The colours' bytes arrive as they are stored, B, G, R, A: red and blue change places here.
layout(location = 2) in vec4 aDiffuseBgra;
layout(location = 3) in vec4 aSpecularBgra;
#define aDiffuse aDiffuseBgra.bgra
#define aSpecular aSpecularBgra.bgra
#else
layout(location = 2) in vec4 aDiffuse;
layout(location = 3) in vec4 aSpecular;
#endif
layout(location = 4) in vec2 aTex0;
layout(location = 5) in vec2 aTex1;

uniform mat4 uWorldView;
uniform mat4 uProj;
uniform mat3 uNormalMat;
uniform int uNumLights;
uniform vec4 uLightPos[8];       // eye space; w = light type (1 point, 2 spot, 3 directional)
uniform vec4 uLightDir[8];       // eye space, towards the light for directional, spot axis otherwise
uniform vec4 uLightDiffuse[8];
uniform vec4 uLightAmbient[8];
uniform vec4 uLightSpecular[8];
uniform vec4 uLightAtten[8];     // attenuation 0, 1, 2, range
uniform vec4 uLightSpot[8];      // cos(theta / 2), cos(phi / 2), falloff
uniform vec4 uMatDiffuse;
uniform vec4 uMatAmbient;
uniform vec4 uMatSpecular;
uniform vec4 uMatEmissive;
uniform float uMatPower;
uniform vec4 uGlobalAmbient;
uniform ivec4 uColorSource;      // diffuse, ambient, specular, emissive: 0 material, 1 colour 1, 2 colour 2
uniform int uSpecularOn;
uniform int uNormalize;
uniform int uLocalViewer;
uniform int uFogVertexMode;      // 0 none, 1 exp, 2 exp2, 3 linear
uniform vec3 uFogParams;         // start, end, density
uniform int uRangeFog;
uniform int uTexGen;             // 0 coordinate set 0, 1 set 1, 2 camera normal, 3 camera position, 4 reflection
uniform int uTexTransform;       // 0 off, else the D3DTTFF count
uniform mat4 uTexMatrix;
#if WIDE
uniform vec4 uFrame;             // the wide picture: left edge, 2 / width (layer pixels), 1 / target size
#endif

out vec4 vColor;
flat out vec4 vColorFlat;
out vec4 vSpec;
out vec2 vUV;
out float vFog;
out float vEyeZ;

vec4 Source(int s, vec4 mat, vec4 c1, vec4 c2) {
    return s == 1 ? c1 : (s == 2 ? c2 : mat);
}

void main() {
    vec4 diffuseIn = aDiffuse;
    vec4 specularIn = aSpecular;
#if RHW
    // Screen pixels: keep w = 1/rhw so that interpolation stays perspective-correct.
    float w = (aPos.w != 0.0) ? 1.0 / aPos.w : 1.0;
#if WIDE
    // The 640 x 480 layer centred in the wider picture (uFrame.x its left edge in the layer's
    // pixels, uFrame.y 2 / its width), moved by half a pixel of the target (uFrame.zw): at any
    // size drawn, a shape from 0 to 480 covers every row, the first included.
    vec2 ndc = vec2((aPos.x - uFrame.x) * uFrame.y + uFrame.z - 1.0, aPos.y / 240.0 + uFrame.w - 1.0);
#else
    vec2 ndc = vec2((aPos.x + 0.5) / 320.0 - 1.0, (aPos.y + 0.5) / 240.0 - 1.0);
#endif
    gl_Position = vec4(ndc * w, (2.0 * aPos.z - 1.0) * w, w);
    vColor = diffuseIn;
    vColorFlat = diffuseIn;
    vSpec = specularIn;
    vUV = aTex0;
    vFog = 1.0;
    vEyeZ = 0.0;
#else
    vec4 eye = uWorldView * vec4(aPos.xyz, 1.0);
    vec4 clip = uProj * eye;
#if WIDE
    // Half a pixel of the target, as D3D's pixel centres, whatever size the picture is drawn at.
    gl_Position = vec4(clip.x + clip.w * uFrame.z, -clip.y + clip.w * uFrame.w, 2.0 * clip.z - clip.w, clip.w);
#else
    gl_Position = vec4(clip.x + clip.w / 640.0, -clip.y + clip.w / 480.0, 2.0 * clip.z - clip.w, clip.w);
#endif
    vEyeZ = eye.z;

    vec3 n = uNormalMat * aNormal;
    if (uNormalize != 0 && dot(n, n) > 0.0) n = normalize(n);

    vec4 color = diffuseIn;
    vec4 specColour = specularIn;
#if LIGHTING
    vec4 md = Source(uColorSource.x, uMatDiffuse, diffuseIn, specularIn);
    vec4 ma = Source(uColorSource.y, uMatAmbient, diffuseIn, specularIn);
    vec4 ms = Source(uColorSource.z, uMatSpecular, diffuseIn, specularIn);
    vec4 me = Source(uColorSource.w, uMatEmissive, diffuseIn, specularIn);
    vec3 ambient = uGlobalAmbient.rgb;
    vec3 diffuse = vec3(0.0);
    vec3 specular = vec3(0.0);
    vec3 toEye = uLocalViewer != 0 ? normalize(-eye.xyz) : vec3(0.0, 0.0, -1.0);
    for (int i = 0; i < uNumLights; ++i) {
        vec3 L;
        float atten = 1.0;
        int type = int(uLightPos[i].w);
        if (type == 3) {
            L = uLightDir[i].xyz;
        } else {
            vec3 d = uLightPos[i].xyz - eye.xyz;
            float dist = length(d);
            if (dist > uLightAtten[i].w) continue;
            L = dist > 0.0 ? d / dist : vec3(0.0);
            float den = uLightAtten[i].x + uLightAtten[i].y * dist + uLightAtten[i].z * dist * dist;
            atten = den > 0.0 ? 1.0 / den : 1.0;
            if (type == 2) {
                float rho = dot(-L, uLightDir[i].xyz);
                float cosTheta = uLightSpot[i].x, cosPhi = uLightSpot[i].y;
                if (rho <= cosPhi) continue;
                if (rho < cosTheta) {
                    float t = (rho - cosPhi) / max(cosTheta - cosPhi, 1e-6);
                    atten *= pow(clamp(t, 0.0, 1.0), uLightSpot[i].z);
                }
            }
        }
        ambient += uLightAmbient[i].rgb * atten;
        float nl = max(dot(n, L), 0.0);
        diffuse += uLightDiffuse[i].rgb * (nl * atten);
        if (uSpecularOn != 0 && nl > 0.0) {
            vec3 h = normalize(L + toEye);
            specular += uLightSpecular[i].rgb * (pow(max(dot(n, h), 0.0), uMatPower) * atten);
        }
    }
    color = vec4(clamp(me.rgb + ma.rgb * ambient + md.rgb * diffuse, 0.0, 1.0), md.a);
    specColour = vec4(clamp(ms.rgb * specular, 0.0, 1.0), ms.a);
#endif
    vColor = color;
    vColorFlat = color;
    vSpec = specColour;

    float f = 1.0;
#if FOG == 1
    float d = uRangeFog != 0 ? length(eye.xyz) : eye.z;
    if (uFogVertexMode == 3) f = (uFogParams.y - d) / (uFogParams.y - uFogParams.x);
    else if (uFogVertexMode == 1) f = exp(-d * uFogParams.z);
    else f = exp(-(d * uFogParams.z) * (d * uFogParams.z));
    f = clamp(f, 0.0, 1.0);
#endif
#if FOG == 3
    // Linear table fog is linear in eye depth, so its factor interpolated perspective-correctly
    // from the vertices is the per-pixel value; it is clamped per pixel.
    f = (uFogParams.y - eye.z) / (uFogParams.y - uFogParams.x);
#endif
    vFog = f;

#if TEXCOORD_GENERIC
    vec4 tc;
    if (uTexGen == 0) tc = vec4(aTex0, 1.0, 0.0);
    else if (uTexGen == 1) tc = vec4(aTex1, 1.0, 0.0);
    else if (uTexGen == 2) tc = vec4(n, 1.0);
    else if (uTexGen == 3) tc = vec4(eye.xyz, 1.0);
    else tc = vec4(reflect(normalize(eye.xyz), n), 1.0);
    if (uTexTransform != 0) {
        tc = uTexMatrix * tc;
        if (uTexTransform >= 256) tc.xy /= (tc[(uTexTransform & 255) - 1] != 0.0 ? tc[(uTexTransform & 255) - 1] : 1.0);
    }
    vUV = tc.xy;
#else
    vUV = aTex0;
#endif
#endif
}
)";

const char* kFragmentShader = R"(
in vec4 vColor;
flat in vec4 vColorFlat;
in vec4 vSpec;
in vec2 vUV;
in float vFog;
in float vEyeZ;

uniform sampler2D uTex;
uniform ivec3 uColorOp;    // operation, argument 1, argument 2
uniform ivec3 uAlphaOp;
uniform vec4 uTFactor;
uniform int uAlphaFunc;    // outcomes that pass: bit 0 less, bit 1 equal, bit 2 greater
uniform float uAlphaRef;   // 0..255
uniform int uFogPixel;     // table fog: 2 exp, 3 exp2, 4 linear
uniform vec3 uFogParamsF;  // start, end, density
uniform vec3 uFogColor;

out vec4 fragColor;

vec4 Arg(int a, vec4 diffuse, vec4 tex, vec4 specColour) {
    int sel = a & 15;
    vec4 v = sel == 2 ? tex : (sel == 3 ? uTFactor : (sel == 4 ? specColour : (sel == 5 ? vec4(0.0) : diffuse)));
    if ((a & 16) != 0) v = vec4(1.0) - v;
    if ((a & 32) != 0) v = v.aaaa;
    return v;
}

vec4 Combine(int op, int arg1, int arg2, vec4 diffuse, vec4 tex, vec4 specColour) {
    if (op == 1) return diffuse;                      // disabled: the stage passes the diffuse on
    vec4 a = Arg(arg1, diffuse, tex, specColour);
    if (op == 2) return a;
    vec4 b = Arg(arg2, diffuse, tex, specColour);
    if (op == 4) return a * b;
    if (op == 3) return b;
    if (op == 5) return min(2.0 * a * b, 1.0);
    if (op == 6) return min(4.0 * a * b, 1.0);
    if (op == 7) return min(a + b, 1.0);
    if (op == 8) return clamp(a + b - 0.5, 0.0, 1.0);
    if (op == 9) return clamp(2.0 * (a + b - 0.5), 0.0, 1.0);
    if (op == 10) return max(a - b, 0.0);
    if (op == 11) return min(a + b - a * b, 1.0);
    if (op == 12) return mix(b, a, diffuse.a);
    if (op == 13) return mix(b, a, tex.a);
    if (op == 14) return mix(b, a, uTFactor.a);
    if (op == 15) return min(a + b * (1.0 - tex.a), 1.0);
    if (op == 16) return mix(b, a, diffuse.a);
    return a * b;
}

void main() {
#if FLAT
    vec4 diffuse = vColorFlat;
#else
    vec4 diffuse = vColor;
#endif
#if TEXTURE
    vec4 tex = texture(uTex, vUV);
#else
    vec4 tex = vec4(1.0);
#endif
#if STAGE_GENERIC
    vec4 c;
    c.rgb = Combine(uColorOp.x, uColorOp.y, uColorOp.z, diffuse, tex, vSpec).rgb;
    c.a = Combine(uAlphaOp.x, uAlphaOp.y, uAlphaOp.z, diffuse, tex, vSpec).a;
#elif TEXTURE
    vec4 c = tex * diffuse;  // the game's usual stage: texture times diffuse
#else
    vec4 c = diffuse;
#endif
#if SPECULAR
    c.rgb = min(c.rgb + vSpec.rgb, 1.0);
#endif
#if ALPHATEST
    float a = floor(c.a * 255.0 + 0.5);
    int outcome = a < uAlphaRef ? 1 : (a == uAlphaRef ? 2 : 4);
    if ((uAlphaFunc & outcome) == 0) discard;
#endif
#if FOG == 1
    c.rgb = mix(uFogColor, c.rgb, vFog);
#elif FOG == 2
    // Exponential table fog: exp(-d density), squared inside for EXP2.
    float x = vEyeZ * uFogParamsF.z;
    x = uFogPixel == 3 ? x * x : x;
    c.rgb = mix(uFogColor, c.rgb, clamp(exp(-x), 0.0, 1.0));
#elif FOG == 3
    c.rgb = mix(uFogColor, c.rgb, clamp(vFog, 0.0, 1.0));
#endif
    fragColor = c;
}
)";

GLuint Compile(GLenum type, const char* defines, const char* src, char* error, int errorSize) {
    GLuint sh = glCreateShader(type);
    const char* parts[3] = {GFX_GLSL_PROLOGUE, defines, src};
    glShaderSource(sh, 3, parts, nullptr);
    glCompileShader(sh);
    GLint ok = 0;
    glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glGetShaderInfoLog(sh, errorSize, nullptr, error);
        glDeleteShader(sh);
        return 0;
    }
    return sh;
}

}  // namespace

GLuint GfxBuildProgram(uint32_t key, bool wide, GfxUniforms& u, char* error, int errorSize) {
    if (errorSize > 0) error[0] = '\0';
    char defines[256];
    std::snprintf(defines, sizeof(defines),
                  "#define WIDE %d\n#define RHW %d\n#define LIGHTING %d\n#define FOG %d\n#define TEXTURE %d\n"
                  "#define STAGE_GENERIC %d\n#define ALPHATEST %d\n#define FLAT %d\n#define SPECULAR %d\n"
                  "#define TEXCOORD_GENERIC %d\n",
                  wide ? 1 : 0, (key & kKeyRhw) ? 1 : 0, (key & kKeyLighting) ? 1 : 0,
                  (key & kKeyFogVertex) ? 1 : ((key & kKeyFogTable) ? 2 : ((key & kKeyFogTableLinear) ? 3 : 0)),
                  (key & kKeyTexture) ? 1 : 0,
                  (key & kKeyStageGeneric) ? 1 : 0, (key & kKeyAlphaTest) ? 1 : 0, (key & kKeyFlat) ? 1 : 0,
                  (key & kKeySpecular) ? 1 : 0, (key & kKeyTexCoordGeneric) ? 1 : 0);
    GLuint vs = Compile(GL_VERTEX_SHADER, defines, kVertexShader, error, errorSize);
    if (!vs) return 0;
    GLuint fs = Compile(GL_FRAGMENT_SHADER, defines, kFragmentShader, error, errorSize);
    if (!fs) {
        glDeleteShader(vs);
        return 0;
    }
    GLuint p = glCreateProgram();
    glAttachShader(p, vs);
    glAttachShader(p, fs);
    glLinkProgram(p);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    if (!ok) {
        glGetProgramInfoLog(p, errorSize, nullptr, error);
        glDeleteProgram(p);
        return 0;
    }
    auto loc = [p](const char* name) { return glGetUniformLocation(p, name); };
    u.worldView = loc("uWorldView");
    u.proj = loc("uProj");
    u.frame = loc("uFrame");
    u.normalMat = loc("uNormalMat");
    u.numLights = loc("uNumLights");
    u.lightPos = loc("uLightPos");
    u.lightDir = loc("uLightDir");
    u.lightDiffuse = loc("uLightDiffuse");
    u.lightAmbient = loc("uLightAmbient");
    u.lightSpecular = loc("uLightSpecular");
    u.lightAtten = loc("uLightAtten");
    u.lightSpot = loc("uLightSpot");
    u.matDiffuse = loc("uMatDiffuse");
    u.matAmbient = loc("uMatAmbient");
    u.matSpecular = loc("uMatSpecular");
    u.matEmissive = loc("uMatEmissive");
    u.matPower = loc("uMatPower");
    u.globalAmbient = loc("uGlobalAmbient");
    u.colorSource = loc("uColorSource");
    u.specularOn = loc("uSpecularOn");
    u.normalize = loc("uNormalize");
    u.localViewer = loc("uLocalViewer");
    u.fogVertexMode = loc("uFogVertexMode");
    u.fogParams = loc("uFogParams");
    u.rangeFog = loc("uRangeFog");
    u.texGen = loc("uTexGen");
    u.texTransform = loc("uTexTransform");
    u.texMatrix = loc("uTexMatrix");
    u.tex = loc("uTex");
    u.colorOp = loc("uColorOp");
    u.alphaOp = loc("uAlphaOp");
    u.tfactor = loc("uTFactor");
    u.alphaFunc = loc("uAlphaFunc");
    u.alphaRef = loc("uAlphaRef");
    u.fogPixel = loc("uFogPixel");
    u.fogParamsF = loc("uFogParamsF");
    u.fogColor = loc("uFogColor");
    return p;
}
