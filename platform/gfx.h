// The Direct3D 8 style graphics device, drawn with OpenGL 3.3 behind this header. The game sets
// render states, texture-stage states, transforms, lights and materials on it and draws from vertex
// buffers or from memory with D3D's flexible vertex formats; the numeric values of every constant
// are Direct3D 8's, so the game's tables of states carry over unchanged.
//
// What the device renders: a 640 x 480 frame with y pointing down (pixel centres on integers, as
// D3D's), flipped and scaled into the window only by Present. The frame may be drawn at a higher
// resolution (SetRenderSize) with the same coordinates. Stage 0 is the only texture stage
// that draws; the others keep their states. Plain types only: no GL or SDL here.
#pragma once
#include <cstdint>

#include "platform/math.h"

using DWORD = uint32_t;
using UINT = unsigned int;
using BOOL = int;
using D3DCOLOR = uint32_t;  // 0xAARRGGBB
using HRESULT = int32_t;

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869u);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

// Float render states (fog start and end, density, point size) carry the float's bits.
inline DWORD GfxFloatBits(float f) {
    DWORD d;
    __builtin_memcpy(&d, &f, sizeof(d));
    return d;
}

constexpr UINT D3D_SDK_VERSION = 220;
constexpr UINT D3DADAPTER_DEFAULT = 0;

// --- enumerations (Direct3D 8 values) ------------------------------------------------------------
enum D3DFORMAT : uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20, D3DFMT_A8R8G8B8 = 21, D3DFMT_X8R8G8B8 = 22, D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24, D3DFMT_A1R5G5B5 = 25, D3DFMT_A4R4G4B4 = 26, D3DFMT_R3G3B2 = 27,
    D3DFMT_A8 = 28, D3DFMT_A8R3G3B2 = 29, D3DFMT_X4R4G4B4 = 30,
    D3DFMT_D16_LOCKABLE = 70, D3DFMT_D32 = 71, D3DFMT_D15S1 = 73, D3DFMT_D24S8 = 75,
    D3DFMT_D24X8 = 77, D3DFMT_D24X4S4 = 79, D3DFMT_D16 = 80,
    D3DFMT_INDEX16 = 101, D3DFMT_INDEX32 = 102,
};

enum D3DDEVTYPE : uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };
enum D3DRESOURCETYPE : uint32_t { D3DRTYPE_SURFACE = 1, D3DRTYPE_TEXTURE = 3, D3DRTYPE_VERTEXBUFFER = 6, D3DRTYPE_INDEXBUFFER = 7 };
enum D3DPOOL : uint32_t { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };
enum D3DMULTISAMPLE_TYPE : uint32_t { D3DMULTISAMPLE_NONE = 0 };
enum D3DSWAPEFFECT : uint32_t { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };

constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x2;
constexpr DWORD D3DUSAGE_WRITEONLY = 0x8;
constexpr DWORD D3DUSAGE_DYNAMIC = 0x200;
constexpr DWORD D3DLOCK_READONLY = 0x10;
constexpr DWORD D3DLOCK_NOOVERWRITE = 0x1000;
constexpr DWORD D3DLOCK_DISCARD = 0x2000;

