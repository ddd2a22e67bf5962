// The game in a real X11 window, on an Xvfb display with a window manager (not SDL's off-screen
// driver): keys sent through XTest (xdotool) reach it, Alt+Enter goes full screen and back, a
// resized window shows the picture at 4:3, and focus loss stops the frames. The X screen is read
// back with xwd and written as PNG files under build/x11_shots for people to look at.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "framework/screenshot.h"
#include "tests/support/run_game.h"

namespace {

bool OnPath(const char* program) {
    const std::string cmd = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Starts a program with extra environment; its output goes to `logPath`.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& dir,
            const std::string& logPath) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (const std::string& e : env) putenv(strdup(e.c_str()));
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
    if (FILE* out = std::fopen(logPath.c_str(), "w")) {
        dup2(fileno(out), 1);
        dup2(fileno(out), 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(strdup(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// Waits up to `seconds` for the child to end; its exit code, or -1.
int WaitExit(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return -1;
}

std::string Shell(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct Screen {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

uint32_t Be32(const std::string& d, size_t at) {
    return (uint32_t(uint8_t(d[at])) << 24) | (uint32_t(uint8_t(d[at + 1])) << 16) |
           (uint32_t(uint8_t(d[at + 2])) << 8) | uint32_t(uint8_t(d[at + 3]));
}

// An XWD dump (ZPixmap, true colour, 24 or 32 bits a pixel) as RGB.
bool ParseXwd(const std::string& d, Screen& out) {
    if (d.size() < 100) return false;
    const uint32_t headerSize = Be32(d, 0), format = Be32(d, 8), width = Be32(d, 16), height = Be32(d, 20);
    const uint32_t byteOrder = Be32(d, 28), bitsPerPixel = Be32(d, 44), bytesPerLine = Be32(d, 48);
    const uint32_t masks[3] = {Be32(d, 56), Be32(d, 60), Be32(d, 64)};
    const uint32_t colours = Be32(d, 76);
    if (format != 2 || (bitsPerPixel != 24 && bitsPerPixel != 32) || width == 0 || height == 0) return false;
    const size_t pixels = headerSize + colours * 12ull;
    if (pixels + static_cast<size_t>(bytesPerLine) * height > d.size()) return false;
    const int bytes = static_cast<int>(bitsPerPixel / 8);
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const size_t at = pixels + static_cast<size_t>(y) * bytesPerLine + static_cast<size_t>(x) * bytes;
            uint32_t p = 0;
            for (int b = 0; b < bytes; ++b) {
                const uint32_t v = uint8_t(d[at + b]);
                p |= byteOrder == 0 ? v << (8 * b) : v << (8 * (bytes - 1 - b));
            }
            for (int c = 0; c < 3; ++c) {
                const uint32_t m = masks[c];
                out.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] = static_cast<uint8_t>((p & m) >> __builtin_ctz(m));
            }
        }
    }
    return true;
}

struct Box {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // x1, y1 exclusive
    int Width() const { return x1 - x0; }
    int Height() const { return y1 - y0; }
};

// The part of a region that is not black: where the picture was drawn.
Box PictureBox(const Screen& s, int rx, int ry, int rw, int rh) {
    Box b{rx + rw, ry + rh, rx, ry};
    for (int y = ry; y < ry + rh && y < s.height; ++y) {
        for (int x = rx; x < rx + rw && x < s.width; ++x) {
            const uint8_t* p = s.At(x, y);
            if (p[0] > 6 || p[1] > 6 || p[2] > 6) {
                b.x0 = std::min(b.x0, x);
                b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x + 1);
                b.y1 = std::max(b.y1, y + 1);
            }
        }
    }
    return b;
}

double MeanBrightness(const Screen& s, const Box& b) {
    double sum = 0;
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) sum += s.At(x, y)[0] + s.At(x, y)[1] + s.At(x, y)[2];
    return sum / (3.0 * std::max(1, b.Width() * b.Height()));
}

bool SameRegion(const Screen& a, const Screen& b, const Box& r) {
    for (int y = r.y0; y < r.y1; ++y)
        if (std::memcmp(a.At(r.x0, y), b.At(r.x0, y), static_cast<size_t>(r.Width()) * 3) != 0) return false;
    return true;
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

class X11Window : public ::testing::Test {
protected:
    std::string display, dir, shots;
    std::string screen = "1280x1024x24";  // the X screen's size and depth
    pid_t xvfb = -1, wm = -1, game = -1, other = -1;
    int displayPipe = -1;
    std::string window;

    void SetUp() override {
        if (!OnPath("Xvfb")) {
            GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it): the X11 window test needs a "
                            "virtual X display";
        }
        for (const char* tool : {"xdotool", "xwd", "xwininfo", "openbox", "xlogo"}) {
            ASSERT_TRUE(OnPath(tool)) << tool << " is missing: scripts/setup installs it";
        }
        dir = MakeTempDir();
        shots = std::string(KORVAN_BUILD_DIR) + "/x11_shots";
        mkdir(shots.c_str(), 0755);
        // Xvfb picks a free display itself and writes its number to the pipe.
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        xvfb = fork();
        if (xvfb == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            // -noreset: the server stays as it is when its last client goes (a reset would write the
            // display number again and restart the screen under the test).
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-screen", "0", screen.c_str(), "-nolisten",
                   "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char number[32] = {};
        ssize_t got = -1;
        while (got < 0) {
            got = read(fds[0], number, sizeof(number) - 1);
            if (got < 0 && errno != EINTR) break;
        }
        displayPipe = fds[0];  // kept open while the server runs
        ASSERT_GT(got, 0) << "Xvfb did not start";
        display = ":" + std::string(number, std::strcspn(number, "\n"));
        setenv("DISPLAY", display.c_str(), 1);
        // A window manager, as every desktop has: it carries out full screen and focus.
        wm = Spawn({"openbox"}, {}, dir, dir + "/openbox.log");
        Pause(800);
    }

    void TearDown() override {
        Stop(game);
        Stop(other);
        Stop(wm);
        Stop(xvfb);
        if (displayPipe >= 0) close(displayPipe);
        unsetenv("DISPLAY");
    }

    void Xdotool(const std::string& args) { Shell("xdotool " + args + " 2>/dev/null"); }

    Geometry ClientGeometry() {
        const std::string info = Shell("xwininfo -id " + window + " 2>/dev/null");
        Geometry g;
        auto field = [&](const char* name) {
            const size_t at = info.find(name);
            return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + std::strlen(name));
        };
        g.x = field("Absolute upper-left X:");
        g.y = field("Absolute upper-left Y:");
        g.width = field("Width:");
        g.height = field("Height:");
        return g;
    }

    Screen Shot(const std::string& name) {
        const std::string dump = dir + "/" + name + ".xwd";
        Shell("xwd -root -silent > '" + dump + "'");
        Screen s;
        EXPECT_TRUE(ParseXwd(ReadFile(dump), s)) << name;
        std::vector<uint8_t> rgba(s.rgb.size() / 3 * 4);
        for (size_t i = 0, j = 0; i < s.rgb.size(); i += 3, j += 4) {
            rgba[j] = s.rgb[i];
            rgba[j + 1] = s.rgb[i + 1];
            rgba[j + 2] = s.rgb[i + 2];
            rgba[j + 3] = 255;
        }
        if (s.width > 0) WritePng((shots + "/" + name + ".png").c_str(), rgba.data(), s.width, s.height);
        return s;
    }
};

// A 16:9 desktop, as most players have.
class X11WideScreen : public X11Window {
protected:
    X11WideScreen() { screen = "1920x1080x24"; }
};

}  // namespace

TEST_F(X11WideScreen, AWidePictureFillsTheWholeFullScreenDisplay) {
    const std::string config = dir + "/config";
    mkdir(config.c_str(), 0700);
    mkdir((config + "/korvan").c_str(), 0700);
    std::ofstream(config + "/korvan/korvan.cfg")
        << "display.mode = fullscreen\ndisplay.aspect = wide\ndisplay.resolution = window\n";
    const std::string run = MakeRunDir(true);
    game = Spawn({"./korvan", "-dbf", "--course", "1", "--skip-intro", "--autopilot", "--seed", "3"},
                 {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy", "XDG_CONFIG_HOME=" + config,
                  "XDG_STATE_HOME=" + dir + "/state", "XDG_RUNTIME_DIR=" + dir},
                 run, dir + "/game.out");
    window = Shell("xdotool search --sync --limit 1 --name 'KORVAN -Outer Bounds-' 2>/dev/null");
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty()) << ReadFile(dir + "/game.out");
    // Boot, then the countdown's fade from black: a slow machine takes longer to get there.
    Screen racing;
    for (int attempt = 0; attempt < 20; ++attempt) {
        Pause(attempt == 0 ? 5000 : 1500);
        racing = Shot("7_wide_full_screen_race");
        if (racing.width == 1920 && MeanBrightness(racing, Box{0, 0, 1920, 1080}) > 40.0) break;
    }
    const Geometry g = ClientGeometry();
    EXPECT_EQ(g.width, 1920);
    EXPECT_EQ(g.height, 1080);
    ASSERT_EQ(racing.width, 1920);
    // The race from edge to edge: no bars at the sides, the 3D in the outermost columns too.
    const Box picture = PictureBox(racing, 0, 0, racing.width, racing.height);
    EXPECT_EQ(picture.x0, 0);
    EXPECT_EQ(picture.x1, 1920);
    EXPECT_GT(MeanBrightness(racing, Box{0, 0, 40, 1080}), 20.0);
    EXPECT_GT(MeanBrightness(racing, Box{1880, 0, 1920, 1080}), 20.0);

