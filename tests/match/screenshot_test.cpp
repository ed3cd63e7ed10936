// The picture of a match in the README, made afresh by every test run.
#include <gtest/gtest.h>

#include <filesystem>

#include "board.h"
#include "main.h"
#include "match_play.h"
#include "turns.h"

using namespace match_test;

TEST(ReadmePicture, MidFightWithScoresMarkersAndComboMarks)
{
    Options options;
    options.first_side = STRIPES;
    options.setup = [] {
        Set_Position("s0^1 t1 s2 t0 s1^2 t2 s2 t0^1 s1", "0", "1 2");
        opponent[SOLIDS]->Add_Point();
        game_phase = 1;
        Set_Selection(FIGHTING_CURSORS);
    };
    hgeTesting::Pixels window;
    Screen screen;
    Play(options, [&](const Record &r) {
        if (r.frame.index == 0)
            Press({HGEK_UP, HGEK_UP, HGEK_RIGHT, HGEK_SPACE, HGEK_RIGHT});
        if (hgeTesting::PendingKeys() > 0 || r.frame.index == 0)
            return false;
        window = hgeTesting::ReadWindow();
        screen = r.frame.screen;
        return true;
    });

    // Stripes aims from cell 1 at cell 2: both cell markers, the scores and its hand.
    ASSERT_EQ(screen.markers.size(), 2u);
    EXPECT_EQ(screen.markers[0].x, board_x[1]);
    EXPECT_EQ(screen.markers[1].x, board_x[2]);
    ASSERT_EQ(screen.scores.size(), 2u);
    EXPECT_EQ(Letters(screen.scores[0].text), "SLD:1");
    EXPECT_EQ(screen.In_Hand_Row().size(), 2u);
    ASSERT_EQ(window.width, WINDOW_LENGTH);

    const std::filesystem::path docs = std::filesystem::path(TORVEK_SOURCE_DIR) / "docs";
    std::filesystem::create_directories(docs);
    EXPECT_TRUE(hgeTesting::SavePNG(window, (docs / "match.png").string()));
}
