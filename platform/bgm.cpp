#include "platform/bgm.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/audio.h"
#include "platform/midi_file.h"

namespace {

constexpr float kRate = static_cast<float>(kAudioRate);
constexpr int kChunk = 32;             // frames between updates of pitch, filter and gains
constexpr float kSilent = 1e-3f;       // an envelope 60 dB down has ended
constexpr float kMasterGain = 0.31f;   // keeps a full arrangement under full scale
constexpr float kStopSeconds = 0.005f; // the ramp of a hard stop, short enough to feel instant

// ---------------------------------------------------------------------------------------------
// Oscillators

constexpr int kSineSize = 4096;
float sineTable[kSineSize + 1];

inline float Sine(float phase) {
    phase -= std::floor(phase);
    // A phase just below a whole number rounds up to 1.0 here: that is the table's start again,
    // not a step past its end.
    if (phase >= 1.0f) phase = 0.0f;
    const float x = phase * kSineSize;
    const int i = static_cast<int>(x);
    const float f = x - static_cast<float>(i);
    return sineTable[i] + (sineTable[i + 1] - sineTable[i]) * f;
}

// Band-limited step correction: removes most of the aliasing of the saw and square edges.
inline float PolyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

enum Wave : uint8_t { kSineWave, kTriangle, kSaw, kSquare, kPulse, kNoise };

uint32_t noiseState = 0x12345678u;
inline float Noise() {
    noiseState ^= noiseState << 13;
    noiseState ^= noiseState >> 17;
    noiseState ^= noiseState << 5;
    return static_cast<float>(static_cast<int32_t>(noiseState)) * (1.0f / 2147483648.0f);
}

inline float Oscillate(Wave wave, float t, float dt) {
    switch (wave) {
        case kSineWave:
            return Sine(t);
        case kTriangle:
            return 4.0f * std::fabs(t - 0.5f) - 1.0f;
        case kSaw:
            return 2.0f * t - 1.0f - PolyBlep(t, dt);
        case kSquare: {
            float t2 = t + 0.5f;
            if (t2 >= 1.0f) t2 -= 1.0f;
            return (t < 0.5f ? 1.0f : -1.0f) + PolyBlep(t, dt) - PolyBlep(t2, dt);
        }
        case kPulse: {
            float t2 = t + 0.75f;
            if (t2 >= 1.0f) t2 -= 1.0f;
            return (t < 0.25f ? 1.0f : -1.0f) + PolyBlep(t, dt) - PolyBlep(t2, dt) + 0.5f;
        }
        case kNoise:
            return Noise();
    }
    return 0.0f;
}

// State-variable filter (trapezoidal form): stable at any cutoff, cheap to retune per chunk.
struct Filter {
    float ic1 = 0, ic2 = 0;
    float a1 = 0, a2 = 0, a3 = 0, k = 2;
    void Tune(float cutoffHz, float resonance) {
        cutoffHz = std::clamp(cutoffHz, 20.0f, 18000.0f);
        const float g = std::tan(3.14159265f * cutoffHz / kRate);
        k = 2.0f - 1.9f * resonance;
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    // Returns low pass; band and high pass through the out-parameters.
    inline float Run(float x, float* band = nullptr, float* high = nullptr) {
        const float v3 = x - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        if (band) *band = v1;
        if (high) *high = x - k * v1 - v2;
        return v2;
    }
};

// ---------------------------------------------------------------------------------------------
// Instruments: one patch per General MIDI family of eight programs, a few programs of their own.

struct Patch {
    Wave wave1, wave2;
    float detune;        // second oscillator, semitones above the first
    float mix2;          // its level
    float fmRatio;       // > 0: the first oscillator is a sine phase-modulated at this ratio
    float fmIndex;       // modulation depth at the note's start, falling with the bright envelope
    float attack;        // seconds to full level
    float decay;         // time constant of the fall to the sustain level
    float sustain;       // 0: the note dies away by itself
    float release;       // seconds to fade by 60 dB after the key is let go
    float cutoff;        // low-pass cutoff as a multiple of the note's pitch (0: no filter)
    float cutoffEnv;     // extra multiple at the start, falling with the bright envelope
    float brightDecay;   // time constant of the bright envelope (filter and FM depth)
    float resonance;     // 0..1
    float gain;
};

constexpr Patch kFamilies[16] = {
    // wave1   wave2      det    mix2  fmR   fmI   att    dec   sus   rel   cut  cEnv bDec  res   gain
    {kSineWave, kTriangle, 0.0f, 0.25f, 1.0f, 1.8f, 0.002f, 0.9f, 0.0f, 0.5f, 0, 0, 0.35f, 0, 1.0f},   // piano
    {kSineWave, kSineWave, 0.0f, 0.0f, 3.5f, 1.6f, 0.001f, 0.45f, 0.0f, 0.5f, 0, 0, 0.12f, 0, 0.8f},  // chromatic
    {kSineWave, kSineWave, 12.0f, 0.5f, 0, 0, 0.008f, 0.2f, 0.9f, 0.12f, 0, 0, 0.1f, 0, 0.6f},        // organ
    {kSaw, kSquare, 0.03f, 0.3f, 0, 0, 0.002f, 0.8f, 0.0f, 0.25f, 1.5f, 9.0f, 0.12f, 0.15f, 0.8f},     // guitar
    {kSaw, kSquare, -12.0f, 0.4f, 0, 0, 0.003f, 0.5f, 0.55f, 0.12f, 2.0f, 7.0f, 0.1f, 0.2f, 1.1f},     // bass
    {kSaw, kSaw, 0.09f, 1.0f, 0, 0, 0.12f, 0.6f, 0.85f, 0.6f, 5.0f, 0, 0.2f, 0.05f, 0.42f},          // strings
    {kTriangle, kSaw, 0.1f, 0.45f, 0, 0, 0.15f, 0.6f, 0.9f, 0.7f, 4.0f, 0, 0.2f, 0, 0.5f},             // ensemble
    {kSaw, kSaw, 0.05f, 0.7f, 0, 0, 0.03f, 0.4f, 0.75f, 0.2f, 2.0f, 5.0f, 0.25f, 0.1f, 0.5f},         // brass
    {kSquare, kSaw, 0.0f, 0.3f, 0, 0, 0.02f, 0.4f, 0.8f, 0.12f, 3.0f, 1.0f, 0.2f, 0.1f, 0.5f},         // reed
    {kSineWave, kTriangle, 12.0f, 0.15f, 0, 0, 0.04f, 0.4f, 0.9f, 0.15f, 0, 0, 0.1f, 0, 0.75f},        // pipe
    {kSquare, kSaw, 0.1f, 0.7f, 0, 0, 0.005f, 0.3f, 0.8f, 0.15f, 6.0f, 4.0f, 0.3f, 0.2f, 0.42f},       // synth lead
    {kSaw, kSaw, 0.12f, 1.0f, 0, 0, 0.35f, 1.0f, 0.85f, 1.2f, 3.0f, 0, 0.3f, 0.1f, 0.34f},            // synth pad
    {kTriangle, kSaw, 7.0f, 0.4f, 0, 0, 0.1f, 1.0f, 0.8f, 1.0f, 4.0f, 0, 0.3f, 0.1f, 0.4f},           // synth effects
    {kSaw, kPulse, 0.0f, 0.3f, 0, 0, 0.002f, 0.6f, 0.0f, 0.3f, 2.0f, 10.0f, 0.15f, 0.2f, 0.7f},       // ethnic
    {kSineWave, kSineWave, 0.0f, 0.0f, 1.4f, 3.0f, 0.001f, 0.25f, 0.0f, 0.3f, 0, 0, 0.05f, 0, 0.9f},  // percussive
    {kNoise, kSaw, 0.0f, 0.3f, 0, 0, 0.05f, 0.8f, 0.7f, 0.8f, 3.0f, 0, 0.3f, 0.3f, 0.35f},            // sound effects
};
constexpr Patch kSynthBass = {kSaw, kSquare, 0.0f, 0.5f, 0, 0, 0.002f, 0.35f, 0.6f, 0.1f, 1.2f, 9.0f, 0.08f, 0.55f, 0.9f};
constexpr Patch kElectricPiano = {kSineWave, kSineWave, 0.0f, 0.0f, 1.0f, 1.1f, 0.002f, 1.2f, 0.0f, 0.5f, 0, 0, 0.4f, 0, 1.0f};
constexpr Patch kSquareLead = {kSquare, kSquare, 0.06f, 0.5f, 0, 0, 0.004f, 0.3f, 0.8f, 0.15f, 8.0f, 0, 0.3f, 0.1f, 0.4f};

// How much of each family goes through the chorus, which spreads sustained sounds across the stereo
// field: strings, choirs, pads and organs sound wide, the rhythm section stays in the middle.
constexpr float kFamilyChorus[16] = {0.2f, 0.1f, 0.5f, 0.15f, 0, 0.7f, 0.7f, 0.3f, 0.1f, 0.3f, 0.25f, 0.8f, 0.6f, 0.1f, 0, 0.3f};

float ChorusFor(int program) {
    if (program == 4 || program == 5) return 0.5f;
    if (program == 38 || program == 39) return 0.0f;
    return kFamilyChorus[(program >> 3) & 15];
}

const Patch& PatchFor(int program) {
    if (program == 4 || program == 5) return kElectricPiano;
    if (program == 38 || program == 39) return kSynthBass;
    if (program == 80) return kSquareLead;
    return kFamilies[(program >> 3) & 15];
}

// The drum kit of channel 10: a falling sine for the body, filtered noise for the rattle.
struct DrumPatch {
    float toneStart, toneEnd;  // Hz, the tone slides from start to end
    float pitchDecay;          // time constant of the slide
    float toneDecay;
    float toneLevel;
    float noiseDecay;
    float noiseLevel;
    float noiseCutoff;         // Hz
    bool noiseHigh;            // high pass (cymbals) rather than band pass (snares, claps)
    float pan;                 // -1 left .. 1 right
};

constexpr DrumPatch kKick = {150, 48, 0.035f, 0.12f, 1.3f, 0.01f, 0.25f, 3000, false, 0};
constexpr DrumPatch kSnare = {220, 180, 0.03f, 0.08f, 0.55f, 0.12f, 0.8f, 3500, false, 0.05f};
constexpr DrumPatch kSideStick = {900, 700, 0.01f, 0.02f, 0.5f, 0.015f, 0.4f, 4000, false, 0};
constexpr DrumPatch kClap = {0, 0, 1, 0.01f, 0, 0.09f, 0.9f, 1400, false, -0.1f};
constexpr DrumPatch kClosedHat = {0, 0, 1, 0.01f, 0, 0.035f, 0.45f, 7500, true, 0.3f};
constexpr DrumPatch kOpenHat = {0, 0, 1, 0.01f, 0, 0.25f, 0.4f, 7000, true, 0.3f};
constexpr DrumPatch kCrash = {0, 0, 1, 0.01f, 0, 0.9f, 0.45f, 5000, true, -0.35f};
constexpr DrumPatch kRide = {0, 0, 1, 0.01f, 0, 0.6f, 0.3f, 8000, true, 0.35f};
constexpr DrumPatch kCowbell = {800, 790, 1, 0.08f, 0.5f, 0.01f, 0.05f, 2000, false, 0.2f};
constexpr DrumPatch kShaker = {0, 0, 1, 0.01f, 0, 0.05f, 0.35f, 9000, true, -0.2f};

// Toms fill the gaps between kick and snare: their pitch rises with the note.
DrumPatch TomFor(int note) {
    const float f = 80.0f + (note - 41) * 18.0f;
    return {f * 1.6f, f, 0.05f, 0.22f, 0.9f, 0.03f, 0.15f, 2500, false, (note - 45) * 0.08f};
}

DrumPatch DrumFor(int note) {
    switch (note) {
        case 35: case 36: return kKick;
        case 37: return kSideStick;
        case 38: case 40: return kSnare;
        case 39: return kClap;
        case 42: case 44: return kClosedHat;
        case 46: return kOpenHat;
        case 49: case 52: case 55: case 57: return kCrash;
        case 51: case 53: case 59: return kRide;
        case 54: case 69: case 70: case 82: return kShaker;
        case 56: return kCowbell;
        case 41: case 43: case 45: case 47: case 48: case 50: return TomFor(note);
        default: break;
    }
    if (note < 35) return kSideStick;
    return TomFor(std::clamp(note, 41, 60));
}

// ---------------------------------------------------------------------------------------------
// Voices and channels

struct Channel {
    int program = 0;
    float volume = 100.0f / 127.0f;
    float expression = 1.0f;
    float pan = 0.0f;            // -1..1
    float bend = 0.0f;           // semitones
    float bendRange = 2.0f;
    float modulation = 0.0f;     // 0..1
    float reverb = 40.0f / 127.0f;
    bool sustain = false;
    uint8_t rpnMsb = 127, rpnLsb = 127;
};

enum Stage : uint8_t { kAttack, kDecay, kRelease };

struct Voice {
    bool active = false;
    bool drum = false;
    bool held = false;       // the key is down
    bool sustained = false;  // the key is up but the pedal holds the note
    uint8_t channel = 0, note = 0;
    uint32_t started = 0;
    const Patch* patch = nullptr;
    DrumPatch kit{};
    float pitch = 0;         // Hz before bend
    float phase1 = 0, phase2 = 0, phaseMod = 0, vibratoPhase = 0;
    float velocity = 0;
    Stage stage = kAttack;
    float level = 0;
    float attackStep = 0, decayCoef = 0, releaseCoef = 0;
    float bright = 1, brightCoef = 0;
    float gainL = 0, gainR = 0, send = 0, chorusSend = 0;  // at the end of the last chunk
    float chorus = 0;        // share of the note that goes through the chorus
    Filter filter;
    // Drum state.
    float toneFreq = 0, toneLevel = 0, noiseLevel = 0, pitchCoef = 0, toneCoef = 0, noiseCoef = 0;
};

// A small stereo reverb: four damped combs and two all-passes per side.
struct Reverb {
    struct Comb {
        std::vector<float> buf;
        size_t pos = 0;
        float store = 0;
    };
    struct AllPass {
        std::vector<float> buf;
        size_t pos = 0;
    };
    Comb combs[2][4];
    AllPass passes[2][2];
    void Init() {
        static const int kComb[4] = {1116, 1188, 1277, 1356};
        static const int kPass[2] = {556, 441};
        for (int side = 0; side < 2; ++side) {
            for (int i = 0; i < 4; ++i) combs[side][i] = Comb{std::vector<float>(kComb[i] + side * 23, 0.0f)};
            for (int i = 0; i < 2; ++i) passes[side][i] = AllPass{std::vector<float>(kPass[i] + side * 23, 0.0f)};
        }
    }
    void Clear() {
        for (auto& side : combs)
            for (Comb& c : side) std::fill(c.buf.begin(), c.buf.end(), 0.0f), c.store = 0;
        for (auto& side : passes)
            for (AllPass& a : side) std::fill(a.buf.begin(), a.buf.end(), 0.0f);
    }
    inline float Run(int side, float in) {
        constexpr float kFeedback = 0.8f, kDamp = 0.3f;
        float out = 0;
        for (Comb& c : combs[side]) {
            const float y = c.buf[c.pos];
            c.store = y * (1.0f - kDamp) + c.store * kDamp;
            c.buf[c.pos] = in + c.store * kFeedback;
            if (++c.pos == c.buf.size()) c.pos = 0;
            out += y;
        }
        for (AllPass& a : passes[side]) {
            const float b = a.buf[a.pos];
            a.buf[a.pos] = out + b * 0.5f;
            out = b - out;
            if (++a.pos == a.buf.size()) a.pos = 0;
        }
        return out;
    }
};

// A stereo chorus: each side's delay line is read at a slowly swaying distance, the two sides
// swaying in opposite phase, which widens what goes through it and keeps its panning.
struct Chorus {
    static constexpr int kSize = 2048;
    float buf[2][kSize] = {};
    int pos = 0;
    float lfo = 0;
    void Clear() {
        std::fill(&buf[0][0], &buf[0][0] + 2 * kSize, 0.0f);
        pos = 0;
    }
    inline float Tap(const float* line, float delay) const {
        float rp = static_cast<float>(pos) - delay;
        if (rp < 0) rp += kSize;
        const int i = static_cast<int>(rp);
        const float f = rp - static_cast<float>(i);
        const float a = line[i & (kSize - 1)];
        return a + (line[(i + 1) & (kSize - 1)] - a) * f;
    }
    inline void Run(float inL, float inR, float& left, float& right) {
        buf[0][pos] = inL;
        buf[1][pos] = inR;
        lfo += 0.5f / kRate;
        if (lfo >= 1.0f) lfo -= 1.0f;
        constexpr float kBase = 0.012f * kRate, kDepth = 0.003f * kRate;
        left = Tap(buf[0], kBase + kDepth * Sine(lfo));
        right = Tap(buf[1], kBase + kDepth * Sine(lfo + 0.5f));
        pos = (pos + 1) & (kSize - 1);
    }
};

struct Song {
    bool used = false;
    MidiSong midi;
    uint32_t loopStart = 0;
    int repeats = -1;
};

bool started = false;
bool tablesReady = false;
Song songs[kBgmMaxSongs];
Channel channels[16];
Voice voices[kBgmMaxVoices];
uint32_t noteCounter = 0;
Reverb reverb;
Chorus chorus;
int tailFrames = 0;  // frames the reverb still rings after the last voice ended

int current = 0;
BgmState state = BgmState::kStopped;
BgmState stateBeforePause = BgmState::kPlaying;
MidiCursor cursor;
float songGain = 1.0f;
float fadeStep = 0.0f;  // per frame

void InitTables() {
    if (tablesReady) return;
    for (int i = 0; i <= kSineSize; ++i) sineTable[i] = static_cast<float>(std::sin(2.0 * 3.14159265358979323846 * i / kSineSize));
    reverb.Init();
    tablesReady = true;
}

inline float Coef(float seconds) { return seconds <= 0 ? 0.0f : std::exp(-1.0f / (seconds * kRate)); }

void ResetChannels() {
    for (Channel& c : channels) c = Channel{};
}

void Release(Voice& v) {
    if (v.stage == kRelease) return;
    v.stage = kRelease;
    v.held = v.sustained = false;
}

void KillAll(float seconds) {
    const float coef = Coef(seconds);
    for (Voice& v : voices) {
        if (!v.active) continue;
        v.stage = kRelease;
        v.releaseCoef = std::min(v.releaseCoef, coef);
        v.held = v.sustained = false;
        if (v.drum) v.toneCoef = v.noiseCoef = coef;
    }
}

Voice& AllocateVoice() {
    Voice* best = nullptr;
    for (Voice& v : voices) {
        if (!v.active) return v;
    }
    // All busy: take the quietest releasing note, else the oldest.
    float quietest = 2.0f;
    for (Voice& v : voices) {
        if (v.stage == kRelease && v.level < quietest) {
            quietest = v.level;
            best = &v;
        }
    }
    if (best) return *best;
    best = &voices[0];
    for (Voice& v : voices) {
        if (v.started < best->started) best = &v;
    }
    return *best;
}

void NoteOn(int ch, int note, int velocity) {
    const bool drums = ch == 9;
    for (Voice& v : voices) {
        if (!v.active || v.channel != ch) continue;
        // The same key again restarts the note; a closed hi-hat chokes the open one.
        if (v.note == note && !drums) Release(v);
        if (drums && (note == 42 || note == 44) && v.note == 46) v.noiseCoef = Coef(0.01f);
    }
    Voice& v = AllocateVoice();
    v = Voice{};
    v.active = true;
    v.channel = static_cast<uint8_t>(ch);
    v.note = static_cast<uint8_t>(note);
    v.started = ++noteCounter;
    v.held = true;
    const float vel = velocity / 127.0f;
    v.velocity = std::pow(vel, 1.6f);
    if (drums) {
        v.drum = true;
        v.kit = DrumFor(note);
        v.toneFreq = v.kit.toneStart;
        v.toneLevel = v.kit.toneLevel;
        v.noiseLevel = v.kit.noiseLevel;
        v.pitchCoef = Coef(v.kit.pitchDecay);
        v.toneCoef = Coef(v.kit.toneDecay);
        v.noiseCoef = Coef(v.kit.noiseDecay);
        v.filter.Tune(v.kit.noiseCutoff, v.kit.noiseHigh ? 0.1f : 0.4f);
        v.level = 1.0f;
        return;
    }
    const Patch& p = PatchFor(channels[ch].program);
    v.patch = &p;
    v.chorus = ChorusFor(channels[ch].program);
    v.pitch = 440.0f * std::exp2((note - 69) / 12.0f);
    v.stage = kAttack;
    v.level = 0.0f;
    v.attackStep = p.attack <= 0 ? 1.0f : 1.0f / (p.attack * kRate);
    v.decayCoef = Coef(p.decay);
    v.releaseCoef = Coef(p.release / 6.9f);  // e^-6.9 is -60 dB
    v.bright = 1.0f;
    v.brightCoef = std::exp(-static_cast<float>(kChunk) / (std::max(p.brightDecay, 0.001f) * kRate));
    // The second oscillator starts off the first one's phase, so a detuned pair neither starts
    // cancelled nor doubled. A new voice's gains ramp up from zero over its first chunk (no click).
    v.phase2 = 0.37f;
}

void NoteOff(int ch, int note) {
    for (Voice& v : voices) {
        if (!v.active || v.channel != ch || v.note != note || !v.held || v.drum) continue;
        if (channels[ch].sustain) {
            v.held = false;
            v.sustained = true;
        } else {
            Release(v);
        }
    }
}

void Controller(int ch, int number, int value) {
    Channel& c = channels[ch];
    const float f = value / 127.0f;
    switch (number) {
        case 1: c.modulation = f; break;
        case 6:
            if (c.rpnMsb == 0 && c.rpnLsb == 0) c.bendRange = static_cast<float>(std::min(value, 24));
            break;
        case 7: c.volume = f; break;
        case 10: c.pan = (value - 64) / 63.0f; c.pan = std::clamp(c.pan, -1.0f, 1.0f); break;
        case 11: c.expression = f; break;
        case 64:
            c.sustain = value >= 64;
            if (!c.sustain) {
                for (Voice& v : voices) {
                    if (v.active && v.channel == ch && v.sustained) Release(v);
                }
            }
            break;
        case 91: c.reverb = f; break;
        case 100: c.rpnLsb = static_cast<uint8_t>(value); break;
        case 101: c.rpnMsb = static_cast<uint8_t>(value); break;
        case 120:
            for (Voice& v : voices) {
                if (v.active && v.channel == ch) {
                    v.stage = kRelease;
                    v.releaseCoef = Coef(kStopSeconds);
                    v.toneCoef = v.noiseCoef = v.releaseCoef;
                }
            }
            break;
        case 121: {
            const int program = c.program;
            const float volume = c.volume, pan = c.pan, send = c.reverb;
            c = Channel{};
            c.program = program;
            c.volume = volume;
            c.pan = pan;
            c.reverb = send;
            break;
        }
        case 123:
            for (Voice& v : voices) {
                if (v.active && v.channel == ch && !v.drum) Release(v);
            }
            break;
        default:
            break;
    }
}

void OnEvent(void*, uint8_t status, uint8_t d1, uint8_t d2) {
    const int ch = status & 0x0f;
    switch (status & 0xf0) {
        case 0x80: NoteOff(ch, d1); break;
        case 0x90: NoteOn(ch, d1, d2); break;
        case 0xb0: Controller(ch, d1, d2); break;
        case 0xc0: channels[ch].program = d1; break;
        case 0xe0: channels[ch].bend = ((d2 << 7 | d1) - 8192) / 8192.0f * channels[ch].bendRange; break;
        default: break;
    }
}

// Renders one voice for n frames into the chunk buffers.
void RenderVoice(Voice& v, int n, float* dryL, float* dryR, float* send, float* chorusL, float* chorusR) {
    const Channel& c = channels[v.channel];
    const float chanGain = c.volume * c.volume * c.expression * c.expression * songGain * kMasterGain;
    const float angle = (c.pan + (v.drum ? v.kit.pan : 0.0f) + 1.0f) * 0.25f * 3.14159265f;
    const float amp = v.velocity * chanGain * (v.drum ? 1.0f : v.patch->gain);
    const float targetL = amp * std::cos(std::clamp(angle, 0.0f, 1.5707963f)) * 1.41421356f;
    const float targetR = amp * std::sin(std::clamp(angle, 0.0f, 1.5707963f)) * 1.41421356f;
    const float targetSend = amp * c.reverb;
    const float targetChorus = v.chorus;
    const float stepL = (targetL - v.gainL) / n, stepR = (targetR - v.gainR) / n, stepS = (targetSend - v.send) / n;
    const float stepC = (targetChorus - v.chorusSend) / n;
    float gl = v.gainL, gr = v.gainR, gs = v.send, gc = v.chorusSend;

    if (v.drum) {
        const DrumPatch& k = v.kit;
        float phase = v.phase1;
        for (int i = 0; i < n; ++i) {
            const float freq = v.toneFreq;
            v.toneFreq = k.toneEnd + (v.toneFreq - k.toneEnd) * v.pitchCoef;
            phase += freq / kRate;
            if (phase >= 1.0f) phase -= 1.0f;
            float band, high;
            v.filter.Run(Noise(), &band, &high);
            const float s = Sine(phase) * v.toneLevel + (k.noiseHigh ? high : band * 2.0f) * v.noiseLevel;
            v.toneLevel *= v.toneCoef;
            v.noiseLevel *= v.noiseCoef;
            gl += stepL, gr += stepR, gs += stepS;
            dryL[i] += s * gl;
            dryR[i] += s * gr;
            send[i] += s * gs;
        }
        v.phase1 = phase;
        if (v.toneLevel < kSilent && v.noiseLevel < kSilent) v.active = false;
        v.gainL = targetL, v.gainR = targetR, v.send = targetSend;
        return;
    }

    const Patch& p = *v.patch;
    const float vibrato = (c.modulation * 0.5f) * Sine(v.vibratoPhase) +
                          ((v.patch == &kFamilies[5] || v.patch == &kFamilies[9]) ? 0.08f * Sine(v.vibratoPhase) : 0.0f);
    v.vibratoPhase += 5.5f * n / kRate;
    if (v.vibratoPhase >= 1.0f) v.vibratoPhase -= 1.0f;
    const float freq = v.pitch * std::exp2((c.bend + vibrato) / 12.0f);
    const float dt1 = std::min(freq / kRate, 0.45f);
    const float dt2 = std::min(freq * std::exp2(p.detune / 12.0f) / kRate, 0.45f);
    const float dtMod = freq * p.fmRatio / kRate;
    const bool filtered = p.cutoff > 0;
    if (filtered) {
        // Brighter with a harder touch, as a real instrument sounds.
        const float multiple = p.cutoff * (0.6f + 0.4f * v.velocity) + p.cutoffEnv * v.bright;
        v.filter.Tune(freq * multiple + 200.0f, p.resonance);
    }
    const float fmDepth = p.fmIndex * v.bright * (0.5f + 0.5f * v.velocity);
    v.bright *= v.brightCoef;

    float ph1 = v.phase1, ph2 = v.phase2, phm = v.phaseMod;
    float level = v.level;
    Stage stage = v.stage;
    const float sustain = p.sustain;
    for (int i = 0; i < n; ++i) {
        float s;
        if (p.fmRatio > 0) {
            s = Sine(ph1 + fmDepth * Sine(phm));
            phm += dtMod;
            if (phm >= 1.0f) phm -= std::floor(phm);
        } else {
            s = Oscillate(p.wave1, ph1, dt1);
        }
        if (p.mix2 > 0) s += p.mix2 * Oscillate(p.wave2, ph2, dt2);
        ph1 += dt1;
        if (ph1 >= 1.0f) ph1 -= 1.0f;
        ph2 += dt2;
        if (ph2 >= 1.0f) ph2 -= 1.0f;
        if (filtered) s = v.filter.Run(s);
        switch (stage) {
            case kAttack:
                level += v.attackStep;
                if (level >= 1.0f) {
                    level = 1.0f;
                    stage = kDecay;
                }
                break;
            case kDecay:
                level = sustain + (level - sustain) * v.decayCoef;
                break;
            case kRelease:
                level *= v.releaseCoef;
                break;
        }
        s *= level;
        gl += stepL, gr += stepR, gs += stepS, gc += stepC;
        dryL[i] += s * gl;
        dryR[i] += s * gr;
        send[i] += s * gs;
        chorusL[i] += s * gc * gl;
        chorusR[i] += s * gc * gr;
    }
    v.phase1 = ph1, v.phase2 = ph2, v.phaseMod = phm;
    v.level = level;
    v.stage = stage;
    v.gainL = targetL, v.gainR = targetR, v.send = targetSend, v.chorusSend = targetChorus;
    if ((stage == kRelease || (stage == kDecay && sustain == 0.0f)) && level < kSilent) v.active = false;
}

void RenderSynth(float* mix, int frames) {
    while (frames > 0) {
        const int n = std::min(frames, kChunk);
        float dryL[kChunk] = {}, dryR[kChunk] = {}, send[kChunk] = {}, chorusL[kChunk] = {}, chorusR[kChunk] = {};
        bool any = false;
        for (Voice& v : voices) {
            if (!v.active) continue;
            RenderVoice(v, n, dryL, dryR, send, chorusL, chorusR);
            any = true;
        }
        if (any) tailFrames = 3 * kAudioRate;
        if (tailFrames > 0) {
            for (int i = 0; i < n; ++i) {
                const float in = send[i] * 0.06f;
                float wetL, wetR;
                chorus.Run(chorusL[i], chorusR[i], wetL, wetR);
                mix[i * 2] += dryL[i] + reverb.Run(0, in) + wetL;
                mix[i * 2 + 1] += dryR[i] + reverb.Run(1, in) + wetR;
            }
            tailFrames -= n;
        }
        if (state == BgmState::kFading) {
            songGain -= fadeStep * n;
            if (songGain <= 0.0f) {
                songGain = 0.0f;
                state = BgmState::kStopped;
                cursor.playing = false;
                KillAll(kStopSeconds);
            }
        }
        mix += n * 2;
        frames -= n;
    }
}

void SinkRender(void*, float* mix, int offset, int frames) { RenderSynth(mix + offset * 2, frames); }

const MidiSink kSink{nullptr, OnEvent, SinkRender};

void Source(void*, float* mix, int frames) {
    if (state == BgmState::kPlaying || state == BgmState::kFading) {
        MidiCursorAdvance(cursor, mix, frames, kSink);
        if (!cursor.playing && state != BgmState::kStopped) state = BgmState::kStopped;
    } else {
        RenderSynth(mix, frames);
    }
}

bool ValidSong(int song) { return song >= 1 && song <= kBgmMaxSongs && songs[song - 1].used; }

struct Guard {
    Guard() { AudioLock(); }
    ~Guard() { AudioUnlock(); }
};

void StopLocked() {
    cursor.playing = false;
    state = BgmState::kStopped;
    KillAll(kStopSeconds);
}

}  // namespace

bool BgmStart() {
    if (!AudioRunning()) return false;
    InitTables();
    Guard g;
    if (!started) {
        ResetChannels();
        for (Voice& v : voices) v = Voice{};
        reverb.Clear();
        chorus.Clear();
        tailFrames = 0;
        current = 0;
        state = BgmState::kStopped;
        cursor = MidiCursor{};
    }
    started = true;
    AudioSetSource(kAudioSourceBgm, Source, nullptr);
    return true;
}

void BgmShutdown() {
    Guard g;
    // The synthesizer stays on the stream so the last notes ramp down and the reverb rings out
    // instead of being cut; with no song it renders nothing more.
    started = false;
    KillAll(kStopSeconds);
    for (Song& s : songs) s = Song{};
    current = 0;
    state = BgmState::kStopped;
    cursor = MidiCursor{};
}

bool BgmStarted() { return started; }

int BgmLoad(const char* path, std::string& error) {
    if (!started) {
        error = "not started";
        return 0;
    }
    MidiSong midi;
    if (!ReadMidiFile(path, midi, error)) return 0;
    Guard g;
    for (int i = 0; i < kBgmMaxSongs; ++i) {
        if (songs[i].used) continue;
        songs[i] = Song{};
        songs[i].used = true;
        songs[i].midi = std::move(midi);
        return i + 1;
    }
    error = "every song slot is taken";
    return 0;
}

bool BgmFree(int song) {
    MidiSong freed;
    {
        Guard g;
        if (!ValidSong(song)) return false;
        if (song == current && state != BgmState::kStopped) return false;
        if (song == current) {
            current = 0;
            cursor = MidiCursor{};
        }
        freed = std::move(songs[song - 1].midi);
        songs[song - 1] = Song{};
    }
    return true;
}

bool BgmLoaded(int song) {
    Guard g;
    return ValidSong(song);
}

bool BgmPlay(int song, bool loop) {
    AudioCheckDevice();  // a device lost since the last sound comes back for the music too
    Guard g;
    if (!started || !ValidSong(song)) return false;
    for (Voice& v : voices) v.active = false;
    ResetChannels();
    current = song;
    const Song& s = songs[song - 1];
    MidiCursorReset(cursor, &s.midi);
    cursor.loop = loop;
    cursor.loopStart = s.loopStart;
    cursor.repeatsLeft = s.repeats;
    cursor.playing = true;
    songGain = 1.0f;
    fadeStep = 0.0f;
    state = BgmState::kPlaying;
    return true;
}

void BgmStop() {
    Guard g;
    if (current == 0) return;
    StopLocked();
}

void BgmPause() {
    Guard g;
    if (state != BgmState::kPlaying && state != BgmState::kFading) return;
    stateBeforePause = state;
    state = BgmState::kPaused;
    for (int ch = 0; ch < 16; ++ch) {
        channels[ch].sustain = false;
        Controller(ch, 123, 0);
    }
}

bool BgmResume(int song) {
    Guard g;
    if (song != current || state != BgmState::kPaused) return false;
    state = stateBeforePause;
    return true;
}

bool BgmFadeOut(int song, int ms) {
    Guard g;
    if (song != current || current == 0) return false;
    if (state == BgmState::kPaused || ms <= 0) {
        StopLocked();
        return true;
    }
    if (state != BgmState::kPlaying && state != BgmState::kFading) return false;
    fadeStep = songGain / (static_cast<float>(ms) * kRate / 1000.0f);
    state = BgmState::kFading;
    return true;
}

bool BgmSetRepeat(int song, uint32_t loopStartTick, int repeats) {
    Guard g;
    if (!ValidSong(song)) return false;
    songs[song - 1].loopStart = loopStartTick;
    songs[song - 1].repeats = repeats < 0 ? -1 : repeats;
    if (song == current) {
        cursor.loopStart = loopStartTick;
        cursor.repeatsLeft = songs[song - 1].repeats;
    }
    return true;
}

int BgmCurrentSong() {
    Guard g;
    return current;
}

BgmState BgmCurrentState() {
    Guard g;
    return state;
}

uint32_t BgmSongTicksPerQuarter(int song) {
    Guard g;
    if (!ValidSong(song)) return 0;
    const MidiSong& m = songs[song - 1].midi;
    if (m.ticksPerQuarter > 0) return static_cast<uint32_t>(m.ticksPerQuarter);
    return static_cast<uint32_t>(m.ticksPerSecondSmpte / 2);  // a quarter at 120 beats a minute
}

uint32_t BgmPositionTick() {
    Guard g;
    return MidiCursorTick(cursor);
}

int BgmActiveVoices() {
    Guard g;
    int n = 0;
    for (const Voice& v : voices) n += v.active ? 1 : 0;
    return n;
}
