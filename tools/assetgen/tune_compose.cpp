#include "tools/assetgen/tune_compose.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

constexpr int kStep = kTicksPerQuarter / 4;  // a sixteenth note
constexpr int kBar = kStep * 16;             // every tune is in 4/4

enum Channel { kLeadCh = 0, kArpCh = 1, kPadCh = 2, kBassCh = 3, kCompCh = 4, kDrumCh = 9 };

// Drum keys of the General MIDI kit.
enum Drum {
    kKick = 36, kSideStick = 37, kSnare = 38, kClap = 39, kClosedHat = 42, kOpenHat = 46,
    kCrash = 49, kRide = 51, kLowTom = 45, kMidTom = 47, kHighTom = 50, kFloorTom = 43,
};

// The composer's own generator, so every build writes the same notes.
struct Rng {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
};

const int kScaleSteps[][7] = {
    {0, 2, 4, 5, 7, 9, 11},  // Major
    {0, 2, 3, 5, 7, 8, 10},  // Minor
    {0, 2, 3, 5, 7, 9, 10},  // Dorian
    {0, 2, 4, 5, 7, 9, 10},  // Mixolydian
    {0, 2, 4, 6, 7, 9, 11},  // Lydian
    {0, 2, 3, 5, 7, 8, 11},  // HarmonicMinor
    {0, 1, 3, 5, 7, 8, 10},  // Phrygian
};
const int kMajorSteps[7] = {0, 2, 4, 5, 7, 9, 11};

int Mod12(int v) { return ((v % 12) + 12) % 12; }

struct Chord {
    int root = 0;              // semitones above the tonic
    std::vector<int> tones;    // pitch classes relative to the tonic, root first
};

// A chord token: optional b / # (a borrowed chord on the major scale's degree), the degree 1..7,
// then M (major), m (minor), s (suspended fourth), 7 (add the seventh).
Chord ParseChord(const std::string& token, const int* scale) {
    size_t i = 0;
    int shift = 0;
    if (i < token.size() && (token[i] == 'b' || token[i] == '#')) shift = token[i++] == 'b' ? -1 : 1;
    int degree = (i < token.size() && token[i] >= '1' && token[i] <= '7') ? token[i++] - '1' : 0;
    int third, fifth, seventh;
    Chord c;
    if (shift == 0) {
        c.root = scale[degree];
        third = Mod12(scale[(degree + 2) % 7] - c.root);
        fifth = Mod12(scale[(degree + 4) % 7] - c.root);
        seventh = Mod12(scale[(degree + 6) % 7] - c.root);
    } else {
        c.root = Mod12(kMajorSteps[degree] + shift);
        third = 4, fifth = 7, seventh = 10;
    }
    bool addSeventh = false;
    for (; i < token.size(); ++i) {
        if (token[i] == 'M') third = 4, fifth = 7;
        else if (token[i] == 'm') third = 3, fifth = 7;
        else if (token[i] == 's') third = 5;
        else if (token[i] == '7') addSeventh = true;
    }
    c.tones = {c.root, Mod12(c.root + third), Mod12(c.root + fifth)};
    if (addSeventh) c.tones.push_back(Mod12(c.root + seventh));
    return c;
}

struct ChordSpan {
    Chord chord;
    int startStep;  // within the bar
    int steps;
};

std::vector<std::vector<ChordSpan>> ParseProgression(const char* text, const int* scale) {
    std::vector<std::vector<ChordSpan>> bars;
    std::string all(text);
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find(' ', pos);
        if (end == std::string::npos) end = all.size();
        std::string token = all.substr(pos, end - pos);
        pos = end + 1;
        if (token.empty()) continue;
        std::vector<std::string> parts;
        size_t p = 0;
        while (true) {
            size_t slash = token.find('/', p);
            parts.push_back(token.substr(p, slash == std::string::npos ? std::string::npos : slash - p));
            if (slash == std::string::npos) break;
            p = slash + 1;
        }
        std::vector<ChordSpan> bar;
        int each = 16 / static_cast<int>(parts.size());
        for (size_t k = 0; k < parts.size(); ++k) {
            bar.push_back({ParseChord(parts[k], scale), static_cast<int>(k) * each, each});
        }
        bars.push_back(bar);
    }
    return bars;
}

