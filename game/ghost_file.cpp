#include "game/ghost_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/debug_log.h"
#include "platform/atomic_file.h"
#include "platform/crc32.h"
#include "platform/user_dirs.h"

namespace {

constexpr const char* kProgramFolder = "korvan";
constexpr const char* kGhostFolder = "ghosts";
constexpr uint8_t kMagic[4] = {'K', 'V', 'G', 'H'};

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}
void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutFloat(std::vector<uint8_t>& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    PutU32(out, bits);
}
uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
float GetFloat(const uint8_t* p) {
    const uint32_t bits = GetU32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool Refuse(std::string* why, const char* reason) {
    if (why) *why = reason;
    return false;
}

// The whole file, when it is a regular file no larger than the limit.
bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes, std::string* why, bool* missing) {
    *missing = false;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        *missing = true;
        return false;
    }
    if (!S_ISREG(st.st_mode)) return Refuse(why, "not a regular file");
    if (static_cast<unsigned long long>(st.st_size) > kGhostFileByteLimit) return Refuse(why, "larger than 4 MiB");
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Refuse(why, "cannot be opened");
    bytes->assign(static_cast<size_t>(st.st_size), 0);
    const size_t got = bytes->empty() ? 0 : std::fread(bytes->data(), 1, bytes->size(), f);
    // Read one more byte: a file that grew since stat must not pass as its first part.
    uint8_t extra;
    const bool longer = std::fread(&extra, 1, 1, f) == 1;
    std::fclose(f);
    if (got != bytes->size() || longer) return Refuse(why, "changed while it was read");
    return true;
}

}  // namespace

std::string GhostFilePath(int course, bool makeFolder) {
    if (course < 1 || course > 99) return {};
    const std::string data = UserDirectory(UserDir::kData, kProgramFolder);
    if (data.empty()) return {};
    const std::string folder = data + "/" + kGhostFolder;
    if (makeFolder && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        LogWarning("ghost: cannot make the folder %s: %s\n", folder.c_str(), std::strerror(errno));
        return {};
    }
    char name[32];
    std::snprintf(name, sizeof name, "/course%02d.ghost", course);
    return folder + name;
}

std::vector<uint8_t> EncodeGhost(const GhostRun& run) {
    std::vector<uint8_t> out(kMagic, kMagic + 4);
    out.reserve(kGhostHeaderBytes + run.frames.size() * kGhostFrameBytes + kGhostCheckBytes);
    PutU32(out, kGhostVersion);
    PutU32(out, static_cast<uint32_t>(run.course));
    PutU32(out, static_cast<uint32_t>(run.laps));
    PutU32(out, static_cast<uint32_t>(run.totalMillis));
    PutU32(out, static_cast<uint32_t>(run.frames.size()));
    for (const GhostFrame& f : run.frames) {
        PutFloat(out, f.x);
        PutFloat(out, f.y);
        PutFloat(out, f.z);
        for (int k = 0; k < 4; ++k) PutU16(out, static_cast<uint16_t>(f.orientation[k]));
        PutU16(out, f.halfIndex);
        PutU16(out, static_cast<uint16_t>(f.wheelSpin));
        PutU16(out, static_cast<uint16_t>(f.tyreRoll));
        out.push_back(static_cast<uint8_t>(f.steer));
        out.push_back(static_cast<uint8_t>(f.lapsDone));
    }
    PutU32(out, Crc32(out.data(), out.size()));
    return out;
}

