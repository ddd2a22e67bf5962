// A picture for every refresh of a simulated display (--refresh with --headless --unpaced): the
// camera's travel from picture to picture is even at 75, 144 and 165 Hz on a steady stretch, every
// picture is a new one, and a race run so is the same race as one drawn once a step, to the bit:
// its states step by step, its replay, its ghost file and the save file written after it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/graphics_device.h"
#include "framework/switches.h"
#include "game/ghost_file.h"
#include "game/save_file.h"
#include "game/scene_flow.h"
#include "race/opponents.h"
#include "race/race_camera.h"
#include "race/race_state.h"
#include "race/replay.h"
#include "race/sparks.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"

namespace {

struct GameRun {
    int course;
    unsigned seed;
    int refreshHz;  // 0: one picture a step
    uint32_t smoothFrom;  // the steps before this one are drawn once each
    uint32_t steps;
    std::string input, out;
};

D3DXVECTOR3 EyeOf(const D3DXMATRIX& camera) { return D3DXVECTOR3(camera._41, camera._42, camera._43); }

// Each picture's camera (the one it was drawn with) and each step's, written as lines
// "P step x y z" and "S step x y z".
int RecordCameras(void* context) {
    const GameRun& run = *static_cast<GameRun*>(context);
    const bool started = StartGameInProcess(run.course, run.seed, MakeTempDir() + "/debug.txt");
    FILE* out = std::fopen(run.out.c_str(), "w");
    if (!started || !out) return 1;
    while (frameNumber < run.steps && PumpMessages()) {
        programOptions.refreshHz = frameNumber >= run.smoothFrom ? run.refreshHz : 0;
        const uint32_t presented = PresentCount(), step = frameNumber;
        RunFrame();
        if (frameNumber != step) {
            D3DXMATRIX camera;
            D3DXMatrixInverse(&camera, nullptr, &raceCamera.view);
            const D3DXVECTOR3 e = EyeOf(camera);
            std::fprintf(out, "S %u %.6f %.6f %.6f\n", step, e.x, e.y, e.z);
        }
        if (PresentCount() != presented) {
            const D3DXVECTOR3 e = EyeOf(cameraMatrix);
            std::fprintf(out, "P %u %.6f %.6f %.6f\n", frameNumber - 1, e.x, e.y, e.z);
        }
    }
    std::fclose(out);
    StopGameInProcess(started);
    return 0;
}

struct Sample {
    uint32_t step;
    D3DXVECTOR3 eye;
};

float Distance(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const D3DXVECTOR3 d = b - a;
    return D3DXVec3Length(&d);
}

double CoefficientOfVariation(const std::vector<float>& v) {
    double sum = 0, sq = 0;
    for (float x : v) sum += x;
    const double mean = sum / static_cast<double>(v.size());
    for (float x : v) sq += (x - mean) * (x - mean);
    return mean > 0 ? std::sqrt(sq / static_cast<double>(v.size())) / mean : 1e9;
}

void ExpectEvenTravel(int refreshHz) {
    // The countdown and the start drawn once a step, then the first straight at full speed
    // (from about step 410) at every refresh.
    GameRun run{1, 5, refreshHz, 380, 520, "", MakeTempDir() + "/cameras.txt"};
    ASSERT_EQ(RunInChildProcess(RecordCameras, &run), 0) << "the game did not run";
    std::vector<Sample> steps, pictures;
    std::ifstream in(run.out);
    char kind;
    Sample s;
    while (in >> kind >> s.step >> s.eye.x >> s.eye.y >> s.eye.z) (kind == 'S' ? steps : pictures).push_back(s);
    ASSERT_EQ(steps.size(), run.steps);

    // A second of racing where the car's camera travels the same distance every step.
    constexpr size_t kWindow = 60;
    size_t from = 0;
    for (size_t i = run.smoothFrom + 10; i + kWindow < steps.size() && !from; ++i) {
        std::vector<float> travel;
        for (size_t k = i + 1; k <= i + kWindow; ++k) travel.push_back(Distance(steps[k - 1].eye, steps[k].eye));
        if (travel[0] > 1.0f && CoefficientOfVariation(travel) < 0.01) from = i;
    }
    ASSERT_NE(from, 0u) << "no steady second in the race";
    const uint32_t first = steps[from].step + 1, last = steps[from + kWindow].step;

    // The pictures of that second, their travel from one to the next.
    std::vector<float> travel;
    int count = 0;
    const Sample* before = nullptr;
    for (const Sample& p : pictures) {
        if (p.step < first || p.step > last) continue;
        ++count;
        if (before) travel.push_back(Distance(before->eye, p.eye));
        before = &p;
    }
    const int expected = static_cast<int>((last - first + 1) * refreshHz / 60);
    EXPECT_NEAR(count, expected, 1) << refreshHz << " Hz";
    ASSERT_FALSE(travel.empty());
    for (float d : travel) EXPECT_GT(d, 0.0f) << refreshHz << " Hz: a picture repeated the one before";
    EXPECT_LE(CoefficientOfVariation(travel), 0.05) << refreshHz << " Hz";
}

TEST(SmoothPictures, TheCameraTravelsEvenlyFromPictureToPicture) {
    for (int hz : {144, 75, 165}) ExpectEvenTravel(hz);
}

struct Digest {
    uint64_t h = 1469598103934665603ull;
    void AddBytes(const void* data, size_t size) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
    }
    template <typename T>
    void Add(const T& v) {
        AddBytes(&v, sizeof v);
    }
};

