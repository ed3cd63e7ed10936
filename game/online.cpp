#include "online.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "match.h"
#include "menu.h"
#include "online_host.h"
#include "pieces.h"
#include "scene.h"
#include "resources.h"
#include "turns.h"

using json = nlohmann::json;

constexpr int PROTOCOL_VERSION = 1;
// A lost connection is made again after 1, 2, 4, 8 and then every 15 seconds.
constexpr float FIRST_RETRY_SECONDS = 1.0f;
constexpr float LONGEST_RETRY_SECONDS = 15.0f;
// How long news of the friend ("... is back") stays on the match screen.
constexpr float NEWS_SECONDS = 3.0f;
constexpr size_t MOVES_SHOWN_AFTER_A_DROP = 2;
// The waiting screen's words are wrapped inside this margin.
constexpr float DETAIL_MARGIN = 8;
constexpr int SECONDS_PER_MINUTE = 60;

static const char *const SIDE_NAMES[SIDES] = {"solids", "stripes"};
static const char *const SIDE_TITLES[SIDES] = {"Solids", "Stripes"};
static const char *const MOVE_KINDS[] = {"place", "capture"};

enum Link_State {
    LINK_IDLE,        // nothing asked yet
    LINK_CONNECTING,  // the engine is connecting
    LINK_GREETING,    // hello sent, waiting for welcome
    LINK_READY,       // welcomed: messages go both ways
    LINK_DOWN,        // lost; connecting again at retry_at
    LINK_OVER,        // failed or ended for good: the screen says why
};

struct Offered_Move {
    bool waiting = false;
    Move move{};
    std::string id;
    int number = 0;
};

struct Confirmed_Move {
    Move move;
    bool own;
};

static Online_Options options;
static Link_State link_state = LINK_IDLE;
static std::string relay_url;
static std::vector<std::string> invite_hosts;  // "HOST:PORT" of the game's own relay
static std::string room;                      // as the relay writes it, "ABCD-EFGH"
static std::string token;                     // the seat's, while we hold one
static int seat = -1;                         // the side we play; -1 for none or watching
static bool match_on_screen = false;
static bool welcomed_once = false;            // the relay has answered this run
static bool welcomed_to_seat = false;         // the relay gave us a seat this run
static Match_State confirmed;                 // the relay's match, as far as it confirmed moves
static std::vector<Move> confirmed_moves;
static std::deque<Confirmed_Move> to_play;    // confirmed, not started in the game yet
static std::vector<Move> played;              // started in the game
static Offered_Move offered;
static float retry_at = 0, retry_wait = FIRST_RETRY_SECONDS;
static std::string headline, detail;          // what the waiting screen says
static std::string news;                      // a line over the match
static float news_until = -1;                 // < 0: until something else is said

// ---------------------------------------------------------------- links

static std::string Upper_Code(std::string code)
{
    for (char &c : code)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return code;
}

// The value of `name=` in a link's query, or "".
static std::string Query_Value(const std::string &query, const std::string &name)
{
    std::istringstream pairs(query);
    std::string pair;
    while (std::getline(pairs, pair, '&'))
        if (pair.rfind(name + "=", 0) == 0)
            return pair.substr(name.size() + 1);
    return "";
}

bool Read_Invite(const std::string &link, std::string *relay, std::string *code, std::string *why)
{
    const size_t at = link.find('@');
    if (at != std::string::npos && link.find("://") > at) {
        *code = Upper_Code(link.substr(0, at));
        *relay = link.substr(at + 1);
        if (relay->rfind("ws://", 0) == 0 || relay->rfind("wss://", 0) == 0)
            return !code->empty();
        *why = "the address after @ must start with ws:// or wss://";
        return false;
    }
    const size_t scheme_end = link.find("://");
    const std::string scheme = scheme_end == std::string::npos ? "" : link.substr(0, scheme_end);
    const bool secure = scheme == "https" || scheme == "wss";
    if (!secure && scheme != "http" && scheme != "ws") {
        *why = "expected an invite link (http://HOST:PORT/?join=CODE) or CODE@ws://HOST:PORT/";
        return false;
    }
    const size_t host_start = scheme_end + 3;
    const size_t host_end = std::min(link.find_first_of("/?#", host_start), link.size());
    const std::string host = link.substr(host_start, host_end - host_start);
    const size_t query_start = link.find('?', host_start);
    const std::string query =
        query_start == std::string::npos ? "" : link.substr(query_start + 1, link.find('#') - query_start - 1);
    std::string value = Query_Value(query, "join");
    if (value.empty())
        value = Query_Value(query, "watch");
    if (host.empty() || value.empty()) {
        *why = "the link names no " + std::string(host.empty() ? "relay" : "room (?join=CODE)");
        return false;
    }
    *relay = std::string(secure ? "wss://" : "ws://") + host + "/";
    *code = Upper_Code(value);
    return true;
}

