#include "redis_store.h"

#include <arpa/inet.h>

#include <charconv>
#include <unordered_map>

#include <boost/asio/steady_timer.hpp>
#include <hiredis/async.h>

#include "options.h"
#include "redis_asio.h"
#include "room_codes.h"

namespace asio = boost::asio;

// A room untouched this long is gone; a room waiting for a lost player is
// gone a little after its wait, which the relays end on time themselves.
constexpr auto ROOM_LIFE = std::chrono::hours(24);
constexpr auto WAIT_GRACE = std::chrono::seconds(60);
constexpr auto FAILURE_WINDOW_SECONDS = 60;
// Reconnecting waits from the first to the last, doubling.
constexpr auto FIRST_RETRY = std::chrono::milliseconds(100);
constexpr auto LAST_RETRY = std::chrono::seconds(3);
// Redis is pinged this often; a ping or a connection not answered in
// UNANSWERED_TIME counts as Redis lost.
constexpr auto PING_TIME = std::chrono::seconds(1);
constexpr auto UNANSWERED_TIME = std::chrono::seconds(3);
// A relay that has not beaten for this long has lost its seats.
constexpr auto SILENT_RELAY = std::chrono::seconds(5);
constexpr const char *PREFIX = "torvek:";

static std::string Milliseconds(std::chrono::milliseconds time)
{
    return std::to_string(time.count());
}

// ---------------------------------------------------------------- addresses

bool Read_Redis_Address(const std::string &text, Redis_Address &address)
{
    address = Redis_Address{};
    if (text.rfind("unix:", 0) == 0) {
        address.socket_path = text.substr(5);
        return !address.socket_path.empty();
    }
    std::string rest = text;
    if (text.rfind("redis://", 0) == 0) {
        rest = text.substr(8);
        if (!rest.empty() && rest.back() == '/')
            rest.pop_back();
        const std::size_t at = rest.rfind('@');
        if (at != std::string::npos) {
            const std::string user = rest.substr(0, at);
            address.password = user.substr(user.find(':') == std::string::npos ? 0 : user.find(':') + 1);
            rest = rest.substr(at + 1);
        }
        const bool has_port = rest.rfind(':') != std::string::npos && rest.back() != ']';
        if (!has_port)
            rest += ":" + std::to_string(REDIS_DEFAULT_PORT);
    }
    unsigned short port = 0;
    if (!Read_Listen_Address(rest, address.host, port) || port == 0 || rest.front() == ':')
        return false;
    address.port = port;
    // A name would be looked up by hiredis with a call that blocks the event loop.
    unsigned char bytes[sizeof(in6_addr)];
    return inet_pton(AF_INET, address.host.c_str(), bytes) == 1 || inet_pton(AF_INET6, address.host.c_str(), bytes) == 1;
}

// ---------------------------------------------------------------- the scripts

// Each script changes one room in one atomic step and publishes what it did
// on the room's channel (its hash's key), so that an event is never sent for
// a change that was not stored.
enum Script { CREATE, SEAT_GUEST, APPEND, READ, LOSE_SEAT, SEAT_BACK, END, FAIL, HEARTBEAT, SCRIPTS };

// Each seat's relay is kept too ("at0", "at1", and each relay's set of the
// seats it holds), so that the seats of a relay that stops beating (killed,
// or cut off from Redis) are found and told lost by the relays still there.
static const char *const SCRIPT_TEXT[SCRIPTS] = {
    // CREATE: KEYS room, the creator's rooms, this relay's seats; ARGV code, token, creator, most, life, prefix, relay
    R"(for _, other in ipairs(redis.call('SMEMBERS', KEYS[2])) do
  if redis.call('EXISTS', ARGV[6] .. '{' .. other .. '}') == 0 then redis.call('SREM', KEYS[2], other) end
end
if redis.call('SCARD', KEYS[2]) >= tonumber(ARGV[4]) then return 2 end
if redis.call('EXISTS', KEYS[1]) == 1 then return 1 end
redis.call('HSET', KEYS[1], 't0', ARGV[2], 'creator', ARGV[3], 'first', -1, 'at0', ARGV[7])
redis.call('PEXPIRE', KEYS[1], ARGV[5])
redis.call('SADD', KEYS[2], ARGV[1])
redis.call('PEXPIRE', KEYS[2], ARGV[5])
redis.call('SADD', KEYS[3], ARGV[1] .. ' 0')
redis.call('PEXPIRE', KEYS[3], ARGV[5])
return 0)",
    // SEAT_GUEST: KEYS room, this relay's seats; ARGV token, first, event, code, relay, life
    R"(if redis.call('EXISTS', KEYS[1]) == 0 or redis.call('HEXISTS', KEYS[1], 't1') == 1 then return 1 end
