// The --input script: its format, its errors with line numbers, frame-by-frame replay, and the
// real executable closed by a scripted Escape or refused a broken script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/input.h"
#include "framework/switches.h"
#include "platform/input_script.h"
#include "tests/support/run_game.h"

namespace {

std::string ParseError(const std::string& text) {
    std::vector<InputScriptEvent> events;
    std::string error;
    EXPECT_FALSE(ParseInputScript(text, events, error)) << text;
    return error;
}

TEST(InputScript, ParsesKeysPadsCommentsAndBlankLines) {
    const std::string text =
        "# opening menu\n"
        "\n"
        "10 down Z   # accept\n"
        "  12 up z\n"
        "5 down PAD0:6\n"
        "5 down pad3:13\n"
        "7\tdown\tNUMPAD8\r\n"
        "5 UP LSHIFT\n";
    std::vector<InputScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseInputScript(text, events, error)) << error;
    ASSERT_EQ(events.size(), 6u);
    // In frame order; lines of one frame keep their written order.
    EXPECT_EQ(events[0].frame, 5u);
    EXPECT_EQ(events[0].pad, 0);
    EXPECT_EQ(events[0].code, 6);
    EXPECT_EQ(events[0].line, 5);
    EXPECT_EQ(events[1].pad, 3);
    EXPECT_EQ(events[1].code, 13);
    EXPECT_EQ(events[2].code, DIK_LSHIFT);
    EXPECT_FALSE(events[2].down);
    EXPECT_EQ(events[3].frame, 7u);
    EXPECT_EQ(events[3].code, DIK_NUMPAD8);
    EXPECT_EQ(events[4].code, DIK_Z);
    EXPECT_TRUE(events[4].down);
    EXPECT_EQ(events[4].pad, -1);
    EXPECT_EQ(events[5].frame, 12u);
    EXPECT_FALSE(events[5].down);
}

TEST(InputScript, BadLinesAreReportedWithTheirLineNumber) {
    std::string e = ParseError("0 down Z\n# fine\n3 down FOO\n");
    EXPECT_NE(e.find("line 3"), std::string::npos) << e;
    EXPECT_NE(e.find("FOO"), std::string::npos) << e;

    EXPECT_NE(ParseError("1 down\n").find("line 1"), std::string::npos);
    EXPECT_NE(ParseError("x down Z\n").find("line 1"), std::string::npos);
    EXPECT_NE(ParseError("-1 down Z\n").find("line 1"), std::string::npos);
    EXPECT_NE(ParseError("99999999999 down Z\n").find("line 1"), std::string::npos);
    EXPECT_NE(ParseError("\n\n4 press Z\n").find("line 3"), std::string::npos);
    EXPECT_NE(ParseError("4 down Z Z\n").find("line 1"), std::string::npos);
    EXPECT_NE(ParseError("4 down PAD8:0\n").find("PAD8:0"), std::string::npos);
    EXPECT_NE(ParseError("4 down PAD0:14\n").find("PAD0:14"), std::string::npos);
    EXPECT_NE(ParseError("4 down PAD0:\n").find("line 1"), std::string::npos);
    EXPECT_NE(ParseError("4 down DIK_Z\n").find("DIK_Z"), std::string::npos);
}

TEST(InputScript, EventsApplyAtTheStartOfTheirFrame) {
    std::vector<InputScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseInputScript("2 down X\n2 down PAD1:3\n4 up X\n4 down X\n6 up X\n6 up PAD1:3\n", events, error));
    SetInputScript(events);
    ASSERT_TRUE(InputScriptActive());
    std::vector<int> x, pad;
    for (uint32_t frame = 0; frame < 8; ++frame) {
        AdvanceInputScript(frame);
        x.push_back(InputScriptKeys()[DIK_X]);
        pad.push_back(InputScriptPad(1)[3]);
    }
    EXPECT_EQ(x, (std::vector<int>{0, 0, 0x80, 0x80, 0x80, 0x80, 0, 0}));
    EXPECT_EQ(pad, (std::vector<int>{0, 0, 0x80, 0x80, 0x80, 0x80, 0, 0}));
    EXPECT_EQ(InputScriptPad(9)[0], 0);
    ClearInputScript();
    EXPECT_FALSE(InputScriptActive());
    EXPECT_EQ(InputScriptKeys()[DIK_X], 0);
}

