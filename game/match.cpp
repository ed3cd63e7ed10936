#include "match.h"

#include "animation.h"
#include "board.h"
#include "message.h"
#include "online.h"
#include "recording.h"
#include "resources.h"
#include "scene.h"
#include "turns.h"

// Every announcement rises from below the bottom edge, centred, for three seconds.
constexpr float MESSAGE_X = SCREEN_LENGTH / 2;
constexpr float MESSAGE_START_Y = SCREEN_HEIGHT + 8;
constexpr float MESSAGE_SPEED = 1.0f;
constexpr int MESSAGE_LIFESPAN = 3;

// The score lines, one under the other, left of the board.
constexpr float SCORE_X = 20;
constexpr float SCORE_Y = 90;
constexpr float SCORE_LINE = 10;
// The hand marker stands just under the hand piece it marks.
constexpr float HAND_MARKER_Y = HAND_Y + 2;

// By side, then by what Check_Winner returned.
static const char *const WIN_TEXTS[SIDES][3] = {
    {nullptr, "Solids with full combo!",  "Solids with all pieces!"},
    {nullptr, "Stripes with full combo!", "Stripes with all pieces!"},
};

void Announce(const char *text)
{
    message_bag.push_back(
        new Message(text, MESSAGE_X, MESSAGE_START_Y, MESSAGE_SPEED, MESSAGE_LIFESPAN));
}

// Nothing is announced and no move plays: the rounds may go on.
static bool Match_Waits_For_Nothing()
{
    return message_bag.empty() && transition == TRANS_NONE;
}

static void Play_Placing()
{
    const Player *side = opponent[game_turn];
    if (Check_Full()) {
        // The side to move did not make the last placing, so it captures first.
        Announce("Fightin' time!");
        game_phase = PHASE_FIGHTING;
        Set_Selection(FIGHTING_CURSORS);
    } else if (side->Get_HandSize() == 0) {
        Announce("Player has nothing left!");
        Switch_Turn();
        Set_Selection(PLACING_CURSORS);
    } else if (Moves_By_Hand(game_turn)) {
        Human_Place();
    } else {
        Shown_Turn();
    }
}

static void Play_Fighting()
{
    if (!Check_Attack(SOLIDS) && !Check_Attack(STRIPES)) {
        Announce("Stand-off!");
        // Nobody could capture from the start: the whole board goes back.
        if (Check_Full()) {
            Return_Pieces();
            Switch_Turn();
        }
        game_phase = PHASE_PLACING;
        Set_Selection(PLACING_CURSORS);
    } else if (!Check_Attack(game_turn)) {
        Announce("Player can't attack.");
        Switch_Turn();
        Set_Selection(FIGHTING_CURSORS);
    } else if (Moves_By_Hand(game_turn)) {
        Human_Attack();
    } else {
        Shown_Turn();
    }
}

// A win has already scored and dealt when Check_Winner returns, so after a
// Solids win the Stripes check sees the fresh deal.
static void Check_Winners()
{
    for (int side = SOLIDS; side < SIDES; ++side) {
        const int win = Check_Winner(side);
        if (win == NO_WIN)
            continue;
        Announce(WIN_TEXTS[side][win]);
        // The fighting cursors name no hand position and no cell of a new
        // deal, and a key or a computer's choice taken in this frame
        // belongs to the old round.
        Set_Selection(PLACING_CURSORS);
        turn_phase = CHOOSING_WHAT;
        Forget_Computer_Choice();
    }
}

bool Bring_Match_To(const Match_Record &record, int *bad, Move_Refusal *why)
{
    Match_State match;
    if (!Match_Replay(record, match, bad, why))
        return false;
    Clear_Messages();
    Reset_Transition();
    Forget_Computer_Choice();
    Set_Game_Position(match);
    Set_Selection(game_phase == PHASE_PLACING ? PLACING_CURSORS : FIGHTING_CURSORS);
    Record_Whole_Match(record);
    return true;
}

bool Game()
{
    if (Online_Active())
        Online_Frame();
    Update_Sun();
    if (Match_Waits_For_Nothing()) {
        if (game_phase == PHASE_PLACING)
            Play_Placing();
        else
            Play_Fighting();
        Check_Winners();
    }
    // Read after the round logic, so a move confirmed this frame ticks at once.
    if (transition != TRANS_NONE)
        Run_Transition();
    if (!message_bag.empty() && transition == TRANS_NONE)
        Check_Messages();
    return hge->Input_GetKey() == HGEK_ESCAPE;
}

static void Draw_Cell_Marker(int cell)
{
    if (Is_Cell(cell))
        s_select[1]->Render(board_x[cell], board_y[cell]);
}

static void Draw_Placing_Markers()
{
    const int hand_position = selection[0];
    if (hand_position >= 0 && hand_position < opponent[game_turn]->Get_HandSize())
        s_select[0]->Render(HAND_X + HAND_SPACING * hand_position, HAND_MARKER_Y);
    if (turn_phase == CHOOSING_WHERE)
        Draw_Cell_Marker(selection[1]);
}

static void Draw_Status()
{
    font1->printf(SCORE_X, SCORE_Y, TEXT_LEFT, "SLD: %i", opponent[SOLIDS]->Get_Points());
    font1->printf(SCORE_X, SCORE_Y + SCORE_LINE, TEXT_LEFT, "STR: %i",
                  opponent[STRIPES]->Get_Points());
    if (game_phase == PHASE_PLACING) {
        Draw_Placing_Markers();
    } else {
        // Both fighting cursors use the cell marker.
        Draw_Cell_Marker(selection[0]);
        Draw_Cell_Marker(selection[1]);
    }
}

bool Render_Game()
{
    hge->Gfx_BeginScene(t_window_main);
    hge->Gfx_Clear(0);
    Draw_Background();
    if (Match_Waits_For_Nothing())
        Draw_Status();
    if (!message_bag.empty() && transition == TRANS_NONE) {
        for (Message *message : message_bag)
            message->Draw_Message();
    }
    if (transition == TRANS_NONE) {
        Draw_Board();
        // Only the hand of the side to move is ever shown.
        opponent[game_turn]->Draw_Hand(HAND_X, HAND_Y);
    } else {
        Draw_Transition();
    }
    if (Online_Active())
        Draw_Online_Status();
    hge->Gfx_EndScene();
    Draw_All();
    return false;
}
