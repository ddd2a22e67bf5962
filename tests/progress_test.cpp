// Progress beside the records: the laps the records keep per course, the best race's total, the
// start-up values and the five secret-course tests with the order the course progression runs them.
#include <gtest/gtest.h>

#include "courses/course_table.h"
#include "game/progress.h"
#include "game/records.h"
#include "game/settings.h"

namespace {

// Every normal course won, all crystals taken, course 1 under a minute; HUD aids shown.
class SecretCourses : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRecords();
        ResetProgress();
        ResetSettings(false);
        coursesOpen = kAllCoursesOpen;
    }
    void WinEverything() {
        for (int c = 1; c <= 10; ++c) {
            records[c].bestRank = 1;
            records[c].bestCrystalRatio = 100.0f;
        }
        for (int lap = 0; lap < RecordedLaps(1); ++lap) {
            records[1].splitMinutes[lap] = 0;
            records[1].splitMillis[lap] = 11999;  // five laps: 59.995 s
        }
    }
    void HideHudAids() { miniMap = speedMeter = showFps = timerMode = 0; }
};

}  // namespace

TEST(RecordedLaps, EqualTheCourseTableForEveryCourse) {
    for (int c = -1; c <= CourseCount + 1; ++c) EXPECT_EQ(RecordedLaps(c), CourseLaps(c)) << "course " << c;
    int sum = 0;
    for (int c = 1; c <= CourseCount; ++c) sum += RecordedLaps(c);
    EXPECT_EQ(sum, 55);
}

TEST(Progress, StartUpValuesAndAFreshBestTotal) {
    coursesOpen = 7;
    secretFound[2] = true;
    startedFromCourse1 = true;
    ResetProgress();
    EXPECT_EQ(coursesOpen, 1);
    for (bool found : secretFound) EXPECT_FALSE(found);
    EXPECT_FALSE(startedFromCourse1);
    // Five untouched splits of 99:59.999 carry 4 whole minutes: 499:59.995.
    ResetRecords();
    const RaceTime total = BestTotal(1);
    EXPECT_EQ(total.minutes, 499);
    EXPECT_EQ(total.millis, 59995);
    // Course 7 has two laps, so only two splits count.
    EXPECT_EQ(BestTotal(7).minutes, 199);
    EXPECT_EQ(BestTotal(16).minutes, 0);
}

TEST_F(SecretCourses, EachTestNeedsAllOfItsConditions) {
    WinEverything();
    for (int s = 1; s <= 3; ++s) EXPECT_TRUE(SecretCourseEarned(s, 4)) << s;
    EXPECT_FALSE(SecretCourseEarned(4, 4));
    EXPECT_FALSE(SecretCourseEarned(0, 10));
    EXPECT_FALSE(SecretCourseEarned(6, 10));

    records[10].bestRank = 2;                 // one normal course not won
    EXPECT_FALSE(SecretCourseEarned(1, 4));
    records[11].bestRank = 9;                 // secret courses do not count
    records[10].bestRank = 1;
    EXPECT_TRUE(SecretCourseEarned(1, 4));

    records[9].bestCrystalRatio = 99.99f;     // one crystal missed
    EXPECT_FALSE(SecretCourseEarned(2, 4));
    records[9].bestCrystalRatio = 100.0f;

    records[1].splitMillis[4] = 12004;        // exactly one minute is not under one
    EXPECT_FALSE(SecretCourseEarned(3, 4));
    records[1].splitMillis[4] = 11999;

    EXPECT_FALSE(SecretCourseEarned(4, 10));  // course 10, but the series began elsewhere
    startedFromCourse1 = true;
    EXPECT_TRUE(SecretCourseEarned(4, 10));
    EXPECT_FALSE(SecretCourseEarned(4, 9));

    HideHudAids();
    EXPECT_TRUE(SecretCourseEarned(5, 10));
    EXPECT_FALSE(SecretCourseEarned(5, 11));
    for (int* aid : {&miniMap, &speedMeter, &showFps, &timerMode}) {
        *aid = 1;
        EXPECT_FALSE(SecretCourseEarned(5, 10));
        *aid = 0;
    }
}

TEST_F(SecretCourses, HighestNewSecretIsAnnouncedFirstThenTheOthersInTurn) {
    // Course 10 from a series begun at course 1, after the staff roll, with every aid hidden:
    // secret 5, then secret 4, then nothing more.
    startedFromCourse1 = true;
    HideHudAids();
    EXPECT_EQ(FindSecretCourse(10), 5);
    secretFound[4] = true;
    EXPECT_EQ(FindSecretCourse(10), 4);
    secretFound[3] = true;
    EXPECT_EQ(FindSecretCourse(10), 0);

    // Everything earned at once comes out 5, 4, 3, 2, 1.
    ResetProgress();
    coursesOpen = kAllCoursesOpen;
    startedFromCourse1 = true;
    WinEverything();
    for (int expected = 5; expected >= 1; --expected) {
        ASSERT_EQ(FindSecretCourse(10), expected);
        secretFound[expected - 1] = true;
    }
    EXPECT_EQ(FindSecretCourse(10), 0);
}

TEST_F(SecretCourses, NothingIsTestedBeforeTheStaffRoll) {
    // Finishing course 10 for the first time (courses open 10) leads to the ending, no secret.
    WinEverything();
    startedFromCourse1 = true;
    HideHudAids();
    coursesOpen = 10;
    EXPECT_EQ(FindSecretCourse(10), 0);
    coursesOpen = kAllCoursesOpen;
    EXPECT_EQ(FindSecretCourse(10), 5);
}
