#include "tools/assetgen/mesh_shapes.h"

#include <algorithm>

Xf Translate(V3 t) {
    Xf m;
    m.t = t;
    return m;
}

Xf Scale(V3 s) {
    Xf m;
    m.r0 = {s.x, 0, 0};
    m.r1 = {0, s.y, 0};
    m.r2 = {0, 0, s.z};
    return m;
}

// Rotations follow the game's left-handed convention (RotY turns +z towards +x for a positive angle).
Xf RotX(float a) {
    Xf m;
    float c = std::cos(a), s = std::sin(a);
    m.r1 = {0, c, s};
    m.r2 = {0, -s, c};
    return m;
}

Xf RotY(float a) {
    Xf m;
    float c = std::cos(a), s = std::sin(a);
    m.r0 = {c, 0, -s};
    m.r2 = {s, 0, c};
    return m;
}

Xf RotZ(float a) {
    Xf m;
    float c = std::cos(a), s = std::sin(a);
    m.r0 = {c, s, 0};
    m.r1 = {-s, c, 0};
    return m;
}

static V3 RowTimes(V3 v, const Xf& m) { return m.r0 * v.x + m.r1 * v.y + m.r2 * v.z; }

Xf operator*(const Xf& a, const Xf& b) {
    Xf m;
    m.r0 = RowTimes(a.r0, b);
    m.r1 = RowTimes(a.r1, b);
    m.r2 = RowTimes(a.r2, b);
    m.t = RowTimes(a.t, b) + b.t;
    return m;
}

V3 ApplyPoint(const Xf& m, V3 p) { return RowTimes(p, m) + m.t; }

// Normals go through the inverse transpose: the cofactors of the 3x3 part, which keeps the side
// a normal points to under mirroring and non-uniform scaling.
V3 ApplyNormal(const Xf& m, V3 n) {
    V3 c0 = Cross(m.r1, m.r2), c1 = Cross(m.r2, m.r0), c2 = Cross(m.r0, m.r1);
    float det = Dot(m.r0, c0);
    V3 r = c0 * n.x + c1 * n.y + c2 * n.z;  // n times the cofactor matrix, rows c0 c1 c2
    return Normalize(det < 0 ? -r : r);
}

static V3 FaceNormal(const std::vector<V3>& p) {
    V3 n{0, 0, 0};
    for (size_t i = 1; i + 1 < p.size(); ++i) n = n + Cross(p[i] - p[0], p[i + 1] - p[0]);
    return Normalize(n);
}

static void PlanarUV(const std::vector<V3>& p, V3 n, float tile, std::vector<V2>& uv) {
    float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    uv.clear();
    for (const V3& q : p) {
        V2 t;
        if (ax >= ay && ax >= az) t = {q.z, -q.y};
        else if (ay >= az) t = {q.x, q.z};
        else t = {q.x, -q.y};
        uv.push_back(t);
    }
    if (tile > 0) {
        for (V2& t : uv) t = {t.u / tile, t.v / tile};
        return;
    }
    V2 lo = uv[0], hi = uv[0];
    for (const V2& t : uv) {
        lo = {std::fmin(lo.u, t.u), std::fmin(lo.v, t.v)};
        hi = {std::fmax(hi.u, t.u), std::fmax(hi.v, t.v)};
    }
    for (V2& t : uv) {
        t = {(t.u - lo.u) / std::fmax(hi.u - lo.u, 1e-6f), (t.v - lo.v) / std::fmax(hi.v - lo.v, 1e-6f)};
    }
}

