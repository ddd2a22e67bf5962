// Crystals and the boost gauge: pick-up by the player's car, the gauge that turns crystals into
// stored boosts, the present flags that come back every lap, and the crystals' drawing.
#pragma once
#include <cstdint>

#include "courses/course_geometry.h"

extern uint8_t supplyCrystalPresent[SupplyCrystalSlots];
extern uint8_t boostCrystalPresent[BoostCrystalSlots];

// Pick-up within 20 units, the gauge flow and the stock, once per race frame.
void PickUpCrystals();
// Turns every crystal by its frame's step (supply crystals 0.1, boost crystals 0.2 radians).
void TurnCrystals();
// Draws the present crystals within `range` sections of `section`, as they stand.
void DrawCrystals(int section, int range);
// Every used crystal present again (each completed lap).
void RestoreCrystals();
