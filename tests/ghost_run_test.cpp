// The ghost of a run, in the whole game with the device lost (the race's steps, which drawing never
// changes): a Time Attack run recorded from an input script is kept as course 1's ghost with the
// positions the replay recorded; the same script run again sits exactly on the ghost, frame by
// frame, and leaves the file byte for byte as it was (a tie is no record); a faster start replaces
// it and a slower one then leaves it alone. No record of the save file changes in any of them.
#include <gtest/gtest.h>

#include <cmath>
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
#include "race/time_attack.h"
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
    int offPose = 0;
    int limitMoved = 0;  // the limit time changed during the run
};

bool SamePosition(const GhostFrame& f, const D3DXVECTOR3& p) { return f.x == p.x && f.y == p.y && f.z == p.z; }

// The ghost's pose of a recorded frame against the car as the race drew it: the same turn of the
// body and the tyres (within the file's rounding), the body where the car's stood but for the
// car's shake along its up axis.
bool PoseMatches(const VehiclePose& ghost, const VehiclePose& car, float lift) {
    const float* g = &ghost.body._11;
    const float* c = &car.body._11;
    for (int i = 0; i < 12; ++i)
        if (std::fabs(g[i] - c[i]) > 2e-3f) return false;
    const D3DXVECTOR3 shaken = PlacementPosition(ghost.body) + PlacementAxisY(car.body) * lift;
    const D3DXVECTOR3 gap = shaken - PlacementPosition(car.body);
    if (D3DXVec3Length(&gap) > 1e-2f) return false;
    for (int t = 0; t < 4; ++t) {
        const float* gt = &ghost.tires[t]._11;
        const float* ct = &car.tires[t]._11;
        for (int i = 0; i < 16; ++i)
            if (std::fabs(gt[i] - ct[i]) > 2e-3f) return false;
    }
    return true;
}

// The child's findings, one line for the parent to read back.
int WriteReport(const std::string& out, const Report& rep, bool started) {
    FILE* f = std::fopen(out.c_str(), "w");
    if (!f) return 1;
    std::fprintf(f, "%d %d %d %d %d %d %d %d %d %d\n", rep.finished, rep.newRecord, rep.recorded, rep.offGhost,
                 rep.offReplay, rep.shown, rep.total, rep.recordsChanged, rep.offPose, rep.limitMoved);
    std::fclose(f);
    return started ? 0 : 1;
}

int RunTimeAttack(void* context) {
    const GhostRunResult& g = *static_cast<GhostRunResult*>(context);
    const bool started = StartGameInProcess(1, 11, MakeTempDir() + "/debug.txt", g.script, g.dataHome);
    Report rep;
    if (started) {
        device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
        const CourseRecord before = records[1];
        StartTimeAttack(1);
        const bool hadGhost = timeAttack.hasGhost;
        const int limit = raceState.limitTime;
        while (PumpMessages() && frameNumber < 40000 && timeAttack.active) {
            const bool racing = frameProc == RaceFrame && !raceState.finished;
            RunFrame();
            if (raceState.finished) break;
            if (!racing || frameProc != RaceFrame) continue;
            // The frame just stepped was recorded under frameCount - 1.
            const int f = frameCount - 1;
            const D3DXVECTOR3 p = PlacementPosition(raceState.placement);
            if (hadGhost && (f >= static_cast<int>(raceGhost.frames.size()) || !SamePosition(raceGhost.frames[f], p)))
                ++rep.offGhost;
            if (ghostView.shown) ++rep.shown;
            if (f < static_cast<int>(ghostRecording.frames.size()) &&
                !PoseMatches(GhostPose(ghostRecording.frames[f]), raceState.pose, raceState.lift))
                ++rep.offPose;
        }
        // A camera inside the ghost's body (the cockpit view on the ghost's line) does not see it.
        if (hadGhost && raceGhost.frames.size() > 100) {
            const GhostFrame& g100 = raceGhost.frames[100];
            PlaceGhost(100, D3DXVECTOR3(g100.x, g100.y + 8.0f, g100.z));
            if (ghostView.shown) rep.shown = -1;
        }
        rep.limitMoved = raceState.limitTime != limit;
        if (raceState.finished) {
            rep.finished = 1;
            rep.newRecord = timeAttack.newRecord;
            rep.recorded = static_cast<int>(ghostRecording.frames.size());
            for (int f = 0; f < rep.recorded && f < kReplayFrames; ++f)
                if (!SamePosition(ghostRecording.frames[f], replayPlayer[f].position)) ++rep.offReplay;
            const RaceTime t = SumLapTimes(&raceState.lapTimeMinutes[1], &raceState.lapTimeMillis[1], CourseLaps(1));
            rep.total = t.minutes * 60000 + t.millis;
        }
        const CourseRecord& after = records[1];
        rep.recordsChanged = std::memcmp(&before, &after, sizeof before) != 0;
        device->SetCooperativeLevelForTest(D3D_OK);
    }
    StopGameInProcess(started);
    return WriteReport(g.out, rep, started);
}

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
    return WriteReport(g.out, rep, started);
}

