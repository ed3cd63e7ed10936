// Previews for judging the art as a player sees it, saved 4× (window size)
// under art-preview/ in the build folder: a match screen composed with every
// kind of piece, mark, marker and text at once, and the four menu screens of
// the real program.
#include <gtest/gtest.h>

#include <memory>

#include "art_test.h"
#include "board.h"
#include "engine_test.h"
#include "hgefont.h"
#include "hgesprite.h"
#include "main.h"
#include "menu.h"
#include "torvek_test.h"

using hgeTesting::Pixels;

namespace {

constexpr DWORD FONT1_COLOR = 0xFFECECEC;
constexpr DWORD FONT2_COLOR = 0xFFE0EC9C;
constexpr int HAND_MARKER_Y = HAND_Y + 2;
constexpr int MARKED_HAND_PIECE = 2;
constexpr int MARKED_CELLS[] = {4, 6};

struct Sprite {
    std::unique_ptr<hgeSprite> sprite;

    Sprite(HTEXTURE texture, float x, float y, float w, float h, float hot_x = 0, float hot_y = 0)
        : sprite(std::make_unique<hgeSprite>(texture, x, y, w, h))
    {
        sprite->SetHotSpot(hot_x, hot_y);
    }
    void Render(float x, float y) { sprite->Render(x, y); }
};

// The match screen's textures and sprites as the game makes them.
class MatchPreview : public engine_test::HeadlessEngine {
protected:
    void SetUp() override
    {
        HeadlessEngine::SetUp();
        for (const char *path : TEXTURE_FILES)
            textures.push_back(hge->Texture_Load(path));
        target = hge->Target_Create(256, 192, true);
    }
    void TearDown() override
    {
        for (HTEXTURE texture : textures)
            hge->Texture_Free(texture);
        hge->Target_Free(target);
        HeadlessEngine::TearDown();
    }

    enum { SKY, SUN, CLOUDS, GROUND, BOARD, PIECES, COMBO, SELECT };
    static constexpr const char *TEXTURE_FILES[] = {
        "Images/Background/TRVK_sky.png", "Images/Background/TRVK_sun.png",
        "Images/Background/TRVK_clouds.png", "Images/Background/TRVK_ground.png",
        "Images/TRVK_board.png", "Images/Pieces/TRVK_pieces.png",
        "Images/Pieces/TRVK_combo.png", "Images/TRVK_select.png",
    };

    void DrawBackground()
    {
        Sprite(textures[SKY], 0, 0, 256, 192).Render(0, 0);
        Sprite(textures[SUN], 0, 0, 58, 58, 29, 29).Render(182, 51);
        Sprite(textures[CLOUDS], 0, 0, 256, 75).Render(0, 6);
        Sprite(textures[GROUND], 0, 0, 256, 76).Render(0, 116);
        Sprite(textures[BOARD], 0, 0, 103, 28, 50, 16).Render(BOARD_X, BOARD_Y);
    }

    // A piece standing on (x, y) with the mark of its combo level on top.
    void DrawPiece(int type, int side, int combo, float x, float y)
    {
        Sprite(textures[PIECES], 12.0f * type, 20.0f * side, 12, 20, 6, 20).Render(x, y);
        if (combo > 0)
            Sprite(textures[COMBO], 10.0f * (combo - 1), 0, 10, 3).Render(x - 5, y - 20);
    }

    // Rows 0 and 2 hold Solids, row 1 Stripes; the types run along each row,
    // and the combo levels 0 to 4 come round across the board.
    void DrawBoardAndHand()
    {
        for (int cell = 0; cell < BOARD_CELLS; ++cell)
            DrawPiece(cell % 3, (cell / 3) % 2, cell % 5, board_x[cell], board_y[cell]);
        const int hand_types[] = {0, 0, 1, 1, 2, 2, 1};
        for (int i = 0; i < 7; ++i)
            DrawPiece(hand_types[i], 0, i == 6 ? 2 : 0, HAND_X + 15.0f * i, HAND_Y);
    }

    void DrawMarkers()
    {
        Sprite(textures[SELECT], 0, 0, 16, 24, 8, 24).Render(HAND_X + 15.0f * MARKED_HAND_PIECE, HAND_MARKER_Y);
        for (int cell : MARKED_CELLS)
            Sprite(textures[SELECT], 16, 0, 35, 10, 16, 7).Render(board_x[cell], board_y[cell]);
    }

