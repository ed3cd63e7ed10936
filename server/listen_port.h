// How the relay's listening socket holds its port, as each system needs:
// listen_port_linux.cpp lets it bind a port whose last connections are
// still closing (SO_REUSEADDR); listen_port_windows.cpp keeps every other
// socket off the port (SO_EXCLUSIVEADDRUSE), where SO_REUSEADDR would let a
// second relay bind the same one, and the next free port never be tried.
// CMake chooses.
#pragma once

#include <boost/asio/ip/tcp.hpp>

// On an open acceptor, before it binds.
void Claim_Port(boost::asio::ip::tcp::acceptor &acceptor, boost::system::error_code &error);
