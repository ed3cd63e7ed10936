#include "computer_search.h"

#include <algorithm>
#include <cstring>

#include "computer_eval.h"

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

// The hard level's budget: 20,000 positions take a few milliseconds here.
constexpr long HARD_NODES = 20000;

struct Search {
    Search(const Round_State &root, const Computer_Memory &memory, const Computer_Limits &limits)
        : budget(limits.nodes > 0 ? limits.nodes : HARD_NODES), root_side(root.turn)
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

    bool Out_Of_Budget() const { return nodes >= budget; }

    int Order_Score(const Round_State &state, Round_Move move) const
    {
        const int side = state.turn;
        if (state.phase != 0) {
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
        const Neighbour_List &around = round_neighbours[move.to];
        for (int i = 0; i < around.count; ++i) {
            const int other = state.cell[around.cells[i]];
            if (round_captures[placed][other])
                score += 2048 + 1024 * PARTS.combo[other];
            else if (round_captures[other][placed])
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
        if (state.winner >= 0)
            return state.winner == state.turn ? WIN_SCORE - ply : -(WIN_SCORE - ply);
        if ((++nodes & 1023) == 0 && Out_Of_Budget())
            stopped = true;
        if (stopped)
            return 0;
        const uint64_t key = Round_Hash(state);
        if (Repeated(key, ply))
            return state.turn == root_side ? -REPEAT_CONTEMPT : REPEAT_CONTEMPT;
        // Fights are searched to their end; placings stop at the depth.
        if ((depth <= 0 && state.phase == 0) || ply >= MAX_PLY) {
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

    long budget;
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
Round_Move Search_Move(const Round_State &state, const Computer_Random &random,
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
