// The model-file reader: frames, materials, triangulation, attributes, binary form, refusal of
// damaged files, vertex-cache ordering and the case-insensitive file look-up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/asset_path.h"
#include "platform/xfile.h"

namespace {

bool Parse(const std::string& text, XMesh& mesh, std::string* error = nullptr) {
    return XFileParse(text.data(), text.size(), mesh, error);
}

// A unit quad (one four-corner face) and a triangle, in two materials, inside a frame that is
// moved by (10, 0, 0) within a parent frame scaled by 2.
const char* kTwoMaterials = R"(xof 0302txt 0032
// a comment
template Vector { <3D82AB5E-62DA-11cf-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }
Header { 1; 0; 1; }
Frame Root {
  FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 0,0,0,1;; }
  Frame Child {
    FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 10,0,0,1;; }
    Mesh Body {
      7;
      0;0;0;, 0;1;0;, 1;1;0;, 1;0;0;,
      0;0;5;, 0;1;5;, 1;0;5;;
      2;
      4;0,1,2,3;,
      3;4,5,6;;
      MeshNormals { 1; 0;0;-1;; 2; 4;0,0,0,0;, 3;0,0,0;; }
      MeshTextureCoords { 7; 0;1;, 0;0;, 1;0;, 1;1;, 0;0;, 0;0;, 0;0;; }
      MeshVertexColors { 2; 0;1;0;0;1;;, 6;0;0;1;0.5;;; }
      MeshMaterialList {
        2; 2; 1, 0;;
        Material Red { 1.0;0.0;0.0;1.0;; 8.0; 0.5;0.5;0.5;; 0.0;0.0;0.1;; }
        Material Blue { 0.0;0.0;1.0;0.25;; 0.0; 0;0;0;; 0;0;0;;
          TextureFilename { "tex\\blue.bmp"; } }
      }
      VertexDuplicationIndices { 7; 7; 0,1,2,3,4,5,6; }
    }
  }
}
AnimationSet Idle { Animation { {Body} AnimationKey { 0; 1; 0;4;1,0,0,0;;; } } }
)";

