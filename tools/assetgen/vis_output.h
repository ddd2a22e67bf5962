// Where the visual asset writers put their files: the data directory and the list of every file
// written, which the generator checks against the manifest before it reports success.
#pragma once
#include <string>
#include <vector>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/tex_bmp.h"
#include "tools/assetgen/xfile_writer.h"

struct VisOutput {
    std::string dir;
    std::vector<std::string> written;
    bool ok = true;
    void Mesh(const std::string& file, const XMesh& mesh);
    void Bmp(const std::string& file, const Image& img);
};

void WriteVehicleMeshes(VisOutput& out);   // the cars, tyres, shadows and flames
void WriteSceneryMeshes(VisOutput& out);   // trackside scenery, gate, crystals, title letters
void WriteSkyMeshes(VisOutput& out);       // backgrounds and the far-away set pieces
void WriteTextures(VisOutput& out);        // road, wall, ground, effect and sign textures
void WriteSkyTextures(VisOutput& out);     // the pictures painted on the backgrounds
void MakeBuiltinBitmaps(std::vector<BuiltinBitmap>& builtins);
