// The Key Config screen, beside Pad Key Config: "Exit " and the seven race actions whose keys
// korvan.cfg holds, each with its keys. Accept (Z, A or Enter) on an action waits for a key:
// the next key pressed becomes the action's first key (a key another action had swaps over to
// it, as the pad's buttons do), Escape keeps the line as it was. The arrows, Enter and the menu
// keys keep driving the menus whatever the race's keys are. Each change is written to korvan.cfg
// at once. Go Back and "Exit " return to the Option screen.
#pragma once

void KeyConfigFrame();

// The first key (by scan code) just pressed this frame that a race action may take, DIK_ESCAPE
// when Escape was, 0 when none.
int FirstPressedKey();
