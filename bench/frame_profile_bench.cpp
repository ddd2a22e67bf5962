// Where a race frame's rasterising time goes. Each course's race is run inside a child process (as
// "korvan --headless --unpaced --autopilot --course N" runs it) up to the middle of its first lap;
// then a run of frames is drawn with the device measuring every draw (it waits for the rasteriser
// before and after each one, so these frames are slow and only their shares mean anything). Each
// draw is put in a pass by the game routine that made it (found from the call stack), and costed
// by the pipeline variant that drew it:
//   - per pass: milliseconds of rasterising per frame, and overdraw (pixels written / frame size);
//   - per variant: draws, pixels and nanoseconds per pixel, over every course.
// Three figures sum a frame up. Two do not depend on the machine: fragments shaded per screen
// pixel (every pass, the HUD included; pixels that failed the depth test are not shaded) and draws
// per frame. The third is measured in the same run: the frame's rasterising time over that of one
// full-screen quad, textured with the course's road, lit and fogged ("screens": what the frame
// costs in whole screens of the game's usual surface).
// Measured with the draw hook, every draw waits for the rasteriser alone, so a frame of many small
// draws pays a fixed cost for each that it does not pay unhooked. BM_FrameOnOneThread measures the
// same frames unhooked instead, with the rasteriser on the game thread (LP_NUM_THREADS=0): each
// frame's processor time, the game's step alone in the frame after it (drawn with the device held
// lost), and the quad's; its "screens" is (frame - step) / quad, the whole frame's drawing in
// full-screen road quads. BM_TimeAttackOnOneThread measures a Time Attack of the course the same
// way, with its ghost a few frames ahead of the player (and no computer cars).
// Google Benchmark reports each course with the passes as counters; the variant table goes to
// stderr. The frame size comes from KORVAN_BENCH_RESOLUTION (1x, 2x; default 1x); the first
// measured frame from KORVAN_BENCH_FROM (default: 900 frames into the race).

#include <benchmark/benchmark.h>

#include <execinfo.h>
#include <link.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "courses/course_geometry.h"
#include "courses/course_setup.h"
#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/switches.h"
#include "platform/gfx.h"
#include "race/ghost_car.h"
#include "race/time_attack.h"

namespace {

constexpr int kStackDepth = 32;
constexpr uint32_t kProfileFrom = 900;  // race frames after the countdown: cars spread on the road
                                        // (KORVAN_BENCH_FROM picks another frame of the program)
constexpr uint32_t kProfileFrames = 40;
constexpr uint32_t kProfileStep = 15;   // frames run unmeasured between two measured ones
constexpr int kGhostLead = 10;          // a Time Attack's ghost drives this many frames ahead

// The passes, by the routine that draws them. A draw belongs to the innermost routine of its call
// stack that is named here; a draw under none of them belongs to the course's own extras when the
// course's frame routine made it, else to the 2D layer (every screen-space draw outside a pass).
struct PassRule {
    const char* routine;
    const char* pass;
};
const PassRule kPassRules[] = {
    {"DrawSky(", "sky"},
    {"DrawSunGlare(", "sun+glare"},
    {"DrawGlare(", "sun+glare"},
    {"DrawGround(", "ground"},
    {"DrawSkirts(", "strips"},
    {"DrawLowerStripsWindow(", "strips"},
    {"DrawUpperStripsWindow(", "strips"},
    {"DrawRoadWindow(", "road"},
    {"DrawGateAndBanner(", "gate"},
    {"DrawScenery", "scenery"},
    {"DrawCrystals(", "crystals"},
    {"DrawOpponents(", "cars"},
    {"DrawPlayerCar(", "cars"},
    {"DrawVehicle(", "cars"},
    {"DrawHud(", "hud"},
    {"DrawMiniMap(", "hud"},
    {"DrawOpponentNumbers(", "hud"},
    {"DrawRaceWorld(", "course extras"},
};
const char* const kPassOrder[] = {"clear", "sky", "sun+glare", "ground", "strips", "road", "gate", "scenery",
                                  "course extras", "crystals", "cars", "hud", "2d other"};

struct Totals {
    double microseconds = 0;
    uint64_t samples = 0;
    uint64_t draws = 0;
    uint64_t primitives = 0;
    uint64_t blended = 0;  // pixels of blended draws
};

// Collected in the child while the hook is set.
struct Collector {
    std::map<std::vector<void*>, Totals> byStack;
    std::map<uint32_t, Totals> byVariant;
    Totals clears;
};
Collector collector;

// The full-screen quad's draws, measured apart from the frames.
std::vector<double> quadMicroseconds;
void OnQuad(const GfxDrawCost& cost, void*) {
    if (!cost.clear) quadMicroseconds.push_back(cost.microseconds);
}

constexpr int kQuadDraws = 24;

// One full-screen quad as the road is drawn: the course's road texture, lit by the course's light,
// fogged with its fog, depth tested and written; the depth is cleared first so every pixel is
// shaded. The view and projection are the race's, the quad stands in front of the camera.
void DrawFullScreenQuad() {
    if (!BeginFrame(0)) return;
    const float z = 10.0f, h = 2.0f * z, w = 2.0f * h;  // well past the edges of a 45 degree view
    CourseVertex v[4] = {
        {-w, h, z, 0, 0, -1, 0xffffffffu, 0, 0},
        {w, h, z, 0, 0, -1, 0xffffffffu, 8, 0},
        {-w, -h, z, 0, 0, -1, 0xffffffffu, 0, 8},
        {w, -h, z, 0, 0, -1, 0xffffffffu, 8, 8},
    };
    D3DXMATRIX view;
    D3DXMatrixIdentity(&view);
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projectionMatrix);
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->LightEnable(0, 1);
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTexture(0, roadTexture.texture);
    device->SetVertexShader(CourseVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(CourseVertex));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->EndScene();
    device->Flush();
}

