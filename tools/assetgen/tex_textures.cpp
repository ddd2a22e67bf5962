// Road, wall, ground, effect and sign textures, and the pictures on the scenery models. Every
// texture that repeats over a course tiles seamlessly; none holds pure black unless black is meant
// to be cut out (the strips and some models use black as their transparent colour).
#include <algorithm>
#include <cmath>

#include "tools/assetgen/vis_output.h"
#include "tools/assetgen/vis_palette.h"

namespace {


template <typename F>
Image Paint(int w, int h, F f) {
    Image img(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) img.At(x, y) = f((x + 0.5f) / w, (y + 0.5f) / h);
    }
    return img;
}

Rgb Noisy(Rgb c, float n, float amount) { return Scaled(c, 1.0f + (n - 0.5f) * amount); }

Image Asphalt() {
    Image img = Paint(128, 128, [](float x, float y) {
        float n = TileFbm(x, y, 8, 4, 11);
        float fine = TileNoise(x * 64, y * 64, 64, 12);
        return Noisy(Hex(0x5c5c64), n * 0.7f + fine * 0.3f, 0.35f);
    });
    Rng r(13);
    for (int i = 0; i < 260; ++i) {
        int x = r.Next() % 128, y = r.Next() % 128;
        img.Wrap(x, y) = (i % 3) ? Hex(0x7a7a82) : Hex(0x404048);
    }
    return img;
}

Image Paving() {
    return Paint(128, 128, [](float x, float y) {
        int row = int(y * 8);
        float bx = x * 4 + ((row % 2) ? 0.5f : 0.0f);
        float fx = bx - std::floor(bx), fy = y * 8 - row;
        bool mortar = fx < 0.05f || fy < 0.1f;
        uint32_t id = uint32_t(std::floor(bx)) % 4 + row * 7;
        Rgb stone = Mix(Hex(0xa85e44), Hex(0xc88060), (id * 37 % 11) / 10.0f);
        return mortar ? Hex(0x6a4a3a) : Noisy(stone, TileFbm(x, y, 16, 3, 21), 0.25f);
    });
}

Image GlowPanel() {
    return Paint(128, 128, [](float x, float y) {
        float edge = std::min(std::min(x, 1 - x), std::min(y, 1 - y));
        Rgb base = Mix(Hex(0x101c3c), Hex(0x1c3060), TileFbm(x, y, 4, 3, 31));
        float glow = std::exp(-edge * 40.0f);
        Rgb c = Mix(base, Hex(0x50e8ff), std::min(1.0f, glow * 1.2f));
        float cx = std::fabs(x - 0.5f), cy = std::fabs(y - 0.5f);
        if (cx < 0.01f || cy < 0.01f) c = Mix(c, Hex(0x2a60a0), 0.6f);
        return c;
    });
}

Image Stripes(unsigned a, unsigned b, int period) {
    return Paint(128, 128, [=](float x, float y) {
        int d = int((x + y) * 128) % period;
        Rgb c = d < period / 2 ? Hex(a) : Hex(b);
        float edge = std::min(y, 1 - y);
        if (edge < 0.04f) c = Hex(0x30343a);
        return Noisy(c, TileFbm(x, y, 8, 3, 41), 0.12f);
    });
}

Image SteelPlate() {
    Image img = Paint(128, 128, [](float x, float y) {
        float u = x * 16, v = y * 16;
        float dx = u - std::floor(u) - 0.5f, dy = v - std::floor(v) - 0.5f;
        bool ridge = std::fabs(dx + dy * ((int(std::floor(u) + std::floor(v)) % 2) ? 1 : -1)) < 0.12f;
        Rgb c = Noisy(Hex(0x6a7684), TileFbm(x, y, 4, 3, 51), 0.2f);
        if (ridge) c = Hex(0x9aa6b4);
        if (y < 0.06f || y > 0.94f) c = Hex(0xe8b820);
        return c;
    });
    for (int i = 0; i < 4; ++i) img.SoftDisc(16 + 32 * i, 16, 3.5f, Hex(0xb0b8c4), 1, 1);
    return img;
}

