// Trackside scenery, the start/finish gate, the crystals and the title letters.
// Scenery stands with its origin on the ground 192 units beyond the road edge, its +z along the
// road; the "L" pieces stand left of the road (the road lies towards +x), the "R" pieces right.
#include <cmath>
#include <cstdint>

#include "tools/assetgen/mesh_shapes.h"
#include "tools/assetgen/tex_bmp.h"
#include "tools/assetgen/vis_output.h"

namespace {

uint32_t PointHash(V3 p, uint32_t seed) {
    auto q = [](float v) { return static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 100.0f))); };
    uint32_t h = q(p.x) * 73856093u ^ q(p.y) * 19349663u ^ q(p.z) * 83492791u ^ seed * 2654435761u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    return h;
}

// Moves every corner above the ground by a random offset that depends only on where the corner is,
// so faces that share a corner stay joined; then gives every face its new flat normal.
void Roughen(XMesh& m, float amount, float groundY, uint32_t seed) {
    std::vector<V3> moved = m.positions;
    for (size_t i = 0; i < m.positions.size(); ++i) {
        V3 p = m.positions[i];
        if (p.y <= groundY + 0.5f) continue;
        Rng r(PointHash(p, seed));
        moved[i] = p + V3{r.Range(-amount, amount), r.Range(-amount, amount) * 0.6f, r.Range(-amount, amount)};
    }
    m.positions = moved;
    for (const auto& f : m.faces) {
        V3 n{0, 0, 0};
        for (size_t k = 1; k + 1 < f.size(); ++k) {
            n = n + Cross(m.positions[f[k]] - m.positions[f[0]], m.positions[f[k + 1]] - m.positions[f[0]]);
        }
        for (int i : f) m.normals[i] = Normalize(n);
    }
}

// Faces whose middle lies above y take the material `top`.
void CapAbove(XMesh& m, float y, int top) {
    for (size_t f = 0; f < m.faces.size(); ++f) {
        float cy = 0;
        for (int i : m.faces[f]) cy += m.positions[i].y;
        if (cy / m.faces[f].size() > y) m.faceMaterial[f] = top;
    }
}

XMesh Pine() {
    XMesh m;
    Shaper s(m);
    int bark = m.AddMaterial(Mat(0x6b4424));
    int needles = m.AddMaterial(Mat(0x1f7a3a, 1.0f, 0.08f));
    int light = m.AddMaterial(Mat(0x2f9a4a, 1.0f, 0.08f));
    s.Frustum({0, -4, 0}, 6, {0, 34, 0}, 4, 6, bark, false, false, true);
    s.Frustum({0, 24, 0}, 34, {0, 80, 0}, 0, 7, needles, false, true, false);
    s.Frustum({0, 54, 0}, 27, {0, 106, 0}, 0, 7, light, false, true, false, 0.4f);
    s.Frustum({0, 82, 0}, 18, {0, 128, 0}, 0, 7, needles, false, true, false, 0.9f);
    return m;
}

XMesh Broadleaf() {
    XMesh m;
    Shaper s(m);
    int bark = m.AddMaterial(Mat(0x74502c));
    int leaf = m.AddMaterial(Mat(0x3aa040, 1.0f, 0.08f));
    int leaf2 = m.AddMaterial(Mat(0x58b848, 1.0f, 0.08f));
    s.Frustum({0, -4, 0}, 7, {0, 56, 0}, 4, 6, bark, false, false, true);
    auto blob = [&](V3 c, float r, int mat) {
        std::vector<V2> prof;
        for (int i = 0; i <= 4; ++i) {
            float a = kPi * i / 4;
            prof.push_back({std::fabs(r * std::sin(a)), r * std::cos(a) * 0.85f});
        }
        Xf keep = s.xf;
        s.xf = Translate(c);
        s.Lathe(prof, 7, mat, false, false);
        s.xf = keep;
    };
    blob({0, 78, 0}, 38, leaf);
    blob({-22, 62, 10}, 24, leaf2);
    blob({20, 66, -8}, 26, leaf2);
    Roughen(m, 4.0f, 0.0f, 11);
    return m;
}

