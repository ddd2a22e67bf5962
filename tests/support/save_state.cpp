#include "tests/support/save_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "game/save_file.h"
#include "tests/support/run_game.h"

SavedState CaptureState() {
    SavedState s;
    std::memcpy(s.records, records, sizeof(records));
    s.coursesOpen = coursesOpen;
    std::memcpy(s.secretFound, secretFound, sizeof(secretFound));
    s.startedFromCourse1 = startedFromCourse1;
    for (int i = 0; i < kSettingCount; ++i) s.settings[i] = *kSettings[i].value;
    std::memcpy(s.padButtons, padButtons, sizeof(padButtons));
    return s;
}

bool SameState(const SavedState& a, const SavedState& b) {
    return std::memcmp(a.records, b.records, sizeof(a.records)) == 0 && a.coursesOpen == b.coursesOpen &&
           std::memcmp(a.secretFound, b.secretFound, sizeof(a.secretFound)) == 0 &&
           a.startedFromCourse1 == b.startedFromCourse1 &&
           std::memcmp(a.settings, b.settings, sizeof(a.settings)) == 0 &&
           std::memcmp(a.padButtons, b.padButtons, sizeof(a.padButtons)) == 0;
}

void ResetSaveState() {
    ResetRecords();
    ResetProgress();
    ResetSettings(false);
    ResetPadButtons();
}

void SetVariedState(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int c = 1; c <= CourseCount; ++c) {
        CourseRecord& r = records[c];
        r.bestRank = pick(1, 9);
        r.bestLapMinutes = pick(0, 3);
        r.bestLapMillis = pick(0, 59999);
        for (int lap = 0; lap < RecordedLaps(c); ++lap) {
            r.splitMinutes[lap] = pick(0, 4);
            r.splitMillis[lap] = pick(0, 59999);
        }
        r.bestCrystalRatio = static_cast<float>(pick(0, 10000) / 100.0);
    }
    coursesOpen = pick(1, kAllCoursesOpen);
    for (bool& found : secretFound) found = pick(0, 1) == 1;
    for (const SettingInfo& s : kSettings) *s.value = pick(s.lowest, s.highest);
    int buttons[8] = {6, 7, 8, 9, 10, 11, 12, 13};
    std::shuffle(buttons, buttons + 8, rng);
    for (int i = 0; i < kPadActionCount; ++i) padButtons[i] = buttons[i];
}

std::vector<uint32_t> SaveNumbers(const std::string& text) {
    std::vector<uint32_t> numbers;
    std::istringstream in(text);
    std::string token;
    while (in >> token) numbers.push_back(static_cast<uint32_t>(std::strtoul(token.c_str(), nullptr, 16)));
    return numbers;
}

std::string JoinSaveNumbers(const std::vector<uint32_t>& numbers) {
    std::string text;
    char number[16];
    for (uint32_t n : numbers) {
        std::snprintf(number, sizeof(number), "%x ", n);
        text += number;
    }
    return text;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool WriteSaveInRunDir(const std::string& runDir, void (*shape)()) {
    const std::string home = runDir + "/" + kRunDataHome;
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    ResetSaveState();
    shape();
    const bool written = WriteSaveFile();
    ResetSaveState();
    unsetenv("XDG_DATA_HOME");
    return written;
}