TEST(XFile, FramesMaterialsAndAttributesComeThrough) {
    XMesh m;
    std::string error;
    ASSERT_TRUE(Parse(kTwoMaterials, m, &error)) << error;

    ASSERT_EQ(m.materials.size(), 2u);
    EXPECT_FLOAT_EQ(m.materials[0].diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(m.materials[0].power, 8.0f);
    EXPECT_FLOAT_EQ(m.materials[0].specular[1], 0.5f);
    EXPECT_FLOAT_EQ(m.materials[0].emissive[2], 0.1f);
    EXPECT_TRUE(m.materials[0].textureFile.empty());
    EXPECT_FLOAT_EQ(m.materials[1].diffuse[3], 0.25f);
    EXPECT_EQ(m.materials[1].textureFile, "tex/blue.bmp");

    // Subsets in material order: material 0 holds the triangle (face 1), material 1 the quad
    // split into two triangles.
    ASSERT_EQ(m.subsets.size(), 2u);
    EXPECT_EQ(m.subsets[0].material, 0u);
    EXPECT_EQ(m.subsets[0].triangleCount, 1u);
    EXPECT_EQ(m.subsets[1].triangleCount, 2u);
    EXPECT_EQ(m.subsets[1].indexStart, 3u);
    EXPECT_EQ(m.indices.size(), 9u);

    // Positions went through Child then Root: (p + (10, 0, 0)) * 2.
    EXPECT_FLOAT_EQ(m.boundsMin[0], 20.0f);
    EXPECT_FLOAT_EQ(m.boundsMax[0], 22.0f);
    EXPECT_FLOAT_EQ(m.boundsMax[1], 2.0f);
    EXPECT_FLOAT_EQ(m.boundsMax[2], 10.0f);
    // Quad triangulated as a fan (0,1,2), (0,2,3).
    const XVertex* q = &m.vertices[0];
    auto pos = [&](uint32_t i) { return m.vertices[m.indices[i]].position; };
    EXPECT_FLOAT_EQ(pos(3)[0], 20.0f);
    EXPECT_FLOAT_EQ(pos(3)[1], 0.0f);
    EXPECT_FLOAT_EQ(pos(4)[1], 2.0f);
    EXPECT_FLOAT_EQ(pos(5)[0], 22.0f);
    EXPECT_FLOAT_EQ(pos(8)[0], 22.0f);
    EXPECT_FLOAT_EQ(pos(8)[1], 0.0f);
    (void)q;

    // Normals stay unit length through the scaling frame; colours and coordinates per vertex.
    const XVertex& first = m.vertices[m.indices[3]];
    EXPECT_FLOAT_EQ(first.normal[2], -1.0f);
    EXPECT_EQ(first.color, 0xFFFF0000u);
    EXPECT_FLOAT_EQ(first.uv[1], 1.0f);
    const XVertex& blueCorner = m.vertices[m.indices[2]];
    EXPECT_EQ(blueCorner.color, 0x800000FFu);
    EXPECT_EQ(m.vertices[m.indices[0]].color, 0xFFFFFFFFu);
    EXPECT_TRUE(m.hasColors);
    EXPECT_TRUE(m.hasTexCoords);

    // Sphere around the mean of the vertices, reaching the farthest one.
    float far = 0;
    for (const XVertex& v : m.vertices) {
        float d = std::hypot(v.position[0] - m.sphereCenter[0], v.position[1] - m.sphereCenter[1],
                             v.position[2] - m.sphereCenter[2]);
        far = std::max(far, d);
    }
    EXPECT_FLOAT_EQ(m.sphereRadius, far);
    EXPECT_GT(m.sphereRadius, 5.0f);
}

TEST(XFile, MaterialRulesAndComputedNormals) {
    // One index for all faces, a material referenced by name, no normals in the file.
    const char* text = R"(xof 0302txt 0032
Material Shared { 0.2;0.4;0.6;1.0;; 1.0; 0;0;0;; 0;0;0;; }
Mesh {
  4; 0;0;0;, 0;1;0;, 1;1;0;, 1;0;0;;
  2; 3;0,1,2;, 3;0,2,3;;
  MeshMaterialList { 1; 1; 0;; {Shared} }
}
)";
    XMesh m;
    std::string error;
    ASSERT_TRUE(Parse(text, m, &error)) << error;
    ASSERT_EQ(m.materials.size(), 1u);
    EXPECT_FLOAT_EQ(m.materials[0].diffuse[1], 0.4f);
    EXPECT_EQ(m.subsets[0].triangleCount, 2u);
    // Clockwise as seen from -z: the computed normal faces the viewer at -z.
    for (const XVertex& v : m.vertices) {
        EXPECT_NEAR(v.normal[2], -1.0f, 1e-6);
    }
    EXPECT_FALSE(m.hasColors);
    EXPECT_FALSE(m.hasTexCoords);

    // A mesh without a material list gets one plain white material.
    const char* plain = "xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }";
    ASSERT_TRUE(Parse(plain, m, &error)) << error;
    ASSERT_EQ(m.materials.size(), 1u);
    EXPECT_FLOAT_EQ(m.materials[0].diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(m.materials[0].diffuse[3], 1.0f);

    // An unknown material reference and fewer materials than declared are damage.
    EXPECT_FALSE(Parse("xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;"
                       " MeshMaterialList { 1; 1; 0;; {Nowhere} } }", m, &error));
    EXPECT_FALSE(Parse("xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;"
                       " MeshMaterialList { 2; 1; 0;; } }", m, &error));
}

TEST(XFile, MirroringFrameKeepsFacesFacingOut) {
    const char* text = R"(xof 0302txt 0032
Frame M { FrameTransformMatrix { -1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
  Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; } }
)";
    XMesh m;
    ASSERT_TRUE(Parse(text, m));
    ASSERT_EQ(m.indices.size(), 3u);
    const float* a = m.vertices[m.indices[0]].position;
    const float* b = m.vertices[m.indices[1]].position;
    const float* c = m.vertices[m.indices[2]].position;
    float e1[2] = {b[0] - a[0], b[1] - a[1]}, e2[2] = {c[0] - a[0], c[1] - a[1]};
    float z = e1[0] * e2[1] - e1[1] * e2[0];
    // The triangle still winds clockwise seen from -z, and its normal still points to -z.
    EXPECT_LT(z, 0.0f);
    EXPECT_NEAR(m.vertices[m.indices[0]].normal[2], -1.0f, 1e-6);
}

