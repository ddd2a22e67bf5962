// Crystals and the boost gauge: pick-up by the player's car, the gauge that turns crystals into
// stored boosts, the present flags that come back every lap, and the crystals' drawing.
#pragma once
#include <cstdint>

#include "courses/course_geometry.h"
#include "framework/mesh.h"
#include "framework/model.h"

extern uint8_t supplyCrystalPresent[SupplyCrystalSlots];
extern uint8_t boostCrystalPresent[BoostCrystalSlots];

// The crystals' models, one a slot, and their meshes ("SupplyCrystal.x", "BoostCrystal.x").
extern Mesh supplyCrystalMesh, boostCrystalMesh;
extern Model supplyCrystals[SupplyCrystalSlots];
extern Model boostCrystals[BoostCrystalSlots];

// Loads the meshes and points every model at its mesh (boot step 13, working directory "data");
// releases the meshes (shutdown).
void LoadCrystals();
void ReleaseCrystals();
// Stands the crystals of the course's used slots on their sections (see CrystalPosition), turned
// along the section's left edge and upright on its road: the race's start from the course set-up.
void PlaceCrystals();

// Pick-up within 20 units, the gauge flow and the stock, once per race frame.
void PickUpCrystals();
// Turns every crystal by its frame's step (supply crystals 0.1, boost crystals 0.2 radians).
void TurnCrystals();
// Draws the present crystals within `range` sections of `section`, as they stand.
void DrawCrystals(int section, int range);
// Every used crystal present again (each completed lap).
void RestoreCrystals();
