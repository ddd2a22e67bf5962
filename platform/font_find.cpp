// The desktop's faces come from fontconfig: IPA Gothic wherever the system keeps it; failing
// that, the face it offers for Japanese text, fixed-pitch first.
#include "platform/font_find.h"

#include <fontconfig/fontconfig.h>

#include <cstdio>

#include "platform/log_sink.h"

namespace {
const char* const kFontPatterns[] = {
    "IPAGothic:lang=ja",
    ":lang=ja:spacing=dual",
    ":lang=ja:spacing=mono",
    ":lang=ja",
};
// A face that draws this (katakana "a") has Japanese glyphs, whatever fontconfig matched.
constexpr FcChar32 kJapaneseProbe = 0x30A2;

// The file of the best face fontconfig has for `pattern`, when it draws Japanese ("" otherwise).
std::string MatchFont(const char* text) {
    std::string found;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(text));
    if (!pattern) return found;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match) {
        FcChar8* file = nullptr;
        FcCharSet* chars = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
            FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch &&
            FcCharSetHasChar(chars, kJapaneseProbe) && SysFileReadable(reinterpret_cast<const char*>(file))) {
            found = reinterpret_cast<const char*>(file);
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}
}  // namespace

bool SysFileReadable(const char* path) {
    if (FILE* f = std::fopen(path, "rb")) {
        std::fclose(f);
        return true;
    }
    return false;
}

std::string SysFindGothicFont() {
    if (!FcInit()) {
        PlatformWarning("text: fontconfig cannot start\n");
        return std::string();
    }
    // Only the file name is kept, so fontconfig's tables are let go as soon as the face is chosen.
    for (const char* pattern : kFontPatterns) {
        std::string found = MatchFont(pattern);
        if (!found.empty()) {
            FcFini();
            return found;
        }
    }
    FcFini();
    return std::string();
}
