// Reading a decimal number whatever the player's locale (a decimal comma never changes a model).
#pragma once

// Reads first..last, already checked to be a decimal number (an optional minus sign, digits with an
// optional fraction, an optional exponent), into value. False when it is not one; a number beyond
// a double's range (either way) reads as HUGE_VAL and sets outOfRange.
bool ReadDecimal(const char* first, const char* last, double& value, bool& outOfRange);
