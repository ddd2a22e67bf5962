#include "framework/config_file.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/debug_log.h"
#include "platform/atomic_file.h"
#include "platform/input.h"
#include "platform/user_dirs.h"

namespace {

// A settings file is a few hundred bytes; anything this large is not one.
constexpr size_t kMaxConfigFile = 1u << 20;

std::vector<ConfigSetting*>& Registry() {
    static std::vector<ConfigSetting*> settings;
    return settings;
}

// Lines of the last file read whose key this version does not know, written back as they were.
std::vector<std::string> keptLines;

// The file as last read or written, and each setting's value as it stood then (by the registry's
// order): a write changes only the lines of the settings changed since.
std::string fileText;
bool haveFileText = false;
std::vector<std::string> fileValues;

void RememberFileValues() {
    fileValues.clear();
    for (const ConfigSetting* s : Registry()) fileValues.push_back(ConfigValueText(*s));
}

void Register(ConfigSetting* setting) { Registry().push_back(setting); }

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\f\v";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// A value parsed apart from its setting, so a bad value leaves the setting untouched.
struct ParsedValue {
    int value = 0;
    int keys[kConfigMaxKeys] = {};
    int keyCount = 0;
};

bool ParseValue(const ConfigSetting& setting, const std::string& text, std::string& why, ParsedValue& out) {
    switch (setting.kind) {
        case ConfigKind::kNumber: {
            errno = 0;
            char* end = nullptr;
            const long v = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || errno != 0 || *end != '\0' || v < setting.lo || v > setting.hi) {
                why = " needs a whole number from " + std::to_string(setting.lo) + " to " + std::to_string(setting.hi);
                return false;
            }
            out.value = static_cast<int>(v);
            return true;
        }
        case ConfigKind::kChoice: {
            for (int i = 0; setting.words[i]; ++i) {
                if (strcasecmp(setting.words[i], text.c_str()) == 0) {
                    out.value = i;
                    return true;
                }
            }
            why = " needs one of";
            for (int i = 0; setting.words[i]; ++i) why += std::string(i ? ", " : " ") + setting.words[i];
            return false;
        }
        case ConfigKind::kKeys: {
            int count = 0;
            size_t at = 0;
            while (at < text.size()) {
                const size_t start = text.find_first_not_of(" \t,", at);
                if (start == std::string::npos) break;
                size_t end = text.find_first_of(" \t,", start);
                if (end == std::string::npos) end = text.size();
                const std::string name = text.substr(start, end - start);
                at = end;
                const int code = InputScanCodeFromName(name.c_str());
                if (code <= 0) {
                    why = ": \"" + name + "\" is not a key name (DirectInput names: Z, UP, LSHIFT, NUMPAD8...)";
                    return false;
                }
                if (ConfigReservedKey(code)) {
                    why = ": " + name + " is kept for the game itself (Escape quits, F11 switches full screen)";
                    return false;
                }
                if (std::find(out.keys, out.keys + count, code) != out.keys + count) continue;
                if (count == kConfigMaxKeys) {
                    why = " takes at most " + std::to_string(kConfigMaxKeys) + " keys";
                    return false;
                }
                out.keys[count++] = code;
            }
            if (count == 0) {
                why = " needs at least one key";
                return false;
            }
            out.keyCount = count;
            return true;
        }
    }
    return false;
}

void CopyValue(const ParsedValue& from, ConfigSetting& to) {
    to.value = from.value;
    to.keyCount = from.keyCount;
    std::copy(from.keys, from.keys + kConfigMaxKeys, to.keys);
}

}  // namespace

bool ConfigReservedKey(int code) { return code == DIK_ESCAPE || code == DIK_F11; }

ConfigSetting::ConfigSetting(const char* name, int defaultValue, int lo, int hi, const char* help)
    : name(name), help(help), kind(ConfigKind::kNumber), value(defaultValue), defaultValue(defaultValue), lo(lo),
      hi(hi) {
    Register(this);
}

ConfigSetting::ConfigSetting(const char* name, const char* const* words, int defaultIndex, const char* help)
    : name(name), help(help), kind(ConfigKind::kChoice), value(defaultIndex), defaultValue(defaultIndex),
      words(words) {
    Register(this);
}

ConfigSetting::ConfigSetting(const char* name, std::initializer_list<int> defaults, const char* help)
    : name(name), help(help), kind(ConfigKind::kKeys) {
    for (int code : defaults) {
        if (defaultKeyCount == kConfigMaxKeys) break;
        defaultKeys[defaultKeyCount++] = code;
    }
    std::copy(defaultKeys, defaultKeys + kConfigMaxKeys, keys);
    keyCount = defaultKeyCount;
    Register(this);
}

