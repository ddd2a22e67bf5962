// The lights of the story prologue, the ending and the vehicle gallery: directional lights of a
// colour, and the second light (light 1), which only boards with at least two active lights get.
#pragma once
#include "platform/gfx.h"
#include "platform/math.h"

// A directional light shining along `direction` (normalised here) in the colour r, g, b.
D3DLIGHT8 DirectionalLight(const D3DXVECTOR3& direction, float r, float g, float b);
// Sets light 0 (the game's directional light) and switches it on.
void SetKeyLight(const D3DLIGHT8& light);
// Sets light 1 and switches it on when the board has a second light; off otherwise.
void SetSecondLight(const D3DLIGHT8& light);
// Light 1 off.
void SecondLightOff();
