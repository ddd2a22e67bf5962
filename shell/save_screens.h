// The Save and Load screens: "Exit " and "Save " (or "Load "), the result shown below the rows.
// A successful load also restarts the title's tune under the BGM Type it brought.
#pragma once

void SaveFrame();
void LoadFrame();
