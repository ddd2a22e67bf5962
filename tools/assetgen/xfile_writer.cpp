#include "tools/assetgen/xfile_writer.h"

#include <cstdio>

XMaterial Mat(unsigned rgb, float alpha, float glow, const std::string& texture) {
    XMaterial m;
    m.r = ((rgb >> 16) & 255) / 255.0f;
    m.g = ((rgb >> 8) & 255) / 255.0f;
    m.b = (rgb & 255) / 255.0f;
    m.a = alpha;
    m.er = m.r * glow;
    m.eg = m.g * glow;
    m.eb = m.b * glow;
    m.texture = texture;
    return m;
}

static bool SameMaterial(const XMaterial& a, const XMaterial& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a && a.power == b.power && a.sr == b.sr &&
           a.sg == b.sg && a.sb == b.sb && a.er == b.er && a.eg == b.eg && a.eb == b.eb &&
           a.texture == b.texture;
}

int XMesh::AddMaterial(const XMaterial& m) {
    for (size_t i = 0; i < materials.size(); ++i) {
        if (SameMaterial(materials[i], m)) return static_cast<int>(i);
    }
    materials.push_back(m);
    return static_cast<int>(materials.size()) - 1;
}

int XMesh::AddVertex(V3 p, V3 n, V2 uv) {
    positions.push_back(p);
    normals.push_back(Normalize(n));
    uvs.push_back(uv);
    return static_cast<int>(positions.size()) - 1;
}

void XMesh::AddFace(const std::vector<int>& idx, int material) {
    faces.push_back(idx);
    faceMaterial.push_back(material);
}

void XMesh::Append(const XMesh& other) {
    int base = static_cast<int>(positions.size());
    for (size_t i = 0; i < other.positions.size(); ++i) {
        AddVertex(other.positions[i], other.normals[i], other.uvs[i]);
    }
    for (size_t f = 0; f < other.faces.size(); ++f) {
        std::vector<int> idx = other.faces[f];
        for (int& i : idx) i += base;
        AddFace(idx, AddMaterial(other.materials[other.faceMaterial[f]]));
    }
}

// Fixed six decimals keep the files byte-identical between runs and machines; a negative zero is
// written as zero so that mirrored halves of a model read the same.
static void AppendFloat(std::string& out, float v) {
    char buf[48];
    if (std::fabs(v) < 5e-7f) v = 0.0f;
    std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
    out += buf;
}

static void AppendInt(std::string& out, long v) { out += std::to_string(v); }

static void AppendFaceList(std::string& out, const std::vector<std::vector<int>>& faces) {
    AppendInt(out, static_cast<long>(faces.size()));
    out += ";\n";
    for (size_t f = 0; f < faces.size(); ++f) {
        out += "  ";
        AppendInt(out, static_cast<long>(faces[f].size()));
        out += ";";
        for (size_t k = 0; k < faces[f].size(); ++k) {
            if (k) out += ",";
            AppendInt(out, faces[f][k]);
        }
        out += (f + 1 < faces.size()) ? ";,\n" : ";;\n";
    }
}

std::string FormatXFile(const XMesh& mesh, const std::string& meshName) {
    std::string out = "xof 0302txt 0032\n";
    if (mesh.Empty()) {
        // A mesh object with no vertices and no faces: a well-formed file that draws nothing.
        out += "Mesh " + meshName + " {\n 0;;\n 0;;\n}\n";
        return out;
    }
    out += "Mesh " + meshName + " {\n ";
    AppendInt(out, static_cast<long>(mesh.positions.size()));
    out += ";\n";
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        out += "  ";
        AppendFloat(out, mesh.positions[i].x);
        out += ";";
        AppendFloat(out, mesh.positions[i].y);
        out += ";";
        AppendFloat(out, mesh.positions[i].z);
        out += (i + 1 < mesh.positions.size()) ? ";,\n" : ";;\n";
    }
    out += " ";
    AppendFaceList(out, mesh.faces);

    out += " MeshNormals {\n  ";
    AppendInt(out, static_cast<long>(mesh.normals.size()));
    out += ";\n";
    for (size_t i = 0; i < mesh.normals.size(); ++i) {
        out += "  ";
        AppendFloat(out, mesh.normals[i].x);
        out += ";";
        AppendFloat(out, mesh.normals[i].y);
        out += ";";
        AppendFloat(out, mesh.normals[i].z);
        out += (i + 1 < mesh.normals.size()) ? ";,\n" : ";;\n";
    }
    out += "  ";
    AppendFaceList(out, mesh.faces);
    out += " }\n";

    out += " MeshTextureCoords {\n  ";
    AppendInt(out, static_cast<long>(mesh.uvs.size()));
    out += ";\n";
    for (size_t i = 0; i < mesh.uvs.size(); ++i) {
        out += "  ";
        AppendFloat(out, mesh.uvs[i].u);
        out += ";";
        AppendFloat(out, mesh.uvs[i].v);
        out += (i + 1 < mesh.uvs.size()) ? ";,\n" : ";;\n";
    }
    out += " }\n";

    out += " MeshMaterialList {\n  ";
    AppendInt(out, static_cast<long>(mesh.materials.size()));
    out += ";\n  ";
    AppendInt(out, static_cast<long>(mesh.faceMaterial.size()));
    out += ";\n";
    for (size_t f = 0; f < mesh.faceMaterial.size(); ++f) {
        out += "  ";
        AppendInt(out, mesh.faceMaterial[f]);
        out += (f + 1 < mesh.faceMaterial.size()) ? ",\n" : ";;\n";
    }
    for (const XMaterial& m : mesh.materials) {
        out += "  Material {\n   ";
        AppendFloat(out, m.r);
        out += ";";
        AppendFloat(out, m.g);
        out += ";";
        AppendFloat(out, m.b);
        out += ";";
        AppendFloat(out, m.a);
        out += ";;\n   ";
        AppendFloat(out, m.power);
        out += ";\n   ";
        AppendFloat(out, m.sr);
        out += ";";
        AppendFloat(out, m.sg);
        out += ";";
        AppendFloat(out, m.sb);
        out += ";;\n   ";
        AppendFloat(out, m.er);
        out += ";";
        AppendFloat(out, m.eg);
        out += ";";
        AppendFloat(out, m.eb);
        out += ";;\n";
        if (!m.texture.empty()) out += "   TextureFilename {\n    \"" + m.texture + "\";\n   }\n";
        out += "  }\n";
    }
    out += " }\n}\n";
    return out;
}
