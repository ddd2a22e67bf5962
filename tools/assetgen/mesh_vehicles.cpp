// The racing cars: KORVAN and the five opponent types, their tyres, shadows and boost flames.
// Each body's origin is the point the game lifts 6 units above the road, so a tyre hung at
// y = -1.8 needs a radius of 4.2 to stand on the road (type 3 hangs at -2.3: radius 3.7).
#include <algorithm>

#include "tools/assetgen/mesh_shapes.h"
#include "tools/assetgen/vis_output.h"

namespace {

constexpr float kRoadBelowBody = 6.0f;

// Cross-section of a hull at depth z: six corners going round from the bottom left; the edges are
// 0 underside, 1 right flank, 2 right shoulder, 3 top, 4 left shoulder, 5 left flank.
std::vector<V3> Section(float z, float w, float yb, float yt, float shoulder = 0.7f, float belly = 0.8f) {
    float ym = yb + (yt - yb) * 0.4f;
    return {{-w * belly, yb, z}, {w * belly, yb, z}, {w, ym, z}, {w * shoulder, yt, z}, {-w * shoulder, yt, z},
            {-w, ym, z}};
}

struct Paint {
    int main, trim, top, glass, under, metal, glow;
};

Paint MakePaint(XMesh& m, unsigned mainRgb, unsigned trimRgb, unsigned topRgb, unsigned glassRgb,
                unsigned glowRgb) {
    Paint p;
    p.main = m.AddMaterial(Mat(mainRgb, 1.0f, 0.12f));
    p.trim = m.AddMaterial(Mat(trimRgb, 1.0f, 0.12f));
    p.top = m.AddMaterial(Mat(topRgb, 1.0f, 0.12f));
    p.glass = m.AddMaterial(Mat(glassRgb, 1.0f, 0.35f));
    p.under = m.AddMaterial(Mat(0x30343c));
    p.metal = m.AddMaterial(Mat(0x9098a8, 1.0f, 0.1f));
    p.glow = m.AddMaterial(Mat(glowRgb, 1.0f, 1.0f));
    return p;
}

// A round exhaust pod along -z ending at zEnd, with a glowing nozzle face.
void Nozzle(Shaper& s, const Paint& p, float x, float y, float zFront, float zEnd, float r) {
    s.Frustum({x, y, zFront}, r * 0.8f, {x, y, zEnd}, r, 8, p.metal, false, true, false);
    s.Frustum({x, y, zEnd}, r, {x, y, zEnd - 0.01f}, r * 0.7f, 8, p.glow, false, false, true);
}

// A wheel arch over a tyre at (x, y, z): a shell from just ahead of the tyre, over its top, to just
// behind it, painted outside, dark inside, closed at both sides.
void Fender(Shaper& s, const Paint& p, float x, float y, float z, float tyreRadius, float tyreWidth) {
    const int segs = 8;
    float r0 = tyreRadius + 0.3f, r1 = tyreRadius + 0.7f, hw = tyreWidth * 0.5f + 0.3f;
    float a0 = 0.3f, a1 = kPi - 0.45f;  // from the front (+z) over the top to the back
    auto at = [&](float a, float r, float dx) { return V3{x + dx, y + r * std::sin(a), z + r * std::cos(a)}; };
    for (int k = 0; k < segs; ++k) {
        float a = a0 + (a1 - a0) * k / segs, b = a0 + (a1 - a0) * (k + 1) / segs;
        V3 radial{0, std::sin((a + b) / 2), std::cos((a + b) / 2)};
        s.Poly({at(a, r1, -hw), at(b, r1, -hw), at(b, r1, hw), at(a, r1, hw)}, p.main, radial);
        s.Poly({at(a, r0, -hw), at(b, r0, -hw), at(b, r0, hw), at(a, r0, hw)}, p.under, -radial);
        s.Poly({at(a, r0, -hw), at(b, r0, -hw), at(b, r1, -hw), at(a, r1, -hw)}, p.trim, {-1, 0, 0});
        s.Poly({at(a, r0, hw), at(b, r0, hw), at(b, r1, hw), at(a, r1, hw)}, p.trim, {1, 0, 0});
    }
    for (float a : {a0, a1}) {
        V3 tangent{0, std::cos(a), -std::sin(a)};
        s.Poly({at(a, r0, -hw), at(a, r1, -hw), at(a, r1, hw), at(a, r0, hw)}, p.trim, a == a0 ? -tangent : tangent);
    }
}

// Shared layout of KORVAN and its rival ZORVAN: wedge hull, canopy, wings and two boost pods
// whose outlets sit just in front of the flames at (+-3.6, 2.0, -13.3).
XMesh ArrowCar(unsigned mainRgb, unsigned trimRgb, unsigned topRgb, unsigned glassRgb, bool horns) {
    XMesh m;
    Shaper s(m);
    Paint p = MakePaint(m, mainRgb, trimRgb, topRgb, glassRgb, 0xffa040);
    std::vector<int> hullMats{p.under, p.main, p.top, p.trim, p.top, p.main};
    s.Loft({Section(11.2f, 0.6f, -2.5f, -1.7f), Section(8.0f, 1.9f, -2.9f, -0.6f), Section(3.0f, 2.6f, -3.1f, 0.7f),
            Section(-3.0f, 2.8f, -3.1f, 1.3f), Section(-8.0f, 2.7f, -2.9f, 1.5f), Section(-10.4f, 2.3f, -2.5f, 1.0f)},
           hullMats, true, true);
    s.Loft({Section(5.6f, 0.4f, 0.0f, 0.4f, 0.6f, 1.0f), Section(2.6f, 1.4f, 0.5f, 2.1f, 0.6f, 1.0f),
            Section(-1.6f, 1.4f, 0.9f, 2.4f, 0.6f, 1.0f), Section(-4.4f, 0.8f, 1.2f, 1.7f, 0.6f, 1.0f)},
           {p.glass}, true, true);
    // Front wing ahead of the front tyres (they reach z 9.4) and a rear wing on two struts.
    s.Box({-4.6f, -3.2f, 9.6f}, {4.6f, -2.7f, 11.6f}, p.trim, p.main);
    s.Box({-4.7f, -3.3f, 9.4f}, {-4.2f, -1.9f, 11.8f}, p.main);
    s.Box({4.2f, -3.3f, 9.4f}, {4.7f, -1.9f, 11.8f}, p.main);
    s.Box({-1.8f, 1.0f, -9.6f}, {-1.2f, 3.6f, -8.4f}, p.under);
    s.Box({1.2f, 1.0f, -9.6f}, {1.8f, 3.6f, -8.4f}, p.under);
    s.Loft({{{-4.6f, 3.5f, -8.0f}, {4.6f, 3.5f, -8.0f}, {4.6f, 4.1f, -8.4f}, {-4.6f, 4.1f, -8.4f}},
            {{-4.6f, 3.3f, -10.6f}, {4.6f, 3.3f, -10.6f}, {4.6f, 3.9f, -10.6f}, {-4.6f, 3.9f, -10.6f}}},
           {p.trim, p.main, p.top, p.main}, true, true);
    // Boost pods over the rear tyres, outlets at z -10.8.
    for (float sx : {-1.0f, 1.0f}) {
        s.xf = Translate({sx * 3.6f, 0, 0});
        s.Loft({Section(-1.6f, 0.5f, 1.7f, 2.4f), Section(-4.0f, 1.2f, 1.3f, 3.2f), Section(-10.0f, 1.3f, 1.1f, 3.4f)},
               {p.under, p.main, p.top, p.trim, p.top, p.main}, true, false);
        s.xf = Xf{};
        Nozzle(s, p, sx * 3.6f, 2.2f, -10.0f, -10.8f, 1.15f);
    }
    for (float sx : {-1.0f, 1.0f}) Fender(s, p, sx * 3.6f, -1.8f, 5.2f, 4.2f, 2.4f);
    if (horns) {
        for (float sx : {-1.0f, 1.0f}) {
            s.Frustum({sx * 1.6f, 0.2f, 4.0f}, 0.6f, {sx * 2.8f, 2.6f, 6.5f}, 0.0f, 5, p.trim, false, true, false);
        }
    }
    return m;
}

XMesh Hornet() {
    XMesh m;
    Shaper s(m);
    Paint p = MakePaint(m, 0x24242c, 0xffd010, 0x3a3a46, 0xffb000, 0xffa040);
    std::vector<int> hull{p.under, p.main, p.trim, p.main, p.trim, p.main};
    // Needle nose and a high, narrow waist: a stinging silhouette.
    s.Loft({Section(12.0f, 0.3f, -2.2f, -1.8f), Section(7.5f, 1.5f, -2.8f, 0.0f), Section(2.0f, 2.4f, -3.0f, 1.2f),
            Section(-2.5f, 1.8f, -2.8f, 1.8f), Section(-7.0f, 2.6f, -2.6f, 2.6f), Section(-9.6f, 2.0f, -2.0f, 2.2f)},
           hull, true, true);
    s.Loft({Section(4.5f, 0.3f, 0.3f, 0.6f), Section(1.5f, 1.1f, 0.8f, 2.2f), Section(-2.0f, 0.9f, 1.5f, 2.6f)},
           {p.glass}, true, true);
    // Swept wings rising from the back: the hornet's pair of wings.
    for (float sx : {-1.0f, 1.0f}) {
        s.Poly({{sx * 1.6f, 2.4f, -3.0f}, {sx * 7.8f, 4.6f, -9.5f}, {sx * 6.4f, 4.4f, -11.0f}, {sx * 1.8f, 2.4f, -8.0f}},
               p.trim, {0, 1, 0});
        s.Poly({{sx * 1.6f, 2.3f, -3.0f}, {sx * 7.8f, 4.5f, -9.5f}, {sx * 6.4f, 4.3f, -11.0f}, {sx * 1.8f, 2.3f, -8.0f}},
               p.main, {0, -1, 0});
        Nozzle(s, p, sx * 2.65f, 3.0f, -7.0f, -10.4f, 0.95f);
        // Black-and-yellow banding on the side.
        s.Box({sx * 2.5f - 0.3f, -1.6f, -6.0f}, {sx * 2.5f + 0.3f, 0.8f, -5.0f}, p.trim);
        s.Box({sx * 2.3f - 0.3f, -1.6f, -3.0f}, {sx * 2.3f + 0.3f, 0.6f, -2.0f}, p.trim);
    }
    s.Box({-4.4f, -3.1f, 9.6f}, {4.4f, -2.7f, 11.0f}, p.trim);
    for (float sx : {-1.0f, 1.0f}) {
        Fender(s, p, sx * 3.6f, -1.8f, 5.2f, 4.2f, 2.2f);
        Fender(s, p, sx * 3.6f, -1.8f, -6.6f, 4.2f, 2.2f);
    }
    return m;
}

XMesh KillerBee() {
    XMesh m;
    Shaper s(m);
    Paint p = MakePaint(m, 0xffc400, 0x1c1c1c, 0xffe060, 0x60200a, 0xffa040);
    // Head and thorax between the front tyres, a fat striped abdomen ending in a sting.
    s.Loft({Section(10.5f, 0.8f, -2.2f, -1.2f), Section(8.0f, 2.2f, -3.0f, 0.6f), Section(4.0f, 2.6f, -3.2f, 1.4f),
            Section(1.0f, 2.0f, -3.0f, 1.6f)},
           {p.under, p.main, p.top, p.main, p.top, p.main}, true, false);
    std::vector<V2> abdomen;
    for (int i = 0; i <= 8; ++i) {
        float a = kPi * i / 8;
        abdomen.push_back({std::fabs(3.6f * std::sin(a)), 6.5f * std::cos(a)});
    }
    for (int band = 0; band < 8; ++band) {
        std::vector<V2> prof{abdomen[band], abdomen[band + 1]};
        s.xf = RotX(-kPi / 2) * Translate({0, 0.2f, -6.5f});
        s.Lathe(prof, 10, (band % 2) ? p.trim : p.main, false, false);
    }
    s.xf = Xf{};
    s.Frustum({0, 0.2f, -12.6f}, 0.7f, {0, 0.0f, -15.0f}, 0.0f, 6, p.trim, false, false, false);
    // Big compound eyes and the canopy between them.
    s.Sphere({-1.7f, 0.4f, 7.2f}, 1.3f, 8, 5, p.glass);
    s.Sphere({1.7f, 0.4f, 7.2f}, 1.3f, 8, 5, p.glass);
    for (float sx : {-1.0f, 1.0f}) {
        s.Frustum({sx * 0.8f, 1.4f, 8.0f}, 0.2f, {sx * 2.4f, 4.4f, 10.0f}, 0.1f, 4, p.trim, false, true, true);
        // Translucent wings over the back.
        int wing = m.AddMaterial(Mat(0xd0f0ff, 0.55f, 0.3f));
        s.Card({sx * 4.6f, 3.8f, -3.0f}, {sx * 3.6f, 0.8f, 0.0f}, {0, 0.2f, 2.8f}, wing, wing);
        Nozzle(s, p, sx * 2.6f, 0.0f, -9.5f, -12.6f, 0.8f);
        Fender(s, p, sx * 3.65f, -2.3f, 5.2f, 3.7f, 2.0f);
    }
    return m;
}

XMesh Hannya() {
    XMesh m;
    Shaper s(m);
    Paint p = MakePaint(m, 0xc01818, 0xf0c040, 0xe03020, 0x200808, 0xff6020);
    int face = m.AddMaterial(Mat(0xf4eee0, 1.0f, 0.15f));
    int fang = m.AddMaterial(Mat(0xffffff, 1.0f, 0.3f));
    // A broad demon-mask hull, 12 wide between tyres set at +-6.2.
    s.Loft({Section(12.0f, 3.0f, -2.6f, -0.8f, 0.8f), Section(8.0f, 5.0f, -3.2f, 1.2f, 0.8f),
            Section(0.0f, 5.4f, -3.3f, 2.4f, 0.75f), Section(-8.0f, 5.4f, -3.2f, 2.6f, 0.75f),
            Section(-14.6f, 4.8f, -2.8f, 2.2f, 0.8f)},
           {p.under, p.main, p.top, p.main, p.top, p.main}, true, true);
    // The mask: pale brow plate with slit eyes, gold horns, white fangs at the jaw.
    s.Poly({{-4.2f, 0.2f, 10.2f}, {4.2f, 0.2f, 10.2f}, {3.0f, 2.6f, 7.0f}, {-3.0f, 2.6f, 7.0f}}, face, {0, 0.6f, 1});
    s.Poly({{-3.4f, 1.0f, 9.4f}, {-1.0f, 0.9f, 9.6f}, {-1.2f, 1.6f, 8.6f}}, p.glow, {0, 0.6f, 1});
    s.Poly({{3.4f, 1.0f, 9.4f}, {1.0f, 0.9f, 9.6f}, {1.2f, 1.6f, 8.6f}}, p.glow, {0, 0.6f, 1});
    for (float sx : {-1.0f, 1.0f}) {
        s.Frustum({sx * 2.6f, 2.0f, 7.2f}, 0.9f, {sx * 4.4f, 6.8f, 9.5f}, 0.0f, 6, p.trim, false, true, false);
        s.Frustum({sx * 1.6f, -1.2f, 11.6f}, 0.5f, {sx * 1.6f, -3.4f, 12.2f}, 0.0f, 4, fang, false, true, false);
        // Lower and upper boost pods for the two flame sets at (+-4.1, 1.5) and (+-4.1, 5.7).
        Nozzle(s, p, sx * 4.1f, 1.5f, -9.0f, -14.4f, 1.4f);
        s.Box({sx * 4.1f - 0.5f, 2.0f, -12.0f}, {sx * 4.1f + 0.5f, 5.0f, -10.0f}, p.trim);
        Nozzle(s, p, sx * 4.1f, 5.7f, -10.5f, -14.8f, 0.9f);
        Fender(s, p, sx * 6.2f, -1.8f, 5.2f, 4.2f, 3.2f);
        Fender(s, p, sx * 6.2f, -1.8f, -6.6f, 4.2f, 3.2f);
    }
    s.Loft({Section(1.0f, 0.6f, 2.0f, 2.6f, 0.6f, 1.0f), Section(-2.0f, 2.0f, 2.2f, 4.0f, 0.6f, 1.0f),
            Section(-6.0f, 1.8f, 2.4f, 3.8f, 0.6f, 1.0f)},
           {p.glass}, true, true);
    return m;
}

XMesh BuSkel() {
    XMesh m;
    Shaper s(m);
    Paint p = MakePaint(m, 0xe8e0c8, 0x484038, 0xfff8e8, 0x301010, 0xff4040);
    // A bullet turned about the z axis: round nose, straight case, a rim at the base.
    std::vector<V2> prof{{0.0f, 12.0f}, {1.6f, 11.0f}, {2.7f, 8.6f}, {3.3f, 5.6f}, {3.4f, 2.0f},
                         {3.4f, -8.0f}, {3.8f, -8.4f}, {3.8f, -10.4f}, {2.4f, -11.0f}, {0.0f, -11.0f}};
    for (V2& q : prof) q.v = -q.v;  // the profile is walked from the tail (top) to the nose
    std::reverse(prof.begin(), prof.end());
    s.xf = RotX(-kPi / 2) * Translate({0, 0.2f, 0});
    s.Lathe(prof, 12, p.main, false, false);
    s.xf = Xf{};
    // Rib hoops and a spine: the skeleton of the name.
    for (float z : {-6.0f, -3.6f, -1.2f, 1.2f}) {
        std::vector<V2> hoop{{3.35f, 0.35f}, {3.75f, 0.35f}, {3.75f, -0.35f}, {3.35f, -0.35f}};
        s.xf = RotX(-kPi / 2) * Translate({0, 0.2f, z});
        s.Lathe(hoop, 12, p.trim, false, false);
    }
    s.xf = Xf{};
    s.Box({-0.5f, 3.4f, -8.0f}, {0.5f, 4.2f, 3.0f}, p.trim);
    // Eye sockets on the nose cone.
    s.Sphere({-1.3f, 1.7f, 8.6f}, 0.8f, 8, 4, p.glass);
    s.Sphere({1.3f, 1.7f, 8.6f}, 0.8f, 8, 4, p.glass);
    // Fins reaching out over the wider rear tyres and the single central outlet.
    for (float sx : {-1.0f, 1.0f}) {
        s.Poly({{sx * 3.0f, 0.6f, -2.0f}, {sx * 6.2f, 3.2f, -7.0f}, {sx * 6.2f, 3.2f, -10.0f}, {sx * 3.0f, 0.6f, -10.0f}},
               p.top, {0, 1, 0});
        s.Poly({{sx * 3.0f, 0.5f, -2.0f}, {sx * 6.2f, 3.1f, -7.0f}, {sx * 6.2f, 3.1f, -10.0f}, {sx * 3.0f, 0.5f, -10.0f}},
               p.trim, {0, -1, 0});
        s.Box({sx * 4.2f - 0.4f, -1.8f, 3.6f}, {sx * 4.2f + 0.4f, 0.6f, 6.8f}, p.trim);
    }
    Nozzle(s, p, 0.0f, 1.0f, -10.4f, -11.4f, 1.7f);
    return m;
}

// Tyre turning about the x axis: a rubber band with spoked caps so the spin shows.
XMesh Tyre(float radius, float width, unsigned hubRgb) {
    XMesh m;
    Shaper s(m);
    int rubber = m.AddMaterial(Mat(0x202226));
    int hub = m.AddMaterial(Mat(hubRgb, 1.0f, 0.15f));
    int dark = m.AddMaterial(Mat(0x383c44));
    const int sides = 14;
    float hw = width * 0.5f;
    // Phase a quarter turn so the band's corners meet the caps' corners, one of them straight down
    // on the road.
    s.Frustum({-hw, 0, 0}, radius, {hw, 0, 0}, radius, sides, rubber, false, false, false, kPi / 2);
    for (float sx : {-1.0f, 1.0f}) {
        V3 centre{sx * (hw + 0.15f), 0, 0};
        for (int i = 0; i < sides; ++i) {
            float a0 = 2 * kPi * i / sides, a1 = 2 * kPi * (i + 1) / sides;
            V3 p0{sx * hw, radius * 0.98f * std::cos(a0), radius * 0.98f * std::sin(a0)};
            V3 p1{sx * hw, radius * 0.98f * std::cos(a1), radius * 0.98f * std::sin(a1)};
            s.Poly({centre, p0, p1}, (i % 2) ? hub : dark, {sx, 0, 0});
        }
    }
    return m;
}

// Dark translucent footprint, facing up, drawn 0.9 above the road.
XMesh Shadow(float halfWidth, float front, float back, float chamfer) {
    XMesh m;
    Shaper s(m);
    int mat = m.AddMaterial(Mat(0x000000, 0.5f));
    float w = halfWidth, c = chamfer;
    s.Poly({{-w + c, 0, front}, {w - c, 0, front}, {w, 0, front - c}, {w, 0, back + c}, {w - c, 0, back},
            {-w + c, 0, back}, {-w, 0, back + c}, {-w, 0, front - c}},
           mat, {0, 1, 0});
    return m;
}

// Boost flame along -z from its hanging point: orange cone, self-lit.
XMesh Flame() {
    XMesh m;
    Shaper s(m);
    int outer = m.AddMaterial(Mat(0xff7a20, 0.85f, 1.0f));
    int core = m.AddMaterial(Mat(0xffe080, 0.9f, 1.0f));
    s.xf = RotX(-kPi / 2);
    s.Lathe({{0.0f, 9.0f}, {0.7f, 4.0f}, {1.4f, 0.0f}, {1.3f, -2.6f}, {0.0f, -3.0f}}, 8, outer, true, false);
    s.Lathe({{0.0f, 5.0f}, {0.7f, 0.0f}, {0.6f, -2.4f}, {0.0f, -2.7f}}, 8, core, true, false, 1.0f, 0.2f);
    return m;
}

// The second flame: blue shock diamonds, longer and thinner.
XMesh ShockFlame() {
    XMesh m;
    Shaper s(m);
    int blue = m.AddMaterial(Mat(0x60a0ff, 0.8f, 1.0f));
    int white = m.AddMaterial(Mat(0xe0f0ff, 0.9f, 1.0f));
    s.xf = RotX(-kPi / 2);
    s.Lathe({{0.0f, 12.0f}, {0.5f, 8.0f}, {0.2f, 6.0f}, {0.9f, 3.0f}, {0.3f, 1.0f}, {1.1f, -1.2f}, {0.0f, -2.6f}}, 6,
            blue, false, false);
    s.Lathe({{0.0f, 4.0f}, {0.45f, 1.5f}, {0.5f, -1.0f}, {0.0f, -2.2f}}, 6, white, false, false, 1.0f, 0.5f);
    return m;
}

}  // namespace

