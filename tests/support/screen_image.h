// A screenshot the game wrote (--shot), read back for the tests that look at it.
#pragma once
#include <string>
#include <vector>

struct ScreenImage {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    // False when the file is missing or not a picture.
    bool Load(const std::string& path);
    const unsigned char* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * w + x) * 4]; }
};
