#include "turns.h"

#include "animation.h"
#include "computer.h"
#include "online.h"
#include "recording.h"
#include "resources.h"

int selection[2] = {PLACING_CURSORS[0], PLACING_CURSORS[1]};

void Set_Selection(const int (&cursors)[2])
{
    selection[0] = cursors[0];
    selection[1] = cursors[1];
}

// The cursor of the step the turn is at: what moves, then where.
static int &Step_Cursor()
{
    return selection[turn_phase == CHOOSING_WHAT ? 0 : 1];
}

// Left and Right run on from the end of one row to the start of the next;
// a step that would leave the board does nothing.
static void Step_Cell_Cursor(int step)
{
    int &cursor = Step_Cursor();
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
    turn_phase = CHOOSING_WHAT;
}

static void Choose_Hand_Piece()
{
    turn_phase = CHOOSING_WHERE;
}

// Cursors out of range must never name a hand piece or a cell.
static bool Placing_Allowed(const Move &move)
{
    return game_phase == PHASE_PLACING && opponent[game_turn]->Get_Piece(move.from) &&
           Is_Cell(move.to) && !board_array[move.to];
}

bool Move_Allowed(const Move &move)
{
    if (move.kind == MOVE_PLACE)
        return Placing_Allowed(move);
    return game_phase == PHASE_FIGHTING && Can_Capture(move.from, move.to, game_turn);
}

bool Play_Move(const Move &move)
{
    if (!Move_Allowed(move))
        return false;
    Record_Move(move);
    if (move.kind == MOVE_PLACE) {
        Start_Transition(TRANS_PLACE, move.from, move.to);
        Set_Selection(PLACING_CURSORS);
    } else {
        Start_Transition(TRANS_ATTACK, move.from, move.to);
        Set_Selection(FIGHTING_CURSORS);
    }
    return true;
}

// A move the player confirmed: played at once, or online once the relay has confirmed it.
static void Confirm(const Move &move)
{
    if (!Move_Allowed(move))
        return;
    if (Online_Active())
        Online_Offer(move);
    else
        Play_Move(move);
}

static void Confirm_Placing()
{
    Confirm({MOVE_PLACE, selection[0], selection[1]});
}

static void Choose_Attacker()
{
    const int cell = selection[0];
    if (!Is_Cell(cell) || !board_array[cell] || board_array[cell]->Get_Owner() != game_turn)
        return;
    turn_phase = CHOOSING_WHERE;
    // The target cursor starts on the capturing piece.
    selection[1] = cell;
}

static void Drop_Target()
{
    selection[1] = NO_CELL;
    turn_phase = CHOOSING_WHAT;
}

static void Confirm_Capture()
{
    Confirm({MOVE_CAPTURE, selection[0], selection[1]});
}

using Key_Action = void (*)();

// What a key does in each phase while the side chooses what moves
// (CHOOSING_WHAT) and while it chooses where (CHOOSING_WHERE); null does nothing.
struct Key_Row {
    int key;
    Key_Action act[2][2];  // [game_phase][turn_phase]
};

static const Key_Row TURN_KEYS[] = {
    //                placing:                               fighting:
    // key             hand piece         cell               capturing piece   target
    {HGEK_BACKSPACE, {{Back_To_Piece,     Back_To_Piece},   {nullptr,          Drop_Target}}},
    {HGEK_SPACE,     {{Choose_Hand_Piece, Confirm_Placing}, {Choose_Attacker,  Confirm_Capture}}},
    {HGEK_LEFT,      {{Hand_Left,         Cell_Left},       {Cell_Left,        Cell_Left}}},
    {HGEK_RIGHT,     {{Hand_Right,        Cell_Right},      {Cell_Right,       Cell_Right}}},
    {HGEK_UP,        {{nullptr,           Cell_Up},         {Cell_Up,          Cell_Up}}},
    {HGEK_DOWN,      {{nullptr,           Cell_Down},       {Cell_Down,        Cell_Down}}},
};

