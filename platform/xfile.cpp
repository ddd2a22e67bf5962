#include "platform/xfile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/asset_path.h"
#include "platform/decimal.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Tokens. Both file forms are read as the same stream; list separators (',' and ';') carry no
// information the reader needs and are dropped, which also forgives exporters that get them wrong.

enum class Tok { End, Error, Name, Number, String, Open, Close, Guid, Other };

struct Token {
    Tok kind = Tok::End;
    double number = 0.0;
    std::string text;
};

// Binary token codes of the file format.
enum : uint16_t {
    kBinName = 1, kBinString = 2, kBinInteger = 3, kBinGuid = 5, kBinIntegerList = 6,
    kBinFloatList = 7, kBinOpenBrace = 10, kBinCloseBrace = 11, kBinOpenParen = 12,
    kBinCloseParen = 13, kBinOpenBracket = 14, kBinCloseBracket = 15, kBinOpenAngle = 16,
    kBinCloseAngle = 17, kBinDot = 18, kBinComma = 19, kBinSemicolon = 20, kBinTemplate = 31,
    kBinFirstKeyword = 40, kBinLastKeyword = 53,
};

constexpr size_t kMaxNameLength = 1024;

class Lexer {
public:
    Lexer(const uint8_t* data, size_t size, bool binary, bool doubles)
        : p_(data), end_(data + size), binary_(binary), doubles_(doubles) {}

    bool Next(Token& t) { return binary_ ? NextBinary(t) : NextText(t); }

    // An upper bound on how many more numbers the stream can deliver; counts read from the file
    // are checked against it before anything is allocated.
    size_t Capacity() const { return static_cast<size_t>(end_ - p_) + listLeft_; }

    const char* error = "";

private:
    static bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
    static bool IsDelimiter(uint8_t c) {
        static const auto table = [] {
            std::array<bool, 256> t{};
            for (const char* d = " \t\r\n\f\v,;{}<>[]()\"#"; *d; ++d) t[static_cast<uint8_t>(*d)] = true;
            t[0] = true;
            return t;
        }();
        return table[c];
    }

    bool Fail(Token& t, const char* why) {
        t.kind = Tok::Error;
        error = why;
        return false;
    }

    bool NextText(Token& t) {
        t.text.clear();
        for (;;) {
            while (p_ < end_ && (IsSpace(*p_) || *p_ == ',' || *p_ == ';')) ++p_;
            if (p_ >= end_) {
                t.kind = Tok::End;
                return true;
            }
            bool slashes = *p_ == '/' && p_ + 1 < end_ && p_[1] == '/';
            if (*p_ == '#' || slashes) {
                while (p_ < end_ && *p_ != '\n') ++p_;
                continue;
            }
            break;
        }
        uint8_t c = *p_;
        if (c == '{' || c == '}') {
            ++p_;
            t.kind = c == '{' ? Tok::Open : Tok::Close;
            return true;
        }
        if (c == '"') {
            const uint8_t* close = static_cast<const uint8_t*>(std::memchr(p_ + 1, '"', end_ - p_ - 1));
            if (!close) return Fail(t, "unterminated string");
            if (static_cast<size_t>(close - p_ - 1) > kMaxNameLength) return Fail(t, "string too long");
            t.text.assign(reinterpret_cast<const char*>(p_ + 1), close - p_ - 1);
            p_ = close + 1;
            t.kind = Tok::String;
            return true;
        }
        if (c == '<') {
            const uint8_t* close = static_cast<const uint8_t*>(std::memchr(p_ + 1, '>', std::min<size_t>(end_ - p_ - 1, 64)));
            if (!close) return Fail(t, "malformed class id");
            p_ = close + 1;
            t.kind = Tok::Guid;
            return true;
        }
        if (std::strchr("<>[]()", c) && c != 0) {
            ++p_;
            t.kind = Tok::Other;
            return true;
        }
        const uint8_t* start = p_;
        while (p_ < end_ && !IsDelimiter(*p_) && !(*p_ == '/' && p_ + 1 < end_ && p_[1] == '/')) ++p_;
        size_t len = static_cast<size_t>(p_ - start);
        if (len == 0) {
            ++p_;  // a stray NUL byte
            t.kind = Tok::Other;
            return true;
        }
        if (len > kMaxNameLength) return Fail(t, "name too long");
        t.text.assign(reinterpret_cast<const char*>(start), len);
        if (ParseNumber(t.text, t.number)) {
            t.kind = Tok::Number;
            if (!std::isfinite(t.number)) return Fail(t, "number out of range");
        } else {
            t.kind = Tok::Name;
        }
        return true;
    }

    // Decimal numbers only: an optional sign, digits with an optional fraction, an optional
    // exponent. Words like "nan" or "inf" are names, never numbers.
    static bool ParseNumber(const std::string& s, double& value) {
        size_t i = 0, n = s.size();
        if (i < n && (s[i] == '-' || s[i] == '+')) ++i;
        size_t digits = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
        if (i < n && s[i] == '.') {
            ++i;
            while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
        }
        if (digits == 0) return false;
        if (i < n && (s[i] == 'e' || s[i] == 'E')) {
            ++i;
            if (i < n && (s[i] == '-' || s[i] == '+')) ++i;
            size_t expDigits = 0;
            while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++expDigits;
            if (expDigits == 0) return false;
        }
        if (i != n) return false;
        // Locale-independent, so a decimal comma in the user's locale cannot change the model.
        const char* first = s.data() + (s[0] == '+' ? 1 : 0);
        bool outOfRange = false;  // read as HUGE_VAL, refused by the caller
        return ReadDecimal(first, s.data() + n, value, outOfRange);
    }

