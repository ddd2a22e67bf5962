#include "framework/frame_stats.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {
std::vector<float> frameMs;
long lateFrames = 0;
std::vector<size_t> lateFrameIndex;  // the first few late frames, to find what made them late
std::chrono::steady_clock::time_point frameStart;
std::map<std::string, std::string> extraFields;
// Each frame's scene, as an index into sceneNames (in order of first appearance).
std::vector<const char*> sceneNames;
std::vector<uint8_t> frameScene;
size_t currentScene = 0;
std::map<size_t, long> sceneLate;
std::map<size_t, long> scenePipelines;  // pipelines first drawn in the scene's frames
int pictureHz = 0;  // 0: one picture a step
long picturesShown = 0, picturesDropped = 0;

float Percentile(std::vector<float> v, double p) {
    if (v.empty()) return 0.0f;
    std::sort(v.begin(), v.end());
    size_t idx = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(idx, v.size() - 1)];
}
}  // namespace

void StatsSetScene(const char* name) {
    if (!name) name = "other";
    for (size_t i = 0; i < sceneNames.size(); ++i) {
        if (sceneNames[i] == name || std::strcmp(sceneNames[i], name) == 0) {
            currentScene = i;
            return;
        }
    }
    // The scene list is short (a few dozen scenes); past 255 every new name counts as the last.
    if (sceneNames.size() < 255) sceneNames.push_back(name);
    currentScene = sceneNames.size() - 1;
}

void StatsBeginFrame() { frameStart = std::chrono::steady_clock::now(); }

void StatsEndWork() {
    auto d = std::chrono::steady_clock::now() - frameStart;
    frameMs.push_back(std::chrono::duration<float, std::milli>(d).count());
    frameScene.push_back(static_cast<uint8_t>(sceneNames.empty() ? 0 : currentScene));
}

void StatsCountLate() {
    ++lateFrames;
    if (!sceneNames.empty()) ++sceneLate[currentScene];
    if (lateFrameIndex.size() < 16 && !frameMs.empty()) lateFrameIndex.push_back(frameMs.size() - 1);
}

void StatsCountPipelines(unsigned count) {
    // Before the first scene (the boot's own loading screen) there is nothing to count them to.
    if (!sceneNames.empty()) scenePipelines[currentScene] += count;
}

void StatsSetPictures(int refreshHz, long shown, long dropped) {
    pictureHz = refreshHz;
    picturesShown = shown;
    picturesDropped = dropped;
}

void StatsSetField(const char* key, const std::string& jsonValue) { extraFields[key] = jsonValue; }

void ResetStats() {
    frameMs.clear();
    lateFrames = 0;
    lateFrameIndex.clear();
    extraFields.clear();
    sceneNames.clear();
    frameScene.clear();
    sceneLate.clear();
    scenePipelines.clear();
    currentScene = 0;
    pictureHz = 0;
    picturesShown = picturesDropped = 0;
}

std::string StatsJson() {
    char buf[512];
    float mx = frameMs.empty() ? 0.0f : *std::max_element(frameMs.begin(), frameMs.end());
    std::snprintf(buf, sizeof(buf),
                  "{\n  \"frames\": %zu,\n  \"frame_ms\": {\"median\": %.3f, \"p99\": %.3f, \"max\": %.3f},\n"
                  "  \"late_frames\": %ld",
                  frameMs.size(), Percentile(frameMs, 0.5), Percentile(frameMs, 0.99), mx, lateFrames);
    std::string out = buf;
    // The slowest frames by number, so a spike can be traced to what the race was doing then.
    std::vector<size_t> order(frameMs.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    size_t shown = std::min<size_t>(5, order.size());
    std::partial_sort(order.begin(), order.begin() + shown, order.end(),
                      [](size_t a, size_t b) { return frameMs[a] > frameMs[b]; });
    out += ",\n  \"slowest\": [";
    for (size_t i = 0; i < shown; ++i) {
        std::snprintf(buf, sizeof(buf), "%s{\"frame\": %zu, \"ms\": %.3f}", i ? ", " : "", order[i],
                      frameMs[order[i]]);
        out += buf;
    }
    out += "],\n  \"late_at\": [";
    for (size_t i = 0; i < lateFrameIndex.size(); ++i) out += (i ? ", " : "") + std::to_string(lateFrameIndex[i]);
    out += "]";
    if (pictureHz > 0) {
        std::snprintf(buf, sizeof(buf), ",\n  \"pictures\": {\"refresh_hz\": %d, \"shown\": %ld, \"dropped\": %ld}",
                      pictureHz, picturesShown, picturesDropped);
        out += buf;
    }
    // Each scene's frames on their own: a menu's cost is not hidden among the race's frames.
    if (!sceneNames.empty()) {
        out += ",\n  \"scenes\": {";
        for (size_t s = 0; s < sceneNames.size(); ++s) {
            std::vector<float> ms;
            for (size_t i = 0; i < frameMs.size(); ++i)
                if (frameScene[i] == s) ms.push_back(frameMs[i]);
            const float sceneMax = ms.empty() ? 0.0f : *std::max_element(ms.begin(), ms.end());
            std::snprintf(buf, sizeof(buf),
                          "%s\n    \"%s\": {\"frames\": %zu, \"median\": %.3f, \"p99\": %.3f, \"max\": %.3f, "
                          "\"late_frames\": %ld, \"pipelines_built\": %ld}",
                          s ? "," : "", sceneNames[s], ms.size(), Percentile(ms, 0.5), Percentile(ms, 0.99), sceneMax,
                          sceneLate.count(s) ? sceneLate[s] : 0L, scenePipelines.count(s) ? scenePipelines[s] : 0L);
            out += buf;
        }
        out += "\n  }";
    }
    for (const auto& [key, value] : extraFields) out += ",\n  \"" + key + "\": " + value;
    out += "\n}\n";
    return out;
}

bool WriteStatsFile(const char* path) {
    FILE* f = std::fopen(path, "w");
    if (!f) return false;
    std::string json = StatsJson();
    bool ok = std::fwrite(json.data(), 1, json.size(), f) == json.size();
    return (std::fclose(f) == 0) && ok;
}
