#include "framework/frame_stats.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

namespace {
std::vector<float> frameMs;
long lateFrames = 0;
std::vector<size_t> lateFrameIndex;  // the first few late frames, to find what made them late
std::chrono::steady_clock::time_point frameStart;
std::map<std::string, std::string> extraFields;

float Percentile(std::vector<float> v, double p) {
    if (v.empty()) return 0.0f;
    std::sort(v.begin(), v.end());
    size_t idx = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(idx, v.size() - 1)];
}
}  // namespace

void StatsBeginFrame() { frameStart = std::chrono::steady_clock::now(); }

void StatsEndWork() {
    auto d = std::chrono::steady_clock::now() - frameStart;
    frameMs.push_back(std::chrono::duration<float, std::milli>(d).count());
}

void StatsCountLate() {
    ++lateFrames;
    if (lateFrameIndex.size() < 16 && !frameMs.empty()) lateFrameIndex.push_back(frameMs.size() - 1);
}

void StatsSetField(const char* key, const std::string& jsonValue) { extraFields[key] = jsonValue; }

void ResetStats() {
    frameMs.clear();
    lateFrames = 0;
    lateFrameIndex.clear();
    extraFields.clear();
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
