#include "tests/support/scripted_session.h"

#include <cstdio>

#include "framework/application.h"
#include "framework/graphics_device.h"
#include "game/sound_effects.h"
#include "game/asset_tables.h"
#include "tests/support/in_process_game.h"
#include "tests/support/run_game.h"

namespace {
struct Session {
    std::string script;
    std::vector<SessionStep> steps;
    void (*prepare)();
};

int RunSession(void* context) {
    const Session& s = *static_cast<Session*>(context);
    const bool started = StartGameInProcess(0, 9, MakeTempDir() + "/debug.txt", WriteInputScript(s.script));
    if (!started) return 100;
    device->SetCooperativeLevelForTest(D3DERR_DEVICELOST);
    if (s.prepare) s.prepare();
    int failed = 0;
    for (size_t i = 0; i < s.steps.size() && failed == 0; ++i) {
        const SessionStep& step = s.steps[i];
        if (step.frame > 0) RunFramesUntil(step.frame - 1);
        StopAllSounds();
        RunFramesUntil(step.frame);
        if (frameNumber != step.frame || !step.check()) failed = static_cast<int>(i) + 1;
    }
    device->SetCooperativeLevelForTest(D3D_OK);
    StopGameInProcess(started);
    return failed;
}
}  // namespace

std::string WriteInputScript(const std::string& text) {
    const std::string path = MakeTempDir() + "/input.txt";
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return "";
    std::fputs(text.c_str(), f);
    std::fclose(f);
    return path;
}

std::string PressAt(uint32_t frame, const char* key) { return HoldAt(frame, 1, key); }

std::string HoldAt(uint32_t frame, uint32_t frames, const char* key) {
    return std::to_string(frame) + " down " + key + "\n" + std::to_string(frame + frames) + " up " + key + "\n";
}

void StopAllSounds() {
    for (Sound& sound : sounds) sound.Stop();
}

int RunScriptedSession(const std::string& script, const std::vector<SessionStep>& steps, void (*prepare)()) {
    Session s{script, steps, prepare};
    return RunInChildProcess(RunSession, &s);
}