void OnDraw(const GfxDrawCost& cost, void*) {
    if (cost.clear) {
        collector.clears.microseconds += cost.microseconds;
        collector.clears.samples += cost.samples;
        ++collector.clears.draws;
        return;
    }
    void* frames[kStackDepth];
    const int n = backtrace(frames, kStackDepth);
    Totals& t = collector.byStack[std::vector<void*>(frames, frames + n)];
    t.microseconds += cost.microseconds;
    t.samples += cost.samples;
    ++t.draws;
    t.primitives += cost.primitives;
    if (cost.blended) t.blended += cost.samples;
    Totals& v = collector.byVariant[cost.programKey];
    v.microseconds += cost.microseconds;
    v.samples += cost.samples;
    ++v.draws;
}

uintptr_t exeBase = 0;
int FindExeBase(dl_phdr_info* info, size_t, void*) {
    exeBase = info->dlpi_addr;  // the first object is the program itself
    return 1;
}

// Routine names (innermost first, inlined callers included) of each address, from addr2line.
std::map<void*, std::vector<std::string>> Symbolise(const std::vector<void*>& addresses) {
    std::map<void*, std::vector<std::string>> names;
    dl_iterate_phdr(FindExeBase, nullptr);
    char exe[4096];
    const ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (len <= 0) return names;
    exe[len] = '\0';
    char list[] = "/tmp/korvan_profile_addrXXXXXX";
    const int fd = mkstemp(list);
    if (fd < 0) return names;
    std::string text;
    for (void* a : addresses) {
        // A return address points after the call: step back into the call for its line.
        char line[32];
        std::snprintf(line, sizeof(line), "0x%lx\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(a) - exeBase - 1));
        text += line;
    }
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        close(fd);
        return names;
    }
    close(fd);
    // With -a each address's line comes first, then a routine and a source line per inlined level.
    const std::string cmd = std::string("addr2line -a -f -C -i -e ") + exe + " < " + list;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return names;
    int index = -1;
    bool wantName = false;
    char buf[4096];
    while (std::fgets(buf, sizeof(buf), p)) {
        std::string s(buf);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        if (s.rfind("0x", 0) == 0 && s.find_first_not_of("0123456789abcdefx") == std::string::npos) {
            ++index;
            wantName = true;
            continue;
        }
        if (wantName && index >= 0 && static_cast<size_t>(index) < addresses.size()) {
            names[addresses[static_cast<size_t>(index)]].push_back(s);
        }
        wantName = !wantName;
    }
    pclose(p);
    unlink(list);
    return names;
}

const char* PassOf(const std::vector<void*>& stack, const std::map<void*, std::vector<std::string>>& names) {
    bool underCourseFrame = false;
    for (void* a : stack) {
        auto it = names.find(a);
        if (it == names.end()) continue;
        for (const std::string& routine : it->second) {
            for (const PassRule& r : kPassRules) {
                if (routine.find(r.routine) != std::string::npos) return r.pass;
            }
            if (routine.find("::Frame(CourseView") != std::string::npos) underCourseFrame = true;
        }
    }
    return underCourseFrame ? "course extras" : "2d other";
}

