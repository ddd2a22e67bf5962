#include "framework/model.h"

#include <cmath>

#include "framework/graphics_device.h"
#include "framework/mesh.h"
#include "framework/placement.h"

namespace {

// A parent chain longer than this is a loop made by mistake; the walk stops there.
constexpr int kMaxParentDepth = 64;

// The screen is widened by this many pixels on each side.
constexpr float kScreenMargin = 160.0f;

bool OnScreen(const D3DXVECTOR3& p) { return ProjectsOnScreen(p, kScreenMargin); }

}  // namespace

Model::Model() {
    D3DXMatrixIdentity(&localMatrix);
    D3DXMatrixIdentity(&worldMatrix);
    for (D3DXVECTOR3& c : corners) c = D3DXVECTOR3(0, 0, 0);
}

void Model::Init(Mesh* newMesh, float x, float y, float z, float newScale) {
    mesh = newMesh;
    scale = newScale;
    D3DXMatrixScaling(&localMatrix, newScale, newScale, newScale);
    localMatrix._41 = x;
    localMatrix._42 = y;
    localMatrix._43 = z;
    visible = 1;
    D3DXVECTOR3 lo = newMesh ? newMesh->boundsMin : D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 hi = newMesh ? newMesh->boundsMax : D3DXVECTOR3(0, 0, 0);
    for (int i = 0; i < 8; ++i) {
        corners[i] = D3DXVECTOR3(i < 4 ? hi.x : lo.x, (i & 2) == 0 ? hi.y : lo.y, (i & 1) == 0 ? hi.z : lo.z);
    }
}

void Model::SetScale(float newScale) {
    D3DXMATRIX s;
    float ratio = newScale / scale;
    D3DXMatrixScaling(&s, ratio, ratio, ratio);
    D3DXMatrixMultiply(&localMatrix, &s, &localMatrix);
    scale = newScale;
}

void Model::MoveLocal(float dx, float dy, float dz) { ::MoveLocal(localMatrix, dx / scale, dy / scale, dz / scale); }

void Model::MoveParent(float dx, float dy, float dz) { ::MoveParent(localMatrix, dx / scale, dy / scale, dz / scale); }

void Model::RotateX(float angle) { ::RotateX(localMatrix, angle); }
void Model::RotateY(float angle) { ::RotateY(localMatrix, angle); }
void Model::RotateZ(float angle) { ::RotateZ(localMatrix, angle); }
void Model::RotateAxis(const D3DXVECTOR3& axis, float angle) { ::RotateAxis(localMatrix, axis, angle); }

void Model::SetAxes(const D3DXVECTOR3& x, const D3DXVECTOR3& y, const D3DXVECTOR3& z) {
    SetPlacementAxes(localMatrix, x, y, z, scale);
}

void Model::LookAt(float x, float y, float z) { LookAtPoint(localMatrix, D3DXVECTOR3(x, y, z), scale); }

void Model::FaceTowards(float x, float, float z) {
    D3DXVECTOR3 position = GetPosition();
    float dx = x - position.x, dz = z - position.z;
    float yaw;
    if (dx > 0.0f) {
        yaw = D3DX_PI / 2.0f - std::atan(dz / dx);
    } else if (dx < 0.0f) {
        yaw = -std::atan(dz / dx) - D3DX_PI / 2.0f;
    } else {
        yaw = dz >= 0.0f ? 0.0f : -D3DX_PI;
    }
    D3DXMATRIX r;
    D3DXMatrixRotationY(&r, yaw);
    SetAxes(D3DXVECTOR3(r._11, r._12, r._13), D3DXVECTOR3(r._21, r._22, r._23), D3DXVECTOR3(r._31, r._32, r._33));
}

void Model::SetOrientation(const D3DXVECTOR3& forward, const D3DXVECTOR3& up) {
    D3DXVECTOR3 az, ax, ay;
    D3DXVec3Normalize(&az, &forward);
    D3DXVec3Cross(&ax, &up, &az);
    D3DXVec3Normalize(&ax, &ax);
    D3DXVec3Cross(&ay, &az, &ax);
    D3DXVec3Normalize(&ay, &ay);
    SetAxes(ax, ay, az);
}

D3DXMATRIX Model::GetWorldMatrix() {
    worldMatrix = localMatrix;
    int depth = 0;
    for (Model* p = parent; p && p != this && depth < kMaxParentDepth; p = p->parent, ++depth)
        D3DXMatrixMultiply(&worldMatrix, &worldMatrix, &p->localMatrix);
    return worldMatrix;
}

D3DXVECTOR3 Model::Row(int row) {
    const D3DXMATRIX& m = parent ? (GetWorldMatrix(), worldMatrix) : localMatrix;
    return D3DXVECTOR3(m.m[row][0], m.m[row][1], m.m[row][2]);
}

D3DXVECTOR3 Model::GetPosition() { return Row(3); }
D3DXVECTOR3 Model::GetAxisX() { return Row(0); }
D3DXVECTOR3 Model::GetAxisY() { return Row(1); }
D3DXVECTOR3 Model::GetAxisZ() { return Row(2); }

void Model::Draw() {
    if (!mesh || !visible) return;
    mesh->Draw(GetWorldMatrix());
}

void Model::DrawTranslucent() {
    if (!mesh || !visible) return;
    mesh->DrawWithAlpha(GetWorldMatrix(), alpha);
}

void Model::GetCorners(D3DXVECTOR3 out[8]) { PlaceCorners(GetWorldMatrix(), corners, out); }

bool Model::IsOnScreen() { return PlacedBoxOnScreen(GetWorldMatrix(), corners); }

bool PlacedBoxOnScreen(const D3DXMATRIX& world, const D3DXVECTOR3 box[8]) {
    if (OnScreen(PlacementPosition(world))) return true;
    D3DXVECTOR3 c[8];
    PlaceCorners(world, box, c);
    for (const D3DXVECTOR3& p : c)
        if (OnScreen(p)) return true;
    return false;
}
