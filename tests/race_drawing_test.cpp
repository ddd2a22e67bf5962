// Drawing changes no game state: the same seeded race run twice in the test process, once drawn
// every frame and once with the device lost (every frame's drawing skipped, as on a machine whose
// device is gone), passes through the same race state frame by frame: cars, clocks, crystals,
// sparks, camera, texts and the scene chain, with a pause, a resume and both views on the way.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "courses/course_geometry.h"
#include "framework/application.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "race/crystals.h"
#include "race/opponents.h"
#include "race/race_camera.h"
#include "race/race_hud.h"
#include "race/race_state.h"
#include "race/sparks.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"

namespace {

struct Digest {
    uint64_t h = 1469598103934665603ull;
    template <typename T>
    void Add(const T& v) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(&v);
        for (size_t i = 0; i < sizeof(T); ++i) h = (h ^ p[i]) * 1099511628211ull;
    }
};

// Everything a frame's step leaves that the next frame or the screen depends on.
uint64_t RaceDigest() {
    const RaceState& r = raceState;
    Digest d;
    d.Add(r.heading), d.Add(r.driftAngle), d.Add(r.speed), d.Add(r.wheelSpin), d.Add(r.sideSpeed);
    d.Add(r.boostGauge), d.Add(r.boostTimer), d.Add(r.boostStock), d.Add(r.gaugeFill), d.Add(r.gripState);
    d.Add(r.section), d.Add(r.half), d.Add(r.lapCounter), d.Add(r.lapsDone), d.Add(r.finished);
    d.Add(r.crystalsTaken), d.Add(r.lapMinutes), d.Add(r.lapMillis), d.Add(r.limitTime), d.Add(r.bigTextTimer);
    d.Add(r.bigTextShown), d.Add(r.finalRank), d.Add(r.rank), d.Add(r.lift), d.Add(r.placement), d.Add(r.pose);
    d.Add(r.pauseCursor);
    for (int i = 0; i < MaxOpponents; ++i) {
        d.Add(opponents[i].placement), d.Add(opponents[i].speed), d.Add(opponents[i].heading), d.Add(opponents[i].section);
        d.Add(opponents[i].laps), d.Add(opponents[i].boostTimer), d.Add(opponents[i].wheelSpin);
    }
    for (const Spark& s : sparks) d.Add(s.life), d.Add(s.position);
    for (uint8_t p : supplyCrystalPresent) d.Add(p);
    for (uint8_t p : boostCrystalPresent) d.Add(p);
    for (Model& m : supplyCrystals) d.Add(m.localMatrix);
    d.Add(raceCamera.eye), d.Add(raceCamera.target), d.Add(raceCamera.view);
    d.Add(frameCount), d.Add(viewType), d.Add(frameProc);
    for (const char* c = bigText.text; *c; ++c) d.Add(*c);
    return d.h;
}

// The race's states frame by frame, drawn or with the device lost from the first frame on. Each run
// is a child process of its own, so both start from the program's first state (the race keeps
// things from one race to the next, such as the opponents' lanes).
struct RaceRun {
    int course;
    unsigned seed;
    uint32_t frames;
    bool lost;
    std::string input, out;
};

int RunRaceInChild(void* context) {
    const RaceRun& run = *static_cast<RaceRun*>(context);
    std::vector<uint64_t> states;
    const bool started = StartGameInProcess(run.course, run.seed, MakeTempDir() + "/debug.txt", run.input);
    if (started) {
        if (run.lost) device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
        while (frameNumber < run.frames && PumpMessages()) {
            RunFrame();
            states.push_back(RaceDigest());
        }
        if (run.lost) device->SetCooperativeLevelForTest(D3D_OK);
    }
    StopGameInProcess(started);
    FILE* f = std::fopen(run.out.c_str(), "wb");
    if (!f) return 1;
    std::fwrite(states.data(), sizeof(uint64_t), states.size(), f);
    std::fclose(f);
    return started ? 0 : 1;
}

std::vector<uint64_t> RunRace(int course, unsigned seed, uint32_t frames, bool lost, const std::string& input) {
    RaceRun run{course, seed, frames, lost, input, MakeTempDir() + "/states.bin"};
    EXPECT_EQ(RunInChildProcess(RunRaceInChild, &run), 0) << "the game did not run";
    std::vector<uint64_t> states;
    FILE* f = std::fopen(run.out.c_str(), "rb");
    if (!f) return states;
    uint64_t v;
    while (std::fread(&v, sizeof v, 1, f) == 1) states.push_back(v);
    std::fclose(f);
    return states;
}

void ExpectSameRace(int course, uint32_t frames) {
    const std::string input = MakeTempDir() + "/keys.txt";
    FILE* f = std::fopen(input.c_str(), "w");
    ASSERT_NE(f, nullptr);
    // Pause and resume, then the cockpit view and back.
    std::fputs("700 down Q\n701 up Q\n760 down Q\n761 up Q\n900 down V\n901 up V\n1200 down V\n1201 up V\n", f);
    std::fclose(f);
    const std::vector<uint64_t> drawn = RunRace(course, 21, frames, false, input);
    const std::vector<uint64_t> undrawn = RunRace(course, 21, frames, true, input);
    ASSERT_EQ(drawn.size(), undrawn.size());
    ASSERT_GT(drawn.size(), 0u);
    for (size_t k = 0; k < drawn.size(); ++k) ASSERT_EQ(drawn[k], undrawn[k]) << "course " << course << ", frame " << k;
}

// Course 14: one lap, a random ambient light every 20 frames; the whole race, the finish
// sequence and the curtains.
TEST(RaceDrawing, ChangesNoGameStateOnTheCourseWithRandomLights) { ExpectSameRace(14, 3900); }

// Course 1 at Render High: the sun's random flicker, the surf's sound.
TEST(RaceDrawing, ChangesNoGameStateOnTheCourseWithTheSunGlare) {
    renderLevel = 2;
    ExpectSameRace(1, 1600);
}

}  // namespace
