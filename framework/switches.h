// The program's own switches for automation, benchmarking and testing (besides "-dbf", "-2nd",
// "-win", "/3ds" and "/fx", which services look up with HasSwitch when they start), and the
// command line's manners: --help, --version, and an unknown "--word" refused before anything
// starts.
#pragma once
#include <string>
#include <utility>
#include <vector>

struct ProgramOptions {
    bool headless = false;          // --headless: off-screen video, no audio device needed
    int frames = 0;                 // --frames N: close after N frames (0 = run until quit)
    bool unpaced = false;           // --unpaced: frames back to back, no sleeping
    bool seedGiven = false;         // --seed N: seed rand() with N instead of the clock
    unsigned seed = 0;
    std::string inputFile;          // --input FILE: scripted key and pad input
    std::vector<std::pair<int, std::string>> shots;  // --shot N:FILE.png
    int course = 0;                 // --course N: straight to course N after boot (0 = off)
    std::string statsFile;          // --stats FILE: frame-time statistics as JSON at exit
    bool autopilot = false;         // --autopilot: the player's car drives itself
    bool exitAfterRace = false;     // --exit-after-race: quit once the race is over
    bool skipIntro = false;         // --skip-intro: a course starts at its countdown, not its intro
    bool timeAttack = false;        // --time-attack: the --course is raced as a Time Attack
    int windowWidth = 0;            // --window WxH: the window's size (off-screen too; 0 = 640 x 480)
    int windowHeight = 0;
    int refreshHz = 0;              // --refresh HZ: off-screen, the pictures a display of HZ would get
    bool help = false;              // --help: print the switches and files, start nothing
    bool version = false;           // --version: print the name and version, start nothing
};

extern ProgramOptions programOptions;

// Reads the switches from the command line. A malformed value (a missing or non-numeric N, a shot
// without ':') or an unknown "--word" is reported in error (one line) and the result is false.
// Other arguments that are no switch of the program ("-dbf" and its kind included) are left alone.
bool ParseProgramOptions(int argc, char** argv, ProgramOptions& out, std::string& error);

// The --help text: usage, every switch on one line, the files the game reads and writes.
std::string ProgramHelpText();
// The --version line: "KORVAN -Outer Bounds- 1.0".
std::string ProgramVersionText();

// Exit status of a command line the program refuses.
constexpr int kBadSwitchExit = 2;
