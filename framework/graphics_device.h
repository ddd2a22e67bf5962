// The graphics device set-up (being built by the graphics device work).
#pragma once
bool InitDirect3D();
void FreeDirect3D();
