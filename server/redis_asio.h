// hiredis's asynchronous context driven by a Boost.Asio io_context: hiredis
// says when it wants to read or write its socket (addRead, addWrite, ...)
// and these hooks wait for that on the relay's own event loop, which never
// blocks on Redis. The Redis store calls Redis_Attach once for each context
// it connects, before sending anything.
#pragma once

#include <boost/asio/io_context.hpp>

struct redisAsyncContext;

// False if the context has no socket to watch (it failed at once).
bool Redis_Attach(redisAsyncContext *context, boost::asio::io_context &io);
