// Placing and attacking by keyboard: each key in each step, the cursor
// limits, refused confirmations and what a confirmed move records.
#include <gtest/gtest.h>

#include "animation.h"
#include "board.h"
#include "match_play.h"
#include "turns.h"

using namespace match_test;

namespace {

Options Placing(const std::string &board, const std::string &solids_hand,
                const std::string &stripes_hand)
{
    Options options;
    options.first_side = SOLIDS;
    options.setup = [=] { Set_Position(board, solids_hand, stripes_hand); };
    return options;
}

// Solids to move in a fight: its piece in cell 4 (type 0) can take cell 5
// (type 1); cell 0 is a diagonal type 1, cell 1 a neighbour of type 2,
// cell 3 its own piece, cell 6 a Stripes piece and cell 7 empty.
Options Fighting(const std::string &board = "t1 t2 s2 s1 s0 t1 t0 . s2")
{
    Options options;
    options.first_side = SOLIDS;
    options.setup = [=] {
        Set_Position(board, "0 1", "0 2");
        game_phase = 1;
        Set_Selection(FIGHTING_CURSORS);
    };
    return options;
}

const int L = HGEK_LEFT, R = HGEK_RIGHT, U = HGEK_UP, D = HGEK_DOWN;
const int SPACE = HGEK_SPACE, BACK = HGEK_BACKSPACE;

}  // namespace

TEST(PlacingKeys, HandCursorStopsAtBothEndsAndIgnoresUpAndDown)
{
    Expect_Steps(Placing(". . . . . . . . .", "0 1 2", "0 0 1 1 2 2 0 1 2"),
                 {{L, 0, 0, 6},
                  {U, 0, 0, 6},
                  {D, 0, 0, 6},
                  {R, 0, 1, 6},
                  {R, 0, 2, 6},
                  {R, 0, 2, 6},   // no fourth piece
                  {BACK, 0, 2, 6},
                  {L, 0, 1, 6}});
}

TEST(PlacingKeys, CellCursorRunsAlongRowsButNeverLeavesTheBoard)
{
    Expect_Steps(Placing(". . . . . . . . .", "0 1 2", "0 0 1 1 2 2 0 1 2"),
                 {{SPACE, 1, 0, 6},
                  {U, 1, 0, 3}, {U, 1, 0, 0}, {U, 1, 0, 0},
                  {L, 1, 0, 0},
                  {R, 1, 0, 1}, {U, 1, 0, 1},
                  {R, 1, 0, 2}, {R, 1, 0, 3},  // from the end of a row to the next
                  {L, 1, 0, 2}, {L, 1, 0, 1},
                  {D, 1, 0, 4}, {D, 1, 0, 7}, {D, 1, 0, 7},
                  {R, 1, 0, 8}, {R, 1, 0, 8}, {D, 1, 0, 8}});
}

TEST(PlacingKeys, OccupiedCellIsRefusedAndBackspaceKeepsTheCellForTheNextSpace)
{
    Expect_Steps(Placing(". . . . . . t0 . .", "0 1 2", "0 1 1 2 2 0 1 2"),
                 {{SPACE, 1, 0, 6},
                  {SPACE, 1, 0, 6},  // cell 6 is taken: nothing happens
                  {R, 1, 0, 7},
                  {BACK, 0, 0, 7},
                  {R, 0, 1, 7},
                  {SPACE, 1, 1, 7},
                  {SPACE, 1, 0, 6, TRANS_PLACE}});
}

TEST(PlacingKeys, ConfirmedPlacingRecordsTheMoveAndResetsTheCursors)
{
    int trans_var_seen[2] = {-1, -1};
    const auto records = Play(Placing(". . . . . . . . .", "0 1 2", "0 0 1 1 2 2 0 1 2"),
                              [&](const Record &r) {
                                  if (r.frame.index == 0)
                                      Press({R, R, SPACE, U, R, SPACE});
                                  if (r.state.transition != 0) {
                                      trans_var_seen[0] = r.state.trans_var[0];
                                      trans_var_seen[1] = r.state.trans_var[1];
                                      return true;
                                  }
                                  return false;
                              });
    const Snapshot &s = records.back().state;
    EXPECT_EQ(records.back().frame.index, 6);  // one key per frame, the last confirms
    EXPECT_EQ(s.transition, TRANS_PLACE);
    EXPECT_EQ(trans_var_seen[0], 2);
    EXPECT_EQ(trans_var_seen[1], 4);
    EXPECT_EQ(s.selection[0], 0);
    EXPECT_EQ(s.selection[1], 6);
    EXPECT_EQ(s.turn_phase, 1);  // until the animation passes the turn
    // The handler itself moved nothing.
    EXPECT_EQ(s.board, ". . . . . . . . .");
    EXPECT_EQ(s.hand[SOLIDS], "0 1 2");
}

TEST(AttackKeys, StepZeroAcceptsOnlyAPieceOfTheSideToMoveAndStaysOnTheBoard)
{
    Expect_Steps(Fighting(),
                 {{SPACE, 0, 6, NO_CELL},  // a Stripes piece
                  {BACK, 0, 6, NO_CELL},
                  {D, 0, 6, NO_CELL},
                  {R, 0, 7, NO_CELL},
                  {SPACE, 0, 7, NO_CELL},  // an empty cell
                  {R, 0, 8, NO_CELL}, {R, 0, 8, NO_CELL}, {D, 0, 8, NO_CELL},
                  {U, 0, 5, NO_CELL}, {U, 0, 2, NO_CELL}, {U, 0, 2, NO_CELL},
                  {L, 0, 1, NO_CELL}, {L, 0, 0, NO_CELL}, {L, 0, 0, NO_CELL},
                  {D, 0, 3, NO_CELL},
                  {SPACE, 1, 3, 3}});  // its own piece: the target cursor starts on it
}

