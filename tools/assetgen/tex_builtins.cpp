// The bitmaps built into the executable: the credit card and light streak of the logo scene, the
// three cloud layers of the air texture table, and the window icon.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/vis_output.h"

namespace {

Image CreditCard() {
    // Black is the card's transparent colour: only the lettering and its rules show.
    Image img(256, 256);
    const std::string top = "Created By", name = "Kiru";
    int wTop = TextWidth(top, 3), wName = TextWidth(name, 6);
    img.FillRect(28, 84, 228, 86, Hex(0x4080ff));
    img.FillRect(28, 176, 228, 178, Hex(0x4080ff));
    DrawTextOutlined(img, (256 - wTop) / 2, 96, top, 3, Hex(0xd8e8ff), Hex(0x183060), 1);
    DrawTextOutlined(img, (256 - wName) / 2, 124, name, 6, Hex(0xffd040), Hex(0x804010), 2);
    return img;
}

Image Streak() {
    // A bright head at the right with a tail fading to the left, thin and hot at its core.
    Image img(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            float along = (x + 0.5f) / 256.0f;
            float dy = (y + 0.5f - 128.0f);
            float tail = std::pow(along, 2.2f);
            float core = std::exp(-dy * dy / (4.0f + 30.0f * along)) * tail;
            float glow = std::exp(-dy * dy / (40.0f + 160.0f * along)) * tail * 0.5f;
            float head = std::exp(-std::pow((x - 226.0f) / 12.0f, 2.0f) - dy * dy / 150.0f);
            Rgb c = Add(Add(Scaled(Hex(0xffffff), core), Scaled(Hex(0x3a8cff), glow)), Scaled(Hex(0xc8f0ff), head));
            // The head's light dies out before the picture's right edge, so no straight cut shows.
            c = Scaled(c, std::min(1.0f, (256.0f - x) / 26.0f));
            // The logo draws the streak over the credit card with black keyed out: a dim halo would
            // hide the card as an opaque dark box, so what is too dim to see becomes pure black.
            if (c.r + c.g + c.b < 48.0f) c = Rgb{0.0f, 0.0f, 0.0f};
            img.At(x, y) = {std::min(c.r, 255.0f), std::min(c.g, 255.0f), std::min(c.b, 255.0f)};
        }
    }
    return img;
}

// Three frames of a drifting cloud deck seen from above; the course cycles 1, 2, 3, 2.
Image Clouds(int frame) {
    Image img(256, 256);
    float shift = frame * 0.03f;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            float u = (x + 0.5f) / 256, v = (y + 0.5f) / 256;
            float n = TileFbm(u + shift, v + shift * 0.3f, 4, 6, 401);
            float wisp = TileFbm(u - shift * 2, v, 8, 3, 402);
            Rgb sky = Mix(Hex(0x3a78d8), Hex(0x6aa8f0), wisp);
            float a = std::clamp((n - 0.42f) * 3.0f, 0.0f, 1.0f);
            Rgb cloud = Mix(Hex(0xb8cce8), Hex(0xffffff), std::clamp((n - 0.45f) * 3.0f, 0.0f, 1.0f));
            img.At(x, y) = Mix(sky, cloud, a);
        }
    }
    img.LiftBlack();
    return img;
}

Image Icon() {
    Image img(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) img.At(x, y) = Mix(Hex(0x2050e0), Hex(0x081848), y / 31.0f);
    }
    DrawTextOutlined(img, 7, 3, "K", 4, Hex(0xffd040), Hex(0x101010), 1);
    return img;
}

}  // namespace

void MakeBuiltinBitmaps(std::vector<BuiltinBitmap>& builtins) {
    builtins.push_back({"IDB_CreatedByKiru", EncodeBmp(CreditCard())});
    builtins.push_back({"IDB_stream", EncodeBmp(Streak())});
    builtins.push_back({"IDB_Air1", EncodeBmp(Clouds(0))});
    builtins.push_back({"IDB_Air2", EncodeBmp(Clouds(1))});
    builtins.push_back({"IDB_Air3", EncodeBmp(Clouds(2))});
    builtins.push_back({"IDI_ICON101", EncodeBmp(Icon())});
}