Image ConcreteTiles() {
    return Paint(128, 128, [](float x, float y) {
        float fx = x * 4 - std::floor(x * 4), fy = y * 4 - std::floor(y * 4);
        Rgb c = Noisy(Hex(0x7c7c78), TileFbm(x, y, 8, 4, 61), 0.3f);
        if (fx < 0.03f || fy < 0.03f) c = Hex(0x4a4a48);
        return c;
    });
}

Image IceBlocks() {
    Image img = Paint(128, 128, [](float x, float y) {
        float n = TileFbm(x, y, 4, 4, 71);
        Rgb c = Mix(Hex(0xa8d0f8), Hex(0xeaf6ff), n);
        float fy = y * 2 - std::floor(y * 2), fx = x * 2 + ((int(y * 2) % 2) ? 0.5f : 0) ;
        fx -= std::floor(fx);
        if (fx < 0.02f || fy < 0.02f) c = Hex(0x7aa8d8);
        return c;
    });
    Rng r(72);
    for (int i = 0; i < 10; ++i) {
        float x = r.Range(0, 128), y = r.Range(0, 128);
        for (int k = 0; k < 4; ++k) {
            float nx = x + r.Range(-18, 18), ny = y + r.Range(-18, 18);
            img.Line(x, y, nx, ny, 1.0f, Hex(0xffffff), 0.9f, true);
            x = nx;
            y = ny;
        }
    }
    return img;
}

Image SeaWall() {
    return Paint(128, 128, [](float x, float y) {
        Rgb c = Noisy(Hex(0xeef2f6), TileFbm(x, y, 8, 3, 81), 0.08f);
        float wave = 0.5f + 0.08f * std::sin(x * kTau * 2);
        if (std::fabs(y - wave) < 0.08f) c = Hex(0x1e6ad8);
        else if (std::fabs(y - wave) < 0.11f) c = Hex(0x70b8ff);
        if (x * 4 - std::floor(x * 4) < 0.02f) c = Scaled(c, 0.85f);
        return c;
    });
}

Image BridgeConcrete() {
    return Paint(128, 128, [](float x, float y) {
        float streak = TileNoise(x * 32, y * 2, 32, 91);
        Rgb c = Noisy(Hex(0x5e6874), TileFbm(x, y, 8, 3, 92), 0.25f);
        c = Scaled(c, 0.85f + 0.2f * streak);
        if (x * 2 - std::floor(x * 2) < 0.03f) c = Hex(0x3a424c);
        return c;
    });
}

Image DarkBrick() {
    return Paint(128, 128, [](float x, float y) {
        int row = int(y * 8);
        float bx = x * 4 + ((row % 2) ? 0.5f : 0.0f);
        float fx = bx - std::floor(bx), fy = y * 8 - row;
        Rgb brick = Noisy(Hex(0x5a3028), TileFbm(x, y, 16, 3, 101), 0.4f);
        return (fx < 0.05f || fy < 0.12f) ? Hex(0x241612) : brick;
    });
}

Image Grass() {
    Image img = Paint(128, 128, [](float x, float y) {
        float n = TileFbm(x, y, 4, 5, 111);
        return Mix(Hex(0x2e7a28), Hex(0x58a838), n);
    });
    Rng r(112);
    for (int i = 0; i < 500; ++i) {
        int x = r.Next() % 128, y = r.Next() % 128;
        img.Wrap(x, y) = (i % 2) ? Hex(0x78c050) : Hex(0x205a1c);
        img.Wrap(x, y - 1) = Hex(0x68b040);
    }
    return img;
}

Image SunsetWater() {
    return Paint(256, 256, [](float x, float y) {
        float n = TileFbm(x, y, 4, 5, 121);
        float ripple = TileFbm(x * 1.0f, y, 16, 2, 122);
        Rgb c = Mix(Hex(0x181c5a), Hex(0x30307a), n);
        if (ripple > 0.62f) c = Mix(c, Hex(0xff9a50), (ripple - 0.62f) * 5);
        return c;
    });
}

