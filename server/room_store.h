// Where rooms are kept: each room's seat tokens (hashed), first side, moves,
// lost seats and expiry, and the per-address counts. The lobby calls these as
// rooms are created, seats taken, moves played, matches read back, seats lost
// and rooms ended; every call answers through its callback, at once for the
// relay's own memory, once a shared store (Redis) has answered for that one.
// A shared store also tells the lobby what other relays did to the rooms it
// follows, and when the store itself is lost or back.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "moves.h"

using Relay_Clock = std::chrono::steady_clock;

// No side has been drawn to place first: the room waits for its guest.
constexpr int NOT_STARTED = -1;
// An event's side or an ending's side when it names none.
constexpr int NO_SIDE = -1;

struct Stored_Move {
    Move move;
    int side;
    std::string id;  // the client's own, to know a move sent again
};

struct Room_Record {
    std::string tokens[SIDES];  // hashed; empty while the seat is free
    int first = NOT_STARTED;
    bool lost[SIDES] = {false, false};
    std::vector<Stored_Move> moves;
};

// OK; REFUSED: the code is in use, the seat is taken, no such room;
// UNAVAILABLE: the store could not be reached, nothing is known to be done.
enum class Store_Status { OK, REFUSED, TOO_MANY, UNAVAILABLE };

enum class Append_Result { APPENDED, AGAIN, WRONG_NUMBER, NO_ROOM, UNAVAILABLE };
struct Append_Answer {
    Append_Result result;
    int number;  // APPENDED, AGAIN: the move's number; WRONG_NUMBER: the count of moves
};

// What another relay did to a followed room, as the store passes it on.
struct Room_Event {
    enum Kind { MOVED, STARTED, LOST, BACK, ENDED } kind;
    int side = NO_SIDE;     // MOVED, LOST, BACK, ENDED
    int number = 0;         // MOVED: the move's number; STARTED: the first side; LOST: the wait in seconds
    Stored_Move move{};     // MOVED
    bool was_lost = false;  // BACK
    std::string reason;     // ENDED
};

// The lobby, as the store tells it.
class Room_Listener {
public:
    virtual ~Room_Listener() = default;
    virtual void Room_Changed(const std::string &code, const Room_Event &event) = 0;
    // The store was lost (false) or is back (true).
    virtual void Store_Changed(bool available) = 0;
};

using Status_Done = std::function<void(Store_Status)>;
using Append_Done = std::function<void(Append_Answer)>;
using Read_Done = std::function<void(Store_Status, const Room_Record &)>;
using Count_Done = std::function<void(Store_Status, long long)>;

class Room_Store {
public:
    virtual ~Room_Store() = default;
    virtual void Set_Listener(Room_Listener *listener) = 0;
    virtual bool Available() const = 0;
    // True when other relays share the rooms: they outlive this relay.
    virtual bool Shared() const = 0;

    // A new room whose Solids seat is the host's, counted for `creator`:
    // REFUSED when the code is in use, TOO_MANY when `creator` has `most` open rooms.
    virtual void Create(const std::string &code, const std::string &host_token, const std::string &creator, int most,
                        Status_Done done) = 0;
    // The guest takes the free Stripes seat and the room starts with `first`
    // placing; REFUSED when there is no such room or the seat is taken.
    virtual void Seat_Guest(const std::string &code, const std::string &token, int first, Status_Done done) = 0;
    // Appends the move only if `number` is the count of moves so far and its
    // id is new for its side, so that two writers can never both play move N.
    virtual void Append(const std::string &code, int number, const Stored_Move &move, Append_Done done) = 0;
    // REFUSED when there is no such room, or it has expired.
    virtual void Read(const std::string &code, Read_Done done) = 0;
    // The seat's player is lost: the room is gone `wait` from now unless every
    // lost seat is back before.
    virtual void Seat_Lost(const std::string &code, int side, std::chrono::seconds wait) = 0;
    virtual void Seat_Back(const std::string &code, int side, bool was_lost) = 0;
    // Ends the room (side: who left, NO_SIDE); OK only for the one call that removed it.
    virtual void End(const std::string &code, const std::string &reason, int side, Status_Done done) = 0;
    // Counts a failed join of `address` within the minute; answers the count.
    virtual void Count_Failure(const std::string &address, Count_Done done) = 0;
    // The failures counted for `address` within the minute, without adding one.
    virtual void Failures(const std::string &address, Count_Done done) = 0;

    // Events of rooms this relay holds connections of (a shared store only);
    // `done` once they will be passed on, so that a read after it misses none.
    virtual void Follow(const std::string &code, Status_Done done) = 0;
    virtual void Unfollow(const std::string &code) = 0;
    // The relay stops: a store with connections of its own closes them.
    virtual void Stop() {}
};
