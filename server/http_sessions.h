// The sessions of the relay over any stream Beast reads and writes: an HTTP
// session for each accepted connection, which serves the page or becomes the
// WebSocket session of a client. sessions.cpp runs them over plain TCP,
// relay_tls_openssl.cpp over TLS; what differs between the two streams (the
// handshake, the shutdown) is each one's Stream_Layer.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "page.h"
#include "sessions.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Error_Code = beast::error_code;

using Plain_Stream = beast::tcp_stream;
using Request = http::request<http::string_body>;

// A TLS handshake and a request, or the WebSocket handshake, must be done in this time.
inline constexpr auto HANDSHAKE_TIME = std::chrono::seconds(10);
// Silent this long, a connection is pinged; twice as long, it is closed.
inline constexpr auto IDLE_TIME = std::chrono::seconds(10);
// Beast's own limit; the lobby answers messages between MESSAGE_LIMIT and this.
inline constexpr std::size_t READ_MESSAGE_MAX = 64 * 1024;
inline constexpr std::size_t REQUEST_HEADER_MAX = 8 * 1024;
inline constexpr std::size_t REQUEST_BODY_MAX = 1024;
// A read buffer grown by a large message is given back above this.
inline constexpr std::size_t READ_BUFFER_KEEP = 8 * 1024;
// A client that reads nothing is dropped rather than queued for without end.
inline constexpr std::size_t SEND_QUEUE_MESSAGES = 256;
inline constexpr std::size_t SEND_QUEUE_BYTES = 1024 * 1024;
inline constexpr const char *SERVER_NAME = "torvek-relay";


// What a stream does before the first request and after the last answer:
//   static constexpr bool tls;
//   static void Handshake(Stream &, Done done);      done() once it may be read
//   static void Shut_Down(Stream &, Keep session);   the session kept until done
template <class Stream>
struct Stream_Layer;

template <>
struct Stream_Layer<Plain_Stream> {
    static constexpr bool tls = false;

    template <class Done>
    static void Handshake(Plain_Stream &, Done &&done)
    {
        done();
    }

    template <class Keep>
    static void Shut_Down(Plain_Stream &stream, Keep &&)
    {
        Error_Code ignored;
        stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    }
};

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

inline std::string_view View(beast::string_view text)
{
    return {text.data(), text.size()};
}

inline bool Same_Text(beast::string_view a, std::string_view b)
{
    return beast::iequals(a, beast::string_view(b.data(), b.size()));
}

// A browser's connection only from the relay's own page or a named origin.
inline bool Origin_Allowed(const Relay_Core &core, const Request &request, bool tls)
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
        Stream_Layer<Stream>::Handshake(stream, [self = this->shared_from_this()] { self->Read(); });
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
        if (!Origin_Allowed(core, request, Stream_Layer<Stream>::tls)) {
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
        Stream_Layer<Stream>::Shut_Down(stream, this->shared_from_this());
    }

    Stream stream;
    Address_Hold hold;
    beast::flat_buffer buffer;
    std::optional<http::request_parser<http::string_body>> parser;
};

