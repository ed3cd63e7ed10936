// The network on Linux and the other POSIX desktops, and so under the testing
// seam: a WebSocket client of Boost.Beast over Boost.Asio, with OpenSSL for
// wss://, and addresses read by uriparser.
//
// Everything runs on the game's own thread: the io_context is polled once
// at the start of every frame (Read), which runs only the handlers whose
// work is ready and never waits. Of a connection's steps only the name
// lookup may take long, and Asio does that on a thread of its own. So no
// lock is needed, a frame sees exactly what had arrived when it began, and
// the timers (the connect and handshake timeouts, the heartbeat) run out
// between frames as everything else does. The connection lives in the
// handlers of the work it has under way; the network keeps only the one the
// game uses, and a connection closed or replaced closes itself in the
// background.
#include "hge_net.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <uriparser/Uri.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>

#include "hge.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace ssl = asio::ssl;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using beast::error_code;

static constexpr auto CONNECT_TIMEOUT = std::chrono::seconds(10);
static constexpr auto HANDSHAKE_TIMEOUT = std::chrono::seconds(10);
// A ping goes out when nothing has come for half of it; with no answer by
// its end the connection is taken as lost.
static constexpr auto IDLE_TIMEOUT = std::chrono::seconds(10);
// How long System_Shutdown lets the closes under way finish.
static constexpr auto STOP_WAIT = std::chrono::seconds(1);
static const char PLAIN_PORT[] = "80";
static const char SECURE_PORT[] = "443";
static constexpr unsigned long LARGEST_PORT = 65535;
static const char USER_AGENT[] = "TORVEK";

// ---------------------------------------------------------------- the address

namespace {

struct Address {
    bool secure = false;
    std::string host;  // a name or an IP address, without brackets
    bool host_is_ip = false;
    std::string port;
    std::string host_field;  // the handshake's Host: the host and any port given
    std::string target;      // the path and query
};

}  // namespace

static std::string Text(const UriTextRangeA &range)
{
    return range.first ? std::string(range.first, range.afterLast) : std::string();
}

static bool ReadScheme(const UriUriA &uri, Address &address)
{
    std::string scheme = Text(uri.scheme);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    address.secure = scheme == "wss";
    return address.secure || scheme == "ws";
}

static bool ReadPort(const UriUriA &uri, Address &address)
{
    const std::string port = Text(uri.portText);
    if (port.empty()) {
        address.port = address.secure ? SECURE_PORT : PLAIN_PORT;
        return true;
    }
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long number = std::stoul(port);
    address.port = std::to_string(number);
    return number >= 1 && number <= LARGEST_PORT;
}

static std::string Target(const UriUriA &uri)
{
    std::string target;
    for (const UriPathSegmentA *segment = uri.pathHead; segment; segment = segment->next)
        target += "/" + Text(segment->text);
    if (target.empty())
        target = "/";
    if (uri.query.first)
        target += "?" + Text(uri.query);
    return target;
}

static std::string AddressParts(const UriUriA &uri, Address &address)
{
    if (!ReadScheme(uri, address))
        return "is not a ws:// or wss:// address";
    address.host = Text(uri.hostText);
    if (address.host.empty())
        return "names no host";
    if (uri.userInfo.first)
        return "has a user name, which is not supported";
    if (uri.fragment.first)
        return "has a fragment (#), which a WebSocket address may not";
    if (!ReadPort(uri, address))
        return "has a port that is not a number from 1 to 65535";
    address.host_is_ip = uri.hostData.ip4 || uri.hostData.ip6;
    address.host_field = uri.hostData.ip6 ? "[" + address.host + "]" : address.host;
    if (uri.portText.first != uri.portText.afterLast)
        address.host_field += ":" + address.port;
    address.target = Target(uri);
    return "";
}