// ---------------------------------------------------------------- seat tokens

// $XDG_STATE_HOME/torvek (or ~/.local/state/torvek), %LOCALAPPDATA%\TORVEK.
static std::filesystem::path State_Folder()
{
    if (const char *local = std::getenv("LOCALAPPDATA"); local && *local)
        return std::filesystem::path(local) / "TORVEK";
    if (const char *state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::filesystem::path(state) / "torvek";
    if (const char *home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "state" / "torvek";
    return {};
}

static std::filesystem::path Seats_File()
{
    const std::filesystem::path folder = State_Folder();
    return folder.empty() ? folder : folder / "seats";
}

// One line a seat: relay, room, side, token.
struct Stored_Seat {
    std::string relay, room, side, token;
};

static std::vector<Stored_Seat> Read_Seats()
{
    std::vector<Stored_Seat> seats;
    std::ifstream in(Seats_File());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        Stored_Seat stored;
        if (words >> stored.relay >> stored.room >> stored.side >> stored.token)
            seats.push_back(stored);
    }
    return seats;
}

static void Write_Seats(const std::vector<Stored_Seat> &seats)
{
    const std::filesystem::path file = Seats_File();
    if (file.empty())
        return;
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    std::ofstream out(file, std::ios::trunc);
    for (const Stored_Seat &s : seats)
        out << s.relay << ' ' << s.room << ' ' << s.side << ' ' << s.token << '\n';
    out.close();
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 ignored);
}

// The seat of `side` kept for this relay: in the room given, or in any room
// (the host's, which --host takes back on the same relay).
static const Stored_Seat *Find_Seat(const std::vector<Stored_Seat> &seats, int side, const std::string &code)
{
    for (const Stored_Seat &s : seats)
        if (s.relay == relay_url && s.side == SIDE_NAMES[side] && (code.empty() || s.room == code))
            return &s;
    return nullptr;
}

static void Store_Token(bool keep)
{
    auto seats = Read_Seats();
    if (seat < 0)
        return;
    std::erase_if(seats, [](const Stored_Seat &s) {
        return s.relay == relay_url && s.room == room && s.side == SIDE_NAMES[seat];
    });
    if (keep)
        seats.push_back({relay_url, room, SIDE_NAMES[seat], token});
    Write_Seats(seats);
}

// A seat kept from a run that ended without leaving: the guest's in the room
// of its link, the host's on the same relay.
static void Take_Back_Stored_Seat()
{
    const auto seats = Read_Seats();
    const int side = options.role == ONLINE_HOST ? SOLIDS : STRIPES;
    if (const Stored_Seat *stored = Find_Seat(seats, side, options.role == ONLINE_HOST ? "" : room)) {
        room = stored->room;
        token = stored->token;
        seat = side;
    }
}

// ---------------------------------------------------------------- saying things

// One line of the log, whatever lines the screen breaks the words into.
static void Log(std::string line)
{
    std::replace(line.begin(), line.end(), '\n', ' ');
    hge->System_Log("online: %s", line.c_str());
}

static void Say(const std::string &head, const std::string &more = "")
{
    headline = head;
    detail = more;
    Log(head + (more.empty() ? "" : ": " + more));
}

static void Tell(const std::string &line, bool for_a_while)
{
    news = line;
    news_until = for_a_while ? hge->Timer_GetTime() + NEWS_SECONDS : -1;
    Log(line);
}