TEST(InputScript, MissingFileIsRefusedAndLeavesNoScript) {
    std::string error;
    EXPECT_FALSE(LoadInputScript("/nonexistent/korvan-script.txt", error));
    EXPECT_NE(error.find("/nonexistent/korvan-script.txt"), std::string::npos);
    EXPECT_FALSE(InputScriptActive());
}

std::string WriteScript(const std::string& text) {
    std::string path = MakeTempDir() + "/input.txt";
    std::ofstream(path) << text;
    return path;
}

TEST(InputScriptRun, ScriptedEscapeEndsTheRunThroughTheQuitPath) {
    std::string script = WriteScript("# leave at once\n5 down ESCAPE\n");
    std::string stats = MakeTempDir() + "/s.json";
    GameRun run = RunGame({"--headless", "--unpaced", "--frames", "600", "--input", script, "--stats", stats, "-dbf"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // Frame 5 sees Escape, finishes, and the loop ends: six frames in all.
    EXPECT_NE(ReadFile(stats).find("\"frames\": 6,"), std::string::npos) << ReadFile(stats);
    std::string log = ReadFile(run.dir + "/debug.txt");
    EXPECT_NE(log.find("FreeInput\n"), std::string::npos) << log;
    EXPECT_LT(log.find("InitDirectInput\n"), log.find("FreeInput\n"));
}

TEST(InputScriptRun, BrokenScriptStopsBeforeTheFirstFrame) {
    std::string script = WriteScript("0 down Z\n1 up Z\n2 down SHIFTLOCK\n");
    std::string stats = MakeTempDir() + "/s.json";
    GameRun run =
        RunGame({"--headless", "--unpaced", "--frames", "60", "--input", script, "--stats", stats, "-dbf"});
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find("line 3"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("SHIFTLOCK"), std::string::npos) << run.output;
    EXPECT_EQ(ReadFile(stats), "");  // no frame ran, nothing was written
    // The services that had started are torn down the usual way after the report.
    std::string log = ReadFile(run.dir + "/debug.txt");
    const size_t report = log.find("--input "), freed = log.find("FreeDirect3D\n");
    ASSERT_NE(report, std::string::npos) << log;
    ASSERT_NE(freed, std::string::npos) << log;
    EXPECT_LT(report, freed);

    GameRun missing = RunGame({"--headless", "--frames", "5", "--input", "/nonexistent/in.txt"});
    EXPECT_EQ(missing.exitCode, 2) << missing.output;
}

// Inside one process: the start-up reports a broken script and returns instead of ending the
// process; the services started before it are torn down the usual way, and the next start-up runs.
TEST(InputScriptRun, StartUpReportsABrokenScriptAndTheProcessGoesOn) {
    const std::string dir = MakeTempDir();
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);  // a private single-instance lock
    const std::string logPath = dir + "/debug.txt";
    SetLogFilePath(logPath.c_str());
    programOptions = ProgramOptions{};
    programOptions.headless = true;
    programOptions.inputFile = WriteScript("0 down Z\n1 down NOKEY\n");
    EXPECT_FALSE(InitApplication());
    EXPECT_EQ(appExitCode, kBadInputScriptExit);
    EXPECT_FALSE(InputScriptActive());
    FreeApplication();
    std::string log = ReadFile(logPath);
    const size_t report = log.find("line 2");
    ASSERT_NE(report, std::string::npos) << log;
    EXPECT_NE(log.find("NOKEY", report), std::string::npos) << log;
    EXPECT_EQ(log.find("InitDirectSound"), std::string::npos) << log;  // nothing starts after the script
    EXPECT_NE(log.find("FreeDirect3D", report), std::string::npos) << log;

    programOptions.inputFile = WriteScript("0 down Z\n");
    EXPECT_TRUE(InitApplication());
    EXPECT_EQ(appExitCode, 0);
    EXPECT_TRUE(InputScriptActive());
    FreeApplication();
    SetLogFilePath("");
    programOptions = ProgramOptions{};
}

}  // namespace
