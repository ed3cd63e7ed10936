// The board of nine cells with its pieces, the turn state and the rules of
// the game on them (cells are numbered as rules.h numbers them).
#pragma once

#include <array>

#include "moves.h"
#include "pieces.h"

// The pieces in the cells, null where empty; the board owns them.
extern Piece *board_array[BOARD_CELLS];

// Where a piece in each cell stands (the middle of its bottom edge) and the
// depth it is built with: rows nearer the front lie in front.
extern const std::array<int, BOARD_CELLS> board_x;
extern const std::array<int, BOARD_CELLS> board_y;
extern const std::array<float, BOARD_CELLS> board_z;

// The side to move, 0 or 1.
extern int game_turn;
// PHASE_PLACING or PHASE_FIGHTING.
extern int game_phase;
// CHOOSING_WHAT while the side chooses what moves, CHOOSING_WHERE while it
// chooses where.
extern int turn_phase;

enum { CHOOSING_WHAT = 0, CHOOSING_WHERE = 1 };

// The capture rule: the side's piece in the attacker's cell may take the
// piece in the target's cell when that is an enemy piece on a neighbouring
// cell whose enemy type is the attacker's type. Combo levels and other cells
// play no part. Used by the rules and the keyboard's target check; the
// computer side builds its own table of captures from Enemy_Of.
bool Can_Capture(int attacker, int target, int side);
// True when the side has at least one legal capture now. The match flow asks
// for both sides in every fighting frame.
bool Check_Attack(int side);
// Whether the side has won, and how, without scoring it: WIN_FULL_COMBO for
// a piece of full combo on the board (looked for first), WIN_ALL_PIECES when
// it holds all twelve pieces, else NO_WIN.
int Win_Kind(int side);
// Win_Kind, and when the side has won, scores the point and deals the next
// round. The match flow calls it once per side after its round logic.
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

// Builds a piece into an empty cell at the cell's depth; a taken cell or
// anything outside 0 to 8 changes nothing. Every piece that comes onto the
// board comes through here: a placing, a capture's advance, a position set.
void Put_Piece(int cell, int type, int owner, int combo);
// A placing by the side to move, which the placing animation performs: the
// hand piece is rebuilt in the cell at the cell's depth and leaves the hand.
// Does nothing unless the hand has that piece and the cell is empty.
void Place_Piece(int hand_position, int cell);

// The two steps of a capture by the side to move, which the capture
// animation performs one second apart. Take: the target's piece joins the
// end of the capturer's hand as its own, keeping type and combo, and its
// cell empties.
void Capture_Take(int target);
// Advance: the attacker is rebuilt in the target cell one combo level higher
// and its own cell empties. Does nothing unless the take has emptied the target.
void Capture_Advance(int attacker, int target);

// The cell that the point (x, y) of the virtual screen shows, the pointer's
// hit area of a cell: a piece standing on a cell counts as its cell (the
// one in front where pieces overlap, as they are drawn), then the board's
// stones, each with the grout up to its neighbours; NO_CELL off the board.
int Cell_At(float x, float y);

// The piece in a cell, if any, standing on the cell's point; Draw_Board does
// every cell from 0 to 8. The match screen and the animations draw with them.
void Draw_Cell(int cell);
void Draw_Board();

// The board empty and the turn state at its program-start values.
void Reset_Board();

// The game's position as the rules hold it: cells, both hands in their
// order, points, the side to move and the phase, settled.
Match_State Game_Position();
// Puts the position on the board and in both hands, with the points, the
// side to move and the phase; the turn starts at its first step. The
// players must exist. Nothing is drawn and nothing waits.
void Set_Game_Position(const Match_State &match);

// Pieces on the board and in both hands (a missing player holds none): twelve
// between any two operations of a round.
int Count_Pieces();
