// torvek_arena: rounds between computer players on the rules the computer
// searches with, without drawing, clock or engine. For each pairing it prints
// the rounds each player won, the rounds still undecided after MAX_MOVES
// moves, and how long each player took per move (median and maximum).
//
//   torvek_arena --a hard --b greedy --rounds 1000 --seed 1
//   torvek_arena --all --rounds 1000 --seed 1
//
// Players: random (any legal move), greedy (a winning capture, else the
// capture to the highest combo, else any move), easy and hard (the game's
// own levels). Round by round the players swap sides, and every other pair
// of rounds the other side places first.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "computer.h"

constexpr int MAX_MOVES = 300;

enum Brain { RANDOM, GREEDY, EASY, HARD, BRAINS };
static const char *const BRAIN_NAMES[BRAINS] = {"random", "greedy", "easy", "hard"};

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

struct Player_Record {
    Brain brain = RANDOM;
    int wins = 0;
    std::vector<double> move_ms;
};

static Round_Move Pick_Random(const Round_State &state, const Computer_Random &random)
{
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(state, moves);
    return moves[random(0, count - 1)];
}

static Round_Move Pick_Greedy(const Round_State &state, const Computer_Random &random)
{
    if (state.phase == 0)
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

static Round_Move Pick(Player_Record &player, const Round_State &state, Arena_Random &generator,
                       Computer_Memory &memory, const Computer_Limits &limits)
{
    const Computer_Random random = [&generator](int min, int max) { return generator(min, max); };
    const auto start = std::chrono::steady_clock::now();
    Round_Move move{};
    if (player.brain == RANDOM)
        move = Pick_Random(state, random);
    else if (player.brain == GREEDY)
        move = Pick_Greedy(state, random);
    else
        move = Computer_Think(state, player.brain == EASY ? LEVEL_EASY : LEVEL_HARD, random,
                              memory, limits);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    player.move_ms.push_back(took.count());
    return move;
}

// One round from the deal; the winning player (0 for a, 1 for b) or -1.
static int Play_Round(Player_Record (&players)[2], int a_side, int first, Arena_Random &generator,
                      const Computer_Limits &limits)
{
    Round_State state = Round_Deal(first);
    Round_Settle(state);
    Computer_Memory memories[SIDES];
    for (int moves = 0; moves < MAX_MOVES && state.winner < 0; ++moves) {
        const int side = state.turn;
        const int player = side == a_side ? 0 : 1;
        Round_Play(state, Pick(players[player], state, generator, memories[side], limits));
    }
    if (state.winner < 0)
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

static void Play_Pairing(Brain a, Brain b, int rounds, uint64_t seed, const Computer_Limits &limits)
{
    Player_Record players[2];
    players[0].brain = a;
    players[1].brain = b;
    Arena_Random generator(seed);
    int undecided = 0;
    for (int round = 0; round < rounds; ++round) {
        // a plays Solids and Stripes in turn; the first mover changes every two rounds.
        const int a_side = round % 2;
        const int first = round / 2 % 2;
        const int winner = Play_Round(players, a_side, first, generator, limits);
        if (winner < 0)
            ++undecided;
        else
            ++players[winner].wins;
    }
    const int decided = rounds - undecided;
    std::printf("%-6s vs %-6s  rounds %d: %s %d, %s %d, undecided %d; %s %.1f%% of decided; "
                "ms per move: %s median %.3f max %.2f, %s median %.3f max %.2f",
                BRAIN_NAMES[a], BRAIN_NAMES[b], rounds, BRAIN_NAMES[a], players[0].wins,
                BRAIN_NAMES[b], players[1].wins, undecided, BRAIN_NAMES[a],
                decided ? 100.0 * players[0].wins / decided : 0.0, BRAIN_NAMES[a],
                Median(players[0].move_ms), Longest(players[0].move_ms), BRAIN_NAMES[b],
                Median(players[1].move_ms), Longest(players[1].move_ms));
    std::printf("\n");
    std::fflush(stdout);
}

static int Usage(const char *program)
{
    std::fprintf(stderr,
                 "usage: %s (--a PLAYER --b PLAYER | --all) [--rounds N] [--seed S] [--nodes N]\n"
                 "  PLAYER: random, greedy, easy or hard\n"
                 "  --all    hard-random, hard-greedy, hard-easy, easy-random, greedy-random,\n"
                 "           random-random and hard-hard\n"
                 "  --rounds rounds per pairing (1000)\n"
                 "  --seed   seed of every random choice (1)\n"
                 "  --nodes  node budget of a hard search (the game's own by default)\n",
                 program);
    return 2;
}

static bool Parse_Brain(const char *name, Brain &brain)
{
    for (int i = 0; i < BRAINS; ++i)
        if (std::strcmp(name, BRAIN_NAMES[i]) == 0) {
            brain = static_cast<Brain>(i);
            return true;
        }
    return false;
}

static bool Parse_Number(const char *text, long long minimum, long long &value)
{
    char *end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && value >= minimum;
}

int main(int argc, char **argv)
{
    Brain a = BRAINS, b = BRAINS;
    bool all = false;
    long long rounds = 1000, seed = 1, nodes = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool has_value = i + 1 < argc;
        if (option == "--all") {
            all = true;
        } else if (option == "--a" && has_value) {
            if (!Parse_Brain(argv[++i], a))
                return Usage(argv[0]);
        } else if (option == "--b" && has_value) {
            if (!Parse_Brain(argv[++i], b))
                return Usage(argv[0]);
        } else if (option == "--rounds" && has_value) {
            if (!Parse_Number(argv[++i], 1, rounds))
                return Usage(argv[0]);
        } else if (option == "--seed" && has_value) {
            if (!Parse_Number(argv[++i], 0, seed))
                return Usage(argv[0]);
        } else if (option == "--nodes" && has_value) {
            if (!Parse_Number(argv[++i], 1, nodes))
                return Usage(argv[0]);
        } else {
            return Usage(argv[0]);
        }
    }
    if (all == (a != BRAINS || b != BRAINS) || (!all && (a == BRAINS || b == BRAINS)))
        return Usage(argv[0]);

    Computer_Limits limits;
    if (nodes > 0)
        limits.nodes = static_cast<long>(nodes);
    if (!all) {
        Play_Pairing(a, b, static_cast<int>(rounds), static_cast<uint64_t>(seed), limits);
        return 0;
    }
    const Brain pairings[][2] = {{HARD, RANDOM}, {HARD, GREEDY}, {HARD, EASY},    {EASY, RANDOM},
                                 {GREEDY, RANDOM}, {RANDOM, RANDOM}, {HARD, HARD}};
    for (const auto &pairing : pairings)
        Play_Pairing(pairing[0], pairing[1], static_cast<int>(rounds), static_cast<uint64_t>(seed),
                     limits);
    return 0;
}