Image Sea() {
    return Paint(256, 256, [](float x, float y) {
        float n = TileFbm(x, y, 4, 5, 131);
        float foam = TileFbm(x, y, 16, 3, 132);
        Rgb c = Mix(Hex(0x0e4a8a), Hex(0x1e86b8), n);
        if (foam > 0.64f) c = Mix(c, Hex(0xf0faff), std::min(1.0f, (foam - 0.64f) * 7));
        return c;
    });
}

Image Sand() {
    return Paint(256, 256, [](float x, float y) {
        float warp = TileFbm(x, y, 4, 3, 141);
        float ripple = std::sin(kTau * (8 * y + 2 * warp + x * 1));
        Rgb c = Mix(Hex(0xc89a50), Hex(0xeac27a), 0.5f + 0.35f * ripple);
        return Noisy(c, TileNoise(x * 128, y * 128, 128, 142), 0.08f);
    });
}

Image StormClouds() {
    return Paint(256, 256, [](float x, float y) {
        float n = TileFbm(x, y, 4, 6, 151);
        return Mix(Hex(0x16161e), Hex(0x5a5a6c), std::pow(n, 1.6f) * 1.6f);
    });
}

Image LensFlare() {
    Image img(128, 128);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            float dx = (x + 0.5f - 64) / 64, dy = (y + 0.5f - 64) / 64;
            float d = std::sqrt(dx * dx + dy * dy);
            float core = std::exp(-d * d * 40);
            float halo = std::exp(-d * d * 6) * 0.55f;
            float ring = std::exp(-std::pow((d - 0.72f) * 18, 2.0f)) * 0.35f;
            float ang = std::atan2(dy, dx);
            float rays = std::pow(std::fabs(std::cos(ang * 3)), 40.0f) * std::exp(-d * 3) * 0.6f;
            float fade = std::clamp((1.0f - d) * 6, 0.0f, 1.0f);
            Rgb c = Add(Add(Scaled(Hex(0xffffff), core), Scaled(Hex(0xffd890), halo + rays)), Scaled(Hex(0x90c0ff), ring));
            img.At(x, y) = Scaled(c, fade);
        }
    }
    return img;
}

// Sphere map of a bright sky over a dark ground, for the crystals' and cars' reflections.
Image EnvironmentMap() {
    Image img(128, 128);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            float nx = (x + 0.5f - 64) / 64, ny = (64 - y - 0.5f) / 64;
            float d = std::min(1.0f, std::sqrt(nx * nx + ny * ny));
            Rgb c = ny > 0 ? Mix(Hex(0xf0f8ff), Hex(0x4a90e8), std::pow(ny, 0.7f)) : Mix(Hex(0x9aa0a8), Hex(0x3a3630), std::pow(-ny, 0.6f));
            float hi = std::exp(-((nx + 0.35f) * (nx + 0.35f) + (ny - 0.45f) * (ny - 0.45f)) * 30);
            c = Add(c, Scaled(Hex(0xffffff), hi));
            c = Mix(c, Hex(0x202830), std::pow(d, 8.0f) * 0.5f);
            img.At(x, y) = c;
        }
    }
    return img;
}

Image Sign(const std::string& text, int scale, unsigned bgTop, unsigned bgBottom, bool checkers) {
    Image img = Paint(256, 128, [=](float, float y) { return Mix(Hex(bgTop), Hex(bgBottom), y); });
    if (checkers) {
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 32; ++x) {
                Rgb c = ((x + y) % 2) ? Hex(0xffffff) : Hex(0x181818);
                img.FillRect(x * 8, y * 8, x * 8 + 8, y * 8 + 8, c);
                img.FillRect(x * 8, 112 + y * 8, x * 8 + 8, 120 + y * 8, ((x + y + 1) % 2) ? Hex(0xffffff) : Hex(0x181818));
            }
        }
    } else {
        img.FillRect(0, 0, 256, 6, Hex(0xffffff));
        img.FillRect(0, 122, 256, 128, Hex(0xffffff));
        img.FillRect(0, 0, 6, 128, Hex(0xffffff));
        img.FillRect(250, 0, 256, 128, Hex(0xffffff));
    }
    int w = TextWidth(text, scale);
    DrawTextOutlined(img, (256 - w) / 2, (128 - 7 * scale) / 2, text, scale, Hex(0xffffff), Hex(0x102010), 3);
    return img;
}