const std::vector<ConfigSetting*>& ConfigSettings() { return Registry(); }

ConfigSetting* FindConfigSetting(const char* name) {
    if (!name) return nullptr;
    for (ConfigSetting* s : Registry()) {
        if (strcasecmp(s->name, name) == 0) return s;
    }
    return nullptr;
}

void ResetConfig() {
    for (ConfigSetting* s : Registry()) {
        s->value = s->defaultValue;
        std::copy(s->defaultKeys, s->defaultKeys + kConfigMaxKeys, s->keys);
        s->keyCount = s->defaultKeyCount;
    }
    keptLines.clear();
    fileText.clear();
    haveFileText = false;
    RememberFileValues();
}

std::string ConfigValueText(const ConfigSetting& s) {
    switch (s.kind) {
        case ConfigKind::kNumber: return std::to_string(s.value);
        case ConfigKind::kChoice: return s.words[s.value];
        case ConfigKind::kKeys: {
            std::string text;
            for (int i = 0; i < s.keyCount; ++i) text += std::string(i ? " " : "") + InputScanCodeName(s.keys[i]);
            return text;
        }
    }
    return {};
}

int ApplyConfigText(const std::string& text, const char* shownName) {
    int ignored = 0;
    std::vector<std::string> unknown;
    size_t at = 0;
    int lineNumber = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string raw = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        std::string line = raw;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        line = Trim(line);
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        // What is shown of a bad line is cut short and kept to printable characters.
        std::string shown = line.substr(0, 80);
        for (char& c : shown) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
        }
        if (equals == std::string::npos) {
            LogWarning("%s line %d: \"%s\" is not \"key = value\"; ignored\n", shownName, lineNumber, shown.c_str());
            ++ignored;
            continue;
        }
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        ConfigSetting* setting = FindConfigSetting(key.c_str());
        if (!setting) {
            LogWarning("%s line %d: unknown setting \"%s\"; ignored\n", shownName, lineNumber, shown.c_str());
            unknown.push_back(Trim(raw));
            ++ignored;
            continue;
        }
        ParsedValue parsed;
        std::string why;
        if (!ParseValue(*setting, value, why, parsed)) {
            LogWarning("%s line %d: %s%s; ignored\n", shownName, lineNumber, setting->name, why.c_str());
            ++ignored;
            continue;
        }
        CopyValue(parsed, *setting);
    }
    keptLines = std::move(unknown);
    return ignored;
}

std::string ConfigText() {
    std::vector<ConfigSetting*> sorted = Registry();
    std::sort(sorted.begin(), sorted.end(),
              [](const ConfigSetting* a, const ConfigSetting* b) { return strcasecmp(a->name, b->name) < 0; });
    std::string text =
        "# KORVAN -Outer Bounds- settings (the save file keeps the game's own).\n"
        "# One \"key = value\" a line; the game rewrites this file when a setting changes in play.\n";
    for (const ConfigSetting* s : sorted) {
        text += "\n# ";
        text += s->help;
        if (s->kind == ConfigKind::kNumber) text += " (" + std::to_string(s->lo) + " to " + std::to_string(s->hi) + ")";
        if (s->kind == ConfigKind::kChoice) {
            text += " (";
            for (int i = 0; s->words[i]; ++i) text += std::string(i ? " or " : "") + s->words[i];
            text += ")";
        }
        text += "\n";
        text += std::string(s->name) + " = " + ConfigValueText(*s) + "\n";
    }
    if (!keptLines.empty()) {
        text += "\n# Not known to this version of the game, kept as written:\n";
        for (const std::string& line : keptLines) text += line + "\n";
    }
    return text;
}