enum class Kind { Intro, A, B, Breakdown, Turn };

struct Section {
    Kind kind;
    int startBar;
    int bars;
    int occurrence;  // how many sections of this kind came before: drives the variations
};

struct Bar {
    int section;
    int inSection;
    std::vector<ChordSpan> chords;
};

// One note of a lead motif, on a two-bar grid of sixteenths; `step` counts scale steps from the
// motif's anchor note.
struct MotifNote {
    int start;
    int len;
    int step;
};
using Motif = std::vector<MotifNote>;

// One-bar rhythm cells, x = attack, - = held. A motif is an opening cell and a closing cell (which
// ends on a longer note or a pick-up), picked per tune, so no two tunes need share a rhythm.
struct Cells {
    std::vector<const char*> open, close;
};
const Cells kCells[3] = {
    {{"x-------x-------", "x-----x---x-----", "x---x---x-------", "x-----x-x-------"},
     {"x-----x-x-------", "x---------------", "x---x---x-------", "x-------------x-"}},
    {{"x-------x---x---", "x-----x-x-------", "x---x---x---x---", "x-----x---x-x---", "x---x-x---x-----"},
     {"x-------x-------", "x---x---x-------", "x-----------x-x-", "x-------x---x---"}},
    {{"x--x--x-x-x-x---", "x-x-x-x-x---x---", "x---x-x-x---x-x-", "x-x---x---x-x---", "x--x--x---x-x-x-",
      "x-xx-x--x-x-x---", "x-x-x--x--x-x-x-", "x--x-x--x--x-x--"},
     {"x--x--x-x-------", "x-x-x-x-x-------", "x-x-x---x-------", "x-------x-x-x-x-", "x-x-x-------x-x-",
      "x--x--x---------"}},
};

Motif MakeMotif(Rng& rng, int energy, int avoid) {
    const Cells& cells = kCells[std::clamp(energy, 0, 2)];
    std::string rhythm = std::string(cells.open[(rng.Below(int(cells.open.size())) + avoid) % cells.open.size()]) +
                         cells.close[rng.Below(int(cells.close.size()))];
    Motif m;
    int step = 0;
    for (int i = 0; i < 32; ++i) {
        if (rhythm[i] != 'x') continue;
        int len = 1;
        while (i + len < 32 && rhythm[i + len] == '-') ++len;
        if (!m.empty()) {
            // Mostly steps, some leaps; pulled back toward the anchor so the line stays singable.
            static const int kMoves[] = {-1, 1, -1, 1, -2, 2, 0, 3, -3, 1, -1, 4, -2, 2};
            int move = kMoves[rng.Below(14)];
            if (step > 3 && move > 0) move = -move;
            if (step < -3 && move < 0) move = -move;
            step += move;
        }
        m.push_back({i, len, step});
    }
    return m;
}

// Music theory helpers on absolute pitches.
struct Harmony {
    int tonicPc;
    const int* scale;

    bool InScale(int pitch) const {
        int pc = Mod12(pitch - tonicPc);
        for (int i = 0; i < 7; ++i) if (scale[i] == pc) return true;
        return false;
    }
    int SnapToScale(int pitch) const {
        for (int d = 0; d < 6; ++d) {
            if (InScale(pitch - d)) return pitch - d;
            if (InScale(pitch + d)) return pitch + d;
        }
        return pitch;
    }
    int MoveSteps(int pitch, int steps) const {
        int p = SnapToScale(pitch);
        while (steps > 0) { do ++p; while (!InScale(p)); --steps; }
        while (steps < 0) { do --p; while (!InScale(p)); ++steps; }
        return p;
    }
    static bool IsChordTone(const Chord& c, int pitch, int tonicPc) {
        int pc = Mod12(pitch - tonicPc);
        return std::find(c.tones.begin(), c.tones.end(), pc) != c.tones.end();
    }
    int NearestChordTone(const Chord& c, int pitch) const {
        for (int d = 0; d < 7; ++d) {
            if (IsChordTone(c, pitch - d, tonicPc)) return pitch - d;
            if (IsChordTone(c, pitch + d, tonicPc)) return pitch + d;
        }
        return pitch;
    }
    // A passing note a semitone from a chord's borrowed tone (G against the E major of A minor)
    // takes that tone instead: the scale bends to the chord.
    int BendToChord(const Chord& c, int pitch) const {
        for (int pc : c.tones) {
            int p = tonicPc + pc;
            if (InScale(p)) continue;
            int d = Mod12(p - pitch);
            if (d == 1) return pitch + 1;
            if (d == 11) return pitch - 1;
        }
        return pitch;
    }
    // The chord's pitch class placed at or above `low`.
    int PlaceAbove(int pc, int low) const {
        int p = low + Mod12(tonicPc + pc - low);
        return p;
    }
};

