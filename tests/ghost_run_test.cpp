// The ghost of a run, in the whole game with the device lost (the race's steps, which drawing never
// changes): a finished race is kept as course 1's ghost with the positions the replay recorded,
// and the same race again (no faster) leaves the file byte for byte as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "courses/course_table.h"
#include "framework/application.h"
#include "framework/graphics_device.h"
#include "framework/placement.h"
#include "game/ghost_file.h"
#include "game/records.h"
#include "game/scene_flow.h"
#include "race/ghost_car.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "race/replay.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"
#include "tests/support/save_state.h"
#include "tests/support/scripted_session.h"

namespace {

struct GhostRunResult {
    std::string dataHome, script, out;
};

// What a child reports: finished, new record, frames recorded, frames off the ghost, frames off the
// replay's positions, frames the ghost was shown, the run's total, whether the records changed.
struct Report {
    int finished = 0, newRecord = 0, recorded = 0, offGhost = 0, offReplay = 0, shown = 0, total = 0, recordsChanged = 0;
};

bool SamePosition(const GhostFrame& f, const D3DXVECTOR3& p) { return f.x == p.x && f.y == p.y && f.z == p.z; }

// A whole race of course 1 by the automatic driver (with its computer cars): what it leaves as the
// ghost, against the replay's positions of the same frames.
int RunRace(void* context) {
    const GhostRunResult& g = *static_cast<GhostRunResult*>(context);
    const bool started = StartGameInProcess(1, 7, MakeTempDir() + "/debug.txt", g.script, g.dataHome);
    Report rep;
    if (started) {
        device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
        while (PumpMessages() && frameNumber < 40000 && !raceState.finished) RunFrame();
        rep.finished = raceState.finished;
        rep.recorded = static_cast<int>(ghostRecording.frames.size());
        GhostRun kept;
        if (ReadGhostFile(1, &kept)) {
            rep.newRecord = kept.frames.size() == ghostRecording.frames.size() &&
                            std::memcmp(kept.frames.data(), ghostRecording.frames.data(),
                                        kept.frames.size() * sizeof(GhostFrame)) == 0;
            rep.total = kept.totalMillis;
        }
        for (int f = 0; f < rep.recorded && f < kReplayFrames; ++f)
            if (!SamePosition(ghostRecording.frames[f], replayPlayer[f].position)) ++rep.offReplay;
        device->SetCooperativeLevelForTest(D3D_OK);
    }
    StopGameInProcess(started);
    FILE* f = std::fopen(g.out.c_str(), "w");
    if (!f) return 1;
    std::fprintf(f, "%d %d %d %d %d %d %d %d\n", rep.finished, rep.newRecord, rep.recorded, rep.offGhost, rep.offReplay,
                 rep.shown, rep.total, rep.recordsChanged);
    std::fclose(f);
    return started ? 0 : 1;
}

Report RunOnce(GhostRunResult& g, int (*body)(void*)) {
    g.out = MakeTempDir() + "/report.txt";
    Report rep;
    if (RunInChildProcess(body, &g) != 0) return rep;
    std::sscanf(ReadFile(g.out).c_str(), "%d %d %d %d %d %d %d %d", &rep.finished, &rep.newRecord, &rep.recorded,
                &rep.offGhost, &rep.offReplay, &rep.shown, &rep.total, &rep.recordsChanged);
    return rep;
}

}  // namespace

TEST(GhostRun, AFinishedRaceIsKeptAsTheGhostWithTheRunsPositions) {
    GhostRunResult g;
    g.dataHome = MakeTempDir();
    g.script = WriteInputScript("# no keys\n");
    const Report race = RunOnce(g, RunRace);
    ASSERT_EQ(race.finished, 1);
    EXPECT_GT(race.recorded, 1000);
    EXPECT_EQ(race.newRecord, 1) << "the ghost file does not hold the recorded run";
    EXPECT_EQ(race.offReplay, 0) << "the ghost's positions are not the run's";
    const std::string path = g.dataHome + "/korvan/ghosts/course01.ghost";
    const std::string kept = ReadFile(path);
    ASSERT_EQ(kept.size(), kGhostHeaderBytes + race.recorded * kGhostFrameBytes + kGhostCheckBytes);
    // The same race again is no faster: the file stays as it was.
    const Report again = RunOnce(g, RunRace);
    ASSERT_EQ(again.finished, 1);
    EXPECT_EQ(again.total, race.total);
    EXPECT_EQ(ReadFile(path), kept);
}
