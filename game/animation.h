// The animations that carry out a confirmed move, one still picture per
// second: the board and hands change at fixed steps and the turn passes at
// the end.
#pragma once

// The move being animated: TRANS_NONE, TRANS_PLACE or TRANS_ATTACK.
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

// Every change happens at an even step and leaves an odd one, so one frame
// never makes two. A placing moves the piece at PLACE_STEP and ends at
// PLACE_END; a capture takes at TAKE_STEP, advances at ADVANCE_STEP and ends
// at ATTACK_END.
constexpr int PLACE_STEP = 2;
constexpr int PLACE_END = PLACE_STEP + 2;
constexpr int TAKE_STEP = 2;
constexpr int ADVANCE_STEP = TAKE_STEP + 2;
constexpr int ATTACK_END = ADVANCE_STEP + 2;

// Called by the turns when a move is confirmed: the animation of that kind
// plays from the next clock step on.
void Start_Transition(int kind, int from, int to);
// Called by Game every frame while a move plays: the one-second clock, then
// the step of the placing or the capture.
void Run_Transition();
// Called by Render_Game while a move plays, instead of the resting board and hand.
void Draw_Transition();
// No move playing, as at program start and at the end of every animation.
void Reset_Transition();

// One frame of the placing and of the capture, after the clock.
void Trans_Place();
void Trans_Attack();
