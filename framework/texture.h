// Textures: images loaded from a file or from the executable's built-in bitmaps, or rendered from a
// line of text, and the cache that lets meshes share the textures their materials name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "framework/draw2d.h"
#include "platform/gfx.h"

// Rows of texels per ink band (see FindInkBands).
constexpr int kInkBandRows = 8;

// Where a text image has ink, for drawing only that: the texture's rows in bands of kInkBandRows,
// each with the columns a filtered sample there can take a texel with any alpha from (the inked
// texels of the band's rows and the row on each side, widened by one column each way, and wrapped
// round the edges as the texture's addressing does). Bands with nothing to show are left out, and
// neighbouring bands with the same columns are joined. width x height texels, pitch in texels.
void FindInkBands(const uint32_t* texels, int pitch, int width, int height, std::vector<TexelRect>& bands);

class Texture {
public:
    Texture() = default;
    ~Texture() { Release(); }
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // From an image file relative to the working directory, or from a built-in bitmap by name.
    // colorKey (ARGB, 0 = none) becomes transparent black; mipLevels 0 = a full chain.
    bool LoadFromFile(const char* path, D3DCOLOR colorKey, UINT mipLevels);
    bool LoadFromResource(const char* resourceName, D3DCOLOR colorKey, UINT mipLevels);
    // One line of text rendered with the game's font, in the colour reduced to four bits per
    // channel, on a transparent power-of-two texture. The face name is accepted for the game's
    // calls; one face stands in for every name.
    bool CreateFromText(const char* text, int height, D3DCOLOR color, int weight, const char* face);
    bool CreateFromTextItalic(const char* text, int height, D3DCOLOR color, int weight, const char* face);
    void Release();

    // Draws the texture at its natural size with its top-left corner at (x, y) on the screen.
    void DrawAt(int x, int y) const { DrawTinted(x, y, 0xFFFFFFFF); }
    // The same with every texel multiplied by the colour (an alpha below 255 fades it). A text
    // image is drawn over its ink bands only when the device's alpha test throws clear texels
    // away: the pixels left out are the ones the test would have dropped.
    void DrawTinted(int x, int y, uint32_t color) const;

    GfxTexture* texture = nullptr;
    std::string name;
    D3DSURFACE_DESC desc{};
    // The ink bands of a text image; inkKnown is false for other textures (drawn whole).
    std::vector<TexelRect> inkBands;
    bool inkKnown = false;

private:
    bool CreateText(const char* text, int height, D3DCOLOR color, int weight, bool italic);
};

struct TextureCacheEntry {
    GfxTexture* texture;
    std::string name;
    int32_t refCount;
    TextureCacheEntry* next;
};

// Textures shared by meshes, by exact file (or resource) name, reference counted.
class TextureCache {
public:
    // The texture of that name, loaded on first use; null when it cannot be loaded.
    GfxTexture* Acquire(bool fromResource, const char* name, D3DCOLOR colorKey, UINT mipLevels);
    // Gives one reference back; the last one releases the texture. Unknown pointers are ignored.
    void ReleaseTexture(GfxTexture* texture);

    const TextureCacheEntry* First() const { return first_; }
    int Count() const;

    // Constant-initialised with no destructor, so meshes destroyed at exit in any order still
    // find it intact.
    TextureCacheEntry* first_ = nullptr;
};

extern TextureCache textureCache;

// Creates a texture from an image source, trying the formats in the game's order of preference.
// Shared by Texture and TextureCache; logs nothing.
GfxTexture* CreateTextureFromImageSource(bool fromResource, const char* name, D3DCOLOR colorKey,
                                         UINT mipLevels, D3DSURFACE_DESC* desc);
