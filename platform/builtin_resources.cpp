#include "platform/builtin_resources.h"

#include <cstring>

const BuiltinResource* FindBuiltinResource(const char* name) {
    if (!name) return nullptr;
    for (int i = 0; i < builtinResourceCount; ++i) {
        if (std::strcmp(builtinResources[i].name, name) == 0) return &builtinResources[i];
    }
    return nullptr;
}
