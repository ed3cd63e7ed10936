// Playing by mouse and by finger: each click in each step does what the
// keys would, the cursor follows the mouse, clicks are lost while a move
// plays out or a message rises, and the pointer finds its cell exactly in a
// larger window with bars.
#include <gtest/gtest.h>

#include <functional>

#include "animation.h"
#include "board.h"
#include "match_play.h"
#include "turns.h"

using namespace match_test;

namespace {

Options Position(int phase, const std::string &board, const std::string &solids_hand,
                 const std::string &stripes_hand)
{
    Options options;
    options.first_side = SOLIDS;
    options.setup = [=] {
        Set_Position(board, solids_hand, stripes_hand);
        game_phase = phase;
        Set_Selection(phase == PHASE_PLACING ? PLACING_CURSORS : FIGHTING_CURSORS);
    };
    return options;
}

// The sky: on the picture, off the board and the hand.
constexpr Point SKY = {128, 40};

std::function<void()> Hover(Point p) { return [=] { Move_To(p); }; }
std::function<void()> Click(Point p, int button = HGEK_LBUTTON) { return [=] { Click_At(p, button); }; }
std::function<void()> Tap(Point p) { return [=] { Tap_At(p); }; }

}  // namespace

TEST(PointerTurns, PlacingClicksTakeAPieceAndPlaceItAndStepBackAsTheKeysWould)
{
    Expect_Steps(Position(PHASE_PLACING, ". . . . . . t0 . .", "0 1 2", "0 1 1 2 2 0 1 2"),
                 {{Hover(Hand_Point(2)), 0, 2, 6},      // the hand cursor follows the mouse
                  {Hover(Cell_Point(4)), 0, 2, 6},      // but not over the board
                  {Click(Hand_Point(0)), 1, 0, 6},     // taken
                  {Hover(Cell_Point(4)), 1, 0, 4},      // now the cell cursor follows
                  {Click(Cell_Point(6)), 1, 0, 6},     // a taken cell: the cursor goes there, no more
                  {Click(Hand_Point(2)), 1, 2, 6},     // another piece instead
                  {Click(Hand_Point(2)), 0, 2, 6},     // the one taken: back
                  {Click(Hand_Point(1)), 1, 1, 6},
                  // Back, the cell kept: a click acts where it is, it leads no cursor.
                  {Click(Cell_Point(4), HGEK_RBUTTON), 0, 1, 6},
                  {Click(Hand_Point(1)), 1, 1, 6},
                  {Click(SKY), 0, 1, 6},               // off the board and hand: back
                  {Click(SKY), 0, 1, 6},               // nothing to step back from
                  // A key and a click in one frame: the key counts.
                  {[] { Press({HGEK_RIGHT}); Click_At(Hand_Point(0)); }, 0, 2, 6},
                  {Tap(Hand_Point(0)), 1, 0, 6},
                  {Tap(Cell_Point(7)), 1, 0, 6, TRANS_PLACE}});
}

TEST(PointerTurns, FightingClicksTakeOnlyOwnPiecesAndCaptureOnlyWhatTheRulesAllow)
{
    // Solids' piece in cell 4 (type 0) can take cell 5; cell 0 is a diagonal
    // type 1, cell 1 a neighbour of type 2, cell 3 its own piece, cell 6 a
    // Stripes piece and cell 7 empty.
    Expect_Steps(Position(PHASE_FIGHTING, "t1 t2 s2 s1 s0 t1 t0 . s2", "0 1", "0 2"),
                 {{Tap(Cell_Point(0)), 0, 6, NO_CELL},   // the other side's piece
                  {Tap(Cell_Point(7)), 0, 6, NO_CELL},   // an empty cell
                  {Tap(Hand_Point(0)), 0, 6, NO_CELL},   // the hand does not fight
                  {Hover(Cell_Point(7)), 0, 7, NO_CELL},  // the mouse leads the cursor anywhere
                  {Click(Cell_Point(3)), 1, 3, 3},
                  {Click(Cell_Point(4)), 1, 4, 4},       // another piece of its own instead
                  {Click(Cell_Point(0)), 1, 4, 0},       // diagonal: refused
                  {Click(Cell_Point(1)), 1, 4, 1},       // a type it cannot take: refused
                  {Click(Cell_Point(4)), 0, 4, NO_CELL},  // the one taken: back
                  {Click(Cell_Point(4)), 1, 4, 4},
                  {Click(SKY, HGEK_RBUTTON), 0, 4, NO_CELL},
                  {Click(Cell_Point(4)), 1, 4, 4},
                  {Click(SKY), 0, 4, NO_CELL},
                  {Click(Cell_Point(4)), 1, 4, 4},
                  {Click(Cell_Point(5)), 1, FRONT_LEFT_CELL, NO_CELL, TRANS_ATTACK}});
}

