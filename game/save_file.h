// The save file "KORVAN -Outer Bounds-.dat": progress, records, settings and pad buttons between
// runs. It lives in the user's data folder ($XDG_DATA_HOME/korvan, by default
// ~/.local/share/korvan), never beside the program.
//
// The file holds a list of 186 values, each stored as four numbers: two random masks a and b, the
// check c = V + a + b and the masked value d = V + b (32-bit wrap-around). The four runs a[], b[],
// c[], d[] follow each other, each number in lower-case hexadecimal followed by one blank. The
// value list, in order: courses open; the secret flags (bit k = secret k + 1); the best lap of each
// course 1..15 as (minutes, milliseconds); the splits of each course's best race, lap by lap; the
// best ranks; the best crystal ratios in hundredths of a percent; View Type, Render Level, BGM
// Type, Mini Map, Speed Meter, FPS, Timer(s), Fog Type, Auto Save; the five pad buttons.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "game/limits.h"
#include "game/records.h"
#include "game/settings.h"
#include "game/pad_config.h"

// Where each part of the value list starts; the positions after the best laps follow from the
// laps table.
constexpr int SumOfRecordedLaps() {
    int sum = 0;
    for (int c = 1; c <= CourseCount; ++c) sum += kRecordedLaps[c];
    return sum;
}
constexpr int kSaveCoursesOpenAt = 0;
constexpr int kSaveSecretFlagsAt = 1;
constexpr int kSaveBestLapsAt = 2;
constexpr int kSaveSplitsAt = kSaveBestLapsAt + 2 * CourseCount;
constexpr int kSaveBestRanksAt = kSaveSplitsAt + 2 * SumOfRecordedLaps();
constexpr int kSaveRatiosAt = kSaveBestRanksAt + CourseCount;
constexpr int kSaveSettingsAt = kSaveRatiosAt + CourseCount;
constexpr int kSavePadButtonsAt = kSaveSettingsAt + kSettingCount;
constexpr int kSaveValueCount = kSavePadButtonsAt + kPadActionCount;  // 186
constexpr int kSaveNumberCount = 4 * kSaveValueCount;                 // 744
// A file longer than this is refused without being read whole: 744 numbers of eight digits and
// their blanks take 6696 bytes, and a file may be somewhat longer and still decode.
constexpr size_t kSaveFileByteLimit = 16384;
extern const char* const kSaveFileName;

// Where the save file is: in the user's data folder, made when missing; "" when there is none.
// Read anew on every call, so XDG_DATA_HOME may change between calls.
std::string SaveFilePath();

// The value list of the current state, in the file's order.
void CollectSaveValues(int32_t values[kSaveValueCount]);

// Writes the current state with fresh masks from rand(). The file is replaced in one step: a
// failed or interrupted write leaves the previous file whole, changes nothing and returns false.
// When the last read refused an existing file, its bytes are first kept once as
// "KORVAN -Outer Bounds-.dat.rejected" (and the save fails rather than replace a file it could not
// keep). After a save BGM Type 2 becomes 1 when the background-music library is unavailable.
bool WriteSaveFile();

// Reads the file and, when every sum agrees and every value lies in its range, applies all of it
// at once (then BGM Type 2 becomes 1 when the background-music library is unavailable). Otherwise
// false, nothing changed and the reason logged. Refused: a missing or unreadable file, anything
// but a regular file, one larger than kSaveFileByteLimit, a token that is not a 32-bit hexadecimal
// number, fewer than 744 numbers or a count not a multiple of four, an entry whose sums disagree
// or whose masks are not below 60000, and a value out of range (courses open 1..11, flags 0..31,
// lap times 0..99 minutes and 0..59999 milliseconds, ranks 1..9, ratios 0..10000, each setting in
// its range, pad buttons 6..13 and all different). A longer self-consistent file decodes its first
// 186 values.
bool ReadSaveFile();
