// A headless engine with small piece and combo-mark images of the tests' own,
// two players, and helpers that set up positions and read back what was drawn.
#pragma once

#include <functional>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "board.h"
#include "hge_testing.h"
#include "main.h"
#include "pieces.h"

// What a player can tell apart about a piece.
struct Kind {
    int type, owner, combo;
    bool operator==(const Kind &) const = default;
};
std::ostream &operator<<(std::ostream &out, const Kind &kind);

// A rectangle in pixels: of a texture, or of the screen.
struct Box {
    float x, y, w, h;
    bool operator==(const Box &) const = default;
};
std::ostream &operator<<(std::ostream &out, const Box &box);

class RulesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Both players with empty hands, the board empty, Solids to move.
    void New_Players();
    // Builds a piece into a cell the way the game does, at the cell's depth.
    void Put(int cell, int type, int owner, int combo = 0);
    // Appends pieces of the side to its hand, one per type listed.
    void Give(int side, const std::vector<int> &types, int combo = 0);

    std::vector<Kind> Hand(int side) const;
    // The cell's piece, or {-1, -1, -1} when it is empty.
    Kind Cell(int cell) const;
    int Pieces_On_Board() const;

    // The quads that `draw` sends to the engine, drawn into a target of the test.
    std::vector<hgeQuad> Drawn(const std::function<void()> &draw);
    // The texture rectangle a quad shows, in texels.
    Box Texels(const hgeQuad &quad) const;
    // Where a quad lies on the screen.
    static Box Placed(const hgeQuad &quad);
    // The depth of a quad, when all four corners agree (NaN otherwise).
    static float Depth(const hgeQuad &quad);

    HGE *engine = nullptr;
    HTARGET target = 0;
};
