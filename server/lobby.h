// The relay's rooms and connections, with no sockets: every message a
// connection receives is handled here, answered through the connection's
// Relay_Peer, and checked against the rules before it reaches a room. The
// relay's sessions (sessions.cpp) call it as connections open, receive,
// close and as time passes; the fuzz target calls it the same way with
// connections of its own.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "moves.h"
#include "protocol.h"
#include "room_store.h"

constexpr std::size_t MESSAGE_LIMIT = 4096;
constexpr int TOO_BIG_CLOSE = 2;              // the second message over the limit closes
constexpr int MESSAGES_PER_SECOND = 20;
constexpr int MESSAGES_PER_SECOND_CLOSE = 40; // past this in one second the connection is closed
constexpr int FAILED_JOINS_PER_MINUTE = 10;
constexpr int CONNECTIONS_PER_ADDRESS = 32;
constexpr int ROOMS_PER_ADDRESS = 16;
constexpr int DEFAULT_ROOM_WAIT_SECONDS = 600;

// WebSocket close codes the relay closes with.
constexpr int CLOSE_GOING_AWAY = 1001;
constexpr int CLOSE_POLICY = 1008;
constexpr int CLOSE_TOO_BIG = 1009;

// One connection as the lobby sees it; the session that owns the socket.
class Relay_Peer {
public:
    virtual ~Relay_Peer() = default;
    // Queues one text message.
    virtual void Send(std::string text) = 0;
    // Closes once what is queued has been sent; the peer is still open (and
    // Lobby::Close still to be called) until its session sees the close.
    virtual void Close(int code, const char *reason) = 0;
};

using Connection_Id = uint64_t;

struct Lobby_Settings {
    int room_wait_seconds = DEFAULT_ROOM_WAIT_SECONDS;
    const char *relay_version = "";
};

class Lobby {
public:
    Lobby(Room_Store &store, const Lobby_Settings &settings);

    // Counts a new TCP connection of the address; false when it has too many.
    bool Admit(const std::string &address);
    // The connection Admit counted has closed.
    void Release(const std::string &address);

    // A WebSocket is open: the peer must stay valid until Close.
    Connection_Id Open(Relay_Peer &peer, const std::string &address);
    void Receive(Connection_Id id, std::string_view text, bool binary, Relay_Clock::time_point now);
    // The connection is gone; a player's seat is lost and its room waits.
    void Close(Connection_Id id, Relay_Clock::time_point now);
    // Ends the rooms that waited long enough for a lost player.
    void Tick(Relay_Clock::time_point now);
    // Tells every room it ends because the relay stops.
    void Shutdown();

    std::size_t Connections() const { return connections.size(); }
    std::size_t Rooms() const { return rooms.size(); }

private:
    static constexpr int WATCHER = -1;
    static constexpr int NO_SEAT = -2;

    struct Connection {
        Relay_Peer *peer = nullptr;
        std::string address;
        bool greeted = false;
        bool closing = false;
        std::string room;  // plain code, empty while in no room
        int seat = NO_SEAT;
        Relay_Clock::time_point window_start{};
        int window_messages = 0;
        int too_big = 0;
    };
    struct Room {
        std::string shown_code;
        std::string creator;  // the address whose room count it adds to
        Match_State match{};
        bool started = false;
        Connection_Id seats[SIDES] = {0, 0};
        bool lost[SIDES] = {false, false};
        bool waiting = false;
        Relay_Clock::time_point deadline{};
        std::set<Connection_Id> watchers;
        // The ids of each side's moves and the numbers they got.
        std::unordered_map<std::string, int> ids[SIDES];
    };
    struct Address {
        int connections = 0;
        int rooms = 0;
        std::deque<Relay_Clock::time_point> failures;
    };

    bool Within_Rate(Connection &connection, Relay_Clock::time_point now);
    bool Within_Size(Connection &connection, std::string_view text);
    void Handle(Connection_Id id, Connection &connection, const Client_Message &message,
                Relay_Clock::time_point now);
    void Hello(Connection &connection, const Client_Message &message);
    void Create(Connection_Id id, Connection &connection);
    void Join(Connection_Id id, Connection &connection, const Client_Message &message,
              Relay_Clock::time_point now);
    void Rejoin(Connection_Id id, Connection &connection, const Client_Message &message,
                Relay_Clock::time_point now);
    void Watch(Connection_Id id, Connection &connection, const Client_Message &message,
               Relay_Clock::time_point now);
    void Play(Connection &connection, const Client_Message &message);
    void Leave(Connection_Id id, Connection &connection);

    // The room a join names, or null after answering why not.
    Room *Find_Room(Connection &connection, const Client_Message &message, const char *type, std::string &code,
                    Relay_Clock::time_point now);
    bool Too_Many_Failures(Connection &connection, Relay_Clock::time_point now);
    void Fail_Join(Connection &connection, const char *code, const char *text, const std::string &type,
                   Relay_Clock::time_point now);
    void Start_Room(Room &room, const std::string &code);
    void Seat_Lost(Room &room, const std::string &code, int side, Relay_Clock::time_point now);
    void Send_Sync(Connection &connection, const Room &room, const std::string &code);
    void Broadcast(const Room &room, const std::string &text, Connection_Id except = 0);
    void End_Room(const std::string &code, const char *reason, int side);
    void Error(Connection &connection, const char *code, const char *text, const std::string &for_type = "",
               const std::string &field = "");
    void Close_Connection(Connection &connection, int code, const char *reason);
    void Forget_Addresses(Relay_Clock::time_point now);

    Room_Store &store;
    Lobby_Settings settings;
    Connection_Id next_id = 1;
    std::unordered_map<Connection_Id, Connection> connections;
    std::unordered_map<std::string, Room> rooms;
    std::unordered_map<std::string, Address> addresses;
};
