// Reading back what the generator wrote, and looking at it without the game: a reader for the
// generator's own ".x" text files and 24-bit BMPs, and a small software rasteriser with the game's
// conventions (left-handed, row vectors, counter-clockwise faces culled) that draws meshes into an
// RGB canvas, so a contact sheet of every model can be produced and inspected. Header-only so the
// generator and the tests can both use it.
#pragma once
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace sheet {

struct Vec {
    float x = 0, y = 0, z = 0;
};
inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec operator*(Vec a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline Vec Unit(Vec a) {
    float l = std::sqrt(Dot(a, a));
    return l > 1e-12f ? a * (1 / l) : Vec{0, 1, 0};
}

struct Material {
    float r = 1, g = 1, b = 1, a = 1;
    float er = 0, eg = 0, eb = 0;
    std::string texture;
};

struct Mesh {
    std::vector<Vec> positions, normals;
    std::vector<float> uvs;  // two per position
    std::vector<std::vector<int>> faces, normalFaces;
    std::vector<int> faceMaterial;
    std::vector<Material> materials;
    Vec lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
};

// ---- .x text reader -------------------------------------------------------------------------

class Tokens {
public:
    explicit Tokens(const std::string& text) : s_(text) {}
    // Next token: "{", "}", a word, a number or a quoted string (quotes removed); "" at the end.
    std::string Next() {
        for (;;) {
            while (pos_ < s_.size() && (std::isspace(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == ';' || s_[pos_] == ',')) ++pos_;
            if (pos_ + 1 < s_.size() && s_[pos_] == '/' && s_[pos_ + 1] == '/') {
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == '#') {
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
                continue;
            }
            break;
        }
        if (pos_ >= s_.size()) return "";
        char c = s_[pos_];
        if (c == '{' || c == '}') return std::string(1, s_[pos_++]);
        if (c == '"') {
            size_t end = s_.find('"', pos_ + 1);
            if (end == std::string::npos) {
                pos_ = s_.size();
                return "";
            }
            std::string t = s_.substr(pos_ + 1, end - pos_ - 1);
            pos_ = end + 1;
            return "\"" + t;
        }
        size_t start = pos_;
        while (pos_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[pos_])) && s_[pos_] != ';' && s_[pos_] != ',' &&
               s_[pos_] != '{' && s_[pos_] != '}')
            ++pos_;
        return s_.substr(start, pos_ - start);
    }
    std::string Peek() {
        size_t keep = pos_;
        std::string t = Next();
        pos_ = keep;
        return t;
    }
    bool Number(float& v) {
        std::string t = Next();
        char* end = nullptr;
        v = std::strtof(t.c_str(), &end);
        return !t.empty() && end && *end == '\0';
    }
    bool Int(long& v) {
        std::string t = Next();
        char* end = nullptr;
        v = std::strtol(t.c_str(), &end, 10);
        return !t.empty() && end && *end == '\0';
    }
    // Skips to the brace closing a block whose "{" was already read.
    bool SkipBlock() {
        int depth = 1;
        while (depth > 0) {
            std::string t = Next();
            if (t.empty()) return false;
            if (t == "{") ++depth;
            if (t == "}") --depth;
        }
        return true;
    }

private:
    const std::string& s_;
    size_t pos_ = 0;
};

inline bool ReadFaceList(Tokens& tk, size_t vertexCount, std::vector<std::vector<int>>& faces, std::string& err) {
    long nf;
    if (!tk.Int(nf) || nf < 0 || nf > 10000000) return err = "bad face count", false;
    faces.assign(static_cast<size_t>(nf), {});
    for (auto& f : faces) {
        long k;
        if (!tk.Int(k) || k < 3 || k > 64) return err = "bad face size", false;
        for (long i = 0; i < k; ++i) {
            long v;
            if (!tk.Int(v) || v < 0 || static_cast<size_t>(v) >= vertexCount) return err = "face index out of range", false;
            f.push_back(static_cast<int>(v));
        }
    }
    return true;
}

inline bool ReadOpen(Tokens& tk, std::string& err) {
    std::string t = tk.Next();
    if (t != "{") {
        t = tk.Next();  // an optional name before the brace
        if (t != "{") return err = "expected {", false;
    }
    return true;
}

inline bool ReadMaterial(Tokens& tk, Material& m, std::string& err) {
    if (!ReadOpen(tk, err)) return false;
    float power, sr, sg, sb;
    if (!tk.Number(m.r) || !tk.Number(m.g) || !tk.Number(m.b) || !tk.Number(m.a) || !tk.Number(power) || !tk.Number(sr) ||
        !tk.Number(sg) || !tk.Number(sb) || !tk.Number(m.er) || !tk.Number(m.eg) || !tk.Number(m.eb))
        return err = "bad material", false;
    for (;;) {
        std::string t = tk.Next();
        if (t == "}") return true;
        if (t == "TextureFilename") {
            if (!ReadOpen(tk, err)) return false;
            std::string name = tk.Next();
            if (name.empty() || name[0] != '"') return err = "bad texture name", false;
            m.texture = name.substr(1);
            if (tk.Next() != "}") return err = "bad texture block", false;
        } else if (t.empty()) {
            return err = "unterminated material", false;
        } else if (t == "{") {
            if (!tk.SkipBlock()) return err = "unterminated block", false;
        }
    }
}

inline bool ReadMesh(Tokens& tk, Mesh& m, std::string& err) {
    if (!ReadOpen(tk, err)) return false;
    long nv;
    if (!tk.Int(nv) || nv < 0 || nv > 10000000) return err = "bad vertex count", false;
    m.positions.resize(static_cast<size_t>(nv));
    for (Vec& p : m.positions) {
        if (!tk.Number(p.x) || !tk.Number(p.y) || !tk.Number(p.z)) return err = "bad vertex", false;
    }
    if (!ReadFaceList(tk, m.positions.size(), m.faces, err)) return false;
    m.faceMaterial.assign(m.faces.size(), 0);
    for (;;) {
        std::string t = tk.Next();
        if (t == "}") break;
        if (t.empty()) return err = "unterminated mesh", false;
        if (t == "MeshNormals") {
            if (!ReadOpen(tk, err)) return false;
            long nn;
            if (!tk.Int(nn) || nn < 0 || nn > 10000000) return err = "bad normal count", false;
            m.normals.resize(static_cast<size_t>(nn));
            for (Vec& n : m.normals) {
                if (!tk.Number(n.x) || !tk.Number(n.y) || !tk.Number(n.z)) return err = "bad normal", false;
            }
            if (!ReadFaceList(tk, m.normals.size(), m.normalFaces, err)) return false;
            if (tk.Next() != "}") return err = "bad normals block", false;
        } else if (t == "MeshTextureCoords") {
            if (!ReadOpen(tk, err)) return false;
            long n;
            if (!tk.Int(n) || n < 0 || n > 10000000) return err = "bad uv count", false;
            m.uvs.resize(static_cast<size_t>(n) * 2);
            for (float& v : m.uvs) {
                if (!tk.Number(v)) return err = "bad uv", false;
            }
            if (tk.Next() != "}") return err = "bad uv block", false;
        } else if (t == "MeshMaterialList") {
            if (!ReadOpen(tk, err)) return false;
            long nm, nfi;
            if (!tk.Int(nm) || !tk.Int(nfi) || nm < 0 || nfi < 0 || nm > 65536) return err = "bad material list", false;
            std::vector<int> idx(static_cast<size_t>(nfi));
            for (int& i : idx) {
                long v;
                if (!tk.Int(v) || v < 0 || v >= nm) return err = "material index out of range", false;
                i = static_cast<int>(v);
            }
            for (size_t f = 0; f < m.faces.size(); ++f) m.faceMaterial[f] = idx.empty() ? 0 : idx[std::min(f, idx.size() - 1)];
            for (;;) {
                std::string u = tk.Next();
                if (u == "}") break;
                if (u == "Material") {
                    Material mat;
                    if (!ReadMaterial(tk, mat, err)) return false;
                    m.materials.push_back(mat);
                } else {
                    return err = "unexpected token in material list: " + u, false;
                }
            }
            if (static_cast<long>(m.materials.size()) != nm) return err = "material count mismatch", false;
        } else if (t == "{") {
            if (!tk.SkipBlock()) return err = "unterminated block", false;
        } else {
            if (!ReadOpen(tk, err) || !tk.SkipBlock()) return err = "bad block " + t, false;
        }
    }
    return true;
}

inline bool ReadBlocks(Tokens& tk, std::vector<Mesh>& meshes, std::string& err, bool inner) {
    for (;;) {
        std::string t = tk.Next();
        if (t.empty()) return inner ? (err = "unterminated frame", false) : true;
        if (t == "}") return inner ? true : (err = "stray }", false);
        if (t == "Mesh") {
            Mesh m;
            if (!ReadMesh(tk, m, err)) return false;
            meshes.push_back(std::move(m));
        } else if (t == "Frame") {
            if (!ReadOpen(tk, err) || !ReadBlocks(tk, meshes, err, true)) return false;
        } else if (t == "template" || t == "FrameTransformMatrix" || t == "Header") {
            if (!ReadOpen(tk, err) || !tk.SkipBlock()) return false;
        } else {
            return err = "unexpected token " + t, false;
        }
    }
}

// Reads the file's meshes and merges them into one; false with a reason for anything malformed.
inline bool ReadXFile(const std::string& path, Mesh& out, std::string& err) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return err = "cannot open", false;
    std::stringstream ss;
    ss << f.rdbuf();
    std::string text = ss.str();
    if (text.compare(0, 16, "xof 0302txt 0032") != 0) return err = "not a DirectX text file", false;
    std::string body = text.substr(16);
    Tokens tk(body);
    std::vector<Mesh> meshes;
    if (!ReadBlocks(tk, meshes, err, false)) return false;
    if (meshes.empty()) return err = "no mesh in the file", false;
    out = Mesh{};
    for (Mesh& m : meshes) {
        if (m.faces.empty() && m.positions.empty()) continue;  // an empty placeholder mesh
        if (m.normals.size() != m.positions.size() || m.uvs.size() != m.positions.size() * 2 || m.materials.empty())
            return err = "mesh lacks normals, texture coordinates or materials", false;
        int base = static_cast<int>(out.positions.size()), mbase = static_cast<int>(out.materials.size());
        out.positions.insert(out.positions.end(), m.positions.begin(), m.positions.end());
        out.normals.insert(out.normals.end(), m.normals.begin(), m.normals.end());
        out.uvs.insert(out.uvs.end(), m.uvs.begin(), m.uvs.end());
        out.materials.insert(out.materials.end(), m.materials.begin(), m.materials.end());
        for (size_t i = 0; i < m.faces.size(); ++i) {
            std::vector<int> f = m.faces[i];
            for (int& v : f) v += base;
            out.faces.push_back(f);
            out.faceMaterial.push_back(m.faceMaterial[i] + mbase);
        }
    }
    for (const Vec& p : out.positions) {
        out.lo = {std::min(out.lo.x, p.x), std::min(out.lo.y, p.y), std::min(out.lo.z, p.z)};
        out.hi = {std::max(out.hi.x, p.x), std::max(out.hi.y, p.y), std::max(out.hi.z, p.z)};
    }
    return true;
}

