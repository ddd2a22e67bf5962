#include "tools/assetgen/sfx_synth.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kSfxRate;

using Buffer = std::vector<double>;

int Samples(double seconds) { return static_cast<int>(std::lround(seconds * kRate)); }

// White noise from a fixed seed, so every build writes the same bytes.
struct Noise {
    uint64_t state;
    double Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) / static_cast<double>(1ull << 52) - 1.0;
    }
};

// Chamberlin state-variable filter: low and band outputs with a cutoff that may move per sample.
struct Svf {
    double low = 0, band = 0;
    double q;  // damping, 2 = very soft, 0.1 = sharp resonance
    explicit Svf(double damping) : q(damping) {}
    void Run(double in, double cutoff) {
        double f = 2.0 * std::sin(kPi * std::min(cutoff, kRate / 6.5) / kRate);
        low += f * band;
        double high = in - low - q * band;
        band += f * high;
    }
};

struct OnePole {
    double y = 0;
    double Low(double in, double cutoff) {
        double a = 1.0 - std::exp(-2.0 * kPi * cutoff / kRate);
        y += a * (in - y);
        return y;
    }
};

double Decay(double t, double tau) { return t < 0 ? 0.0 : std::exp(-t / tau); }

// Exponential glide from f0 to f1 over `time` seconds, then held.
double Glide(double t, double f0, double f1, double time) {
    double u = std::clamp(t / time, 0.0, 1.0);
    return f0 * std::pow(f1 / f0, u);
}

// An oscillator whose frequency may change per sample: keeps its phase continuous.
struct Osc {
    double phase = 0;
    double Sine(double freq) {
        double v = std::sin(phase);
        phase += 2.0 * kPi * freq / kRate;
        if (phase > 2.0 * kPi) phase -= 2.0 * kPi;
        return v;
    }
    // Odd-harmonic tone: a softened square.
    double Square(double freq, int harmonics) {
        double v = 0;
        for (int k = 1; k <= harmonics * 2; k += 2) {
            if (k * freq < kRate / 2.5) v += std::sin(phase * k) / k;
        }
        phase += 2.0 * kPi * freq / kRate;
        if (phase > 2.0 * kPi) phase -= 2.0 * kPi;
        return v;
    }
};

// A short sine blip: the body of an impact or a heartbeat.
void AddThump(Buffer& b, double at, double f0, double f1, double glide, double tau, double gain) {
    Osc o;
    for (int i = Samples(at); i < static_cast<int>(b.size()); ++i) {
        double t = i / kRate - at;
        b[i] += gain * o.Sine(Glide(t, f0, f1, glide)) * Decay(t, tau) * std::min(1.0, t / 0.002);
    }
}

// A cluster of inharmonic partials: struck metal.
void AddClank(Buffer& b, double at, const std::vector<double>& partials, double tau, double gain) {
    for (size_t k = 0; k < partials.size(); ++k) {
        Osc o;
        double tk = tau / (1.0 + 0.35 * k);
        for (int i = Samples(at); i < static_cast<int>(b.size()); ++i) {
            double t = i / kRate - at;
            b[i] += gain / (1.0 + 0.3 * k) * o.Sine(partials[k]) * Decay(t, tk);
        }
    }
}

// Filtered noise with a moving cutoff and an envelope.
void AddNoise(Buffer& b, uint64_t seed, double damping, bool band, const std::function<double(double)>& cutoff,
              const std::function<double(double)>& env) {
    Noise n{seed};
    Svf f(damping);
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        f.Run(n.Next(), cutoff(t));
        b[i] += (band ? f.band : f.low) * env(t);
    }
}

// A chime note: frequency modulation with a decaying index, the classic bell.
void AddBell(Buffer& b, double at, double freq, double tau, double gain) {
    Osc carrier, mod;
    for (int i = Samples(at); i < static_cast<int>(b.size()); ++i) {
        double t = i / kRate - at;
        double index = 1.8 * Decay(t, tau * 0.4);
        double m = mod.Sine(freq * 3.5) * index;
        double v = std::sin(carrier.phase + m);
        carrier.Sine(freq);
        b[i] += gain * v * Decay(t, tau) * std::min(1.0, t / 0.001);
    }
}

void AddTone(Buffer& b, double at, double length, double freq, double tau, double gain, int harmonics) {
    Osc o;
    int end = std::min(static_cast<int>(b.size()), Samples(at + length));
    for (int i = Samples(at); i < end; ++i) {
        double t = i / kRate - at;
        double env = std::min(1.0, t / 0.003) * Decay(t, tau) * std::min(1.0, (length - t) / 0.01);
        b[i] += gain * o.Square(freq, harmonics) * env;
    }
}

