// The arena's yardstick: the hard computer's search as it was before the
// search of today's levels, frozen. Only the arena links it.
#pragma once

#include "computer.h"

namespace baseline {

// Its budget in the game: 20,000 positions a move.
constexpr long NODES = 20000;

// Its move in a settled position with a move to make, within `nodes` positions.
Round_Move Think(const Round_State &state, const Computer_Random &random, Computer_Memory &memory,
                 long nodes);

}  // namespace baseline
