// The animations that carry out a confirmed move, one still picture per
// second: the board and hands change at fixed steps and the turn passes at
// the end.
#pragma once

// Called by Game every frame of a placing, after the animation clock.
void Trans_Place();
// Called by Game every frame of a capture, after the animation clock.
void Trans_Attack();
// Called by Render_Game while a move plays, instead of the resting board and hand.
void Draw_Transition();
