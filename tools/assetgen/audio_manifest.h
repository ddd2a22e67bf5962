// Every sound effect and tune the asset generator writes, by the exact file name the game loads.
// The generator and the tests share this one table, so a renamed or forgotten file shows at once.
#pragma once

// The sixteen sound effects, in the game's load order.
inline constexpr const char* kSoundFiles[] = {
    "Signal1.wav", "Signal2.wav", "Hit.wav",     "Drift.wav",   "Recover.wav",   "EneHit.wav",
    "GetCrystal.wav", "Boost1.wav", "Boost2.wav", "Slide.wav",  "Engine.wav",    "Thunder.wav",
    "Wave.wav",    "HeartBeat.wav", "Accept.wav", "Cansel.wav",
};
inline constexpr int kSoundFileCount = sizeof(kSoundFiles) / sizeof(kSoundFiles[0]);

// The nineteen tunes: the shell's four, the ten courses' and the five secret courses'.
inline constexpr const char* kTuneFiles[] = {
    "Title.mid",
    "Result.mid",
    "Ending.mid",
    "Ending2.mid",
    "01BlueSurfAndWind.mid",
    "02GreenNightOfCalmCity.mid",
    "03YellowSandOcean.mid",
    "04RedLavaInTwinVolcano.mid",
    "05BlackSkyIsFalling.mid",
    "06TowardUnlimitedHorizon.mid",
    "07DiveToSunset.mid",
    "08EscapeFromJail.mid",
    "09EverlastingCold.mid",
    "10FarFromTheGlobe.mid",
    "21Secret1.mid",
    "22Secret2.mid",
    "23Secret3.mid",
    "24Secret4.mid",
    "25Secret5.mid",
};
inline constexpr int kTuneFileCount = sizeof(kTuneFiles) / sizeof(kTuneFiles[0]);
