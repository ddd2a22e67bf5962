// The README's first command: without a display scripts/run runs the attract sequence off-screen
// and writes screenshots named after the scenes they show. Its own shot list is read from the
// script and run as the script runs it; each shot must be taken while the scene of its name is the
// current one, and must show that scene (not a fade's black frame).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/switches.h"
#include "shell/demonstration.h"
#include "shell/logo_scene.h"
#include "shell/story.h"
#include "shell/title_scene.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"
#include "tests/support/screen_image.h"

namespace {

struct Shot {
    int frame;
    std::string path;   // as the script writes it, relative to the build directory
    std::string scene;  // the scene its name promises: the name up to its first '-'
};

struct RunScript {
    int frames = 0;
    std::vector<Shot> shots;
};

// The off-screen command of scripts/run: its --frames and every --shot.
RunScript ReadRunScript() {
    RunScript script;
    const std::string text = ReadFile(std::string(KORVAN_SOURCE_DIR) + "/scripts/run");
    std::smatch m;
    if (std::regex_search(text, m, std::regex(R"(--frames (\d+))"))) script.frames = std::stoi(m[1]);
    const std::regex shot(R"(--shot (\d+):(\S+/([a-z]+)-\d+\.png))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), shot); it != std::sregex_iterator(); ++it) {
        script.shots.push_back({std::stoi((*it)[1]), (*it)[2], (*it)[3]});
    }
    return script;
}

const char* SceneNameOf(FrameProc scene) {
    if (scene == LogoFrame) return "logo";
    if (scene == StoryFrame) return "prologue";
    if (scene == DemonstrationFrame) return "demonstration";
    if (scene == TitleFrame) return "title";
    return "other";
}

struct ScriptRun {
    RunScript script;
    std::string runDir;
};

// In a child process: the game with the script's switches, drawing only the shot frames (the
// scenes' rules run the same on the others), noting which scene each shot frame belonged to.
int RunTheScript(void* context) {
    const ScriptRun& run = *static_cast<ScriptRun*>(context);
    setenv("XDG_RUNTIME_DIR", MakeTempDir().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("XDG_DATA_HOME", (run.runDir + "/" + kRunDataHome).c_str(), 1);
    if (chdir(run.runDir.c_str()) != 0) return 101;
    SetLogFilePath((run.runDir + "/debug.txt").c_str());
    programOptions = ProgramOptions{};
    programOptions.headless = programOptions.unpaced = true;
    programOptions.frames = run.script.frames;
    for (const Shot& s : run.script.shots) programOptions.shots.push_back({s.frame, s.path});
    if (!InitApplication()) return 102;
    GameBoot();
    FILE* scenes = std::fopen("scenes.txt", "w");
    if (!scenes) return 103;
    while (PumpMessages()) {
        bool shotFrame = false;
        for (const Shot& s : run.script.shots) shotFrame = shotFrame || frameNumber == static_cast<uint32_t>(s.frame);
        if (shotFrame) std::fprintf(scenes, "%u %s\n", frameNumber, SceneNameOf(frameProc));
        device->SetCooperativeLevelForTest(shotFrame ? D3D_OK : D3DERR_DEVICELOST);
        RunFrame();
    }
    std::fclose(scenes);
    device->SetCooperativeLevelForTest(D3D_OK);
    GameQuit();
    FreeApplication();
    return 0;
}

TEST(FirstScreens, EachShotOfTheRunScriptShowsTheSceneItIsNamedAfter) {
    ScriptRun run{ReadRunScript(), MakeRunDir()};
    ASSERT_GT(run.script.frames, 0);
    std::map<std::string, int> shotsOf;
    for (const Shot& s : run.script.shots) {
        ++shotsOf[s.scene];
        EXPECT_LT(s.frame, run.script.frames) << s.path << " is past the run's end";
    }
    for (const char* scene : {"logo", "prologue", "demonstration", "title"}) EXPECT_GT(shotsOf[scene], 0) << scene;
    ASSERT_EQ(std::system(("mkdir -p '" + run.runDir + "/screenshots'").c_str()), 0);
    ASSERT_EQ(RunInChildProcess(RunTheScript, &run), 0);

    std::map<int, std::string> sceneAt;
    std::istringstream lines(ReadFile(run.runDir + "/scenes.txt"));
    int frame = 0;
    std::string scene;
    while (lines >> frame >> scene) sceneAt[frame] = scene;

    for (const Shot& s : run.script.shots) {
        SCOPED_TRACE(s.path);
        EXPECT_EQ(sceneAt[s.frame], s.scene);
        ScreenImage image;
        ASSERT_TRUE(image.Load(run.runDir + "/" + s.path));
        const int lit = image.Lit(0, 0, image.w, image.h), all = image.w * image.h;
        if (s.scene == "logo") {
            EXPECT_GT(lit, all / 20) << "the credit shows";
        } else if (s.scene == "prologue") {
            EXPECT_GT(lit, all / 100) << "the car or the story's words show";
        } else if (s.scene == "demonstration") {
            EXPECT_GT(lit, all / 2) << "the course shows, past the fade-in";
        } else if (s.scene == "title") {
            // The six rows of the menu in the shell font, and the background lit behind them.
            EXPECT_GT(image.FontPixels(120, 240, 280, 336), 300) << "the menu shows";
            EXPECT_GT(lit, all / 10) << "the logo letters show";
        } else {
            ADD_FAILURE() << "a shot named after no scene of the attract sequence";
        }
    }
}

}  // namespace
