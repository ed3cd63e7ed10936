// How pieces and hands look on screen, and how a hand keeps its order.
#include "rules_fixture.h"

TEST_F(RulesTest, PieceShowsItsTypeColumnAndSideRowStandingOnItsPoint)
{
    for (int owner = 0; owner < SIDES; ++owner) {
        for (int type = 0; type < PIECE_TYPES; ++type) {
            SCOPED_TRACE(testing::Message() << "type " << type << ", side " << owner);
            Piece piece(type, owner, 0, 0.4f);
            const std::vector<hgeQuad> quads = Drawn([&] { piece.Draw_Piece(112, 131); });
            ASSERT_EQ(quads.size(), 1u);
            EXPECT_EQ(quads[0].tex, t_pieces);
            EXPECT_EQ(Texels(quads[0]), (Box{12.0f * type, 20.0f * owner, 12, 20}));
            // The middle of the bottom edge stands on the point drawn at.
            EXPECT_EQ(Placed(quads[0]), (Box{106, 111, 12, 20}));
            EXPECT_FLOAT_EQ(Depth(quads[0]), 0.4f);
        }
    }
    Piece solid_type_2(2, SOLIDS, 0, 0.2f);
    Piece stripe_type_0(0, STRIPES, 0, 0.2f);
    EXPECT_EQ(Texels(Drawn([&] { solid_type_2.Draw_Piece(0, 0); })[0]), (Box{24, 0, 12, 20}));
    EXPECT_EQ(Texels(Drawn([&] { stripe_type_0.Draw_Piece(0, 0); })[0]), (Box{0, 20, 12, 20}));
}

TEST_F(RulesTest, ComboMarkLiesAcrossTheTopOfThePieceForEachLevelAndNoneAtZero)
{
    Piece plain(1, STRIPES, 0, 0.3f);
    EXPECT_EQ(Drawn([&] { plain.Draw_Piece(128, 140); }).size(), 1u);

    for (int combo = 1; combo <= FULL_COMBO; ++combo) {
        SCOPED_TRACE(testing::Message() << "combo " << combo);
        Piece piece(1, STRIPES, combo, 0.3f);
        const std::vector<hgeQuad> quads = Drawn([&] { piece.Draw_Piece(128, 140); });
        ASSERT_EQ(quads.size(), 2u);
        // The piece first, so that its mark lies over it.
        EXPECT_EQ(quads[0].tex, t_pieces);
        EXPECT_EQ(quads[1].tex, t_combo);
        EXPECT_EQ(Texels(quads[1]), (Box{10.0f * (combo - 1), 0, 10, 3}));
        EXPECT_EQ(Placed(quads[1]), (Box{123, 120, 10, 3}));
        EXPECT_FLOAT_EQ(Depth(quads[1]), 0.1f);
    }
}

TEST_F(RulesTest, HandStandsInARowFifteenPixelsApartInFrontOfTheBoard)
{
    New_Players();
    EXPECT_EQ(opponent[0]->Get_HandSize(), 0);
    EXPECT_TRUE(Drawn([] { opponent[0]->Draw_Hand(20, 185); }).empty());

    Give(SOLIDS, {0, 1, 2});
    std::vector<hgeQuad> quads = Drawn([] { opponent[0]->Draw_Hand(20, 185); });
    ASSERT_EQ(quads.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Placed(quads[i]), (Box{14.0f + 15 * i, 165, 12, 20})) << "position " << i;
        EXPECT_EQ(Texels(quads[i]).x, 12.0f * i) << "position " << i;
        EXPECT_FLOAT_EQ(Depth(quads[i]), 0.1f);
    }

    // Eleven pieces, the most a hand holds while the other side still has one.
    Give(STRIPES, {0, 0, 1, 1, 2, 2, 0, 1, 2, 0, 1});
    quads = Drawn([] { opponent[1]->Draw_Hand(20, 185); });
    ASSERT_EQ(quads.size(), 11u);
    EXPECT_EQ(Placed(quads.back()).x + PIECE_WIDTH / 2, 170.0f);
}

TEST_F(RulesTest, DeletingAHandPieceClosesTheGapAndAddingAppends)
{
    New_Players();
    Give(SOLIDS, {0, 1, 2});
    opponent[0]->Delete_Piece(0);
    EXPECT_EQ(Hand(SOLIDS), (std::vector<Kind>{{1, 0, 0}, {2, 0, 0}}));
    const std::vector<hgeQuad> quads = Drawn([] { opponent[0]->Draw_Hand(20, 185); });
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(Texels(quads[0]).x, 12.0f);
    EXPECT_EQ(Placed(quads[0]).x, 14.0f);

    // A middle piece: the ones behind it move forward in order.
    Give(SOLIDS, {0});
    opponent[0]->Delete_Piece(1);
    EXPECT_EQ(Hand(SOLIDS), (std::vector<Kind>{{1, 0, 0}, {0, 0, 0}}));

    Reset_Match();
    opponent[1]->Add_Piece(1, STRIPES, 2);
    EXPECT_EQ(Hand(STRIPES), (std::vector<Kind>{{0, 1, 0}, {0, 1, 0}, {1, 1, 0}, {1, 1, 0},
                                                {2, 1, 0}, {2, 1, 0}, {1, 1, 2}}));
}

TEST_F(RulesTest, HandPositionOutsideTheHandChangesNothingAndFindsNoPiece)
{
    New_Players();
    Give(STRIPES, {2, 0, 1});
    const std::vector<Kind> before = Hand(STRIPES);
    for (int index : {-1, 3, 4, 9, 1000}) {
        opponent[1]->Delete_Piece(index);
        EXPECT_EQ(opponent[1]->Get_Piece(index), nullptr) << "position " << index;
    }
    EXPECT_EQ(Hand(STRIPES), before);
    EXPECT_NE(opponent[1]->Get_Piece(2), nullptr);

    EXPECT_EQ(opponent[0]->Get_Piece(0), nullptr);
    opponent[0]->Delete_Piece(0);
    EXPECT_EQ(opponent[0]->Get_HandSize(), 0);
}

TEST_F(RulesTest, CapturedPieceChangesSideButKeepsItsCombo)
{
    New_Players();
    Put(4, 0, SOLIDS, 1);
    Put(5, 1, STRIPES, 2);
    game_turn = SOLIDS;
    Capture_Take(5);
    ASSERT_EQ(opponent[0]->Get_HandSize(), 1);
    EXPECT_EQ(Hand(SOLIDS).back(), (Kind{1, SOLIDS, 2}));

    // Drawn in the Solids row, with the second combo mark.
    const std::vector<hgeQuad> quads = Drawn([] { opponent[0]->Draw_Hand(20, 185); });
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(Texels(quads[0]), (Box{12, 0, 12, 20}));
    EXPECT_EQ(Texels(quads[1]), (Box{10, 0, 10, 3}));
}
