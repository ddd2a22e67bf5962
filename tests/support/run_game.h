// Runs the real game executable for end-to-end tests.
#pragma once
#include <string>
#include <vector>

struct GameRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
    std::string dir;     // where the run's copy of the game lived: its debug.txt, save file, shots
};

// The build directory (holds korvan and data/).
std::string BuildDir();
// A fresh empty directory under /tmp.
std::string MakeTempDir();
// The run directory's folder that stands for the user's data folder ($XDG_DATA_HOME): the save
// file of a run is <run dir>/user-data/korvan/KORVAN -Outer Bounds-.dat.
constexpr const char* kRunDataHome = "user-data";
// Runs a private copy of build/korvan in a fresh directory that links to build/data, so parallel
// runs never share debug.txt, save files or screenshots. runDir picks the directory (it must hold a
// "data" entry or none, for a run without assets); lockDir shares the single-instance lock.
// Times out after timeoutSec (exit code -2). The debug stream shows on the terminal
// (KORVAN_VERBOSE=1) unless the test process sets KORVAN_VERBOSE itself.
GameRun RunGame(const std::vector<std::string>& args, const std::string& lockDir = "",
                const std::string& runDir = "", int timeoutSec = 300);
// A fresh run directory holding a copy of the game and, when withData, a link to build/data.
std::string MakeRunDir(bool withData = true);
std::string ReadFile(const std::string& path);
// The scenes of a --stats text whose shown frames first drew a pipeline, as "name count; " each
// ("" when no shown frame waited for one).
std::string ScenesThatBuiltPipelines(const std::string& stats);
// Number of times needle occurs in text.
int CountOf(const std::string& text, const std::string& needle);
