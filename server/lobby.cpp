#include "lobby.h"

#include <algorithm>

#include "room_codes.h"

constexpr auto RATE_WINDOW = std::chrono::seconds(1);
constexpr auto FAILURE_WINDOW = std::chrono::minutes(1);
// Codes are drawn from 2^40: a clash is all but impossible, but never loops.
constexpr int CODE_DRAWS = 8;

Lobby::Lobby(Room_Store &store, const Lobby_Settings &settings) : store(store), settings(settings) {}

bool Lobby::Admit(const std::string &address)
{
    Address &entry = addresses[address];
    if (entry.connections >= CONNECTIONS_PER_ADDRESS)
        return false;
    ++entry.connections;
    return true;
}

void Lobby::Release(const std::string &address)
{
    const auto found = addresses.find(address);
    if (found == addresses.end())
        return;
    --found->second.connections;
    if (found->second.connections <= 0 && found->second.rooms <= 0 && found->second.failures.empty())
        addresses.erase(found);
}

Connection_Id Lobby::Open(Relay_Peer &peer, const std::string &address)
{
    const Connection_Id id = next_id++;
    Connection connection;
    connection.peer = &peer;
    connection.address = address;
    connections.emplace(id, std::move(connection));
    return id;
}

void Lobby::Error(Connection &connection, const char *code, const char *text, const std::string &for_type,
                  const std::string &field)
{
    connection.peer->Send(Error_Message(code, text, for_type, field));
}

void Lobby::Close_Connection(Connection &connection, int code, const char *reason)
{
    connection.closing = true;
    connection.peer->Close(code, reason);
}

bool Lobby::Within_Rate(Connection &connection, Relay_Clock::time_point now)
{
    if (now - connection.window_start >= RATE_WINDOW) {
        connection.window_start = now;
        connection.window_messages = 0;
    }
    ++connection.window_messages;
    if (connection.window_messages <= MESSAGES_PER_SECOND)
        return true;
    if (connection.window_messages > MESSAGES_PER_SECOND_CLOSE)
        Close_Connection(connection, CLOSE_POLICY, "too-fast");
    else
        Error(connection, "too-fast", "more than 20 messages in a second");
    return false;
}

bool Lobby::Within_Size(Connection &connection, std::string_view text)
{
    if (text.size() <= MESSAGE_LIMIT)
        return true;
    Error(connection, "too-big", "a message is at most 4096 bytes");
    if (++connection.too_big >= TOO_BIG_CLOSE)
        Close_Connection(connection, CLOSE_TOO_BIG, "too-big");
    return false;
}

void Lobby::Receive(Connection_Id id, std::string_view text, bool binary, Relay_Clock::time_point now)
{
    const auto found = connections.find(id);
    if (found == connections.end() || found->second.closing)
        return;
    Connection &connection = found->second;
    if (!Within_Rate(connection, now) || !Within_Size(connection, text))
        return;
    if (binary) {
        Error(connection, "binary", "messages are JSON text");
        return;
    }
    Client_Message message;
    Message_Fault fault;
    if (!Read_Client_Message(text, message, fault)) {
        Error(connection, fault.code, "the message is not one of this protocol", fault.type, fault.field);
        return;
    }
    Handle(id, connection, message, now);
}

void Lobby::Handle(Connection_Id id, Connection &connection, const Client_Message &message,
                   Relay_Clock::time_point now)
{
    if (message.type == Client_Type::HELLO) {
        Hello(connection, message);
        return;
    }
    const char *type = Client_Type_Name(message.type);
    if (!connection.greeted) {
        Error(connection, "hello-first", "the first message is hello", type);
        return;
    }
    const bool in_room = !connection.room.empty();
    switch (message.type) {
    case Client_Type::CREATE:
    case Client_Type::JOIN:
    case Client_Type::REJOIN:
    case Client_Type::WATCH:
        if (in_room) {
            Error(connection, "in-room", "leave this room first", type);
            return;
        }
        break;
    case Client_Type::SYNC:
    case Client_Type::LEAVE:
        if (!in_room) {
            Error(connection, "not-in-room", "this connection is in no room", type);
            return;
        }
        break;
    default:
        break;
    }
    switch (message.type) {
    case Client_Type::CREATE:
        Create(id, connection);
        break;
    case Client_Type::JOIN:
        Join(id, connection, message, now);
        break;
    case Client_Type::REJOIN:
        Rejoin(id, connection, message, now);
        break;
    case Client_Type::WATCH:
        Watch(id, connection, message, now);
        break;
    case Client_Type::MOVE:
        Play(connection, message);
        break;
    case Client_Type::SYNC:
        Send_Sync(connection, rooms.at(connection.room), connection.room);
        break;
    case Client_Type::LEAVE:
        Leave(id, connection);
        break;
    case Client_Type::HELLO:
        break;
    }
}