static bool ReadAddress(const std::string &url, Address &address, std::string *why)
{
    UriUriA uri;
    const char *error_at = nullptr;
    if (uriParseSingleUriA(&uri, url.c_str(), &error_at) != URI_SUCCESS) {
        *why = "the address \"" + url + "\" cannot be read";
        return false;
    }
    const std::string fault = AddressParts(uri, address);
    uriFreeUriMembersA(&uri);
    if (!fault.empty())
        *why = "the address \"" + url + "\" " + fault;
    return fault.empty();
}

// ---------------------------------------------------------------- the words

static std::string Unreachable(const error_code &error)
{
    if (error == beast::error::timeout)
        return "the relay cannot be reached: no answer in 10 s";
    return "the relay cannot be reached: " + error.message();
}

static std::string ClosedByRelay(const websocket::close_reason &reason)
{
    std::string words = "the relay closed the connection";
    if (!reason.reason.empty())
        words += ": " + std::string(reason.reason.data(), reason.reason.size());
    return words;
}

static std::string Refused(const error_code &error, const websocket::response_type &response)
{
    if (error == websocket::error::upgrade_declined)
        return "the relay refused the connection (HTTP " + std::to_string(response.result_int()) + " " +
               std::string(response.reason()) + ")";
    if (error == beast::error::timeout)
        return "the relay did not answer in 10 s";
    return "the relay did not answer as a WebSocket server: " + error.message();
}

static std::string Lost(const error_code &error)
{
    if (error == websocket::error::message_too_big)
        return "the relay sent a message over the limit of " + std::to_string(HGENET_MAX_MESSAGE) + " bytes";
    if (error == beast::error::timeout)
        return "the connection was lost: the relay stopped answering";
    return "the connection was lost";
}

// Adds the authorities in a PEM file to those `tls` trusts; "" when it
// could, else the words.
static std::string LoadAuthorities(ssl::context &tls, const std::string &file)
{
    if (!std::ifstream(file))
        return "the certificates in " + file + " cannot be read: " + std::strerror(errno);
    error_code error;
    tls.load_verify_file(file, error);
    if (error)
        return "the file " + file + " holds no certificate in PEM form";
    return "";
}

// ---------------------------------------------------------------- a connection

namespace {

// What the network holds of a connection, plain or secure.
class Link {
public:
    virtual ~Link() = default;
    virtual void Start() = 0;
    virtual void Send(std::string text) = 0;
    // Sends what is queued, then closes cleanly; reports nothing from then on.
    virtual void Close() = 0;

    std::vector<NetEvent> events;  // not yet read by the engine
};

using PlainStream = beast::tcp_stream;
using SecureStream = beast::ssl_stream<beast::tcp_stream>;

template <class Stream>
class Session : public Link, public std::enable_shared_from_this<Session<Stream>> {
public:
    static constexpr bool SECURE = std::is_same_v<Stream, SecureStream>;

    Session(asio::io_context &io, Address address, std::string ca_file)
        : address(std::move(address)), ca_file(std::move(ca_file)), resolver(io), ws(MakeStream(io))
    {
    }

    void Start() override
    {
        if constexpr (SECURE) {
            if (!TrustAuthorities())
                return;
        }
        resolver.async_resolve(address.host, address.port,
                               [self = this->shared_from_this()](error_code error, tcp::resolver::results_type found) {
                                   self->Resolved(error, found);
                               });
    }

    void Send(std::string text) override
    {
        outgoing.push_back(std::move(text));
        WriteNext();
    }

    void Close() override
    {
        if (closing)
            return;
        closing = true;
        events.clear();
        if (open)
            WriteNext();
        else
            Abandon();
    }

private:
    Stream MakeStream(asio::io_context &io)
    {
        if constexpr (SECURE)
            return Stream(io, tls);
        else
            return Stream(io);
    }

    void Report(NetEvent::Kind kind, std::string text = "", bool failed = false)
    {
        if (closing || ended)
            return;
        ended = kind == NetEvent::Kind::Ended;
        events.push_back({kind, std::move(text), failed});
    }

