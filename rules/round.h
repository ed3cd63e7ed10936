// A round in a few bytes: the round's flow (placing, fighting, passes,
// stand-offs and the win check) on a compact position. The one written form
// of the flow: the computer searches it, the arena and the relay play it,
// moves.h plays whole matches on it, and the tests hold the game's match
// screen to it step for step.
#pragma once

#include <array>
#include <cstdint>

#include "rules.h"

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
    int8_t phase;     // PHASE_PLACING or PHASE_FIGHTING
    int8_t winner;    // NO_WINNER while the round goes on
    int8_t win_kind;  // how the winner won: WIN_FULL_COMBO or WIN_ALL_PIECES

    bool operator==(const Round_State &) const = default;
};

// Placing: from is a hand kind, to an empty cell. Fighting: attacker and target cells.
struct Round_Move {
    int8_t from;
    int8_t to;

    bool operator==(const Round_Move &) const = default;
};

constexpr int NO_WINNER = -1;
constexpr int EMPTY_CELL = 0;

constexpr int Cell_Code(int owner, int type, int combo)
{
    return 1 + (owner * PIECE_TYPES + type) * COMBO_LEVELS + combo;
}
constexpr int Code_Owner(int code) { return (code - 1) / (PIECE_TYPES * COMBO_LEVELS); }
constexpr int Code_Type(int code) { return (code - 1) / COMBO_LEVELS % PIECE_TYPES; }
constexpr int Code_Combo(int code) { return (code - 1) % COMBO_LEVELS; }
constexpr int Hand_Kind(int type, int combo) { return type * COMBO_LEVELS + combo; }

// The hands as a player sees them, position 0 first, each piece by its hand
// kind: what a placing's hand position refers to. The compact position
// counts pieces only; a caller that needs the order keeps one beside it.
struct Hand_Order {
    uint8_t size[SIDES];
    uint8_t kind[SIDES][MATCH_PIECES];

    bool operator==(const Hand_Order &) const = default;
};

// Both hands 0, 0, 1, 1, 2, 2 at combo 0, the board empty, `first` to place.
Round_State Round_Deal(int first);
Hand_Order Round_Deal_Order();
// Runs the round's flow from a position where nobody has chosen anything yet:
// a full board starts the fight, a side with nothing to place or no capture
// passes, a stand-off ends the fight (returning a full board and passing the
// turn), and after every step Solids, then Stripes, is checked for a win.
// Stops where the side to move has a choice, or at a win.
void Round_Settle(Round_State &state);
// The moves of the side to move; none once the round is won. Returns how many.
int Round_Moves(const Round_State &state, Round_Move *moves);
// Carries out a legal move in a settled position (a placing, or a capture
// with its take and advance), passes the turn and settles. With an order,
// the pieces that join a hand join the end of it, as in the game: the prey
// of a capture, and a full board given back cell by cell from 0; a placing's
// piece must already have left its place in the order.
void Round_Play(Round_State &state, Round_Move move, Hand_Order *order = nullptr);
// The side that begins the next round, in a position whose round is won: the
// side that lost, unless it had no capture left while the winner still had
// one; after a stand-off that gave the board back, the side it passed to.
int Round_Next_First(const Round_State &won);
// The position (cells, hands, turn and phase) as one number: the key of the
// search's table and of the positions a computer remembers.
uint64_t Round_Hash(const Round_State &state);

// ---------------------------------------------------------------------------
// What the computer's evaluation and search read off a position.

constexpr int CELL_CODES = 1 + SIDES * PIECE_TYPES * COMBO_LEVELS;

// What a cell code holds, looked up rather than divided out in the search.
struct Code_Parts {
    uint8_t owner[CELL_CODES], type[CELL_CODES], combo[CELL_CODES];
};

constexpr Code_Parts Make_Parts()
{
    Code_Parts parts{};
    for (int code = 1; code < CELL_CODES; ++code) {
        parts.owner[code] = static_cast<uint8_t>(Code_Owner(code));
        parts.type[code] = static_cast<uint8_t>(Code_Type(code));
        parts.combo[code] = static_cast<uint8_t>(Code_Combo(code));
    }
    return parts;
}

inline constexpr Code_Parts PARTS = Make_Parts();

// Whether the piece with one cell code may take the piece with the other
// when they stand side by side: another side's piece whose enemy is the
// attacker's type (the pieces' own table of who beats whom). Safe to call
// while other files' tables are being built.
bool Code_Captures(int attacker, int prey);

struct Neighbour_List {
    int count;
    int cells[NEIGHBOURS];
};

// The twelve pairs of cells that share an edge, each once.
struct Cell_Pair {
    int a, b;
};
constexpr int BOARD_EDGES = 12;

// The board's own neighbour table without its missing entries.
extern const std::array<Neighbour_List, BOARD_CELLS> round_neighbours;
// Code_Captures for every pair of cell codes.
extern const std::array<std::array<bool, CELL_CODES>, CELL_CODES> round_captures;
extern const std::array<Cell_Pair, BOARD_EDGES> round_edges;

bool Board_Full(const Round_State &state);
int Hand_Size(const Round_State &state, int side);
// The sum of every piece's combo, on the board and in the hands. Captures
// only ever add to it, and a deal sets it to 0: positions with different
// totals can never repeat each other.
int Combo_Total(const Round_State &state);
