// The attract sequence after the logo and after the title's idle time: the demonstration, course
// 15 driven by the automatic driver with its scenery, fading in, and out to the title after 1200
// frames (a key jumps to the fade-out).
#pragma once

// The demonstration's set-up: the counter from 0, course 15 made ready with the automatic driver,
// light 0 off, the course's tune started.
void DemonstrationSetUp();
void DemonstrationFrame();

// The set-up and the scene together (the attract sequence's entry).
void StartDemonstration();
