// One player of an online match for the tests: the real program, headless
// on a virtual clock, started with the online options after "--", that
// plays its own side by keys (a random legal move at each of its turns, the
// keys a player would press) and stops once the match has seen the given
// number of rounds won and the next deal. It prints the room when it makes
// one (the program does), and at the end one line:
//     final HASH SOLIDS_POINTS STRIPES_POINTS MOVES_PLAYED
// and, for each --moves N, once N moves have been played and the next is
// awaited (for the checks of a match that is not played to its end):
//     moves HASH N
// Status 0 when it got there, 1 when its time ran out first. With
// --until-over it also stops, with status 0, once the online link is over
// for good (the room ended, the relay went away), and prints "over".
//
//     torvek_online_player [--seed N] [--rounds R] [--seconds S] [--state DIR] [--until-over]
//                          [--moves N]... -- GAME OPTIONS...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "animation.h"
#include "board.h"
#include "hge_entry.h"
#include "match.h"
#include "match_play.h"
#include "online.h"
#include "pieces.h"
#include "resources.h"
#include "turns.h"

namespace {

// Frames run back to back on the virtual clock; a short real pause in each
// leaves the processor to the relay and the other players.
constexpr auto FRAME_PAUSE = std::chrono::microseconds(500);

struct Player_Options {
    unsigned seed = 1;
    int rounds = 1;
    int seconds = 120;
    std::string state;  // the player's state folder, where it keeps its seat
    bool until_over = false;
    std::set<size_t> moves_to_tell;
    std::vector<std::string> game;
};

bool Read(int argc, char **argv, Player_Options &options)
{
    int i = 1;
    while (i < argc && std::string(argv[i]) != "--") {
        const std::string word = argv[i++];
        if (word == "--until-over") {
            options.until_over = true;
            continue;
        }
        if (i >= argc)
            return false;
        const std::string value_word = argv[i++];
        const int value = std::atoi(value_word.c_str());
        if (word == "--state")
            options.state = value_word;
        else if (word == "--seed")
            options.seed = static_cast<unsigned>(value);
        else if (word == "--rounds")
            options.rounds = value;
        else if (word == "--seconds")
            options.seconds = value;
        else if (word == "--moves")
            options.moves_to_tell.insert(static_cast<size_t>(value));
        else
            return false;
    }
    for (++i; i < argc; ++i)
        options.game.push_back(argv[i]);
    return true;
}

bool In_Match()
{
    return hge && hge->System_GetState(HGE_FRAMEFUNC) == Game && opponent[SOLIDS];
}

}  // namespace

int main(int argc, char **argv)
{
    Player_Options options;
    if (!Read(argc, argv, options)) {
        std::fprintf(stderr, "usage: torvek_online_player [--seed N] [--rounds R] [--seconds S] [--state DIR] [--until-over] -- OPTIONS\n");
        return 2;
    }
    if (!options.state.empty())
        setenv("XDG_STATE_HOME", options.state.c_str(), 1);
    std::mt19937 random(options.seed);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
    bool done = false;
    size_t moves_played = 0;
    bool was_moving = false;
    int last_step = 0;
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock(match_test::FRAME_STEP, 100.0f);
    hgeTesting::SetSeed(options.seed);
    hgeTesting::QueueKeys({HGEK_ENTER, HGEK_N});
    hgeTesting::SetFrameHook([&](int) {
        std::this_thread::sleep_for(FRAME_PAUSE);
        if (std::chrono::steady_clock::now() > deadline)
            return true;
        if (options.until_over && Online_Over()) {
            std::printf("over\n");
            std::fflush(stdout);
            done = true;
            return true;
        }
        if (!In_Match())
            return false;
        // A move that starts in the frame the one before ends shows only as its steps starting again.
        moves_played += transition != TRANS_NONE && (!was_moving || trans_phase < last_step);
        was_moving = transition != TRANS_NONE;
        last_step = trans_phase;
        if (!match_test::Awaiting_Move())
            return false;
        const Match_State position = Game_Position();
        if (options.moves_to_tell.erase(moves_played)) {
            std::printf("moves %016llx %zu\n", static_cast<unsigned long long>(Match_Hash(position)),
                        moves_played);
            std::fflush(stdout);
        }
        if (position.points[SOLIDS] + position.points[STRIPES] >= options.rounds) {
            std::printf("final %016llx %d %d %zu\n", static_cast<unsigned long long>(Match_Hash(position)),
                        position.points[SOLIDS], position.points[STRIPES], moves_played);
            std::fflush(stdout);
            done = true;
            return true;
        }
        if (!Moves_By_Hand(game_turn))
            return false;
        Move legal[MATCH_MAX_MOVES];
        const int count = Match_Moves(position, legal);
        match_test::Press(match_test::Keys_For(legal[random() % count]));
        return false;
    });
    RunWinMain(options.game);
    hgeTesting::Reset();
    return done ? 0 : 1;
}
