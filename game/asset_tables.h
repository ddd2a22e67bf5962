// The asset tables: the textures, text images, meshes and models of the cars and the world that
// the game keeps for its whole run. Created empty at start-up, filled by the boot loader,
// re-pointed by the course set-ups where noted, and released by the shutdown. The sounds, the
// crystals and the HUD panels are kept by their own modules (sound_effects, crystals, race_hud).
#pragma once
#include <cstdint>

#include "framework/mesh.h"
#include "framework/model.h"
#include "framework/texture.h"
#include "framework/vertex_buffer.h"

// --- Textures from the executable's built-in bitmaps -------------------------------------------
extern Texture logoCreditTexture;   // "IDB_CreatedByKiru", released at the end of the logo
extern Texture logoStreamTexture;   // "IDB_stream", released at the end of the logo
extern Texture airTextures[4];      // "IDB_Air1", "IDB_Air2", "IDB_Air3", "IDB_Air2" again
extern const char* const kAirResources[4];

// --- Textures from files -----------------------------------------------------------------------
extern Texture envTexture;  // "envtex.bmp": environment reflection of crystals and cars
enum FileTextureSlot {
    kTextureRoad1, kTextureWall1, kTextureGrass, kTextureLens, kTextureBlackSky, kTextureWater1,
    kTextureWater2, kTextureDesert, kTextureGo, kTextureFinish, kFileTextureCount
};
extern const char* const kFileTextureFiles[kFileTextureCount];
extern Texture fileTextures[kFileTextureCount];

// --- Text images (italic unless noted); [0] the text, [1] its shadow, dimmed or alternate form ---
extern Texture subtitleTexts[2];        // "- Outer Bounds - "
extern Texture rankCaptionText;         // "Rank"
extern Texture rankTexts[18];           // rank n (1..9): [2(n-1)] first set, [2(n-1)+1] second set
extern Texture timerCaptionTexts[4];    // "LIMIT TIME ", "TIME ", "LAST LAP ", "BEST LAP "
extern Texture pauseTexts[2];
extern Texture quitQuestionTexts[2];
extern Texture shortBreakTexts[2];
extern Texture quitNowTexts[2];
extern Texture timeUpTexts[2];
extern Texture outOfRankTexts[2];
extern Texture replayTexts[2];
extern Texture skipTexts[2];            // "Push \"Q\"Key To Skip. "
extern Texture reverseTexts[2];         // the wrong-way warning
extern Texture courseTitleTexts[16][2]; // by course number 1..15 (index 0 unused)
extern Texture countdownTexts[3][2];    // "1 ", "2 ", "3 "
extern Texture numberTexts[10];         // "1 " .. "9 " at [1..9] (index 0 unused)
extern Texture markerText;              // "B", upright
extern Texture lastLapTimeText;         // "99:59.999" until rebuilt by the race
extern Texture bestLapTimeText;

extern const char* const kCourseTitles[16];
extern const uint32_t kCourseTitleColors[16];

// --- The player's car --------------------------------------------------------------------------
extern Mesh playerBodyMesh, playerTireMesh, playerShadowMesh, flameMesh, flame2Mesh;
extern Model playerBody;
extern Model playerTires[4];
extern Model playerShadow;
extern Model playerFlames[6];    // "BFire.x": left 1.2, 0.75, 0.5 then right 1.2, 0.75, 0.5
extern Model playerFlames2[6];   // "BFire2.x", same layout
extern Model ghostBodies[2];     // translucent copies of the whole car, alpha 0.3 and 0.1
extern Model ghostTires[2][4];

// --- Opponents: eight slots; slots 0-3 carry types 1-4, slots 4-7 type 5 ------------------------
constexpr int kOpponentSlots = 8;
struct OpponentModels {
    Mesh bodyMesh, tireMesh, shadowMesh;
    Model body;
    Model tires[4];
    Model shadow;
    Model flames[6];   // size s (0 largest) at position p: [s * 2 + p]
    Model flames2[6];
};
extern OpponentModels opponentModels[kOpponentSlots];

// Glow shells around the player's car: [0] the KORVAN body at 1.09, [1] the type-2 body at 1.1.
extern Mesh glowMeshes[2];
extern Model glowShells[2];

// --- World ----------------------------------------------------------------------------------------
extern Mesh backgroundMesh;   // the sky; course and title set-ups reload it
extern Model backgroundModel;
extern Mesh nullMesh;
extern Model nullModel;
extern Mesh gateMesh;
extern Model gateModel;
constexpr int kSceneryMeshCount = 15;
extern const char* const kSceneryFiles[kSceneryMeshCount];
extern Mesh sceneryMeshes[kSceneryMeshCount];
constexpr int kSceneryPoolSize = 4000;
extern Model sceneryPool[kSceneryPoolSize];
extern Mesh letterMeshes[6];   // "K.x", "O.x", "R.x", "V.x", "A.x", "N.x"
extern Model letterModels[6];

// Loading (boot steps 9-13, working directory already "data") and release (shutdown).
void LoadTextures();
void LoadTextTextures();
void LoadPlayerCar();
void LoadOpponents();
void LoadWorld();
void ReleaseAssetTables();
