// Placements: a model matrix in the row-vector convention, rows right, up and forward (scaled) and
// the position. The game keeps where things are (the cars above all) in plain matrices of its own
// records and moves them with these routines; a Model applies the same routines to its own matrix,
// so a placement moved here and a model moved by its methods come out the same to the last bit.
#pragma once
#include "platform/math.h"

D3DXVECTOR3 PlacementPosition(const D3DXMATRIX& m);
D3DXVECTOR3 PlacementAxisX(const D3DXMATRIX& m);
D3DXVECTOR3 PlacementAxisY(const D3DXMATRIX& m);
D3DXVECTOR3 PlacementAxisZ(const D3DXMATRIX& m);
void SetPlacementPosition(D3DXMATRIX& m, const D3DXVECTOR3& p);

// A placement of that scale at (x, y, z), facing +z.
D3DXMATRIX MakePlacement(float x, float y, float z, float scale);
// Moves along the placement's own axes / along the world's (or parent's) axes.
void MoveLocal(D3DXMATRIX& m, float dx, float dy, float dz);
void MoveParent(D3DXMATRIX& m, float dx, float dy, float dz);
// Turns about the placement's own axes.
void RotateX(D3DXMATRIX& m, float angle);
void RotateY(D3DXMATRIX& m, float angle);
void RotateZ(D3DXMATRIX& m, float angle);
void RotateAxis(D3DXMATRIX& m, const D3DXVECTOR3& axis, float angle);
// Replaces the rotation by the three axes times the scale; the position is kept.
void SetPlacementAxes(D3DXMATRIX& m, const D3DXVECTOR3& x, const D3DXVECTOR3& y, const D3DXVECTOR3& z, float scale);
// Turns the forward axis towards a point, up as near world +y as it can be.
void LookAtPoint(D3DXMATRIX& m, const D3DXVECTOR3& target, float scale);
// The eight corners of a model-space box (see Model::corners) carried into the world.
void PlaceCorners(const D3DXMATRIX& world, const D3DXVECTOR3 box[8], D3DXVECTOR3 out[8]);
