#include "tests/support/course_view.h"

#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "game/data_dir.h"

CourseView LookFrom(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, const D3DXVECTOR3& up, int section,
                    int crystalRange, int frame) {
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    CourseView v;
    v.section = section;
    v.crystalRange = crystalRange;
    v.lapsDone = 0;
    v.frame = frame;
    v.paused = false;
    v.scene = MakeSceneView(view);
    SetSceneView(v.scene);
    return v;
}

void BuildStraightCourse() {
    currentCourse = 0;
    courseGeometry.sectionCount = 150;
    for (int s = 0; s < 150; ++s) {
        courseGeometry.boundary[s].left = D3DXVECTOR3(0, 0, 100.0f * s);
        courseGeometry.boundary[s].right = D3DXVECTOR3(200, 0, 100.0f * s);
    }
    BuildCourseSurfaces();
}

bool LoadTreeModel(Mesh& tree) {
    if (!EnterDataDirectory()) return false;
    const bool loaded = tree.Load("TreeL.x", 0xff000000u, 1);
    LeaveDataDirectory();
    return loaded;
}
