// The nine images as the build paints them: the sizes the sprites cut from,
// transparency where one image is drawn over another, and what a player has
// to see in them: pieces standing in their cells, sides and types told
// apart, combo levels growing, markers showing round the pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "art_test.h"
#include "board.h"
#include "engine_test.h"
#include "main.h"

using art_test::Alpha;
using art_test::CountOpaque;
using art_test::LoadArt;
using art_test::Luminance;
using art_test::Opaque;
using hgeTesting::Pixels;

namespace {

struct Size {
    int width, height;
};

// Each image is exactly as large as the rectangles its sprites take.
const std::map<std::string, Size> IMAGE_SIZES = {
    {"Images/Background/TRVK_clouds.png", {256, 75}},
    {"Images/Background/TRVK_ground.png", {256, 76}},
    {"Images/Background/TRVK_sky.png", {256, 192}},
    {"Images/Background/TRVK_sun.png", {58, 58}},
    {"Images/TRVK_hge.png", {58, 42}},
    {"Images/Pieces/TRVK_pieces.png", {36, 40}},
    {"Images/TRVK_board.png", {103, 28}},
    {"Images/TRVK_select.png", {51, 24}},
    {"Images/Pieces/TRVK_combo.png", {40, 3}},
};

// The board image is drawn with its hot spot (50, 16) on the board centre.
constexpr int BOARD_LEFT = BOARD_X - 50;
constexpr int BOARD_TOP = BOARD_Y - 16;
// Grout between the tiles is clearly darker than any tile.
constexpr int GROUT_LUMINANCE = 110;

constexpr int PIECE_W = 12, PIECE_H = 20;

Pixels PieceOf(const Pixels &sheet, int type, int side)
{
    return art_test::Crop(sheet, PIECE_W * type, PIECE_H * side, PIECE_W, PIECE_H);
}

// Neighbouring pairs (dx, dy) apart inside a piece, outline left out, whose
// brightness differs clearly.
int Jumps(const Pixels &piece, int dx, int dy)
{
    const auto body = [&](int x, int y) {
        return x < PIECE_W && y < PIECE_H && Opaque(piece.At(x, y)) && Luminance(piece.At(x, y)) >= 40;
    };
    int jumps = 0;
    for (int y = 0; y < PIECE_H; ++y)
        for (int x = 0; x < PIECE_W; ++x)
            if (body(x, y) && body(x + dx, y + dy))
                jumps += std::abs(Luminance(piece.At(x, y)) - Luminance(piece.At(x + dx, y + dy))) > 40;
    return jumps;
}

// Board luminance at a screen point, or -1 where the board image is transparent.
int BoardAt(const Pixels &board, int x, int y)
{
    const uint32_t pixel = board.At(x - BOARD_LEFT, y - BOARD_TOP);
    return Opaque(pixel) ? Luminance(pixel) : -1;
}

bool IsGrout(const Pixels &board, int x, int y)
{
    const int luminance = BoardAt(board, x, y);
    return luminance >= 0 && luminance < GROUT_LUMINANCE;
}

}  // namespace

TEST(ArtImages, EveryImageHasTheSizeItsSpritesCut)
{
    int images = 0;
    for (const std::string &path : torvek_test::DataFiles()) {
        if (!path.starts_with("Images/"))
            continue;
        ++images;
        const auto size = IMAGE_SIZES.find(path);
        ASSERT_NE(size, IMAGE_SIZES.end()) << path << " is cut by no sprite";
        const Pixels pixels = LoadArt(path);
        EXPECT_EQ(pixels.width, size->second.width) << path;
        EXPECT_EQ(pixels.height, size->second.height) << path;
    }
    EXPECT_EQ(images, static_cast<int>(IMAGE_SIZES.size()));
}

using ArtLoading = engine_test::HeadlessEngine;