// --- The sixteen sounds --------------------------------------------------------------------------

// The start signal: a clean beep; the second one (the go) higher and longer.
Buffer Signal(double freq, double length, double sustain) {
    Buffer b(Samples(length));
    Osc o;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        double env = std::min(1.0, t / 0.004) * (t < sustain ? 1.0 : Decay(t - sustain, 0.08));
        b[i] = o.Square(freq, 3) * env;
    }
    return b;
}

// The car against a wall: a heavy thump, a burst of grit and a ringing panel.
Buffer Hit() {
    Buffer b(Samples(0.45));
    AddThump(b, 0, 120, 45, 0.12, 0.08, 1.0);
    AddNoise(b, 0x417, 0.8, false, [](double t) { return Glide(t, 3000, 400, 0.1); },
             [](double t) { return 1.4 * Decay(t, 0.05); });
    AddClank(b, 0.004, {523, 1187, 1763, 2490}, 0.12, 0.22);
    return b;
}

// Tyre squeal. Every component repeats a whole number of times in the buffer, so it loops
// without a seam; the buffer is then turned to start on a zero crossing.
Buffer Drift() {
    const double length = 0.6;
    const int n = Samples(length);
    Buffer b(n);
    Osc carrier;
    for (int i = 0; i < n; ++i) {
        double t = i / kRate;
        double wobble = 0.6 + 0.4 * std::sin(2 * kPi * 20 * t);  // 12 whole cycles
        double phase = 2 * kPi * 1000 * t + (25.0 / 10.0) * std::sin(2 * kPi * 10 * t);
        b[i] = (0.7 * std::sin(phase) + 0.25 * std::sin(2 * phase) + 0.12 * std::sin(3 * phase)) * wobble;
    }
    // Noise made periodic: the filter runs over the buffer twice and keeps the second pass.
    Noise noise{0xd81f7};
    Buffer white(n);
    for (double& w : white) w = noise.Next();
    Svf f(0.5);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < n; ++i) {
            f.Run(white[i], 2600);
            if (pass) b[i] += 0.35 * f.band;
        }
    }
    int best = 0;
    double bestCost = 1e9;
    for (int i = 1; i < n; ++i) {
        if ((b[i - 1] < 0) != (b[i] < 0)) {
            double cost = std::fabs(b[i]) + std::fabs(b[i - 1]);
            if (cost < bestCost) bestCost = cost, best = i;
        }
    }
    std::rotate(b.begin(), b.begin() + best, b.end());
    return b;
}

// Grip coming back: a short falling chirp over a soft thud.
Buffer Recover() {
    Buffer b(Samples(0.32));
    Osc o;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        double f = Glide(t, 1300, 750, 0.25);
        b[i] = (0.8 * o.Sine(f) + 0.2 * std::sin(2 * o.phase)) * std::min(1.0, t / 0.005) * Decay(t, 0.09);
    }
    AddNoise(b, 0x5ec, 0.6, true, [](double) { return 4200.0; }, [](double t) { return 0.4 * Decay(t, 0.05); });
    AddThump(b, 0, 90, 55, 0.08, 0.05, 0.35);
    return b;
}

// Car against car: brighter and more metallic than a wall.
Buffer EneHit() {
    Buffer b(Samples(0.4));
    AddClank(b, 0, {310, 740, 1260, 1985, 2870}, 0.09, 0.35);
    AddNoise(b, 0xe4e, 0.7, true, [](double t) { return Glide(t, 5000, 1500, 0.15); },
             [](double t) { return 1.2 * Decay(t, 0.04); });
    AddThump(b, 0, 95, 50, 0.1, 0.06, 0.7);
    return b;
}

// A crystal picked up: a quick rising arpeggio of bells.
Buffer GetCrystal() {
    Buffer b(Samples(0.9));
    const double notes[] = {1318.5, 1661.2, 1975.5, 2637.0};
    for (int k = 0; k < 4; ++k) AddBell(b, 0.055 * k, notes[k], 0.22 + 0.04 * k, 0.5);
    return b;
}

