// Asset file look-up. The game names its files the way a case-insensitive file system allows
// ("NULL.x" for "Null.x"); on Linux a name that does not exist as written is matched against the
// entries of its directory regardless of case, one path component at a time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The path to open: the path itself when it exists, else the case-insensitive match, else the
// path unchanged (so the caller's open fails and logs as usual).
std::string ResolveAssetPath(const char* path);

// Reads a whole file through ResolveAssetPath. False when it cannot be opened or read, or is
// larger than maxBytes.
bool ReadAssetFile(const char* path, std::vector<uint8_t>& out, size_t maxBytes = 256u << 20);
