// A match written down and played back: the computer plays a few rounds
// against itself with --record; the file brings a fresh match to the same
// position at once, and --replay plays it back on screen to the same picture
// before the keyboard takes over. Files that will not do stop the program
// before it starts, with the file and the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "animation.h"
#include "board.h"
#include "main.h"
#include "resources.h"
#include "match.h"
#include "match_play.h"
#include "record.h"
#include "recording.h"
#include "test_files.h"
#include "turns.h"

using namespace match_test;

namespace {

// What a player sees of a frame at rest: every piece, marker and text.
std::string Seen(const Screen &screen)
{
    std::ostringstream seen;
    for (const Seen_Piece &p : screen.pieces)
        seen << "piece " << p.x << ',' << p.y << ' ' << p.owner << p.type << '^' << p.combo << '\n';
    for (const Seen_Marker &m : screen.markers)
        seen << (m.hand ? "hand marker " : "cell marker ") << m.x << ',' << m.y << '\n';
    seen << screen.Texts();
    return seen.str();
}

struct Seen_End {
    uint64_t hash = 0;
    int points[SIDES] = {0, 0};
    std::string picture;
};

Seen_End Now(const Frame &frame)
{
    Seen_End end;
    const Match_State position = Game_Position();
    end.hash = Match_Hash(position);
    end.points[SOLIDS] = position.points[SOLIDS];
    end.points[STRIPES] = position.points[STRIPES];
    end.picture = Seen(frame.screen);
    return end;
}

constexpr int ROUNDS = 3;

TEST(RecordedMatch, ReplaysToTheSamePositionAtOnceAndOnScreen)
{
    const std::string file = torvek_test::ScratchDir() + "/match.txt";
    Options recording;
    recording.seed = 77;
    recording.max_seconds = 3000;
    recording.words = {"--computer", "both", "--level", "easy", "--record", file};
    Seen_End recorded;
    Run_Match(recording, [&](const Frame &frame) {
        if (opponent[SOLIDS]->Get_Points() + opponent[STRIPES]->Get_Points() < ROUNDS ||
            !Awaiting_Move())
            return false;
        recorded = Now(frame);
        return true;
    });
    ASSERT_EQ(recorded.points[SOLIDS] + recorded.points[STRIPES], ROUNDS);

    // Every move was flushed to the file as it was played.
    Match_Record record;
    Record_Fault fault;
    ASSERT_TRUE(Record_Read(torvek_test::ReadFile(file), record, fault)) << fault.line << ": " << fault.what;
    ASSERT_GT(record.moves.size(), 20u);
    Match_State replayed;
    ASSERT_TRUE(Match_Replay(record, replayed));
    EXPECT_EQ(Match_Hash(replayed), recorded.hash);
    EXPECT_EQ(replayed.points[SOLIDS], recorded.points[SOLIDS]);
    EXPECT_EQ(replayed.rounds_won, ROUNDS);

    // A fresh match brought to the record in one call, in its first frame.
    Options fresh;
    fresh.setup = [&] { ASSERT_TRUE(Bring_Match_To(record)); };
    Seen_End brought;
    Run_Match(fresh, [&](const Frame &frame) {
        brought = Now(frame);
        return true;
    });
    EXPECT_EQ(brought.hash, recorded.hash);
    EXPECT_EQ(brought.picture, recorded.picture);

    // On screen at the normal pace, each move shown as the computer's are,
    // then the keyboard's: Space and Right move its cursors.
    Options replay;
    replay.max_seconds = 3000;
    replay.words = {"--replay", file};
    Seen_End shown;
    bool keyboard_moved = false;
    size_t shown_moves = 0;
    bool was_moving = false;
    float last_move_at = -1, shortest_gap = 1e9f;
    Run_Match(replay, [&](const Frame &frame) {
        if (transition != 0 && !was_moving) {
            if (last_move_at >= 0)
                shortest_gap = std::min(shortest_gap, frame.time - last_move_at);
            last_move_at = frame.time;
            ++shown_moves;
        }
        was_moving = transition != 0;
        if (Replay_Has_Moves() || !Awaiting_Move())
            return false;
        if (shown.picture.empty()) {
            shown = Now(frame);
            Press({HGEK_RIGHT});
            return false;
        }
        keyboard_moved = selection[0] == 1;
        return true;
    });
    EXPECT_EQ(shown_moves, record.moves.size());
    // Half a second on what moves, half on where, then the move itself.
    EXPECT_GE(shortest_gap, 2 * 0.5f + 1.0f);
    EXPECT_EQ(shown.hash, recorded.hash);
    EXPECT_EQ(shown.picture, recorded.picture);
    EXPECT_TRUE(keyboard_moved) << "the keyboard did not take over where the replay ended";
}

// A record that cannot be replayed stops the program before anything
// starts, with status 2 and one line naming the file and the line.
TEST(RecordedMatch, FilesThatWillNotDoSayWhereAndStartNothing)
{
    const std::string folder = torvek_test::ScratchDir();
    struct Case {
        const char *name;
        std::string text;
        const char *says;
    };
    const std::string start = Record_Header(SOLIDS);
    const Case cases[] = {
        {"empty", "", ":1: the file is empty"},
        {"header only", "torvek-match 1\n", ":2: the file ends before its first side"},
        {"cut short", start + "place 0 4\nplace 1", ":4: the line is cut short"},
        {"later version", "torvek-match 2\nfirst solids\n", ":1: from a later version"},
        {"not a record", "hello\n", ":1: not a TORVEK match record"},
        {"no first side", "torvek-match 1\nfirst nobody\n", ":2: the second line must be"},
        {"not a move", start + "place 0 4\njump 1 2\n", ":4: not a move"},
        {"refused", start + "place 0 4\nplace 0 4\n", ":4: the rules refuse \"place 0 4\": the cell is taken"},
        {"out of turn kind", start + "capture 0 1\n", ":3: the rules refuse \"capture 0 1\": the sides are placing"},
    };
    for (const Case &c : cases) {
        const std::string path = folder + "/" + c.name + ".txt";
        torvek_test::WriteFile(path, c.text);
        testing::internal::CaptureStderr();
        const int status = RunWinMain({"--replay", path});
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 2) << c.name;
        EXPECT_NE(err.find(path + c.says), std::string::npos) << c.name << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name << ": " << err;
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunWinMain({"--replay", folder + "/none.txt"}), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("none.txt: cannot be read"),
              std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunWinMain({"--record", folder + "/no/such/folder.txt"}), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("folder.txt: cannot be written"),
              std::string::npos);
    EXPECT_EQ(hgeTesting::FrameCount(), 0);
    EXPECT_EQ(hge, nullptr);
}

}  // namespace