enum D3DRENDERSTATETYPE : uint32_t {
    D3DRS_ZENABLE = 7, D3DRS_FILLMODE = 8, D3DRS_SHADEMODE = 9, D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15, D3DRS_LASTPIXEL = 16, D3DRS_SRCBLEND = 19, D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22, D3DRS_ZFUNC = 23, D3DRS_ALPHAREF = 24, D3DRS_ALPHAFUNC = 25,
    D3DRS_DITHERENABLE = 26, D3DRS_ALPHABLENDENABLE = 27, D3DRS_FOGENABLE = 28,
    D3DRS_SPECULARENABLE = 29, D3DRS_ZVISIBLE = 30, D3DRS_FOGCOLOR = 34, D3DRS_FOGTABLEMODE = 35,
    D3DRS_FOGSTART = 36, D3DRS_FOGEND = 37, D3DRS_FOGDENSITY = 38, D3DRS_EDGEANTIALIAS = 40,
    D3DRS_ZBIAS = 47, D3DRS_RANGEFOGENABLE = 48, D3DRS_STENCILENABLE = 52, D3DRS_STENCILFAIL = 53,
    D3DRS_STENCILZFAIL = 54, D3DRS_STENCILPASS = 55, D3DRS_STENCILFUNC = 56, D3DRS_STENCILREF = 57,
    D3DRS_STENCILMASK = 58, D3DRS_STENCILWRITEMASK = 59, D3DRS_TEXTUREFACTOR = 60,
    D3DRS_WRAP0 = 128, D3DRS_CLIPPING = 136, D3DRS_LIGHTING = 137, D3DRS_AMBIENT = 139,
    D3DRS_FOGVERTEXMODE = 140, D3DRS_COLORVERTEX = 141, D3DRS_LOCALVIEWER = 142,
    D3DRS_NORMALIZENORMALS = 143, D3DRS_DIFFUSEMATERIALSOURCE = 145,
    D3DRS_SPECULARMATERIALSOURCE = 146, D3DRS_AMBIENTMATERIALSOURCE = 147,
    D3DRS_EMISSIVEMATERIALSOURCE = 148, D3DRS_VERTEXBLEND = 151, D3DRS_CLIPPLANEENABLE = 152,
    D3DRS_POINTSIZE = 154, D3DRS_COLORWRITEENABLE = 168, D3DRS_BLENDOP = 171,
};
constexpr UINT kD3DRenderStateCount = 256;  // states are kept in a table indexed by their value

enum D3DTEXTURESTAGESTATETYPE : uint32_t {
    D3DTSS_COLOROP = 1, D3DTSS_COLORARG1 = 2, D3DTSS_COLORARG2 = 3, D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5, D3DTSS_ALPHAARG2 = 6, D3DTSS_TEXCOORDINDEX = 11, D3DTSS_ADDRESSU = 13,
    D3DTSS_ADDRESSV = 14, D3DTSS_BORDERCOLOR = 15, D3DTSS_MAGFILTER = 16, D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18, D3DTSS_MIPMAPLODBIAS = 19, D3DTSS_MAXMIPLEVEL = 20,
    D3DTSS_MAXANISOTROPY = 21, D3DTSS_TEXTURETRANSFORMFLAGS = 24, D3DTSS_ADDRESSW = 25,
    D3DTSS_COLORARG0 = 26, D3DTSS_ALPHAARG0 = 27, D3DTSS_RESULTARG = 28,
};
constexpr UINT kD3DTextureStageStateCount = 32;
constexpr UINT kD3DTextureStageCount = 8;

// D3DTSS_TEXCOORDINDEX: the low bits pick the vertex's coordinate set, these generate them.
constexpr DWORD D3DTSS_TCI_PASSTHRU = 0x00000;
constexpr DWORD D3DTSS_TCI_CAMERASPACENORMAL = 0x10000;
constexpr DWORD D3DTSS_TCI_CAMERASPACEPOSITION = 0x20000;
constexpr DWORD D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR = 0x30000;

enum D3DTEXTUREOP : uint32_t {
    D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_SELECTARG2 = 3, D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5, D3DTOP_MODULATE4X = 6, D3DTOP_ADD = 7, D3DTOP_ADDSIGNED = 8,
    D3DTOP_ADDSIGNED2X = 9, D3DTOP_SUBTRACT = 10, D3DTOP_ADDSMOOTH = 11,
    D3DTOP_BLENDDIFFUSEALPHA = 12, D3DTOP_BLENDTEXTUREALPHA = 13, D3DTOP_BLENDFACTORALPHA = 14,
    D3DTOP_BLENDTEXTUREALPHAPM = 15, D3DTOP_BLENDCURRENTALPHA = 16,
};

constexpr DWORD D3DTA_SELECTMASK = 0x0f;
constexpr DWORD D3DTA_DIFFUSE = 0x00;
constexpr DWORD D3DTA_CURRENT = 0x01;
constexpr DWORD D3DTA_TEXTURE = 0x02;
constexpr DWORD D3DTA_TFACTOR = 0x03;
constexpr DWORD D3DTA_SPECULAR = 0x04;
constexpr DWORD D3DTA_TEMP = 0x05;
constexpr DWORD D3DTA_COMPLEMENT = 0x10;
constexpr DWORD D3DTA_ALPHAREPLICATE = 0x20;

