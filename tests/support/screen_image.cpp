#include "tests/support/screen_image.h"

#include <sys/stat.h>

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

bool ScreenImage::Load(const std::string& path) {
    int n = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (!data) return false;
    rgba.assign(data, data + static_cast<size_t>(w) * h * 4);
    stbi_image_free(data);
    return true;
}

int ScreenImage::FontPixels(int x1, int y1, int x2, int y2) const {
    int n = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) n += Font(x, y) ? 1 : 0;
    return n;
}

int ScreenImage::Lit(int x1, int y1, int x2, int y2) const {
    int n = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) {
            const unsigned char* p = At(x, y);
            if (p[0] + p[1] + p[2] > 60) ++n;
        }
    return n;
}

std::string ScreensDir() {
    const std::string dir = std::string(KORVAN_BUILD_DIR) + "/screens";
    mkdir(dir.c_str(), 0755);
    return dir;
}