void WriteVehicleMeshes(VisOutput& out) {
    static_assert(kRoadBelowBody - 1.8f > 4.19f && kRoadBelowBody - 1.8f < 4.21f, "tyre radius check");
    out.Mesh("KORVANbody.x", ArrowCar(0x1e5bff, 0xf0f4ff, 0x4a86ff, 0x0c1830, false));
    out.Mesh("KORVANtire.x", Tyre(kRoadBelowBody - 1.8f, 2.4f, 0xc8d4ff));
    out.Mesh("KORVANshadow.x", Shadow(5.0f, 11.8f, -11.2f, 2.0f));
    out.Mesh("BFire.x", Flame());
    out.Mesh("BFire2.x", ShockFlame());

    out.Mesh("Enemybody1.x", Hornet());
    out.Mesh("Enemytire1.x", Tyre(kRoadBelowBody - 1.8f, 2.2f, 0xffd010));
    out.Mesh("Enemyshadow1.x", Shadow(5.0f, 12.2f, -11.0f, 2.6f));

    out.Mesh("Enemybody2.x", ArrowCar(0xb01020, 0x181818, 0xe02030, 0x301010, true));
    out.Mesh("Enemytire2.x", Tyre(kRoadBelowBody - 1.8f, 2.4f, 0xff3030));

    out.Mesh("Enemybody3.x", KillerBee());
    out.Mesh("Enemytire3.x", Tyre(kRoadBelowBody - 2.3f, 2.0f, 0xffc400));
    out.Mesh("Enemyshadow3.x", Shadow(5.6f, 10.8f, -13.6f, 3.0f));

    out.Mesh("Enemybody4.x", Hannya());
    out.Mesh("Enemytire4.x", Tyre(kRoadBelowBody - 1.8f, 3.2f, 0xf0c040));
    out.Mesh("Enemyshadow4.x", Shadow(7.8f, 12.4f, -15.0f, 3.0f));

    out.Mesh("Enemybody5.x", BuSkel());
    out.Mesh("Enemytire5.x", Tyre(kRoadBelowBody - 1.8f, 2.6f, 0xe8e0c8));
    out.Mesh("Enemyshadow5.x", Shadow(6.4f, 12.0f, -11.6f, 3.2f));
}
