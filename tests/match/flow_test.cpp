// The flow of a match as a player sees it: what each frame shows, the
// announcements with what they do, and Escape in every state.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "animation.h"
#include "board.h"
#include "hge_entry.h"
#include "match_play.h"
#include "turns.h"

using namespace match_test;

namespace {

const std::string FRESH_HAND = "0 0 1 1 2 2";

Options Position(const std::string &board, const std::string &solids_hand,
                 const std::string &stripes_hand, int side_to_move)
{
    Options options;
    options.first_side = side_to_move;
    options.setup = [=] { Set_Position(board, solids_hand, stripes_hand); };
    return options;
}

// Plays the scripted moves in order, each as soon as its turn waits for it,
// and stops once `done` holds.
std::function<bool(const Record &)> Script(std::vector<Move> moves,
                                           std::function<bool(const Record &)> done)
{
    auto next = std::make_shared<size_t>(0);
    return [=](const Record &record) {
        if (done(record))
            return true;
        if (*next < moves.size() && Awaiting_Move())
            Press(Keys_For(moves[(*next)++]));
        return false;
    };
}

bool Shows(const Record &record, const std::string &text)
{
    for (const std::string &message : record.state.messages)
        if (message == text)
            return true;
    return false;
}

std::vector<std::string> Drawn_Messages(const Screen &screen)
{
    std::vector<std::string> texts;
    for (const Seen_Text &text : screen.messages)
        texts.push_back(Letters(text.text));
    return texts;
}

int Cells_Drawn(const Screen &screen)
{
    int cells = 0;
    for (int cell = 0; cell < BOARD_CELLS; ++cell)
        cells += screen.At_Cell(cell).empty() ? 0 : 1;
    return cells;
}

// The end of the animation that plays at or after `from`.
int Animation_End(const std::vector<Record> &records, int from)
{
    const int start = Find(records, [](const Record &r) { return r.state.transition != 0; }, from);
    if (start < 0)
        return -1;
    return Find(records, [](const Record &r) { return r.state.transition == 0; }, start);
}

std::string Cell_Token(const std::string &board, int cell)
{
    std::istringstream in(board);
    std::string token;
    for (int i = 0; i <= cell; ++i)
        in >> token;
    return token;
}

}  // namespace

TEST(MatchFlow, FirstFrameShowsBothScoresAtZeroAndMarksTheFirstHandPiece)
{
    const auto records = Play({}, [](const Record &) { return true; });
    ASSERT_EQ(records.size(), 1u);
    const Screen &screen = records[0].frame.screen;
    const int side = records[0].state.game_turn;

    ASSERT_EQ(screen.scores.size(), 2u);
    EXPECT_EQ(Letters(screen.scores[0].text), "SLD:0");
    EXPECT_EQ(Letters(screen.scores[1].text), "STR:0");
    EXPECT_NEAR(screen.scores[0].left, 20, 2);
    EXPECT_LT(screen.scores[0].top, screen.scores[1].top);
    EXPECT_TRUE(screen.messages.empty());

    ASSERT_EQ(screen.markers.size(), 1u);
    EXPECT_TRUE(screen.markers[0].hand);
    EXPECT_EQ(screen.markers[0].x, 20);
    EXPECT_EQ(screen.markers[0].y, 187);

    // The dealt hand of the side to move, and nothing on the board.
    const auto hand = screen.In_Hand_Row();
    ASSERT_EQ(hand.size(), 6u);
    EXPECT_EQ(screen.pieces.size(), 6u);
    const int types[] = {0, 0, 1, 1, 2, 2};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(hand[i].x, 20 + 15 * i);
        EXPECT_EQ(hand[i].owner, side);
        EXPECT_EQ(hand[i].type, types[i]);
    }
}