void Shaper::PolyUV(std::vector<V3> pts, std::vector<V2> uv, int mat, V3 outward) {
    for (V3& p : pts) p = ApplyPoint(xf, p);
    V3 n = FaceNormal(pts);
    if (Dot(n, ApplyNormal(xf, outward)) < 0) {
        std::reverse(pts.begin(), pts.end());
        std::reverse(uv.begin(), uv.end());
        n = -n;
    }
    std::vector<int> idx;
    for (size_t i = 0; i < pts.size(); ++i) idx.push_back(mesh.AddVertex(pts[i], n, uv[i]));
    if (idx.size() <= 4) {
        mesh.AddFace(idx, mat);
        return;
    }
    for (size_t i = 1; i + 1 < idx.size(); ++i) mesh.AddFace({idx[0], idx[i], idx[i + 1]}, mat);
}

void Shaper::Poly(std::vector<V3> pts, int mat, V3 outward) {
    std::vector<V3> world;
    for (const V3& p : pts) world.push_back(ApplyPoint(xf, p));
    V3 n = FaceNormal(world);
    if (Dot(n, ApplyNormal(xf, outward)) < 0) n = -n;
    std::vector<V2> uv;
    PlanarUV(world, n, uvTile, uv);
    PolyUV(pts, uv, mat, outward);
}

void Shaper::Box(V3 a, V3 b, int mat, int sideMat) {
    int s = sideMat >= 0 ? sideMat : mat;
    Poly({{a.x, b.y, a.z}, {b.x, b.y, a.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}}, mat, {0, 1, 0});
    Poly({{a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, a.y, b.z}, {a.x, a.y, b.z}}, mat, {0, -1, 0});
    Poly({{a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, b.y, a.z}, {a.x, b.y, a.z}}, s, {0, 0, -1});
    Poly({{a.x, a.y, b.z}, {b.x, a.y, b.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}}, s, {0, 0, 1});
    Poly({{a.x, a.y, a.z}, {a.x, b.y, a.z}, {a.x, b.y, b.z}, {a.x, a.y, b.z}}, s, {-1, 0, 0});
    Poly({{b.x, a.y, a.z}, {b.x, b.y, a.z}, {b.x, b.y, b.z}, {b.x, a.y, b.z}}, s, {1, 0, 0});
}

void Shaper::Prism(const std::vector<V2>& o, float z0, float z1, int capMat, int sideMat) {
    std::vector<V3> front, back;
    for (const V2& p : o) {
        front.push_back({p.u, p.v, z0});
        back.push_back({p.u, p.v, z1});
    }
    Poly(front, capMat, {0, 0, z0 < z1 ? -1.0f : 1.0f});
    Poly(back, capMat, {0, 0, z0 < z1 ? 1.0f : -1.0f});
    V2 c{0, 0};
    for (const V2& p : o) c = {c.u + p.u / o.size(), c.v + p.v / o.size()};
    for (size_t i = 0; i < o.size(); ++i) {
        const V2& p = o[i];
        const V2& q = o[(i + 1) % o.size()];
        V3 mid{(p.u + q.u) * 0.5f - c.u, (p.v + q.v) * 0.5f - c.v, 0};
        Poly({{p.u, p.v, z0}, {q.u, q.v, z0}, {q.u, q.v, z1}, {p.u, p.v, z1}}, sideMat, mid);
    }
}

