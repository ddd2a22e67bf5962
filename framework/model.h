// Models: a mesh placed in the world with its own matrix (scale included), an optional parent
// whose world matrix it follows, and the mesh's bounding-box corners for visibility tests.
#pragma once
#include "platform/math.h"

class Mesh;

class Model {
public:
    Model();
    virtual ~Model() = default;
    // Draws the mesh with the world matrix when there is a mesh and the model is visible.
    virtual void Draw();

    // Puts the model on a mesh at (x, y, z) with a uniform scale; the parent is kept.
    void Init(Mesh* mesh, float x, float y, float z, float scale);

    void SetScale(float newScale);
    // Moves along the model's own axes, in world units.
    void MoveLocal(float dx, float dy, float dz);
    // Moves along the parent's axes (by the offset divided by the model's scale).
    void MoveParent(float dx, float dy, float dz);
    void RotateX(float angle);
    void RotateY(float angle);
    void RotateZ(float angle);
    void RotateAxis(const D3DXVECTOR3& axis, float angle);
    // Turns the model's z axis towards a point (up stays as near +y as it can).
    void LookAt(float x, float y, float z);
    // Turns the model about the vertical axis only, to face a point in the x-z plane.
    void FaceTowards(float x, float y, float z);
    void SetOrientation(const D3DXVECTOR3& forward, const D3DXVECTOR3& up);

    // localMatrix times the parents' world matrices; localMatrix itself without a parent.
    D3DXMATRIX GetWorldMatrix();
    D3DXVECTOR3 GetPosition();
    D3DXVECTOR3 GetAxisX();
    D3DXVECTOR3 GetAxisY();
    D3DXVECTOR3 GetAxisZ();

    void DrawTranslucent();
    // The eight bounding-box corners in world space.
    void GetCorners(D3DXVECTOR3 out[8]);
    // True when the position or a corner projects in front of the camera within the screen
    // widened by 160 pixels on every side.
    bool IsOnScreen();

    Mesh* mesh = nullptr;
    Model* parent = nullptr;
    D3DXMATRIX localMatrix;
    D3DXMATRIX worldMatrix;
    float scale = 1.0f;
    float alpha = 0.5f;
    int visible = 0;
    // Model-space box corners: 0..3 at the largest x, 4..7 at the smallest, each four in the order
    // (max y, max z), (max y, min z), (min y, max z), (min y, min z).
    D3DXVECTOR3 corners[8];

private:
    D3DXVECTOR3 Row(int row);
    // Replaces the rotation part of localMatrix by the three axes, scaled; translation kept.
    void SetAxes(const D3DXVECTOR3& x, const D3DXVECTOR3& y, const D3DXVECTOR3& z);
};

// The test of Model::IsOnScreen for a box (model-space corners as in Model::corners) at a world
// placement: its position or a corner projects in front of the camera within the widened screen.
bool PlacedBoxOnScreen(const D3DXMATRIX& world, const D3DXVECTOR3 box[8]);