    bool Read16(uint16_t& v) {
        if (end_ - p_ < 2) return false;
        v = static_cast<uint16_t>(p_[0] | (p_[1] << 8));
        p_ += 2;
        return true;
    }
    bool Read32(uint32_t& v) {
        if (end_ - p_ < 4) return false;
        v = static_cast<uint32_t>(p_[0]) | (static_cast<uint32_t>(p_[1]) << 8) |
            (static_cast<uint32_t>(p_[2]) << 16) | (static_cast<uint32_t>(p_[3]) << 24);
        p_ += 4;
        return true;
    }

    bool NextBinary(Token& t) {
        t.text.clear();
        for (;;) {
            if (listLeft_ > 0) {
                --listLeft_;
                if (listFloats_ && doubles_) {
                    if (end_ - p_ < 8) return Fail(t, "truncated list");
                    uint64_t bits = 0;
                    for (int i = 7; i >= 0; --i) bits = (bits << 8) | p_[i];
                    p_ += 8;
                    double d;
                    std::memcpy(&d, &bits, 8);
                    t.number = d;
                } else {
                    uint32_t bits;
                    if (!Read32(bits)) return Fail(t, "truncated list");
                    if (listFloats_) {
                        float f;
                        std::memcpy(&f, &bits, 4);
                        t.number = f;
                    } else {
                        t.number = bits;
                    }
                }
                if (!std::isfinite(t.number)) return Fail(t, "number out of range");
                t.kind = Tok::Number;
                return true;
            }
            if (p_ >= end_) {
                t.kind = Tok::End;
                return true;
            }
            uint16_t code;
            if (!Read16(code)) return Fail(t, "truncated token");
            uint32_t count;
            switch (code) {
            case kBinName:
            case kBinString:
                if (!Read32(count)) return Fail(t, "truncated name");
                if (count > kMaxNameLength || count > static_cast<size_t>(end_ - p_)) return Fail(t, "name too long");
                t.text.assign(reinterpret_cast<const char*>(p_), count);
                p_ += count;
                if (code == kBinString) {
                    uint16_t terminator;
                    if (!Read16(terminator)) return Fail(t, "truncated string");
                }
                t.kind = code == kBinName ? Tok::Name : Tok::String;
                return true;
            case kBinInteger:
                if (!Read32(count)) return Fail(t, "truncated integer");
                t.number = count;
                t.kind = Tok::Number;
                return true;
            case kBinGuid:
                if (end_ - p_ < 16) return Fail(t, "truncated class id");
                p_ += 16;
                t.kind = Tok::Guid;
                return true;
            case kBinIntegerList:
            case kBinFloatList: {
                if (!Read32(count)) return Fail(t, "truncated list");
                size_t itemSize = (code == kBinFloatList && doubles_) ? 8 : 4;
                if (count > static_cast<size_t>(end_ - p_) / itemSize) return Fail(t, "list longer than the file");
                listLeft_ = count;
                listFloats_ = code == kBinFloatList;
                continue;
            }
            case kBinOpenBrace:
                t.kind = Tok::Open;
                return true;
            case kBinCloseBrace:
                t.kind = Tok::Close;
                return true;
            case kBinComma:
            case kBinSemicolon:
                continue;
            case kBinTemplate:
                t.kind = Tok::Name;
                t.text = "template";
                return true;
            default:
                if ((code >= kBinOpenParen && code <= kBinDot) || (code >= kBinFirstKeyword && code <= kBinLastKeyword)) {
                    t.kind = Tok::Other;
                    return true;
                }
                return Fail(t, "unknown binary token");
            }
        }
    }

    const uint8_t* p_;
    const uint8_t* end_;
    bool binary_;
    bool doubles_;
    size_t listLeft_ = 0;
    bool listFloats_ = false;
};

// ---------------------------------------------------------------------------------------------
// What the file holds before it is flattened.

using Mat4 = std::array<float, 16>;  // row-vector convention: p' = p * M, translation in 12..14

Mat4 Identity() {
    Mat4 m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a[i * 4 + k] * b[k * 4 + j];
            r[i * 4 + j] = s;
        }
    return r;
}

struct FrameNode {
    int parent;
    Mat4 local;
};

struct RawMesh {
    int frame = -1;  // -1: outside any frame
    std::vector<float> positions;       // 3 per vertex
    std::vector<uint32_t> faceSizes;
    std::vector<uint32_t> faceIndices;  // all faces' corners one after another
    std::vector<float> normals;         // 3 per normal
    std::vector<uint32_t> normalIndices;  // parallel to faceIndices
    bool hasNormals = false;
    std::vector<float> uvs;
    bool hasUVs = false;
    std::vector<uint32_t> colors;
    bool hasColors = false;
    std::vector<uint32_t> faceMaterials;
    std::vector<XMaterial> materials;
};

