// torvek_arena: rounds between computer players on the rules the computer
// searches with, without drawing, clock or engine. For each pairing it prints
// the rounds each player won, the rounds still undecided after MAX_MOVES
// moves, the share of decided rounds player A won with its 95% interval,
// how long each player took per move (median and maximum, in processor
// time, so that other programs on the machine do not count), and how often
// each made a move that let the other side win at once when another move
// would not have.
//
//   torvek_arena --a hard --b greedy --rounds 1000 --seed 1
//   torvek_arena --a hard --b baseline@400000 --rounds 400
//   torvek_arena --all --rounds 1000 --seed 1
//
// Players: random (any legal move), greedy (a winning capture, else the
// capture to the highest combo, else any move), easy, medium and hard (the
// game's own levels) and baseline (the hard search as it was before its rewrite,
// frozen in arena_baseline.cpp). Round by round the players swap sides, and
// every other pair of rounds the other side places first.
#include <algorithm>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <string>
#include <vector>

#include "arena_baseline.h"
#include "computer.h"

constexpr int MAX_MOVES = 300;

// The searching players come last, from MEDIUM on.
enum Brain { RANDOM, GREEDY, EASY, MEDIUM, HARD, BASELINE, BRAINS };
static const char *const BRAIN_NAMES[BRAINS] = {"random", "greedy",  "easy",
                                                "medium", "hard",    "baseline"};

// A small seeded generator of the arena's own, drawing like the engine's
// Random_Int: min to max, both included, every value equally likely.
class Arena_Random {
public:
    explicit Arena_Random(uint64_t seed) : state(seed * 0x9e3779b97f4a7c15ull + 1) {}

    int operator()(int min, int max)
    {
        if (max < min)
            std::swap(min, max);
        const uint64_t span = static_cast<uint64_t>(max - min) + 1;
        const uint64_t limit = UINT64_MAX - UINT64_MAX % span;
        uint64_t draw;
        do {
            draw = Next();
        } while (draw >= limit);
        return min + static_cast<int>(draw % span);
    }

private:
    uint64_t Next()
    {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }

    uint64_t state;
};

// The game's level behind each computer player (the others have none).
static const int BRAIN_LEVELS[BRAINS] = {-1, -1, LEVEL_EASY, LEVEL_MEDIUM, LEVEL_HARD, -1};

struct Player_Record {
    Brain brain = RANDOM;
    Computer_Limits limits;
    int wins = 0;
    int wins_placing_first = 0;  // of those, the rounds in which it placed first
    std::vector<double> move_ms;
    // Moves after which the other side could win at once, where another move
    // would not have let it.
    int wins_handed_over = 0;
};

static Round_Move Pick_Random(const Round_State &state, const Computer_Random &random)
{
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(state, moves);
    return moves[random(0, count - 1)];
}

static Round_Move Pick_Greedy(const Round_State &state, const Computer_Random &random)
{
    if (state.phase == PHASE_PLACING)
        return Pick_Random(state, random);
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(state, moves);
    Round_Move best[ROUND_MAX_MOVES];
    int ties = 0;
    int best_score = -1;
    for (int i = 0; i < count; ++i) {
        Round_State after = state;
        Round_Play(after, moves[i]);
        // A win first, then the combo the capturing piece reaches.
        const int score = after.winner == state.turn ? 100 : Code_Combo(after.cell[moves[i].to]);
        if (score > best_score) {
            best_score = score;
            ties = 0;
        }
        if (score == best_score)
            best[ties++] = moves[i];
    }
    return best[random(0, ties - 1)];
}

// How a round starts: from the deal, or after some placings at random.
struct Opening {
    int placings;
    uint64_t seed;
};

