// Screenshots: the 640 x 480 frame as a PNG file, for the "--shot N:FILE.png" switch and for tests.
#pragma once
#include <cstdint>

// Writes what has been drawn into the frame so far; false (and logged) when the device is missing
// or the file cannot be written.
bool WriteScreenshot(const char* path);
// Writes RGBA pixels (top row first) as a PNG; false when the file cannot be written.
bool WritePng(const char* path, const uint8_t* rgba, int width, int height);
// Relative shot paths lead to the directory current now (InitDirect3D calls this before any
// loader enters the data directory).
void RememberShotDirectory();
// Writes every shot asked for this frame number; called by EndFrame.
void WriteShotsForFrame(uint32_t frame);
// Logs every shot asked for that no presented frame wrote (the run ended first, or that frame's
// scene drew nothing); called by FreeDirect3D.
void LogMissingShots();