void Shaper::Frustum(V3 a, float ra, V3 b, float rb, int sides, int mat, bool smooth, bool capA, bool capB,
                     float phase) {
    V3 axis = Normalize(b - a);
    V3 helper = std::fabs(axis.y) < 0.9f ? V3{0, 1, 0} : V3{1, 0, 0};
    V3 u = Normalize(Cross(helper, axis));
    V3 v = Cross(axis, u);
    std::vector<V3> ringA, ringB, dirs;
    for (int i = 0; i < sides; ++i) {
        float t = phase + 2 * kPi * i / sides;
        V3 d = u * std::cos(t) + v * std::sin(t);
        dirs.push_back(d);
        ringA.push_back(a + d * ra);
        ringB.push_back(b + d * rb);
    }
    float slope = (ra - rb) / std::fmax(Length(b - a), 1e-6f);
    for (int i = 0; i < sides; ++i) {
        int j = (i + 1) % sides;
        V3 out = Normalize(dirs[i] + dirs[j]);
        if (!smooth) {
            Poly({ringA[i], ringA[j], ringB[j], ringB[i]}, mat, out);
            continue;
        }
        std::vector<V3> pts{ApplyPoint(xf, ringA[i]), ApplyPoint(xf, ringA[j]), ApplyPoint(xf, ringB[j]),
                            ApplyPoint(xf, ringB[i])};
        std::vector<V3> ns{ApplyNormal(xf, Normalize(dirs[i] + axis * slope)),
                           ApplyNormal(xf, Normalize(dirs[j] + axis * slope)),
                           ApplyNormal(xf, Normalize(dirs[j] + axis * slope)),
                           ApplyNormal(xf, Normalize(dirs[i] + axis * slope))};
        std::vector<V2> uv{{float(i) / sides, 1}, {float(i + 1) / sides, 1}, {float(i + 1) / sides, 0},
                           {float(i) / sides, 0}};
        if (Dot(FaceNormal(pts), ApplyNormal(xf, out)) < 0) {
            std::reverse(pts.begin(), pts.end());
            std::reverse(ns.begin(), ns.end());
            std::reverse(uv.begin(), uv.end());
        }
        std::vector<int> idx;
        for (int k = 0; k < 4; ++k) idx.push_back(mesh.AddVertex(pts[k], ns[k], uv[k]));
        mesh.AddFace(idx, mat);
    }
    if (capA && ra > 0) Poly(ringA, mat, -axis);
    if (capB && rb > 0) Poly(ringB, mat, axis);
}

void Shaper::Lathe(const std::vector<V2>& prof, int sides, int mat, bool smooth, bool inward, float uTurns,
                   float phase, float vTop, float vBottom) {
    size_t n = prof.size();
    // Profile normals in the (radius, height) plane, pointing away from the axis side of the profile.
    std::vector<V2> segN;
    for (size_t i = 0; i + 1 < n; ++i) {
        float dr = prof[i + 1].u - prof[i].u, dy = prof[i + 1].v - prof[i].v;
        float l = std::sqrt(dr * dr + dy * dy);
        // Walking down the profile (top to bottom), the outside lies to the left of the direction.
        segN.push_back(l > 0 ? V2{-dy / l, dr / l} : V2{1, 0});
    }
    auto pointAt = [&](size_t i, int j) {
        float t = phase + 2 * kPi * j / sides;
        return V3{prof[i].u * std::cos(t), prof[i].v, prof[i].u * std::sin(t)};
    };
    auto normalAt = [&](V2 pn, int j) {
        float t = phase + 2 * kPi * j / sides;
        V3 nn{pn.u * std::cos(t), pn.v, pn.u * std::sin(t)};
        return inward ? -nn : nn;
    };
    for (size_t i = 0; i + 1 < n; ++i) {
        for (int j = 0; j < sides; ++j) {
            V3 local[4] = {pointAt(i, j), pointAt(i, j + 1), pointAt(i + 1, j + 1), pointAt(i + 1, j)};
            float v0 = vTop + (vBottom - vTop) * i / (n - 1), v1 = vTop + (vBottom - vTop) * (i + 1) / (n - 1);
            float u0 = uTurns * j / sides, u1 = uTurns * (j + 1) / sides;
            V2 uv[4] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
            V2 pn[4];
            for (int k = 0; k < 4; ++k) {
                size_t row = (k < 2) ? i : i + 1;
                if (!smooth) pn[k] = segN[i];
                else if (row == 0) pn[k] = segN[0];
                else if (row == n - 1) pn[k] = segN[n - 2];
                else {
                    V2 s = {segN[row - 1].u + segN[row].u, segN[row - 1].v + segN[row].v};
                    float l = std::sqrt(s.u * s.u + s.v * s.v);
                    pn[k] = l > 0 ? V2{s.u / l, s.v / l} : segN[row];
                }
            }
            int js[4] = {j, j + 1, j + 1, j};
            std::vector<V3> pts;
            std::vector<V3> ns;
            std::vector<V2> uvs;
            for (int k = 0; k < 4; ++k) {
                pts.push_back(ApplyPoint(xf, local[k]));
                ns.push_back(ApplyNormal(xf, normalAt(pn[k], js[k])));
                uvs.push_back(uv[k]);
            }
            // Collapse the corner pair that sits on the axis into a triangle.
            bool topPole = prof[i].u < 1e-4f, bottomPole = prof[i + 1].u < 1e-4f;
            if (topPole && bottomPole) continue;
            V3 want = ApplyNormal(xf, normalAt(segN[i], j) + normalAt(segN[i], j + 1));
            if (topPole) {
                pts.erase(pts.begin()); ns.erase(ns.begin()); uvs.erase(uvs.begin());
            } else if (bottomPole) {
                pts.pop_back(); ns.pop_back(); uvs.pop_back();
            }
            if (Dot(FaceNormal(pts), want) < 0) {
                std::reverse(pts.begin(), pts.end());
                std::reverse(ns.begin(), ns.end());
                std::reverse(uvs.begin(), uvs.end());
            }
            std::vector<int> idx;
            for (size_t k = 0; k < pts.size(); ++k) {
                idx.push_back(mesh.AddVertex(pts[k], smooth ? ns[k] : FaceNormal(pts), uvs[k]));
            }
            mesh.AddFace(idx, mat);
        }
    }
}

