// The search: alpha-beta over the compact round, deepened one placing at a
// time. A fight is always searched to its end, so a line stops only where a
// side is about to place; there the evaluation judges it. Three helpers keep
// it fast: a table of positions already searched, the moves that cut the
// search short before, and a memory of the positions on the line and of the
// round so far, so that a cycle of stand-offs counts as a little less than
// nothing for the side that searches.
#include "computer_search.h"

#include <algorithm>
#include <cstring>

#include "computer_eval.h"

// ---------------------------------------------------------------- the table

enum : uint8_t { BOUND_UPPER = 1, BOUND_LOWER = 2, BOUND_EXACT = 3, BOUND_MASK = 3, BOUND_CUT = 4 };

struct Tt_Entry {
    uint64_t key;
    int16_t score;
    int8_t depth;
    uint8_t bound;  // BOUND_* and BOUND_CUT when the depth limit cut the lines below
    uint8_t generation;
    Round_Move move;
};

// 65,536 entries (1 MB): more than a search of the hard budget fills.
constexpr int TT_BITS = 16;
constexpr uint64_t TT_MASK = (uint64_t(1) << TT_BITS) - 1;
// One table for every search of the program, made once; each search starts
// a new generation, so nothing carries over from the last move.
static Tt_Entry transpositions[uint64_t(1) << TT_BITS];
static uint8_t tt_generation = 0;

static void New_Generation()
{
    if (++tt_generation == 0) {
        std::memset(transpositions, 0, sizeof transpositions);
        tt_generation = 1;
    }
}

// A win is stored as the moves from the position to it, not from the root,
// so that the entry holds wherever the position is met again.
static int Score_To_Table(int score, int ply)
{
    return score > WIN_BOUND ? score + ply : score < -WIN_BOUND ? score - ply : score;
}

static int Score_From_Table(int score, int ply)
{
    return score > WIN_BOUND ? score - ply : score < -WIN_BOUND ? score + ply : score;
}

// ---------------------------------------------------------------- bounds and weights

// The search's short name for the deepest line it follows.
constexpr int MAX_PLY = SEARCH_MAX_PLY;
// What a repeated position is worth to the side that started the search:
// a little less than nothing, so that a side that can do as well otherwise
// does not run the same cycle again.
constexpr int REPEAT_CONTEMPT = 25;
// Buckets of the quick test for a repeated position; most positions are new.
constexpr int REPEAT_FILTER = 4096;

// Move ordering, best first. The table's move for the position leads.
constexpr int ORDER_TABLE_MOVE = 1 << 30;
// Then a capture that makes a full combo: it wins the round.
constexpr int ORDER_WINNING_CAPTURE = 1 << 20;
// Then captures of the pieces carrying most combo, by the attacker's combo.
constexpr int ORDER_PREY_COMBO = 4096;
constexpr int ORDER_ATTACKER_COMBO = 1024;
// A placing beside a piece it beats comes early, more so the more combo it
// would take; one beside a piece that beats it comes late, more so the more
// combo it would give away.
constexpr int ORDER_THREAT = 2048;
constexpr int ORDER_THREAT_COMBO = 1024;
// Moves that cut the search short before come first among their equals, but
// never before a capture to full combo or a better capture.
constexpr int HISTORY_LIMIT = 1000;

// ---------------------------------------------------------------- ordering

// How promising a capture looks before it is searched.
static int Capture_Order(const Round_State &state, Round_Move move)
{
    const int attacker = state.cell[move.from];
    const int prey = state.cell[move.to];
    if (PARTS.combo[attacker] == FULL_COMBO - 1)
        return ORDER_WINNING_CAPTURE;
    return ORDER_PREY_COMBO * PARTS.combo[prey] + ORDER_ATTACKER_COMBO * PARTS.combo[attacker];
}