class Parser {
public:
    Parser(const uint8_t* data, size_t size, bool binary, bool doubles) : lex_(data, size, binary, doubles) {}

    bool Run() {
        for (;;) {
            Token t;
            if (!Take(t)) return false;
            if (t.kind == Tok::End) return true;
            if (t.kind == Tok::Name) {
                if (!TopLevelObject(t.text)) return false;
            } else if (t.kind == Tok::Open) {
                if (!SkipBlock()) return false;
            } else if (t.kind == Tok::Close) {
                return Fail("unbalanced '}'");
            }
        }
    }

    std::string error;
    std::vector<FrameNode> frames;
    std::vector<RawMesh> meshes;
    int meshObjects = 0;

private:
    bool Fail(const char* why) {
        if (error.empty()) error = why;
        return false;
    }

    bool Take(Token& t) {
        if (havePeek_) {
            t = std::move(peek_);
            havePeek_ = false;
            return true;
        }
        if (!lex_.Next(t)) return Fail(lex_.error);
        return true;
    }
    bool Peek(const Token*& t) {
        if (!havePeek_) {
            if (!lex_.Next(peek_)) return Fail(lex_.error);
            havePeek_ = true;
        }
        t = &peek_;
        return true;
    }

    // Skips the rest of a block whose '{' was just read.
    bool SkipBlock() {
        int depth = 1;
        Token t;
        while (depth > 0) {
            if (!Take(t)) return false;
            if (t.kind == Tok::End) return Fail("unexpected end of file");
            if (t.kind == Tok::Open) ++depth;
            if (t.kind == Tok::Close) --depth;
        }
        return true;
    }

    // After an object's type name: an optional instance name and class id, then '{'.
    bool ObjectHeader(std::string* name) {
        Token t;
        for (int i = 0; i < 3; ++i) {
            if (!Take(t)) return false;
            if (t.kind == Tok::Open) return true;
            if ((t.kind == Tok::Name || t.kind == Tok::Number) && i == 0) {
                if (name) *name = t.text;
                continue;
            }
            if (t.kind == Tok::Guid) continue;
            break;
        }
        return Fail("malformed object header");
    }

    bool TopLevelObject(const std::string& type) {
        if (type == "template") {
            Token name;
            if (!Take(name) || name.kind != Tok::Name) return Fail("malformed template");
            Token open;
            if (!Take(open) || open.kind != Tok::Open) return Fail("malformed template");
            return SkipBlock();
        }
        std::string name;
        if (!ObjectHeader(&name)) return false;
        if (type == "Frame") return ParseFrame(-1, 1);
        if (type == "Mesh") return ParseMesh(-1);
        if (type == "Material") {
            XMaterial m;
            if (!ParseMaterial(m, 1)) return false;
            if (!name.empty()) namedMaterials_[name] = m;
            return true;
        }
        return SkipBlock();
    }

    // Reads the children of an object until its '}', handing named child objects to `child`.
    template <typename F>
    bool Children(int depth, F&& child) {
        if (depth > kXMaxDepth) return Fail("objects nested too deeply");
        for (;;) {
            Token t;
            if (!Take(t)) return false;
            switch (t.kind) {
            case Tok::Close:
                return true;
            case Tok::End:
                return Fail("unexpected end of file");
            case Tok::Name: {
                std::string name;
                if (!ObjectHeader(&name)) return false;
                bool handled = false;
                if (!child(t.text, name, handled)) return false;
                if (!handled && !SkipBlock()) return false;
                break;
            }
            case Tok::Open: {
                // A reference to an object by name: "{ Name }".
                Token ref;
                if (!Take(ref)) return false;
                if (ref.kind == Tok::Close) break;
                if (ref.kind == Tok::End) return Fail("unexpected end of file");
                std::string refName = ref.kind == Tok::Name ? ref.text : std::string();
                if (ref.kind == Tok::Open && !SkipBlock()) return false;
                if (!SkipBlock()) return false;
                bool handled = false;
                if (!refName.empty() && !child(std::string(), refName, handled)) return false;
                break;
            }
            default:
                break;  // stray numbers or strings after the known members are ignored
            }
        }
    }

    bool ReadNumber(double& v) {
        Token t;
        if (!Take(t)) return false;
        if (t.kind != Tok::Number) return Fail(t.kind == Tok::End ? "unexpected end of file" : "expected a number");
        v = t.number;
        return true;
    }
    bool ReadFloat(float& f) {
        double v;
        if (!ReadNumber(v)) return false;
        if (std::fabs(v) > 1e30) return Fail("number out of range");
        f = static_cast<float>(v);
        return true;
    }
    bool ReadFloats(float* f, int n) {
        for (int i = 0; i < n; ++i)
            if (!ReadFloat(f[i])) return false;
        return true;
    }
    bool ReadUint(uint32_t& u, uint64_t limit) {
        double v;
        if (!ReadNumber(v)) return false;
        if (v < 0 || v != std::floor(v) || v >= static_cast<double>(limit)) return Fail("index or count out of range");
        u = static_cast<uint32_t>(v);
        return true;
    }
    // A count of elements that each take at least `perElement` further numbers.
    bool ReadCount(uint32_t& n, uint32_t max, size_t perElement) {
        if (!ReadUint(n, static_cast<uint64_t>(max) + 1)) return false;
        if (static_cast<uint64_t>(n) * perElement > lex_.Capacity()) return Fail("count larger than the file");
        return true;
    }

