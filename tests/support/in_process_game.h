// The whole game run inside a test process, as "korvan --headless --unpaced --autopilot
// --course N --seed S" would run it, so a test can look at the game's records between frames.
#pragma once
#include <cstdint>
#include <string>

// Moves into a fresh run directory, gives the game a private lock directory, a data folder for its
// save file (dataHome, else <run dir>/user-data; it replaces any XDG_DATA_HOME) and its debug log
// at logPath, sets the switches, starts the services and boots. False when the services cannot
// start. An input script (the --input switch) may be given.
bool StartGameInProcess(int course, unsigned seed, const std::string& logPath, const std::string& inputFile = "",
                        const std::string& dataHome = "");
// Runs frames until the frame counter reaches `until` or the game closes.
void RunFramesUntil(uint32_t until);
// The game's quit routine (when it had started), the services' teardown, the log closed.
void StopGameInProcess(bool started);

// Runs `body` in a child process of its own, which starts from the program's first state (the
// game keeps things from one race to the next); returns what `body` returned, or -1 when the child
// did not end normally.
int RunInChildProcess(int (*body)(void* context), void* context);
