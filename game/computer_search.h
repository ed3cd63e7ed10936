// The searching levels' search: deepening one placing at a time, fights to their end.
#pragma once

#include "computer.h"

// Deeper than any line a budget reaches; a line this long is judged where it stands.
constexpr int SEARCH_MAX_PLY = 64;

// How far a search may go: positions in all, and placings ahead at most.
struct Search_Settings {
    long nodes;
    int depth;
};

// The best move of a settled position with a move to make, within the
// settings; ties are broken with `random`.
Round_Move Search_Move(const Round_State &state, const Search_Settings &settings,
                       const Computer_Random &random, const Computer_Memory &memory,
                       Computer_Stats *stats);
