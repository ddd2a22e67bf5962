// The attract sequence: what the logo and the title's idle time lead to, written once in order.
// Each scene hands over to the next shown one when it ends; the last leads back to the title.
#pragma once

enum AttractStep { kAttractStory, kAttractDemonstration, kAttractTitle, kAttractStepCount };

// The first scene of the sequence that this board shows (the story prologue needs two lights).
void StartAttractSequence();
// `step` has ended: the next scene of the sequence that this board shows starts.
void EndAttractStep(AttractStep step);