class Composer {
public:
    explicit Composer(const TunePlan& plan)
        : plan_(plan), rng_{plan.seed}, harmony_{Mod12(plan.tonic), kScaleSteps[static_cast<int>(plan.scale)]} {}

    SmfSong Compose();

private:
    void LayOutForm();
    const ChordSpan& ChordAt(int bar, int step) const;
    void SetUpChannels();
    void WriteDrums();
    void WriteBass();
    void WritePadsAndComping();
    void WriteArpeggios();
    void WriteLead();
    void PlayMotif(const Motif& motif, int bar, int anchor, int velocity, bool holdLast, int firstBarOnly,
                   const Section& s);
    int FitAnchor(const Motif& motif, int bar, int target) const;
    std::vector<int> Voicing(const Chord& c, const std::vector<int>& previous, int low, int high) const;
    void LeadNote(int tick, int len, int pitch, int velocity, const Section& s);

    const TunePlan& plan_;
    Rng rng_;
    Harmony harmony_;
    std::vector<Section> sections_;
    std::vector<Bar> bars_;
    std::vector<std::vector<ChordSpan>> progA_, progB_, progC_, progT_;
    SmfTrack conductor_{"Conductor", {}}, lead_{"Lead", {}}, arp_{"Arpeggio", {}}, pad_{"Pad", {}},
        bass_{"Bass", {}}, comp_{"Comping", {}}, drums_{"Drums", {}};
};

void Composer::LayOutForm() {
    progA_ = ParseProgression(plan_.progA, harmony_.scale);
    progB_ = ParseProgression(plan_.progB, harmony_.scale);
    progC_ = ParseProgression(plan_.progC, harmony_.scale);
    progT_ = ParseProgression(plan_.progT, harmony_.scale);
    int counts[5] = {};
    int bar = 0;
    for (const char* f = plan_.form; *f; ++f) {
        Kind kind;
        int length;
        const std::vector<std::vector<ChordSpan>>* prog;
        switch (*f) {
            case 'I': kind = Kind::Intro, length = 4, prog = &progA_; break;
            case 'A': kind = Kind::A, length = 16, prog = &progA_; break;
            case 'a': kind = Kind::A, length = 8, prog = &progA_; break;
            case 'B': kind = Kind::B, length = 16, prog = &progB_; break;
            case 'b': kind = Kind::B, length = 8, prog = &progB_; break;
            case 'C': kind = Kind::Breakdown, length = 8, prog = &progC_; break;
            default: kind = Kind::Turn, length = 4, prog = &progT_; break;
        }
        int k = static_cast<int>(kind);
        sections_.push_back({kind, bar, length, counts[k]++});
        for (int i = 0; i < length; ++i) {
            bars_.push_back({static_cast<int>(sections_.size()) - 1, i, (*prog)[i % prog->size()]});
        }
        bar += length;
    }
}

const ChordSpan& Composer::ChordAt(int bar, int step) const {
    const std::vector<ChordSpan>& spans = bars_[bar].chords;
    for (const ChordSpan& s : spans) {
        if (step >= s.startStep && step < s.startStep + s.steps) return s;
    }
    return spans.back();
}

