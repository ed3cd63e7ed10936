#include "soak_watch.h"

#include <cstdlib>
#include <sstream>

#include "animation.h"
#include "board.h"
#include "menu.h"
#include "message.h"
#include "pieces.h"
#include "resources.h"
#include "turns.h"

namespace soak {

namespace {

// By side, then by kind of win (1 full combo, 2 all pieces).
const char *const WIN_TEXTS[SIDES][3] = {
    {"", "Solids with full combo!",  "Solids with all pieces!"},
    {"", "Stripes with full combo!", "Stripes with all pieces!"},
};

// The last step of each animation before it ends and resets its counter.
const int LAST_TRANS_PHASE[] = {0, PLACE_END - 1, ATTACK_END - 1};

bool Match_Runs()
{
    return opponent[SOLIDS] && opponent[STRIPES];
}

}  // namespace

// The rules of winning and capturing as the watch reads them off the board,
// written apart from the game's own so that each checks the other.
int Win_Shown(int side)
{
    int held = opponent[side]->Get_HandSize();
    for (const Piece *piece : board_array) {
        if (!piece || piece->Get_Owner() != side)
            continue;
        if (piece->Get_Combo() == FULL_COMBO)
            return 1;
        ++held;
    }
    return held == MATCH_PIECES ? 2 : 0;
}

bool Capturable(int attacker, int target, int side)
{
    if (attacker < 0 || attacker >= BOARD_CELLS || target < 0 || target >= BOARD_CELLS)
        return false;
    const Piece *a = board_array[attacker];
    const Piece *t = board_array[target];
    const int rows = std::abs(attacker / BOARD_SIDE - target / BOARD_SIDE);
    const int columns = std::abs(attacker % BOARD_SIDE - target % BOARD_SIDE);
    return a && t && a->Get_Owner() == side && t->Get_Owner() != side && rows + columns == 1 &&
           (a->Get_Type() + 1) % PIECE_TYPES == t->Get_Type();
}

namespace {

bool Valid_Piece(const Piece *piece)
{
    return piece->Get_Type() >= 0 && piece->Get_Type() < PIECE_TYPES &&
           (piece->Get_Owner() == SOLIDS || piece->Get_Owner() == STRIPES) &&
           piece->Get_Combo() >= 0 && piece->Get_Combo() <= FULL_COMBO;
}

std::string Describe(const Piece *piece)
{
    std::ostringstream text;
    text << "type " << piece->Get_Type() << " side " << piece->Get_Owner() << " combo "
         << piece->Get_Combo();
    return text.str();
}

// A fresh deal: an empty board and both hands 0, 0, 1, 1, 2, 2 without combos.
bool Freshly_Dealt()
{
    for (const Piece *piece : board_array)
        if (piece)
            return false;
    for (int side = SOLIDS; side < SIDES; ++side) {
        const Player *player = opponent[side];
        if (player->Get_HandSize() != HAND_DEAL)
            return false;
        for (int i = 0; i < HAND_DEAL; ++i) {
            const Piece *piece = player->Get_Piece(i);
            if (piece->Get_Type() != i / PIECES_PER_TYPE || piece->Get_Combo() != 0)
                return false;
        }
    }
    return true;
}

bool Bag_Holds(const char *text)
{
    for (const Message *message : message_bag)
        if (message->Get_Text() == text)
            return true;
    return false;
}

}  // namespace

std::string Tally::Summary() const
{
    std::ostringstream text;
    text << frames << " frames (" << match_frames << " in the match, " << seconds
         << " s of engine time): " << placings << " placings, " << captures << " captures, "
         << fights << " fights, " << stand_offs << " stand-offs, " << cannot_attack
         << " \"can't attack\", " << nothing_left << " \"nothing left\", " << full_combo_wins
         << " wins by full combo, " << all_pieces_wins << " wins by all pieces, longest hand "
         << longest_hand;
    return text.str();
}

std::string Match_Watch::After_Frame()
{
    const float now = hge->Timer_GetTime();
    if (!started) {
        started = true;
        first_time = now;
    }
    ++tally.frames;
    tally.seconds = now - first_time;
    if (!Match_Runs())
        return "";
    ++tally.match_frames;

    std::string problem = Check_Match();
    previous.in_match = true;
    previous.logic_next = message_bag.empty() && transition == TRANS_NONE;
    previous.winner = -1;
    previous.win_kind = 0;
    for (int side = SOLIDS; side < SIDES; ++side) {
        previous.points[side] = opponent[side]->Get_Points();
        if (const int kind = Win_Shown(side); kind != 0 && previous.winner == NO_WINNER) {
            previous.winner = side;
            previous.win_kind = kind;
        }
    }
    previous.transition = transition;
    previous.bag_empty = message_bag.empty();
    return problem;
}

std::string Match_Watch::Check_Match()
{
    // In this order: the cursors are read with the turn state known good.
    using Check = std::string (Match_Watch::*)();
    for (Check check : {&Match_Watch::Check_Pieces, &Match_Watch::Check_State,
                        &Match_Watch::Check_Cursors, &Match_Watch::Check_Messages}) {
        if (std::string problem = (this->*check)(); !problem.empty())
            return problem;
    }
    if (!previous.in_match)
        return "";
    // Messages are only made while none is shown.
    if (previous.bag_empty)
        Count_Announcements();
    if (std::string problem = Check_New_Move(); !problem.empty())
        return problem;
    if (std::string problem = Check_Computer_Moves(); !problem.empty())
        return problem;
    return Check_Scores();
}

// A computer's turn shows what moves, then where, each for a set time, and
// then plays: its cursors change at most twice before its move starts, and
// never stand still once their time is over.
constexpr int COMPUTER_TURN_CHANGES = 2;
// Frame times are whole 64ths of a second: a hair more than the step.
constexpr float COMPUTER_STEP_TOLERANCE = 1.0f / 64;

static bool Computer_Choice_Legal()
{
    const int from = selection[0], to = selection[1];
    if (game_phase == 1)
        return Capturable(from, to, game_turn);
    return from >= 0 && from < opponent[game_turn]->Get_HandSize() && to >= 0 &&
           to < BOARD_CELLS && !board_array[to];
}

std::string Match_Watch::Check_Computer_Moves()
{
    if (!message_bag.empty() || transition != TRANS_NONE || opponent[game_turn]->Get_Human()) {
        computer_cursors.clear();
        return "";
    }
    std::ostringstream state;
    state << "side " << game_turn << " phase " << game_phase << " step " << turn_phase
          << " cursors " << selection[0] << ',' << selection[1];
    const float now = hge->Timer_GetTime();
    if (computer_cursors.empty() || state.str() != computer_cursors) {
        if (computer_cursors.empty())
            computer_changes = 0;
        else if (++computer_changes > COMPUTER_TURN_CHANGES)
            return "the computer keeps changing its choice without moving (" + state.str() + ")";
        computer_cursors = state.str();
        computer_cursors_since = -1;
        if (turn_phase == 1 && !Computer_Choice_Legal())
            return "the computer chose a move the rules refuse (" + state.str() + ")";
        return "";
    }
    if (computer_cursors_since < 0)
        computer_cursors_since = now;
    else if (now > computer_cursors_since + COMPUTER_STEP_SECONDS + COMPUTER_STEP_TOLERANCE)
        return "the computer side to move has done nothing for " +
               std::to_string(now - computer_cursors_since) + " s (" + computer_cursors + ")";
    return "";
}

std::string Match_Watch::Check_Pieces()
{
    const int count = Count_Pieces();
    if (count != MATCH_PIECES)
        return std::to_string(count) + " pieces on the board and in the hands instead of " +
               std::to_string(MATCH_PIECES);
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        const Piece *piece = board_array[cell];
        if (piece && !Valid_Piece(piece))
            return "cell " + std::to_string(cell) + " holds a broken piece: " + Describe(piece);
    }
    for (int side = SOLIDS; side < SIDES; ++side) {
        const Player *player = opponent[side];
        if (player->Get_HandSize() > tally.longest_hand)
            tally.longest_hand = player->Get_HandSize();
        for (int i = 0; i < player->Get_HandSize(); ++i) {
            const Piece *piece = player->Get_Piece(i);
            if (!piece || !Valid_Piece(piece) || piece->Get_Owner() != side)
                return "hand " + std::to_string(side) + " position " + std::to_string(i) +
                       (piece ? " holds " + Describe(piece) : " holds no piece");
        }
    }
    return "";
}

