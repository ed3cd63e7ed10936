// The hard computer as it stood before its search was rewritten, kept frozen
// as the arena's yardstick: the new levels are measured against it at its own
// budget and at larger ones. The game never links this file; only the arena
// does. It plays on the game's compact round (the rules, checked against the
// real board, are shared); its evaluation and search are its own.
#include "arena_baseline.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace baseline {

// The rules' tables, under the names this search knew them by.
static const auto &NEIGHBOURS_OF = round_neighbours;
static const auto &CAPTURES = round_captures;
static const auto &EDGES = round_edges;

// ---------------------------------------------------------------- evaluation

constexpr int WIN_SCORE = 30000;
// Scores beyond this are wins or losses the search has seen.
constexpr int WIN_BOUND = WIN_SCORE - 1000;
constexpr int INFINITE_SCORE = 32000;

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
static int Evaluate(const Round_State &state)
{
    int solids = 0;
    for (uint8_t code : state.cell)
        solids += WORTH.cell[code];
    for (const Cell_Pair &edge : EDGES)
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
        const Neighbour_List &around = NEIGHBOURS_OF[cell];
        for (int i = 0; i < around.count; ++i) {
            const int code = state.cell[around.cells[i]];
            if (code != 0 && (in_hand[PARTS.owner[code] ^ 1] & WORTH.captor_bit[code]))
                solids -= WORTH.exposed[code];
        }
    }
    return state.turn == SOLIDS ? solids : -solids;
}

// ---------------------------------------------------------------- search

enum : uint8_t { BOUND_UPPER = 1, BOUND_LOWER = 2, BOUND_EXACT = 3, BOUND_MASK = 3, BOUND_CUT = 4 };

struct Tt_Entry {
    uint64_t key;
    int16_t score;
    int8_t depth;
    uint8_t bound;  // BOUND_* and BOUND_CUT when the depth limit cut the lines below
    uint8_t generation;
    Round_Move move;
};

constexpr int TT_BITS = 16;
constexpr uint64_t TT_MASK = (uint64_t(1) << TT_BITS) - 1;
// One table for every search of the program, made once; each search starts
// a new generation, so nothing carries over from the last move.
static Tt_Entry transpositions[uint64_t(1) << TT_BITS];
static uint8_t tt_generation = 0;

constexpr int MAX_PLY = 64;
// What a repeated position is worth to the side that started the search:
// a little less than nothing, so that a side that can do as well otherwise
// does not run the same cycle again.
constexpr int REPEAT_CONTEMPT = 25;
constexpr int REPEAT_FILTER = 4096;
// Moves that cut the search short before come first among their equals,
// but never before a capture to full combo or a better capture.
constexpr int HISTORY_LIMIT = 1000;

struct Search {
    Search(const Round_State &root, const Computer_Memory &memory, const Computer_Limits &limits)
        : limits(limits), root_side(root.turn)
    {
        std::memset(repeat_filter, 0, sizeof repeat_filter);
        std::memset(history, 0, sizeof history);
        if (memory.combo_total == Combo_Total(root))
            for (int i = 0; i < memory.count; ++i)
                Remember(memory.seen[i]);
        if (++tt_generation == 0) {
            std::memset(transpositions, 0, sizeof transpositions);
            tt_generation = 1;
        }
    }

    void Remember(uint64_t key)
    {
        if (remembered < Computer_Memory::SIZE) {
            remembered_keys[remembered++] = key;
            ++repeat_filter[key % REPEAT_FILTER];
        }
    }

    bool Repeated(uint64_t key, int ply) const
    {
        if (repeat_filter[key % REPEAT_FILTER] == 0)
            return false;
        for (int i = 0; i < ply; ++i)
            if (path[i] == key)
                return true;
        for (int i = 0; i < remembered; ++i)
            if (remembered_keys[i] == key)
                return true;
        return false;
    }

    bool Out_Of_Budget() const { return nodes >= limits.nodes; }

    int Order_Score(const Round_State &state, Round_Move move) const
    {
        const int side = state.turn;
        if (state.phase != PHASE_PLACING) {
            const int attacker = state.cell[move.from];
            const int prey = state.cell[move.to];
            if (PARTS.combo[attacker] == FULL_COMBO - 1)
                return 1 << 20;
            return 4096 * PARTS.combo[prey] + 1024 * PARTS.combo[attacker] +
                   history[1][move.from * BOARD_CELLS + move.to];
        }
        const int type = move.from / COMBO_LEVELS;
        const int combo = move.from % COMBO_LEVELS;
        const int placed = Cell_Code(side, type, combo);
        int score = 0;
        const Neighbour_List &around = NEIGHBOURS_OF[move.to];
        for (int i = 0; i < around.count; ++i) {
            const int other = state.cell[around.cells[i]];
            if (CAPTURES[placed][other])
                score += 2048 + 1024 * PARTS.combo[other];
            else if (CAPTURES[other][placed])
                score -= 2048 + 1024 * combo;
        }
        return score + history[0][move.from * BOARD_CELLS + move.to];
    }