static void Act_On_Key(int phase, int key)
{
    for (const Key_Row &row : TURN_KEYS) {
        if (row.key != key)
            continue;
        if (const Key_Action action = row.act[phase][turn_phase])
            action();
        return;
    }
}

// ---------------------------------------------------------------- the pointer
//
// A click does what keys do: the cursor goes where it points, as the arrows
// would take it, and then Space or Backspace acts.

// Where the handlers last saw the mouse: the cursor follows it only when it
// moves, so that it does not undo the arrows of a player whose mouse rests.
static bool pointer_seen = false;
static float pointer_x = 0, pointer_y = 0;

void Forget_Pointer()
{
    pointer_seen = false;
}

// What lies under a point: a piece in the hand of the side to move (-1:
// none) or a cell (NO_CELL: none); never both, the hand lies below the board.
struct Pointed {
    int hand;
    int cell;
    bool Off() const { return hand < 0 && cell == NO_CELL; }
};

static Pointed Pointed_At(float x, float y)
{
    return {opponent[game_turn]->Piece_At(HAND_X, HAND_Y, x, y), Cell_At(x, y)};
}

static bool Own_Piece_At(int cell)
{
    return Is_Cell(cell) && board_array[cell] && board_array[cell]->Get_Owner() == game_turn;
}

// The cursor of the current step goes where the pointer is over what that step chooses.
static void Follow_Pointer(int phase, const Pointed &at)
{
    if (phase == PHASE_PLACING && turn_phase == CHOOSING_WHAT) {
        if (at.hand >= 0)
            selection[0] = at.hand;
    } else if (at.cell != NO_CELL) {
        Step_Cursor() = at.cell;
    }
}

// Takes what a click points at, as Space takes what the cursor is on; from
// the second step the player first steps back, as with Backspace.
static void Take_Instead(int phase, int what)
{
    if (turn_phase == CHOOSING_WHERE)
        Act_On_Key(phase, HGEK_BACKSPACE);
    selection[0] = what;
    Act_On_Key(phase, HGEK_SPACE);
}

static void Click_Placing(const Pointed &at)
{
    if (at.Off() || (turn_phase == CHOOSING_WHERE && at.hand == selection[0])) {
        Act_On_Key(PHASE_PLACING, HGEK_BACKSPACE);
    } else if (at.hand >= 0) {
        Take_Instead(PHASE_PLACING, at.hand);
    } else if (turn_phase == CHOOSING_WHERE) {
        selection[1] = at.cell;
        Act_On_Key(PHASE_PLACING, HGEK_SPACE);
    }
}

static void Click_Fighting(const Pointed &at)
{
    const bool choosing_where = turn_phase == CHOOSING_WHERE;
    if (at.Off() || (choosing_where && at.cell == selection[0])) {
        Act_On_Key(PHASE_FIGHTING, HGEK_BACKSPACE);
    } else if (Own_Piece_At(at.cell)) {
        Take_Instead(PHASE_FIGHTING, at.cell);
    } else if (choosing_where && at.cell != NO_CELL) {
        selection[1] = at.cell;
        Act_On_Key(PHASE_FIGHTING, HGEK_SPACE);
    }
    // Choosing what moves, the other side's pieces, the empty cells and the
    // hand take no click.
}

// Only a mouse that moves leads the cursor. A click acts on its own point
// and leads nothing, so that a finger's tap moves no cursor it does not
// confirm; a mouse resting where it clicked leads from the next frame on.
static void Act_On_Pointer(int phase)
{
    float x = 0, y = 0;
    const bool seen = hge->Input_GetMousePos(&x, &y);
    const int click = hge->Input_GetClick();
    const bool moved = seen && (!pointer_seen || x != pointer_x || y != pointer_y);
    pointer_seen = seen && click == 0;
    pointer_x = x;
    pointer_y = y;
    if (!seen)
        return;
    const Pointed at = Pointed_At(x, y);
    if (click == HGEK_RBUTTON)
        Act_On_Key(phase, HGEK_BACKSPACE);
    else if (click == HGEK_LBUTTON && phase == PHASE_PLACING)
        Click_Placing(at);
    else if (click == HGEK_LBUTTON)
        Click_Fighting(at);
    else if (moved)
        Follow_Pointer(phase, at);
}

