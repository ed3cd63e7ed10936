// The computer side: it takes a win it can see, does not give one away, and
// over random play always names a legal move of the real board; and the
// rules it searches with, which the relay and the recordings play by,
// follow the real match step for step.
#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "computer.h"
#include "match_play.h"
#include "message.h"
#include "rules_fixture.h"
#include "turns.h"

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

class ComputerTest : public RulesTest {
protected:
    void SetUp() override
    {
        RulesTest::SetUp();
        hgeTesting::SetSeed(5);
        New_Players();
        computer_level = LEVEL_HARD;
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
            const Move choice = Computer_Move(SOLIDS);
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
            const Move choice = Computer_Move(SOLIDS);
            EXPECT_EQ(std::make_pair(choice.from, choice.to), std::make_pair(1, 8))
                << "level " << level;
        }
    }
}

// What two positions must share: the board, both hands in their order, the
// points, the side to move and the phase.
static bool Same_Position(const Match_State &a, const Match_State &b)
{
    return a.round == b.round && a.order == b.order && a.points[SOLIDS] == b.points[SOLIDS] &&
           a.points[STRIPES] == b.points[STRIPES];
}

using Move_Set = std::set<std::tuple<int, int, int>>;

static Move_Set Rules_Moves(const Match_State &match)
{
    Move moves[MATCH_MAX_MOVES];
    const int count = Match_Moves(match, moves);
    Move_Set set;
    for (int i = 0; i < count; ++i)
        set.insert({moves[i].kind, moves[i].from, moves[i].to});
    return set;
}

// Every move of either kind that the match's own board allows now.
static Move_Set Board_Moves()
{
    Move_Set set;
    for (Move_Kind kind : {MOVE_PLACE, MOVE_CAPTURE})
        for (int from = -1; from <= MATCH_PIECES; ++from)
            for (int to = -1; to <= BOARD_CELLS; ++to)
                if (Move_Allowed({kind, from, to}))
                    set.insert({kind, from, to});
    return set;
}

// Random rounds of the real match, frame by frame through its own flow and
// win check, every move played through the one entry that keys, the pointer
// and the computer use, and beside it through the rules. At every turn both
// must offer the same moves and hold the same position, points and side to
// move (so the same passes, stand-offs, wins and next first sides); the
// computer, at every level, names one of those moves and changes nothing.
TEST(RulesAgainstTheMatch, SameMovesAndPositionsOverRandomRounds)
{
    constexpr int ROUNDS = 60;
    constexpr int MAX_MOVES = 4000;
    std::mt19937 random(2024);
    Match_State rules = Match_Start(SOLIDS);
    int moves = 0, winner_begins = 0;
    std::map<std::string, int> announced;
    bool bag_was_empty = true;
    match_test::Options options;
    options.first_side = SOLIDS;
    // A second a frame: one step of a move, or one second of a message.
    options.step = 1.0f;
    options.max_seconds = 100000;
    match_test::Run_Match(options, [&](const match_test::Frame &) {
        if (bag_was_empty)
            for (const Message *message : message_bag)
                ++announced[message->Get_Text()];
        bag_was_empty = message_bag.empty();
        if (!match_test::Awaiting_Move())
            return false;
        const Match_State game = Game_Position();
        if (!Same_Position(game, rules)) {
            ADD_FAILURE() << "after move " << moves << " the match and the rules differ: "
                          << testing::PrintToString(game.round) << " against "
                          << testing::PrintToString(rules.round);
            return true;
        }
        const Move_Set allowed = Rules_Moves(rules);
        if (Board_Moves() != allowed) {
            ADD_FAILURE() << "after move " << moves << " they allow different moves";
            return true;
        }
        if (moves % 4 == 0) {
            computer_level = moves % 12 == 0 ? LEVEL_HARD : moves % 12 == 4 ? LEVEL_MEDIUM : LEVEL_EASY;
            const Move choice = Computer_Move(game_turn);
            EXPECT_TRUE(allowed.count({choice.kind, choice.from, choice.to}))
                << "level " << computer_level << " chose " << choice.from << " to " << choice.to;
            EXPECT_TRUE(Same_Position(Game_Position(), game)) << "the computer changed the game";
        }
        auto pick = allowed.begin();
        std::advance(pick, random() % allowed.size());
        const Move move{static_cast<Move_Kind>(std::get<0>(*pick)), std::get<1>(*pick),
                        std::get<2>(*pick)};
        EXPECT_TRUE(Play_Move(move));
        EXPECT_EQ(Match_Play(rules, move), MOVE_LEGAL);
        winner_begins += rules.last_winner != NO_WINNER && rules.round.turn == rules.last_winner;
        ++moves;
        return rules.rounds_won >= ROUNDS || moves >= MAX_MOVES;
    });
    EXPECT_EQ(rules.rounds_won, ROUNDS) << "in " << moves << " moves";
    // The rounds went through every turn of the flow the rules have.
    for (const char *text : {"Fightin' time!", "Stand-off!", "Player can't attack.",
                             "Player has nothing left!"})
        EXPECT_GT(announced[text], 0) << text;
    EXPECT_GT(announced["Solids with full combo!"] + announced["Stripes with full combo!"], 0);
    EXPECT_GT(announced["Solids with all pieces!"] + announced["Stripes with all pieces!"], 0);
    EXPECT_GT(winner_begins, 0) << "no round where the winner began the next";
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