void Composer::SetUpChannels() {
    struct Part { SmfTrack* track; int channel; int program; int volume; int pan; int reverb; };
    const Part parts[] = {
        {&lead_, kLeadCh, plan_.leadProgram, 100, 64, 40},
        {&arp_, kArpCh, plan_.arpProgram, 66, 92, 50},
        {&pad_, kPadCh, plan_.padProgram, 74, 44, 60},
        {&bass_, kBassCh, plan_.bassProgram, 100, 64, 10},
        {&comp_, kCompCh, plan_.compProgram, plan_.powerChords ? 76 : 70, 34, 30},
        {&drums_, kDrumCh, 0, 96, 64, 25},
    };
    for (const Part& p : parts) {
        if (p.program < 0) continue;
        p.track->Controller(0, p.channel, 121, 0);  // reset controllers: a clean state on every loop
        p.track->Program(0, p.channel, p.program);
        p.track->Controller(0, p.channel, 7, p.volume);
        p.track->Controller(0, p.channel, 10, p.pan);
        p.track->Controller(0, p.channel, 91, p.reverb);
    }
}

int PatternVelocity(char c) {
    switch (c) {
        case 'X': return 118;
        case 'x': return 92;
        case 'o': return 58;
        default: return 0;
    }
}

void Composer::WriteDrums() {
    struct Line { int key; const char* steps; };
    struct Groove { Line kick, snare, hat, extra; };
    static const Groove kGrooves[] = {
        {{kKick, "X...X...X...X..."}, {kClap, "....x.......x..."}, {kClosedHat, ".o.o.o.o.o.o.o.o"}, {kOpenHat, "..x...x...x...x."}},
        {{kKick, "X.....x.x......."}, {kSnare, "....X.......X..."}, {kClosedHat, "X.x.X.x.X.x.X.x."}, {0, ""}},
        {{kKick, "X.....x...x..x.."}, {kSnare, "....X..o.o..X..o"}, {kClosedHat, "x.oxx.o.x.oxx.o."}, {0, ""}},
        {{kKick, "X..xX...X..xX..."}, {kSnare, "....X.......X..o"}, {kClosedHat, "xoxoxoxoxoxoxoxo"}, {0, ""}},
        {{kKick, "X.....x...x....."}, {kSnare, "........X......."}, {kClosedHat, "x.x.x.x.x.x.x.x."}, {0, ""}},
        {{kKick, "x.........x....."}, {kSideStick, "....x.......x..."}, {kClosedHat, "..o...o...o...o."}, {0, ""}},
    };
    const Groove& g = kGrooves[static_cast<int>(plan_.groove)];
    bool calm = plan_.groove == TuneGroove::Calm;

    for (int b = 0; b < static_cast<int>(bars_.size()); ++b) {
        const Section& s = sections_[bars_[b].section];
        int i = bars_[b].inSection;
        uint32_t t0 = static_cast<uint32_t>(b) * kBar;
        bool lastOfPhrase = (i % 8 == 7) || i == s.bars - 1;
        bool kick = true, snare = true, hat = true, extra = true;
        int hatKey = g.hat.key;
        int scale = 100;
        switch (s.kind) {
            case Kind::Intro:
                snare = i >= 2;
                extra = i >= 2;
                kick = !calm || i >= 2;
                scale = 85;
                break;
            case Kind::B:
                if (plan_.groove != TuneGroove::Gallop && plan_.groove != TuneGroove::FourFloor) hatKey = kRide;
                break;
            case Kind::Breakdown:
                kick = i >= 4;
                snare = i >= 6;
                hat = i >= 2;
                extra = false;
                scale = 75;
                break;
            default: break;
        }
        auto play = [&](int key, const char* steps, bool on, int from, int to) {
            if (!on || !key) return;
            for (int st = from; st < to && steps[st]; ++st) {
                int v = PatternVelocity(steps[st]);
                if (v) drums_.Note(t0 + st * kStep, kStep, kDrumCh, key, v * scale / 100);
            }
        };
        bool fill = lastOfPhrase && s.kind != Kind::Breakdown;
        int grooveEnd = fill ? 12 : 16;
        play(g.kick.key, g.kick.steps, kick, 0, 16);
        play(g.snare.key, g.snare.steps, snare, 0, grooveEnd);
        play(hatKey, g.hat.steps, hat, 0, grooveEnd);
        play(g.extra.key, g.extra.steps, extra, 0, grooveEnd);
        if (fill) {
            static const int kFillKeys[4] = {kHighTom, kMidTom, kLowTom, kFloorTom};
            for (int st = 12; st < 16; ++st) {
                int key = calm ? kSideStick : (s.kind == Kind::Turn || i == s.bars - 1) ? kFillKeys[st - 12] : kSnare;
                drums_.Note(t0 + st * kStep, kStep, kDrumCh, key, (84 + 8 * (st - 12)) * scale / 100);
            }
        }
        // The turnaround and the breakdown build up with a snare roll into the next section.
        if ((s.kind == Kind::Turn || s.kind == Kind::Breakdown) && i == s.bars - 2 && !calm) {
            for (int st = 0; st < 16; st += 2) drums_.Note(t0 + st * kStep, kStep, kDrumCh, kSnare, 50 + st * 3);
        }
        if (i == 0 && s.kind != Kind::Breakdown) drums_.Note(t0, kStep * 8, kDrumCh, kCrash, calm ? 70 : 110);
        else if (i % 8 == 0 && s.kind != Kind::Breakdown) drums_.Note(t0, kStep * 8, kDrumCh, kCrash, calm ? 55 : 90);
        else if (s.kind == Kind::Breakdown && i == 4) drums_.Note(t0, kStep * 8, kDrumCh, kCrash, 70);
    }
}

