// The rooms in Redis, shared by any number of relays: each room's seats
// (tokens hashed), first side, moves and expiry, changed only by small Lua
// scripts so that every step is atomic, and each change published on the
// room's channel for the relays following it. Made by the relay's server at
// start with --redis; the lobby calls it as for the relay's own memory, and
// hears from it through Room_Listener. It connects, and after a loss
// reconnects, by itself, with backoff; it never blocks the event loop.
#pragma once

#include <memory>
#include <string>

#include <boost/asio/io_context.hpp>

#include "room_store.h"

// Where Redis listens: HOST:PORT, redis://[:PASSWORD@]HOST[:PORT] or unix:PATH,
// HOST an IP address (a name's lookup would block the relay's loop).
struct Redis_Address {
    std::string host;  // an IP address
    int port = 6379;
    std::string socket_path;  // instead of host and port
    std::string password;
};
constexpr int REDIS_DEFAULT_PORT = 6379;
bool Read_Redis_Address(const std::string &text, Redis_Address &address);

struct Redis_Link;

class Redis_Store : public Room_Store {
public:
    // `room_wait`: how long a room waits for a seat this store finds lost
    // because its relay went silent.
    Redis_Store(boost::asio::io_context &io, const Redis_Address &address, std::chrono::seconds room_wait);
    ~Redis_Store() override;
    // Connects; the listener hears Store_Changed(true) once the store is ready.
    void Start();
    // Disconnects for good (the relay stops): nothing more is answered.
    void Stop() override;

    void Set_Listener(Room_Listener *listener) override;
    bool Available() const override;
    bool Shared() const override { return true; }
    void Create(const std::string &code, const std::string &host_token, const std::string &creator, int most,
                Status_Done done) override;
    void Seat_Guest(const std::string &code, const std::string &token, int first, Status_Done done) override;
    void Append(const std::string &code, int number, const Stored_Move &move, Append_Done done) override;
    void Read(const std::string &code, Read_Done done) override;
    void Seat_Lost(const std::string &code, int side, std::chrono::seconds wait) override;
    void Seat_Back(const std::string &code, int side, bool was_lost) override;
    void End(const std::string &code, const std::string &reason, int side, Status_Done done) override;
    void Count_Failure(const std::string &address, Count_Done done) override;
    void Failures(const std::string &address, Count_Done done) override;
    void Follow(const std::string &code, Status_Done done) override;
    void Unfollow(const std::string &code) override;

private:
    std::unique_ptr<Redis_Link> link;
};