    bool ParseFrame(int parent, int depth) {
        if (depth > kXMaxDepth) return Fail("frames nested too deeply");
        int self = static_cast<int>(frames.size());
        frames.push_back({parent, Identity()});
        return Children(depth, [&](const std::string& type, const std::string&, bool& handled) {
            if (type == "FrameTransformMatrix") {
                handled = true;
                Mat4 m;
                if (!ReadFloats(m.data(), 16)) return false;
                frames[self].local = m;
                return SkipRest();
            }
            if (type == "Frame") {
                handled = true;
                return ParseFrame(self, depth + 1);
            }
            if (type == "Mesh") {
                handled = true;
                return ParseMesh(self);
            }
            return true;
        });
    }

    // The remaining members of a fully read object up to its '}'.
    bool SkipRest() { return Children(1, [](const std::string&, const std::string&, bool&) { return true; }); }

    bool ParseMesh(int frame) {
        ++meshObjects;
        RawMesh m;
        m.frame = frame;
        uint32_t vertexCount;
        if (!ReadCount(vertexCount, kXMaxElements, 3)) return false;
        m.positions.resize(static_cast<size_t>(vertexCount) * 3);
        if (!ReadFloats(m.positions.data(), static_cast<int>(m.positions.size()))) return false;
        uint32_t faceCount;
        if (!ReadCount(faceCount, kXMaxElements, 1)) return false;
        m.faceSizes.reserve(faceCount);
        for (uint32_t f = 0; f < faceCount; ++f) {
            uint32_t size;
            if (!ReadCount(size, kXMaxElements, 1)) return false;
            if (m.faceIndices.size() + size > kXMaxElements * 4ull) return Fail("too many face corners");
            m.faceSizes.push_back(size);
            for (uint32_t k = 0; k < size; ++k) {
                uint32_t index;
                if (!ReadUint(index, vertexCount)) return false;
                m.faceIndices.push_back(index);
            }
        }
        if (!Children(2, [&](const std::string& type, const std::string&, bool& handled) {
                if (type == "MeshNormals") {
                    handled = true;
                    return ParseNormals(m);
                }
                if (type == "MeshTextureCoords") {
                    handled = true;
                    return ParseTexCoords(m);
                }
                if (type == "MeshVertexColors") {
                    handled = true;
                    return ParseColors(m);
                }
                if (type == "MeshMaterialList") {
                    handled = true;
                    return ParseMaterialList(m);
                }
                return true;
            }))
            return false;
        meshes.push_back(std::move(m));
        return true;
    }

    bool ParseNormals(RawMesh& m) {
        uint32_t count;
        if (!ReadCount(count, kXMaxElements, 3)) return false;
        m.normals.resize(static_cast<size_t>(count) * 3);
        if (!ReadFloats(m.normals.data(), static_cast<int>(m.normals.size()))) return false;
        uint32_t faceCount;
        if (!ReadCount(faceCount, kXMaxElements, 1)) return false;
        // Normals are used only when their faces match the mesh's faces one for one.
        bool matches = faceCount == m.faceSizes.size();
        std::vector<uint32_t> indices;
        if (matches) indices.reserve(m.faceIndices.size());
        for (uint32_t f = 0; f < faceCount; ++f) {
            uint32_t size;
            if (!ReadCount(size, kXMaxElements, 1)) return false;
            if (matches && size != m.faceSizes[f]) matches = false;
            for (uint32_t k = 0; k < size; ++k) {
                uint32_t index;
                if (!ReadUint(index, count)) return false;
                if (matches) indices.push_back(index);
            }
        }
        if (matches) {
            m.normalIndices = std::move(indices);
            m.hasNormals = true;
        }
        return SkipRest();
    }

    bool ParseTexCoords(RawMesh& m) {
        uint32_t count;
        if (!ReadCount(count, kXMaxElements, 2)) return false;
        std::vector<float> uvs(static_cast<size_t>(count) * 2);
        if (!ReadFloats(uvs.data(), static_cast<int>(uvs.size()))) return false;
        if (count == m.positions.size() / 3) {
            m.uvs = std::move(uvs);
            m.hasUVs = true;
        }
        return SkipRest();
    }

    static uint32_t ToColor(const float* rgba) {
        auto channel = [](float v) {
            v = std::clamp(v, 0.0f, 1.0f);
            return static_cast<uint32_t>(std::lround(v * 255.0f));
        };
        return channel(rgba[3]) << 24 | channel(rgba[0]) << 16 | channel(rgba[1]) << 8 | channel(rgba[2]);
    }