XMesh Saguaro() {
    XMesh m;
    Shaper s(m);
    int green = m.AddMaterial(Mat(0x3c9040, 1.0f, 0.05f));
    int flower = m.AddMaterial(Mat(0xff5080, 1.0f, 0.3f));
    s.Frustum({0, -3, 0}, 7, {0, 62, 0}, 6, 8, green, false, false, false);
    s.Sphere({0, 62, 0}, 6, 8, 4, green);
    auto arm = [&](float side, float y0, float out, float top) {
        s.Frustum({0, y0, 0}, 4, {side * out, y0, 0}, 4, 8, green, false, false, false);
        s.Sphere({side * out, y0, 0}, 4, 8, 4, green);
        s.Frustum({side * out, y0, 0}, 4, {side * out, top, 0}, 3.6f, 8, green, false, false, false);
        s.Sphere({side * out, top, 0}, 3.6f, 8, 4, green);
    };
    arm(-1, 24, 17, 44);
    arm(1, 34, 15, 52);
    s.Sphere({0, 68.5f, 0}, 2.2f, 6, 3, flower);
    return m;
}

// A rugged peak standing away from the road; side -1 puts it out to the left, +1 to the right.
XMesh Mountain(float side, float radius, float height, bool twin, uint32_t seed) {
    XMesh m;
    Shaper s(m);
    int rock = m.AddMaterial(Mat(twin ? 0x5a6a88 : 0x7a6654));
    int snow = m.AddMaterial(Mat(0xf4f8ff, 1.0f, 0.2f));
    int grass = m.AddMaterial(Mat(twin ? 0x4a7a58 : 0x6a7a40));
    auto peak = [&](V3 c, float r, float h) {
        s.xf = Translate(c);
        s.Lathe({{0, h}, {r * 0.3f, h * 0.72f}, {r * 0.62f, h * 0.38f}, {r, 0.0f}, {r * 1.04f, -30.0f}}, 9, rock,
                false, false, 0.3f);
    };
    float cx = side * (radius + 40.0f);
    peak({cx, 0, 0}, radius, height);
    if (twin) peak({cx + side * radius * 0.7f, 0, radius * 0.5f}, radius * 0.75f, height * 0.8f);
    s.xf = Xf{};
    Roughen(m, radius * 0.09f, -30.0f, seed);
    CapAbove(m, height * 0.62f, snow);
    for (size_t f = 0; f < m.faces.size(); ++f) {
        float cy = 0;
        for (int i : m.faces[f]) cy += m.positions[i].y;
        if (cy / m.faces[f].size() < height * 0.12f) m.faceMaterial[f] = grass;
    }
    return m;
}

// Roadside chevron board facing the oncoming cars (-z), on two posts.
XMesh ArrowSign(float dir) {
    XMesh m;
    Shaper s(m);
    int board = m.AddMaterial(Mat(0xffd020, 1.0f, 0.35f));
    int mark = m.AddMaterial(Mat(0x202020));
    int back = m.AddMaterial(Mat(0x707880));
    int post = m.AddMaterial(Mat(0x9098a0));
    s.Box({-26, -4, -1.5f}, {-22, 34, 1.5f}, post);
    s.Box({22, -4, -1.5f}, {26, 34, 1.5f}, post);
    s.Card({0, 52, 0}, {36, 0, 0}, {0, 20, 0}, board, back);
    for (float off : {-18.0f, 6.0f}) {
        float x0 = dir * (off - 2), x1 = dir * (off + 10), x2 = dir * (off + 2);
        float xt = dir * (off + 14);
        // One chevron ">" (or "<"), a hair in front of the board.
        s.Poly({{x0, 66, -0.6f}, {x1, 66, -0.6f}, {xt, 52, -0.6f}, {x2, 52, -0.6f}}, mark, {0, 0, -1});
        s.Poly({{x2, 52, -0.6f}, {xt, 52, -0.6f}, {x1, 38, -0.6f}, {x0, 38, -0.6f}}, mark, {0, 0, -1});
    }
    return m;
}

