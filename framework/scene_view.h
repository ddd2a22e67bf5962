// A scene's view for one frame: the view matrix a scene's camera computed, and what follows from it
// (the camera's placement, the screen projection). A scene computes its view in its step and hands
// it to the device once, at the start of its drawing; routines that need the camera (the sky that
// travels with it, billboards, on-screen tests) read it from here, never back from the device.
#pragma once
#include "platform/math.h"

struct SceneView {
    D3DXMATRIX view;
    D3DXMATRIX camera;         // inverse of view: the camera's placement in the world
    D3DXMATRIX screen;         // view x projection x viewport: world to pixels
    D3DXMATRIX inverseScreen;
    D3DXVECTOR3 eye;           // the camera's position (camera's fourth row)
};

// The view of a look-at matrix with the device's projection.
SceneView MakeSceneView(const D3DXMATRIX& view);
// The view of a camera at `eye` looking at `at`, upright (up is +y).
SceneView SceneViewLookingAt(const D3DXVECTOR3& eye, const D3DXVECTOR3& at);
// Hands the view to the device (world identity, view, projection) and to the framework's camera
// matrices (viewMatrix, cameraMatrix, screenMatrix), which the 2D and billboard routines read.
void SetSceneView(const SceneView& view);
// Pixel coordinates of a world point seen through the view; z is 0 in front of the camera, -1
// behind (as ProjectToScreen).
D3DXVECTOR3 ProjectThroughView(const SceneView& view, const D3DXVECTOR3& point);
