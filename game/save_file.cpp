#include "game/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/debug_log.h"
#include "game/progress.h"
#include "game/tunes.h"
#include "platform/atomic_file.h"
#include "platform/user_dirs.h"

const char* const kSaveFileName = "KORVAN -Outer Bounds-.dat";

namespace {

constexpr const char* kProgramFolder = "korvan";
constexpr const char* kRejectedSuffix = ".rejected";
constexpr int kMaskRange = 60000;  // each mask is drawn from 0 to 59999

// The file keeps the settings in an order of its own, not the Option screen's.
constexpr SettingIndex kSavedSettingOrder[kSettingCount] = {
    kSettingView, kSettingRender, kSettingBgm, kSettingMiniMap, kSettingSpeedMeter,
    kSettingFps,  kSettingTimers, kSettingFog, kSettingAutoSave,
};

constexpr int kMaxCrystalHundredths = 10000;
constexpr int kFullFlagWord = (1 << kSecretCourseCount) - 1;
constexpr int kBestRankLowest = 1, kBestRankHighest = 9;
constexpr int kLapMinutesHighest = 99, kLapMillisHighest = 59999;

// The last read refused a file that exists: its bytes are kept once before a save replaces it.
bool rejectedFileWaiting = false;
char rejectedReason[160] = "";

// A crystal ratio in hundredths of a percent, truncated toward zero. The ratio read from a file
// (hundredths / 100) is not exactly representable as a float and may lie just below its true
// value (0.53 % is 0.52999997 %): a thousandth of a hundredth of slack keeps such a value from
// losing a hundredth on every save, and is far below any ratio a race can produce.
int32_t RatioToHundredths(float ratio) {
    const double hundredths = static_cast<double>(ratio) * 100.0 + 1e-3;
    if (!(hundredths > 0.0)) return 0;
    if (hundredths >= kMaxCrystalHundredths) return kMaxCrystalHundredths;
    return static_cast<int32_t>(hundredths);
}

std::string EncodeSaveValues(const int32_t values[kSaveValueCount]) {
    uint32_t a[kSaveValueCount], b[kSaveValueCount], c[kSaveValueCount], d[kSaveValueCount];
    for (int k = 0; k < kSaveValueCount; ++k) {
        a[k] = static_cast<uint32_t>(std::rand() % kMaskRange);
        b[k] = static_cast<uint32_t>(std::rand() % kMaskRange);
        const uint32_t v = static_cast<uint32_t>(values[k]);
        c[k] = v + a[k] + b[k];
        d[k] = v + b[k];
    }
    std::string text;
    text.reserve(kSaveNumberCount * 9);
    char number[16];
    for (const uint32_t* run : {a, b, c, d}) {
        for (int k = 0; k < kSaveValueCount; ++k) {
            std::snprintf(number, sizeof(number), "%x ", run[k]);
            text += number;
        }
    }
    return text;
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f'; }

// The numbers of a file: blank-separated hexadecimal numbers of 32 bits. Anything else in the
// file (a sign, a prefix, a stray character, a number too large) refuses it, where a "%x" loop
// would stop there and read a shortened list.
bool ParseNumbers(const char* text, size_t size, std::vector<uint32_t>& numbers, char* reason, size_t reasonSize) {
    size_t at = 0;
    while (at < size) {
        if (IsBlank(text[at])) {
            ++at;
            continue;
        }
        const size_t start = at;
        uint64_t value = 0;
        while (at < size && !IsBlank(text[at])) {
            const int digit = HexDigit(text[at]);
            if (digit < 0) {
                std::snprintf(reason, reasonSize, "byte %zu is not part of a hexadecimal number", at);
                return false;
            }
            value = value * 16 + static_cast<uint64_t>(digit);
            if (value > 0xffffffffu) {
                std::snprintf(reason, reasonSize, "the number at byte %zu does not fit in 32 bits", start);
                return false;
            }
            ++at;
        }
        numbers.push_back(static_cast<uint32_t>(value));
    }
    return true;
}

// The four runs checked against each other and unmasked into the value list.
bool DecodeSaveText(const char* text, size_t size, int32_t values[kSaveValueCount], char* reason,
                    size_t reasonSize) {
    std::vector<uint32_t> numbers;
    numbers.reserve(kSaveNumberCount);
    if (!ParseNumbers(text, size, numbers, reason, reasonSize)) return false;
    const size_t count = numbers.size();
    if (count % 4 != 0) {
        std::snprintf(reason, reasonSize, "%zu numbers, not a multiple of four", count);
        return false;
    }
    if (count < static_cast<size_t>(kSaveNumberCount)) {
        std::snprintf(reason, reasonSize, "%zu numbers, %d needed", count, kSaveNumberCount);
        return false;
    }
    const size_t n = count / 4;
    const uint32_t* a = &numbers[0];
    const uint32_t* b = &numbers[n];
    const uint32_t* c = &numbers[2 * n];
    const uint32_t* d = &numbers[3 * n];
    for (size_t k = 0; k < n; ++k) {
        if (c[k] != a[k] + d[k]) {
            std::snprintf(reason, reasonSize, "the sums of entry %zu disagree", k);
            return false;
        }
        // The sums never involve b, so a damaged b would change its value unnoticed; every writer
        // draws both masks below 60000, which catches most such damage.
        if (a[k] >= static_cast<uint32_t>(kMaskRange) || b[k] >= static_cast<uint32_t>(kMaskRange)) {
            std::snprintf(reason, reasonSize, "the masks of entry %zu are out of range", k);
            return false;
        }
    }
    for (int k = 0; k < kSaveValueCount; ++k) values[k] = static_cast<int32_t>(d[k] - b[k]);
    return true;
}

bool InRange(int32_t value, int lowest, int highest) { return value >= lowest && value <= highest; }

// A lap time as the race records it: whole minutes up to the 99 of a fresh record, milliseconds
// within the minute. Anything else is damage (a negative split would even shorten course 1's
// best total towards a secret course).
bool LapTimeInRange(int32_t minutes, int32_t millis) {
    return InRange(minutes, 0, kLapMinutesHighest) && InRange(millis, 0, kLapMillisHighest);
}

bool SaveValuesInRange(const int32_t v[kSaveValueCount], char* reason, size_t reasonSize) {
    if (!InRange(v[kSaveCoursesOpenAt], 1, kAllCoursesOpen)) {
        std::snprintf(reason, reasonSize, "courses open %d", v[kSaveCoursesOpenAt]);
        return false;
    }
    if (!InRange(v[kSaveSecretFlagsAt], 0, kFullFlagWord)) {
        std::snprintf(reason, reasonSize, "secret course flags %d", v[kSaveSecretFlagsAt]);
        return false;
    }
    int split = kSaveSplitsAt;
    for (int c = 1; c <= CourseCount; ++c) {
        bool timesInRange = LapTimeInRange(v[kSaveBestLapsAt + 2 * (c - 1)], v[kSaveBestLapsAt + 2 * (c - 1) + 1]);
        for (int lap = 0; lap < kRecordedLaps[c]; ++lap, split += 2)
            timesInRange = timesInRange && LapTimeInRange(v[split], v[split + 1]);
        if (!timesInRange) {
            std::snprintf(reason, reasonSize, "a lap time of course %d out of range", c);
            return false;
        }
        const int32_t rank = v[kSaveBestRanksAt + c - 1];
        const int32_t ratio = v[kSaveRatiosAt + c - 1];
        if (!InRange(rank, kBestRankLowest, kBestRankHighest)) {
            std::snprintf(reason, reasonSize, "best rank %d on course %d", rank, c);
            return false;
        }
        if (!InRange(ratio, 0, kMaxCrystalHundredths)) {
            std::snprintf(reason, reasonSize, "crystal ratio %d on course %d", ratio, c);
            return false;
        }
    }
    int settings[kSettingCount];
    for (int i = 0; i < kSettingCount; ++i) settings[kSavedSettingOrder[i]] = v[kSaveSettingsAt + i];
    if (!SettingsInRange(settings)) {
        std::snprintf(reason, reasonSize, "a setting out of its range");
        return false;
    }
    int buttons[kPadActionCount];
    for (int i = 0; i < kPadActionCount; ++i) buttons[i] = v[kSavePadButtonsAt + i];
    if (!PadButtonsValid(buttons)) {
        std::snprintf(reason, reasonSize, "pad buttons out of 6..13 or used twice");
        return false;
    }
    return true;
}

void ApplySaveValues(const int32_t v[kSaveValueCount]) {
    coursesOpen = v[kSaveCoursesOpenAt];
    for (int k = 0; k < kSecretCourseCount; ++k) secretFound[k] = (v[kSaveSecretFlagsAt] >> k) & 1;
    int split = kSaveSplitsAt;
    for (int c = 1; c <= CourseCount; ++c) {
        CourseRecord& r = records[c];
        r.bestLapMinutes = v[kSaveBestLapsAt + 2 * (c - 1)];
        r.bestLapMillis = v[kSaveBestLapsAt + 2 * (c - 1) + 1];
        for (int lap = 0; lap < kRecordedLaps[c]; ++lap) {
            r.splitMinutes[lap] = v[split++];
            r.splitMillis[lap] = v[split++];
        }
        r.bestRank = v[kSaveBestRanksAt + c - 1];
        r.bestCrystalRatio = static_cast<float>(v[kSaveRatiosAt + c - 1] / 100.0);
    }
    for (int i = 0; i < kSettingCount; ++i) *kSettings[kSavedSettingOrder[i]].value = v[kSaveSettingsAt + i];
    for (int i = 0; i < kPadActionCount; ++i) padButtons[i] = v[kSavePadButtonsAt + i];
}

// A read that refuses a file which exists: logged, and the file marked to be kept before a save.
bool Refuse(const std::string& path, const char* reason) {
    LogWarning("save file: %s refused: %s\n", path.c_str(), reason);
    rejectedFileWaiting = true;
    std::snprintf(rejectedReason, sizeof(rejectedReason), "%s", reason);
    return false;
}

// Before a save replaces a file the last read refused, its bytes go to ".rejected" (once), so a
// player can recover a damaged file by hand. False when they could not be kept.
bool KeepRejectedFile(const std::string& path) {
    if (!rejectedFileWaiting) return true;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        rejectedFileWaiting = false;  // gone meanwhile: nothing left to keep
        return true;
    }
    const std::string kept = path + kRejectedSuffix;
    if (!CopyFileAtomically(path.c_str(), kept.c_str())) {
        LogWarning("save file: not saved: the refused file could not be kept as %s\n", kept.c_str());
        return false;
    }
    LogWarning("save file: the refused file is kept as %s (refused: %s)\n", kept.c_str(), rejectedReason);
    rejectedFileWaiting = false;
    return true;
}

}  // namespace

