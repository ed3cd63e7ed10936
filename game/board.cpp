#include "board.h"

#include <algorithm>
#include <cmath>

#include "resources.h"

Piece *board_array[BOARD_CELLS];

int game_turn;
int game_phase;
int turn_phase;

struct Cell_Spot {
    int x, y;
    float z;
};

static constexpr Cell_Spot CELL_SPOTS[BOARD_CELLS] = {
    //  x    y     z        cell  row  column
    {112, 131, 0.4f},  //  0     0    0
    {137, 131, 0.4f},  //  1     0    1
    {162, 131, 0.4f},  //  2     0    2
    {103, 140, 0.3f},  //  3     1    0
    {128, 140, 0.3f},  //  4     1    1
    {153, 140, 0.3f},  //  5     1    2
    { 94, 149, 0.2f},  //  6     2    0
    {119, 149, 0.2f},  //  7     2    1
    {144, 149, 0.2f},  //  8     2    2
};

// Cells are 25 pixels apart along a row and rows 9 apart; each row further
// back is shifted 9 pixels right, so the cells form a slanted parallelogram
// whose middle cell stands on the board's centre.
constexpr int CELL_STEP = 25;
constexpr int ROW_STEP = 9;
constexpr int ROW_SLANT = 9;

static constexpr bool Spots_Centred_On_Board()
{
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        const int row = cell / BOARD_SIDE - 1, column = cell % BOARD_SIDE - 1;
        if (CELL_SPOTS[cell].x != BOARD_X + CELL_STEP * column - ROW_SLANT * row ||
            CELL_SPOTS[cell].y != BOARD_Y + ROW_STEP * row)
            return false;
    }
    return true;
}
static_assert(Spots_Centred_On_Board());

template <typename T, T Cell_Spot::*Field>
static constexpr std::array<T, BOARD_CELLS> Spot_Column()
{
    std::array<T, BOARD_CELLS> column{};
    for (int cell = 0; cell < BOARD_CELLS; ++cell)
        column[cell] = CELL_SPOTS[cell].*Field;
    return column;
}

constexpr std::array<int, BOARD_CELLS> board_x = Spot_Column<int, &Cell_Spot::x>();
constexpr std::array<int, BOARD_CELLS> board_y = Spot_Column<int, &Cell_Spot::y>();
constexpr std::array<float, BOARD_CELLS> board_z = Spot_Column<float, &Cell_Spot::z>();

// The board picture's stones lie on the same slanted grid as the cells'
// points: each stone is CELL_STEP along its row and ROW_STEP deep, every
// pixel row one pixel left of the row behind it. The grid's back-left
// corner lies 23 pixels left of and 16 above the board's centre, and a
// cell's point stands 14 along and 7 down from its stone's back-left corner.
constexpr int GRID_X = BOARD_X - 23;
constexpr int GRID_Y = BOARD_Y - 16;
static_assert(ROW_SLANT == ROW_STEP, "one pixel left per pixel row");

static int Stone_At(int x, int y)
{
    const int down = y - GRID_Y;
    const int along = x - GRID_X + down;
    // The grid's far edges (its last column and row of grout) go with the stones before them.
    if (down < 0 || along < 0 || down > BOARD_SIDE * ROW_STEP || along > BOARD_SIDE * CELL_STEP)
        return NO_CELL;
    const int row = std::min(down / ROW_STEP, BOARD_SIDE - 1);
    const int column = std::min(along / CELL_STEP, BOARD_SIDE - 1);
    return BOARD_SIDE * row + column;
}

