#include "rules.h"

// The type that captures each type.
static const int ENEMY_OF[PIECE_TYPES] = {
    2,  // type 0
    0,  // type 1
    1,  // type 2
};

int Enemy_Of(int type)
{
    return ENEMY_OF[type];
}

static constexpr int NONE = NO_CELL;

const int board_surround[BOARD_CELLS][NEIGHBOURS] = {
    // up  right  down  left      cell
    {NONE,     1,    3, NONE},  //  0
    {NONE,     2,    4,    0},  //  1
    {NONE,  NONE,    5,    1},  //  2
    {   0,     4,    6, NONE},  //  3
    {   1,     5,    7,    3},  //  4
    {   2,  NONE,    8,    4},  //  5
    {   3,     7, NONE, NONE},  //  6
    {   4,     8, NONE,    6},  //  7
    {   5,  NONE, NONE,    7},  //  8
};

bool Is_Cell(int cell)
{
    return cell >= 0 && cell < BOARD_CELLS;
}

bool Check_Surround(int cell, int other)
{
    // A missing neighbour is listed as NO_CELL, which must not match "no cell".
    if (!Is_Cell(cell) || !Is_Cell(other))
        return false;
    for (int neighbour : board_surround[cell])
        if (neighbour == other)
            return true;
    return false;
}
