#include "platform/input_script.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <strings.h>

namespace {

struct RunningScript {
    std::vector<InputScriptEvent> events;
    size_t next = 0;
    uint8_t keys[256] = {};
    uint8_t pads[kInputMaxPads][kInputPadInputs] = {};
};

RunningScript script;
const uint8_t kNoInput[kInputPadInputs] = {};

bool ParseFrame(const std::string& word, uint32_t& frame) {
    if (word.empty() || word.size() > 10) return false;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
    }
    unsigned long long value = std::strtoull(word.c_str(), nullptr, 10);
    if (value > 0xFFFFFFFFull) return false;
    frame = static_cast<uint32_t>(value);
    return true;
}

// "PADn:k" with n 0..7 and k 0..13.
bool ParsePadInput(const std::string& word, int& pad, int& input) {
    if (word.size() < 6 || strncasecmp(word.c_str(), "PAD", 3) != 0) return false;
    const size_t colon = word.find(':');
    if (colon != 4) return false;
    const char padDigit = word[3];
    if (padDigit < '0' || padDigit >= '0' + kInputMaxPads) return false;
    const std::string index = word.substr(colon + 1);
    if (index.empty() || index.size() > 2) return false;
    for (char c : index) {
        if (c < '0' || c > '9') return false;
    }
    input = std::atoi(index.c_str());
    if (input >= kInputPadInputs) return false;
    pad = padDigit - '0';
    return true;
}

std::string LineError(int line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

}  // namespace

bool ParseInputScript(const std::string& text, std::vector<InputScriptEvent>& events, std::string& error) {
    events.clear();
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        const size_t hash = raw.find('#');
        if (hash != std::string::npos) raw.erase(hash);
        std::istringstream words(raw);
        std::string frameWord, actionWord, keyWord, extra;
        if (!(words >> frameWord)) continue;  // blank or comment only
        if (!(words >> actionWord) || !(words >> keyWord) || (words >> extra)) {
            error = LineError(lineNumber, "expected \"FRAME down KEY\" or \"FRAME up KEY\": " + raw);
            return false;
        }
        InputScriptEvent event;
        event.line = lineNumber;
        if (!ParseFrame(frameWord, event.frame)) {
            error = LineError(lineNumber, "bad frame number \"" + frameWord + "\"");
            return false;
        }
        if (strcasecmp(actionWord.c_str(), "down") == 0) {
            event.down = true;
        } else if (strcasecmp(actionWord.c_str(), "up") == 0) {
            event.down = false;
        } else {
            error = LineError(lineNumber, "expected \"down\" or \"up\", not \"" + actionWord + "\"");
            return false;
        }
        if (strncasecmp(keyWord.c_str(), "PAD", 3) == 0 && keyWord.find(':') != std::string::npos) {
            if (!ParsePadInput(keyWord, event.pad, event.code)) {
                error = LineError(lineNumber, "unknown pad input \"" + keyWord + "\" (PAD0:0 .. PAD7:13)");
                return false;
            }
        } else {
            event.code = InputScanCodeFromName(keyWord.c_str());
            if (event.code < 0) {
                error = LineError(lineNumber, "unknown key \"" + keyWord + "\"");
                return false;
            }
        }
        events.push_back(event);
    }
    // Events apply by frame; within a frame, in the order written.
    std::stable_sort(events.begin(), events.end(),
                     [](const InputScriptEvent& a, const InputScriptEvent& b) { return a.frame < b.frame; });
    return true;
}

bool LoadInputScript(const char* path, std::string& error) {
    ClearInputScript();
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = std::string("cannot read ") + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    std::vector<InputScriptEvent> events;
    if (!ParseInputScript(content.str(), events, error)) {
        error = std::string(path) + " " + error;
        return false;
    }
    SetInputScript(std::move(events));
    return true;
}

void SetInputScript(std::vector<InputScriptEvent> events) {
    ClearInputScript();
    script.events = std::move(events);
}

void ClearInputScript() { script = RunningScript{}; }

bool InputScriptActive() { return !script.events.empty(); }

void AdvanceInputScript(uint32_t frame) {
    while (script.next < script.events.size() && script.events[script.next].frame <= frame) {
        const InputScriptEvent& e = script.events[script.next++];
        const uint8_t value = e.down ? 0x80 : 0;
        if (e.pad < 0) {
            script.keys[e.code & 0xFF] = value;
        } else {
            script.pads[e.pad][e.code] = value;
        }
    }
}

const uint8_t* InputScriptKeys() { return script.keys; }

const uint8_t* InputScriptPad(int pad) {
    if (pad < 0 || pad >= kInputMaxPads) return kNoInput;
    return script.pads[pad];
}
