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
    // A pixel of the shell font's colour (0x00c0ff).
    bool Font(int x, int y) const {
        const unsigned char* p = At(x, y);
        return p[0] < 60 && p[1] > 150 && p[2] > 200;
    }
    // Pixels of the shell font's colour in the box from (x1, y1) to (x2, y2), ends excluded.
    int FontPixels(int x1, int y1, int x2, int y2) const;
    // Pixels brighter than near-black in the box.
    int Lit(int x1, int y1, int x2, int y2) const;
};

// build/screens, made when missing: where the screen tests leave the pictures they look at.
std::string ScreensDir();