namespace {

// The setting a line of the file sets, when it is a good "key = value" line; else nullptr.
ConfigSetting* SettingOfLine(const std::string& raw) {
    std::string line = raw;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return nullptr;
    ConfigSetting* setting = FindConfigSetting(Trim(line.substr(0, equals)).c_str());
    if (!setting) return nullptr;
    ParsedValue parsed;
    std::string why;
    return ParseValue(*setting, Trim(line.substr(equals + 1)), why, parsed) ? setting : nullptr;
}

// The line with its value replaced, its key, spacing and trailing comment as they were.
std::string WithValue(const std::string& raw, const std::string& value) {
    const size_t equals = raw.find('=');
    size_t end = raw.find('#', equals);
    if (end == std::string::npos) end = raw.size();
    const std::string blanks = " \t\r\f\v";
    size_t from = raw.find_first_not_of(blanks, equals + 1);
    if (from == std::string::npos || from > end) from = end;
    size_t to = end;
    while (to > from && blanks.find(raw[to - 1]) != std::string::npos) --to;
    return raw.substr(0, from) + value + raw.substr(to);
}

// `base` with the settings changed since the file was read or written put in: the last good line
// of each (the one a read applies) gets the new value, and a setting the file has no line for is
// added at its end with its description. Every other line stays byte for byte.
std::string MergeConfigText(const std::string& base) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < base.size();) {
        size_t end = base.find('\n', at);
        if (end == std::string::npos) end = base.size();
        lines.push_back(base.substr(at, end - at));
        at = end + 1;
    }
    const bool endsWithNewline = base.empty() || base.back() == '\n';
    const std::vector<ConfigSetting*>& settings = Registry();
    std::vector<long> lastGood(settings.size(), -1);
    for (size_t n = 0; n < lines.size(); ++n) {
        ConfigSetting* s = SettingOfLine(lines[n]);
        if (!s) continue;
        const size_t index = std::find(settings.begin(), settings.end(), s) - settings.begin();
        lastGood[index] = static_cast<long>(n);
    }
    std::vector<ConfigSetting*> added;
    for (size_t i = 0; i < settings.size(); ++i) {
        const std::string value = ConfigValueText(*settings[i]);
        if (i < fileValues.size() && fileValues[i] == value) continue;
        if (lastGood[i] >= 0) lines[lastGood[i]] = WithValue(lines[lastGood[i]], value);
        else added.push_back(settings[i]);
    }
    std::string text;
    for (size_t n = 0; n < lines.size(); ++n) {
        text += lines[n];
        if (n + 1 < lines.size() || endsWithNewline) text += "\n";
    }
    std::sort(added.begin(), added.end(),
              [](const ConfigSetting* a, const ConfigSetting* b) { return strcasecmp(a->name, b->name) < 0; });
    for (const ConfigSetting* s : added) {
        if (!text.empty() && text.back() != '\n') text += "\n";
        text += std::string("\n# ") + s->help + "\n" + s->name + " = " + ConfigValueText(*s) + "\n";
    }
    return text;
}

// The file's text as it is now on the disk, when it can be read as a settings file.
bool ReadConfigText(const std::string& path, std::string& text, bool& missing) {
    missing = false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        missing = errno == ENOENT;
        return false;
    }
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > kMaxConfigFile) {
        std::fclose(f);
        errno = EINVAL;
        return false;
    }
    text.assign(static_cast<size_t>(st.st_size), '\0');
    const size_t got = text.empty() ? 0 : std::fread(&text[0], 1, text.size(), f);
    std::fclose(f);
    text.resize(got);
    return true;
}

}  // namespace

std::string ConfigFilePath() {
    const std::string folder = UserDirectory(UserDir::kConfig, "korvan");
    return folder.empty() ? std::string() : folder + "/korvan.cfg";
}

bool LoadConfigFile(bool writeWhenMissing) {
    ResetConfig();
    const std::string path = ConfigFilePath();
    if (path.empty()) return false;
    std::string text;
    bool missing = false;
    if (!ReadConfigText(path, text, missing)) {
        if (missing) {
            Log("settings: %s not found; the defaults apply\n", path.c_str());
            if (writeWhenMissing) SaveConfigFile();
            return true;
        }
        if (errno == EINVAL) LogWarning("settings: %s is not a settings file; the defaults apply\n", path.c_str());
        else LogWarning("settings: %s cannot be read (%s); the defaults apply\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const int ignored = ApplyConfigText(text, path.c_str());
    fileText = text;
    haveFileText = true;
    RememberFileValues();
    Log("settings: %s read%s\n", path.c_str(), ignored ? " (some lines ignored)" : "");
    return true;
}

bool SaveConfigFile() {
    const std::string path = ConfigFilePath();
    if (path.empty()) {
        LogWarning("settings: no folder for korvan.cfg; the settings are not kept\n");
        return false;
    }
    // The file as it stands now (the player may have edited it while the game ran), else as it
    // was last read or written; with neither, the whole file with every description.
    std::string base;
    bool missing = false;
    bool haveBase = ReadConfigText(path, base, missing);
    if (!haveBase && haveFileText) {
        base = fileText;
        haveBase = true;
    }
    const std::string text = haveBase ? MergeConfigText(base) : ConfigText();
    if (!WriteFileAtomically(path.c_str(), text.data(), text.size())) {
        LogWarning("settings: %s cannot be written; the settings are not kept\n", path.c_str());
        return false;
    }
    fileText = text;
    haveFileText = true;
    RememberFileValues();
    Log("settings: %s written\n", path.c_str());
    return true;
}
