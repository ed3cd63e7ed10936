#include "sessions.h"

#include <algorithm>
#include <deque>
#include <memory>

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include "page.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Error_Code = beast::error_code;

using Plain_Stream = beast::tcp_stream;
using Tls_Stream = beast::ssl_stream<beast::tcp_stream>;
using Request = http::request<http::string_body>;

// A TLS handshake and a request, or the WebSocket handshake, must be done in this time.
constexpr auto HANDSHAKE_TIME = std::chrono::seconds(10);
// Silent this long, a connection is pinged; twice as long, it is closed.
constexpr auto IDLE_TIME = std::chrono::seconds(10);
// Beast's own limit; the lobby answers messages between MESSAGE_LIMIT and this.
constexpr std::size_t READ_MESSAGE_MAX = 64 * 1024;
constexpr std::size_t REQUEST_HEADER_MAX = 8 * 1024;
constexpr std::size_t REQUEST_BODY_MAX = 1024;
// A read buffer grown by a large message is given back above this.
constexpr std::size_t READ_BUFFER_KEEP = 8 * 1024;
// A client that reads nothing is dropped rather than queued for without end.
constexpr std::size_t SEND_QUEUE_MESSAGES = 256;
constexpr std::size_t SEND_QUEUE_BYTES = 1024 * 1024;
constexpr const char *SERVER_NAME = "torvek-relay";

Relay_Core::Relay_Core(const Relay_Options &options, const Store_Maker &make_store)
    : options(options), store(make_store ? make_store(io) : std::make_unique<Memory_Store>()),
      lobby(*store, Lobby_Settings{options.room_wait_seconds, TORVEK_VERSION}), acceptor(io),
      tick(io), stop_deadline(io)
{
}

// Holds one of the address's counted connections until the session that
// has it ends; moves from the HTTP session to the WebSocket's.
class Address_Hold {
public:
    // `proxied`: the connection is a proxy's, whose client's address comes
    // with its request; nothing is counted until then.
    Address_Hold(Relay_Core &core, std::string address, bool admitted, bool proxied = false)
        : core(&core), address(std::move(address)), admitted(admitted), proxied(proxied)
    {
    }
    Address_Hold(Address_Hold &&other) noexcept
        : core(other.core), address(std::move(other.address)), admitted(other.admitted), proxied(other.proxied)
    {
        other.admitted = false;
    }
    Address_Hold(const Address_Hold &) = delete;
    ~Address_Hold()
    {
        if (admitted)
            core->lobby.Release(address);
    }
    const std::string &Address() const { return address; }
    bool Admitted() const { return admitted; }
    // The client's address as the proxy forwarded it (the last of
    // X-Forwarded-For, the one the proxy itself added), counted from now on.
    void Forwarded(const std::string &header)
    {
        if (!proxied)
            return;
        proxied = false;
        const std::size_t comma = header.rfind(',');
        std::string client = header.substr(comma == std::string::npos ? 0 : comma + 1);
        client.erase(0, client.find_first_not_of(' '));
        client.erase(client.find_last_not_of(' ') + 1);
        if (!client.empty())
            address = client;
        admitted = core->lobby.Admit(address);
    }

private:
    Relay_Core *core;
    std::string address;
    bool admitted;
    bool proxied;
};

// Registers a session with the core for as long as it lives.
class Registered : public Session_Base {
public:
    explicit Registered(Relay_Core &core) : core(core) { core.sessions.insert(this); }
    ~Registered() override
    {
        core.sessions.erase(this);
        if (core.stopping && core.sessions.empty())
            core.stop_deadline.cancel();
    }

protected:
    Relay_Core &core;
};

static bool Uses_Tls(const Plain_Stream &) { return false; }
static bool Uses_Tls(const Tls_Stream &) { return true; }

static std::string_view View(beast::string_view text)
{
    return {text.data(), text.size()};
}

static bool Same_Text(beast::string_view a, std::string_view b)
{
    return beast::iequals(a, beast::string_view(b.data(), b.size()));
}

// A browser's connection only from the relay's own page or a named origin.
static bool Origin_Allowed(const Relay_Core &core, const Request &request, bool tls)
{
    const auto origin = request.find(http::field::origin);
    if (origin == request.end())
        return true;
    const std::string own = std::string(tls ? "https://" : "http://") + std::string(View(request[http::field::host]));
    if (Same_Text(origin->value(), own))
        return true;
    for (const std::string &allowed : core.options.origins)
        if (Same_Text(origin->value(), allowed))
            return true;
    return false;
}

// ---------------------------------------------------------------- WebSocket

