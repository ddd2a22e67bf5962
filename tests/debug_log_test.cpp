// The debug stream and the command-line switches.
#include "framework/debug_log.h"
#include "framework/switches.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/log_sink.h"

namespace {
std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

struct TempLog {
    std::string path;
    TempLog() {
        char name[] = "/tmp/korvan_logXXXXXX";
        int fd = mkstemp(name);
        close(fd);
        path = name;
        SetLogFilePath(path.c_str());
    }
    ~TempLog() {
        SetLogFilePath("");
        std::remove(path.c_str());
    }
};
}  // namespace

TEST(HasSwitch, ExactCaseSensitiveArgumentsAfterTheProgramName) {
    char prog[] = "korvan", a1[] = "-win", a2[] = "--dbf", a3[] = "-DBF", a4[] = "/3ds";
    char* argv[] = {prog, a1, a2, a3, a4};
    SetCommandLine(5, argv);
    EXPECT_TRUE(HasSwitch("-win"));
    EXPECT_TRUE(HasSwitch("/3ds"));
    EXPECT_FALSE(HasSwitch("-dbf"));   // only capitals and a doubled dash are given
    EXPECT_FALSE(HasSwitch("-wi"));    // no prefix matching
    EXPECT_FALSE(HasSwitch("korvan")); // the program name is not an argument
    SetCommandLine(1, argv);
    EXPECT_FALSE(HasSwitch("-win"));
    SetCommandLine(0, nullptr);
    EXPECT_FALSE(HasSwitch("-win"));
}

TEST(DebugLog, EachMessageIsAppendedAndPartialLinesContinue) {
    TempLog log;
    Log("load(%s) ... ", "Hit.wav");
    Log("ok.\n");
    LogSeparator();
    Log("%d/%d MB\n", 12, 34);
    EXPECT_EQ(ReadAll(log.path), "load(Hit.wav) ... ok.\n----------------------------------------\n12/34 MB\n");
}

TEST(DebugLog, OverlongMessageIsCutNotOverflowed) {
    TempLog log;
    std::string huge(5000, 'x');
    Log("%s%s\n", huge.c_str(), huge.c_str());
    std::string text = ReadAll(log.path);
    EXPECT_EQ(text.size(), kLogBufferSize - 1);
    EXPECT_EQ(text.find_first_not_of('x'), std::string::npos);
    // The stream goes on normally afterwards.
    Log("after\n");
    EXPECT_EQ(ReadAll(log.path).substr(kLogBufferSize - 1), "after\n");
}

TEST(DebugLog, UnwritableFileLosesTheMessageAndGoesOn) {
    SetLogFilePath("/nonexistent-dir/debug.txt");
    Log("lost\n");  // must not crash
    SetLogFilePath("");
    SUCCEED();
}

// The platform reports through its sink: stderr until the framework's stream starts, the stream's
// file afterwards, in order with the framework's own messages.
TEST(DebugLog, PlatformMessagesGoToStderrUntilTheStreamTakesThem) {
    SetLogSink(nullptr);
    testing::internal::CaptureStderr();
    PlatformLog("audio: %s, %d Hz\n", "dummy", 44100);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "audio: dummy, 44100 Hz\n");

    TempLog log;
    Log("InitDirectMusic\n");
    PlatformLog("music: SoundFont %s\n", "gm.sf2");
    std::string huge(3000, 'y');
    PlatformLog("%s\n", huge.c_str());  // cut at the platform's message size, never overflowing
    Log("done\n");
    EXPECT_EQ(ReadAll(log.path), "InitDirectMusic\nmusic: SoundFont gm.sf2\n" +
                                     std::string(kLogSinkMessageSize - 1, 'y') + "done\n");
}

// The audio thread reports (FluidSynth's errors) while the main thread logs: several threads, some
// through Log and some through the platform's sink, each line must come out whole and none lost.
TEST(DebugLog, ConcurrentLinesComeOutWholeAndNoneIsLost) {
    TempLog log;
    constexpr int kThreads = 8, kLines = 1000;
    auto lineOf = [](int thread, int line) {
        // Long enough that two writers in one buffer would show as a mangled line.
        return "thread " + std::to_string(thread) + " line " + std::to_string(line) + " " +
               std::string(80, static_cast<char>('a' + thread)) + "\n";
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &lineOf] {
            for (int i = 0; i < kLines; ++i) {
                std::string text = lineOf(t, i);
                if (t % 2 == 0) Log("%s", text.c_str());
                else PlatformLog("%s", text.c_str());
            }
        });
    }
    for (std::thread& th : threads) th.join();

    std::set<std::string> expected;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLines; ++i) expected.insert(lineOf(t, i));
    std::istringstream in(ReadAll(log.path));
    std::set<std::string> seen;
    int lines = 0, broken = 0;
    for (std::string line; std::getline(in, line); ++lines) {
        if (!expected.count(line + "\n") || !seen.insert(line + "\n").second) ++broken;
    }
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(lines, kThreads * kLines);
    EXPECT_EQ(seen.size(), expected.size());
}

TEST(GetModuleFolder, EndsWithSlashAndHoldsThisExecutable) {
    char folder[260];
    GetModuleFolder(folder, sizeof(folder));
    std::string f = folder;
    ASSERT_FALSE(f.empty());
    EXPECT_EQ(f.back(), '/');
    EXPECT_EQ(access((f + "debug_log_test").c_str(), X_OK), 0);
    char tiny[4];
    GetModuleFolder(tiny, sizeof(tiny));  // too small: empty, never overflowing
    EXPECT_STREQ(tiny, "");
}

