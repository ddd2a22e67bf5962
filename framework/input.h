// Keyboard and pad input (being built by the input work).
#pragma once
bool InitDirectInput();
void FreeInput();
void UpdateInput();
void ClearInput();
