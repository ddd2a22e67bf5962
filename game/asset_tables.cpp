#include "game/asset_tables.h"

#include <cstdio>

#include "game/settings.h"

Texture logoCreditTexture;
Texture logoStreamTexture;
Texture airTextures[4];
const char* const kAirResources[4] = {"IDB_Air1", "IDB_Air2", "IDB_Air3", "IDB_Air2"};

Texture envTexture;
const char* const kFileTextureFiles[kFileTextureCount] = {
    "road1.bmp", "wall1.bmp", "grass.bmp",  "lens.bmp", "blacksky.bmp",
    "water1.bmp", "water2.bmp", "desert.bmp", "GO2.bmp", "FINISH.bmp",
};
Texture fileTextures[kFileTextureCount];

Texture subtitleTexts[2];
Texture rankCaptionText;
Texture rankTexts[18];
Texture timerCaptionTexts[4];
Texture pauseTexts[2];
Texture quitQuestionTexts[2];
Texture shortBreakTexts[2];
Texture quitNowTexts[2];
Texture timeUpTexts[2];
Texture outOfRankTexts[2];
Texture replayTexts[2];
Texture skipTexts[2];
Texture reverseTexts[2];
Texture courseTitleTexts[16][2];
Texture countdownTexts[3][2];
Texture numberTexts[10];
Texture markerText;
Texture lastLapTimeText;
Texture bestLapTimeText;

const char* const kCourseTitles[16] = {
    "",
    "   Blue Surf And Wind    ",
    "Green Night Of Calm City ",
    "   Yellow Sand Ocean     ",
    "Red Lava In Twin Volcano ",
    "  Black Sky Is Falling   ",
    "Toward Unlimited Horizon ",
    "     Dive To Sunset      ",
    "    Escape From Jail     ",
    "    Everlasting Cold     ",
    "   Far From The Globe    ",
    "       I Love You       ",
    "    Under Water 2nd     ",
    "   Gloomy Tunnel 2nd    ",
    "    Can You Pick Up     \n     All Crystals ?     ",
    "     Demonstration      ",
};
const uint32_t kCourseTitleColors[16] = {
    0,          0xff0080ff, 0xff40ff80, 0xffffff00, 0xffff0000, 0xff000000, 0xff00ff00, 0xffff8040,
    0xff0000ff, 0xffffffff, 0xff000000, 0xffffd0a0, 0xff0000ff, 0xff402020, 0xffffffff, 0xff00ffff,
};

Mesh playerBodyMesh, playerTireMesh, playerShadowMesh, flameMesh, flame2Mesh;
Model playerBody;
Model playerTires[4];
Model playerShadow;
Model playerFlames[6];
Model playerFlames2[6];
Model ghostBodies[2];
Model ghostTires[2][4];

OpponentModels opponentModels[kOpponentSlots];

Mesh glowMeshes[2];
Model glowShells[2];

Mesh backgroundMesh;
Model backgroundModel;
Mesh nullMesh;
Model nullModel;
Mesh gateMesh;
Model gateModel;
const char* const kSceneryFiles[kSceneryMeshCount] = {
    "Null.x",  "TreeL.x",     "TreeR.x",     "MountainL1.x", "MountainR1.x",
    "Arrow1.x", "Arrow2.x",   "TV.x",        "BuildingL.x",  "BuildingR.x",
    "Cactus.x", "MountainL2.x", "MountainR2.x", "PoleL.x",   "PoleR.x",
};
static const bool kSceneryBlackKey[kSceneryMeshCount] = {false, true,  true,  true,  true,  false, false, false,
                                                         false, false, false, true,  true,  true,  true};
Mesh sceneryMeshes[kSceneryMeshCount];
Model sceneryPool[kSceneryPoolSize];
Mesh letterMeshes[6];
Model letterModels[6];

