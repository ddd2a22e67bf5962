// Music (being built by the audio work).
#pragma once
bool InitDirectMusic();
void FreeDirectMusic();
