// The relay's listening with TLS (torvek-relay's --tls-cert and --tls-key):
// relay_tls_openssl.cpp over OpenSSL, or relay_tls_none.cpp in a build
// whose relay listens without TLS only (Windows', where the relay is the
// game's own, which never listens with TLS). CMake chooses.
#pragma once

#include <memory>
#include <string>

#include <boost/asio/ip/tcp.hpp>

#include "options.h"

struct Relay_Core;
struct Relay_Tls;
class Address_Hold;

// Loads the certificate chain and key the options name into `tls`, or
// leaves it empty when they name none; false with a few words on why not.
bool Load_Tls(const Relay_Options &options, std::shared_ptr<Relay_Tls> &tls, std::string &error);

// The session of an accepted connection when core.tls holds what Load_Tls loaded.
void Start_Tls_Session(Relay_Core &core, boost::asio::ip::tcp::socket socket, Address_Hold &&hold);