// How promising a placing looks: the threats it makes less the threats it meets.
static int Placing_Order(const Round_State &state, Round_Move move)
{
    const int combo = move.from % COMBO_LEVELS;
    const int placed = Cell_Code(state.turn, move.from / COMBO_LEVELS, combo);
    int score = 0;
    const Neighbour_List &around = round_neighbours[move.to];
    for (int i = 0; i < around.count; ++i) {
        const int other = state.cell[around.cells[i]];
        if (round_captures[placed][other])
            score += ORDER_THREAT + ORDER_THREAT_COMBO * PARTS.combo[other];
        else if (round_captures[other][placed])
            score -= ORDER_THREAT + ORDER_THREAT_COMBO * combo;
    }
    return score;
}

// Brings the best of the moves from i on to position i: most positions stop
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

// ---------------------------------------------------------------- the search

namespace {

struct Search {
    Search(const Round_State &root, const Computer_Memory &memory, long budget);

    // The value of a child for the parent's side to move.
    int Child(const Round_State &parent, const Round_State &child, int depth, int alpha, int beta,
              int ply);
    // Child, for all moves but the first with a window that only shows
    // whether the move is better than the best so far.
    int Try(const Round_State &parent, const Round_State &child, int depth, int alpha, int beta,
            int ply, bool first);
    // Orders the root's moves as a position's moves are ordered.
    void Order(const Round_State &state, Round_Move *moves, int count);

    long nodes = 0;
    bool stopped = false;
    // Set when a line was cut at the depth limit rather than seen to its end.
    bool depth_cut = false;

private:
    struct Line {
        int best;
        Round_Move move;
    };

    int Node(const Round_State &state, int depth, int alpha, int beta, int ply);
    bool Table_Answers(const Tt_Entry &entry, uint64_t key, int depth, int alpha, int beta,
                       int ply, int *score, Round_Move *hint);
    Line Search_Moves(const Round_State &state, int depth, int alpha, int beta, int ply,
                      Round_Move hint);
    void Store(Tt_Entry &entry, uint64_t key, Line line, int depth, int alpha, int beta, int ply,
               bool cut_below);
    void Score_Moves(const Round_State &state, const Round_Move *moves, int count,
                     Round_Move first, int *keys) const;
    int &History(int phase, Round_Move move) { return history[phase][Move_Index(move)]; }
    int History(int phase, Round_Move move) const { return history[phase][Move_Index(move)]; }
    static int Move_Index(Round_Move move) { return move.from * BOARD_CELLS + move.to; }
    bool Counted_Out();
    void Enter(uint64_t key, int ply);
    void Leave(uint64_t key);
    bool Repeated(uint64_t key, int ply) const;