redis.call('HSET', KEYS[1], 't1', ARGV[1], 'first', ARGV[2], 'at1', ARGV[5])
redis.call('SADD', KEYS[2], ARGV[4] .. ' 1')
redis.call('PEXPIRE', KEYS[2], ARGV[6])
redis.call('PUBLISH', KEYS[1], ARGV[3])
return 0)",
    // APPEND: KEYS room, moves, ids; ARGV number, side:id, entry, event, life
    R"(if redis.call('EXISTS', KEYS[1]) == 0 then return {3, 0} end
local known = redis.call('HGET', KEYS[3], ARGV[2])
if known then return {1, tonumber(known)} end
local count = redis.call('LLEN', KEYS[2])
if count ~= tonumber(ARGV[1]) then return {2, count} end
redis.call('RPUSH', KEYS[2], ARGV[3])
redis.call('HSET', KEYS[3], ARGV[2], ARGV[1])
local life = tonumber(ARGV[5])
if redis.call('HEXISTS', KEYS[1], 'lost0') == 1 or redis.call('HEXISTS', KEYS[1], 'lost1') == 1 then
  local left = redis.call('PTTL', KEYS[1])
  if left > 0 then life = left end
end
for i = 1, 3 do redis.call('PEXPIRE', KEYS[i], life) end
redis.call('PUBLISH', KEYS[1], ARGV[4])
return {0, count})",
    // READ: KEYS room, moves
    R"(return {redis.call('HGETALL', KEYS[1]), redis.call('LRANGE', KEYS[2], 0, -1)})",
    // LOSE_SEAT: KEYS room, moves, ids, this relay's seats; ARGV side, wait, event, code
    R"(if redis.call('EXISTS', KEYS[1]) == 0 then return 1 end
if redis.call('HEXISTS', KEYS[1], 'lost0') == 0 and redis.call('HEXISTS', KEYS[1], 'lost1') == 0 then
  for i = 1, 3 do redis.call('PEXPIRE', KEYS[i], ARGV[2]) end
end
redis.call('HSET', KEYS[1], 'lost' .. ARGV[1], 1)
redis.call('HDEL', KEYS[1], 'at' .. ARGV[1])
redis.call('SREM', KEYS[4], ARGV[4] .. ' ' .. ARGV[1])
redis.call('PUBLISH', KEYS[1], ARGV[3])
return 0)",
    // SEAT_BACK: KEYS room, moves, ids, this relay's seats; ARGV side, life, event, code, relay, prefix
    R"(if redis.call('EXISTS', KEYS[1]) == 0 then return 1 end
local seat = ARGV[4] .. ' ' .. ARGV[1]
local before = redis.call('HGET', KEYS[1], 'at' .. ARGV[1])
if before and before ~= ARGV[5] then redis.call('SREM', ARGV[6] .. 'seats:' .. before, seat) end
redis.call('HSET', KEYS[1], 'at' .. ARGV[1], ARGV[5])
redis.call('SADD', KEYS[4], seat)
redis.call('PEXPIRE', KEYS[4], ARGV[2])
redis.call('HDEL', KEYS[1], 'lost' .. ARGV[1])
if redis.call('HEXISTS', KEYS[1], 'lost0') == 0 and redis.call('HEXISTS', KEYS[1], 'lost1') == 0 then
  for i = 1, 3 do redis.call('PEXPIRE', KEYS[i], ARGV[2]) end
end
redis.call('PUBLISH', KEYS[1], ARGV[3])
return 0)",
    // END: KEYS room, moves, ids; ARGV event, code, prefix
    R"(local creator = redis.call('HGET', KEYS[1], 'creator')
if not creator then return 1 end
for side = 0, 1 do
  local at = redis.call('HGET', KEYS[1], 'at' .. side)
  if at then redis.call('SREM', ARGV[3] .. 'seats:' .. at, ARGV[2] .. ' ' .. side) end
end
redis.call('DEL', KEYS[1], KEYS[2], KEYS[3])
redis.call('SREM', ARGV[3] .. 'rooms:' .. creator, ARGV[2])
redis.call('PUBLISH', KEYS[1], ARGV[1])
return 0)",
    // FAIL: KEYS the address's failures; ARGV window
    R"(local count = redis.call('INCR', KEYS[1])
