// The computer side. It chooses its moves on a compact copy of the round
// (the same flow the match plays: placing, fighting, passes, stand-offs and
// the win check) and hands them back as the moves a keyboard turn makes.
#pragma once

#include <cstdint>
#include <functional>

#include "moves.h"

enum { LEVEL_EASY = 0, LEVEL_MEDIUM = 1, LEVEL_HARD = 2 };

// How well the computer plays; LEVEL_HARD unless the menu or the command line says otherwise.
extern int computer_level;
// The sides the computer moves; none by default.
extern bool computer_plays[SIDES];

// The move of `side` in the game's position as it stands (board_array,
// opponent, game_phase, game_turn). Changes nothing in the game; its random
// choices come from hge->Random_Int. Only for a side to move that has a move
// of the current phase: a piece in hand and an empty cell, or a capture.
Move Computer_Move(int side);
// Both sides' computers forget the positions they have seen, as at program start.
void Forget_Computer_Memories();

// The game's own position with `side` to move, read from its globals, then
// settled (Round_Settle).
Round_State Round_From_Game(int side);

// ---------------------------------------------------------------------------
// The player itself, on compact positions.

// Every random choice of the computer: a whole number from min to max, both included.
using Computer_Random = std::function<int(int min, int max)>;

// What one computer player remembers of the round it plays: the positions it
// moved from and moved into, so that it does not run the same cycle of
// stand-offs for ever. Forgets on its own once a capture or a new deal passes.
struct Computer_Memory {
    static constexpr int SIZE = 64;
    uint64_t seen[SIZE];
    int count = 0;
    int combo_total = -1;  // the round's progress when the first entry was made
};

// How much a search may cost, counted in positions rather than time so that
// the same position and seed always give the same move.
struct Computer_Limits {
    long nodes = 0;  // 0: the level's own budget
};

struct Computer_Stats {
    long nodes = 0;
    int depth = 0;           // the last search depth completed (medium and hard)
    bool exact = false;      // the search saw every line to its end
    int score = 0;           // what the move chosen is worth to the side that made it
};

// The computer's move in a settled position with a move to make.
Round_Move Computer_Think(const Round_State &state, int level, const Computer_Random &random,
                          Computer_Memory &memory, const Computer_Limits &limits = {},
                          Computer_Stats *stats = nullptr);
