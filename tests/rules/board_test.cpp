// The rules of the board: neighbours, captures, wins, deals and returns, and
// the twelve pieces that every round keeps.
#include <cstdlib>
#include <tuple>

#include "rules_fixture.h"

TEST_F(RulesTest, CellsTouchOnlyAcrossAnEdge)
{
    EXPECT_TRUE(Check_Surround(4, 1));
    EXPECT_TRUE(Check_Surround(4, 5));
    EXPECT_TRUE(Check_Surround(4, 7));
    EXPECT_TRUE(Check_Surround(4, 3));
    EXPECT_FALSE(Check_Surround(4, 0));  // diagonal
    EXPECT_FALSE(Check_Surround(2, 3));  // end of one row, start of the next
    EXPECT_FALSE(Check_Surround(4, 4));

    for (int a = 0; a < BOARD_CELLS; ++a) {
        for (int b = 0; b < BOARD_CELLS; ++b) {
            const int rows_apart = std::abs(a / 3 - b / 3), columns_apart = std::abs(a % 3 - b % 3);
            EXPECT_EQ(Check_Surround(a, b), rows_apart + columns_apart == 1)
                << "cells " << a << " and " << b;
        }
        // A missing neighbour is stored as "no cell"; it must not count as one.
        EXPECT_FALSE(Check_Surround(a, NO_CELL)) << "cell " << a;
        EXPECT_FALSE(Check_Surround(NO_CELL, a)) << "cell " << a;
        EXPECT_FALSE(Check_Surround(a, -1)) << "cell " << a;
    }
}

TEST_F(RulesTest, CaptureNeedsAnOrthogonalEnemyOfTheTypeThatBeatsIt)
{
    // Type 0 takes type 1, but not across a diagonal.
    Put(4, 0, SOLIDS);
    Put(8, 1, STRIPES);
    EXPECT_FALSE(Check_Attack(SOLIDS));
    EXPECT_FALSE(Check_Attack(STRIPES));
    Erase_Board(8);
    Put(5, 1, STRIPES, 3);
    EXPECT_TRUE(Check_Attack(SOLIDS));
    EXPECT_FALSE(Check_Attack(STRIPES));

    // Every edge of cell 4 counts: above, right, below and left.
    for (int neighbour : {1, 5, 7, 3}) {
        Erase_Board(NO_CELL);
        Put(4, 0, SOLIDS);
        Put(neighbour, 1, STRIPES);
        EXPECT_TRUE(Check_Attack(SOLIDS)) << "target in cell " << neighbour;
    }

    // The cycle closes: type 2 takes type 0, and type 1 takes type 2.
    Erase_Board(NO_CELL);
    Put(4, 0, SOLIDS, 3);
    Put(1, 2, STRIPES);
    EXPECT_FALSE(Check_Attack(SOLIDS));
    EXPECT_TRUE(Check_Attack(STRIPES));
    Put(2, 1, SOLIDS);
    EXPECT_TRUE(Check_Attack(SOLIDS));

    // A side never takes its own pieces.
    Erase_Board(NO_CELL);
    Put(4, 0, SOLIDS);
    Put(5, 1, SOLIDS);
    EXPECT_FALSE(Check_Attack(SOLIDS));
}

TEST_F(RulesTest, FullBoardWhereEveryMeetingIsOfOneTypeHasNoCapture)
{
    New_Players();
    // Solids hold the left column; each Stripes piece beside one has its type.
    const int types[BOARD_CELLS] = {0, 0, 0, 1, 1, 1, 2, 2, 2};
    for (int cell = 0; cell < BOARD_CELLS; ++cell)
        Put(cell, types[cell], cell % 3 == 0 ? SOLIDS : STRIPES);
    Give(SOLIDS, {0, 1, 2});
    ASSERT_EQ(Count_Pieces(), MATCH_PIECES);
    EXPECT_TRUE(Check_Full());
    EXPECT_FALSE(Check_Attack(SOLIDS));
    EXPECT_FALSE(Check_Attack(STRIPES));

    // A type-2 Solids piece in cell 3 falls to the type-1 Stripes piece in cell 4.
    Erase_Board(3);
    EXPECT_FALSE(Check_Full());
    Put(3, 2, SOLIDS);
    EXPECT_FALSE(Check_Attack(SOLIDS));
    EXPECT_TRUE(Check_Attack(STRIPES));
}