    long budget;
    int root_side;
    uint64_t path[MAX_PLY + 1];
    uint64_t remembered[Computer_Memory::SIZE];
    int remembered_count = 0;
    uint8_t repeat_filter[REPEAT_FILTER];
    int history[2][HAND_KINDS * BOARD_CELLS];
};

Search::Search(const Round_State &root, const Computer_Memory &memory, long budget)
    : budget(budget), root_side(root.turn)
{
    std::memset(repeat_filter, 0, sizeof repeat_filter);
    std::memset(history, 0, sizeof history);
    // What the memory holds counts only while the round has not moved on.
    if (memory.combo_total == Combo_Total(root))
        for (int i = 0; i < memory.count; ++i) {
            remembered[remembered_count++] = memory.seen[i];
            ++repeat_filter[memory.seen[i] % REPEAT_FILTER];
        }
    New_Generation();
    Enter(Round_Hash(root), 0);
}

bool Search::Counted_Out()
{
    if (++nodes >= budget)
        stopped = true;
    return stopped;
}

void Search::Enter(uint64_t key, int ply)
{
    path[ply] = key;
    ++repeat_filter[key % REPEAT_FILTER];
}

void Search::Leave(uint64_t key)
{
    --repeat_filter[key % REPEAT_FILTER];
}

bool Search::Repeated(uint64_t key, int ply) const
{
    if (repeat_filter[key % REPEAT_FILTER] == 0)
        return false;
    return std::find(path, path + ply, key) != path + ply ||
           std::find(remembered, remembered + remembered_count, key) !=
               remembered + remembered_count;
}

void Search::Score_Moves(const Round_State &state, const Round_Move *moves, int count,
                         Round_Move first, int *keys) const
{
    for (int i = 0; i < count; ++i) {
        const Round_Move move = moves[i];
        const int guess =
            state.phase != PHASE_PLACING ? Capture_Order(state, move) : Placing_Order(state, move);
        const int known = guess >= ORDER_WINNING_CAPTURE ? 0 : History(state.phase, move);
        keys[i] = move == first ? ORDER_TABLE_MOVE : guess + known;
    }
}

void Search::Order(const Round_State &state, Round_Move *moves, int count)
{
    int keys[ROUND_MAX_MOVES];
    Score_Moves(state, moves, count, {-1, -1}, keys);
    for (int i = 0; i < count; ++i)
        Pick_Next(moves, keys, i, count);
}

int Search::Child(const Round_State &parent, const Round_State &child, int depth, int alpha,
                  int beta, int ply)
{
    if (child.turn == parent.turn)
        return Node(child, depth, alpha, beta, ply);
    return -Node(child, depth, -beta, -alpha, ply);
}

// The first move is most often the best: the others need only show that
// they are no better, and are searched in full only when one is.
int Search::Try(const Round_State &parent, const Round_State &child, int depth, int alpha,
                int beta, int ply, bool first)
{
    if (first)
        return Child(parent, child, depth, alpha, beta, ply);
    const int score = Child(parent, child, depth, alpha, alpha + 1, ply);
    if (score <= alpha || score >= beta || stopped)
        return score;
    return Child(parent, child, depth, alpha, beta, ply);
}

// Whether the table's entry settles the position at this depth and window;
// either way it offers the move that was best there.
bool Search::Table_Answers(const Tt_Entry &entry, uint64_t key, int depth, int alpha, int beta,
                           int ply, int *score, Round_Move *hint)
{
    if (entry.key != key || entry.generation != tt_generation)
        return false;
    *hint = entry.move;
    if (entry.depth < depth)
        return false;
    *score = Score_From_Table(entry.score, ply);
    const int bound = entry.bound & BOUND_MASK;
    if (bound == BOUND_EXACT || (bound == BOUND_LOWER && *score >= beta) ||
        (bound == BOUND_UPPER && *score <= alpha)) {
        if (entry.bound & BOUND_CUT)
            depth_cut = true;
        return true;
    }
    return false;
}

int Search::Node(const Round_State &state, int depth, int alpha, int beta, int ply)
{
    if (state.winner != NO_WINNER)
        return state.winner == state.turn ? WIN_SCORE - ply : -(WIN_SCORE - ply);
    if (Counted_Out())
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
    Round_Move hint{-1, -1};
    int known = 0;
    if (Table_Answers(entry, key, depth, alpha, beta, ply, &known, &hint))
        return known;

    Enter(key, ply);
    const bool outer_cut = depth_cut;
    depth_cut = false;
    const Line line = Search_Moves(state, depth, alpha, beta, ply, hint);
    Leave(key);
    const bool cut_below = depth_cut;
    depth_cut = outer_cut || cut_below;
    if (stopped)
        return 0;
    Store(entry, key, line, depth, alpha, beta, ply, cut_below);
    return line.best;
}

// The moves of a position in order, until one is good enough that the side
// before would not allow it.
Search::Line Search::Search_Moves(const Round_State &state, int depth, int alpha, int beta,
                                  int ply, Round_Move hint)
{
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(state, moves);
    int keys[ROUND_MAX_MOVES];
    Score_Moves(state, moves, count, hint, keys);
    Line line{-INFINITE_SCORE, moves[0]};
    for (int i = 0; i < count; ++i) {
        Pick_Next(moves, keys, i, count);
        Round_State child = state;
        Round_Play(child, moves[i]);
        // A forced move costs no depth: the lines that matter run on.
        const int next_depth = count == 1 ? depth : depth - 1;
        const int score = Try(state, child, next_depth, alpha, beta, ply + 1, i == 0);
        if (stopped)
            break;
        if (score <= line.best)
            continue;
        line = {score, moves[i]};
        alpha = std::max(alpha, score);
        if (alpha >= beta) {
            int &tried = History(state.phase, moves[i]);
            tried = std::min(tried + depth + 1, HISTORY_LIMIT);
            break;
        }
    }
    return line;
}

void Search::Store(Tt_Entry &entry, uint64_t key, Line line, int depth, int alpha, int beta,
                   int ply, bool cut_below)
{
    const int bound = line.best <= alpha  ? BOUND_UPPER
                      : line.best >= beta ? BOUND_LOWER
                                          : BOUND_EXACT;
    entry.key = key;
    entry.score = static_cast<int16_t>(Score_To_Table(line.best, ply));
    entry.depth = static_cast<int8_t>(depth);
    entry.bound = static_cast<uint8_t>(bound | (cut_below ? BOUND_CUT : 0));
    entry.generation = tt_generation;
    entry.move = line.move;
}

}  // namespace

