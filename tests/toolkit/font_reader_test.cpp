// Reading font description files: the header, letter lines, texture lines,
// and files that are broken in every way a careless reader trips over.
#include <climits>
#include <filesystem>

#include "hgefont.h"
#include "toolkit_test.h"

using toolkit_test::FONT_AB;
using toolkit_test::FONT_HEADER;
using toolkit_test::FONT_TEXTURE_WIDTH;
using toolkit_test::Fonts;

namespace {

// A font that has no letters measures and draws nothing.
void ExpectEmpty(hgeFont &font)
{
    for (int code = 0; code < 256; ++code)
        ASSERT_EQ(font.GetSprite(static_cast<unsigned char>(code)), nullptr) << "code " << code;
    EXPECT_EQ(font.GetHeight(), 0.0f);
    EXPECT_EQ(font.GetStringWidth("AB?"), 0.0f);
}

int TextureWidthOf(HGE *hge, const hgeSprite *letter)
{
    return letter ? hge->Texture_GetWidth(letter->GetTexture()) : -1;
}

// Runs the rest of a test from another working folder.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string &dir) : saved(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~WorkingFolder() { std::filesystem::current_path(saved); }

private:
    std::filesystem::path saved;
};

}  // namespace

TEST_F(Fonts, HeaderMustBeExactlyTheTagOnTheFirstLine)
{
    const std::string letters = std::string(FONT_AB).substr(sizeof "[HGEFONT]");
    const std::pair<const char *, std::string> refused[] = {
        {"empty first line", "\n[HGEFONT]\n" + letters},
        {"byte order mark", "\xEF\xBB\xBF[HGEFONT]\n" + letters},
        {"trailing space", "[HGEFONT] \n" + letters},
        {"other case", "[HgeFont]\n" + letters},
        {"no header", letters},
        {"empty file", ""},
        {"only line ends", "\r\n\r\n"},
    };
    int n = 0;
    for (const auto &[what, description] : refused) {
        SCOPED_TRACE(what);
        const std::string name = "refused" + std::to_string(n++) + ".fnt";
        auto font = Load(description, name);
        ExpectEmpty(*font);
        EXPECT_EQ(IncorrectFormatLines(Path(name)), 1);
        font->Render(10, 10, TEXT_LEFT, "AB");
        EXPECT_TRUE(TakeQuads().empty());
    }
}

TEST_F(Fonts, CarriageReturnsBlankLinesAndOtherLinesAreFine)
{
    auto font = Load(
        "[HGEFONT]\r\n"
        "Bitmap=font.png\r\n"
        "\r\n\r\n"
        "; letters follow\r\n"
        "[HGEFONT]\r\n"
        "char=43,0,0,4,4,0,0\r\n"
        "Char=41,0,0,8,12,1,2\r\r\n"
        "Char=42,8,0,6,12,0,1");
    ASSERT_NE(font->GetSprite('A'), nullptr);
    ASSERT_NE(font->GetSprite('B'), nullptr);
    EXPECT_EQ(font->GetSprite('C'), nullptr);  // the tag is case-sensitive
    EXPECT_EQ(font->GetStringWidth("AB"), 18);
    EXPECT_EQ(TextureWidthOf(hge, font->GetSprite('A')), FONT_TEXTURE_WIDTH);
    EXPECT_EQ(IncorrectFormatLines(Path("font.fnt")), 0);
}

TEST_F(Fonts, MissingFileGivesAnEmptyFontWithoutTheFontLine)
{
    hgeFont font(Path("nowhere.fnt").c_str());
    ExpectEmpty(font);
    EXPECT_EQ(IncorrectFormatLines(Path("nowhere.fnt")), 0);
}