TEST_F(ArtLoading, TheEngineLoadsEveryImageSilentlyAtItsSize)
{
    for (const auto &[path, size] : IMAGE_SIZES) {
        const HTEXTURE texture = hge->Texture_Load(path.c_str());
        ASSERT_NE(texture, 0u) << path;
        EXPECT_EQ(hge->Texture_GetWidth(texture), size.width) << path;
        EXPECT_EQ(hge->Texture_GetHeight(texture), size.height) << path;
        hge->Texture_Free(texture);
    }
    EXPECT_TRUE(hgeTesting::LogLines().empty()) << hgeTesting::LogLines().front();
}

TEST(ArtImages, BackgroundLayersLetTheOnesBehindShowThrough)
{
    const Pixels sky = LoadArt("Images/Background/TRVK_sky.png");
    ASSERT_EQ(sky.width, 256);
    EXPECT_EQ(CountOpaque(sky, 0, 0, 256, 192), 256 * 192) << "the sky covers the whole screen";

    const Pixels sun = LoadArt("Images/Background/TRVK_sun.png");
    ASSERT_EQ(sun.width, 58);
    EXPECT_EQ(Alpha(sun.At(0, 0)) + Alpha(sun.At(57, 0)) + Alpha(sun.At(0, 57)) + Alpha(sun.At(57, 57)), 0);
    EXPECT_TRUE(Opaque(sun.At(29, 29)));
    // A round disc about its hot spot (29, 29): the same from all four sides.
    for (int y = 0; y < 58; ++y)
        for (int x = 0; x < 58; ++x) {
            ASSERT_EQ(Opaque(sun.At(x, y)), Opaque(sun.At(57 - x, y))) << x << "," << y;
            ASSERT_EQ(Opaque(sun.At(x, y)), Opaque(sun.At(y, x))) << x << "," << y;
        }

    // Clouds cover part of their band, and the sky shows between them.
    const Pixels clouds = LoadArt("Images/Background/TRVK_clouds.png");
    ASSERT_EQ(clouds.width, 256);
    const int cloud = CountOpaque(clouds, 0, 0, 256, 75);
    EXPECT_GT(cloud, 256 * 75 / 10);
    EXPECT_LT(cloud, 256 * 75 / 2);
    // Some cloud passes in front of the sun where it drifts (x 179 to 185, y 51).
    EXPECT_GT(CountOpaque(clouds, 150, 22 - 6, 64, 58), 0);
    EXPECT_LT(CountOpaque(clouds, 150, 22 - 6, 64, 58), 64 * 58 / 2) << "the sun stays visible";

    // The ground is solid below the horizon but lets the sky through above its hills.
    const Pixels ground = LoadArt("Images/Background/TRVK_ground.png");
    ASSERT_EQ(ground.width, 256);
    EXPECT_LT(CountOpaque(ground, 0, 0, 256, 1), 256);
    EXPECT_EQ(CountOpaque(ground, 0, 12, 256, 64), 256 * 64);
}

TEST(ArtImages, EveryPieceStandsInsideItsOwnCellOfTheBoard)
{
    const Pixels board = LoadArt("Images/TRVK_board.png");
    ASSERT_EQ(board.width, 103);
    // The slanted board leaves the corners of its rectangle free.
    EXPECT_FALSE(Opaque(board.At(0, 0)));
    EXPECT_FALSE(Opaque(board.At(102, 27)));

    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        // A piece's bottom row lies just above its standing point.
        const int x = board_x[cell], feet = board_y[cell] - 1;
        ASSERT_GE(BoardAt(board, x, feet), GROUT_LUMINANCE) << "cell " << cell << " stands on a tile";
        // Its plinth (10 wide) and the row in front of it stay on the same tile.
        for (int dx = -5; dx <= 5; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                EXPECT_FALSE(IsGrout(board, x + dx, feet + dy)) << "cell " << cell << " at " << dx << "," << dy;
        // ... in the middle of the tile, as wide on its left as on its right.
        int left = 1, right = 1;
        while (left < 30 && !IsGrout(board, x - left, feet))
            ++left;
        while (right < 30 && !IsGrout(board, x + right, feet))
            ++right;
        EXPECT_LE(std::abs(left - right), 1) << "cell " << cell << ": " << left << " left, " << right << " right";
    }
    // Walking from one standing point to its neighbour crosses one grout
    // line: across a row to the right, and down-left to the row in front.
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        for (const int next : {cell + 1, cell + 3}) {
            if (next >= BOARD_CELLS || (next == cell + 1 && next % 3 == 0))
                continue;
            const int steps = std::max(std::abs(board_x[next] - board_x[cell]), board_y[next] - board_y[cell]);
            int crossings = 0;
            bool on_grout = false;
            for (int s = 0; s <= steps; ++s) {
                const int x = board_x[cell] + (board_x[next] - board_x[cell]) * s / steps;
                const int y = board_y[cell] - 1 + (board_y[next] - board_y[cell]) * s / steps;
                const bool grout = IsGrout(board, x, y);
                crossings += grout && !on_grout;
                on_grout = grout;
            }
            EXPECT_EQ(crossings, 1) << "from cell " << cell << " to cell " << next;
        }
    }
}

