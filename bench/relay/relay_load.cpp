// relay_load: a load generator for torvek-relay. Opens N rooms of two
// clients each on one io_context (one thread, all asynchronous), each room
// from a loopback address of its own (127.1.0.1, 127.1.0.2, ...) so that the
// relay's limits per address hold as for real players; then the side to move
// in every room plays a random legal move, paced to a total rate, for a
// number of seconds. Reports the moves relayed a second, the round trip from
// a move sent to the other player's receipt of it (median, p99, max), and,
// given the relay's process id, its CPU share while the moves ran and its
// memory per connection held. Every hash the relay sends is checked against
// the rules' own. With --guest-port every room's guest connects to another
// relay than its host (relays sharing their rooms in Redis), and each
// process named with --relay-pid (the relays) or --redis-pid is measured.
//
//   relay_load --port P [--guest-port Q] [--rooms N] [--seconds S] [--rate MOVES]
//              [--relay-pid PID]... [--redis-pid PID]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include "moves.h"
#include "protocol.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// The relay refuses more than 20 messages a second from a connection: a room
// is kept well under it.
constexpr double ROOM_MOVES_PER_SECOND_MAX = 30.0;
constexpr int CONNECTS_IN_FLIGHT = 256;
constexpr auto SET_UP_TIME = std::chrono::seconds(120);
constexpr uint32_t FIRST_SOURCE = (127u << 24) | (1u << 16);  // 127.1.0.0

struct Options {
    unsigned short port = 7357;
    unsigned short guest_port = 0;  // none: the host's relay
    int rooms = 1000;
    double seconds = 10;
    double rate = 10000;
    std::vector<int> relay_pids;
    int redis_pid = 0;
};

struct Totals {
    int started_rooms = 0;
    int connected = 0;
    int failed = 0;
    long moves = 0;
    long refused = 0;
    long mismatches = 0;
    bool measuring = false;
    std::vector<double> round_trips_ms;
};

class Room;

class Client : public std::enable_shared_from_this<Client> {
public:
    Client(asio::io_context &io, Room &room, int side) : side(side), ws(io), room(room), pace(io) {}
    void Connect(const tcp::endpoint &source, const tcp::endpoint &relay);
    void Send(std::string text);
    void Schedule_Move(Clock::time_point when);

    Match_State match{};
    int side;

private:
    void Read();
    void Received(const Json &message);
    void Write_Next();
    void Play_Move();

    websocket::stream<beast::tcp_stream> ws;
    Room &room;
    beast::flat_buffer buffer;
    std::deque<std::string> queue;
    bool writing = false;
    asio::steady_timer pace;
    friend class Room;
};

class Room {
public:
    Room(asio::io_context &io, Totals &totals, int index, Clock::duration interval)
        : totals(totals), index(index), interval(interval), chooser(index)
    {
        clients[SOLIDS] = std::make_shared<Client>(io, *this, SOLIDS);
        clients[STRIPES] = std::make_shared<Client>(io, *this, STRIPES);
    }
    tcp::endpoint Source() const { return {asio::ip::address_v4(FIRST_SOURCE + 1 + index), 0}; }

    Totals &totals;
    int index;
    Clock::duration interval;
    std::mt19937 chooser;
    std::shared_ptr<Client> clients[SIDES];
    std::string code;
    int moves_sent = 0;
    Clock::time_point sent_at{};
    Clock::time_point last_sent{};
    std::function<void()> on_connected;
    unsigned short guest_port = 0;
};

void Client::Connect(const tcp::endpoint &source, const tcp::endpoint &relay)
{
    auto &socket = beast::get_lowest_layer(ws).socket();
    beast::error_code error;
    socket.open(tcp::v4(), error);
    if (!error)
        socket.bind(source, error);
    if (error) {
        ++room.totals.failed;
        room.on_connected();
        return;
    }
    beast::get_lowest_layer(ws).async_connect(relay, [self = shared_from_this()](beast::error_code error) {
        if (error) {
            ++self->room.totals.failed;
            self->room.on_connected();
            return;
        }
        beast::get_lowest_layer(self->ws).expires_never();
        beast::get_lowest_layer(self->ws).socket().set_option(tcp::no_delay(true), error);
        self->ws.async_handshake("127.0.0.1", "/", [self](beast::error_code error) {
            self->room.on_connected();
            if (error) {
                ++self->room.totals.failed;
                return;
            }
            ++self->room.totals.connected;
            self->Send(Json{{"type", "hello"}, {"protocol", PROTOCOL_VERSION}, {"game", "load"}}.dump());
            self->Read();
        });
    });
}

void Client::Send(std::string text)
{
    queue.push_back(std::move(text));
    if (!writing)
        Write_Next();
}