    bool ParseColors(RawMesh& m) {
        uint32_t count;
        if (!ReadCount(count, kXMaxElements, 5)) return false;
        size_t vertexCount = m.positions.size() / 3;
        m.colors.assign(vertexCount, 0xFFFFFFFFu);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t index;
            float rgba[4];
            if (!ReadUint(index, vertexCount) || !ReadFloats(rgba, 4)) return false;
            m.colors[index] = ToColor(rgba);
        }
        m.hasColors = true;
        return SkipRest();
    }

    bool ParseMaterialList(RawMesh& m) {
        uint32_t materialCount, indexCount;
        if (!ReadCount(materialCount, kXMaxMaterials, 0)) return false;
        if (!ReadCount(indexCount, kXMaxElements, 1)) return false;
        std::vector<uint32_t> faceMaterials;
        faceMaterials.reserve(indexCount);
        for (uint32_t i = 0; i < indexCount; ++i) {
            uint32_t index;
            if (!ReadUint(index, std::max<uint32_t>(materialCount, 1))) return false;
            faceMaterials.push_back(index);
        }
        std::vector<XMaterial> materials;
        if (!Children(3, [&](const std::string& type, const std::string& name, bool& handled) {
                if (type == "Material") {
                    handled = true;
                    XMaterial mat;
                    if (!ParseMaterial(mat, 4)) return false;
                    if (materials.size() < kXMaxMaterials) materials.push_back(mat);
                    return true;
                }
                if (type.empty()) {  // a reference to a material defined at the top of the file
                    auto it = namedMaterials_.find(name);
                    if (it == namedMaterials_.end()) return Fail("reference to an unknown material");
                    if (materials.size() < kXMaxMaterials) materials.push_back(it->second);
                }
                return true;
            }))
            return false;
        if (materials.size() < materialCount) return Fail("fewer materials than declared");
        materials.resize(materialCount);
        // Exporters often write a single index for a mesh of one material: the last index given
        // stands for the remaining faces.
        size_t faceCount = m.faceSizes.size();
        if (faceMaterials.size() > faceCount) faceMaterials.resize(faceCount);
        uint32_t last = faceMaterials.empty() ? 0 : faceMaterials.back();
        faceMaterials.resize(faceCount, last);
        if (materialCount == 0) {
            materials.clear();
            faceMaterials.clear();
        }
        m.materials = std::move(materials);
        m.faceMaterials = std::move(faceMaterials);
        return true;
    }

    bool ParseMaterial(XMaterial& mat, int depth) {
        if (!ReadFloats(mat.diffuse, 4) || !ReadFloat(mat.power) || !ReadFloats(mat.specular, 3) ||
            !ReadFloats(mat.emissive, 3))
            return false;
        return Children(depth, [&](const std::string& type, const std::string&, bool& handled) {
            if (type == "TextureFilename" || type == "TextureFileName") {
                handled = true;
                Token t;
                if (!Take(t)) return false;
                if (t.kind == Tok::String || t.kind == Tok::Name) {
                    mat.textureFile = t.text;
                    for (char& c : mat.textureFile)
                        if (c == '\\') c = '/';
                    // Exporters escape backslashes in paths; collapse the doubled separators.
                    std::string cleaned;
                    for (char c : mat.textureFile)
                        if (!(c == '/' && !cleaned.empty() && cleaned.back() == '/')) cleaned += c;
                    mat.textureFile = cleaned;
                } else if (t.kind == Tok::Close) {
                    return true;
                }
                return SkipRest();
            }
            return true;
        });
    }

    Lexer lex_;
    Token peek_;
    bool havePeek_ = false;
    std::unordered_map<std::string, XMaterial> namedMaterials_;
};

// ---------------------------------------------------------------------------------------------
// Flattening into one mesh.

void Normalize(float* v) {
    float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 1e-20f) {
        v[0] /= len;
        v[1] /= len;
        v[2] /= len;
    }
}

// Smooth normals from the faces when the file gives none (cross product of the first two edges
// points out of the front face of a clockwise triangle in the left-handed system).
std::vector<float> ComputeNormals(const RawMesh& m) {
    std::vector<float> normals(m.positions.size(), 0.0f);
    size_t corner = 0;
    for (uint32_t size : m.faceSizes) {
        for (uint32_t k = 1; k + 1 < size; ++k) {
            const float* a = &m.positions[m.faceIndices[corner] * 3];
            const float* b = &m.positions[m.faceIndices[corner + k] * 3];
            const float* c = &m.positions[m.faceIndices[corner + k + 1] * 3];
            float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
            for (uint32_t j = 0; j < size; ++j)
                for (int i = 0; i < 3; ++i) normals[m.faceIndices[corner + j] * 3 + i] += n[i];
        }
        corner += size;
    }
    for (size_t i = 0; i + 2 < normals.size(); i += 3) Normalize(&normals[i]);
    return normals;
}

struct Triangle {
    uint32_t v[3];
    uint32_t material;
};

