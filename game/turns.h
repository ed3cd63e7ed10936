// The keyboard turns: the arrows move the cursor of the current step, Space
// confirms it and Backspace steps back. A confirmed move starts its animation;
// the handlers never change the board or a hand themselves.
#pragma once

// Called by Game while placing, for a human side to move with a piece in
// hand and an empty cell on the board.
void Human_Place();
// Called by Game while fighting, for a human side to move that has a capture.
void Human_Attack();
