// The computer side: it takes a win it can see, does not give one away, and
// over random play always names a legal move of the real board; and the
// compact rules it searches with follow the real board step for step.
#include <algorithm>
#include <random>
#include <set>
#include <utility>

#include "computer.h"
#include "match_play.h"
#include "rules_fixture.h"
#include "soak_watch.h"

// A failing comparison shows the position cell by cell and hand by hand.
void PrintTo(const Round_State &state, std::ostream *out)
{
    *out << "{cells";
    for (int code : state.cell)
        *out << ' ' << code;
    for (int side = 0; side < SIDES; ++side) {
        *out << "; hand " << side << ':';
        for (int count : state.hand[side])
            *out << ' ' << count;
    }
    *out << "; turn " << int{state.turn} << ", phase " << int{state.phase} << ", winner "
         << int{state.winner} << "}";
}

namespace {

using Move_Set = std::set<std::pair<int, int>>;

class ComputerTest : public RulesTest {
protected:
    void SetUp() override
    {
        RulesTest::SetUp();
        hgeTesting::SetSeed(5);
        New_Players();
        computer_level = LEVEL_HARD;
    }

    // The tests' own reading of the capture rule, for the side to move.
    static bool Real_Capture(int attacker, int target)
    {
        return soak::Capturable(attacker, target, game_turn);
    }

    static bool Real_Legal(Computer_Choice choice)
    {
        if (game_phase != 0)
            return Real_Capture(choice.from, choice.to);
        return choice.from >= 0 && choice.from < opponent[game_turn]->Get_HandSize() &&
               choice.to >= 0 && choice.to < BOARD_CELLS && !board_array[choice.to];
    }

    // Every move the real board allows the side to move, as hand kind (placing) or cell, and cell.
    static Move_Set Real_Moves()
    {
        Move_Set moves;
        for (int from = 0; from < BOARD_CELLS; ++from)
            for (int to = 0; to < BOARD_CELLS; ++to)
                if (game_phase != 0 && Real_Capture(from, to))
                    moves.insert({from, to});
        for (int i = 0; game_phase == 0 && i < opponent[game_turn]->Get_HandSize(); ++i)
            for (int to = 0; to < BOARD_CELLS; ++to)
                if (!board_array[to])
                    moves.insert({Kind_In_Hand(i), to});
        return moves;
    }

    static int Kind_In_Hand(int position)
    {
        const Piece *piece = opponent[game_turn]->Get_Piece(position);
        return Hand_Kind(piece->Get_Type(), piece->Get_Combo());
    }

    // The same move on the compact position: a placing names the kind of
    // the hand piece.
    static Round_Move Compact_Move(Computer_Choice choice)
    {
        const int from = game_phase == 0 ? Kind_In_Hand(choice.from) : choice.from;
        return {static_cast<int8_t>(from), static_cast<int8_t>(choice.to)};
    }

    static Move_Set Compact_Moves(const Round_State &state)
    {
        Round_Move moves[ROUND_MAX_MOVES];
        const int count = Round_Moves(state, moves);
        Move_Set set;
        for (int i = 0; i < count; ++i)
            set.insert({moves[i].from, moves[i].to});
        return set;
    }

    // A move as the match carries it out: the placing or the two steps of
    // the capture, then the turn passes.
    static void Real_Play(Computer_Choice choice)
    {
        if (game_phase == 0) {
            const Piece *piece = opponent[game_turn]->Get_Piece(choice.from);
            board_array[choice.to] = new Piece(piece->Get_Type(), piece->Get_Owner(),
                                               piece->Get_Combo(), board_z[choice.to]);
            opponent[game_turn]->Delete_Piece(choice.from);
        } else {
            Capture_Take(choice.to);
            Capture_Advance(choice.from, choice.to);
        }
        Switch_Turn();
    }

    struct Win {
        int side = -1;
        int kind = 0;
    };