TEST(MatchFlow, FightBeginsTheFrameAfterTheNinthPieceLandsAndHoldsEveryKeyForThreeSeconds)
{
    // Solids places the ninth piece; Stripes then has a capture (cell 1 takes cell 2).
    const Options options = Position("s0 t1 s2 t0 s1 t2 s2 t0 .", "1 0", "1 2", SOLIDS);
    const int idle_keys[] = {HGEK_UP, HGEK_SPACE, HGEK_LEFT, HGEK_BACKSPACE, HGEK_DOWN, HGEK_RIGHT};
    enum { PLACING, ANNOUNCED, RESUMED } stage = PLACING;
    int pressed = 0;
    const auto records = Play(options, [&](const Record &record) {
        if (!record.state.messages.empty()) {
            stage = ANNOUNCED;
            Press({idle_keys[pressed++ % 6]});
            return false;
        }
        if (stage == ANNOUNCED) {
            stage = RESUMED;
            Press({HGEK_UP});
            return false;
        }
        if (stage == RESUMED)
            return hgeTesting::PendingKeys() == 0;
        if (Awaiting_Move())
            Press(Keys_For({MOVE_PLACE, 0, 8}));
        return false;
    });

    const int landed = Animation_End(records, 0);
    ASSERT_GT(landed, 0);
    EXPECT_EQ(records[landed].state.board, "s0 t1 s2 t0 s1 t2 s2 t0 s1");
    EXPECT_TRUE(records[landed].state.messages.empty());

    const int fight = landed + 1;
    const Snapshot &at = records[fight].state;
    ASSERT_EQ(at.messages, std::vector<std::string>{"Fightin' time!"});
    EXPECT_EQ(at.game_phase, 1);
    EXPECT_EQ(at.game_turn, STRIPES);  // the side that did not place last
    EXPECT_EQ(at.selection[0], 6);
    EXPECT_EQ(at.selection[1], NO_CELL);

    const float made = records[fight].frame.time;
    int i = fight;
    for (; i < static_cast<int>(records.size()) && records[i].frame.time < made + 3.0f; ++i) {
        const Record &r = records[i];
        SCOPED_TRACE("at " + std::to_string(r.frame.time - made) + " s");
        ASSERT_EQ(r.state.messages, std::vector<std::string>{"Fightin' time!"});
        EXPECT_EQ(Drawn_Messages(r.frame.screen), std::vector<std::string>{"Fightin'time!"});
        EXPECT_TRUE(r.frame.screen.scores.empty());
        EXPECT_TRUE(r.frame.screen.markers.empty());
        EXPECT_EQ(Cells_Drawn(r.frame.screen), 9);
        // The hand of Stripes, the side to move, stays in view.
        const auto hand = r.frame.screen.In_Hand_Row();
        ASSERT_EQ(hand.size(), 2u);
        EXPECT_EQ(hand[0].owner, STRIPES);
        EXPECT_EQ(r.state.selection[0], 6);
        EXPECT_EQ(r.state.selection[1], NO_CELL);
        EXPECT_EQ(r.state.turn_phase, 0);
        EXPECT_EQ(r.state.board, at.board);
    }
    EXPECT_GE(pressed, 3 * FRAMES_PER_SECOND);
    // The message rises from just below the screen, centred.
    ASSERT_EQ(records[fight].frame.screen.messages.size(), 1u);
    EXPECT_EQ(records[fight].frame.screen.messages[0].top, 199);
    EXPECT_NEAR(records[fight].frame.screen.messages[0].Middle(), 128, 1.5);
    EXPECT_EQ(i - fight, 3 * FRAMES_PER_SECOND);

    // Gone, and not drawn, in the first frame three seconds after it was made.
    ASSERT_LT(i + 1, static_cast<int>(records.size()));
    EXPECT_TRUE(records[i].state.messages.empty());
    EXPECT_TRUE(records[i].frame.screen.messages.empty());
    // Keys act again: Up moves the attacker cursor a row back.
    EXPECT_EQ(records.back().frame.index, records[i].frame.index + 1);
    EXPECT_EQ(records.back().state.selection[0], 3);
}

