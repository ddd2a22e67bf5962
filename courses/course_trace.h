// A pen that draws a course's centre line leg by leg (straights and arcs with an eased rise, waves
// of hills and an eased change of width) and writes the boundary pairs from it. The loop is closed
// by spreading the pen's end-point error along the lap in proportion to distance, so a leg table
// whose turns add up to whole turns closes smoothly whatever small rounding it carries. The road
// lies flat across: L and R share the centre's height.
#pragma once
#include "platform/math.h"

// Starts a course at `start` heading `headingDeg` (0 = +z, 90 = +x) with the given half width.
void TraceBegin(const D3DXVECTOR3& start, float headingDeg, float halfWidth);

// One leg of `steps` boundaries, each `step` units on from the last: the heading turns by
// `turnDeg` over the leg (positive to the right), the height rises by `rise` (eased at both ends)
// with `waves` full hills of height `hump` on top, and the half width eases to `halfWidth`
// (0 keeps it). Returns the running boundary count after the leg.
int TraceLeg(int steps, float step, float turnDeg, float rise = 0.0f, float hump = 0.0f, int waves = 0,
             float halfWidth = 0.0f);

// The running boundary count so far.
int TraceCount();

// Closes the loop and writes every boundary through ClearBoundaries / AddBoundary. Returns the
// closing error spread over the lap (the distance the pen ended from the start).
float TraceEnd();
