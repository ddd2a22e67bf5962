// Program entry: the shell starts the services, boots the game, runs the paced frame loop until a
// close request, then lets the game quit and tears everything down.
#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/frame_pacer.h"
#include "framework/frame_stats.h"
#include "framework/switches.h"
#include "platform/frame_loop.h"

namespace {
// The next frame's slot has begun (or frames run back to back, --unpaced).
bool FrameDue() {
    return programOptions.unpaced || static_cast<int32_t>(framePacer.clock() - framePacer.frameStartTime) >= 0;
}

// One turn of the loop: the window's messages, then a frame while the game is in front; false
// once the close request has been taken.
bool MainFrame() {
    if (!PumpMessages()) return false;
    if (appActive) RunFrame();
    else if (SysFrameLoopBlocks()) WaitForMessage();
    return true;
}

void MainEnd() {
    GameQuit();
    if (!programOptions.statsFile.empty() && !WriteStatsFile(programOptions.statsFile.c_str())) {
        Log("stats: cannot write %s\n", programOptions.statsFile.c_str());
    }
    FreeApplication();
}
}  // namespace

int main(int argc, char** argv) {
    SetCommandLine(argc, argv);
    std::string error;
    if (!ParseProgramOptions(argc, argv, programOptions, error)) {
        std::fprintf(stderr, "korvan: %s\n", error.c_str());
        return kBadSwitchExit;
    }
    // Asked what the program is or takes: the answer, and nothing started (no window, no sound,
    // no folder made).
    if (programOptions.help || programOptions.version) {
        const std::string text = programOptions.help ? ProgramHelpText() : ProgramVersionText() + "\n";
        std::fputs(text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!InitApplication()) {
        FreeApplication();
        return appExitCode;
    }
    GameBoot();
    // The frames are paced from here: the seconds the boot spent loading are not a late frame.
    RestartSchedule(framePacer);
    // Where the caller of the frames decides when they run (the browser), a frame never sleeps.
    if (!SysFrameLoopBlocks()) framePacer.sleeping = false;
    SysRunFrameLoop(FrameDue, MainFrame, MainEnd);
    return 0;
}