TEST(MatchFlow, FullBoardWithoutCaptureEndsInStandOffThatReturnsEveryPiece)
{
    // Neighbours of different sides share their type: nobody can capture.
    const Options options = Position("s0 s1 s2 t0 t1 t2 s0 s1 .", "2", "0 1 2", SOLIDS);
    const auto records = Play(options, Script({{MOVE_PLACE, 0, 8}}, [](const Record &r) {
        return Shows(r, "Stand-off!");
    }));

    const int fight = Find(records, [](const Record &r) { return Shows(r, "Fightin' time!"); });
    ASSERT_GE(fight, 0);
    const int stand_off = static_cast<int>(records.size()) - 1;
    ASSERT_TRUE(Shows(records[stand_off], "Stand-off!"));
    // The frame after the fight's message expires.
    EXPECT_TRUE(records[stand_off - 1].state.messages.empty());
    EXPECT_GE(records[stand_off].frame.time, records[fight].frame.time + 3.0f);
    EXPECT_LT(records[stand_off - 1].frame.time, records[fight].frame.time + 3.0f + FRAME_STEP);

    const Snapshot &s = records[stand_off].state;
    EXPECT_EQ(s.messages, std::vector<std::string>{"Stand-off!"});
    EXPECT_EQ(s.board, ". . . . . . . . .");
    EXPECT_EQ(s.hand[SOLIDS], "0 1 2 0 1 2");
    EXPECT_EQ(s.hand[STRIPES], "0 1 2 0 1 2");
    EXPECT_EQ(s.game_turn, SOLIDS);  // Stripes had the first fighting turn
    EXPECT_EQ(s.game_phase, 0);
    EXPECT_EQ(s.selection[0], 0);
    EXPECT_EQ(s.selection[1], 6);
    EXPECT_EQ(s.pieces, 12);
    // Returned pieces are drawn in the hand of the side to move, none on the board.
    EXPECT_EQ(Cells_Drawn(records[stand_off].frame.screen), 0);
    EXPECT_EQ(records[stand_off].frame.screen.In_Hand_Row().size(), 6u);
}

TEST(MatchFlow, StandOffWithEmptyCellsKeepsThePiecesAndTheSideToMove)
{
    // Stripes' only capture is cell 3 taking cell 0; after it nobody can capture.
    const Options options = Position("s2 t0 t0 t1 t1 t2 s1 s1 s2", "0 0", "2", STRIPES);
    const auto records = Play(options, Script({{MOVE_CAPTURE, 3, 0}, {MOVE_PLACE, 0, 3}}, [](const Record &r) {
        return Cell_Token(r.state.board, 3) == "s0" && r.state.transition == 0;
    }));

    const int stand_off = Find(records, [](const Record &r) { return Shows(r, "Stand-off!"); });
    ASSERT_GE(stand_off, 0);
    const Snapshot &s = records[stand_off].state;
    EXPECT_EQ(s.messages, std::vector<std::string>{"Stand-off!"});
    EXPECT_EQ(s.board, "t1^1 t0 t0 . t1 t2 s1 s1 s2");
    EXPECT_EQ(s.hand[STRIPES], "2 2");
    EXPECT_EQ(s.hand[SOLIDS], "0 0");
    EXPECT_EQ(s.game_turn, SOLIDS);  // passed by the capture, kept by the stand-off
    EXPECT_EQ(s.game_phase, 0);
    EXPECT_EQ(s.selection[0], 0);
    EXPECT_EQ(s.selection[1], 6);

    // Solids then places into the empty cell.
    const Snapshot &last = records.back().state;
    EXPECT_EQ(last.board, "t1^1 t0 t0 s0 t1 t2 s1 s1 s2");
    EXPECT_EQ(last.hand[SOLIDS], "0");
    EXPECT_EQ(last.game_turn, STRIPES);
}

TEST(MatchFlow, SideWithEmptyHandPassesEveryTimeItsTurnComes)
{
    const Options options = Position("s0 s1 s2 s0 s1 s2 t0 . .", "", "1 1 2 2 0", SOLIDS);
    const auto records = Play(options, Script({{MOVE_PLACE, 0, 7}, {MOVE_PLACE, 0, 8}}, [](const Record &r) {
        return Shows(r, "Fightin' time!");
    }));

    EXPECT_EQ(Announcements(records),
              (std::vector<std::string>{"Player has nothing left!", "Player has nothing left!",
                                        "Fightin' time!"}));
    const int first = Find(records, [](const Record &r) { return !r.state.messages.empty(); });
    ASSERT_EQ(first, 0);
    EXPECT_EQ(records[first].state.game_turn, STRIPES);
    EXPECT_EQ(records[first].state.selection[0], 0);
    EXPECT_EQ(records[first].state.selection[1], 6);
    EXPECT_EQ(records.back().state.board, "s0 s1 s2 s0 s1 s2 t0 t1 t1");
    for (const Record &r : records)
        ASSERT_EQ(r.state.pieces, 12) << "frame " << r.frame.index;
}