if count == 1 then redis.call('EXPIRE', KEYS[1], ARGV[1]) end
return count)",
    // HEARTBEAT: KEYS the relays' last beats; ARGV relay, silent, wait, wait seconds, prefix.
    // This relay beats; the seats of relays silent longer than `silent` are lost.
    R"(local now = redis.call('TIME')
now = tonumber(now[1]) * 1000 + math.floor(tonumber(now[2]) / 1000)
redis.call('ZADD', KEYS[1], now, ARGV[1])
local silent = redis.call('ZRANGEBYSCORE', KEYS[1], '-inf', now - tonumber(ARGV[2]))
for _, relay in ipairs(silent) do
  local seats = ARGV[5] .. 'seats:' .. relay
  for _, seat in ipairs(redis.call('SMEMBERS', seats)) do
    local code, side = string.match(seat, '^(%S+) ([01])$')
    if code then
      local room = ARGV[5] .. '{' .. code .. '}'
      if redis.call('HGET', room, 'at' .. side) == relay then
        redis.call('HDEL', room, 'at' .. side)
        if redis.call('HEXISTS', room, 'lost0') == 0 and redis.call('HEXISTS', room, 'lost1') == 0 then
          for _, key in ipairs({room, room .. ':moves', room .. ':ids'}) do redis.call('PEXPIRE', key, ARGV[3]) end
        end
        redis.call('HSET', room, 'lost' .. side, 1)
        redis.call('PUBLISH', room, 'L - ' .. side .. ' ' .. ARGV[4])
      end
    end
  end
  redis.call('DEL', seats)
  redis.call('ZREM', KEYS[1], relay)
end
return #silent)",
};

// ---------------------------------------------------------------- the link

using Reply_Done = std::function<void(redisReply *)>;

struct Redis_Link {
    Redis_Link(asio::io_context &io, const Redis_Address &address)
        : io(io), address(address), origin(New_Seat_Token().substr(0, 16)), retry(io), watchdog(io)
    {
    }

    struct Pending {
        Redis_Link *link;
        Reply_Done done;
    };
    enum Channel_State { SUBSCRIBING, SUBSCRIBED, UNSUBSCRIBING };
    struct Channel {
        Channel_State state = SUBSCRIBING;
        bool wanted = true;
        std::vector<Status_Done> waiting;
    };

    asio::io_context &io;
    Redis_Address address;
    std::string origin;  // this relay's, to know its own events
    Room_Listener *listener = nullptr;
    redisAsyncContext *command = nullptr, *subscriber = nullptr;
    bool command_ready = false, subscriber_ready = false;
    bool available = false;
    bool stopping = false;
    std::string shas[SCRIPTS];
    int scripts_loaded = 0;
    std::unordered_map<std::string, Channel> channels;  // by room key
    asio::steady_timer retry, watchdog;
    Relay_Clock::duration retry_wait = FIRST_RETRY;
    Relay_Clock::time_point connect_start{}, ping_sent{};
    bool ping_out = false;
    bool said_unreachable = false;  // since the store was last available
    std::chrono::seconds wait{600};  // how long a room waits for a seat found lost

    void Connect();
    redisAsyncContext *Open(void (*connected)(const redisAsyncContext *, int),
                            void (*disconnected)(const redisAsyncContext *, int));
    void Opened(redisAsyncContext *context);
    void Load_Scripts();
    void Check_Ready();
    void Lose();
    void Drop(redisAsyncContext *&context);
    void Retry_Later();
    void Watch();
    void Send(redisAsyncContext *context, const std::vector<std::string> &words, Reply_Done done);
    void Run(Script script, const std::vector<std::string> &keys, const std::vector<std::string> &args,
             Reply_Done done);
    std::string Seats_Key() const { return std::string(PREFIX) + "seats:" + origin; }
    void Beat();
    void Subscribe(const std::string &key);
    void Unsubscribe(const std::string &key);
    void Subscription(redisReply *reply);
    void Event(const std::string &key, const std::string &text);
};

static Redis_Link &Link_Of(const redisAsyncContext *context)
{
    return *static_cast<Redis_Link *>(context->data);
}

static void On_Reply(redisAsyncContext *, void *reply, void *data)
{
    std::unique_ptr<Redis_Link::Pending> pending(static_cast<Redis_Link::Pending *>(data));
    if (!pending->link->stopping)
        pending->done(static_cast<redisReply *>(reply));
}

