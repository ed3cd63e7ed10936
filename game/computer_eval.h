// What a position is worth to the computer when its search stops looking:
// what each side holds and how its pieces stand, weighed by weights that
// tools/torvek_tune.cpp fitted to the outcomes of rounds played out.
#pragma once

#include "round.h"

// A round won, less the moves it takes to win it, so that the nearest win counts most.
constexpr int WIN_SCORE = 30000;
// Scores beyond this are wins or losses the search has seen.
constexpr int WIN_BOUND = WIN_SCORE - 1000;
// Beyond every score.
constexpr int INFINITE_SCORE = 32000;

// The weights of what the evaluation counts, each for the side it belongs
// to; combo arrays run from combo 1 to combo 3.
struct Eval_Weights {
    int piece;                 // a piece held, on the board or in the hand
    int board_combo[3];        // ... on the board at that combo
    int hand_combo[3];         // ... in the hand at that combo
    int in_hand;               // ... in the hand at all
    int threat;                // a piece beside an enemy piece it beats
    int threat_prey_combo[3];  // ... when the prey carries that combo
    int winning_threat;        // ... when taking it makes a full combo
    int first_strike;          // ... when its side fights first
    int exposed;               // a piece the other side can still attack by placing beside it
    int exposed_combo[3];      // ... when it carries that combo
    int fights_first;          // the side that captures first once the board is full
    int last_pieces[3];        // a side that holds only one, two or three pieces
};

// The game's own weights.
extern const Eval_Weights eval_weights;

// The evaluation under any weights: the game's, or those a tuning tool tries.
class Evaluator {
public:
    explicit Evaluator(const Eval_Weights &weights);
    // The position as the side to move sees it, in hundredths of a piece.
    int operator()(const Round_State &state) const;

private:
    int Threats(const Round_State &state, int first) const;
    int Exposures(const Round_State &state, const int placings[SIDES]) const;

    Eval_Weights weights;
    int cell[CELL_CODES];                // a piece on the board, for its side
    int hand[HAND_KINDS];                // a piece in the hand
    int threat[CELL_CODES][CELL_CODES];  // attacker beside prey, for the attacker's side
    int exposed[CELL_CODES];             // a piece open to a placing that beats it
    int captor_bit[CELL_CODES];          // 1 << the type that captures the piece
};

// The position as the side to move sees it, under the game's weights.
int Evaluate(const Round_State &state);
