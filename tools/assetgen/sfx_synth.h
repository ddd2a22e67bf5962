// The sound-effect synthesizer: each of the game's sixteen sounds is built from oscillators,
// filtered noise and envelopes, then normalised and written as 16-bit PCM WAV.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kSfxRate = 44100;

// The named effect as 16-bit mono samples at kSfxRate; false for a name we do not make.
bool SynthesizeSoundEffect(const std::string& file, std::vector<int16_t>& samples);
// A complete RIFF/WAVE file image: PCM, 16-bit, the given rate and channel count (interleaved).
std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples, int rate, int channels);