    Pixels Compose(bool markers)
    {
        hgeFont font1("Fonts/font1.fnt"), font2("Fonts/font2.fnt");
        font1.SetColor(FONT1_COLOR);
        font2.SetColor(FONT2_COLOR);
        hge->Gfx_BeginScene(target);
        hge->Gfx_Clear(0);
        DrawBackground();
        font1.printf(20, 90, TEXT_LEFT, "SLD: %i", 0);
        font1.printf(20, 100, TEXT_LEFT, "STR: %i", 0);
        if (markers)
            DrawMarkers();
        font2.printf(128, 90, TEXT_CENTER, "%s", "Fightin' time!");
        DrawBoardAndHand();
        hge->Gfx_EndScene();
        return hgeTesting::ReadTarget(target);
    }

    // The virtual screen as the window shows it, four times its size.
    Pixels OnWindow()
    {
        hgeSprite screen(hge->Target_GetTexture(target), 0, 0, 256, 192);
        hge->Gfx_BeginScene(0);
        hge->Gfx_Clear(0);
        screen.RenderEx(0, 0, 0, 4, 4);
        hge->Gfx_EndScene();
        return hgeTesting::ReadWindow();
    }

    std::vector<HTEXTURE> textures;
    HTARGET target = 0;
};

int CountDifferent(const Pixels &a, const Pixels &b, int x, int y, int w, int h)
{
    int count = 0;
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column)
            count += a.At(column, row) != b.At(column, row);
    return count;
}

bool Shows(const Pixels &screen, DWORD color, int x, int y, int w, int h)
{
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column)
            if (screen.At(column, row) == color)
                return true;
    return false;
}

}  // namespace

TEST_F(MatchPreview, EverythingOfTheMatchScreenAtOnce)
{
    const Pixels bare = Compose(false);
    const Pixels marked = Compose(true);
    const Pixels window = OnWindow();
    ASSERT_EQ(window.width, 1024);
    EXPECT_TRUE(hgeTesting::SavePNG(window, art_test::PreviewDir() + "/match.png"));
    EXPECT_TRUE(hgeTesting::LogLines().empty()) << hgeTesting::LogLines().front();

    // Both markers still show round the pieces that stand on them.
    const int hand_x = HAND_X + 15 * MARKED_HAND_PIECE;
    EXPECT_GE(CountDifferent(bare, marked, hand_x - 8, HAND_MARKER_Y - 24, 16, 24), 30);
    for (int cell : MARKED_CELLS)
        EXPECT_GE(CountDifferent(bare, marked, board_x[cell] - 16, board_y[cell] - 7, 35, 10), 40) << cell;

    // The tinted letters come out in the fonts' own colours.
    EXPECT_TRUE(Shows(marked, FONT1_COLOR, 20, 90, 40, 20));
    EXPECT_TRUE(Shows(marked, FONT2_COLOR, 64, 90, 128, 10));
}

// The real program's menu screens: saved for looking at, with every text
// inside the screen (nothing touches its left or right edge).
static void ExpectMenuScreenFits(const std::vector<int> &keys, const std::string &name)
{
    Pixels virtual_screen, window;
    torvek_test::RunGame(keys, [&](int frame) {
        if (frame + 1 < static_cast<int>(keys.size()))
            return false;
        virtual_screen = hgeTesting::ReadTarget(t_window_main);
        window = hgeTesting::ReadWindow();
        return true;
    });
    ASSERT_EQ(window.width, 1024) << name;
    EXPECT_TRUE(hgeTesting::SavePNG(window, art_test::PreviewDir() + "/" + name + ".png"));
    EXPECT_GT(art_test::CountOpaque(virtual_screen, 0, 0, 256, 192), 0) << name;
    EXPECT_EQ(art_test::CountOpaque(virtual_screen, 0, 0, 1, 192), 0) << name;
    EXPECT_EQ(art_test::CountOpaque(virtual_screen, 255, 0, 1, 192), 0) << name;
    hgeTesting::Reset();
}

TEST(MenuPreview, Title) { ExpectMenuScreenFits({0}, "title"); }
TEST(MenuPreview, MainMenu) { ExpectMenuScreenFits({HGEK_ENTER}, "menu"); }
TEST(MenuPreview, Options) { ExpectMenuScreenFits({HGEK_ENTER, HGEK_I}, "options"); }
TEST(MenuPreview, Credits) { ExpectMenuScreenFits({HGEK_ENTER, HGEK_K}, "credits"); }
