#include "platform/text.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "platform/font_find.h"
#include "platform/log_sink.h"

namespace {


// Tab stops every eight half-width columns, as the game's text layout expects.
constexpr int kTabColumns = 8;
// Heights outside this range are refused: nothing the game draws comes near either end.
constexpr int kMinPixelHeight = 1;
constexpr int kMaxPixelHeight = 512;

bool libraryStarted = false;
std::string fontPath;
// One opened font per (pixel height, bold, italic): changing a font's style flushes its glyph cache.
std::map<std::tuple<int, bool, bool>, TTF_Font*> fonts;



bool FindFontFile() {
    // KORVAN_FONT names another gothic face file, for a machine that keeps its fonts elsewhere.
    if (const char* forced = std::getenv("KORVAN_FONT")) {
        if (*forced && SysFileReadable(forced)) {
            fontPath = forced;
            return true;
        }
        if (*forced) PlatformWarning("text: KORVAN_FONT %s cannot be read; looking for the system's own\n", forced);
    }
    fontPath = SysFindGothicFont();
    if (!fontPath.empty()) {
        PlatformLog("text: face %s\n", fontPath.c_str());
        return true;
    }
    PlatformWarning("text: no Japanese gothic font found, so no text is drawn (install fonts-ipafont-gothic, "
                    "or name a font file with KORVAN_FONT)\n");
    return false;
}

// Opens the face so that its cell (ascent plus descent) is exactly the requested height, as a GDI
// font of that height would be. IPA Gothic's cell equals its em, so the first size usually fits.
TTF_Font* FontFor(int pixelHeight, int weight, bool italic) {
    if (!libraryStarted && !TextInit()) return nullptr;
    if (pixelHeight < kMinPixelHeight || pixelHeight > kMaxPixelHeight) return nullptr;
    const bool bold = weight >= 600;
    auto key = std::make_tuple(pixelHeight, bold, italic);
    auto found = fonts.find(key);
    if (found != fonts.end()) return found->second;

    TTF_Font* font = TTF_OpenFont(fontPath.c_str(), pixelHeight);
    if (!font) return nullptr;
    int size = pixelHeight;
    for (int attempt = 0; attempt < 4 && TTF_FontHeight(font) != pixelHeight; ++attempt) {
        int cell = std::max(1, TTF_FontHeight(font));
        int next = std::max(1, (size * pixelHeight + cell / 2) / cell);
        if (next == size) next += (cell < pixelHeight) ? 1 : -1;
        size = next;
        if (TTF_SetFontSize(font, size) != 0) break;
    }
    TTF_SetFontHinting(font, TTF_HINTING_NORMAL);
    TTF_SetFontStyle(font, (bold ? TTF_STYLE_BOLD : 0) | (italic ? TTF_STYLE_ITALIC : 0));
    fonts[key] = font;
    return font;
}

// A half-width column as the line layout itself steps it (the glyph metrics of a bold face
// report the emboldening on top of the advance).
int SpaceAdvance(TTF_Font* font, int pixelHeight) {
    int one = 0, two = 0, h = 0;
    if (TTF_SizeUTF8(font, " ", &one, &h) == 0 && TTF_SizeUTF8(font, "  ", &two, &h) == 0 && two > one) {
        return two - one;
    }
    return std::max(1, pixelHeight / 2);
}

// A piece of one line between tabs, with its pen position.
struct Segment {
    std::string text;
    int x = 0;
    int width = 0;
};

struct Layout {
    std::vector<std::vector<Segment>> lines;
    int width = 0;
    int height = 0;
};

// Splits the text into lines ("\r\n", "\r" or "\n") and tab-separated segments, measuring each.
bool LayOut(TTF_Font* font, const char* utf8, int pixelHeight, Layout& layout) {
    const int tabStop = kTabColumns * SpaceAdvance(font, pixelHeight);

    layout.lines.assign(1, {});
    int pen = 0;
    std::string piece;
    auto flushPiece = [&]() -> bool {
        if (piece.empty()) return true;
        int w = 0, h = 0;
        if (TTF_SizeUTF8(font, piece.c_str(), &w, &h) != 0) return false;
        layout.lines.back().push_back({piece, pen, w});
        layout.width = std::max(layout.width, pen + w);
        pen += w;
        piece.clear();
        return true;
    };
    for (const char* p = utf8; *p; ++p) {
        char c = *p;
        if (c == '\r' || c == '\n') {
            if (!flushPiece()) return false;
            if (c == '\r' && p[1] == '\n') ++p;
            layout.lines.emplace_back();
            pen = 0;
        } else if (c == '\t') {
            if (!flushPiece()) return false;
            pen = (pen / tabStop + 1) * tabStop;
            layout.width = std::max(layout.width, pen);
        } else {
            piece.push_back(c);
        }
    }
    if (!flushPiece()) return false;
    layout.height = static_cast<int>(layout.lines.size()) * pixelHeight;
    return true;
}

}  // namespace

