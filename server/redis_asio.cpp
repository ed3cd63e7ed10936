#include "redis_asio.h"

#include <memory>

#include <boost/asio/posix/stream_descriptor.hpp>
#include <hiredis/async.h>

namespace asio = boost::asio;

namespace {

// One context's socket; lives until hiredis cleans up and no wait of its own is pending.
struct Watcher {
    Watcher(asio::io_context &io, int socket, redisAsyncContext *context) : stream(io, socket), context(context) {}

    asio::posix::stream_descriptor stream;
    redisAsyncContext *context;  // null once hiredis has freed it
    bool want_read = false, want_write = false;
    bool read_waiting = false, write_waiting = false;
    std::shared_ptr<Watcher> self;  // hiredis's hold on it, dropped by cleanup
};

void Wait_Read(const std::shared_ptr<Watcher> &watcher);
void Wait_Write(const std::shared_ptr<Watcher> &watcher);

void Wait_Read(const std::shared_ptr<Watcher> &watcher)
{
    if (watcher->read_waiting)
        return;
    watcher->read_waiting = true;
    watcher->stream.async_wait(asio::posix::stream_descriptor::wait_read,
                               [watcher](boost::system::error_code error) {
                                   watcher->read_waiting = false;
                                   if (error || !watcher->context || !watcher->want_read)
                                       return;
                                   redisAsyncHandleRead(watcher->context);
                                   if (watcher->context && watcher->want_read)
                                       Wait_Read(watcher);
                               });
}

void Wait_Write(const std::shared_ptr<Watcher> &watcher)
{
    if (watcher->write_waiting)
        return;
    watcher->write_waiting = true;
    watcher->stream.async_wait(asio::posix::stream_descriptor::wait_write,
                               [watcher](boost::system::error_code error) {
                                   watcher->write_waiting = false;
                                   if (error || !watcher->context || !watcher->want_write)
                                       return;
                                   redisAsyncHandleWrite(watcher->context);
                                   if (watcher->context && watcher->want_write)
                                       Wait_Write(watcher);
                               });
}

Watcher &Of(void *data)
{
    return *static_cast<Watcher *>(data);
}

void Add_Read(void *data)
{
    Watcher &watcher = Of(data);
    watcher.want_read = true;
    Wait_Read(watcher.self);
}

void Del_Read(void *data)
{
    Of(data).want_read = false;
}

void Add_Write(void *data)
{
    Watcher &watcher = Of(data);
    watcher.want_write = true;
    Wait_Write(watcher.self);
}

void Del_Write(void *data)
{
    Of(data).want_write = false;
}

// hiredis closes the socket itself: the descriptor is only let go of.
void Cleanup(void *data)
{
    Watcher &watcher = Of(data);
    watcher.context = nullptr;
    watcher.want_read = watcher.want_write = false;
    boost::system::error_code ignored;
    watcher.stream.cancel(ignored);
    watcher.stream.release();
    const std::shared_ptr<Watcher> last = std::move(watcher.self);
}

}  // namespace

bool Redis_Attach(redisAsyncContext *context, asio::io_context &io)
{
    if (context->ev.data || context->c.fd < 0)
        return false;
    auto watcher = std::make_shared<Watcher>(io, context->c.fd, context);
    watcher->self = watcher;
    context->ev.data = watcher.get();
    context->ev.addRead = Add_Read;
    context->ev.delRead = Del_Read;
    context->ev.addWrite = Add_Write;
    context->ev.delWrite = Del_Write;
    context->ev.cleanup = Cleanup;
    return true;
}
