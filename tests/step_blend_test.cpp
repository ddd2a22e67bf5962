// Pictures between steps: placements blend as rotations (no shearing or shrinking, the shorter
// arc, mirrors kept, the two ends exact), a held pair blends only across consecutive steps that
// are not cut, and the picture pacer places each refresh's picture on the steps' line: at 60 Hz
// one picture a step at the step itself, at other rates evenly between, late pictures dropped,
// the steps never held back, and no refresh missed behind the display's own wait.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "framework/picture_pacer.h"
#include "framework/step_blend.h"

namespace {

D3DXMATRIX Placed(float yaw, float scale, const D3DXVECTOR3& at) {
    D3DXMATRIX r, s;
    D3DXMatrixRotationY(&r, yaw);
    D3DXMatrixScaling(&s, scale, scale, scale);
    D3DXMATRIX m = s * r;
    m._41 = at.x, m._42 = at.y, m._43 = at.z;
    return m;
}

D3DXVECTOR3 Row(const D3DXMATRIX& m, int i) { return D3DXVECTOR3(m.m[i][0], m.m[i][1], m.m[i][2]); }

void ExpectNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tolerance) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], tolerance) << "element " << i << j;
}

TEST(StepBlend, PlacementsTurnAsRotationsBetweenTheirEnds) {
    const D3DXMATRIX a = Placed(0.2f, 2.0f, {0, 0, 0}), b = Placed(1.4f, 2.0f, {10, 4, -6});
    // Halfway: turned halfway, at the midpoint, every axis still of length 2 and square to the others.
    const D3DXMATRIX half = BlendPlacement(a, b, 0.5f);
    ExpectNear(half, Placed(0.8f, 2.0f, {5, 2, -3}), 1e-4f);
    for (int i = 0; i < 3; ++i) {
        const D3DXVECTOR3 r = Row(half, i), n = Row(half, (i + 1) % 3);
        EXPECT_NEAR(D3DXVec3Length(&r), 2.0f, 1e-4f);
        EXPECT_NEAR(D3DXVec3Dot(&r, &n), 0.0f, 1e-4f);
    }
    // The ends are the placements themselves, to the bit.
    const D3DXMATRIX at0 = BlendPlacement(a, b, 0.0f), at1 = BlendPlacement(a, b, 1.0f);
    EXPECT_EQ(std::memcmp(&at0, &a, sizeof a), 0);
    EXPECT_EQ(std::memcmp(&at1, &b, sizeof b), 0);

    // Across the half turn the shorter way round: from 3.0 to -3.0 passes through pi, not through 0.
    const D3DXMATRIX across = BlendPlacement(Placed(3.0f, 1.0f, {}), Placed(-3.0f, 1.0f, {}), 0.5f);
    EXPECT_NEAR(across._33, -1.0f, 1e-3f);

    // A mirrored tyre stays mirrored.
    D3DXMATRIX mirror, turned;
    D3DXMatrixScaling(&mirror, -1.0f, 1.0f, 1.0f);
    D3DXMatrixRotationX(&turned, 1.0f);
    const D3DXMATRIX m = BlendPlacement(mirror, mirror * turned, 0.5f);
    D3DXMatrixRotationX(&turned, 0.5f);
    ExpectNear(m, mirror * turned, 1e-4f);
}

TEST(StepBlend, AHeldPairBlendsOnlyConsecutiveStepsWithoutACut) {
    StepPair<int> pair;
    pictureFraction = 0.5f;
    pictureStep = 10;
    pair.Hold(1);
    EXPECT_FALSE(pair.Blends());  // nothing before it
    pictureStep = 11;
    pair.Hold(2);
    pair.Hold(2);  // the same step's second picture keeps the step before
    EXPECT_TRUE(pair.Blends());
    EXPECT_EQ(pair.before, 1);
    EXPECT_EQ(pair.now, 2);
    pictureStep = 13;  // step 12 had no picture
    pair.Hold(3);
    EXPECT_FALSE(pair.Blends());
    pictureStep = 14;
    MarkPictureCut();
    pair.Hold(4);
    EXPECT_FALSE(pair.Blends());
    pictureStep = 15;
    pair.Hold(5);
    EXPECT_TRUE(pair.Blends());
    pictureFraction = 1.0f;
    EXPECT_FALSE(pair.Blends());  // the picture at the step itself
}

