// The player's settings file, $XDG_CONFIG_HOME/korvan/korvan.cfg: what the save file has no room
// for (window or full screen, the scaling filter, the volumes, the pad's dead zone, the keys of
// the race actions). Plain "key = value" lines; "#" starts a comment.
//
// Each setting is one declaration of a global ConfigSetting in the module that uses it, e.g.
//     ConfigSetting musicVolume{"sound.music_volume", 100, 0, 100, "music volume in percent"};
// Declaring it is all it takes: the file reads it, checks it against its kind and range, and
// writes it with its description. The module reads `value` (or `keys`) as a plain field.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

// Keys one race action may have.
constexpr int kConfigMaxKeys = 4;

enum class ConfigKind {
    kNumber,  // a whole number within lo..hi
    kChoice,  // one word of a list; value is its index
    kKeys,    // 1..kConfigMaxKeys keyboard keys, written by their DirectInput names ("Z", "UP")
};

struct ConfigSetting {
    ConfigSetting(const char* name, int defaultValue, int lo, int hi, const char* help);
    // `words` ends with nullptr.
    ConfigSetting(const char* name, const char* const* words, int defaultIndex, const char* help);
    ConfigSetting(const char* name, std::initializer_list<int> defaultKeys, const char* help);
    ConfigSetting(const ConfigSetting&) = delete;
    ConfigSetting& operator=(const ConfigSetting&) = delete;

    const char* name;
    const char* help;
    ConfigKind kind;
    int value = 0;  // the number, or the index of the chosen word
    int defaultValue = 0;
    int lo = 0, hi = 0;
    const char* const* words = nullptr;
    int keys[kConfigMaxKeys] = {};  // scan codes, keyCount of them
    int keyCount = 0;
    int defaultKeys[kConfigMaxKeys] = {};
    int defaultKeyCount = 0;
};

// Keys the framework keeps for itself, never a race action's: Escape quits and F11 switches full
// screen.
bool ConfigReservedKey(int code);

// Every declared setting, in no particular order.
const std::vector<ConfigSetting*>& ConfigSettings();
// The setting of that name (compared ignoring case), or nullptr.
ConfigSetting* FindConfigSetting(const char* name);

// Every setting back to its default; lines kept from a read file are forgotten.
void ResetConfig();
// Reads settings from the text of a file: each good line sets its setting; an unknown key, a
// line without "=", or a value of the wrong kind or out of range is logged with its line number
// and ignored (the setting keeps what it had). Unknown keys are kept for the next write, so a
// line meant for another version of the game survives. Returns the number of lines ignored.
int ApplyConfigText(const std::string& text, const char* shownName = "korvan.cfg");
// The file's text: every setting, sorted by name, with its description; then the kept lines.
std::string ConfigText();
// A setting's value as the file writes it ("fullscreen", "80", "Z A UP").
std::string ConfigValueText(const ConfigSetting& setting);

// $XDG_CONFIG_HOME/korvan/korvan.cfg ("" when the folder cannot be had).
std::string ConfigFilePath();
// Reads the file. A missing file leaves the defaults and, when writeWhenMissing, is written with
// them so the player finds every setting in it. False when the file exists but cannot be read.
bool LoadConfigFile(bool writeWhenMissing);
// Writes the file atomically (temporary file, flushed, renamed); false, logged, when it cannot
// (the old file is then kept as it was). Only the lines of the settings changed since the file was
// read or last written get their new value; every other line and comment stays as the player
// left it, and a changed setting the file has no line for is added at its end. Without a file,
// the whole file is written with every setting and its description.
bool SaveConfigFile();