// One key or one click per frame, the key first: what the engine reports,
// acted on once.
static void Act_On_Input(int phase)
{
    const int key = hge->Input_GetKey();
    if (key == 0) {
        Act_On_Pointer(phase);
        return;
    }
    // The pointer's move in a frame of a key is past: the key counts.
    pointer_seen = hge->Input_GetMousePos(&pointer_x, &pointer_y);
    Act_On_Key(phase, key);
}

void Human_Place()
{
    Act_On_Input(PHASE_PLACING);
}

void Human_Attack()
{
    Act_On_Input(PHASE_FIGHTING);
}

bool Moves_By_Hand(int side)
{
    return opponent[side]->Get_Human() && !Replay_Has_Moves() &&
           (!Online_Active() || Online_Moves_By_Hand(side));
}

// A shown turn's move: the recording's while it lasts; online the relay's
// (the friend's, or the player's own coming back confirmed); else the computer's.
enum Shown_Source { SHOWN_NONE, SHOWN_COMPUTER, SHOWN_REPLAY, SHOWN_RELAYED, SHOWN_OWN };

static Shown_Source shown_source = SHOWN_NONE;
static Move shown_move;
static float shown_step_at = 0.0f;

void Forget_Computer_Choice()
{
    shown_source = SHOWN_NONE;
}

static void Show_Step()
{
    shown_step_at = hge->Timer_GetTime();
}

static Shown_Source Choose_Shown_Move(Move *move)
{
    if (Next_Replay_Move(move))
        return SHOWN_REPLAY;
    if (Online_Active()) {
        bool own = false;
        if (!Online_Next_Move(move, &own))
            return SHOWN_NONE;
        return own ? SHOWN_OWN : SHOWN_RELAYED;
    }
    *move = Computer_Move(game_turn);
    return SHOWN_COMPUTER;
}

static void Confirm_Shown_Move()
{
    const bool played = Play_Move(shown_move);
    if (shown_source == SHOWN_REPLAY && played)
        Replay_Move_Played();
    else if ((shown_source == SHOWN_RELAYED || shown_source == SHOWN_OWN) && played)
        Online_Move_Played();
    else if (shown_source == SHOWN_RELAYED || shown_source == SHOWN_OWN)
        Online_Resync();
}

// The cursors walk where the move goes, through the same steps as the keys:
// the piece that moves, then where it goes, then the confirmation.
void Shown_Turn()
{
    const bool placing = game_phase == PHASE_PLACING;
    if (shown_source == SHOWN_NONE) {
        shown_source = Choose_Shown_Move(&shown_move);
        if (shown_source == SHOWN_NONE)
            return;
        // The player has seen its own move chosen: it plays at once.
        if (shown_source == SHOWN_OWN) {
            Confirm_Shown_Move();
            shown_source = SHOWN_NONE;
            return;
        }
        turn_phase = CHOOSING_WHAT;
        selection[0] = shown_move.from;
        Show_Step();
        return;
    }
    if (hge->Timer_GetTime() < shown_step_at + COMPUTER_STEP_SECONDS)
        return;
    if (turn_phase == CHOOSING_WHAT) {
        if (placing)
            Choose_Hand_Piece();
        else
            Choose_Attacker();
        if (turn_phase == CHOOSING_WHERE) {
            selection[1] = shown_move.to;
            Show_Step();
            return;
        }
    } else {
        Confirm_Shown_Move();
    }
    // Played, or refused by the rules: the next frame chooses afresh.
    shown_source = SHOWN_NONE;
}
