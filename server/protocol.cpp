#include "protocol.h"

#include <cstdio>

#include <nlohmann/json.hpp>

// Members are written in the order the protocol's page lists them.
using Json = nlohmann::ordered_json;
constexpr int NO_INDENT = -1;
// A client's text cut short may end inside a character: never throw for it.
constexpr auto REPLACE_BAD_UTF8 = Json::error_handler_t::replace;
// How much of an unknown type an error repeats.
constexpr std::size_t TYPE_ECHO_MAX = 16;

static const struct {
    const char *name;
    Client_Type type;
} CLIENT_TYPES[] = {
    {"hello", Client_Type::HELLO}, {"create", Client_Type::CREATE}, {"join", Client_Type::JOIN},
    {"rejoin", Client_Type::REJOIN}, {"watch", Client_Type::WATCH}, {"move", Client_Type::MOVE},
    {"sync", Client_Type::SYNC},   {"leave", Client_Type::LEAVE},
};

static bool Find_Type(const std::string &name, Client_Type &type)
{
    for (const auto &entry : CLIENT_TYPES)
        if (name == entry.name) {
            type = entry.type;
            return true;
        }
    return false;
}

const char *Client_Type_Name(Client_Type type)
{
    for (const auto &entry : CLIENT_TYPES)
        if (entry.type == type)
            return entry.name;
    return "";
}

static bool Bad_Field(Message_Fault &fault, const char *field)
{
    fault.code = "bad-field";
    fault.field = field;
    return false;
}

static bool Read_String(const Json &object, const char *field, std::size_t longest, std::string &out,
                        Message_Fault &fault)
{
    const auto found = object.find(field);
    if (found == object.end() || !found->is_string())
        return Bad_Field(fault, field);
    out = found->get<std::string>();
    if (out.empty() || out.size() > longest)
        return Bad_Field(fault, field);
    return true;
}

// A JSON integer (not a fraction, not a number beyond 64 bits) within the range.
static bool Read_Integer(const Json &object, const char *field, int64_t lowest, int64_t highest,
                         int64_t &out, Message_Fault &fault)
{
    const auto found = object.find(field);
    if (found == object.end())
        return Bad_Field(fault, field);
    if (found->is_number_unsigned()) {
        const uint64_t value = found->get<uint64_t>();
        if (value > static_cast<uint64_t>(highest))
            return Bad_Field(fault, field);
        out = static_cast<int64_t>(value);
    } else if (found->is_number_integer()) {
        out = found->get<int64_t>();
    } else {
        return Bad_Field(fault, field);
    }
    if (out < lowest || out > highest)
        return Bad_Field(fault, field);
    return true;
}

// Cells and hand positions far outside the board are still moves the rules
// refuse by name; only numbers that would not fit the record are bad fields.
constexpr int64_t MOVE_NUMBER_LIMIT = 1 << 20;
constexpr int64_t MOVE_NUMBER_MAX = INT32_MAX;

static bool Read_Move(const Json &object, Move &move, Message_Fault &fault)
{
    const auto found = object.find("move");
    if (found == object.end() || !found->is_object())
        return Bad_Field(fault, "move");
    std::string kind;
    if (!Read_String(*found, "kind", sizeof "capture", kind, fault))
        return Bad_Field(fault, "move.kind");
    if (kind == "place")
        move.kind = MOVE_PLACE;
    else if (kind == "capture")
        move.kind = MOVE_CAPTURE;
    else
        return Bad_Field(fault, "move.kind");
    int64_t from, to;
    if (!Read_Integer(*found, "from", -MOVE_NUMBER_LIMIT, MOVE_NUMBER_LIMIT, from, fault))
        return Bad_Field(fault, "move.from");
    if (!Read_Integer(*found, "to", -MOVE_NUMBER_LIMIT, MOVE_NUMBER_LIMIT, to, fault))
        return Bad_Field(fault, "move.to");
    move.from = static_cast<int>(from);
    move.to = static_cast<int>(to);
    return true;
}

static bool Read_Move_Message(const Json &object, Client_Message &message, Message_Fault &fault)
{
    if (!Read_Integer(object, "number", 0, MOVE_NUMBER_MAX, message.number, fault) ||
        !Read_String(object, "id", MOVE_ID_MAX, message.id, fault) || !Read_Move(object, message.move, fault))
        return false;
    const auto side = object.find("side");
    if (side == object.end())
        return true;
    if (!side->is_string() || Side_From_Name(side->get<std::string>()) == ANY_SIDE)
        return Bad_Field(fault, "side");
    message.side = Side_From_Name(side->get<std::string>());
    return true;
}

// Codes and tokens are read by the lobby; here only their length is bounded.
constexpr std::size_t ROOM_TEXT_MAX = 16;
constexpr std::size_t TOKEN_TEXT_MAX = 64;

static bool Read_Members(const Json &object, Client_Message &message, Message_Fault &fault)
{
    switch (message.type) {
    case Client_Type::HELLO: {
        int64_t protocol;
        if (!Read_Integer(object, "protocol", 0, INT32_MAX, protocol, fault))
            return false;
        message.protocol = static_cast<int>(protocol);
        return Read_String(object, "game", GAME_VERSION_MAX, message.game, fault);
    }
    case Client_Type::JOIN:
    case Client_Type::WATCH:
        return Read_String(object, "room", ROOM_TEXT_MAX, message.room, fault);
    case Client_Type::REJOIN:
        return Read_String(object, "room", ROOM_TEXT_MAX, message.room, fault) &&
               Read_String(object, "token", TOKEN_TEXT_MAX, message.token, fault);
    case Client_Type::MOVE:
        return Read_Move_Message(object, message, fault);
    case Client_Type::CREATE:
    case Client_Type::SYNC:
    case Client_Type::LEAVE:
        return true;
    }
    return true;
}

