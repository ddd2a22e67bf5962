// The whole game played through, as a player with a fresh save plays it: the logo and the attract
// sequence, the title, Course Select, then courses 1 to 10 in order, each won by the automatic
// driver and followed by its replay, results and course progression, then the ending, the vehicle
// gallery and the staff roll back to the title. The game runs in the test process with the device
// lost (every scene's rules, no drawing); a test driver presses Z on the title and in Course
// Select, as a player would. Afterwards the save file on disk must hold every course open and a
// record for each of the ten courses.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "courses/course_geometry.h"
#include "framework/application.h"
#include "framework/graphics_device.h"
#include "game/progress.h"
#include "game/records.h"
#include "game/save_file.h"
#include "game/scene_flow.h"
#include "platform/input_script.h"
#include "race/course_intro.h"
#include "race/race_results.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "race/replay_player.h"
#include "shell/course_clear.h"
#include "shell/course_select.h"
#include "shell/demonstration.h"
#include "shell/ending.h"
#include "shell/logo_scene.h"
#include "shell/staff_roll.h"
#include "shell/story.h"
#include "shell/title_scene.h"
#include "shell/vehicle_gallery.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"
#include "tests/support/save_state.h"

namespace {

// Far more frames than ten races and the ending take.
constexpr uint32_t kFrameLimit = 300000;

std::string SceneName(FrameProc scene) {
    const struct {
        FrameProc scene;
        const char* name;
    } names[] = {
        {LogoFrame, "logo"},         {StoryFrame, "story"},          {DemonstrationFrame, "demonstration"},
        {TitleFrame, "title"},       {CourseSelectFrame, "select"},  {PreRaceFrame, "intro"},
        {CountdownFrame, "countdown"}, {RaceFrame, "race"},          {ReplayFrame, "replay"},
        {ResultsFrame, "results"},   {CourseClearFrame, "clear"},    {EndingFrame, "ending"},
        {GalleryFrame, "gallery"},   {StaffRollFrame, "staff-roll"},
    };
    for (const auto& n : names)
        if (n.scene == scene) return n.name;
    return "other";
}

// The scenes a player passes through, in order, one entry each time the scene changes.
std::string ExpectedPath() {
    std::string path = "logo story demonstration title select";
    for (int course = 1; course <= 10; ++course)
        path += " intro" + std::to_string(course) + " countdown race replay results clear";
    return path + " ending gallery staff-roll title";
}

struct WholeGame {
    std::string dataHome;
    std::string report;
};

// A press of Z now, let go on the next frame.
void PressZ() {
    std::vector<InputScriptEvent> events(2);
    events[0].frame = frameNumber;
    events[0].down = true;
    events[0].code = DIK_Z;
    events[1].frame = frameNumber + 1;
    events[1].down = false;
    events[1].code = DIK_Z;
    SetInputScript(events);
}

int PlayTheWholeGame(void* context) {
    const WholeGame& g = *static_cast<WholeGame*>(context);
    const auto start = std::chrono::steady_clock::now();
    if (!StartGameInProcess(0, 21, MakeTempDir() + "/debug.txt", "", g.dataHome)) return 100;
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    std::string path;
    FrameProc shown = nullptr;
    bool pressed = false, finished = false;
    int ranks[11] = {};
    while (frameNumber < kFrameLimit && PumpMessages()) {
        if (frameProc != shown) {
            shown = frameProc;
            pressed = false;
            path += (path.empty() ? "" : " ") + SceneName(shown);
            if (shown == PreRaceFrame) path += std::to_string(currentCourse);
            if (shown == ReplayFrame && currentCourse >= 1 && currentCourse <= 10)
                ranks[currentCourse] = raceState.finalRank;
            if (shown == TitleFrame && path.find("staff-roll") != std::string::npos) {
                finished = true;
                break;
            }
        }
        // The player: Z on the title once its menu has faded in, Z in Course Select.
        if (!pressed && ((frameProc == TitleFrame && frameCount == 40) || frameProc == CourseSelectFrame)) {
            PressZ();
            pressed = true;
        }
        RunFrame();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uint32_t frames = frameNumber;
    device->SetCooperativeLevelForTest(D3D_OK);
    StopGameInProcess(true);
    FILE* out = std::fopen(g.report.c_str(), "w");
    if (!out) return 101;
    std::fprintf(out, "%d %u %.2f\n%s\n", finished ? 1 : 0, frames, seconds, path.c_str());
    for (int course = 1; course <= 10; ++course) std::fprintf(out, "%d ", ranks[course]);
    std::fclose(out);
    return 0;
}

TEST(WholeGame, FromAFreshSaveThroughTenCoursesTheEndingAndBackToTheTitle) {
    WholeGame g;
    g.dataHome = MakeTempDir();
    g.report = g.dataHome + "/whole-game.txt";
    ASSERT_EQ(RunInChildProcess(PlayTheWholeGame, &g), 0);
    const std::string report = ReadFile(g.report);
    int finished = 0;
    unsigned frames = 0;
    double seconds = 0.0;
    ASSERT_EQ(std::sscanf(report.c_str(), "%d %u %lf", &finished, &frames, &seconds), 3) << report;
    const size_t lineEnd = report.find('\n');
    const size_t pathEnd = report.find('\n', lineEnd + 1);
    const std::string path = report.substr(lineEnd + 1, pathEnd - lineEnd - 1);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(path, ExpectedPath());
    std::printf("the whole game: %u frames in %.1f s (device lost); final ranks %s\n", frames, seconds,
                report.substr(pathEnd + 1).c_str());

    // What the next start will load.
    setenv("XDG_DATA_HOME", g.dataHome.c_str(), 1);
    ResetSaveState();
    ASSERT_TRUE(ReadSaveFile());
    EXPECT_EQ(coursesOpen, kAllCoursesOpen);
    for (int course = 1; course <= 10; ++course) {
        EXPECT_GE(records[course].bestRank, 1) << course;
        EXPECT_LE(records[course].bestRank, 4) << course;
        EXPECT_LT(records[course].bestLapMinutes, 99) << course;
        EXPECT_LT(BestTotal(course).minutes, 99) << course;
    }
    // The secret courses were never raced.
    for (int course = 11; course <= 15; ++course) EXPECT_EQ(records[course].bestRank, 9) << course;
    for (bool found : secretFound) EXPECT_FALSE(found);
    ResetSaveState();
    unsetenv("XDG_DATA_HOME");
}

}  // namespace