// ---- BMP reader -------------------------------------------------------------------------------

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;  // top row first
};

inline uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// Accepts exactly what the game's textures are: uncompressed 24-bit BMP, bottom-up or top-down.
inline bool DecodeBmp(const uint8_t* data, size_t size, Picture& pic, std::string& err) {
    if (size < 54 || data[0] != 'B' || data[1] != 'M') return err = "not a BMP", false;
    uint32_t offset = Le32(data + 10), header = Le32(data + 14);
    int32_t w = static_cast<int32_t>(Le32(data + 18)), h = static_cast<int32_t>(Le32(data + 22));
    uint16_t bpp = data[28] | (data[29] << 8);
    uint32_t compression = Le32(data + 30);
    if (header < 40 || bpp != 24 || compression != 0) return err = "not an uncompressed 24-bit BMP", false;
    if (w <= 0 || h == 0 || w > 16384 || std::abs(h) > 16384) return err = "bad size", false;
    bool bottomUp = h > 0;
    h = std::abs(h);
    size_t row = (static_cast<size_t>(w) * 3 + 3) & ~size_t(3);
    if (offset > size || row * h > size - offset) return err = "truncated pixel data", false;
    pic.w = w;
    pic.h = h;
    pic.rgb.resize(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = data + offset + row * (bottomUp ? h - 1 - y : y);
        for (int x = 0; x < w; ++x) {
            pic.rgb[(static_cast<size_t>(y) * w + x) * 3 + 0] = src[x * 3 + 2];
            pic.rgb[(static_cast<size_t>(y) * w + x) * 3 + 1] = src[x * 3 + 1];
            pic.rgb[(static_cast<size_t>(y) * w + x) * 3 + 2] = src[x * 3 + 0];
        }
    }
    return true;
}

