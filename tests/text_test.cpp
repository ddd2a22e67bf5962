// The text rasteriser: exact cell heights, half-width Latin, line breaks, tab stops, bold and italic,
// and a sheet of sample text written as a PNG for a person to look at.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

struct Size {
    int w = -1, h = -1;
};

Size Measure(const char* text, int height, int weight = 400, bool italic = false) {
    Size s;
    EXPECT_TRUE(TextMeasure(text, height, weight, italic, &s.w, &s.h)) << text;
    return s;
}

TextImage Render(const char* text, int height, int weight = 400, bool italic = false) {
    TextImage image;
    EXPECT_TRUE(TextRender(text, height, weight, italic, image)) << text;
    EXPECT_EQ(image.coverage.size(), static_cast<size_t>(image.width) * image.height);
    return image;
}

long Ink(const TextImage& image, int x0, int y0, int x1, int y1) {
    long sum = 0;
    for (int y = y0; y < y1 && y < image.height; ++y) {
        for (int x = x0; x < x1 && x < image.width; ++x) sum += image.coverage[static_cast<size_t>(y) * image.width + x];
    }
    return sum;
}

// Ink-weighted mean x of the rows from y0 to y1.
double InkCentreX(const TextImage& image, int y0, int y1) {
    double sum = 0, weighted = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = 0; x < image.width; ++x) {
            double c = image.coverage[static_cast<size_t>(y) * image.width + x];
            sum += c;
            weighted += c * x;
        }
    }
    return sum > 0 ? weighted / sum : -1;
}

class Text : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(TextInit()) << "IPA Gothic is not installed"; }
};

TEST_F(Text, CellHeightIsThePixelHeightAndLatinIsHalfWidth) {
    for (int h : {12, 16, 24, 32}) {
        Size s = Measure("Rash Into Races ", h);
        EXPECT_EQ(s.h, h);
        EXPECT_EQ(s.w, 16 * (h / 2)) << h;
    }
    Size jp = Measure("ローディング", 16);
    EXPECT_EQ(jp.h, 16);
    EXPECT_EQ(jp.w, 6 * 16);
}

TEST_F(Text, LineBreaksAndTabStops) {
    Size two = Measure("AB\nC", 16);
    EXPECT_EQ(two.w, 16);
    EXPECT_EQ(two.h, 32);
    EXPECT_EQ(Measure("AB\r\nC", 16).h, 32);
    EXPECT_EQ(Measure("A\n\nB\n", 16).h, 64);
    // Stops every eight half-width columns: 64 pixels at 16.
    EXPECT_EQ(Measure("A\tB", 16).w, 72);
    EXPECT_EQ(Measure("\tB", 16).w, 72);
    EXPECT_EQ(Measure("ABCDEFGH\tB", 16).w, 136);
    EXPECT_EQ(Measure("A\tB", 32).w, 144);

    // A bold face keeps the same stops.
    TextImage bold = Render("A\tB", 16, 700, true);
    EXPECT_EQ(Ink(bold, 10, 0, 63, 16), 0);
    EXPECT_GT(Ink(bold, 64, 0, 73, 16), 0);

    TextImage image = Render("A\tB\n\nC", 16);
    ASSERT_EQ(image.width, 72);
    ASSERT_EQ(image.height, 48);
    EXPECT_GT(Ink(image, 0, 0, 8, 16), 0);
    EXPECT_EQ(Ink(image, 9, 0, 63, 16), 0);  // the blank a tab leaves
    EXPECT_GT(Ink(image, 64, 0, 72, 16), 0);
    EXPECT_EQ(Ink(image, 0, 16, 72, 32), 0);  // the empty line
    EXPECT_GT(Ink(image, 0, 32, 8, 48), 0);
}

TEST_F(Text, RenderedSizeMatchesTheMeasureInEveryStyle) {
    const char* samples[] = {"Rash Into Races ", "Time Up \nOut Of Rank 4 ", "Lap\t1'23\"45", "ＫＯＲＶＡＮ 星"};
    for (const char* text : samples) {
        for (int weight : {400, 700}) {
            for (bool italic : {false, true}) {
                Size s = Measure(text, 16, weight, italic);
                TextImage image = Render(text, 16, weight, italic);
                EXPECT_EQ(image.width, s.w) << text;
                EXPECT_EQ(image.height, s.h) << text;
                EXPECT_GT(Ink(image, 0, 0, image.width, image.height), 0) << text;
            }
        }
    }
}

TEST_F(Text, BoldInksMoreAndItalicLeansRight) {
    TextImage regular = Render("IIII", 32);
    TextImage bold = Render("IIII", 32, 700);
    TextImage italic = Render("IIII", 32, 400, true);
    EXPECT_GT(Ink(bold, 0, 0, bold.width, bold.height), Ink(regular, 0, 0, regular.width, regular.height) * 11 / 10);
    // Upright "I" stems stand straight; italic ones lean, so the top rows sit further right.
    double uprightLean = InkCentreX(regular, 4, 12) - InkCentreX(regular, 20, 28);
    double italicLean = InkCentreX(italic, 4, 12) - InkCentreX(italic, 20, 28);
    EXPECT_LT(std::abs(uprightLean), 0.5);
    EXPECT_GT(italicLean, 2.0);
}

TEST_F(Text, EmptyTextAndBadHeights) {
    TextImage image = Render("", 16);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    image = Render(nullptr, 16);
    EXPECT_EQ(image.width, 0);
    int w = 5, h = 5;
    EXPECT_FALSE(TextMeasure("A", 0, 400, false, &w, &h));
    EXPECT_EQ(w, 0);
    EXPECT_FALSE(TextRender("A", -3, 400, false, image));
    EXPECT_FALSE(TextRender("A", 100000, 400, false, image));
    // Broken UTF-8 still renders (as replacement glyphs) rather than failing.
    TextImage broken = Render("A\xC3", 16);
    EXPECT_GT(broken.width, 0);
}

TEST_F(Text, SampleSheetForTheEye) {
    struct Line {
        const char* text;
        int height;
        bool italic;
    };
    const Line lines[] = {
        {"Rash Into Races  Records  Option  16 upright", 16, false},
        {"Rash Into Races  Records  Option  16 italic", 16, true},
        {"ローディング Loading Now... 32 upright", 32, false},
        {"ローディング Loading Now... 32 italic", 32, true},
    };
    const int width = 800, height = 8 + 16 + 8 + 16 + 8 + 32 + 8 + 32 + 8;
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 24);
    int top = 8;
    for (const Line& line : lines) {
        TextImage image = Render(line.text, line.height, 400, line.italic);
        ASSERT_LE(image.width, width - 8);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                uint8_t c = image.coverage[static_cast<size_t>(y) * image.width + x];
                uint8_t* px = &rgb[(static_cast<size_t>(top + y) * width + 8 + x) * 3];
                px[0] = static_cast<uint8_t>(24 + c * (255 - 24) / 255);
                px[1] = static_cast<uint8_t>(24 + c * (192 - 24) / 255);
                px[2] = static_cast<uint8_t>(24 + c * (64 - 24) / 255);
            }
        }
        top += line.height + 8;
    }
    std::string path = std::string(KORVAN_BUILD_DIR) + "/text_sizes.png";
    ASSERT_NE(stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3), 0);
    std::printf("sample sheet: %s\n", path.c_str());
}

}  // namespace
