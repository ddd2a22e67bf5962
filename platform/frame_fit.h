// Where the game's fixed-size frame goes in a window of any size: the largest picture of the
// frame's own shape (4:3 for 640 x 480) that fits, centred, the rest of the window black.
#pragma once

enum class FrameScaling {
    kSharp,   // whole pixels: the frame enlarged by whole steps (2x, 3x...) where one fits, nearest
              // filtering; a window smaller than the frame gets the frame shrunk to fit, filtered
    kSmooth,  // the frame fills the window's height or width, filtered
};

struct FrameFit {
    int x = 0, y = 0;           // top-left corner in the window's pixels
    int width = 0, height = 0;  // size of the picture; 0 x 0 when the window has no area
    bool nearest = false;       // scale without filtering
};

FrameFit FitFrame(int frameWidth, int frameHeight, int windowWidth, int windowHeight, FrameScaling scaling);

// How the graphics device presents its frame; the framework sets it from the player's settings.
void SetFrameScaling(FrameScaling scaling);
FrameScaling CurrentFrameScaling();

// A wide picture: the game's 480 lines at the shape of the target it is drawn into, so that the
// 640 x 480 layer of text and pictures stands whole in its centre and the 3D shows more to the
// sides. Its width in the layer's pixels (640 for a 4:3 target, 853.33 for 16:9).
float WidePictureWidth(int targetWidth, int targetHeight);
