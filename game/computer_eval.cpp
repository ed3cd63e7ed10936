#include "computer_eval.h"

// A piece held, whatever its place: all twelve win.
constexpr int PIECE_VALUE = 100;
// A piece's combo level: the closer to a full combo, the more it is worth,
// to its owner and to whoever captures it.
constexpr int COMBO_VALUE[COMBO_LEVELS] = {0, 12, 30, 60, 0};
// A piece beside an enemy piece it beats.
constexpr int THREAT_VALUE = 14;
// ... and more when the capture would be a full combo.
constexpr int WIN_THREAT_VALUE = 80;
// A piece beside an empty cell, when the other side holds the type that
// beats it: one placing away from a threat, more so the more combo it carries.
constexpr int EXPOSED_VALUE = 6;
// Pieces in hand keep the choice of where to go.
constexpr int HAND_BONUS = 4;

// What each thing on the board and in the hands is worth to Solids, less
// what it is worth to Stripes.
struct Worth_Tables {
    int cell[CELL_CODES];
    int hand[HAND_KINDS];
    int pair[CELL_CODES][CELL_CODES];
    int exposed[CELL_CODES];     // a piece that could be attacked from an empty cell
    int captor_bit[CELL_CODES];  // 1 << the type that captures the piece
};

static int Threat_Worth(int attacker, int prey)
{
    const int worth = THREAT_VALUE + COMBO_VALUE[Code_Combo(prey)] +
                      (Code_Combo(attacker) == FULL_COMBO - 1 ? WIN_THREAT_VALUE : 0);
    return Code_Owner(attacker) == SOLIDS ? worth : -worth;
}

static Worth_Tables Make_Worth()
{
    Worth_Tables worth{};
    for (int code = 1; code < CELL_CODES; ++code) {
        const int value = PIECE_VALUE + COMBO_VALUE[Code_Combo(code)];
        worth.cell[code] = Code_Owner(code) == SOLIDS ? value : -value;
    }
    for (int kind = 0; kind < HAND_KINDS; ++kind)
        worth.hand[kind] = PIECE_VALUE + HAND_BONUS + COMBO_VALUE[kind % COMBO_LEVELS];
    for (int code = 1; code < CELL_CODES; ++code) {
        const int value = EXPOSED_VALUE + COMBO_VALUE[Code_Combo(code)] / 2;
        worth.exposed[code] = Code_Owner(code) == SOLIDS ? value : -value;
        worth.captor_bit[code] = 1 << Enemy_Of(Code_Type(code));
    }
    for (int a = 1; a < CELL_CODES; ++a)
        for (int b = 1; b < CELL_CODES; ++b)
            worth.pair[a][b] = Code_Captures(a, b)   ? Threat_Worth(a, b)
                               : Code_Captures(b, a) ? Threat_Worth(b, a)
                                                : 0;
    return worth;
}

static const Worth_Tables WORTH = Make_Worth();

// The position as the side to move sees it, when the search stops looking.
int Evaluate(const Round_State &state)
{
    int solids = 0;
    for (uint8_t code : state.cell)
        solids += WORTH.cell[code];
    for (const Cell_Pair &edge : round_edges)
        solids += WORTH.pair[state.cell[edge.a]][state.cell[edge.b]];
    int in_hand[SIDES] = {0, 0};  // a bit for each type the side could place
    for (int kind = 0; kind < HAND_KINDS; ++kind) {
        solids += (state.hand[SOLIDS][kind] - state.hand[STRIPES][kind]) * WORTH.hand[kind];
        in_hand[SOLIDS] |= (state.hand[SOLIDS][kind] != 0) << (kind / COMBO_LEVELS);
        in_hand[STRIPES] |= (state.hand[STRIPES][kind] != 0) << (kind / COMBO_LEVELS);
    }
    // Pieces beside an empty cell where the other side could place what beats them.
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        if (state.cell[cell] != 0)
            continue;
        const Neighbour_List &around = round_neighbours[cell];
        for (int i = 0; i < around.count; ++i) {
            const int code = state.cell[around.cells[i]];
            if (code != 0 && (in_hand[PARTS.owner[code] ^ 1] & WORTH.captor_bit[code]))
                solids -= WORTH.exposed[code];
        }
    }
    return state.turn == SOLIDS ? solids : -solids;
}
