// The files a player's machine keeps for the game: the user's data, configuration and state
// folders as the environment names them, and files replaced in one step.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/atomic_file.h"
#include "platform/log_sink.h"
#include "platform/user_dirs.h"
#include "tests/support/run_game.h"

namespace {

std::string platformLog;
void CaptureLog(const char* text) { platformLog += text; }

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ReadBytes(const std::string& path) { return ReadFile(path); }

bool WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Each test gets a home of its own and the platform's messages.
class UserFilesTest : public ::testing::Test {
protected:
    std::string home;
    void SetUp() override {
        home = MakeTempDir();
        setenv("HOME", home.c_str(), 1);
        platformLog.clear();
        SetLogSink(CaptureLog);
        atomicWriteFailsBeforeRename = false;
    }
    void TearDown() override {
        SetLogSink(nullptr);
        atomicWriteFailsBeforeRename = false;
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_STATE_HOME");
    }
};

}  // namespace

TEST_F(UserFilesTest, FoldersFollowTheEnvironmentAndAreMadeWhenMissing) {
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(UserDirectory(UserDir::kData, "korvan"), home + "/.local/share/korvan");
    EXPECT_EQ(UserDirectory(UserDir::kConfig, "korvan"), home + "/.config/korvan");
    EXPECT_EQ(UserDirectory(UserDir::kState, "korvan"), home + "/.local/state/korvan");
    EXPECT_TRUE(IsFolder(home + "/.local/share/korvan"));
    EXPECT_TRUE(IsFolder(home + "/.local/state/korvan"));
    struct stat st;
    ASSERT_EQ(stat((home + "/.config").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Read anew on every call; a trailing '/' is fine; empty or relative values are ignored.
    const std::string elsewhere = home + "/x/y/";
    setenv("XDG_DATA_HOME", elsewhere.c_str(), 1);
    EXPECT_EQ(UserDirectory(UserDir::kData, "korvan"), home + "/x/y/korvan");
    setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(UserDirectory(UserDir::kData, "korvan"), home + "/.local/share/korvan");
    setenv("XDG_STATE_HOME", "relative/state", 1);
    EXPECT_EQ(UserDirectory(UserDir::kState, "korvan"), home + "/.local/state/korvan");
    setenv("XDG_CONFIG_HOME", (home + "/cfg").c_str(), 1);
    EXPECT_EQ(UserDirectory(UserDir::kConfig, "korvan"), home + "/cfg/korvan");
}

TEST_F(UserFilesTest, AFileInThePlaceOfTheFolderGivesNoFolder) {
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    ASSERT_TRUE(WriteBytes(home + "/korvan", "not a folder"));
    EXPECT_EQ(UserDirectory(UserDir::kData, "korvan"), "");
    EXPECT_NE(platformLog.find("korvan"), std::string::npos) << platformLog;
    EXPECT_EQ(ReadBytes(home + "/korvan"), "not a folder");
}

TEST_F(UserFilesTest, AtomicWritesReplaceWholeOrNotAtAll) {
    const std::string path = home + "/file.dat";
    ASSERT_TRUE(WriteFileAtomically(path.c_str(), "first", 5));
    EXPECT_EQ(ReadBytes(path), "first");
    ASSERT_TRUE(WriteFileAtomically(path.c_str(), "second!", 7));
    EXPECT_EQ(ReadBytes(path), "second!");
    EXPECT_FALSE(Exists(path + ".tmp"));

    // A stale temporary file from an earlier crash is simply written over.
    ASSERT_TRUE(WriteBytes(path + ".tmp", std::string(5000, 'x')));
    ASSERT_TRUE(WriteFileAtomically(path.c_str(), "third", 5));
    EXPECT_EQ(ReadBytes(path), "third");

    atomicWriteFailsBeforeRename = true;
    EXPECT_FALSE(WriteFileAtomically(path.c_str(), "lost", 4));
    atomicWriteFailsBeforeRename = false;
    EXPECT_EQ(ReadBytes(path), "third");
    EXPECT_FALSE(Exists(path + ".tmp"));
    EXPECT_NE(platformLog.find("cannot replace " + path), std::string::npos) << platformLog;

    // No folder to write into; a folder where the file should be.
    EXPECT_FALSE(WriteFileAtomically((home + "/missing/file.dat").c_str(), "x", 1));
    ASSERT_EQ(mkdir((home + "/taken").c_str(), 0700), 0);
    EXPECT_FALSE(WriteFileAtomically((home + "/taken").c_str(), "x", 1));
    EXPECT_TRUE(IsFolder(home + "/taken"));
    EXPECT_FALSE(Exists(home + "/taken.tmp"));

    // A link left at the temporary name is never written through.
    const std::string target = home + "/target";
    ASSERT_TRUE(WriteBytes(target, "keep"));
    ASSERT_EQ(symlink(target.c_str(), (path + ".tmp").c_str()), 0);
    EXPECT_TRUE(WriteFileAtomically(path.c_str(), "fourth", 6));
    EXPECT_EQ(ReadBytes(target), "keep");
    EXPECT_EQ(ReadBytes(path), "fourth");
}

TEST_F(UserFilesTest, CopiesAreWholeWhateverTheSize) {
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
    const std::string from = home + "/big", to = home + "/big.copy";
    ASSERT_TRUE(WriteBytes(from, big));
    ASSERT_TRUE(WriteBytes(to, "older"));
    ASSERT_TRUE(CopyFileAtomically(from.c_str(), to.c_str()));
    EXPECT_EQ(ReadBytes(to), big);

    EXPECT_FALSE(CopyFileAtomically((home + "/none").c_str(), to.c_str()));
    EXPECT_FALSE(CopyFileAtomically(home.c_str(), to.c_str()));
    atomicWriteFailsBeforeRename = true;
    ASSERT_TRUE(WriteBytes(from, "changed"));
    EXPECT_FALSE(CopyFileAtomically(from.c_str(), to.c_str()));
    EXPECT_EQ(ReadBytes(to), big);
}
