// The game run as "korvan ARGS" runs it, in a child process of the test, drawing only the frames
// its --shot switches name: on every other frame the device is lost, so the scenes' rules run frame
// by frame exactly as in the program (drawing changes no game state) at a fraction of the cost.
// For screenshot tests of long sessions, whose frames in between nobody looks at.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/run_game.h"

// The run lives in runDir (from MakeRunDir): its save folder, its debug log; the result's output
// is that log. The exit code is the program's (0 after a normal quit, else the start-up's code).
// beforeShot, when given, is called in the child just before each shot frame runs (frameProc is
// then the scene that draws it).
using ShotFrameHook = void (*)(uint32_t frame);
GameRun RunGameDrawingShotsOnly(const std::vector<std::string>& args, const std::string& runDir,
                                ShotFrameHook beforeShot = nullptr);
