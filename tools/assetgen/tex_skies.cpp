// Pictures for the sky domes and far set pieces. A dome picture is laid out as the dome's texture
// coordinates run: u once around starting at +x and turning towards +z, v from the zenith (0)
// to the nadir (1); so a pixel's direction is known and a sun can be put where the course's light is.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/vis_output.h"

namespace {

constexpr int kSkyW = 1024, kSkyH = 512;
constexpr float kDeg = 0.0174532925f;

struct SkyPoint {
    float u, v;       // texture position 0..1
    float elev;       // degrees above the horizon
    float dx, dy, dz; // unit direction
};

template <typename F>
Image PaintSky(F f) {
    Image img(kSkyW, kSkyH);
    for (int y = 0; y < kSkyH; ++y) {
        for (int x = 0; x < kSkyW; ++x) {
            SkyPoint p;
            p.u = (x + 0.5f) / kSkyW;
            p.v = (y + 0.5f) / kSkyH;
            p.elev = 90.0f - 180.0f * p.v;
            float t = kTau * p.u, e = p.elev * kDeg;
            p.dx = std::cos(e) * std::cos(t);
            p.dy = std::sin(e);
            p.dz = std::cos(e) * std::sin(t);
            img.At(x, y) = f(p);
        }
    }
    return img;
}

float AngleTo(const SkyPoint& p, float x, float y, float z) {
    float l = std::sqrt(x * x + y * y + z * z);
    float d = (p.dx * x + p.dy * y + p.dz * z) / l;
    return std::acos(std::clamp(d, -1.0f, 1.0f)) / kDeg;
}

Rgb Gradient(float elev, Rgb horizon, Rgb zenith, float power) {
    return Mix(horizon, zenith, std::pow(std::clamp(elev / 90.0f, 0.0f, 1.0f), power));
}

// Noise that wraps around the dome; y runs over the height of the picture.
float SkyNoise(const SkyPoint& p, int period, int octaves, uint32_t seed, float stretch = 1.0f) {
    return TileFbm(p.u, p.v * 0.5f * stretch, period, octaves, seed);
}

void Stars(Image& img, int count, float minElev, uint32_t seed) {
    Rng r(seed);
    for (int i = 0; i < count; ++i) {
        int x = r.Next() % kSkyW, y = r.Next() % kSkyH;
        float elev = 90.0f - 180.0f * (y + 0.5f) / kSkyH;
        float b = r.Range(0.3f, 1.0f);
        if (elev < minElev) continue;
        Rgb c = Mix(Hex(0xa0c0ff), Hex(0xfff0d0), r.Unit());
        img.Blend(x, y, c, b);
        if (b > 0.9f) {
            img.Blend(x + 1, y, c, 0.5f);
            img.Blend(x - 1, y, c, 0.5f);
            img.Blend(x, y + 1, c, 0.5f);
            img.Blend(x, y - 1, c, 0.5f);
        }
    }
}

Image SeaAndSurf() {
    return PaintSky([](const SkyPoint& p) {
        if (p.elev >= 0) {
            Rgb c = Gradient(p.elev, Hex(0xc8ecff), Hex(0x2a74e0), 0.5f);
            float cloud = SkyNoise(p, 8, 5, 201, 2.0f);
            float band = std::clamp(1.0f - std::fabs(p.elev - 14.0f) / 16.0f, 0.0f, 1.0f);
            float a = std::clamp((cloud - 0.52f) * 5.0f, 0.0f, 1.0f) * band;
            Rgb puff = Mix(Hex(0xb8c8dc), Hex(0xffffff), std::clamp((cloud - 0.5f) * 4.0f, 0.0f, 1.0f));
            return Mix(c, puff, a);
        }
        float depth = std::clamp(-p.elev / 40.0f, 0.0f, 1.0f);
        Rgb c = Mix(Hex(0x4aa0d0), Hex(0x0a3468), std::pow(depth, 0.5f));
        // Thin white crests running along the horizon, denser towards it.
        float foam = TileFbm(p.u * 1.0f, p.v * 6.0f, 48, 3, 202);
        float f = std::clamp((foam - 0.62f) * 8.0f, 0.0f, 1.0f) * (1.0f - depth * 0.8f);
        return Mix(c, Hex(0xf4fbff), f);
    });
}

Image NightCity() {
    // Building heights along the horizon, in degrees, one block after another.
    std::vector<float> height(kSkyW);
    std::vector<int> blockId(kSkyW);
    Rng r(211);
    for (int x = 0, id = 0; x < kSkyW; ++id) {
        int wdt = 6 + r.Next() % 18;
        float h = r.Range(3.0f, 12.0f) * (r.Unit() < 0.2f ? 1.6f : 1.0f);
        for (int k = 0; k < wdt && x < kSkyW; ++k, ++x) {
            height[x] = h;
            blockId[x] = id;
        }
    }
    Image img = PaintSky([&](const SkyPoint& p) {
        int x = std::min(kSkyW - 1, int(p.u * kSkyW));
        if (p.elev >= -0.5f && p.elev < height[x]) {
            int wy = int((p.elev + 0.5f) * 3.0f), wx = x;
            bool window = (wx % 3 == 1) && (wy % 2 == 1);
            uint32_t h = (blockId[x] * 131u + wx * 7u + wy * 13u) * 2654435761u;
            if (window && (h >> 28) < 7) return (h >> 27) % 3 ? Hex(0xffe890) : Hex(0x90ffb8);
            return Hex(0x0c1418);
        }
        if (p.elev >= 0) {
            Rgb c = Gradient(p.elev, Hex(0x1e4a3e), Hex(0x040816), 0.35f);
            return c;
        }
        Rgb ground = Hex(0x08100e);
        float lights = SkyNoise(p, 64, 2, 212, 4.0f);
        if (lights > 0.7f && p.elev > -30) ground = Mix(ground, Hex(0xffd070), (lights - 0.7f) * 3);
        return ground;
    });
    Stars(img, 900, 12.0f, 213);
    return img;
}

Image SandOcean() {
    return PaintSky([](const SkyPoint& p) {
        float dune = 2.0f + 2.5f * std::sin(p.u * kTau * 7) + 1.5f * std::sin(p.u * kTau * 19 + 1.0f);
        float sunAngle = AngleTo(p, 1900, 400, 0);
        Rgb sky = Gradient(std::max(p.elev, 0.0f), Hex(0xfff0b0), Hex(0xd88a30), 0.6f);
        sky = Mix(sky, Hex(0xfffff0), std::exp(-sunAngle * sunAngle / 60.0f));
        sky = Add(sky, Scaled(Hex(0x604020), std::exp(-sunAngle / 12.0f)));
        if (p.elev >= 0) {
            float cover = std::clamp((dune - p.elev) / 0.4f, 0.0f, 1.0f);
            float shade = std::clamp((dune - p.elev) / 5.0f, 0.0f, 1.0f);
            return Mix(sky, Mix(Hex(0xe8b860), Hex(0xb07a38), shade), cover);
        }
        float ripple = std::sin(p.v * 400.0f + 8 * SkyNoise(p, 8, 3, 221));
        return Mix(Hex(0xc89440), Hex(0xe0b060), 0.5f + 0.3f * ripple);
    });
}

Image LavaSky() {
    return PaintSky([](const SkyPoint& p) {
        if (p.elev >= 0) {
            Rgb c = Gradient(p.elev, Hex(0xd04010), Hex(0x1c0404), 0.4f);
            float smoke = SkyNoise(p, 6, 5, 231, 2.0f);
            return Mix(c, Hex(0x140808), std::clamp((smoke - 0.45f) * 2.0f, 0.0f, 0.8f));
        }
        return Mix(Hex(0x802008), Hex(0x200404), std::clamp(-p.elev / 20.0f, 0.0f, 1.0f));
    });
}

Image StormSky() {
    return PaintSky([](const SkyPoint& p) {
        float cloud = SkyNoise(p, 6, 6, 241, 2.0f);
        if (p.elev >= 0) {
            Rgb c = Gradient(p.elev, Hex(0x34343e), Hex(0x060608), 0.5f);
            return Mix(c, Hex(0x4a4658), std::clamp((cloud - 0.5f) * 3.0f, 0.0f, 0.9f));
        }
        return Mix(Hex(0x24242a), Hex(0x0a0a0c), std::clamp(-p.elev / 15.0f, 0.0f, 1.0f));
    });
}

Image OpenHorizon() {
    return PaintSky([](const SkyPoint& p) {
        float sunAngle = AngleTo(p, 0, 500, -1900);
        if (p.elev >= 0) {
            Rgb c = Gradient(p.elev, Hex(0xd8f0ff), Hex(0x0c48c0), 0.45f);
            c = Mix(c, Hex(0xfffff4), std::exp(-sunAngle * sunAngle / 20.0f));
            return Add(c, Scaled(Hex(0x302818), std::exp(-sunAngle / 10.0f)));
        }
        float cloud = SkyNoise(p, 12, 5, 251, 3.0f);
        float depth = std::clamp(-p.elev / 60.0f, 0.0f, 1.0f);
        Rgb sea = Mix(Hex(0xa0c8f0), Hex(0x3868b8), depth);
        return Mix(sea, Hex(0xf8fcff), std::clamp((cloud - 0.42f) * 3.0f, 0.0f, 1.0f) * (1.0f - depth * 0.5f));
    });
}

Image Sunset() {
    return PaintSky([](const SkyPoint& p) {
        float sunAngle = AngleTo(p, -1, 0.04f, 0);
        if (p.elev >= 0) {
            float t = std::clamp(p.elev / 90.0f, 0.0f, 1.0f);
            Rgb c = t < 0.15f ? Mix(Hex(0xffb848), Hex(0xe05070), t / 0.15f) : Mix(Hex(0xe05070), Hex(0x24184c), std::pow((t - 0.15f) / 0.85f, 0.6f));
            if (sunAngle < 5.0f) return Hex(0xfff4b0);
            return Add(c, Scaled(Hex(0xffa040), std::exp(-sunAngle / 12.0f)));
        }
        float depth = std::clamp(-p.elev / 40.0f, 0.0f, 1.0f);
        Rgb c = Mix(Hex(0x6a3870), Hex(0x180c30), std::pow(depth, 0.6f));
        float az = std::fabs(std::atan2(p.dz, -p.dx)) / kDeg;  // degrees off the sun's bearing
        float wave = SkyNoise(p, 48, 2, 261, 8.0f);
        float glitter = std::exp(-az * az / 18.0f) * std::clamp((wave - 0.45f) * 4.0f, 0.0f, 1.0f);
        return Mix(c, Hex(0xffc860), glitter * (1.0f - depth));
    });
}

Image Jail() {
    return PaintSky([](const SkyPoint& p) {
        if (p.elev > 28.0f) {
            Rgb c = Gradient(p.elev - 28.0f, Hex(0x2a2a3a), Hex(0x08080e), 0.5f);
            float moon = AngleTo(p, 0.3f, 0.8f, 0.5f);
            if (moon < 4.0f) return Hex(0xf0f0e0);
            return Add(c, Scaled(Hex(0x404858), std::exp(-moon / 8.0f)));
        }
        if (p.elev < -15.0f) return Mix(Hex(0x3a3a40), Hex(0x202024), std::clamp((-15.0f - p.elev) / 40.0f, 0.0f, 1.0f));
        // Brick wall with barred windows every 30 degrees of the ring.
        float cell = p.u * 12.0f, fx = cell - std::floor(cell);
        if (p.elev > 8.0f && p.elev < 20.0f && fx > 0.38f && fx < 0.62f) {
            float bars = (fx - 0.38f) / 0.24f * 5.0f;
            if (bars - std::floor(bars) < 0.18f) return Hex(0x8890a0);
            return (int(std::floor(cell)) % 4 == 1) ? Hex(0xffd880) : Hex(0x10101a);
        }
        int row = int((p.elev + 15.0f) / 1.5f);
        float bx = p.u * 160.0f + ((row % 2) ? 0.5f : 0.0f);
        float bfx = bx - std::floor(bx), bfy = (p.elev + 15.0f) / 1.5f - row;
        Rgb brick = Mix(Hex(0x5a4e46), Hex(0x6e5e52), ((int(std::floor(bx)) * 7 + row * 3) % 5) / 4.0f);
        if (bfx < 0.08f || bfy < 0.12f) brick = Hex(0x34302c);
        return Scaled(brick, 0.7f + 0.3f * std::clamp((28.0f - p.elev) / 43.0f, 0.0f, 1.0f));
    });
}

// Triangle wave 0..1 with its peak at the middle of each period: sharp ridges for mountains.
float Ridge(float x) { return 1.0f - 2.0f * std::fabs(x - std::floor(x) - 0.5f); }

Image EverlastingCold() {
    Image img = PaintSky([](const SkyPoint& p) {
        float peaks = 2.0f + 7.0f * Ridge(p.u * 7 + 0.2f) * Ridge(p.u * 3 + 0.6f) + 2.5f * Ridge(p.u * 23 + 0.1f);
        Rgb sky = Gradient(std::max(p.elev, 0.0f), Hex(0xe4f2ff), Hex(0x3c6cb0), 0.55f);
        float curtain = std::sin(p.u * kTau * 9 + 3 * SkyNoise(p, 4, 3, 271)) * 0.5f + 0.5f;
        float band = std::clamp(1.0f - std::fabs(p.elev - 38.0f) / 16.0f, 0.0f, 1.0f);
        sky = Mix(sky, Hex(0x60ffb0), curtain * band * 0.5f);
        if (p.elev >= 0) {
            // Snowy ridges: white crests over blue shadowed flanks, the edge softened by a texel.
            float cover = std::clamp((peaks - p.elev) / 0.4f, 0.0f, 1.0f);
            float shade = std::clamp((peaks - p.elev) / peaks, 0.0f, 1.0f);
            Rgb rock = Mix(Hex(0xf8fcff), Hex(0x7a98c8), std::clamp(shade * 1.3f - 0.15f, 0.0f, 1.0f));
            if (Ridge(p.u * 23 + 0.1f) < 0.5f) rock = Scaled(rock, 0.92f);  // the far side of each ridge in shadow
            return Mix(sky, rock, cover);
        }
        float drift = SkyNoise(p, 16, 3, 272, 3.0f);
        return Mix(Hex(0xe8f2ff), Hex(0xb4cae4), drift);
    });
    return img;
}

Image Space() {
    Image img = PaintSky([](const SkyPoint& p) {
        float neb = SkyNoise(p, 4, 6, 281, 2.0f);
        float neb2 = SkyNoise(p, 6, 5, 282, 2.0f);
        Rgb c = Hex(0x03040c);
        c = Mix(c, Hex(0x3a1460), std::clamp((neb - 0.5f) * 2.5f, 0.0f, 0.7f));
        c = Mix(c, Hex(0x10407a), std::clamp((neb2 - 0.55f) * 2.5f, 0.0f, 0.6f));
        return c;
    });
    Stars(img, 2600, -90.0f, 283);
    return img;
}

Image Lava() {
    return [] {
        Image img(256, 256);
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                float u = (x + 0.5f) / 256, v = (y + 0.5f) / 256;
                float n = TileFbm(u, v, 4, 5, 291);
                float crack = std::fabs(TileFbm(u, v, 6, 4, 292) - 0.5f);
                Rgb c = Mix(Hex(0x3a0a04), Hex(0x801a06), n);
                if (crack < 0.05f) c = Mix(Hex(0xffe060), Hex(0xff6010), crack / 0.05f);
                img.At(x, y) = c;
            }
        }
        return img;
    }();
}