void Composer::WriteBass() {
    static const char* const kPatterns[] = {
        "R-O-R-O-R-O-R-A-",  // FourFloor: octave bounce
        "R-R-R-R-R-R-F-A-",  // Rock: driving eighths
        "R--R--O---R-F-A-",  // Break
        "R-RRR-RRR-RRR-FA",  // Gallop
        "R-----R-R-----F-",  // HalfTime
        "R-------F-------",  // Calm
    };
    const char* pattern = kPatterns[static_cast<int>(plan_.groove)];
    int nBars = static_cast<int>(bars_.size());
    for (int b = 0; b < nBars; ++b) {
        const Section& s = sections_[bars_[b].section];
        int i = bars_[b].inSection;
        const char* pat = pattern;
        int vel = 100;
        if (s.kind == Kind::Intro && i < 2) pat = "R-------R-------", vel = 90;
        if (s.kind == Kind::Breakdown) pat = i < 4 ? "R---------------" : "R-------R-------", vel = 86;
        for (const ChordSpan& span : bars_[b].chords) {
            int root = plan_.tonic - 5 + Mod12(span.chord.root + 5);
            // Root of the chord that follows, for the approach note.
            int nextBar = span.startStep + span.steps >= 16 ? (b + 1) % nBars : b;
            int nextStep = span.startStep + span.steps >= 16 ? 0 : span.startStep + span.steps;
            const Chord& next = ChordAt(nextBar, nextStep).chord;
            int nextRoot = plan_.tonic - 5 + Mod12(next.root + 5);
            int approach = nextRoot == root ? root + 7 : (nextRoot > root ? nextRoot - 1 : nextRoot + 1);
            int end = span.startStep + span.steps;
            for (int st = span.startStep; st < end; ++st) {
                char c = st == span.startStep ? 'R' : pat[st];  // a chord change is always marked by its root
                if (c == '-' || c == '.') continue;
                int len = 1;
                while (st + len < end && pat[st + len] == '-') ++len;
                int pitch = c == 'O' ? root + 12 : c == 'F' ? root + 7 : c == 'A' ? approach : root;
                if (c == 'A' && st + len < end) pitch = root + 7;  // approach only right before a change
                int v = vel - ((st % 4) ? 12 : 0);
                bass_.Note(static_cast<uint32_t>(b * kBar + st * kStep), len * kStep - 24, kBassCh, pitch, v);
            }
        }
    }
}

std::vector<int> Composer::Voicing(const Chord& c, const std::vector<int>& previous, int low, int high) const {
    // Close position over each chord tone in turn; a triad doubles its lowest note an octave up.
    // The voicing nearest the previous one wins, so the pad moves as little as it can.
    const std::vector<int>& pcs = c.tones;
    std::vector<int> best;
    int bestCost = 1 << 30;
    for (size_t inv = 0; inv < pcs.size(); ++inv) {
        for (int base = low; base < low + 12; ++base) {
            if (Mod12(base - harmony_.tonicPc) != pcs[inv]) continue;
            std::vector<int> v = {base};
            for (size_t k = 1; k < pcs.size(); ++k) {
                int pc = pcs[(inv + k) % pcs.size()];
                int p = v.back() + 1;
                while (Mod12(p - harmony_.tonicPc) != pc) ++p;
                v.push_back(p);
            }
            if (v.size() == 3) v.push_back(base + 12);
            int cost = 0;
            if (previous.size() == v.size()) {
                for (size_t k = 0; k < v.size(); ++k) cost += std::abs(v[k] - previous[k]);
            } else {
                cost = std::abs(v[0] + v.back() - (low + high));
            }
            if (v.back() > high) cost += 1000;  // only when nothing else fits
            if (cost < bestCost) bestCost = cost, best = v;
        }
    }
    return best;
}