// What the child sends back: one line per pass and per variant.
std::string Report(uint32_t frames, int width, int height) {
    std::vector<void*> addresses;
    for (const auto& kv : collector.byStack) {
        for (void* a : kv.first) addresses.push_back(a);
    }
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    const auto names = Symbolise(addresses);
    std::map<std::string, Totals> passes;
    passes["clear"] = collector.clears;
    for (const auto& kv : collector.byStack) {
        Totals& t = passes[PassOf(kv.first, names)];
        t.microseconds += kv.second.microseconds;
        t.samples += kv.second.samples;
        t.draws += kv.second.draws;
        t.primitives += kv.second.primitives;
        t.blended += kv.second.blended;
    }
    std::string out;
    char line[256];
    std::vector<double> quad = quadMicroseconds;
    std::sort(quad.begin(), quad.end());
    std::snprintf(line, sizeof(line), "quad|%.4f\n", quad.empty() ? 0.0 : quad[quad.size() / 2] / 1000.0);
    out += line;
    const double pixels = static_cast<double>(width) * height * frames;
    for (const auto& kv : passes) {
        std::snprintf(line, sizeof(line), "pass %s|%.4f|%.4f|%.2f|%.1f|%.4f\n", kv.first.c_str(),
                      kv.second.microseconds / 1000.0 / frames, kv.second.samples / pixels,
                      static_cast<double>(kv.second.draws) / frames,
                      static_cast<double>(kv.second.primitives) / frames, kv.second.blended / pixels);
        out += line;
    }
    for (const auto& kv : collector.byVariant) {
        std::snprintf(line, sizeof(line), "variant %u|%.1f|%llu|%llu\n", kv.first, kv.second.microseconds,
                      static_cast<unsigned long long>(kv.second.samples),
                      static_cast<unsigned long long>(kv.second.draws));
        out += line;
    }
    return out;
}

uint32_t ProfileFrom() {
    const char* f = std::getenv("KORVAN_BENCH_FROM");
    const long from = f && *f ? std::strtol(f, nullptr, 10) : 0;
    return from > 0 ? static_cast<uint32_t>(from) : kProfileFrom;
}