Report RunOnce(GhostRunResult& g, int (*body)(void*) = RunTimeAttack) {
    g.out = MakeTempDir() + "/report.txt";
    Report rep;
    if (RunInChildProcess(body, &g) != 0) return rep;
    std::sscanf(ReadFile(g.out).c_str(), "%d %d %d %d %d %d %d %d %d %d", &rep.finished, &rep.newRecord,
                &rep.recorded, &rep.offGhost, &rep.offReplay, &rep.shown, &rep.total, &rep.recordsChanged, &rep.offPose,
                &rep.limitMoved);
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

TEST(GhostRun, ARecordedRunIsReplayedExactlyAndOnlyAFasterOneReplacesIt) {
    GhostRunResult g;
    g.dataHome = MakeTempDir();
    // The gas pressed in the countdown's rocket window and held to the start: a faster start.
    const std::string rocket = WriteInputScript(HoldAt(158, 120, "Z"));
    const std::string plain = WriteInputScript("# no keys: the automatic driver from a standing start\n");
    const std::string path = g.dataHome + "/korvan/ghosts/course01.ghost";

    g.script = plain;
    const Report first = RunOnce(g);
    ASSERT_EQ(first.finished, 1);
    EXPECT_EQ(first.newRecord, 1);
    EXPECT_GT(first.recorded, 1000);
    EXPECT_EQ(first.offReplay, 0) << "the ghost's positions are not the run's";
    EXPECT_EQ(first.recordsChanged, 0);
    EXPECT_EQ(first.offPose, 0) << "the ghost's car is not posed as the run's was";
    EXPECT_EQ(first.limitMoved, 0) << "a Time Attack's limit time ran or was extended";
    const std::string kept = ReadFile(path);
    ASSERT_EQ(kept.size(), kGhostHeaderBytes + first.recorded * kGhostFrameBytes + kGhostCheckBytes);

    const Report again = RunOnce(g);
    ASSERT_EQ(again.finished, 1);
    EXPECT_EQ(again.offGhost, 0) << "the ghost left the run that made it";
    EXPECT_GT(again.shown, again.recorded / 2) << "the ghost was hardly ever drawn";
    EXPECT_EQ(again.total, first.total);
    EXPECT_EQ(again.newRecord, 0);
    EXPECT_EQ(ReadFile(path), kept) << "a tie changed the ghost";

    g.script = rocket;
    const Report faster = RunOnce(g);
    ASSERT_EQ(faster.finished, 1);
    ASSERT_LT(faster.total, first.total);
    EXPECT_EQ(faster.newRecord, 1);
    const std::string replaced = ReadFile(path);
    EXPECT_NE(replaced, kept);

    g.script = plain;
    const Report slower = RunOnce(g);
    ASSERT_EQ(slower.finished, 1);
    EXPECT_EQ(slower.newRecord, 0);
    EXPECT_EQ(ReadFile(path), replaced) << "a slower run changed the ghost";
    std::printf("course 1: %d frames; standing start %d ms, rocket start %d ms\n", first.recorded, first.total,
                faster.total);
}
