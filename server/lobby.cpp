#include "lobby.h"

#include <algorithm>

#include "room_codes.h"

constexpr auto RATE_WINDOW = std::chrono::seconds(1);
// Codes are drawn from 2^40: a clash is all but impossible, but never loops.
constexpr int CODE_DRAWS = 8;

Lobby::Lobby(Room_Store &store, const Lobby_Settings &settings) : store(store), settings(settings)
{
    store.Set_Listener(this);
}

Lobby::~Lobby()
{
    store.Set_Listener(nullptr);
}

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
    if (found->second.connections <= 0)
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

Lobby::Connection *Lobby::Live(Connection_Id id)
{
    const auto found = connections.find(id);
    return found == connections.end() || found->second.closing ? nullptr : &found->second;
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
    Connection *connection = Live(id);
    if (!connection)
        return;
    if (!Within_Rate(*connection, now) || !Within_Size(*connection, text))
        return;
    if (binary) {
        Error(*connection, "binary", "messages are JSON text");
        return;
    }
    Client_Message message;
    Message_Fault fault;
    if (!Read_Client_Message(text, message, fault)) {
        Error(*connection, fault.code, "the message is not one of this protocol", fault.type, fault.field);
        return;
    }
    if (connection->busy) {
        connection->queued.push_back(std::move(message));
        return;
    }
    Handle(id, *connection, message);
}

void Lobby::Done(Connection_Id id)
{
    const auto found = connections.find(id);
    if (found == connections.end())
        return;
    Connection &connection = found->second;
    connection.busy = false;
    if (connection.draining)
        return;
    connection.draining = true;
    while (!connection.busy && !connection.queued.empty() && !connection.closing) {
        const Client_Message message = std::move(connection.queued.front());
        connection.queued.pop_front();
        Handle(id, connection, message);
    }
    connection.draining = false;
    if (connection.closing)
        connection.queued.clear();
}