// What the pointer takes for a cell on the empty board is what the player
// sees there: every pixel of a stone is its cell, each pixel of grout goes
// with a stone next to it (within two pixels where the slanted lines meet
// the rim), and nothing off the board is a cell.
TEST(ArtImages, EachStoneOfTheBoardIsWhereThePointerFindsItsCell)
{
    const Pixels board = LoadArt("Images/TRVK_board.png");
    ASSERT_EQ(board.width, 103);
    auto cell_at = [](int x, int y) { return Cell_At(x + 0.5f, y + 0.5f); };
    // Each stone, filled from its cell's point across the pixels that are not grout.
    std::map<std::pair<int, int>, int> stone_of;
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        std::vector<std::pair<int, int>> todo = {{board_x[cell], board_y[cell] - 1}};
        int pixels = 0;
        while (!todo.empty()) {
            const auto [x, y] = todo.back();
            todo.pop_back();
            if (stone_of.count({x, y}) || BoardAt(board, x, y) < 0 || IsGrout(board, x, y))
                continue;
            stone_of[{x, y}] = cell;
            ++pixels;
            EXPECT_EQ(cell_at(x, y), cell) << "stone pixel " << x << "," << y;
            for (const auto &[dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
                todo.push_back({x + dx, y + dy});
        }
        EXPECT_GT(pixels, 150) << "cell " << cell;
    }
    for (int y = BOARD_TOP - 2; y < BOARD_TOP + board.height + 2; ++y) {
        for (int x = BOARD_LEFT - 2; x < BOARD_LEFT + board.width + 2; ++x) {
            const bool on_board = x >= BOARD_LEFT && y >= BOARD_TOP && x < BOARD_LEFT + board.width &&
                                  y < BOARD_TOP + board.height && BoardAt(board, x, y) >= 0;
            const int cell = cell_at(x, y);
            if (!on_board || !IsGrout(board, x, y)) {
                EXPECT_EQ(cell != NO_CELL, on_board) << "pixel " << x << "," << y;
                continue;
            }
            bool borders_its_stone = false;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const auto found = stone_of.find({x + dx, y + dy});
                    borders_its_stone |= found != stone_of.end() && found->second == cell;
                }
            EXPECT_TRUE(borders_its_stone) << "grout pixel " << x << "," << y << " taken for cell " << cell;
        }
    }
}

