// A running relay: the listening socket, every connection and the rooms, on
// one io_context of its own. torvek-relay's main runs it until a signal
// stops it; the game's --host starts one and either calls Poll once a frame
// (nothing blocks: the relay's work waits for the next frame) or calls Run on
// a thread of its own and Stop from the game's thread when it quits.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "options.h"
#include "room_store.h"

namespace boost::asio {
class io_context;
}

struct Relay_Core;
// Makes the rooms' store on the relay's event loop; none: the relay's own memory.
using Store_Maker = std::function<std::unique_ptr<Room_Store>(boost::asio::io_context &)>;

class Relay_Server {
public:
    explicit Relay_Server(const Relay_Options &options, const Store_Maker &make_store = {});
    ~Relay_Server();
    Relay_Server(const Relay_Server &) = delete;
    Relay_Server &operator=(const Relay_Server &) = delete;

    // Loads the certificate, binds and listens; false with a few words on why not.
    bool Start(std::string &error);
    // Where clients connect ("ws://127.0.0.1:7357/"), and the page's address
    // when there is one (else empty); the port is the one bound, after Start.
    std::string Relay_Url() const;
    std::string Page_Url() const;
    unsigned short Port() const;

    // Runs until Stop has closed every connection.
    void Run();
    // Does what is ready now and returns at once: the number of handlers run.
    std::size_t Poll();
    // From any thread: every room is told it ends, every connection closed
    // cleanly (those that do not answer within a few seconds, at once).
    void Stop();
    // SIGINT and SIGTERM call Stop (for torvek-relay; the game has its own ways to quit).
    void Stop_On_Signals();
    // True once Stop has finished: Run has returned, Poll does nothing more.
    bool Stopped() const;

private:
    std::unique_ptr<Relay_Core> core;
};
