// The generated meshes, textures and built-in bitmaps: every file the game names is there and well
// formed, the vehicles, gate and skies have the sizes the game relies on, a rebuild writes the same
// bytes, and a contact sheet of every model is drawn (build dir: visual_sheet.png, vehicle_sheet.png,
// texture_sheet.png).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/mesh.h"
#include "framework/screenshot.h"
#include "platform/builtin_resources.h"
#include "platform/system.h"
#include "platform/xfile.h"
#include "tests/support/headless_device.h"
#include "tools/assetgen/vis_manifest.h"
#include "tools/assetgen/vis_sheet.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"
#include "stb_easy_font.h"
#pragma GCC diagnostic pop

namespace fs = std::filesystem;

namespace {

const std::string kData = std::string(KORVAN_BUILD_DIR) + "/data";

const char* const kSkyDomes[] = {"BackGround1.x", "BackGround2.x", "BackGround3.x", "BackGround4.x",
                                 "BackGround5_1.x", "BackGround6.x", "BackGround7.x", "BackGround8.x",
                                 "BackGround9.x", "BackGround10.x"};

bool IsPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

sheet::Mesh LoadMesh(const std::string& file) {
    sheet::Mesh m;
    std::string err;
    EXPECT_TRUE(sheet::ReadXFile(kData + "/" + file, m, err)) << file << ": " << err;
    return m;
}

std::map<std::string, sheet::Picture> LoadAllTextures() {
    std::map<std::string, sheet::Picture> out;
    for (const char* f : kVisualTextureFiles) {
        std::string err;
        sheet::ReadBmp(kData + "/" + f, out[f], err);
    }
    return out;
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Front-facing direction of a face as the game culls it: (p1 - p0) x (p2 - p0) points at the viewer.
sheet::Vec WindingNormal(const sheet::Mesh& m, const std::vector<int>& f) {
    sheet::Vec n{0, 0, 0};
    for (size_t k = 1; k + 1 < f.size(); ++k)
        n = n + sheet::Cross(m.positions[f[k]] - m.positions[f[0]], m.positions[f[k + 1]] - m.positions[f[0]]);
    return n;
}

}  // namespace

TEST(VisualAssets, EveryNamedFileIsWrittenAndWellFormed) {
    for (const char* f : kVisualMeshFiles) EXPECT_TRUE(fs::is_regular_file(kData + "/" + f)) << f;
    for (const char* f : kVisualTextureFiles) {
        sheet::Picture pic;
        std::string err;
        ASSERT_TRUE(sheet::ReadBmp(kData + "/" + f, pic, err)) << f << ": " << err;
        EXPECT_TRUE(IsPowerOfTwo(pic.w) && IsPowerOfTwo(pic.h)) << f << " is " << pic.w << "x" << pic.h;
        auto bytes = ReadAll(kData + "/" + f);
        EXPECT_EQ(sheet::Le32(bytes.data() + 2), bytes.size()) << f << ": header size disagrees with the file";
    }
    // Files the course and scene tables name that are easy to get wrong by case.
    for (const char* f : {"NULL.x", "Null.x", "pyramid.x", "Volcano.x", "GO2.bmp", "FINISH.bmp", "BackGround10_1.x"})
        EXPECT_TRUE(fs::is_regular_file(kData + "/" + f)) << f;
}

TEST(VisualAssets, BuiltinBitmapsAre24BitOfTheRightSize) {
    for (const char* name : kBuiltinBitmapNames) {
        const BuiltinResource* r = FindBuiltinResource(name);
        ASSERT_NE(r, nullptr) << name;
        sheet::Picture pic;
        std::string err;
        ASSERT_TRUE(sheet::DecodeBmp(r->data, r->size, pic, err)) << name << ": " << err;
        if (std::string(name) == "IDI_ICON101") {
            EXPECT_TRUE((pic.w == 32 && pic.h == 32) || (pic.w == 64 && pic.h == 64)) << name;
        } else {
            EXPECT_EQ(pic.w, 256) << name;
            EXPECT_EQ(pic.h, 256) << name;
        }
    }
    EXPECT_EQ(FindBuiltinResource("IDB_Air4"), nullptr);
    // The credit card and the streak sit on black, their transparent colour; the clouds fill the tile.
    sheet::Picture card, air;
    std::string err;
    const BuiltinResource* c = FindBuiltinResource("IDB_CreatedByKiru");
    const BuiltinResource* a = FindBuiltinResource("IDB_Air1");
    ASSERT_TRUE(c && a && sheet::DecodeBmp(c->data, c->size, card, err) && sheet::DecodeBmp(a->data, a->size, air, err));
    long black = 0, lit = 0, airBlack = 0;
    for (size_t i = 0; i < card.rgb.size(); i += 3) {
        bool k = !card.rgb[i] && !card.rgb[i + 1] && !card.rgb[i + 2];
        (k ? black : lit)++;
        if (!air.rgb[i] && !air.rgb[i + 1] && !air.rgb[i + 2]) ++airBlack;
    }
    EXPECT_GT(black, 256 * 256 / 2);
    EXPECT_GT(lit, 1000);
    EXPECT_EQ(airBlack, 0);
}

TEST(VisualAssets, MeshesReadBackAndTheirTexturesExist) {
    std::set<std::string> textures(std::begin(kVisualTextureFiles), std::end(kVisualTextureFiles));
    for (const char* f : kVisualMeshFiles) {
        sheet::Mesh m = LoadMesh(f);
        bool placeholder = std::string(f) == "Null.x" || std::string(f) == "NULL.x";
        EXPECT_EQ(m.faces.empty(), placeholder) << f;
        for (const auto& mat : m.materials) {
            if (!mat.texture.empty()) {
                EXPECT_TRUE(textures.count(mat.texture)) << f << " names " << mat.texture;
            }
        }
        for (size_t i = 0; i < m.faces.size(); ++i) {
            EXPECT_GT(std::sqrt(sheet::Dot(WindingNormal(m, m.faces[i]), WindingNormal(m, m.faces[i]))), 0.0f)
                << f << " face " << i << " is degenerate";
            // The stored normal agrees with the winding (front faces are lit on their front).
            sheet::Vec n = m.normals[m.faces[i][0]];
            if (sheet::Dot(WindingNormal(m, m.faces[i]), n) <= 0) {
                ADD_FAILURE() << f << " face " << i << " has its normal behind its front";
                break;
            }
        }
    }
}

// The game's own model reader takes every file, with one subset per material and its textures named.
TEST(VisualAssets, TheGameReaderLoadsEveryModel) {
    for (const char* f : kVisualMeshFiles) {
        XMesh game;
        std::string error;
        ASSERT_TRUE(XFileLoad((kData + "/" + f).c_str(), game, &error)) << f << ": " << error;
        sheet::Mesh ours = LoadMesh(f);
        if (ours.faces.empty()) {
            EXPECT_TRUE(game.indices.empty()) << f;  // the placeholder draws nothing
            continue;
        }
        ASSERT_EQ(game.materials.size(), ours.materials.size()) << f;
        size_t triangles = 0;
        for (const auto& face : ours.faces) triangles += face.size() - 2;
        EXPECT_EQ(game.indices.size(), triangles * 3) << f;
        for (size_t i = 0; i < ours.materials.size(); ++i) EXPECT_EQ(game.materials[i].textureFile, ours.materials[i].texture) << f;
        EXPECT_NEAR(game.boundsMin[1], ours.lo.y, 1e-3f) << f;
        EXPECT_NEAR(game.boundsMax[2], ours.hi.z, 1e-3f) << f;
    }
}

TEST(VisualAssets, VehiclesHaveTheGameSizes) {
    sheet::Mesh body = LoadMesh("KORVANbody.x");
    EXPECT_NEAR(body.hi.x - body.lo.x, 9.4f, 1.5f);   // about 8 wide, wings included
    EXPECT_NEAR(body.hi.z - body.lo.z, 22.0f, 2.5f);  // about 20 long
    // Each tyre, hung at its type's height, stands on the road 6 below the body origin.
    const std::pair<const char*, float> tyres[] = {{"KORVANtire.x", -1.8f}, {"Enemytire1.x", -1.8f}, {"Enemytire2.x", -1.8f},
                                                   {"Enemytire3.x", -2.3f}, {"Enemytire4.x", -1.8f}, {"Enemytire5.x", -1.8f}};
    for (const auto& [file, hang] : tyres) {
        sheet::Mesh t = LoadMesh(file);
        EXPECT_NEAR(hang + t.lo.y, -6.0f, 0.02f) << file;
        EXPECT_NEAR(t.hi.y, -t.lo.y, 0.3f) << file << " must turn about its centre";
        EXPECT_LT(t.hi.x - t.lo.x, 4.0f) << file;
    }
    // Bodies never reach below the road.
    for (const char* f : {"KORVANbody.x", "Enemybody1.x", "Enemybody2.x", "Enemybody3.x", "Enemybody4.x", "Enemybody5.x"}) {
        sheet::Mesh b = LoadMesh(f);
        EXPECT_GT(b.lo.y, -6.0f) << f;
        EXPECT_LT(b.hi.z, 14.0f) << f;
    }
    // Flames trail behind the point they hang from.
    for (const char* f : {"BFire.x", "BFire2.x"}) {
        sheet::Mesh fl = LoadMesh(f);
        EXPECT_LT(fl.lo.z, -7.0f) << f;
        EXPECT_LT(fl.hi.z, 4.0f) << f;
    }
    // Shadows are flat, dark and translucent.
    for (const char* f : {"KORVANshadow.x", "Enemyshadow1.x", "Enemyshadow3.x", "Enemyshadow4.x", "Enemyshadow5.x"}) {
        sheet::Mesh s = LoadMesh(f);
        EXPECT_FLOAT_EQ(s.hi.y - s.lo.y, 0.0f) << f;
        ASSERT_FALSE(s.materials.empty());
        EXPECT_LT(s.materials[0].a, 1.0f) << f;
        EXPECT_GT(WindingNormal(s, s.faces[0]).y, 0.0f) << f << " must face up";
    }
}

TEST(VisualAssets, GateSpansTheRoadAndLeavesItClear) {
    sheet::Mesh g = LoadMesh("Gate.x");
    EXPECT_GE(g.hi.x - g.lo.x, 200.0f);
    for (const sheet::Vec& p : g.positions) {
        // Nothing of the gate stands on the 200-wide road below the banner's top (105).
        if (std::fabs(p.x) < 100.0f) {
            EXPECT_GT(p.y, 105.0f) << p.x << "," << p.y;
        }
    }
}

TEST(VisualAssets, SkiesFaceInwardsInsideTheFarPlane) {
    for (const char* f : kSkyDomes) {
        sheet::Mesh m = LoadMesh(f);
        float far = 0;
        for (const sheet::Vec& p : m.positions) far = std::max(far, std::sqrt(sheet::Dot(p, p)));
        EXPECT_LT(far, 1990.0f) << f;
        EXPECT_GT(far, 1000.0f) << f;
        for (const auto& face : m.faces) {
            sheet::Vec c{0, 0, 0};
            for (int i : face) c = c + m.positions[i];
            if (sheet::Dot(WindingNormal(m, face), c) >= 0) {
                ADD_FAILURE() << f << " has a face turned away from the camera inside it";
                break;
            }
        }
        ASSERT_EQ(m.materials.size(), 1u) << f;
        EXPECT_FALSE(m.materials[0].texture.empty()) << f << " needs a picture: skies are drawn unlit";
    }
    for (const char* f : {"BackGround4_1.x", "BackGround5.x", "BackGround7_1.x", "BackGround10_1.x", "Volcano.x"}) {
        sheet::Mesh m = LoadMesh(f);
        // The lava course swells its layers with a pulse: those keep room to grow inside the far plane.
        bool pulsed = std::string(f) == "BackGround4_1.x" || std::string(f) == "Volcano.x";
        for (const sheet::Vec& p : m.positions) ASSERT_LT(std::sqrt(sheet::Dot(p, p)), pulsed ? 1600.0f : 1990.0f) << f;
        for (const auto& mat : m.materials) EXPECT_FALSE(mat.texture.empty()) << f << " is drawn unlit";
    }
}

TEST(VisualAssets, ScenerySizesSuitTheCar) {
    auto height = [](const char* f) {
        sheet::Mesh m = LoadMesh(f);
        return m.hi.y;
    };
    EXPECT_GT(height("TreeL.x"), 60.0f);
    EXPECT_LT(height("TreeL.x"), 200.0f);
    EXPECT_GT(height("Cactus.x"), 30.0f);
    EXPECT_GT(height("BuildingL.x"), 200.0f);
    EXPECT_GT(height("MountainL1.x"), 250.0f);
    // Left-hand pieces stay on their side of the spot 192 beyond the left edge, right-hand on theirs.
    for (const char* f : {"MountainL1.x", "MountainL2.x", "BuildingL.x"}) EXPECT_LE(LoadMesh(f).hi.x, 60.0f) << f;
    for (const char* f : {"MountainR1.x", "MountainR2.x", "BuildingR.x"}) EXPECT_GE(LoadMesh(f).lo.x, -60.0f) << f;
    sheet::Mesh crystal = LoadMesh("SupplyCrystal.x");
    EXPECT_LT(crystal.hi.y - crystal.lo.y, 22.0f);  // it floats 11 above the road
}

TEST(VisualAssets, TwoRunsWriteIdenticalFilesQuickly) {
    const fs::path tool = fs::path(KORVAN_BUILD_DIR) / "assetgen";
    ASSERT_TRUE(fs::exists(tool));
    fs::path base = fs::temp_directory_path() / ("korvan_vis_" + std::to_string(::getpid()));
    fs::remove_all(base);
    std::vector<double> seconds;
    for (const char* run : {"a", "b"}) {
        auto t0 = std::chrono::steady_clock::now();
        std::string cmd = "\"" + tool.string() + "\" --data \"" + (base / run / "data").string() + "\" --resources \"" +
                          (base / run / "res.cpp").string() + "\"";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    for (double s : seconds) EXPECT_LT(s, 10.0);
    EXPECT_EQ(ReadAll(base / "a" / "res.cpp"), ReadAll(base / "b" / "res.cpp"));
    int compared = 0;
    for (const char* f : kVisualMeshFiles) {
        EXPECT_EQ(ReadAll(base / "a" / "data" / f), ReadAll(base / "b" / "data" / f)) << f;
        ++compared;
    }
    for (const char* f : kVisualTextureFiles) {
        EXPECT_EQ(ReadAll(base / "a" / "data" / f), ReadAll(base / "b" / "data" / f)) << f;
        ++compared;
    }
    EXPECT_EQ(compared, int(std::size(kVisualMeshFiles) + std::size(kVisualTextureFiles)));
    // And the build's own copy is the same as a fresh run.
    EXPECT_EQ(ReadAll(base / "a" / "data" / "KORVANbody.x"), ReadAll(kData + "/KORVANbody.x"));
    fs::remove_all(base);
}

TEST(VisualAssets, ReaderRefusesBrokenFiles) {
    fs::path dir = fs::temp_directory_path() / ("korvan_visbad_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto write = [&](const char* name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    };
    sheet::Mesh m;
    std::string err;
    EXPECT_FALSE(sheet::ReadXFile(write("a.x", "xof 0302txt 0032\nMesh m { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,7;; }"), m, err));
    EXPECT_FALSE(sheet::ReadXFile(write("b.x", "xof 0302txt 0032\nMesh m { 3; 0;0;0;, 1;0;0;"), m, err));
    EXPECT_FALSE(sheet::ReadXFile(write("c.x", "not an x file"), m, err));
    sheet::Picture pic;
    std::vector<uint8_t> bmp = ReadAll(kData + "/road1.bmp");
    ASSERT_GT(bmp.size(), 100u);
    EXPECT_TRUE(sheet::DecodeBmp(bmp.data(), bmp.size(), pic, err));
    EXPECT_FALSE(sheet::DecodeBmp(bmp.data(), bmp.size() / 2, pic, err));
    fs::remove_all(dir);
}

// ---- contact sheet ----------------------------------------------------------------------------

namespace {

constexpr int kCellW = 240, kCellH = 180, kCols = 8;

void Label(sheet::Canvas& cv, int x, int y, const std::string& text, uint32_t colour) {
    static char buffer[60000];
    int quads = stb_easy_font_print(0, 0, const_cast<char*>(text.c_str()), nullptr, buffer, sizeof buffer);
    for (int q = 0; q < quads; ++q) {
        const float* v = reinterpret_cast<const float*>(buffer + q * 64);
        cv.Fill(x + int(v[0]), y + int(v[1]), x + int(v[8]), y + int(v[9]), colour);
    }
}

struct Part {
    const char* file;
    sheet::Placement place;
};

// A car put together as the game hangs its parts: body, four tyres, shadow and one flame set.
std::vector<Part> Assembly(int type) {
    struct Layout {
        const char *body, *tyre, *shadow;
        float fx, fy, fz, rx, ry, rz, flameX, flameY, flameZ;
    };
    static const Layout kLayouts[] = {
        {"KORVANbody.x", "KORVANtire.x", "KORVANshadow.x", 3.6f, -1.8f, 5.2f, 3.6f, -1.8f, -6.6f, 3.6f, 2.0f, -13.3f},
        {"Enemybody1.x", "Enemytire1.x", "Enemyshadow1.x", 3.6f, -1.8f, 5.2f, 3.6f, -1.8f, -6.6f, 2.65f, 3.0f, -11.5f},
        {"Enemybody2.x", "Enemytire2.x", "KORVANshadow.x", 3.6f, -1.8f, 5.2f, 3.6f, -1.8f, -6.6f, 3.6f, 2.0f, -13.3f},
        {"Enemybody3.x", "Enemytire3.x", "Enemyshadow3.x", 3.65f, -2.3f, 5.2f, 4.6f, -2.3f, -1.85f, 2.6f, 0.0f, -14.3f},
        {"Enemybody4.x", "Enemytire4.x", "Enemyshadow4.x", 6.2f, -1.8f, 5.2f, 6.2f, -1.8f, -6.6f, 4.1f, 1.5f, -16.3f},
        {"Enemybody5.x", "Enemytire5.x", "Enemyshadow5.x", 3.84f, -1.8f, 5.2f, 4.96f, -1.8f, -6.6f, 0.0f, 1.0f, -13.3f},
    };
    const Layout& l = kLayouts[type];
    std::vector<Part> parts{{l.shadow, {{0, -5.1f, 0}, 1}}, {l.body, {{0, 0, 0}, 1}}};
    for (float s : {-1.0f, 1.0f}) {
        parts.push_back({l.tyre, {{s * l.fx, l.fy, l.fz}, 1}});
        parts.push_back({l.tyre, {{s * l.rx, l.ry, l.rz}, 1}});
        parts.push_back({"BFire.x", {{s * l.flameX, l.flameY, l.flameZ}, 1.2f}});
        parts.push_back({"BFire2.x", {{s * l.flameX, l.flameY, l.flameZ}, 0.75f}});
    }
    return parts;
}

sheet::View CellView(int cell, sheet::Vec centre, float radius, sheet::Vec dir, int span = 1) {
    sheet::View v;
    v.x0 = (cell % kCols) * kCellW;
    v.y0 = (cell / kCols) * kCellH;
    v.w = kCellW * span;
    v.h = kCellH;
    v.at = centre;
    v.eye = centre + sheet::Unit(dir) * (radius / std::tan(v.fovY * 0.5f) * 1.05f);
    return v;
}

}  // namespace

TEST(VisualAssets, ContactSheetShowsEveryModel) {
    std::map<std::string, sheet::Mesh> meshes;
    for (const char* f : kVisualMeshFiles) meshes[f] = LoadMesh(f);
    auto textures = LoadAllTextures();
    const std::set<std::string> skies(std::begin(kSkyDomes), std::end(kSkyDomes));

    std::vector<std::string> singles;
    for (const char* f : kVisualMeshFiles) {
        if (!skies.count(f) && std::string(f) != "NULL.x") singles.push_back(f);
    }
    int cells = 12 + int(singles.size()) + 14 + 4;
    int rows = (cells + kCols - 1) / kCols;
    sheet::Canvas cv(kCols * kCellW, rows * kCellH, 0x40444c);
    int cell = 0;
    sheet::DrawOptions lit;

    // Row 1-2: the six cars put together, three-quarter view and side view with the road line.
    for (int pass = 0; pass < 2; ++pass) {
        for (int type = 0; type < 6; ++type, ++cell) {
            sheet::View v = pass == 0 ? CellView(cell, {0, -1, 0}, 14, {0.9f, 0.55f, 1.0f}) : CellView(cell, {0, -1, -2}, 13, {-1, 0, 0});
            long drawn = 0;
            for (const Part& p : Assembly(type)) {
                sheet::DrawOptions o = lit;
                o.cull = std::string(p.file).find("BFire") == std::string::npos;
                drawn += sheet::Draw(cv, v, meshes[p.file], textures, p.place, o);
            }
            EXPECT_GT(drawn, 2000) << "vehicle " << type;
            if (pass == 1) {
                // The road, 6 below the body origin, as a line: the tyres must touch it.
                sheet::Vec zAxis = sheet::Unit(v.at - v.eye);
                float depth = sheet::Dot(sheet::Vec{0, -6, 0} - v.eye, zAxis);
                float f = 1.0f / std::tan(v.fovY * 0.5f);
                int y = int(v.y0 + v.h * 0.5f * (1 - (-6.0f - v.at.y) * f / depth));
                cv.Fill(v.x0, y, v.x0 + v.w, y + 1, 0x80ff80);
            }
            cv.ClearDepth();
            Label(cv, v.x0 + 4, v.y0 + 4, Assembly(type)[1].file, 0xffffff);
        }
    }
    // Every other model on its own, framed to its size.
    for (const std::string& f : singles) {
        const sheet::Mesh& m = meshes[f];
        sheet::View v;
        if (m.faces.empty()) {
            v = CellView(cell, {0, 0, 0}, 1, {1, 1, 1});
        } else {
            sheet::Vec c = (m.lo + m.hi) * 0.5f;
            sheet::Vec d = m.hi - m.lo;
            float r = 0.5f * std::sqrt(sheet::Dot(d, d));
            v = CellView(cell, c, r, {0.75f, 0.5f, -1.0f});
            if (f.rfind("BackGround", 0) == 0 || f == "Volcano.x") v = CellView(cell, c, r * 1.2f, {0.3f, 0.6f, -1.0f});
        }
        sheet::DrawOptions o = lit;
        // Flames are drawn without culling; inward sky layers are looked at from outside here.
        o.cull = f.find("BFire") == std::string::npos && f.rfind("BackGround", 0) != 0;
        o.farZ = 1e6f;  // framed from outside, far pieces lie beyond the game's far plane
        long drawn = sheet::Draw(cv, v, m, textures, {}, o);
        if (!m.faces.empty()) {
            EXPECT_GT(drawn, 100) << f;
        }
        cv.ClearDepth();
        Label(cv, v.x0 + 4, v.y0 + 4, f, 0xffffff);
        ++cell;
    }
    // The skies seen from inside, unlit as the sky step draws them, with their companion layers.
    struct SkyShot {
        const char* dome;
        const char* layer;
        sheet::Vec look;
    };
    const SkyShot shots[] = {
        {"BackGround1.x", nullptr, {0, 0.25f, 1}},       {"BackGround2.x", nullptr, {0, 0.25f, 1}},
        {"BackGround3.x", nullptr, {1, 0.25f, 0.3f}},    {"BackGround4.x", "Volcano.x", {0, 0.1f, 1}},
        {"BackGround4.x", "BackGround4_1.x", {0, -0.3f, 1}}, {"BackGround5_1.x", "BackGround5.x", {0, 0.25f, 1}},
        {"BackGround6.x", nullptr, {0, 0.25f, -1}},      {"BackGround7.x", "BackGround7_1.x", {-1, 0.15f, 0}},
        {"BackGround8.x", nullptr, {0, 0.25f, 1}},       {"BackGround9.x", nullptr, {0, 0.25f, 1}},
        {"BackGround10.x", "BackGround10_1.x", {0, 0.2f, 1}}, {"BackGround10_1.x", nullptr, {0.0f, 0.2f, 1}},
        {"BackGround6.x", nullptr, {0, -0.6f, 1}},       {"BackGround2.x", nullptr, {1, 0.05f, 0}},
    };
    for (const SkyShot& s : shots) {
        sheet::View v;
        v.x0 = (cell % kCols) * kCellW;
        v.y0 = (cell / kCols) * kCellH;
        v.w = kCellW;
        v.h = kCellH;
        v.fovY = 1.4f;
        v.eye = {0, 0, 0};
        v.at = s.look;
        sheet::DrawOptions o;
        o.lit = false;
        long drawn = sheet::Draw(cv, v, meshes[s.dome], textures, {}, o);
        if (skies.count(s.dome)) {
            EXPECT_GT(drawn, kCellW * kCellH * 9 / 10) << s.dome << " seen from inside";
        }
        cv.ClearDepth();  // the sky writes no depth in the game
        if (s.layer) sheet::Draw(cv, v, meshes[s.layer], textures, {}, o);
        cv.ClearDepth();
        Label(cv, v.x0 + 4, v.y0 + 4, std::string(s.dome) + (s.layer ? std::string(" + ") + s.layer : ""), 0xffffff);
        ++cell;
    }
    // Scale line-ups beside the car: trackside pieces at their true sizes.
    struct Lineup {
        std::vector<Part> parts;
        sheet::Vec centre;
        float radius;
    };
    const Lineup lineups[] = {
        {{{"KORVANbody.x", {{0, 6, 0}, 1}}, {"TreeL.x", {{40, 0, 0}, 1}}, {"TreeR.x", {{120, 0, 0}, 1}}, {"Cactus.x", {{190, 0, 0}, 1}},
          {"PoleL.x", {{240, 0, 0}, 1}}, {"Arrow1.x", {{330, 0, 0}, 1}}, {"SupplyCrystal.x", {{-30, 11, 0}, 1}},
          {"BoostCrystal.x", {{-60, 11, 0}, 1}}},
         {150, 60, 0}, 230},
        {{{"Gate.x", {{0, 0, 0}, 1}}, {"KORVANbody.x", {{0, 6, -30}, 1}}, {"Enemybody4.x", {{-60, 6, -30}, 1}}, {"TV.x", {{200, 0, 0}, 1}}},
         {40, 70, 0}, 200},
        {{{"BuildingL.x", {{-100, 0, 0}, 1}}, {"BuildingR.x", {{100, 0, 0}, 1}}, {"KORVANbody.x", {{0, 6, -100}, 1}}},
         {0, 180, 0}, 300},
        {{{"MountainL1.x", {{-100, 0, 0}, 1}}, {"MountainR2.x", {{100, 0, 0}, 1}}, {"KORVANbody.x", {{0, 6, -200}, 1}}},
         {0, 200, 0}, 700},
    };
    for (const Lineup& l : lineups) {
        sheet::View v = CellView(cell, l.centre, l.radius, {0.15f, 0.2f, -1.0f});
        for (const Part& p : l.parts) sheet::Draw(cv, v, meshes[p.file], textures, p.place, lit);
        cv.ClearDepth();
        Label(cv, v.x0 + 4, v.y0 + 4, "scale: car beside " + std::string(l.parts[0].file), 0xffff80);
        ++cell;
    }
    // The cars close up, from the front quarter and the rear quarter, as the chase camera sees them.
    {
        const int w = 480, h = 360;
        sheet::Canvas cars(3 * w, 4 * h, 0x5a6070);
        for (int i = 0; i < 12; ++i) {
            sheet::View v;
            v.x0 = (i % 3) * w;
            v.y0 = (i / 3) * h;
            v.w = w;
            v.h = h;
            v.at = {0, -1.5f, 0};
            sheet::Vec dir = i < 6 ? sheet::Vec{0.8f, 0.45f, 1.0f} : sheet::Vec{-0.5f, 0.45f, -1.0f};
            v.eye = v.at + sheet::Unit(dir) * 40.0f;
            for (const Part& p : Assembly(i % 6)) {
                sheet::DrawOptions o = lit;
                o.cull = std::string(p.file).find("BFire") == std::string::npos;
                sheet::Draw(cars, v, meshes[p.file], textures, p.place, o);
            }
            cars.ClearDepth();
            Label(cars, v.x0 + 4, v.y0 + 4, Assembly(i % 6)[1].file, 0xffffff);
        }
        std::string carsOut = std::string(KORVAN_BUILD_DIR) + "/vehicle_sheet.png";
        EXPECT_NE(stbi_write_png(carsOut.c_str(), cars.w, cars.h, 3, cars.rgb.data(), cars.w * 3), 0);
    }
    std::string out = std::string(KORVAN_BUILD_DIR) + "/visual_sheet.png";
    EXPECT_NE(stbi_write_png(out.c_str(), cv.w, cv.h, 3, cv.rgb.data(), cv.w * 3), 0);

    // Textures, 128 x 128 thumbnails with their names.
    const int tw = 136, th = 150, tcols = 10;
    int count = int(std::size(kVisualTextureFiles)) + int(std::size(kBuiltinBitmapNames));
    sheet::Canvas tc(tcols * tw, ((count + tcols - 1) / tcols) * th, 0x303030);
    int i = 0;
    auto thumb = [&](const std::string& name, const sheet::Picture& pic) {
        int x0 = (i % tcols) * tw + 4, y0 = (i / tcols) * th + 4;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                const uint8_t* p = &pic.rgb[((size_t(y) * pic.h / 128) * pic.w + size_t(x) * pic.w / 128) * 3];
                tc.Fill(x0 + x, y0 + y, x0 + x + 1, y0 + y + 1, (p[0] << 16) | (p[1] << 8) | p[2]);
            }
        Label(tc, x0, y0 + 131, name, 0xffffff);
        ++i;
    };
    for (const char* f : kVisualTextureFiles) thumb(f, textures[f]);
    for (const char* name : kBuiltinBitmapNames) {
        const BuiltinResource* r = FindBuiltinResource(name);
        sheet::Picture pic;
        std::string err;
        if (r && sheet::DecodeBmp(r->data, r->size, pic, err)) thumb(name, pic);
    }
    std::string texOut = std::string(KORVAN_BUILD_DIR) + "/texture_sheet.png";
    EXPECT_NE(stbi_write_png(texOut.c_str(), tc.w, tc.h, 3, tc.rgb.data(), tc.w * 3), 0);
}

// ---- chase-camera previews ------------------------------------------------------------------------

namespace {

// A flat textured quad as a mesh: corners a, b, c, d clockwise seen from its front, tiled `tiles` times.
sheet::Mesh Quad(sheet::Vec a, sheet::Vec b, sheet::Vec c, sheet::Vec d, const std::string& texture, float tu, float tv) {
    sheet::Mesh m;
    m.positions = {a, b, c, d};
    sheet::Vec n = sheet::Unit(sheet::Cross(b - a, c - a));
    m.normals = {n, n, n, n};
    m.uvs = {0, 0, tu, 0, tu, tv, 0, tv};
    m.faces = {{0, 1, 2, 3}};
    m.faceMaterial = {0};
    sheet::Material mat;
    mat.texture = texture;
    m.materials = {mat};
    return m;
}

struct Scene {
    const char* sky;
    const char* ground;   // nullptr: none
    const char* wall;
    const char* left;     // scenery mesh on the left of the road, every other section
    const char* right;
    const char* extra;    // a set piece on the road ahead (gate, pyramid)
    float extraZ;
};

}  // namespace

TEST(VisualAssets, ChaseViewsShowTheCarOnARoadAmongItsScenery) {
    std::map<std::string, sheet::Mesh> meshes;
    for (const char* f : kVisualMeshFiles) meshes[f] = LoadMesh(f);
    auto textures = LoadAllTextures();
    const Scene scenes[] = {
        {"BackGround1.x", "water2.bmp", "wall6.bmp", nullptr, nullptr, "Gate.x", 400},
        {"BackGround2.x", nullptr, "grass.bmp", "BuildingL.x", "BuildingR.x", "SupplyCrystal.x", 120},
        {"BackGround6.x", nullptr, "wall1.bmp", "TreeL.x", "MountainR1.x", "TV.x", 0},
        {"BackGround3.x", "desert.bmp", "grass.bmp", "Cactus.x", "Cactus.x", "pyramid.x", 1100},
        {"BackGround9.x", nullptr, "wall5.bmp", "MountainL2.x", "TreeR.x", "BoostCrystal.x", 150},
        {"BackGround8.x", nullptr, "wall3.bmp", "Arrow1.x", "PoleR.x", "Enemybody4.x", 60},
    };
    const int w = 640, h = 480;
    sheet::Canvas cv(2 * w, 3 * h, 0);
    int i = 0;
    for (const Scene& sc : scenes) {
        sheet::View v;
        v.x0 = (i % 2) * w;
        v.y0 = (i / 2) * h;
        v.w = w;
        v.h = h;
        v.eye = {0, 41, -95};  // 95 behind and 35 above the body, which rides 6 above the road
        v.at = {0, 6, 300};
        sheet::DrawOptions unlit;
        unlit.lit = false;
        sheet::DrawOptions lit;
        long skyPixels = sheet::Draw(cv, v, meshes[sc.sky], textures, {v.eye, 1}, unlit);
        EXPECT_GT(skyPixels, w * h / 3) << sc.sky;
        cv.ClearDepth();
        if (sc.ground) sheet::Draw(cv, v, Quad({-5000, -64, 5000}, {5000, -64, 5000}, {5000, -64, -2000}, {-5000, -64, -2000}, sc.ground, 100, 70), textures, {}, lit);
        cv.ClearDepth();
        // The road (tiles of 32 units), walls 64 high on its edges, a skirt below.
        sheet::Draw(cv, v, Quad({-100, 0, 2000}, {100, 0, 2000}, {100, 0, -200}, {-100, 0, -200}, "road1.bmp", 200 / 32.0f, 2200 / 32.0f), textures, {}, lit);
        for (float sx : {-1.0f, 1.0f}) {
            sheet::Mesh wall = Quad({sx * 100, 64, 2000}, {sx * 100, 64, -200}, {sx * 100, 0, -200}, {sx * 100, 0, 2000}, sc.wall, 2200 / 64.0f, 1);
            sheet::DrawOptions twoSided = lit;
            twoSided.cull = false;
            sheet::Draw(cv, v, wall, textures, {}, twoSided);
        }
        for (float z = -100; z < 2000; z += 200) {
            if (sc.left) sheet::Draw(cv, v, meshes[sc.left], textures, {{-292, 0, z}, 1}, lit);
            if (sc.right) sheet::Draw(cv, v, meshes[sc.right], textures, {{292, 0, z + 100}, 1}, lit);
        }
        if (sc.extra) {
            float y = std::string(sc.extra).find("Crystal") != std::string::npos ? 11.0f : 0.0f;
            if (std::string(sc.extra).rfind("Enemy", 0) == 0) y = 6;
            sheet::Draw(cv, v, meshes[sc.extra], textures, {{std::string(sc.extra) == "TV.x" ? 292.0f : 0.0f, y, sc.extraZ}, 1}, lit);
        }
        for (const Part& p : Assembly(0)) {
            sheet::DrawOptions o = lit;
            o.cull = std::string(p.file).find("BFire") == std::string::npos;
            sheet::Placement pl = p.place;
            pl.offset = pl.offset + sheet::Vec{0, 6, 0};
            sheet::Draw(cv, v, meshes[p.file], textures, pl, o);
        }
        cv.ClearDepth();
        Label(cv, v.x0 + 4, v.y0 + 4, sc.sky, 0xffffff);
        ++i;
    }
    std::string out = std::string(KORVAN_BUILD_DIR) + "/chase_sheet.png";
    EXPECT_NE(stbi_write_png(out.c_str(), cv.w, cv.h, 3, cv.rgb.data(), cv.w * 3), 0);
}

// ---- through the game's own device ------------------------------------------------------------------

// Each course's sky drawn as the sky step draws it (at the camera, unlit, no depth writes, counter-
// clockwise faces culled) must cover the whole frame, and the car drawn lit in front of it must show.
TEST(VisualAssets, SkiesAndTheCarRenderOnTheGameDevice) {
    std::string logDir = fs::temp_directory_path() / ("korvan_visdev_" + std::to_string(::getpid()));
    fs::create_directories(logDir);
    ASSERT_TRUE(StartHeadlessDevice(logDir + "/debug.txt"));
    std::string oldCwd = fs::current_path();
    ASSERT_EQ(chdir(kData.c_str()), 0);
    // Every model loads through the game's Mesh with the textures its materials name.
    for (const char* f : kVisualMeshFiles) {
        Mesh mesh;
        EXPECT_TRUE(mesh.Load(f, 0xFF000000, 1)) << f;
        sheet::Mesh ours = LoadMesh(f);
        if (ours.faces.empty()) continue;
        ASSERT_EQ(mesh.materialCount, ours.materials.size()) << f;
        for (size_t i = 0; i < ours.materials.size(); ++i) {
            EXPECT_EQ(mesh.textures[i] != nullptr, !ours.materials[i].texture.empty()) << f << " subset " << i;
        }
    }
    {
        Mesh body, tyre, sky;
        ASSERT_TRUE(body.Load("KORVANbody.x", 0, 1));
        ASSERT_TRUE(tyre.Load("KORVANtire.x", 0, 1));
        D3DXVECTOR3 eye(0, 41, -95), target(0, 6, 300);
        for (const char* dome : kSkyDomes) {
            ASSERT_TRUE(sky.Load(dome, 0, 1)) << dome;
            SetCameraLookAt(eye, target, D3DXVECTOR3(0, 1, 0));
            device->SetTransform(D3DTS_VIEW, &viewMatrix);
            ASSERT_TRUE(BeginFrame(0xFF000000));
            device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
            device->SetRenderState(D3DRS_FOGENABLE, 0);
            device->SetRenderState(D3DRS_LIGHTING, 0);
            device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
            D3DXMATRIX world;
            D3DXMatrixTranslation(&world, eye.x, eye.y, eye.z);
            sky.Draw(world);
            std::vector<uint8_t> skyOnly(640 * 480 * 4);
            ASSERT_TRUE(device->ReadFrame(skyOnly.data()));
            device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
            device->SetRenderState(D3DRS_LIGHTING, 1);
            device->SetRenderState(D3DRS_AMBIENT, 0xFFD0D0D0);
            SetDirectionalLight(0, -1, -1, 1, 1, 1, 1);
            D3DXMatrixTranslation(&world, 0, 6, 0);
            body.Draw(world);
            for (float sx : {-3.6f, 3.6f}) {
                for (float z : {5.2f, -6.6f}) {
                    D3DXMatrixTranslation(&world, sx, 6 - 1.8f, z);
                    tyre.Draw(world);
                }
            }
            std::vector<uint8_t> px(640 * 480 * 4);
            ASSERT_TRUE(device->ReadFrame(px.data()));
            std::string shot = std::string(KORVAN_BUILD_DIR) + "/device_" + std::string(dome).substr(0, std::string(dome).size() - 2) + ".png";
            EXPECT_TRUE(WriteScreenshot(shot.c_str()));
            EndFrame();
            long black = 0;
            for (size_t i = 0; i < px.size(); i += 4) {
                if (px[i] == 0 && px[i + 1] == 0 && px[i + 2] == 0) ++black;
            }
            EXPECT_LT(black, 640 * 480 / 100) << dome << ": the sky leaves the frame uncovered";
            // The car, lit in front of the sky, changes the picture around where it stands.
            D3DXVECTOR3 car = ProjectToScreen(D3DXVECTOR3(0, 6, 0));
            long changed = 0;
            for (int y = std::max(0, int(car.y) - 40); y < std::min(480, int(car.y) + 40); ++y) {
                for (int x = std::max(0, int(car.x) - 50); x < std::min(640, int(car.x) + 50); ++x) {
                    size_t i = (size_t(y) * 640 + x) * 4;
                    if (std::abs(px[i] - skyOnly[i]) + std::abs(px[i + 1] - skyOnly[i + 1]) + std::abs(px[i + 2] - skyOnly[i + 2]) > 30) ++changed;
                }
            }
            EXPECT_GT(changed, 1200) << dome << ": the car at " << car.x << "," << car.y;
        }
    }
    EXPECT_EQ(chdir(oldCwd.c_str()), 0);
    StopHeadlessDevice();
    fs::remove_all(logDir);
}