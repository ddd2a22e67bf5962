#include "tests/support/screen_image.h"

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
