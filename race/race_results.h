// The results after the replay: the lap table sliding in line by line, the total time and the
// crystal ratio, over the turning background and to the results' tune; then the course
// progression.
#pragma once

// The results' tune ("Result.mid") loaded into both players and started; the counter from 0.
void StartResultsMusic();
void ResultsFrame();
// The frame at which every line of the table is in place, for a course of `laps` laps.
int ResultsAllInPlace(int laps);

// The parts of a results sheet that the race's and the Time Attack's share: the turning background
// with the sheet's backing sliding in (down to `bottom`), the fade in and out over it, and the
// clock: Z or X skips to `inPlace` (the table in place) and then to the fade, the tune fades, and
// true when the sheet's frames are over.
void DrawResultsBackdrop(int t, int bottom);
void DrawResultsFades(int t);
bool StepResultsClock(int inPlace);
