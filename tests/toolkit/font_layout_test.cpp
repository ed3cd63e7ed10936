// Measuring and placing text: widths, alignment of multi-line texts, the
// formatted buffer and wrapping into a box, as the quads and pixels show.
#include <cstdio>

#include "hgefont.h"
#include "toolkit_test.h"

using toolkit_test::FONT_AB;
using toolkit_test::FONT_HEADER;
using toolkit_test::Fonts;
using toolkit_test::Spot;
using toolkit_test::TexelAt;

namespace {

using Spots = std::vector<Spot>;

// Every letter of `letters` 10 wide and 12 high, no space before or after.
std::string EvenFont(const std::string &letters)
{
    std::string description = FONT_HEADER;
    for (unsigned char c : letters) {
        char line[64];
        std::snprintf(line, sizeof line, "Char=%X,0,0,10,12,0,0\n", c);
        description += line;
    }
    return description;
}

const std::string WRAPPING_LETTERS = " abcdef0123456789";

}  // namespace

TEST_F(Fonts, WidthIsTheWidestLine)
{
    auto font = Load(FONT_AB);
    EXPECT_EQ(font->GetStringWidth("AB"), 18);
    EXPECT_EQ(font->GetStringWidth("AB\nA"), 18);
    EXPECT_EQ(font->GetStringWidth("A\nAB"), 18);
    EXPECT_EQ(font->GetStringWidth(""), 0);
    // No letter and no "?" either: the character adds nothing.
    EXPECT_EQ(font->GetStringWidth("C"), 0);
    EXPECT_EQ(font->GetStringWidth("ACB"), 18);
    // A carriage return inside a line is a character like any other.
    EXPECT_EQ(font->GetStringWidth("A\rA"), 22);
}

TEST_F(Fonts, MissingLettersBecomeTheQuestionMark)
{
    auto font = Load(std::string(FONT_AB) + "Char=3F,20,0,5,12,0,1\n");
    EXPECT_EQ(font->GetStringWidth("C"), 6);
    EXPECT_EQ(font->GetStringWidth("A\xE9"), 17);
    // Right after a line feed, carriage returns belong to the line end.
    EXPECT_EQ(font->GetStringWidth("A\rA"), 28);
    EXPECT_EQ(font->GetStringWidth("A\n\r\n\rA"), 11);

    font->Render(0, 0, TEXT_LEFT, "CA");
    const std::vector<hgeQuad> quads = TakeQuads();
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[0].v[1].tx, 25.0f / toolkit_test::FONT_TEXTURE_WIDTH);  // the "?" texels
    EXPECT_EQ(toolkit_test::Spots(quads), (Spots{{0, 0}, {7, 0}}));
}

TEST_F(Fonts, CentredAndRightAlignedLinesArePlacedByTheWidestLineFromThereOn)
{
    auto font = Load(FONT_AB);
    // Centred on 128: pens at 119 and 128 - trunc(5.5) = 123; A starts 1 later.
    font->Render(128, 40, TEXT_CENTER, "AB\nA");
    EXPECT_EQ(toolkit_test::Spots(TakeQuads()), (Spots{{120, 40}, {130, 40}, {124, 52}}));

    // Right-aligned on 100: the first line is placed by the wider one after it.
    font->Render(100, 40, TEXT_RIGHT, "A\nAB");
    EXPECT_EQ(toolkit_test::Spots(TakeQuads()), (Spots{{83, 40}, {83, 52}, {93, 52}}));

    // 3 has no horizontal meaning of its own: left.
    font->Render(100, 40, TEXT_HORZMASK, "A\nAB");
    EXPECT_EQ(toolkit_test::Spots(TakeQuads()), (Spots{{101, 40}, {101, 52}, {111, 52}}));
}

TEST_F(Fonts, EveryLineFeedAdvancesALine)
{
    auto font = Load(FONT_AB);
    font->Render(10, 5, TEXT_LEFT, "A\n\nB\nCA");
    EXPECT_EQ(toolkit_test::Spots(TakeQuads()), (Spots{{11, 5}, {10, 29}, {11, 41}}));
}

TEST_F(Fonts, ColourDepthAndBlendModeReachEveryLetter)
{
    auto font = Load(FONT_AB);
    font->SetColor(0xFFE0EC9C);
    font->SetZ(0.0f);
    font->SetBlendMode(BLEND_COLORADD | BLEND_ALPHABLEND);
    EXPECT_EQ(font->GetColor(), 0xFFE0EC9Cu);
    EXPECT_EQ(font->GetZ(), 0.0f);
    EXPECT_EQ(font->GetBlendMode(), BLEND_COLORADD | BLEND_ALPHABLEND);
    font->Render(0, 0, TEXT_LEFT, "AB");
    for (const hgeQuad &quad : TakeQuads()) {
        EXPECT_EQ(quad.blend, BLEND_COLORADD | BLEND_ALPHABLEND);
        for (const hgeVertex &v : quad.v) {
            EXPECT_EQ(v.col, 0xFFE0EC9Cu);
            EXPECT_EQ(v.z, 0.0f);
        }
    }
}