TEST(XFile, EmptyPlaceholderLoadsButAFileWithoutMeshDoesNot) {
    XMesh m;
    std::string error;
    EXPECT_TRUE(Parse("xof 0302txt 0032\nMesh Null { 0;; 0;; }\n", m, &error)) << error;
    EXPECT_TRUE(m.vertices.empty());
    EXPECT_TRUE(m.indices.empty());
    EXPECT_FALSE(Parse("xof 0302txt 0032\nHeader { 1; 0; 1; }\n", m, &error));
    EXPECT_EQ(error, "no mesh in the file");
}

TEST(XFile, DamagedFilesAreRefused) {
    XMesh m;
    std::string error;
    struct Case {
        const char* text;
        const char* what;
    } cases[] = {
        {"", "empty"},
        {"xof 0302txt", "short header"},
        {"xof 0302tzip0032xxxxxxxx", "compressed"},
        {"xof 0302txt 0016\nMesh { 0;; 0;; }", "float size"},
        {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,5;; }", "index out of range"},
        {"xof 0302txt 0032\nMesh { 4000000000; 0;0;0;; 0;; }", "absurd vertex count"},
        {"xof 0302txt 0032\nMesh { 2000000; 0;0;0;; 0;; }", "count beyond the file"},
        {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;", "missing brace"},
        {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;nan;0;, 1;0;0;; 1; 3;0,1,2;; }", "nan"},
        {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;1e999;0;, 1;0;0;; 1; 3;0,1,2;; }", "overflow"},
        {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2.5;; }", "fractional index"},
        {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; -3;0,1,2;; }", "negative count"},
        {"xof 0302txt 0032\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; \"unterminated }", "string"},
        {"xof 0302txt 0032\n}", "unbalanced"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Parse(c.text, m, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_TRUE(m.vertices.empty()) << c.what;
    }

    // Deeply nested frames are refused rather than recursed into without bound.
    std::string deep = "xof 0302txt 0032\n";
    for (int i = 0; i < 5000; ++i) deep += "Frame {";
    deep += "Mesh { 0;; 0;; }";
    for (int i = 0; i < 5000; ++i) deep += "}";
    EXPECT_FALSE(Parse(deep, m, &error));

    // Every truncation of a good file either fails or (when only trailing objects are lost)
    // still gives a consistent mesh.
    std::string good = kTwoMaterials;
    for (size_t cut = 0; cut < good.size(); ++cut) {
        if (Parse(good.substr(0, cut), m)) {
            for (uint32_t i : m.indices) ASSERT_LT(i, m.vertices.size());
        }
    }
    std::string upToMesh = good.substr(0, good.find("AnimationSet"));
    EXPECT_FALSE(Parse(upToMesh.substr(0, upToMesh.size() - 3), m));
}

// Binary form: the same triangle as tokens.
struct BinaryWriter {
    std::string out = "xof 0302bin 0032";
    void Word(uint16_t w) { out.append(reinterpret_cast<const char*>(&w), 2); }
    void Dword(uint32_t d) { out.append(reinterpret_cast<const char*>(&d), 4); }
    void Name(const std::string& s) {
        Word(1);
        Dword(static_cast<uint32_t>(s.size()));
        out += s;
    }
    void String(const std::string& s) {
        Word(2);
        Dword(static_cast<uint32_t>(s.size()));
        out += s;
        Word(20);
    }
    void Open() { Word(10); }
    void Close() { Word(11); }
    void Ints(std::vector<uint32_t> v) {
        Word(6);
        Dword(static_cast<uint32_t>(v.size()));
        for (uint32_t x : v) Dword(x);
    }
    void Floats(std::vector<float> v) {
        Word(7);
        Dword(static_cast<uint32_t>(v.size()));
        for (float f : v) out.append(reinterpret_cast<const char*>(&f), 4);
    }
};

TEST(XFile, BinaryFormReadsLikeText) {
    BinaryWriter w;
    w.Word(31);  // a template: skipped
    w.Name("Custom");
    w.Open();
    w.Word(5);
    w.out.append(16, '\x11');
    w.Word(41);
    w.Name("a");
    w.Word(20);
    w.Close();
    w.Name("Mesh");
    w.Name("Tri");
    w.Open();
    w.Ints({3});
    w.Floats({0, 0, 0, 0, 1, 0, 1, 0, 0});
    w.Ints({1, 3, 0, 1, 2});
    w.Name("MeshMaterialList");
    w.Open();
    w.Ints({1, 1, 0});
    w.Name("Material");
    w.Open();
    w.Floats({0.5f, 0.25f, 1.0f, 1.0f, 4.0f, 0, 0, 0, 0, 0, 0});
    w.Name("TextureFilename");
    w.Open();
    w.String("wall.bmp");
    w.Close();
    w.Close();
    w.Close();
    w.Close();

    XMesh m;
    std::string error;
    ASSERT_TRUE(XFileParse(w.out.data(), w.out.size(), m, &error)) << error;
    ASSERT_EQ(m.materials.size(), 1u);
    EXPECT_FLOAT_EQ(m.materials[0].diffuse[1], 0.25f);
    EXPECT_FLOAT_EQ(m.materials[0].power, 4.0f);
    EXPECT_EQ(m.materials[0].textureFile, "wall.bmp");
    EXPECT_EQ(m.indices.size(), 3u);
    EXPECT_FLOAT_EQ(m.boundsMax[1], 1.0f);

    // A list that claims more entries than the file holds, and every truncation, fail cleanly.
    BinaryWriter bad;
    bad.Name("Mesh");
    bad.Open();
    bad.Word(7);
    bad.Dword(0x40000000);
    EXPECT_FALSE(XFileParse(bad.out.data(), bad.out.size(), m, &error));
    for (size_t cut = 16; cut < w.out.size(); ++cut) EXPECT_FALSE(XFileParse(w.out.data(), cut, m, &error)) << cut;
}

// Average cache misses per triangle through a FIFO cache of `size` entries.
double Acmr(const std::vector<uint32_t>& idx, size_t size) {
    std::vector<uint32_t> fifo;
    int misses = 0;
    for (uint32_t v : idx) {
        if (std::find(fifo.begin(), fifo.end(), v) != fifo.end()) continue;
        ++misses;
        fifo.push_back(v);
        if (fifo.size() > size) fifo.erase(fifo.begin());
    }
    return static_cast<double>(misses) / (idx.size() / 3);
}

TEST(XFile, CacheOrderingKeepsEveryTriangleAndCutsMisses) {
    // A 40 x 40 grid written column by column, a poor order for a small cache.
    const int n = 40;
    std::string text = "xof 0302txt 0032\nMesh {\n" + std::to_string((n + 1) * (n + 1)) + ";\n";
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x) text += std::to_string(x) + ";" + std::to_string(y) + ";0;,";
    text += ";\n" + std::to_string(n * n * 2) + ";\n";
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            int a = y * (n + 1) + x, b = a + 1, c = a + n + 1, d = c + 1;
            text += "3;" + std::to_string(a) + "," + std::to_string(c) + "," + std::to_string(b) + ";,";
            text += "3;" + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d) + ";,";
        }
    text += ";\nMeshMaterialList { 2; " + std::to_string(n * n * 2) + ";";
    for (int i = 0; i < n * n * 2; ++i) text += (i % 7 == 0 ? "1," : "0,");
    text += ";\nMaterial { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; } } }";

    XMesh m;
    std::string error;
    ASSERT_TRUE(Parse(text, m, &error)) << error;
    auto triangleSet = [](const XMesh& mesh, const XSubset& s) {
        std::multiset<std::vector<float>> set;
        for (uint32_t t = 0; t < s.triangleCount; ++t) {
            std::vector<std::vector<float>> corners;
            for (int k = 0; k < 3; ++k) {
                const float* p = mesh.vertices[mesh.indices[s.indexStart + t * 3 + k]].position;
                corners.push_back({p[0], p[1], p[2]});
            }
            // Rotate to a canonical start so the winding is checked too.
            auto least = std::min_element(corners.begin(), corners.end()) - corners.begin();
            std::vector<float> key;
            for (int k = 0; k < 3; ++k) key.insert(key.end(), corners[(least + k) % 3].begin(), corners[(least + k) % 3].end());
            set.insert(key);
        }
        return set;
    };
    auto before0 = triangleSet(m, m.subsets[0]);
    auto before1 = triangleSet(m, m.subsets[1]);
    double acmrBefore = Acmr(m.indices, 16);
    XMesh optimized = m;
    ASSERT_TRUE(XOptimizeMesh(optimized));
    EXPECT_EQ(triangleSet(optimized, optimized.subsets[0]), before0);
    EXPECT_EQ(triangleSet(optimized, optimized.subsets[1]), before1);
    double acmrAfter = Acmr(optimized.indices, 16);
    EXPECT_LT(acmrAfter, acmrBefore * 0.8) << acmrBefore << " -> " << acmrAfter;
    EXPECT_FLOAT_EQ(optimized.boundsMax[0], m.boundsMax[0]);
    for (const XSubset& s : optimized.subsets)
        for (uint32_t i = 0; i < s.triangleCount * 3; ++i) {
            uint32_t v = optimized.indices[s.indexStart + i];
            EXPECT_GE(v, s.vertexMin);
            EXPECT_LT(v, s.vertexEnd);
        }
}