// ---------------------------------------------------------------- the root

struct Root_Move {
    Round_Move move;
    int score;
};

// The best score of one depth at the root and the moves that share it.
struct Root_Result {
    int score;
    int ties;
    Round_Move tied[ROUND_MAX_MOVES];
};

// Every root move at one depth, best first from the last depth. After the
// first move, a window just below the best finds every tie. A depth cut
// short still counts: its first move was the best so far, and any move that
// beat it since was searched as deep.
static bool Search_Depth(Search &search, const Round_State &state, Root_Move *root, int count,
                         int depth, Root_Result &result)
{
    Root_Result round{-INFINITE_SCORE, 0, {}};
    search.depth_cut = false;
    int searched = 0;
    for (int i = 0; i < count; ++i) {
        Round_State child = state;
        Round_Play(child, root[i].move);
        const int alpha = i == 0 ? -INFINITE_SCORE : round.score - 1;
        const int score = search.Child(state, child, depth - 1, alpha, INFINITE_SCORE, 1);
        if (search.stopped)
            break;
        ++searched;
        root[i].score = score;
        if (score > round.score)
            round = {score, 0, {}};
        if (score == round.score)
            round.tied[round.ties++] = root[i].move;
    }
    if (searched > 0)
        result = round;
    return !search.stopped;
}

// Deepens one placing at a time until the lines end, a win or loss is
// certain, or the budget runs out; picks at random among the moves that
// share the best score of the deepest search that finished.
Round_Move Search_Move(const Round_State &state, const Search_Settings &settings,
                       const Computer_Random &random, const Computer_Memory &memory,
                       Computer_Stats *stats)
{
    Round_Move moves[ROUND_MAX_MOVES];
    const int count = Round_Moves(state, moves);
    if (count == 0)
        return {-1, -1};
    if (count == 1)
        return moves[0];

    Search search(state, memory, settings.nodes);
    search.Order(state, moves, count);
    Root_Move root[ROUND_MAX_MOVES];
    for (int i = 0; i < count; ++i)
        root[i] = {moves[i], 0};
    Root_Result result{0, 1, {moves[0]}};
    bool exact = false;
    for (int depth = 1; depth <= std::min(settings.depth, MAX_PLY - 1); ++depth) {
        if (!Search_Depth(search, state, root, count, depth, result))
            break;
        if (stats)
            stats->depth = depth;
        if (!search.depth_cut || std::abs(result.score) > WIN_BOUND) {
            exact = !search.depth_cut;
            break;
        }
        // The next depth looks at the best moves first.
        std::stable_sort(root, root + count,
                         [](const Root_Move &a, const Root_Move &b) { return a.score > b.score; });
    }
    if (stats) {
        stats->nodes = search.nodes;
        stats->exact = exact;
        stats->score = result.score;
    }
    return result.tied[result.ties > 1 ? random(0, result.ties - 1) : 0];
}