void Redis_Link::Send(redisAsyncContext *context, const std::vector<std::string> &words, Reply_Done done)
{
    if (!context)
        return done(nullptr);
    std::vector<const char *> argv;
    std::vector<std::size_t> lengths;
    for (const std::string &word : words) {
        argv.push_back(word.data());
        lengths.push_back(word.size());
    }
    auto *pending = new Pending{this, std::move(done)};
    if (redisAsyncCommandArgv(context, On_Reply, pending, static_cast<int>(argv.size()), argv.data(),
                              lengths.data()) != REDIS_OK) {
        std::unique_ptr<Pending> failed(pending);
        failed->done(nullptr);
    }
}

static bool Is_Error(const redisReply *reply, const char *start = "")
{
    return reply && reply->type == REDIS_REPLY_ERROR && std::string_view(reply->str, reply->len).rfind(start, 0) == 0;
}

// EVALSHA, and the script's whole text once if Redis has forgotten it.
void Redis_Link::Run(Script script, const std::vector<std::string> &keys, const std::vector<std::string> &args,
                     Reply_Done done)
{
    if (!available)
        return done(nullptr);
    std::vector<std::string> words{"EVALSHA", shas[script], std::to_string(keys.size())};
    words.insert(words.end(), keys.begin(), keys.end());
    words.insert(words.end(), args.begin(), args.end());
    Send(command, words, [this, script, words, done](redisReply *reply) mutable {
        if (!Is_Error(reply, "NOSCRIPT"))
            return done(reply);
        words[0] = "EVAL";
        words[1] = SCRIPT_TEXT[script];
        Send(command, words, done);
    });
}

static void On_Command_Connect(const redisAsyncContext *context, int status);
static void On_Command_Disconnect(const redisAsyncContext *context, int status);
static void On_Subscriber_Connect(const redisAsyncContext *context, int status);
static void On_Subscriber_Disconnect(const redisAsyncContext *context, int status);

redisAsyncContext *Redis_Link::Open(void (*connected)(const redisAsyncContext *, int),
                                    void (*disconnected)(const redisAsyncContext *, int))
{
    redisAsyncContext *context = address.socket_path.empty()
                                     ? redisAsyncConnect(address.host.c_str(), address.port)
                                     : redisAsyncConnectUnix(address.socket_path.c_str());
    if (!context)
        return nullptr;
    if (context->err || !Redis_Attach(context, io)) {
        redisAsyncFree(context);
        return nullptr;
    }
    context->data = this;
    redisAsyncSetConnectCallback(context, connected);
    redisAsyncSetDisconnectCallback(context, disconnected);
    return context;
}

void Redis_Link::Connect()
{
    if (stopping || command || subscriber)
        return;
    connect_start = Relay_Clock::now();
    command = Open(On_Command_Connect, On_Command_Disconnect);
    subscriber = command ? Open(On_Subscriber_Connect, On_Subscriber_Disconnect) : nullptr;
    if (!command || !subscriber)
        Lose();
}

// Authenticates when a password was given, then `ready`.
static void Authenticate(Redis_Link &link, redisAsyncContext *context, std::function<void()> ready)
{
    if (link.address.password.empty())
        return ready();
    link.Send(context, {"AUTH", link.address.password}, [&link, ready](redisReply *reply) {
        if (reply && reply->type == REDIS_REPLY_ERROR)
            std::fprintf(stderr, "torvek-relay: Redis refused the password: %.*s\n", static_cast<int>(reply->len),
                         reply->str);
        if (!reply || reply->type == REDIS_REPLY_ERROR)
            return link.Lose();
        ready();
    });
}

static void On_Command_Connect(const redisAsyncContext *context, int status)
{
    Redis_Link &link = Link_Of(context);
    if (link.command != context)
        return;
    if (status != REDIS_OK) {
        link.command = nullptr;  // hiredis frees it
        return link.Lose();
    }
    Authenticate(link, link.command, [&link] { link.Load_Scripts(); });
}

void Redis_Link::Load_Scripts()
{
    scripts_loaded = 0;
    for (int script = 0; script < SCRIPTS; ++script)
        Send(command, {"SCRIPT", "LOAD", SCRIPT_TEXT[script]}, [this, script](redisReply *reply) {
            if (!reply || reply->type != REDIS_REPLY_STRING)
                return Lose();
            shas[script].assign(reply->str, reply->len);
            if (++scripts_loaded == SCRIPTS) {
                command_ready = true;
                Check_Ready();
            }
        });
}

static void On_Command_Disconnect(const redisAsyncContext *context, int)
{
    Redis_Link &link = Link_Of(context);
    if (link.command != context)
        return;
    link.command = nullptr;
    link.Lose();
}

static void On_Subscription(redisAsyncContext *context, void *reply, void *)
{
    Redis_Link &link = Link_Of(context);
    if (!link.stopping && link.subscriber == context && reply)
        link.Subscription(static_cast<redisReply *>(reply));
}

