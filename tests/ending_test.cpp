// The story prologue's, the ending's, the vehicle gallery's and the staff roll's rules, the framing
// their cameras keep, and the way from a won course 10 to the title as the player meets it: the game
// run in the test process with the device lost (the scenes' rules alone) and scripted keys.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "courses/course_geometry.h"
#include "framework/application.h"
#include "framework/graphics_device.h"
#include "game/asset_tables.h"
#include "game/progress.h"
#include "game/records.h"
#include "game/save_file.h"
#include "game/scene_flow.h"
#include "game/settings.h"
#include "race/vehicle.h"
#include "shell/course_clear.h"
#include "shell/ending.h"
#include "shell/staff_roll.h"
#include "shell/story.h"
#include "shell/title_scene.h"
#include "shell/vehicle_gallery.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"
#include "tests/support/scripted_session.h"
#include "tests/support/save_state.h"

namespace {

// --- the story prologue ---------------------------------------------------------------------------

TEST(StoryPrologue, FiveLinesEachWrittenOutAndWipedAway) {
    // Each line shows for 300 of its 360 frames.
    for (int line = 0; line < kStoryLineCount; ++line) {
        EXPECT_EQ(StoryLookAt(360 * line).line, line);
        EXPECT_EQ(StoryLookAt(360 * line + 299).line, line);
        EXPECT_EQ(StoryLookAt(360 * line + 300).line, -1);
    }
    EXPECT_EQ(StoryLookAt(1800).line, -1);
    // Written out from the left: at w = 3 the bars start at 30 (lower) and 158 (upper).
    const LineMask in = StoryLookAt(363).mask;
    EXPECT_EQ(in.lowerX1, 30);
    EXPECT_EQ(in.upperX1, 158);
    EXPECT_EQ(in.upperX2, 640);
    // Wiped away from the left: at w = 237 the bars reach 138 (upper) and 10 (lower); at 300, 768 and 640.
    const LineMask out = StoryLookAt(237).mask;
    EXPECT_EQ(out.upperX1, 0);
    EXPECT_EQ(out.upperX2, 138);
    EXPECT_EQ(out.lowerX2, 10);
    EXPECT_EQ(StoryLookAt(300).mask.upperX2, 768);
    EXPECT_EQ(StoryLookAt(300).mask.lowerX2, 640);
    // Between the two, nothing covers the line.
    const LineMask open = StoryLookAt(150).mask;
    EXPECT_GE(open.upperX1, open.upperX2);
    EXPECT_GE(open.lowerX1, open.lowerX2);
}

TEST(StoryPrologue, TheHeartBeatsTwiceEveryTwoSecondsUntilTheFade) {
    int glows = 0, sounds = 0;
    for (int t = 0; t < 1960; ++t) {
        const StoryLook look = StoryLookAt(t);
        const int beat = t % 120;
        EXPECT_EQ(look.heartGlow, t < 1740 && (beat <= 2 || (beat >= 20 && beat <= 22))) << t;
        glows += look.heartGlow;
        sounds += look.heartSound;
    }
    EXPECT_EQ(sounds, 15);  // frames 0, 120, ... 1680
    EXPECT_EQ(glows, 15 * 6);
}

TEST(StoryPrologue, TheLightSwellsWhileTheScreenFadesToBlack) {
    EXPECT_EQ(StoryLookAt(1739).overlayAlpha, 0);
    EXPECT_EQ(StoryLookAt(1739).ambientLevel, 0);
    EXPECT_EQ(StoryLookAt(1790).overlayAlpha, 127);
    EXPECT_EQ(StoryLookAt(1790).ambientLevel, 77);
    EXPECT_NEAR(StoryLookAt(1790).lightBoost, 0.5f, 1e-5f);
    EXPECT_EQ(StoryLookAt(1840).overlayAlpha, 255);
    EXPECT_EQ(StoryLookAt(1840).ambientLevel, 155);
    EXPECT_EQ(StoryLookAt(1900).overlayAlpha, 255);
    // The last wipe of line 5 (w 237..300 at t 1677..1740) stops with the fade.
    EXPECT_LT(StoryLookAt(1740).mask.upperX2, 1);
}

// --- the ending -----------------------------------------------------------------------------------

TEST(EndingScene, TheBandRisesHoldsAndSinksWithThreeLinesInIt) {
    EXPECT_EQ(EndingOverlayAt(0).fadeAlpha, 255);
    EXPECT_EQ(EndingOverlayAt(249).fadeAlpha, 6);
    EXPECT_EQ(EndingOverlayAt(250).fadeAlpha, 0);
    EXPECT_EQ(EndingOverlayAt(900).bandTop, 480);
    EXPECT_EQ(EndingOverlayAt(1000).bandTop, 440);
    EXPECT_EQ(EndingOverlayAt(1150).bandTop, 380);
    EXPECT_EQ(EndingOverlayAt(1150).bandAlpha, 255);
    EXPECT_EQ(EndingOverlayAt(2000).bandTop, 380);
    EXPECT_EQ(EndingOverlayAt(3225).bandTop, 430);
    EXPECT_LT(EndingOverlayAt(3225).bandAlpha, 255);
    EXPECT_EQ(EndingOverlayAt(3351).fadeAlpha, 1);
    EXPECT_EQ(EndingOverlayAt(3700).fadeAlpha, 255);
    // Lines: 1501-2000, 2001-2500, 2501-3000.
    EXPECT_EQ(EndingOverlayAt(1500).line, -1);
    EXPECT_EQ(EndingOverlayAt(1501).line, 0);
    EXPECT_EQ(EndingOverlayAt(2000).line, 0);
    EXPECT_EQ(EndingOverlayAt(2001).line, 1);
    EXPECT_EQ(EndingOverlayAt(3000).line, 2);
    EXPECT_EQ(EndingOverlayAt(3001).line, -1);
    // Masks at u = 1 (all covered), 159 (revealed), 341 and 499 (wiping away).
    EXPECT_EQ(EndingOverlayAt(1501).mask.upperX1, 68);
    EXPECT_EQ(EndingOverlayAt(1501).mask.lowerX1, 4);
    EXPECT_EQ(EndingOverlayAt(1659).mask.lowerX1, 636);
    EXPECT_EQ(EndingOverlayAt(1841).mask.upperX2, 68);
    EXPECT_EQ(EndingOverlayAt(1841).mask.lowerX2, 4);
    EXPECT_EQ(EndingOverlayAt(1999).mask.upperX2, 700);
    const LineMask shown = EndingOverlayAt(1750).mask;
    EXPECT_GE(shown.upperX1, shown.upperX2);
}

// The game's projection and viewport: world points to pixels for a camera.
D3DXVECTOR3 Pixel(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, const D3DXVECTOR3& p) {
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4.0f, 640.0f / 480.0f, 0.1f, 2000.0f);
    D3DXMATRIX m = view * projection;
    D3DXVECTOR4 h;
    D3DXVec3Transform(&h, &p, &m);
    return D3DXVECTOR3((h.x / h.w + 1.0f) * 320.0f, (1.0f - h.y / h.w) * 240.0f, h.w);
}

