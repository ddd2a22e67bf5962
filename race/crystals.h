// Crystals and the boost gauge: pick-up by the player's car, the gauge that turns crystals into
// stored boosts, the present flags that come back every lap, and the crystals' drawing.
#pragma once
#include <cstdint>

#include "courses/course_geometry.h"

extern uint8_t supplyCrystalPresent[SupplyCrystalSlots];
extern uint8_t boostCrystalPresent[BoostCrystalSlots];

// Pick-up within 20 units, the gauge flow and the stock, once per race frame.
void PickUpCrystals();
// Turns every crystal and draws the present ones inside the draw range.
void DrawCrystals();
// Draws the present crystals inside the draw range as they stand, without turning them.
void DrawStillCrystals();
// Every used crystal present again (each completed lap).
void RestoreCrystals();
