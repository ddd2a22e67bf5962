#include "courses/course_trace.h"

#include <cmath>

#include "courses/course_geometry.h"

namespace {

constexpr float kDegToRad = 3.1415927f / 180.0f;
constexpr float kPi = 3.1415927f;

struct Pen {
    D3DXVECTOR3 point[MaxSections + 1];  // the centre of each boundary, then where the pen ended
    float halfWidth[MaxSections + 1];
    int count;                           // boundaries written so far
    float heading;                       // radians
    float width;
    bool full;
} pen;

float Ease(float t) { return 0.5f - 0.5f * std::cos(kPi * t); }

}  // namespace

void TraceBegin(const D3DXVECTOR3& start, float headingDeg, float halfWidth) {
    pen.count = 0;
    pen.heading = headingDeg * kDegToRad;
    pen.width = halfWidth;
    pen.full = false;
    pen.point[0] = start;
    pen.halfWidth[0] = halfWidth;
}

int TraceLeg(int steps, float step, float turnDeg, float rise, float hump, int waves, float halfWidth) {
    if (steps <= 0) return pen.count;
    const D3DXVECTOR3 from = pen.point[pen.count];
    const float fromWidth = pen.width;
    const float toWidth = halfWidth > 0.0f ? halfWidth : pen.width;
    const float turn = turnDeg * kDegToRad / static_cast<float>(steps);
    D3DXVECTOR3 p = from;
    for (int i = 1; i <= steps; ++i) {
        if (pen.count >= MaxSections) {
            pen.full = true;
            break;
        }
        // Each step runs along the heading at its middle: an arc becomes its chords.
        const float h = pen.heading + turn * 0.5f;
        pen.heading += turn;
        const float t = static_cast<float>(i) / static_cast<float>(steps);
        p.x += step * std::sin(h);
        p.z += step * std::cos(h);
        p.y = from.y + rise * Ease(t) + hump * 0.5f * (1.0f - std::cos(2.0f * kPi * static_cast<float>(waves) * t));
        ++pen.count;
        pen.point[pen.count] = p;
        pen.halfWidth[pen.count] = fromWidth + (toWidth - fromWidth) * Ease(t);
    }
    pen.width = toWidth;
    return pen.count;
}

int TraceCount() { return pen.count; }

float TraceEnd() {
    const int n = pen.count;
    ClearBoundaries();
    if (n < 2) return 0.0f;
    // Distance along the lap (in plan) to each boundary.
    static float along[MaxSections + 1];
    along[0] = 0.0f;
    for (int k = 1; k <= n; ++k) {
        const float dx = pen.point[k].x - pen.point[k - 1].x, dz = pen.point[k].z - pen.point[k - 1].z;
        along[k] = along[k - 1] + std::sqrt(dx * dx + dz * dz);
    }
    const D3DXVECTOR3 error = pen.point[n] - pen.point[0];
    const float total = along[n] > 0.0f ? along[n] : 1.0f;
    static D3DXVECTOR3 centre[MaxSections];
    for (int k = 0; k < n; ++k) centre[k] = pen.point[k] - error * (along[k] / total);
    for (int k = 0; k < n; ++k) {
        const D3DXVECTOR3& before = centre[k > 0 ? k - 1 : n - 1];
        const D3DXVECTOR3& after = centre[k + 1 < n ? k + 1 : 0];
        float tx = after.x - before.x, tz = after.z - before.z;
        const float len = std::sqrt(tx * tx + tz * tz);
        if (len > 0.0f) {
            tx /= len;
            tz /= len;
        }
        // Left of the direction of travel, seen from above with +x to the right of +z.
        const D3DXVECTOR3 left(-tz * pen.halfWidth[k], 0.0f, tx * pen.halfWidth[k]);
        AddBoundary(centre[k] + left, centre[k] - left);
    }
    return D3DXVec3Length(&error);
}
