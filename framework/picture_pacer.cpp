#include "framework/picture_pacer.h"

#include <chrono>
#include <thread>

PicturePacer picturePacer;
PictureProc pictureProc = nullptr;
bool pictureBetweenSteps = false;

namespace {
const char* const kSmoothWords[] = {"on", "off", nullptr};
constexpr int kBehindSteps = 4;  // as the frame pacer: this far behind, the schedule starts again

int64_t Now(const PicturePacer& p) { return p.clock ? p.clock() : PacerClockNs(); }
}  // namespace

ConfigSetting displaySmooth{"display.smooth", kSmoothWords, kSmoothOn,
                            "on a display faster than 60 Hz, a picture for every refresh, the moving world placed "
                            "between the game's steps (off: one picture a step); the game keeps its 60 steps a "
                            "second either way"};

void SetPictureProc(PictureProc proc) { pictureProc = proc; }

int64_t PacerClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PacerSleepNs(int64_t ns) {
    if (ns > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
}

void StartPictures(PicturePacer& p, uint32_t nextStep, int refreshHz, bool simulated, bool fixedRefresh) {
    p.active = true;
    p.simulated = simulated;
    p.fixedRefresh = fixedRefresh || simulated;
    p.refreshHz = refreshHz > 0 ? refreshHz : kStepsPerSecond;
    const int64_t now = simulated ? 0 : Now(p);
    p.lineStep = nextStep;
    p.lineStart = now;
    p.refreshStart = now;
    p.refreshIndex = 0;
    // Until a picture has been timed, one is drawn between two steps only with half a step to spare.
    p.pictureCost = kNsPerSecond / kStepsPerSecond / 2;
}

int64_t StepTime(const PicturePacer& p, uint32_t step) {
    const int64_t n = static_cast<int64_t>(static_cast<int32_t>(step - p.lineStep));
    return p.lineStart + n * kNsPerSecond / kStepsPerSecond;
}

int64_t RefreshTime(const PicturePacer& p) { return p.refreshStart + p.refreshIndex * kNsPerSecond / p.refreshHz; }

PictureTurn NextPictureTurn(PicturePacer& p, uint32_t nextStep) {
    PictureTurn turn{false, 1.0f, false};
    if (!p.simulated) {
        // Four steps behind (a stall, the window dragged): the line and the refreshes start again
        // from now rather than running the missed steps back to back.
        const int64_t now = Now(p);
        if (now - StepTime(p, nextStep) >= kBehindSteps * kNsPerSecond / kStepsPerSecond) {
            p.lineStep = nextStep;
            p.lineStart = now;
            p.refreshStart = now;
            p.refreshIndex = 1;
            turn.restarted = true;
        }
    }
    const int64_t refresh = RefreshTime(p);
    // The picture shown at a refresh places the world between step n - 1 and step n when step n
    // stands on the line at or before it and step n + 1 after it: a step's state is seen whole
    // one step after its own place on the line, as a display at 60 Hz shows it today.
    const int64_t next = StepTime(p, nextStep);
    turn.step = next < refresh;
    const uint32_t now = turn.step ? nextStep : nextStep - 1;
    const int64_t from = StepTime(p, now), to = StepTime(p, now + 1);
    const double f = static_cast<double>(refresh - from) / static_cast<double>(to - from);
    turn.fraction = f >= 1.0 ? 1.0f : f <= 0.0 ? 0.0f : static_cast<float>(f);
    return turn;
}

bool StepEndedLate(const PicturePacer& p, uint32_t step) {
    if (p.simulated) return false;
    return Now(p) > StepTime(p, step + 1);
}

void NoteStepCost(PicturePacer& p, int64_t ns) {
    if (ns >= 0 && ns < p.pictureCost) p.pictureCost = ns;
}

bool PictureFits(const PicturePacer& p, uint32_t nextStep) {
    if (p.simulated) return true;
    if (p.lastPictureDrawn && !p.lastPictureDrawn()) return false;
    return Now(p) + p.pictureCost <= StepTime(p, nextStep);
}

bool DrawPictureBetween(PicturePacer& p, uint32_t nextStep, void (*draw)()) {
    if (!PictureFits(p, nextStep)) {
        p.dropped += 1;
        return false;
    }
    const int64_t start = Now(p);
    draw();
    p.pictureCost = Now(p) - start;
    return true;
}

void RefreshPassed(PicturePacer& p, bool shown) {
    if (shown) p.pictures += 1;
    const int64_t refresh = RefreshTime(p);
    if (p.simulated) {
        p.refreshIndex += 1;
        return;
    }
    int64_t now = Now(p);
    const int64_t period = kNsPerSecond / p.refreshHz;
    // The present did not wait (off-screen, or a driver that shows at once): the picture is shown
    // at its refresh. Behind the display's own wait, a present that ends a little before the
    // refresh foreseen is that refresh (the display runs a little faster than it says): sleeping
    // there would miss the next one.
    if (now < refresh && (p.fixedRefresh || now < refresh - period / 2)) {
        if (p.sleep) {
            p.sleep(refresh - now);
        } else {
            PacerSleepNs(refresh - now);
        }
        now = refresh;
    }
    if (p.fixedRefresh) {
        // The display's refreshes come on their own: a picture ready after its refresh is shown at
        // the first one after it, and the refreshes until then showed the picture before.
        int64_t index = p.refreshIndex;
        while (p.refreshStart + index * kNsPerSecond / p.refreshHz < now) ++index;
        if (shown) p.dropped += index - p.refreshIndex;
        p.refreshIndex = index + 1;
        return;
    }
    // The display's wait ended at the refresh the picture was shown at; the next one follows a
    // period later.
    const int64_t missed = (now - refresh + period / 2) / period;
    if (shown && missed > 0) p.dropped += missed;
    p.refreshStart = now;
    p.refreshIndex = 1;
}