std::string BenchResolution() {
    const char* r = std::getenv("KORVAN_BENCH_RESOLUTION");
    return r && *r ? r : "1x";
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// The one-thread measure: frames as they run, then the step alone, then the quads.
std::string MeasureOnOneThread() {
    double frameMs = 0, stepMs = 0, quadMs = 0;
    uint32_t measured = 0;
    for (uint32_t i = 0; i < kProfileFrames; ++i) {
        if (!PumpMessages()) break;
        double start = ThreadCpuMs();
        RunFrame();
        device->Flush();  // with the rasteriser on this thread, whatever is left is drawn here
        frameMs += ThreadCpuMs() - start;
        device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
        if (!PumpMessages()) break;
        start = ThreadCpuMs();
        RunFrame();
        stepMs += ThreadCpuMs() - start;
        device->SetCooperativeLevelForTest(D3D_OK);
        ++measured;
        for (uint32_t k = 1; k < kProfileStep && PumpMessages(); ++k) RunFrame();
    }
    for (int i = 0; i < kQuadDraws; ++i) {
        const double start = ThreadCpuMs();
        DrawFullScreenQuad();
        quadMs += ThreadCpuMs() - start;
    }
    if (!measured) return {};
    char line[128];
    std::snprintf(line, sizeof(line), "cpu|%.4f|%.4f|%.4f\n", frameMs / measured, stepMs / measured,
                  quadMs / kQuadDraws);
    return line;
}

// The child: the game in this process, as the tests run it, then the measured frames.
// A Time Attack of the course against a ghost just ahead of the player (in view, as drawn at its
// dearest): the run is first driven with the device lost to record it, then started again with
// that recording, kGhostLead frames ahead, as its ghost. Returns the frame the new run began on.
uint32_t StartTimeAttackWithGhostAhead(int course) {
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    StartTimeAttack(course);
    const uint32_t until = frameNumber + ProfileFrom() + kProfileFrames * (kProfileStep + 1) + 200;
    while (frameNumber < until && PumpMessages()) RunFrame();
    GhostRun ghost = ghostRecording;
    ghost.frames.erase(ghost.frames.begin(), ghost.frames.begin() + std::min<size_t>(kGhostLead, ghost.frames.size()));
    device->SetCooperativeLevelForTest(D3D_OK);
    StartTimeAttack(course);
    raceGhost = ghost;
    timeAttack.hasGhost = true;
    return frameNumber;
}

int ProfileCourse(int course, int reportFd, bool oneThread, bool timeAttack = false) {
    char dirName[] = "/tmp/korvan_profileXXXXXX";
    if (!mkdtemp(dirName)) return 1;
    const std::string dir = dirName;
    char exe[4096];
    const ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (len <= 0) return 1;
    exe[len] = '\0';
    std::string data = exe;
    data = data.substr(0, data.rfind('/')) + "/data";
    if (symlink(data.c_str(), (dir + "/data").c_str()) != 0 || chdir(dir.c_str()) != 0) return 1;
    // A private settings file holds the resolution; the player's own is never read.
    const std::string config = dir + "/config";
    std::string cmd = "mkdir -p " + config + "/korvan && echo 'display.resolution = " + BenchResolution() + "' > " +
                      config + "/korvan/korvan.cfg";
    if (std::system(cmd.c_str()) != 0) return 1;
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir + "/share").c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (oneThread) setenv("LP_NUM_THREADS", "0", 1);
    SetLogFilePath((dir + "/debug.txt").c_str());
    programOptions = ProgramOptions{};
    programOptions.headless = true;
    programOptions.unpaced = true;
    programOptions.autopilot = true;
    programOptions.course = course;
    programOptions.skipIntro = true;
    programOptions.seedGiven = true;
    programOptions.seed = 7;
    if (!InitApplication()) return 1;
    GameBoot();
    const uint32_t first = timeAttack ? StartTimeAttackWithGhostAhead(course) : 0;
    while (frameNumber < first + ProfileFrom() && PumpMessages()) RunFrame();
    if (oneThread) {
        const std::string report = MeasureOnOneThread();
        GameQuit();
        FreeApplication();
        if (write(reportFd, report.data(), report.size()) != static_cast<ssize_t>(report.size())) return 1;
        std::system(("rm -rf " + dir).c_str());
        return report.empty() ? 1 : 0;
    }
    uint32_t measured = 0;
    for (uint32_t i = 0; i < kProfileFrames; ++i) {
        device->SetDrawHook(OnDraw, nullptr);
        if (!PumpMessages()) break;
        RunFrame();
        device->SetDrawHook(nullptr, nullptr);
        ++measured;
        for (uint32_t k = 0; k < kProfileStep && PumpMessages(); ++k) RunFrame();
    }
    // The full-screen quad, measured the same way.
    device->SetDrawHook(OnQuad, nullptr);
    for (int i = 0; i < kQuadDraws; ++i) DrawFullScreenQuad();
    device->SetDrawHook(nullptr, nullptr);
    const std::string report = measured ? Report(measured, static_cast<int>(device->FrameWidth()),
                                                 static_cast<int>(device->FrameHeight()))
                                         : std::string();
    GameQuit();
    FreeApplication();
    if (write(reportFd, report.data(), report.size()) != static_cast<ssize_t>(report.size())) return 1;
    std::system(("rm -rf " + dir).c_str());
    return measured ? 0 : 1;
}

std::string RunChild(int course, bool oneThread = false, bool timeAttack = false) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        _exit(ProfileCourse(course, fds[1], oneThread, timeAttack));
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof(buf))) > 0) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return out;
}

std::map<uint32_t, Totals> allVariants;

