#include "framework/placement.h"

namespace {
D3DXVECTOR3 Row(const D3DXMATRIX& m, int row) { return D3DXVECTOR3(m.m[row][0], m.m[row][1], m.m[row][2]); }

void TurnBy(D3DXMATRIX& m, const D3DXMATRIX& r) { D3DXMatrixMultiply(&m, &r, &m); }
}  // namespace

D3DXVECTOR3 PlacementPosition(const D3DXMATRIX& m) { return Row(m, 3); }
D3DXVECTOR3 PlacementAxisX(const D3DXMATRIX& m) { return Row(m, 0); }
D3DXVECTOR3 PlacementAxisY(const D3DXMATRIX& m) { return Row(m, 1); }
D3DXVECTOR3 PlacementAxisZ(const D3DXMATRIX& m) { return Row(m, 2); }

void SetPlacementPosition(D3DXMATRIX& m, const D3DXVECTOR3& p) {
    m._41 = p.x;
    m._42 = p.y;
    m._43 = p.z;
}

D3DXMATRIX MakePlacement(float x, float y, float z, float scale) {
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, scale, scale, scale);
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

void MoveLocal(D3DXMATRIX& m, float dx, float dy, float dz) {
    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, dx, dy, dz);
    D3DXMatrixMultiply(&m, &t, &m);
}

void MoveParent(D3DXMATRIX& m, float dx, float dy, float dz) {
    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, dx, dy, dz);
    D3DXMatrixMultiply(&m, &m, &t);
}

void RotateX(D3DXMATRIX& m, float angle) {
    D3DXMATRIX r;
    D3DXMatrixRotationX(&r, angle);
    TurnBy(m, r);
}

void RotateY(D3DXMATRIX& m, float angle) {
    D3DXMATRIX r;
    D3DXMatrixRotationY(&r, angle);
    TurnBy(m, r);
}

void RotateZ(D3DXMATRIX& m, float angle) {
    D3DXMATRIX r;
    D3DXMatrixRotationZ(&r, angle);
    TurnBy(m, r);
}

void RotateAxis(D3DXMATRIX& m, const D3DXVECTOR3& axis, float angle) {
    D3DXMATRIX r;
    D3DXMatrixRotationAxis(&r, &axis, angle);
    TurnBy(m, r);
}

void SetPlacementAxes(D3DXMATRIX& m, const D3DXVECTOR3& x, const D3DXVECTOR3& y, const D3DXVECTOR3& z, float scale) {
    const D3DXVECTOR3* axes[3] = {&x, &y, &z};
    for (int r = 0; r < 3; ++r) {
        m.m[r][0] = axes[r]->x * scale;
        m.m[r][1] = axes[r]->y * scale;
        m.m[r][2] = axes[r]->z * scale;
        m.m[r][3] = 0.0f;
    }
    m._44 = 1.0f;
}

void LookAtPoint(D3DXMATRIX& m, const D3DXVECTOR3& target, float scale) {
    D3DXVECTOR3 up(0, 1, 0), position = PlacementPosition(m);
    D3DXVECTOR3 az = target - position, ax, ay;
    D3DXVec3Normalize(&az, &az);
    D3DXVec3Cross(&ax, &up, &az);
    D3DXVec3Normalize(&ax, &ax);
    D3DXVec3Cross(&ay, &az, &ax);
    D3DXVec3Normalize(&ay, &ay);
    SetPlacementAxes(m, ax, ay, az, scale);
}

void PlaceCorners(const D3DXMATRIX& world, const D3DXVECTOR3 box[8], D3DXVECTOR3 out[8]) {
    for (int i = 0; i < 8; ++i) D3DXVec3TransformCoord(&out[i], &box[i], &world);
}
