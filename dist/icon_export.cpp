// icon_export DIR: writes the game's icon, the built-in icon resource 101 ("IDI_ICON101"), as the
// PNG files a desktop looks for: DIR/<N>x<N>/apps/org.korvan.OuterBounds.png for each size below.
// The icon is drawn in whole pixels, so larger sizes repeat each pixel and smaller ones average
// blocks of them: the installed icon is the window's icon at every size.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/screenshot.h"
#include "platform/builtin_resources.h"
#include "platform/image.h"

namespace {

const int kSizes[] = {16, 32, 48, 64, 128, 256};

// Each target pixel is the average of the source pixels its square covers (any ratio; a whole
// multiple up repeats pixels exactly).
std::vector<uint8_t> Scale(const Image& src, int size) {
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int x0 = x * src.width / size, x1 = std::max(x0 + 1, (x + 1) * src.width / size);
            const int y0 = y * src.height / size, y1 = std::max(y0 + 1, (y + 1) * src.height / size);
            unsigned sum[4] = {0, 0, 0, 0}, n = 0;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    const uint32_t p = src.pixels[static_cast<size_t>(sy) * src.width + sx];
                    sum[0] += (p >> 16) & 0xFF;
                    sum[1] += (p >> 8) & 0xFF;
                    sum[2] += p & 0xFF;
                    sum[3] += p >> 24;
                    ++n;
                }
            }
            uint8_t* out = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            for (int c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
        }
    }
    return rgba;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: icon_export DIR\n");
        return 2;
    }
    const BuiltinResource* icon = FindBuiltinResource("IDI_ICON101");
    Image image;
    std::string error;
    if (!icon || !ImageLoadBmpMemory(icon->data, icon->size, 0, image, &error)) {
        std::fprintf(stderr, "icon_export: the icon resource cannot be read: %s\n", error.c_str());
        return 1;
    }
    for (int size : kSizes) {
        const std::filesystem::path dir =
            std::filesystem::path(argv[1]) / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
        std::error_code made;
        std::filesystem::create_directories(dir, made);
        const std::string path = (dir / "org.korvan.OuterBounds.png").string();
        const std::vector<uint8_t> rgba = Scale(image, size);
        if (!WritePng(path.c_str(), rgba.data(), size, size)) {
            std::fprintf(stderr, "icon_export: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
