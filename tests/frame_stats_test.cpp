// The --stats figures: each frame counted once, for the whole run and for its own scene, and a
// late frame charged to the scene that ran it.
#include <gtest/gtest.h>

#include <string>

#include "framework/frame_stats.h"

namespace {

void Frames(const char* scene, int count) {
    for (int i = 0; i < count; ++i) {
        StatsSetScene(scene);
        StatsBeginFrame();
        StatsEndWork();
    }
}

// The text of one scene's entry in the JSON ("" when the scene is not there).
std::string SceneEntry(const std::string& json, const std::string& scene) {
    const size_t at = json.find("\"" + scene + "\": {");
    if (at == std::string::npos) return "";
    return json.substr(at, json.find('}', at) - at + 1);
}

TEST(FrameStats, EachSceneCountsItsOwnFramesAndLateFrames) {
    ResetStats();
    Frames("logo", 3);
    Frames("title", 5);
    StatsCountLate();  // the last title frame ended after its slot
    StatsCountPipelines(2);  // and drew two pipelines for the first time
    // A name held in another buffer is the same scene.
    const std::string copy = "logo";
    Frames(copy.c_str(), 2);
    Frames(nullptr, 1);
    const std::string json = StatsJson();
    EXPECT_NE(json.find("\"frames\": 11"), std::string::npos) << json;
    EXPECT_NE(json.find("\"late_frames\": 1,"), std::string::npos) << json;
    EXPECT_NE(SceneEntry(json, "logo").find("\"frames\": 5,"), std::string::npos) << json;
    EXPECT_NE(SceneEntry(json, "logo").find("\"late_frames\": 0, \"pipelines_built\": 0}"), std::string::npos) << json;
    EXPECT_NE(SceneEntry(json, "title").find("\"frames\": 5,"), std::string::npos) << json;
    EXPECT_NE(SceneEntry(json, "title").find("\"late_frames\": 1, \"pipelines_built\": 2}"), std::string::npos) << json;
    EXPECT_NE(SceneEntry(json, "other").find("\"frames\": 1,"), std::string::npos) << json;
    // The scenes come in the order they first ran.
    EXPECT_LT(json.find("\"logo\": {"), json.find("\"title\": {"));
    EXPECT_LT(json.find("\"title\": {"), json.find("\"other\": {"));
}

TEST(FrameStats, ResetForgetsTheScenes) {
    ResetStats();
    Frames("race", 4);
    ResetStats();
    Frames("replay", 2);
    const std::string json = StatsJson();
    EXPECT_EQ(SceneEntry(json, "race"), "") << json;
    EXPECT_NE(SceneEntry(json, "replay").find("\"frames\": 2,"), std::string::npos) << json;
}

}  // namespace