TEST(AssetPath, NamesMatchRegardlessOfCase) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("korvan_xfile_" + std::to_string(getpid()));
    fs::create_directories(dir / "Data");
    {
        FILE* f = std::fopen((dir / "Data" / "Null.x").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("xof 0302txt 0032\nMesh { 0;; 0;; }\n", f);
        std::fclose(f);
    }
    std::string asked = (dir / "data" / "NULL.x").string();
    EXPECT_EQ(ResolveAssetPath(asked.c_str()), (dir / "Data" / "Null.x").string());
    XMesh m;
    std::string error;
    EXPECT_TRUE(XFileLoad(asked.c_str(), m, &error)) << error;
    // A name that matches nothing is handed back unchanged, and the load says why it failed.
    std::string missing = (dir / "data" / "Nothing.x").string();
    EXPECT_EQ(ResolveAssetPath(missing.c_str()), missing);
    EXPECT_FALSE(XFileLoad(missing.c_str(), m, &error));
    EXPECT_EQ(error, "cannot read the file");
    // Relative names resolve against the working directory, as the game's loaders expect.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    ASSERT_EQ(chdir((dir / "Data").c_str()), 0);
    EXPECT_EQ(ResolveAssetPath("NULL.X"), "Null.x");
    ASSERT_EQ(chdir(cwd), 0);
    fs::remove_all(dir);
}

}  // namespace