TEST_F(Fonts, LettersLandOnScreenWithTheirTexels)
{
    auto font = Load(FONT_AB);
    font->printf(30, 20, TEXT_LEFT, "%s", "BA");
    const hgeTesting::Pixels picture = Picture();
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(picture.At(30 + x, 20 + y), TexelAt(8 + x, y)) << "B " << x << "," << y;
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(picture.At(38 + x, 20 + y), TexelAt(x, y)) << "A " << x << "," << y;
    }
    // The space before A and the one after B stay empty.
    EXPECT_EQ(picture.At(36, 25) >> 24, 0u);
    EXPECT_EQ(picture.At(37, 25) >> 24, 0u);
    EXPECT_EQ(picture.At(46, 25) >> 24, 0u);
}

TEST_F(Fonts, PrintfFormatsAndCutsAt1023Characters)
{
    auto font = Load(EvenFont(WRAPPING_LETTERS));
    font->printf(0, 0, TEXT_LEFT, "%d %s", 42, "bad");
    EXPECT_EQ(toolkit_test::Spots(TakeQuads()),
              (Spots{{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}, {50, 0}}));

    const std::string longText(2000, 'a');
    font->printf(0, 0, TEXT_LEFT, "%s", longText.c_str());
    const Spots cut = toolkit_test::Spots(TakeQuads());
    ASSERT_EQ(cut.size(), 1023u);
    EXPECT_EQ(cut.back().x, 10220);

    font->printfb(0, 0, 100000, 100, TEXT_LEFT, "%s%d", longText.c_str(), 7);
    EXPECT_EQ(TakeQuads().size(), 1023u);
}

TEST_F(Fonts, PrintfbWrapsAtSpacesAndCountsLines)
{
    auto font = Load(EvenFont(WRAPPING_LETTERS));
    struct Case {
        const char *text;
        Spots spots;  // bottom-aligned in a box 30 wide and 100 high
    };
    const Case cases[] = {
        {"aa bb cc", {{0, 64}, {10, 64}, {0, 76}, {10, 76}, {0, 88}, {10, 88}}},
        {"abcd ef", {{0, 76}, {10, 76}, {20, 76}, {30, 76}, {0, 88}, {10, 88}}},
        {"abcd", {{0, 88}, {10, 88}, {20, 88}, {30, 88}}},
        // Of two spaces only the one before the moved word breaks the line.
        {"aa  bb", {{0, 76}, {10, 76}, {20, 76}, {0, 88}, {10, 88}}},
        // A line feed of the text counts as a line of its own.
        {"a\nbb cc", {{0, 64}, {0, 76}, {10, 76}, {0, 88}, {10, 88}}},
        // A word too wide for the box still gets a line, and the next one
        // starts after it.
        {"a bcdef a", {{0, 64}, {0, 76}, {10, 76}, {20, 76}, {30, 76}, {40, 76}, {0, 88}}},
        {"abcdef a", {{0, 76}, {10, 76}, {20, 76}, {30, 76}, {40, 76}, {50, 76}, {0, 88}}},
    };
    for (const Case &c : cases) {
        font->printfb(0, 0, 30, 100, TEXT_LEFT + TEXT_BOTTOM, "%s", c.text);
        EXPECT_EQ(toolkit_test::Spots(TakeQuads()), c.spots) << c.text;
    }
}

TEST_F(Fonts, PrintfbPlacesTheBlockInTheBox)
{
    auto font = Load(EvenFont(WRAPPING_LETTERS));
    // Two lines: 24 high, centred on x = 50 from y = 13.
    font->printfb(0, 0, 100, 50, TEXT_CENTER + TEXT_MIDDLE, "abc\nab");
    EXPECT_EQ(toolkit_test::Spots(TakeQuads()),
              (Spots{{35, 13}, {45, 13}, {55, 13}, {40, 25}, {50, 25}}));

    font->printfb(10, 20, 101, 51, TEXT_RIGHT + TEXT_BOTTOM, "ab");
    EXPECT_EQ(toolkit_test::Spots(TakeQuads()), (Spots{{91, 59}, {101, 59}}));

    // 12 counts as top; nothing is clipped to the box.
    font->printfb(10, 20, 15, 5, TEXT_LEFT + TEXT_VERTMASK, "abc");
    EXPECT_EQ(toolkit_test::Spots(TakeQuads()), (Spots{{10, 20}, {20, 20}, {30, 20}}));
}

TEST_F(Fonts, EmptyFontDrawsNothingAndPlacesNothing)
{
    auto font = Load("[HGEFONT]\n");
    font->printf(0, 0, TEXT_CENTER, "%s", "text\nmore");
    font->printfb(0, 0, 10, 10, TEXT_CENTER + TEXT_MIDDLE, "a b c d e f");
    EXPECT_TRUE(TakeQuads().empty());
    EXPECT_EQ(font->GetHeight(), 0);
    EXPECT_EQ(IncorrectFormatLines(Path("font.fnt")), 0);
}
