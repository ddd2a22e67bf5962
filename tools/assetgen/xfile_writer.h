// A mesh under construction and its writer to the DirectX text format ("xof 0302txt 0032").
// Coordinates are the game's: left-handed world units, +x right, +y up, +z forward. A face is front
// facing when its corners run clockwise as seen by the viewer, which for these coordinates means
// (p1 - p0) x (p2 - p0) points towards the viewer: the writer stores faces exactly as given.
#pragma once
#include <cmath>
#include <string>
#include <vector>

struct V3 {
    float x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator-(V3 a) { return {-a.x, -a.y, -a.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 operator*(float s, V3 a) { return a * s; }
inline float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(V3 a) { return std::sqrt(Dot(a, a)); }
inline V3 Normalize(V3 a) {
    float l = Length(a);
    return l > 1e-12f ? a * (1.0f / l) : V3{0, 1, 0};
}

struct V2 {
    float u = 0, v = 0;
};

// One subset's material: colours are 0..1, alpha in faceColor; texture is a file in the data dir.
struct XMaterial {
    float r = 1, g = 1, b = 1, a = 1;
    float power = 8;
    float sr = 0, sg = 0, sb = 0;  // specular
    float er = 0, eg = 0, eb = 0;  // emissive
    std::string texture;
};

// Material from a 0xRRGGBB colour with an optional glow (0 none .. 1 fully self-lit) and texture.
XMaterial Mat(unsigned rgb, float alpha = 1.0f, float glow = 0.0f, const std::string& texture = {});

struct XMesh {
    std::vector<V3> positions;
    std::vector<V3> normals;      // one per position
    std::vector<V2> uvs;          // one per position
    std::vector<std::vector<int>> faces;  // 3 or 4 indices each
    std::vector<int> faceMaterial;        // one per face
    std::vector<XMaterial> materials;

    int AddMaterial(const XMaterial& m);  // reuses an identical material
    int AddVertex(V3 p, V3 n, V2 uv);
    void AddFace(const std::vector<int>& idx, int material);
    bool Empty() const { return faces.empty(); }
    void Append(const XMesh& other);      // merges another mesh with its materials
};

// The whole file as text; a mesh without faces gives a valid file whose one mesh is empty.
std::string FormatXFile(const XMesh& mesh, const std::string& meshName);
