#include "framework/switches.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef KORVAN_VERSION
#define KORVAN_VERSION "1.0"
#endif

ProgramOptions programOptions;

namespace {

// Every switch the program takes, in the order --help lists them: its name, the value it takes
// (nullptr for none) and one line of what it does. A "--word" not in this table is refused.
struct SwitchLine {
    const char* name;
    const char* value;
    const char* text;
};
const SwitchLine kSwitchLines[] = {
    {"-dbf", nullptr, "append the debug log to debug.txt beside the executable (else ~/.local/state/korvan/)"},
    {"-win", nullptr, "run in a window this time (otherwise display.mode in korvan.cfg decides)"},
    {"-2nd", nullptr, "use the second display"},
    {"/3ds", nullptr, "turn 3D sound off"},
    {"/fx", nullptr, "turn sound-effect processing off"},
    {"--headless", nullptr, "off-screen video, no display and no audio device needed"},
    {"--frames", "N", "close the game after N frames, through the normal quit path"},
    {"--unpaced", nullptr, "run frames back to back without sleeping"},
    {"--seed", "N", "seed the random generator with N (0 to 4294967295) instead of the clock"},
    {"--input", "FILE", "replay scripted key and pad input, frame by frame"},
    {"--shot", "N:FILE.png", "write frame N as a PNG at the size it is drawn (repeatable)"},
    {"--window", "WxH", "open the window at W x H pixels, off-screen too (a wide picture with display.aspect)"},
    {"--refresh", "HZ", "draw as for a display of HZ refreshes a second"},
    {"--course", "N", "after boot go straight to course N's intro (1 to 15)"},
    {"--time-attack", nullptr, "with --course N: race course N as a Time Attack against its ghost"},
    {"--skip-intro", nullptr, "a course begins at its countdown, without its intro"},
    {"--autopilot", nullptr, "the player's car drives itself"},
    {"--exit-after-race", nullptr, "quit as soon as the race is over"},
    {"--stats", "FILE", "write frame-time statistics as JSON at exit"},
    {"--help", nullptr, "show this help and exit"},
    {"--version", nullptr, "show the game's name and version and exit"},
};

// The files the game reads and writes, for --help.
const char* const kFilesText =
    "Files:\n"
    "  $XDG_CONFIG_HOME/korvan/korvan.cfg (~/.config/korvan/)\n"
    "      settings: display, sound volumes, pad dead zone, rumble, race keys; rewritten when changed in play\n"
    "  $XDG_CONFIG_HOME/korvan/gamecontrollerdb.txt\n"
    "      layouts of unusual pads, in SDL's mapping format (read only)\n"
    "  $XDG_DATA_HOME/korvan/KORVAN -Outer Bounds-.dat (~/.local/share/korvan/)\n"
    "      the save file: progress, records, settings and pad buttons\n"
    "  $XDG_DATA_HOME/korvan/ghosts/courseNN.ghost\n"
    "      the ghost of the best run on each course, for Time Attacks\n"
    "  debug.txt beside the executable, else $XDG_STATE_HOME/korvan/debug.txt\n"
    "      the debug log, with -dbf (appended)\n"
    "  $XDG_RUNTIME_DIR/ztk mutex.lock (else /tmp)\n"
    "      keeps a second copy of the game from starting\n"
    "  data/ beside the executable, PREFIX/share/korvan/data, or the working directory\n"
    "      the game's models, textures, sounds and music (read only)\n";

const SwitchLine* FindSwitch(const char* name) {
    for (const SwitchLine& s : kSwitchLines) {
        if (!std::strcmp(s.name, name)) return &s;
    }
    return nullptr;
}

// A whole decimal number within lo..hi. Read as long long, which holds 4294967295 wherever long
// is 32 bits wide.
bool ParseNumber(const char* text, long long lo, long long hi, long long& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
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
        if (a[0] == '-' && a[1] == '-' && !FindSwitch(a)) {
            error = std::string("unknown switch \"") + a + "\" (korvan --help lists the switches)";
            return false;
        }
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
        if (!std::strcmp(a, "--help")) {
            out.help = true;
            return true;
        } else if (!std::strcmp(a, "--version")) {
            out.version = true;
            return true;
        } else if (!std::strcmp(a, "--headless")) {
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
            long long h = 0;
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
        } else if (const SwitchLine* line = FindSwitch(a); line && line->value && line->name[1] == '-') {
            // A switch of the table read by another part of the program: its value is not an
            // argument of its own.
            if (!next) {
                error = std::string(a) + " needs " + line->value;
                return false;
            }
            ++i;
        }
    }
    return true;
}

std::string ProgramHelpText() {
    size_t width = 0;
    for (const SwitchLine& s : kSwitchLines) {
        width = std::max(width, std::strlen(s.name) + (s.value ? 1 + std::strlen(s.value) : 0));
    }
    std::string text =
        "Usage: korvan [switches]\n"
        "KORVAN -Outer Bounds-, an arcade racing game: the racing car KORVAN against up to eight computer cars.\n"
        "\n"
        "Switches:\n";
    for (const SwitchLine& s : kSwitchLines) {
        std::string left = s.name;
        if (s.value) left += std::string(" ") + s.value;
        left.resize(width, ' ');
        text += "  " + left + "  " + s.text + "\n";
    }
    text += "\n";
    text += kFilesText;
    return text;
}

std::string ProgramVersionText() { return std::string("KORVAN -Outer Bounds- ") + KORVAN_VERSION; }
