#include "game/data_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/debug_log.h"

#ifndef KORVAN_DATA_FROM_BIN
#define KORVAN_DATA_FROM_BIN "../share/korvan/data"
#endif

namespace {
int depth = 0;          // nested entries
bool entered = false;   // whether the outermost entry really changed directory
int homeDir = -1;       // the working directory to return to
std::string lastFound;  // the directory entered last, logged when it changes
bool missingLogged = false;

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

std::string FindDataDirectory() {
    char folder[260];
    GetModuleFolder(folder, sizeof(folder));
    if (folder[0]) {
        // The build and an unpacked game keep it beside the executable; an installed game keeps
        // it in the prefix's share folder, found from the executable's own folder so the prefix
        // may be moved.
        const std::string beside = std::string(folder) + "data";
        if (IsDirectory(beside)) return beside;
        const std::string installed = std::string(folder) + KORVAN_DATA_FROM_BIN;
        if (IsDirectory(installed)) return installed;
    }
    if (IsDirectory("data")) return "data";
    return {};
}

bool EnterDataDirectory() {
    if (depth++ > 0) return entered;
    // Remember where we came from by handle: "data" may be a link, whose ".." is elsewhere.
    homeDir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string data = FindDataDirectory();
    entered = homeDir >= 0 && !data.empty() && chdir(data.c_str()) == 0;
    if (!entered) {
        if (!missingLogged) LogWarning("data directory not found (beside the game, in its install prefix or here)\n");
        missingLogged = true;
        lastFound.clear();
        if (homeDir >= 0) close(homeDir);
        homeDir = -1;
    } else if (data != lastFound) {
        Log("data directory: %s\n", data.c_str());
        lastFound = data;
        missingLogged = false;
    }
    return entered;
}

void LeaveDataDirectory() {
    if (depth == 0 || --depth > 0) return;
    // Only step back out of a directory we really went into.
    if (entered && fchdir(homeDir) != 0) LogWarning("cannot leave the data directory\n");
    if (homeDir >= 0) close(homeDir);
    homeDir = -1;
    entered = false;
}