bool Read_Client_Message(std::string_view text, Client_Message &message, Message_Fault &fault)
{
    message = Client_Message{};
    fault = Message_Fault{};
    const Json object = Json::parse(text, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        fault.code = "not-json";
        return false;
    }
    const auto type = object.find("type");
    if (type == object.end() || !type->is_string() || !Find_Type(type->get<std::string>(), message.type)) {
        fault.code = "unknown-type";
        if (type != object.end() && type->is_string())
            fault.type = type->get<std::string>().substr(0, TYPE_ECHO_MAX);
        return false;
    }
    fault.type = type->get<std::string>();
    return Read_Members(object, message, fault);
}

const char *Side_Name(int side)
{
    return side == SOLIDS ? "solids" : "stripes";
}

int Side_From_Name(std::string_view name)
{
    if (name == "solids")
        return SOLIDS;
    if (name == "stripes")
        return STRIPES;
    return ANY_SIDE;
}

std::string Hash_Text(uint64_t hash)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

static Json Move_Json(const Move &move)
{
    return Json{{"kind", move.kind == MOVE_PLACE ? "place" : "capture"}, {"from", move.from}, {"to", move.to}};
}

std::string Welcome_Message(const char *relay_version)
{
    return Json{{"type", "welcome"}, {"protocol", PROTOCOL_VERSION}, {"relay", relay_version}}.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Error_Message(const char *code, const char *text, const std::string &for_type,
                          const std::string &field)
{
    Json message{{"type", "error"}, {"code", code}, {"message", text}};
    if (!for_type.empty())
        message["for"] = for_type;
    if (!field.empty())
        message["field"] = field;
    return message.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Protocol_Error_Message()
{
    Json message{{"type", "error"},
                 {"code", "protocol"},
                 {"message", "this relay speaks another protocol version"},
                 {"for", "hello"},
                 {"protocol", PROTOCOL_VERSION}};
    return message.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Seat_Message(const char *type, const std::string &shown_code, int side, const std::string &token)
{
    return Json{{"type", type}, {"room", shown_code}, {"seat", Side_Name(side)}, {"token", token}}.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Rejoined_Message(const std::string &shown_code, int side)
{
    return Json{{"type", "rejoined"}, {"room", shown_code}, {"seat", Side_Name(side)}}.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Room_Message(const char *type, const std::string &shown_code)
{
    return Json{{"type", type}, {"room", shown_code}}.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Start_Message(const std::string &shown_code, int first, uint64_t hash)
{
    return Json{{"type", "start"}, {"room", shown_code}, {"first", Side_Name(first)}, {"hash", Hash_Text(hash)}}
        .dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

static const char *Seat_State_Name(Seat_State state)
{
    return state == SEAT_HERE ? "here" : state == SEAT_LOST ? "lost" : "empty";
}

std::string Sync_Message(const Sync_View &view)
{
    const bool started = view.first == SOLIDS || view.first == STRIPES;
    Json moves = Json::array();
    for (const Move &move : view.moves)
        moves.push_back(Move_Json(move));
    Json message{{"type", "sync"}, {"room", view.shown_code}, {"started", started}};
    message["first"] = started ? Json(Side_Name(view.first)) : Json(nullptr);
    message["moves"] = std::move(moves);
    message["hash"] = started ? Json(Hash_Text(view.hash)) : Json(nullptr);
    message["players"] = Json{{"solids", Seat_State_Name(view.seats[SOLIDS])},
                              {"stripes", Seat_State_Name(view.seats[STRIPES])}};
    return message.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Accepted_Message(const std::string &id, int number, bool again)
{
    Json message{{"type", "accepted"}, {"id", id}, {"number", number}};
    if (again)
        message["again"] = true;
    return message.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Refused_Message(const std::string &id, const char *code, const char *text, int expected)
{
    return Json{{"type", "refused"}, {"id", id}, {"code", code}, {"message", text}, {"expected", expected}}.dump(
        NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Moved_Message(int number, int side, const Move &move, const std::string &id, uint64_t hash)
{
    return Json{{"type", "moved"},     {"number", number}, {"side", Side_Name(side)},
                {"move", Move_Json(move)}, {"id", id},     {"hash", Hash_Text(hash)}}
        .dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Peer_Lost_Message(int side, int wait_seconds)
{
    return Json{{"type", "peer"}, {"side", Side_Name(side)}, {"state", "lost"}, {"wait", wait_seconds}}.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Peer_Back_Message(int side)
{
    return Json{{"type", "peer"}, {"side", Side_Name(side)}, {"state", "back"}}.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}

std::string Ended_Message(const std::string &shown_code, const char *reason, int side)
{
    Json message{{"type", "ended"}, {"room", shown_code}, {"reason", reason}};
    if (side != ANY_SIDE)
        message["side"] = Side_Name(side);
    return message.dump(NO_INDENT, ' ', false, REPLACE_BAD_UTF8);
}