XMesh BigScreen() {
    XMesh m;
    Shaper s(m);
    int frame = m.AddMaterial(Mat(0x30343c));
    int screen = m.AddMaterial(Mat(0xffffff, 1.0f, 0.9f, "tvscreen.bmp"));
    int pole = m.AddMaterial(Mat(0x8890a0));
    s.Frustum({0, -4, 8}, 6, {0, 70, 8}, 5, 8, pole, false, false, true);
    s.Box({-76, 66, 2}, {76, 156, 14}, frame);
    s.PolyUV({{-70, 150, 1.5f}, {70, 150, 1.5f}, {70, 72, 1.5f}, {-70, 72, 1.5f}},
             {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, screen, {0, 0, -1});
    return m;
}

// A tower block whose lit front faces the road; side -1 extends it out to the left.
XMesh Tower(float side, float height, float width, bool setback) {
    XMesh m;
    Shaper s(m);
    int wall = m.AddMaterial(Mat(0xffffff, 1.0f, 0.45f, "building.bmp"));
    int roof = m.AddMaterial(Mat(0x40444c));
    int beacon = m.AddMaterial(Mat(0xff2020, 1.0f, 1.0f));
    s.uvTile = 64.0f;
    float x0 = side < 0 ? -width : 0, x1 = side < 0 ? 0 : width;
    s.Box({x0, -10, -70}, {x1, height, 70}, roof, wall);
    float topH = height;
    if (setback) {
        float inset = width * 0.25f;
        s.Box({x0 + inset, height, -45}, {x1 - inset, height + 90, 45}, roof, wall);
        topH += 90;
    }
    s.uvTile = 0;
    float cx = (x0 + x1) * 0.5f;
    s.Frustum({cx, topH, 0}, 2, {cx, topH + 50, 0}, 1, 4, roof, false, false, false);
    s.Box({cx - 3, topH + 50, -3}, {cx + 3, topH + 56, 3}, beacon);
    return m;
}

// Street lamp whose arm reaches towards the road (+x for the left-hand lamp).
XMesh Lamp(float toRoad) {
    XMesh m;
    Shaper s(m);
    int steel = m.AddMaterial(Mat(0x8a929c));
    int lampMat = m.AddMaterial(Mat(0xfff0a0, 1.0f, 1.0f));
    s.Frustum({0, -4, 0}, 3.5f, {0, 150, 0}, 2.2f, 6, steel, false, false, true);
    s.Frustum({0, 148, 0}, 1.8f, {toRoad * 46, 156, 0}, 1.6f, 6, steel, false, true, true);
    s.Box({toRoad * 40 - 7, 150, -5}, {toRoad * 40 + 7, 155, 5}, steel);
    s.Box({toRoad * 40 - 6, 148, -4}, {toRoad * 40 + 6, 150, 4}, lampMat);
    return m;
}

// Start/finish gate: two pillars just outside the 200-wide road and a checkered beam above the
// banner (which hangs 65 to 105 above the road, 21 units before the line).
XMesh Gate() {
    XMesh m;
    Shaper s(m);
    int pillar = m.AddMaterial(Mat(0xe8ecf0, 1.0f, 0.2f));
    int band = m.AddMaterial(Mat(0xff2030, 1.0f, 0.3f));
    int checker = m.AddMaterial(Mat(0xffffff, 1.0f, 0.5f, "gate.bmp"));
    int lampMat = m.AddMaterial(Mat(0x40ff60, 1.0f, 1.0f));
    for (float sx : {-1.0f, 1.0f}) {
        float a = sx * 104, b = sx * 120;
        s.Box({std::fmin(a, b), -2, -7}, {std::fmax(a, b), 150, 7}, pillar);
        for (float y : {20.0f, 60.0f, 100.0f}) s.Box({std::fmin(a, b) - 0.5f, y, -7.5f}, {std::fmax(a, b) + 0.5f, y + 12, 7.5f}, band);
        s.Box({std::fmin(a, b) + 3, 150, -4}, {std::fmax(a, b) - 3, 158, 4}, lampMat);
    }
    s.uvTile = 16.0f;
    s.Box({-120, 116, -6}, {120, 140, 6}, pillar, checker);
    return m;
}

XMesh Crystal(unsigned rgb, float r, float h, int sides, bool spikes) {
    XMesh m;
    Shaper s(m);
    int body = m.AddMaterial(Mat(rgb, 0.85f, 0.35f));
    int bright = m.AddMaterial(Mat(0xffffff, 0.9f, 0.6f));
    s.Lathe({{0, h}, {r, h * 0.15f}, {r, -h * 0.15f}, {0, -h}}, sides, body, false, false);
    s.Lathe({{r * 1.02f, h * 0.05f}, {r * 1.02f, -h * 0.05f}}, sides, bright, false, false);
    if (spikes) {
        for (int i = 0; i < 4; ++i) {
            float a = kPi * 0.5f * i + kPi * 0.25f;
            V3 dir{std::cos(a), 0, std::sin(a)};
            s.Frustum(dir * (r * 0.6f), r * 0.35f, dir * (r * 1.9f), 0.0f, 4, body, false, false, false);
        }
    }
    return m;
}

// Title letters: thick strokes of 40 extruded 40 deep, in a box 170 wide and 220 high about the
// origin, so each turns about its own middle.
XMesh Letter(char c) {
    XMesh m;
    Shaper s(m);
    // Barely self-lit: the title brings the letters up from black with its ambient light.
    int face = m.AddMaterial(Mat(0x2c6cff, 1.0f, 0.08f));
    int side = m.AddMaterial(Mat(0xb8e0ff, 1.0f, 0.08f));
    const float half = 20.0f, depth = 20.0f;
    auto stroke = [&](float x0, float y0, float x1, float y1) {
        float dx = x1 - x0, dy = y1 - y0, l = std::sqrt(dx * dx + dy * dy);
        float ux = dx / l * half, uy = dy / l * half;  // along, half a width long
        float px = -uy, py = ux;                       // across
        s.Prism({{x0 - ux - px, y0 - uy - py}, {x1 + ux - px, y1 + uy - py}, {x1 + ux + px, y1 + uy + py},
                 {x0 - ux + px, y0 - uy + py}},
                -depth, depth, face, side);
    };
    switch (c) {
        case 'K':
            stroke(-65, -90, -65, 90);
            stroke(-45, 0, 65, 90);
            stroke(-20, 15, 65, -90);
            break;
        case 'O': {
            // An octagonal ring.
            const V2 outer[8] = {{-45, 110}, {45, 110}, {85, 70}, {85, -70}, {45, -110}, {-45, -110}, {-85, -70}, {-85, 70}};
            const V2 inner[8] = {{-28, 70}, {28, 70}, {45, 53}, {45, -53}, {28, -70}, {-28, -70}, {-45, -53}, {-45, 53}};
            for (int i = 0; i < 8; ++i) {
                int j = (i + 1) % 8;
                s.Prism({outer[i], outer[j], inner[j], inner[i]}, -depth, depth, face, side);
            }
            break;
        }
        case 'R':
            stroke(-65, -90, -65, 90);
            stroke(-65, 90, 35, 90);
            stroke(35, 90, 65, 62);
            stroke(65, 62, 65, 28);
            stroke(65, 28, 35, 0);
            stroke(35, 0, -65, 0);
            stroke(10, 0, 65, -90);
            break;
        case 'V':
            stroke(-65, 90, 0, -85);
            stroke(65, 90, 0, -85);
            break;
        case 'A':
            stroke(-65, -90, 0, 85);
            stroke(65, -90, 0, 85);
            stroke(-38, -22, 38, -22);
            break;
        case 'N':
            stroke(-65, -90, -65, 90);
            stroke(65, -90, 65, 90);
            stroke(-65, 90, 65, -90);
            break;
        default:
            break;
    }
    return m;
}

}  // namespace

