#include "sessions.h"

#include <algorithm>

#include "http_sessions.h"
#include "relay_tls.h"

Relay_Core::Relay_Core(const Relay_Options &options, const Store_Maker &make_store)
    : options(options), store(make_store ? make_store(io) : std::make_unique<Memory_Store>()),
      lobby(*store, Lobby_Settings{options.room_wait_seconds, TORVEK_VERSION}), acceptor(io),
      tick(io), stop_deadline(io)
{
}

void Start_Session(Relay_Core &core, tcp::socket socket)
{
    Error_Code error;
    const tcp::endpoint remote = socket.remote_endpoint(error);
    if (error)
        return;
    // Moves are small messages that should leave at once, not wait for an
    // acknowledgement of the one before (Nagle's algorithm).
    socket.set_option(tcp::no_delay(true), error);
    const std::string address = remote.address().to_string();
    const auto &proxies = core.options.proxies;
    const bool proxied = std::find(proxies.begin(), proxies.end(), address) != proxies.end();
    Address_Hold hold(core, address, !proxied && core.lobby.Admit(address), proxied);
    if (core.tls)
        Start_Tls_Session(core, std::move(socket), std::move(hold));
    else
        std::make_shared<Http_Session<Plain_Stream>>(core, Plain_Stream(std::move(socket)), std::move(hold))->Begin();
}

// Copies first: a session may end, and leave the set, while it is told.
static std::vector<Session_Base *> Every_Session(Relay_Core &core)
{
    return std::vector<Session_Base *>(core.sessions.begin(), core.sessions.end());
}

void Shut_Sessions(Relay_Core &core)
{
    for (Session_Base *session : Every_Session(core))
        if (core.sessions.count(session))
            session->Shut();
}

void Kill_Sessions(Relay_Core &core)
{
    for (Session_Base *session : Every_Session(core))
        if (core.sessions.count(session))
            session->Kill();
}