TEST(ArtImages, SidesDifferInColourAndPatternAndTypesInShape)
{
    const Pixels sheet = LoadArt("Images/Pieces/TRVK_pieces.png");
    ASSERT_EQ(sheet.width, 36);
    for (int side = 0; side < 2; ++side) {
        for (int type = 0; type < 3; ++type) {
            const Pixels piece = PieceOf(sheet, type, side);
            // It stands on the middle of its bottom edge.
            EXPECT_TRUE(Opaque(piece.At(5, PIECE_H - 1)) && Opaque(piece.At(6, PIECE_H - 1)))
                << "type " << type << " side " << side;

            long red = 0, blue = 0;
            for (const uint32_t p : piece.argb) {
                if (Opaque(p) && Luminance(p) >= 40) {  // not the outline
                    red += (p >> 16) & 0xFF;
                    blue += p & 0xFF;
                }
            }
            EXPECT_EQ(red > blue, side == 0) << "Solids are warm, Stripes cool; type " << type;
            // Bands: the brightness jumps from row to row far more often than
            // along a row.
            const int down = Jumps(piece, 0, 1), along = Jumps(piece, 1, 0);
            EXPECT_EQ(down > 2 * along && down >= 10, side == 1)
                << "only Stripes are banded; type " << type << ": " << down << " down, " << along << " along";
        }
    }
    // The three shapes differ clearly, on either side.
    for (int side = 0; side < 2; ++side) {
        for (int a = 0; a < 3; ++a) {
            for (int b = a + 1; b < 3; ++b) {
                const Pixels first = PieceOf(sheet, a, side), second = PieceOf(sheet, b, side);
                int different = 0;
                for (size_t i = 0; i < first.argb.size(); ++i)
                    different += (Alpha(first.argb[i]) > 0) != (Alpha(second.argb[i]) > 0);
                EXPECT_GE(different, 20) << "types " << a << " and " << b;
            }
        }
    }
}

TEST(ArtImages, ComboMarksGrowByOnePipPerLevelEachOnADarkGround)
{
    const Pixels combo = LoadArt("Images/Pieces/TRVK_combo.png");
    ASSERT_EQ(combo.width, 40);
    for (int level = 1; level <= 4; ++level) {
        const Pixels mark = art_test::Crop(combo, 10 * (level - 1), 0, 10, 3);
        int pips = 0;
        for (int x = 0; x < 10; ++x) {
            const uint32_t p = mark.At(x, 1);
            if (!Opaque(p) || Luminance(p) < 100)
                continue;
            ++pips;
            // Dark above and below, so a pip reads over any piece.
            EXPECT_LT(Luminance(mark.At(x, 0)), 60);
            EXPECT_LT(Luminance(mark.At(x, 2)), 60);
            EXPECT_TRUE(Opaque(mark.At(x, 0)) && Opaque(mark.At(x, 2)));
        }
        EXPECT_EQ(pips, level);
    }
}

TEST(ArtImages, MarkersShowAroundThePiecesTheyMark)
{
    const Pixels select = LoadArt("Images/TRVK_select.png");
    ASSERT_EQ(select.width, 51);

    // Hand marker (hot spot (8, 24) at (x, 187)) round a hand piece standing
    // at (x, 185): the piece covers columns 2 to 13 and rows 2 to 21.
    const Pixels hand = art_test::Crop(select, 0, 0, 16, 24);
    EXPECT_GT(CountOpaque(hand, 0, 0, 2, 24), 4) << "left of the piece";
    EXPECT_GT(CountOpaque(hand, 14, 0, 2, 24), 4) << "right of the piece";
    EXPECT_GT(CountOpaque(hand, 0, 22, 16, 2), 8) << "under the piece";
    EXPECT_GT(CountOpaque(hand, 0, 0, 16, 2), 4) << "over the piece";

    // Cell marker (hot spot (16, 7) on the standing point): a piece there
    // covers columns 10 to 21 and rows 0 to 6 of it.
    const Pixels cell = art_test::Crop(select, 16, 0, 35, 10);
    EXPECT_GT(CountOpaque(cell, 0, 0, 10, 10), 10) << "left of the piece";
    EXPECT_GT(CountOpaque(cell, 22, 0, 13, 10), 10) << "right of the piece";
    EXPECT_GT(CountOpaque(cell, 10, 7, 12, 3), 10) << "in front of the piece";

    // Its bright frame lies on the grout round the cell it marks.
    const Pixels board = LoadArt("Images/TRVK_board.png");
    for (int c = 0; c < BOARD_CELLS; ++c) {
        int frame = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 35; ++x)
                if (Opaque(cell.At(x, y)) && Luminance(cell.At(x, y)) > 200) {
                    ++frame;
                    EXPECT_TRUE(IsGrout(board, board_x[c] - 16 + x, board_y[c] - 7 + y))
                        << "cell " << c << " marker pixel " << x << "," << y;
                }
        EXPECT_GT(frame, 40);
    }
}