TEST(EndingScene, TheCameraKeepsTheCarInThePictureAboveTheBandAndEndsOnTheSun) {
    for (int t = 0; t <= kEndingFadeOut; t += 5) {
        const EndingCamera cam = EndingCameraAt(t);
        const D3DXMATRIX body = EndingCarPlacement(t);
        const D3DXVECTOR3 car(body._41, body._42, body._43);
        const D3DXVECTOR3 gap = car - cam.eye;
        EXPECT_GT(D3DXVec3Length(&gap), 40.0f) << t;  // never inside the car or brushing it
        EXPECT_GT(cam.eye.y, 3.0f) << t;              // never under the sand
        const D3DXVECTOR3 p = Pixel(cam.eye, cam.at, car);
        ASSERT_GT(p.z, 0.0f) << t;
        EXPECT_GT(p.x, 120.0f) << t;
        EXPECT_LT(p.x, 520.0f) << t;
        EXPECT_GT(p.y, 150.0f) << t;
        EXPECT_LT(p.y, EndingOverlayAt(t).bandTop - 40) << t;
        // From the last line on the car drives into the sun: the sun stands in the picture above it.
        if (t >= 2600) {
            const D3DXVECTOR3 sun = Pixel(cam.eye, cam.at, cam.eye + EndingSunDirection() * 1500.0f);
            EXPECT_GT(sun.x, 160.0f) << t;
            EXPECT_LT(sun.x, 480.0f) << t;
            EXPECT_GT(sun.y, 60.0f) << t;
            EXPECT_LT(sun.y, p.y - 60.0f) << t;
        }
    }
    // It opens at the car's nose and ends behind it: the car is big first, small last.
    const auto width = [](int t) {
        const EndingCamera cam = EndingCameraAt(t);
        const D3DXMATRIX body = EndingCarPlacement(t);
        const D3DXVECTOR3 a(body._41 - 8.0f, body._42, body._43), b(body._41 + 8.0f, body._42, body._43);
        return std::fabs(Pixel(cam.eye, cam.at, a).x - Pixel(cam.eye, cam.at, b).x);
    };
    EXPECT_GT(width(300), 150.0f);
    EXPECT_LT(width(3350), 60.0f);
}

