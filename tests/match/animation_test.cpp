// The move animations second by second: what changes on the board and in
// the hands at each step, and what each picture shows.
#include <gtest/gtest.h>

#include "animation.h"
#include "board.h"
#include "match_play.h"
#include "turns.h"

using namespace match_test;

namespace {

Options Position(const std::string &board, const std::string &solids_hand,
                 const std::string &stripes_hand, int game_phase_to_set)
{
    Options options;
    options.first_side = SOLIDS;
    options.setup = [=] {
        Set_Position(board, solids_hand, stripes_hand);
        game_phase = game_phase_to_set;
        if (game_phase_to_set == 1)
            Set_Selection(FIGHTING_CURSORS);
    };
    return options;
}

// Plays one move from the first frame and records until the frame after it has ended.
std::vector<Record> Animate(const Options &options, const Move &move)
{
    bool started = false;
    return Play(options, [&](const Record &r) {
        if (r.frame.index == 0)
            Press(Keys_For(move));
        EXPECT_EQ(r.state.pieces, 12) << "frame " << r.frame.index;
        if (r.state.transition != 0)
            started = true;
        return started && r.state.transition == 0;
    });
}

int First_Animated(const std::vector<Record> &records)
{
    return Find(records, [](const Record &r) { return r.state.transition != 0; });
}

// Board pieces drawn, as (cell, owner, type, combo), in drawing order.
std::vector<std::string> Board_Pictures(const Screen &screen)
{
    std::vector<std::string> drawn;
    for (const Seen_Piece &p : screen.pieces)
        for (int cell = 0; cell < BOARD_CELLS; ++cell)
            if (p.x == board_x[cell] && p.y == board_y[cell])
                drawn.push_back(std::to_string(cell) + (p.owner == SOLIDS ? "s" : "t") +
                                std::to_string(p.type) +
                                (p.combo ? "^" + std::to_string(p.combo) : ""));
    return drawn;
}

using Pictures = std::vector<std::string>;

}  // namespace

TEST(PlacingAnimation, ShowsThePieceAloneForASecondThenInItsCellThenPassesTheTurn)
{
    // The piece at hand position 3 of five (type 1) goes to cell 7.
    const auto records = Animate(Position("s0 t0 t1 . . . . . .", "0 1 2 1 2", "0 1 2 2", 0),
                                 {MOVE_PLACE, 3, 7});
    const int t0 = First_Animated(records);
    ASSERT_GT(t0, 0);
    const int second = FRAMES_PER_SECOND;
    ASSERT_EQ(static_cast<int>(records.size()), t0 + 2 * second + 1);

    for (int i = t0; i < t0 + second; ++i) {
        const Record &r = records[i];
        SCOPED_TRACE("frame " + std::to_string(i - t0) + " of the placing");
        EXPECT_EQ(r.state.trans_phase, 1);
        EXPECT_EQ(r.state.board, "s0 t0 t1 . . . . . .");
        EXPECT_EQ(r.state.hand[SOLIDS], "0 1 2 1 2");
        EXPECT_EQ(Board_Pictures(r.frame.screen), (Pictures{"0s0", "1t0", "2t1"}));
        // The chosen piece alone, where the first hand piece stands.
        const auto hand = r.frame.screen.In_Hand_Row();
        ASSERT_EQ(hand.size(), 1u);
        EXPECT_EQ(hand[0].x, 20);
        EXPECT_EQ(hand[0].type, 1);
        EXPECT_EQ(hand[0].owner, SOLIDS);
        EXPECT_EQ(r.frame.screen.pieces.size(), 4u);
        EXPECT_TRUE(r.frame.screen.markers.empty());
        EXPECT_TRUE(r.frame.screen.scores.empty());
    }
    for (int i = t0 + second; i < t0 + 2 * second; ++i) {
        const Record &r = records[i];
        SCOPED_TRACE("frame " + std::to_string(i - t0) + " of the placing");
        EXPECT_EQ(r.state.trans_phase, 3);
        EXPECT_EQ(r.state.board, "s0 t0 t1 . . . . s1 .");
        EXPECT_EQ(r.state.hand[SOLIDS], "0 1 2 2");  // the former position 4 is now 3
        // The new piece is drawn a second time, over its neighbours.
        EXPECT_EQ(Board_Pictures(r.frame.screen), (Pictures{"0s0", "1t0", "2t1", "7s1", "7s1"}));
        EXPECT_TRUE(r.frame.screen.In_Hand_Row().empty());
        EXPECT_FLOAT_EQ(r.frame.screen.At_Cell(7)[0].z, 0.2f);
    }
    const Record &end = records.back();
    EXPECT_EQ(end.state.transition, 0);
    EXPECT_EQ(end.state.game_turn, STRIPES);
    EXPECT_EQ(end.state.turn_phase, 0);
    EXPECT_EQ(end.state.trans_phase, 0);
    // The resting picture of Stripes' turn: the board and its hand of four.
    EXPECT_EQ(Board_Pictures(end.frame.screen), (Pictures{"0s0", "1t0", "2t1", "7s1"}));
    EXPECT_EQ(end.frame.screen.In_Hand_Row().size(), 4u);
    EXPECT_EQ(end.frame.screen.scores.size(), 2u);
}