void Lobby::Hello(Connection &connection, const Client_Message &message)
{
    if (connection.greeted) {
        Error(connection, "hello-again", "hello comes once", "hello");
        return;
    }
    if (message.protocol != PROTOCOL_VERSION) {
        connection.peer->Send(Protocol_Error_Message());
        Close_Connection(connection, CLOSE_POLICY, "protocol");
        return;
    }
    connection.greeted = true;
    connection.peer->Send(Welcome_Message(settings.relay_version));
}

void Lobby::Create(Connection_Id id, Connection &connection)
{
    Address &address = addresses[connection.address];
    if (address.rooms >= ROOMS_PER_ADDRESS) {
        Error(connection, "too-many-rooms", "this address has 16 open rooms", "create");
        return;
    }
    const std::string token = New_Seat_Token();
    std::string code;
    for (int draw = 0; draw < CODE_DRAWS && code.empty(); ++draw) {
        code = New_Room_Code();
        if (rooms.count(code) || !store.Create(code, token))
            code.clear();
    }
    if (code.empty()) {
        Error(connection, "too-many-rooms", "no room code is free", "create");
        return;
    }
    Room &room = rooms[code];
    room.shown_code = Show_Room_Code(code);
    room.creator = connection.address;
    room.seats[SOLIDS] = id;
    ++address.rooms;
    connection.room = code;
    connection.seat = SOLIDS;
    connection.peer->Send(Seat_Message("created", room.shown_code, SOLIDS, token));
}

bool Lobby::Too_Many_Failures(Connection &connection, Relay_Clock::time_point now)
{
    Address &address = addresses[connection.address];
    while (!address.failures.empty() && now - address.failures.front() >= FAILURE_WINDOW)
        address.failures.pop_front();
    if (static_cast<int>(address.failures.size()) <= FAILED_JOINS_PER_MINUTE)
        return false;
    Error(connection, "too-many-failures", "too many failed joins from this address; wait a minute");
    Close_Connection(connection, CLOSE_POLICY, "too-many-failures");
    return true;
}

void Lobby::Fail_Join(Connection &connection, const char *code, const char *text, const std::string &type,
                      Relay_Clock::time_point now)
{
    addresses[connection.address].failures.push_back(now);
    if (!Too_Many_Failures(connection, now))
        Error(connection, code, text, type);
}

Lobby::Room *Lobby::Find_Room(Connection &connection, const Client_Message &message, const char *type,
                              std::string &code, Relay_Clock::time_point now)
{
    if (Too_Many_Failures(connection, now))
        return nullptr;
    const auto found = Read_Room_Code(message.room, code) ? rooms.find(code) : rooms.end();
    if (found == rooms.end()) {
        Fail_Join(connection, "no-such-room", "no room has that code", type, now);
        return nullptr;
    }
    return &found->second;
}

void Lobby::Join(Connection_Id id, Connection &connection, const Client_Message &message,
                 Relay_Clock::time_point now)
{
    std::string code;
    Room *room = Find_Room(connection, message, "join", code, now);
    if (!room)
        return;
    const std::string token = New_Seat_Token();
    if (room->seats[STRIPES] || room->lost[STRIPES] || !store.Take_Seat(code, STRIPES, token)) {
        Fail_Join(connection, "room-full", "both seats of that room are taken", "join", now);
        return;
    }
    room->seats[STRIPES] = id;
    connection.room = code;
    connection.seat = STRIPES;
    connection.peer->Send(Seat_Message("joined", room->shown_code, STRIPES, token));
    Start_Room(*room, code);
}

void Lobby::Start_Room(Room &room, const std::string &code)
{
    const int first = Draw_Side();
    store.Set_First(code, first);
    room.match = Match_Start(first);
    room.started = true;
    Broadcast(room, Start_Message(room.shown_code, first, Match_Hash(room.match)));
}

