// The two fonts as the game reads them with its own font code: complete,
// low enough for lines 10 pixels apart, every text of the game inside the
// 256-pixel screen, and white letters ringed in dark.
#include <gtest/gtest.h>

#include <string>

#include "art_test.h"
#include "engine_test.h"
#include "hgefont.h"

using art_test::Luminance;
using hgeTesting::Pixels;

namespace {

constexpr int SCREEN = 256;
constexpr int LINE_PITCH = 10;  // menu lines are 10 pixels apart
constexpr int FIRST_PRINTABLE = 32, LAST_PRINTABLE = 126;

const char *const FONT_FILES[] = {"Fonts/font1.fnt", "Fonts/font2.fnt"};
const char *const FONT_TEXTURES[] = {"Fonts/font1.png", "Fonts/font2.png"};

// What the game prints in font2: headings and announcements, all centred on x 128.
const char *const FONT2_TEXTS[] = {
    "Welcome to TORVEK", "Press the enter!", "Welcome to MENU", "Welcome to OPTIONS", "Them Credits",
    "Fightin' time!", "Player has nothing left!", "Stand-off!", "Player can't attack.",
    "Solids with full combo!", "Solids with all pieces!", "Stripes with full combo!",
    "Stripes with all pieces!",
};

using ArtFonts = engine_test::HeadlessEngine;

}  // namespace

TEST_F(ArtFonts, BothFontsLoadCompleteAndLowEnoughForTheMenuLines)
{
    for (const char *file : FONT_FILES) {
        hgeFont font(file);
        EXPECT_GT(font.GetHeight(), 0.0f) << file;
        EXPECT_LE(font.GetHeight(), LINE_PITCH) << file;
        for (int code = FIRST_PRINTABLE; code <= LAST_PRINTABLE; ++code) {
            const hgeSprite *letter = font.GetSprite(static_cast<unsigned char>(code));
            ASSERT_NE(letter, nullptr) << file << " has no letter " << code;
            EXPECT_LE(letter->GetHeight(), LINE_PITCH) << file << " letter " << code;
            EXPECT_GT(font.GetStringWidth(std::string(1, static_cast<char>(code)).c_str()), 0.0f);
        }
    }
    EXPECT_TRUE(hgeTesting::LogLines().empty()) << hgeTesting::LogLines().front();
}

TEST_F(ArtFonts, PaddedLinesOfFont1LineUpAndFitTheScreen)
{
    hgeFont font1("Fonts/font1.fnt");
    // Every character takes the same room, so labels padded with spaces line up.
    const float advance = font1.GetStringWidth(" ");
    for (int code = FIRST_PRINTABLE; code <= LAST_PRINTABLE; ++code)
        EXPECT_EQ(font1.GetStringWidth(std::string(1, static_cast<char>(code)).c_str()), advance) << code;
    EXPECT_EQ(font1.GetStringWidth("Game by   : "), font1.GetStringWidth("Completed : "));
    EXPECT_EQ(font1.GetStringWidth("2D engine          -"), font1.GetStringWidth("Sound effects      -"));

    // The widest lines: 36 characters centred, 35-character credits, and the
    // 32-character title lines starting at x 20.
    EXPECT_LE(font1.GetStringWidth(std::string(36, 'W').c_str()), SCREEN);
    EXPECT_LE(font1.GetStringWidth("Press corresponding key for option"), SCREEN);
    EXPECT_LE(font1.GetStringWidth("Everything else    -    TORVEK team"), SCREEN);
    EXPECT_LE(20 + font1.GetStringWidth("Version   : 0.7 - Cool Stuff    "), SCREEN);
}

TEST_F(ArtFonts, EveryHeadingAndAnnouncementFitsTheScreen)
{
    hgeFont font2("Fonts/font2.fnt");
    for (const char *text : FONT2_TEXTS) {
        const float width = font2.GetStringWidth(text);
        EXPECT_GT(width, 0.0f) << text;
        EXPECT_LE(width, SCREEN) << text;
    }
}

// The game tints the letters, so they must be pure white; the dark ring
// keeps them readable on the light sky as on the dark ground.
TEST_F(ArtFonts, LettersAreWhiteWithADarkRing)
{
    for (int f = 0; f < 2; ++f) {
        hgeFont font(FONT_FILES[f]);
        const Pixels texture = art_test::LoadArt(FONT_TEXTURES[f]);
        ASSERT_GT(texture.width, 0) << FONT_TEXTURES[f];
        for (int code = FIRST_PRINTABLE + 1; code <= LAST_PRINTABLE; ++code) {
            float x, y, w, h;
            font.GetSprite(static_cast<unsigned char>(code))->GetTextureRect(&x, &y, &w, &h);
            const Pixels letter = art_test::Crop(texture, static_cast<int>(x), static_cast<int>(y),
                                                 static_cast<int>(w), static_cast<int>(h));
            int white = 0;
            for (int py = 0; py < letter.height; ++py) {
                for (int px = 0; px < letter.width; ++px) {
                    const uint32_t pixel = letter.At(px, py);
                    if (pixel != 0xFFFFFFFF) {
                        ASSERT_TRUE(pixel >> 24 == 0 || (art_test::Opaque(pixel) && Luminance(pixel) < 40))
                            << FONT_FILES[f] << " letter " << code << " at " << px << "," << py;
                        continue;
                    }
                    ++white;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int nx = px + dx, ny = py + dy;
                            const bool inside = nx >= 0 && ny >= 0 && nx < letter.width && ny < letter.height;
                            ASSERT_TRUE(inside && art_test::Opaque(letter.At(nx, ny)))
                                << FONT_FILES[f] << " letter " << code << " lacks its ring at " << px << "," << py;
                        }
                }
            }
            EXPECT_GT(white, 0) << FONT_FILES[f] << " letter " << code;
        }
    }
}
