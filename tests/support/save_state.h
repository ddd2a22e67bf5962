// The state a save file holds, for the save file suites: taken whole, compared whole, and filled
// with values that differ from the start-up ones; plus plain file helpers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "game/pad_config.h"
#include "game/progress.h"
#include "game/records.h"
#include "game/settings.h"

struct SavedState {
    CourseRecord records[CourseCount + 1];
    int coursesOpen;
    bool secretFound[kSecretCourseCount];
    bool startedFromCourse1;
    int settings[kSettingCount];  // in the settings table's order
    int padButtons[kPadActionCount];
};

SavedState CaptureState();
// Every field, the crystal ratios bit for bit.
bool SameState(const SavedState& a, const SavedState& b);
// The start-up state: records, progress, settings (BGM Type 1) and pad buttons reset.
void ResetSaveState();
// A valid state that the seed varies: every course's times, rank and ratio (a whole number of
// hundredths), the progress, each setting within its range and five different pad buttons.
void SetVariedState(unsigned seed);

// The blank-separated hexadecimal numbers of a save file's text, and back in the writer's form.
std::vector<uint32_t> SaveNumbers(const std::string& text);
std::string JoinSaveNumbers(const std::vector<uint32_t>& numbers);

// Writes a save file into a run directory's data folder (see MakeRunDir), as a played game would
// have left it: the start-up state shaped by `shape`. The test process's own state is reset after.
bool WriteSaveInRunDir(const std::string& runDir, void (*shape)());

bool WriteBytes(const std::string& path, const std::string& bytes);
// The file's bytes; "" when it cannot be read.
std::string ReadBytes(const std::string& path);