TEST(MatchFlow, SideWithoutCaptureAnnouncesItAndPassesTheTurn)
{
    const Options options = Position("s1 t2 s1 t1 t0 s2 s0 t0 s0", "2", "2 1", STRIPES);
    const auto records = Play(options, [](const Record &r) { return Shows(r, "Player can't attack."); });

    const Record &r = records.back();
    EXPECT_EQ(Announcements(records),
              (std::vector<std::string>{"Fightin' time!", "Player can't attack."}));
    EXPECT_EQ(r.state.game_turn, SOLIDS);
    EXPECT_EQ(r.state.game_phase, 1);
    EXPECT_EQ(r.state.selection[0], 6);
    EXPECT_EQ(r.state.selection[1], NO_CELL);
    EXPECT_EQ(r.state.board, "s1 t2 s1 t1 t0 s2 s0 t0 s0");
    // The hand shown is that of Solids, now to move.
    const auto hand = r.frame.screen.In_Hand_Row();
    ASSERT_EQ(hand.size(), 1u);
    EXPECT_EQ(hand[0].owner, SOLIDS);
}

// The win tests run once for each side, on mirrored positions.
class WinFlow : public testing::TestWithParam<int> {
protected:
    int Winner() const { return GetParam(); }
    int Loser() const { return 1 - GetParam(); }
    std::string Name() const { return Winner() == SOLIDS ? "Solids" : "Stripes"; }
    // Positions are written for Solids as the winner.
    std::string Mirror(std::string text) const
    {
        if (Winner() == SOLIDS)
            return text;
        for (char &c : text)
            c = c == 's' ? 't' : c == 't' ? 's' : c;
        return text;
    }
    Options Mirrored(const std::string &board, const std::string &winner_hand,
                     const std::string &loser_hand) const
    {
        return Winner() == SOLIDS ? Position(Mirror(board), winner_hand, loser_hand, Winner())
                                  : Position(Mirror(board), loser_hand, winner_hand, Winner());
    }
};

TEST_P(WinFlow, FullComboScoresDealsAfreshAndTheNextPlacingStartsOnTheFirstPiece)
{
    // The combo-3 piece in cell 4 takes cell 5; the loser then has no capture.
    const Options options = Mirrored("s0 s2 s1 s2 s0^3 t1 t0 t0 t1", "2", "2 1");
    const auto records = Play(options, Script({{MOVE_CAPTURE, 4, 5}, {MOVE_PLACE, 0, 6}}, [&](const Record &r) {
        return r.state.points[Winner()] == 1 && Cell_Token(r.state.board, 6) != "." &&
               r.state.transition == 0;
    }));

    const int win = Find(records, [&](const Record &r) { return r.state.points[Winner()] == 1; });
    ASSERT_GT(win, 0);
    const Snapshot &s = records[win].state;
    EXPECT_EQ(s.messages,
              (std::vector<std::string>{"Player can't attack.", Name() + " with full combo!"}));
    EXPECT_EQ(s.points[Loser()], 0);
    EXPECT_EQ(s.board, ". . . . . . . . .");
    EXPECT_EQ(s.hand[SOLIDS], FRESH_HAND);
    EXPECT_EQ(s.hand[STRIPES], FRESH_HAND);
    EXPECT_EQ(s.game_phase, 0);
    EXPECT_EQ(s.game_turn, Winner());  // passed by the capture, passed back
    EXPECT_EQ(s.selection[0], 0);
    EXPECT_EQ(s.selection[1], 6);

    // The two messages rise together, drawn at one place in the order they were made.
    const Screen &screen = records[win].frame.screen;
    ASSERT_EQ(screen.messages.size(), 2u);
    EXPECT_EQ(Letters(screen.messages[0].text), "Playercan'tattack.");
    EXPECT_EQ(Letters(screen.messages[1].text), Letters(Name() + " with full combo!"));
    EXPECT_EQ(screen.messages[0].top, screen.messages[1].top);
    EXPECT_NEAR(screen.messages[0].Middle(), screen.messages[1].Middle(), 1.5);
    EXPECT_TRUE(screen.scores.empty());

    // When the match resumes, the score shows the point and the marker the first piece.
    const int resumed = Find(records, [](const Record &r) { return r.state.messages.empty(); }, win);
    ASSERT_GT(resumed, win);
    const Screen &back = records[resumed].frame.screen;
    ASSERT_EQ(back.scores.size(), 2u);
    EXPECT_EQ(Letters(back.scores[Winner()].text), (Winner() == SOLIDS ? "SLD:1" : "STR:1"));
    EXPECT_EQ(Letters(back.scores[Loser()].text), (Loser() == SOLIDS ? "SLD:0" : "STR:0"));
    ASSERT_EQ(back.markers.size(), 1u);
    EXPECT_TRUE(back.markers[0].hand);
    EXPECT_EQ(back.markers[0].x, 20);

    // Space, Space places the first hand piece on the front-left cell.
    const int placed = Find(records, [](const Record &r) { return r.state.transition == 1; }, win);
    ASSERT_GT(placed, 0);
    EXPECT_EQ(records[placed].state.trans_var[0], 0);
    EXPECT_EQ(records[placed].state.trans_var[1], 6);
    EXPECT_EQ(records.back().state.board, Mirror(". . . . . . s0 . ."));
    EXPECT_EQ(records.back().state.hand[Winner()], "0 1 1 2 2");
    EXPECT_EQ(records.back().state.game_turn, Loser());
}

