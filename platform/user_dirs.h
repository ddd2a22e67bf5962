// The user's own directories for what a program writes (the XDG base directories): data such as
// saves, configuration, and state such as logs. Each program keeps a folder of its own inside them.
#pragma once
#include <string>

enum class UserDir {
    kData,    // $XDG_DATA_HOME, default ~/.local/share
    kConfig,  // $XDG_CONFIG_HOME, default ~/.config
    kState,   // $XDG_STATE_HOME, default ~/.local/state
};

// The folder `program` inside the chosen base directory ("~/.local/share/korvan"), without a
// trailing '/', created with its missing parents when it does not exist. The environment is read
// on every call, so pointing the variable elsewhere (as tests do) takes effect at once. A variable
// that is unset, empty or not an absolute path gives the default under $HOME (or the account's
// home directory). Empty, and logged, when no home is known or the folder cannot be made.
std::string UserDirectory(UserDir which, const char* program);
