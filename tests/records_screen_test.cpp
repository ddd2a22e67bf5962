// The Records screen: the texts of its course and summary pages exactly as printf makes them, the
// cursor's way through the courses open and the secret courses found, and the screen in the whole
// game with scripted keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/application.h"
#include "game/asset_tables.h"
#include "game/progress.h"
#include "game/records.h"
#include "game/scene_flow.h"
#include "game/sound_effects.h"
#include "shell/records_screen.h"
#include "shell/title_scene.h"
#include "tests/support/scripted_session.h"

namespace {

class RecordsScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRecords();
        ResetProgress();
    }
    void TearDown() override {
        ResetRecords();
        ResetProgress();
    }
    // The page's lines as "x,y:text".
    static std::vector<std::string> Lines(int page) {
        RecordsLine lines[kRecordsMaxLines];
        const int n = RecordsPageLines(page, lines);
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i)
            out.push_back(std::to_string(lines[i].x) + "," + std::to_string(lines[i].y) + ":" + lines[i].text);
        return out;
    }
};

// A fresh game's course 1: rank 9, best lap 99:59.999, five splits of 99:59.999, and a total of
// 499 minutes 59.995 seconds (the five 59999 ms parts carry four whole minutes).
TEST_F(RecordsScreen, AFreshCourseOnePage) {
    const std::vector<std::string> expected = {
        "120,240:Course  1 Blue Surf And Wind ",
        "120,256:Best Rank                     9 ",
        "120,272:Best Lap                99:59.999 ",
        "120,288:Best Total Time  Lap   1 99:59.999 ",
        "120,304:                 Lap   2 99:59.999 ",
        "120,320:                 Lap   3 99:59.999 ",
        "120,336:                 Lap   4 99:59.999 ",
        "120,352:                 Lap   5 99:59.999 ",
        "120,368:Best Total Time        499:59.995 ",
        "120,384:Best Crystal Ratio         0.00 % ",
    };
    EXPECT_EQ(Lines(1), expected);
}

// A played course with short laps: printf's widths, a one-lap course, a ten-lap course.
TEST_F(RecordsScreen, PlayedCoursePagesFollowPrintf) {
    CourseRecord& r = records[14];  // secret 4: one lap
    r.bestRank = 2;
    r.bestLapMinutes = 1;
    r.bestLapMillis = 5500;
    r.splitMinutes[0] = 1;
    r.splitMillis[0] = 5500;
    r.bestCrystalRatio = 87.5f;
    const std::vector<std::string> expected = {
        "120,240:Secret  4 Can You Pick Up All Crystals ? ",
        "120,256:Best Rank                     2 ",
        "120,272:Best Lap                 1:5.500 ",
        "120,288:Best Total Time  Lap   1 01:5.500 ",
        "120,304:Best Total Time        001:5.500 ",
        "120,320:Best Crystal Ratio         87.50 % ",
    };
    EXPECT_EQ(Lines(14), expected);
    // Ten laps: the last lap at y 16 x 27, the total and the ratio below it.
    const std::vector<std::string> ten = Lines(11);
    ASSERT_EQ(ten.size(), 15u);
    EXPECT_EQ(ten[12], "120,432:                 Lap  10 99:59.999 ");
    EXPECT_EQ(ten[13], "120,448:Best Total Time        999:59.990 ");
    EXPECT_EQ(ten[14], "120,464:Best Crystal Ratio         0.00 % ");
}

// The summary pages list the normal courses open and the secret courses found, each on its
// course's line.
TEST_F(RecordsScreen, SummaryPagesListOpenAndFoundCourses) {
    coursesOpen = 2;
    secretFound[1] = true;
    records[1].bestRank = 3;
    records[1].bestLapMinutes = 0;
    records[1].bestLapMillis = 41250;
    for (int k = 0; k < 5; ++k) {
        records[1].splitMinutes[k] = 0;
        records[1].splitMillis[k] = 45000;
    }
    records[1].bestCrystalRatio = 100.0f;
    records[12].bestRank = 1;
    EXPECT_EQ(Lines(kRecordsRankPage), (std::vector<std::string>{"200,240:Best \n Rank ", "288,240:Course  1 Rank 3 ",
                                                                 "288,256:Course  2 Rank 9 ",
                                                                 "288,416:Secret  2 Rank 1 "}));
    EXPECT_EQ(Lines(kRecordsLapPage), (std::vector<std::string>{"200,240:Best \n Lap ", "288,240:Course  1 00:41.250 ",
                                                                "288,256:Course  2 99:59.999 ",
                                                                "288,416:Secret  2 99:59.999 "}));
    EXPECT_EQ(Lines(kRecordsTotalPage),
              (std::vector<std::string>{"200,240:Best \n Total \n  Time ", "288,240:Course  1 003:45.000 ",
                                        "288,256:Course  2 499:59.995 ", "288,416:Secret  2 299:59.997 "}));
    EXPECT_EQ(Lines(kRecordsRatioPage),
              (std::vector<std::string>{"200,240:Best \n Crystal \n    Ratio ", "288,240:Course  1 100.00 % ",
                                        "288,256:Course  2 0.00 % ", "288,416:Secret  2 0.00 % "}));
    EXPECT_TRUE(Lines(0).empty());  // "Exit " has no page
}