    Xdotool("keydown Escape");
    Pause(400);
    Xdotool("keyup Escape");
    EXPECT_EQ(WaitExit(game, 20), 0);
    game = -1;
    const std::string log = ReadFile(run + "/debug.txt");
    EXPECT_NE(log.find("internal resolution 1920 x 1080"), std::string::npos) << log;
}

TEST_F(X11Window, KeysFullScreenScalingAndFocusOnARealDisplay) {
    // The player's settings: a window, the picture scaled smoothly to whatever size it gets.
    const std::string config = dir + "/config";
    mkdir(config.c_str(), 0700);
    mkdir((config + "/korvan").c_str(), 0700);
    std::ofstream(config + "/korvan/korvan.cfg") << "display.mode = window\ndisplay.scaling = smooth\n";
    const std::string run = MakeRunDir(true);
    game = Spawn({"./korvan", "-dbf", "--course", "1", "--seed", "3"},
                 {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy", "XDG_CONFIG_HOME=" + config,
                  "XDG_STATE_HOME=" + dir + "/state", "XDG_RUNTIME_DIR=" + dir},
                 run, dir + "/game.out");
    window = Shell("xdotool search --sync --limit 1 --name 'KORVAN -Outer Bounds-' 2>/dev/null");
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty()) << ReadFile(dir + "/game.out");
    Pause(4000);  // boot and the course's first frames
    Xdotool("windowactivate --sync " + window);
    Pause(300);

    Geometry g = ClientGeometry();
    ASSERT_EQ(g.width, 640);
    ASSERT_EQ(g.height, 480);
    const Screen racing = Shot("1_window_race");
    const Box windowBox{g.x, g.y, g.x + g.width, g.y + g.height};
    const Box picture = PictureBox(racing, g.x, g.y, g.width, g.height);
    EXPECT_EQ(picture.Width(), 640);
    EXPECT_EQ(picture.Height(), 480);

    // A key through XTest: Q pauses the race, and the pause screen dims the picture. During the
    // countdown Q does nothing yet (a slow machine counts down longer): try again a second later.
    bool paused = false;
    for (int attempt = 0; attempt < 15 && !paused; ++attempt) {
        const Screen before = Shot("2_before_q");
        Xdotool("key q");
        Pause(800);
        const Screen after = Shot("2_paused_by_q");
        paused = MeanBrightness(after, windowBox) < 0.85 * MeanBrightness(before, windowBox);
        if (!paused) Pause(1000);
    }
    EXPECT_TRUE(paused) << "Q never paused the race";

    // Alt+Enter: full screen, the picture 4:3 over the whole 1280 x 1024 display (1280 x 960).
    Xdotool("key alt+Return");
    Pause(1500);
    g = ClientGeometry();
    EXPECT_EQ(g.width, 1280);
    EXPECT_EQ(g.height, 1024);
    const Screen full = Shot("3_full_screen");
    const Box fullBox = PictureBox(full, 0, 0, full.width, full.height);
    EXPECT_NEAR(fullBox.Width(), 1280, 2);
    EXPECT_NEAR(fullBox.Height(), 960, 2);
    EXPECT_NEAR(fullBox.y0, 32, 2);
    // And back to the window.
    Xdotool("key alt+Return");
    Pause(1500);
    g = ClientGeometry();
    EXPECT_EQ(g.width, 640);
    EXPECT_EQ(g.height, 480);
    EXPECT_NE(ReadFile(config + "/korvan/korvan.cfg").find("display.mode = window\n"), std::string::npos);

    // A window of another shape: the picture keeps 4:3, as large as fits, centred.
    Xdotool("windowsize " + window + " 1000 500");
    Pause(1200);
    g = ClientGeometry();
    ASSERT_EQ(g.width, 1000);
    ASSERT_EQ(g.height, 500);
    const Screen wide = Shot("4_resized_1000x500");
    const Box wideBox = PictureBox(wide, g.x, g.y, g.width, g.height);
    EXPECT_NEAR(wideBox.Height(), 500, 1);
    EXPECT_NEAR(wideBox.Width(), 667, 2);
    EXPECT_NEAR(wideBox.x0 - g.x, (1000 - 667) / 2, 2);

    // Focus goes to another program: no frame runs, so the picture stands still; focus back, and
    // the frames (the pause screen's animation) go on.
    other = Spawn({"xlogo", "-geometry", "200x200+1060+10"}, {}, dir, dir + "/xlogo.out");
    std::string logo = Shell("xdotool search --sync --limit 1 --class xlogo 2>/dev/null");
    logo = logo.substr(0, logo.find('\n'));
    ASSERT_FALSE(logo.empty());
    Xdotool("windowactivate --sync " + logo);
    Pause(800);
    const Screen away1 = Shot("5_focus_lost");
    Pause(1500);
    const Screen away2 = Shot("5_focus_lost_later");
    EXPECT_TRUE(SameRegion(away1, away2, wideBox)) << "frames ran while the window was in the background";
    Xdotool("windowactivate --sync " + window);
    Pause(800);
    const Screen back1 = Shot("6_focus_back");
    Pause(1500);
    const Screen back2 = Shot("6_focus_back_later");
    EXPECT_FALSE(SameRegion(back1, back2, wideBox)) << "the frames did not resume";

    // Escape held quits through the normal path.
    Xdotool("keydown Escape");
    Pause(400);
    Xdotool("keyup Escape");
    EXPECT_EQ(WaitExit(game, 20), 0);
    game = -1;
    const std::string log = ReadFile(run + "/debug.txt");
    EXPECT_NE(log.find("<非アクティブ>"), std::string::npos) << log;
    EXPECT_NE(log.find("display: full screen"), std::string::npos);
    EXPECT_NE(log.find("display: window"), std::string::npos);
    // The wait for the display, chosen for its refresh rate in the window and again in full screen,
    // each with what the driver made of it.
    for (const char* mode : {"window", "full screen"}) {
        const std::regex line(std::string("display: (\\d+ Hz|refresh rate unknown), ") + mode + ": vsync[^\n]*\n");
        EXPECT_TRUE(std::regex_search(log, line)) << mode << "\n" << log;
    }
}

