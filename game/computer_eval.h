// What a position is worth to the computer when its search stops looking.
#pragma once

#include "computer_round.h"

// A round won, less the moves it takes to win it, so that the nearest win counts most.
constexpr int WIN_SCORE = 30000;
// Scores beyond this are wins or losses the search has seen.
constexpr int WIN_BOUND = WIN_SCORE - 1000;
// Beyond every score.
constexpr int INFINITE_SCORE = 32000;

// The position as the side to move sees it, in hundredths of a piece.
int Evaluate(const Round_State &state);
