// The board of nine cells, the turn state and the rules of the game.
//
// Cells are numbered row by row from the back row (top of the screen):
// cell = 3 * row + column, column 0 on the left.
#pragma once

#include <array>

#include "pieces.h"

constexpr int BOARD_SIDE = 3;
constexpr int BOARD_CELLS = BOARD_SIDE * BOARD_SIDE;
// No cell: a missing neighbour, a target cursor with no target, and for
// Erase_Board every cell.
constexpr int NO_CELL = BOARD_CELLS;
// Each cell lists its neighbours up, right, down and left.
constexpr int NEIGHBOURS = 4;

// Every round is played with this many pieces, on the board and in the hands together.
constexpr int MATCH_PIECES = SIDES * HAND_DEAL;

// The pieces in the cells, null where empty; the board owns them.
extern Piece *board_array[BOARD_CELLS];

// Where a piece in each cell stands (the middle of its bottom edge) and the
// depth it is built with: rows nearer the front lie in front.
extern const std::array<int, BOARD_CELLS> board_x;
extern const std::array<int, BOARD_CELLS> board_y;
extern const std::array<float, BOARD_CELLS> board_z;
// NO_CELL where a neighbour would be off the board; rows do not wrap.
extern const int board_surround[BOARD_CELLS][NEIGHBOURS];

// The side to move, 0 or 1.
extern int game_turn;
// 0 while placing, 1 while fighting.
extern int game_phase;
// 0 while the side chooses what moves, 1 while it chooses where.
extern int turn_phase;

// True when the two cells share an edge; false for diagonals, a cell with
// itself and anything outside 0 to 8. Used by the keyboard's target check.
bool Check_Surround(int cell, int other);
// True when the side has at least one legal capture now. The match flow asks
// for both sides in every fighting frame.
bool Check_Attack(int side);
// 0 when the side has not won; otherwise scores the point, deals the next
// round and returns 1 for a full combo or 2 for all pieces. The match flow
// calls it once per side after its round logic.
int Check_Winner(int side);
bool Check_Full();
// A stand-off on a full board: every piece goes back to the end of its
// owner's hand, cell by cell from 0.
void Return_Pieces();
// Empties the board and deals both hands 0, 0, 1, 1, 2, 2; points and the turn stay.
void Reset_Match();
// Destroys the piece in the cell, if any; NO_CELL clears every cell.
void Erase_Board(int cell);
// Gives the turn to the other side, at its first step.
void Switch_Turn();

// The two steps of a capture by the side to move, which the capture
// animation performs one second apart. Take: the target's piece joins the
// end of the capturer's hand as its own, keeping type and combo, and its
// cell empties.
void Capture_Take(int target);
// Advance: the attacker is rebuilt in the target cell one combo level higher
// and its own cell empties. Does nothing unless the take has emptied the target.
void Capture_Advance(int attacker, int target);

// Pieces on the board and in both hands (a missing player holds none): twelve
// between any two operations of a round.
int Count_Pieces();