void Composer::WritePadsAndComping() {
    static const char* const kComp[] = {
        "..x...x...x...x.", "x.x.x.x.x.x.x.x.", "x..x..x...x..x..", "..x...x...x..x.x", "x.....x...x.....", "x.......x.......",
    };
    const char* comp = kComp[static_cast<int>(plan_.groove)];
    std::vector<int> previous, held;
    uint32_t heldStart = 0, heldEnd = 0;
    int heldVel = 0;
    for (int b = 0; b < static_cast<int>(bars_.size()); ++b) {
        const Section& s = sections_[bars_[b].section];
        int vel = s.kind == Kind::Intro ? 68 : s.kind == Kind::Breakdown ? 74 : 70;
        for (const ChordSpan& span : bars_[b].chords) {
            std::vector<int> v = Voicing(span.chord, previous, 53, 74);
            previous = v;
            uint32_t t = static_cast<uint32_t>(b * kBar + span.startStep * kStep);
            // A chord that goes on is held, not struck again: pads swell slowly and would pump.
            if (plan_.padProgram >= 0) {
                uint32_t end = t + span.steps * kStep;
                if (v == held && heldEnd == t) {
                    heldEnd = end;
                } else {
                    for (int p : held) pad_.Note(heldStart, heldEnd - heldStart - 12, kPadCh, p, heldVel);
                    held = v, heldStart = t, heldEnd = end, heldVel = vel;
                }
            }
            if (plan_.compProgram < 0 || s.kind == Kind::Intro || s.kind == Kind::Breakdown) continue;
            std::vector<int> notes = v;
            if (plan_.powerChords) {
                int root = 40 + Mod12(span.chord.root + harmony_.tonicPc - 40);
                notes = {root, root + 7, root + 12};
            }
            for (int st = span.startStep; st < span.startStep + span.steps; ++st) {
                char c = comp[st % 16];
                if (c != 'x') continue;
                int len = plan_.groove == TuneGroove::Calm ? 7 : plan_.powerChords ? 1 : 2;
                for (int p : notes) {
                    comp_.Note(static_cast<uint32_t>(b * kBar + st * kStep), len * kStep - 20, kCompCh, p,
                               (st % 4) ? 72 : 84);
                }
            }
        }
    }
    for (int p : held) pad_.Note(heldStart, heldEnd - heldStart - 12, kPadCh, p, heldVel);
}

void Composer::WriteArpeggios() {
    if (plan_.arpProgram < 0) return;
    bool calm = plan_.energy == 0;
    for (int b = 0; b < static_cast<int>(bars_.size()); ++b) {
        const Section& s = sections_[bars_[b].section];
        // From the second time round a theme, this channel sings a harmony under the lead instead.
        if ((s.kind == Kind::A || s.kind == Kind::B) && s.occurrence > 0 && plan_.leadProgram >= 0) continue;
        if (s.kind == Kind::Turn && calm) continue;
        for (const ChordSpan& span : bars_[b].chords) {
            std::vector<int> tones;
            for (int p = 64; p < 90 && tones.size() < 6; ++p) {
                if (Harmony::IsChordTone(span.chord, p, harmony_.tonicPc)) tones.push_back(p);
            }
            static const int kOrder[8] = {0, 1, 2, 3, 4, 3, 2, 1};
            int stride = calm ? 2 : 1;
            for (int st = span.startStep; st < span.startStep + span.steps; st += stride) {
                int k = kOrder[(st / stride) % 8] % static_cast<int>(tones.size());
                int v = (st % 4 == 0) ? 74 : 58;
                if (s.kind == Kind::Intro) v -= 8;
                arp_.Note(static_cast<uint32_t>(b * kBar + st * kStep), stride * kStep - 14, kArpCh, tones[k], v);
            }
        }
    }
}

