#include "listen_port.h"

using Exclusive_Address = boost::asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;

void Claim_Port(boost::asio::ip::tcp::acceptor &acceptor, boost::system::error_code &error)
{
    acceptor.set_option(Exclusive_Address(true), error);
}
