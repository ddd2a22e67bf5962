// Time Attack end to end, the whole game from a fresh data folder: course 1 won by the automatic
// driver leaves its ghost and opens course 2; Course Select then offers "Time Attack " for course 1
// (Right), and a run with a rocket start (by the input script) beats the ghost, replaces the file
// and shows "New Record " in its results before Course Select returns; a run from a standing start
// has the ghost drawn ahead of it, shows the lap difference in red and leaves the file byte for byte
// as it was; a run quit from the pause menu leads back to Course Select and leaves the file too.
// A damaged, cut or foreign ghost file is refused, logged and kept, and the run goes on
// without a ghost. The screenshots are left in build/screens.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/run_game.h"
#include "tests/support/screen_image.h"
#include "tests/support/shot_session.h"

namespace {

std::string WriteScript(const std::string& dir, const std::string& name, const std::string& text) {
    const std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    return path;
}

std::string Press(int frame, const char* key) {
    return std::to_string(frame) + " down " + key + "\n" + std::to_string(frame + 1) + " up " + key + "\n";
}

// Q twice, three frames apart, every 200 frames: in the race a pause and its resumption (the race
// does not move meanwhile); after the finish the skip of the finish sequence, the replay and the
// results; then the next course's intro.
std::string SkipEverything(int from, int to) {
    std::string s;
    for (int f = from; f < to; f += 200) s += Press(f, "Q") + Press(f + 3, "Q");
    return s;
}

// Each run's debug log on its own (the runs share the folder and its save data).
GameRun RunFresh(const std::vector<std::string>& args, const std::string& dir) {
    std::filesystem::remove(dir + "/debug.txt");
    return RunGameDrawingShotsOnly(args, dir);
}

bool HasLine(const GameRun& run, const std::string& text) { return run.output.find(text) != std::string::npos; }

// Pixels in the box close to a colour.
int PixelsNear(const ScreenImage& img, int x1, int y1, int x2, int y2, int r, int g, int b, int tolerance) {
    int n = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) {
            const unsigned char* p = img.At(x, y);
            if (std::abs(p[0] - r) < tolerance && std::abs(p[1] - g) < tolerance && std::abs(p[2] - b) < tolerance) ++n;
        }
    return n;
}

// Mean absolute difference of two pictures over a box.
double Difference(const ScreenImage& a, const ScreenImage& b, int x1, int y1, int x2, int y2) {
    double sum = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
            for (int c = 0; c < 3; ++c) sum += std::abs(a.At(x, y)[c] - b.At(x, y)[c]);
    return sum / ((x2 - x1) * (y2 - y1) * 3.0);
}

void KeepShot(const std::string& from, const char* name) {
    std::filesystem::copy_file(from, ScreensDir() + "/" + name, std::filesystem::copy_options::overwrite_existing);
}

}  // namespace

