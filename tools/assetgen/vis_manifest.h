// Every mesh and texture file the asset generator writes into the data directory, and the names of
// the bitmaps it builds into the executable. The generator refuses to finish when what it wrote
// differs from these tables; tests and the boot loader can check a data directory against them.
#pragma once

// Meshes the game loads by name, then the textures they and the game load.
inline constexpr const char* kVisualMeshFiles[] = {
    // the player's car and the opponents
    "KORVANbody.x", "KORVANtire.x", "KORVANshadow.x", "BFire.x", "BFire2.x",
    "Enemybody1.x", "Enemybody2.x", "Enemybody3.x", "Enemybody4.x", "Enemybody5.x",
    "Enemytire1.x", "Enemytire2.x", "Enemytire3.x", "Enemytire4.x", "Enemytire5.x",
    "Enemyshadow1.x", "Enemyshadow3.x", "Enemyshadow4.x", "Enemyshadow5.x",
    // placeholders (both spellings the course tables use), gate, crystals, title letters
    "Null.x", "NULL.x", "Gate.x", "SupplyCrystal.x", "BoostCrystal.x",
    "K.x", "O.x", "R.x", "V.x", "A.x", "N.x",
    // trackside scenery
    "TreeL.x", "TreeR.x", "MountainL1.x", "MountainR1.x", "Arrow1.x", "Arrow2.x", "TV.x",
    "BuildingL.x", "BuildingR.x", "Cactus.x", "MountainL2.x", "MountainR2.x", "PoleL.x", "PoleR.x",
    // backgrounds and set pieces
    "BackGround1.x", "BackGround2.x", "BackGround3.x", "pyramid.x", "BackGround4.x", "Volcano.x",
    "BackGround4_1.x", "BackGround5.x", "BackGround5_1.x", "BackGround6.x", "BackGround7.x",
    "BackGround7_1.x", "BackGround8.x", "BackGround9.x", "BackGround10.x", "BackGround10_1.x",
};

inline constexpr const char* kVisualTextureFiles[] = {
    // loaded by the game itself
    "envtex.bmp", "road1.bmp", "road2.bmp", "road3.bmp",
    "wall1.bmp", "wall2.bmp", "wall3.bmp", "wall4.bmp", "wall5.bmp", "wall6.bmp", "wall7.bmp", "wall8.bmp",
    "grass.bmp", "lens.bmp", "blacksky.bmp", "water1.bmp", "water2.bmp", "desert.bmp", "GO2.bmp", "FINISH.bmp",
    // named by the meshes
    "sky1.bmp", "sky2.bmp", "sky3.bmp", "sky4.bmp", "sky5.bmp", "sky6.bmp", "sky7.bmp", "sky9.bmp",
    "jail.bmp", "space.bmp", "lava.bmp", "volcano.bmp", "storm.bmp", "earth.bmp", "moon.bmp", "giant.bmp",
    "palette.bmp", "pyramid.bmp", "building.bmp", "tvscreen.bmp", "gate.bmp",
};

// Built into the executable: four 256 x 256 pictures and the window icon.
inline constexpr const char* kBuiltinBitmapNames[] = {
    "IDB_CreatedByKiru", "IDB_stream", "IDB_Air1", "IDB_Air2", "IDB_Air3", "IDI_ICON101",
};
