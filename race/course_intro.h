// The course intro before every race (the course's title, its laps and opponents, the automatic
// save's result), and the slowly turning background it shares with the results: the course's sky
// at the origin seen from (0, 1000, 0) looking along +z.
#pragma once

void PreRaceFrame();
// The intro's first frame and one from its middle, where the fades and the sliding rectangle have
// other alphas, into the begun frame: the race's loading draws them unseen.
void DrawIntroKinds();
// The intro's frame t shows the last automatic save's result: frames 41 to 159, when Auto Save is
// on and a save was made.
bool IntroShowsAutoSave(int t);
// The background's step (a turn of 0.01 radians) and its drawing into the begun frame.
void StepIntroBackground();
void DrawIntroBackground();
// Black over the whole screen with this alpha (the intro's and the results' fades).
void DrawBlackOver(int alpha);
