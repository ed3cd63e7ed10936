#include "match_play.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <tuple>
#include <utility>

#include "animation.h"
#include "board.h"
#include "main.h"
#include "message.h"
#include "pieces.h"
#include "soak_watch.h"
#include "turns.h"

namespace match_test {

int Run_Match(const Options &options, const std::function<bool(const Frame &)> &each_frame)
{
    hgeTesting::UseHeadless();
    hgeTesting::UseVirtualClock(options.step, options.start_time);
    hgeTesting::SetSeed(options.seed);
    hgeTesting::RecordQuads(true);
    hgeTesting::QueueKeys({HGEK_ENTER, HGEK_N});
    hgeTesting::SetFrameHook([&](int frame) {
        if (frame < MENU_FRAMES - 1) {
            hgeTesting::ClearQuads();
            return false;
        }
        if (frame == MENU_FRAMES - 1) {
            if (!opponent[SOLIDS] || !opponent[STRIPES]) {
                ADD_FAILURE() << "Enter and N did not start a match";
                return true;
            }
            if (options.first_side == SOLIDS || options.first_side == STRIPES)
                game_turn = options.first_side;
            if (options.setup)
                options.setup();
            hgeTesting::ClearQuads();
            return false;
        }
        const int index = frame - MENU_FRAMES;
        if (index * options.step >= options.max_seconds) {
            ADD_FAILURE() << "the match ran " << index << " frames without the test ending it";
            return true;
        }
        return each_frame(Frame{index, hge->Timer_GetTime(), Look()});
    });
    const int result = RunWinMain(options.words);
    hgeTesting::Reset();
    return result;
}

Snapshot Take_Snapshot()
{
    Snapshot s;
    s.game_turn = game_turn;
    s.game_phase = game_phase;
    s.turn_phase = turn_phase;
    s.selection[0] = selection[0];
    s.selection[1] = selection[1];
    s.transition = transition;
    s.trans_phase = trans_phase;
    s.trans_var[0] = trans_var[0];
    s.trans_var[1] = trans_var[1];
    s.board = Board_Text();
    for (int side = SOLIDS; side < SIDES; ++side) {
        s.hand[side] = Hand_Text(side);
        s.points[side] = opponent[side]->Get_Points();
    }
    for (const Message *message : message_bag)
        s.messages.push_back(message->Get_Text());
    s.pieces = Count_Pieces();
    return s;
}

std::vector<Record> Play(const Options &options,
                         const std::function<bool(const Record &)> &drive)
{
    std::vector<Record> records;
    Run_Match(options, [&](const Frame &frame) {
        records.push_back(Record{frame, Take_Snapshot()});
        return drive(records.back());
    });
    return records;
}

std::vector<std::string> Announcements(const std::vector<Record> &records)
{
    std::vector<std::string> seen;
    for (size_t i = 0; i < records.size(); ++i) {
        const auto &now = records[i].state.messages;
        if (!now.empty() && (i == 0 || records[i - 1].state.messages.empty()))
            seen.insert(seen.end(), now.begin(), now.end());
    }
    return seen;
}

int Find(const std::vector<Record> &records, const std::function<bool(const Record &)> &test,
         int from)
{
    for (int i = std::max(from, 0); i < static_cast<int>(records.size()); ++i)
        if (test(records[i]))
            return i;
    return -1;
}

void Press(const std::vector<int> &keys)
{
    hgeTesting::QueueKeys(keys);
}

static std::string Piece_Token(const Piece *piece, bool with_side)
{
    std::string token;
    if (with_side)
        token += piece->Get_Owner() == SOLIDS ? 's' : 't';
    token += std::to_string(piece->Get_Type());
    if (piece->Get_Combo() != 0)
        token += "^" + std::to_string(piece->Get_Combo());
    return token;
}

std::string Board_Text()
{
    std::string text;
    for (int cell = 0; cell < BOARD_CELLS; ++cell) {
        if (cell)
            text += ' ';
        text += board_array[cell] ? Piece_Token(board_array[cell], true) : ".";
    }
    return text;
}

std::string Hand_Text(int side)
{
    std::string text;
    for (int i = 0; i < opponent[side]->Get_HandSize(); ++i) {
        if (i)
            text += ' ';
        text += Piece_Token(opponent[side]->Get_Piece(i), false);
    }
    return text;
}

struct Token {
    int owner, type, combo;
};

// "s1", "t2^3", or without the side letter for a hand piece.
static Token Parse_Token(const std::string &word, int owner)
{
    size_t at = 0;
    if (word[0] == 's' || word[0] == 't') {
        owner = word[0] == 's' ? SOLIDS : STRIPES;
        at = 1;
    }
    Token token{owner, word[at] - '0', 0};
    const size_t caret = word.find('^');
    if (caret != std::string::npos)
        token.combo = std::stoi(word.substr(caret + 1));
    return token;
}

static std::vector<std::string> Words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

static void Deal_Hand(int side, const std::string &hand)
{
    opponent[side]->Delete_Hand();
    for (const std::string &word : Words(hand)) {
        const Token t = Parse_Token(word, side);
        opponent[side]->Add_Piece(t.type, side, t.combo);
    }
}

void Set_Position(const std::string &board, const std::string &solids_hand,
                  const std::string &stripes_hand)
{
    Erase_Board(NO_CELL);
    const std::vector<std::string> cells = Words(board);
    EXPECT_EQ(cells.size(), static_cast<size_t>(BOARD_CELLS)) << board;
    for (int cell = 0; cell < BOARD_CELLS && cell < static_cast<int>(cells.size()); ++cell) {
        if (cells[cell] == ".")
            continue;
        const Token t = Parse_Token(cells[cell], SOLIDS);
        Put_Piece(cell, t.type, t.owner, t.combo);
    }
    Deal_Hand(SOLIDS, solids_hand);
    Deal_Hand(STRIPES, stripes_hand);
}

static void Walk(std::vector<int> &keys, int from, int to)
{
    const int rows = to / BOARD_SIDE - from / BOARD_SIDE;
    const int columns = to % BOARD_SIDE - from % BOARD_SIDE;
    keys.insert(keys.end(), std::abs(rows), rows < 0 ? HGEK_UP : HGEK_DOWN);
    keys.insert(keys.end(), std::abs(columns), columns < 0 ? HGEK_LEFT : HGEK_RIGHT);
}

std::vector<int> Keys_For(const Move &move)
{
    std::vector<int> keys;
    if (move.kind == MOVE_CAPTURE) {
        Walk(keys, FIGHTING_CURSORS[0], move.from);
        keys.push_back(HGEK_SPACE);
        Walk(keys, move.from, move.to);
    } else {
        keys.insert(keys.end(), move.from, HGEK_RIGHT);
        keys.push_back(HGEK_SPACE);
        Walk(keys, PLACING_CURSORS[1], move.to);
    }
    keys.push_back(HGEK_SPACE);
    return keys;
}

// The winner check runs after the handler in the same frame: a move keyed
// while a win is pending would be cut short by the new deal.
bool Awaiting_Move()
{
    if (hgeTesting::PendingKeys() != 0 || !message_bag.empty() || transition != TRANS_NONE ||
        turn_phase != CHOOSING_WHAT || soak::Win_Shown(SOLIDS) || soak::Win_Shown(STRIPES))
        return false;
    if (game_phase == PHASE_PLACING)
        return !Check_Full() && opponent[game_turn]->Get_HandSize() > 0;
    return Check_Attack(game_turn);
}

Step::Step(int key, int turn_phase, int cursor0, int cursor1, int transition)
    : Step([key] { Press({key}); }, turn_phase, cursor0, cursor1, transition)
{
}

Step::Step(std::function<void()> input, int turn_phase, int cursor0, int cursor1, int transition)
    : input(std::move(input)), turn_phase(turn_phase), cursor0(cursor0), cursor1(cursor1),
      transition(transition)
{
}

void Expect_Steps(const Options &options, const std::vector<Step> &steps)
{
    const auto records = Play(options, [&](const Record &r) {
        const size_t next = static_cast<size_t>(r.frame.index);
        if (next < steps.size())
            steps[next].input();
        return next == steps.size();
    });
    ASSERT_EQ(records.size(), steps.size() + 1);
    for (size_t i = 0; i < steps.size(); ++i) {
        const Snapshot &s = records[i + 1].state;
        SCOPED_TRACE("after step " + std::to_string(i + 1));
        EXPECT_EQ(s.turn_phase, steps[i].turn_phase);
        EXPECT_EQ(s.selection[0], steps[i].cursor0);
        EXPECT_EQ(s.selection[1], steps[i].cursor1);
        EXPECT_EQ(s.transition, steps[i].transition);
        if (steps[i].transition == 0) {
            EXPECT_EQ(s.board, records[0].state.board);
            EXPECT_EQ(s.hand[SOLIDS], records[0].state.hand[SOLIDS]);
        }
    }
}

Point Cell_Point(int cell)
{
    return {board_x[cell], board_y[cell] - 1};
}

Point Hand_Point(int position)
{
    return {HAND_X + HAND_SPACING * position, HAND_Y - PIECE_HEIGHT / 2};
}

// The middle of the virtual pixel's block of window pixels.
static int Window_Pixel(int virtual_pixel)
{
    return virtual_pixel * SCREEN_SCALE + SCREEN_SCALE / 2;
}

void Move_To(Point p)
{
    hgeTesting::MovePointer(Window_Pixel(p.x), Window_Pixel(p.y));
}

void Click_At(Point p, int button)
{
    hgeTesting::ClickPointer(Window_Pixel(p.x), Window_Pixel(p.y), button);
}

void Tap_At(Point p)
{
    hgeTesting::TapPointer(Window_Pixel(p.x), Window_Pixel(p.y));
}

// Letters are told apart by the texels they show.
using Texels = std::tuple<float, float, float, float>;

static Texels Texels_Of(const hgeQuad &quad)
{
    return {quad.v[0].tx, quad.v[0].ty, quad.v[2].tx, quad.v[2].ty};
}

struct Font_Reader {
    hgeFont *font = nullptr;
    HTEXTURE texture = 0;
    std::map<Texels, char> letters;

