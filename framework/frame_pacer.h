// The fixed 60 frames-per-second schedule: five frames of 16 ms and one of 20 ms, catching up after
// a slow frame and restarting the schedule after a long stall. Frames are never skipped.
#pragma once
#include <cstdint>

struct FramePacer {
    uint32_t basePeriod = 16;
    uint32_t extraPeriod = 4;
    int32_t fpsCount = 0;
    int32_t cycleCount = 0;
    uint32_t frameStartTime = 0;
    uint32_t fpsStartTime = 0;
    float fps = 60.0f;
    // The clock and sleep the pacer uses; tests put their own here.
    uint32_t (*clock)() = nullptr;
    void (*sleep)(uint32_t ms) = nullptr;
    // When false the pacer keeps its schedule and rate but never sleeps (the "--unpaced" switch).
    bool sleeping = true;
};

// How one frame ended against its schedule.
struct PaceResult {
    uint32_t late;      // time since the frame's scheduled start
    uint32_t period;    // the frame's length in the schedule
    uint32_t slept;     // how long the pacer slept
    bool onTime;        // the work ended inside its slot
    bool restarted;     // four periods or more behind: the schedule started again from now
};

extern FramePacer framePacer;

// Resets the schedule to start now (start-up chain step 10).
void InitFramePacer(FramePacer& pacer, uint32_t (*clock)(), void (*sleep)(uint32_t));
// Starts the schedule and the rate measurement from now, keeping the periods and the cycle.
// Called when the boot has loaded the game, so the loading does not count against the first frame.
void RestartSchedule(FramePacer& pacer);
// The rate measurement alone, once a frame at `now` (the frame loop's steps when a picture is drawn
// for every refresh, which keep their own time).
void MeasureRate(FramePacer& pacer, uint32_t now);
// Called once at the end of each frame's work: measures the rate and sleeps to the schedule.
PaceResult PaceFrame(FramePacer& pacer);
