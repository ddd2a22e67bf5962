// The Pad Key Config screen: "Exit " and the five pad actions, each with its button. The cursor
// moves only with the pad; Accept (Z, A or any pad button) on an action gives it the first pad
// button held down that it does not have yet, swapping with the action that had that button, so
// the five stay different. Go Back (X, S, Q only: every pad button assigns) and "Exit " return to
// the Option screen.
#pragma once

void PadConfigFrame();

// Gives `action` the pad input `button` (6..13); the action that had that button takes the
// action's old one. False, and nothing changed, when the action already has it or the button is
// not a pad button.
bool AssignPadButton(int action, int button);
// The first pad button (6..13) of the first pad that is down this frame and is not `action`'s
// button already; 0 when there is none.
int FirstNewPadButton(int action);
