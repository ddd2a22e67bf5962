// The boot loader: checks the graphics board, shows "Loading Now...", fills the asset tables, sets
// the initial render state, probes the music library, and installs the logo scene. Also the game's
// quit routine (the shutdown screen and the release of every table).
#include "shell/boot.h"

#include <ctime>
#include <cstdlib>

#include "framework/application.h"
#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/input.h"
#include "framework/music.h"
#include "framework/switches.h"
#include "framework/text_draw.h"
#include "game/sound_effects.h"
#include "platform/system.h"
#include "race/player_vehicle.h"
#include "game/records.h"
#include "race/race_scenes.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "game/tunes.h"
#include "game/data_dir.h"
#include "shell/key_config_screen.h"
#include "shell/logo_scene.h"
#include "game/pad_config.h"
#include "game/progress.h"
#include "game/save_file.h"
#include "race/course_intro.h"
#include "race/crystals.h"
#include "race/race_hud.h"
#include "race/race_results.h"
#include "race/replay_player.h"
#include "race/time_attack.h"
#include "shell/course_select.h"
#include "shell/demonstration.h"
#include "shell/option_screen.h"
#include "shell/pad_config_screen.h"
#include "shell/records_screen.h"
#include "shell/save_screens.h"
#include "shell/staff_roll.h"
#include "shell/story.h"
#include "shell/vehicle_gallery.h"
#include "shell/course_clear.h"
#include "shell/ending.h"
#include "shell/title_background.h"
#include "shell/title_scene.h"
#include "game/scene_flow.h"
#include "game/settings.h"

bool autoLoadSuccess = false;

namespace {
const char* const kProbeTune = "06TowardUnlimitedHorizon.mid";

// Frames with only a line of text on black: the loading and quitting screens.
void DrawMessageFrame(const char* text) {
    if (!BeginFrame(0xff000000)) return;
    device->SetTransform(D3DTS_VIEW, &viewMatrix);
    device->SetTransform(D3DTS_PROJECTION, &projectionMatrix);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->LightEnable(0, 0);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetTexture(0, nullptr);
    BeginText();
    DrawText(260, 200, text);
    EndText();
    EndFrame();
}
}  // namespace

BoardCheck CheckGraphicsBoard(int maxWidth, int maxHeight, int activeLights, int squareOnly, int textureStages) {
    BoardCheck check;
    check.caution = maxWidth < 512 || maxHeight < 512;
    check.warning = activeLights < 2 || squareOnly != 0 || textureStages < 2;
    return check;
}

namespace {
// Every scene by name, for the frame statistics' per-scene figures.
void NameScenes() {
    const struct {
        FrameProc scene;
        const char* name;
    } scenes[] = {
        {BlackFrame, "black"},           {LogoFrame, "logo"},
        {StoryFrame, "story"},           {DemonstrationFrame, "demonstration"},
        {TitleFrame, "title"},           {CourseSelectFrame, "course_select"},
        {RecordsFrame, "records"},       {OptionFrame, "option"},
        {PadConfigFrame, "pad_config"},  {KeyConfigFrame, "key_config"},
        {SaveFrame, "save"},
        {LoadFrame, "load"},             {PreRaceFrame, "intro"},
        {CountdownFrame, "countdown"},   {RaceFrame, "race"},
        {PauseFrame, "pause"},           {TimeUpFrame, "time_up"},
        {OutOfRankFrame, "out_of_rank"}, {ReplayFrame, "replay"},
        {ResultsFrame, "results"},       {CourseClearFrame, "course_clear"},
        {EndingFrame, "ending"},         {GalleryFrame, "gallery"},
        {StaffRollFrame, "staff_roll"},  {TimeAttackResultsFrame, "time_attack_results"},
    };
    for (const auto& s : scenes) NameScene(s.scene, s.name);
}
}  // namespace

void GameBoot() {
    // 1. Window title, hidden cursor, the random generator from the millisecond clock (a seed
    //    given on the command line keeps a scripted run reproducible).
    SysShowCursor(false);
    if (!programOptions.seedGiven) std::srand(SysTimeMs());
    SetWindowTitle("KORVAN -Outer Bounds-");

    // 2. Can this board run the game? Both checks run; only "Caution" closes the program.
    BoardCheck board = CheckGraphicsBoard(maxTextureWidth, maxTextureHeight, maxActiveLights, squareTexturesOnly,
                                          maxTextureStages);
    if (board.caution) {
        SysMessageBox("Caution", "This Game Cannot Work \nOn This Graphic Board.");
        CloseMainWindow();
    }
    if (board.warning) SysMessageBox("Warning", "This Game Wouldn't Work Correctly\nOn This Graphic Board.");

    // 3-4. The shell font, the pad buttons.
    CreateTextFont(16, 0xff00c0ff, 700);
    ResetPadButtons();
    SetPadsEnabled(true);

    // 5. The only frame drawn while loading.
    DrawMessageFrame("Loading Now...");

    // 6. Initial render state.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_PHONG);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_NOTEQUAL);

    // 7. Sounds.
    EnterDataDirectory();
    LoadSounds();

    // 8. Music: the player always; the background-music library only when its probe passes.
    LoadMusic(kProbeTune);
    kbgmReady = ProbeBackgroundMusic(kProbeTune);
    bgmType = kbgmReady ? 2 : 1;

    // 9-13. Textures, text images, meshes and models.
    LoadTextures();
    LoadPlayerCar();
    LoadOpponents();
    LoadWorld();
    LoadCrystals();

    // 14. Course 1 is always built, so every race scene has a course to stand on.
    LeaveDataDirectory();
    SetUpFirstCourse();

    // 15-16. Lap history, HUD panels, records and race state; the player drives.
    ResetLapHistory();
    BuildHudPanels();
    ResetRecords();
    ResetProgress();
    ResetRace();
    playerControl = DriveByInput;

    // 17. Auto-load from the user's data folder; a failed read leaves every default in force (the
    //     read itself turns BGM Type 2 into 1 without the music library).
    autoLoadSuccess = ReadSaveFile();
    Log(autoLoadSuccess ? "Auto Load Success\n" : "auto load: no save file read, the defaults stay\n");

    // 18. Without table fog the pixel fog setting cannot work.
    if (!fogTableCap) fogType = 0;

    // A race that ends without a finish (or any race, until its results exist) leads to the title.
    raceExits.titleSetUp = TitleSetUp;
    raceExits.titleFrame = TitleFrame;
    raceExits.courseClearFrame = CourseClearFrame;
    timeAttackCourseSelect = CourseSelectFrame;
    // Course 10 won: the ending, the vehicle gallery and the staff roll.
    courseTenEnding = StartEnding;

    NameScenes();

    // 19. The logo; or, with --course, straight into that course's countdown.
    DrawLogoUnseen();
    SetScene(LogoFrame);
    if (programOptions.course > 0 && programOptions.timeAttack) {
        StartTimeAttack(programOptions.course);
    } else if (programOptions.course > 0) {
        StartCourseFromSwitch(programOptions.course);
    }
}

void GameFirstFrame() { SetScene(BlackFrame); }

void GameQuit() {
    DrawMessageFrame("Quitting Now...");
    DrawMessageFrame("Quitting Now...");
    ReleaseSounds();
    ReleaseAssetTables();
    ReleaseCrystals();
    ReleaseHudPanels();
    ReleaseBackgroundMusic();
    kbgmReady = false;
    UnloadMusic();
    FreeTextFont();
}