    void Fail(std::string words)
    {
        Report(NetEvent::Kind::Ended, std::move(words), true);
    }

    bool TrustAuthorities()
    {
        error_code error;
        tls.set_default_verify_paths(error);
        const std::string fault = ca_file.empty() ? "" : LoadAuthorities(tls, ca_file);
        if (!fault.empty())
            Fail(fault);
        return fault.empty();
    }

    void Resolved(const error_code &error, const tcp::resolver::results_type &found)
    {
        if (error)
            return Fail("the relay cannot be reached: " + address.host + ": " + error.message());
        beast::tcp_stream &socket = beast::get_lowest_layer(ws);
        socket.expires_after(CONNECT_TIMEOUT);
        socket.async_connect(found, [self = this->shared_from_this()](error_code error, const tcp::endpoint &) {
            self->Connected(error);
        });
    }

    void Connected(const error_code &error)
    {
        if (error)
            return Fail(Unreachable(error));
        // A move is a few dozen bytes: sent at once, not held back for more.
        error_code ignored;
        beast::get_lowest_layer(ws).socket().set_option(tcp::no_delay(true), ignored);
        if constexpr (SECURE) {
            CheckTheRelaysCertificate();
            ws.next_layer().async_handshake(ssl::stream_base::client,
                                            [self = this->shared_from_this()](error_code error) {
                                                self->Secured(error);
                                            });
        } else {
            Upgrade();
        }
    }

    // The connection's own settings: it took its context's when it was made.
    // The certificate must be for the name (also sent for the server to
    // choose its certificate by) or the IP address.
    void CheckTheRelaysCertificate()
    {
        ws.next_layer().set_verify_mode(ssl::verify_peer);
        SSL *handle = ws.next_layer().native_handle();
        SSL_set_min_proto_version(handle, TLS1_2_VERSION);
        if (address.host_is_ip) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(handle), address.host.c_str());
            return;
        }
        SSL_set_tlsext_host_name(handle, address.host.c_str());
        SSL_set1_host(handle, address.host.c_str());
    }

    void Secured(const error_code &error)
    {
        if (!error)
            return Upgrade();
        const long verified = SSL_get_verify_result(ws.next_layer().native_handle());
        if (verified != X509_V_OK)
            return Fail(std::string("the certificate could not be verified: ") +
                        X509_verify_cert_error_string(verified));
        Fail("the secure connection failed: " + error.message());
    }

    void Upgrade()
    {
        // From here on the WebSocket's own timers watch the connection.
        beast::get_lowest_layer(ws).expires_never();
        ws.set_option(websocket::stream_base::timeout{HANDSHAKE_TIMEOUT, IDLE_TIMEOUT, true});
        ws.set_option(websocket::stream_base::decorator(
            [](websocket::request_type &request) { request.set(beast::http::field::user_agent, USER_AGENT); }));
        ws.read_message_max(HGENET_MAX_MESSAGE);
        ws.async_handshake(response, address.host_field, address.target,
                           [self = this->shared_from_this()](error_code error) { self->Upgraded(error); });
    }

    void Upgraded(const error_code &error)
    {
        if (error)
            return Fail(Refused(error, response));
        open = true;
        ws.text(true);
        Report(NetEvent::Kind::Opened);
        ReadNext();
        WriteNext();
    }

    void ReadNext()
    {
        ws.async_read(incoming, [self = this->shared_from_this()](error_code error, size_t) { self->Arrived(error); });
    }

    void Arrived(const error_code &error)
    {
        if (error)
            return Ended(error);
        if (ws.got_text())
            Report(NetEvent::Kind::Message, beast::buffers_to_string(incoming.data()));
        else if (!closing)
            LogNetwork("a binary message from the relay is dropped");
        incoming.consume(incoming.size());
        ReadNext();
    }

    void Ended(const error_code &error)
    {
        if (error == websocket::error::closed)
            return Report(NetEvent::Kind::Ended, ClosedByRelay(ws.reason()));
        if (!closing && !ended)
            LogNetwork("the connection to " + address.host_field + " ended: " + error.message());
        Fail(Lost(error));
    }

    void WriteNext()
    {
        if (!open || writing || ended || close_sent)
            return;
        if (outgoing.empty()) {
            if (closing)
                CloseNow();
            return;
        }
        writing = true;
        ws.async_write(asio::buffer(outgoing.front()),
                       [self = this->shared_from_this()](error_code error, size_t) { self->Written(error); });
    }

    void Written(const error_code &error)
    {
        writing = false;
        if (error)
            return Ended(error);
        outgoing.pop_front();
        WriteNext();
    }

    void CloseNow()
    {
        close_sent = true;
        ws.async_close(websocket::close_code::normal, [self = this->shared_from_this()](error_code) {});
    }

    // Before the handshake there is nothing to close cleanly.
    void Abandon()
    {
        resolver.cancel();
        error_code ignored;
        beast::get_lowest_layer(ws).socket().close(ignored);
    }

    Address address;
    std::string ca_file;
    ssl::context tls{ssl::context::tls_client};  // before the stream, which uses it
    tcp::resolver resolver;
    websocket::stream<Stream> ws;
    websocket::response_type response;
    beast::flat_buffer incoming;
    std::deque<std::string> outgoing;
    bool open = false;     // the handshake is done
    bool writing = false;  // the front of `outgoing` is being written
    bool closing = false;  // the engine is done with it
    bool close_sent = false;
    bool ended = false;  // its end was reported
};