enum D3DTEXTUREFILTERTYPE : uint32_t {
    D3DTEXF_NONE = 0, D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2, D3DTEXF_ANISOTROPIC = 3,
};
enum D3DTEXTUREADDRESS : uint32_t {
    D3DTADDRESS_WRAP = 1, D3DTADDRESS_MIRROR = 2, D3DTADDRESS_CLAMP = 3, D3DTADDRESS_BORDER = 4,
};
enum D3DTEXTURETRANSFORMFLAGS : uint32_t {
    D3DTTFF_DISABLE = 0, D3DTTFF_COUNT1 = 1, D3DTTFF_COUNT2 = 2, D3DTTFF_COUNT3 = 3,
    D3DTTFF_COUNT4 = 4, D3DTTFF_PROJECTED = 256,
};

enum D3DTRANSFORMSTATETYPE : uint32_t {
    D3DTS_VIEW = 2, D3DTS_PROJECTION = 3, D3DTS_TEXTURE0 = 16, D3DTS_TEXTURE1 = 17,
    D3DTS_TEXTURE2 = 18, D3DTS_TEXTURE3 = 19, D3DTS_TEXTURE4 = 20, D3DTS_TEXTURE5 = 21,
    D3DTS_TEXTURE6 = 22, D3DTS_TEXTURE7 = 23, D3DTS_WORLD = 256,
};

enum D3DPRIMITIVETYPE : uint32_t {
    D3DPT_POINTLIST = 1, D3DPT_LINELIST = 2, D3DPT_LINESTRIP = 3, D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5, D3DPT_TRIANGLEFAN = 6,
};

enum D3DCULL : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DSHADEMODE : uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2, D3DSHADE_PHONG = 3 };
enum D3DFILLMODE : uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DBLEND : uint32_t {
    D3DBLEND_ZERO = 1, D3DBLEND_ONE = 2, D3DBLEND_SRCCOLOR = 3, D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5, D3DBLEND_INVSRCALPHA = 6, D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8, D3DBLEND_DESTCOLOR = 9, D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11, D3DBLEND_BOTHSRCALPHA = 12, D3DBLEND_BOTHINVSRCALPHA = 13,
};
enum D3DBLENDOP : uint32_t {
    D3DBLENDOP_ADD = 1, D3DBLENDOP_SUBTRACT = 2, D3DBLENDOP_REVSUBTRACT = 3, D3DBLENDOP_MIN = 4,
    D3DBLENDOP_MAX = 5,
};
enum D3DCMPFUNC : uint32_t {
    D3DCMP_NEVER = 1, D3DCMP_LESS = 2, D3DCMP_EQUAL = 3, D3DCMP_LESSEQUAL = 4, D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6, D3DCMP_GREATEREQUAL = 7, D3DCMP_ALWAYS = 8,
};
enum D3DFOGMODE : uint32_t { D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3 };
enum D3DZBUFFERTYPE : uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1, D3DZB_USEW = 2 };
enum D3DMATERIALCOLORSOURCE : uint32_t { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };
enum D3DLIGHTTYPE : uint32_t { D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3 };

constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
constexpr DWORD D3DCLEAR_STENCIL = 0x4;

// Flexible vertex formats. Components are laid out in this order: position (XYZ or XYZRHW),
// normal, diffuse, specular, then TEXn pairs of two floats.
constexpr DWORD D3DFVF_POSITION_MASK = 0x00E;
constexpr DWORD D3DFVF_XYZ = 0x002;
constexpr DWORD D3DFVF_XYZRHW = 0x004;
constexpr DWORD D3DFVF_NORMAL = 0x010;
constexpr DWORD D3DFVF_PSIZE = 0x020;
constexpr DWORD D3DFVF_DIFFUSE = 0x040;
constexpr DWORD D3DFVF_SPECULAR = 0x080;
constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xF00;
constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
constexpr DWORD D3DFVF_TEX0 = 0x000;
constexpr DWORD D3DFVF_TEX1 = 0x100;
constexpr DWORD D3DFVF_TEX2 = 0x200;
// Bytes per vertex of a format this device draws (XYZ or XYZRHW position, optional normal, diffuse,
// specular, up to 8 coordinate pairs); 0 for any other code.
UINT GfxFvfStride(DWORD fvf);