void BM_FramePasses(benchmark::State& state) {
    const int course = static_cast<int>(state.range(0));
    std::string report;
    for (auto _ : state) report = RunChild(course);
    if (report.empty()) {
        state.SkipWithError("the race could not be run");
        return;
    }
    double total = 0;
    struct PassLine {
        double ms, overdraw, draws, triangles, blended;
    };
    std::map<std::string, PassLine> passes;
    double quadMs = 0;
    size_t at = 0;
    while (at < report.size()) {
        const size_t end = report.find('\n', at);
        const std::string line = report.substr(at, end - at);
        at = end == std::string::npos ? report.size() : end + 1;
        char name[64];
        if (line.rfind("quad|", 0) == 0) {
            quadMs = std::strtod(line.c_str() + 5, nullptr);
        } else if (line.rfind("pass ", 0) == 0) {
            double ms = 0, overdraw = 0, draws = 0, triangles = 0, blended = 0;
            if (std::sscanf(line.c_str() + 5, "%63[^|]|%lf|%lf|%lf|%lf|%lf", name, &ms, &overdraw, &draws, &triangles,
                            &blended) == 6) {
                passes[name] = {ms, overdraw, draws, triangles, blended};
                total += ms;
            }
        } else if (line.rfind("variant ", 0) == 0) {
            unsigned key = 0;
            double us = 0;
            unsigned long long samples = 0, draws = 0;
            if (std::sscanf(line.c_str() + 8, "%u|%lf|%llu|%llu", &key, &us, &samples, &draws) == 4) {
                Totals& t = allVariants[key];
                t.microseconds += us;
                t.samples += samples;
                t.draws += draws;
            }
        }
    }
    std::fprintf(stderr, "course %d (%s), per frame: %-14s %8s %8s %7s %9s %8s\n", course, BenchResolution().c_str(),
                 "pass", "ms", "overdraw", "draws", "triangles", "blended");
    for (const auto& kv : passes) {
        const PassLine& p = kv.second;
        std::fprintf(stderr, "  %-30s %8.3f %8.3f %7.1f %9.1f %8.3f\n", kv.first.c_str(), p.ms, p.overdraw, p.draws,
                     p.triangles, p.blended);
    }
    double fragments = 0, draws = 0;
    for (const char* p : kPassOrder) {
        auto it = passes.find(p);
        const double ms = it == passes.end() ? 0.0 : it->second.ms;
        state.counters[std::string(p) + " ms"] = ms;
        if (it != passes.end() && std::strcmp(p, "clear") != 0) {
            fragments += it->second.overdraw;
            draws += it->second.draws;
        }
    }
    state.counters["raster ms"] = total;
    state.counters["fragments/px"] = fragments;
    state.counters["draws"] = draws;
    state.counters["quad ms"] = quadMs;
    state.counters["screens"] = quadMs > 0 ? total / quadMs : 0.0;
    std::fprintf(stderr, "  fragments per pixel %.3f, draws %.1f, quad %.3f ms, cost %.2f screens\n", fragments, draws,
                 quadMs, quadMs > 0 ? total / quadMs : 0.0);
}
BENCHMARK(BM_FramePasses)->DenseRange(1, 15)->Iterations(1)->Unit(benchmark::kMillisecond);

void MeasureOneThread(benchmark::State& state, bool timeAttack) {
    const int course = static_cast<int>(state.range(0));
    std::string report;
    for (auto _ : state) report = RunChild(course, true, timeAttack);
    double frame = 0, step = 0, quad = 0;
    if (std::sscanf(report.c_str(), "cpu|%lf|%lf|%lf", &frame, &step, &quad) != 3 || quad <= 0) {
        state.SkipWithError("the race could not be run");
        return;
    }
    state.counters["frame ms"] = frame;
    state.counters["step ms"] = step;
    state.counters["quad ms"] = quad;
    state.counters["screens"] = (frame - step) / quad;
    std::fprintf(stderr, "course %d%s on one thread: frame %.3f ms, step %.3f ms, quad %.3f ms, cost %.2f screens\n",
                 course, timeAttack ? " (Time Attack)" : "", frame, step, quad, (frame - step) / quad);
}

void BM_FrameOnOneThread(benchmark::State& state) { MeasureOneThread(state, false); }
BENCHMARK(BM_FrameOnOneThread)->DenseRange(1, 15)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same frames of a Time Attack: no computer cars, the ghost drawn just ahead of the player.
void BM_TimeAttackOnOneThread(benchmark::State& state) { MeasureOneThread(state, true); }
BENCHMARK(BM_TimeAttackOnOneThread)->DenseRange(1, 15)->Iterations(1)->Unit(benchmark::kMillisecond);

// The variant table, after every course has run.
struct VariantTable {
    ~VariantTable() {
        if (allVariants.empty()) return;
        std::fprintf(stderr, "\npipeline variants over every course (%s):\n%-48s %8s %12s %10s %8s\n",
                     BenchResolution().c_str(), "variant", "draws", "pixels", "ms", "ns/px");
        for (const auto& kv : allVariants) {
            char words[160];
            GfxDescribeProgramKey(kv.first, words, sizeof(words));
            const Totals& t = kv.second;
            std::fprintf(stderr, "%-48s %8llu %12llu %10.1f %8.2f\n", words, static_cast<unsigned long long>(t.draws),
                         static_cast<unsigned long long>(t.samples), t.microseconds / 1000.0,
                         t.samples ? t.microseconds * 1000.0 / static_cast<double>(t.samples) : 0.0);
        }
    }
} variantTable;

}  // namespace
