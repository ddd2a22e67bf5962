// The course's music during a race, through whichever music system the player chose: switched by
// the course set-up, started at the first crossing of the line, paused and resumed by the pause
// menu, faded when the race fails.
#pragma once

// The course set-up's music switch (called inside the "data" directory).
void SwitchCourseMusic(const char* file);
// First crossing of the line.
void StartCourseMusic();
void PauseCourseMusic();
void ResumeCourseMusic();
// Time up, out of rank: KBGM fades over `fadeSpeed`, the other player stops.
void FadeCourseMusic(int fadeSpeed);
// The reset's stop: the KBGM song stopped, the other player's piece stopped and released.
void StopCourseMusic();
