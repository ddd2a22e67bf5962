// The ghost of a course: the player's best run on it, frame by frame, kept in the user's data folder
// as ghosts/courseNN.ghost ($XDG_DATA_HOME/korvan/ghosts, by default ~/.local/share/korvan/ghosts).
// Time Attack draws it beside the player; every finished race or run that beats it replaces it.
//
// The file, all numbers little-endian:
//   0  "KVGH"                      magic word
//   4  u32 version                 kGhostVersion
//   8  u32 course                  1..15, the course of the file's name
//  12  u32 laps                    1..10
//  16  u32 total time              milliseconds, the sum of the run's lap times
//  20  u32 frame count             at least 1
//  24  frame records               kGhostFrameBytes each, frame 0 first (the first race frame)
//  end u32 CRC-32                  over every byte before it
// A frame record: the car's position (three IEEE floats), the drawn body's orientation as a unit
// quaternion (x, y, z, w; four i16 in 1/32767), the road half under the car (u16, lifts the body
// off it), the tyres' spin (i16, 65536 to a turn), their roll with the drift (i16, 1/8192 radian),
// the front tyres' steer (i8: -1 left, 0, +1 right, as shown) and the laps done (i8, -1..10).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kGhostVersion = 1;
constexpr size_t kGhostHeaderBytes = 24;
constexpr size_t kGhostFrameBytes = 28;
constexpr size_t kGhostCheckBytes = 4;
// A file larger than this is refused without being read: it holds about 41 minutes of frames,
// the longest race runs under five.
constexpr size_t kGhostFileByteLimit = 4u * 1024u * 1024u;
constexpr int kGhostFrameLimit =
    static_cast<int>((kGhostFileByteLimit - kGhostHeaderBytes - kGhostCheckBytes) / kGhostFrameBytes);
constexpr int kGhostMaxMillis = 99 * 60000 + 59999;

struct GhostFrame {
    float x, y, z;
    int16_t orientation[4];
    uint16_t halfIndex;
    int16_t wheelSpin;
    int16_t tyreRoll;
    int8_t steer;
    int8_t lapsDone;
};

struct GhostRun {
    int course = 0;
    int laps = 0;
    int totalMillis = 0;
    std::vector<GhostFrame> frames;
};

// ghosts/courseNN.ghost in the user's data folder; "" when there is none. The folder is made only
// when `makeFolder`.
std::string GhostFilePath(int course, bool makeFolder = false);

// The file's bytes for `run`.
std::vector<uint8_t> EncodeGhost(const GhostRun& run);
// Decodes a file meant for `course`. False, with the reason in `why`, for a file that is too large,
// has a wrong magic word, version or course, laps out of 1..10, a time out of 0..99:59.999, no
// frames or a frame count that does not match its size, a bad checksum, or a frame whose position
// is not a finite number or whose steer or laps are out of range; `out` is then untouched.
bool DecodeGhost(const uint8_t* bytes, size_t size, int course, GhostRun* out, std::string* why);

// Reads the course's ghost. False when there is none (logged once as "no ghost") or when the file
// is refused (logged with the reason); a refused file is left where it is and `out` is untouched.
// `refused`, when given, tells the two apart.
bool ReadGhostFile(int course, GhostRun* out, bool* refused = nullptr);

// Keeps `run` as its course's ghost when it beats the one kept (a lower total time), or when there
// is none. A kept file that is refused is first copied once to "courseNN.ghost.rejected", so its
// bytes survive the replacement. Written atomically: a failed write leaves the previous ghost
// whole. True when the file now holds `run`; false (logged) when it was slower, equal, or could
// not be written.
bool KeepGhostIfFaster(const GhostRun& run);