static void Fail(const std::string &head, const std::string &more = "")
{
    link_state = LINK_OVER;
    if (match_on_screen) {
        headline = head;
        detail = more;
        Tell(head, false);
    } else {
        Say(head, more);
    }
    hge->Net_Close();
}

// ---------------------------------------------------------------- sending

static void Send(const json &message)
{
    hge->Net_Send(message.dump().c_str());
}

static json Move_Json(const Move &move)
{
    return {{"kind", MOVE_KINDS[move.kind]}, {"from", move.from}, {"to", move.to}};
}

static bool Read_Move(const json &value, Move *move)
{
    if (!value.is_object() || !value.contains("kind") || !value["kind"].is_string() ||
        !value.contains("from") || !value["from"].is_number_integer() || !value.contains("to") ||
        !value["to"].is_number_integer())
        return false;
    const std::string kind = value["kind"];
    if (kind != MOVE_KINDS[MOVE_PLACE] && kind != MOVE_KINDS[MOVE_CAPTURE])
        return false;
    move->kind = kind == MOVE_KINDS[MOVE_PLACE] ? MOVE_PLACE : MOVE_CAPTURE;
    move->from = value["from"];
    move->to = value["to"];
    return true;
}

static void Send_Offered()
{
    Send({{"type", "move"}, {"number", offered.number}, {"id", offered.id}, {"move", Move_Json(offered.move)}});
}

static void Connect()
{
    link_state = LINK_CONNECTING;
    if (!hge->Net_Connect(relay_url.c_str()))
        Fail("The relay's address cannot be read", relay_url);
}

// ---------------------------------------------------------------- the match

static std::string Hex(uint64_t hash)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

static int Side_Named(const json &value)
{
    for (int side = 0; side < SIDES; ++side)
        if (value.is_string() && value == SIDE_NAMES[side])
            return side;
    return -1;
}

static void Show_Match(int first)
{
    bool human[SIDES];
    for (int side = 0; side < SIDES; ++side)
        human[side] = side == seat;
    Begin_Match(human, first);
    match_on_screen = true;
}

// The relay's whole match: played again from the start when it does not go
// on from what the game has started.
static void Take_Sync(const json &message)
{
    const int first = Side_Named(message.value("first", json()));
    if (!message.value("started", false) || first < 0)
        return;
    Match_Record record;
    record.first = first;
    for (const json &value : message.value("moves", json::array())) {
        Move move;
        if (!Read_Move(value, &move))
            return Log("the relay's match has a move that is no move");
        record.moves.push_back(move);
    }
    Match_State state;
    if (!Match_Replay(record, state) || Hex(Match_Hash(state)) != message.value("hash", "")) {
        Fail("The relay's match does not follow the rules of this version");
        return;
    }
    const bool fresh = !match_on_screen;
    if (fresh)
        Show_Match(first);
    const bool goes_on = played.size() <= record.moves.size() &&
                         std::equal(played.begin(), played.end(), record.moves.begin());
    to_play.clear();
    // A few moves missed in a drop are shown as they come; a match seen
    // afresh, or far behind, is brought to the relay's position at once.
    if (goes_on && !fresh && record.moves.size() - played.size() <= MOVES_SHOWN_AFTER_A_DROP) {
        for (size_t i = played.size(); i < record.moves.size(); ++i)
            to_play.push_back({record.moves[i], false});
    } else {
        Bring_Match_To(record);
        played = record.moves;
    }
    confirmed = state;
    confirmed_moves = record.moves;
    // A move offered before a drop was played if the list has reached its
    // number (or another move took that number): the list is the truth.
    if (offered.waiting && offered.number < static_cast<int>(record.moves.size()))
        offered.waiting = false;
    else if (offered.waiting)
        Send_Offered();
}