namespace {
constexpr uint32_t kBlackKey = 0xff000000;
const char* const kFace = "ＭＳ ゴシック";

// Two text images of one text, the second the shadow or alternate colour.
void MakeTextPair(Texture pair[2], const char* text, int height, uint32_t color, uint32_t shadow, int weight) {
    pair[0].CreateFromTextItalic(text, height, color, weight, kFace);
    pair[1].CreateFromTextItalic(text, height, shadow, weight, kFace);
}

// The tyre, shadow and flame layout of one car type, relative to its body.
struct CarLayout {
    float tires[4][3];
    float flamePos[2][3];    // two positions (left and right, or front and back)
    float flameScale[3];
    float flame2Pos[2][3];
    float flame2Scale[3];
};

const CarLayout kPlayerLayout = {
    {{-3.6f, -1.8f, 5.2f}, {3.6f, -1.8f, 5.2f}, {-3.6f, -1.8f, -6.6f}, {3.6f, -1.8f, -6.6f}},
    {{-3.6f, 2.0f, -13.3f}, {3.6f, 2.0f, -13.3f}}, {1.2f, 0.75f, 0.5f},
    {{-3.6f, 2.0f, -13.3f}, {3.6f, 2.0f, -13.3f}}, {1.2f, 0.75f, 0.5f},
};

// Opponent types 1..5.
const CarLayout kOpponentLayouts[5] = {
    {{{-3.6f, -1.8f, 5.2f}, {3.6f, -1.8f, 5.2f}, {-3.6f, -1.8f, -6.6f}, {3.6f, -1.8f, -6.6f}},
     {{-2.65f, 3.0f, -11.5f}, {2.65f, 3.0f, -11.5f}}, {1.2f, 0.75f, 0.5f},
     {{-2.65f, 3.0f, -11.5f}, {2.65f, 3.0f, -11.5f}}, {1.2f, 0.75f, 0.5f}},
    {{{-3.6f, -1.8f, 5.2f}, {3.6f, -1.8f, 5.2f}, {-3.6f, -1.8f, -6.6f}, {3.6f, -1.8f, -6.6f}},
     {{-3.6f, 2.0f, -13.3f}, {3.6f, 2.0f, -13.3f}}, {1.2f, 0.75f, 0.5f},
     {{-3.6f, 2.0f, -13.3f}, {3.6f, 2.0f, -13.3f}}, {1.2f, 0.75f, 0.5f}},
    {{{-3.65f, -2.3f, 5.2f}, {3.65f, -2.3f, 5.2f}, {-4.6f, -2.3f, -1.85f}, {4.6f, -2.3f, -1.85f}},
     {{-2.6f, 0.0f, -14.3f}, {2.6f, 0.0f, -14.3f}}, {1.2f, 0.75f, 0.5f},
     {{0.0f, 0.0f, -14.3f}, {0.0f, 0.0f, -15.3f}}, {1.2f, 0.75f, 0.5f}},
    {{{-6.2f, -1.8f, 5.2f}, {6.2f, -1.8f, 5.2f}, {-6.2f, -1.8f, -6.6f}, {6.2f, -1.8f, -6.6f}},
     {{-4.1f, 1.5f, -16.3f}, {4.1f, 1.5f, -16.3f}}, {1.5f, 1.1f, 0.7f},
     {{-4.1f, 5.7f, -16.3f}, {4.1f, 5.7f, -16.3f}}, {0.9f, 0.6f, 0.4f}},
    {{{-3.84f, -1.8f, 5.2f}, {3.84f, -1.8f, 5.2f}, {-4.96f, -1.8f, -6.6f}, {4.96f, -1.8f, -6.6f}},
     {{0.0f, 1.0f, -13.3f}, {0.0f, 1.0f, -15.3f}}, {2.0f, 1.5f, 1.0f},
     {{0.0f, 1.0f, -13.3f}, {0.0f, 1.0f, -15.3f}}, {2.0f, 1.5f, 1.0f}},
};

void PlaceChild(Model& m, Mesh* mesh, Model* parent, const float pos[3], float scale) {
    m.Init(mesh, pos[0], pos[1], pos[2], scale);
    m.parent = parent;
}

// Builds one opponent slot's models with the layout of a type.
void BuildOpponentModels(int slot, const CarLayout& layout) {
    static const float kOpponentFlameAlpha[3] = {0.25f, 0.4f, 0.6f};
    static const float kShadowPos[3] = {0.0f, -5.1f, 0.0f};
    OpponentModels& m = opponentModels[slot];
    m.body.Init(&m.bodyMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    for (int t = 0; t < 4; ++t) PlaceChild(m.tires[t], &m.tireMesh, &m.body, layout.tires[t], 1.0f);
    PlaceChild(m.shadow, &m.shadowMesh, &m.body, kShadowPos, 1.0f);
    for (int s = 0; s < 3; ++s) {
        for (int p = 0; p < 2; ++p) {
            Model& f = m.flames[s * 2 + p];
            PlaceChild(f, &flameMesh, &m.body, layout.flamePos[p], layout.flameScale[s]);
            f.alpha = kOpponentFlameAlpha[s];
            Model& f2 = m.flames2[s * 2 + p];
            PlaceChild(f2, &flame2Mesh, &m.body, layout.flame2Pos[p], layout.flame2Scale[s]);
            f2.alpha = kOpponentFlameAlpha[s];
        }
    }
}

void LoadOpponentMeshes(int slot, int type, bool playerShadowForIt) {
    OpponentModels& m = opponentModels[slot];
    char name[32];
    std::snprintf(name, sizeof(name), "Enemybody%d.x", type);
    m.bodyMesh.Load(name, 0, 0);
    std::snprintf(name, sizeof(name), "Enemytire%d.x", type);
    m.tireMesh.Load(name, 0, 0);
    if (playerShadowForIt) {
        m.shadowMesh.Load("KORVANshadow.x", 0, 0);
    } else {
        std::snprintf(name, sizeof(name), "Enemyshadow%d.x", type);
        m.shadowMesh.Load(name, 0, 0);
    }
}
}  // namespace

void LoadTextures() {
    // Step 9: the logo bitmaps, the subtitle, the environment map, then the race's text images.
    logoCreditTexture.LoadFromResource("IDB_CreatedByKiru", kBlackKey, 1);
    MakeTextPair(subtitleTexts, "- Outer Bounds - ", 32, 0xff0080ff, 0xff808080, 700);
    logoStreamTexture.LoadFromResource("IDB_stream", kBlackKey, 1);
    envTexture.LoadFromFile("envtex.bmp", 0, 1);
    LoadTextTextures();

    // Step 10: the file textures, the air layers and the HUD marker.
    static const uint32_t kFileKeys[kFileTextureCount] = {0, 0, 0, kBlackKey, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < kFileTextureCount; ++i) fileTextures[i].LoadFromFile(kFileTextureFiles[i], kFileKeys[i], 1);
    for (int i = 0; i < 4; ++i) airTextures[i].LoadFromResource(kAirResources[i], 0, 1);
    markerText.CreateFromText("B", 8, 0xff00ff00, 700, kFace);
}

void LoadTextTextures() {
    static const uint32_t kRankFirst[9] = {0xffffff00, 0xffffe000, 0xffffc000, 0xffffa000, 0xffff8000,
                                           0xffff6000, 0xffff4000, 0xffff2000, 0xffff0000};
    static const uint32_t kRankSecond[9] = {0xffffffff, 0xffe0e0e0, 0xffc0c0c0, 0xffa0a0a0, 0xff808080,
                                            0xff606060, 0xff404040, 0xff202020, 0xff010101};
    static const char* const kRankNames[9] = {"1st ", "2nd ", "3rd ", "4th ", "5th ", "6th ", "7th ", "8th ", "9th "};
    rankCaptionText.CreateFromTextItalic("Rank", 32, 0xffff0000, 700, kFace);
    for (int i = 0; i < 9; ++i) rankTexts[2 * i].CreateFromTextItalic(kRankNames[i], 32, kRankFirst[i], 700, kFace);
    for (int i = 0; i < 9; ++i) rankTexts[2 * i + 1].CreateFromTextItalic(kRankNames[i], 34, kRankSecond[i], 700, kFace);
    static const char* const kTimerCaptions[4] = {"LIMIT TIME ", "TIME ", "LAST LAP ", "BEST LAP "};
    static const uint32_t kTimerColors[4] = {0xffff0000, 0xff00ff00, 0xffffff00, 0xffff8040};
    for (int i = 0; i < 4; ++i) timerCaptionTexts[i].CreateFromTextItalic(kTimerCaptions[i], 16, kTimerColors[i], 700, kFace);
    MakeTextPair(pauseTexts, "PAUSE ", 64, 0xff0080ff, 0xff808080, 700);
    MakeTextPair(quitQuestionTexts, "Do You Want To Quit This Race Now ? ", 16, 0xff0080ff, 0xff808080, 700);
    MakeTextPair(shortBreakTexts, "No, It's A Short Break. ", 16, 0xff0080ff, 0xff808080, 700);
    MakeTextPair(quitNowTexts, "Yes, I'm Going To Quit Now. ", 16, 0xff0080ff, 0xff808080, 700);
    MakeTextPair(timeUpTexts, "Time Up ", 64, 0xffff0000, 0xff808080, 700);
    MakeTextPair(outOfRankTexts, "Out Of Rank 4 ", 64, 0xffff0000, 0xff808080, 700);
    MakeTextPair(replayTexts, "REPLAY ", 32, 0xffff0000, 0xffff8040, 700);
    MakeTextPair(skipTexts, "Push \"Q\"Key To Skip. ", 32, 0xff4080ff, 0xff010101, 700);
    MakeTextPair(reverseTexts, "     Reverse !! \nWhere Are You Going ? ", 56, 0xffff0000, 0xffffff00, 700);
    for (int c = 1; c <= 15; ++c) MakeTextPair(courseTitleTexts[c], kCourseTitles[c], 32, kCourseTitleColors[c], 0xff808080, 400);
    static const char* const kCount[3] = {"1 ", "2 ", "3 "};
    for (int i = 0; i < 3; ++i) MakeTextPair(countdownTexts[i], kCount[i], 128, 0xffff0000, 0xff808080, 400);
    for (int n = 1; n <= 9; ++n) {
        char text[8];
        std::snprintf(text, sizeof(text), "%d ", n);
        numberTexts[n].CreateFromTextItalic(text, 16, 0xffff0000, 700, kFace);
    }
}

void LoadPlayerCar() {
    static const float kShadowPos[3] = {0.0f, -5.1f, 0.0f};
    static const float kPlayerFlameAlpha[3] = {0.5f, 0.7f, 0.9f};
    playerBodyMesh.Load("KORVANbody.x", 0, 0);
    playerTireMesh.Load("KORVANtire.x", 0, 0);
    playerShadowMesh.Load("KORVANshadow.x", 0, 0);
    playerBody.Init(&playerBodyMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    for (int t = 0; t < 4; ++t) PlaceChild(playerTires[t], &playerTireMesh, &playerBody, kPlayerLayout.tires[t], 1.0f);
    PlaceChild(playerShadow, &playerShadowMesh, &playerBody, kShadowPos, 1.0f);
    // Three flames a side: left first, each side from the largest to the smallest.
    flameMesh.Load("BFire.x", 0, 0);
    for (int side = 0; side < 2; ++side) {
        for (int s = 0; s < 3; ++s) {
            Model& f = playerFlames[side * 3 + s];
            PlaceChild(f, &flameMesh, &playerBody, kPlayerLayout.flamePos[side], kPlayerLayout.flameScale[s]);
            f.alpha = kPlayerFlameAlpha[s];
        }
    }
    flame2Mesh.Load("BFire2.x", 0, 0);
    for (int side = 0; side < 2; ++side) {
        for (int s = 0; s < 3; ++s) {
            Model& f = playerFlames2[side * 3 + s];
            PlaceChild(f, &flame2Mesh, &playerBody, kPlayerLayout.flame2Pos[side], kPlayerLayout.flame2Scale[s]);
            f.alpha = kPlayerFlameAlpha[s];
        }
    }
    // Two translucent copies of the whole car for the race's drawing.
    static const float kGhostAlpha[2] = {0.3f, 0.1f};
    for (int g = 0; g < 2; ++g) {
        ghostBodies[g].Init(&playerBodyMesh, 0.0f, 0.0f, 0.0f, 1.0f);
        ghostBodies[g].alpha = kGhostAlpha[g];
        for (int t = 0; t < 4; ++t) {
            PlaceChild(ghostTires[g][t], &playerTireMesh, &ghostBodies[g], kPlayerLayout.tires[t], 1.0f);
            ghostTires[g][t].alpha = kGhostAlpha[g];
        }
    }
}

void LoadOpponents() {
    // Every slot starts as type 5; slots 3, 2, 1, 0 are then reloaded with types 4, 3, 2, 1.
    for (int slot = 0; slot < kOpponentSlots; ++slot) LoadOpponentMeshes(slot, 5, false);
    LoadOpponentMeshes(3, 4, false);
    LoadOpponentMeshes(2, 3, false);
    LoadOpponentMeshes(1, 2, true);  // there is no type-2 shadow: it wears the player's
    LoadOpponentMeshes(0, 1, false);
    for (int slot = 0; slot < kOpponentSlots; ++slot) BuildOpponentModels(slot, kOpponentLayouts[4]);
    for (int slot = 3; slot >= 0; --slot) BuildOpponentModels(slot, kOpponentLayouts[slot]);
    // Glow shells hang from the player's body.
    glowMeshes[0].Load("KORVANbody.x", 0, 0);
    glowMeshes[1].Load("Enemybody2.x", 0, 0);
    glowShells[0].Init(&glowMeshes[0], 0.0f, 0.0f, 0.0f, 1.09f);
    glowShells[1].Init(&glowMeshes[1], 0.0f, 0.0f, 0.0f, 1.1f);
    for (Model& g : glowShells) {
        g.parent = &playerBody;
        g.alpha = 0.4f;
    }
}

void LoadWorld() {
    backgroundMesh.Load("BackGround1.x", 0, 0);
    backgroundModel.Init(&backgroundMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    nullMesh.Load("Null.x", 0, 0);
    nullModel.Init(&nullMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    gateMesh.Load("Gate.x", 0, 0);
    gateModel.Init(&gateMesh, 0.0f, 0.0f, 0.0f, 1.0f);
    for (int i = 0; i < kSceneryMeshCount; ++i) sceneryMeshes[i].Load(kSceneryFiles[i], kSceneryBlackKey[i] ? kBlackKey : 0, 0);
    for (Model& m : sceneryPool) m.Init(&sceneryMeshes[0], 0.0f, 0.0f, 0.0f, 1.0f);
    static const char* const kLetters[6] = {"K.x", "O.x", "R.x", "V.x", "A.x", "N.x"};
    for (int i = 0; i < 6; ++i) {
        letterMeshes[i].Load(kLetters[i], 0, 0);
        letterModels[i].Init(&letterMeshes[i], 0.0f, 0.0f, 0.0f, 1.0f);
    }
    lastLapTimeText.CreateFromTextItalic("99:59.999", 16, 0xff00c0ff, 700, kFace);
    bestLapTimeText.CreateFromTextItalic("99:59.999", 16, 0xff00c0ff, 700, kFace);
}

void ReleaseAssetTables() {
    // Text images.
    for (Texture* pair : {subtitleTexts, pauseTexts, quitQuestionTexts, shortBreakTexts, quitNowTexts, timeUpTexts,
                          outOfRankTexts, replayTexts, skipTexts, reverseTexts}) {
        pair[0].Release();
        pair[1].Release();
    }
    rankCaptionText.Release();
    for (Texture& t : rankTexts) t.Release();
    for (Texture& t : timerCaptionTexts) t.Release();
    for (auto& pair : courseTitleTexts) {
        pair[0].Release();
        pair[1].Release();
    }
    for (auto& pair : countdownTexts) {
        pair[0].Release();
        pair[1].Release();
    }
    for (Texture& t : numberTexts) t.Release();
    markerText.Release();
    lastLapTimeText.Release();
    bestLapTimeText.Release();
    // Textures.
    logoCreditTexture.Release();
    logoStreamTexture.Release();
    envTexture.Release();
    for (Texture& t : fileTextures) t.Release();
    for (Texture& t : airTextures) t.Release();
    // Meshes (models hold no resources of their own).
    for (Mesh* m : {&playerBodyMesh, &playerTireMesh, &playerShadowMesh, &flameMesh, &flame2Mesh, &backgroundMesh,
                    &nullMesh, &gateMesh}) {
        m->Release();
    }
    for (OpponentModels& m : opponentModels) {
        m.bodyMesh.Release();
        m.tireMesh.Release();
        m.shadowMesh.Release();
    }
    for (Mesh& m : glowMeshes) m.Release();
    for (Mesh& m : sceneryMeshes) m.Release();
    for (Mesh& m : letterMeshes) m.Release();
}
