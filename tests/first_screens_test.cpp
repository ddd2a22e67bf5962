// The README's first command: without a display scripts/run runs the attract sequence off-screen
// and writes screenshots named after the scenes they show. Its own switches are read from the
// script and run as the script runs them (drawing only the shot frames); each shot must be taken
// while the scene of its name is the current one, and must show that scene (not a fade's black
// frame).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "framework/application.h"
#include "shell/demonstration.h"
#include "shell/logo_scene.h"
#include "shell/story.h"
#include "shell/title_scene.h"
#include "tests/support/run_game.h"
#include "tests/support/screen_image.h"
#include "tests/support/shot_session.h"

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

// In the game's child process: which scene draws each shot frame, one line a shot.
void NoteShotScene(uint32_t frame) {
    if (FILE* f = std::fopen("scenes.txt", "a")) {
        std::fprintf(f, "%u %s\n", frame, SceneNameOf(frameProc));
        std::fclose(f);
    }
}

TEST(FirstScreens, EachShotOfTheRunScriptShowsTheSceneItIsNamedAfter) {
    const RunScript script = ReadRunScript();
    ASSERT_GT(script.frames, 0);
    std::map<std::string, int> shotsOf;
    std::vector<std::string> args = {"--headless", "--unpaced", "--frames", std::to_string(script.frames)};
    for (const Shot& s : script.shots) {
        ++shotsOf[s.scene];
        EXPECT_LT(s.frame, script.frames) << s.path << " is past the run's end";
        args.insert(args.end(), {"--shot", std::to_string(s.frame) + ":" + s.path});
    }
    for (const char* scene : {"logo", "prologue", "demonstration", "title"}) EXPECT_GT(shotsOf[scene], 0) << scene;
    const std::string runDir = MakeRunDir();
    ASSERT_EQ(std::system(("mkdir -p '" + runDir + "/screenshots'").c_str()), 0);
    ASSERT_EQ(RunGameDrawingShotsOnly(args, runDir, NoteShotScene).exitCode, 0);

    std::map<int, std::string> sceneAt;
    std::istringstream lines(ReadFile(runDir + "/scenes.txt"));
    int frame = 0;
    std::string scene;
    while (lines >> frame >> scene) sceneAt[frame] = scene;

    for (const Shot& s : script.shots) {
        SCOPED_TRACE(s.path);
        EXPECT_EQ(sceneAt[s.frame], s.scene);
        ScreenImage image;
        ASSERT_TRUE(image.Load(runDir + "/" + s.path));
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
