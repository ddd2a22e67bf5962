// WAV files as sound editors write them, decoded for the sound effects: integer PCM of 8 (unsigned),
// 16, 24 and 32 bits, also in wider sample slots than its bits (the block align says), IEEE float
// of 32 and 64 bits, and both through WAVE_FORMAT_EXTENSIBLE, from one to eight channels.
// Other codings (ADPCM, A-law, MP3 ...) are refused with a reason that names them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct WavSound {
    int channels = 0;
    int rate = 0;
    std::vector<float> samples;  // frames x channels, each within -1..1
};

// Decodes a whole file held in memory. A sound longer than maxStreamFrames at the stream's rate is
// refused before anything is allocated. On failure `out` is left empty and *reason is the sound
// loader's log text ("RIFF is not found.", "ADPCM is not supported." ...). A data chunk too short
// for one frame decodes to no samples.
bool WavDecode(const uint8_t* data, size_t size, size_t maxStreamFrames, WavSound& out, const char** reason);
