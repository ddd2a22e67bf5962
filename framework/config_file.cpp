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

void Register(ConfigSetting* setting) { Registry().push_back(setting); }

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\f\v";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Keys the framework keeps for itself: Escape quits and F11 switches full screen, whatever else
// they are given to.
bool ReservedKey(int code) { return code == DIK_ESCAPE || code == DIK_F11; }

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
                if (ReservedKey(code)) {
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

std::string ConfigFilePath() {
    const std::string folder = UserDirectory(UserDir::kConfig, "korvan");
    return folder.empty() ? std::string() : folder + "/korvan.cfg";
}

bool LoadConfigFile(bool writeWhenMissing) {
    ResetConfig();
    const std::string path = ConfigFilePath();
    if (path.empty()) return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (errno == ENOENT) {
            Log("settings: %s not found; the defaults apply\n", path.c_str());
            if (writeWhenMissing) SaveConfigFile();
            return true;
        }
        LogWarning("settings: %s cannot be read (%s); the defaults apply\n", path.c_str(), std::strerror(errno));
        return false;
    }
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > kMaxConfigFile) {
        std::fclose(f);
        LogWarning("settings: %s is not a settings file; the defaults apply\n", path.c_str());
        return false;
    }
    std::string text(static_cast<size_t>(st.st_size), '\0');
    const size_t got = text.empty() ? 0 : std::fread(&text[0], 1, text.size(), f);
    std::fclose(f);
    text.resize(got);
    const int ignored = ApplyConfigText(text, path.c_str());
    Log("settings: %s read%s\n", path.c_str(), ignored ? " (some lines ignored)" : "");
    return true;
}

bool SaveConfigFile() {
    const std::string path = ConfigFilePath();
    if (path.empty()) {
        LogWarning("settings: no folder for korvan.cfg; the settings are not kept\n");
        return false;
    }
    const std::string text = ConfigText();
    if (!WriteFileAtomically(path.c_str(), text.data(), text.size())) {
        LogWarning("settings: %s cannot be written; the settings are not kept\n", path.c_str());
        return false;
    }
    Log("settings: %s written\n", path.c_str());
    return true;
}
