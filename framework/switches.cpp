#include "framework/switches.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

ProgramOptions programOptions;

namespace {
// Numbers are read as 64-bit on every system: --seed's bound, 4294967295, does not fit where a
// long has 32 bits (the browser build's WebAssembly among them).
bool ParseNumber(const char* text, long long lo, long long hi, long long& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}
}  // namespace

bool ParseProgramOptions(int argc, char** argv, ProgramOptions& out, std::string& error) {
    out = ProgramOptions{};
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* next = (i + 1 < argc) ? argv[i + 1] : nullptr;
        long long n = 0;
        auto needNumber = [&](const char* name, long long lo, long long hi) -> bool {
            if (!ParseNumber(next, lo, hi, n)) {
                error = std::string(name) + " needs a number from " + std::to_string(lo) + " to " +
                        std::to_string(hi);
                return false;
            }
            ++i;
            return true;
        };
        auto needText = [&](const char* name) -> bool {
            if (!next || !*next) {
                error = std::string(name) + " needs a file name";
                return false;
            }
            ++i;
            return true;
        };
        if (!std::strcmp(a, "--headless")) {
            out.headless = true;
        } else if (!std::strcmp(a, "--unpaced")) {
            out.unpaced = true;
        } else if (!std::strcmp(a, "--autopilot")) {
            out.autopilot = true;
        } else if (!std::strcmp(a, "--exit-after-race")) {
            out.exitAfterRace = true;
        } else if (!std::strcmp(a, "--time-attack")) {
            out.timeAttack = true;
        } else if (!std::strcmp(a, "--skip-intro")) {
            out.skipIntro = true;
        } else if (!std::strcmp(a, "--frames")) {
            if (!needNumber("--frames", 1, 100000000)) return false;
            out.frames = static_cast<int>(n);
        } else if (!std::strcmp(a, "--seed")) {
            if (!needNumber("--seed", 0, 4294967295LL)) return false;
            out.seedGiven = true;
            out.seed = static_cast<unsigned>(n);
        } else if (!std::strcmp(a, "--course")) {
            if (!needNumber("--course", 1, 15)) return false;
            out.course = static_cast<int>(n);
        } else if (!std::strcmp(a, "--refresh")) {
            if (!needNumber("--refresh", 24, 1000)) return false;
            out.refreshHz = static_cast<int>(n);
        } else if (!std::strcmp(a, "--input")) {
            if (!needText("--input")) return false;
            out.inputFile = next;
        } else if (!std::strcmp(a, "--stats")) {
            if (!needText("--stats")) return false;
            out.statsFile = next;
        } else if (!std::strcmp(a, "--window")) {
            // WIDTHxHEIGHT, each side from 160 to 8192 pixels.
            const char* x = next ? std::strchr(next, 'x') : nullptr;
            long h = 0;
            if (!x || !ParseNumber(std::string(next, x - next).c_str(), 160, 8192, n) ||
                !ParseNumber(x + 1, 120, 8192, h)) {
                error = "--window needs WIDTHxHEIGHT (160x120 to 8192x8192)";
                return false;
            }
            out.windowWidth = static_cast<int>(n);
            out.windowHeight = static_cast<int>(h);
            ++i;
        } else if (!std::strcmp(a, "--shot")) {
            const char* colon = next ? std::strchr(next, ':') : nullptr;
            std::string frame = colon ? std::string(next, colon - next) : std::string();
            if (!colon || !colon[1] || !ParseNumber(frame.c_str(), 0, 100000000, n)) {
                error = "--shot needs FRAME:FILE.png";
                return false;
            }
            out.shots.emplace_back(static_cast<int>(n), std::string(colon + 1));
            ++i;
        }
    }
    return true;
}