static Round_Move Pick(Player_Record &player, const Round_State &state, Arena_Random &generator,
                       Computer_Memory &memory)
{
    const Computer_Random random = [&generator](int min, int max) { return generator(min, max); };
    const std::clock_t start = std::clock();
    Round_Move move{};
    if (player.brain == RANDOM)
        move = Pick_Random(state, random);
    else if (player.brain == GREEDY)
        move = Pick_Greedy(state, random);
    else if (player.brain == BASELINE)
        move = baseline::Think(state, random, memory,
                               player.limits.nodes > 0 ? player.limits.nodes : baseline::NODES);
    else
        move = Computer_Think(state, BRAIN_LEVELS[player.brain], random, memory, player.limits);
    player.move_ms.push_back(1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    return move;
}

// Whether the side to move after `state` is not `side` and has a winning move.
static bool Other_Side_Wins_At_Once(const Round_State &state, int side)
{
    if (state.winner != NO_WINNER || state.turn == side)
        return false;
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(state, moves);
    for (int i = 0; i < count; ++i) {
        Round_State after = state;
        Round_Play(after, moves[i]);
        if (after.winner == state.turn)
            return true;
    }
    return false;
}

static bool Hands_Over_A_Win(const Round_State &state, Round_Move chosen)
{
    Round_State after = state;
    Round_Play(after, chosen);
    if (!Other_Side_Wins_At_Once(after, state.turn))
        return false;
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(state, moves);
    for (int i = 0; i < count; ++i) {
        Round_State other = state;
        Round_Play(other, moves[i]);
        if (!Other_Side_Wins_At_Once(other, state.turn))
            return true;
    }
    return false;
}

// One round from the deal; the winning player (0 for a, 1 for b) or -1.
// The first placings of a round at random, drawn from the round's own seed.
static void Play_Opening(Round_State &state, int placings, uint64_t seed)
{
    Arena_Random generator(seed);
    const Computer_Random random = [&generator](int min, int max) { return generator(min, max); };
    for (int i = 0; i < placings && state.winner == NO_WINNER && state.phase == PHASE_PLACING; ++i)
        Round_Play(state, Pick_Random(state, random));
}

static int Play_Round(Player_Record (&players)[2], int a_side, int first, Arena_Random &generator,
                      const Opening &opening)
{
    Round_State state = Round_Deal(first);
    Round_Settle(state);
    Play_Opening(state, opening.placings, opening.seed);
    Computer_Memory memories[SIDES];
    for (int moves = 0; moves < MAX_MOVES && state.winner == NO_WINNER; ++moves) {
        const int side = state.turn;
        const int player = side == a_side ? 0 : 1;
        const Round_Move move = Pick(players[player], state, generator, memories[side]);
        players[player].wins_handed_over += Hands_Over_A_Win(state, move);
        Round_Play(state, move);
    }
    if (state.winner == NO_WINNER)
        return -1;
    return state.winner == a_side ? 0 : 1;
}

static double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    return values[middle];
}