int Cell_At(float x, float y)
{
    // Pieces are drawn from cell 0 on: a later one is in front.
    for (int cell = BOARD_CELLS - 1; cell >= 0; --cell)
        if (board_array[cell] && Piece_Covers(board_x[cell], board_y[cell], x, y))
            return cell;
    return Stone_At(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

static bool Is_Side(int side)
{
    return side >= 0 && side < SIDES;
}

static bool Held_By(int cell, int side)
{
    return board_array[cell] && board_array[cell]->Get_Owner() == side;
}

bool Can_Capture(int attacker, int target, int side)
{
    if (!Is_Cell(attacker) || !Is_Cell(target))
        return false;
    const Piece *prey = board_array[target];
    return Held_By(attacker, side) && prey && prey->Get_Owner() != side &&
           Check_Surround(attacker, target) &&
           prey->Get_Enemy() == board_array[attacker]->Get_Type();
}

bool Check_Attack(int side)
{
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        if (!Held_By(cell, side))
            continue;
        for (int neighbour : board_surround[cell])
            if (Can_Capture(cell, neighbour, side))
                return true;
    }
    return false;
}

int Win_Kind(int side)
{
    if (!Is_Side(side) || !opponent[side])
        return NO_WIN;
    int on_board = 0;
    for (const Piece *piece : board_array) {
        if (!piece || piece->Get_Owner() != side)
            continue;
        ++on_board;
        if (piece->Get_Combo() >= FULL_COMBO)
            return WIN_FULL_COMBO;
    }
    if (opponent[side]->Get_HandSize() == MATCH_PIECES - on_board)
        return WIN_ALL_PIECES;
    return NO_WIN;
}

int Check_Winner(int side)
{
    const int kind = Win_Kind(side);
    if (kind != NO_WIN) {
        opponent[side]->Add_Point();
        Reset_Match();
    }
    return kind;
}

bool Check_Full()
{
    for (Piece *piece : board_array)
        if (!piece)
            return false;
    return true;
}

void Return_Pieces()
{
    for (Piece *piece : board_array)
        if (piece)
            opponent[piece->Get_Owner()]->Add_Piece(piece->Get_Type(), piece->Get_Owner(),
                                                    piece->Get_Combo());
    Erase_Board(NO_CELL);
}

static void Deal_Hand(int side)
{
    Player *player = opponent[side];
    player->Delete_Hand();
    for (int type = 0; type < PIECE_TYPES; ++type)
        for (int copy = 0; copy < PIECES_PER_TYPE; ++copy)
            player->Add_Piece(type, side, 0);
}

void Reset_Match()
{
    Erase_Board(NO_CELL);
    for (int side = 0; side < SIDES; ++side)
        Deal_Hand(side);
    game_phase = PHASE_PLACING;
}

static void Erase_Cell(int cell)
{
    delete board_array[cell];
    board_array[cell] = nullptr;
}

void Erase_Board(int cell)
{
    if (cell == NO_CELL) {
        for (int each = 0; each < BOARD_CELLS; ++each)
            Erase_Cell(each);
    } else if (Is_Cell(cell)) {
        Erase_Cell(cell);
    }
}

void Switch_Turn()
{
    turn_phase = CHOOSING_WHAT;
    game_turn = game_turn == SOLIDS ? STRIPES : SOLIDS;
}

void Put_Piece(int cell, int type, int owner, int combo)
{
    if (Is_Cell(cell) && !board_array[cell])
        board_array[cell] = new Piece(type, owner, combo, board_z[cell]);
}

void Place_Piece(int hand_position, int cell)
{
    Player *side = opponent[game_turn];
    const Piece *piece = side->Get_Piece(hand_position);
    if (!piece || !Is_Cell(cell) || board_array[cell])
        return;
    Put_Piece(cell, piece->Get_Type(), piece->Get_Owner(), piece->Get_Combo());
    side->Delete_Piece(hand_position);
}

void Capture_Take(int target)
{
    if (!Is_Cell(target) || !board_array[target])
        return;
    const Piece *taken = board_array[target];
    opponent[game_turn]->Add_Piece(taken->Get_Type(), game_turn, taken->Get_Combo());
    Erase_Board(target);
}

void Capture_Advance(int attacker, int target)
{
    // Building over a piece still standing in the target would lose it.
    if (!Is_Cell(attacker) || !Is_Cell(target) || attacker == target ||
        !board_array[attacker] || board_array[target])
        return;
    const Piece *capturer = board_array[attacker];
    Put_Piece(target, capturer->Get_Type(), game_turn, capturer->Get_Combo() + 1);
    Erase_Board(attacker);
}

void Draw_Cell(int cell)
{
    if (Is_Cell(cell) && board_array[cell])
        board_array[cell]->Draw_Piece(board_x[cell], board_y[cell]);
}

void Draw_Board()
{
    for (int cell = 0; cell < BOARD_CELLS; ++cell)
        Draw_Cell(cell);
}

void Reset_Board()
{
    Erase_Board(NO_CELL);
    game_turn = SOLIDS;
    game_phase = PHASE_PLACING;
    turn_phase = CHOOSING_WHAT;
}

int Count_Pieces()
{
    int count = 0;
    for (Piece *piece : board_array)
        if (piece)
            ++count;
    for (Player *player : opponent)
        if (player)
            count += player->Get_HandSize();
    return count;
}

// Combo levels past full combo never stand on a board the rules can see.
static int Clamp_Combo(int combo)
{
    return std::clamp(combo, 0, FULL_COMBO);
}

static int Kind_Of(const Piece *piece)
{
    return Hand_Kind(piece->Get_Type(), Clamp_Combo(piece->Get_Combo()));
}

Match_State Game_Position()
{
    Match_State match = Match_Start(game_turn);
    Round_State &round = match.round;
    round = {};
    match.order = {};
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        const Piece *piece = board_array[cell];
        if (piece)
            round.cell[cell] = static_cast<uint8_t>(
                Cell_Code(piece->Get_Owner(), piece->Get_Type(), Clamp_Combo(piece->Get_Combo())));
    }
    for (int owner = 0; owner < SIDES; ++owner) {
        const Player *player = opponent[owner];
        for (int i = 0; player && i < player->Get_HandSize(); ++i) {
            const int kind = Kind_Of(player->Get_Piece(i));
            ++round.hand[owner][kind];
            match.order.kind[owner][match.order.size[owner]++] = static_cast<uint8_t>(kind);
        }
        match.points[owner] = player ? player->Get_Points() : 0;
    }
    round.turn = static_cast<int8_t>(game_turn);
    round.phase = static_cast<int8_t>(game_phase == PHASE_PLACING ? PHASE_PLACING : PHASE_FIGHTING);
    round.winner = NO_WINNER;
    return match;
}

void Set_Game_Position(const Match_State &match)
{
    Erase_Board(NO_CELL);
    const Round_State &round = match.round;
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        const int code = round.cell[cell];
        if (code != EMPTY_CELL)
            Put_Piece(cell, PARTS.type[code], PARTS.owner[code], PARTS.combo[code]);
    }
    for (int side = 0; side < SIDES; ++side) {
        Player *player = opponent[side];
        player->Delete_Hand();
        for (int i = 0; i < match.order.size[side]; ++i) {
            const int kind = match.order.kind[side][i];
            player->Add_Piece(kind / COMBO_LEVELS, side, kind % COMBO_LEVELS);
        }
        player->Set_Points(match.points[side]);
    }
    game_turn = round.turn;
    game_phase = round.phase;
    turn_phase = CHOOSING_WHAT;
}
