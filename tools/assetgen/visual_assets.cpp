// Writes every mesh and texture of the data directory and builds the bitmaps for the executable,
// then checks the files written against the manifest.
#include <algorithm>
#include <cstdio>
#include <set>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/vis_manifest.h"
#include "tools/assetgen/vis_output.h"

static bool WriteBytes(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return (std::fclose(f) == 0) && ok;
}

void VisOutput::Mesh(const std::string& file, const XMesh& mesh) {
    std::string base = file.substr(0, file.find('.'));
    std::string text = FormatXFile(mesh, base);
    if (!WriteBytes(dir + "/" + file, text.data(), text.size())) {
        std::fprintf(stderr, "assetgen: cannot write %s/%s\n", dir.c_str(), file.c_str());
        ok = false;
    }
    written.push_back(file);
}

void VisOutput::Bmp(const std::string& file, const Image& img) {
    std::vector<uint8_t> bytes = EncodeBmp(img);
    if (!WriteBytes(dir + "/" + file, bytes.data(), bytes.size())) {
        std::fprintf(stderr, "assetgen: cannot write %s/%s\n", dir.c_str(), file.c_str());
        ok = false;
    }
    written.push_back(file);
}

bool WriteVisualAssets(const std::string& dataDir, std::vector<BuiltinBitmap>& builtins) {
    VisOutput out;
    out.dir = dataDir;
    WriteVehicleMeshes(out);
    WriteSceneryMeshes(out);
    WriteSkyMeshes(out);
    WriteTextures(out);
    WriteSkyTextures(out);
    MakeBuiltinBitmaps(builtins);

    std::set<std::string> expected, written(out.written.begin(), out.written.end());
    for (const char* f : kVisualMeshFiles) expected.insert(f);
    for (const char* f : kVisualTextureFiles) expected.insert(f);
    bool ok = out.ok;
    if (written.size() != out.written.size()) {
        std::fprintf(stderr, "assetgen: a visual asset was written twice\n");
        ok = false;
    }
    for (const std::string& f : expected) {
        if (!written.count(f)) {
            std::fprintf(stderr, "assetgen: %s is in the manifest but was not written\n", f.c_str());
            ok = false;
        }
    }
    for (const std::string& f : written) {
        if (!expected.count(f)) {
            std::fprintf(stderr, "assetgen: %s was written but is missing from the manifest\n", f.c_str());
            ok = false;
        }
    }
    for (const char* name : kBuiltinBitmapNames) {
        bool found = std::any_of(builtins.begin(), builtins.end(), [&](const BuiltinBitmap& b) { return b.name == name; });
        if (!found) {
            std::fprintf(stderr, "assetgen: built-in bitmap %s was not made\n", name);
            ok = false;
        }
    }
    return ok;
}