uint64_t StepDigest() {
    const RaceState& r = raceState;
    Digest d;
    d.Add(r.heading), d.Add(r.driftAngle), d.Add(r.speed), d.Add(r.wheelSpin), d.Add(r.sideSpeed);
    d.Add(r.boostGauge), d.Add(r.boostTimer), d.Add(r.section), d.Add(r.lapsDone), d.Add(r.finished);
    d.Add(r.crystalsTaken), d.Add(r.lapMinutes), d.Add(r.lapMillis), d.Add(r.limitTime), d.Add(r.rank);
    d.Add(r.placement), d.Add(r.pose);
    for (int i = 0; i < MaxOpponents; ++i) d.Add(opponents[i].placement), d.Add(opponents[i].speed);
    for (const Spark& s : sparks) d.Add(s.life), d.Add(s.position);
    d.Add(raceCamera.view), d.Add(frameCount), d.Add(viewType), d.Add(frameProc);
    return d.h;
}

std::string FileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The race's states step by step until shortly after the finish, then the replay's record, the
// ghost file the finish wrote and a save file written then, as text lines.
int RecordRace(void* context) {
    const GameRun& run = *static_cast<GameRun*>(context);
    const std::string data = MakeTempDir();
    const bool started = StartGameInProcess(run.course, run.seed, MakeTempDir() + "/debug.txt", run.input, data);
    FILE* out = std::fopen(run.out.c_str(), "w");
    if (!started || !out) return 1;
    programOptions.refreshHz = run.refreshHz;
    int afterFinish = 0;
    while (frameNumber < run.steps && afterFinish < 60 && PumpMessages()) {
        const uint32_t step = frameNumber;
        RunFrame();
        if (frameNumber == step) continue;
        std::fprintf(out, "%llu\n", static_cast<unsigned long long>(StepDigest()));
        if (raceState.finished) ++afterFinish;
    }
    Digest replay;
    replay.Add(replayPlayer), replay.Add(replayOpponents), replay.Add(replaySupplyPresent), replay.Add(replayBoostPresent);
    const bool saved = WriteSaveFile();
    Digest ghost, save;
    const std::string ghostBytes = FileBytes(GhostFilePath(run.course)), saveBytes = FileBytes(SaveFilePath());
    ghost.AddBytes(ghostBytes.data(), ghostBytes.size());
    save.AddBytes(saveBytes.data(), saveBytes.size());
    std::fprintf(out, "finished %d saved %d ghost %zu bytes\nreplay %llu\nghost %llu\nsave %llu\n", raceState.finished,
                 saved, ghostBytes.size(), static_cast<unsigned long long>(replay.h),
                 static_cast<unsigned long long>(ghost.h), static_cast<unsigned long long>(save.h));
    std::fclose(out);
    StopGameInProcess(started);
    return 0;
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Course 14 has one lap. The script pauses and resumes, changes the view there and back, and the
// automatic driver finishes the race; the replay is recorded and the ghost kept on the way.
TEST(SmoothPictures, ARaceDrawnAtEveryRefreshIsTheSameRace) {
    const std::string input = MakeTempDir() + "/keys.txt";
    FILE* f = std::fopen(input.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("700 down Q\n701 up Q\n760 down Q\n761 up Q\n900 down V\n901 up V\n1100 down V\n1101 up V\n", f);
    std::fclose(f);
    GameRun smooth{14, 9, 144, 0, 4000, input, MakeTempDir() + "/smooth.txt"};
    GameRun once{14, 9, 0, 0, 4000, input, MakeTempDir() + "/once.txt"};
    ASSERT_EQ(RunInChildProcess(RecordRace, &smooth), 0);
    ASSERT_EQ(RunInChildProcess(RecordRace, &once), 0);
    const std::vector<std::string> a = Lines(smooth.out), b = Lines(once.out);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_GT(a.size(), 1000u);
    for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], b[i]) << "line " << i;
    EXPECT_EQ(a[a.size() - 4].rfind("finished 1 saved 1 ghost ", 0), 0u) << a[a.size() - 4];
}

}  // namespace