static void On_Subscriber_Connect(const redisAsyncContext *context, int status)
{
    Redis_Link &link = Link_Of(context);
    if (link.subscriber != context)
        return;
    if (status != REDIS_OK) {
        link.subscriber = nullptr;
        return link.Lose();
    }
    Authenticate(link, link.subscriber, [&link] {
        link.subscriber_ready = true;
        link.Check_Ready();
    });
}

static void On_Subscriber_Disconnect(const redisAsyncContext *context, int)
{
    Redis_Link &link = Link_Of(context);
    if (link.subscriber != context)
        return;
    link.subscriber = nullptr;
    link.Lose();
}

void Redis_Link::Check_Ready()
{
    if (available || !command_ready || !subscriber_ready)
        return;
    available = true;
    said_unreachable = false;
    retry_wait = FIRST_RETRY;
    ping_out = false;
    // It beats before it holds a seat, so that its seats are found if it dies.
    Beat();
    std::fprintf(stderr, "torvek-relay: the rooms are in Redis\n");
    if (listener)
        listener->Store_Changed(true);
}

// hiredis answers what was pending with no reply, and may call back into
// this link while it frees the context: the pointer is cleared first.
void Redis_Link::Drop(redisAsyncContext *&context)
{
    redisAsyncContext *dropped = context;
    context = nullptr;
    if (dropped)
        redisAsyncFree(dropped);
}

void Redis_Link::Lose()
{
    if (stopping)
        return;
    const bool was_available = available;
    available = command_ready = subscriber_ready = false;
    ping_out = false;
    std::vector<Status_Done> waiting;
    for (auto &entry : channels)
        for (Status_Done &done : entry.second.waiting)
            waiting.push_back(std::move(done));
    channels.clear();
    Drop(command);
    Drop(subscriber);
    if (was_available) {
        std::fprintf(stderr, "torvek-relay: Redis is lost; trying again\n");
        if (listener)
            listener->Store_Changed(false);
    } else if (!said_unreachable) {
        std::fprintf(stderr, "torvek-relay: cannot reach Redis yet; trying again\n");
    }
    said_unreachable = true;
    for (Status_Done &done : waiting)
        done(Store_Status::UNAVAILABLE);
    Retry_Later();
}

void Redis_Link::Retry_Later()
{
    if (stopping)
        return;
    retry.expires_after(retry_wait);
    retry_wait = std::min<Relay_Clock::duration>(retry_wait * 2, LAST_RETRY);
    retry.async_wait([this](boost::system::error_code error) {
        if (!error)
            Connect();
    });
}

// A Redis that stops answering (stopped, or its packets dropped) counts as lost.
void Redis_Link::Watch()
{
    watchdog.expires_after(PING_TIME);
    watchdog.async_wait([this](boost::system::error_code error) {
        if (error || stopping)
            return;
        const auto now = Relay_Clock::now();
        if (available && ping_out && now - ping_sent > UNANSWERED_TIME)
            Lose();
        else if (!available && (command || subscriber) && now - connect_start > UNANSWERED_TIME)
            Lose();
        else if (available && !ping_out)
            Beat();
        Watch();
    });
}

// The heartbeat is the ping: its answer says Redis is there.
void Redis_Link::Beat()
{
    ping_out = true;
    ping_sent = Relay_Clock::now();
    Run(HEARTBEAT, {std::string(PREFIX) + "relays"},
        {origin, Milliseconds(SILENT_RELAY), Milliseconds(wait + WAIT_GRACE), std::to_string(wait.count()), PREFIX},
        [this](redisReply *reply) {
            if (reply)
                ping_out = false;
        });
}

// ---------------------------------------------------------------- channels and events

static std::string Room_Key(const std::string &code)
{
    return std::string(PREFIX) + "{" + code + "}";
}

void Redis_Link::Subscribe(const std::string &key)
{
    channels[key].state = SUBSCRIBING;
    if (!subscriber || redisAsyncCommand(subscriber, On_Subscription, nullptr, "SUBSCRIBE %b", key.data(), key.size()) != REDIS_OK)
        Lose();
}

void Redis_Link::Unsubscribe(const std::string &key)
{
    channels[key].state = UNSUBSCRIBING;
    if (!subscriber || redisAsyncCommand(subscriber, On_Subscription, nullptr, "UNSUBSCRIBE %b", key.data(), key.size()) !=
        REDIS_OK)
        Lose();
}

