#include "courses/course_table.h"

#include "courses/course_list.h"

// Columns in the order of CourseInfo. A row whose routines are null is a course whose own file is
// not written yet: the set-up refuses it. To add course N: write courseNN.cpp (its boundary points
// through ClearBoundaries / AddBoundary, its ground, scenery choice and scenery routine) defining
// `const CourseRoutines courseNNRoutines`, declare it in course_list.h, point row N at it and put
// the centre of its boundary 0 raised by 0.1 in the gate column (the course tests check both the
// section count and the gate against the points).
const CourseInfo courseTable[CourseCount + 1] = {
    {},
    {  // 1
        "Course  1 Blue Surf And Wind ", 5, 60, 30, "01BlueSurfAndWind.mid",
        "road1.bmp", "wall6.bmp", "wall7.bmp", "BackGround1.x", "Null.x",
        D3DXVECTOR3(100.0f, 64.1f, 100.0f),
        0xff40ffff, 1.0f, 2000.0f, 0xffd0d0d0, {0.0f, -1.0f, -1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, 0,
        150, 61, 136, 4, 120, 15.5f, 1.0f, 10.0f, 0.5f, 61, false,
        {72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 139, 140, 141, 142, 143, 144, 145, 146, 147, 148}, 20,
        {-1, -1, -1, -1, -1}, 0,
        {64.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {-64.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f},
        &course01Routines},
    {  // 2
        "Course  2 Green Night Of Calm City ", 5, 60, 30, "02GreenNightOfCalmCity.mid",
        "road1.bmp", "grass.bmp", "road2.bmp", "BackGround2.x", "Null.x",
        D3DXVECTOR3(0.0f, 20.1f, 0.0f),
        0xff000000, 1.0f, 1200.0f, 0xff60ff30, {0.0f, -1.0f, 0.0f}, {0.2f, 0.2f, 0.2f, 1.0f}, 0,
        166, 71, 156, 5, 120, 15.5f, 0.5f, 10.0f, 0.5f, 61, false,
        {10, 11, 12, 13, 83, 84, 85, 86, 126, 127, 128, 129, 161, 162, 163, 164, -1, -1, -1, -1}, 16,
        {-1, -1, -1, -1, -1}, 0,
        {-1.0f, 64.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {-1.0f, 320.0f, -1.0f, 64.0f, 64.0f, 64.0f},
        &course02Routines},
    {  // 3
        "Course  3 Yellow Sand Ocean ", 3, 90, 60, "03YellowSandOcean.mid",
        "road1.bmp", "grass.bmp", "road2.bmp", "BackGround3.x", "pyramid.x",
        D3DXVECTOR3(0.0f, 7.1f, -4000.0f),
        0xffffff00, 1.0f, 2000.0f, 0xff808000, {-1.0f, -1.0f, 0.0f}, {1.0f, 1.0f, 0.5f, 1.0f}, 0,
        386, 101, 344, 6, 120, 16.5f, 1.05f, 10.0f, 0.5f, 61, false,
        {31, 32, 51, 52, 160, 162, 164, 166, 272, 313, 344, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 11,
        {-1, -1, -1, -1, -1}, 0,
        {-1.0f, 64.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {-1.0f, 320.0f, -1.0f, 64.0f, 64.0f, 64.0f},
        &course03Routines},
    {  // 4
        "Course  4 Red Lava In Twin Volcano ", 3, 90, 60, "04RedLavaInTwinVolcano.mid",
        "road2.bmp", "grass.bmp", "road2.bmp", "BackGround4.x", "Volcano.x",
        D3DXVECTOR3(1900.0f, 2000.1f, -1200.0f),
        0xffc00000, 1.0f, 1200.0f, 0xffd08060, {0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f, 1.0f}, 0,
        303, 91, 276, 6, 120, 15.0f, 0.95f, 10.0f, 0.5f, 61, false,
        {21, 22, 23, 24, 25, 81, 82, 177, 178, 179, 180, 181, 256, 257, -1, -1, -1, -1, -1, -1}, 14,
        {-1, -1, -1, -1, -1}, 0,
        {-1.0f, 64.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {-1.0f, 320.0f, -1.0f, 64.0f, 64.0f, 64.0f},
        &course04Routines},
    {  // 5
        "Course  5 Black Sky Is Falling ", 3, 90, 60, "05BlackSkyIsFalling.mid",
        "road1.bmp", "wall2.bmp", "wall2.bmp", "BackGround5_1.x", "BackGround5.x",
        D3DXVECTOR3(0.0f, 200.1f, 0.0f),
        0xff606060, 1.0f, 2000.0f, 0xffa0a0a0, {0.0f, -1.0f, 0.0f}, {0.2f, 0.2f, 0.2f, 1.0f}, 0,
        500, 181, 471, 6, 150, 16.0f, 0.6f, 10.0f, 0.5f, 61, false,
        {72, 73, 79, 80, 141, 142, 272, 277, 282, 287, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 10,
        {-1, -1, -1, -1, -1}, 0,
        {8.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {0.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f},
        &course05Routines},
    {  // 6
        "Course  6 Toward Unlimited Horizon ", 3, 120, 90, "06TowardUnlimitedHorizon.mid",
        "road1.bmp", "wall1.bmp", "grass.bmp", "BackGround6.x", "Null.x",
        D3DXVECTOR3(0.0f, 300.1f, 0.0f),
        0xff003060, 1.0f, 2000.0f, 0xffc0c0c0, {0.0f, -0.25f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, 0,
        841, 391, 681, 8, 300, 16.7f, 1.45f, 10.0f, 0.5f, 61, false,
        {63, 64, 193, 194, 433, 434, 503, 504, 523, 524, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 10,
        {766, -1, -1, -1, -1}, 1,
        {0.0f, 16.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {0.0f, 16.0f, 0.0f, 0.0f, 64.0f, 64.0f},
        &course06Routines},
    {  // 7
        "Course  7 Dive To Sunset ", 2, 150, 120, "07DiveToSunset.mid",
        "road2.bmp", "wall2.bmp", "wall2.bmp", "BackGround7.x", "BackGround7_1.x",
        D3DXVECTOR3(0.0f, 1200.1f, 0.0f),
        0xff0000ff, 1.0f, 1500.0f, 0xff00c0c0, {0.5f, -1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, 0xff0000a0,
        1239, 261, 841, 8, 200, 16.0f, 0.75f, 10.0f, 0.5f, 41, false,
        {125, 126, 145, 146, 403, 404, 413, 414, 921, 1001, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 10,
        {481, -1, -1, -1, -1}, 1,
        {0.0f, 16.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {0.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f},
        &course07Routines},
    {  // 8
        "Course  8 Escape From Jail ", 3, 120, 90, "08EscapeFromJail.mid",
        "road1.bmp", "wall3.bmp", "wall4.bmp", "BackGround8.x", "Null.x",
        D3DXVECTOR3(0.0f, 0.1f, 0.0f),
        0xff808080, 1000.0f, 2000.0f, 0xff606060, {0.0f, -1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, 0,
        425, 128, 399, 8, 150, 16.0f, 1.8f, 8.0f, 0.5f, 61, false,
        {17, 17, 18, 18, 22, 22, 23, 23, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 8,
        {20, -1, -1, -1, -1}, 1,
        {0.0f, 16.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {0.0f, 128.0f, 0.0f, 0.0f, 64.0f, 64.0f},
        &course08Routines},
    {  // 9
        "Course  9 Everlasting Cold ", 5, 90, 60, "09EverlastingCold.mid",
        "road3.bmp", "wall5.bmp", "wall5.bmp", "BackGround9.x", "Null.x",
        D3DXVECTOR3(0.0f, 0.1f, 0.0f),
        0xff808080, 1.0f, 2000.0f, 0xffd0d0d0, {0.0f, -1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, 0,
        275, 256, -1, 8, 120, 18.95f, 1.4f, 10.0f, 0.5f, 31, false,
        {52, 60, 106, 211, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 4,
        {39, -1, -1, -1, -1}, 1,
        {0.0f, 64.0f, 0.0f, 0.0f, 128.0f, 128.0f}, {50.0f, 192.0f, 0.0f, 64.0f, 128.0f, 128.0f},
        &course09Routines},
    {  // 10
        "Course 10 Far From The Globe ", 3, 150, 120, "10FarFromTheGlobe.mid",
        "road3.bmp", "wall5.bmp", "wall5.bmp", "BackGround10.x", "BackGround10_1.x",
        D3DXVECTOR3(0.0f, 2000.1f, 0.0f),
        0xffffffff, 1.0f, 2000.0f, 0xff404040, {0.0f, -0.2f, -1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, 0,
        886, 216, 741, 8, 200, 16.3f, 0.95f, 10.0f, 0.5f, 61, false,
        {266, 316, 366, 416, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 4,
        {216, -1, -1, -1, -1}, 1,
        {-4.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {0.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f},
        &course10Routines},
    {  // 11
        "Secret  1 I Love You ", 10, 40, 30, "21Secret1.mid",
        "road2.bmp", "wall1.bmp", "wall1.bmp", "BackGround2.x", "NULL.x",
        D3DXVECTOR3(0.0f, 0.1f, 0.0f),
        0xffffa0a0, 1.0f, 2000.0f, 0xffa05050, {0.0f, -1.0f, 0.0f}, {0.2f, 0.2f, 0.2f, 1.0f}, 0,
        206, 11, 165, 8, 1, 0.0f, 0.0f, 0.0f, 0.0f, 1, true,
        {12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175}, 20,
        {43, 93, 196, -1, -1}, 3,
        {64.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {-64.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f},
        &course11Routines},
    {  // 12
        "Secret  2 Under Water 2nd ", 3, 70, 60, "22Secret2.mid",
        "road1.bmp", "water2.bmp", "wall5.bmp", "BackGround2.x", "NULL.x",
        D3DXVECTOR3(0.0f, 0.1f, 0.0f),
        0xff0000ff, 1.0f, 1200.0f, 0xff004040, {0.0f, -1.0f, 0.0f}, {0.3f, 0.75f, 0.75f, 0.0f}, 0xff0000ff,
        568, 346, 461, 8, 300, 14.7f, 0.0f, 14.7f, 0.0f, 61, false,
        {6, 16, 26, 36, 46, 56, 66, 76, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 8,
        {544, -1, -1, -1, -1}, 1,
        {0.0f, 128.0f, 0.0f, 0.0f, 64.0f, 128.0f}, {384.0f, 128.0f, 0.0f, 128.0f, 64.0f, 256.0f},
        &course12Routines},
    {  // 13
        "Secret  3 Gloomy Tunnel 2nd ", 3, 60, 60, "23Secret3.mid",
        "road1.bmp", "wall8.bmp", "wall8.bmp", "BackGround2.x", "NULL.x",
        D3DXVECTOR3(0.0f, 0.1f, 0.0f),
        0xff000000, 1.0f, 1000.0f, 0xffa06060, {0.0f, -1.0f, 0.0f}, {0.1f, 0.1f, 0.1f, 0.0f}, 0,
        452, 427, 427, 8, 300, 14.5f, 0.0f, 14.5f, 0.0f, 61, false,
        {21, 22, 23, 24, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, 4,
        {442, -1, -1, -1, -1}, 1,
        {64.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {64.0f, -75.5f, 64.0f, 0.0f, 64.0f, 256.0f},
        &course13Routines},
    {  // 14
        "Secret  4 Can You Pick Up All Crystals ? ", 1, 52, 52, "24Secret4.mid",
        "road1.bmp", "wall1.bmp", "wall1.bmp", "BackGround2.x", "NULL.x",
        D3DXVECTOR3(0.0f, 0.1f, 0.0f),
        0xff000000, 1.0f, 2000.0f, 0xff202020, {0.0f, -1.0f, 0.0f}, {0.2f, 0.2f, 0.2f, 1.0f}, 0,
        500, 11, 161, 8, 150, 13.5f, 0.0f, 13.5f, 0.0f, 141, false,
        {6, 26, 51, 76, 101, 126, 151, 176, 201, 226, 251, 276, 301, 326, 351, 376, 401, 426, 451, 476}, 20,
        {61, 161, 261, 361, 461}, 5,
        {64.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {0.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f},
        &course14Routines},
    {  // 15
        "Secret  5 Demonstration ", 3, 30, 25, "25Secret5.mid",
        "road1.bmp", "wall3.bmp", "wall3.bmp", "BackGround6.x", "NULL.x",
        D3DXVECTOR3(0.0f, 0.1f, 0.0f),
        0xff404040, 1.0f, 2000.0f, 0xffffffff, {0.0f, -1.0f, -1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, 0,
        386, 147, 317, 8, 150, 18.5f, 0.0f, 18.5f, 0.0f, 61, false,
        {54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73}, 20,
        {61, 121, 181, 241, 361}, 5,
        {16.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f}, {0.0f, 0.0f, 0.0f, 0.0f, 64.0f, 64.0f},
        &course15Routines},

};

const CourseInfo* FindCourse(int course) {
    if (course < 1 || course > CourseCount) return nullptr;
    return &courseTable[course];
}

float OpponentTopSpeed(const CourseInfo& info, int i) {
    if (i < 3) return info.firstBase - info.firstStep * static_cast<float>(i);
    return info.laterBase - info.laterStep * static_cast<float>(i - 3);
}

int CourseLaps(int course) {
    const CourseInfo* info = FindCourse(course);
    return info ? info->laps : 0;
}
