#include "computer_eval.h"

#include <algorithm>

// Fitted by torvek_tune (--rounds 600 --seed 41) to 2,642 positions of rounds
// the hard computer played with the weights before these, and to the
// outcomes of the rounds it played out from them; the reasons are what the
// fit says.
const Eval_Weights eval_weights = {
    // The unit of the others: all twelve win.
    .piece = 100,
    // Combo 1 adds little and combo 2 on the board is a target more than a
    // threat; a combo-3 piece is one capture from the round.
    .board_combo = {34, -21, 306},
    // A combo-1 or combo-2 piece must still be placed where it may be taken;
    // a combo-3 piece waits for the placing beside a prey that wins.
    .hand_combo = {-99, -91, 443},
    // A piece in the hand cannot be taken and chooses its cell and moment.
    .in_hand = 221,
    // A capture waiting for the fight.
    .threat = 201,
    // A taken piece joins the taker's hand, where its combo counts already;
    // taking a combo-3 piece takes the other side's nearest win as well.
    .threat_prey_combo = {-104, -170, 600},
    // Nearly the round itself, unless the other side strikes first.
    .winning_threat = 970,
    // The side that fights first takes before it can be taken.
    .first_strike = 175,
    // A capture the other side can still set up; worth most against a
    // combo-3 piece, which it would take with its combo.
    .exposed = 114,
    .exposed_combo = {-9, -16, 113},
    // The greatest single advantage of a round: whoever places last lets
    // the other side capture first.
    .fights_first = 432,
    // A side down to its last pieces is hard to finish: the other side must
    // place its many pieces beside them, and each one they take adds combo.
    .last_pieces = {490, 500, 160},
};

// The weight of a combo level from a table that starts at combo 1.
static int At_Combo(const int (&table)[3], int combo)
{
    return combo >= 1 && combo <= 3 ? table[combo - 1] : 0;
}

static int For_Solids(int owner, int value)
{
    return owner == SOLIDS ? value : -value;
}

Evaluator::Evaluator(const Eval_Weights &weights) : weights(weights)
{
    cell[0] = exposed[0] = captor_bit[0] = 0;
    for (int code = 1; code < CELL_CODES; ++code) {
        const int combo = Code_Combo(code);
        cell[code] = For_Solids(Code_Owner(code),
                                weights.piece + At_Combo(weights.board_combo, combo));
        exposed[code] = weights.exposed + At_Combo(weights.exposed_combo, combo);
        captor_bit[code] = 1 << Enemy_Of(Code_Type(code));
    }
    for (int kind = 0; kind < HAND_KINDS; ++kind)
        hand[kind] = weights.piece + weights.in_hand +
                     At_Combo(weights.hand_combo, kind % COMBO_LEVELS);
    for (int attacker = 0; attacker < CELL_CODES; ++attacker)
        for (int prey = 0; prey < CELL_CODES; ++prey) {
            const bool takes = attacker != 0 && prey != 0 && Code_Captures(attacker, prey);
            const bool wins = takes && Code_Combo(attacker) == FULL_COMBO - 1;
            threat[attacker][prey] =
                takes ? weights.threat + At_Combo(weights.threat_prey_combo, Code_Combo(prey)) +
                            (wins ? weights.winning_threat : 0)
                      : 0;
        }
}

// The side that places the last piece before the board fills, and how many
// placings each side still makes until then. A side with nothing in hand
// passes; the hands always hold enough to fill the board.
static int Last_Placer(const Round_State &state, int placings[SIDES])
{
    int empty = 0;
    for (uint8_t code : state.cell)
        empty += code == 0;
    int hand[SIDES] = {Hand_Size(state, SOLIDS), Hand_Size(state, STRIPES)};
    int side = state.turn, last = state.turn ^ 1;
    placings[SOLIDS] = placings[STRIPES] = 0;
    for (int turns = 0; empty > 0 && turns < 2 * BOARD_CELLS; ++turns, side ^= 1) {
        if (hand[side] == 0)
            continue;
        --hand[side];
        --empty;
        ++placings[side];
        last = side;
    }
    return last;
}

// Every pair of neighbours where one piece beats the other, for Solids.
int Evaluator::Threats(const Round_State &state, int first) const
{
    int solids = 0;
    for (const Cell_Pair &edge : round_edges) {
        const int a = state.cell[edge.a], b = state.cell[edge.b];
        const bool a_takes = round_captures[a][b];
        if (!a_takes && !round_captures[b][a])
            continue;
        const int attacker = a_takes ? a : b;
        const int owner = PARTS.owner[attacker];
        const int worth = threat[attacker][a_takes ? b : a] +
                          (owner == first ? weights.first_strike : 0);
        solids += For_Solids(owner, worth);
    }
    return solids;
}

// Pieces beside an empty cell where the other side, with a placing still to
// make, could put what beats them; for Solids.
int Evaluator::Exposures(const Round_State &state, const int placings[SIDES]) const
{
    int can_place[SIDES] = {0, 0};  // a bit for each type the side could place
    for (int side = 0; side < SIDES; ++side)
        for (int kind = 0; kind < HAND_KINDS && placings[side] > 0; ++kind)
            can_place[side] |= (state.hand[side][kind] != 0) << (kind / COMBO_LEVELS);
    int solids = 0;
    for (int empty = 0; empty < BOARD_CELLS; ++empty) {
        if (state.cell[empty] != 0)
            continue;
        const Neighbour_List &around = round_neighbours[empty];
        for (int i = 0; i < around.count; ++i) {
            const int code = state.cell[around.cells[i]];
            const int owner = PARTS.owner[code];
            if (code != 0 && (can_place[owner ^ 1] & captor_bit[code]))
                solids -= For_Solids(owner, exposed[code]);
        }
    }
    return solids;
}

int Evaluator::operator()(const Round_State &state) const
{
    int placings[SIDES];
    const int first = Last_Placer(state, placings) ^ 1;
    int solids = For_Solids(first, weights.fights_first);
    int held[SIDES] = {0, 0};
    for (uint8_t code : state.cell) {
        solids += cell[code];
        held[PARTS.owner[code]] += code != 0;
    }
    for (int kind = 0; kind < HAND_KINDS; ++kind) {
        solids += (state.hand[SOLIDS][kind] - state.hand[STRIPES][kind]) * hand[kind];
        held[SOLIDS] += state.hand[SOLIDS][kind];
        held[STRIPES] += state.hand[STRIPES][kind];
    }
    for (int side = 0; side < SIDES; ++side)
        solids += For_Solids(side, At_Combo(weights.last_pieces, held[side]));
    solids += Threats(state, first) + Exposures(state, placings);
    return state.turn == SOLIDS ? solids : -solids;
}

// Built from the pieces' constant table of who beats whom alone, so it is
// ready before any search runs.
static const Evaluator GAME_EVALUATOR(eval_weights);

int Evaluate(const Round_State &state)
{
    return GAME_EVALUATOR(state);
}