TEST_F(Fonts, LetterLinesGiveRectangleSpacingAndHeight)
{
    auto font = Load(std::string(FONT_HEADER) +
                     "Char=41,0,0,8,12,1,2\n"
                     "Char = 4a , 16 , 2 , 5 , 14 , -1 , 3\n"    // J, spaced out
                     "Char=000000000000000000000042,8,0,6,9,0,1\n"  // B
                     "Char=,40,0,7,7,0,0\n"                     // no digit: code 0
                     "Char=100,0,0,8,12,0,0\n"                  // 256: no letter
                     "Char=\" \",30,0,4,12,0,0\n"
                     "Char=\"\"\",34,0,2,3,0,0\n"
                     "Char 43,0,0,8,12,0,0\n");                  // no equals sign
    hgeSprite *a = font->GetSprite('A');
    ASSERT_NE(a, nullptr);
    float x, y, w, h;
    a->GetTextureRect(&x, &y, &w, &h);
    EXPECT_EQ((std::vector<float>{x, y, w, h}), (std::vector<float>{0, 0, 8, 12}));
    EXPECT_EQ(font->GetStringWidth("A"), 1 + 8 + 2);

    hgeSprite *j = font->GetSprite('J');
    ASSERT_NE(j, nullptr);
    j->GetTextureRect(&x, &y, &w, &h);
    EXPECT_EQ((std::vector<float>{x, y, w, h}), (std::vector<float>{16, 2, 5, 14}));
    EXPECT_EQ(font->GetStringWidth("J"), -1 + 5 + 3);

    EXPECT_NE(font->GetSprite('B'), nullptr);
    EXPECT_NE(font->GetSprite(' '), nullptr);
    EXPECT_NE(font->GetSprite('"'), nullptr);
    EXPECT_EQ(font->GetSprite('C'), nullptr);
    // 256 cut to 8 bits would have replaced code 0.
    ASSERT_NE(font->GetSprite(0), nullptr);
    font->GetSprite(0)->GetTextureRect(&x, &y, &w, &h);
    EXPECT_EQ((std::vector<float>{x, y, w, h}), (std::vector<float>{40, 0, 7, 7}));
    EXPECT_EQ(font->GetStringWidth(" "), 4);
    // The tallest letter sets the line height.
    EXPECT_EQ(font->GetHeight(), 14);

    // Letters start with the sprite defaults: white, depth 0.5, hot spot 0.
    font->Render(20, 30, TEXT_LEFT, "A");
    const std::vector<hgeQuad> quads = TakeQuads();
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].v[0].x, 21);
    EXPECT_EQ(quads[0].v[0].y, 30);
    EXPECT_EQ(quads[0].v[0].col, 0xFFFFFFFFu);
    EXPECT_EQ(quads[0].v[0].z, 0.5f);
    EXPECT_EQ(quads[0].blend, BLEND_DEFAULT);
}

TEST_F(Fonts, LaterLetterLineReplacesTheEarlier)
{
    auto font = Load(std::string(FONT_HEADER) + "Char=41,0,0,8,12,1,2\nChar=41,0,0,3,5,0,0\n");
    EXPECT_EQ(font->GetStringWidth("A"), 3);
    // The height stays the greatest ever read.
    EXPECT_EQ(font->GetHeight(), 12);
}

TEST_F(Fonts, TexturePathJoinsTheDescriptionFolder)
{
    // Forward slash: the folder of the description file.
    auto beside = Load(FONT_AB);
    EXPECT_EQ(TextureWidthOf(hge, beside->GetSprite('A')), FONT_TEXTURE_WIDTH);

    WorkingFolder here(dir);
    // No folder at all: the bare name, from the working folder.
    toolkit_test::WriteTexture("bare.png", 32, 8);
    torvek_test::WriteFile("bare.fnt", "[HGEFONT]\nBitmap = bare.png\nChar=41,0,0,8,8,0,0\n");
    hgeFont bare("bare.fnt");
    EXPECT_EQ(TextureWidthOf(hge, bare.GetSprite('A')), 32);

    // The folder ends at the last backslash even when a slash follows it.
    // "a\b" names one folder here and a folder inside "a" on Windows; either
    // way the font's texture is "a\tex.png".
    std::filesystem::create_directories("a\\b");
    toolkit_test::WriteTexture("a\\tex.png", 48, 8);
    toolkit_test::WriteTexture("a\\b/tex.png", 16, 8);
    torvek_test::WriteFile("a\\b/f.fnt", "[HGEFONT]\nBitmap=tex.png\nChar=41,0,0,8,8,0,0\n");
    hgeFont backslash("a\\b/f.fnt");
    EXPECT_EQ(TextureWidthOf(hge, backslash.GetSprite('A')), 48);
}