TEST(TimeAttackEndToEnd, WinThenBeatTheGhostThenLoseToIt) {
    const std::string dir = MakeRunDir();
    const std::string ghost = dir + "/" + kRunDataHome + "/korvan/ghosts/course01.ghost";

    // 1. Course 1 won by the automatic driver: its ghost is kept, course 2 opens and is saved.
    GameRun win = RunFresh({"--headless", "--unpaced", "--seed", "7", "--skip-intro", "--course", "1",
                                           "--autopilot", "--input",
                                           WriteScript(dir, "win.txt", SkipEverything(400, 7000)), "--frames", "7000"},
                                          dir);
    ASSERT_EQ(win.exitCode, 0) << win.output;
    ASSERT_TRUE(HasLine(win, "ghost: course 1: new ghost kept")) << win.output;
    ASSERT_TRUE(HasLine(win, "race: course 2 ready")) << "course 1 was not won";
    const std::string raceGhost = ReadFile(ghost);
    ASSERT_FALSE(raceGhost.empty());

    // 2. From the title: Course Select, Right for "Time Attack ", Z; the intro shortened, a rocket
    //    start, the automatic driver; after the finish Q skips to the results and back.
    std::string script = Press(650, "Z") + Press(700, "Z") + Press(740, "RIGHT") + Press(780, "Z") + Press(841, "Z") +
                         Press(851, "Z") + "1060 down Z\n1180 up Z\n";
    for (int f = 5600; f < 6200; f += 150) script += Press(f, "Q");
    GameRun beat = RunFresh(
        {"--headless", "--unpaced", "--seed", "7", "--autopilot", "--input", WriteScript(dir, "beat.txt", script),
         "--frames", "6180", "--shot", "730:select_race.png", "--shot", "770:select_ta.png", "--shot",
         "6000:results.png", "--shot", "6170:select_again.png"},
        dir);
    ASSERT_EQ(beat.exitCode, 0) << beat.output;
    EXPECT_TRUE(HasLine(beat, "time attack: course 1 ready, with its ghost")) << beat.output;
    EXPECT_TRUE(HasLine(beat, "time attack: lap 1: -")) << "no lap difference, or not ahead";
    EXPECT_TRUE(HasLine(beat, ", new record")) << beat.output;
    const std::string fasterGhost = ReadFile(ghost);
    EXPECT_NE(fasterGhost, raceGhost) << "the faster run did not replace the ghost";
    EXPECT_FALSE(HasLine(beat, "race: course 2 ready")) << "a Time Attack opened a course";

    ScreenImage race, ta, results, again;
    ASSERT_TRUE(race.Load(dir + "/select_race.png"));
    ASSERT_TRUE(ta.Load(dir + "/select_ta.png"));
    ASSERT_TRUE(results.Load(dir + "/results.png"));
    ASSERT_TRUE(again.Load(dir + "/select_again.png"));
    KeepShot(dir + "/select_ta.png", "time_attack_select.png");
    KeepShot(dir + "/results.png", "time_attack_results.png");
    // The line reads longer: "Time Attack " comes first.
    EXPECT_GT(ta.FontPixels(400, 240, 560, 256), race.FontPixels(400, 240, 560, 256) + 40);
    // The results' "New Record " in yellow under the ghost's time (five laps: y 296 to 328).
    EXPECT_GT(PixelsNear(results, 232, 296, 420, 330, 255, 255, 64, 60), 150) << "no New Record";
    // Back in Course Select with the Time Attack line still chosen.
    EXPECT_LT(Difference(again, ta, 100, 236, 560, 258), 6.0);

    // 3. A standing start is slower: the ghost drives ahead, the lap line shows red, the file stays.
    GameRun lose = RunFresh({"--headless", "--unpaced", "--seed", "7", "--skip-intro", "--course", "1",
                                            "--time-attack", "--autopilot", "--exit-after-race", "--shot",
                                            "250:ghost.png", "--shot", "1200:split.png"},
                                           dir);
    ASSERT_EQ(lose.exitCode, 0) << lose.output;
    EXPECT_TRUE(HasLine(lose, "time attack: lap 1: +")) << lose.output;
    EXPECT_TRUE(HasLine(lose, "does not beat the ghost")) << lose.output;
    EXPECT_EQ(ReadFile(ghost), fasterGhost) << "a slower run changed the ghost file";
    ScreenImage withGhost, split;
    ASSERT_TRUE(withGhost.Load(dir + "/ghost.png"));
    ASSERT_TRUE(split.Load(dir + "/split.png"));
    KeepShot(dir + "/ghost.png", "time_attack_ghost.png");
    KeepShot(dir + "/split.png", "time_attack_split.png");
    // The red difference in the rank panel.
    EXPECT_GT(PixelsNear(split, 250, 10, 400, 54, 255, 32, 32, 70), 150) << "no red lap difference";
    EXPECT_EQ(PixelsNear(withGhost, 250, 10, 400, 54, 255, 32, 32, 70), 0) << "a difference before the first line";
    // The ghost: the same frame of the same run without a ghost file differs only where the ghost
    // drives, on the road ahead (it touches nothing, so the run is the same).
    const std::string bare = MakeRunDir();
    GameRun alone = RunFresh({"--headless", "--unpaced", "--seed", "7", "--skip-intro", "--course", "1",
                              "--time-attack", "--autopilot", "--frames", "260", "--shot", "250:ghost.png"},
                             bare);
    ASSERT_EQ(alone.exitCode, 0) << alone.output;
    ScreenImage noGhost;
    ASSERT_TRUE(noGhost.Load(bare + "/ghost.png"));
    int outside = 0, inside = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const bool differs = std::memcmp(noGhost.At(x, y), withGhost.At(x, y), 3) != 0;
            const bool ahead = x >= 280 && x < 360 && y >= 250 && y < 330;
            (ahead ? inside : outside) += differs ? 1 : 0;
        }
    EXPECT_GT(inside, 300) << "no ghost on the road ahead";
    EXPECT_EQ(outside, 0) << "the ghost changed the frame elsewhere";

    // 4. Quit from the pause menu: Q, Down to "Quit", Z; Course Select comes back with its Time
    //    Attack line, and the unfinished run leaves the ghost file as it was.
    std::string quitScript = Press(650, "Z") + Press(700, "Z") + Press(740, "RIGHT") + Press(780, "Z") +
                             Press(841, "Z") + Press(851, "Z") + "1060 down Z\n1180 up Z\n" + Press(1500, "Q") +
                             Press(1520, "DOWN") + Press(1540, "Z");
    GameRun quit = RunFresh({"--headless", "--unpaced", "--seed", "7", "--autopilot", "--input",
                             WriteScript(dir, "quit.txt", quitScript), "--frames", "1700", "--shot",
                             "1480:racing.png", "--shot", "1680:select_after_quit.png"},
                            dir);
    ASSERT_EQ(quit.exitCode, 0) << quit.output;
    EXPECT_TRUE(HasLine(quit, "time attack: course 1 ready, with its ghost")) << quit.output;
    EXPECT_EQ(ReadFile(ghost), fasterGhost) << "a run quit from the pause changed the ghost file";
    ScreenImage racing, afterQuit;
    ASSERT_TRUE(racing.Load(dir + "/racing.png"));
    ASSERT_TRUE(afterQuit.Load(dir + "/select_after_quit.png"));
    EXPECT_GT(Difference(racing, ta, 100, 236, 560, 258), 20.0) << "the run had not started when it was paused";
    EXPECT_LT(Difference(afterQuit, ta, 100, 236, 560, 258), 6.0) << "Quit did not lead back to Course Select";
}

