// A picture for every refresh of the display while the game's steps keep their 60 a second. The
// steps stand on an even line, 60 a second as the frame pacer counts them; each refresh of the
// display gets a picture, and each picture is drawn once the steps it needs have run, placed
// between the last two by the fraction of the step that has passed when it is shown (see
// step_blend.h). A step that is due runs first; the drawing never holds back the steps: when
// a picture cannot be ready for its refresh, that refresh shows the one before (a dropped picture).
#pragma once
#include <cstdint>

#include "framework/config_file.h"

// "display.smooth": kSmoothOn (the default: a picture every refresh on a display faster than 60
// Hz, while vsync waits for it) or kSmoothOff (one picture a step).
enum { kSmoothOn = 0, kSmoothOff = 1 };
extern ConfigSetting displaySmooth;

// The picture routine of the current scene: draws the scene's picture from what its last step left
// (with pictureFraction set), a whole frame from BeginFrame to EndFrame. A scene names it again in
// every step (SetPictureProc); a scene that names none gets one picture a step.
using PictureProc = void (*)();
extern PictureProc pictureProc;
void SetPictureProc(PictureProc proc);
// True while a picture between two steps is being drawn (its frame writes no --shot).
extern bool pictureBetweenSteps;

constexpr int64_t kNsPerSecond = 1000000000;
constexpr int kStepsPerSecond = 60;

struct PicturePacer {
    bool active = false;
    // The clock is the display's own: each picture takes a refresh and nothing waits (--unpaced
    // with --refresh). Otherwise the clock is the system's.
    bool simulated = false;
    // The refreshes come at a fixed rate from the start (a simulated display, --refresh); otherwise
    // each is timed from the end of the last present, which the display's wait holds back.
    bool fixedRefresh = false;
    int refreshHz = 60;
    // The step line: step `lineStep` at `lineStart`, the others 1/60 s apart.
    uint32_t lineStep = 0;
    int64_t lineStart = 0;
    // The refreshes: refresh `refreshIndex` at refreshStart + refreshIndex / refreshHz.
    int64_t refreshStart = 0;
    int64_t refreshIndex = 0;
    // Counts for --stats.
    long pictures = 0;  // pictures shown, the steps' own among them
    long dropped = 0;   // refreshes that showed the picture before theirs again
    // What a picture between two steps is expected to cost, its wait for the display included: the
    // last one's time, but never more than the last step's (a step draws the same picture and runs
    // the game's logic besides), so one slow picture does not stop them all for good.
    int64_t pictureCost = 0;
    // Whether the rasteriser has finished the last picture handed to it (none: taken as done). A
    // picture between steps waits until it has: queued behind another, it would hold up the next
    // step's own picture.
    bool (*lastPictureDrawn)() = nullptr;
    int64_t (*clock)() = nullptr;             // nanoseconds, monotonic
    void (*sleep)(int64_t ns) = nullptr;
};
extern PicturePacer picturePacer;

// The system's clock and sleep in nanoseconds.
int64_t PacerClockNs();
void PacerSleepNs(int64_t ns);

// Starts the pictures now: step `nextStep` is due at once, the first refresh now.
void StartPictures(PicturePacer& p, uint32_t nextStep, int refreshHz, bool simulated, bool fixedRefresh);
// When step n stands on the line, and when the next refresh comes.
int64_t StepTime(const PicturePacer& p, uint32_t step);
int64_t RefreshTime(const PicturePacer& p);

// What the loop does next: run step `nextStep`, or draw a picture between the steps.
struct PictureTurn {
    bool step;         // step `nextStep` is needed by the next refresh's picture
    float fraction;    // where that refresh's picture stands between the two steps before it
    bool restarted;    // the steps had fallen four steps behind: the line starts again from now
};
PictureTurn NextPictureTurn(PicturePacer& p, uint32_t nextStep);
// A step's work has ended: whether it ended after the end of its slot on the line (a late step).
bool StepEndedLate(const PicturePacer& p, uint32_t step);
// A step (its logic and its own picture) took `ns`: a picture between steps costs no more.
void NoteStepCost(PicturePacer& p, int64_t ns);
// Whether a picture between the steps can be drawn now and still leave step `nextStep` its time,
// the rasteriser done with the picture before (always, on the simulated clock): the drawing never
// holds back a step.
bool PictureFits(const PicturePacer& p, uint32_t nextStep);
// Draws a picture between the steps when it fits, measuring its cost; else the refresh shows the
// picture before again. True when it was drawn.
bool DrawPictureBetween(PicturePacer& p, uint32_t nextStep, void (*draw)());
// The refresh has passed: `shown` when a picture was presented for it. Waits for the refresh time
// when the present did not, and counts the refreshes a late picture missed.
void RefreshPassed(PicturePacer& p, bool shown);
