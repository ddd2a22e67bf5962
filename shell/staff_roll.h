// The staff roll after the vehicle gallery: the thanks and the credit on black for 1800 frames, and
// while secret courses remain to be found, a line that says so. At its end every course is open
// (courses open 11), the game saves itself when Auto Save is on, and the title follows. Once the
// game has been finished before, a skip key ends it at once.
#pragma once

void StaffRollFrame();
// The staff roll drawn once unseen, by the loading of the scene before it.
void DrawStaffRollUnseen();

constexpr int kStaffRollLastFrame = 1800;

// "Try To Find \"5 Secret Courses\" !! " shows while the courses are not all open or a secret
// course is still to be found.
bool StaffRollShowsTryToFind();