TEST(EndingScene, TheCarDrivesOnWithTurningWheelsAndTheEmbersTrailBehindIt) {
    D3DXMATRIX before = EndingCarPlacement(1000), after = EndingCarPlacement(1001);
    EXPECT_GT(after._43 - before._43, 2.0f);  // forward along +z
    EXPECT_NEAR(EndingCarPlacement(0)._42, 6.0f, 0.5f);  // the body's origin 6 above the sand
    std::vector<Ember> embers(kEmberSlots);
    for (int t : {0, 700, 1800, 3000, 3500}) {
        const int n = EndingEmbersAt(t, embers.data());
        ASSERT_EQ(n, kEmberSlots);
        const D3DXMATRIX body = EndingCarPlacement(t);
        for (int i = 0; i < n; ++i) {
            const Ember& e = embers[i];
            EXPECT_LT(e.position.z, body._43 - 10.0f) << t;          // behind the car
            EXPECT_GT(e.position.z, body._43 - 80.0f) << t;          // but close after it
            EXPECT_LT(std::fabs(e.position.x - body._41), 30.0f) << t;
            EXPECT_GT(e.position.y, 2.0f) << t;                      // above the sand
        }
        // Young embers (born 10 frames ago, at the end of the list) burn brighter than old ones.
        EXPECT_GT(embers[n - 21].colour >> 24, 100u) << t;
        EXPECT_LT(embers[1].colour >> 24, 10u) << t;
    }
}

// --- the vehicle gallery --------------------------------------------------------------------------

TEST(VehicleGallery, TheCameraVisitsEachCarInTheOrderOfTheNames) {
    // BuSkel (type 5), Hannya (4), Killer - Bee (3), ZORVAN (2), Black - Hornet (1), then KORVAN.
    const int types[kGalleryVehicleCount] = {5, 4, 3, 2, 1, 0};
    for (int i = 0; i < kGalleryVehicleCount; ++i) {
        const GalleryVehicle& v = kGalleryVehicles[i];
        EXPECT_EQ(v.slot < 0 ? 0 : OpponentType(v.slot), types[i]);
        EXPECT_EQ(v.x, 300.0f * i);
        // Resting on car i for the second half of its period, its name from the frame after.
        const int rest = 300 + 600 * i + 300;
        for (int t = rest; t < rest + 300; t += 37) EXPECT_EQ(GalleryCameraX(t), v.x) << t;
        EXPECT_EQ(GalleryNameAt(rest), -1);
        EXPECT_EQ(GalleryNameAt(rest + 1), i);
        EXPECT_EQ(GalleryNameAt(rest + 300), i);
        EXPECT_EQ(GalleryNameAt(rest + 301), -1);
        // Sliding in from the car before.
        EXPECT_EQ(GalleryCameraX(rest - 300), v.x - 300.0f);
        EXPECT_EQ(GalleryCameraX(rest - 150), v.x - 150.0f);
    }
    EXPECT_STREQ(kGalleryVehicles[0].name, "       BuSkel \n(Bullet Of Skeleton) ");
    EXPECT_STREQ(kGalleryVehicles[4].name, "Black - Hornet ");
    EXPECT_EQ(GalleryFadeAlpha(0), 255);
    EXPECT_EQ(GalleryFadeAlpha(255), 0);
    EXPECT_EQ(GalleryFadeAlpha(4200), 0);
    EXPECT_EQ(GalleryFadeAlpha(4201), 1);
    EXPECT_EQ(GalleryFadeAlpha(4500), 255);
}

// --- the staff roll -------------------------------------------------------------------------------

TEST(StaffRoll, TheSecretCoursesLineShowsUntilAllFiveAreFound) {
    ResetProgress();
    coursesOpen = 10;
    EXPECT_TRUE(StaffRollShowsTryToFind());
    coursesOpen = kAllCoursesOpen;
    for (int k = 0; k < 4; ++k) secretFound[k] = true;
    EXPECT_TRUE(StaffRollShowsTryToFind());
    secretFound[4] = true;
    EXPECT_FALSE(StaffRollShowsTryToFind());
    ResetProgress();
}

// --- the way from course 10 to the title ----------------------------------------------------------