inline bool ReadBmp(const std::string& path, Picture& pic, std::string& err) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return err = "cannot open", false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return DecodeBmp(bytes.data(), bytes.size(), pic, err);
}

// ---- rasteriser ---------------------------------------------------------------------------------

struct Canvas {
    int w, h;
    std::vector<uint8_t> rgb;
    std::vector<float> depth;
    Canvas(int width, int height, uint32_t bg) : w(width), h(height), rgb(size_t(width) * height * 3), depth(size_t(width) * height, 1e30f) {
        for (size_t i = 0; i < size_t(w) * h; ++i) {
            rgb[i * 3] = bg >> 16;
            rgb[i * 3 + 1] = (bg >> 8) & 255;
            rgb[i * 3 + 2] = bg & 255;
        }
    }
    void Fill(int x0, int y0, int x1, int y1, uint32_t c) {
        for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(w, x1); ++x) {
                size_t i = (size_t(y) * w + x) * 3;
                rgb[i] = c >> 16;
                rgb[i + 1] = (c >> 8) & 255;
                rgb[i + 2] = c & 255;
            }
    }
    void ClearDepth() { std::fill(depth.begin(), depth.end(), 1e30f); }
};

struct View {
    Vec eye, at, up{0, 1, 0};
    float fovY = 0.785398f;  // the game's pi/4
    int x0 = 0, y0 = 0, w = 0, h = 0;  // viewport in the canvas
};