TEST_P(WinFlow, AllPiecesAfterStandOffScoresAndDealsAfresh)
{
    // Solids holds eleven pieces; the capture takes the last Stripes piece.
    Options options = Mirrored(". . . . s0 t1 . . .", "0 0 0 1 1 1 2 2 2 2", "");
    const auto place = options.setup;
    options.setup = [=] {
        place();
        game_phase = 1;
        Set_Selection(FIGHTING_CURSORS);
    };
    const auto records = Play(options, Script({{MOVE_CAPTURE, 4, 5}}, [&](const Record &r) {
        return r.state.points[Winner()] == 1;
    }));

    const Snapshot &s = records.back().state;
    EXPECT_EQ(s.messages, (std::vector<std::string>{"Stand-off!", Name() + " with all pieces!"}));
    EXPECT_EQ(s.points[Loser()], 0);
    EXPECT_EQ(s.board, ". . . . . . . . .");
    EXPECT_EQ(s.hand[SOLIDS], FRESH_HAND);
    EXPECT_EQ(s.hand[STRIPES], FRESH_HAND);
    EXPECT_EQ(s.game_phase, 0);
    EXPECT_EQ(s.game_turn, Loser());  // the capture passed the turn, the stand-off kept it
    EXPECT_EQ(s.selection[0], 0);
    EXPECT_EQ(s.selection[1], 6);
    // The frame before, the winner held all twelve.
    const Snapshot &before = records[records.size() - 2].state;
    EXPECT_EQ(before.board, Mirror(". . . . . s0^1 . . ."));
    EXPECT_EQ(before.hand[Winner()], "0 0 0 1 1 1 2 2 2 2 1");
}

TEST(MatchFlow, AKeyTakenInTheFrameOfAWinDoesNotCarryIntoTheNewRound)
{
    // Solids' combo-3 piece takes cell 5 and wins; in that next frame Stripes,
    // to move, could answer from cell 6 and presses Space on its piece there.
    const Options options = Position("s0 s2 s1 s1 s0^3 t1 t0 t0 t1", "2", "2 1", SOLIDS);
    auto capture_seen = std::make_shared<bool>(false);
    auto space_pressed = std::make_shared<bool>(false);
    const auto records = Play(options, [=](const Record &r) {
        if (r.state.points[SOLIDS] == 1)
            return true;
        if (r.state.transition == 2)
            *capture_seen = true;
        else if (*capture_seen && !*space_pressed) {
            Press({HGEK_SPACE});
            *space_pressed = true;
        } else if (!*capture_seen && Awaiting_Move() && r.state.game_phase == 1)
            Press(Keys_For({MOVE_CAPTURE, 4, 5}));
        return false;
    });
    ASSERT_EQ(records.back().state.points[SOLIDS], 1);
    // The new round starts with Stripes choosing a hand piece, like every placing turn.
    EXPECT_EQ(records.back().state.game_turn, STRIPES);
    EXPECT_EQ(records.back().state.turn_phase, 0);
    EXPECT_EQ(records.back().state.selection[0], 0);
    EXPECT_EQ(records.back().state.selection[1], 6);
}

