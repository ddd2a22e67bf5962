// Sound effects (being built by the audio work).
#pragma once
bool InitDirectSound();
void FreeDirectSound();
