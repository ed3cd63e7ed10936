// A match as the rules see it: the side that places first and the list of
// moves made since, every round of it. One move record serves every way a
// move is made (keys, the pointer, the computer, a recording, the network);
// the match is brought to the position after any list of moves by playing
// them here, without pictures and without waiting.
#pragma once

#include <cstdint>
#include <vector>

#include "round.h"

enum Move_Kind : int8_t { MOVE_PLACE = 0, MOVE_CAPTURE = 1 };

// A placing: from is the position of the piece in the hand of the side to
// move (0 is the leftmost), to the empty cell it goes to. A capture: from is
// the cell of the capturing piece, to the cell of the piece it takes. The
// side that moves is always the side to move.
struct Move {
    Move_Kind kind;
    int from;
    int to;

    bool operator==(const Move &) const = default;
};

// Why the rules refuse a move; MOVE_LEGAL for a move they allow.
enum Move_Refusal {
    MOVE_LEGAL = 0,
    MOVE_NOT_PLACING,   // a placing while the sides fight
    MOVE_NOT_FIGHTING,  // a capture while the sides place
    MOVE_NO_SUCH_PIECE, // no piece at that position of the hand
    MOVE_NO_SUCH_CELL,  // a cell outside 0 to 8
    MOVE_CELL_TAKEN,    // a placing into a cell that holds a piece
    MOVE_NOT_OWN_PIECE, // a capture from a cell without a piece of the side to move
    MOVE_NOT_CAPTURE,   // a target that is not a neighbouring enemy its attacker beats
};
// A few words for each refusal ("the cell is taken"), and a short name for
// protocols and files ("cell-taken").
const char *Refusal_Text(Move_Refusal refusal);
const char *Refusal_Name(Move_Refusal refusal);

struct Match_State {
    Round_State round;  // settled: the side to move has a move to make
    Hand_Order order;
    int points[SIDES];
    int rounds_won;     // rounds played to a win so far
    int moves;          // moves played so far
    // The last move's win, if it won its round (NO_WINNER otherwise): the
    // round was scored and dealt afresh at once.
    int last_winner;
    int last_win_kind;

    bool operator==(const Match_State &) const = default;
};

// A fresh match: both hands dealt, `first` to place.
Match_State Match_Start(int first);
// Whether the side to move may make the move now.
Move_Refusal Match_Check(const Match_State &match, const Move &move);
// Checks and carries out the move: the turn passes, the round's flow runs on
// to the next choice, and a win scores its point and deals the next round
// with the side that begins it. A refused move changes nothing.
Move_Refusal Match_Play(Match_State &match, const Move &move);
// Every move the side to move may make: each hand position into each empty
// cell, or each capture. Returns how many.
int Match_Moves(const Match_State &match, Move *moves);
constexpr int MATCH_MAX_MOVES = MATCH_PIECES * BOARD_CELLS;
// The whole position (cells, hands in their order, turn, phase and points)
// as one number, the same on every platform: two programs that played the
// same moves have the same hash.
uint64_t Match_Hash(const Match_State &match);

// A match as a first side and its moves.
struct Match_Record {
    int first = SOLIDS;
    std::vector<Move> moves;
};

// Plays a record from the start. On a refused move, returns false with its
// index and the refusal in *bad and *why, and `match` as it stood before it.
bool Match_Replay(const Match_Record &record, Match_State &match, int *bad = nullptr,
                  Move_Refusal *why = nullptr);

// The compact move for a legal move, for the computer's search; and back:
// the hand position of a placing's kind (its first piece of that kind).
Round_Move Match_To_Round(const Match_State &match, const Move &move);
Move Match_From_Round(const Match_State &match, Round_Move move);
