// The plans of the game's tunes: one line per piece, each with its own key, tempo, groove, sound and
// harmony, chosen for the scene or course it plays under.
#include "tools/assetgen/tune_compose.h"

namespace {

// General MIDI programs used below, counted from 0. Only everyday instruments: both music players
// (the SoundFont one and the compact built-in synthesizer) render these well.
enum Program {
    kPiano = 0, kElectricPiano = 4, kCelesta = 8, kVibraphone = 11, kMarimba = 12, kRockOrgan = 18,
    kNylonGuitar = 24, kOverdriveGuitar = 29, kDistortionGuitar = 30, kFingerBass = 33, kPickBass = 34,
    kSynthBass = 38, kSynthBass2 = 39, kHarp = 46, kStrings = 48, kSlowStrings = 49, kSynthStrings = 50,
    kBrassSection = 61, kSynthBrass = 62, kAltoSax = 65, kOboe = 68, kClarinet = 71, kFlute = 73,
    kSquareLead = 80, kSawLead = 81, kWarmPad = 89, kPolySynth = 90, kChoirPad = 91,
};
constexpr int kNone = -1;

using S = TuneScale;
using G = TuneGroove;

}  // namespace

const TunePlan kTunePlans[] = {
    // Title: a confident theme in D major that invites the player in.
    {"Title.mid", 0x7a11e5ull, 136, 38, S::Major, G::Rock,
     kSynthBrass, kStrings, kSynthBass, kSquareLead, kNone, false, 62, 86, 1,
     "1 5 6 4 1 5 4/5 1", "6 4 1 5 6 4 2 5", "4 4 1 1 6 6 5 5", "4 5 4/5 5", "IABCAT"},
    // Results: a slow, easy groove in F to breathe out after the race.
    {"Result.mid", 0x2e5017ull, 96, 41, S::Major, G::Calm,
     kVibraphone, kWarmPad, kFingerBass, kNone, kElectricPiano, false, 62, 84, 0,
     "1 6 4 5 1 6 27 5", "4 5 3 6 4 5 1 1", "4 4 1 1 2 2 5 5", "4 4 5 5", "IABaT"},
    // Ending: a wistful A minor piano over slow strings and harp.
    {"Ending.mid", 0xe4d1ull, 84, 45, S::Minor, G::Calm,
     kPiano, kSlowStrings, kFingerBass, kHarp, kNone, false, 60, 84, 0,
     "1 6 3 7 1 6 4 5M", "4 7 3 6 4 7 5M 5M", "6 6 7 7 3 3 5M 5M", "4 4 5M 5M", "IABaT"},
    // Ending 2 (the vehicle gallery): hopeful, looking back, in E flat.
    {"Ending2.mid", 0xe4d2ull, 100, 39, S::Major, G::Calm,
     kClarinet, kStrings, kFingerBass, kHarp, kElectricPiano, false, 60, 82, 1,
     "1 3 4 5 1 3 4/5 1", "6 3 4 1 6 3 2 5", "4 5 3 6 2 5 1 1", "4 4 2 5", "IABCaT"},
    // Course 1: sea breeze and speed, E major with a four-on-the-floor beat.
    {"01BlueSurfAndWind.mid", 0x0101ull, 150, 40, S::Major, G::FourFloor,
     kSawLead, kWarmPad, kSynthBass, kSquareLead, kNone, false, 64, 88, 2,
     "1 5 6 4 1 5 4 5", "4 5 3 6 4 5 2 5", "6 4 1 5 6 4 5 5", "4 5 5s 5", "IABACBT"},
    // Course 2: city lights at night, D dorian with sax and electric piano.
    {"02GreenNightOfCalmCity.mid", 0x0202ull, 132, 38, S::Dorian, G::Break,
     kAltoSax, kWarmPad, kFingerBass, kNone, kElectricPiano, false, 60, 82, 1,
     "17 47 17 47 3 4 7 1", "3 4 5 1 3 4 2 2", "47 47 17 17 37 37 4 5", "3 4 5 5", "IABACBT"},
    // Course 3: dunes and heat haze, E harmonic minor with an oboe.
    {"03YellowSandOcean.mid", 0x0303ull, 140, 40, S::HarmonicMinor, G::Rock,
     kOboe, kStrings, kPickBass, kNylonGuitar, kNone, false, 62, 86, 2,
     "1 1 6 5 1 4 6 5", "6 5 4 5 6 5 4/6 5", "1 6 4 5 1 6 4 5", "6 6 5 57", "IABACBT"},
    // Course 4: heavy and hot, C minor with power chords.
    {"04RedLavaInTwinVolcano.mid", 0x0404ull, 160, 36, S::Minor, G::Rock,
     kSawLead, kSynthStrings, kPickBass, kNone, kDistortionGuitar, true, 62, 86, 2,
     "1 1 6 7 1 1 6 5M", "4 4 6 6 4 4 5M 5M", "1 6 3 7 1 6 4 5M", "6 7 5M 5M", "IABACBT"},
    // Course 5: storm clouds, B harmonic minor with a dark choir and a broken beat.
    {"05BlackSkyIsFalling.mid", 0x0505ull, 146, 35, S::HarmonicMinor, G::Break,
     kSawLead, kChoirPad, kSynthBass, kSquareLead, kNone, false, 62, 86, 2,
     "1 6 4 5 1 6 4/5 1", "6 6 4 4 1 1 5 5", "1 1 6 6 4 4 5 5", "6 4 5 57", "IABACBT"},
    // Course 6: open country to the horizon, G major with brass and a bright second chord.
    {"06TowardUnlimitedHorizon.mid", 0x0606ull, 156, 43, S::Major, G::Rock,
     kBrassSection, kStrings, kSynthBass, kSawLead, kNone, false, 62, 86, 2,
     "1 2M 6 4 1 2M 4 5", "4 5 6 3 4 5 6 5", "4 4 5 5 6 6 5 5", "4 5 4/5 5", "IABACBT"},
    // Course 7: warm evening light, B flat major on the progression that always sounds like memory.
    {"07DiveToSunset.mid", 0x0707ull, 138, 34, S::Major, G::FourFloor,
     kSquareLead, kWarmPad, kSynthBass2, kNone, kElectricPiano, false, 62, 86, 2,
     "4 5 3 6 4 5 1 1", "6 4 1 5 6 4 5 5", "4 4 3 3 6 6 5 5", "2 5 4/5 5", "IABACBT"},
    // Course 8: the chase, A minor at full gallop with a rock organ.
    {"08EscapeFromJail.mid", 0x0808ull, 168, 33, S::Minor, G::Gallop,
     kSawLead, kSynthStrings, kSynthBass, kNone, kRockOrgan, false, 64, 88, 2,
     "1 1 7 7 6 6 5M 5M", "4 5M 1 1 4 5M 6 5M", "1 6 1 6 4 4 5M 5M", "6 7 5M 5M", "IABACBAT"},
    // Course 9: ice and stillness, F sharp minor with celesta and flute over a half-time beat.
    {"09EverlastingCold.mid", 0x0909ull, 134, 42, S::Minor, G::HalfTime,
     kFlute, kSlowStrings, kSynthBass, kCelesta, kNone, false, 64, 88, 1,
     "1 6 3 7 1 6 4 5", "6 7 1 1 6 7 4 4", "4 4 1 1 6 6 7 7", "4 6 7 7", "IABACBT"},
    // Course 10: the last course, out in space: D dorian with a choir and synth brass.
    {"10FarFromTheGlobe.mid", 0x1010ull, 144, 38, S::Dorian, G::Rock,
     kSynthBrass, kChoirPad, kSynthBass, kSawLead, kNone, false, 62, 86, 2,
     "1 7 3 4 1 7 4 4/5", "3 4 5 1 3 4 7 7", "4 4 1 1 7 7 4 4", "3 4 7 7", "IABACBAT"},
    // Secret 1: sweet and light, F major with vibraphone and electric piano.
    {"21Secret1.mid", 0x2121ull, 130, 41, S::Major, G::Break,
     kVibraphone, kWarmPad, kFingerBass, kNone, kElectricPiano, false, 64, 86, 1,
     "1 5 6 3 4 1 4 5", "4 5 3 6 2 5 1 1", "4 4 5 5 3 3 6 6", "2 2 5 5", "IABACBT"},
    // Secret 2: under water, E flat lydian, floating flute and harp.
    {"22Secret2.mid", 0x2222ull, 136, 39, S::Lydian, G::HalfTime,
     kFlute, kWarmPad, kSynthBass, kHarp, kNone, false, 63, 87, 1,
     "17 2 17 2 6 3 2 2", "6 3 5 1 6 3 2 2", "1 2 1 2 3 3 2 2", "6 5 2 2", "IABACBT"},
    // Secret 3: a gloomy tunnel, C sharp phrygian with an overdriven guitar.
    {"23Secret3.mid", 0x2323ull, 142, 37, S::Phrygian, G::Break,
     kOverdriveGuitar, kSynthStrings, kSynthBass, kSquareLead, kNone, false, 61, 85, 2,
     "1 2 1 2 1 7 6 2", "4 4 3 3 6 6 2 2", "1 1 2 2 1 1 2 2", "6 7 2 2", "IABACBT"},
    // Secret 4: a playful crystal hunt, C major with marimba.
    {"24Secret4.mid", 0x2424ull, 164, 36, S::Major, G::Rock,
     kSquareLead, kStrings, kFingerBass, kMarimba, kNone, false, 64, 88, 2,
     "1 4 5 1 1 4 5 1", "6 2 5 1 6 2 5 5", "4 5 3 6 4 5 5 5", "4 5 4/5 5", "IABACBAT"},
    // Secret 5: the demonstration, a showy A mixolydian with synth brass.
    {"25Secret5.mid", 0x2525ull, 150, 45, S::Mixolydian, G::FourFloor,
     kSynthBrass, kStrings, kSynthBass, kSquareLead, kPolySynth, false, 64, 88, 2,
     "1 7 4 1 1 7 4 4", "4 4 1 1 2 2 7 7", "6 6 7 7 1 1 7 7", "4 7 5M 5M", "IABACBT"},
};
const int kTunePlanCount = sizeof(kTunePlans) / sizeof(kTunePlans[0]);
