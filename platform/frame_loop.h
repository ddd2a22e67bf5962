// Who calls the game's frames. On the desktop the game's own loop runs them one after another,
// each sleeping to its slot in the 60 Hz schedule. In the browser the page calls back for every
// picture it shows (at the display's rate, or faster headless) and nothing may block: each call
// runs the frames whose time has come by the clock, none when the next is not yet due.
#pragma once

// Runs frame() until it returns false, then finish(). frameDue() says whether the next frame's
// slot has begun (asked only where the caller decides when frames run). Returns after finish()
// on the desktop; in the browser it returns at once and the page calls the frames from then on.
void SysRunFrameLoop(bool (*frameDue)(), bool (*frame)(), void (*finish)());

// True where the loop may block between frames (sleep to the schedule, wait for the window to
// come back); false in the browser.
bool SysFrameLoopBlocks();
