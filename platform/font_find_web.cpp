// The browser build carries its face: the page's files hold IPA Gothic at kPackagedFont.
#include <cstdio>

#include "platform/font_find.h"

namespace {
constexpr const char* kPackagedFont = "/fonts/ipag.ttf";
}  // namespace

bool SysFileReadable(const char* path) {
    if (FILE* f = std::fopen(path, "rb")) {
        std::fclose(f);
        return true;
    }
    return false;
}

std::string SysFindGothicFont() { return SysFileReadable(kPackagedFont) ? kPackagedFont : std::string(); }
