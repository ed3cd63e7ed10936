// The turns of a human side, by keys or by the pointer: the arrows move the
// cursor of the current step, Space confirms it and Backspace steps back, and
// a click does what those keys would. A confirmed move starts its animation;
// the handlers never change the board or a hand themselves.
#pragma once

#include "board.h"
#include "moves.h"

// The two cursors, shared by both sides. Placing: [0] a position in the hand
// of the side to move, [1] the cell to place into. Fighting: [0] the cell of
// the capturing piece, [1] the cell of its target or NO_CELL.
extern int selection[2];

// Every placing turn starts on the first hand piece and the front-left cell,
// every fighting turn on the front-left cell with no target.
constexpr int FRONT_LEFT_CELL = 6;
constexpr int PLACING_CURSORS[2] = {0, FRONT_LEFT_CELL};
constexpr int FIGHTING_CURSORS[2] = {FRONT_LEFT_CELL, NO_CELL};

void Set_Selection(const int (&cursors)[2]);

// Every move, whoever makes it (the keys, the pointer, the computer, a
// recording), is checked and started here: a move of the side to move that
// the board allows now starts its animation, is written to the record, and
// the next turn starts from the cursors of its kind. False, and nothing
// changes, for a move the board does not allow.
bool Play_Move(const Move &move);
bool Move_Allowed(const Move &move);

// Whether the side to move chooses by keys and pointer (Human_Place and
// Human_Attack) rather than being shown a move (Shown_Turn): a human side,
// once any replay is over.
bool Moves_By_Hand(int side);

// Called by Game while placing, for a human side to move with a piece in
// hand and an empty cell on the board.
void Human_Place();
// Called by Game while fighting, for a human side to move that has a capture.
void Human_Attack();
// Both read the frame's key, or without one its click: a click on what the
// current step may choose moves the cursor there and confirms it, as the
// arrows and Space would; a click on the piece taken, a right click or a
// click off the board and hand steps back, as Backspace does; and while
// choosing where, a click on another piece to move takes that one instead.
// The cursor of the current step follows the mouse as it moves over what
// that step chooses.

// The mouse as never seen, as at program start.
void Forget_Pointer();

// Called by Game, in place of the two above, for a side that does not move
// by hand: a move of the recording while a replay lasts, else the
// computer's choice, is shown with the markers, what moves for
// COMPUTER_STEP_SECONDS and then where, and is then played as Space plays it.
void Shown_Turn();
constexpr float COMPUTER_STEP_SECONDS = 0.5f;
// Drops a move still being shown: a win has dealt a new round.
void Forget_Computer_Choice();
