#include "animation.h"

#include "main.h"
#include "match.h"
#include "pieces.h"

// Every change happens at an even step and leaves an odd one, so one frame
// never makes two.
constexpr int PLACE_STEP = 2;
constexpr int PLACE_END = PLACE_STEP + 2;
constexpr int TAKE_STEP = 2;
constexpr int ADVANCE_STEP = TAKE_STEP + 2;
constexpr int ATTACK_END = ADVANCE_STEP + 2;

static void End_Transition()
{
    transition = TRANS_NONE;
    trans_phase = 0;
    trans_timer = 0.0f;
    Switch_Turn();
}

// The hand piece is rebuilt in its cell at the cell's depth, then leaves the hand.
static void Place_Piece(int hand_position, int cell)
{
    Player *side = opponent[game_turn];
    const Piece *piece = side->Get_Piece(hand_position);
    board_array[cell] =
        new Piece(piece->Get_Type(), piece->Get_Owner(), piece->Get_Combo(), board_z[cell]);
    side->Delete_Piece(hand_position);
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