// The last placing and the first capture of a round, by clicks alone: the
// clicks made while the placing plays out and while "Fightin' time!" rises
// belong to nobody.
TEST(PointerTurns, APlacingAndACapturePlayedByClicksAloneAndClicksDuringPicturesAreLost)
{
    Options options = Position(PHASE_PLACING, "s0 t1 s2 t2 s1 t0 s0 t1 .", "1 2", "0 2");
    bool captured = false, fight_seen = false;
    int clicks_lost = 0;
    std::vector<int> placed, capture;
    const auto records = Play(options, [&](const Record &r) {
        const Snapshot &s = r.state;
        if (r.frame.index == 0) {
            Move_To(Hand_Point(1));
        } else if (r.frame.index == 1) {
            EXPECT_EQ(s.selection[0], 1) << "the hand cursor follows the mouse";
            Click_At(Hand_Point(1));
        } else if (r.frame.index == 2) {
            Click_At(Cell_Point(8));
        } else if (s.transition == TRANS_PLACE || !s.messages.empty()) {
            if (placed.empty())
                placed = {s.trans_var[0], s.trans_var[1]};
            // Stripes' capture, tapped while it cannot be played.
            Tap_At(Cell_Point(r.frame.index % 2 ? 5 : 4));
            ++clicks_lost;
        } else if (s.game_phase == PHASE_FIGHTING && s.transition == TRANS_NONE && capture.empty()) {
            EXPECT_EQ(s.game_turn, STRIPES);
            if (!fight_seen) {
                // The first frame of the fight: nothing tapped so far took a piece.
                fight_seen = true;
                EXPECT_EQ(s.turn_phase, CHOOSING_WHAT);
                EXPECT_EQ(s.selection[0], FRONT_LEFT_CELL);
                EXPECT_EQ(s.selection[1], NO_CELL);
                Click_At(Cell_Point(5));
            } else {
                Click_At(Cell_Point(4));
            }
        } else if (s.transition == TRANS_ATTACK && capture.empty()) {
            capture = {s.trans_var[0], s.trans_var[1]};
        } else if (!capture.empty() && s.transition == TRANS_NONE) {
            captured = true;
            return true;
        }
        return false;
    });
    EXPECT_EQ(placed, (std::vector<int>{1, 8}));
    EXPECT_EQ(capture, (std::vector<int>{5, 4}));
    ASSERT_TRUE(captured);
    EXPECT_GT(clicks_lost, 3 * FRAMES_PER_SECOND);
    EXPECT_EQ(Announcements(records), (std::vector<std::string>{"Fightin' time!"}));
    EXPECT_EQ(records.back().state.board, "s0 t1 s2 t2 t0^1 . s0 t1 s2");
    EXPECT_EQ(records.back().state.hand[STRIPES], "0 2 1");
    EXPECT_EQ(records.back().state.hand[SOLIDS], "1");
}

// A round won with the mouse alone: Solids' combo-3 piece in cell 4, taken
// with a click, captures cell 5 at another and reaches the full combo.
TEST(PointerTurns, ARoundIsWonByClicksAlone)
{
    const Options options = Position(PHASE_FIGHTING, "s0 s2 s1 s1 s0^3 t1 t0 t0 t1", "2", "2 1");
    const auto records = Play(options, [&](const Record &r) {
        const Snapshot &s = r.state;
        if (s.points[SOLIDS] == 1)
            return true;
        if (s.transition == TRANS_NONE && s.messages.empty() && s.game_turn == SOLIDS)
            Click_At(Cell_Point(s.turn_phase == CHOOSING_WHAT ? 4 : 5));
        return false;
    });
    const Snapshot &won = records.back().state;
    ASSERT_EQ(won.points[SOLIDS], 1) << "no round was won by the clicks";
    EXPECT_EQ(won.points[STRIPES], 0);
    EXPECT_EQ(won.board, ". . . . . . . . .") << "the next round is dealt afresh";
}

// At 5x in a 1300x1000 window the picture lies from (10, 20): the last window
// pixel of one virtual pixel and the first of the next fall on either side
// of the border of two neighbouring stones, and the bars take no click.
TEST(PointerTurns, AtFiveTimesInAWindowWithBarsThePointerIsExactAtTheBordersOfCells)
{
    Options options = Position(PHASE_PLACING, ". . . . . . . . .", "0 1 2", "0 1 2");
    options.setup = [setup = options.setup] {
        setup();
        hgeTesting::ResizeWindow(1300, 1000);
    };
    auto window = [](int virtual_pixel, int bar, int within) { return bar + 5 * virtual_pixel + within; };
    auto move = [=](int x, int y) { return [=] { hgeTesting::MovePointer(x, y); }; };
    auto click = [=](int x, int y) { return [=] { hgeTesting::ClickPointer(x, y); }; };
    // On the row of the middle cells' points (140), cell 3's stone ends with
    // virtual column 113 and the grout that begins cell 4 is column 114; on
    // the column of cell 4's point (128), cell 1's stone ends with row 132.
    const int row_140 = window(140, 20, 2), column_128 = window(128, 10, 2);
    Expect_Steps(options,
                 {{click(window(20, 10, 2), window(175, 20, 2)), 1, 0, 6},  // the first hand piece
                  {move(window(113, 10, 4), row_140), 1, 0, 3},
                  {move(window(114, 10, 0), row_140), 1, 0, 4},
                  {move(column_128, window(132, 20, 4)), 1, 0, 1},
                  {move(column_128, window(133, 20, 0)), 1, 0, 4},
                  {click(9, row_140), 1, 0, 4},    // the left bar: nothing
                  {click(10, row_140), 0, 0, 4},   // the picture's first column: off the board
                  {click(window(20, 10, 0), window(165, 20, 0)), 1, 0, 4},  // the hand piece's corner
                  {click(1290, row_140), 1, 0, 4},  // the right bar: nothing
                  {click(column_128, window(133, 20, 0)), 1, 0, 6, TRANS_PLACE}});
}