    // The match's round logic between two moves, logic frame by logic frame:
    // one step of placing or fighting, then the winner check of Solids and
    // Stripes. Stops where the side to move must choose, or at a win.
    static Win Real_Flow()
    {
        for (;;) {
            bool stepped = true;
            if (game_phase == 0) {
                if (Check_Full())
                    game_phase = 1;
                else if (opponent[game_turn]->Get_HandSize() == 0)
                    Switch_Turn();
                else
                    stepped = false;
            } else if (!Check_Attack(SOLIDS) && !Check_Attack(STRIPES)) {
                if (Check_Full()) {
                    Return_Pieces();
                    Switch_Turn();
                }
                game_phase = 0;
            } else if (!Check_Attack(game_turn)) {
                Switch_Turn();
            } else {
                stepped = false;
            }
            Win win;
            for (int side = SOLIDS; side < SIDES; ++side) {
                const int kind = Check_Winner(side);
                if (kind != 0 && win.side < 0)
                    win = {side, kind};
            }
            if (win.side >= 0 || !stepped)
                return win;
        }
    }
};

TEST_F(ComputerTest, TakesAWinningCaptureAtEveryLevel)
{
    // Solids to capture; 8 takes 5 at full combo, 0 could take the combo-2 piece in 1.
    match_test::Set_Position("s1 t2^2 t0"
                             " t0 t1   t1"
                             " t2 t0   s0^3",
                             "1 2 2", "");
    game_phase = 1;
    game_turn = SOLIDS;
    for (int level : {LEVEL_EASY, LEVEL_MEDIUM, LEVEL_HARD}) {
        computer_level = level;
        // Easy moves at random more often than not: ask it many times.
        for (int ask = 0; ask < 20; ++ask) {
            const Computer_Choice choice = Computer_Move(SOLIDS);
            EXPECT_EQ(std::make_pair(choice.from, choice.to), std::make_pair(8, 5))
                << "level " << level;
        }
    }
}

TEST_F(ComputerTest, MediumAndHardDoNotPlaceWhereTheOtherSideWinsAtOnce)
{
    // Solids to place the last piece, type 1 or 2. A type 1 in cell 8 fills
    // the board and Stripes, who fights first, takes it with the combo-3
    // piece; a type 2 is safe there.
    match_test::Set_Position("s0 t0 t1"
                             " t0 t1 t0^3"
                             " t2 t2 .",
                             "1 2", "1 2");
    game_turn = SOLIDS;
    for (int level : {LEVEL_MEDIUM, LEVEL_HARD}) {
        computer_level = level;
        for (int ask = 0; ask < 5; ++ask) {
            const Computer_Choice choice = Computer_Move(SOLIDS);
            EXPECT_EQ(std::make_pair(choice.from, choice.to), std::make_pair(1, 8))
                << "level " << level;
        }
    }
}

// Random rounds played on the real board. Before every move the compact
// position must offer exactly the real moves, and the computer (every level)
// must name one of them without touching the game; after it, the compact
// rules must reach the same position, or the same win, as the real flow.
TEST_F(ComputerTest, ChoosesRealMovesAndFollowsTheRealRulesOverRandomRounds)
{
    std::mt19937 random(2024);
    Reset_Match();
    game_turn = SOLIDS;
    int wins[3] = {0, 0, 0}, returns = 0, decisions = 0;
    for (int round = 0; round < 60; ++round) {
        Win win;
        for (int move = 0; move < 500 && win.side < 0; ++move, ++decisions) {
            const Round_State before = Round_From_Game(game_turn);
            ASSERT_EQ(before.turn, game_turn);
            ASSERT_EQ(before.phase, game_phase);
            const Move_Set real_moves = Real_Moves();
            ASSERT_FALSE(real_moves.empty());
            ASSERT_EQ(Compact_Moves(before), real_moves) << "round " << round << ", move " << move;

            computer_level = decisions % 8 == 0   ? LEVEL_HARD
                             : decisions % 8 == 4 ? LEVEL_MEDIUM
                                                  : LEVEL_EASY;
            const std::vector<Kind> hand = Hand(game_turn);
            const Computer_Choice choice = Computer_Move(game_turn);
            EXPECT_TRUE(Real_Legal(choice)) << "level " << computer_level << " chose "
                                            << choice.from << " to " << choice.to;
            EXPECT_EQ(Round_From_Game(game_turn), before);
            EXPECT_EQ(Hand(game_turn), hand);

            // The next move at random, by hand position as a player picks it.
            std::vector<Computer_Choice> choices;
            for (int from = 0; from < MATCH_PIECES; ++from)
                for (int to = 0; to < BOARD_CELLS; ++to)
                    if (Real_Legal({from, to}))
                        choices.push_back({from, to});
            const Computer_Choice pick = choices[random() % choices.size()];
            Round_State compact = before;
            Round_Play(compact, Compact_Move(pick));
            Real_Play(pick);
            const bool filled = Check_Full();
            win = Real_Flow();
            returns += filled && win.side < 0 && Pieces_On_Board() == 0;
            ASSERT_EQ(compact.winner, win.side) << "round " << round << ", move " << move;
            if (win.side >= 0)
                EXPECT_EQ(compact.win_kind, win.kind);
            else
                ASSERT_EQ(compact, Round_From_Game(game_turn)) << "round " << round << ", move " << move;
        }
        ASSERT_GE(win.side, 0) << "round " << round << " never ended";
        ++wins[win.kind];
    }
    // The rounds went through every kind of ending the rules have.
    EXPECT_GT(wins[1], 0);
    EXPECT_GT(wins[2], 0);
    EXPECT_GT(returns, 0);
}

// A cycle of stand-offs can bring a round back where it was. Told that
// every placing but one leads where it has been, the hard computer takes
// that one when it stands to gain by moving on: here Stripes, who answers
// Solids' first piece and so will fight first.
TEST(ComputerMemory, HardLeavesPositionsItHasSeenAlone)
{
    Round_State answer = Round_Deal(SOLIDS);
    Round_Play(answer, {static_cast<int8_t>(Hand_Kind(0, 0)), 4});
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(answer, moves);
    const Computer_Random first = [](int min, int) { return min; };
    for (int fresh = 0; fresh < count; fresh += 3) {
        Computer_Memory memory;
        memory.combo_total = 0;
        for (int i = 0; i < count; ++i) {
            Round_State after = answer;
            Round_Play(after, moves[i]);
            if (i != fresh)
                memory.seen[memory.count++] = Round_Hash(after);
        }
        EXPECT_EQ(Computer_Think(answer, LEVEL_HARD, first, memory), moves[fresh])
            << "only placing " << int{moves[fresh].from} << " to " << int{moves[fresh].to}
            << " is new";
    }
}

}  // namespace