void Composer::LeadNote(int tick, int len, int pitch, int velocity, const Section& s) {
    int shift = (s.kind != Kind::Breakdown && s.occurrence >= 2 && pitch + 12 <= plan_.leadHigh + 3) ? 12 : 0;
    lead_.Note(static_cast<uint32_t>(tick), static_cast<uint32_t>(len), kLeadCh, pitch + shift, velocity);
    if ((s.kind == Kind::A || s.kind == Kind::B) && s.occurrence > 0 && plan_.arpProgram >= 0) {
        const Chord& c = ChordAt(tick / kBar, (tick % kBar) / kStep).chord;
        int under = harmony_.BendToChord(c, harmony_.MoveSteps(pitch, -2));
        arp_.Note(static_cast<uint32_t>(tick), static_cast<uint32_t>(len), kArpCh, under, velocity * 3 / 4);
    }
}

int Composer::FitAnchor(const Motif& motif, int bar, int target) const {
    int lo = 0, hi = 0;
    for (const MotifNote& n : motif) lo = std::min(lo, n.step), hi = std::max(hi, n.step);
    const Chord& c = ChordAt(bar, 0).chord;
    int anchor = harmony_.NearestChordTone(c, target);
    // Scale steps are about 1.7 semitones: keep the whole motif inside the lead's range.
    while (anchor + hi * 2 > plan_.leadHigh) anchor = harmony_.NearestChordTone(c, anchor - 3);
    while (anchor + lo * 2 < plan_.leadLow) anchor = harmony_.NearestChordTone(c, anchor + 3);
    return anchor;
}

void Composer::PlayMotif(const Motif& motif, int bar, int anchor, int velocity, bool holdLast, int firstBarOnly,
                         const Section& s) {
    int count = 0;
    for (const MotifNote& n : motif) if (!firstBarOnly || n.start < 16) ++count;
    int k = 0, lastPitch = -1, lastStep = 0;
    for (const MotifNote& n : motif) {
        if (firstBarOnly && n.start >= 16) break;
        int b = bar + n.start / 16;
        int st = n.start % 16;
        int len = n.len;
        if (holdLast && k == count - 1) len = 32 - n.start;
        if (firstBarOnly) len = std::min(len, 16 - st);
        int pitch = harmony_.MoveSteps(anchor, n.step);
        const Chord& c = ChordAt(b, st).chord;
        if (st % 4 == 0 || len >= 3) {
            int snapped = harmony_.NearestChordTone(c, pitch);
            // Where the motif moves, the snapped line moves too: the next chord tone that way.
            if (snapped == lastPitch && k > 0 && n.step != lastStep) {
                int dir = n.step > lastStep ? 1 : -1;
                int p = snapped + dir;
                while (!Harmony::IsChordTone(c, p, harmony_.tonicPc)) p += dir;
                snapped = p;
            }
            pitch = snapped;
        } else {
            pitch = harmony_.BendToChord(c, pitch);
        }
        while (pitch > plan_.leadHigh) pitch -= 12;
        while (pitch < plan_.leadLow) pitch += 12;
        int v = velocity + (st == 0 ? 12 : st == 8 ? 6 : st % 4 == 0 ? 2 : (st % 2 ? -8 : -3)) + rng_.Below(7) - 3;
        int gap = len <= 2 ? 40 : 20;
        LeadNote(b * kBar + st * kStep, len * kStep - gap, pitch, std::clamp(v, 40, 124), s);
        lastPitch = pitch, lastStep = n.step;
        ++k;
    }
}

