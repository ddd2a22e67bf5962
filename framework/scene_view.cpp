#include "framework/scene_view.h"

#include "framework/graphics_device.h"

SceneView MakeSceneView(const D3DXMATRIX& view) {
    SceneView v;
    v.view = view;
    D3DXMatrixIdentity(&v.camera);
    D3DXMatrixInverse(&v.camera, nullptr, &v.view);
    v.screen = v.view * projectionMatrix * viewportMatrix;
    D3DXMatrixIdentity(&v.inverseScreen);
    D3DXMatrixInverse(&v.inverseScreen, nullptr, &v.screen);
    v.eye = D3DXVECTOR3(v.camera._41, v.camera._42, v.camera._43);
    return v;
}

SceneView SceneViewLookingAt(const D3DXVECTOR3& eye, const D3DXVECTOR3& at) {
    D3DXMATRIX view;
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    return MakeSceneView(view);
}

void SetSceneView(const SceneView& v) {
    viewMatrix = v.view;
    cameraMatrix = v.camera;
    screenMatrix = v.screen;
    inverseScreenMatrix = v.inverseScreen;
    if (!device) return;
    device->SetTransform(D3DTS_WORLD, &identityMatrix);
    device->SetTransform(D3DTS_VIEW, &v.view);
    device->SetTransform(D3DTS_PROJECTION, &projectionMatrix);
}

D3DXVECTOR3 ProjectThroughView(const SceneView& v, const D3DXVECTOR3& point) {
    return ProjectThrough(v.screen, v.view, point);
}
