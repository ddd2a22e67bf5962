#include "game/data_dir.h"

#include <fcntl.h>
#include <unistd.h>

#include "framework/debug_log.h"

namespace {
int depth = 0;          // nested entries
bool entered = false;   // whether the outermost entry really changed directory
int homeDir = -1;       // the working directory to return to
}  // namespace

bool EnterDataDirectory() {
    if (depth++ > 0) return entered;
    // Remember where we came from by handle: "data" may be a link, whose ".." is elsewhere.
    homeDir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    entered = homeDir >= 0 && chdir("data") == 0;
    if (!entered) {
        Log("data directory not found\n");
        if (homeDir >= 0) close(homeDir);
        homeDir = -1;
    }
    return entered;
}

void LeaveDataDirectory() {
    if (depth == 0 || --depth > 0) return;
    // Only step back out of a directory we really went into.
    if (entered && fchdir(homeDir) != 0) Log("cannot leave the data directory\n");
    if (homeDir >= 0) close(homeDir);
    homeDir = -1;
    entered = false;
}
