#include "turns.h"

#include <span>

#include "main.h"
#include "match.h"

using Key_Action = void (*)();

// What a key does while the side chooses what moves (turn_phase 0) and while
// it chooses where (turn_phase 1); null does nothing.
struct Key_Row {
    int key;
    Key_Action choosing_what;
    Key_Action choosing_where;
};

// Left and Right run on from the end of one row to the start of the next;
// a step that would leave the board does nothing.
static void Step_Cell_Cursor(int step)
{
    int &cursor = selection[turn_phase];
    if (Is_Cell(cursor + step))
        cursor += step;
}

static void Cell_Left() { Step_Cell_Cursor(-1); }
static void Cell_Right() { Step_Cell_Cursor(+1); }
static void Cell_Up() { Step_Cell_Cursor(-BOARD_SIDE); }
static void Cell_Down() { Step_Cell_Cursor(+BOARD_SIDE); }

static void Hand_Left()
{
    if (selection[0] > 0)
        --selection[0];
}

static void Hand_Right()
{
    if (selection[0] < opponent[game_turn]->Get_HandSize() - 1)
        ++selection[0];
}

static void Back_To_Piece()
{
    turn_phase = 0;
}

static void Choose_Hand_Piece()
{
    turn_phase = 1;
}

static void Start_Move(int kind, const int (&next_cursors)[2])
{
    transition = kind;
    trans_var[0] = selection[0];
    trans_var[1] = selection[1];
    Set_Selection(next_cursors);
}

static void Confirm_Placing()
{
    const int cell = selection[1];
    // Cursors out of range must never name a hand piece or a cell.
    if (!Is_Cell(cell) || !opponent[game_turn]->Get_Piece(selection[0]))
        return;
    if (board_array[cell])
        return;
    Start_Move(TRANS_PLACE, PLACING_CURSORS);
}

static void Choose_Attacker()
{
    const int cell = selection[0];
    if (!Is_Cell(cell) || !board_array[cell] || board_array[cell]->Get_Owner() != game_turn)
        return;
    turn_phase = 1;
    // The target cursor starts on the capturing piece.
    selection[1] = cell;
}

static void Drop_Target()
{
    selection[1] = NO_CELL;
    turn_phase = 0;
}

// The capture rule for the chosen pair, in this order; the attacker is known
// to be the mover's own piece.
static bool Target_Passes()
{
    const int attacker = selection[0];
    const int target = selection[1];
    if (!Is_Cell(target) || !board_array[target])
        return false;
    if (board_array[target]->Get_Owner() == game_turn)
        return false;
    if (!Check_Surround(attacker, target))
        return false;
    return board_array[attacker] &&
           board_array[target]->Get_Enemy() == board_array[attacker]->Get_Type();
}

static void Confirm_Capture()
{
    if (Target_Passes())
        Start_Move(TRANS_ATTACK, FIGHTING_CURSORS);
}

static const Key_Row PLACE_KEYS[] = {
    // key            hand piece          cell
    {HGEK_BACKSPACE, Back_To_Piece,     Back_To_Piece},
    {HGEK_SPACE,     Choose_Hand_Piece, Confirm_Placing},
    {HGEK_LEFT,      Hand_Left,         Cell_Left},
    {HGEK_RIGHT,     Hand_Right,        Cell_Right},
    {HGEK_UP,        nullptr,           Cell_Up},
    {HGEK_DOWN,      nullptr,           Cell_Down},
};

static const Key_Row ATTACK_KEYS[] = {
    // key            capturing piece    target
    {HGEK_BACKSPACE, nullptr,           Drop_Target},
    {HGEK_SPACE,     Choose_Attacker,   Confirm_Capture},
    {HGEK_LEFT,      Cell_Left,         Cell_Left},
    {HGEK_RIGHT,     Cell_Right,        Cell_Right},
    {HGEK_UP,        Cell_Up,           Cell_Up},
    {HGEK_DOWN,      Cell_Down,         Cell_Down},
};

// One key per frame: the one the engine reports, acted on once.
static void Act_On_Key(std::span<const Key_Row> rows)
{
    const int key = hge->Input_GetKey();
    for (const Key_Row &row : rows) {
        if (row.key != key)
            continue;
        const Key_Action action = turn_phase == 0 ? row.choosing_what : row.choosing_where;
        if (action)
            action();
        return;
    }
}

void Human_Place()
{
    Act_On_Key(PLACE_KEYS);
}

void Human_Attack()
{
    Act_On_Key(ATTACK_KEYS);
}