// Capability bits the game reads.
constexpr DWORD D3DPRASTERCAPS_FOGVERTEX = 0x00000080;
constexpr DWORD D3DPRASTERCAPS_FOGTABLE = 0x00000100;
constexpr DWORD D3DPRASTERCAPS_FOGRANGE = 0x00010000;
constexpr DWORD D3DPTEXTURECAPS_PERSPECTIVE = 0x00000001;
constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x00000002;
constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x00000004;
constexpr DWORD D3DPTEXTURECAPS_SQUAREONLY = 0x00000020;
constexpr DWORD D3DPTEXTURECAPS_MIPMAP = 0x00004000;
constexpr DWORD D3DTEXOPCAPS_MODULATE = 0x00000008;
constexpr DWORD D3DTEXOPCAPS_BUMPENVMAP = 0x00200000;

// --- records -------------------------------------------------------------------------------------
struct D3DCOLORVALUE {
    float r, g, b, a;
};

// 68 bytes, as the game's material tables expect.
struct D3DMATERIAL8 {
    D3DCOLORVALUE Diffuse, Ambient, Specular, Emissive;
    float Power;
};

struct D3DLIGHT8 {
    D3DLIGHTTYPE Type;
    D3DCOLORVALUE Diffuse, Specular, Ambient;
    D3DVECTOR Position, Direction;
    float Range, Falloff, Attenuation0, Attenuation1, Attenuation2, Theta, Phi;
};

struct D3DCAPS8 {
    D3DDEVTYPE DeviceType;
    UINT AdapterOrdinal;
    DWORD RasterCaps;
    DWORD TextureCaps;
    DWORD TextureOpCaps;
    DWORD MaxTextureWidth, MaxTextureHeight;
    DWORD MaxTextureBlendStages;
    DWORD MaxSimultaneousTextures;
    DWORD MaxActiveLights;
    DWORD MaxPrimitiveCount;
    DWORD MaxVertexIndex;
    DWORD MaxStreams;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Size;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    UINT Width, Height;
};

struct D3DLOCKED_RECT {
    int Pitch;   // bytes per row
    void* pBits;
};

struct D3DDISPLAYMODE {
    UINT Width, Height, RefreshRate;
    D3DFORMAT Format;
};

struct D3DADAPTER_IDENTIFIER8 {
    char Driver[512];
    char Description[512];
};

// FullScreen_PresentationInterval: how Present waits for the display. DEFAULT and ONE show each
// frame on the next refresh, TWO to FOUR every second to fourth refresh; IMMEDIATE shows it at
// once (it may tear).
constexpr DWORD D3DPRESENT_INTERVAL_DEFAULT = 0x00000000;
constexpr DWORD D3DPRESENT_INTERVAL_ONE = 0x00000001;
constexpr DWORD D3DPRESENT_INTERVAL_TWO = 0x00000002;
constexpr DWORD D3DPRESENT_INTERVAL_THREE = 0x00000004;
constexpr DWORD D3DPRESENT_INTERVAL_FOUR = 0x00000008;
constexpr DWORD D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000;

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth, BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    D3DSWAPEFFECT SwapEffect;
    void* hDeviceWindow;  // the window from SysWindowHandle()
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT FullScreen_PresentationInterval;
};

// The viewport: this device draws the whole frame, so only the depth range is free. Every
// depth a draw produces (pre-transformed vertices' z included) is mapped from 0..1 into
// MinZ..MaxZ: MinZ = MaxZ = 1 puts a draw on the far plane, behind everything drawn before it.
struct D3DVIEWPORT8 {
    DWORD X, Y, Width, Height;
    float MinZ, MaxZ;
};

struct D3DCLIPSTATUS8 {
    DWORD ClipUnion, ClipIntersection;
};

// --- resources -----------------------------------------------------------------------------------
// Reference counted like COM objects: created with a count of 1, freed when Release reaches 0.
class GfxResource {
public:
    UINT AddRef() { return ++refCount_; }
    UINT Release();
protected:
    virtual ~GfxResource() = default;
private:
    UINT refCount_ = 1;
};

// A 2D texture. Level 0 is filled through LockRect / UnlockRect with 32-bit ARGB pixels whatever
// the format (the format's precision is applied at unlock: A4R4G4B4 keeps four bits per channel);
// the other levels of the chain are made from level 0 at unlock.
class GfxTexture : public GfxResource {
public:
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) const;
    UINT GetLevelCount() const { return levels_; }
    // Only level 0 can be locked; the rectangle is always the whole level. Pitch = width * 4. The
    // locked pixels start as what the texture holds.
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const void* rect, DWORD flags);
    HRESULT UnlockRect(UINT level);

    unsigned glName() const { return name_; }
    // The least alpha of the filled texture's texels, 0 to 255 (no mip level made from it, nor
    // any filtered sample of it, has less).
    uint8_t MinAlpha() const { return minAlpha_; }
    // Every texel of the filled texture has full alpha (so does every mip level made from it).
    bool Opaque() const { return minAlpha_ == 255; }