std::string SaveFilePath() {
    const std::string folder = UserDirectory(UserDir::kData, kProgramFolder);
    if (folder.empty()) return {};
    return folder + "/" + kSaveFileName;
}

void CollectSaveValues(int32_t v[kSaveValueCount]) {
    v[kSaveCoursesOpenAt] = coursesOpen;
    int flags = 0;
    for (int k = 0; k < kSecretCourseCount; ++k)
        if (secretFound[k]) flags |= 1 << k;
    v[kSaveSecretFlagsAt] = flags;
    int split = kSaveSplitsAt;
    for (int c = 1; c <= CourseCount; ++c) {
        const CourseRecord& r = records[c];
        v[kSaveBestLapsAt + 2 * (c - 1)] = r.bestLapMinutes;
        v[kSaveBestLapsAt + 2 * (c - 1) + 1] = r.bestLapMillis;
        for (int lap = 0; lap < kRecordedLaps[c]; ++lap) {
            v[split++] = r.splitMinutes[lap];
            v[split++] = r.splitMillis[lap];
        }
        v[kSaveBestRanksAt + c - 1] = r.bestRank;
        v[kSaveRatiosAt + c - 1] = RatioToHundredths(r.bestCrystalRatio);
    }
    for (int i = 0; i < kSettingCount; ++i) v[kSaveSettingsAt + i] = *kSettings[kSavedSettingOrder[i]].value;
    for (int i = 0; i < kPadActionCount; ++i) v[kSavePadButtonsAt + i] = padButtons[i];
}