bool Flatten(Parser& parser, XMesh& out, std::string* error) {
    // World matrix of every frame; parents always come before their children.
    std::vector<Mat4> world(parser.frames.size());
    for (size_t i = 0; i < parser.frames.size(); ++i) {
        const FrameNode& f = parser.frames[i];
        world[i] = f.parent < 0 ? f.local : Multiply(f.local, world[f.parent]);
    }

    std::vector<Triangle> triangles;
    for (RawMesh& m : parser.meshes) {
        uint32_t materialBase = static_cast<uint32_t>(out.materials.size());
        if (m.materials.empty()) {
            out.materials.push_back(XMaterial{});  // a mesh without materials is drawn plain white
            m.faceMaterials.assign(m.faceSizes.size(), 0);
        } else {
            if (out.materials.size() + m.materials.size() > kXMaxMaterials) {
                *error = "too many materials";
                return false;
            }
            out.materials.insert(out.materials.end(), m.materials.begin(), m.materials.end());
        }

        Mat4 w = m.frame < 0 ? Identity() : world[m.frame];
        // Normals follow the inverse transpose of the upper 3 x 3 part.
        float a[9] = {w[0], w[1], w[2], w[4], w[5], w[6], w[8], w[9], w[10]};
        float det = a[0] * (a[4] * a[8] - a[5] * a[7]) - a[1] * (a[3] * a[8] - a[5] * a[6]) +
                    a[2] * (a[3] * a[7] - a[4] * a[6]);
        float nm[9];  // n' = n * nm
        if (std::fabs(det) > 1e-12f) {
            float inv[9] = {
                (a[4] * a[8] - a[5] * a[7]) / det, (a[2] * a[7] - a[1] * a[8]) / det, (a[1] * a[5] - a[2] * a[4]) / det,
                (a[5] * a[6] - a[3] * a[8]) / det, (a[0] * a[8] - a[2] * a[6]) / det, (a[2] * a[3] - a[0] * a[5]) / det,
                (a[3] * a[7] - a[4] * a[6]) / det, (a[1] * a[6] - a[0] * a[7]) / det, (a[0] * a[4] - a[1] * a[3]) / det};
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) nm[r * 3 + c] = inv[c * 3 + r];
        } else {
            std::copy(a, a + 9, nm);
        }
        // A mirroring frame turns the faces inside out; swap the winding so they still face out.
        bool mirrored = det < 0.0f;

        std::vector<float> computed;
        if (!m.hasNormals) computed = ComputeNormals(m);

        std::unordered_map<uint64_t, uint32_t> vertexOf;
        auto vertexFor = [&](uint32_t pos, uint32_t normal) -> uint32_t {
            uint64_t key = (static_cast<uint64_t>(pos) << 32) | normal;
            auto it = vertexOf.find(key);
            if (it != vertexOf.end()) return it->second;
            XVertex v{};
            const float* p = &m.positions[pos * 3];
            for (int c = 0; c < 3; ++c) v.position[c] = p[0] * w[c] + p[1] * w[4 + c] + p[2] * w[8 + c] + w[12 + c];
            const float* n = m.hasNormals ? &m.normals[normal * 3] : &computed[pos * 3];
            for (int c = 0; c < 3; ++c) v.normal[c] = n[0] * nm[c] + n[1] * nm[3 + c] + n[2] * nm[6 + c];
            Normalize(v.normal);
            if (m.hasUVs) {
                v.uv[0] = m.uvs[pos * 2];
                v.uv[1] = m.uvs[pos * 2 + 1];
            }
            v.color = m.hasColors ? m.colors[pos] : 0xFFFFFFFFu;
            uint32_t index = static_cast<uint32_t>(out.vertices.size());
            out.vertices.push_back(v);
            vertexOf.emplace(key, index);
            return index;
        };

        size_t corner = 0;
        for (size_t f = 0; f < m.faceSizes.size(); ++f) {
            uint32_t size = m.faceSizes[f];
            if (triangles.size() + (size > 2 ? size - 2 : 0) > kXMaxTriangles) {
                *error = "too many triangles";
                return false;
            }
            auto corner_vertex = [&](uint32_t k) {
                size_t c = corner + k;
                return vertexFor(m.faceIndices[c], m.hasNormals ? m.normalIndices[c] : m.faceIndices[c]);
            };
            // Faces of more than three corners are split into a fan around the first corner.
            for (uint32_t k = 1; k + 1 < size; ++k) {
                Triangle t;
                t.v[0] = corner_vertex(0);
                t.v[1] = corner_vertex(mirrored ? k + 1 : k);
                t.v[2] = corner_vertex(mirrored ? k : k + 1);
                t.material = materialBase + m.faceMaterials[f];
                triangles.push_back(t);
            }
            corner += size;
        }
        out.hasTexCoords |= m.hasUVs;
        out.hasColors |= m.hasColors;
    }

    // One subset per material, in material order; triangles keep their file order inside it.
    uint32_t materialCount = static_cast<uint32_t>(out.materials.size());
    std::vector<uint32_t> start(materialCount + 1, 0);
    for (const Triangle& t : triangles) ++start[t.material + 1];
    for (uint32_t i = 0; i < materialCount; ++i) start[i + 1] += start[i];
    out.indices.assign(triangles.size() * 3, 0);
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (const Triangle& t : triangles) {
        uint32_t slot = fill[t.material]++;
        std::copy(t.v, t.v + 3, &out.indices[slot * 3]);
    }
    out.subsets.clear();
    for (uint32_t i = 0; i < materialCount; ++i) {
        XSubset s{i, start[i] * 3, start[i + 1] - start[i], 0, 0};
        out.subsets.push_back(s);
    }
    return true;
}

}  // namespace

