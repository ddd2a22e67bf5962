// Course Select: one line, the course under the cursor, among the normal courses open so far and
// the secret courses found; Accept starts that course (with only course 1 open, at once).
#pragma once

void CourseSelectFrame();

// The cursor (0..14 for courses 1..15) after Up or Down, by the courses open and the secret
// courses found: secret courses not found are skipped, and while fewer than ten courses are open
// the cursor stays among them.
int CourseSelectUp(int cursor);
int CourseSelectDown(int cursor);
// The line Course Select shows for a course (1..15), e.g. "Course  1 Blue Surf And Wind ".
const char* CourseSelectLine(int course);