template <class Stream>
class Ws_Session : public Registered, public Relay_Peer, public std::enable_shared_from_this<Ws_Session<Stream>> {
public:
    Ws_Session(Relay_Core &core, Stream &&stream, Address_Hold &&hold)
        : Registered(core), ws(std::move(stream)), hold(std::move(hold))
    {
    }

    void Accept(const Request &request)
    {
        beast::get_lowest_layer(ws).expires_never();
        websocket::stream_base::timeout timeout{};
        timeout.handshake_timeout = HANDSHAKE_TIME;
        timeout.idle_timeout = IDLE_TIME;
        timeout.keep_alive_pings = true;
        ws.set_option(timeout);
        ws.read_message_max(READ_MESSAGE_MAX);
        ws.set_option(websocket::stream_base::decorator(
            [](websocket::response_type &response) { response.set(http::field::server, SERVER_NAME); }));
        ws.async_accept(request, [self = this->shared_from_this()](Error_Code error) { self->Accepted(error); });
    }

    void Send(std::string text) override
    {
        if (closing || finished)
            return;
        if (queue.size() >= SEND_QUEUE_MESSAGES || queued_bytes + text.size() > SEND_QUEUE_BYTES) {
            Kill();
            return;
        }
        queued_bytes += text.size();
        queue.push_back(std::move(text));
        if (!writing)
            Write_Next();
    }

    void Close(int code, const char *reason) override
    {
        if (close_wanted || finished)
            return;
        close_wanted = true;
        close_reason = websocket::close_reason(static_cast<websocket::close_code>(code), reason);
        if (!writing)
            Close_Now();
    }

    void Shut() override
    {
        if (!open) {
            Kill();
            return;
        }
        Close(CLOSE_GOING_AWAY, "shutdown");
    }

    void Kill() override
    {
        Error_Code ignored;
        beast::get_lowest_layer(ws).socket().close(ignored);
    }

private:
    void Accepted(Error_Code error)
    {
        if (error)
            return;
        open = true;
        id = core.lobby.Open(*this, hold.Address());
        if (core.stopping)
            Close(CLOSE_GOING_AWAY, "shutdown");
        Read();
    }

    void Read()
    {
        ws.async_read(buffer, [self = this->shared_from_this()](Error_Code error, std::size_t) {
            self->Received(error);
        });
    }

    void Received(Error_Code error)
    {
        if (error) {
            Finish();
            return;
        }
        const auto data = buffer.cdata();
        core.lobby.Receive(id, std::string_view(static_cast<const char *>(data.data()), data.size()),
                           !ws.got_text(), Relay_Clock::now());
        buffer.consume(buffer.size());
        if (buffer.capacity() > READ_BUFFER_KEEP)
            buffer.shrink_to_fit();
        Read();
    }

    void Write_Next()
    {
        writing = true;
        ws.text(true);
        ws.async_write(asio::buffer(queue.front()), [self = this->shared_from_this()](Error_Code error, std::size_t) {
            self->Written(error);
        });
    }

    void Written(Error_Code error)
    {
        writing = false;
        queued_bytes -= queue.front().size();
        queue.pop_front();
        if (error) {
            queue.clear();
            queued_bytes = 0;
            return;
        }
        if (!queue.empty())
            Write_Next();
        else if (close_wanted)
            Close_Now();
    }

    void Close_Now()
    {
        closing = true;
        ws.async_close(close_reason, [self = this->shared_from_this()](Error_Code) {});
    }

    // The read loop has ended: the connection is gone for the lobby.
    void Finish()
    {
        if (finished)
            return;
        finished = true;
        core.lobby.Close(id, Relay_Clock::now());
    }

    websocket::stream<Stream> ws;
    Address_Hold hold;
    beast::flat_buffer buffer;
    std::deque<std::string> queue;
    std::size_t queued_bytes = 0;
    Connection_Id id = 0;
    websocket::close_reason close_reason;
    bool open = false;
    bool writing = false;
    bool close_wanted = false;
    bool closing = false;
    bool finished = false;
};

// ---------------------------------------------------------------- HTTP

template <class Stream>
class Http_Session : public Registered, public std::enable_shared_from_this<Http_Session<Stream>> {
public:
    Http_Session(Relay_Core &core, Stream &&stream, Address_Hold &&hold)
        : Registered(core), stream(std::move(stream)), hold(std::move(hold))
    {
    }