void Lobby::Handle(Connection_Id id, Connection &connection, const Client_Message &message)
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
    // Every message from here on ends with Done, at once or when the store answers.
    connection.busy = true;
    switch (message.type) {
    case Client_Type::CREATE:
        if (!store.Available()) {
            Unavailable(connection, "create");
            Done(id);
            return;
        }
        Create(id, CODE_DRAWS, New_Seat_Token());
        break;
    case Client_Type::JOIN:
        Join(id, message);
        break;
    case Client_Type::REJOIN:
        Rejoin(id, message);
        break;
    case Client_Type::WATCH:
        Watch(id, message);
        break;
    case Client_Type::MOVE:
        Play(id, connection, message);
        break;
    case Client_Type::SYNC:
        Send_Sync(id, connection.room);
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

void Lobby::Unavailable(Connection &connection, const std::string &type)
{
    Error(connection, "unavailable", "the relay cannot reach its rooms now; try again soon", type);
    Close_Connection(connection, CLOSE_TRY_AGAIN, "unavailable");
}

void Lobby::Create(Connection_Id id, int draws_left, const std::string &token)
{
    Connection *connection = Live(id);
    if (!connection)
        return Done(id);
    if (draws_left <= 0) {
        Error(*connection, "too-many-rooms", "no room code is free", "create");
        return Done(id);
    }
    const std::string code = New_Room_Code();
    if (rooms.count(code) || loading.count(code))
        return Create(id, draws_left - 1, token);
    store.Create(code, Token_Hash(token), connection->address, ROOMS_PER_ADDRESS,
                 [this, id, draws_left, token, code](Store_Status status) {
                     Connection *connection = Live(id);
                     if (status == Store_Status::REFUSED)
                         return Create(id, draws_left - 1, token);
                     if (!connection) {
                         if (status == Store_Status::OK)
                             store.End(code, "left", SOLIDS, [](Store_Status) {});
                         return Done(id);
                     }
                     if (status == Store_Status::TOO_MANY)
                         Error(*connection, "too-many-rooms", "this address has 16 open rooms", "create");
                     else if (status == Store_Status::UNAVAILABLE)
                         Unavailable(*connection, "create");
                     else
                         Created(id, *connection, code, token);
                     Done(id);
                 });
}

void Lobby::Created(Connection_Id id, Connection &connection, const std::string &code, const std::string &token)
{
    Room &room = rooms[code];
    room.shown_code = Show_Room_Code(code);
    room.seats[SOLIDS] = id;
    connection.room = code;
    connection.seat = SOLIDS;
    store.Follow(code, [](Store_Status) {});
    connection.peer->Send(Seat_Message("created", room.shown_code, SOLIDS, token));
}

void Lobby::Too_Many_Failures(Connection &connection)
{
    Error(connection, "too-many-failures", "too many failed joins from this address; wait a minute");
    Close_Connection(connection, CLOSE_POLICY, "too-many-failures");
}

void Lobby::Fail_Join(Connection_Id id, const char *code, const char *text, const std::string &type,
                      const std::string &room)
{
    if (!room.empty())
        Drop_If_Unused(room);
    Connection *connection = Live(id);
    if (!connection)
        return Done(id);
    const std::string error_code = code, words = text;
    store.Count_Failure(connection->address, [this, id, error_code, words, type](Store_Status status, long long count) {
        if (Connection *connection = Live(id)) {
            if (status == Store_Status::UNAVAILABLE)
                Unavailable(*connection, type);
            else if (count > FAILED_JOINS_PER_MINUTE)
                Too_Many_Failures(*connection);
            else
                Error(*connection, error_code.c_str(), words.c_str(), type);
        }
        Done(id);
    });
}

void Lobby::Find_Room(Connection_Id id, const Client_Message &message, const char *type,
                      std::function<void(Connection &, Room &, const std::string &)> found)
{
    Connection &connection = connections.at(id);
    const std::string typed = message.room, for_type = type;
    store.Failures(connection.address, [this, id, typed, for_type, found](Store_Status status, long long count) {
        Connection *connection = Live(id);
        if (!connection)
            return Done(id);
        if (status == Store_Status::UNAVAILABLE) {
            Unavailable(*connection, for_type);
            return Done(id);
        }
        if (count > FAILED_JOINS_PER_MINUTE) {
            Too_Many_Failures(*connection);
            return Done(id);
        }
        std::string code;
        if (!Read_Room_Code(typed, code))
            return Fail_Join(id, "no-such-room", "no room has that code", for_type);
        Load_Room(code, [this, id, code, for_type, found](Store_Status status, Room *room) {
            Connection *connection = Live(id);
            if (!connection) {
                Drop_If_Unused(code);
                return Done(id);
            }
            if (status == Store_Status::UNAVAILABLE) {
                Unavailable(*connection, for_type);
                return Done(id);
            }
            if (!room)
                return Fail_Join(id, "no-such-room", "no room has that code", for_type);
            found(*connection, *room, code);
        });
    });
}

void Lobby::Load_Room(const std::string &code, Room_Found found)
{
    const auto known = rooms.find(code);
    if (known != rooms.end())
        return found(Store_Status::OK, &known->second);
    ++loading[code];
    const auto loaded = [this, code, found](Store_Status status, const Room_Record &record) {
        if (--loading[code] <= 0)
            loading.erase(code);
        if (status != Store_Status::OK) {
            Drop_If_Unused(code);
            return found(status, nullptr);
        }
        found(status, &Keep_Room(code, record));
    };
    store.Follow(code, [this, code, loaded](Store_Status status) {
        if (status != Store_Status::OK)
            return loaded(status, Room_Record{});
        store.Read(code, loaded);
    });
}

Lobby::Room &Lobby::Keep_Room(const std::string &code, const Room_Record &record)
{
    const auto known = rooms.find(code);
    if (known != rooms.end()) {
        Catch_Up(known->second, record);
        return known->second;
    }
    Room &room = rooms[code];
    room.shown_code = Show_Room_Code(code);
    for (int side = 0; side < SIDES; ++side) {
        room.lost[side] = record.lost[side];
        room.elsewhere[side] = !record.tokens[side].empty() && !record.lost[side];
    }
    // The deadline is the store's; this relay's own clock ends it at the latest then.
    room.waiting = record.lost[SOLIDS] || record.lost[STRIPES];
    room.deadline = Relay_Clock::now() + std::chrono::seconds(settings.room_wait_seconds);
    Catch_Up(room, record);
    return room;
}

void Lobby::Catch_Up(Room &room, const Room_Record &record)
{
    if (!room.started && record.first != NOT_STARTED) {
        room.match = Match_Start(record.first);
        room.started = true;
        if (!record.tokens[STRIPES].empty() && !room.seats[STRIPES] && !record.lost[STRIPES])
            room.elsewhere[STRIPES] = true;
    }
    if (!room.started)
        return;
    for (std::size_t number = room.match.moves; number < record.moves.size(); ++number)
        if (Match_Check(room.match, record.moves[number].move) != MOVE_LEGAL)
            return;  // not a list any relay accepted: this relay plays no further
        else
            Play_Stored(room, static_cast<int>(number), record.moves[number]);
}

void Lobby::Play_Stored(Room &room, int number, const Stored_Move &stored)
{
    Match_Play(room.match, stored.move);
    room.ids[stored.side].emplace(stored.id, number);
    Broadcast(room, Moved_Message(number, stored.side, stored.move, stored.id, Match_Hash(room.match)));
}

void Lobby::Resync(const std::string &code)
{
    store.Read(code, [this, code](Store_Status status, const Room_Record &record) {
        const auto found = rooms.find(code);
        if (found == rooms.end())
            return;
        if (status == Store_Status::REFUSED)
            End_Room(code, "abandoned", ANY_SIDE);
        else if (status == Store_Status::OK)
            Catch_Up(found->second, record);
    });
}

void Lobby::Join(Connection_Id id, const Client_Message &message)
{
    Find_Room(id, message, "join", [this, id](Connection &, Room &room, const std::string &code) {
        if (room.seats[STRIPES] || room.lost[STRIPES] || room.elsewhere[STRIPES] || room.started)
            return Fail_Join(id, "room-full", "both seats of that room are taken", "join", code);
        Seat_Guest(id, code);
    });
}

void Lobby::Seat_Guest(Connection_Id id, const std::string &code)
{
    const std::string token = New_Seat_Token();
    const int first = Draw_Side();
    store.Seat_Guest(code, Token_Hash(token), first, [this, id, code, token, first](Store_Status status) {
        Connection *connection = Live(id);
        const auto found = rooms.find(code);
        if (status == Store_Status::REFUSED)
            return Fail_Join(id, "room-full", "both seats of that room are taken", "join", code);
        if (status == Store_Status::UNAVAILABLE) {
            if (connection)
                Unavailable(*connection, "join");
            return Done(id);
        }
        if (found == rooms.end())
            return Done(id);
        Room &room = found->second;
        if (connection) {
            room.seats[STRIPES] = id;
            connection->room = code;
            connection->seat = STRIPES;
            connection->peer->Send(Seat_Message("joined", room.shown_code, STRIPES, token));
        }
        Start_Room(room, first);
        if (!connection)
            Seat_Lost(room, code, STRIPES, Relay_Clock::now());
        Done(id);
    });
}

void Lobby::Start_Room(Room &room, int first)
{
    room.match = Match_Start(first);
    room.started = true;
    Broadcast(room, Start_Message(room.shown_code, first, Match_Hash(room.match)));
}

void Lobby::Rejoin(Connection_Id id, const Client_Message &message)
{
    const std::string token = message.token;
    Find_Room(id, message, "rejoin", [this, id, token](Connection &, Room &, const std::string &code) {
        store.Read(code, [this, id, token, code](Store_Status status, const Room_Record &record) {
            Connection *connection = Live(id);
            if (!connection || status == Store_Status::UNAVAILABLE) {
                if (connection)
                    Unavailable(*connection, "rejoin");
                Drop_If_Unused(code);
                return Done(id);
            }
            const auto found = rooms.find(code);
            int side = NO_SEAT;
            if (status == Store_Status::OK && found != rooms.end())
                for (int seat = 0; seat < SIDES; ++seat)
                    if (Same_Token(Token_Hash(token), record.tokens[seat]))
                        side = seat;
            if (side == NO_SEAT)
                return Fail_Join(id, "bad-token", "that token holds no seat of that room", "rejoin", code);
            Catch_Up(found->second, record);
            Take_Back(id, code, side, record);
            Done(id);
        });
    });
}

void Lobby::Take_Back(Connection_Id id, const std::string &code, int side, const Room_Record &record)
{
    const auto found = rooms.find(code);
    if (found == rooms.end())
        return;
    Room &room = found->second;
    Connection &connection = connections.at(id);
    if (const Connection_Id old = room.seats[side]) {
        Connection &replaced = connections.at(old);
        replaced.room.clear();
        replaced.seat = NO_SEAT;
        Error(replaced, "replaced", "this seat was taken back by a newer connection");
        Close_Connection(replaced, CLOSE_POLICY, "replaced");
    }
    room.seats[side] = id;
    room.elsewhere[side] = false;
    connection.room = code;
    connection.seat = side;
    const bool was_lost = room.lost[side] || record.lost[side];
    room.lost[side] = false;
    if (!room.lost[SOLIDS] && !room.lost[STRIPES])
        room.waiting = false;
    store.Seat_Back(code, side, was_lost);
    connection.peer->Send(Rejoined_Message(room.shown_code, side));
    connection.peer->Send(Sync_Message(Sync_Of(room, record)));
    if (was_lost)
        Broadcast(room, Peer_Back_Message(side), id);
}

void Lobby::Watch(Connection_Id id, const Client_Message &message)
{
    Find_Room(id, message, "watch", [this, id](Connection &connection, Room &room, const std::string &code) {
        room.watchers.insert(id);
        connection.room = code;
        connection.seat = WATCHER;
        connection.peer->Send(Room_Message("watching", room.shown_code));
        Send_Sync(id, code);
    });
}

Sync_View Lobby::Sync_Of(const Room &room, const Room_Record &record) const
{
    Sync_View view;
    view.shown_code = room.shown_code;
    view.first = record.first;
    for (const Stored_Move &stored : record.moves)
        view.moves.push_back(stored.move);
    view.hash = Match_Hash(room.match);
    for (int side = 0; side < SIDES; ++side)
        view.seats[side] = room.seats[side] || room.elsewhere[side] ? SEAT_HERE
                           : room.lost[side]                        ? SEAT_LOST
                                                                    : SEAT_EMPTY;
    return view;
}

void Lobby::Send_Sync(Connection_Id id, const std::string &code)
{
    store.Read(code, [this, id, code](Store_Status status, const Room_Record &record) {
        Connection *connection = Live(id);
        const auto found = rooms.find(code);
        if (connection && status == Store_Status::UNAVAILABLE)
            Unavailable(*connection, "sync");
        else if (found != rooms.end() && status == Store_Status::OK) {
            Catch_Up(found->second, record);
            if (connection && connection->room == code)
                connection->peer->Send(Sync_Message(Sync_Of(found->second, record)));
        }
        Done(id);
    });
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
        {"unavailable", "the relay cannot reach its rooms now"},
    };
    for (const auto &entry : WORDS)
        if (std::string_view(code) == entry.code)
            return entry.words;
    return "";
}