bool TextInit() {
    if (libraryStarted) return true;
    // Every text drawn asks again: the search (and its warning) happens once a run.
    static bool noFace = false;
    if (noFace) return false;
    if (!TTF_WasInit() && TTF_Init() != 0) return false;
    if (!FindFontFile()) {
        noFace = true;
        TTF_Quit();
        return false;
    }
    libraryStarted = true;
    // The library opens on the first text drawn, wherever that is: whatever is still open when the
    // program ends (the fonts, their shaping data, the library) is closed then, once.
    static bool closedAtExit = std::atexit(TextShutdown) == 0;
    (void)closedAtExit;
    return true;
}

void TextShutdown() {
    for (auto& entry : fonts) TTF_CloseFont(entry.second);
    fonts.clear();
    if (libraryStarted) TTF_Quit();
    libraryStarted = false;
}

bool TextRender(const char* utf8, int pixelHeight, int weight, bool italic, TextImage& out) {
    out = TextImage{};
    TTF_Font* font = FontFor(pixelHeight, weight, italic);
    if (!font) return false;
    if (!utf8 || !*utf8) return true;

    Layout layout;
    if (!LayOut(font, utf8, pixelHeight, layout)) return false;
    if (layout.width <= 0) return true;  // only line breaks and blanks: nothing to ink
    out.width = layout.width;
    out.height = layout.height;
    out.coverage.assign(static_cast<size_t>(out.width) * out.height, 0);

    const SDL_Color white = {255, 255, 255, 255};
    for (size_t line = 0; line < layout.lines.size(); ++line) {
        const int top = static_cast<int>(line) * pixelHeight;
        for (const Segment& seg : layout.lines[line]) {
            // Text images are drawn the way a plain font draws into a bitmap: without smoothing,
            // every pixel ink or not. (Smoothed edges counted as ink would close up small letters.)
            SDL_Surface* surface = TTF_RenderUTF8_Solid(font, seg.text.c_str(), white);
            if (!surface) continue;  // a piece the face cannot draw leaves its place empty
            SDL_LockSurface(surface);
            const int rows = std::min(surface->h, pixelHeight);
            const int cols = std::min(surface->w, out.width - seg.x);
            for (int y = 0; y < rows; ++y) {
                // Solid output is 8-bit indexed: 0 is the background, anything else ink.
                const uint8_t* src = static_cast<const uint8_t*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch;
                uint8_t* dst = out.coverage.data() + static_cast<size_t>(top + y) * out.width + seg.x;
                for (int x = 0; x < cols; ++x) {
                    if (src[x] != 0) dst[x] = 255;
                }
            }
            SDL_UnlockSurface(surface);
            SDL_FreeSurface(surface);
        }
    }
    return true;
}

namespace {

std::string EncodeUtf8(uint32_t c) {
    std::string out;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

}  // namespace

bool TextRenderGlyph(uint32_t codepoint, int pixelHeight, int weight, bool italic, TextImage& out, int* advance) {
    out = TextImage{};
    if (advance) *advance = 0;
    TTF_Font* font = FontFor(pixelHeight, weight, italic);
    if (!font || codepoint == 0 || codepoint > 0x10FFFF) return false;
    // The pen step as the string layout takes it: the glyph metrics of a bold face include the
    // emboldening, which the layout adds only once at the end of a run.
    const std::string one = EncodeUtf8(codepoint);
    int w1 = 0, w2 = 0, h = 0;
    if (TTF_SizeUTF8(font, one.c_str(), &w1, &h) != 0 || TTF_SizeUTF8(font, (one + one).c_str(), &w2, &h) != 0) {
        return false;
    }
    if (advance) *advance = w2 - w1;
    if (w1 <= 0) return true;
    const SDL_Color white = {255, 255, 255, 255};
    // Unsmoothed like the text images (see TextRender): 8-bit indexed, 0 the background.
    SDL_Surface* surface = TTF_RenderGlyph32_Solid(font, codepoint, white);
    if (!surface) return true;  // nothing to ink
    SDL_LockSurface(surface);
    out.width = surface->w;
    out.height = pixelHeight;
    out.coverage.assign(static_cast<size_t>(out.width) * out.height, 0);
    const int rows = std::min(surface->h, pixelHeight);
    for (int y = 0; y < rows; ++y) {
        const uint8_t* src = static_cast<const uint8_t*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch;
        for (int x = 0; x < out.width; ++x) out.coverage[static_cast<size_t>(y) * out.width + x] = src[x] ? 255 : 0;
    }
    SDL_UnlockSurface(surface);
    SDL_FreeSurface(surface);
    return true;
}

int TextTabWidth(int pixelHeight, int weight, bool italic) {
    TTF_Font* font = FontFor(pixelHeight, weight, italic);
    return kTabColumns * (font ? SpaceAdvance(font, pixelHeight) : std::max(1, pixelHeight / 2));
}

bool TextMeasure(const char* utf8, int pixelHeight, int weight, bool italic, int* width, int* height) {
    if (width) *width = 0;
    if (height) *height = 0;
    TTF_Font* font = FontFor(pixelHeight, weight, italic);
    if (!font) return false;
    if (!utf8 || !*utf8) return true;
    Layout layout;
    if (!LayOut(font, utf8, pixelHeight, layout)) return false;
    if (layout.width <= 0) return true;
    if (width) *width = layout.width;
    if (height) *height = layout.height;
    return true;
}
