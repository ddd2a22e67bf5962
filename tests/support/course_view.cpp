#include "tests/support/course_view.h"

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