void Lobby::Play(Connection_Id id, Connection &connection, const Client_Message &message)
{
    const auto refuse = [&](const char *code, const char *words, int expected) {
        connection.peer->Send(Refused_Message(message.id, code, *words ? words : Refusal_Words(code), expected));
        Done(id);
    };
    if (connection.room.empty() || connection.seat < 0) {
        refuse("not-seated", "", connection.room.empty() ? 0 : rooms.at(connection.room).match.moves);
        return;
    }
    const std::string code = connection.room;
    Room &room = rooms.at(code);
    const int side = connection.seat;
    const int expected = room.match.moves;
    if (!room.started)
        return refuse("not-started", "", expected);
    if (message.side != ANY_SIDE && message.side != side)
        return refuse("not-your-side", "", expected);
    const auto known = room.ids[side].find(message.id);
    if (known != room.ids[side].end()) {
        connection.peer->Send(Accepted_Message(message.id, known->second, true));
        return Done(id);
    }
    if (room.match.round.turn != side)
        return refuse("not-your-turn", "", expected);
    if (message.number != expected)
        return refuse("wrong-number", "", expected);
    const Move_Refusal refusal = Match_Check(room.match, message.move);
    if (refusal != MOVE_LEGAL)
        return refuse(Refusal_Name(refusal), Refusal_Text(refusal), expected);
    store.Append(code, expected, Stored_Move{message.move, side, message.id},
                 [this, id, code, message, side](Append_Answer answer) { Played(id, code, message, side, answer); });
}

