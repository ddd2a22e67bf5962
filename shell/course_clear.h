// The course progression after the results of a finished race: once every course is open, the
// secret courses the player has earned are announced one after another (600 frames each, on
// black); then the next course opens and its intro begins (after course 10 the ending, after a
// secret course the title), and the game saves itself when Auto Save is on.
#pragma once

void CourseClearFrame();
// Where the progression goes after course 10: the ending, which the boot installs here. Left
// unset, the title.
extern void (*courseTenEnding)();
