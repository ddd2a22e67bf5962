// Writes the game's sound effects and music into the data directory.
#include <cstdio>
#include <cstring>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/audio_manifest.h"
#include "tools/assetgen/midi_writer.h"
#include "tools/assetgen/sfx_synth.h"
#include "tools/assetgen/tune_compose.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "assetgen: failed writing %s\n", path.c_str());
    return ok;
}

const TunePlan* FindPlan(const char* file) {
    for (int i = 0; i < kTunePlanCount; ++i) {
        if (!std::strcmp(kTunePlans[i].file, file)) return &kTunePlans[i];
    }
    return nullptr;
}

}  // namespace

bool WriteAudioAssets(const std::string& dataDir) {
    bool ok = true;
    for (const char* name : kSoundFiles) {
        std::vector<int16_t> samples;
        if (!SynthesizeSoundEffect(name, samples)) {
            std::fprintf(stderr, "assetgen: no recipe for the sound %s\n", name);
            ok = false;
            continue;
        }
        ok = WriteFile(dataDir + "/" + name, EncodeWav(samples, kSfxRate, 1)) && ok;
    }
    for (const char* name : kTuneFiles) {
        const TunePlan* plan = FindPlan(name);
        if (!plan) {
            std::fprintf(stderr, "assetgen: no plan for the tune %s\n", name);
            ok = false;
            continue;
        }
        ok = WriteFile(dataDir + "/" + name, EncodeSmf(ComposeTune(*plan))) && ok;
    }
    return ok;
}