TEST(AttackKeys, TargetCheckRefusesOwnEmptyDiagonalAndUnbeatenPieces)
{
    Expect_Steps(Fighting(),
                 {{U, 0, 3, NO_CELL}, {R, 0, 4, NO_CELL},
                  {SPACE, 1, 4, 4},
                  {SPACE, 1, 4, 4},  // its own cell
                  {L, 1, 4, 3}, {SPACE, 1, 4, 3},  // its own piece
                  {R, 1, 4, 4}, {D, 1, 4, 7}, {SPACE, 1, 4, 7},  // an empty cell
                  {L, 1, 4, 6}, {SPACE, 1, 4, 6},  // a Stripes piece, but diagonal
                  {U, 1, 4, 3}, {U, 1, 4, 0}, {SPACE, 1, 4, 0},  // capturable type, diagonal
                  {R, 1, 4, 1}, {SPACE, 1, 4, 1},  // a neighbour of a type it cannot take
                  {U, 1, 4, 1},
                  {BACK, 0, 4, NO_CELL},
                  {BACK, 0, 4, NO_CELL},
                  {SPACE, 1, 4, 4},
                  {R, 1, 4, 5},
                  {SPACE, 1, FRONT_LEFT_CELL, NO_CELL, TRANS_ATTACK}});
}

TEST(AttackKeys, ConfirmedCaptureRecordsAttackerAndTarget)
{
    const auto records = Play(Fighting(), [](const Record &r) {
        if (r.frame.index == 0)
            Press(Keys_For({MOVE_CAPTURE, 4, 5}));
        return r.state.transition != 0;
    });
    const Snapshot &s = records.back().state;
    EXPECT_EQ(s.transition, TRANS_ATTACK);
    EXPECT_EQ(s.trans_var[0], 4);
    EXPECT_EQ(s.trans_var[1], 5);
    EXPECT_EQ(s.selection[0], FRONT_LEFT_CELL);
    EXPECT_EQ(s.selection[1], NO_CELL);
    EXPECT_EQ(s.board, "t1 t2 s2 s1 s0 t1 t0 . s2");
}

// Against the computer: its turn shows what moves, then where, each for
// about half a second, and plays it as the keys would; keys pressed and
// clicks made meanwhile belong to nobody. Then the person's turn takes keys
// again.
TEST(ComputerTurn, ShowsWhatThenWhereThenPlaysWhileThePersonsKeysWait)
{
    Options options;
    options.words = {"--computer", "stripes"};
    options.first_side = STRIPES;
    bool person_moved = false;
    const auto records = Play(options, [&](const Record &r) {
        // Space in every other frame, a click in each frame between.
        if (r.frame.index == 0) {
            for (int i = 0; i < FRAMES_PER_SECOND; ++i)
                Press({HGEK_SPACE, 0});
        }
        if (r.state.game_turn == STRIPES && r.frame.index % 2)
            Click_At(r.frame.index % 4 == 1 ? Hand_Point(5) : Cell_Point(0));
        if (r.state.game_turn == SOLIDS && Awaiting_Move())
            Press(Keys_For({MOVE_PLACE, 0, 4}));
        person_moved = r.state.transition == TRANS_PLACE && r.state.game_turn == SOLIDS;
        return person_moved;
    });
    ASSERT_TRUE(person_moved);

    const Record &chosen = records[0];
    const int what = chosen.state.selection[0];
    EXPECT_EQ(chosen.state.turn_phase, CHOOSING_WHAT);
    ASSERT_EQ(chosen.frame.screen.markers.size(), 1u);
    EXPECT_TRUE(chosen.frame.screen.markers[0].hand);
    EXPECT_EQ(chosen.frame.screen.markers[0].x, HAND_X + HAND_SPACING * what);

    const int where_at = Find(records, [](const Record &r) { return r.state.turn_phase == 1; });
    ASSERT_GT(where_at, 0);
    const Record &where = records[where_at];
    const int cell = where.state.selection[1];
    EXPECT_EQ(where.state.selection[0], what);
    EXPECT_NEAR(where.frame.time - chosen.frame.time, 0.5, FRAME_STEP);
    ASSERT_EQ(where.frame.screen.markers.size(), 2u);
    EXPECT_EQ(where.frame.screen.markers[1].x, board_x[cell]);
    EXPECT_EQ(where.frame.screen.markers[1].y, board_y[cell]);

    const int played_at = Find(records, [](const Record &r) { return r.state.transition != 0; });
    ASSERT_GT(played_at, where_at);
    const Record &played = records[played_at];
    EXPECT_NEAR(played.frame.time - where.frame.time, 0.5, FRAME_STEP);
    EXPECT_EQ(played.state.game_turn, STRIPES);
    EXPECT_EQ(played.state.trans_var[0], what);
    EXPECT_EQ(played.state.trans_var[1], cell);
}
