#include "listen_port.h"

void Claim_Port(boost::asio::ip::tcp::acceptor &acceptor, boost::system::error_code &error)
{
    acceptor.set_option(boost::asio::socket_base::reuse_address(true), error);
}