TEST_F(RecordsScreen, UpAndDownStayAmongTheCoursesOpen) {
    coursesOpen = 3;
    EXPECT_EQ(RecordsDown(3), 0);  // course 3 to "Exit "
    EXPECT_EQ(RecordsUp(0), 3);    // "Exit " to course 3
    EXPECT_EQ(RecordsDown(0), 1);
    EXPECT_EQ(RecordsUp(1), 0);
    // A summary page counts as "Exit ".
    EXPECT_EQ(RecordsUp(kRecordsLapPage), 3);
    EXPECT_EQ(RecordsDown(kRecordsRatioPage), 1);
    coursesOpen = 1;
    EXPECT_EQ(RecordsDown(1), 0);
    EXPECT_EQ(RecordsUp(0), 1);
}

TEST_F(RecordsScreen, UpAndDownSkipSecretsNotFound) {
    coursesOpen = kAllCoursesOpen;
    secretFound[1] = true;  // secret 2 found, secret 1 not
    EXPECT_EQ(RecordsUp(12), 10);    // secret 2 to course 10
    EXPECT_EQ(RecordsDown(10), 12);  // course 10 to secret 2
    EXPECT_EQ(RecordsDown(12), 0);   // past the last found to "Exit "
    EXPECT_EQ(RecordsUp(0), 12);
    secretFound[4] = true;
    EXPECT_EQ(RecordsUp(0), 15);
    EXPECT_EQ(RecordsUp(15), 12);
    EXPECT_EQ(RecordsDown(15), 0);
    // Ten open but the staff roll not seen: course 10 is the last.
    coursesOpen = 10;
    secretFound[1] = secretFound[4] = false;
    EXPECT_EQ(RecordsDown(10), 0);
    EXPECT_EQ(RecordsUp(0), 10);
}

TEST_F(RecordsScreen, LeftAndRightGoRoundTheSummaryPages) {
    int c = 0;
    const int right[] = {kRecordsRankPage, kRecordsLapPage, kRecordsTotalPage, kRecordsRatioPage, 0};
    for (int expected : right) EXPECT_EQ(c = RecordsRight(c), expected);
    const int left[] = {kRecordsRatioPage, kRecordsTotalPage, kRecordsLapPage, kRecordsRankPage, 0};
    for (int expected : left) EXPECT_EQ(c = RecordsLeft(c), expected);
    EXPECT_EQ(RecordsRight(7), kRecordsRankPage);  // from a course page
    EXPECT_EQ(RecordsLeft(7), kRecordsRatioPage);
}

// The whole game: "Records " from the title, a course page that Accept does not leave, the
// summary pages, Accept on a summary page and Go Back back to the title.
constexpr uint32_t T = kTitleFirstFrame;
const std::string kToRecords = PressAt(T + 10, "DOWN") + PressAt(T + 12, "Z");
constexpr uint32_t R = T + 20;

bool Playing(SoundSlot slot) { return sounds[slot].IsPlaying(); }

TEST(RecordsScreenInGame, PagesAcceptAndGoBack) {
    const std::string keys = kToRecords + PressAt(R, "DOWN") + PressAt(R + 2, "Z") + PressAt(R + 4, "RIGHT") +
                             PressAt(R + 6, "LEFT") + PressAt(R + 8, "LEFT") + PressAt(R + 10, "Z");
    EXPECT_EQ(RunScriptedSession(keys,
                                 {
                                     {T + 13, [] { return frameProc == RecordsFrame && menuCursor == 0; }},
                                     {R + 1, [] { return menuCursor == 1 && Playing(kSoundSlide); }},
                                     {R + 3,
                                      [] {
                                          return frameProc == RecordsFrame && menuCursor == 1 && !Playing(kSoundCansel);
                                      }},
                                     {R + 5, [] { return menuCursor == kRecordsRankPage && Playing(kSoundSlide); }},
                                     {R + 7, [] { return menuCursor == 0; }},
                                     {R + 9, [] { return menuCursor == kRecordsRatioPage; }},
                                     {R + 11,
                                      [] { return frameProc == TitleFrame && menuCursor == 0 && Playing(kSoundCansel); }},
                                 }),
              0);
    EXPECT_EQ(RunScriptedSession(kToRecords + PressAt(R, "UP") + PressAt(R + 2, "NUMPAD8") + PressAt(R + 4, "X"),
                                 {
                                     {R + 3, [] { return menuCursor == 2; }},
                                     {R + 5, [] { return frameProc == TitleFrame && menuCursor == 0; }},
                                 },
                                 [] { coursesOpen = 3; }),
              0);
}

}  // namespace
