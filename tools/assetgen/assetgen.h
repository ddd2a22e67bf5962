// The asset generator: writes every file the game loads into the data directory, and the bitmaps
// that are built into the executable. Everything is made from code, deterministically.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct BuiltinBitmap {
    std::string name;               // resource name the game asks for ("IDB_stream")
    std::vector<uint8_t> bytes;     // a complete BMP file
};

// Meshes and textures (.x, .bmp) into dataDir; the built-in bitmaps and the window icon into out.
bool WriteVisualAssets(const std::string& dataDir, std::vector<BuiltinBitmap>& builtins);
// Sound effects (.wav) and music (.mid) into dataDir.
bool WriteAudioAssets(const std::string& dataDir);