INSTANTIATE_TEST_SUITE_P(BothSides, WinFlow, testing::Values(SOLIDS, STRIPES),
                         [](const testing::TestParamInfo<int> &info) {
                             return info.param == SOLIDS ? "Solids" : "Stripes";
                         });

// Escape ends the program whatever the match is doing.
struct Escape_Case {
    const char *name;
    std::function<bool(const Snapshot &)> reached;
    std::vector<std::vector<int>> turns;  // keys for each turn that waits for them
};

class EscapeEnds : public testing::TestWithParam<Escape_Case> {};

TEST_P(EscapeEnds, TheProgramInThisState)
{
    const Escape_Case &c = GetParam();
    // Solids places the ninth piece; then Stripes, to move, can take cell 2 from cell 1.
    const Options options = Position("s0 t1 s2 t0 s1 t2 s2 t0 .", "1 0", "1 2", SOLIDS);
    int escaped_at = -1;
    size_t next = 0;
    const auto records = Play(options, [&](const Record &r) {
        if (escaped_at >= 0) {
            ADD_FAILURE() << "a frame ran after Escape";
            return true;
        }
        if (hgeTesting::PendingKeys() == 0 && c.reached(r.state)) {
            Press({HGEK_ESCAPE});
            escaped_at = r.frame.index;
            return false;
        }
        if (next < c.turns.size() && Awaiting_Move())
            Press(c.turns[next++]);
        return false;
    });
    ASSERT_GE(escaped_at, 0) << "never reached " << c.name;
    EXPECT_EQ(records.back().frame.index, escaped_at);
}

static bool Idle(const Snapshot &s)
{
    return s.messages.empty() && s.transition == 0;
}

static const std::vector<int> PLACE_NINTH = Keys_For({MOVE_PLACE, 0, 8});
static const std::vector<int> CHOOSE_ATTACKER = {HGEK_UP, HGEK_UP, HGEK_RIGHT, HGEK_SPACE};

INSTANTIATE_TEST_SUITE_P(
    EveryState, EscapeEnds,
    testing::Values(
        Escape_Case{"PlacingChoosingPiece",
                    [](const Snapshot &s) { return Idle(s) && s.game_phase == PHASE_PLACING && s.turn_phase == 0; },
                    {}},
        Escape_Case{"PlacingChoosingCell",
                    [](const Snapshot &s) { return Idle(s) && s.game_phase == PHASE_PLACING && s.turn_phase == 1; },
                    {{HGEK_SPACE}}},
        Escape_Case{"AnimatingPlacing", [](const Snapshot &s) { return s.transition == 1; },
                    {PLACE_NINTH}},
        Escape_Case{"Announcing", [](const Snapshot &s) { return !s.messages.empty(); },
                    {PLACE_NINTH}},
        Escape_Case{"FightingChoosingPiece",
                    [](const Snapshot &s) { return Idle(s) && s.game_phase == 1 && s.turn_phase == 0; },
                    {PLACE_NINTH}},
        Escape_Case{"FightingChoosingTarget",
                    [](const Snapshot &s) { return Idle(s) && s.game_phase == 1 && s.turn_phase == 1; },
                    {PLACE_NINTH, CHOOSE_ATTACKER}},
        Escape_Case{"AnimatingCapture", [](const Snapshot &s) { return s.transition == 2; },
                    {PLACE_NINTH, Keys_For({MOVE_CAPTURE, 1, 2})}}),
    [](const testing::TestParamInfo<Escape_Case> &info) { return info.param.name; });

TEST(EscapeEndsTheProgram, OnTheTitleAndTheMenuBeforeAnyMatch)
{
    for (const std::vector<int> &keys : {std::vector<int>{HGEK_ESCAPE},
                                         std::vector<int>{HGEK_ENTER, HGEK_ESCAPE}}) {
        hgeTesting::UseHeadless();
        hgeTesting::UseVirtualClock(FRAME_STEP, 100.0f);
        hgeTesting::QueueKeys(keys);
        int frames = 0;
        hgeTesting::SetFrameHook([&](int) { return ++frames > 10; });
        EXPECT_EQ(RunWinMain(), 0);
        EXPECT_LT(frames, static_cast<int>(keys.size()));
        hgeTesting::Reset();
    }
}
