#include "framework/screenshot.h"

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "framework/debug_log.h"
#include "framework/graphics_device.h"
#include "framework/switches.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include "stb_image_write.h"
#pragma GCC diagnostic pop

bool WritePng(const char* path, const uint8_t* rgba, int width, int height) {
    if (!path || !*path || !rgba || width <= 0 || height <= 0) return false;
    return stbi_write_png(path, width, height, 4, rgba, width * 4) != 0;
}

bool WriteScreenshot(const char* path) {
    if (!device) {
        Log("screenshot(%s): no graphics device\n", path);
        return false;
    }
    const int w = static_cast<int>(device->FrameWidth()), h = static_cast<int>(device->FrameHeight());
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    if (!device->ReadFrame(pixels.data())) {
        Log("screenshot(%s): the frame cannot be read\n", path);
        return false;
    }
    // The picture is shown opaque whatever alpha the frame holds.
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    if (!WritePng(path, pixels.data(), w, h)) {
        Log("screenshot(%s): cannot write the file\n", path);
        return false;
    }
    Log("screenshot(%s)\n", path);
    return true;
}

namespace {
std::vector<bool> shotTaken;  // per entry of programOptions.shots
std::string shotDirectory;    // where relative shot paths lead, whatever the loaders' directory
}  // namespace

void RememberShotDirectory() {
    char buf[PATH_MAX];
    shotDirectory = getcwd(buf, sizeof(buf)) ? buf : "";
}

void WriteShotsForFrame(uint32_t frame) {
    const auto& shots = programOptions.shots;
    shotTaken.resize(shots.size(), false);
    for (size_t i = 0; i < shots.size(); ++i) {
        if (shots[i].first >= 0 && static_cast<uint32_t>(shots[i].first) == frame) {
            std::string path = shots[i].second;
            if (!path.empty() && path[0] != '/' && !shotDirectory.empty()) path = shotDirectory + "/" + path;
            shotTaken[i] = WriteScreenshot(path.c_str()) || shotTaken[i];
        }
    }
}

void LogMissingShots() {
    const auto& shots = programOptions.shots;
    shotTaken.resize(shots.size(), false);
    for (size_t i = 0; i < shots.size(); ++i) {
        if (!shotTaken[i]) {
            Log("screenshot(%s): frame %d was never presented\n", shots[i].second.c_str(), shots[i].first);
        }
    }
}
