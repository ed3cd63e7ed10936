#include "computer.h"

#include <algorithm>
#include <cstring>

#include "board.h"
#include "computer_eval.h"
#include "computer_search.h"
#include "resources.h"

int computer_level = LEVEL_HARD;
bool computer_plays[SIDES] = {false, false};

Round_State Round_From_Game(int side)
{
    Round_State state = Game_Position().round;
    state.turn = static_cast<int8_t>(side);
    Round_Settle(state);
    return state;
}

// ---------------------------------------------------------------- easy

// How often, in percent, easy moves at random when it sees no win: a
// beginner's play that still never misses a winning capture.
constexpr int EASY_RANDOM_PERCENT = 60;

// The position after one move, as the side that made it sees it.
static int Score_After(const Round_State &child, int side)
{
    if (child.winner != NO_WINNER)
        return child.winner == side ? WIN_SCORE : -WIN_SCORE;
    const int score = Evaluate(child);
    return child.turn == side ? score : -score;
}

// A win it sees is always taken; otherwise a random move more often than
// not, else the move that looks best one placing or capture ahead.
static Round_Move Think_Easy(const Round_State &state, const Computer_Random &random)
{
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(state, moves);
    if (count == 0)
        return {-1, -1};
    int scores[ROUND_MAX_MOVES];
    int best = -INFINITE_SCORE;
    for (int i = 0; i < count; ++i) {
        Round_State child = state;
        Round_Play(child, moves[i]);
        scores[i] = Score_After(child, state.turn);
        best = std::max(best, scores[i]);
    }
    if (best < WIN_SCORE && random(1, 100) <= EASY_RANDOM_PERCENT)
        return moves[random(0, count - 1)];
    Round_Move picks[ROUND_MAX_MOVES];
    int picked = 0;
    for (int i = 0; i < count; ++i)
        if (scores[i] == best)
            picks[picked++] = moves[i];
    return picks[picked > 1 ? random(0, picked - 1) : 0];
}

// ---------------------------------------------------------------- the searching levels

// Hard looks as far ahead as its budget allows: 20,000 positions take a few
// milliseconds here.
constexpr Search_Settings HARD = {20000, SEARCH_MAX_PLY};
// Medium looks one placing ahead, and through every fight to its end: it
// never lets the other side win at once where another move would not, but it
// does not see what the other side will place next. The budget only bounds the
// longest fights.
constexpr Search_Settings MEDIUM = {2000, 1};

static Round_Move Think_Searching(const Round_State &state, int level,
                                  const Computer_Random &random, const Computer_Memory &memory,
                                  const Computer_Limits &limits, Computer_Stats *stats)
{
    Search_Settings settings = level == LEVEL_MEDIUM ? MEDIUM : HARD;
    if (limits.nodes > 0)
        settings.nodes = limits.nodes;
    return Search_Move(state, settings, random, memory, stats);
}

// ---------------------------------------------------------------- the player

static void Note(Computer_Memory &memory, uint64_t key)
{
    if (memory.count < Computer_Memory::SIZE)
        memory.seen[memory.count++] = key;
    else {
        std::memmove(memory.seen, memory.seen + 1, sizeof memory.seen - sizeof memory.seen[0]);
        memory.seen[Computer_Memory::SIZE - 1] = key;
    }
}

Round_Move Computer_Think(const Round_State &state, int level, const Computer_Random &random,
                          Computer_Memory &memory, const Computer_Limits &limits,
                          Computer_Stats *stats)
{
    const int progress = Combo_Total(state);
    if (memory.combo_total != progress) {
        memory.count = 0;
        memory.combo_total = progress;
    }
    const Round_Move move = level == LEVEL_EASY
                                ? Think_Easy(state, random)
                                : Think_Searching(state, level, random, memory, limits, stats);
    Note(memory, Round_Hash(state));
    if (move.from >= 0) {
        Round_State next = state;
        Round_Play(next, move);
        if (next.winner == NO_WINNER && Combo_Total(next) == progress)
            Note(memory, Round_Hash(next));
    }
    return move;
}

// What each side's computer remembers of the round it plays.
static Computer_Memory memories[SIDES];

void Forget_Computer_Memories()
{
    for (Computer_Memory &memory : memories)
        memory = Computer_Memory();
}

Move Computer_Move(int side)
{
    Match_State match = Game_Position();
    match.round.turn = static_cast<int8_t>(side);
    Round_Settle(match.round);
    const Computer_Random random = [](int min, int max) { return hge->Random_Int(min, max); };
    const Round_Move move = Computer_Think(match.round, computer_level, random, memories[side & 1]);
    if (move.from < 0)
        return {MOVE_PLACE, 0, NO_CELL};
    return Match_From_Round(match, move);
}
