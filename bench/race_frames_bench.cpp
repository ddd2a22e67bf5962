// A whole race's frame figures, per course, on one core or two, with the frame drawn at 1x
// (640 x 480), 2x (1280 x 960) or at the window's size, as a 4:3 picture or a wide one in a 1280 x
// 720 window (854 x 480 at 1x, 1280 x 720 at the window's size): the game (korvan beside this program, or KORVAN_BENCH_GAME) runs
// "--headless --autopilot --exit-after-race --skip-intro --course N --seed 7 --stats FILE" held to
// the first one or two cores, paced (60 frames a second, as a player sees it) or unpaced (as fast
// as it goes). Counters:
//   late        paced frames that ended after their slot (paced runs only)
//   median, p99 game-thread milliseconds of a frame's work, from the race's --stats record
//   race max    the longest game-thread frame of the race scene (its first frame included), and of
//               the countdown before it
//   ms/frame    wall-clock time of the whole run over its frames (boot included)
//   cpu/frame   processor time of the whole process (every thread) over its frames
// Arguments: course, cores, resolution (1, 2, or 0 for the window's size), paced (0 or 1), wide (0 or
// 1). A paced race takes its real
// length (about two minutes), so pick what to run, e.g.
//   race_frames_bench --benchmark_filter='cores:2/res:1/paced:0/wide:0'           every course unpaced, 2 cores, 1x
//   race_frames_bench --benchmark_filter='course:1/cores:1/res:1/paced:1/wide:0'  course 1 paced on one core
//   race_frames_bench --benchmark_filter='course:(1|5|14)/cores:2/res:0/paced:1/wide:1'  wide, 1280 x 720
// BM_RaceAtRefresh runs a paced race at 1x for a display of 120 or 144 Hz (--refresh), a picture
// at each refresh: besides the late steps it counts the pictures shown and dropped (refreshes
// that showed the picture before again), per second of the race:
//   race_frames_bench --benchmark_filter='RaceAtRefresh/course:1/cores:2/hz:120'
#include <benchmark/benchmark.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string GamePath() {
    if (const char* g = std::getenv("KORVAN_BENCH_GAME")) return g;
    char exe[4096];
    const ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (len <= 0) return "korvan";
    exe[len] = '\0';
    std::string dir = exe;
    return dir.substr(0, dir.rfind('/')) + "/korvan";
}

// A number after "key": in the stats file's text (-1 when it is not there).
double JsonNumber(const std::string& text, const std::string& key) {
    const size_t at = text.find("\"" + key + "\":");
    if (at == std::string::npos) return -1;
    return std::strtod(text.c_str() + at + key.size() + 3, nullptr);
}

// A number after "key": inside the named scene's entry of the stats file (-1 when not there).
double SceneNumber(const std::string& text, const std::string& scene, const std::string& key) {
    const size_t at = text.find("\"" + scene + "\": {\"frames\"");
    if (at == std::string::npos) return -1;
    const size_t end = text.find('}', at);
    return JsonNumber(text.substr(at, end - at), key);
}

struct RaceRun {
    bool ok = false;
    double frames = 0, late = 0, median = 0, p99 = 0, wallSec = 0, cpuSec = 0, raceMax = 0, countdownMax = 0;
    double pictures = 0, dropped = 0;
};

