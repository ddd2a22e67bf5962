// The asset directory: loaders step into it and back out again. It is the first "data" directory
// found beside the executable, in the install prefix (PREFIX/share/korvan/data for a game in
// PREFIX/bin), or in the working directory, so the game runs from any directory, a desktop
// launcher's included.
#pragma once
#include <string>

// Enters the data directory; false (logged) when none is found, in which case the loads that
// follow fail one by one and LeaveDataDirectory stays where it is.
bool EnterDataDirectory();
void LeaveDataDirectory();
// The data directory as found now ("" when there is none), without entering it.
std::string FindDataDirectory();
