#include "courses/course_loop.h"

#include <cmath>

#include "courses/course_geometry.h"

void WriteSmoothLoop(const Wave* plan, int planCount, int sections, float lapLength, float halfWidth,
                     const Wave* hills, int hillCount, float baseY) {
    constexpr int kSamples = 20000;
    static float sx[kSamples + 1], sz[kSamples + 1], along[kSamples + 1];
    for (int i = 0; i <= kSamples; ++i) {
        const float a = kTwoPi * static_cast<float>(i) / kSamples;
        float r = 1.0f;
        for (int w = 0; w < planCount; ++w) r += plan[w].amplitude * std::sin(plan[w].k * a + plan[w].phase);
        sx[i] = r * std::sin(a);
        sz[i] = r * std::cos(a);
        along[i] = i == 0 ? 0.0f : along[i - 1] + std::hypot(sx[i] - sx[i - 1], sz[i] - sz[i - 1]);
    }
    const float scale = lapLength / along[kSamples];
    static float cx[MaxSections], cz[MaxSections];
    int j = 0;
    for (int s = 0; s < sections; ++s) {
        const float t = along[kSamples] * static_cast<float>(s) / static_cast<float>(sections);
        while (j + 1 < kSamples && along[j + 1] < t) ++j;
        const float f = (t - along[j]) / (along[j + 1] - along[j]);
        cx[s] = (sx[j] + f * (sx[j + 1] - sx[j])) * scale;
        cz[s] = (sz[j] + f * (sz[j + 1] - sz[j])) * scale;
    }
    // The loop is turned about its first point so that the road leaves the line along +z, as the
    // start gate and banner expect.
    const float ox = cx[0], oz = cz[0];
    const float hx = cx[1] - cx[sections - 1], hz = cz[1] - cz[sections - 1];
    const float hl = std::hypot(hx, hz);
    const float cosT = hz / hl, sinT = hx / hl;  // rotation taking (hx, hz) onto (0, hl)
    for (int s = 0; s < sections; ++s) {
        const float x = cx[s] - ox, z = cz[s] - oz;
        cx[s] = x * cosT - z * sinT;
        cz[s] = x * sinT + z * cosT;
    }
    ClearBoundaries();
    for (int s = 0; s < sections; ++s) {
        const int prev = (s + sections - 1) % sections, next = (s + 1) % sections;
        const float tx = cx[next] - cx[prev], tz = cz[next] - cz[prev];
        const float len = std::hypot(tx, tz);
        const float rx = tz / len, rz = -tx / len;  // right of the direction of travel
        const float u = kTwoPi * static_cast<float>(s) / static_cast<float>(sections);
        float y = baseY;
        for (int h = 0; h < hillCount; ++h) y += hills[h].amplitude * std::sin(hills[h].k * u + hills[h].phase);
        const float x = cx[s], z = cz[s];
        AddBoundary(D3DXVECTOR3(x - rx * halfWidth, y, z - rz * halfWidth),
                    D3DXVECTOR3(x + rx * halfWidth, y, z + rz * halfWidth));
    }
}