// Simulated display: each turn is a refresh; a step turn's picture is the step's own.
struct Turn {
    bool step;
    float fraction;
};
std::vector<Turn> SimulatedTurns(int hz, int refreshes) {
    PicturePacer p;
    StartPictures(p, 100, hz, true, true);
    uint32_t next = 100;
    std::vector<Turn> turns;
    for (int i = 0; i < refreshes; ++i) {
        const PictureTurn t = NextPictureTurn(p, next);
        if (t.step) ++next;
        turns.push_back({t.step, t.fraction});
        RefreshPassed(p, true);
    }
    return turns;
}

TEST(PicturePacer, EachRefreshPictureStandsEvenlyOnTheStepsLine) {
    // 60 Hz: every refresh runs a step and shows it whole, as one picture a step always did.
    const std::vector<Turn> at60 = SimulatedTurns(60, 120);
    for (size_t i = 1; i < at60.size(); ++i) {
        EXPECT_TRUE(at60[i].step) << i;
        EXPECT_EQ(at60[i].fraction, 1.0f) << i;
    }
    // 120 Hz: the step's picture halfway, then the step whole.
    const std::vector<Turn> at120 = SimulatedTurns(120, 40);
    for (size_t i = 1; i < at120.size(); ++i) {
        EXPECT_EQ(at120[i].step, i % 2 == 1) << i;
        EXPECT_FLOAT_EQ(at120[i].fraction, i % 2 == 1 ? 0.5f : 1.0f) << i;
    }
    // 144 Hz: 144 pictures a second on 60 steps, each 60/144 of a step on from the one before.
    const std::vector<Turn> at144 = SimulatedTurns(144, 1 + 144);
    int steps = 0;
    for (size_t i = 1; i < at144.size(); ++i) {
        steps += at144[i].step;
        const double place = static_cast<double>(steps - 1) + at144[i].fraction;
        EXPECT_NEAR(place, static_cast<double>(i) * 60.0 / 144.0, 1e-5) << i;
    }
    EXPECT_EQ(steps, 60);
}

int64_t fakeNow = 0;
int64_t sleepOvershoot = 0;  // the system's sleeps end a little after the time asked for
int64_t FakeClock() { return fakeNow; }
void FakeSleep(int64_t ns) { fakeNow += ns + sleepOvershoot; }

// A second at 120 Hz where each picture costs `pictureMs` and each step 1 ms more (its own picture
// and its logic): the steps run 60 a second; how many ended late, and the pictures shown and dropped.
struct PacedSecond {
    uint32_t steps;
    int late;
    long shown, dropped;
    bool restarted;
};
int64_t pictureNs = 0, firstPictureNs = 0;
void CostlyDraw() {
    fakeNow += firstPictureNs > 0 ? firstPictureNs : pictureNs;
    firstPictureNs = 0;
}

// `overshootUs`: each sleep ends that late; `firstPictureMs`: the first picture between steps
// alone takes that long (a one-off stall).
bool StillDrawing() { return false; }
PacedSecond PaceOneSecond(int pictureMs, int overshootUs = 0, int firstPictureMs = 0, bool rasteriserBehind = false) {
    PicturePacer p;
    p.clock = FakeClock;
    p.sleep = FakeSleep;
    if (rasteriserBehind) p.lastPictureDrawn = StillDrawing;
    fakeNow = 5 * kNsPerSecond;
    pictureNs = pictureMs * 1000000LL;
    sleepOvershoot = overshootUs * 1000LL;
    firstPictureNs = firstPictureMs * 1000000LL;
    StartPictures(p, 0, 120, false, true);
    PacedSecond r{0, 0, 0, 0, false};
    while (fakeNow < 6 * kNsPerSecond) {
        const PictureTurn t = NextPictureTurn(p, r.steps);
        r.restarted = r.restarted || t.restarted;
        if (t.step) {
            const int64_t started = fakeNow;
            fakeNow += pictureNs + 1000000;
            NoteStepCost(p, fakeNow - started);
            r.late += StepEndedLate(p, r.steps);
            ++r.steps;
            RefreshPassed(p, true);
        } else {
            RefreshPassed(p, DrawPictureBetween(p, r.steps, CostlyDraw));
        }
    }
    r.shown = p.pictures;
    r.dropped = p.dropped;
    return r;
}