TEST(TimeAttackEndToEnd, ARefusedGhostIsKeptAndTheRunGoesOnWithoutOne) {
    const std::string dir = MakeRunDir();
    const std::string folder = dir + "/" + kRunDataHome + "/korvan/ghosts";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/course01.ghost";
    // A ghost of course 1 made by a short Time Attack that finishes nothing is not possible, so
    // the files are made by hand: a cut one, one whose checksum fails, one of another program.
    std::string header = std::string("KVGH") + std::string("\1\0\0\0\1\0\0\0\5\0\0\0\0\0\1\0\3\0\0\0", 20);
    const std::vector<std::pair<const char*, std::string>> files = {
        {"frame count does not match the size", header + std::string(40, '\0')},
        {"bad checksum", header + std::string(3 * 28 + 4, '\0')},
        {"not a ghost file", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(300, 'x')},
    };
    for (const auto& [why, bytes] : files) {
        std::ofstream(path, std::ios::binary) << bytes;
        GameRun run = RunFresh({"--headless", "--unpaced", "--seed", "7", "--skip-intro", "--course",
                                               "1", "--time-attack", "--autopilot", "--frames", "400", "--stats",
                                               "s.json"},
                                              dir);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_TRUE(HasLine(run, std::string("refused (") + why)) << why << "\n" << run.output;
        EXPECT_TRUE(HasLine(run, "time attack: course 1 ready, without a ghost")) << why;
        EXPECT_EQ(ReadFile(path), bytes) << why << ": the refused file was changed";
        EXPECT_NE(ReadFile(dir + "/s.json").find("\"laps_done\": 0"), std::string::npos) << "the run did not go on";
    }
}