// A placed mesh: uniform scale then translation, as the game's models are placed.
struct Placement {
    Vec offset;
    float scale = 1;
};

struct DrawOptions {
    bool lit = true;        // lighting as the race draws cars and scenery; off as the sky step draws
    bool cull = true;       // counter-clockwise faces removed, as the game's default
    Vec lightDir{-0.4f, -1.0f, 0.6f};
    float farZ = 2000.0f;   // the game's far plane
};

struct ScreenVert {
    float sx, sy, invZ, u, v, shade;
};

// Draws a mesh; returns how many pixels it wrote.
inline long Draw(Canvas& cv, const View& view, const Mesh& mesh, const std::map<std::string, Picture>& textures,
                 const Placement& place, const DrawOptions& opt) {
    Vec zAxis = Unit(view.at - view.eye);
    Vec xAxis = Unit(Cross(view.up, zAxis));
    Vec yAxis = Cross(zAxis, xAxis);
    const float nearZ = 0.1f, farZ = opt.farZ;
    float f = 1.0f / std::tan(view.fovY * 0.5f), aspect = float(view.w) / view.h;
    Vec L = Unit(opt.lightDir) * -1.0f;
    long written = 0;
    for (size_t fi = 0; fi < mesh.faces.size(); ++fi) {
        const Material& mat = mesh.materials[mesh.faceMaterial[fi]];
        const Picture* tex = nullptr;
        if (!mat.texture.empty()) {
            auto it = textures.find(mat.texture);
            if (it != textures.end()) tex = &it->second;
        }
        // View-space polygon with per-corner attributes, clipped against the near plane.
        struct VV {
            Vec p;
            float u, v, shade;
        };
        std::vector<VV> poly;
        for (int idx : mesh.faces[fi]) {
            Vec wp = mesh.positions[idx] * place.scale + place.offset;
            Vec d = wp - view.eye;
            float shade = 1.0f;
            if (opt.lit) shade = 0.4f + 0.7f * std::max(0.0f, Dot(Unit(mesh.normals[idx]), L));
            poly.push_back({{Dot(d, xAxis), Dot(d, yAxis), Dot(d, zAxis)}, mesh.uvs[idx * 2], mesh.uvs[idx * 2 + 1], shade});
        }
        std::vector<VV> clipped;
        for (size_t i = 0; i < poly.size(); ++i) {
            const VV& a = poly[i];
            const VV& b = poly[(i + 1) % poly.size()];
            bool ina = a.p.z >= nearZ, inb = b.p.z >= nearZ;
            if (ina) clipped.push_back(a);
            if (ina != inb) {
                float t = (nearZ - a.p.z) / (b.p.z - a.p.z);
                clipped.push_back({a.p + (b.p - a.p) * t, a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t,
                                   a.shade + (b.shade - a.shade) * t});
            }
        }
        if (clipped.size() < 3) continue;
        std::vector<ScreenVert> sv;
        for (const VV& c : clipped) {
            float iz = 1.0f / c.p.z;
            sv.push_back({view.x0 + view.w * 0.5f * (1 + c.p.x * f / aspect * iz), view.y0 + view.h * 0.5f * (1 - c.p.y * f * iz), iz,
                          c.u * iz, c.v * iz, c.shade});
        }
        float base[3] = {mat.r, mat.g, mat.b};
        float glow[3] = {mat.er, mat.eg, mat.eb};
        float alpha = opt.lit ? mat.a : 1.0f;
        for (size_t t = 1; t + 1 < sv.size(); ++t) {
            const ScreenVert* v[3] = {&sv[0], &sv[t], &sv[t + 1]};
            float area = (v[1]->sx - v[0]->sx) * (v[2]->sy - v[0]->sy) - (v[2]->sx - v[0]->sx) * (v[1]->sy - v[0]->sy);
            if (std::fabs(area) < 1e-6f) continue;
            if (opt.cull && area < 0) continue;  // counter-clockwise on a y-down screen
            int minx = std::max(view.x0, int(std::floor(std::min({v[0]->sx, v[1]->sx, v[2]->sx}))));
            int maxx = std::min(view.x0 + view.w - 1, int(std::ceil(std::max({v[0]->sx, v[1]->sx, v[2]->sx}))));
            int miny = std::max(view.y0, int(std::floor(std::min({v[0]->sy, v[1]->sy, v[2]->sy}))));
            int maxy = std::min(view.y0 + view.h - 1, int(std::ceil(std::max({v[0]->sy, v[1]->sy, v[2]->sy}))));
            for (int y = miny; y <= maxy; ++y) {
                for (int x = minx; x <= maxx; ++x) {
                    float px = x + 0.5f, py = y + 0.5f;
                    float w0 = ((v[1]->sx - px) * (v[2]->sy - py) - (v[2]->sx - px) * (v[1]->sy - py)) / area;
                    float w1 = ((v[2]->sx - px) * (v[0]->sy - py) - (v[0]->sx - px) * (v[2]->sy - py)) / area;
                    float w2 = 1 - w0 - w1;
                    if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                    float iz = w0 * v[0]->invZ + w1 * v[1]->invZ + w2 * v[2]->invZ;
                    float z = 1.0f / iz;
                    if (z > farZ) continue;
                    size_t di = size_t(y) * cv.w + x;
                    if (z >= cv.depth[di]) continue;
                    float u = (w0 * v[0]->u + w1 * v[1]->u + w2 * v[2]->u) * z;
                    float vv = (w0 * v[0]->v + w1 * v[1]->v + w2 * v[2]->v) * z;
                    float shade = w0 * v[0]->shade + w1 * v[1]->shade + w2 * v[2]->shade;
                    float texel[3] = {1, 1, 1};
                    if (tex) {
                        int tx = int(std::floor((u - std::floor(u)) * tex->w)) % tex->w;
                        int ty = int(std::floor((vv - std::floor(vv)) * tex->h)) % tex->h;
                        const uint8_t* p = &tex->rgb[(size_t(ty) * tex->w + tx) * 3];
                        texel[0] = p[0] / 255.0f;
                        texel[1] = p[1] / 255.0f;
                        texel[2] = p[2] / 255.0f;
                    }
                    uint8_t* out = &cv.rgb[di * 3];
                    for (int c = 0; c < 3; ++c) {
                        float col = opt.lit ? std::min(1.0f, glow[c] + base[c] * shade) * texel[c] : texel[c];
                        float mixed = out[c] / 255.0f * (1 - alpha) + col * alpha;
                        out[c] = uint8_t(std::clamp(mixed, 0.0f, 1.0f) * 255.0f + 0.5f);
                    }
                    if (alpha > 0.6f) cv.depth[di] = z;
                    ++written;
                }
            }
        }
    }
    return written;
}

}  // namespace sheet
