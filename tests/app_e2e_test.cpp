// The real executable, headless: start-up chain, debug log, quit path, single instance, stats.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

#include "tests/support/run_game.h"

TEST(Application, HeadlessRunLogsStartUpAndAppendsOnTheSecondRun) {
    GameRun run = RunGame({"--headless", "--frames", "30", "-dbf"});
    std::string log = run.dir + "/debug.txt";
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::string text = ReadFile(log);
    EXPECT_NE(text.find("----------------------------------------\nInitDebugStream\n"), std::string::npos) << text;
    EXPECT_NE(text.find("OS = ID "), std::string::npos);
    EXPECT_NE(text.find("利用可能／搭載メモリ = "), std::string::npos);
    // The date line: "YYYY/MM/DD  HH:MM".
    size_t at = text.find("InitDebugStream\n") + 16;
    std::string date = text.substr(at, text.find('\n', at) - at);
    ASSERT_EQ(date.size(), 17u) << date;
    EXPECT_EQ(date[4], '/');
    EXPECT_EQ(date.substr(10, 2), "  ");
    // Services start in their order.
    size_t d3d = text.find("InitDirect3D"), di = text.find("InitDirectInput"), ds = text.find("InitDirectSound"),
           dm = text.find("InitDirectMusic");
    EXPECT_LT(d3d, di);
    EXPECT_LT(di, ds);
    EXPECT_LT(ds, dm);
    // The instance-guard line comes before the stream exists, so it went to stderr.
    EXPECT_NE(run.output.find("多重起動を禁止します."), std::string::npos);

    GameRun second = RunGame({"--headless", "--frames", "5", "-dbf"}, "", run.dir);
    ASSERT_EQ(second.exitCode, 0);
    EXPECT_EQ(CountOf(ReadFile(log), "InitDebugStream"), 2);
}

TEST(Application, WithoutDbfNoLogFileIsWritten) {
    GameRun run = RunGame({"--headless", "--frames", "3"});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_NE(access((run.dir + "/debug.txt").c_str(), F_OK), 0);
    EXPECT_NE(run.output.find("InitDebugStream"), std::string::npos);
}

TEST(Application, SecondInstanceIsRefusedWithItsMessage) {
    std::string lock = MakeTempDir();
    // The first instance runs long enough (paced, 300 frames = 5 s) for the second to meet it.
    std::thread first([&] { RunGame({"--headless", "--frames", "300"}, lock); });
    usleep(1500 * 1000);
    GameRun second = RunGame({"--headless", "--frames", "3"}, lock);
    first.join();
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_NE(second.output.find("このプログラムは既に起動しています."), std::string::npos) << second.output;
    EXPECT_EQ(second.output.find("InitDebugStream"), std::string::npos);
}

TEST(Application, StatsReportEveryFrameAndPacedRunsKeepTime) {
    std::string dir = MakeTempDir();
    std::string stats = dir + "/s.json";
    GameRun run = RunGame({"--headless", "--frames", "60", "--stats", stats});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::string json = ReadFile(stats);
    EXPECT_NE(json.find("\"frames\": 60"), std::string::npos) << json;
    EXPECT_NE(json.find("\"median\""), std::string::npos);
    EXPECT_NE(json.find("\"p99\""), std::string::npos);
    EXPECT_NE(json.find("\"late_frames\""), std::string::npos);
}

TEST(Application, MalformedSwitchValueStopsBeforeStarting) {
    GameRun run = RunGame({"--headless", "--frames", "ten"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("--frames"), std::string::npos);
}

// --help, --version and an unknown "--word" answer on the terminal and start nothing: no lock, no
// debug log (even with -dbf), no user data folder, not a line of the start-up chain.
TEST(Application, HelpVersionAndUnknownSwitchesStartNothing) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* shows;
    };
    const Case cases[] = {
        {{"--help", "-dbf"}, 0, "  --headless "},
        {{"-dbf", "--version"}, 0, "KORVAN -Outer Bounds- 1.0\n"},
        {{"-dbf", "--headless", "--fullscreen"}, 2, "korvan: unknown switch \"--fullscreen\" (korvan --help lists the switches)\n"},
        {{"--dbf"}, 2, "unknown switch \"--dbf\""},
    };
    for (const Case& c : cases) {
        const std::string lock = MakeTempDir();
        GameRun run = RunGame(c.args, lock);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << "\n" << run.output;
        EXPECT_NE(run.output.find(c.shows), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("多重起動を禁止します."), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("InitDebugStream"), std::string::npos);
        EXPECT_NE(access((run.dir + "/debug.txt").c_str(), F_OK), 0);
        EXPECT_NE(access((run.dir + "/" + kRunDataHome).c_str(), F_OK), 0);
        EXPECT_NE(access((lock + "/ztk mutex.lock").c_str(), F_OK), 0);
        if (c.exitCode == 2) {
            EXPECT_EQ(CountOf(run.output, "\n"), 1) << run.output;
        }
    }
}
