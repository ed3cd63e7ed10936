#include "animation.h"

#include "board.h"
#include "resources.h"

int transition = TRANS_NONE;
int trans_phase = 0;
float trans_timer = 0.0f;
int trans_var[2] = {0, 0};

// An animation takes one step per full second of engine time.
constexpr float ANIMATION_STEP = 1.0f;

void Start_Transition(int kind, int from, int to)
{
    transition = kind;
    trans_var[0] = from;
    trans_var[1] = to;
}

void Reset_Transition()
{
    transition = TRANS_NONE;
    trans_phase = 0;
    trans_timer = 0.0f;
}

static void End_Transition()
{
    Reset_Transition();
    Switch_Turn();
}

void Trans_Place()
{
    if (trans_phase == PLACE_STEP) {
        Place_Piece(trans_var[0], trans_var[1]);
        ++trans_phase;
    }
    if (trans_phase == PLACE_END)
        End_Transition();
}

void Trans_Attack()
{
    const int attacker = trans_var[0];
    const int target = trans_var[1];
    if (trans_phase == TAKE_STEP) {
        Capture_Take(target);
        ++trans_phase;
    }
    if (trans_phase == ADVANCE_STEP) {
        Capture_Advance(attacker, target);
        ++trans_phase;
    }
    if (trans_phase == ATTACK_END)
        End_Transition();
}

void Run_Transition()
{
    // trans_timer is 0.0 when a move starts, so its first step comes at once.
    if (hge->Timer_GetTime() >= trans_timer + ANIMATION_STEP) {
        ++trans_phase;
        trans_timer = hge->Timer_GetTime();
    }
    if (transition == TRANS_PLACE)
        Trans_Place();
    else if (transition == TRANS_ATTACK)
        Trans_Attack();
}

static void Draw_Placing()
{
    Draw_Board();
    if (trans_phase < PLACE_STEP) {
        // The chosen piece alone, where the first hand piece stands.
        Piece *piece = opponent[game_turn]->Get_Piece(trans_var[0]);
        if (piece)
            piece->Draw_Piece(HAND_X, HAND_Y);
    } else {
        // Again, over any neighbour drawn after it.
        Draw_Cell(trans_var[1]);
    }
}

static void Draw_Capture()
{
    if (trans_phase < TAKE_STEP) {
        Draw_Cell(trans_var[0]);
        Draw_Cell(trans_var[1]);
    } else if (trans_phase < ADVANCE_STEP) {
        Draw_Cell(trans_var[0]);
    } else {
        Draw_Cell(trans_var[1]);
    }
}

void Draw_Transition()
{
    if (transition == TRANS_PLACE)
        Draw_Placing();
    else if (transition == TRANS_ATTACK)
        Draw_Capture();
}