void Lobby::Played(Connection_Id id, const std::string &code, const Client_Message &message, int side,
                   Append_Answer answer)
{
    Connection *connection = Live(id);
    const auto found = rooms.find(code);
    if (answer.result == Append_Result::APPENDED && found != rooms.end()) {
        Room &room = found->second;
        // A move of another relay's may have come first: then this one is not the next.
        if (room.match.moves == answer.number) {
            if (connection)
                connection->peer->Send(Accepted_Message(message.id, answer.number, false));
            Play_Stored(room, answer.number, Stored_Move{message.move, side, message.id});
        } else {
            if (connection)
                connection->peer->Send(Accepted_Message(message.id, answer.number, false));
            Resync(code);
        }
    } else if (connection) {
        const int expected = found == rooms.end() ? 0 : found->second.match.moves;
        if (answer.result == Append_Result::AGAIN)
            connection->peer->Send(Accepted_Message(message.id, answer.number, true));
        else if (answer.result == Append_Result::UNAVAILABLE)
            Unavailable(*connection, "move");
        else
            connection->peer->Send(Refused_Message(message.id, "wrong-number", Refusal_Words("wrong-number"),
                                                   answer.result == Append_Result::WRONG_NUMBER ? answer.number
                                                                                                : expected));
        if (answer.result == Append_Result::WRONG_NUMBER && found != rooms.end() &&
            answer.number > found->second.match.moves)
            Resync(code);
    }
    Done(id);
}

