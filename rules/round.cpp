#include "round.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

// ---------------------------------------------------------------- tables

bool Code_Captures(int attacker, int prey)
{
    return Code_Owner(attacker) != Code_Owner(prey) &&
           Enemy_Of(Code_Type(prey)) == Code_Type(attacker);
}

static std::array<Neighbour_List, BOARD_CELLS> Make_Neighbours()
{
    std::array<Neighbour_List, BOARD_CELLS> lists{};
    for (int cell = 0; cell < BOARD_CELLS; ++cell)
        for (int neighbour : board_surround[cell])
            if (neighbour != NO_CELL)
                lists[cell].cells[lists[cell].count++] = neighbour;
    return lists;
}

static std::array<std::array<bool, CELL_CODES>, CELL_CODES> Make_Captures()
{
    std::array<std::array<bool, CELL_CODES>, CELL_CODES> table{};
    for (int attacker = 1; attacker < CELL_CODES; ++attacker)
        for (int prey = 1; prey < CELL_CODES; ++prey)
            table[attacker][prey] = Code_Captures(attacker, prey);
    return table;
}

static std::array<Cell_Pair, BOARD_EDGES> Make_Edges()
{
    std::array<Cell_Pair, BOARD_EDGES> pairs{};
    int count = 0;
    for (int cell = 0; cell < BOARD_CELLS; ++cell)
        for (int neighbour : board_surround[cell])
            if (neighbour != NO_CELL && neighbour > cell)
                pairs[count++] = {cell, neighbour};
    return pairs;
}

// Built only from the board's and the pieces' constant tables, so any file's
// tables may be built from these.
const std::array<Neighbour_List, BOARD_CELLS> round_neighbours = Make_Neighbours();
const std::array<std::array<bool, CELL_CODES>, CELL_CODES> round_captures = Make_Captures();
const std::array<Cell_Pair, BOARD_EDGES> round_edges = Make_Edges();

// ---------------------------------------------------------------- rules

bool Board_Full(const Round_State &state)
{
    for (uint8_t code : state.cell)
        if (code == EMPTY_CELL)
            return false;
    return true;
}

int Hand_Size(const Round_State &state, int side)
{
    int size = 0;
    for (uint8_t count : state.hand[side])
        size += count;
    return size;
}

// The sides that have a capture: bit 0 for Solids, bit 1 for Stripes.
static int Capturers(const Round_State &state)
{
    int sides = 0;
    for (const Cell_Pair &edge : round_edges) {
        const int a = state.cell[edge.a], b = state.cell[edge.b];
        if (round_captures[a][b])
            sides |= 1 << PARTS.owner[a];
        else if (round_captures[b][a])
            sides |= 1 << PARTS.owner[b];
    }
    return sides;
}

// The match's winner check: Solids first, a full combo before all pieces.
static bool Check_Win(Round_State &state)
{
    int on_board[SIDES] = {0, 0};
    int full_combo[SIDES] = {0, 0};
    for (uint8_t code : state.cell) {
        if (code == EMPTY_CELL)
            continue;
        ++on_board[PARTS.owner[code]];
        full_combo[PARTS.owner[code]] |= PARTS.combo[code] >= FULL_COMBO;
    }
    for (int side = 0; side < SIDES; ++side) {
        if (full_combo[side] || Hand_Size(state, side) == MATCH_PIECES - on_board[side]) {
            state.winner = static_cast<int8_t>(side);
            state.win_kind = full_combo[side] ? WIN_FULL_COMBO : WIN_ALL_PIECES;
            return true;
        }
    }
    return false;
}

static void Join_Hand(Round_State &state, Hand_Order *order, int side, int kind)
{
    ++state.hand[side][kind];
    if (order)
        order->kind[side][order->size[side]++] = static_cast<uint8_t>(kind);
}

static void Return_All(Round_State &state, Hand_Order *order)
{
    for (uint8_t &code : state.cell) {
        if (code == EMPTY_CELL)
            continue;
        Join_Hand(state, order, PARTS.owner[code], Hand_Kind(PARTS.type[code], PARTS.combo[code]));
        code = EMPTY_CELL;
    }
}

enum Step { STEP_CHOICE, STEP_PASSED, STEP_RETURNED };

// One step of the match's round logic that needs nobody's choice; none
// where the side to move has a choice.
static Step Flow_Step(Round_State &state, Hand_Order *order)
{
    if (state.phase == PHASE_PLACING) {
        if (Board_Full(state)) {
            state.phase = PHASE_FIGHTING;  // the side to move did not place last: it captures first
            return STEP_PASSED;
        }
        if (Hand_Size(state, state.turn) == 0) {
            state.turn ^= 1;
            return STEP_PASSED;
        }
        return STEP_CHOICE;
    }
    const int capturers = Capturers(state);
    if (capturers == 0) {
        state.phase = PHASE_PLACING;
        if (!Board_Full(state))
            return STEP_PASSED;
        Return_All(state, order);
        state.turn ^= 1;
        return STEP_RETURNED;
    }
    if ((capturers >> state.turn & 1) == 0) {
        state.turn ^= 1;
        return STEP_PASSED;
    }
    return STEP_CHOICE;
}

// The steps of the round's flow up to the next choice. The match checks for
// a win after every step, but a pass or the start or end of a fight leaves
// alone everything the check looks at; only a board going back to the hands
// does not, so the check runs after that.
// A round always reaches a choice within a few steps; the bound only keeps
// a broken position from holding the caller.
constexpr int MAX_FLOW_STEPS = 16;