std::string Match_Watch::Check_State()
{
    std::ostringstream problem;
    if (game_turn != SOLIDS && game_turn != STRIPES)
        problem << "game_turn " << game_turn;
    else if (game_phase != PHASE_PLACING && game_phase != 1)
        problem << "game_phase " << game_phase;
    else if (turn_phase != 0 && turn_phase != 1)
        problem << "turn_phase " << turn_phase;
    else if (transition < TRANS_NONE || transition > TRANS_ATTACK)
        problem << "transition " << transition;
    else if (trans_phase < 0 || trans_phase > LAST_TRANS_PHASE[transition])
        problem << "trans_phase " << trans_phase << " during transition " << transition;
    else if (transition == TRANS_NONE && trans_timer != 0.0f)
        problem << "trans_timer " << trans_timer << " while nothing is animated";
    else if (trans_timer > hge->Timer_GetTime())
        problem << "trans_timer " << trans_timer << " lies in the future";
    return problem.str();
}

std::string Match_Watch::Check_Cursors()
{
    std::ostringstream problem;
    if (game_phase == PHASE_PLACING) {
        const int hand = opponent[game_turn]->Get_HandSize();
        if (!Is_Cell(selection[1]))
            problem << "placing with cell cursor " << selection[1];
        else if (hand > 0 && (selection[0] < 0 || selection[0] >= hand))
            problem << "placing with hand cursor " << selection[0] << " in a hand of " << hand;
    } else {
        if (!Is_Cell(selection[0]))
            problem << "fighting with attacker cursor " << selection[0];
        else if (selection[1] < 0 || selection[1] > NO_CELL)
            problem << "fighting with target cursor " << selection[1];
    }
    return problem.str();
}