// What a run from course 10's clear to the title met: frames in each scene, how it ended.
struct Finale {
    int coursesOpenBefore = 10;
    int lights = 0;  // the board's active lights; 0 leaves the device's own
    std::string keys;
    std::string dataHome;
    // Results.
    int endingFrames = 0, galleryFrames = 0, staffRollFrames = 0;
    int titleAt = 0;
    int coursesOpenAfter = 0;
    bool lightOneInGallery = false, lightOneAfter = true;
    uint32_t galleryAmbient = 0;
};

int RunFinale(void* context) {
    Finale& f = *static_cast<Finale*>(context);
    if (!StartGameInProcess(0, 12, MakeTempDir() + "/debug.txt", WriteInputScript(f.keys), f.dataHome)) return 100;
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    if (f.lights > 0) maxActiveLights = f.lights;
    autoSave = 1;
    coursesOpen = f.coursesOpenBefore;
    currentCourse = 10;
    frameCount = 0;
    frameProc = CourseClearFrame;
    while (frameNumber < 12000 && PumpMessages()) {
        const FrameProc scene = frameProc;
        RunFrame();
        if (scene == EndingFrame) ++f.endingFrames;
        if (scene == GalleryFrame) {
            ++f.galleryFrames;
            BOOL on = 0;
            device->GetLightEnable(1, &on);
            f.lightOneInGallery = f.lightOneInGallery || on;
            DWORD ambient = 0;
            device->GetRenderState(D3DRS_AMBIENT, &ambient);
            f.galleryAmbient = ambient;
        }
        if (scene == StaffRollFrame) ++f.staffRollFrames;
        if (frameProc == TitleFrame) {
            f.titleAt = static_cast<int>(frameNumber);
            BOOL on = 1;
            device->GetLightEnable(1, &on);
            f.lightOneAfter = on;
            break;
        }
    }
    f.coursesOpenAfter = coursesOpen;
    device->SetCooperativeLevelForTest(D3D_OK);
    StopGameInProcess(true);
    // The results go back through a file: the child's memory ends with it.
    FILE* out = std::fopen((f.dataHome + "/finale.txt").c_str(), "w");
    if (!out) return 101;
    std::fprintf(out, "%d %d %d %d %d %d %d %u\n", f.endingFrames, f.galleryFrames, f.staffRollFrames, f.titleAt,
                 f.coursesOpenAfter, f.lightOneInGallery ? 1 : 0, f.lightOneAfter ? 1 : 0, f.galleryAmbient);
    std::fclose(out);
    return 0;
}

Finale PlayFinale(Finale f) {
    f.dataHome = MakeTempDir();
    EXPECT_EQ(RunInChildProcess(RunFinale, &f), 0);
    int lightIn = 0, lightAfter = 0;
    const std::string text = ReadFile(f.dataHome + "/finale.txt");
    EXPECT_EQ(std::sscanf(text.c_str(), "%d %d %d %d %d %d %d %u", &f.endingFrames, &f.galleryFrames,
                          &f.staffRollFrames, &f.titleAt, &f.coursesOpenAfter, &lightIn, &lightAfter,
                          &f.galleryAmbient),
              8)
        << text;
    f.lightOneInGallery = lightIn != 0;
    f.lightOneAfter = lightAfter != 0;
    return f;
}

// Every skip key and pad button of the scenes, pressed again and again over the whole way.
std::string EveryKeyAgainAndAgain(int until) {
    const char* const keys[] = {"Z", "X", "A", "S", "Q", "PAD0:6", "PAD0:7", "PAD0:9"};
    std::string script;
    int k = 0;
    for (int frame = 3; frame < until; frame += 41) script += PressAt(frame, keys[k++ % 8]);
    return script;
}

TEST(Finale, TheFirstWinPlaysTheWholeEndingWithEveryKeyIgnoredThenSavesWithAllCoursesOpen) {
    Finale f;
    f.keys = EveryKeyAgainAndAgain(11000);
    f = PlayFinale(f);
    // The course progression's frame, then 3601 + 4501 + 1801 frames, then the title.
    EXPECT_EQ(f.endingFrames, kEndingLastFrame + 1);
    EXPECT_EQ(f.galleryFrames, kGalleryLastFrame + 1);
    EXPECT_EQ(f.staffRollFrames, kStaffRollLastFrame + 1);
    EXPECT_EQ(f.titleAt, 1 + 3601 + 4501 + 1801);
    EXPECT_EQ(f.coursesOpenAfter, kAllCoursesOpen);
    EXPECT_TRUE(f.lightOneInGallery);
    EXPECT_FALSE(f.lightOneAfter);
    EXPECT_EQ(f.galleryAmbient, 0xff000000u);
    // What the next start will load.
    setenv("XDG_DATA_HOME", f.dataHome.c_str(), 1);
    ResetSaveState();
    ASSERT_TRUE(ReadSaveFile());
    EXPECT_EQ(coursesOpen, kAllCoursesOpen);
    ResetSaveState();
    unsetenv("XDG_DATA_HOME");
}

