// Backgrounds: sky domes the game draws around the camera with fog and lighting off (so their
// colour comes from their pictures), and the far set pieces of some courses. Every dome faces
// inwards and stays inside the far plane of 2000.
#include <cmath>

#include "tools/assetgen/mesh_shapes.h"
#include "tools/assetgen/vis_output.h"
#include "tools/assetgen/vis_palette.h"

namespace {

constexpr float kSkyRadius = 1800.0f;

// Self-lit white material carrying a picture: the same look lit or unlit.
int Picture(XMesh& m, const char* file, float alpha = 1.0f) { return m.AddMaterial(Mat(0xffffff, alpha, 1.0f, file)); }

// Elevation rings from the zenith (v 0) to the nadir (v 1); u runs once around, starting at +x.
std::vector<V2> DomeProfile(float radius, float fromDeg, float toDeg, int rings) {
    std::vector<V2> prof;
    for (int i = 0; i <= rings; ++i) {
        float e = (fromDeg + (toDeg - fromDeg) * i / rings) * kPi / 180.0f;
        prof.push_back({std::fabs(radius * std::cos(e)) < 1e-3f ? 0.0f : radius * std::cos(e), radius * std::sin(e)});
    }
    return prof;
}

XMesh SkyDome(const char* picture) {
    XMesh m;
    Shaper s(m);
    s.Lathe(DomeProfile(kSkyRadius, 90, -90, 16), 32, Picture(m, picture), true, true);
    return m;
}

// A glowing sea of lava filling the view below the horizon; the course pulses it, so it stays
// small enough to grow by a quarter inside the far plane.
XMesh LavaSea() {
    XMesh m;
    Shaper s(m);
    s.Lathe(DomeProfile(1500.0f, -3, -90, 8), 32, Picture(m, "lava.bmp"), true, true, 6.0f, 0.0f, 0.0f, 3.0f);
    return m;
}

// Twin volcanoes on the horizon ahead, their craters glowing; kept well inside the far plane so
// the course may swell them for its pulsing lava.
XMesh TwinVolcano() {
    XMesh m;
    Shaper s(m);
    int rock = Picture(m, "volcano.bmp");
    auto cone = [&](V3 c, float r, float h) {
        s.xf = Translate(c);
        s.Lathe({{r * 0.16f, h}, {r * 0.22f, h * 0.94f}, {r * 0.5f, h * 0.55f}, {r, 0}, {r * 1.08f, -120}}, 14, rock,
                false, false, 3.0f, 0.0f, 0.0f, 1.0f);
        s.Lathe({{0, h - 30}, {r * 0.16f, h}}, 14, rock, false, false, 3.0f, 0.0f, 0.0f, 0.05f);
    };
    cone({-380, -200, 950}, 470, 580);
    cone({350, -200, 1000}, 400, 500);
    return m;
}

// Low storm ceiling, translucent, hanging over the course.
XMesh StormCeiling() {
    XMesh m;
    Shaper s(m);
    s.Lathe({{0, 420}, {500, 405}, {1000, 360}, {1400, 250}, {1650, 90}, {1700, -60}}, 24, Picture(m, "storm.bmp", 0.7f),
            true, true, 3.0f, 0.0f, 0.0f, 1.0f);
    return m;
}

// Long sunset cloud streaks in a ring, turned slowly by the course.
XMesh SunsetStreaks() {
    XMesh m;
    Shaper s(m);
    Rng r(77);
    const float radius = 1650.0f;
    for (int i = 0; i < 16; ++i) {
        float az = r.Range(0, 2 * kPi), len = r.Range(0.35f, 0.8f);
        float el = r.Range(0.02f, 0.2f), thick = r.Range(0.006f, 0.016f);
        int colour = static_cast<int>(r.Next() % 6);
        int mat = m.AddMaterial(Mat(0xffffff, 0.85f, 1.0f, "palette.bmp"));
        const int segs = 8;
        for (int k = 0; k < segs; ++k) {
            float a0 = az + len * k / segs, a1 = az + len * (k + 1) / segs;
            // Tapered ends: thickest in the middle.
            float t0 = thick * std::sin(kPi * k / segs) + 0.001f, t1 = thick * std::sin(kPi * (k + 1) / segs) + 0.001f;
            auto at = [&](float a, float e) {
                return V3{radius * std::cos(e) * std::cos(a), radius * std::sin(e), radius * std::cos(e) * std::sin(a)};
            };
            V2 uv{PaletteU(colour), PaletteV(colour)};
            V3 mid = at((a0 + a1) * 0.5f, el);
            s.PolyUV({at(a0, el + t0), at(a1, el + t1), at(a1, el - t1), at(a0, el - t0)}, {uv, uv, uv, uv}, mat, -mid);
        }
    }
    return m;
}

// The globe and its neighbours circling far out: an earth, a red moon and a ringed giant.
XMesh Planets() {
    XMesh m;
    Shaper s(m);
    auto planet = [&](float az, float y, float dist, float r, const char* pic) {
        V3 c{dist * std::sin(az), y, dist * std::cos(az)};
        std::vector<V2> prof;
        for (int i = 0; i <= 12; ++i) {
            float a = kPi * i / 12;
            prof.push_back({std::fabs(r * std::sin(a)) < 1e-3f ? 0.0f : r * std::sin(a), r * std::cos(a)});
        }
        s.xf = RotZ(0.35f) * Translate(c);
        // Mostly lit by the scene's light (the title and the last course light it), a little self-lit.
        s.Lathe(prof, 24, m.AddMaterial(Mat(0xffffff, 1.0f, 0.15f, pic)), true, false);
        return c;
    };
    planet(0.0f, 260, 1300, 380, "earth.bmp");
    planet(2 * kPi / 3, 420, 1350, 150, "moon.bmp");
    V3 g = planet(4 * kPi / 3, 120, 1300, 260, "giant.bmp");
    // The giant's ring: a flat annulus seen from both sides.
    int ring = m.AddMaterial(Mat(0xffffff, 0.75f, 0.3f, "palette.bmp"));
    s.xf = RotZ(0.35f) * Translate(g);
    const int segs = 32;
    for (int k = 0; k < segs; ++k) {
        float a0 = 2 * kPi * k / segs, a1 = 2 * kPi * (k + 1) / segs;
        V3 i0{330 * std::cos(a0), 0, 330 * std::sin(a0)}, i1{330 * std::cos(a1), 0, 330 * std::sin(a1)};
        V3 o0{520 * std::cos(a0), 0, 520 * std::sin(a0)}, o1{520 * std::cos(a1), 0, 520 * std::sin(a1)};
        int colour = 8 + (k % 2);
        V2 uv{PaletteU(colour), PaletteV(colour)};
        s.PolyUV({i0, i1, o1, o0}, {uv, uv, uv, uv}, ring, {0, 1, 0});
        s.PolyUV({i0, i1, o1, o0}, {uv, uv, uv, uv}, ring, {0, -1, 0});
    }
    return m;
}

// A stepped pyramid the road runs through: a tunnel opens in the front and back faces.
XMesh Pyramid() {
    XMesh m;
    Shaper s(m);
    int stone = m.AddMaterial(Mat(0xffffff, 1.0f, 0.12f, "pyramid.bmp"));
    int dark = m.AddMaterial(Mat(0x4a3a28, 1.0f, 0.2f));
    const float B = 700, H = 560, w = 140, h = 180;
    s.uvTile = 96.0f;
    V3 apex{0, H, 0};
    // Side faces (x = +-B) whole.
    s.Poly({{B, 0, -B}, {B, 0, B}, apex}, stone, {1, 0.6f, 0});
    s.Poly({{-B, 0, B}, {-B, 0, -B}, apex}, stone, {-1, 0.6f, 0});
    // Front (-z) and back (+z) faces around the tunnel mouth.
    for (float sz : {-1.0f, 1.0f}) {
        float z = sz * B, zh = sz * (B - h * B / H);  // the face leans in with height
        V3 out{0, 0.6f, sz};
        s.Poly({{-B, 0, z}, {-w, 0, z}, {-w, h, zh}, apex}, stone, out);
        s.Poly({{w, 0, z}, {B, 0, z}, apex, {w, h, zh}}, stone, out);
        s.Poly({{-w, h, zh}, {w, h, zh}, apex}, stone, out);
    }
    // Tunnel walls and ceiling seen from inside.
    s.uvTile = 0;
    s.Poly({{-w, 0, -B}, {-w, h, -B + h * B / H}, {-w, h, B - h * B / H}, {-w, 0, B}}, dark, {1, 0, 0});
    s.Poly({{w, 0, -B}, {w, h, -B + h * B / H}, {w, h, B - h * B / H}, {w, 0, B}}, dark, {-1, 0, 0});
    s.Poly({{-w, h, -B + h * B / H}, {w, h, -B + h * B / H}, {w, h, B - h * B / H}, {-w, h, B - h * B / H}}, dark,
           {0, -1, 0});
    return m;
}

}  // namespace

void WriteSkyMeshes(VisOutput& out) {
    out.Mesh("BackGround1.x", SkyDome("sky1.bmp"));
    out.Mesh("BackGround2.x", SkyDome("sky2.bmp"));
    out.Mesh("BackGround3.x", SkyDome("sky3.bmp"));
    out.Mesh("pyramid.x", Pyramid());
    out.Mesh("BackGround4.x", SkyDome("sky4.bmp"));
    out.Mesh("Volcano.x", TwinVolcano());
    out.Mesh("BackGround4_1.x", LavaSea());
    out.Mesh("BackGround5_1.x", SkyDome("sky5.bmp"));
    out.Mesh("BackGround5.x", StormCeiling());
    out.Mesh("BackGround6.x", SkyDome("sky6.bmp"));
    out.Mesh("BackGround7.x", SkyDome("sky7.bmp"));
    out.Mesh("BackGround7_1.x", SunsetStreaks());
    out.Mesh("BackGround8.x", SkyDome("jail.bmp"));
    out.Mesh("BackGround9.x", SkyDome("sky9.bmp"));
    out.Mesh("BackGround10.x", SkyDome("space.bmp"));
    out.Mesh("BackGround10_1.x", Planets());
}
