#include "game/records.h"

CourseRecord records[CourseCount + 1];

namespace {
constexpr int kResetRank = 9;
constexpr int kResetMinutes = 99;
constexpr int kResetMillis = 59999;
constexpr int kMillisPerMinute = 60000;
}  // namespace

void ResetRecords() {
    for (CourseRecord& r : records) {
        r.bestRank = kResetRank;
        r.bestLapMinutes = kResetMinutes;
        r.bestLapMillis = kResetMillis;
        for (int k = 0; k < kMaxLaps; ++k) {
            r.splitMinutes[k] = kResetMinutes;
            r.splitMillis[k] = kResetMillis;
        }
        r.bestCrystalRatio = 0.0f;
    }
}

CourseRecord* FindRecord(int course) {
    if (course < 1 || course > CourseCount) return nullptr;
    return &records[course];
}

RaceTime SumLapTimes(const int* minutes, const int* millis, int count) {
    RaceTime total{0, 0};
    for (int k = 0; k < count; ++k) {
        total.minutes += minutes[k];
        total.millis += millis[k];
    }
    total.minutes += total.millis / kMillisPerMinute;
    total.millis %= kMillisPerMinute;
    return total;
}

bool TimeLess(RaceTime a, RaceTime b) {
    if (a.minutes != b.minutes) return a.minutes < b.minutes;
    return a.millis < b.millis;
}

RaceTime BestTotal(int course) {
    const CourseRecord* r = FindRecord(course);
    if (!r) return {0, 0};
    return SumLapTimes(r->splitMinutes, r->splitMillis, RecordedLaps(course));
}

bool RecordLap(int course, int minutes, int millis) {
    CourseRecord* r = FindRecord(course);
    if (!r) return false;
    if (!TimeLess({minutes, millis}, {r->bestLapMinutes, r->bestLapMillis})) return false;
    r->bestLapMinutes = minutes;
    r->bestLapMillis = millis;
    return true;
}

void RecordFinish(int course, int finalRank, const int* lapMinutes, const int* lapMillis, int laps, float ratio) {
    CourseRecord* r = FindRecord(course);
    if (!r) return;
    if (laps > kMaxLaps) laps = kMaxLaps;
    if (finalRank < r->bestRank) r->bestRank = finalRank;
    const RaceTime total = SumLapTimes(lapMinutes, lapMillis, laps);
    const RaceTime best = SumLapTimes(r->splitMinutes, r->splitMillis, laps);
    if (TimeLess(total, best)) {
        for (int k = 0; k < laps; ++k) {
            r->splitMinutes[k] = lapMinutes[k];
            r->splitMillis[k] = lapMillis[k];
        }
    }
    if (ratio > r->bestCrystalRatio) r->bestCrystalRatio = ratio;
}

void BestLapOf(int course, int* minutes, int* millis) {
    const CourseRecord* r = FindRecord(course);
    *minutes = r ? r->bestLapMinutes : kResetMinutes;
    *millis = r ? r->bestLapMillis : kResetMillis;
}

namespace {
// The table holds its reset values from the start, before the boot's own reset runs.
const bool recordsReady = (ResetRecords(), true);
}  // namespace