bool WriteSaveFile() {
    const std::string path = SaveFilePath();
    if (path.empty()) {
        LogWarning("save file: not saved: no data folder\n");
        return false;
    }
    int32_t values[kSaveValueCount];
    CollectSaveValues(values);
    const std::string text = EncodeSaveValues(values);
    if (!KeepRejectedFile(path)) return false;
    if (!WriteFileAtomically(path.c_str(), text.data(), text.size())) {
        LogWarning("save file: not saved to %s; the previous file is unchanged\n", path.c_str());
        return false;
    }
    if (!kbgmReady && bgmType == 2) bgmType = 1;
    Log("save file: saved to %s\n", path.c_str());
    return true;
}

bool ReadSaveFile() {
    const std::string path = SaveFilePath();
    if (path.empty()) {
        LogWarning("save file: nothing read: no data folder\n");
        return false;
    }
    // Non-blocking, so a pipe in the file's place cannot hang the game; it is refused below.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            Log("save file: none at %s\n", path.c_str());
            rejectedFileWaiting = false;
            return false;
        }
        char reason[160];
        std::snprintf(reason, sizeof(reason), "cannot be opened: %s", std::strerror(errno));
        return Refuse(path, reason);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return Refuse(path, "not a regular file");
    }
    if (st.st_size > static_cast<off_t>(kSaveFileByteLimit)) {
        close(fd);
        char reason[160];
        std::snprintf(reason, sizeof(reason), "%lld bytes, more than %zu", static_cast<long long>(st.st_size),
                      kSaveFileByteLimit);
        return Refuse(path, reason);
    }
    // Read at most one byte beyond the limit: a file that grew since fstat is still caught.
    std::vector<char> text(kSaveFileByteLimit + 1);
    size_t size = 0;
    bool readFailed = false;
    while (size < text.size()) {
        const ssize_t n = read(fd, text.data() + size, text.size() - size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) readFailed = true;
        if (n <= 0) break;
        size += static_cast<size_t>(n);
    }
    close(fd);
    if (readFailed) return Refuse(path, "cannot be read");
    if (size > kSaveFileByteLimit) return Refuse(path, "larger than the limit");

    int32_t values[kSaveValueCount];
    char reason[160];
    if (!DecodeSaveText(text.data(), size, values, reason, sizeof(reason)) ||
        !SaveValuesInRange(values, reason, sizeof(reason))) {
        return Refuse(path, reason);
    }
    ApplySaveValues(values);
    if (!kbgmReady && bgmType == 2) bgmType = 1;
    rejectedFileWaiting = false;
    Log("save file: read %s\n", path.c_str());
    return true;
}