Image VolcanoRock() {
    Image img(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            float u = (x + 0.5f) / 256, v = (y + 0.5f) / 256;
            Rgb c = Mix(Hex(0x2c201c), Hex(0x4a3a32), TileFbm(u, v, 8, 4, 301));
            // Glowing rivers running down from the crater.
            float river = std::fabs(std::sin(u * kTau * 6 + 1.5f * TileFbm(u, v, 4, 3, 302)));
            float reach = std::exp(-v * 3.0f);
            if (river < 0.12f * reach + 0.02f) c = Mix(c, Hex(0xff7020), reach);
            if (v < 0.06f) c = Mix(c, Hex(0xffb040), 1.0f - v / 0.06f);
            img.At(x, y) = c;
        }
    }
    return img;
}

// Equirectangular globes: u around, v pole to pole.
Image Earth() {
    Image img(256, 128);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 256; ++x) {
            float u = (x + 0.5f) / 256, v = (y + 0.5f) / 128;
            float land = TileFbm(u, v * 0.5f, 4, 6, 311);
            float lat = std::fabs(v - 0.5f) * 2;
            Rgb c = land > 0.55f ? Mix(Hex(0x3a8a3a), Hex(0xa08a50), (land - 0.55f) * 4) : Mix(Hex(0x0c3488), Hex(0x1a60c0), land);
            if (lat > 0.82f) c = Hex(0xf0f8ff);
            float cloud = TileFbm(u, v * 0.5f, 8, 4, 312);
            c = Mix(c, Hex(0xffffff), std::clamp((cloud - 0.58f) * 4, 0.0f, 0.85f));
            img.At(x, y) = c;
        }
    }
    return img;
}