TEST_F(Fonts, TextureLineVariants)
{
    // Not followed by an equals sign: ignored, the letter has no texture.
    auto ignored = Load("[HGEFONT]\nBitmapX=font.png\nBitmap font.png\nChar=41,0,0,8,12,1,2\n",
                        "ignored.fnt");
    ASSERT_NE(ignored->GetSprite('A'), nullptr);
    EXPECT_EQ(ignored->GetSprite('A')->GetTexture(), 0u);

    // No name after the equals sign: the description file itself is tried
    // as the texture, which fails, and reading stops.
    auto nameless = Load("[HGEFONT]\nChar=41,0,0,8,12,1,2\nBitmap =  \nChar=42,8,0,6,12,0,1\n",
                         "nameless.fnt");
    EXPECT_NE(nameless->GetSprite('A'), nullptr);
    EXPECT_EQ(nameless->GetSprite('B'), nullptr);

    // A texture that cannot be loaded stops reading; the letters before it stay.
    auto missing = Load(std::string(FONT_HEADER) +
                            "Char=41,0,0,8,12,1,2\nBitmap=missing.png\nChar=42,8,0,6,12,0,1\n",
                        "missing.fnt");
    EXPECT_NE(missing->GetSprite('A'), nullptr);
    EXPECT_EQ(missing->GetSprite('B'), nullptr);
    EXPECT_EQ(IncorrectFormatLines(Path("missing.fnt")), 0);
}

TEST_F(Fonts, EveryTextureIsFreedAndLettersKeepTheirOwn)
{
    toolkit_test::WriteTexture(Path("first.png"), 32, 8);
    toolkit_test::WriteTexture(Path("second.png"), 48, 8);
    toolkit_test::WriteTexture(Path("third.png"), 24, 8);
    auto font = Load(
        "[HGEFONT]\n"
        "Char=3F,0,0,4,4,0,0\n"
        "Bitmap=first.png\n"
        "Char=41,0,0,8,8,0,0\n"
        "Bitmap=second.png\n"
        "Char=42,0,0,8,8,0,0\n"
        "Bitmap=third.png\n"
        "Char=43,0,0,8,8,0,0\n");
    EXPECT_EQ(font->GetSprite('?')->GetTexture(), 0u);
    const HTEXTURE first = font->GetSprite('A')->GetTexture();
    const HTEXTURE second = font->GetSprite('B')->GetTexture();
    const HTEXTURE third = font->GetSprite('C')->GetTexture();
    EXPECT_EQ(hge->Texture_GetWidth(first), 32);
    EXPECT_EQ(hge->Texture_GetWidth(second), 48);
    EXPECT_EQ(hge->Texture_GetWidth(third), 24);

    font->Render(0, 0, TEXT_LEFT, "ABC");
    const std::vector<hgeQuad> quads = TakeQuads();
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(quads[0].tex, first);
    EXPECT_EQ(quads[1].tex, second);
    EXPECT_EQ(quads[2].tex, third);

    // Once the font is gone the engine knows none of its textures.
    font.reset();
    EXPECT_EQ(hge->Texture_GetWidth(first), 0);
    EXPECT_EQ(hge->Texture_GetWidth(second), 0);
    EXPECT_EQ(hge->Texture_GetWidth(third), 0);
}

TEST_F(Fonts, LinesLongerThan255CharactersAreIgnoredWhole)
{
    // Trailing blanks are allowed after the six numbers, so the same letter
    // line is read at 255 characters and ignored at 256.
    std::string a = "Char=41,0,0,8,12,1,2";
    std::string b = "Char=42,8,0,6,12,0,1";
    a.resize(255, ' ');
    b.resize(256, ' ');
    const std::string comment(100000, 'x');
    auto font = Load(std::string(FONT_HEADER) + a + "\n" + b + "\n" + comment +
                     "\nChar=43,0,0,5,12,0,0\n");
    EXPECT_NE(font->GetSprite('A'), nullptr);
    EXPECT_EQ(font->GetSprite('B'), nullptr);
    EXPECT_NE(font->GetSprite('C'), nullptr);  // reading goes on after a long line

    std::string header = "[HGEFONT]";
    header.resize(300, ' ');
    auto refused = Load(header + "\nChar=41,0,0,8,12,1,2\n", "long-header.fnt");
    ExpectEmpty(*refused);
    EXPECT_EQ(IncorrectFormatLines(Path("long-header.fnt")), 1);

    // A texture line that long cannot name its texture whole: reading stops
    // as for a texture that cannot be loaded, and no letter gets texture 0.
    std::string bitmap = "Bitmap=" + std::string(300, 'n') + ".png";
    auto stopped = Load(std::string(FONT_HEADER) + "Char=41,0,0,8,12,1,2\n" + bitmap +
                        "\nChar=42,8,0,6,12,0,1\n");
    ASSERT_NE(stopped->GetSprite('A'), nullptr);
    EXPECT_EQ(stopped->GetSprite('B'), nullptr);
}