TEST(Finale, ALaterWinLetsEachSceneBeSkippedToItsFadeOutWithOneKey) {
    Finale f;
    f.coursesOpenBefore = kAllCoursesOpen;
    // The ending starts on game frame 1: a key at its frame 200 (still fading in) does nothing, one
    // at frame 400 jumps to 3350: 251 frames more. The gallery then starts on game frame 653; a key
    // at its frame 100 jumps to 4200 (301 frames more); the staff roll starts on frame 1055 and a key
    // at its frame 10 ends it.
    f.keys = PressAt(201, "Z") + PressAt(401, "X") + PressAt(653 + 100, "A") + PressAt(1055 + 10, "PAD0:9");
    f = PlayFinale(f);
    EXPECT_EQ(f.endingFrames, 401 + 251);
    EXPECT_EQ(f.galleryFrames, 101 + 301);
    EXPECT_EQ(f.staffRollFrames, 11 + 1);
    EXPECT_EQ(f.coursesOpenAfter, kAllCoursesOpen);
}

TEST(Finale, AOneLightBoardStillShowsTheEndingAndTheGalleryInWhiteAmbientLight) {
    Finale f;
    f.lights = 1;
    f = PlayFinale(f);
    EXPECT_EQ(f.endingFrames, kEndingLastFrame + 1);
    EXPECT_EQ(f.galleryFrames, kGalleryLastFrame + 1);
    EXPECT_FALSE(f.lightOneInGallery);  // never asked of a board without it
    EXPECT_EQ(f.galleryAmbient, 0xffffffffu);
    EXPECT_EQ(f.coursesOpenAfter, kAllCoursesOpen);
}

// Each car fills most of the picture above its name while the name shows: its body's box, carried
// to the screen, lies inside it, above the name, and spans over half its width.
int GalleryFraming(void* context) {
    const std::string& report = *static_cast<std::string*>(context);
    std::string failures;
    if (!StartGameInProcess(0, 3, MakeTempDir() + "/debug.txt")) return 100;
    for (int i = 0; i < kGalleryVehicleCount; ++i) {
        const GalleryVehicle& v = kGalleryVehicles[i];
        const Mesh& mesh = v.slot < 0 ? playerBodyMesh : opponentModels[v.slot].bodyMesh;
        const int first = 601 + 600 * i;
        for (int t = first; t < first + 300; t += 23) {
            const GalleryCamera cam = GalleryCameraAt(t);
            const D3DXMATRIX body = GalleryVehiclePlacement(i, t);
            float x1 = 1e9f, x2 = -1e9f, y1 = 1e9f, y2 = -1e9f;
            for (int c = 0; c < 8; ++c) {
                const D3DXVECTOR3 corner(c & 1 ? mesh.boundsMax.x : mesh.boundsMin.x,
                                         c & 2 ? mesh.boundsMax.y : mesh.boundsMin.y,
                                         c & 4 ? mesh.boundsMax.z : mesh.boundsMin.z);
                D3DXVECTOR3 world;
                D3DXVec3TransformCoord(&world, &corner, &body);
                const D3DXVECTOR3 p = Pixel(cam.eye, cam.at, world);
                x1 = std::fmin(x1, p.x), x2 = std::fmax(x2, p.x), y1 = std::fmin(y1, p.y), y2 = std::fmax(y2, p.y);
            }
            char line[160];
            if (x1 < 0.0f || x2 > 640.0f || y1 < 0.0f || y2 > kGalleryNameY || x2 - x1 < 320.0f) {
                std::snprintf(line, sizeof line, "car %d at %d: box x %.0f..%.0f y %.0f..%.0f\n", i, t, x1, x2, y1, y2);
                failures += line;
            }
        }
    }
    StopGameInProcess(true);
    FILE* out = std::fopen(report.c_str(), "w");
    if (!out) return 101;
    std::fputs(failures.c_str(), out);
    std::fclose(out);
    return 0;
}

TEST(VehicleGallery, EachCarFillsThePictureAboveItsNameWhileTheNameShows) {
    std::string report = MakeTempDir() + "/framing.txt";
    ASSERT_EQ(RunInChildProcess(GalleryFraming, &report), 0);
    EXPECT_EQ(ReadFile(report), "");
}

}  // namespace