static void Run_Flow(Round_State &state, Hand_Order *order)
{
    for (int steps = 0; steps < MAX_FLOW_STEPS; ++steps) {
        const Step step = Flow_Step(state, order);
        if (step == STEP_CHOICE || (step == STEP_RETURNED && Check_Win(state)))
            return;
    }
}

void Round_Settle(Round_State &state)
{
    if (state.winner == NO_WINNER && !Check_Win(state))
        Run_Flow(state, nullptr);
}

int Round_Next_First(const Round_State &won)
{
    // A win after a capture is found by the game one step of the flow
    // later, a step that passes the turn or ends the fight and so leaves the
    // win alone: the next round begins with whoever that step left to move.
    if (won.phase == PHASE_PLACING)
        return won.turn;
    Round_State after = won;
    Flow_Step(after, nullptr);
    return after.turn;
}

Round_State Round_Deal(int first)
{
    Round_State state{};
    for (int side = 0; side < SIDES; ++side)
        for (int type = 0; type < PIECE_TYPES; ++type)
            state.hand[side][Hand_Kind(type, 0)] = PIECES_PER_TYPE;
    state.turn = static_cast<int8_t>(first);
    state.winner = NO_WINNER;
    return state;
}

Hand_Order Round_Deal_Order()
{
    Hand_Order order{};
    for (int side = 0; side < SIDES; ++side)
        for (int type = 0; type < PIECE_TYPES; ++type)
            for (int i = 0; i < PIECES_PER_TYPE; ++i)
                order.kind[side][order.size[side]++] = static_cast<uint8_t>(Hand_Kind(type, 0));
    return order;
}

int Round_Moves(const Round_State &state, Round_Move *moves)
{
    if (state.winner != NO_WINNER)
        return 0;
    int count = 0;
    const int side = state.turn;
    if (state.phase == PHASE_PLACING) {
        int8_t empty[BOARD_CELLS];
        int empties = 0;
        for (int cell = 0; cell < BOARD_CELLS; ++cell)
            if (state.cell[cell] == EMPTY_CELL)
                empty[empties++] = static_cast<int8_t>(cell);
        for (int kind = 0; kind < HAND_KINDS; ++kind) {
            if (state.hand[side][kind] == 0)
                continue;
            for (int i = 0; i < empties; ++i)
                moves[count++] = {static_cast<int8_t>(kind), empty[i]};
        }
        return count;
    }
    for (const Cell_Pair &edge : round_edges) {
        const int a = state.cell[edge.a], b = state.cell[edge.b];
        if (round_captures[a][b] && PARTS.owner[a] == side)
            moves[count++] = {static_cast<int8_t>(edge.a), static_cast<int8_t>(edge.b)};
        else if (round_captures[b][a] && PARTS.owner[b] == side)
            moves[count++] = {static_cast<int8_t>(edge.b), static_cast<int8_t>(edge.a)};
    }
    return count;
}

// The position must be settled, with no win waiting to be found: then a
// placing makes no win (unless the piece comes from the hand at full combo,
// which no round deals or keeps), and only a capture needs the check.
void Round_Play(Round_State &state, Round_Move move, Hand_Order *order)
{
    const int side = state.turn;
    bool may_win;
    if (state.phase == PHASE_PLACING) {
        --state.hand[side][move.from];
        state.cell[move.to] = static_cast<uint8_t>(
            Cell_Code(side, move.from / COMBO_LEVELS, move.from % COMBO_LEVELS));
        may_win = move.from % COMBO_LEVELS >= FULL_COMBO;
    } else {
        // Take: the prey joins the capturer's hand, keeping type and combo.
        const int prey = state.cell[move.to];
        Join_Hand(state, order, side, Hand_Kind(PARTS.type[prey], PARTS.combo[prey]));
        // Advance: the attacker moves into the prey's cell one combo higher.
        const int attacker = state.cell[move.from];
        state.cell[move.to] = static_cast<uint8_t>(
            Cell_Code(side, PARTS.type[attacker], std::min(PARTS.combo[attacker] + 1, FULL_COMBO)));
        state.cell[move.from] = EMPTY_CELL;
        may_win = true;
    }
    state.turn ^= 1;
    if (may_win && Check_Win(state))
        return;
    Run_Flow(state, order);
}

uint64_t Round_Hash(const Round_State &state)
{
    // Everything but the winner: the cells, the hands, the turn and the phase.
    static_assert(offsetof(Round_State, phase) == 40 && offsetof(Round_State, turn) == 39);
    // The first five words hold the cells, the hands and the turn; the phase
    // goes into the seed. Each word is mixed in by a multiply with the golden
    // ratio's odd 64-bit constant and a fold of the high half, and the sum is
    // finished with SplitMix64's multiplier and shift.
    constexpr uint64_t SEED = 0x243f6a8885a308d3ull;  // the first digits of pi
    constexpr uint64_t GOLDEN = 0x9e3779b97f4a7c15ull;
    constexpr uint64_t FINISH = 0xbf58476d1ce4e5b9ull;
    uint64_t words[5];
    std::memcpy(words, &state, sizeof words);
    uint64_t hash = SEED ^ static_cast<uint8_t>(state.phase);
    for (uint64_t word : words) {
        hash = (hash ^ word) * GOLDEN;
        hash ^= hash >> 32;
    }
    hash *= FINISH;
    return hash ^ (hash >> 29);
}

int Combo_Total(const Round_State &state)
{
    int total = 0;
    for (uint8_t code : state.cell)
        if (code != EMPTY_CELL)
            total += PARTS.combo[code];
    for (const auto &side : state.hand)
        for (int kind = 0; kind < HAND_KINDS; ++kind)
            total += side[kind] * (kind % COMBO_LEVELS);
    return total;
}
