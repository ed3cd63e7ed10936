// Where rooms are kept: each room's seat tokens, first side and moves. The
// lobby calls these when a room is created, a seat taken, a room started, a
// move accepted, a match read back for `sync`, and when a room starts or
// stops waiting for a lost player or ends. One small interface so that the
// rooms can move out of the relay's memory (to a shared store serving several
// relays) without the lobby changing.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "moves.h"

using Relay_Clock = std::chrono::steady_clock;

// No side has been drawn to place first: the room waits for its guest.
constexpr int NOT_STARTED = -1;

struct Stored_Move {
    Move move;
    int side;
    std::string id;  // the client's own id, to know a move sent again
};

struct Room_Record {
    std::string tokens[SIDES];  // empty while the seat is free
    int first = NOT_STARTED;
    std::vector<Stored_Move> moves;
};

enum class Append_Result { APPENDED, WRONG_NUMBER, NO_ROOM };

class Room_Store {
public:
    virtual ~Room_Store() = default;
    // A new room whose Solids seat is the host's; false when the code is in use.
    virtual bool Create(const std::string &code, const std::string &host_token) = 0;
    // Takes a free seat; false when there is no such room or the seat is taken.
    virtual bool Take_Seat(const std::string &code, int side, const std::string &token) = 0;
    virtual bool Set_First(const std::string &code, int first) = 0;
    // Appends the move only if `number` is the count of moves so far, so
    // that two writers can never both play move N.
    virtual Append_Result Append(const std::string &code, int number, const Stored_Move &move) = 0;
    // False when there is no such room, or it has expired.
    virtual bool Read(const std::string &code, Room_Record &record) = 0;
    // The room is gone from `deadline` on, unless Keep is called before.
    virtual void Expire(const std::string &code, Relay_Clock::time_point deadline) = 0;
    virtual void Keep(const std::string &code) = 0;
    virtual void Remove(const std::string &code) = 0;
};
