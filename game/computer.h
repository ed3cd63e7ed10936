// The computer side. It chooses its moves on a compact copy of the round
// (the same flow the match plays: placing, fighting, passes, stand-offs and
// the win check) and hands them back as the two numbers a keyboard turn picks.
#pragma once

#include <cstdint>
#include <functional>

#include "board.h"

enum { LEVEL_EASY = 0, LEVEL_HARD = 1 };

// How well the computer plays; LEVEL_HARD unless the menu or the command line says otherwise.
extern int computer_level;
// The sides the computer moves; none by default.
extern bool computer_plays[SIDES];

// A move as the keyboard chooses it. Placing: from is a position in the hand
// of the side to move, to an empty cell. Fighting: from is the attacking cell,
// to the cell of the piece it captures.
struct Computer_Choice {
    int from;
    int to;
};

// The move of `side` in the game's position as it stands (board_array,
// opponent, game_phase, game_turn). Changes nothing in the game; its random
// choices come from hge->Random_Int. Only for a side to move that has a move
// of the current phase: a piece in hand and an empty cell, or a capture.
Computer_Choice Computer_Move(int side);
// Both sides' computers forget the positions they have seen, as at program start.
void Forget_Computer_Memories();

// ---------------------------------------------------------------------------
// A round in a few bytes: what the computer searches and the arena plays.

// A piece can stand on the board at combo 0 to FULL_COMBO (that one ends the round).
constexpr int COMBO_LEVELS = FULL_COMBO + 1;
// Hands are counted by kind: kind = type * COMBO_LEVELS + combo. The order of a
// real hand plays no part in the rules.
constexpr int HAND_KINDS = PIECE_TYPES * COMBO_LEVELS;
// Every placing of every kind into every cell; a position has far fewer.
constexpr int ROUND_MAX_MOVES = HAND_KINDS * BOARD_CELLS;

struct Round_State {
    // 0 for an empty cell, else 1 + (owner * PIECE_TYPES + type) * COMBO_LEVELS + combo.
    uint8_t cell[BOARD_CELLS];
    uint8_t hand[SIDES][HAND_KINDS];
    int8_t turn;      // the side to move
    int8_t phase;     // 0 placing, 1 fighting
    int8_t winner;    // -1 while the round goes on
    int8_t win_kind;  // what Check_Winner returns for the winner: 1 full combo, 2 all pieces

    bool operator==(const Round_State &) const = default;
};

// Placing: from is a hand kind, to an empty cell. Fighting: attacker and target cells.
struct Round_Move {
    int8_t from;
    int8_t to;

    bool operator==(const Round_Move &) const = default;
};

constexpr int Cell_Code(int owner, int type, int combo)
{
    return 1 + (owner * PIECE_TYPES + type) * COMBO_LEVELS + combo;
}
constexpr int Code_Owner(int code) { return (code - 1) / (PIECE_TYPES * COMBO_LEVELS); }
constexpr int Code_Type(int code) { return (code - 1) / COMBO_LEVELS % PIECE_TYPES; }
constexpr int Code_Combo(int code) { return (code - 1) % COMBO_LEVELS; }
constexpr int Hand_Kind(int type, int combo) { return type * COMBO_LEVELS + combo; }

// Both hands 0, 0, 1, 1, 2, 2 at combo 0, the board empty, `first` to place.
Round_State Round_Deal(int first);
// The game's own position with `side` to move, read from its globals, then
// settled (below).
Round_State Round_From_Game(int side);
// Runs the round's flow from a position where nobody has chosen anything yet:
// a full board starts the fight, a side with nothing to place or no capture
// passes, a stand-off ends the fight (returning a full board and passing the
// turn), and after every step Solids, then Stripes, is checked for a win.
// Stops where the side to move has a choice, or at a win.
void Round_Settle(Round_State &state);
// The moves of the side to move; none once the round is won. Returns how many.
int Round_Moves(const Round_State &state, Round_Move *moves);
// Carries out a legal move in a settled position (a placing, or a capture
// with its take and advance), passes the turn and settles.
void Round_Play(Round_State &state, Round_Move move);
// The position (cells, hands, turn and phase) as one number: the key of the
// search's table and of the positions a computer remembers.
uint64_t Round_Hash(const Round_State &state);

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

// How much a hard search may cost, counted in positions rather than time so
// that the same position and seed always give the same move; 20,000 take a
// few milliseconds here.
struct Computer_Limits {
    long nodes = 20000;
};

struct Computer_Stats {
    long nodes = 0;
    int depth = 0;           // the last search depth completed (hard)
    bool exact = false;      // the search saw every line to its end
};

// The computer's move in a settled position with a move to make.
Round_Move Computer_Think(const Round_State &state, int level, const Computer_Random &random,
                          Computer_Memory &memory, const Computer_Limits &limits = {},
                          Computer_Stats *stats = nullptr);
