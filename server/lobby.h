// The relay's rooms and connections, with no sockets: every message a
// connection receives is handled here, answered through the connection's
// Relay_Peer, and checked against the rules before it reaches a room. The
// relay's sessions (sessions.cpp) call it as connections open, receive,
// close and as time passes; the fuzz target calls it the same way with
// connections of its own.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
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
constexpr int CLOSE_TRY_AGAIN = 1013;

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

class Lobby : private Room_Listener {
public:
    Lobby(Room_Store &store, const Lobby_Settings &settings);
    ~Lobby() override;

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
    // The relay stops: every room ends, or with a shared store, which keeps
    // them for the other relays, only this relay's connections are closed.
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
        // A message waits for the store: the next ones wait for it, in order.
        bool busy = false;
        bool draining = false;
        std::deque<Client_Message> queued;
        std::string room;  // plain code, empty while in no room
        int seat = NO_SEAT;
        Relay_Clock::time_point window_start{};
        int window_messages = 0;
        int too_big = 0;
    };
    // What this relay knows of a room some of its connections are in; the
    // store holds the room itself.
    struct Room {
        std::string shown_code;
        Match_State match{};
        bool started = false;
        Connection_Id seats[SIDES] = {0, 0};  // this relay's connections
        bool elsewhere[SIDES] = {false, false};  // seated on another relay
        bool lost[SIDES] = {false, false};
        bool waiting = false;
        Relay_Clock::time_point deadline{};
        std::set<Connection_Id> watchers;
        // The ids of each side's moves and the numbers they got.
        std::unordered_map<std::string, int> ids[SIDES];
    };
    struct Address {
        int connections = 0;
    };
    using Room_Found = std::function<void(Store_Status, Room *)>;

    void Room_Changed(const std::string &code, const Room_Event &event) override;
    void Store_Changed(bool available) override;

    // The connection, unless it has gone or is closing.
    Connection *Live(Connection_Id id);
    bool Within_Rate(Connection &connection, Relay_Clock::time_point now);
    bool Within_Size(Connection &connection, std::string_view text);
    void Handle(Connection_Id id, Connection &connection, const Client_Message &message);
    // The store has answered the connection's message: the next ones go on.
    void Done(Connection_Id id);
    void Hello(Connection &connection, const Client_Message &message);
    void Create(Connection_Id id, int draws_left, const std::string &token);
    void Created(Connection_Id id, Connection &connection, const std::string &code, const std::string &token);
    void Join(Connection_Id id, const Client_Message &message);
    void Seat_Guest(Connection_Id id, const std::string &code);
    void Rejoin(Connection_Id id, const Client_Message &message);
    void Take_Back(Connection_Id id, const std::string &code, int side, const Room_Record &record);
    void Watch(Connection_Id id, const Client_Message &message);
    void Play(Connection_Id id, Connection &connection, const Client_Message &message);
    void Played(Connection_Id id, const std::string &code, const Client_Message &message, int side,
                Append_Answer answer);
    void Leave(Connection_Id id, Connection &connection);

    // Checks the address's failures, reads the code and finds the room,
    // then `found` (with the room), or answers why not and ends the message.
    void Find_Room(Connection_Id id, const Client_Message &message, const char *type,
                   std::function<void(Connection &, Room &, const std::string &)> found);
    // The room from this relay's rooms, or read from the store and followed.
    void Load_Room(const std::string &code, Room_Found found);
    Room &Keep_Room(const std::string &code, const Room_Record &record);
    // Counts the failure and answers it; `room`, when given, is forgotten if unused.
    void Fail_Join(Connection_Id id, const char *code, const char *text, const std::string &type,
                   const std::string &room = "");
    void Too_Many_Failures(Connection &connection);
    void Unavailable(Connection &connection, const std::string &type);
    void Start_Room(Room &room, int first);
    void Seat_Lost(Room &room, const std::string &code, int side, Relay_Clock::time_point now);
    // Plays the moves of the record this relay has not seen, telling its connections.
    void Catch_Up(Room &room, const Room_Record &record);
    void Play_Stored(Room &room, int number, const Stored_Move &stored);
    void Resync(const std::string &code);
    void Send_Sync(Connection_Id id, const std::string &code);
    Sync_View Sync_Of(const Room &room, const Room_Record &record) const;
    void Broadcast(const Room &room, const std::string &text, Connection_Id except = 0);
    void End_Room(const std::string &code, const char *reason, int side);
    void End_Here(const std::string &code, const char *reason, int side);
    void Seat_Lost_Elsewhere(Room &room, const std::string &code, int side, int wait_seconds);
    void Back_Elsewhere(Room &room, const std::string &code, int side, bool was_lost);
    // Forgets a room none of this relay's connections is in any more.
    void Drop_If_Unused(const std::string &code);
    void Error(Connection &connection, const char *code, const char *text, const std::string &for_type = "",
               const std::string &field = "");
    void Close_Connection(Connection &connection, int code, const char *reason);
    void Forget_Addresses();

    Room_Store &store;
    Lobby_Settings settings;
    Connection_Id next_id = 1;
    std::unordered_map<Connection_Id, Connection> connections;
    std::unordered_map<std::string, Room> rooms;
    std::unordered_map<std::string, int> loading;  // rooms being read, by code
    std::unordered_map<std::string, Address> addresses;
};