void Client::Write_Next()
{
    writing = true;
    ws.async_write(asio::buffer(queue.front()), [self = shared_from_this()](beast::error_code error, std::size_t) {
        self->writing = false;
        self->queue.pop_front();
        if (!error && !self->queue.empty())
            self->Write_Next();
    });
}

void Client::Read()
{
    ws.async_read(buffer, [self = shared_from_this()](beast::error_code error, std::size_t) {
        if (error)
            return;
        const auto data = self->buffer.cdata();
        const Json message = Json::parse(std::string_view(static_cast<const char *>(data.data()), data.size()),
                                         nullptr, false);
        self->buffer.consume(self->buffer.size());
        if (message.is_object())
            self->Received(message);
        self->Read();
    });
}

void Client::Schedule_Move(Clock::time_point when)
{
    pace.expires_at(when);
    pace.async_wait([self = shared_from_this()](beast::error_code error) {
        if (!error)
            self->Play_Move();
    });
}

void Client::Play_Move()
{
    if (!room.totals.measuring)
        return;
    Move moves[MATCH_MAX_MOVES];
    const int count = Match_Moves(match, moves);
    if (count == 0)
        return;
    const Move move = moves[std::uniform_int_distribution<int>(0, count - 1)(room.chooser)];
    room.sent_at = room.last_sent = Clock::now();
    const int number = match.moves;
    Send(Json{{"type", "move"},
              {"number", number},
              {"id", std::to_string(number)},
              {"move", {{"kind", move.kind == MOVE_PLACE ? "place" : "capture"}, {"from", move.from}, {"to", move.to}}}}
             .dump());
}

static Move Move_Of(const Json &move)
{
    return {move["kind"] == "place" ? MOVE_PLACE : MOVE_CAPTURE, move["from"].get<int>(), move["to"].get<int>()};
}

void Client::Received(const Json &message)
{
    const std::string type = message.value("type", "");
    if (type == "welcome" && side == SOLIDS) {
        Send(R"({"type":"create"})");
    } else if (type == "welcome") {
        Send(Json{{"type", "join"}, {"room", room.code}}.dump());
    } else if (type == "created") {
        room.code = message["room"];
        tcp::endpoint guest_relay = beast::get_lowest_layer(ws).socket().remote_endpoint();
        if (room.guest_port)
            guest_relay.port(room.guest_port);
        room.clients[STRIPES]->Connect(room.Source(), guest_relay);
    } else if (type == "start") {
        match = Match_Start(Side_From_Name(message["first"].get<std::string>()));
        if (side == SOLIDS)
            ++room.totals.started_rooms;
    } else if (type == "moved") {
        Match_Play(match, Move_Of(message["move"]));
        if (Hash_Text(Match_Hash(match)) != message["hash"])
            ++room.totals.mismatches;
        const bool mine = Side_From_Name(message["side"].get<std::string>()) == side;
        if (!mine && room.totals.measuring) {
            ++room.totals.moves;
            room.totals.round_trips_ms.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - room.sent_at).count());
        }
    } else if (type == "refused" || type == "error") {
        ++room.totals.refused;
    }
    if ((type == "moved" || type == "start") && match.round.turn == side)
        Schedule_Move(std::max(Clock::now(), room.last_sent + room.interval));
}

// ---------------------------------------------------------------- the relay's process

struct Process_Sample {
    double cpu_seconds = 0;
    long rss_kib = 0;
};

static Process_Sample Sample(int pid)
{
    Process_Sample sample;
    if (pid <= 0)
        return sample;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    // utime and stime are the 14th and 15th fields; the name (2nd) has no spaces here.
    unsigned long long ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stoull(field);
    sample.cpu_seconds = static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            sample.rss_kib = std::stol(line.substr(6));
    return sample;
}