TEST(CaptureAnimation, ShowsOnlyThePiecesInvolvedTakesThenAdvancesThenPassesTheTurn)
{
    // A combo-1 Solids piece of type 0 in cell 4 takes a combo-2 Stripes piece of type 1 in cell 5.
    const auto records =
        Animate(Position("t1 t2 s2 s1 s0^1 t1^2 t0 . s2", "0 1", "0 2", 1), {MOVE_CAPTURE, 4, 5});
    const int t0 = First_Animated(records);
    ASSERT_GT(t0, 0);
    const int second = FRAMES_PER_SECOND;
    ASSERT_EQ(static_cast<int>(records.size()), t0 + 3 * second + 1);

    const struct {
        int trans_phase;
        const char *board;
        const char *solids_hand;
        Pictures drawn;
    } course[] = {
        {1, "t1 t2 s2 s1 s0^1 t1^2 t0 . s2", "0 1",     {"4s0^1", "5t1^2"}},
        {3, "t1 t2 s2 s1 s0^1 . t0 . s2",    "0 1 1^2", {"4s0^1"}},
        {5, "t1 t2 s2 s1 . s0^2 t0 . s2",    "0 1 1^2", {"5s0^2"}},
    };
    for (int step = 0; step < 3; ++step) {
        for (int i = t0 + step * second; i < t0 + (step + 1) * second; ++i) {
            const Record &r = records[i];
            SCOPED_TRACE("frame " + std::to_string(i - t0) + " of the capture");
            EXPECT_EQ(r.state.trans_phase, course[step].trans_phase);
            EXPECT_EQ(r.state.board, course[step].board);
            EXPECT_EQ(r.state.hand[SOLIDS], course[step].solids_hand);
            EXPECT_EQ(Board_Pictures(r.frame.screen), course[step].drawn);
            EXPECT_EQ(r.frame.screen.pieces.size(), course[step].drawn.size());
            EXPECT_TRUE(r.frame.screen.markers.empty());
            EXPECT_TRUE(r.frame.screen.scores.empty());
        }
    }
    // The capturing piece stands in the row of cell 5, at its depth.
    EXPECT_FLOAT_EQ(records[t0 + 2 * second].frame.screen.pieces[0].z, 0.3f);

    const Record &end = records.back();
    EXPECT_EQ(end.state.game_turn, STRIPES);
    EXPECT_EQ(end.state.turn_phase, 0);
    EXPECT_EQ(Board_Pictures(end.frame.screen),
              (Pictures{"0t1", "1t2", "2s2", "3s1", "5s0^2", "6t0", "8s2"}));
    EXPECT_EQ(end.frame.screen.In_Hand_Row().size(), 2u);  // Stripes' hand
}

TEST(CaptureAnimation, FullComboPieceShowsForAboutASecondBeforeTheWinIsAnnounced)
{
    Options options = Position("s0 s2 s1 s2 s0^3 t1 t0 t0 t1", "2", "2 1", 1);
    int first_seen = -1;
    const auto records = Play(options, [&](const Record &r) {
        if (r.frame.index == 0)
            Press(Keys_For({MOVE_CAPTURE, 4, 5}));
        EXPECT_EQ(r.state.pieces, 12) << "frame " << r.frame.index;
        for (const Seen_Piece &p : r.frame.screen.pieces)
            if (p.combo == 4 && first_seen < 0)
                first_seen = r.frame.index;
        return r.state.points[SOLIDS] == 1;
    });
    ASSERT_GE(first_seen, 0);
    const Record &win = records.back();
    EXPECT_EQ(win.state.messages,
              (std::vector<std::string>{"Player can't attack.", "Solids with full combo!"}));
    // Shown from the advance through the frame the animation ends.
    EXPECT_EQ(win.frame.index - first_seen, FRAMES_PER_SECOND + 1);
    const Record &shown = records[first_seen];
    ASSERT_EQ(shown.frame.screen.pieces.size(), 1u);
    EXPECT_EQ(shown.frame.screen.pieces[0].x, board_x[5]);
    EXPECT_EQ(shown.frame.screen.pieces[0].owner, SOLIDS);
    // The new deal shows no combo mark.
    for (const Seen_Piece &p : win.frame.screen.pieces)
        EXPECT_EQ(p.combo, 0);
}
