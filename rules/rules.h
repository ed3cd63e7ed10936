// The facts every rule of TORVEK stands on: the two sides, the three types
// and who beats whom, the board of nine cells and its neighbours. No
// pictures, no engine: the game, the computer, the relay and the tests all
// read the rules from here.
//
// Cells are numbered row by row from the back row (top of the screen):
// cell = 3 * row + column, column 0 on the left.
#pragma once

// Side index: a piece's owner, the index into the game's opponent and the
// value of its game_turn.
constexpr int SOLIDS = 0;
constexpr int STRIPES = 1;
constexpr int SIDES = 2;

// Type 0 captures type 1, type 1 captures type 2, type 2 captures type 0.
constexpr int PIECE_TYPES = 3;
constexpr int PIECES_PER_TYPE = 2;  // per side, in every deal
constexpr int HAND_DEAL = PIECE_TYPES * PIECES_PER_TYPE;

// A piece whose combo reaches this level on the board wins the round.
constexpr int FULL_COMBO = 4;

constexpr int BOARD_SIDE = 3;
constexpr int BOARD_CELLS = BOARD_SIDE * BOARD_SIDE;
// No cell: a missing neighbour, a target cursor with no target, and for
// the game's Erase_Board every cell.
constexpr int NO_CELL = BOARD_CELLS;
// Each cell lists its neighbours up, right, down and left.
constexpr int NEIGHBOURS = 4;

// Every round is played with this many pieces, on the board and in the hands together.
constexpr int MATCH_PIECES = SIDES * HAND_DEAL;

enum { PHASE_PLACING = 0, PHASE_FIGHTING = 1 };
// How a side wins a round.
enum { NO_WIN = 0, WIN_FULL_COMBO = 1, WIN_ALL_PIECES = 2 };

// The type that captures pieces of the given type: the one table of who beats whom.
int Enemy_Of(int type);

// NO_CELL where a neighbour would be off the board; rows do not wrap.
extern const int board_surround[BOARD_CELLS][NEIGHBOURS];

// True for 0 to 8: cursors and moves may hold NO_CELL or anything else.
bool Is_Cell(int cell);
// True when the two cells share an edge; false for diagonals, a cell with
// itself and anything outside 0 to 8.
bool Check_Surround(int cell, int other);
