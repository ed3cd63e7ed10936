// The relay's messages as JSON text (docs/online.md): what a client sends,
// read into one record, and every message the relay sends, written out. The
// lobby calls these for each message it receives and sends; the fuzz target
// and the load generator read and write through them too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "moves.h"

constexpr int PROTOCOL_VERSION = 1;
constexpr std::size_t GAME_VERSION_MAX = 32;
constexpr std::size_t MOVE_ID_MAX = 64;

enum class Client_Type { HELLO, CREATE, JOIN, REJOIN, WATCH, MOVE, SYNC, LEAVE };

// No side named in a move message.
constexpr int ANY_SIDE = -1;

struct Client_Message {
    Client_Type type = Client_Type::HELLO;
    int protocol = 0;     // hello
    std::string game;     // hello
    std::string room;     // join, rejoin, watch: as typed, not yet read as a code
    std::string token;    // rejoin
    int64_t number = 0;   // move
    std::string id;       // move
    Move move{};          // move
    int side = ANY_SIDE;  // move, when given
};

// Why a text is no message: an error code of the protocol, the member at
// fault for "bad-field", and the message's type when it had one.
struct Message_Fault {
    const char *code = "";
    std::string field;
    std::string type;
};

bool Read_Client_Message(std::string_view text, Client_Message &message, Message_Fault &fault);
// The `type` a client writes for it ("join").
const char *Client_Type_Name(Client_Type type);

const char *Side_Name(int side);
// SOLIDS or STRIPES for their names, ANY_SIDE for anything else.
int Side_From_Name(std::string_view name);
// A position's hash as the protocol writes it: 16 lowercase hex digits.
std::string Hash_Text(uint64_t hash);

// What the relay sends.
std::string Welcome_Message(const char *relay_version);
std::string Error_Message(const char *code, const char *text, const std::string &for_type = "",
                          const std::string &field = "");
std::string Protocol_Error_Message();
std::string Seat_Message(const char *type, const std::string &shown_code, int side,
                         const std::string &token);
std::string Rejoined_Message(const std::string &shown_code, int side);
std::string Room_Message(const char *type, const std::string &shown_code);
std::string Start_Message(const std::string &shown_code, int first, uint64_t hash);

// A room's players as `sync` tells them.
enum Seat_State { SEAT_EMPTY, SEAT_HERE, SEAT_LOST };
struct Sync_View {
    std::string shown_code;
    int first = -1;  // NOT_STARTED before the guest comes
    std::vector<Move> moves;
    uint64_t hash = 0;
    Seat_State seats[2] = {SEAT_EMPTY, SEAT_EMPTY};
};
std::string Sync_Message(const Sync_View &view);

std::string Accepted_Message(const std::string &id, int number, bool again);
std::string Refused_Message(const std::string &id, const char *code, const char *text, int expected);
std::string Moved_Message(int number, int side, const Move &move, const std::string &id, uint64_t hash);
std::string Peer_Lost_Message(int side, int wait_seconds);
std::string Peer_Back_Message(int side);
// `side` is ANY_SIDE for a room ended by a shutdown.
std::string Ended_Message(const std::string &shown_code, const char *reason, int side);
