// What a player's terminal shows: warnings and errors only (a load that fails, a LogWarning, a
// platform warning), each once, as "korvan: <line>"; the ordinary lines go to the debug log, or
// to the terminal too while KORVAN_VERBOSE asks for them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "framework/debug_log.h"
#include "platform/log_sink.h"
#include "tests/support/run_game.h"

namespace {
class TerminalLog : public ::testing::Test {
protected:
    void TearDown() override {
        SetLogFilePath("");
        unsetenv("KORVAN_VERBOSE");
    }
};
}  // namespace

TEST_F(TerminalLog, OnlyFailedLoadsAndWarningsReachTheTerminalWithALogFile) {
    const std::string log = MakeTempDir() + "/debug.txt";
    SetLogFilePath(log.c_str());
    testing::internal::CaptureStderr();
    Log("load(%s) ... ", "road1.bmp");
    Log("ok.\n");
    Log("load(%s) ... ", "Hit.wav");
    Log("open error.\n");
    Log("InitDirectSound\n");
    LogWarning("data directory not found\n");
    PlatformLog("audio: dummy, 44100 Hz\n");
    PlatformWarning("audio: the sound device cannot be opened\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "korvan: load(Hit.wav) ... open error.\n"
              "korvan: data directory not found\n"
              "korvan: audio: the sound device cannot be opened\n");
    // The log file has every line.
    EXPECT_EQ(ReadFile(log),
              "load(road1.bmp) ... ok.\nload(Hit.wav) ... open error.\nInitDirectSound\ndata directory not found\n"
              "audio: dummy, 44100 Hz\naudio: the sound device cannot be opened\n");
}

TEST_F(TerminalLog, WithoutALogFileTheDebuggerOutputIsShownOnlyWhenAsked) {
    SetLogFilePath("");
    unsetenv("KORVAN_VERBOSE");
    testing::internal::CaptureStderr();
    Log("InitDebugStream\n");
    LogWarning("no sound\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "korvan: no sound\n");

    setenv("KORVAN_VERBOSE", "1", 1);
    testing::internal::CaptureStderr();
    Log("InitDebugStream\n");
    LogWarning("no sound\n");  // once: the stream is the terminal already
    PlatformWarning("no pad\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "InitDebugStream\nno sound\nno pad\n");
}

TEST_F(TerminalLog, APlayersTerminalWithoutTheDataShowsWhatFailedAndNothingElse) {
    setenv("KORVAN_VERBOSE", "0", 1);
    GameRun run = RunGame({"--headless", "--unpaced", "--frames", "20"}, "", MakeRunDir(false));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("korvan: data directory not found"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("korvan: load(Hit.wav) ... open error.\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("InitDebugStream"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("ok.\n"), std::string::npos) << run.output;
}
