#include "fault_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <list>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The loop looks at the sockets at least this often, so delays and the
// trickle keep to about this much.
constexpr int POLL_MS = 1;
constexpr auto TRICKLE_GAP = std::chrono::milliseconds(1);
// A proxy a test forgot stops by itself.
constexpr auto LONGEST_LIFE = std::chrono::minutes(5);
constexpr size_t READ_SIZE = 4096;

struct Chunk {
    Clock::time_point due;
    std::string bytes;
};

// One direction of a connection: what `from` sent, waiting to go to `to`.
struct Way {
    int from = -1, to = -1;
    std::deque<Chunk> queue;
    Clock::time_point next_byte{};  // when trickling
    bool ended = false;             // `from` sends no more
    bool shut = false;              // and `to` was told so
};

struct Link {
    Way up, down;  // the program to the relay, the relay to the program
    bool broken = false;
};

}  // namespace

static void Make_Nonblocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

static sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

static int Listen_On_Loopback(int *port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), size) != 0 || listen(fd, SOMAXCONN) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    Make_Nonblocking(fd);
    return fd;
}

static int Connect_To(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
        Make_Nonblocking(fd);
        return fd;
    }
    if (fd >= 0)
        close(fd);
    return -1;
}

// Closed with a TCP reset rather than a clean end.
static void Reset(int fd)
{
    const linger abort{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(fd);
}

static void Break(Link &link)
{
    Reset(link.up.from);
    Reset(link.down.from);
    link.broken = true;
}

// False when the socket failed.
static bool Take_In(Way &way, std::string *bytes)
{
    char buffer[READ_SIZE];
    const ssize_t got = recv(way.from, buffer, sizeof buffer, 0);
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (got == 0) {
        way.ended = true;
        return true;
    }
    bytes->assign(buffer, static_cast<size_t>(got));
    return true;
}

static void Queue(Way &way, const std::string &bytes, int delay_ms)
{
    if (!bytes.empty())
        way.queue.push_back({Clock::now() + std::chrono::milliseconds(delay_ms), bytes});
}

// Sends what is due; false when the socket failed.
static bool Pass_On(Way &way, bool trickle)
{
    const Clock::time_point now = Clock::now();
    while (!way.queue.empty() && way.queue.front().due <= now) {
        if (trickle && now < way.next_byte)
            return true;
        std::string &bytes = way.queue.front().bytes;
        const size_t size = trickle ? 1 : bytes.size();
        const ssize_t sent = send(way.to, bytes.data(), size, MSG_NOSIGNAL);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        bytes.erase(0, static_cast<size_t>(sent));
        if (bytes.empty())
            way.queue.pop_front();
        if (trickle) {
            way.next_byte = now + TRICKLE_GAP;
            return true;
        }
    }
    if (way.ended && way.queue.empty() && !way.shut) {
        shutdown(way.to, SHUT_WR);
        way.shut = true;
    }
    return true;
}

// Everything queued from the relay and half of `bytes`, at once.
static void Send_Part(Way &way, const std::string &bytes)
{
    std::string part;
    for (const Chunk &chunk : way.queue)
        part += chunk.bytes;
    part += bytes.substr(0, bytes.size() / 2);
    send(way.to, part.data(), part.size(), MSG_NOSIGNAL);
}

Fault_Proxy::Fault_Proxy(int relay) : relay_port(relay)
{
    listener = Listen_On_Loopback(&port);
    if (listener >= 0)
        thread = std::thread([this] { Run(); });
}

Fault_Proxy::~Fault_Proxy()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
    if (listener >= 0)
        close(listener);
}

std::string Fault_Proxy::Url() const
{
    return listener < 0 ? "" : "ws://127.0.0.1:" + std::to_string(port) + "/";
}

void Fault_Proxy::Run()
{
    std::list<Link> links;
    const Clock::time_point end = Clock::now() + LONGEST_LIFE;
    while (!stopping && Clock::now() < end) {
        std::vector<pollfd> ready{{listener, POLLIN, 0}};
        for (const Link &link : links) {
            ready.push_back({link.up.from, static_cast<short>(link.up.ended ? 0 : POLLIN), 0});
            ready.push_back({link.down.from, static_cast<short>(link.down.ended ? 0 : POLLIN), 0});
        }
        poll(ready.data(), ready.size(), POLL_MS);
        // A link accepted now was not polled: it is read from the next turn on.
        const size_t polled = links.size();
        if (ready[0].revents & POLLIN) {
            const int program = accept(listener, nullptr, nullptr);
            const int relay = program < 0 ? -1 : Connect_To(relay_port);
            if (relay >= 0) {
                Make_Nonblocking(program);
                Link link;
                link.up.from = link.down.to = program;
                link.down.from = link.up.to = relay;
                links.push_back(link);
                ++connections;
            } else if (program >= 0) {
                close(program);
            }
        }
        size_t index = 1;
        bool reset_now = false;
        for (Link &link : links) {
            if ((index - 1) / 2 >= polled)
                break;
            std::string bytes;
            bool fine = !(ready[index].revents & (POLLIN | POLLHUP | POLLERR)) ||
                        Take_In(link.up, &bytes);
            Queue(link.up, bytes, delay_ms);
            bytes.clear();
            fine = fine && (!(ready[index + 1].revents & (POLLIN | POLLHUP | POLLERR)) ||
                            Take_In(link.down, &bytes));
            index += 2;
            if (reset_armed && bytes.size() >= 2) {
                Send_Part(link.down, bytes);
                reset_now = true;
                break;
            }
            Queue(link.down, bytes, delay_ms);
            if (!stalled)
                fine = fine && Pass_On(link.up, trickle) && Pass_On(link.down, trickle);
            if (!fine)
                Break(link);
        }
        if (reset_now) {
            for (Link &link : links)
                if (!link.broken)
                    Break(link);
            reset_armed = false;
            ++resets;
        }
        links.remove_if([](Link &link) {
            if (link.broken || !link.up.shut || !link.down.shut)
                return link.broken;
            close(link.up.from);
            close(link.down.from);
            return true;
        });
    }
    for (Link &link : links)
        if (!link.broken)
            Break(link);
}