RaceRun RunRace(int course, int cores, int scale, bool paced, bool wide, int refreshHz = 0) {
    RaceRun r;
    char dirName[] = "/tmp/korvan_raceXXXXXX";
    if (!mkdtemp(dirName)) return r;
    const std::string dir = dirName, game = GamePath();
    std::string data = game.substr(0, game.rfind('/')) + "/data";
    const std::string resolution = scale == 0 ? "window" : std::to_string(scale) + "x";
    std::string setup = "mkdir -p " + dir + "/config/korvan && printf 'display.resolution = " + resolution +
                        "\\ndisplay.aspect = " + (wide ? "wide" : "4:3") + "\\n' > " + dir +
                        "/config/korvan/korvan.cfg && ln -s '" + data + "' " + dir + "/data";
    if (std::system(setup.c_str()) != 0) return r;
    const std::string stats = dir + "/stats.json", course_ = std::to_string(course), hz = std::to_string(refreshHz);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        cpu_set_t set;
        CPU_ZERO(&set);
        for (int c = 0; c < cores; ++c) CPU_SET(c, &set);
        if (sched_setaffinity(0, sizeof(set), &set) != 0) _exit(125);
        if (chdir(dir.c_str()) != 0) _exit(125);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        setenv("XDG_DATA_HOME", (dir + "/share").c_str(), 1);
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(125);
        std::vector<const char*> args = {game.c_str(), "--headless", "--autopilot", "--exit-after-race", "--skip-intro",
                                         "--course", course_.c_str(), "--seed", "7", "--stats", stats.c_str()};
        if (!paced) args.push_back("--unpaced");
        if (wide) {
            args.push_back("--window");
            args.push_back("1280x720");
        }
        if (refreshHz > 0) {
            args.push_back("--refresh");
            args.push_back(hz.c_str());
        }
        args.push_back(nullptr);
        execv(game.c_str(), const_cast<char* const*>(args.data()));
        _exit(127);
    }
    if (child < 0) return r;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return r;
    r.wallSec = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.cpuSec = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
               usage.ru_stime.tv_usec / 1e6;
    std::ifstream in(stats);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    r.frames = JsonNumber(s, "frames");
    r.late = JsonNumber(s, "late_frames");
    r.median = JsonNumber(s, "median");
    r.p99 = JsonNumber(s, "p99");
    r.raceMax = SceneNumber(s, "race", "max");
    r.countdownMax = SceneNumber(s, "countdown", "max");
    if (refreshHz > 0) {
        const size_t at = s.find("\"pictures\": {");
        const std::string pictures = at == std::string::npos ? std::string() : s.substr(at, s.find('}', at) - at);
        r.pictures = JsonNumber(pictures, "shown");
        r.dropped = JsonNumber(pictures, "dropped");
    }
    r.ok = r.frames > 0;
    std::system(("rm -rf " + dir).c_str());
    return r;
}

void BM_Race(benchmark::State& state) {
    const int course = static_cast<int>(state.range(0)), cores = static_cast<int>(state.range(1)),
              scale = static_cast<int>(state.range(2));
    const bool paced = state.range(3) != 0, wide = state.range(4) != 0;
    RaceRun r;
    for (auto _ : state) r = RunRace(course, cores, scale, paced, wide);
    if (!r.ok) {
        state.SkipWithError("the race did not run to its end");
        return;
    }
    if (paced) state.counters["late"] = r.late;
    state.counters["median"] = r.median;
    state.counters["p99"] = r.p99;
    state.counters["race max"] = r.raceMax;
    state.counters["countdown max"] = r.countdownMax;
    state.counters["ms/frame"] = 1000.0 * r.wallSec / r.frames;
    state.counters["cpu/frame"] = 1000.0 * r.cpuSec / r.frames;
    state.counters["frames"] = r.frames;
}
BENCHMARK(BM_Race)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 15, 1), {1, 2}, {1, 2, 0}, {0, 1}, {0, 1}})
    ->ArgNames({"course", "cores", "res", "paced", "wide"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

void BM_RaceAtRefresh(benchmark::State& state) {
    const int course = static_cast<int>(state.range(0)), cores = static_cast<int>(state.range(1)),
              hz = static_cast<int>(state.range(2));
    RaceRun r;
    for (auto _ : state) r = RunRace(course, cores, 1, true, false, hz);
    if (!r.ok) {
        state.SkipWithError("the race did not run to its end");
        return;
    }
    const double seconds = r.frames / 60.0;
    state.counters["late"] = r.late;
    state.counters["median"] = r.median;
    state.counters["pictures/s"] = r.pictures / seconds;
    state.counters["dropped/s"] = r.dropped / seconds;
    state.counters["dropped"] = r.dropped;
    state.counters["frames"] = r.frames;
}
BENCHMARK(BM_RaceAtRefresh)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 15, 1), {1, 2}, {120, 144}})
    ->ArgNames({"course", "cores", "hz"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