TEST_F(RulesTest, CaptureTakesThenAdvancesKeepingTwelvePieces)
{
    New_Players();
    // Stripes' type-2 piece in cell 3 has taken once; cell 4 holds a type-0 Solids piece.
    Put(3, 2, STRIPES, 1);
    Put(4, 0, SOLIDS, 3);
    Give(SOLIDS, {1, 1, 2, 2});
    Put(7, 0, SOLIDS);
    Put(8, 2, STRIPES);
    Give(STRIPES, {0, 0, 1, 1});
    ASSERT_EQ(Count_Pieces(), MATCH_PIECES);
    game_turn = STRIPES;
    turn_phase = 1;

    Capture_Take(4);
    EXPECT_EQ(Cell(4), (Kind{-1, -1, -1}));
    EXPECT_EQ(Cell(3), (Kind{2, STRIPES, 1}));
    EXPECT_EQ(Hand(STRIPES).back(), (Kind{0, STRIPES, 3}));
    EXPECT_EQ(Hand(SOLIDS).size(), 4u);
    EXPECT_EQ(Count_Pieces(), MATCH_PIECES);
    const int last = opponent[1]->Get_HandSize() - 1;
    const std::vector<hgeQuad> taken = Drawn([&] { opponent[1]->Get_Piece(last)->Draw_Piece(0, 0); });
    ASSERT_FALSE(taken.empty());
    EXPECT_FLOAT_EQ(Depth(taken[0]), 0.1f);
    EXPECT_EQ(Texels(taken[0]), (Box{0, 20, 12, 20}));

    Capture_Advance(3, 4);
    EXPECT_EQ(Cell(3), (Kind{-1, -1, -1}));
    EXPECT_EQ(Cell(4), (Kind{2, STRIPES, 2}));
    EXPECT_EQ(Count_Pieces(), MATCH_PIECES);
    const std::vector<hgeQuad> advanced = Drawn([] { board_array[4]->Draw_Piece(128, 140); });
    ASSERT_EQ(advanced.size(), 2u);
    EXPECT_FLOAT_EQ(Depth(advanced[0]), 0.3f);
    EXPECT_EQ(Texels(advanced[1]), (Box{10, 0, 10, 3}));

    // The steps leave the turn to the animation that calls them.
    EXPECT_EQ(game_turn, STRIPES);
    EXPECT_EQ(turn_phase, 1);

    // Forward into the front row: the piece takes the depth of its new row.
    Capture_Take(7);
    Capture_Advance(4, 7);
    EXPECT_EQ(Cell(4), (Kind{-1, -1, -1}));
    EXPECT_EQ(Cell(7), (Kind{2, STRIPES, 3}));
    EXPECT_EQ(Hand(STRIPES).back(), (Kind{0, STRIPES, 0}));
    EXPECT_EQ(Count_Pieces(), MATCH_PIECES);
    EXPECT_FLOAT_EQ(Depth(Drawn([] { board_array[7]->Draw_Piece(119, 149); })[0]), 0.2f);
}

TEST_F(RulesTest, CaptureStepsOnCellsThatDoNotFitDoNothing)
{
    New_Players();
    Reset_Match();
    Put(3, 2, STRIPES, 1);
    opponent[1]->Delete_Piece(5);
    Put(4, 0, SOLIDS);
    opponent[0]->Delete_Piece(0);
    game_turn = STRIPES;

    // Advancing before the take would build over the target and lose it.
    Capture_Advance(3, 4);
    Capture_Advance(3, 3);
    Capture_Take(5);
    Capture_Take(NO_CELL);
    Capture_Advance(5, 4);
    Capture_Advance(3, NO_CELL);
    EXPECT_EQ(Cell(3), (Kind{2, STRIPES, 1}));
    EXPECT_EQ(Cell(4), (Kind{0, SOLIDS, 0}));
    EXPECT_EQ(Count_Pieces(), MATCH_PIECES);
}

TEST_F(RulesTest, FullComboWinsScoresAndDealsAtOnce)
{
    New_Players();
    Put(4, 1, SOLIDS, FULL_COMBO);
    Put(0, 2, STRIPES, 2);
    Put(5, 0, SOLIDS);
    Give(SOLIDS, {0, 1, 2});
    Give(STRIPES, {0, 0, 1, 1, 2, 2});
    ASSERT_EQ(Count_Pieces(), MATCH_PIECES);
    game_phase = 1;
    game_turn = STRIPES;
    turn_phase = 1;

    // The combo-4 piece is not Stripes'.
    EXPECT_EQ(Check_Winner(STRIPES), 0);
    EXPECT_EQ(Cell(4), (Kind{1, SOLIDS, FULL_COMBO}));

    EXPECT_EQ(Check_Winner(SOLIDS), 1);
    EXPECT_EQ(opponent[0]->Get_Points(), 1);
    EXPECT_EQ(opponent[1]->Get_Points(), 0);
    EXPECT_EQ(Pieces_On_Board(), 0);
    const std::vector<Kind> dealt = {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 0, 0}};
    EXPECT_EQ(Hand(SOLIDS), dealt);
    EXPECT_EQ(Hand(STRIPES).size(), 6u);
    EXPECT_EQ(game_phase, 0);
    EXPECT_EQ(game_turn, STRIPES);
    EXPECT_EQ(turn_phase, 1);

    // The next call sees the fresh deal.
    EXPECT_EQ(Check_Winner(SOLIDS), 0);
    EXPECT_EQ(Check_Winner(STRIPES), 0);
    EXPECT_EQ(opponent[0]->Get_Points(), 1);
}