void Redis_Link::Subscription(redisReply *reply)
{
    if (reply->type != REDIS_REPLY_ARRAY || reply->elements < 3 || reply->element[0]->type != REDIS_REPLY_STRING ||
        reply->element[1]->type != REDIS_REPLY_STRING)
        return;
    const std::string kind(reply->element[0]->str, reply->element[0]->len);
    const std::string key(reply->element[1]->str, reply->element[1]->len);
    if (kind == "message" && reply->element[2]->type == REDIS_REPLY_STRING) {
        Event(key, std::string(reply->element[2]->str, reply->element[2]->len));
        return;
    }
    const auto found = channels.find(key);
    if (found == channels.end())
        return;
    Channel &channel = found->second;
    if (kind == "subscribe") {
        channel.state = SUBSCRIBED;
        if (!channel.wanted)
            return Unsubscribe(key);
        std::vector<Status_Done> waiting = std::move(channel.waiting);
        channel.waiting.clear();
        for (Status_Done &done : waiting)
            done(Store_Status::OK);
    } else if (kind == "unsubscribe") {
        // One following again while it was being left is subscribed anew.
        if (channel.wanted)
            Subscribe(key);
        else
            channels.erase(found);
    }
}

// "first second ... rest": the first `count` words, and all after them.
static bool Split(const std::string &text, std::size_t count, std::vector<long long> &numbers, std::string &rest,
                  std::string &origin)
{
    std::size_t at = 0;
    for (std::size_t word = 0; word < count; ++word) {
        const std::size_t end = text.find(' ', at);
        const std::string piece = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (word == 0)
            origin = piece;
        else {
            long long value;
            const auto result = std::from_chars(piece.data(), piece.data() + piece.size(), value);
            if (result.ec != std::errc() || result.ptr != piece.data() + piece.size())
                return false;
            numbers.push_back(value);
        }
        if (end == std::string::npos)
            return word + 1 == count;
        at = end + 1;
    }
    rest = text.substr(at);
    return true;
}

static bool Read_Move_Words(const std::vector<long long> &numbers, std::size_t at, Stored_Move &stored)
{
    const long long side = numbers[at], kind = numbers[at + 1];
    if ((side != SOLIDS && side != STRIPES) || (kind != MOVE_PLACE && kind != MOVE_CAPTURE))
        return false;
    stored.side = static_cast<int>(side);
    stored.move = Move{static_cast<Move_Kind>(kind), static_cast<int>(numbers[at + 2]), static_cast<int>(numbers[at + 3])};
    return true;
}

static std::string Move_Words(const Stored_Move &stored)
{
    return std::to_string(stored.side) + " " + std::to_string(stored.move.kind) + " " +
           std::to_string(stored.move.from) + " " + std::to_string(stored.move.to) + " " + stored.id;
}

// A list entry: "SIDE KIND FROM TO ID".
static bool Read_Entry(const std::string &text, Stored_Move &stored)
{
    std::vector<long long> numbers;
    std::string origin;
    return Split("- " + text, 5, numbers, stored.id, origin) && Read_Move_Words(numbers, 0, stored);
}

// Events: "M ORIGIN NUMBER SIDE KIND FROM TO ID", "S ORIGIN FIRST",
// "L ORIGIN SIDE WAIT", "B ORIGIN SIDE WAS_LOST", "E ORIGIN SIDE REASON".
void Redis_Link::Event(const std::string &key, const std::string &text)
{
    if (!listener || text.size() < 2 || key.size() < std::string(PREFIX).size() + 2)
        return;
    const std::string code = key.substr(std::string(PREFIX).size() + 1, key.size() - std::string(PREFIX).size() - 2);
    const char kind = text[0];
    const std::string body = text.substr(2);
    std::vector<long long> numbers;
    std::string rest, from;
    Room_Event event;
    event.kind = Room_Event::MOVED;
    bool read = false;
    if (kind == 'M' && Split(body, 6, numbers, event.move.id, from) && Read_Move_Words(numbers, 1, event.move)) {
        event.number = static_cast<int>(numbers[0]);
        event.side = event.move.side;
        read = true;
    } else if (kind == 'S' && Split(body, 2, numbers, rest, from)) {
        event.kind = Room_Event::STARTED;
        event.number = static_cast<int>(numbers[0]);
        read = true;
    } else if ((kind == 'L' || kind == 'B') && Split(body, 3, numbers, rest, from)) {
        event.kind = kind == 'L' ? Room_Event::LOST : Room_Event::BACK;
        event.side = static_cast<int>(numbers[0]);
        event.number = static_cast<int>(numbers[1]);
        event.was_lost = numbers[1] != 0;
        read = true;
    } else if (kind == 'E' && Split(body, 2, numbers, rest, from)) {
        event.kind = Room_Event::ENDED;
        event.side = static_cast<int>(numbers.empty() ? NO_SIDE : numbers[0]);
        event.reason = rest;
        read = true;
    }
    const bool side_ok = event.side == NO_SIDE || event.side == SOLIDS || event.side == STRIPES;
    if (read && side_ok && from != origin)
        listener->Room_Changed(code, event);
}