// Vertex range and bounding volumes, recomputed after any reordering.
static void FinishMesh(XMesh& out) {
    for (XSubset& s : out.subsets) {
        if (s.triangleCount == 0) {
            s.vertexMin = s.vertexEnd = 0;
            continue;
        }
        uint32_t lo = UINT32_MAX, hi = 0;
        for (uint32_t i = 0; i < s.triangleCount * 3; ++i) {
            uint32_t v = out.indices[s.indexStart + i];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        s.vertexMin = lo;
        s.vertexEnd = hi + 1;
    }
    if (out.vertices.empty()) return;
    for (int c = 0; c < 3; ++c) out.boundsMin[c] = out.boundsMax[c] = out.vertices[0].position[c];
    double sum[3] = {0, 0, 0};
    for (const XVertex& v : out.vertices)
        for (int c = 0; c < 3; ++c) {
            out.boundsMin[c] = std::min(out.boundsMin[c], v.position[c]);
            out.boundsMax[c] = std::max(out.boundsMax[c], v.position[c]);
            sum[c] += v.position[c];
        }
    // The sphere is centred on the mean of the vertices, as the bounding spheres the game was
    // made with are, and reaches the farthest vertex.
    for (int c = 0; c < 3; ++c) out.sphereCenter[c] = static_cast<float>(sum[c] / out.vertices.size());
    float r2 = 0.0f;
    for (const XVertex& v : out.vertices) {
        float d[3] = {v.position[0] - out.sphereCenter[0], v.position[1] - out.sphereCenter[1], v.position[2] - out.sphereCenter[2]};
        r2 = std::max(r2, d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    }
    out.sphereRadius = std::sqrt(r2);
}

bool XFileParse(const void* data, size_t size, XMesh& out, std::string* error) {
    std::string scratch;
    if (!error) error = &scratch;
    error->clear();
    out = XMesh{};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || size < 16 || std::memcmp(bytes, "xof ", 4) != 0) {
        *error = "not a model file";
        return false;
    }
    bool binary;
    if (std::memcmp(bytes + 8, "txt ", 4) == 0) {
        binary = false;
    } else if (std::memcmp(bytes + 8, "bin ", 4) == 0) {
        binary = true;
    } else if (std::memcmp(bytes + 8, "tzip", 4) == 0 || std::memcmp(bytes + 8, "bzip", 4) == 0) {
        *error = "compressed model files are not supported";
        return false;
    } else {
        *error = "unknown model file format";
        return false;
    }
    bool doubles;
    if (std::memcmp(bytes + 12, "0032", 4) == 0) {
        doubles = false;
    } else if (std::memcmp(bytes + 12, "0064", 4) == 0) {
        doubles = true;
    } else {
        *error = "unknown float size";
        return false;
    }

    Parser parser(bytes + 16, size - 16, binary, doubles);
    if (!parser.Run()) {
        *error = parser.error.empty() ? "malformed file" : parser.error;
        return false;
    }
    if (parser.meshObjects == 0) {
        *error = "no mesh in the file";
        return false;
    }
    if (!Flatten(parser, out, error)) {
        out = XMesh{};
        return false;
    }
    FinishMesh(out);
    return true;
}

bool XFileLoad(const char* path, XMesh& out, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!ReadAssetFile(path, bytes, 64u << 20)) {
        if (error) *error = "cannot read the file";
        out = XMesh{};
        return false;
    }
    return XFileParse(bytes.data(), bytes.size(), out, error);
}

// ---------------------------------------------------------------------------------------------
// Vertex-cache ordering: a greedy pass that keeps picking the triangle whose corners were used most
// recently (a simulated 32-entry cache), in the manner of Forsyth's linear-speed optimiser.