TEST_F(RulesTest, HoldingAllTwelvePiecesWinsButElevenDoNot)
{
    New_Players();
    Put(0, 0, STRIPES, 1);
    Put(4, 1, STRIPES, 3);
    Put(8, 2, STRIPES);
    Give(STRIPES, {0, 0, 1, 1, 2, 2, 0, 1});
    Give(SOLIDS, {2});
    ASSERT_EQ(Count_Pieces(), MATCH_PIECES);
    EXPECT_EQ(Check_Winner(STRIPES), 0);
    EXPECT_EQ(Check_Winner(SOLIDS), 0);
    EXPECT_EQ(Pieces_On_Board(), 3);
    EXPECT_EQ(opponent[1]->Get_Points(), 0);

    // Stripes take the last Solids piece: nine in hand, three on the board.
    opponent[0]->Delete_Piece(0);
    opponent[1]->Add_Piece(2, STRIPES, 0);
    EXPECT_EQ(Check_Winner(SOLIDS), 0);
    EXPECT_EQ(Check_Winner(STRIPES), 2);
    EXPECT_EQ(opponent[1]->Get_Points(), 1);
    EXPECT_EQ(Pieces_On_Board(), 0);
    EXPECT_EQ(Count_Pieces(), MATCH_PIECES);
    EXPECT_EQ(Check_Winner(STRIPES), 0);

    // All twelve in hand, none on the board, wins as well.
    opponent[0]->Delete_Hand();
    Give(STRIPES, {0, 0, 1, 1, 2, 2});
    EXPECT_EQ(Check_Winner(STRIPES), 2);
    EXPECT_EQ(opponent[1]->Get_Points(), 2);
}

TEST_F(RulesTest, FullComboIsFoundBeforeAllPieces)
{
    New_Players();
    Put(7, 0, SOLIDS, FULL_COMBO);
    Give(SOLIDS, {0, 0, 1, 1, 2, 2, 0, 1, 1, 2, 2});
    ASSERT_EQ(Count_Pieces(), MATCH_PIECES);
    EXPECT_EQ(Check_Winner(SOLIDS), 1);
    EXPECT_EQ(opponent[0]->Get_Points(), 1);
}

TEST_F(RulesTest, StandOffReturnsEachPieceToTheEndOfItsOwnersHandCellByCell)
{
    New_Players();
    const Kind board[BOARD_CELLS] = {
        {2, SOLIDS, 1},  {0, STRIPES, 0}, {0, SOLIDS, 0},
        {1, STRIPES, 2}, {1, SOLIDS, 3},  {2, STRIPES, 0},
        {0, STRIPES, 1}, {1, STRIPES, 0}, {2, STRIPES, 0},
    };
    for (int cell = 0; cell < BOARD_CELLS; ++cell)
        Put(cell, board[cell].type, board[cell].owner, board[cell].combo);
    Give(SOLIDS, {1});
    Give(STRIPES, {2, 0});
    ASSERT_EQ(Count_Pieces(), MATCH_PIECES);

    Return_Pieces();
    EXPECT_EQ(Hand(SOLIDS), (std::vector<Kind>{{1, 0, 0}, board[0], board[2], board[4]}));
    EXPECT_EQ(Hand(STRIPES), (std::vector<Kind>{{2, 1, 0}, {0, 1, 0}, board[1], board[3], board[5],
                                                board[6], board[7], board[8]}));
    EXPECT_EQ(Pieces_On_Board(), 0);
    EXPECT_EQ(Count_Pieces(), MATCH_PIECES);
    const std::vector<hgeQuad> quads = Drawn([] { opponent[0]->Draw_Hand(20, 185); });
    for (const hgeQuad &quad : quads)
        EXPECT_FLOAT_EQ(Depth(quad), 0.1f);
}

