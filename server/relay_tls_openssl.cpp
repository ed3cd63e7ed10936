#include "relay_tls.h"

#include <boost/asio/ssl.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include "http_sessions.h"

using Tls_Stream = beast::ssl_stream<beast::tcp_stream>;

struct Relay_Tls {
    asio::ssl::context context{asio::ssl::context::tls_server};
};

template <>
struct Stream_Layer<Tls_Stream> {
    static constexpr bool tls = true;

    template <class Done>
    static void Handshake(Tls_Stream &stream, Done &&done)
    {
        stream.async_handshake(asio::ssl::stream_base::server, [done = std::move(done)](Error_Code error) {
            if (!error)
                done();
        });
    }

    template <class Keep>
    static void Shut_Down(Tls_Stream &stream, Keep &&session)
    {
        beast::get_lowest_layer(stream).expires_after(HANDSHAKE_TIME);
        stream.async_shutdown([session = std::move(session)](Error_Code) {});
    }
};

bool Load_Tls(const Relay_Options &options, std::shared_ptr<Relay_Tls> &tls, std::string &error)
{
    if (options.tls_cert.empty())
        return true;
    try {
        auto loaded = std::make_shared<Relay_Tls>();
        asio::ssl::context &context = loaded->context;
        context.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                            asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                            asio::ssl::context::no_tlsv1_1);
        context.use_certificate_chain_file(options.tls_cert);
        context.use_private_key_file(options.tls_key, asio::ssl::context::pem);
        tls = std::move(loaded);
    } catch (const boost::system::system_error &failure) {
        error = "cannot use the certificate " + options.tls_cert + " and key " + options.tls_key + ": " +
                failure.code().message();
        return false;
    }
    return true;
}

void Start_Tls_Session(Relay_Core &core, tcp::socket socket, Address_Hold &&hold)
{
    std::make_shared<Http_Session<Tls_Stream>>(core, Tls_Stream(std::move(socket), core.tls->context),
                                               std::move(hold))
        ->Begin();
}