// Boost ignition: a rising whoosh of air and a spinning turbine.
Buffer Boost1() {
    Buffer b(Samples(1.3));
    AddNoise(b, 0xb001, 0.45, true,
             [](double t) { return t < 0.5 ? Glide(t, 300, 5000, 0.5) : Glide(t - 0.5, 5000, 1500, 0.8); },
             [](double t) { return 1.6 * std::min(1.0, t / 0.05) * (t < 0.3 ? 1.0 : Decay(t - 0.3, 0.35)); });
    Osc o;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        double f = Glide(t, 80, 240, 0.6);
        b[i] += 0.35 * o.Square(f, 4) * std::min(1.0, t / 0.03) * Decay(t, 0.45);
    }
    AddThump(b, 0, 90, 40, 0.15, 0.1, 0.6);
    return b;
}

// The after-burner: one low roaring pulse, repeated by the game while the boost lasts.
Buffer Boost2() {
    Buffer b(Samples(0.45));
    AddNoise(b, 0xb002, 0.9, false, [](double t) { return Glide(t, 1800, 500, 0.3); },
             [](double t) { return 2.0 * std::min(1.0, t / 0.008) * Decay(t, 0.12); });
    AddThump(b, 0, 75, 55, 0.2, 0.1, 0.7);
    // Crackle: sparse clicks through a band-pass.
    Noise n{0xc7ac};
    Svf f(0.4);
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        double impulse = n.Next() > 0.994 ? 1.0 : 0.0;
        f.Run(impulse, 3000);
        b[i] += 1.5 * f.band * Decay(t, 0.15);
    }
    return b;
}

// The menu tick and the car's side-step: a short swish with a click on top.
Buffer Slide() {
    Buffer b(Samples(0.18));
    AddNoise(b, 0x511de, 0.5, true, [](double t) { return Glide(t, 6500, 1800, 0.15); },
             [](double t) { return std::min(1.0, t / 0.008) * Decay(t, 0.04); });
    AddTone(b, 0, 0.05, 2400, 0.012, 0.35, 1);
    return b;
}

// The engine. The game restarts it every frame while the gas is held, so its opening is a steady
// tone whose cycle fits a frame exactly (125 Hz: two cycles in 16 ms, firing pulses at 62.5 Hz);
// when the gas is let go the rest plays out as the revs falling away.
Buffer Engine() {
    Buffer b(Samples(0.5));
    Osc o, firing;
    OnePole tone;
    Noise n{0xe791e};
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        double fall = t < 0.22 ? 0.0 : (t - 0.22) / 0.28;
        double f = 125.0 * (1.0 - 0.3 * fall);
        double saw = 0;
        double ph = o.phase;
        for (int k = 1; k <= 14; ++k) saw += std::sin(ph * k) / std::pow(k, 1.1);
        o.Sine(f);
        double pulse = 0.75 + 0.25 * firing.Sine(f / 2);
        double v = tone.Low(saw * pulse + 0.15 * n.Next(), 1400);
        b[i] = v * (1.0 - fall * fall) * std::min(1.0, t / 0.0015);
    }
    return b;
}

// Thunder: a crack, a second crack, then a long rolling rumble.
Buffer Thunder() {
    Buffer b(Samples(3.6));
    AddNoise(b, 0x7a0, 1.0, false, [](double) { return 7000.0; },
             [](double t) { return 1.2 * (Decay(t, 0.03) + 0.7 * Decay(t - 0.12, 0.05)); });
    // Rumble: low-passed noise whose level rolls with a slow random swell.
    Noise n{0x70d}, roll{0x5011};
    Svf low(1.2);
    OnePole swell;
    double target = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = i / kRate;
        if (i % 4410 == 0) target = 0.5 + 0.5 * std::fabs(roll.Next());
        double s = swell.Low(target, 4.0);
        low.Run(n.Next(), 160);
        double env = std::min(1.0, t / 0.25) * (t < 0.3 ? 1.0 : Decay(t - 0.3, 1.1));
        b[i] += 4.0 * low.low * s * env;
    }
    return b;
}

// A wave on the shore: the swell, the break and the hiss of the wash running back.
Buffer Wave() {
    Buffer b(Samples(4.0));
    auto level = [](double t) {
        if (t < 1.6) return std::pow(t / 1.6, 2.0);
        return Decay(t - 1.6, 0.9);
    };
    AddNoise(b, 0x3a7e, 1.0, false, [&](double t) { return 300 + 2400 * level(t); },
             [&](double t) { return 1.2 * level(t); });
    AddNoise(b, 0xf022, 0.8, true, [](double t) { return 5500 - 600 * t; },
             [](double t) { return t < 1.6 ? 0.0 : 0.5 * Decay(t - 1.6, 0.5) + 0.12 * Decay(t - 1.6, 1.4); });
    return b;
}