static void Take_Moved(const json &message)
{
    Move move;
    const int number = message.value("number", -1);
    if (!message.contains("move") || !Read_Move(message["move"], &move) || number < 0)
        return Log("a moved message without its move");
    if (number < static_cast<int>(confirmed_moves.size()))
        return;
    if (number > static_cast<int>(confirmed_moves.size()) ||
        Match_Play(confirmed, move) != MOVE_LEGAL ||
        Hex(Match_Hash(confirmed)) != message.value("hash", "")) {
        Log("the relay's moves and ours differ: asking for them all");
        confirmed = Match_Start(confirmed.round.turn);
        Send({{"type", "sync"}});
        return;
    }
    confirmed_moves.push_back(move);
    const bool own = offered.waiting && message.value("id", "") == offered.id;
    if (own)
        offered.waiting = false;
    to_play.push_back({move, own});
}

static void Take_Start(const json &message)
{
    const int first = Side_Named(message.value("first", json()));
    if (first < 0)
        return Log("a start without its first side");
    confirmed = Match_Start(first);
    confirmed_moves.clear();
    Tell(std::string(SIDE_TITLES[first]) + " place first.", true);
    Show_Match(first);
}

// "10 min", or "45 s" for a room that waits less than a minute.
static std::string Wait_Words(int seconds)
{
    if (seconds < SECONDS_PER_MINUTE)
        return std::to_string(seconds) + " s";
    return std::to_string(seconds / SECONDS_PER_MINUTE) + " min";
}

static void Take_Peer(const json &message)
{
    const int side = Side_Named(message.value("side", json()));
    if (side < 0)
        return;
    const std::string who = SIDE_TITLES[side];
    if (message.value("state", "") == "back")
        Tell(who + " is back.", true);
    else
        Tell(who + " lost the connection;\nwaiting " + Wait_Words(message.value("wait", 0)) + ".", false);
}

static void Take_Ended(const json &message)
{
    const std::string reason = message.value("reason", "");
    const int side = Side_Named(message.value("side", json()));
    const std::string who = side >= 0 ? SIDE_TITLES[side] : "The other player";
    Store_Token(false);
    token.clear();
    if (reason == "left")
        Fail(who + " left the match.");
    else if (reason == "abandoned")
        Fail("The room has ended:\n" + who + " did not come back.");
    else
        Fail("The relay has shut down.");
}

// ---------------------------------------------------------------- rooms

static void Print_Invites()
{
    std::printf("TORVEK room %s\n", room.c_str());
    for (const std::string &host : invite_hosts)
        std::printf("  http://%s/?join=%s\n", host.c_str(), room.c_str());
    if (invite_hosts.empty())
        std::printf("  %s@%s\n", room.c_str(), relay_url.c_str());
    std::fflush(stdout);
}

static void Enter_Room()
{
    if (!token.empty()) {
        Send({{"type", "rejoin"}, {"room", room}, {"token", token}});
        return;
    }
    switch (options.role) {
    case ONLINE_HOST:
        Send({{"type", "create"}});
        break;
    case ONLINE_GUEST:
        Send({{"type", "join"}, {"room", room}});
        break;
    default:
        Send({{"type", "watch"}, {"room", room}});
        break;
    }
}

static void Take_Seat(const json &message)
{
    room = message.value("room", room);
    token = message.value("token", token);
    seat = Side_Named(message.value("seat", json()));
    welcomed_to_seat = true;
    Store_Token(true);
    if (message["type"] == "created") {
        Say("Waiting for a friend", "Room " + room);
        Print_Invites();
    } else if (message["type"] == "rejoined") {
        Say("Back in room " + room, "Waiting for the relay's match");
    } else {
        Say("Joined room " + room, "Waiting for the match to start");
    }
}

// What the relay said when it could not reach its rooms, until the connection it closes is lost.
static std::string unavailable_words;

static void Take_Error(const json &message)
{
    const std::string code = message.value("code", "");
    const std::string words = message.value("message", code);
    if ((code == "bad-token" || code == "no-such-room") && !match_on_screen && !token.empty() &&
        !welcomed_to_seat) {
        // A seat kept from an earlier run that the relay no longer knows.
        Store_Token(false);
        token.clear();
        seat = -1;
        if (options.role == ONLINE_HOST)
            room.clear();
        else
            room = Upper_Code(options.room);
        Enter_Room();
    } else if (code == "no-such-room") {
        Fail("There is no room " + room, "Check the code or the link");
    } else if (code == "room-full") {
        Fail("Room " + room + " is full", "Both seats are taken: --watch to watch it");
    } else if (code == "protocol") {
        Fail("The relay runs another version", "Both need the same version of TORVEK");
    } else if (code == "bad-token" || code == "replaced" || code == "too-many-failures") {
        Fail("The relay turned us away", words);
    } else if (code == "unavailable") {
        // The relay closes next; the lost connection is said in its words.
        unavailable_words = words;
        Log("the relay says: " + words);
    } else {
        Log("the relay says: " + words);
    }
}