Image Moon() {
    Image img(128, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 128; ++x) {
            img.At(x, y) = Mix(Hex(0x7a3a2c), Hex(0xc07050), TileFbm((x + 0.5f) / 128, (y + 0.5f) / 128, 8, 5, 321));
        }
    }
    Rng r(322);
    for (int i = 0; i < 30; ++i) img.SoftDisc(r.Range(0, 128), r.Range(4, 60), r.Range(1.5f, 5), Hex(0x5a2a20), 0.7f, 1.5f);
    return img;
}

Image GasGiant() {
    Image img(256, 128);
    static const unsigned bands[] = {0xe8d0a0, 0xc08050, 0xf0e0c0, 0xa86a40, 0xe0b880, 0xd09868};
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 256; ++x) {
            float u = (x + 0.5f) / 256, v = (y + 0.5f) / 128;
            float w = v * 12 + 0.6f * TileFbm(u, v * 0.5f, 8, 3, 331);
            int b = int(w) % 6;
            img.At(x, y) = Mix(Hex(bands[b]), Hex(bands[(b + 1) % 6]), w - std::floor(w));
        }
    }
    img.SoftDisc(170, 80, 9, Hex(0xc04a30), 0.9f, 3);
    return img;
}

}  // namespace

void WriteSkyTextures(VisOutput& out) {
    auto opaque = [&](const char* name, Image img) {
        img.LiftBlack();
        out.Bmp(name, img);
    };
    opaque("sky1.bmp", SeaAndSurf());
    opaque("sky2.bmp", NightCity());
    opaque("sky3.bmp", SandOcean());
    opaque("sky4.bmp", LavaSky());
    opaque("sky5.bmp", StormSky());
    opaque("sky6.bmp", OpenHorizon());
    opaque("sky7.bmp", Sunset());
    opaque("jail.bmp", Jail());
    opaque("sky9.bmp", EverlastingCold());
    opaque("space.bmp", Space());
    opaque("lava.bmp", Lava());
    opaque("volcano.bmp", VolcanoRock());
    opaque("storm.bmp", [] {
        Image img(256, 256);
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                float n = TileFbm((x + 0.5f) / 256, (y + 0.5f) / 256, 4, 6, 341);
                img.At(x, y) = Mix(Hex(0x202028), Hex(0x686478), std::clamp((n - 0.3f) * 2.0f, 0.0f, 1.0f));
            }
        }
        return img;
    }());
    opaque("earth.bmp", Earth());
    opaque("moon.bmp", Moon());
    opaque("giant.bmp", GasGiant());
}