void Lobby::Leave(Connection_Id id, Connection &connection)
{
    const std::string code = connection.room;
    Room &room = rooms.at(code);
    const std::string shown = room.shown_code;
    if (connection.seat == WATCHER) {
        connection.peer->Send(Room_Message("left", shown));
        room.watchers.erase(id);
        connection.room.clear();
        connection.seat = NO_SEAT;
        Drop_If_Unused(code);
        return Done(id);
    }
    const int side = connection.seat;
    room.seats[side] = 0;
    connection.room.clear();
    connection.seat = NO_SEAT;
    // Answered once the room is gone from the store, so that its count is too.
    store.End(code, "left", side, [this, id, code, side, shown](Store_Status) {
        if (Connection *leaver = Live(id))
            leaver->peer->Send(Room_Message("left", shown));
        End_Here(code, "left", side);
        Done(id);
    });
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

// Tells this relay's connections (unless `reason` is null); the store tells the other relays.
void Lobby::End_Here(const std::string &code, const char *reason, int side)
{
    const auto found = rooms.find(code);
    if (found == rooms.end())
        return;
    Room &room = found->second;
    if (reason)
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
    rooms.erase(found);
    store.Unfollow(code);
}

void Lobby::End_Room(const std::string &code, const char *reason, int side)
{
    if (!rooms.count(code))
        return;
    End_Here(code, reason, side);
    store.End(code, reason, side, [](Store_Status) {});
}

void Lobby::Drop_If_Unused(const std::string &code)
{
    const auto found = rooms.find(code);
    if (found == rooms.end() || loading.count(code))
        return;
    const Room &room = found->second;
    if (room.seats[SOLIDS] || room.seats[STRIPES] || !room.watchers.empty() || room.waiting)
        return;
    rooms.erase(found);
    store.Unfollow(code);
}

void Lobby::Seat_Lost(Room &room, const std::string &code, int side, Relay_Clock::time_point now)
{
    room.seats[side] = 0;
    room.lost[side] = true;
    if (!room.waiting) {
        room.waiting = true;
        room.deadline = now + std::chrono::seconds(settings.room_wait_seconds);
    }
    store.Seat_Lost(code, side, std::chrono::seconds(settings.room_wait_seconds));
    Broadcast(room, Peer_Lost_Message(side, settings.room_wait_seconds));
}

void Lobby::Close(Connection_Id id, Relay_Clock::time_point now)
{
    const auto found = connections.find(id);
    if (found == connections.end())
        return;
    Connection &connection = found->second;
    const std::string code = connection.room;
    if (!code.empty()) {
        Room &room = rooms.at(code);
        if (connection.seat == WATCHER)
            room.watchers.erase(id);
        else if (connection.seat >= 0 && room.seats[connection.seat] == id)
            Seat_Lost(room, code, connection.seat, now);
    }
    connections.erase(found);
    if (!code.empty())
        Drop_If_Unused(code);
}

void Lobby::Forget_Addresses()
{
    for (auto entry = addresses.begin(); entry != addresses.end();)
        if (entry->second.connections <= 0)
            entry = addresses.erase(entry);
        else
            ++entry;
}

void Lobby::Tick(Relay_Clock::time_point now)
{
    Forget_Addresses();
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
        if (store.Shared())
            End_Here(code, nullptr, ANY_SIDE);
        else
            End_Room(code, "shutdown", ANY_SIDE);
}

// ---------------------------------------------------------------- other relays, and the store itself

void Lobby::Room_Changed(const std::string &code, const Room_Event &event)
{
    const auto found = rooms.find(code);
    if (found == rooms.end())
        return;
    Room &room = found->second;
    switch (event.kind) {
    case Room_Event::MOVED:
        if (event.number == room.match.moves && room.started &&
            Match_Check(room.match, event.move.move) == MOVE_LEGAL)
            Play_Stored(room, event.number, event.move);
        else if (event.number >= room.match.moves)
            Resync(code);
        break;
    case Room_Event::STARTED:
        if (!room.started) {
            room.elsewhere[STRIPES] = true;
            Start_Room(room, event.number);
        }
        break;
    case Room_Event::LOST:
        Seat_Lost_Elsewhere(room, code, event.side, event.number);
        break;
    case Room_Event::BACK:
        Back_Elsewhere(room, code, event.side, event.was_lost);
        break;
    case Room_Event::ENDED:
        End_Here(code, event.reason.c_str(), event.side);
        break;
    }
}

void Lobby::Seat_Lost_Elsewhere(Room &room, const std::string &code, int side, int wait_seconds)
{
    // Found lost while this relay still holds it (its heartbeat came late): it is here.
    if (room.seats[side])
        return store.Seat_Back(code, side, false);
    if (room.lost[side])
        return;
    room.elsewhere[side] = false;
    room.lost[side] = true;
    if (!room.waiting) {
        room.waiting = true;
        room.deadline = Relay_Clock::now() + std::chrono::seconds(wait_seconds);
    }
    Broadcast(room, Peer_Lost_Message(side, wait_seconds));
}

void Lobby::Back_Elsewhere(Room &room, const std::string &code, int side, bool was_lost)
{
    if (const Connection_Id old = room.seats[side]) {
        Connection &replaced = connections.at(old);
        replaced.room.clear();
        replaced.seat = NO_SEAT;
        room.seats[side] = 0;
        Error(replaced, "replaced", "this seat was taken back by a newer connection");
        Close_Connection(replaced, CLOSE_POLICY, "replaced");
    }
    room.elsewhere[side] = true;
    const bool lost_here = room.lost[side];
    room.lost[side] = false;
    if (!room.lost[SOLIDS] && !room.lost[STRIPES])
        room.waiting = false;
    if (was_lost || lost_here)
        Broadcast(room, Peer_Back_Message(side));
    Drop_If_Unused(code);
}

// Without the store nothing this relay holds can go on: its clients are told
// and closed, and come back (to it or to another relay) once it is back.
void Lobby::Store_Changed(bool available)
{
    if (available)
        return;
    for (auto &[id, connection] : connections) {
        connection.room.clear();
        connection.seat = NO_SEAT;
        if (connection.greeted && !connection.closing)
            Unavailable(connection, "");
    }
    for (const auto &entry : rooms)
        store.Unfollow(entry.first);
    rooms.clear();
}
