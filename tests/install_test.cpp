// cmake --install into a fresh prefix, as a player's package would: the game, its data, the
// launcher, the metainfo and the icons where the desktop finds them; the installed game run from
// another directory loads every asset; the launcher and the metainfo pass their validators; an
// installed game whose folder the player cannot write keeps its -dbf log in the state folder.
// Then the Debian package cpack builds: its fields, a dependency for every library the game links,
// its files unpacked into a scratch root, the game run from there, and lintian's verdict.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/support/run_game.h"

namespace fs = std::filesystem;

namespace {

int Sh(const std::string& cmd) {
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Width and height from a PNG file's header (0 x 0 when it is no PNG).
std::pair<int, int> PngSize(const std::string& path) {
    const std::string d = ReadFile(path);
    if (d.size() < 24 || d.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be = [&](size_t at) {
        return (uint8_t(d[at]) << 24) | (uint8_t(d[at + 1]) << 16) | (uint8_t(d[at + 2]) << 8) | uint8_t(d[at + 3]);
    };
    return {static_cast<int>(be(16)), static_cast<int>(be(20))};
}

// One prefix for the whole suite: installing is the slow part.
class Install : public ::testing::Test {
protected:
    static std::string prefix;
    static void SetUpTestSuite() {
        prefix = MakeTempDir() + "/prefix";
        const std::string cmd = "cmake --install '" + BuildDir() + "' --prefix '" + prefix + "' > '" + prefix +
                                ".log' 2>&1";
        if (Sh(cmd) != 0) prefix.clear();
    }
};
std::string Install::prefix;

}  // namespace

TEST_F(Install, PutsEveryFileWhereTheDesktopFindsIt) {
    ASSERT_FALSE(prefix.empty()) << "cmake --install failed";
    EXPECT_EQ(access((prefix + "/bin/korvan").c_str(), X_OK), 0);
    // The whole data directory, and nothing of the build's own bookkeeping.
    int built = 0, installed = 0;
    for (const auto& e : fs::directory_iterator(BuildDir() + "/data")) built += e.path().filename() != ".stamp";
    for (const auto& e : fs::directory_iterator(prefix + "/share/korvan/data")) {
        ++installed;
        EXPECT_NE(e.path().filename(), ".stamp");
    }
    EXPECT_GT(built, 100);
    EXPECT_EQ(installed, built);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string icon = prefix + "/share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                                 "/apps/org.korvan.OuterBounds.png";
        EXPECT_EQ(PngSize(icon), std::make_pair(size, size)) << icon;
    }
    const std::string desktop = prefix + "/share/applications/org.korvan.OuterBounds.desktop";
    const std::string metainfo = prefix + "/share/metainfo/org.korvan.OuterBounds.metainfo.xml";
    EXPECT_NE(ReadFile(desktop).find("\nExec=korvan\n"), std::string::npos);
    EXPECT_NE(ReadFile(desktop).find("\nIcon=org.korvan.OuterBounds\n"), std::string::npos);
    EXPECT_EQ(Sh("desktop-file-validate '" + desktop + "'"), 0);
    EXPECT_EQ(Sh("appstreamcli validate --no-net --pedantic '" + metainfo + "' > /dev/null"), 0)
        << Sh("appstreamcli validate --no-net --pedantic '" + metainfo + "'");
}

namespace {
// The installed executable, run headless from another directory: it finds its data at dataDir
// (as it logs) and every load of the boot and of course 1's set-up succeeds, with no load line on
// the player's terminal.
void ExpectRunsAndLoadsEveryAsset(const std::string& executable, const std::string& dataDir) {
    const std::string elsewhere = MakeTempDir();
    const std::string run = "cd '" + elsewhere + "' && XDG_RUNTIME_DIR='" + elsewhere +
                            "' KORVAN_VERBOSE=0 SDL_AUDIODRIVER=dummy '" + executable +
                            "' --headless --unpaced --course 1 --frames 240 -dbf > '" + elsewhere +
                            "/terminal.txt' 2>&1";
    ASSERT_EQ(Sh(run), 0) << ReadFile(elsewhere + "/terminal.txt");
    const std::string log = ReadFile(fs::path(executable).parent_path().string() + "/debug.txt");
    EXPECT_NE(log.find("data directory: " + dataDir + "\n"), std::string::npos) << log;
    // Every load line of the boot and the course's set-up ends in "ok.".
    int loads = 0, good = 0;
    for (size_t at = log.find("load("); at != std::string::npos; at = log.find("load(", at + 1)) {
        ++loads;
        const std::string line = log.substr(at, log.find('\n', at) - at);
        if (line.size() >= 3 && line.compare(line.size() - 3, 3, "ok.") == 0) ++good;
        else ADD_FAILURE() << line;
    }
    EXPECT_GT(loads, 50);
    EXPECT_EQ(good, loads);
    // The player's terminal shows warnings only: none of the load lines.
    const std::string terminal = ReadFile(elsewhere + "/terminal.txt");
    EXPECT_EQ(terminal.find("load("), std::string::npos) << terminal;
    EXPECT_EQ(terminal.find("InitDebugStream"), std::string::npos) << terminal;
    EXPECT_NE(access((elsewhere + "/debug.txt").c_str(), F_OK), 0);
}
}  // namespace

TEST_F(Install, TheInstalledGameRunsFromAnyDirectoryAndLoadsEveryAsset) {
    ASSERT_FALSE(prefix.empty()) << "cmake --install failed";
    ExpectRunsAndLoadsEveryAsset(prefix + "/bin/korvan", prefix + "/bin/../share/korvan/data");
}

TEST_F(Install, DebugLogGoesToTheStateFolderWhenTheGamesFolderIsNotWritable) {
    ASSERT_FALSE(prefix.empty()) << "cmake --install failed";
    // A player's account, who owns neither the prefix nor anything in it.
    const std::string scratch = MakeTempDir();
    ASSERT_EQ(chmod(scratch.c_str(), 0777), 0);
    ASSERT_EQ(Sh("chmod a+rx '" + fs::path(prefix).parent_path().string() + "' '" + prefix + "'"), 0);
    std::string asPlayer;
    if (geteuid() == 0) {
        asPlayer = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    } else {
        ASSERT_EQ(chmod((prefix + "/bin").c_str(), 0555), 0);
    }
    std::remove((prefix + "/bin/debug.txt").c_str());
    const std::string cmd = "cd '" + scratch + "' && HOME='" + scratch + "' XDG_RUNTIME_DIR='" + scratch +
                            "' XDG_CONFIG_HOME='" + scratch + "/config' XDG_STATE_HOME='" + scratch +
                            "/state' SDL_AUDIODRIVER=dummy " + asPlayer + "'" + prefix +
                            "/bin/korvan' --headless --unpaced --frames 30 -dbf > '" + scratch + "/out.txt' 2>&1";
    const int code = Sh(cmd);
    if (geteuid() != 0) chmod((prefix + "/bin").c_str(), 0755);
    ASSERT_EQ(code, 0) << ReadFile(scratch + "/out.txt");
    EXPECT_NE(access((prefix + "/bin/debug.txt").c_str(), F_OK), 0);
    const std::string log = ReadFile(scratch + "/state/korvan/debug.txt");
    EXPECT_NE(log.find("InitDebugStream\n"), std::string::npos) << ReadFile(scratch + "/out.txt");
}

namespace {

std::string Output(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// The package cpack builds into a scratch folder, unpacked into a scratch root there. One test
// holds every check, so the package is built once (CTest runs each test in its own process).
struct BuiltPackage {
    std::string deb, root, log;
};

BuiltPackage BuildPackage() {
    BuiltPackage p;
    const std::string dir = MakeTempDir();
    p.log = dir + "/cpack.log";
    if (Sh("cd '" + BuildDir() + "' && cpack -G DEB -B '" + dir + "' > '" + p.log + "' 2>&1") != 0) return p;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".deb") p.deb = e.path().string();
    if (p.deb.empty() || Sh("dpkg -x '" + p.deb + "' '" + dir + "/root'") != 0) return p;
    p.root = dir + "/root";
    return p;
}

}  // namespace

TEST(Package, NamesTheGameDependsOnItsLibrariesAndRunsFromAScratchRoot) {
    const BuiltPackage p = BuildPackage();
    ASSERT_FALSE(p.root.empty()) << ReadFile(p.log);
    const std::string& deb = p.deb;
    const std::string& root = p.root;

    // The fields.
    const std::string info = Output("dpkg-deb --info '" + deb + "'");
    const std::string arch = Output("dpkg --print-architecture");
    EXPECT_NE(info.find(" Package: korvan\n"), std::string::npos) << info;
    EXPECT_NE(info.find(" Section: games\n"), std::string::npos) << info;
    EXPECT_NE(info.find(" Architecture: " + arch), std::string::npos) << info;
    EXPECT_NE(info.find(" Maintainer: "), std::string::npos) << info;
    const size_t at = info.find(" Depends: ");
    ASSERT_NE(at, std::string::npos) << info;
    const std::string depends = info.substr(at, info.find('\n', at) - at) + ",";
    // Each library the executable links (its own, not theirs) comes from a package it depends on.
    const std::string exe = BuildDir() + "/korvan";
    const std::string libs = Output("for lib in $(readelf -d '" + exe +
                                    "' | sed -n 's/.*Shared library: \\[\\(.*\\)\\]/\\1/p'); do ldd '" + exe +
                                    "' | awk -v l=\"$lib\" '$1 == l {print $3}'; done");
    int linked = 0;
    std::istringstream paths(libs);
    for (std::string path; std::getline(paths, path);) {
        std::string owner = Output("dpkg -S \"$(realpath '" + path + "')\" 2>/dev/null | head -1 | cut -d: -f1");
        if (owner.empty()) owner = Output("dpkg -S '" + path + "' 2>/dev/null | head -1 | cut -d: -f1");
        owner = owner.substr(0, owner.find_first_of(" \n"));
        ASSERT_FALSE(owner.empty()) << path;
        ++linked;
        EXPECT_TRUE(depends.find(" " + owner + " ") != std::string::npos ||
                    depends.find(" " + owner + ",") != std::string::npos)
            << path << " (" << owner << ") is not in" << depends;
    }
    EXPECT_GE(linked, 6);
    // What it opens at run time: the OpenGL and EGL dispatchers, and the font.
    for (const char* runtime : {" libgl1,", " libegl1,", " fonts-ipafont-gothic,"})
        EXPECT_NE(depends.find(runtime), std::string::npos) << runtime << " not in" << depends;

    // The files, unpacked with dpkg -x, and the game run from there.
    EXPECT_EQ(access((root + "/usr/games/korvan").c_str(), X_OK), 0);
    int built = 0, packed = 0;
    for (const auto& e : fs::directory_iterator(BuildDir() + "/data")) built += e.path().filename() != ".stamp";
    for (const auto& e : fs::directory_iterator(root + "/usr/share/korvan/data"))
        packed += e.path().filename() != ".stamp";
    EXPECT_EQ(packed, built);
    for (const char* file : {"/usr/share/applications/org.korvan.OuterBounds.desktop",
                             "/usr/share/metainfo/org.korvan.OuterBounds.metainfo.xml",
                             "/usr/share/icons/hicolor/256x256/apps/org.korvan.OuterBounds.png",
                             "/usr/share/icons/hicolor/16x16/apps/org.korvan.OuterBounds.png",
                             "/usr/share/man/man6/korvan.6.gz", "/usr/share/doc/korvan/copyright",
                             "/usr/share/doc/korvan/changelog.gz"}) {
        EXPECT_EQ(access((root + file).c_str(), R_OK), 0) << file;
    }
    ExpectRunsAndLoadsEveryAsset(root + "/usr/games/korvan", root + "/usr/games/../share/korvan/data");

    // Lintian's verdict, where it is installed.
    if (Sh("command -v lintian > /dev/null") != 0) {
        GTEST_SKIP() << "lintian is not installed (apt-get install lintian): the package was not linted";
    }
    const std::string report = deb + ".lintian.txt";
    EXPECT_EQ(Sh("lintian --fail-on error,warning '" + deb + "' > '" + report + "' 2>&1"), 0) << ReadFile(report);
}
