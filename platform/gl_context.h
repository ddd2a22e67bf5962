// The OpenGL context the graphics device asks the window for, set before the window is made.
#pragma once

void SysRequestGlContext();
