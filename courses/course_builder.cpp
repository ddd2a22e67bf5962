#include "courses/course_builder.h"

#include "framework/debug_log.h"
#include "game/asset_tables.h"

VertexBuffer roadQuad[MaxSections];
VertexBuffer edgeStrip[MaxSections][4];
VertexBuffer miniMapBuffer;

namespace {

constexpr float kSceneryOffset = 192.0f;

}  // namespace

void BuildCourseSurfaces() {
    DeriveCourseSurfaces();
    const int n = courseGeometry.sectionCount;
    for (int s = 0; s < n; ++s) {
        roadQuad[s].Release();
        for (VertexBuffer& strip : edgeStrip[s]) strip.Release();
    }
    CourseVertex v[4];
    for (int s = 0; s < n; ++s) {
        MakeRoadQuadVertices(s, v);
        roadQuad[s].Create(v, CourseVertexFvf, sizeof(v));
    }
}

void WriteQuad(VertexBuffer& buffer, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c,
               const D3DXVECTOR3& d, const D3DXVECTOR3& nA, const D3DXVECTOR3& nB, const D3DXVECTOR3& nC,
               const D3DXVECTOR3& nD, uint32_t colour, float tilesAB, float tilesBD, float tilesCD,
               float tilesAC) {
    CourseVertex v[4];
    MakeQuadVertices(v, a, b, c, d, nA, nB, nC, nD, colour, tilesAB, tilesBD, tilesCD, tilesAC);
    buffer.Create(v, CourseVertexFvf, sizeof(v));
}

void BuildEdgeStrip(VertexBuffer& buffer, const D3DXVECTOR3& base0, const D3DXVECTOR3& base1,
                    const D3DXVECTOR3& normal0, const D3DXVECTOR3& dir0, const D3DXVECTOR3& normal1,
                    const D3DXVECTOR3& dir1, float topHeight, float topOffset, float bottomHeight,
                    float bottomOffset, float tileAlongBase, float tileAlongSide, uint32_t) {
    CourseVertex v[4];
    const StripProfile profile = {topHeight, topOffset, bottomHeight, bottomOffset, tileAlongBase, tileAlongSide};
    MakeEdgeStripVertices(v, base0, base1, normal0, dir0, normal1, dir1, profile);
    buffer.Create(v, CourseVertexFvf, sizeof(v));
}

void BuildSectionStrip(int s, int k, const StripProfile& profile) {
    CourseVertex v[4];
    MakeSectionStripVertices(s, k, profile, v);
    edgeStrip[s][k].Create(v, CourseVertexFvf, sizeof(v));
}

void BuildSectionStrips(const StripProfile& upper, const StripProfile& lower) {
    for (int s = 0; s < courseGeometry.sectionCount; ++s) {
        BuildSectionStrip(s, 0, upper);
        BuildSectionStrip(s, 1, upper);
        BuildSectionStrip(s, 2, lower);
        BuildSectionStrip(s, 3, lower);
    }
}

float YawTo(Model model, const D3DXVECTOR3& direction) {
    if (model.parent) {
        D3DXMATRIX parentWorld = model.parent->GetWorldMatrix();
        return YawToPlacement(model.localMatrix, &parentWorld, direction);
    }
    return YawToPlacement(model.localMatrix, nullptr, direction);
}

namespace {

void SetPosition(Model& model, const D3DXVECTOR3& p) {
    model.localMatrix._41 = p.x;
    model.localMatrix._42 = p.y;
    model.localMatrix._43 = p.z;
}

}  // namespace

void PlaceSceneryPool(Model* pool) {
    const CourseGeometry& g = courseGeometry;
    for (int s = 0; s < g.sectionCount; ++s) {
        const int t = NextSection(s);
        const D3DXVECTOR3 mid = BoundaryMid(s);
        Model& left = pool[2 * s];
        SetPosition(left, mid);
        left.RotateAxis(g.tiltAxis[2 * s], g.tiltAngle[2 * s]);
        const D3DXVECTOR3 toLeftEdge = (g.boundary[s].right - g.boundary[s].left) * -0.5f;
        const D3DXVECTOR3 outLeft = g.crossDir[s].start * -kSceneryOffset;
        left.MoveParent(toLeftEdge.x, toLeftEdge.y, toLeftEdge.z);
        left.MoveParent(outLeft.x, outLeft.y, outLeft.z);
        left.RotateY(YawTo(left, g.edgeDir[s].left));

        Model& right = pool[2 * s + 1];
        SetPosition(right, mid);
        right.RotateAxis(g.tiltAxis[2 * s + 1], g.tiltAngle[2 * s + 1]);
        const D3DXVECTOR3 toRightEdge = (g.boundary[t].right - g.boundary[t].left) * 0.5f;
        const D3DXVECTOR3 outRight = g.crossDir[s].end * kSceneryOffset;
        right.MoveParent(toRightEdge.x, toRightEdge.y, toRightEdge.z);
        right.MoveParent(outRight.x, outRight.y, outRight.z);
        right.RotateY(YawTo(right, g.edgeDir[s].right));
    }
}

int MarkCrystals(const int* sections, int slots, uint8_t* present) {
    int count = 0;
    for (int i = 0; i < slots; ++i) {
        if (sections[i] != -1) ++count;
    }
    const CourseGeometry& g = courseGeometry;
    for (int i = 0; i < count; ++i) {
        const int s = sections[i];
        // A slot naming a section the course does not have stays off the course.
        present[i] = s >= 0 && s < g.sectionCount;
        if (!present[i]) Log("crystal slot %d names section %d of %d\n", i, s, g.sectionCount);
    }
    return count;
}

void BuildMiniMap() {
    ComputeMiniMap();
    miniMapBuffer.Release();
    miniMapBuffer.Create(courseGeometry.miniMapVertices, MiniMapVertexFvf, sizeof(courseGeometry.miniMapVertices));
}

void PutSceneryPair(int s, int leftMesh, int rightMesh) {
    sceneryPool[2 * s].Init(&sceneryMeshes[leftMesh], 0.0f, 0.0f, 0.0f, 1.0f);
    sceneryPool[2 * s + 1].Init(&sceneryMeshes[rightMesh], 0.0f, 0.0f, 0.0f, 1.0f);
    courseGeometry.sceneryOn[2 * s] = 1;
    courseGeometry.sceneryOn[2 * s + 1] = 1;
}
