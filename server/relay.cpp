#include "relay.h"

#include "listen_port.h"
#include "relay_tls.h"
#include "sessions.h"

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

// How often rooms are checked for a lost player's wait running out.
constexpr auto TICK_TIME = std::chrono::milliseconds(250);
// Connections that have not answered the close by then are closed at once.
constexpr auto STOP_GRACE = std::chrono::seconds(3);

Relay_Server::Relay_Server(const Relay_Options &options, const Store_Maker &make_store)
    : core(std::make_unique<Relay_Core>(options, make_store))
{
}

// Handlers still queued hold sessions that reach into the core: with every
// socket and timer closed they all finish, and none is left for the
// io_context to destroy after the lobby.
constexpr int DRAIN_ROUNDS = 100;

Relay_Server::~Relay_Server()
{
    boost::system::error_code ignored;
    core->stopping = true;
    core->acceptor.close(ignored);
    core->tick.cancel();
    core->stop_deadline.cancel();
    if (core->signals)
        core->signals->cancel(ignored);
    core->store->Stop();
    Kill_Sessions(*core);
    core->io.restart();
    for (int round = 0; round < DRAIN_ROUNDS && core->io.poll() > 0; ++round)
        Kill_Sessions(*core);
}

static bool Listen(Relay_Core &core, std::string &error)
{
    boost::system::error_code code;
    const auto address = asio::ip::make_address(core.options.address, code);
    if (code) {
        error = "cannot read the address " + core.options.address;
        return false;
    }
    const tcp::endpoint endpoint(address, core.options.port);
    core.acceptor.open(endpoint.protocol(), code);
    if (!code)
        Claim_Port(core.acceptor, code);
    if (!code)
        core.acceptor.bind(endpoint, code);
    if (!code)
        core.acceptor.listen(asio::socket_base::max_listen_connections, code);
    if (code) {
        error = "cannot listen on " + core.options.address + ":" + std::to_string(core.options.port) + ": " +
                code.message();
        return false;
    }
    return true;
}

static void Accept_Next(Relay_Core &core)
{
    core.acceptor.async_accept([&core](boost::system::error_code error, tcp::socket socket) {
        if (core.stopping)
            return;
        if (!error)
            Start_Session(core, std::move(socket));
        // Out of descriptors and the like: try again rather than stop listening.
        Accept_Next(core);
    });
}

static void Tick_Next(Relay_Core &core)
{
    core.tick.expires_after(TICK_TIME);
    core.tick.async_wait([&core](boost::system::error_code error) {
        if (error || core.stopping)
            return;
        core.lobby.Tick(Relay_Clock::now());
        Tick_Next(core);
    });
}

bool Relay_Server::Start(std::string &error)
{
    if (!Load_Tls(core->options, core->tls, error) || !Listen(*core, error))
        return false;
    Accept_Next(*core);
    Tick_Next(*core);
    return true;
}

unsigned short Relay_Server::Port() const
{
    boost::system::error_code ignored;
    return core->acceptor.local_endpoint(ignored).port();
}

static std::string Host_Port(const Relay_Core &core, unsigned short port)
{
    const bool v6 = core.options.address.find(':') != std::string::npos;
    return (v6 ? "[" + core.options.address + "]" : core.options.address) + ":" + std::to_string(port);
}

std::string Relay_Server::Relay_Url() const
{
    return std::string(core->tls ? "wss://" : "ws://") + Host_Port(*core, Port()) + "/";
}

std::string Relay_Server::Page_Url() const
{
    if (core->options.page_folder.empty())
        return "";
    return std::string(core->tls ? "https://" : "http://") + Host_Port(*core, Port()) + "/";
}

void Relay_Server::Run()
{
    core->io.run();
    core->stopped = true;
}

std::size_t Relay_Server::Poll()
{
    const std::size_t handlers = core->io.poll();
    if (core->io.stopped() && core->stopping)
        core->stopped = true;
    return handlers;
}

static void Begin_Stop(Relay_Core &core)
{
    if (core.stopping)
        return;
    core.stopping = true;
    boost::system::error_code ignored;
    core.acceptor.close(ignored);
    core.tick.cancel();
    if (core.signals)
        core.signals->cancel(ignored);
    core.lobby.Shutdown();
    core.store->Stop();
    Shut_Sessions(core);
    if (core.sessions.empty())
        return;
    // The last session to end cancels this (sessions.cpp).
    core.stop_deadline.expires_after(STOP_GRACE);
    core.stop_deadline.async_wait([&core](boost::system::error_code error) {
        if (!error)
            Kill_Sessions(core);
    });
}

void Relay_Server::Stop()
{
    asio::post(core->io, [this] { Begin_Stop(*core); });
}

void Relay_Server::Stop_On_Signals()
{
    core->signals.emplace(core->io, SIGINT, SIGTERM);
    core->signals->async_wait([this](boost::system::error_code error, int) {
        if (!error)
            Begin_Stop(*core);
    });
}

bool Relay_Server::Stopped() const
{
    return core->stopped;
}
