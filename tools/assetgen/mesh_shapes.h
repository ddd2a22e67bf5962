// Low-poly building blocks for the game's models: flat polygons, boxes, prisms, turned (lathe)
// shapes and domes, each added to an XMesh through a placement transform. Every face is oriented by
// an outward hint, so mirrored or rotated parts keep their front faces pointing out.
#pragma once
#include "tools/assetgen/xfile_writer.h"

// Affine placement with row vectors, as the game composes its matrices: p' = p.x r0 + p.y r1 + p.z r2 + t.
struct Xf {
    V3 r0{1, 0, 0}, r1{0, 1, 0}, r2{0, 0, 1};
    V3 t{0, 0, 0};
};
Xf Translate(V3 t);
Xf Scale(V3 s);
Xf RotX(float a);
Xf RotY(float a);
Xf RotZ(float a);
Xf operator*(const Xf& first, const Xf& then);  // apply first, then then
V3 ApplyPoint(const Xf& m, V3 p);
V3 ApplyNormal(const Xf& m, V3 n);

constexpr float kPi = 3.14159265358979f;

struct Shaper {
    explicit Shaper(XMesh& m) : mesh(m) {}
    XMesh& mesh;
    Xf xf;               // placement of everything added next
    float uvTile = 0;    // planar texture coordinates: world units per texture repeat (0: stretch once)

    // A convex polygon given in local coordinates; its front faces the side of `outward` (local).
    void Poly(std::vector<V3> pts, int mat, V3 outward);
    // The same with explicit texture coordinates per corner.
    void PolyUV(std::vector<V3> pts, std::vector<V2> uv, int mat, V3 outward);
    // Axis-aligned box; sideMat for the four sides when >= 0, else mat everywhere.
    void Box(V3 mn, V3 mx, int mat, int sideMat = -1);
    // Straight prism of a convex outline in the x-y plane, from z0 to z1.
    void Prism(const std::vector<V2>& outline, float z0, float z1, int capMat, int sideMat);
    // Tapered n-sided tube from a to b (radii ra, rb), closed by caps when asked.
    void Frustum(V3 a, float ra, V3 b, float rb, int sides, int mat, bool smooth, bool capA, bool capB,
                 float phase = 0.0f);
    // Profile of (radius, height) points from top to bottom turned about the y axis; smooth normals
    // when asked; inward faces for domes seen from inside. u runs around uTurns times, v down the profile.
    void Lathe(const std::vector<V2>& profile, int sides, int mat, bool smooth, bool inward,
               float uTurns = 1.0f, float phase = 0.0f, float vTop = 0.0f, float vBottom = 1.0f);
    // Skin through rings of equal point count (each ring a closed loop); edge k of every segment
    // takes edgeMats[k % size]; the first and last rings are capped when asked.
    void Loft(const std::vector<std::vector<V3>>& rings, const std::vector<int>& edgeMats, bool capFirst,
              bool capLast);
    // A sphere (smooth) of radius r at c.
    void Sphere(V3 c, float r, int sides, int rings, int mat);
    // A flat rectangle with both faces, for signs and banners; uv spans 0..1 across it.
    void Card(V3 centre, V3 right, V3 up, int frontMat, int backMat);
};
