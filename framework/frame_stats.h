// Frame-time statistics for the "--stats FILE" switch: the CPU time of each frame's work, from the
// input update to the present, and how many paced frames ended after their scheduled slot.
#pragma once
#include <string>

// The frame about to run belongs to the scene of this name (a string that lives as long as the
// program; null for a scene without a name). The JSON gives each scene's own figures.
void StatsSetScene(const char* name);
void StatsBeginFrame();
// The frame's work is done (before the pacer sleeps).
void StatsEndWork();
// A paced frame that ended after its scheduled slot.
void StatsCountLate();
// This shown frame drew pipelines that had not drawn before (each made it wait for a compile).
void StatsCountPipelines(unsigned count);
// The pictures drawn for a display's refreshes so far (when a picture is drawn for every refresh):
// shown, and the refreshes that showed the picture before theirs again.
void StatsSetPictures(int refreshHz, long shown, long dropped);
// Adds a field to the JSON object written at exit ("race" from the race, for example).
void StatsSetField(const char* key, const std::string& jsonValue);
// Summary of the frames so far as a JSON object.
std::string StatsJson();
bool WriteStatsFile(const char* path);
void ResetStats();
