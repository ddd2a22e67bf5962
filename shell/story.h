// The story prologue, the attract sequence's first scene on boards with at least two active lights:
// KORVAN's body glides across the dark with its heart beating, while five lines of what grandpa once
// said are written out and wiped away beneath it; then the light swells, the screen goes black and
// the demonstration follows. A skip key leads to the title at any time.
#pragma once
#include <cstdint>

#include "shell/line_mask.h"

// The counter from 0, fog by Fog Type, ambient black, the directional light and light 1 on, the
// body at (-60, 0, 60) turned to glide across the view, the camera at (0, 20, -50) on the origin.
void StorySetUp();
void StoryFrame();
// The set-up and the scene together (the attract sequence's entry).
void StartStory();

constexpr int kStoryLineCount = 5;
constexpr int kStoryLineY = 384;
constexpr int kStoryFadeFrom = 1740;   // the body stops, the light swells, the screen fades out
constexpr int kStoryFadeTo = 1840;     // black from here on
constexpr int kStoryLastFrame = 1959;  // the demonstration follows this frame

struct StoryLine {
    const char* text;
    int x;
};
extern const StoryLine kStoryLines[kStoryLineCount];

// What the prologue shows at scene frame t, apart from where the body is.
struct StoryLook {
    int line;            // the line shown (0..4), -1 for none
    LineMask mask;       // the bars writing it out or wiping it away
    bool heartGlow;      // the enlarged copy of the body shows (the heartbeat)
    bool heartSound;     // "HeartBeat.wav" starts this frame
    int ambientLevel;    // grey level of the ambient light, 0..155
    float lightBoost;    // added to each channel of the directional light
    int overlayAlpha;    // the black over the whole picture, 0..255
};
StoryLook StoryLookAt(int t);
