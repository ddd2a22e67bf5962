// Smooth closed loops for the courses drawn from a few waves: a centre line r(angle) = 1 + the sum
// of the plan's waves, its points spaced evenly along the curve, with hills over the lap.
#pragma once

// One term of a closed curve: amplitude * sin(k * angle + phase).
struct Wave {
    float k, amplitude, phase;
};

// Writes the course's boundaries: the centre line run clockwise from +z with its points spaced
// evenly along the curve, so every section is lapLength / sections long; left and right at
// halfWidth either side; heights baseY + the hills' waves over the lap fraction (boundary 0 sits at
// baseY). The loop is moved so that boundary 0's centre is (0, baseY, 0).
void WriteSmoothLoop(const Wave* plan, int planCount, int sections, float lapLength, float halfWidth,
                     const Wave* hills, int hillCount, float baseY);

// The same with the wave tables given as arrays.
template <int PlanCount, int HillCount>
void WriteSmoothLoop(const Wave (&plan)[PlanCount], int sections, float lapLength, float halfWidth,
                     const Wave (&hills)[HillCount], float baseY) {
    WriteSmoothLoop(plan, PlanCount, sections, lapLength, halfWidth, hills, HillCount, baseY);
}
