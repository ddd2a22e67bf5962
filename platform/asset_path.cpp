#include "platform/asset_path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The entry of directory `dir` whose name equals `name` ignoring ASCII case ("" when none).
std::string FindEntryIgnoringCase(const std::string& dir, const std::string& name) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            // An exact match cannot exist here (the caller checked), so the first one wins.
            break;
        }
    }
    closedir(d);
    return found;
}

}  // namespace

std::string ResolveAssetPath(const char* path) {
    if (!path || !*path) return path ? path : "";
    std::string original(path);
    if (Exists(original)) return original;

    // Walk the components; keep each that exists as written, else look it up ignoring case.
    std::string result;
    size_t pos = 0;
    if (original[0] == '/') {
        result = "/";
        pos = 1;
    }
    while (pos <= original.size()) {
        size_t slash = original.find('/', pos);
        if (slash == std::string::npos) slash = original.size();
        std::string part = original.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty()) continue;
        std::string dir = result;
        std::string candidate = result;
        if (!candidate.empty() && candidate.back() != '/') candidate += '/';
        candidate += part;
        if (part == "." || part == ".." || Exists(candidate)) {
            result = candidate;
            continue;
        }
        std::string match = FindEntryIgnoringCase(dir, part);
        if (match.empty()) return original;
        result = dir;
        if (!result.empty() && result.back() != '/') result += '/';
        result += match;
    }
    return result.empty() ? original : result;
}

bool ReadAssetFile(const char* path, std::vector<uint8_t>& out, size_t maxBytes) {
    out.clear();
    if (!path) return false;
    std::string resolved = ResolveAssetPath(path);
    FILE* f = std::fopen(resolved.c_str(), "rb");
    if (!f) return false;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > maxBytes) {
        std::fclose(f);
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = out.empty() ? 0 : std::fread(out.data(), 1, out.size(), f);
    std::fclose(f);
    if (got != out.size()) {
        out.clear();
        return false;
    }
    return true;
}