void Lobby::Rejoin(Connection_Id id, Connection &connection, const Client_Message &message,
                   Relay_Clock::time_point now)
{
    std::string code;
    Room *room = Find_Room(connection, message, "rejoin", code, now);
    if (!room)
        return;
    Room_Record record;
    int side = NO_SEAT;
    if (store.Read(code, record))
        for (int seat = 0; seat < SIDES; ++seat)
            if (Same_Token(message.token, record.tokens[seat]))
                side = seat;
    if (side == NO_SEAT) {
        Fail_Join(connection, "bad-token", "that token holds no seat of that room", "rejoin", now);
        return;
    }
    if (const Connection_Id old = room->seats[side]) {
        Connection &replaced = connections.at(old);
        replaced.room.clear();
        replaced.seat = NO_SEAT;
        Error(replaced, "replaced", "this seat was taken back by a newer connection");
        Close_Connection(replaced, CLOSE_POLICY, "replaced");
    }
    room->seats[side] = id;
    connection.room = code;
    connection.seat = side;
    const bool was_lost = room->lost[side];
    room->lost[side] = false;
    if (!room->lost[SOLIDS] && !room->lost[STRIPES] && room->waiting) {
        room->waiting = false;
        store.Keep(code);
    }
    connection.peer->Send(Rejoined_Message(room->shown_code, side));
    Send_Sync(connection, *room, code);
    if (was_lost)
        Broadcast(*room, Peer_Back_Message(side), id);
}

void Lobby::Watch(Connection_Id id, Connection &connection, const Client_Message &message,
                  Relay_Clock::time_point now)
{
    std::string code;
    Room *room = Find_Room(connection, message, "watch", code, now);
    if (!room)
        return;
    room->watchers.insert(id);
    connection.room = code;
    connection.seat = WATCHER;
    connection.peer->Send(Room_Message("watching", room->shown_code));
    Send_Sync(connection, *room, code);
}

void Lobby::Send_Sync(Connection &connection, const Room &room, const std::string &code)
{
    Sync_View view;
    view.shown_code = room.shown_code;
    Room_Record record;
    if (store.Read(code, record)) {
        view.first = record.first;
        for (const Stored_Move &stored : record.moves)
            view.moves.push_back(stored.move);
    }
    view.hash = Match_Hash(room.match);
    for (int side = 0; side < SIDES; ++side)
        view.seats[side] = room.seats[side] ? SEAT_HERE : room.lost[side] ? SEAT_LOST : SEAT_EMPTY;
    connection.peer->Send(Sync_Message(view));
}

static const char *Refusal_Words(const char *code)
{
    static const struct {
        const char *code, *words;
    } WORDS[] = {
        {"not-seated", "only a seated player moves"},
        {"not-started", "the room still waits for its guest"},
        {"not-your-side", "a seat moves only its own side"},
        {"not-your-turn", "it is the other side's turn"},
        {"wrong-number", "that is not the number of the next move"},
    };
    for (const auto &entry : WORDS)
        if (std::string_view(code) == entry.code)
            return entry.words;
    return "";
}

void Lobby::Play(Connection &connection, const Client_Message &message)
{
    const auto refuse = [&](const char *code, const char *words, int expected) {
        connection.peer->Send(Refused_Message(message.id, code, *words ? words : Refusal_Words(code), expected));
    };
    if (connection.room.empty() || connection.seat < 0) {
        refuse("not-seated", "", connection.room.empty() ? 0 : rooms.at(connection.room).match.moves);
        return;
    }
    const std::string code = connection.room;
    Room &room = rooms.at(code);
    const int side = connection.seat;
    const int expected = room.match.moves;
    if (!room.started) {
        refuse("not-started", "", expected);
        return;
    }
    if (message.side != ANY_SIDE && message.side != side) {
        refuse("not-your-side", "", expected);
        return;
    }
    const auto known = room.ids[side].find(message.id);
    if (known != room.ids[side].end()) {
        connection.peer->Send(Accepted_Message(message.id, known->second, true));
        return;
    }
    if (room.match.round.turn != side) {
        refuse("not-your-turn", "", expected);
        return;
    }
    if (message.number != expected) {
        refuse("wrong-number", "", expected);
        return;
    }
    const Move_Refusal refusal = Match_Check(room.match, message.move);
    if (refusal != MOVE_LEGAL) {
        refuse(Refusal_Name(refusal), Refusal_Text(refusal), expected);
        return;
    }
    if (store.Append(code, expected, Stored_Move{message.move, side, message.id}) != Append_Result::APPENDED) {
        refuse("wrong-number", "", expected);
        return;
    }
    Match_Play(room.match, message.move);
    room.ids[side].emplace(message.id, expected);
    connection.peer->Send(Accepted_Message(message.id, expected, false));
    Broadcast(room, Moved_Message(expected, side, message.move, message.id, Match_Hash(room.match)));
}

