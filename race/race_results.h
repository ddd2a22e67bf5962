// The results after the replay: the lap table sliding in line by line, the total time and the
// crystal ratio, over the turning background and to the results' tune; then the course
// progression.
#pragma once

// The results' tune ("Result.mid") loaded into both players and started; the counter from 0.
void StartResultsMusic();
void ResultsFrame();
// The frame at which every line of the table is in place, for a course of `laps` laps.
int ResultsAllInPlace(int laps);
