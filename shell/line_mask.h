// The black bars that reveal and hide a line of text in the story prologue and the ending: one bar
// over the upper half of the line and one over the lower half, the upper one leading, so the edge
// slants like the italic font and the line seems to be written out and wiped away.
#pragma once

struct LineMask {
    // Each bar covers x1 .. x2 of its half of the line; a bar with x1 >= x2 covers nothing.
    int upperX1, upperX2;
    int lowerX1, lowerX2;
};

// No bar at all.
LineMask NoLineMask();
// Revealing: at step s both bars run from their edge to the right of the screen, the lower edge at
// speed x s, the upper one `lead` pixels further on.
LineMask RevealLineMask(int s, int speed, int lead);
// Hiding: at step s both bars run from the left of the screen to speed x s minus their offsets.
LineMask HideLineMask(int s, int speed, int upperOffset, int lowerOffset);

// Draws the two bars in black over the line whose top is at y and whose halves are `half` pixels
// high.
void DrawLineMask(const LineMask& mask, int y, int half);
// The line of text at (x, y) in the shell font with its two bars over it: what the story and the
// ending show of their current line.
void DrawMaskedLine(int x, int y, const char* text, const LineMask& mask, int half);