std::string Match_Watch::Check_Messages()
{
    const float now = hge->Timer_GetTime();
    for (const Message *message : message_bag) {
        if (now >= message->Get_Life() + message->Get_Lifespan()) {
            std::ostringstream problem;
            problem << "message \"" << message->Get_Text() << "\" made at "
                    << message->Get_Life() << " with a lifespan of " << message->Get_Lifespan()
                    << " s is still shown at " << now;
            return problem.str();
        }
        if (message->Get_Life() != message_bag.front()->Get_Life())
            return "messages made in different frames are shown together";
    }
    return "";
}

void Match_Watch::Count_Announcements()
{
    for (const Message *message : message_bag) {
        const std::string &text = message->Get_Text();
        if (text == "Fightin' time!")
            ++tally.fights;
        else if (text == "Stand-off!")
            ++tally.stand_offs;
        else if (text == "Player can't attack.")
            ++tally.cannot_attack;
        else if (text == "Player has nothing left!")
            ++tally.nothing_left;
    }
}

// A move starts in the frame its last key confirms it, before the animation
// changes anything: it must be one the rules allow.
std::string Match_Watch::Check_New_Move()
{
    if (previous.transition != TRANS_NONE || transition == TRANS_NONE)
        return "";
    const int from = trans_var[0];
    const int to = trans_var[1];
    std::ostringstream problem;
    if (transition == TRANS_PLACE) {
        ++tally.placings;
        const int hand = opponent[game_turn]->Get_HandSize();
        if (game_phase != PHASE_PLACING)
            problem << "a placing started while fighting";
        else if (from < 0 || from >= hand)
            problem << "placing hand position " << from << " of a hand of " << hand;
        else if (!Is_Cell(to) || board_array[to])
            problem << "placing into cell " << to << ", which is not an empty cell";
    } else {
        ++tally.captures;
        if (game_phase != 1)
            problem << "a capture started while placing";
        else if (!Capturable(from, to, game_turn))
            problem << "side " << game_turn << " capturing cell " << to << " ("
                    << (Is_Cell(to) && board_array[to] ? Describe(board_array[to]) : "no piece")
                    << ") from cell " << from << " ("
                    << (Is_Cell(from) && board_array[from] ? Describe(board_array[from])
                                                           : "no piece")
                    << ")";
    }
    return problem.str();
}