TEST(ProgramOptions, ReadsEveryAutomationSwitch) {
    char p[] = "korvan", h[] = "--headless", f[] = "--frames", fn[] = "700", u[] = "--unpaced", s[] = "--seed",
         sn[] = "42", sh[] = "--shot", shv[] = "150:logo.png", c[] = "--course", cn[] = "7", st[] = "--stats",
         stv[] = "s.json", other[] = "-dbf";
    char* argv[] = {p, h, f, fn, u, s, sn, sh, shv, c, cn, st, stv, other};
    ProgramOptions o;
    std::string err;
    ASSERT_TRUE(ParseProgramOptions(14, argv, o, err)) << err;
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.frames, 700);
    EXPECT_TRUE(o.unpaced);
    EXPECT_TRUE(o.seedGiven);
    EXPECT_EQ(o.seed, 42u);
    ASSERT_EQ(o.shots.size(), 1u);
    EXPECT_EQ(o.shots[0].first, 150);
    EXPECT_EQ(o.shots[0].second, "logo.png");
    EXPECT_EQ(o.course, 7);
    EXPECT_EQ(o.statsFile, "s.json");
}

TEST(ProgramOptions, MalformedValuesAreRefused) {
    ProgramOptions o;
    std::string err;
    char p[] = "korvan", f[] = "--frames", bad[] = "12x", c[] = "--course", c16[] = "16", sh[] = "--shot",
         nocolon[] = "5.png";
    char* a1[] = {p, f, bad};
    EXPECT_FALSE(ParseProgramOptions(3, a1, o, err));
    EXPECT_NE(err.find("--frames"), std::string::npos);
    char* a2[] = {p, c, c16};
    EXPECT_FALSE(ParseProgramOptions(3, a2, o, err));
    char* a3[] = {p, sh, nocolon};
    EXPECT_FALSE(ParseProgramOptions(3, a3, o, err));
    char* a4[] = {p, f};
    EXPECT_FALSE(ParseProgramOptions(2, a4, o, err));
}

// The command line as a Linux user types it: an unknown "--word" is refused by name, the game's
// own one-dash and slash switches and anything else pass untouched, --help stops the reading, and
// the seed takes the whole unsigned range wherever long is 32 bits wide.
TEST(ProgramOptions, UnknownDoubleDashWordsAreRefusedAndTheRestPass) {
    ProgramOptions o;
    std::string err;
    auto parse = [&](std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        return ParseProgramOptions(static_cast<int>(argv.size()), argv.data(), o, err);
    };
    EXPECT_TRUE(parse({"korvan", "-dbf", "-win", "-2nd", "/3ds", "/fx", "-DBF", "-x", "file", "--headless"})) << err;
    EXPECT_TRUE(o.headless);
    EXPECT_FALSE(parse({"korvan", "--headles"}));
    EXPECT_EQ(err, "unknown switch \"--headles\" (korvan --help lists the switches)");
    EXPECT_FALSE(parse({"korvan", "--"}));
    // A file name that looks like a switch is still the value of the switch before it.
    EXPECT_TRUE(parse({"korvan", "--input", "--odd-name.txt"})) << err;
    EXPECT_EQ(o.inputFile, "--odd-name.txt");
    EXPECT_TRUE(parse({"korvan", "--headless", "--help", "--bogus"}));
    EXPECT_TRUE(o.help);
    EXPECT_TRUE(parse({"korvan", "--version"}));
    EXPECT_TRUE(o.version);

    EXPECT_TRUE(parse({"korvan", "--seed", "4294967295"})) << err;
    EXPECT_EQ(o.seed, 4294967295u);
    EXPECT_FALSE(parse({"korvan", "--seed", "4294967296"}));
    EXPECT_NE(err.find("from 0 to 4294967295"), std::string::npos) << err;
    EXPECT_FALSE(parse({"korvan", "--seed", "-1"}));
}

// Every switch the README and the manual page list has its one line in --help, and the help names
// the files the game reads and writes.
TEST(ProgramOptions, HelpHasALineForEverySwitchAndNamesTheFiles) {
    const std::string help = ProgramHelpText();
    for (const char* name : {"-dbf", "-win", "-2nd", "/3ds", "/fx", "--headless", "--frames N", "--unpaced",
                             "--seed N", "--input FILE", "--shot N:FILE.png", "--window WxH", "--refresh HZ",
                             "--course N", "--time-attack", "--skip-intro", "--autopilot", "--exit-after-race",
                             "--stats FILE", "--help", "--version"}) {
        const std::string line = std::string("\n  ") + name + " ";
        const size_t first = help.find(line);
        EXPECT_NE(first, std::string::npos) << name << "\n" << help;
        EXPECT_EQ(help.find(line, first + 1), std::string::npos) << name;
    }
    for (const char* file : {"korvan.cfg", "gamecontrollerdb.txt", "KORVAN -Outer Bounds-.dat", "courseNN.ghost",
                             "debug.txt", "ztk mutex.lock", "share/korvan/data"}) {
        EXPECT_NE(help.find(file), std::string::npos) << file;
    }
    for (size_t at = 0, end; at < help.size(); at = end + 1) {
        end = help.find('\n', at);
        EXPECT_LE(end - at, 110u) << help.substr(at, end - at);
    }
}
