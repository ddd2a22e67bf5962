#include "shell/attract_sequence.h"

#include "framework/graphics_device.h"
#include "race/race_state.h"
#include "shell/demonstration.h"
#include "shell/story.h"
#include "shell/title_scene.h"

namespace {
// The prologue lights the body with two lights; a board with one goes straight to the drive.
bool StoryShown() { return maxActiveLights >= 2; }

void BackToTitle() {
    ResetRace();
    GoToTitleScreen();
}

struct AttractEntry {
    bool (*shown)();  // null: every board shows it
    void (*start)();  // the scene's set-up and the scene
};
const AttractEntry kAttractOrder[kAttractStepCount] = {
    {StoryShown, StartStory},
    {nullptr, StartDemonstration},
    {nullptr, BackToTitle},
};

void StartFrom(int step) {
    for (int s = step; s < kAttractStepCount; ++s) {
        const AttractEntry& e = kAttractOrder[s];
        if (e.shown && !e.shown()) continue;
        e.start();
        return;
    }
}
}  // namespace

void StartAttractSequence() { StartFrom(0); }

void EndAttractStep(AttractStep step) { StartFrom(step + 1); }