std::string Match_Watch::Check_Scores()
{
    int risen = -1;
    for (int side = SOLIDS; side < SIDES; ++side) {
        const int gained = opponent[side]->Get_Points() - previous.points[side];
        if (gained < 0 || gained > 1 || (gained == 1 && risen >= 0))
            return "the scores went from " + std::to_string(previous.points[0]) + ":" +
                   std::to_string(previous.points[1]) + " to " +
                   std::to_string(opponent[0]->Get_Points()) + ":" +
                   std::to_string(opponent[1]->Get_Points()) + " in one frame";
        if (gained == 1)
            risen = side;
    }
    if (risen < 0) {
        if (previous.logic_next && previous.winner != NO_WINNER)
            return std::string("the rules ran without scoring the win the board shows: ") +
                   WIN_TEXTS[previous.winner][previous.win_kind];
        return "";
    }
    if (risen != previous.winner)
        return "side " + std::to_string(risen) + " scored a point the board did not show";
    const char *text = WIN_TEXTS[risen][previous.win_kind];
    if (!Bag_Holds(text))
        return std::string("a win was scored without announcing \"") + text + "\"";
    if (!Freshly_Dealt() || game_phase != PHASE_PLACING)
        return "a win did not deal a fresh round";
    if (previous.win_kind == 1)
        ++tally.full_combo_wins;
    else
        ++tally.all_pieces_wins;
    return "";
}

// ---------------------------------------------------------------- keys and steps

namespace {

struct Weighted_Key {
    int key;
    int weight;
};

// Keys the game does not read, to show they change nothing.
const int OTHER_KEYS[] = {
    HGEK_TAB, HGEK_DELETE, HGEK_A, HGEK_C, HGEK_0, HGEK_F1, HGEK_SHIFT, HGEK_PGUP,
};
constexpr int OTHER = -1;

const Weighted_Key MATCH_KEYS[] = {
    {HGEK_LEFT, 14}, {HGEK_RIGHT, 14}, {HGEK_UP, 14}, {HGEK_DOWN, 14},
    {HGEK_SPACE, 20}, {HGEK_BACKSPACE, 6}, {0, 8},
    {HGEK_ENTER, 1}, {HGEK_N, 1}, {HGEK_I, 1}, {HGEK_K, 1}, {OTHER, 6},
};

// Escape is only sent where it goes back to the main menu.
const Weighted_Key MENU_KEYS[] = {
    {HGEK_ENTER, 25}, {HGEK_N, 20}, {HGEK_I, 10}, {HGEK_K, 10}, {0, 10}, {OTHER, 10},
    {HGEK_SPACE, 5}, {HGEK_ESCAPE, 10},
};

struct Weighted_Step {
    int sixty_fourths;
    int weight;
};

// Multiples of 1/64 s stay exact in the engine's float clock for days of play.
const Weighted_Step STEPS[] = {
    {1, 60}, {8, 15}, {16, 10}, {32, 8}, {64, 5}, {128, 2},
};

template <typename Row, size_t N>
const Row &Pick(const Row (&rows)[N], std::mt19937 &random)
{
    int total = 0;
    for (const Row &row : rows)
        total += row.weight;
    int draw = std::uniform_int_distribution<int>(0, total - 1)(random);
    for (const Row &row : rows) {
        if (draw < row.weight)
            return row;
        draw -= row.weight;
    }
    return rows[N - 1];
}

// Out of a hundred keys in a match, how many a player who knows the rules
// would press; the others are random. One side plays better than the other,
// which side changes with every round: a weak side loses all its pieces
// more often than an equal one.
constexpr int AIMED_PERCENT[SIDES] = {70, 20};

int Round()
{
    return opponent[SOLIDS]->Get_Points() + opponent[STRIPES]->Get_Points();
}

int Distance(int a, int b)
{
    return std::abs(a / BOARD_SIDE - b / BOARD_SIDE) + std::abs(a % BOARD_SIDE - b % BOARD_SIDE);
}

// The arrow that brings a cell cursor one step nearer to a cell: rows first.
int Step_Toward(int from, int to)
{
    if (to / BOARD_SIDE < from / BOARD_SIDE)
        return HGEK_UP;
    if (to / BOARD_SIDE > from / BOARD_SIDE)
        return HGEK_DOWN;
    return to < from ? HGEK_LEFT : HGEK_RIGHT;
}

template <typename Test>
int Nearest(int from, Test wanted)
{
    int best = NO_CELL;
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        if (wanted(cell) && (best == NO_CELL || Distance(from, cell) < Distance(from, best)))
            best = cell;
    }
    return best;
}