protected:
    ~GfxTexture() override;
private:
    friend class GfxDevice;
    GfxTexture() = default;
    unsigned name_ = 0;
    UINT width_ = 0, height_ = 0, levels_ = 1;
    D3DFORMAT format_ = D3DFMT_A8R8G8B8;
    D3DPOOL pool_ = D3DPOOL_MANAGED;
    DWORD usage_ = 0;
    uint32_t* lockBits_ = nullptr;
    bool filled_ = false;
    uint8_t minAlpha_ = 0;
};

class GfxVertexBuffer : public GfxResource {
public:
    // The whole buffer is kept in memory; Unlock uploads what was locked.
    HRESULT Lock(UINT offset, UINT size, uint8_t** data, DWORD flags);
    HRESULT Unlock();
    UINT Length() const { return length_; }
    DWORD Fvf() const { return fvf_; }
    unsigned glName() const { return name_; }
    // The buffer's bytes as last unlocked (the device keeps a copy in memory).
    const uint8_t* Data() const { return data_; }
    // The least diffuse alpha of the vertices, read with this format and stride: 0 to 255, 255
    // when the format carries no diffuse colour (D3D treats that as opaque white). Cached until
    // the next Unlock.
    uint8_t DiffuseMinAlpha(DWORD fvf, UINT stride);
    // True when every vertex's diffuse colour has full alpha.
    bool DiffuseOpaque(DWORD fvf, UINT stride) { return DiffuseMinAlpha(fvf, stride) == 255; }
    // The box holding every untransformed (XYZ) position, read with this stride; false for a
    // buffer of pre-transformed vertices or none. Cached until the next Unlock.
    bool PositionBounds(DWORD fvf, UINT stride, float lo[3], float hi[3]);
protected:
    ~GfxVertexBuffer() override;
private:
    friend class GfxDevice;
    GfxVertexBuffer() = default;
    unsigned name_ = 0;
    UINT length_ = 0;
    DWORD fvf_ = 0;
    uint8_t* data_ = nullptr;
    UINT lockOffset_ = 0, lockSize_ = 0;
    bool locked_ = false;
    DWORD scannedFvf_ = 0xFFFFFFFFu;
    UINT scannedStride_ = 0;
    uint8_t scannedMinAlpha_ = 0;
    UINT boundsStride_ = 0;  // 0: not measured since the last unlock
    DWORD boundsFvf_ = 0;
    bool boundsOk_ = false;
    float boundsLo_[3] = {}, boundsHi_[3] = {};
};

// The box of count untransformed positions at v (false when the format is pre-transformed or
// count is 0, or a coordinate is not finite).
bool GfxPositionBounds(const uint8_t* v, UINT count, UINT stride, DWORD fvf, float lo[3], float hi[3]);

// The least diffuse alpha of count vertices of this format at v (see DiffuseMinAlpha); 0 when the
// layout cannot be read.
uint8_t GfxDiffuseMinAlpha(const uint8_t* v, UINT count, UINT stride, DWORD fvf);

class GfxIndexBuffer : public GfxResource {
public:
    HRESULT Lock(UINT offset, UINT size, uint8_t** data, DWORD flags);
    HRESULT Unlock();
    UINT Length() const { return length_; }
    D3DFORMAT Format() const { return format_; }
    unsigned glName() const { return name_; }
protected:
    ~GfxIndexBuffer() override;
private:
    friend class GfxDevice;
    GfxIndexBuffer() = default;
    unsigned name_ = 0;
    UINT length_ = 0;
    D3DFORMAT format_ = D3DFMT_INDEX16;
    uint8_t* data_ = nullptr;
    UINT lockOffset_ = 0, lockSize_ = 0;
    bool locked_ = false;
};