    void Score_Moves(const Round_State &state, const Round_Move *moves, int count,
                     Round_Move first, int *keys) const
    {
        for (int i = 0; i < count; ++i)
            keys[i] = moves[i] == first ? 1 << 30 : Order_Score(state, moves[i]);
    }

    // Brings the best of the moves from i on to position i: most nodes stop
    // after one or two moves, so a full sort would be wasted.
    static void Pick_Next(Round_Move *moves, int *keys, int i, int count)
    {
        int best = i;
        for (int j = i + 1; j < count; ++j)
            if (keys[j] > keys[best])
                best = j;
        std::swap(moves[i], moves[best]);
        std::swap(keys[i], keys[best]);
    }

    void Order(const Round_State &state, Round_Move *moves, int count, Round_Move first) const
    {
        int keys[ROUND_MAX_MOVES];
        Score_Moves(state, moves, count, first, keys);
        for (int i = 0; i < count; ++i)
            Pick_Next(moves, keys, i, count);
    }

    // The value of a child for the parent's side to move.
    int Child(const Round_State &parent, const Round_State &child, int depth, int alpha, int beta,
              int ply)
    {
        if (child.turn == parent.turn)
            return Node(child, depth, alpha, beta, ply);
        return -Node(child, depth, -beta, -alpha, ply);
    }

    int Node(const Round_State &state, int depth, int alpha, int beta, int ply)
    {
        if (state.winner != NO_WINNER)
            return state.winner == state.turn ? WIN_SCORE - ply : -(WIN_SCORE - ply);
        if ((++nodes & 1023) == 0 && Out_Of_Budget())
            stopped = true;
        if (stopped)
            return 0;
        const uint64_t key = Round_Hash(state);
        if (Repeated(key, ply))
            return state.turn == root_side ? -REPEAT_CONTEMPT : REPEAT_CONTEMPT;
        // Fights are searched to their end; placings stop at the depth.
        if ((depth <= 0 && state.phase == PHASE_PLACING) || ply >= MAX_PLY) {
            depth_cut = true;
            return Evaluate(state);
        }
        depth = std::max(depth, 0);

        Tt_Entry &entry = transpositions[key & TT_MASK];
        Round_Move tt_move{-1, -1};
        if (entry.key == key && entry.generation == tt_generation) {
            tt_move = entry.move;
            if (entry.depth >= depth) {
                int score = entry.score;
                if (score > WIN_BOUND)
                    score -= ply;
                else if (score < -WIN_BOUND)
                    score += ply;
                const int bound = entry.bound & BOUND_MASK;
                if (bound == BOUND_EXACT || (bound == BOUND_LOWER && score >= beta) ||
                    (bound == BOUND_UPPER && score <= alpha)) {
                    if (entry.bound & BOUND_CUT)
                        depth_cut = true;
                    return score;
                }
            }
        }

        Round_Move moves[ROUND_MAX_MOVES];
        const int count = Round_Moves(state, moves);
        int keys[ROUND_MAX_MOVES];
        Score_Moves(state, moves, count, tt_move, keys);
        path[ply] = key;
        ++repeat_filter[key % REPEAT_FILTER];
        const bool outer_cut = depth_cut;
        depth_cut = false;
        const int first_alpha = alpha;
        int best = -INFINITE_SCORE;
        Round_Move best_move = moves[0];
        for (int i = 0; i < count; ++i) {
            Pick_Next(moves, keys, i, count);
            Round_State child = state;
            Round_Play(child, moves[i]);
            // A forced move costs no depth: the lines that matter run on.
            const int next_depth = count == 1 ? depth : depth - 1;
            const int score = Child(state, child, next_depth, alpha, beta, ply + 1);
            if (stopped)
                break;
            if (score > best) {
                best = score;
                best_move = moves[i];
                if (score > alpha)
                    alpha = score;
                if (alpha >= beta) {
                    int &tried = history[state.phase][moves[i].from * BOARD_CELLS + moves[i].to];
                    tried = std::min(tried + depth + 1, HISTORY_LIMIT);
                    break;
                }
            }
        }
        --repeat_filter[key % REPEAT_FILTER];
        const bool cut_below = depth_cut;
        depth_cut = outer_cut || cut_below;
        if (stopped)
            return 0;

        int stored = best;
        if (stored > WIN_BOUND)
            stored += ply;
        else if (stored < -WIN_BOUND)
            stored -= ply;
        entry.key = key;
        entry.score = static_cast<int16_t>(stored);
        entry.depth = static_cast<int8_t>(depth);
        entry.bound = static_cast<uint8_t>(
            (best <= first_alpha ? BOUND_UPPER : best >= beta ? BOUND_LOWER : BOUND_EXACT) |
            (cut_below ? BOUND_CUT : 0));
        entry.generation = tt_generation;
        entry.move = best_move;
        return best;
    }