void WriteSceneryMeshes(VisOutput& out) {
    XMesh nothing;
    out.Mesh("Null.x", nothing);
    out.Mesh("NULL.x", nothing);
    out.Mesh("Gate.x", Gate());
    out.Mesh("SupplyCrystal.x", Crystal(0x30d8ff, 5.0f, 9.0f, 6, false));
    out.Mesh("BoostCrystal.x", Crystal(0xff5020, 5.5f, 10.0f, 8, true));
    for (char c : std::string("KORVAN")) out.Mesh(std::string(1, c) + ".x", Letter(c));

    out.Mesh("TreeL.x", Pine());
    out.Mesh("TreeR.x", Broadleaf());
    out.Mesh("MountainL1.x", Mountain(-1, 260, 420, false, 1));
    out.Mesh("MountainR1.x", Mountain(1, 260, 420, false, 2));
    out.Mesh("MountainL2.x", Mountain(-1, 200, 300, true, 3));
    out.Mesh("MountainR2.x", Mountain(1, 200, 300, true, 4));
    out.Mesh("Arrow1.x", ArrowSign(-1));
    out.Mesh("Arrow2.x", ArrowSign(1));
    out.Mesh("TV.x", BigScreen());
    out.Mesh("BuildingL.x", Tower(-1, 320, 170, false));
    out.Mesh("BuildingR.x", Tower(1, 300, 150, true));
    out.Mesh("Cactus.x", Saguaro());
    out.Mesh("PoleL.x", Lamp(1));
    out.Mesh("PoleR.x", Lamp(-1));
}