    void Begin()
    {
        beast::get_lowest_layer(stream).expires_after(HANDSHAKE_TIME);
        if constexpr (std::is_same_v<Stream, Tls_Stream>)
            stream.async_handshake(asio::ssl::stream_base::server,
                                   [self = this->shared_from_this()](Error_Code error) {
                                       if (!error)
                                           self->Read();
                                   });
        else
            Read();
    }

    void Shut() override { Kill(); }

    void Kill() override
    {
        Error_Code ignored;
        beast::get_lowest_layer(stream).socket().close(ignored);
    }

private:
    void Read()
    {
        parser.emplace();
        parser->header_limit(REQUEST_HEADER_MAX);
        parser->body_limit(REQUEST_BODY_MAX);
        beast::get_lowest_layer(stream).expires_after(HANDSHAKE_TIME);
        http::async_read(stream, buffer, *parser, [self = this->shared_from_this()](Error_Code error, std::size_t) {
            self->Requested(error);
        });
    }

    void Requested(Error_Code error)
    {
        if (error)
            return;
        Request request = parser->release();
        hold.Forwarded(std::string(View(request["X-Forwarded-For"])));
        if (!hold.Admitted()) {
            Answer(request, http::status::too_many_requests, "too many connections from this address\n", false);
            return;
        }
        if (websocket::is_upgrade(request)) {
            Upgrade(request);
            return;
        }
        Serve_Page(request);
    }

    void Upgrade(const Request &request)
    {
        if (core.stopping) {
            Answer(request, http::status::service_unavailable, "the relay is stopping\n", false);
            return;
        }
        if (!Origin_Allowed(core, request, Uses_Tls(stream))) {
            Answer(request, http::status::forbidden, "connections from that page are not accepted\n", false);
            return;
        }
        auto session = std::make_shared<Ws_Session<Stream>>(core, std::move(stream), std::move(hold));
        session->Accept(request);
    }

    void Serve_Page(const Request &request)
    {
        if (request.method() != http::verb::get && request.method() != http::verb::head) {
            Answer(request, http::status::method_not_allowed, "only GET and HEAD\n", request.keep_alive());
            return;
        }
        std::string path;
        http::file_body::value_type file;
        Error_Code error;
        if (!core.options.page_folder.empty() && Page_File(core.options.page_folder, View(request.target()), path))
            file.open(path.c_str(), beast::file_mode::scan, error);
        if (core.options.page_folder.empty() || path.empty() || error) {
            Answer(request, http::status::not_found, "not found\n", request.keep_alive());
            return;
        }
        const auto size = file.size();
        if (request.method() == http::verb::head) {
            auto response = std::make_shared<http::response<http::empty_body>>(http::status::ok, request.version());
            Head(*response, request, path);
            response->content_length(size);
            Write(response);
            return;
        }
        auto response = std::make_shared<http::response<http::file_body>>(
            std::piecewise_construct, std::make_tuple(std::move(file)),
            std::make_tuple(http::status::ok, request.version()));
        Head(*response, request, path);
        response->content_length(size);
        Write(response);
    }

    template <class Response>
    static void Head(Response &response, const Request &request, const std::string &path)
    {
        response.set(http::field::server, SERVER_NAME);
        response.set(http::field::content_type, Page_Type(path));
        response.keep_alive(request.keep_alive());
    }

    void Answer(const Request &request, http::status status, const char *text, bool keep_alive)
    {
        auto response = std::make_shared<http::response<http::string_body>>(status, request.version());
        response->set(http::field::server, SERVER_NAME);
        response->set(http::field::content_type, "text/plain; charset=utf-8");
        response->keep_alive(keep_alive);
        response->body() = text;
        response->prepare_payload();
        Write(response);
    }

    template <class Response>
    void Write(const std::shared_ptr<Response> &response)
    {
        http::async_write(stream, *response,
                          [self = this->shared_from_this(), response](Error_Code error, std::size_t) {
                              if (error)
                                  return;
                              if (response->keep_alive())
                                  self->Read();
                              else
                                  self->Shut_Down();
                          });
    }

    void Shut_Down()
    {
        Error_Code ignored;
        if constexpr (std::is_same_v<Stream, Tls_Stream>) {
            beast::get_lowest_layer(stream).expires_after(HANDSHAKE_TIME);
            stream.async_shutdown([self = this->shared_from_this()](Error_Code) {});
        } else {
            stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        }
    }

    Stream stream;
    Address_Hold hold;
    beast::flat_buffer buffer;
    std::optional<http::request_parser<http::string_body>> parser;
};

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
        std::make_shared<Http_Session<Tls_Stream>>(core, Tls_Stream(std::move(socket), *core.tls), std::move(hold))
            ->Begin();
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
