#include "tests/support/run_game.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

std::string BuildDir() { return KORVAN_BUILD_DIR; }

std::string MakeTempDir() {
    char name[] = "/tmp/korvan_testXXXXXX";
    const char* d = mkdtemp(name);
    return d ? std::string(d) : std::string("/tmp");
}

static std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

std::string MakeRunDir(bool withData) {
    std::string dir = MakeTempDir();
    std::string cmd = "cp " + Quote(BuildDir() + "/korvan") + " " + Quote(dir + "/korvan");
    if (withData) cmd += " && ln -s " + Quote(BuildDir() + "/data") + " " + Quote(dir + "/data");
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "cannot prepare %s\n", dir.c_str());
    return dir;
}

GameRun RunGame(const std::vector<std::string>& args, const std::string& lockDir, const std::string& runDir,
                int timeoutSec) {
    std::string lock = lockDir.empty() ? MakeTempDir() : lockDir;
    std::string dir = runDir.empty() ? MakeRunDir(true) : runDir;
    if (access((dir + "/korvan").c_str(), X_OK) != 0) {
        std::string cp = "cp " + Quote(BuildDir() + "/korvan") + " " + Quote(dir + "/korvan");
        if (std::system(cp.c_str()) != 0) std::fprintf(stderr, "cannot copy the game to %s\n", dir.c_str());
    }
    // The run's user data folder (its save file) lies in the run directory: no run reads or writes
    // the saves of the account running the tests. Every debug line goes to the terminal too, for
    // the tests that read them there (a test sets KORVAN_VERBOSE=0 to see what a player's terminal
    // shows).
    std::string cmd = "cd " + Quote(dir) + " && XDG_RUNTIME_DIR=" + Quote(lock) +
                      " XDG_DATA_HOME=" + Quote(dir + "/" + kRunDataHome) +
                      " KORVAN_VERBOSE=${KORVAN_VERBOSE-1}" +
                      " SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout " + std::to_string(timeoutSec) +
                      " ./korvan";
    for (const std::string& a : args) cmd += " " + Quote(a);
    cmd += " 2>&1";
    GameRun run;
    run.dir = dir;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return run;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0) run.output.append(buf, n);
    int status = pclose(p);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status) == 124 ? -2 : WEXITSTATUS(status);
    return run;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

int CountOf(const std::string& text, const std::string& needle) {
    if (needle.empty()) return 0;
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++n;
    return n;
}

std::string ScenesThatBuiltPipelines(const std::string& stats) {
    std::string found;
    const size_t scenes = stats.find("\"scenes\":");
    for (size_t at = stats.find("\"pipelines_built\": ", scenes); scenes != std::string::npos && at != std::string::npos;
         at = stats.find("\"pipelines_built\": ", at + 1)) {
        const int built = std::atoi(stats.c_str() + at + 19);
        const size_t nameEnd = stats.rfind("\": {", at), nameStart = stats.rfind('"', nameEnd - 1);
        if (built != 0) found += stats.substr(nameStart + 1, nameEnd - nameStart - 1) + " " + std::to_string(built) + "; ";
    }
    return found;
}
