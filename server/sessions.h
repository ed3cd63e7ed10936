// The relay's insides over Boost.Beast: what every connection shares (the
// io_context, the lobby, the TLS context if any, the page's folder) and the start of
// a session for each accepted socket. Relay_Server (relay.cpp) owns the core
// and calls Start_Session from its accept loop, and Shut_Sessions and
// Kill_Sessions when it stops.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include "lobby.h"
#include "memory_store.h"
#include "relay.h"
#include "options.h"

struct Relay_Tls;

// A session as the core sees it, to stop it.
class Session_Base {
public:
    virtual ~Session_Base() = default;
    // A clean close: a WebSocket is told 1001, a page's connection is shut.
    virtual void Shut() = 0;
    // The socket closed at once.
    virtual void Kill() = 0;
};

struct Relay_Core {
    Relay_Core(const Relay_Options &options, const Store_Maker &make_store);

    Relay_Options options;
    boost::asio::io_context io;
    std::unique_ptr<Room_Store> store;
    Lobby lobby;
    std::shared_ptr<Relay_Tls> tls;  // none: plain TCP
    boost::asio::ip::tcp::acceptor acceptor;
    boost::asio::steady_timer tick;
    boost::asio::steady_timer stop_deadline;
    std::optional<boost::asio::signal_set> signals;
    std::unordered_set<Session_Base *> sessions;
    bool stopping = false;
    bool stopped = false;
};

void Start_Session(Relay_Core &core, boost::asio::ip::tcp::socket socket);
void Shut_Sessions(Relay_Core &core);
void Kill_Sessions(Relay_Core &core);
