// The real program started from a data folder with one thing broken: it must
// not crash, log what the engine and the font reader promise, and still play
// a match with what is left.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "board.h"
#include "hge_entry.h"
#include "hge_testing.h"
#include "main.h"
#include "pieces.h"
#include "torvek_test.h"
#include "turns.h"

namespace fs = std::filesystem;

namespace {

// Enter on the title, N on the menu, then Space twice: the first hand piece
// goes to the front-left cell, where every placing turn starts.
const std::vector<int> KEYS_TO_A_PLACING = {HGEK_ENTER, HGEK_N, HGEK_SPACE, HGEK_SPACE};
constexpr int MATCH_START_FRAME = 1;
// An eighth of a second a frame: the placing plays out in about 16 frames.
constexpr float STEP = 1.0f / 8;
constexpr int FRAMES_AFTER_KEYS = 40;

// Every text the match screen shows with font1, and every letter of the font files.
const char *const FONT_SAMPLE =
    "SLD: 0 STR: 12 !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";

struct Outcome {
    int exit_code = -1;
    bool match_started = false;
    int mover = -1;
    bool placed = false;         // the mover's piece stands on the front-left cell
    bool turn_passed = false;
    int pieces = 0;              // pieces on the board and in the hands at the end
    std::vector<std::string> log;
    hgeTesting::Pixels window;   // the last match frame
};

std::string Read_File(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write_File(const fs::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

// The font file with `line` put in as its second line, right after the header.
std::string With_Line_After_Header(const std::string &font, const std::string &line)
{
    const size_t header_end = font.find('\n') + 1;
    return font.substr(0, header_end) + line + "\n" + font.substr(header_end);
}

int Lines_Naming(const std::vector<std::string> &log, const std::string &name)
{
    int count = 0;
    for (const std::string &line : log)
        if (line.find(name) != std::string::npos)
            ++count;
    return count;
}

// Letter by letter, the font reads like the same file in the build folder.
void Expect_Same_Letters(const hgeFont *font, const std::string &file)
{
    hgeFont reference((torvek_test::DataDir() + "/" + file).c_str(), false);
    ASSERT_GT(reference.GetHeight(), 0.0f);
    EXPECT_EQ(font->GetHeight(), reference.GetHeight());
    EXPECT_EQ(font->GetStringWidth(FONT_SAMPLE), reference.GetStringWidth(FONT_SAMPLE));
    for (int code = 0; code < 256; ++code) {
        const hgeSprite *mine = font->GetSprite(static_cast<unsigned char>(code));
        const hgeSprite *good = reference.GetSprite(static_cast<unsigned char>(code));
        ASSERT_EQ(mine != nullptr, good != nullptr) << "letter " << code;
        if (!mine)
            continue;
        float x[2], y[2], w[2], h[2];
        mine->GetTextureRect(&x[0], &y[0], &w[0], &h[0]);
        good->GetTextureRect(&x[1], &y[1], &w[1], &h[1]);
        EXPECT_TRUE(x[0] == x[1] && y[0] == y[1] && w[0] == w[1] && h[0] == h[1])
            << "letter " << code;
    }
}

class BadData : public ::testing::Test {
protected:
    // A folder of its own with a good copy of Images/ and Fonts/, which the
    // test then breaks. The executable's folder, where the engine looks next,
    // must hold no copy that would hide the break.
    void SetUp() override
    {
        const fs::path exe_folder = fs::read_symlink("/proc/self/exe").parent_path();
        for (const fs::path &other : {exe_folder, exe_folder / ".." / "share" / "torvek"}) {
            ASSERT_FALSE(fs::exists(other / "Images") || fs::exists(other / "Fonts"))
                << other << " holds game data that would hide what the test breaks";
        }
        std::string pattern = (fs::temp_directory_path() / "torvek-baddata-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        folder = pattern;
        for (const char *data : {"Images", "Fonts"})
            fs::copy(fs::path(torvek_test::DataDir()) / data, folder / data,
                     fs::copy_options::recursive);
        home = fs::current_path();
    }

    void TearDown() override
    {
        fs::current_path(home);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    fs::path File(const std::string &relative) const { return folder / relative; }

    // Starts the program in the broken folder and places a piece; `inspect`
    // runs in the first frame of the match, while every resource is loaded.
    Outcome Play_A_Placing(const std::function<void()> &inspect = nullptr)
    {
        Outcome run;
        std::vector<int> keys = KEYS_TO_A_PLACING;
        keys.resize(keys.size() + FRAMES_AFTER_KEYS, 0);
        keys.push_back(HGEK_ESCAPE);
        const int last_frame = static_cast<int>(keys.size()) - 2;

        fs::current_path(folder);
        hgeTesting::UseHeadless();
        hgeTesting::UseVirtualClock(STEP, 100.0f);
        hgeTesting::QueueKeys(keys);
        hgeTesting::SetFrameHook([&](int frame) {
            if (frame == MATCH_START_FRAME) {
                run.match_started = opponent[SOLIDS] && opponent[STRIPES];
                if (!run.match_started)
                    return true;
                run.mover = game_turn;
                if (inspect)
                    inspect();
            }
            if (frame == last_frame) {
                const Piece *piece = board_array[FRONT_LEFT_CELL];
                run.placed = piece && piece->Get_Owner() == run.mover;
                run.turn_passed = game_turn != run.mover;
                run.pieces = Count_Pieces();
                run.window = hgeTesting::ReadWindow();
            }
            return frame > last_frame;
        });
        run.exit_code = RunWinMain();
        run.log = hgeTesting::LogLines();
        hgeTesting::Reset();
        fs::current_path(home);
        return run;
    }

    static void Expect_Playable(const Outcome &run)
    {
        EXPECT_EQ(run.exit_code, 0);
        EXPECT_TRUE(run.match_started);
        EXPECT_TRUE(run.placed) << "the first placing did not land";
        EXPECT_TRUE(run.turn_passed);
        EXPECT_EQ(run.pieces, MATCH_PIECES);
    }

    static std::string Log_Text(const Outcome &run)
    {
        std::string text;
        for (const std::string &line : run.log)
            text += "\n  " + line;
        return text.empty() ? " (nothing logged)" : text;
    }

    fs::path folder;
    fs::path home;
};

TEST_F(BadData, WithoutTheImagesFolderEveryImageIsLoggedOnceAndTheMatchPlays)
{
    fs::remove_all(File("Images"));
    const Outcome run = Play_A_Placing([] {
        for (HTEXTURE texture : {t_clouds, t_ground, t_sky, t_sun, t_hge, t_pieces, t_board,
                                 t_select, t_combo})
            EXPECT_EQ(texture, 0u);
        EXPECT_GT(font1->GetHeight(), 0.0f);
    });
    Expect_Playable(run);
    size_t images = 0;
    for (const std::string &file : torvek_test::DataFiles()) {
        if (file.rfind("Images/", 0) != 0)
            continue;
        ++images;
        EXPECT_EQ(Lines_Naming(run.log, file), 1) << file << Log_Text(run);
    }
    // The nine images, and nothing else, are named.
    EXPECT_EQ(images, 9u);
    EXPECT_EQ(run.log.size(), images) << Log_Text(run);

    // What a player gets: every picture is a plain white quad, the sky over
    // the whole screen, and only the scores, in their font, stand out.
    ASSERT_EQ(run.window.width, WINDOW_LENGTH);
    const uint32_t sky = run.window.At(0, 0);
    EXPECT_NE(std::count(run.window.argb.begin(), run.window.argb.end(), sky),
              static_cast<long>(run.window.argb.size()));
    EXPECT_TRUE(hgeTesting::SavePNG(run.window,
                                    torvek_test::OutputDir() + "/baddata-no-images.png"));
}

TEST_F(BadData, ATruncatedPngIsLoggedOnceAndOnlyItsPicturesAreMissing)
{
    const fs::path pieces = File("Images/Pieces/TRVK_pieces.png");
    const std::string bytes = Read_File(pieces);
    ASSERT_GT(bytes.size(), 100u);
    Write_File(pieces, bytes.substr(0, bytes.size() / 2));
    const Outcome run = Play_A_Placing([] {
        EXPECT_EQ(t_pieces, 0u);
        EXPECT_NE(t_board, 0u);
        EXPECT_NE(t_combo, 0u);
    });
    Expect_Playable(run);
    EXPECT_EQ(Lines_Naming(run.log, "Images/Pieces/TRVK_pieces.png"), 1) << Log_Text(run);
    EXPECT_EQ(run.log.size(), 1u) << Log_Text(run);
}

TEST_F(BadData, AnEmptyFontFileIsReportedAndTheFontStaysEmpty)
{
    Write_File(File("Fonts/font1.fnt"), "");
    const Outcome run = Play_A_Placing([] {
        EXPECT_EQ(font1->GetHeight(), 0.0f);
        EXPECT_EQ(font1->GetStringWidth(FONT_SAMPLE), 0.0f);
        EXPECT_GT(font2->GetHeight(), 0.0f);
    });
    Expect_Playable(run);
    EXPECT_EQ(run.log, std::vector<std::string>{"Font Fonts/font1.fnt has incorrect format."});
}

TEST_F(BadData, APictureGivenAsFontFileIsReportedAndTheFontStaysEmpty)
{
    Write_File(File("Fonts/font2.fnt"), Read_File(File("Fonts/font2.png")));
    const Outcome run = Play_A_Placing([] {
        EXPECT_EQ(font2->GetHeight(), 0.0f);
        EXPECT_GT(font1->GetHeight(), 0.0f);
    });
    Expect_Playable(run);
    EXPECT_EQ(run.log, std::vector<std::string>{"Font Fonts/font2.fnt has incorrect format."});
}

TEST_F(BadData, BinaryBytesAfterTheHeaderMakeNoLetterAndNoLogLine)
{
    std::string bytes = "[HGEFONT]\n";
    uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        const char byte = static_cast<char>(state >> 24);
        // No zero byte: it would end the description before the rest is read.
        bytes += byte ? byte : '\x01';
    }
    Write_File(File("Fonts/font1.fnt"), bytes);
    const Outcome run = Play_A_Placing();
    Expect_Playable(run);
    EXPECT_EQ(Lines_Naming(run.log, "Font "), 0) << Log_Text(run);
}

TEST_F(BadData, AFiveThousandCharacterLineIsSkippedAndEveryOtherLineRead)
{
    // Read as a letter line, it would make "S" a letter without size.
    std::string line = "Char=53";
    while (line.size() < 5000)
        line += ",0";
    const fs::path font = File("Fonts/font1.fnt");
    Write_File(font, With_Line_After_Header(Read_File(font), line));
    const Outcome run = Play_A_Placing([] { Expect_Same_Letters(font1, "Fonts/font1.fnt"); });
    Expect_Playable(run);
    EXPECT_TRUE(run.log.empty()) << Log_Text(run);
}

TEST_F(BadData, ACharacterCodeOfThreeHundredDigitsMakesNoLetter)
{
    // 16 to the power of 299, and a number of 240 digits F: neither names a
    // character, however the digits are counted.
    const std::string huge = "Char=1" + std::string(299, '0') + ",0,0,7,10,0,0";
    const std::string long_f = "Char=" + std::string(240, 'F') + ",0,0,7,10,0,0";
    const fs::path font = File("Fonts/font1.fnt");
    Write_File(font, With_Line_After_Header(With_Line_After_Header(Read_File(font), huge),
                                            long_f));
    const Outcome run = Play_A_Placing([] { Expect_Same_Letters(font1, "Fonts/font1.fnt"); });
    Expect_Playable(run);
    EXPECT_TRUE(run.log.empty()) << Log_Text(run);
}

TEST_F(BadData, ATexturePathLongerThanTheSystemAllowsIsNeverCutShort)
{
    // Folders of a hundred characters, more than PATH_MAX in all, ending in
    // the real texture's name: a path cut to any length names no file, and
    // the whole one is too long for the system.
    std::string name;
    while (name.size() <= PATH_MAX)
        name += std::string(99, 'd') + "/";
    name += "font2.png";
    const fs::path font = File("Fonts/font2.fnt");
    std::string text = Read_File(font);
    const size_t bitmap = text.find("Bitmap=");
    ASSERT_NE(bitmap, std::string::npos);
    const size_t line_end = text.find('\n', bitmap);
    text.replace(bitmap, line_end - bitmap, "Bitmap=" + name);
    Write_File(font, text);

    // The font stops reading at its texture line: no letter, not even a blank one.
    const Outcome run = Play_A_Placing([] { EXPECT_EQ(font2->GetSprite('S'), nullptr); });
    Expect_Playable(run);
    EXPECT_EQ(Lines_Naming(run.log, "Font "), 0) << Log_Text(run);
    // Only the whole path may be named, never a shorter piece of it.
    for (const std::string &line : run.log) {
        if (line.find(std::string(99, 'd')) != std::string::npos) {
            EXPECT_NE(line.find(name), std::string::npos) << line.substr(0, 200);
        }
    }
}

TEST_F(BadData, AMissingFontTextureStopsTheFontWithoutAFontLine)
{
    fs::remove(File("Fonts/font1.png"));
    const Outcome run = Play_A_Placing([] {
        EXPECT_EQ(font1->GetStringWidth(FONT_SAMPLE), 0.0f);
        EXPECT_GT(font2->GetHeight(), 0.0f);
    });
    Expect_Playable(run);
    EXPECT_EQ(Lines_Naming(run.log, "Fonts/font1.png"), 1) << Log_Text(run);
    EXPECT_EQ(Lines_Naming(run.log, "Font "), 0) << Log_Text(run);
    EXPECT_EQ(run.log.size(), 1u) << Log_Text(run);
}

}  // namespace
