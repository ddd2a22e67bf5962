#include "shell/scene_lights.h"

#include "framework/graphics_device.h"

D3DLIGHT8 DirectionalLight(const D3DXVECTOR3& direction, float r, float g, float b) {
    D3DLIGHT8 l{};
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Diffuse = D3DCOLORVALUE{r, g, b, 1.0f};
    D3DXVECTOR3 d;
    D3DXVec3Normalize(&d, &direction);
    l.Direction = d;
    l.Range = 1000.0f;
    return l;
}

void SetKeyLight(const D3DLIGHT8& light) {
    light0 = light;
    EnableLight(true);
    if (device) device->SetLight(0, &light);
}

void SetSecondLight(const D3DLIGHT8& light) {
    if (!device) return;
    device->SetLight(1, &light);
    device->LightEnable(1, maxActiveLights >= 2 ? 1 : 0);
}

void SecondLightOff() {
    if (device) device->LightEnable(1, 0);
}
