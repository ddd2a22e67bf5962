#include "platform/frame_fit.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<FrameScaling> frameScaling{FrameScaling::kSharp};
}  // namespace

FrameFit FitFrame(int frameWidth, int frameHeight, int windowWidth, int windowHeight, FrameScaling scaling) {
    FrameFit fit;
    if (frameWidth <= 0 || frameHeight <= 0 || windowWidth <= 0 || windowHeight <= 0) return fit;
    const int step = std::min(windowWidth / frameWidth, windowHeight / frameHeight);
    if (scaling == FrameScaling::kSharp && step >= 1) {
        // Every frame pixel becomes a step x step square: no pixel is wider than its neighbour.
        fit.width = frameWidth * step;
        fit.height = frameHeight * step;
        fit.nearest = true;
    } else {
        // The largest picture of the frame's shape; computed in 64 bits, any window size is safe.
        fit.width = windowWidth;
        fit.height = static_cast<int>(static_cast<long long>(windowWidth) * frameHeight / frameWidth);
        if (fit.height > windowHeight) {
            fit.height = windowHeight;
            fit.width = static_cast<int>(static_cast<long long>(windowHeight) * frameWidth / frameHeight);
        }
        // At exactly the frame's size filtering would change nothing but blur half-pixel offsets.
        fit.nearest = fit.width == frameWidth && fit.height == frameHeight;
    }
    fit.x = (windowWidth - fit.width) / 2;
    fit.y = (windowHeight - fit.height) / 2;
    return fit;
}

float WidePictureWidth(int targetWidth, int targetHeight) {
    if (targetWidth <= 0 || targetHeight <= 0) return 640.0f;
    return 480.0f * static_cast<float>(targetWidth) / static_cast<float>(targetHeight);
}

void SetFrameScaling(FrameScaling scaling) { frameScaling.store(scaling); }

FrameScaling CurrentFrameScaling() { return frameScaling.load(); }