static V3 Centroid(const std::vector<V3>& r) {
    V3 c{0, 0, 0};
    for (const V3& p : r) c = c + p;
    return c * (1.0f / r.size());
}

void Shaper::Loft(const std::vector<std::vector<V3>>& rings, const std::vector<int>& edgeMats, bool capFirst,
                  bool capLast) {
    for (size_t i = 0; i + 1 < rings.size(); ++i) {
        const auto& a = rings[i];
        const auto& b = rings[i + 1];
        V3 c = (Centroid(a) + Centroid(b)) * 0.5f;
        for (size_t k = 0; k < a.size(); ++k) {
            size_t k2 = (k + 1) % a.size();
            V3 mid = (a[k] + a[k2] + b[k] + b[k2]) * 0.25f;
            int mat = edgeMats[k % edgeMats.size()];
            bool degenerateA = Length(a[k] - a[k2]) < 1e-5f, degenerateB = Length(b[k] - b[k2]) < 1e-5f;
            if (degenerateA && degenerateB) continue;
            if (degenerateA) Poly({a[k], b[k2], b[k]}, mat, mid - c);
            else if (degenerateB) Poly({a[k], a[k2], b[k]}, mat, mid - c);
            else Poly({a[k], a[k2], b[k2], b[k]}, mat, mid - c);
        }
    }
    if (capFirst) Poly(rings.front(), edgeMats[0], Centroid(rings.front()) - Centroid(rings[1]));
    if (capLast) Poly(rings.back(), edgeMats[0], Centroid(rings.back()) - Centroid(rings[rings.size() - 2]));
}

void Shaper::Sphere(V3 c, float r, int sides, int rings, int mat) {
    std::vector<V2> prof;
    for (int i = 0; i <= rings; ++i) {
        float a = kPi * i / rings;
        prof.push_back({r * std::sin(a), r * std::cos(a)});
    }
    Xf keep = xf;
    xf = Translate(c) * keep;
    Lathe(prof, sides, mat, true, false);
    xf = keep;
}

void Shaper::Card(V3 c, V3 right, V3 up, int frontMat, int backMat) {
    V3 a = c - right - up, b = c + right - up, d = c + right + up, e = c - right + up;
    // Left-handed: the side seen with `right` to the right and `up` upwards faces up x right.
    V3 front = Cross(up, right);
    PolyUV({e, d, b, a}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, frontMat, front);
    PolyUV({d, e, a, b}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, backMat, -front);
}