static void Take_Refused(const json &message)
{
    if (message.value("id", json()) != json(offered.id))
        return;
    offered.waiting = false;
    Log("the relay refused our move: " + message.value("message", std::string("why not said")));
    if (message.value("code", "") == "wrong-number")
        Send({{"type", "sync"}});
}

static void Take(const json &message)
{
    const std::string type = message.value("type", "");
    if (type == "welcome") {
        link_state = LINK_READY;
        welcomed_once = true;
        retry_wait = FIRST_RETRY_SECONDS;
        Enter_Room();
    } else if (type == "created" || type == "joined" || type == "rejoined") {
        Take_Seat(message);
    } else if (type == "watching") {
        room = message.value("room", room);
        Say("Watching room " + room, "Waiting for the match to start");
    } else if (type == "start") {
        Take_Start(message);
    } else if (type == "sync") {
        Take_Sync(message);
    } else if (type == "moved") {
        Take_Moved(message);
    } else if (type == "refused") {
        Take_Refused(message);
    } else if (type == "peer") {
        Take_Peer(message);
    } else if (type == "ended") {
        Take_Ended(message);
    } else if (type == "error") {
        Take_Error(message);
    }
}

// ---------------------------------------------------------------- the connection

static void Lost()
{
    const std::string why = unavailable_words.empty() ? std::string(hge->Net_GetError()) : unavailable_words;
    unavailable_words.clear();
    if (!welcomed_once) {
        Fail("The relay cannot be reached", why);
        return;
    }
    link_state = LINK_DOWN;
    retry_at = hge->Timer_GetTime() + retry_wait;
    Say("Connection lost", why + "; trying again");
    if (match_on_screen)
        Tell("Connection lost: trying again...", false);
    retry_wait = std::min(retry_wait * 2, LONGEST_RETRY_SECONDS);
}

void Online_Frame()
{
    if (link_state == LINK_IDLE || link_state == LINK_OVER)
        return;
    if (link_state == LINK_DOWN) {
        if (hge->Timer_GetTime() >= retry_at)
            Connect();
        return;
    }
    while (const char *text = hge->Net_Receive()) {
        const json message = json::parse(text, nullptr, false);
        if (message.is_object())
            Take(message);
        if (link_state == LINK_OVER)
            return;
    }
    const int state = hge->Net_GetState();
    if (link_state == LINK_CONNECTING && state == HGENET_OPEN) {
        Send({{"type", "hello"}, {"protocol", PROTOCOL_VERSION}, {"game", TORVEK_VERSION}});
        link_state = LINK_GREETING;
        if (match_on_screen)
            Tell("Connected again.", true);
    } else if (state == HGENET_FAILED || state == HGENET_CLOSED) {
        Lost();
    }
}

// ---------------------------------------------------------------- the waiting screen

static bool Online_Lobby()
{
    Online_Frame();
    if (hge->Input_GetKey() == HGEK_ESCAPE)
        return true;
    return false;
}

