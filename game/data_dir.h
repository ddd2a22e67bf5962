// The asset directory: loaders step into "data" inside the working directory and back out again.
#pragma once

// Enters "data"; false (logged) when it is missing, in which case the loads that follow fail
// one by one and LeaveDataDirectory stays where it is.
bool EnterDataDirectory();
void LeaveDataDirectory();
