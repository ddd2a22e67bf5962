// The Records screen: "Exit ", a page for each course (its best rank, best lap, the laps and total
// of its best race and its best crystal ratio) and four summary pages (best rank, best lap, best
// total time and best crystal ratio of every course open or found). Up and Down go through the
// courses Course Select would offer, Left and Right through the summary pages.
#pragma once

// The cursor: 0 "Exit ", 1..15 a course's page, these four the summary pages.
constexpr int kRecordsRankPage = 100;
constexpr int kRecordsLapPage = 200;
constexpr int kRecordsTotalPage = 300;
constexpr int kRecordsRatioPage = 400;

void RecordsFrame();

// The cursor after Up, Down, Left or Right. Up and Down treat a summary page as "Exit ", skip
// secret courses not found, and while fewer than ten courses are open stay among those open.
int RecordsUp(int cursor);
int RecordsDown(int cursor);
int RecordsLeft(int cursor);
int RecordsRight(int cursor);

// One text of a page, drawn with its top-left corner at (x, y).
struct RecordsLine {
    int x, y;
    char text[64];
};
constexpr int kRecordsMaxLines = 16;
// The texts of a course page (1..15) or a summary page, from the records and the progress; the
// number of lines (0 for "Exit " or any other cursor).
int RecordsPageLines(int cursor, RecordsLine lines[kRecordsMaxLines]);