// The heartbeat of the prologue: lub, dub.
Buffer HeartBeat() {
    Buffer b(Samples(0.9));
    AddThump(b, 0.0, 80, 45, 0.1, 0.07, 1.0);
    AddThump(b, 0.26, 90, 52, 0.1, 0.06, 0.75);
    AddNoise(b, 0x4ea7, 1.2, false, [](double) { return 180.0; },
             [](double t) { return 0.8 * (Decay(t, 0.05) + 0.7 * Decay(t - 0.26, 0.05)); });
    return b;
}

// Menu accept: two bright rising tones.
Buffer Accept() {
    Buffer b(Samples(0.32));
    AddTone(b, 0.0, 0.09, 1046.5, 0.2, 0.6, 3);
    AddTone(b, 0.07, 0.25, 1568.0, 0.09, 0.7, 3);
    return b;
}

// Menu cancel: two softer falling tones.
Buffer Cansel() {
    Buffer b(Samples(0.3));
    AddTone(b, 0.0, 0.09, 784.0, 0.2, 0.6, 2);
    AddTone(b, 0.07, 0.23, 523.3, 0.08, 0.7, 2);
    return b;
}

struct Recipe {
    const char* file;
    Buffer (*make)();
    double peak;    // level the sound is normalised to
    bool loopable;  // starts and ends on a zero crossing instead of fading
};

Buffer Signal1() { return Signal(880.0, 0.26, 0.2); }
Buffer Signal2() { return Signal(1760.0, 0.75, 0.45); }

const Recipe kRecipes[] = {
    {"Signal1.wav", Signal1, 0.85, false},   {"Signal2.wav", Signal2, 0.85, false},
    {"Hit.wav", Hit, 0.89, false},           {"Drift.wav", Drift, 0.6, true},
    {"Recover.wav", Recover, 0.75, false},   {"EneHit.wav", EneHit, 0.89, false},
    {"GetCrystal.wav", GetCrystal, 0.8, false}, {"Boost1.wav", Boost1, 0.89, false},
    {"Boost2.wav", Boost2, 0.8, false},      {"Slide.wav", Slide, 0.7, false},
    {"Engine.wav", Engine, 0.6, false},      {"Thunder.wav", Thunder, 0.89, false},
    {"Wave.wav", Wave, 0.8, false},          {"HeartBeat.wav", HeartBeat, 0.89, false},
    {"Accept.wav", Accept, 0.75, false},     {"Cansel.wav", Cansel, 0.75, false},
};

void PutLE(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

bool SynthesizeSoundEffect(const std::string& file, std::vector<int16_t>& samples) {
    for (const Recipe& r : kRecipes) {
        if (file != r.file) continue;
        Buffer b = r.make();
        double peak = 1e-9;
        for (double v : b) peak = std::max(peak, std::fabs(v));
        double gain = r.peak / peak;
        const int n = static_cast<int>(b.size());
        // Short fades so no sound starts or stops with a click.
        const int in = r.loopable ? 0 : Samples(0.002), out = r.loopable ? 0 : Samples(0.012);
        samples.resize(n);
        for (int i = 0; i < n; ++i) {
            double env = 1.0;
            if (i < in) env = static_cast<double>(i) / in;
            if (n - 1 - i < out) env = std::min(env, static_cast<double>(n - 1 - i) / out);
            double v = std::clamp(b[i] * gain * env, -1.0, 1.0);
            samples[i] = static_cast<int16_t>(std::lround(v * 32767.0));
        }
        return true;
    }
    return false;
}

std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples, int rate, int channels) {
    std::vector<uint8_t> out;
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    PutLE(out, 38 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    // The full 18-byte format with its extra-size field (0): readers that take 18 bytes find it.
    PutLE(out, 18, 4);
    PutLE(out, 1, 2);  // PCM
    PutLE(out, static_cast<uint32_t>(channels), 2);
    PutLE(out, static_cast<uint32_t>(rate), 4);
    PutLE(out, static_cast<uint32_t>(rate * channels * 2), 4);
    PutLE(out, static_cast<uint32_t>(channels * 2), 2);
    PutLE(out, 16, 2);
    PutLE(out, 0, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLE(out, dataBytes, 4);
    for (int16_t s : samples) PutLE(out, static_cast<uint16_t>(s), 2);
    return out;
}
