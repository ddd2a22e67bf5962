// The whole game in a child process with the device lost (the scenes' rules without drawing) and
// a script of keys and pad inputs, checked at given frames: a menu's behaviour as a player meets
// it, in a fraction of a second per session.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The first game frames of the attract sequence's scenes in a fresh run on a board with two lights:
// the logo's frames 0 to 600 (the last hands over), the story prologue's 1960, the demonstration's
// 1200, then the title.
constexpr uint32_t kStoryFirstFrame = 601;
constexpr uint32_t kDemonstrationFirstFrame = kStoryFirstFrame + 1960;
constexpr uint32_t kTitleFirstFrame = kDemonstrationFirstFrame + 1200;

// Writes an input script (the --input switch's file) into a fresh temporary folder; its path, or
// "" when it cannot be written.
std::string WriteInputScript(const std::string& text);
// A key or pad input ("Z", "DOWN", "PAD0:8") down on the game frame and up on the next.
std::string PressAt(uint32_t frame, const char* key);
// Down on the frame and up `frames` frames later.
std::string HoldAt(uint32_t frame, uint32_t frames, const char* key);

// After the game has run frames 0 .. frame - 1, `check` answers true when the game is as expected.
// Every sound is stopped before that last frame runs, so a check that finds a sound playing
// knows the frame played it.
struct SessionStep {
    uint32_t frame;
    bool (*check)();
};

// Starts the game with the script, runs `prepare` (after the boot, before the first frame), then
// the steps in order. 0 when every check held, else the number (from 1) of the first step that
// failed; -1 when the child did not end normally, 100 when the game did not start.
int RunScriptedSession(const std::string& script, const std::vector<SessionStep>& steps,
                       void (*prepare)() = nullptr);

// Stops every sound of the asset table.
void StopAllSounds();
