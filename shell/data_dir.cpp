#include "shell/data_dir.h"

#include <unistd.h>

#include "framework/debug_log.h"

namespace {
int depth = 0;       // nested entries
bool entered = false;  // whether the outermost entry really changed directory
}  // namespace

bool EnterDataDirectory() {
    if (depth++ > 0) return entered;
    entered = chdir("data") == 0;
    if (!entered) Log("data directory not found\n");
    return entered;
}

void LeaveDataDirectory() {
    if (depth == 0 || --depth > 0) return;
    // Only step back out of a directory we really went into.
    if (entered && chdir("..") != 0) Log("cannot leave the data directory\n");
    entered = false;
}
