#include "relay_tls.h"

bool Load_Tls(const Relay_Options &options, std::shared_ptr<Relay_Tls> &, std::string &error)
{
    if (options.tls_cert.empty())
        return true;
    error = "this relay is built without TLS: it cannot use the certificate " + options.tls_cert;
    return false;
}

// Never called: Load_Tls loads nothing, so every session is a plain one.
void Start_Tls_Session(Relay_Core &, boost::asio::ip::tcp::socket, Address_Hold &&) {}
