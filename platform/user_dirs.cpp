#include "platform/user_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/log_sink.h"

namespace {

struct BaseDir {
    const char* variable;
    const char* underHome;
};
const BaseDir kBaseDirs[] = {
    {"XDG_DATA_HOME", "/.local/share"},
    {"XDG_CONFIG_HOME", "/.config"},
    {"XDG_STATE_HOME", "/.local/state"},
};

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    // No usable $HOME (a service account, a stripped environment): the account's own entry.
    if (const passwd* pw = getpwuid(getuid())) {
        if (pw->pw_dir && pw->pw_dir[0] == '/') return pw->pw_dir;
    }
    return {};
}

// Makes every missing folder of an absolute path. Base directories a program creates are private
// to the user (mode 0700), as the XDG rules ask.
bool MakeFolders(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0700) == 0 || errno == EEXIST) continue;
        const int error = errno;
        struct stat st;
        if (stat(part.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;  // there, just not ours to write
        PlatformLog("cannot create the folder %s: %s\n", part.c_str(), std::strerror(error));
        return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        PlatformLog("%s is not a folder\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string UserDirectory(UserDir which, const char* program) {
    const BaseDir& base = kBaseDirs[static_cast<int>(which)];
    std::string path;
    // A relative path in the variable is invalid by the XDG rules and is ignored.
    const char* value = std::getenv(base.variable);
    if (value && value[0] == '/') {
        path = value;
    } else {
        const std::string home = HomeDirectory();
        if (home.empty()) {
            PlatformLog("no home directory: %s is not set and the account has none\n", base.variable);
            return {};
        }
        path = home + base.underHome;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path != "/") path += '/';
    path += program;
    return MakeFolders(path) ? path : std::string();
}