TEST_F(RulesTest, ErasingEmptyCellsChangesNothing)
{
    Erase_Board(NO_CELL);
    Erase_Board(0);
    EXPECT_EQ(Pieces_On_Board(), 0);

    Put(2, 1, SOLIDS);
    Put(6, 0, STRIPES, 2);
    Erase_Board(4);
    Erase_Board(-1);
    Erase_Board(10);
    EXPECT_EQ(Cell(2), (Kind{1, SOLIDS, 0}));
    EXPECT_EQ(Cell(6), (Kind{0, STRIPES, 2}));

    Erase_Board(2);
    EXPECT_EQ(Pieces_On_Board(), 1);
    Erase_Board(NO_CELL);
    EXPECT_EQ(Pieces_On_Board(), 0);
}

TEST_F(RulesTest, SwitchingTwiceGivesTheTurnBackAtItsFirstStep)
{
    for (int side : {SOLIDS, STRIPES}) {
        game_turn = side;
        turn_phase = 1;
        Switch_Turn();
        EXPECT_EQ(game_turn, 1 - side);
        EXPECT_EQ(turn_phase, 0);
        turn_phase = 1;
        Switch_Turn();
        EXPECT_EQ(game_turn, side);
        EXPECT_EQ(turn_phase, 0);
    }
}

TEST_F(RulesTest, EveryDealRestoresTwelvePiecesInTheFixedOrder)
{
    New_Players();
    EXPECT_EQ(Count_Pieces(), 0);
    const std::vector<Kind> solids = {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 0, 0}};
    const std::vector<Kind> stripes = {{0, 1, 0}, {0, 1, 0}, {1, 1, 0}, {1, 1, 0}, {2, 1, 0}, {2, 1, 0}};
    auto expect_fresh_deal = [&](const char *after) {
        SCOPED_TRACE(after);
        EXPECT_EQ(Count_Pieces(), MATCH_PIECES);
        EXPECT_EQ(Pieces_On_Board(), 0);
        EXPECT_EQ(Hand(SOLIDS), solids);
        EXPECT_EQ(Hand(STRIPES), stripes);
        EXPECT_EQ(game_phase, 0);
    };

    Reset_Match();
    expect_fresh_deal("first deal");

    // Mid-fight: pieces with combos on the board, a captured piece in a hand.
    opponent[0]->Delete_Piece(0);
    Put(4, 0, SOLIDS, 2);
    opponent[1]->Delete_Piece(2);
    opponent[1]->Delete_Piece(4);
    Put(5, 1, STRIPES);
    Put(1, 2, STRIPES, 1);
    opponent[0]->Add_Point();
    game_phase = 1;
    game_turn = STRIPES;
    turn_phase = 1;
    ASSERT_EQ(Count_Pieces(), MATCH_PIECES);
    Reset_Match();
    expect_fresh_deal("a deal in the middle of a fight");
    EXPECT_EQ(opponent[0]->Get_Points(), 1);
    EXPECT_EQ(game_turn, STRIPES);
    EXPECT_EQ(turn_phase, 1);

    // Hands grown past a round's share are cut back too.
    Give(SOLIDS, {0, 1, 2, 2});
    Put(8, 2, SOLIDS, 3);
    Reset_Match();
    expect_fresh_deal("a deal from too many pieces");

    Put(0, 0, SOLIDS, FULL_COMBO);
    opponent[0]->Delete_Piece(0);
    ASSERT_EQ(Check_Winner(SOLIDS), 1);
    expect_fresh_deal("a win");
}

TEST_F(RulesTest, CountingWithoutPlayersFindsOnlyTheBoard)
{
    EXPECT_EQ(Count_Pieces(), 0);
    Put(3, 0, SOLIDS);
    EXPECT_EQ(Count_Pieces(), 1);
    opponent[1] = new Player(true);
    Give(STRIPES, {1, 2});
    EXPECT_EQ(Count_Pieces(), 3);
}

TEST_F(RulesTest, QuittingMidRoundFreesEveryPieceOnce)
{
    New_Players();
    Reset_Match();
    // Three placings, then a take whose advance never comes.
    for (auto [side, position, cell] : {std::tuple{0, 2, 4}, {1, 0, 5}, {0, 0, 3}}) {
        game_turn = side;
        Place_Piece(position, cell);
    }
    game_turn = SOLIDS;
    Capture_Take(5);
    ASSERT_EQ(Count_Pieces(), MATCH_PIECES);

    // The entry's shutdown order; the fixture's teardown then finds nothing left.
    Delete_Players();
    Erase_Board(NO_CELL);
    EXPECT_EQ(Count_Pieces(), 0);
}