// Keys rebound through the Key Config screen with real key presses: the view is given the free W,
// then the pause takes W and the view gets the pause's Q in exchange; Escape while a line waits
// keeps it (and does not quit). The race that follows pauses on W and not on Q, and korvan.cfg
// keeps every other line and comment as the player wrote them.
TEST_F(X11Window, KeysReboundInTheGameDriveTheRaceAndKeepTheFile) {
    const std::string config = dir + "/config";
    mkdir(config.c_str(), 0700);
    mkdir((config + "/korvan").c_str(), 0700);
    const std::string cfg = config + "/korvan/korvan.cfg";
    const std::string mine =
        "# my keys, my way\n"
        "display.mode = window\n"
        "\n"
        "# the race keys\n"
        "keys.pause = Q   # pause\n"
        "sound.music_volume = 40\n"
        "future.thing = 1\n";
    std::ofstream(cfg) << mine;
    const std::string run = MakeRunDir(true);
    game = Spawn({"./korvan", "-dbf", "--seed", "3", "--skip-intro", "--stats", dir + "/stats.json"},
                 {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy", "XDG_CONFIG_HOME=" + config,
                  "XDG_DATA_HOME=" + dir + "/share", "XDG_STATE_HOME=" + dir + "/state", "XDG_RUNTIME_DIR=" + dir},
                 run, dir + "/game.out");
    window = Shell("xdotool search --sync --limit 1 --name 'KORVAN -Outer Bounds-' 2>/dev/null");
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty()) << ReadFile(dir + "/game.out");
    Pause(3000);
    Xdotool("windowactivate --sync " + window);
    Pause(300);
    // Each key held as a hand holds it: long enough for a frame's poll to see it even on a
    // loaded machine (the menus act on the press, not on how long it is held).
    auto press = [&](const std::string& key) {
        Xdotool("keydown " + key);
        Pause(600);
        Xdotool("keyup " + key);
        Pause(300);
    };
    auto waitFor = [&](const std::string& text) {
        for (int i = 0; i < 50; ++i) {
            if (ReadFile(cfg).find(text) != std::string::npos) return true;
            Pause(100);
        }
        return false;
    };
    // X skips the prologue and the demonstration once the logo is over, and does nothing on the
    // title; the title is up when its tune is loaded.
    bool title = false;
    for (int i = 0; i < 120 && !title; ++i) {
        press("x");
        title = ReadFile(run + "/debug.txt").find("load(Title.mid)") != std::string::npos;
    }
    ASSERT_TRUE(title) << ReadFile(run + "/debug.txt");
    Pause(3000);
    // Title: Option; Option: Up twice from "Exit " wraps to "Key Config ".
    for (const char* key : {"Down", "Down", "z", "Up", "Up", "z"}) press(key);
    Shot("7_key_config");
    // The view line (Up from "Exit " wraps to it): Enter waits, W is given to it.
    press("Up");
    press("Return");
    Shot("8_key_config_waiting");
    press("w");
    ASSERT_TRUE(waitFor("keys.view = W\n")) << ReadFile(cfg) << ReadFile(run + "/debug.txt");
    // The pause line takes W; the view gets Q.
    press("Up");
    press("z");
    press("w");
    ASSERT_TRUE(waitFor("keys.view = Q\n")) << ReadFile(cfg);
    Shot("9_key_config_swapped");
    // Escape on a waiting line keeps it and leaves the game running.
    press("Return");
    press("Escape");
    Pause(500);
    ASSERT_EQ(WaitExit(game, 0), -1) << "Escape on a waiting line quit the game";
    EXPECT_NE(ReadFile(cfg).find("keys.view = Q\n"), std::string::npos);

    // Back to the title (X once more does nothing there) and into course 1's race, straight to its
    // countdown: Z until the course is loaded (a Z more is the gas at the start).
    for (const char* key : {"x", "x", "x"}) press(key);
    bool ready = false;
    for (int i = 0; i < 40 && !ready; ++i) {
        press("z");
        for (int k = 0; k < 10 && !ready; ++k) {
            Pause(200);
            ready = ReadFile(run + "/debug.txt").find("race: course 1 ready") != std::string::npos;
        }
    }
    ASSERT_TRUE(ready) << ReadFile(run + "/debug.txt");
    Pause(4000);  // the countdown
    const Geometry g = ClientGeometry();
    const Box box{g.x, g.y, g.x + g.width, g.y + g.height};
    // W pauses (the pause screen dims the picture, and it stays dim); during the countdown nothing
    // pauses yet (a slow machine counts down longer), so it is tried again a second later.
    bool paused = false;
    for (int attempt = 0; attempt < 30 && !paused; ++attempt) {
        const Screen before = Shot("10_before_w");
        press("w");
        Pause(500);
        const double bright = MeanBrightness(before, box);
        paused = MeanBrightness(Shot("10_paused_by_w"), box) < 0.85 * bright;
        Pause(600);
        paused = paused && MeanBrightness(Shot("10_still_paused"), box) < 0.85 * bright;
        if (!paused) Pause(700);
    }
    ASSERT_TRUE(paused) << "W never paused the race";
    press("x");  // Go Back resumes
    Pause(500);
    // Q now changes the view and no longer pauses: W after it still finds a running race to pause.
    press("q");
    Pause(500);
    const Screen afterQ = Shot("11_view_by_q");
    press("w");
    Pause(500);
    EXPECT_LT(MeanBrightness(Shot("11_paused_after_q"), box), 0.85 * MeanBrightness(afterQ, box))
        << "Q paused the race";

    Xdotool("keydown Escape");
    Pause(400);
    Xdotool("keyup Escape");
    EXPECT_EQ(WaitExit(game, 20), 0);
    game = -1;
    // The file: the pause's line has its new key and its comment, the view's line is added, every
    // other line as the player wrote it.
    EXPECT_EQ(ReadFile(cfg),
              "# my keys, my way\n"
              "display.mode = window\n"
              "\n"
              "# the race keys\n"
              "keys.pause = W   # pause\n"
              "sound.music_volume = 40\n"
              "future.thing = 1\n"
              "\n# keys that change the view\n"
              "keys.view = Q\n");
    const std::string stats = ReadFile(dir + "/stats.json");
    EXPECT_NE(stats.find("\"key_config\""), std::string::npos) << stats;
    EXPECT_NE(stats.find("\"race\": {\"frames\""), std::string::npos) << stats;
    const std::string log = ReadFile(run + "/debug.txt");
    EXPECT_NE(log.find("keys: keys.view = W (was V)"), std::string::npos) << log;
    EXPECT_NE(log.find("keys: keys.pause = W (was Q)"), std::string::npos) << log;
}