TEST(PicturePacer, SlowPicturesAreDroppedWhileTheStepsKeepTheirTime) {
    // Pictures that fit: every refresh gets one.
    const PacedSecond quick = PaceOneSecond(3);
    EXPECT_NEAR(quick.steps, 60u, 1u);
    EXPECT_EQ(quick.late, 0);
    EXPECT_NEAR(quick.shown, 120, 2);
    EXPECT_LE(quick.dropped, 1);
    // Pictures that take longer than a refresh: the steps still keep their time, the refreshes
    // between them show the picture before.
    const PacedSecond slow = PaceOneSecond(12);
    EXPECT_NEAR(slow.steps, 60u, 1u);
    EXPECT_EQ(slow.late, 0);
    EXPECT_FALSE(slow.restarted);
    EXPECT_GE(slow.dropped, 50);
    // Every refresh of the second either showed a new picture or the one before again.
    EXPECT_NEAR(slow.shown + slow.dropped, 120, 2);
    EXPECT_NEAR(quick.shown + quick.dropped, 120, 2);
    sleepOvershoot = 0;
}

TEST(PicturePacer, QuickPicturesAreDrawnOnARealClockAndAfterAStall) {
    // Sleeps that end a tenth of a millisecond late, as the system's do: the half step between
    // a step's picture and the next step still takes a quick picture.
    const PacedSecond overshoot = PaceOneSecond(3, 100);
    EXPECT_EQ(overshoot.late, 0);
    EXPECT_GE(overshoot.shown, 115);
    // One picture that stalled for 30 ms: the pictures after it come back at once.
    const PacedSecond stalled = PaceOneSecond(3, 100, 30);
    EXPECT_LE(stalled.late, 2);
    EXPECT_GE(stalled.shown, 110);
    // A rasteriser still busy with the picture before: none is queued behind it.
    const PacedSecond behind = PaceOneSecond(3, 100, 0, true);
    EXPECT_LE(behind.shown, 61);
    EXPECT_GE(behind.dropped, 59);
    // Pictures that never fit keep being dropped, and the steps keep their time.
    const PacedSecond slow = PaceOneSecond(12, 100);
    EXPECT_EQ(slow.late, 0);
    EXPECT_GE(slow.dropped, 55);
    sleepOvershoot = 0;
}

// A display whose wait ends a little before the refresh the pacer foresaw (it runs at 146 Hz and
// says 144): every refresh still gets its picture, none is missed by sleeping past it.
TEST(PicturePacer, BehindTheDisplaysWaitNoRefreshIsMissed) {
    PicturePacer p;
    p.clock = FakeClock;
    p.sleep = FakeSleep;
    fakeNow = 0;
    const int64_t vblank = kNsPerSecond / 146;
    StartPictures(p, 0, 144, false, false);
    uint32_t steps = 0;
    while (fakeNow < 2 * kNsPerSecond) {
        if (NextPictureTurn(p, steps).step) ++steps;
        fakeNow += 2000000;                           // the picture
        fakeNow = (fakeNow / vblank + 1) * vblank;    // the present waits for the next refresh
        RefreshPassed(p, true);
    }
    EXPECT_NEAR(p.pictures, 2 * 146, 2);
    EXPECT_NEAR(steps, 120u, 2u);
}

}  // namespace
