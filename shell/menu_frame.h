// The frame every shell menu shares (title, Course Select, Records, Option, Pad Key Config, Save,
// Load): the title's world behind, a translucent selection bar, the caption and rows in the shell
// font, the blinking help; and the menu keys' common rules: the sounds, the cursor wrapping, the
// idle counter held at 540 by every move, and leaving for the title.
#pragma once

// Begins a menu frame: the step of the title's world, then the frame cleared to black with the
// world drawn (fog, light and lighting off afterwards). False when the device cannot draw this
// frame (the step still ran).
bool BeginMenuFrame();
// The same frame without the title world's step: a menu's picture drawn again between two steps.
bool BeginMenuPicture();
// The selection bar over row `row` (y 16 x (row + 15) to 16 x (row + 16)), from x 120 to `right`.
void DrawMenuBar(int row, int right);
// The caption at (40, 224) and the rows at x 120 from y 240, 16 apart (null rows are skipped).
void DrawMenuTexts(const char* caption, const char* const* rows, int rowCount);
// The blinking help: "\"Z\"Key To Accept " and, when asked, "\"X\"Key To Go Back ".
void DrawMenuHelp(bool accept, bool goBack);
// True during the visible part of the help's blink (the menu clock mod 1501 below 1000).
bool MenuHelpVisible();
// Ends and presents the menu frame.
void EndMenuFrame();

// A cursor move over `rows` rows with wrap-around: Slide.wav, and the idle counter held at 540.
// Returns the new row.
int MoveMenuCursor(int cursor, int step, int rows);
// Up or down pressed this frame moves menuCursor over `rows` rows (as MoveMenuCursor); true when
// one of them was.
bool MoveMenuCursorByKeys(int rows);
// The idle counter held at 540 at most (every move and accept in a menu).
void HoldIdleCounter();
// Back to the title: Cansel.wav, cursor 0, the title scene; by Go Back the idle counter also
// becomes min(counter + 1, 541).
void LeaveMenuForTitle(bool byGoBack);