static double Percentile(std::vector<double> &values, double share)
{
    if (values.empty())
        return 0;
    const std::size_t at = std::min(values.size() - 1, static_cast<std::size_t>(share * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

static bool Read_Options(int argc, char **argv, Options &options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char *value = argv[i + 1];
        if (name == "--port")
            options.port = static_cast<unsigned short>(std::atoi(value));
        else if (name == "--rooms")
            options.rooms = std::atoi(value);
        else if (name == "--seconds")
            options.seconds = std::atof(value);
        else if (name == "--rate")
            options.rate = std::atof(value);
        else if (name == "--guest-port")
            options.guest_port = static_cast<unsigned short>(std::atoi(value));
        else if (name == "--relay-pid")
            options.relay_pids.push_back(std::atoi(value));
        else if (name == "--redis-pid")
            options.redis_pid = std::atoi(value);
        else
            return false;
    }
    return argc % 2 == 1 && options.rooms > 0 && options.seconds > 0 && options.rate > 0 &&
           options.rate / options.rooms <= ROOM_MOVES_PER_SECOND_MAX;
}

// Runs the io_context until `done` or the time is up.
template <class Done>
static void Run_Until(asio::io_context &io, Clock::duration limit, Done done)
{
    const auto deadline = Clock::now() + limit;
    while (!done() && Clock::now() < deadline)
        io.run_for(std::chrono::milliseconds(50));
}

int main(int argc, char **argv)
{
    Options options;
    if (!Read_Options(argc, argv, options)) {
        std::fprintf(stderr, "usage: relay_load --port P [--guest-port Q] [--rooms N] [--seconds S] [--rate MOVES]\n"
                             "                  [--relay-pid PID]... [--redis-pid PID]\n"
                             "(at most %.0f moves a second a room)\n",
                     ROOM_MOVES_PER_SECOND_MAX);
        return 2;
    }
    asio::io_context io;
    Totals totals;
    totals.round_trips_ms.reserve(static_cast<std::size_t>(options.rate * options.seconds * 1.2));
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.rooms / options.rate));
    const tcp::endpoint relay(asio::ip::make_address("127.0.0.1"), options.port);
    const auto sample_all = [&options] {
        std::vector<Process_Sample> samples;
        for (int pid : options.relay_pids)
            samples.push_back(Sample(pid));
        samples.push_back(Sample(options.redis_pid));
        return samples;
    };
    const std::vector<Process_Sample> idle = sample_all();

    std::vector<std::unique_ptr<Room>> rooms;
    int next_room = 0, in_flight = 0;
    std::function<void()> connect_more = [&] {
        while (in_flight < CONNECTS_IN_FLIGHT && next_room < options.rooms) {
            auto room = std::make_unique<Room>(io, totals, next_room++, interval);
            room->guest_port = options.guest_port;
            // Each room's two connects count once they are both done.
            room->on_connected = [&in_flight, &connect_more] {
                --in_flight;
                connect_more();
            };
            in_flight += 2;
            room->clients[SOLIDS]->Connect(room->Source(), relay);
            rooms.push_back(std::move(room));
        }
    };
    const auto set_up_began = Clock::now();
    connect_more();
    Run_Until(io, SET_UP_TIME, [&] { return totals.started_rooms + totals.failed >= options.rooms; });
    const double set_up = std::chrono::duration<double>(Clock::now() - set_up_began).count();
    const std::vector<Process_Sample> held = sample_all();
    const int connections = totals.connected;

    totals.measuring = true;
    for (auto &room : rooms)
        for (auto &client : room->clients)
            if (client->match.round.turn == client->side && totals.started_rooms)
                client->Schedule_Move(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                         room->interval * (room->index % 100) / 100.0));
    const auto began = Clock::now();
    Run_Until(io, std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds)),
              [] { return false; });
    const double elapsed = std::chrono::duration<double>(Clock::now() - began).count();
    const std::vector<Process_Sample> busy = sample_all();
    totals.measuring = false;

    std::printf("rooms %d started %d, connections held %d, failed %d, set-up %.1f s\n", options.rooms,
                totals.started_rooms, connections, totals.failed, set_up);
    std::printf("moves relayed %ld in %.1f s: %.0f a second (asked for %.0f)\n", totals.moves, elapsed,
                totals.moves / elapsed, options.rate);
    std::vector<double> &trips = totals.round_trips_ms;
    const double median = Percentile(trips, 0.5), p99 = Percentile(trips, 0.99);
    const double longest = trips.empty() ? 0 : *std::max_element(trips.begin(), trips.end());
    std::printf("round trip to the other player: median %.2f ms, p99 %.2f ms, max %.2f ms\n", median, p99, longest);
    std::printf("refused or errors %ld, hash mismatches %ld\n", totals.refused, totals.mismatches);
    // What a move costs each process whatever else the machine runs.
    long relays_rss = 0;
    for (std::size_t at = 0; at < busy.size(); ++at) {
        const bool redis = at + 1 == busy.size();
        if (redis && options.redis_pid <= 0)
            continue;
        const double cpu = busy[at].cpu_seconds - held[at].cpu_seconds;
        std::printf("%s CPU %.0f%% of one core while moving, %.0f us a move\n",
                    redis ? "redis" : ("relay " + std::to_string(at + 1)).c_str(), 100.0 * cpu / elapsed,
                    totals.moves ? 1e6 * cpu / static_cast<double>(totals.moves) : 0.0);
        if (!redis)
            relays_rss += held[at].rss_kib - idle[at].rss_kib;
    }
    if (!options.relay_pids.empty())
        std::printf("relay memory %ld KiB with %d connections: %.1f KiB a connection\n", relays_rss, connections,
                    connections ? double(relays_rss) / connections : 0.0);
    return totals.mismatches == 0 && totals.failed == 0 && totals.started_rooms == options.rooms ? 0 : 1;
}
