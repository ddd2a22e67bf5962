#include "tests/support/shot_session.h"

#include <unistd.h>

#include <cstdlib>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/frame_stats.h"
#include "framework/graphics_device.h"
#include "framework/switches.h"
#include "tests/support/in_process_game.h"

namespace {

struct ShotRun {
    std::vector<std::string> args;
    std::string runDir;
    ShotFrameHook beforeShot;
};

bool IsShotFrame(uint32_t frame) {
    for (const auto& shot : programOptions.shots) {
        if (shot.first >= 0 && static_cast<uint32_t>(shot.first) == frame) return true;
    }
    return false;
}

int RunShotSession(void* context) {
    const ShotRun& run = *static_cast<ShotRun*>(context);
    // A private lock directory, so other runs of the game on this machine do not count.
    setenv("XDG_RUNTIME_DIR", MakeTempDir().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("XDG_DATA_HOME", (run.runDir + "/" + kRunDataHome).c_str(), 1);
    if (chdir(run.runDir.c_str()) != 0) return 101;
    SetLogFilePath((run.runDir + "/debug.txt").c_str());

    std::vector<char*> argv;
    static char program[] = "korvan";
    argv.push_back(program);
    for (const std::string& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size()) - 1;
    SetCommandLine(argc, argv.data());
    std::string error;
    programOptions = ProgramOptions{};
    if (!ParseProgramOptions(argc, argv.data(), programOptions, error)) return 2;
    if (!InitApplication()) {
        FreeApplication();
        return appExitCode;
    }
    GameBoot();
    // The frame loop of the program, the device found only for the frames that are shot.
    while (PumpMessages()) {
        if (!appActive) {
            WaitForMessage();
            continue;
        }
        const bool shot = IsShotFrame(frameNumber);
        if (shot && run.beforeShot) run.beforeShot(frameNumber);
        device->SetCooperativeLevelForTest(shot ? D3D_OK : D3DERR_DEVICELOST);
        RunFrame();
    }
    device->SetCooperativeLevelForTest(D3D_OK);
    GameQuit();
    if (!programOptions.statsFile.empty()) WriteStatsFile(programOptions.statsFile.c_str());
    FreeApplication();
    // The program's own end: what the game's tables still hold is let go (and logged) as the
    // process exits, after the frame loop's teardown.
    std::exit(0);
}

}  // namespace

GameRun RunGameDrawingShotsOnly(const std::vector<std::string>& args, const std::string& runDir,
                                ShotFrameHook beforeShot) {
    ShotRun run{args, runDir, beforeShot};
    GameRun result;
    result.dir = runDir;
    result.exitCode = RunInChildProcess(RunShotSession, &run);
    result.output = ReadFile(runDir + "/debug.txt");
    return result;
}
