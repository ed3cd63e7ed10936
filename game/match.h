// A match: the frame-by-frame flow of its rounds and the match screen.
#pragma once

#include "board.h"

// The two cursors, shared by both sides. Placing: [0] a position in the hand
// of the side to move, [1] the cell to place into. Fighting: [0] the cell of
// the capturing piece, [1] the cell of its target or NO_CELL.
extern int selection[2];
// The move being animated: 0 none, TRANS_PLACE or TRANS_ATTACK.
extern int transition;
// Step counter of the animation: one more each full second, and one more
// right after each change the animation makes.
extern int trans_phase;
// Engine time of the animation clock's last step; 0.0 when none plays.
extern float trans_timer;
// The move being animated: [0] hand position or capturing cell, [1] the cell
// placed into or the cell captured.
extern int trans_var[2];

enum { TRANS_NONE = 0, TRANS_PLACE = 1, TRANS_ATTACK = 2 };

// Every placing turn starts on the first hand piece and the front-left cell,
// every fighting turn on the front-left cell with no target.
constexpr int FRONT_LEFT_CELL = 6;
constexpr int PLACING_CURSORS[2] = {0, FRONT_LEFT_CELL};
constexpr int FIGHTING_CURSORS[2] = {FRONT_LEFT_CELL, NO_CELL};

// Where the hand of the side to move stands: its first piece's standing point.
constexpr int HAND_X = 20;
constexpr int HAND_Y = 185;

void Set_Selection(const int (&cursors)[2]);
// True for 0 to 8: the cursors may hold NO_CELL or, in a hand, any position.
bool Is_Cell(int cell);

// The piece in a cell, if any, standing on the cell's point; Draw_Board does
// every cell from 0 to 8. The match screen and the animations draw with them.
void Draw_Cell(int cell);
void Draw_Board();

// A message rising from below the screen that holds the match for three seconds.
void Announce(const char *text);

// Frame function of a match: true when Escape ends the program.
bool Game();
// Render function of a match.
bool Render_Game();
