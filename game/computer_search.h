// The hard computer's search: deepening one placing at a time, fights to their end.
#pragma once

#include "computer.h"

// The best move of a settled position with a move to make, within the limits.
Round_Move Search_Move(const Round_State &state, const Computer_Random &random,
                       const Computer_Memory &memory, const Computer_Limits &limits,
                       Computer_Stats *stats);
