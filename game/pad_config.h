// The pad button table: which pad state (6..13 = buttons 1..8) each of the five actions uses.
#pragma once

enum PadAction { kPadGas, kPadBrake, kPadBoost, kPadPause, kPadView, kPadActionCount };
extern int padButtons[kPadActionCount];

void ResetPadButtons();
// True when every entry lies in 6..13 and no two are equal (what the save file may hold).
bool PadButtonsValid(const int buttons[kPadActionCount]);
