// Course set-up cost: building the geometry, road and strip buffers, scenery placement and mini map
// of course 1 and of a 1239-section course (the longest in the catalogue), and course 1's whole
// set-up with its file loads. Runs on the off-screen device so the buffers are really created.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>

#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "courses/course_list.h"
#include "courses/course_setup.h"
#include "framework/graphics_device.h"
#include "platform/system.h"
#include "game/asset_tables.h"
#include "game/data_dir.h"
#include "game/settings.h"

namespace {

bool DeviceReady() {
    static const bool ready = SysInit(true) && SysCreateWindow("course bench", 640, 480) && InitDirect3D();
    return ready;
}

// A closed loop of n boundaries: a wide oval with rolling hills and banking, 200 wide.
void SyntheticCourse(int n) {
    courseGeometry.sectionCount = n;
    const float pi = 3.1415927f;
    for (int s = 0; s < n; ++s) {
        const float a = 2.0f * pi * s / n;
        const float cx = 9000.0f * std::sin(a), cz = 6000.0f * std::cos(a);
        const float y = 64.0f + 120.0f * std::sin(7.0f * a);
        const float ox = std::sin(a + pi / 2) * 100.0f, oz = std::cos(a + pi / 2) * 100.0f;
        const float bank = 20.0f * std::sin(3.0f * a);
        courseGeometry.boundary[s].left = D3DXVECTOR3(cx - ox, y + bank, cz - oz);
        courseGeometry.boundary[s].right = D3DXVECTOR3(cx + ox, y - bank, cz + oz);
    }
}

void BuildGeometry() {
    BuildCourseSurfaces();
    BuildSectionStrips(StripProfile{64, 0, 0, 0, 64, 64}, StripProfile{-64, 0, 0, 0, 64, 64});
    PlaceSceneryPool(sceneryPool);
    ComputeCourseCentre();
    BuildMiniMap();
}

void BM_CourseOneGeometry(benchmark::State& state) {
    if (!DeviceReady()) state.SkipWithError("no off-screen device");
    currentCourse = 1;
    for (auto _ : state) {
        course01Routines.writeBoundaryPoints();
        BuildGeometry();
        benchmark::DoNotOptimize(courseGeometry.miniMapExtent);
    }
}
BENCHMARK(BM_CourseOneGeometry)->Unit(benchmark::kMillisecond);

void BM_LongCourseGeometry(benchmark::State& state) {
    if (!DeviceReady()) state.SkipWithError("no off-screen device");
    currentCourse = 7;
    for (auto _ : state) {
        SyntheticCourse(1239);
        BuildGeometry();
        benchmark::DoNotOptimize(courseGeometry.miniMapExtent);
    }
}
BENCHMARK(BM_LongCourseGeometry)->Unit(benchmark::kMillisecond);

// The surfaces alone, without any buffer: the arithmetic of the derivation.
void BM_LongCourseSurfacesOnly(benchmark::State& state) {
    SyntheticCourse(1239);
    for (auto _ : state) {
        DeriveCourseSurfaces();
        benchmark::DoNotOptimize(courseGeometry.tiltAngle[0]);
    }
}
BENCHMARK(BM_LongCourseSurfacesOnly)->Unit(benchmark::kMicrosecond);

void BM_CourseOneWholeSetUp(benchmark::State& state) {
    if (!DeviceReady()) state.SkipWithError("no off-screen device");
    static bool loaded = false;
    if (!loaded) {
        EnterDataDirectory();
        LoadTextures();
        LoadWorld();
        LeaveDataDirectory();
        loaded = true;
    }
    for (auto _ : state) {
        SetUpCourse(1);
        benchmark::DoNotOptimize(courseGeometry.sectionCount);
    }
}
BENCHMARK(BM_CourseOneWholeSetUp)->Unit(benchmark::kMillisecond);

// One frame of course 1's scenery routine at Render Level 0 (10-section window) and 2 (30 sections,
// lower strips, sun glare), seen from the grid, presented so the GPU work is counted.
void BM_CourseOneFrame(benchmark::State& state) {
    if (!DeviceReady()) state.SkipWithError("no off-screen device");
    EnterDataDirectory();
    LoadTextures();
    LoadWorld();
    LeaveDataDirectory();
    renderLevel = static_cast<int>(state.range(0));
    SetUpCourse(1);
    D3DXMATRIX look;
    const D3DXVECTOR3 eye(100, 100, -70), at(100, 74, 120), up(0, 1, 0);
    D3DXMatrixLookAtLH(&look, &eye, &at, &up);
    CourseView view{};
    view.section = courseStart.section;
    view.crystalRange = courseStart.crystalRange;
    view.scene = MakeSceneView(look);
    for (auto _ : state) {
        BeginFrame(0xff000000u);
        SetSceneView(view.scene);
        if (courseStepProc) courseStepProc(view);
        courseFrameProc(view);
        state.counters["draws"] = device->DrawCallCount();
        EndFrame();
    }
    renderLevel = 0;
}
BENCHMARK(BM_CourseOneFrame)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

// The same frame without the course: what beginning, clearing and presenting cost alone.
void BM_EmptyFrame(benchmark::State& state) {
    if (!DeviceReady()) state.SkipWithError("no off-screen device");
    for (auto _ : state) {
        BeginFrame(0xff000000u);
        EndFrame();
    }
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond);

}  // namespace