bool Can_Capture_From(int cell)
{
    for (int target = 0; target < BOARD_CELLS; ++target)
        if (Capturable(cell, target, game_turn))
            return true;
    return false;
}

int Least_Combo_Attacker()
{
    int best = NO_CELL;
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        if (Can_Capture_From(cell) &&
            (best == NO_CELL || board_array[cell]->Get_Combo() < board_array[best]->Get_Combo()))
            best = cell;
    }
    return best;
}

}  // namespace

// Placing, the nearest empty cell; fighting, the nearest piece that can
// capture and the nearest piece it can take.
int Aimed_Key()
{
    if (transition != TRANS_NONE || !message_bag.empty())
        return 0;
    if (game_phase == PHASE_PLACING) {
        const int cell = selection[1];
        if (turn_phase == 0 || (Is_Cell(cell) && !board_array[cell]))
            return HGEK_SPACE;
        const int empty = Nearest(cell, [](int c) { return !board_array[c]; });
        return Is_Cell(cell) && empty != NO_CELL ? Step_Toward(cell, empty) : 0;
    }
    if (turn_phase == 0) {
        const int cell = selection[0];
        if (!Is_Cell(cell))
            return 0;
        // In every other pair of rounds the captures are spread over the
        // pieces, so that rounds end with all pieces as well as with a full combo.
        const bool spread = Round() / SIDES % 2 == 1;
        const int attacker = spread ? Least_Combo_Attacker() : Nearest(cell, Can_Capture_From);
        if (attacker == NO_CELL)
            return 0;
        return attacker == cell ? HGEK_SPACE : Step_Toward(cell, attacker);
    }
    const int attacker = selection[0];
    const int cell = selection[1];
    if (!Is_Cell(attacker) || !Is_Cell(cell))
        return HGEK_BACKSPACE;
    if (Capturable(attacker, cell, game_turn))
        return HGEK_SPACE;
    const int target = Nearest(cell, [&](int c) { return Capturable(attacker, c, game_turn); });
    return target != NO_CELL ? Step_Toward(cell, target) : HGEK_BACKSPACE;
}

int Key_Mix::Next_Key()
{
    return Match_Runs() ? Match_Key() : Menu_Key();
}

int Key_Mix::Menu_Key()
{
    int key = Pick(MENU_KEYS, random).key;
    if (key == OTHER)
        key = OTHER_KEYS[random() % std::size(OTHER_KEYS)];
    if (key == HGEK_ESCAPE && menu_screen != OPTIONS_SCREEN && menu_screen != CREDITS_SCREEN)
        key = 0;
    return key;
}

int Key_Mix::Match_Key()
{
    const int aimed = AIMED_PERCENT[game_turn == Round() % SIDES ? 0 : 1];
    if (std::uniform_int_distribution<int>(0, 99)(random) < aimed) {
        if (const int key = Aimed_Key())
            return key;
    }
    int key = Pick(MATCH_KEYS, random).key;
    if (key == OTHER)
        key = OTHER_KEYS[random() % std::size(OTHER_KEYS)];
    return key;
}

float Key_Mix::Next_Step()
{
    return Pick(STEPS, random).sixty_fourths / 64.0f;
}

}  // namespace soak
