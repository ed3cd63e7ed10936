// Two players on a sofa: a gamepad drives the real program from the title
// screen through the menu into a match and places a piece; unplugging it
// mid-move changes nothing else, and a pad plugged in later plays on.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "animation.h"
#include "board.h"
#include "hge_entry.h"
#include "hge_testing.h"
#include "main.h"
#include "match.h"
#include "menu.h"
#include "pieces.h"
#include "turns.h"

using hgeTesting::PadButton;

namespace {

bool InMatch()
{
    return hge && hge->System_GetState(HGE_FRAMEFUNC) == Game;
}

int PiecesOnBoard()
{
    int count = 0;
    for (Piece *piece : board_array)
        count += piece != nullptr;
    return count;
}

TEST(GamepadPlay, APadStartsAMatchAndPlacesAPieceAndUnpluggingItChangesNothingElse)
{
    hgeTesting::Reset();
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock(1.0f / 60.0f, 10.0f);
    hgeTesting::SetSeed(1);
    int pad = -1, later_pad = -1;
    int first_side = -1;
    bool placed_by_first = false, placed_by_second = false;
    // What happens after frame n, before frame n + 1.
    std::map<int, std::function<void()>> script = {
        {0, [&] { pad = hgeTesting::PlugInPad(); }},
        {1, [&] { hgeTesting::SetPadButton(pad, PadButton::Start, true); }},
        {2, [&] {
             EXPECT_EQ(menu_screen, MAIN_MENU);
             hgeTesting::SetPadButton(pad, PadButton::Start, false);
             hgeTesting::SetPadButton(pad, PadButton::North, true);
         }},
        {3, [&] {
             ASSERT_TRUE(InMatch());
             first_side = game_turn;
             hgeTesting::SetPadButton(pad, PadButton::North, false);
             // The stick pushed right and held for half a second: one step.
             hgeTesting::SetPadStick(pad, 0.9f, 0.1f);
         }},
        {34, [&] {
             EXPECT_EQ(selection[0], 1);
             hgeTesting::SetPadStick(pad, 0, 0);
             hgeTesting::SetPadButton(pad, PadButton::South, true);
         }},
        {35, [&] {
             EXPECT_EQ(turn_phase, CHOOSING_WHERE);
             hgeTesting::SetPadButton(pad, PadButton::South, false);
         }},
        // Placed on the front-left cell, where the cursor starts.
        {36, [&] { hgeTesting::SetPadButton(pad, PadButton::South, true); }},
        {37, [&] {
             EXPECT_EQ(transition, TRANS_PLACE);
             hgeTesting::UnplugPad(pad);
         }},
        {400, [&] {
             ASSERT_TRUE(InMatch());
             EXPECT_EQ(transition, TRANS_NONE);
             EXPECT_EQ(PiecesOnBoard(), 1);
             Piece *piece = board_array[FRONT_LEFT_CELL];
             placed_by_first = piece && piece->Get_Owner() == first_side &&
                               opponent[first_side]->Get_HandSize() == 5;
             EXPECT_NE(game_turn, first_side);
             later_pad = hgeTesting::PlugInPad();
         }},
        // The other side takes its first piece, moves to the next cell and places.
        {401, [&] { hgeTesting::SetPadButton(later_pad, PadButton::South, true); }},
        {402, [&] { hgeTesting::SetPadButton(later_pad, PadButton::South, false); }},
        {403, [&] { hgeTesting::SetPadButton(later_pad, PadButton::Right, true); }},
        {404, [&] { hgeTesting::SetPadButton(later_pad, PadButton::Right, false); }},
        {405, [&] { hgeTesting::SetPadButton(later_pad, PadButton::South, true); }},
        {800, [&] {
             Piece *piece = board_array[FRONT_LEFT_CELL + 1];
             placed_by_second = PiecesOnBoard() == 2 && piece && piece->Get_Owner() != first_side;
         }},
    };
    hgeTesting::SetFrameHook([&](int frame) {
        auto found = script.find(frame);
        if (found != script.end())
            found->second();
        return frame >= script.rbegin()->first;
    });
    EXPECT_EQ(RunWinMain(), 0);
    hgeTesting::Reset();
    ASSERT_GE(pad, 0);
    EXPECT_TRUE(placed_by_first);
    EXPECT_TRUE(placed_by_second);
}

}  // namespace
