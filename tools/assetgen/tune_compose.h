// The tune composer: turns a short plan (key, tempo, groove, chord progressions, form, instruments)
// into a General MIDI song with drums, bass, pads, comping, arpeggios and a motif-built lead.
#pragma once
#include <cstdint>
#include <vector>

#include "tools/assetgen/midi_writer.h"

enum class TuneScale { Major, Minor, Dorian, Mixolydian, Lydian, HarmonicMinor, Phrygian };

// How the rhythm section plays: sets drum, bass and comping patterns.
enum class TuneGroove {
    FourFloor,  // kick on every beat, open hats on the off-beats, octave bass
    Rock,       // kick and snare back-beat, straight eighth hats, eighth-note bass
    Break,      // syncopated kick, ghost snares, busy sixteenth hats
    Gallop,     // sixteenth hats and a galloping bass: the chase
    HalfTime,   // snare on beat three only: weight without speed
    Calm,       // side stick and soft hats, half-note bass
};

struct TunePlan {
    const char* file;
    uint64_t seed;
    double bpm;
    int tonic;              // tonic in the bass octave (MIDI note, 33..45)
    TuneScale scale;
    TuneGroove groove;
    int leadProgram;        // General MIDI programs, counted from 0; -1 leaves the part out
    int padProgram;
    int bassProgram;
    int arpProgram;
    int compProgram;
    bool powerChords;       // comping as root-fifth-octave (guitars) instead of full chords
    int leadLow, leadHigh;  // range of the lead melody
    int energy;             // 0 calm, 1 moderate, 2 driving: how busy the lead motifs are
    // Chord progressions, one token per bar ("1", "6m", "b7", "4/5" for two chords in a bar).
    const char* progA;      // 8 bars, the main theme (also the intro's harmony)
    const char* progB;      // 8 bars, the contrasting section
    const char* progC;      // 8 bars, the breakdown
    const char* progT;      // 4 bars, the turnaround that leads back to the top
    // Form, one letter per section: I intro (4 bars), A / B (16), a / b (8), C breakdown (8),
    // T turnaround (4). The piece loops from the end of T to the start of I.
    const char* form;
};

SmfSong ComposeTune(const TunePlan& plan);
// Length in seconds of the composed form at the plan's tempo.
double TuneSeconds(const TunePlan& plan);

extern const TunePlan kTunePlans[];
extern const int kTunePlanCount;