namespace {

constexpr int kCacheSize = 32;

float VertexScore(int cachePosition, int remaining) {
    if (remaining == 0) return -1.0f;
    float score = 0.0f;
    if (cachePosition >= 0) {
        if (cachePosition < 3) {
            score = 0.75f;
        } else {
            float scaler = 1.0f / (kCacheSize - 3);
            score = std::pow(1.0f - (cachePosition - 3) * scaler, 1.5f);
        }
    }
    score += 2.0f * std::pow(static_cast<float>(remaining), -0.5f);
    return score;
}

// Orders `count` triangles (indices in tri[0 .. 3 * count)) in place.
void OrderForCache(uint32_t* tri, uint32_t count, uint32_t vertexCount) {
    if (count < 2) return;
    std::vector<uint32_t> used(vertexCount, 0);
    for (uint32_t i = 0; i < count * 3; ++i) ++used[tri[i]];
    std::vector<uint32_t> offset(vertexCount + 1, 0);
    for (uint32_t v = 0; v < vertexCount; ++v) offset[v + 1] = offset[v] + used[v];
    std::vector<uint32_t> vertexTris(count * 3);
    std::vector<uint32_t> fillPos(offset.begin(), offset.end() - 1);
    for (uint32_t t = 0; t < count; ++t)
        for (int k = 0; k < 3; ++k) vertexTris[fillPos[tri[t * 3 + k]]++] = t;

    std::vector<uint32_t> remaining = used;
    std::vector<int> cachePos(vertexCount, -1);
    std::vector<float> vscore(vertexCount);
    for (uint32_t v = 0; v < vertexCount; ++v) vscore[v] = VertexScore(-1, remaining[v]);
    std::vector<float> tscore(count);
    std::vector<char> done(count, 0);
    for (uint32_t t = 0; t < count; ++t)
        tscore[t] = vscore[tri[t * 3]] + vscore[tri[t * 3 + 1]] + vscore[tri[t * 3 + 2]];

    std::vector<uint32_t> order;
    order.reserve(count);
    std::vector<uint32_t> cache;
    uint32_t scan = 0;
    int64_t best = -1;
    while (order.size() < count) {
        if (best < 0) {
            // Nothing in the cache leads on: take the best remaining triangle in order.
            float bestScore = -1e30f;
            for (uint32_t t = scan; t < count; ++t) {
                if (done[t]) {
                    if (t == scan) ++scan;
                    continue;
                }
                if (tscore[t] > bestScore) {
                    bestScore = tscore[t];
                    best = t;
                }
            }
            if (best < 0) break;
        }
        uint32_t t = static_cast<uint32_t>(best);
        done[t] = 1;
        order.push_back(t);
        std::vector<uint32_t> newCache;
        newCache.reserve(kCacheSize + 3);
        for (int k = 0; k < 3; ++k) {
            uint32_t v = tri[t * 3 + k];
            --remaining[v];
            // Drop this triangle from the vertex's list of pending triangles.
            uint32_t* begin = &vertexTris[offset[v]];
            uint32_t* end = begin + remaining[v] + 1;
            uint32_t* hit = std::find(begin, end, t);
            if (hit != end) std::swap(*hit, *(end - 1));
            if (std::find(newCache.begin(), newCache.end(), v) == newCache.end()) newCache.push_back(v);
        }
        for (uint32_t v : cache)
            if (std::find(newCache.begin(), newCache.end(), v) == newCache.end()) newCache.push_back(v);
        for (size_t i = 0; i < newCache.size(); ++i) {
            uint32_t v = newCache[i];
            cachePos[v] = i < kCacheSize ? static_cast<int>(i) : -1;
            vscore[v] = VertexScore(cachePos[v], remaining[v]);
        }
        if (newCache.size() > kCacheSize) newCache.resize(kCacheSize);
        cache.swap(newCache);

        best = -1;
        float bestScore = -1e30f;
        for (uint32_t v : cache) {
            for (uint32_t i = 0; i < remaining[v]; ++i) {
                uint32_t u = vertexTris[offset[v] + i];
                tscore[u] = vscore[tri[u * 3]] + vscore[tri[u * 3 + 1]] + vscore[tri[u * 3 + 2]];
                if (tscore[u] > bestScore) {
                    bestScore = tscore[u];
                    best = u;
                }
            }
        }
    }
    std::vector<uint32_t> sorted(count * 3);
    for (uint32_t i = 0; i < count; ++i) std::copy(tri + order[i] * 3, tri + order[i] * 3 + 3, &sorted[i * 3]);
    std::copy(sorted.begin(), sorted.end(), tri);
}

}  // namespace

bool XOptimizeMesh(XMesh& mesh) {
    uint32_t vertexCount = static_cast<uint32_t>(mesh.vertices.size());
    for (uint32_t i : mesh.indices)
        if (i >= vertexCount) return false;
    for (const XSubset& s : mesh.subsets)
        if (static_cast<uint64_t>(s.indexStart) + s.triangleCount * 3ull > mesh.indices.size()) return false;
    for (const XSubset& s : mesh.subsets)
        if (s.triangleCount > 1) OrderForCache(mesh.indices.data() + s.indexStart, s.triangleCount, vertexCount);

    // Renumber vertices in first-use order so the vertex fetches run forward too; vertices that
    // no triangle uses are dropped.
    std::vector<uint32_t> remap(vertexCount, UINT32_MAX);
    std::vector<XVertex> vertices;
    vertices.reserve(vertexCount);
    for (uint32_t& i : mesh.indices) {
        if (remap[i] == UINT32_MAX) {
            remap[i] = static_cast<uint32_t>(vertices.size());
            vertices.push_back(mesh.vertices[i]);
        }
        i = remap[i];
    }
    // Keep the bounds of the whole file even if some vertices were unused.
    float boundsMin[3], boundsMax[3], center[3], radius = mesh.sphereRadius;
    std::copy(mesh.boundsMin, mesh.boundsMin + 3, boundsMin);
    std::copy(mesh.boundsMax, mesh.boundsMax + 3, boundsMax);
    std::copy(mesh.sphereCenter, mesh.sphereCenter + 3, center);
    mesh.vertices.swap(vertices);
    FinishMesh(mesh);
    std::copy(boundsMin, boundsMin + 3, mesh.boundsMin);
    std::copy(boundsMax, boundsMax + 3, mesh.boundsMax);
    std::copy(center, center + 3, mesh.sphereCenter);
    mesh.sphereRadius = radius;
    return true;
}