static bool Render_Online_Lobby()
{
    hge->Gfx_BeginScene(t_window_main);
    hge->Gfx_Clear(0);
    font2->printf(SCREEN_LENGTH / 2, 20, TEXT_CENTER, "%s", headline.c_str());
    font1->printfb(DETAIL_MARGIN, 40, SCREEN_LENGTH - 2 * DETAIL_MARGIN, 30, TEXT_CENTER | TEXT_TOP, "%s",
                   detail.c_str());
    if (!token.empty() && seat == SOLIDS && options.role == ONLINE_HOST && !match_on_screen) {
        font1->printf(SCREEN_LENGTH / 2, 70, TEXT_CENTER, "Send your friend the link:");
        float y = 85;
        for (const std::string &host : invite_hosts) {
            if (y > 150)
                break;
            font1->printf(SCREEN_LENGTH / 2, y, TEXT_CENTER, "http://%s/?join=%s", host.c_str(), room.c_str());
            y += 12;
        }
        if (invite_hosts.empty())
            font1->printf(SCREEN_LENGTH / 2, y, TEXT_CENTER, "%s@%s", room.c_str(), relay_url.c_str());
    }
    font1->printf(2, 182, TEXT_LEFT, "Back-ESC");
    hge->Gfx_EndScene();
    Draw_All();
    return false;
}

void Draw_Online_Status()
{
    if (news.empty() || (news_until >= 0 && hge->Timer_GetTime() >= news_until))
        return;
    font1->printf(SCREEN_LENGTH / 2, 2, TEXT_CENTER, "%s", news.c_str());
}

// ---------------------------------------------------------------- what the game calls

void Set_Online(const Online_Options &chosen)
{
    options = chosen;
}

bool Online_Active()
{
    return options.role != ONLINE_NONE;
}

bool Online_Over()
{
    return link_state == LINK_OVER;
}

void Online_Start()
{
    if (!options.ca_file.empty())
        hge->Net_SetCertificates(options.ca_file.c_str());
    hge->System_SetState(HGE_FRAMEFUNC, Online_Lobby);
    hge->System_SetState(HGE_RENDERFUNC, Render_Online_Lobby);
    std::string why;
    relay_url = options.relay;
    room = Upper_Code(options.room);
    if (options.role == ONLINE_HOST && relay_url.empty() &&
        !Start_Own_Relay(options.room_wait, &relay_url, &invite_hosts, &why)) {
        Fail("A room cannot be made here", why);
        return;
    }
    if (options.role != ONLINE_WATCHER)
        Take_Back_Stored_Seat();
    Say("Connecting", relay_url);
    Connect();
}

bool Online_Moves_By_Hand(int side)
{
    return side == seat && !offered.waiting && to_play.empty() && link_state != LINK_OVER;
}

void Online_Offer(const Move &move)
{
    offered.waiting = true;
    offered.move = move;
    offered.number = static_cast<int>(confirmed_moves.size());
    // Named by its number, not by a count of this run's moves: a program
    // started again with its kept seat must not reuse an id the relay has
    // accepted from the seat already, or the relay takes its move for one
    // sent again and never plays it.
    offered.id = std::string(SIDE_NAMES[seat]) + "-" + std::to_string(offered.number);
    if (link_state == LINK_READY)
        Send_Offered();
}

bool Online_Next_Move(Move *move, bool *own)
{
    if (to_play.empty())
        return false;
    *move = to_play.front().move;
    *own = to_play.front().own;
    return true;
}

void Online_Move_Played()
{
    if (to_play.empty())
        return;
    played.push_back(to_play.front().move);
    to_play.pop_front();
}

void Online_Resync()
{
    Log("a confirmed move does not fit the board: asking for the relay's match");
    to_play.clear();
    played.push_back(Move{MOVE_PLACE, -1, -1});  // never a prefix of the relay's list
    Send({{"type", "sync"}});
}

void Online_Quit()
{
    if (link_state == LINK_READY) {
        Send({{"type", "leave"}});
        if (!token.empty())
            Store_Token(false);
    }
    if (link_state != LINK_IDLE)
        hge->Net_Close();
    Stop_Own_Relay();
}

void Reset_Online()
{
    options = {};
    link_state = LINK_IDLE;
    relay_url.clear();
    invite_hosts.clear();
    room.clear();
    token.clear();
    seat = -1;
    match_on_screen = false;
    welcomed_once = false;
    welcomed_to_seat = false;
    confirmed = Match_Start(SOLIDS);
    confirmed_moves.clear();
    to_play.clear();
    played.clear();
    offered = {};
    retry_at = 0;
    retry_wait = FIRST_RETRY_SECONDS;
    headline.clear();
    detail.clear();
    news.clear();
    news_until = -1;
    unavailable_words.clear();
}