    const Computer_Limits &limits;
    int root_side;
    long nodes = 0;
    bool stopped = false;
    bool depth_cut = false;
    uint64_t path[MAX_PLY + 1];
    uint64_t remembered_keys[Computer_Memory::SIZE];
    int remembered = 0;
    uint8_t repeat_filter[REPEAT_FILTER];
    int history[2][HAND_KINDS * BOARD_CELLS];
};

struct Root_Result {
    int score;
    int ties;
    Round_Move tied[ROUND_MAX_MOVES];
};

// Deepens one placing at a time until the lines end, a win or loss is
// certain, or the budget runs out; picks at random among the moves that
// share the best score of the deepest search that finished.
static Round_Move Think_Hard(const Round_State &state, const Computer_Random &random,
                             const Computer_Memory &memory, const Computer_Limits &limits,
                             Computer_Stats *stats)
{
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(state, moves);
    if (count == 0)
        return {-1, -1};

    Search search(state, memory, limits);
    search.path[0] = Round_Hash(state);
    ++search.repeat_filter[search.path[0] % REPEAT_FILTER];
    search.Order(state, moves, count, {-1, -1});
    struct Scored {
        Round_Move move;
        int score;
    };
    Scored root[ROUND_MAX_MOVES];
    for (int i = 0; i < count; ++i)
        root[i] = {moves[i], 0};
    Root_Result result{0, 1, {moves[0]}};
    bool exact = false;
    for (int depth = 1; depth < MAX_PLY && count > 1; ++depth) {
        Root_Result round{-INFINITE_SCORE, 0, {}};
        search.depth_cut = false;
        int searched = 0;
        for (int i = 0; i < count; ++i) {
            Round_State child = state;
            Round_Play(child, root[i].move);
            // After the first move, a window just below the best finds every tie.
            const int alpha = i == 0 ? -INFINITE_SCORE : round.score - 1;
            const int score = search.Child(state, child, depth - 1, alpha, INFINITE_SCORE, 1);
            if (search.stopped)
                break;
            ++searched;
            root[i].score = score;
            if (score > round.score) {
                round.score = score;
                round.ties = 0;
            }
            if (score == round.score)
                round.tied[round.ties++] = root[i].move;
        }
        // A deeper search cut short still knows more than the last one: its
        // first move was the best so far, and any move that beat it since
        // was searched as deep.
        if (searched > 0)
            result = round;
        if (search.stopped)
            break;
        if (stats)
            stats->depth = depth;
        if (!search.depth_cut || std::abs(round.score) > WIN_BOUND) {
            exact = !search.depth_cut;
            break;
        }
        // The next depth looks at the best moves first.
        std::stable_sort(root, root + count,
                         [](const Scored &a, const Scored &b) { return a.score > b.score; });
    }
    if (stats) {
        stats->nodes = search.nodes;
        stats->exact = exact;
    }
    if (count == 1)
        return moves[0];
    return result.tied[result.ties > 1 ? random(0, result.ties - 1) : 0];
}

// ---------------------------------------------------------------- the player

static void Note(Computer_Memory &memory, uint64_t key)
{
    if (memory.count < Computer_Memory::SIZE)
        memory.seen[memory.count++] = key;
    else {
        std::memmove(memory.seen, memory.seen + 1, sizeof memory.seen - sizeof memory.seen[0]);
        memory.seen[Computer_Memory::SIZE - 1] = key;
    }
}

Round_Move Think(const Round_State &state, const Computer_Random &random, Computer_Memory &memory,
                 long nodes)
{
    const int progress = Combo_Total(state);
    if (memory.combo_total != progress) {
        memory.count = 0;
        memory.combo_total = progress;
    }
    Computer_Limits limits;
    limits.nodes = nodes;
    const Round_Move move = Think_Hard(state, random, memory, limits, nullptr);
    Note(memory, Round_Hash(state));
    if (move.from >= 0) {
        Round_State next = state;
        Round_Play(next, move);
        if (next.winner == NO_WINNER && Combo_Total(next) == progress)
            Note(memory, Round_Hash(next));
    }
    return move;
}

}  // namespace baseline
