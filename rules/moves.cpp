#include "moves.h"

#include <cstddef>

static const char *const REFUSAL_TEXTS[][2] = {
    {"legal", "the move is legal"},
    {"not-placing", "the sides are fighting, not placing"},
    {"not-fighting", "the sides are placing, not fighting"},
    {"no-such-piece", "there is no piece at that position of the hand"},
    {"no-such-cell", "there is no such cell"},
    {"cell-taken", "the cell is taken"},
    {"not-own-piece", "the side to move has no piece in that cell"},
    {"not-capture", "that piece cannot capture that target"},
};

const char *Refusal_Name(Move_Refusal refusal)
{
    return REFUSAL_TEXTS[refusal][0];
}

const char *Refusal_Text(Move_Refusal refusal)
{
    return REFUSAL_TEXTS[refusal][1];
}

Match_State Match_Start(int first)
{
    Match_State match{};
    match.round = Round_Deal(first);
    match.order = Round_Deal_Order();
    match.last_winner = NO_WINNER;
    match.last_win_kind = NO_WIN;
    return match;
}

static Move_Refusal Check_Placing(const Match_State &match, const Move &move)
{
    const Round_State &round = match.round;
    if (round.phase != PHASE_PLACING)
        return MOVE_NOT_PLACING;
    if (move.from < 0 || move.from >= match.order.size[round.turn])
        return MOVE_NO_SUCH_PIECE;
    if (!Is_Cell(move.to))
        return MOVE_NO_SUCH_CELL;
    if (round.cell[move.to] != EMPTY_CELL)
        return MOVE_CELL_TAKEN;
    return MOVE_LEGAL;
}

static Move_Refusal Check_Capture(const Match_State &match, const Move &move)
{
    const Round_State &round = match.round;
    if (round.phase != PHASE_FIGHTING)
        return MOVE_NOT_FIGHTING;
    if (!Is_Cell(move.from) || !Is_Cell(move.to))
        return MOVE_NO_SUCH_CELL;
    const int attacker = round.cell[move.from];
    if (attacker == EMPTY_CELL || PARTS.owner[attacker] != round.turn)
        return MOVE_NOT_OWN_PIECE;
    if (!Check_Surround(move.from, move.to) || !round_captures[attacker][round.cell[move.to]])
        return MOVE_NOT_CAPTURE;
    return MOVE_LEGAL;
}

Move_Refusal Match_Check(const Match_State &match, const Move &move)
{
    return move.kind == MOVE_PLACE ? Check_Placing(match, move) : Check_Capture(match, move);
}

Round_Move Match_To_Round(const Match_State &match, const Move &move)
{
    if (move.kind == MOVE_CAPTURE)
        return {static_cast<int8_t>(move.from), static_cast<int8_t>(move.to)};
    const int kind = match.order.kind[match.round.turn][move.from];
    return {static_cast<int8_t>(kind), static_cast<int8_t>(move.to)};
}

Move Match_From_Round(const Match_State &match, Round_Move move)
{
    if (match.round.phase == PHASE_FIGHTING)
        return {MOVE_CAPTURE, move.from, move.to};
    const int side = match.round.turn;
    for (int i = 0; i < match.order.size[side]; ++i)
        if (match.order.kind[side][i] == move.from)
            return {MOVE_PLACE, i, move.to};
    return {MOVE_PLACE, -1, move.to};
}

static void Leave_Hand(Hand_Order &order, int side, int position)
{
    for (int i = position + 1; i < order.size[side]; ++i)
        order.kind[side][i - 1] = order.kind[side][i];
    // Past the end the order holds nothing, so that equal hands compare equal.
    order.kind[side][--order.size[side]] = 0;
}

// A won round scores its point and the next one is dealt at once.
static void Score_And_Deal(Match_State &match)
{
    const Round_State &won = match.round;
    match.last_winner = won.winner;
    match.last_win_kind = won.win_kind;
    ++match.points[won.winner];
    ++match.rounds_won;
    match.round = Round_Deal(Round_Next_First(won));
    match.order = Round_Deal_Order();
}

Move_Refusal Match_Play(Match_State &match, const Move &move)
{
    const Move_Refusal refusal = Match_Check(match, move);
    if (refusal != MOVE_LEGAL)
        return refusal;
    const Round_Move compact = Match_To_Round(match, move);
    if (move.kind == MOVE_PLACE)
        Leave_Hand(match.order, match.round.turn, move.from);
    Round_Play(match.round, compact, &match.order);
    ++match.moves;
    match.last_winner = NO_WINNER;
    match.last_win_kind = NO_WIN;
    if (match.round.winner != NO_WINNER)
        Score_And_Deal(match);
    return MOVE_LEGAL;
}

int Match_Moves(const Match_State &match, Move *moves)
{
    const Round_State &round = match.round;
    int count = 0;
    if (round.phase == PHASE_FIGHTING) {
        Round_Move captures[ROUND_MAX_MOVES];
        const int found = Round_Moves(round, captures);
        for (int i = 0; i < found; ++i)
            moves[count++] = {MOVE_CAPTURE, captures[i].from, captures[i].to};
        return count;
    }
    for (int position = 0; position < match.order.size[round.turn]; ++position)
        for (int cell = 0; cell < BOARD_CELLS; ++cell)
            if (round.cell[cell] == EMPTY_CELL)
                moves[count++] = {MOVE_PLACE, position, cell};
    return count;
}

// FNV-1a over the position written out byte by byte, so that the hash does
// not depend on the layout of the records in memory.
struct Fnv {
    uint64_t hash = 0xcbf29ce484222325ull;  // FNV's 64-bit offset basis
    void Byte(unsigned value)
    {
        hash ^= value & 0xff;
        hash *= 0x100000001b3ull;  // FNV's 64-bit prime
    }
    void Word(int value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            Byte(static_cast<unsigned>(value) >> shift);
    }
};

uint64_t Match_Hash(const Match_State &match)
{
    Fnv fnv;
    for (uint8_t code : match.round.cell)
        fnv.Byte(code);
    for (int side = 0; side < SIDES; ++side) {
        fnv.Byte(match.order.size[side]);
        for (int i = 0; i < match.order.size[side]; ++i)
            fnv.Byte(match.order.kind[side][i]);
        fnv.Word(match.points[side]);
    }
    fnv.Byte(static_cast<unsigned>(match.round.turn));
    fnv.Byte(static_cast<unsigned>(match.round.phase));
    return fnv.hash;
}

bool Match_Replay(const Match_Record &record, Match_State &match, int *bad, Move_Refusal *why)
{
    match = Match_Start(record.first);
    for (std::size_t i = 0; i < record.moves.size(); ++i) {
        const Move_Refusal refusal = Match_Play(match, record.moves[i]);
        if (refusal == MOVE_LEGAL)
            continue;
        if (bad)
            *bad = static_cast<int>(i);
        if (why)
            *why = refusal;
        return false;
    }
    return true;
}