TEST_F(Fonts, HexadecimalCodesDoNotOverflow)
{
    // Wrapped to 32 or 64 bits, these would read as 0x41 (A).
    auto font = Load(std::string(FONT_HEADER) +
                     "Char=100000041,0,0,8,12,0,0\n"
                     "Char=10000000000000041,0,0,8,12,0,0\n"
                     "Char=FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF41,0,0,8,12,0,0\n"
                     "Char=0FF,0,0,3,12,0,0\n");
    EXPECT_EQ(font->GetSprite('A'), nullptr);
    EXPECT_NE(font->GetSprite(0xFF), nullptr);
}

TEST_F(Fonts, LetterLinesWithFewerThanSixNumbersAreIgnored)
{
    auto font = Load(std::string(FONT_HEADER) +
                     "Char=41,0,0,8,12,1\n"
                     "Char=42,8,0,6,12,0,\n"
                     "Char=43\n"
                     "Char=44,0;0,8,12,1,2\n"
                     "Char=\"\n"
                     "Char=\"E\n"
                     "Char=\"F\",0,0,8\n"
                     "Char=47,0,0,8,12,1,2");  // the last line ends the file: fine
    for (unsigned char c : {'A', 'B', 'C', 'D', 'E', 'F', '"', '\0'})
        EXPECT_EQ(font->GetSprite(c), nullptr) << "code " << int(c);
    EXPECT_NE(font->GetSprite('G'), nullptr);
    EXPECT_EQ(font->GetHeight(), 12);
}

TEST_F(Fonts, ZeroByteEndsTheDescriptionAndBinaryFilesAreRefused)
{
    std::string description = std::string(FONT_HEADER) + "Char=41,0,0,8,12,1,2\n";
    description += '\0';
    description += "Char=42,8,0,6,12,0,1\n";
    auto cut = Load(description, "zero.fnt");
    EXPECT_NE(cut->GetSprite('A'), nullptr);
    EXPECT_EQ(cut->GetSprite('B'), nullptr);

    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 167 + 13) & 0xFF);
    auto refused = Load(binary, "binary.fnt");
    ExpectEmpty(*refused);
    EXPECT_EQ(IncorrectFormatLines(Path("binary.fnt")), 1);

    // A header cut short by the end of the file.
    auto shortFile = Load("[HGEFON", "short.fnt");
    ExpectEmpty(*shortFile);
}

TEST_F(Fonts, TexturePathLongerThanThePathLimitIsRefused)
{
    // A folder deep enough that folder and the longest texture name a line
    // can hold together pass the limit, while the description file itself
    // can still be opened.
    const size_t longestName = 255 - std::string("Bitmap=").size();
    std::filesystem::path deep = dir;
    while (deep.string().size() + 1 + longestName < PATH_MAX)
        deep /= std::string(200, 'd');
    std::filesystem::create_directories(deep);
    const std::string description = (deep / "f.fnt").string();
    ASSERT_LT(description.size(), static_cast<size_t>(PATH_MAX));

    toolkit_test::WriteTexture((deep / "font.png").string(), 32, 8);
    torvek_test::WriteFile(description, std::string(FONT_AB));
    hgeFont fits(description.c_str());
    ASSERT_NE(fits.GetSprite('B'), nullptr);
    EXPECT_EQ(TextureWidthOf(hge, fits.GetSprite('B')), 32);

    torvek_test::WriteFile(description, "[HGEFONT]\nChar=41,0,0,8,12,1,2\nBitmap=" +
                                             std::string(longestName, 'n') +
                                             "\nChar=42,8,0,6,12,0,1\n");
    hgeFont refused(description.c_str());
    EXPECT_NE(refused.GetSprite('A'), nullptr);
    EXPECT_EQ(refused.GetSprite('B'), nullptr);
    // The path was never handed to the engine to load.
    for (const std::string &line : hgeTesting::LogLines())
        EXPECT_EQ(line.find(std::string(longestName, 'n')), std::string::npos) << line;
}
