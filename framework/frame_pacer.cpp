#include "framework/frame_pacer.h"

FramePacer framePacer;

void InitFramePacer(FramePacer& pacer, uint32_t (*clock)(), void (*sleep)(uint32_t)) {
    pacer.clock = clock;
    pacer.sleep = sleep;
    pacer.basePeriod = 16;
    pacer.extraPeriod = 4;
    pacer.fpsCount = 0;
    pacer.cycleCount = 0;
    pacer.frameStartTime = pacer.fpsStartTime = clock();
    pacer.fps = 60.0f;
}

void RestartSchedule(FramePacer& pacer) {
    pacer.frameStartTime = pacer.fpsStartTime = pacer.clock();
    pacer.fpsCount = 0;
}

void MeasureRate(FramePacer& pacer, uint32_t now) {
    if (++pacer.fpsCount == 30) {
        uint32_t span = now - pacer.fpsStartTime;
        // A span of 0 cannot happen at 60 frames per second; keep the last rate rather than divide by it.
        if (span != 0) pacer.fps = 30000.0f / static_cast<float>(span);
        pacer.fpsStartTime = now;
        pacer.fpsCount = 0;
    }
}

PaceResult PaceFrame(FramePacer& pacer) {
    uint32_t now = pacer.clock();
    uint32_t late = now - pacer.frameStartTime;  // unsigned: survives the tick counter wrapping

    MeasureRate(pacer, now);

    uint32_t period = pacer.basePeriod;
    if (++pacer.cycleCount == 6) {
        period = pacer.basePeriod + pacer.extraPeriod;
        pacer.cycleCount = 0;
    }

    PaceResult result{late, period, 0, late < period, false};
    if (late < period) {
        result.slept = period - late;
        if (pacer.sleeping) pacer.sleep(period - late);
        pacer.frameStartTime += period;
    } else if (late < 4 * period) {
        pacer.frameStartTime += period;  // catch up: the next frames run back to back
    } else {
        pacer.frameStartTime = now - period;  // too far behind: restart the schedule from now
        result.restarted = true;
    }
    return result;
}