// The one io_context and the connection the game uses; made at the first
// connect, let go at Stop.
struct AsioNet {
    asio::io_context io{1};
    std::shared_ptr<Link> current;
};

}  // namespace

static std::unique_ptr<AsioNet> asio_net;

static void DropCurrent()
{
    if (asio_net && asio_net->current) {
        asio_net->current->Close();
        asio_net->current.reset();
    }
}

static bool Open(const std::string &url, const std::string &ca_file, std::string *why)
{
    Address address;
    if (!ReadAddress(url, address, why))
        return false;
    DropCurrent();
    if (!asio_net)
        asio_net = std::make_unique<AsioNet>();
    if (address.secure)
        asio_net->current = std::make_shared<Session<SecureStream>>(asio_net->io, std::move(address), ca_file);
    else
        asio_net->current = std::make_shared<Session<PlainStream>>(asio_net->io, std::move(address), ca_file);
    asio_net->current->Start();
    return true;
}

static void Send(const std::string &text)
{
    if (asio_net && asio_net->current)
        asio_net->current->Send(text);
}

static void Read(std::vector<NetEvent> &events)
{
    if (!asio_net)
        return;
    if (asio_net->io.stopped())
        asio_net->io.restart();
    asio_net->io.poll();
    if (!asio_net->current)
        return;
    std::vector<NetEvent> &reported = asio_net->current->events;
    std::move(reported.begin(), reported.end(), std::back_inserter(events));
    reported.clear();
}

static void Stop()
{
    if (!asio_net)
        return;
    DropCurrent();
    asio_net->io.restart();
    asio_net->io.run_for(STOP_WAIT);
    // What is still under way goes with the io_context's handlers.
    asio_net.reset();
}

static bool CanTrust(const std::string &file, std::string *why)
{
    ssl::context tls(ssl::context::tls_client);
    *why = LoadAuthorities(tls, file);
    return why->empty();
}

static const NetPlatform asio_network = {
    .Open = Open,
    .Send = Send,
    .Read = Read,
    .Close = DropCurrent,
    .Stop = Stop,
    .CanTrust = CanTrust,
};

const NetPlatform *AsioNetwork()
{
    return &asio_network;
}