    explicit Font_Reader(hgeFont *f) : font(f)
    {
        for (int chr = 255; chr > 0; --chr) {
            hgeSprite *sprite = font->GetSprite(static_cast<unsigned char>(chr));
            if (!sprite)
                continue;
            texture = sprite->GetTexture();
            letters[Texels_Of(sprite->GetQuad())] = static_cast<char>(chr);
        }
    }
    bool Drew(const hgeQuad &quad) const
    {
        return texture != 0 && quad.tex == texture && quad.v[0].col == font->GetColor();
    }
    char Letter(const hgeQuad &quad) const
    {
        const auto found = letters.find(Texels_Of(quad));
        return found == letters.end() ? '?' : found->second;
    }
};

// Letters of one print share their top and run left to right.
static void Read_Letter(std::vector<Seen_Text> &texts, const Font_Reader &reader,
                        const hgeQuad &quad)
{
    const float top = quad.v[0].y;
    if (texts.empty() || texts.back().top != top || quad.v[0].x < texts.back().last_letter)
        texts.push_back(Seen_Text{"", quad.v[0].x, quad.v[0].x, top});
    texts.back().text += reader.Letter(quad);
    texts.back().right = quad.v[1].x;
    texts.back().last_letter = quad.v[0].x;
}

static int Cell_Of_Texel(float t, HTEXTURE texture, bool across, float size)
{
    const int extent = across ? hge->Texture_GetWidth(texture) : hge->Texture_GetHeight(texture);
    return static_cast<int>(std::lround(t * extent / size));
}

static void Read_Piece(Screen &screen, const hgeQuad &quad)
{
    Seen_Piece piece;
    piece.x = quad.v[0].x + PIECE_WIDTH / 2;
    piece.y = quad.v[0].y + PIECE_HEIGHT;
    piece.type = Cell_Of_Texel(quad.v[0].tx, quad.tex, true, PIECE_WIDTH);
    piece.owner = Cell_Of_Texel(quad.v[0].ty, quad.tex, false, PIECE_HEIGHT);
    piece.combo = 0;
    piece.z = quad.v[0].z;
    screen.pieces.push_back(piece);
}

// A mark sits on the piece just drawn, from 5 pixels left of its middle.
static void Read_Combo_Mark(Screen &screen, const hgeQuad &quad)
{
    const float x = quad.v[0].x + COMBO_MARK_WIDTH / 2;
    const float y = quad.v[0].y + PIECE_HEIGHT;
    if (screen.pieces.empty() || screen.pieces.back().x != x || screen.pieces.back().y != y) {
        ADD_FAILURE() << "a combo mark at (" << x << ", " << y << ") on no piece";
        return;
    }
    screen.pieces.back().combo = Cell_Of_Texel(quad.v[0].tx, quad.tex, true, COMBO_MARK_WIDTH) + 1;
}

static void Read_Marker(Screen &screen, const hgeQuad &quad)
{
    const bool hand = quad.v[0].tx == 0.0f;
    hgeSprite *marker = s_select[hand ? 0 : 1];
    float hot_x, hot_y;
    marker->GetHotSpot(&hot_x, &hot_y);
    screen.markers.push_back(Seen_Marker{hand, quad.v[0].x + hot_x, quad.v[0].y + hot_y});
}

Screen Look()
{
    const Font_Reader score_font(font1), message_font(font2);
    Screen screen;
    for (const hgeTesting::RecordedQuad &record : hgeTesting::Quads()) {
        if (record.target != t_window_main)
            continue;
        const hgeQuad &quad = record.quad;
        ++screen.quads;
        if (quad.tex == t_pieces)
            Read_Piece(screen, quad);
        else if (quad.tex == t_combo)
            Read_Combo_Mark(screen, quad);
        else if (quad.tex == t_select)
            Read_Marker(screen, quad);
        else if (score_font.Drew(quad))
            Read_Letter(screen.scores, score_font, quad);
        else if (message_font.Drew(quad))
            Read_Letter(screen.messages, message_font, quad);
    }
    hgeTesting::ClearQuads();
    return screen;
}

std::vector<Seen_Piece> Screen::At_Cell(int cell) const
{
    std::vector<Seen_Piece> found;
    for (const Seen_Piece &piece : pieces)
        if (piece.x == board_x[cell] && piece.y == board_y[cell])
            found.push_back(piece);
    return found;
}

std::vector<Seen_Piece> Screen::In_Hand_Row() const
{
    std::vector<Seen_Piece> found;
    for (const Seen_Piece &piece : pieces)
        if (piece.y == HAND_Y)
            found.push_back(piece);
    return found;
}

std::string Screen::Texts() const
{
    std::string joined;
    for (const std::vector<Seen_Text> *texts : {&scores, &messages})
        for (const Seen_Text &text : *texts) {
            if (!joined.empty())
                joined += '|';
            joined += Letters(text.text);
        }
    return joined;
}

std::string Letters(const std::string &text)
{
    std::string letters;
    for (char c : text)
        if (c != ' ')
            letters += c;
    return letters;
}

}  // namespace match_test
