// Scripted input: key and pad events read from a text file and replayed frame by frame, so a run
// can be reproduced exactly. One event per line:
//
//   FRAME down KEY      FRAME up KEY
//
// FRAME counts frames from 0; KEY is a DirectInput key name without its prefix ("Z", "UP",
// "LSHIFT", "NUMPAD8", "ESCAPE") or a pad input "PADn:k" (pad n 0..7, input k 0..13: up, down,
// left, right, z below, z above, then buttons 1 to 8). "#" starts a comment; blank lines are
// ignored. Events of the same frame apply in the order they are written.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/input.h"

struct InputScriptEvent {
    uint32_t frame = 0;
    bool down = false;
    int pad = -1;   // -1 for the keyboard, else the pad number
    int code = 0;   // scan code, or the pad input index
    int line = 0;   // line in the file, for messages
};

// Parses the script text. On the first bad line the result is false and error names the line
// number and what is wrong with it.
bool ParseInputScript(const std::string& text, std::vector<InputScriptEvent>& events, std::string& error);

// Reads and parses the file into the running script (replacing any earlier one). False with the
// reason in error when the file cannot be read or a line is bad; the running script is then empty.
bool LoadInputScript(const char* path, std::string& error);
// Installs already parsed events as the running script.
void SetInputScript(std::vector<InputScriptEvent> events);
// Drops the running script and everything it holds down.
void ClearInputScript();
bool InputScriptActive();

// Applies every event up to and including this frame, in order.
void AdvanceInputScript(uint32_t frame);
// What the script holds down now: keys by scan code (0x80 while down), pad inputs per pad.
const uint8_t* InputScriptKeys();
const uint8_t* InputScriptPad(int pad);
