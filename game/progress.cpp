#include "game/progress.h"

#include "game/records.h"
#include "game/settings.h"

int coursesOpen = 1;
bool secretFound[kSecretCourseCount] = {};
bool startedFromCourse1 = false;

namespace {
constexpr int kLastNormalCourse = 10;
constexpr float kAllCrystals = 100.0f;
}  // namespace

void ResetProgress() {
    coursesOpen = 1;
    for (bool& found : secretFound) found = false;
    startedFromCourse1 = false;
}

bool SecretCourseEarned(int secret, int courseJustFinished) {
    switch (secret) {
        case 1:
            for (int c = 1; c <= kLastNormalCourse; ++c)
                if (records[c].bestRank != 1) return false;
            return true;
        case 2:
            for (int c = 1; c <= kLastNormalCourse; ++c)
                if (records[c].bestCrystalRatio != kAllCrystals) return false;
            return true;
        case 3:
            return BestTotal(1).minutes == 0;
        case 4:
            return courseJustFinished == kLastNormalCourse && startedFromCourse1;
        case 5:
            return courseJustFinished == kLastNormalCourse && miniMap == 0 && speedMeter == 0 && !showFps &&
                   timerMode == 0;
        default:
            return false;
    }
}

int FindSecretCourse(int courseJustFinished) {
    if (coursesOpen != kAllCoursesOpen) return 0;
    int found = 0;
    for (int secret = 1; secret <= kSecretCourseCount; ++secret)
        if (!secretFound[secret - 1] && SecretCourseEarned(secret, courseJustFinished)) found = secret;
    return found;
}