// What one draw (or clear) cost the rasteriser, for a profiler. Measured only while a draw hook is
// set: every draw then waits for the rasteriser before and after it, so frames are much slower.
struct GfxDrawCost {
    uint32_t programKey;  // the pipeline variant that drew (see GfxDescribeProgramKey); 0 for a clear
    bool clear;
    bool blended;
    UINT primitives;
    uint64_t samples;     // pixels that passed the depth test (all of them for a clear)
    double microseconds;  // from handing the draw over to its last pixel written
};
using GfxDrawHook = void (*)(const GfxDrawCost& cost, void* context);
// The pipeline variant's switches as words ("rhw texture fog-table-linear ...") into out.
void GfxDescribeProgramKey(uint32_t key, char* out, UINT size);

// --- the device ----------------------------------------------------------------------------------
struct GfxState;  // the GL side, private to the device (platform/gfx_gl.h)

class GfxDevice {
public:
    UINT AddRef() { return ++refCount_; }
    UINT Release();

    HRESULT TestCooperativeLevel();
    // Makes TestCooperativeLevel, BeginScene and Present answer this (D3DERR_DEVICELOST,
    // D3DERR_DEVICENOTRESET or D3D_OK): a GL context is never lost, so tests stand in for it.
    void SetCooperativeLevelForTest(HRESULT level);
    // Makes every texture lock fail, as a lock that finds no memory for its copy does, until called
    // with false: tests stand in for that failure.
    void FailTextureLocksForTest(bool fail);
    HRESULT GetDeviceCaps(D3DCAPS8* caps) const;
    // Replaces what GetDeviceCaps reports (a test can stand in for a device limited to 256 x 256
    // square textures); null restores the real capabilities.
    void OverrideCaps(const D3DCAPS8* caps);
    UINT GetAvailableTextureMem() const;

    HRESULT BeginScene();
    HRESULT EndScene();
    // Clears the whole 640 x 480 target (rects are not supported: count must be 0).
    HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil);
    // Shows the frame in the window (scaled, aspect kept, letterboxed) and waits until the GPU has
    // finished it, so frame times are honest. The four arguments are accepted for the signature and
    // must be null.
    HRESULT Present(const void* srcRect, const void* dstRect, void* window, const void* dirtyRegion);

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light);
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) const;
    HRESULT LightEnable(DWORD index, BOOL enable);
    HRESULT GetLightEnable(DWORD index, BOOL* enable) const;
    HRESULT SetMaterial(const D3DMATERIAL8* material);
    HRESULT GetMaterial(D3DMATERIAL8* material) const;
    HRESULT SetClipStatus(const D3DCLIPSTATUS8* status);
    // The rectangle must be the whole 640 x 480 frame and 0 <= MinZ <= MaxZ <= 1, else
    // D3DERR_INVALIDCALL and the viewport stays as it was.
    HRESULT SetViewport(const D3DVIEWPORT8* viewport);
    HRESULT GetViewport(D3DVIEWPORT8* viewport) const;
    // Holds a reference to the texture while it is set; null unbinds (the stage then reads opaque white).
    HRESULT SetTexture(DWORD stage, GfxTexture* texture);
    GfxTexture* GetTexture(DWORD stage) const;
    // The vertex format (FVF code) of the following draws.
    HRESULT SetVertexShader(DWORD fvf);
    DWORD GetVertexShader() const;
    HRESULT SetStreamSource(UINT stream, GfxVertexBuffer* buffer, UINT stride);
    HRESULT SetIndices(GfxIndexBuffer* indices, UINT baseVertexIndex);

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, GfxTexture** texture);
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, GfxVertexBuffer** buffer);
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, GfxIndexBuffer** buffer);

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount);
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primitiveCount);
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride);
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                   UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                   const void* vertexData, UINT stride);

    // The frame as RGBA bytes, top row first (what the screen shows), into a buffer of
    // FrameWidth() * FrameHeight() * 4 bytes. Reads what has been drawn so far.
    bool ReadFrame(uint8_t* rgba) const;
    // Hands what has been drawn so far to the rasteriser without showing it (loading screens
    // draw the coming scene once so its first shown frame does not pay for first uses).
    void Flush() const;
    // The size the frame is drawn at: 640 x 480 unless SetRenderSize chose another.
    UINT FrameWidth() const;
    UINT FrameHeight() const;
    // How Present waits for the display from now on (a D3DPRESENT_INTERVAL_ value; the device is
    // made with its presentation parameters' FullScreen_PresentationInterval). Off-screen nothing
    // is shown and nothing waits: only IMMEDIATE is taken there. D3DERR_NOTAVAILABLE when the
    // driver cannot wait for the display (Present then shows at once), D3DERR_INVALIDCALL for a
    // value that is none of them.
    HRESULT SetPresentationInterval(DWORD interval);
    // The interval in force: ONE to FOUR, or IMMEDIATE.
    DWORD PresentationInterval() const;
    // The refresh rate of the display the window is on, in Hz; 0 when the system does not say
    // (and off-screen).
    UINT DisplayRefreshRate() const;
    // Draws the frame at width x height pixels (a higher internal resolution) with the same
    // picture: the 3D with the same view, screen-space vertices still in 640 x 480 coordinates and
    // scaled with it, so every layout stays where the game puts it; Present fits the larger frame
    // into the window. The target is cleared. Outside a scene only; each side from 1 to 4096.
    // D3DERR_OUTOFVIDEOMEMORY (and the earlier size kept) when the driver refuses the size.
    HRESULT SetRenderSize(UINT width, UINT height);
    // A wide frame: the picture takes the render target's own shape (480 lines of the 640 x 480
    // frame's height, as wide as the target's shape makes them), the 3D through the projection
    // the game gives for that shape, and the screen-space vertices' 640 x 480 coordinates centred
    // in it (x below 0 and above 640 reach the sides). Off (the default): the target shows the
    // 640 x 480 frame whatever its shape. Outside a scene only.
    HRESULT SetWideFrame(bool wide);
    bool WideFrame() const;
    // The window's size in pixels (its drawable size, which a high-density display makes larger
    // than its size in screen units).
    void GetWindowPixelSize(int* width, int* height) const;
    // Whether the rasteriser has finished the last frame presented (true when none is in flight
    // or the device is lost). Never waits: the frame loop asks it before drawing a picture that is
    // not needed, so that such pictures never queue up ahead of the next step's own.
    bool LastFrameDrawn() const;
    // Draw calls and triangles since the last Present (for the frame statistics).
    UINT DrawCallCount() const;
    UINT TriangleCount() const;
    // Pipelines built since the device was made: the distinct combinations of program variant
    // and fixed-function state (blending, depth, colour writes, texture filtering, vertex layout,
    // kind of primitive) that have drawn. A software rasteriser compiles code for each the first
    // time it draws, which can hold a frame up for tens of milliseconds.
    UINT PipelineCount() const;
    // Program variants (shader programs for a combination of switches) built so far.
    UINT ProgramCount() const;
    // Calls hook after every draw and clear with what it cost (null stops measuring).
    void SetDrawHook(GfxDrawHook hook, void* context);

