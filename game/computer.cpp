#include "computer.h"

#include <algorithm>
#include <cstring>

#include "board.h"
#include "computer_eval.h"
#include "computer_search.h"
#include "resources.h"

int computer_level = LEVEL_HARD;
bool computer_plays[SIDES] = {false, false};

static int Clamp_Combo(int combo)
{
    return std::clamp(combo, 0, FULL_COMBO);
}

static Round_State Read_Game(int side)
{
    Round_State state{};
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        const Piece *piece = board_array[cell];
        if (piece)
            state.cell[cell] = static_cast<uint8_t>(
                Cell_Code(piece->Get_Owner(), piece->Get_Type(), Clamp_Combo(piece->Get_Combo())));
    }
    for (int owner = 0; owner < SIDES; ++owner) {
        const Player *player = opponent[owner];
        for (int i = 0; player && i < player->Get_HandSize(); ++i) {
            const Piece *piece = player->Get_Piece(i);
            ++state.hand[owner][Hand_Kind(piece->Get_Type(), Clamp_Combo(piece->Get_Combo()))];
        }
    }
    state.turn = static_cast<int8_t>(side);
    state.phase = static_cast<int8_t>(game_phase != 0);
    state.winner = -1;
    return state;
}

Round_State Round_From_Game(int side)
{
    Round_State state = Read_Game(side);
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
    if (child.winner >= 0)
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
        if (next.winner < 0 && Combo_Total(next) == progress)
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

Computer_Choice Computer_Move(int side)
{
    const Round_State state = Round_From_Game(side);
    const Computer_Random random = [](int min, int max) { return hge->Random_Int(min, max); };
    const Round_Move move = Computer_Think(state, computer_level, random, memories[side & 1]);
    if (move.from < 0)
        return {0, NO_CELL};
    if (state.phase != 0)
        return {move.from, move.to};
    // The first piece of the chosen kind in the real hand.
    const Player *player = opponent[side];
    for (int i = 0; i < player->Get_HandSize(); ++i) {
        const Piece *piece = player->Get_Piece(i);
        if (Hand_Kind(piece->Get_Type(), Clamp_Combo(piece->Get_Combo())) == move.from)
            return {i, move.to};
    }
    return {0, move.to};
}
