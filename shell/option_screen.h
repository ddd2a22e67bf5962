// The Option screen: "Exit ", the nine settings in the order of their one declaration, each with
// its current label and speed hint, "Pad Config ", "Key Config " and "Rumble " (the pad's, ON or
// OFF). Accept steps the setting under the cursor (BGM Type also restarts the title's tune under
// the new music system); "Pad Config " and "Key Config " lead to their screens.
#pragma once

void OptionFrame();

// BGM Type after Accept on its row: 2 -> 1 -> 0 -> 2, but 0 -> 1 while the background-music
// library is unavailable.
int NextBgmType(int value, bool kbgmAvailable);