// ---------------------------------------------------------------- the store

Redis_Store::Redis_Store(asio::io_context &io, const Redis_Address &address, std::chrono::seconds room_wait)
    : link(std::make_unique<Redis_Link>(io, address))
{
    link->wait = room_wait;
}

Redis_Store::~Redis_Store()
{
    Stop();
}

void Redis_Store::Start()
{
    link->Connect();
    link->Watch();
}

void Redis_Store::Stop()
{
    if (link->stopping)
        return;
    link->stopping = true;
    link->retry.cancel();
    link->watchdog.cancel();
    link->Drop(link->command);
    link->Drop(link->subscriber);
}

void Redis_Store::Set_Listener(Room_Listener *listener)
{
    link->listener = listener;
}

bool Redis_Store::Available() const
{
    return link->available;
}

static std::string Moves_Key(const std::string &code)
{
    return Room_Key(code) + ":moves";
}

static std::string Ids_Key(const std::string &code)
{
    return Room_Key(code) + ":ids";
}


static Store_Status Status_Of(const redisReply *reply)
{
    if (!reply || reply->type != REDIS_REPLY_INTEGER)
        return Store_Status::UNAVAILABLE;
    return reply->integer == 0 ? Store_Status::OK : reply->integer == 2 ? Store_Status::TOO_MANY : Store_Status::REFUSED;
}

void Redis_Store::Create(const std::string &code, const std::string &host_token, const std::string &creator,
                         int most, Status_Done done)
{
    link->Run(CREATE, {Room_Key(code), std::string(PREFIX) + "rooms:" + creator, link->Seats_Key()},
              {code, host_token, creator, std::to_string(most), Milliseconds(ROOM_LIFE), PREFIX, link->origin},
              [done](redisReply *reply) { done(Status_Of(reply)); });
}

void Redis_Store::Seat_Guest(const std::string &code, const std::string &token, int first, Status_Done done)
{
    const std::string event = "S " + link->origin + " " + std::to_string(first);
    link->Run(SEAT_GUEST, {Room_Key(code), link->Seats_Key()},
              {token, std::to_string(first), event, code, link->origin, Milliseconds(ROOM_LIFE)},
              [done](redisReply *reply) { done(Status_Of(reply)); });
}

void Redis_Store::Append(const std::string &code, int number, const Stored_Move &move, Append_Done done)
{
    const std::string entry = Move_Words(move);
    const std::string event = "M " + link->origin + " " + std::to_string(number) + " " + entry;
    link->Run(APPEND, {Room_Key(code), Moves_Key(code), Ids_Key(code)},
              {std::to_string(number), std::to_string(move.side) + ":" + move.id, entry, event,
               Milliseconds(ROOM_LIFE)},
              [done](redisReply *reply) {
                  if (!reply || reply->type != REDIS_REPLY_ARRAY || reply->elements != 2 ||
                      reply->element[0]->type != REDIS_REPLY_INTEGER || reply->element[1]->type != REDIS_REPLY_INTEGER)
                      return done({Append_Result::UNAVAILABLE, 0});
                  static const Append_Result RESULTS[] = {Append_Result::APPENDED, Append_Result::AGAIN,
                                                          Append_Result::WRONG_NUMBER, Append_Result::NO_ROOM};
                  const long long result = reply->element[0]->integer;
                  if (result < 0 || result > 3)
                      return done({Append_Result::UNAVAILABLE, 0});
                  done({RESULTS[result], static_cast<int>(reply->element[1]->integer)});
              });
}

static std::string Text(const redisReply *reply)
{
    return reply->type == REDIS_REPLY_STRING ? std::string(reply->str, reply->len) : std::string();
}