void Lobby::Leave(Connection_Id id, Connection &connection)
{
    const std::string code = connection.room;
    Room &room = rooms.at(code);
    connection.peer->Send(Room_Message("left", room.shown_code));
    if (connection.seat == WATCHER) {
        room.watchers.erase(id);
        connection.room.clear();
        connection.seat = NO_SEAT;
        return;
    }
    const int side = connection.seat;
    room.seats[side] = 0;
    connection.room.clear();
    connection.seat = NO_SEAT;
    End_Room(code, "left", side);
}

void Lobby::Broadcast(const Room &room, const std::string &text, Connection_Id except)
{
    for (Connection_Id seat : room.seats)
        if (seat && seat != except)
            connections.at(seat).peer->Send(text);
    for (Connection_Id watcher : room.watchers)
        if (watcher != except)
            connections.at(watcher).peer->Send(text);
}

void Lobby::End_Room(const std::string &code, const char *reason, int side)
{
    const auto found = rooms.find(code);
    if (found == rooms.end())
        return;
    Room &room = found->second;
    Broadcast(room, Ended_Message(room.shown_code, reason, side));
    for (Connection_Id seat : room.seats)
        if (seat) {
            connections.at(seat).room.clear();
            connections.at(seat).seat = NO_SEAT;
        }
    for (Connection_Id watcher : room.watchers) {
        connections.at(watcher).room.clear();
        connections.at(watcher).seat = NO_SEAT;
    }
    const auto creator = addresses.find(room.creator);
    if (creator != addresses.end())
        --creator->second.rooms;
    store.Remove(code);
    rooms.erase(found);
}

void Lobby::Seat_Lost(Room &room, const std::string &code, int side, Relay_Clock::time_point now)
{
    room.seats[side] = 0;
    room.lost[side] = true;
    if (!room.waiting) {
        room.waiting = true;
        room.deadline = now + std::chrono::seconds(settings.room_wait_seconds);
        store.Expire(code, room.deadline);
    }
    Broadcast(room, Peer_Lost_Message(side, settings.room_wait_seconds));
}

void Lobby::Close(Connection_Id id, Relay_Clock::time_point now)
{
    const auto found = connections.find(id);
    if (found == connections.end())
        return;
    Connection &connection = found->second;
    if (!connection.room.empty()) {
        Room &room = rooms.at(connection.room);
        if (connection.seat == WATCHER)
            room.watchers.erase(id);
        else if (connection.seat >= 0 && room.seats[connection.seat] == id)
            Seat_Lost(room, connection.room, connection.seat, now);
    }
    connections.erase(found);
}

// Addresses with nothing open and no failure within the window are forgotten.
void Lobby::Forget_Addresses(Relay_Clock::time_point now)
{
    for (auto entry = addresses.begin(); entry != addresses.end();) {
        Address &address = entry->second;
        while (!address.failures.empty() && now - address.failures.front() >= FAILURE_WINDOW)
            address.failures.pop_front();
        if (address.connections <= 0 && address.rooms <= 0 && address.failures.empty())
            entry = addresses.erase(entry);
        else
            ++entry;
    }
}

void Lobby::Tick(Relay_Clock::time_point now)
{
    Forget_Addresses(now);
    std::vector<std::pair<std::string, int>> over;
    for (const auto &[code, room] : rooms)
        if (room.waiting && room.deadline <= now)
            over.emplace_back(code, room.lost[SOLIDS] ? SOLIDS : STRIPES);
    for (const auto &[code, side] : over)
        End_Room(code, "abandoned", side);
}

void Lobby::Shutdown()
{
    std::vector<std::string> codes;
    for (const auto &entry : rooms)
        codes.push_back(entry.first);
    for (const std::string &code : codes)
        End_Room(code, "shutdown", ANY_SIDE);
}
