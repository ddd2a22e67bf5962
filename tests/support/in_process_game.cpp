#include "tests/support/in_process_game.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/switches.h"
#include "tests/support/run_game.h"

bool StartGameInProcess(int course, unsigned seed, const std::string& logPath, const std::string& inputFile,
                        const std::string& dataHome) {
    // The single-instance lock lives in the runtime directory: a private one, so other runs of
    // the game on this machine do not count.
    setenv("XDG_RUNTIME_DIR", MakeTempDir().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SetLogFilePath(logPath.c_str());
    const std::string runDir = MakeRunDir();
    if (chdir(runDir.c_str()) != 0) return false;
    // The save file goes to the run directory, never to the account's own data folder.
    const std::string home = dataHome.empty() ? runDir + "/" + kRunDataHome : dataHome;
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    programOptions = ProgramOptions{};
    programOptions.headless = true;
    programOptions.unpaced = true;
    programOptions.autopilot = true;
    programOptions.course = course;
    // A course from the start runs its countdown at once, as the tests count their frames from it.
    programOptions.skipIntro = course > 0;
    programOptions.seedGiven = true;
    programOptions.seed = seed;
    programOptions.inputFile = inputFile;
    if (!InitApplication()) return false;
    GameBoot();
    return true;
}

void RunFramesUntil(uint32_t until) {
    while (frameNumber < until && PumpMessages()) RunFrame();
}

void StopGameInProcess(bool started) {
    if (started) GameQuit();
    FreeApplication();
    SetLogFilePath("");
}

int RunInChildProcess(int (*body)(void* context), void* context) {
    const pid_t child = fork();
    if (child == 0) _exit(body(context));
    if (child < 0) return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}