Image BuildingFacade() {
    Image img(128, 128, Hex(0x2a3040));
    Rng r(161);
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            bool lit = r.Unit() < 0.55f;
            Rgb c = lit ? Mix(Hex(0xffe08a), Hex(0xfff4c8), r.Unit()) : Hex(0x1a2440);
            img.FillRect(col * 32 + 6, row * 32 + 8, col * 32 + 26, row * 32 + 26, c);
            img.FillRect(col * 32 + 15, row * 32 + 8, col * 32 + 17, row * 32 + 26, Hex(0x2a3040));
        }
    }
    return img;
}

Image TvScreen() {
    Image img = Paint(128, 128, [](float x, float y) {
        static const unsigned bars[] = {0xffffff, 0xffe000, 0x00e0ff, 0x00e040, 0xff30ff, 0xff3020, 0x2040ff};
        if (y > 0.72f) return Hex(bars[std::min(6, int(x * 7))]);
        return Mix(Hex(0x1040c0), Hex(0x60d0ff), y / 0.72f);
    });
    int w = TextWidth("KORVAN", 3);
    DrawTextOutlined(img, (128 - w) / 2, 30, "KORVAN", 3, Hex(0xffffff), Hex(0x102060), 2);
    return img;
}

Image Checkers() {
    return Paint(64, 64, [](float x, float y) {
        return ((int(x * 8) + int(y * 8)) % 2) ? Hex(0xf8f8f8) : Hex(0x202020);
    });
}

Image SandstoneBlocks() {
    return Paint(128, 128, [](float x, float y) {
        int row = int(y * 6);
        float bx = x * 3 + ((row % 2) ? 0.5f : 0.0f);
        float fx = bx - std::floor(bx), fy = y * 6 - row;
        Rgb c = Noisy(Mix(Hex(0xd0a868), Hex(0xe8c888), ((int(std::floor(bx)) * 5 + row * 3) % 7) / 6.0f),
                      TileFbm(x, y, 8, 3, 171), 0.2f);
        return (fx < 0.03f || fy < 0.07f) ? Hex(0x9a7448) : c;
    });
}

Image PaletteSwatches() {
    Image img(64, 64, Hex(0x808080));
    for (int i = 0; i < kPaletteCount; ++i) img.FillRect((i % 8) * 8, (i / 8) * 8, (i % 8) * 8 + 8, (i / 8) * 8 + 8, Hex(kPalette[i]));
    return img;
}

}  // namespace

void WriteTextures(VisOutput& out) {
    auto opaque = [&](const char* name, Image img) {
        img.LiftBlack();
        out.Bmp(name, img);
    };
    opaque("road1.bmp", Asphalt());
    opaque("road2.bmp", Paving());
    opaque("road3.bmp", GlowPanel());
    opaque("wall1.bmp", Stripes(0xe82020, 0xf4f4f4, 32));
    opaque("wall2.bmp", Stripes(0xffc400, 0x2a2a2a, 32));
    opaque("wall3.bmp", SteelPlate());
    opaque("wall4.bmp", ConcreteTiles());
    opaque("wall5.bmp", IceBlocks());
    opaque("wall6.bmp", SeaWall());
    opaque("wall7.bmp", BridgeConcrete());
    opaque("wall8.bmp", DarkBrick());
    opaque("grass.bmp", Grass());
    opaque("water1.bmp", SunsetWater());
    opaque("water2.bmp", Sea());
    opaque("desert.bmp", Sand());
    opaque("blacksky.bmp", StormClouds());
    out.Bmp("lens.bmp", LensFlare());  // black surround is cut out by the game's colour key
    opaque("envtex.bmp", EnvironmentMap());
    opaque("GO2.bmp", Sign("GO!", 12, 0x20c040, 0x086020, false));
    opaque("FINISH.bmp", Sign("FINISH", 6, 0x2040c0, 0x102060, true));
    opaque("building.bmp", BuildingFacade());
    opaque("tvscreen.bmp", TvScreen());
    opaque("gate.bmp", Checkers());
    opaque("pyramid.bmp", SandstoneBlocks());
    opaque("palette.bmp", PaletteSwatches());
}
