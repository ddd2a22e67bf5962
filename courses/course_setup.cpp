#include "courses/course_setup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "courses/course_builder.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/music.h"
#include "framework/placement.h"
#include "game/tunes.h"
#include "game/asset_tables.h"
#include "game/data_dir.h"
#include "game/settings.h"

CourseFrameProc courseFrameProc = nullptr;
CourseFrameProc courseStepProc = nullptr;
CourseStart courseStart;
uint32_t courseClearColour = 0;

Texture roadTexture;
Texture upperStripTexture;
Texture lowerStripTexture;
Mesh background2Mesh;
Model background2Model;
Mesh extraBackgroundMeshes[2];
Model extraBackgroundModels[2];
VertexBuffer bannerQuad;
VertexBuffer groundQuad;

namespace {

constexpr float kBannerHalfWidth = 45.0f;
constexpr float kBannerBottom = 65.0f;
constexpr float kBannerTop = 105.0f;
constexpr float kBannerBeforeLine = 21.0f;
constexpr int kLightsToDisable = 9;  // lights 1 to 9; light 0 is the course's sun

DWORD FloatBits(float f) {
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

void SetFogAndLight(const CourseInfo& info) {
    if (!device) return;
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    SetCourseFog(info.fogColour, info.fogStart, info.fogEnd);
    device->SetRenderState(D3DRS_AMBIENT, info.ambient);
    SetDirectionalLight(info.lightDirection[0], info.lightDirection[1], info.lightDirection[2],
                        info.lightColour[0], info.lightColour[1], info.lightColour[2], info.lightColour[3]);
}

// Steps 7 to 11, inside the data directory.
void LoadCourseFiles(const CourseInfo& info) {
    EnterDataDirectory();
    SwitchTune(info.music);
    roadTexture.LoadFromFile(info.roadTexture, 0, 1);
    upperStripTexture.LoadFromFile(info.upperStripTexture, 0xff000000u, 1);
    lowerStripTexture.LoadFromFile(info.lowerStripTexture, 0xff000000u, 1);
    backgroundMesh.Load(info.backgroundMesh, 0, 1);
    backgroundModel.Init(&backgroundMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    background2Mesh.Load(info.background2Mesh, 0, 1);
    background2Model.Init(&background2Mesh, 0.0f, 0.0f, 0.0f, 1.0f);
    if (info.routines->loadExtras) info.routines->loadExtras();
    gateModel.Init(&gateMesh, info.gatePosition.x, info.gatePosition.y, info.gatePosition.z, 1.0f);
    LeaveDataDirectory();
}

void ResetSceneryPool(int fromModel) {
    for (int m = fromModel; m < kSceneryPoolSize; ++m) {
        sceneryPool[m].Init(&sceneryMeshes[0], 0.0f, 0.0f, 0.0f, 1.0f);
        courseGeometry.sceneryOn[m] = 0;
    }
}

void WriteCourseSlots(const CourseInfo& info) {
    CourseGeometry& g = courseGeometry;
    for (int i = 0; i < SupplyCrystalSlots; ++i) g.supplyCrystalSection[i] = info.supplyCrystals[i];
    for (int i = 0; i < BoostCrystalSlots; ++i) g.boostCrystalSection[i] = info.boostCrystals[i];
    g.boostSectionA = info.boostSectionA;
    g.boostSectionB = info.boostSectionB;
}

// A 90 x 40 sign facing -z, 21 units before boundary 0 and 65 above the road.
// The gate's pillars stand just outside a 200-wide road; on a wider line the whole gate is scaled
// up so that they stay off the road.
void FitGateToRoad(const CourseInfo& info) {
    constexpr float kGateSpan = 200.0f;
    const D3DXVECTOR3 across = courseGeometry.boundary[0].right - courseGeometry.boundary[0].left;
    const float width = D3DXVec3Length(&across);
    const float scale = width > kGateSpan ? width / kGateSpan : 1.0f;
    gateModel.Init(&gateMesh, info.gatePosition.x, info.gatePosition.y, info.gatePosition.z, scale);
}

void BuildBanner() {
    const D3DXVECTOR3 c = BoundaryMid(0);
    const float z = courseGeometry.boundary[0].left.z - kBannerBeforeLine;
    const float x0 = c.x - kBannerHalfWidth, x1 = c.x + kBannerHalfWidth;
    const float y0 = c.y + kBannerBottom, y1 = c.y + kBannerTop;
    const CourseVertex v[4] = {
        {x0, y1, z, 0, 0, -1, 0xffffffffu, 0, 0},
        {x1, y1, z, 0, 0, -1, 0xffffffffu, 1, 0},
        {x0, y0, z, 0, 0, -1, 0xffffffffu, 0, 1},
        {x1, y0, z, 0, 0, -1, 0xffffffffu, 1, 1},
    };
    bannerQuad.Create(v, CourseVertexFvf, sizeof v);
}

float LaneFor(int m) { return static_cast<float>(std::rand() % m - (m - 1) / 2) / 100.0f; }

}  // namespace

void PlacePlayerAndOpponents(const CourseInfo& info) {
    const CourseGeometry& g = courseGeometry;
    const int last = g.sectionCount - 1;
    CourseStart& c = courseStart;
    c.section = last;
    c.half = 0;
    c.lapCounter = -1;
    c.lapsDone = -1;
    c.playerPosition = BoundaryMid(last);

    const int count = info.enemyCount < MaxOpponents ? info.enemyCount : MaxOpponents;
    c.enemyCount = count;
    for (int i = 0; i < count; ++i) {
        const int s = info.sideBySideGrid ? 1 : info.gridK - (info.gridK / count) * i;
        const int next = NextSection(s);
        Opponent& o = c.grid[i];
        o.laps = 0;
        o.section = s;
        o.half = 0;
        o.wheelSpin = 0.0f;
        o.steer = 0;
        // The side-by-side grid stands each car on its own lane across the line's road (and aims
        // it along that lane); otherwise all would stand on one point.
        if (info.sideBySideGrid) o.lane = static_cast<float>(40 - 10 * i) / 100.0f;
        const D3DXVECTOR3 across = g.boundary[s].right - g.boundary[s].left;
        const float gridLane = info.sideBySideGrid ? o.lane : 0.0f;
        // Upright on the grid: the orientation left from the previous race is dropped.
        const D3DXVECTOR3 p = BoundaryMid(s) + across * gridLane + D3DXVECTOR3(0.0f, 1.0f, 0.0f);
        D3DXMATRIX& body = o.placement;
        body = MakePlacement(p.x, p.y, p.z, 1.0f);
        RotateAxis(body, g.tiltAxis[2 * s], g.tiltAngle[2 * s]);
        const D3DXVECTOR3 aim = BoundaryMid(next) + (g.boundary[next].right - g.boundary[next].left) * o.lane;
        o.heading = YawToPlacement(body, nullptr, aim - p);
        o.topSpeed = info.sideBySideGrid ? static_cast<float>(std::rand() % 300 + 1500) / 100.0f : OpponentTopSpeed(info, i);
        o.speed = o.topSpeed / 2.0f;
        o.boostTimer = 0;
        o.lane = info.sideBySideGrid ? static_cast<float>(40 - 10 * i) / 100.0f : LaneFor(info.laneM);
    }
    if (info.sideBySideGrid && count > 0) c.grid[0].topSpeed = 19.0f;
    c.grid[0].lane = 0.0f;
}

bool SetUpCourse(int course) {
    const CourseInfo* found = FindCourse(course);
    if (!found || !found->routines) {
        LogWarning("course set-up: course %d is not available\n", course);
        return false;
    }
    const CourseInfo& info = *found;
    const CourseRoutines& routines = *info.routines;

    courseFrameProc = routines.frame;
    courseStepProc = routines.step;
    currentCourse = course;
    courseStart.limitTime = info.limitSeconds * 1000;
    courseClearColour = info.clearColour;
    SetFogAndLight(info);
    courseStart.crystalRange = renderLevel * 10 + 10;
    LoadCourseFiles(info);
    ResetSceneryPool(0);
    if (device) {
        for (int i = 1; i <= kLightsToDisable; ++i) device->LightEnable(i, 0);
    }
    CourseGeometry& g = courseGeometry;
    for (int& slot : g.supplyCrystalSection) slot = -1;
    for (int& slot : g.boostCrystalSection) slot = -1;

    routines.writeBoundaryPoints();
    if (g.sectionCount < 2 || g.sectionCount > MaxSections) {
        Log("course set-up: course %d wrote %d sections\n", course, g.sectionCount);
        g.sectionCount = g.sectionCount < 2 ? 2 : MaxSections;
    }
    if (g.sectionCount != info.sections) {
        Log("course set-up: course %d has %d sections, its table says %d\n", course, g.sectionCount, info.sections);
    }
    WriteCourseSlots(info);
    ResetSceneryPool(2 * (g.sectionCount - 1));

    BuildBanner();
    FitGateToRoad(info);
    groundQuad.Release();
    if (routines.buildGround) routines.buildGround();
    BuildCourseSurfaces();
    if (routines.buildEdgeStrips) {
        routines.buildEdgeStrips();
    } else {
        BuildSectionStrips(info.upperStrips, info.lowerStrips);
    }
    if (routines.chooseScenery) routines.chooseScenery();
    PlaceSceneryPool(sceneryPool);
    ComputeCourseCentre();
    PlacePlayerAndOpponents(info);
    courseStart.supplyCrystalCount = MarkCrystals(g.supplyCrystalSection, SupplyCrystalSlots, courseStart.supplyCrystalPresent);
    courseStart.boostCrystalCount = MarkCrystals(g.boostCrystalSection, BoostCrystalSlots, courseStart.boostCrystalPresent);
    BuildMiniMap();
    return true;
}

void SetCourseFog(uint32_t colour, float start, float end) {
    if (!device) return;
    device->SetRenderState(D3DRS_FOGCOLOR, colour);
    if (fogType == 1) {
        device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    } else {
        // Table fog wins over vertex fog while it is set, so a switch back to vertex fog in the
        // options must also switch table fog off.
        device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
        device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    }
    device->SetRenderState(D3DRS_FOGSTART, FloatBits(start));
    device->SetRenderState(D3DRS_FOGEND, FloatBits(end));
}