bool DecodeGhost(const uint8_t* bytes, size_t size, int course, GhostRun* out, std::string* why) {
    if (size > kGhostFileByteLimit) return Refuse(why, "larger than 4 MiB");
    if (size < kGhostHeaderBytes + kGhostCheckBytes) return Refuse(why, "too short");
    if (std::memcmp(bytes, kMagic, 4) != 0) return Refuse(why, "not a ghost file (wrong magic word)");
    if (GetU32(bytes + 4) != kGhostVersion) return Refuse(why, "a version this game does not read");
    if (GetU32(bytes + 8) != static_cast<uint32_t>(course)) return Refuse(why, "the ghost of another course");
    const uint32_t laps = GetU32(bytes + 12);
    if (laps < 1 || laps > 10) return Refuse(why, "lap count out of range");
    const uint32_t total = GetU32(bytes + 16);
    if (total > static_cast<uint32_t>(kGhostMaxMillis)) return Refuse(why, "total time out of range");
    const uint32_t count = GetU32(bytes + 20);
    if (count == 0 || count > static_cast<uint32_t>(kGhostFrameLimit)) return Refuse(why, "frame count out of range");
    if (size != kGhostHeaderBytes + count * kGhostFrameBytes + kGhostCheckBytes)
        return Refuse(why, "frame count does not match the size");
    if (Crc32(bytes, size - kGhostCheckBytes) != GetU32(bytes + size - kGhostCheckBytes))
        return Refuse(why, "bad checksum");

    std::vector<GhostFrame> frames(count);
    const uint8_t* p = bytes + kGhostHeaderBytes;
    for (GhostFrame& f : frames) {
        f.x = GetFloat(p);
        f.y = GetFloat(p + 4);
        f.z = GetFloat(p + 8);
        for (int k = 0; k < 4; ++k) f.orientation[k] = static_cast<int16_t>(GetU16(p + 12 + 2 * k));
        f.halfIndex = GetU16(p + 20);
        f.wheelSpin = static_cast<int16_t>(GetU16(p + 22));
        f.tyreRoll = static_cast<int16_t>(GetU16(p + 24));
        f.steer = static_cast<int8_t>(p[26]);
        f.lapsDone = static_cast<int8_t>(p[27]);
        if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.z))
            return Refuse(why, "a position that is not a number");
        if (f.steer < -1 || f.steer > 1 || f.lapsDone < -1 || f.lapsDone > static_cast<int>(laps))
            return Refuse(why, "a frame out of range");
        p += kGhostFrameBytes;
    }
    out->course = course;
    out->laps = static_cast<int>(laps);
    out->totalMillis = static_cast<int>(total);
    out->frames.swap(frames);
    return true;
}

bool ReadGhostFile(int course, GhostRun* out, bool* refused) {
    if (refused) *refused = false;
    const std::string path = GhostFilePath(course);
    if (path.empty()) {
        Log("ghost: course %d has no ghost: no data folder\n", course);
        return false;
    }
    std::vector<uint8_t> bytes;
    std::string why;
    bool missing = false;
    if (!ReadWhole(path, &bytes, &why, &missing) ||
        !DecodeGhost(bytes.data(), bytes.size(), course, out, &why)) {
        if (missing) {
            Log("ghost: course %d has no ghost yet\n", course);
            return false;
        }
        if (refused) *refused = true;
        LogWarning("ghost: %s refused (%s); it is left in place and the run has no ghost\n", path.c_str(), why.c_str());
        return false;
    }
    Log("ghost: %s read: %d frames, %d laps, total %d ms\n", path.c_str(), static_cast<int>(out->frames.size()),
        out->laps, out->totalMillis);
    return true;
}

bool KeepGhostIfFaster(const GhostRun& run) {
    if (run.frames.empty() || run.frames.size() > static_cast<size_t>(kGhostFrameLimit)) {
        LogWarning("ghost: a run of %d frames cannot be kept\n", static_cast<int>(run.frames.size()));
        return false;
    }
    const std::string path = GhostFilePath(run.course, true);
    if (path.empty()) {
        LogWarning("ghost: not kept: no data folder\n");
        return false;
    }
    GhostRun kept;
    bool refused = false;
    if (ReadGhostFile(run.course, &kept, &refused) && kept.totalMillis <= run.totalMillis) {
        Log("ghost: course %d: %d ms does not beat the ghost's %d ms; the ghost is kept\n", run.course,
            run.totalMillis, kept.totalMillis);
        return false;
    }
    if (refused) {
        const std::string aside = path + ".rejected";
        if (!CopyFileAtomically(path.c_str(), aside.c_str())) {
            LogWarning("ghost: not kept: the refused file could not be copied to %s\n", aside.c_str());
            return false;
        }
        LogWarning("ghost: the refused file is kept as %s\n", aside.c_str());
    }
    const std::vector<uint8_t> bytes = EncodeGhost(run);
    if (!WriteFileAtomically(path.c_str(), bytes.data(), bytes.size())) {
        LogWarning("ghost: not written to %s; the previous ghost is unchanged\n", path.c_str());
        return false;
    }
    Log("ghost: course %d: new ghost kept in %s (%d frames, total %d ms)\n", run.course, path.c_str(),
        static_cast<int>(run.frames.size()), run.totalMillis);
    return true;
}