private:
    friend class GfxDirect3D;
    GfxState* state_ = nullptr;
    GfxDevice() = default;
    ~GfxDevice();
    UINT refCount_ = 1;
};

// --- the adapter side (what the device is created from) ------------------------------------------
// Adapters are the displays the video driver reports (one off-screen display when headless).
class GfxDirect3D {
public:
    UINT Release();
    UINT GetAdapterCount() const;
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) const;
    UINT GetAdapterModeCount(UINT adapter) const;
    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* out) const;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out) const;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) const;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) const;
    // Makes the device on the window's OpenGL 3.3 context (window = SysWindowHandle()). HAL with
    // hardware vertex processing needs a GPU-accelerated context; HAL with software vertex
    // processing takes any (llvmpipe included); REF is not available. The back buffer must be
    // 640 x 480. Showing the window and going full screen are the caller's business.
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, void* window, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params, GfxDevice** device);
private:
    friend GfxDirect3D* Direct3DCreate8(UINT sdkVersion);
    GfxDirect3D() = default;
    ~GfxDirect3D();
    void* probeContext_ = nullptr;  // a context made by a refused attempt, reused by the next
    bool probeSoftware_ = false;
};

// Before the video subsystem starts: settles how the software rasteriser (when that is what draws)
// spreads its work, which it reads once when the driver loads.
void GfxPrepareRasteriser();

// Machines with up to this many cores get the rasteriser thread count below; larger ones keep
// the driver's own.
constexpr int kFewCores = 4;
int RasteriserThreadsFor(int cores);

// Null when the SDK version is not 220 or the video subsystem is not running.
GfxDirect3D* Direct3DCreate8(UINT sdkVersion);