static bool Read_Record(const redisReply *reply, Room_Record &record)
{
    const redisReply *fields = reply->element[0], *moves = reply->element[1];
    for (std::size_t at = 0; at + 1 < fields->elements; at += 2) {
        const std::string name = Text(fields->element[at]), value = Text(fields->element[at + 1]);
        if (name == "t0" || name == "t1")
            record.tokens[name == "t0" ? SOLIDS : STRIPES] = value;
        else if (name == "lost0" || name == "lost1")
            record.lost[name == "lost0" ? SOLIDS : STRIPES] = true;
        else if (name == "first")
            record.first = value == "0" ? SOLIDS : value == "1" ? STRIPES : NOT_STARTED;
    }
    for (std::size_t at = 0; at < moves->elements; ++at) {
        Stored_Move stored;
        if (!Read_Entry(Text(moves->element[at]), stored))
            return false;
        record.moves.push_back(stored);
    }
    return true;
}

void Redis_Store::Read(const std::string &code, Read_Done done)
{
    link->Run(READ, {Room_Key(code), Moves_Key(code)}, {}, [done](redisReply *reply) {
        Room_Record record;
        if (!reply || reply->type != REDIS_REPLY_ARRAY || reply->elements != 2 ||
            reply->element[0]->type != REDIS_REPLY_ARRAY || reply->element[1]->type != REDIS_REPLY_ARRAY)
            return done(Store_Status::UNAVAILABLE, record);
        if (reply->element[0]->elements == 0 || !Read_Record(reply, record))
            return done(Store_Status::REFUSED, Room_Record{});
        done(Store_Status::OK, record);
    });
}

void Redis_Store::Seat_Lost(const std::string &code, int side, std::chrono::seconds wait)
{
    const std::string event = "L " + link->origin + " " + std::to_string(side) + " " + std::to_string(wait.count());
    link->Run(LOSE_SEAT, {Room_Key(code), Moves_Key(code), Ids_Key(code), link->Seats_Key()},
              {std::to_string(side), Milliseconds(wait + WAIT_GRACE), event, code}, [](redisReply *) {});
}

void Redis_Store::Seat_Back(const std::string &code, int side, bool was_lost)
{
    const std::string event = "B " + link->origin + " " + std::to_string(side) + " " + (was_lost ? "1" : "0");
    link->Run(SEAT_BACK, {Room_Key(code), Moves_Key(code), Ids_Key(code), link->Seats_Key()},
              {std::to_string(side), Milliseconds(ROOM_LIFE), event, code, link->origin, PREFIX},
              [](redisReply *) {});
}

void Redis_Store::End(const std::string &code, const std::string &reason, int side, Status_Done done)
{
    const std::string event = "E " + link->origin + " " + std::to_string(side) + " " + reason;
    link->Run(END, {Room_Key(code), Moves_Key(code), Ids_Key(code)},
              {event, code, PREFIX}, [done](redisReply *reply) { done(Status_Of(reply)); });
}

void Redis_Store::Count_Failure(const std::string &address, Count_Done done)
{
    link->Run(FAIL, {std::string(PREFIX) + "fails:" + address}, {std::to_string(FAILURE_WINDOW_SECONDS)},
              [done](redisReply *reply) {
                  if (!reply || reply->type != REDIS_REPLY_INTEGER)
                      return done(Store_Status::UNAVAILABLE, 0);
                  done(Store_Status::OK, reply->integer);
              });
}

void Redis_Store::Failures(const std::string &address, Count_Done done)
{
    if (!link->available)
        return done(Store_Status::UNAVAILABLE, 0);
    link->Send(link->command, {"GET", std::string(PREFIX) + "fails:" + address}, [done](redisReply *reply) {
        if (!reply || reply->type == REDIS_REPLY_ERROR)
            return done(Store_Status::UNAVAILABLE, 0);
        long long count = 0;
        if (reply->type == REDIS_REPLY_STRING)
            std::from_chars(reply->str, reply->str + reply->len, count);
        done(Store_Status::OK, count);
    });
}

void Redis_Store::Follow(const std::string &code, Status_Done done)
{
    if (!link->available)
        return done(Store_Status::UNAVAILABLE);
    const std::string key = Room_Key(code);
    const auto found = link->channels.find(key);
    if (found == link->channels.end()) {
        link->channels[key].waiting.push_back(std::move(done));
        link->Subscribe(key);
        return;
    }
    Redis_Link::Channel &channel = found->second;
    channel.wanted = true;
    if (channel.state == Redis_Link::SUBSCRIBED)
        return done(Store_Status::OK);
    channel.waiting.push_back(std::move(done));
}

void Redis_Store::Unfollow(const std::string &code)
{
    const auto found = link->channels.find(Room_Key(code));
    if (found == link->channels.end())
        return;
    found->second.wanted = false;
    if (found->second.state == Redis_Link::SUBSCRIBED)
        link->Unsubscribe(found->first);
}