static double Longest(const std::vector<double> &values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// The share of decided rounds won, with its 95% interval (Wilson's, which
// stays inside 0 to 100% near the ends).
struct Share {
    double percent, low, high;
};

static Share Wins_Share(int wins, int decided)
{
    if (decided == 0)
        return {0.0, 0.0, 0.0};
    const double z = 1.96, n = decided, p = wins / n;
    const double centre = (p + z * z / (2 * n)) / (1 + z * z / n);
    const double spread = z * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / (1 + z * z / n);
    return {100.0 * p, 100.0 * (centre - spread), 100.0 * (centre + spread)};
}

static std::string Player_Name(const Player_Record &player)
{
    std::string name = BRAIN_NAMES[player.brain];
    if (player.limits.nodes > 0)
        name += "@" + std::to_string(player.limits.nodes);
    return name;
}

static void Play_Pairing(Player_Record (&players)[2], int rounds, uint64_t seed, int placings)
{
    Arena_Random generator(seed);
    int undecided = 0;
    for (int round = 0; round < rounds; ++round) {
        // a plays Solids and Stripes in turn; the first mover changes every two
        // rounds; both rounds of a pair start from the same random placings.
        const int a_side = round % 2;
        const int first = round / 2 % 2;
        const Opening opening{placings, seed * 1000003 + static_cast<uint64_t>(round / 2)};
        const int winner = Play_Round(players, a_side, first, generator, opening);
        if (winner < 0) {
            ++undecided;
            continue;
        }
        ++players[winner].wins;
        players[winner].wins_placing_first += (winner == 0) == (a_side == first);
    }
    const int decided = rounds - undecided;
    const Share share = Wins_Share(players[0].wins, decided);
    const std::string a = Player_Name(players[0]);
    const std::string b = Player_Name(players[1]);
    std::printf("%s vs %s  rounds %d: %s %d (%d placing first), %s %d (%d), undecided %d; "
                "%s %.1f%% of decided "
                "(95%%: %.1f to %.1f); moves %zu; ms per move: %s median %.3f max %.2f, "
                "%s median %.3f max %.2f; wins handed over in one move: %s %d, %s %d\n",
                a.c_str(), b.c_str(), rounds, a.c_str(), players[0].wins,
                players[0].wins_placing_first, b.c_str(), players[1].wins,
                players[1].wins_placing_first, undecided, a.c_str(), share.percent, share.low,
                share.high,
                players[0].move_ms.size() + players[1].move_ms.size(), a.c_str(),
                Median(players[0].move_ms), Longest(players[0].move_ms), b.c_str(),
                Median(players[1].move_ms), Longest(players[1].move_ms), a.c_str(),
                players[0].wins_handed_over, b.c_str(), players[1].wins_handed_over);
    std::fflush(stdout);
}

static int Usage(const char *program)
{
    std::fprintf(stderr,
                 "usage: %s (--a PLAYER --b PLAYER | --all) [--rounds N] [--seed S]\n"
                 "  PLAYER   random, greedy, easy, medium, hard or baseline, and for the\n"
                 "           searching ones (medium, hard, baseline) @N for a budget of N\n"
                 "           positions a move instead of their own (baseline@400000)\n"
                 "  --all    every pairing of the table in BENCHMARKS.md\n"
                 "  --rounds rounds per pairing (1000)\n"
                 "  --opening N  every round starts with N placings at random, the same\n"
                 "           two rounds in a row with the players' sides swapped (0)\n"
                 "  --seed   seed of every random choice (1)\n",
                 program);
    return 2;
}

static bool Parse_Number(const char *text, long long minimum, long long &value)
{
    char *end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && value >= minimum;
}

// A player's name, with "@N" for a budget of its own.
static bool Parse_Player(const std::string &text, Player_Record &player)
{
    const size_t at = text.find('@');
    const std::string name = text.substr(0, at);
    for (int i = 0; i < BRAINS; ++i)
        if (name == BRAIN_NAMES[i])
            player.brain = static_cast<Brain>(i);
    if (name != BRAIN_NAMES[player.brain])
        return false;
    if (at == std::string::npos)
        return true;
    long long nodes = 0;
    const bool searches = player.brain >= MEDIUM;
    if (!searches || !Parse_Number(text.c_str() + at + 1, 1, nodes))
        return false;
    player.limits.nodes = static_cast<long>(nodes);
    return true;
}

// The table of BENCHMARKS.md, row by row.
static const char *const ALL_PAIRINGS[][2] = {
    {"hard", "baseline"},   {"hard", "baseline@400000"}, {"medium", "easy"},
    {"medium", "hard"},     {"hard", "easy"},            {"hard", "greedy"},
    {"hard", "random"},     {"easy", "random"},          {"greedy", "random"},
    {"random", "random"},   {"hard", "hard"},            {"baseline", "baseline@400000"},
};

int main(int argc, char **argv)
{
    Player_Record players[2];
    int named = 0;
    bool all = false;
    long long rounds = 1000, seed = 1, placings = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool has_value = i + 1 < argc;
        if (option == "--all") {
            all = true;
        } else if ((option == "--a" || option == "--b") && has_value) {
            named |= option == "--a" ? 1 : 2;
            if (!Parse_Player(argv[++i], players[option == "--a" ? 0 : 1]))
                return Usage(argv[0]);
        } else if (option == "--rounds" && has_value) {
            if (!Parse_Number(argv[++i], 1, rounds))
                return Usage(argv[0]);
        } else if (option == "--opening" && has_value) {
            if (!Parse_Number(argv[++i], 0, placings))
                return Usage(argv[0]);
        } else if (option == "--seed" && has_value) {
            if (!Parse_Number(argv[++i], 0, seed))
                return Usage(argv[0]);
        } else {
            return Usage(argv[0]);
        }
    }
    if (all ? named != 0 : named != 3)
        return Usage(argv[0]);
    if (!all) {
        Play_Pairing(players, static_cast<int>(rounds), static_cast<uint64_t>(seed),
                     static_cast<int>(placings));
        return 0;
    }
    for (const auto &pairing : ALL_PAIRINGS) {
        Player_Record pair[2];
        Parse_Player(pairing[0], pair[0]);
        Parse_Player(pairing[1], pair[1]);
        Play_Pairing(pair, static_cast<int>(rounds), static_cast<uint64_t>(seed),
                     static_cast<int>(placings));
    }
    return 0;
}