void Composer::WriteLead() {
    if (plan_.leadProgram < 0) return;
    Motif motifA = MakeMotif(rng_, plan_.energy, 0);
    Motif motifB = MakeMotif(rng_, std::max(plan_.energy - 1, 0), 1);
    Motif motifC = MakeMotif(rng_, 0, 2);
    // The answer: the same rhythm, its second bar a third lower, so the phrase comes back down.
    auto answerOf = [](const Motif& m) {
        Motif a = m;
        for (MotifNote& n : a) if (n.start >= 16) n.step -= 2;
        return a;
    };
    // The second phrase of a theme varies it: long notes split in two with a step between.
    auto variationOf = [](const Motif& m) {
        Motif v;
        for (const MotifNote& n : m) {
            if (n.len >= 4 && n.len % 2 == 0) {
                v.push_back({n.start, n.len / 2, n.step});
                v.push_back({n.start + n.len / 2, n.len / 2, n.step + (n.step > 0 ? -1 : 1)});
            } else {
                v.push_back(n);
            }
        }
        v.back().step += 1;
        return v;
    };
    const Motif motifs[3] = {motifA, motifB, motifC};
    int center = (plan_.leadLow + plan_.leadHigh) / 2;

    for (const Section& s : sections_) {
        if (s.kind == Kind::Intro || s.kind == Kind::Turn) continue;
        int which = s.kind == Kind::A ? 0 : s.kind == Kind::B ? 1 : 2;
        int vel = s.kind == Kind::Breakdown ? 80 : s.kind == Kind::B ? 98 : 94;
        int lift = s.kind == Kind::B ? 3 : 0;
        for (int phrase = 0; phrase * 8 < s.bars; ++phrase) {
            const Motif m = phrase % 2 ? variationOf(motifs[which]) : motifs[which];
            const Motif answer = answerOf(m);
            int bar = s.startBar + phrase * 8;
            bool final = (phrase + 1) * 8 >= s.bars;
            // An arch: the motif, its answer a third higher, the motif again a fifth higher, and
            // the cadence back at the start; each re-anchored on its own chord.
            int anchor = FitAnchor(m, bar, center - 3 + 2 * (phrase % 2) + lift);
            PlayMotif(m, bar, anchor, vel, false, 0, s);
            PlayMotif(answer, bar + 2, FitAnchor(answer, bar + 2, harmony_.MoveSteps(anchor, 2)), vel, true, 0, s);
            PlayMotif(m, bar + 4, FitAnchor(m, bar + 4, harmony_.MoveSteps(anchor, 4)), vel + 4, false, 0, s);
            // Cadence: the motif's first bar, then a long note on the chord: its root at the end of
            // the section, its third halfway (an open ending that asks for the next phrase).
            int cadAnchor = FitAnchor(m, bar + 6, anchor);
            PlayMotif(m, bar + 6, cadAnchor, vel, false, 1, s);
            const Chord& c = ChordAt(bar + 7, 0).chord;
            int target = harmony_.PlaceAbove(final ? c.tones[0] : c.tones[1], cadAnchor - 6);
            while (target > plan_.leadHigh) target -= 12;
            while (target < plan_.leadLow) target += 12;
            LeadNote((bar + 7) * kBar, 12 * kStep - 30, target, vel + 4, s);
        }
    }
}

SmfSong Composer::Compose() {
    LayOutForm();
    conductor_.Tempo(0, plan_.bpm);
    conductor_.TimeSignature(0, 4, 2);
    static const char* const kNames[] = {"Intro", "A", "B", "Breakdown", "Turnaround"};
    for (const Section& s : sections_) conductor_.Marker(static_cast<uint32_t>(s.startBar * kBar), kNames[static_cast<int>(s.kind)]);
    SetUpChannels();
    WriteDrums();
    WriteBass();
    WritePadsAndComping();
    WriteArpeggios();
    WriteLead();

    SmfSong song;
    song.endTick = static_cast<uint32_t>(bars_.size() * kBar);
    song.tracks.push_back(conductor_);
    for (SmfTrack* t : {&lead_, &arp_, &pad_, &bass_, &comp_, &drums_}) {
        if (!t->events.empty()) song.tracks.push_back(*t);
    }
    return song;
}

int FormBars(const char* form) {
    int bars = 0;
    for (const char* f = form; *f; ++f) {
        switch (*f) {
            case 'A': case 'B': bars += 16; break;
            case 'a': case 'b': case 'C': bars += 8; break;
            default: bars += 4; break;
        }
    }
    return bars;
}

}  // namespace

SmfSong ComposeTune(const TunePlan& plan) { return Composer(plan).Compose(); }

double TuneSeconds(const TunePlan& plan) { return FormBars(plan.form) * 4 * 60.0 / plan.bpm; }
