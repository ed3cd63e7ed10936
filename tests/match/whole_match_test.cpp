// A whole match from the title screen: two rounds won in a row with the
// keyboard alone, the same way on every run with the same seed; and rounds
// the computer plays against itself.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "animation.h"
#include "board.h"
#include "match_play.h"
#include "soak_watch.h"
#include "turns.h"

using namespace match_test;

namespace {

// Both rounds are written for whichever side places first in them. In the
// first, that side wins by full combo; the loser then places first in the
// second, and the same side wins again with all pieces.
const std::vector<Move> FULL_COMBO_ROUND = {
    {MOVE_PLACE, 4, 2}, {MOVE_PLACE, 4, 4}, {MOVE_PLACE, 2, 5}, {MOVE_PLACE, 2, 8}, {MOVE_PLACE, 0, 7},
    {MOVE_PLACE, 1, 0}, {MOVE_PLACE, 0, 6}, {MOVE_PLACE, 2, 1}, {MOVE_PLACE, 0, 3},
    {MOVE_CAPTURE, 4, 7}, {MOVE_CAPTURE, 7, 6}, {MOVE_CAPTURE, 3, 6},
    {MOVE_PLACE, 1, 7}, {MOVE_PLACE, 1, 4}, {MOVE_PLACE, 2, 3},
    {MOVE_CAPTURE, 4, 3}, {MOVE_CAPTURE, 3, 0},
};
const std::vector<Move> ALL_PIECES_ROUND = {
    {MOVE_PLACE, 3, 5}, {MOVE_PLACE, 5, 1}, {MOVE_PLACE, 2, 8}, {MOVE_PLACE, 0, 3}, {MOVE_PLACE, 3, 2},
    {MOVE_PLACE, 3, 7}, {MOVE_PLACE, 0, 0}, {MOVE_PLACE, 1, 4}, {MOVE_PLACE, 0, 6},
    {MOVE_CAPTURE, 7, 6}, {MOVE_CAPTURE, 1, 0},
    {MOVE_PLACE, 0, 1}, {MOVE_PLACE, 3, 7},
    {MOVE_CAPTURE, 4, 1}, {MOVE_CAPTURE, 1, 2}, {MOVE_CAPTURE, 7, 8}, {MOVE_CAPTURE, 8, 5},
};

constexpr uint32_t SEED = 20240607;

std::string Trace_Line(const Record &r)
{
    const Snapshot &s = r.state;
    std::ostringstream line;
    line << r.frame.index << ' ' << s.game_turn << s.game_phase << s.turn_phase << ' '
         << s.selection[0] << ',' << s.selection[1] << ' ' << s.transition << s.trans_phase
         << ' ' << s.trans_var[0] << ',' << s.trans_var[1] << " [" << s.board << "] ["
         << s.hand[0] << "] [" << s.hand[1] << "] " << s.points[0] << ':' << s.points[1];
    for (const std::string &m : s.messages)
        line << " \"" << m << '"';
    line << ' ' << r.frame.screen.quads << '\n';
    return line.str();
}

struct Match_Result {
    std::vector<Record> records;
    std::string trace;
    int wrong_counts = 0;
    int wrong_cursors = 0;
    size_t moves_played = 0;
};

Match_Result Play_Whole_Match()
{
    std::vector<Move> moves = FULL_COMBO_ROUND;
    moves.insert(moves.end(), ALL_PIECES_ROUND.begin(), ALL_PIECES_ROUND.end());
    Options options;
    options.seed = SEED;
    options.step = 1.0f / 8;  // announcements and animations count seconds, not frames
    Match_Result result;
    result.records = Play(options, [&](const Record &r) {
        result.trace += Trace_Line(r);
        if (r.state.pieces != MATCH_PIECES)
            ++result.wrong_counts;
        if (r.state.points[0] + r.state.points[1] == 2)
            return true;
        if (result.moves_played < moves.size() && Awaiting_Move()) {
            const int *start = game_phase == PHASE_PLACING ? PLACING_CURSORS : FIGHTING_CURSORS;
            if (selection[0] != start[0] || selection[1] != start[1])
                ++result.wrong_cursors;
            Press(Keys_For(moves[result.moves_played++]));
        }
        return false;
    });
    return result;
}

// The trace of the same match played in a fresh process.
std::string Trace_In_Child()
{
    int fds[2];
    if (pipe(fds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const std::string trace = Play_Whole_Match().trace;
        for (size_t written = 0; written < trace.size();) {
            const ssize_t n = write(fds[1], trace.data() + written, trace.size() - written);
            if (n <= 0)
                break;
            written += static_cast<size_t>(n);
        }
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    std::string trace;
    char buffer[65536];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        trace.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return trace;
}

}  // namespace

TEST(WholeMatch, TwoRoundsWonInARowFromTheTitleScreenTheSameWayEveryTime)
{
    const std::string other_run = Trace_In_Child();
    const Match_Result match = Play_Whole_Match();
    ASSERT_FALSE(match.records.empty());

    EXPECT_EQ(match.moves_played, FULL_COMBO_ROUND.size() + ALL_PIECES_ROUND.size());
    EXPECT_EQ(match.wrong_counts, 0) << "frames without exactly twelve pieces";
    EXPECT_EQ(match.wrong_cursors, 0) << "turns that did not start from their cursors";

    const int first = match.records[0].state.game_turn;
    const std::string winner = first == SOLIDS ? "Solids" : "Stripes";
    const Snapshot &end = match.records.back().state;
    EXPECT_EQ(end.points[first], 2);
    EXPECT_EQ(end.points[1 - first], 0);
    EXPECT_EQ(end.board, ". . . . . . . . .");
    EXPECT_EQ(end.hand[0], "0 0 1 1 2 2");
    EXPECT_EQ(end.hand[1], "0 0 1 1 2 2");

    const std::string F = "Fightin' time!", C = "Player can't attack.", S = "Stand-off!";
    EXPECT_EQ(Announcements(match.records),
              (std::vector<std::string>{F, C, S, F, C, S, winner + " with full combo!",
                                        F, C, S, F, C, C, C, C, S, winner + " with all pieces!"}));

    EXPECT_EQ(match.trace, other_run) << "the same seed played differently";
}

TEST(WholeMatch, TheComputerPlaysBothSidesThroughRoundsByItself)
{
    Options options;
    options.words = {"--computer", "both"};
    options.step = 1.0f / 8;
    // Rounds between equals are long: every move takes seconds to show and play.
    options.max_seconds = 3600;
    soak::Match_Watch watch;
    std::string problem;
    const auto records = Play(options, [&](const Record &r) {
        problem = watch.After_Frame();
        return !problem.empty() || r.state.points[0] + r.state.points[1] == 3;
    });
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(problem, "");
    const Snapshot &end = records.back().state;
    EXPECT_EQ(end.points[0] + end.points[1], 3) << "in " << records.back().frame.time << " s";
    EXPECT_GT(watch.Counts().captures, 0);
}
