// The cost of the audio stream while a tune and four sound effects play: the mixer with our own
// synthesizer, with the SoundFont player, and with both at once. core_pct is the share of one core
// the stream takes at 44100 Hz (the budget is 10), counted in processor time of the rendering
// thread, so other work sharing the machine does not inflate it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "framework/kbgm.h"
#include "framework/music.h"
#include "framework/sound.h"
#include "game/sound_effects.h"
#include "platform/audio.h"
#include "platform/midi.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Vlq(Bytes& out, uint32_t v) {
    uint8_t tmp[5];
    int n = 0;
    do {
        tmp[n++] = v & 0x7f;
        v >>= 7;
    } while (v);
    while (n > 1) out.push_back(tmp[--n] | 0x80);
    out.push_back(tmp[0]);
}

void Le(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Write(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

// A busy race tune at 140 beats a minute: pad and string chords, an eighth-note bass and lead,
// kick, snare, hi-hats and a crash: about a dozen voices at once.
std::string WriteTune() {
    std::vector<std::pair<uint32_t, Bytes>> ev;
    auto note = [&](int ch, uint32_t t, uint32_t len, int key, int vel) {
        ev.push_back({t, {uint8_t(0x90 | ch), uint8_t(key), uint8_t(vel)}});
        ev.push_back({t + len, {uint8_t(0x80 | ch), uint8_t(key), 0}});
    };
    ev.push_back({0, {0xff, 0x51, 0x03, 0x06, 0x8a, 0x1b}});
    ev.push_back({0, {0xc0, 81}});
    ev.push_back({0, {0xc1, 38}});
    ev.push_back({0, {0xc2, 89}});
    ev.push_back({0, {0xc3, 48}});
    const int chords[4][3] = {{57, 60, 64}, {53, 57, 60}, {55, 59, 62}, {52, 55, 59}};
    for (int bar = 0; bar < 8; ++bar) {
        const uint32_t b = bar * 1920;
        const int* c = chords[bar % 4];
        for (int i = 0; i < 3; ++i) note(2, b, 1900, c[i], 90);
        for (int i = 0; i < 3; ++i) note(3, b, 1900, c[i] + 12, 70);
        for (int e = 0; e < 8; ++e) note(1, b + e * 240, 200, c[0] - 24, 110);
        for (int e = 0; e < 8; ++e) note(0, b + e * 240, 220, c[e % 3] + 12 + (e / 3) * 12, 100);
        for (int q = 0; q < 4; ++q) {
            note(9, b + q * 480, 100, 36, 120);
            if (q % 2) note(9, b + q * 480, 100, 38, 110);
        }
        for (int e = 0; e < 8; ++e) note(9, b + e * 240, 60, 42, 90);
        if (bar % 4 == 0) note(9, b, 100, 49, 100);
    }
    std::stable_sort(ev.begin(), ev.end(), [](auto& a, auto& b) { return a.first < b.first; });
    Bytes body;
    uint32_t last = 0;
    for (auto& [t, b] : ev) {
        Vlq(body, t - last);
        body.insert(body.end(), b.begin(), b.end());
        last = t;
    }
    Vlq(body, 8 * 1920 - last);
    body.insert(body.end(), {0xff, 0x2f, 0x00});
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xe0, 'M', 'T', 'r', 'k'};
    const uint32_t n = static_cast<uint32_t>(body.size());
    file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    file.insert(file.end(), body.begin(), body.end());
    const std::string path = "/tmp/korvan_audio_bench_" + std::to_string(getpid()) + ".mid";
    Write(path, file);
    return path;
}

// An engine-like hum, 22.05 kHz mono, one second (converted to the stream at load).
std::string WriteSound(int i) {
    Bytes data;
    for (int f = 0; f < 22050; ++f) Le(data, static_cast<uint16_t>(static_cast<int16_t>(6000 * std::sin(f * 0.05 * (i + 1)))), 2);
    Bytes file = {'R', 'I', 'F', 'F'};
    Le(file, 36 + static_cast<uint32_t>(data.size()), 4);
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Le(file, 16, 4);
    Le(file, 1, 2);
    Le(file, 1, 2);
    Le(file, 22050, 4);
    Le(file, 44100, 4);
    Le(file, 2, 2);
    Le(file, 16, 2);
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    Le(file, static_cast<uint32_t>(data.size()), 4);
    file.insert(file.end(), data.begin(), data.end());
    const std::string path = "/tmp/korvan_audio_bench_" + std::to_string(getpid()) + "_" + std::to_string(i) + ".wav";
    Write(path, file);
    return path;
}

enum Synths { kOwn = 1, kSoundFont = 2 };

void StreamWithTuneAndFourSounds(benchmark::State& state) {
    const int synths = static_cast<int>(state.range(0));
    AudioStart(AudioOutput::kPull);
    const std::string tune = WriteTune();
    Sound sounds[4];
    for (int i = 0; i < 4; ++i) {
        sounds[i].Load(WriteSound(i).c_str());
        sounds[i].Play(true);
    }
    int handle = 0;
    if (synths & kOwn) {
        KBGMOpen(10, -1);
        KBGMLoadFile(&handle, tune.c_str());
        KBGMPlay(handle, 1);
    }
    if (synths & kSoundFont) {
        MidiStart();
        LoadMusic(tune.c_str());
        PlayMusic(true);
        if (!MidiReady()) state.SkipWithError("no SoundFont");
    }
    // One second of the stream per iteration, in the device's block size.
    constexpr int kBlock = 1024;
    std::vector<int16_t> block(kBlock * 2);
    for (auto _ : state) {
        for (int done = 0; done < kAudioRate; done += kBlock) AudioRender(block.data(), kBlock);
        benchmark::DoNotOptimize(block.data());
    }
    // kIsRate divides by the time taken and kInvert turns it over: 100 x seconds spent per second
    // of audio.
    const double audioSeconds = static_cast<double>((kAudioRate + kBlock - 1) / kBlock * kBlock) / kAudioRate;
    state.counters["core_pct"] = benchmark::Counter(static_cast<double>(state.iterations()) * audioSeconds * 0.01,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (synths & kOwn) {
        KBGMStop();
        KBGMFree(handle);
        KBGMClose();
    }
    if (synths & kSoundFont) {
        UnloadMusic();
        MidiShutdown();
    }
    for (Sound& s : sounds) s.Release();
    AudioStop();
}

BENCHMARK(StreamWithTuneAndFourSounds)
    ->ArgName("synths")
    ->Arg(kOwn)
    ->Arg(kSoundFont)
    ->Arg(kOwn | kSoundFont)
    ->Unit(benchmark::kMillisecond);

}  // namespace
