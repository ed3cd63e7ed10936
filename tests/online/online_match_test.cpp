// Online matches through the real relay: torvek-relay on a free port of
// 127.0.0.1 and the real program, headless, as host, guest and watcher,
// each a process of its own playing its side by keys; and the same over a
// bad link (a proxy of the tests' own between a player and the relay), a
// player killed and started again, a room left empty, the relay stopped,
// and a relay with TLS; and rooms kept in Redis by two relays behind
// HAProxy, with a relay killed and Redis restarted mid-round.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child.h"
#include "moves.h"
#include "fault_proxy.h"
#include "record.h"
#include "test_files.h"

namespace {

constexpr double START_SECONDS = 20;
constexpr double MATCH_SECONDS = 240;
// The link is spoilt for about this long at each step.
constexpr auto FAULT_TIME = std::chrono::seconds(2);
// How long the room waits for a lost player in the scenarios of its end.
constexpr int SHORT_ROOM_WAIT = 2;
constexpr int LINK_DELAY_MS = 40;
// Both ends take a link that answers nothing for 10 s as lost.
constexpr double DEAD_LINK_SECONDS = 15;
// How long a match runs before its guest is cut off: a few moves.
constexpr auto MID_ROUND = std::chrono::seconds(3);

struct Final {
    std::string hash;
    int solids = -1, stripes = -1;
    long moves = -1;
};

Final Read_Final(const std::string &line)
{
    Final final;
    std::istringstream words(line);
    std::string word;
    words >> word >> final.hash >> final.solids >> final.stripes >> final.moves;
    return final;
}

std::vector<std::string> Relay_Words(const std::vector<std::string> &options)
{
    std::vector<std::string> words = {TORVEK_RELAY, "--listen", "127.0.0.1:0"};
    words.insert(words.end(), options.begin(), options.end());
    return words;
}

// The relay, and the address it listens on.
struct Relay {
    Child program;
    std::string url;
    int port = 0;
    explicit Relay(const std::vector<std::string> &options = {}) : program(Relay_Words(options))
    {
        const std::string line = program.Line_Starting("torvek-relay: relaying on ", START_SECONDS);
        url = line.empty() ? "" : line.substr(line.rfind(' ') + 1);
        port = url.empty() ? 0 : std::atoi(url.substr(url.rfind(':') + 1).c_str());
    }
};

// Each player keeps its seat in a state folder of its own, as on its own
// machine; `flags` go to the player program, `options` to the game.
std::vector<std::string> Player(unsigned seed, int rounds, std::vector<std::string> options,
                                std::vector<std::string> flags = {})
{
    const std::string state = torvek_test::ScratchDir() + "/player" + std::to_string(seed);
    std::vector<std::string> words = {TORVEK_ONLINE_PLAYER, "--seed", std::to_string(seed), "--rounds",
                                      std::to_string(rounds), "--seconds", "200", "--state", state};
    words.insert(words.end(), flags.begin(), flags.end());
    words.push_back("--");
    words.insert(words.end(), options.begin(), options.end());
    return words;
}

// Where the player of that seed logs, the "online: ..." lines among them.
std::string Log_Of(unsigned seed)
{
    return torvek_test::ScratchDir() + "/player" + std::to_string(seed) + ".log";
}

// The room code the host's program prints once the relay made its room.
std::string Room_Of(Child &host)
{
    const std::string line = host.Line_Starting("TORVEK room ", START_SECONDS);
    return line.empty() ? "" : line.substr(line.rfind(' ') + 1);
}

// The one who plays a match's first move, once the program has shown it.
bool Started(Child &player)
{
    return player.Logged("place first.", START_SECONDS);
}

void Expect_Same_Ending(const Final &one, const Final &other)
{
    EXPECT_EQ(other.hash, one.hash);
    EXPECT_EQ(other.solids, one.solids);
    EXPECT_EQ(other.stripes, one.stripes);
    EXPECT_EQ(other.moves, one.moves);
}

// Within `seconds`, whether the proxy has reset the link as often as asked.
bool Reset_Done(const Fault_Proxy &proxy, int resets, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (proxy.Resets() < resets && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return proxy.Resets() >= resets;
}

// A certificate authority of the test's own, and the relay's certificate
// for 127.0.0.1 that it signed; false when openssl fails.
bool Make_Certificates(const std::string &dir)
{
    const std::string quiet = " >/dev/null 2>&1";
    const std::string key = " -newkey rsa:2048 -nodes";
    return std::system(("openssl req -x509" + key + " -keyout '" + dir + "/ca.key' -out '" + dir +
                        "/ca.pem' -days 2 -subj '/CN=TORVEK test authority'" + quiet)
                           .c_str()) == 0 &&
           std::system(("openssl req" + key + " -keyout '" + dir + "/relay.key' -out '" + dir +
                        "/relay.csr' -subj '/CN=TORVEK test relay'" + quiet)
                           .c_str()) == 0 &&
           std::system(("printf 'subjectAltName=IP:127.0.0.1\\n' > '" + dir + "/names.cnf' && "
                        "openssl x509 -req -in '" + dir + "/relay.csr' -CA '" + dir + "/ca.pem' -CAkey '" + dir +
                        "/ca.key' -CAcreateserial -days 2 -extfile '" + dir + "/names.cnf' -out '" + dir +
                        "/relay.pem'" + quiet)
                           .c_str()) == 0;
}

// Two players and a watcher play a round to its win and the next deal: all
// three end on the same position, scores and number of moves.
TEST(OnlineMatch, HostGuestAndWatcherPlayARoundToTheSamePosition)
{
    Relay relay;
    ASSERT_FALSE(relay.url.empty()) << "the relay did not say where it listens";
    Child host(Player(1, 1, {"--host", relay.url}));
    const std::string room = Room_Of(host);
    ASSERT_EQ(room.size(), 9u) << "no room code from the host";
    EXPECT_EQ(room[4], '-');
    // The watcher is in before the guest starts the match, so it sees every move played.
    Child watcher(Player(3, 1, {"--watch", room + "@" + relay.url}), Log_Of(3));
    ASSERT_TRUE(watcher.Logged("online: Watching room", START_SECONDS)) << watcher.Log();
    Child guest(Player(2, 1, {"--join", room + "@" + relay.url}));

    const Final hosted = Read_Final(host.Line_Starting("final ", MATCH_SECONDS));
    const Final joined = Read_Final(guest.Line_Starting("final ", MATCH_SECONDS));
    const Final watched = Read_Final(watcher.Line_Starting("final ", MATCH_SECONDS));
    EXPECT_EQ(host.Wait(START_SECONDS), 0);
    EXPECT_EQ(guest.Wait(START_SECONDS), 0);
    EXPECT_EQ(watcher.Wait(START_SECONDS), 0);
    ASSERT_EQ(hosted.solids + hosted.stripes, 1) << "the round was not won";
    EXPECT_GE(hosted.moves, 9);
    Expect_Same_Ending(hosted, joined);
    Expect_Same_Ending(hosted, watched);
    relay.program.Signal(SIGTERM);
    EXPECT_EQ(relay.program.Wait(START_SECONDS), 0);
}

// The guest's link goes dead past the heartbeat, then holds every byte a
// while, passes them one at a time, stalls briefly and breaks off in the
// middle of a frame: each time the link is lost the guest connects again and
// takes its seat back, the host is told, and both end the round on the same
// position with every move played once.
TEST(OnlineFaults, ABadLinkSlowsTheMatchButLeavesItTheSame)
{
    Relay relay;
    ASSERT_NE(relay.port, 0) << "the relay did not say where it listens";
    Fault_Proxy proxy(relay.port);
    ASSERT_FALSE(proxy.Url().empty());
    Child host(Player(11, 1, {"--host", relay.url}), Log_Of(11));
    const std::string room = Room_Of(host);
    ASSERT_EQ(room.size(), 9u) << "no room code from the host";
    Child guest(Player(12, 1, {"--join", room + "@" + proxy.Url()}), Log_Of(12));
    ASSERT_TRUE(Started(guest)) << guest.Log();

    proxy.Stall(true);
    EXPECT_TRUE(guest.Logged("online: Connection lost: the connection was lost: the relay stopped answering",
                             DEAD_LINK_SECONDS))
        << guest.Log();
    proxy.Stall(false);
    EXPECT_TRUE(host.Logged("online: Stripes is back.", START_SECONDS)) << host.Log();
    proxy.Delay(LINK_DELAY_MS);
    proxy.Trickle(true);
    std::this_thread::sleep_for(FAULT_TIME);
    proxy.Trickle(false);
    proxy.Delay(0);
    proxy.Stall(true);
    std::this_thread::sleep_for(FAULT_TIME);
    proxy.Stall(false);
    proxy.Reset_Mid_Frame();
    ASSERT_TRUE(Reset_Done(proxy, 1, START_SECONDS)) << "nothing came from the relay to break off";
    EXPECT_TRUE(guest.Logged("online: Connection lost: the connection was lost; trying again", START_SECONDS))
        << guest.Log();

    const Final hosted = Read_Final(host.Line_Starting("final ", MATCH_SECONDS));
    const Final joined = Read_Final(guest.Line_Starting("final ", MATCH_SECONDS));
    ASSERT_EQ(hosted.solids + hosted.stripes, 1) << "the round was not won\n" << host.Log() << guest.Log();
    Expect_Same_Ending(hosted, joined);
    EXPECT_EQ(proxy.Connections(), 3) << "the guest should have connected again after the dead link and the reset";
}

// Mid-round the guest's link breaks off and its program is killed; started
// again with the same link and state folder it takes its seat back, is
// brought at once to the relay's position and goes on: host, guest and a
// watcher end on the same position, and host and watcher saw every move
// once (a move played twice would leave another position or count).
TEST(OnlineFaults, AGuestCutOffAndKilledComesBackToItsSeat)
{
    Relay relay;
    ASSERT_NE(relay.port, 0) << "the relay did not say where it listens";
    Fault_Proxy proxy(relay.port);
    Child host(Player(21, 1, {"--host", relay.url}), Log_Of(21));
    const std::string room = Room_Of(host);
    ASSERT_EQ(room.size(), 9u) << "no room code from the host";
    // The watcher is in before the guest starts the match, so it sees every move played.
    Child watcher(Player(23, 1, {"--watch", room + "@" + relay.url}), Log_Of(23));
    ASSERT_TRUE(watcher.Logged("online: Watching room", START_SECONDS)) << watcher.Log();
    const std::string guest_record = torvek_test::ScratchDir() + "/guest22.record";
    const std::vector<std::string> guest_words =
        Player(22, 1, {"--join", room + "@" + proxy.Url(), "--record", guest_record});
    auto guest = std::make_unique<Child>(guest_words, Log_Of(22));
    ASSERT_TRUE(Started(*guest)) << guest->Log();

    std::this_thread::sleep_for(MID_ROUND);
    proxy.Reset_Mid_Frame();
    ASSERT_TRUE(Reset_Done(proxy, 1, START_SECONDS)) << "nothing came from the relay to break off";
    guest->Signal(SIGKILL);
    EXPECT_EQ(guest->Wait(START_SECONDS), 128 + SIGKILL);
    EXPECT_TRUE(host.Logged("online: Stripes lost the connection", START_SECONDS)) << host.Log();
    guest = std::make_unique<Child>(guest_words, Log_Of(22));
    EXPECT_TRUE(host.Logged("online: Stripes is back.", START_SECONDS)) << host.Log();

    const Final hosted = Read_Final(host.Line_Starting("final ", MATCH_SECONDS));
    const Final joined = Read_Final(guest->Line_Starting("final ", MATCH_SECONDS));
    const Final watched = Read_Final(watcher.Line_Starting("final ", MATCH_SECONDS));
    ASSERT_EQ(hosted.solids + hosted.stripes, 1) << "the round was not won\n" << host.Log() << guest->Log();
    EXPECT_EQ(joined.hash, hosted.hash);
    EXPECT_EQ(joined.solids, hosted.solids);
    EXPECT_EQ(joined.stripes, hosted.stripes);
    // The guest started again saw only the moves after it came back.
    EXPECT_GT(joined.moves, 0);
    EXPECT_LT(joined.moves, hosted.moves);
    EXPECT_EQ(watched.hash, hosted.hash);
    EXPECT_EQ(watched.solids, hosted.solids);
    EXPECT_EQ(watched.stripes, hosted.stripes);
    EXPECT_EQ(watched.moves, hosted.moves);
    // Its record, written anew when it came back, holds the whole match.
    Match_Record recorded;
    Record_Fault fault;
    ASSERT_TRUE(Record_Read(torvek_test::ReadFile(guest_record), recorded, fault)) << fault.line << ": " << fault.what;
    Match_State replayed;
    ASSERT_TRUE(Match_Replay(recorded, replayed));
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Match_Hash(replayed)));
    EXPECT_EQ(hash, joined.hash) << "the record of the guest that came back is not its match";
}

// A guest that dies and does not come back within the relay's --room-wait:
// the room ends and the host's program says so, and stays until Escape.
TEST(OnlineFaults, AGuestWhoStaysAwayPastTheRoomWaitEndsTheRoom)
{
    Relay relay({"--room-wait", std::to_string(SHORT_ROOM_WAIT)});
    ASSERT_FALSE(relay.url.empty()) << "the relay did not say where it listens";
    Child host(Player(31, 1, {"--host", relay.url}), Log_Of(31));
    const std::string room = Room_Of(host);
    ASSERT_EQ(room.size(), 9u) << "no room code from the host";
    Child guest(Player(32, 1, {"--join", room + "@" + relay.url}), Log_Of(32));
    ASSERT_TRUE(Started(host)) << host.Log();

    guest.Signal(SIGKILL);
    EXPECT_TRUE(host.Logged("online: Stripes lost the connection; waiting " + std::to_string(SHORT_ROOM_WAIT) +
                            " s.", START_SECONDS))
        << host.Log();
    EXPECT_TRUE(host.Logged("online: The room has ended: Stripes did not come back.", START_SECONDS))
        << host.Log();
    std::this_thread::sleep_for(FAULT_TIME);
    EXPECT_TRUE(host.Running()) << "the program should stay until Escape";
}

// The relay stopped in the middle of a match: both players' programs say
// the relay has shut down and end cleanly, as does the relay.
TEST(OnlineFaults, StoppingTheRelayEndsTheMatchCleanlyOnBothSides)
{
    Relay relay;
    ASSERT_FALSE(relay.url.empty()) << "the relay did not say where it listens";
    Child host(Player(41, 1, {"--host", relay.url}, {"--until-over"}), Log_Of(41));
    const std::string room = Room_Of(host);
    ASSERT_EQ(room.size(), 9u) << "no room code from the host";
    Child guest(Player(42, 1, {"--join", room + "@" + relay.url}, {"--until-over"}), Log_Of(42));
    ASSERT_TRUE(Started(guest)) << guest.Log();

    relay.program.Signal(SIGTERM);
    EXPECT_EQ(relay.program.Wait(START_SECONDS), 0);
    for (Child *player : {&host, &guest}) {
        EXPECT_EQ(player->Line_Starting("over", START_SECONDS), "over") << player->Log();
        EXPECT_EQ(player->Wait(START_SECONDS), 0);
        EXPECT_TRUE(player->Logged("online: The relay has shut down.", 0)) << player->Log();
    }
}

// A relay with TLS and a certificate of the test's own authority: a player
// without --ca is told the certificate could not be verified, the two with
// it play a round to the same position.
TEST(OnlineFaults, ASecureRelayIsPlayedThroughItsAuthorityAndRefusedWithoutIt)
{
    const std::string dir = torvek_test::ScratchDir();
    ASSERT_TRUE(Make_Certificates(dir));
    const std::string authority = dir + "/ca.pem";
    Relay relay({"--tls-cert", dir + "/relay.pem", "--tls-key", dir + "/relay.key"});
    ASSERT_EQ(relay.url.rfind("wss://127.0.0.1:", 0), 0u) << relay.url;
    Child host(Player(51, 1, {"--host", relay.url, "--ca", authority}), Log_Of(51));
    const std::string room = Room_Of(host);
    ASSERT_EQ(room.size(), 9u) << "no room code from the host";

    Child stranger(Player(53, 1, {"--join", room + "@" + relay.url}, {"--until-over"}), Log_Of(53));
    EXPECT_EQ(stranger.Line_Starting("over", START_SECONDS), "over");
    EXPECT_EQ(stranger.Wait(START_SECONDS), 0);
    EXPECT_TRUE(stranger.Logged("the certificate could not be verified", 0)) << stranger.Log();

    Child guest(Player(52, 1, {"--join", room + "@" + relay.url, "--ca", authority}), Log_Of(52));
    const Final hosted = Read_Final(host.Line_Starting("final ", MATCH_SECONDS));
    const Final joined = Read_Final(guest.Line_Starting("final ", MATCH_SECONDS));
    ASSERT_EQ(hosted.solids + hosted.stripes, 1) << "the round was not won\n" << host.Log() << guest.Log();
    Expect_Same_Ending(hosted, joined);
}

// ---------------------------------------------------------------- rooms in Redis, relays behind a proxy

// Redis and HAProxy as Debian has them, with the configuration files that
// docs/deploy.md gives (dist/relay), on ports of 127.0.0.1.
std::string Program_Path(const std::string &name)
{
    for (const std::string dir : {"/usr/bin/", "/usr/sbin/", "/usr/local/bin/", "/usr/local/sbin/"})
        if (access((dir + name).c_str(), X_OK) == 0)
            return dir + name;
    return "";
}

// A port of 127.0.0.1 that is free now, for the programs that cannot pick their own.
int Free_Port()
{
    const int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(socket_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(socket_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(socket_fd);
    return port;
}

bool Accepts(int port, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool open = connect(socket_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        close(socket_fd);
        if (open)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Redis with the append-only file in a folder of the test's own.
struct Redis {
    std::string dir = torvek_test::ScratchDir() + "/redis";
    int port = Free_Port();
    std::unique_ptr<Child> program;

    bool Start()
    {
        std::system(("mkdir -p '" + dir + "'").c_str());
        program = std::make_unique<Child>(std::vector<std::string>{
            Program_Path("redis-server"), std::string(TORVEK_RELAY_CONFIG) + "/redis.conf", "--port",
            std::to_string(port), "--dir", dir, "--logfile", dir + "/redis.log", "--pidfile", dir + "/redis.pid"});
        return Accepts(port, START_SECONDS);
    }
};

// The moves Redis stored for a room, as its scripts publish each one in the
// step that stores it, heard on the room's channel (redis-cli SUBSCRIBE):
// the room's keys are gone once a player leaves at the end, its events are
// not. Replayed by the rules: how many were stored, how many of them were
// legal in turn, and the hash of the position after them.
struct Stored_Match {
    long moves = 0, legal = 0, numbers_again = 0;
    std::string hash;
};

class Room_Channel {
public:
    Room_Channel(const Redis &redis, const std::string &room) : redis(redis), channel(Channel_Of(room)) { Listen(); }
    // A new subscriber, after a restart of Redis.
    void Listen()
    {
        listeners.push_back(std::make_unique<Child>(std::vector<std::string>{
            Program_Path("redis-cli"), "-p", std::to_string(redis.port), "SUBSCRIBE", channel}));
        // Subscribed once redis-cli has printed the confirmation's three lines.
        for (int line = 0; line < 3; ++line)
            listeners.back()->Next_Line(START_SECONDS);
    }
    // The moves heard so far.
    long Heard(double seconds = 0.2)
    {
        for (auto &listener : listeners)
            for (std::string line = listener->Next_Line(seconds); !line.empty(); line = listener->Next_Line(0.2))
                Take(line);
        return static_cast<long>(moves.size());
    }
    Stored_Match Stored(int first)
    {
        Heard(1);
        Stored_Match stored;
        Match_State match = Match_Start(first);
        bool legal = true;
        for (const auto &[number, entry] : moves) {
            std::istringstream words(entry);
            int side = -1, kind = -1;
            Move move{};
            words >> side >> kind >> move.from >> move.to;
            move.kind = static_cast<Move_Kind>(kind);
            legal = legal && number == stored.moves && side == match.round.turn && Match_Play(match, move) == MOVE_LEGAL;
            ++stored.moves;
            stored.legal += legal;
        }
        stored.numbers_again = numbers_again;
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Match_Hash(match)));
        stored.hash = hash;
        return stored;
    }

private:
    static std::string Channel_Of(const std::string &room) { return "torvek:{" + room.substr(0, 4) + room.substr(5) + "}"; }
    // "M ORIGIN NUMBER SIDE KIND FROM TO ID"
    void Take(const std::string &line)
    {
        if (line.rfind("M ", 0) != 0)
            return;
        std::istringstream words(line.substr(2));
        std::string origin;
        long number = -1;
        words >> origin >> number;
        std::string rest;
        std::getline(words, rest);
        numbers_again += moves.count(number);
        moves[number] = rest;
    }

    const Redis &redis;
    std::string channel;
    std::vector<std::unique_ptr<Child>> listeners;
    std::map<long, std::string> moves;
    long numbers_again = 0;
};

// Redis, two relays keeping their rooms there and HAProxy in front of them,
// terminating TLS with a certificate of the test's own authority.
struct Shared_Rooms {
    Redis redis;
    std::unique_ptr<Relay> relays[2];
    std::unique_ptr<Child> proxy;
    std::string url, authority;
    std::string failure;  // what did not start

    bool Start()
    {
        const std::string dir = torvek_test::ScratchDir();
        failure = "the certificates";
        if (!Make_Certificates(dir) ||
            std::system(("cat '" + dir + "/relay.pem' '" + dir + "/relay.key' > '" + dir + "/proxy.pem'").c_str()) != 0)
            return false;
        authority = dir + "/ca.pem";
        failure = "redis-server (" + redis.dir + "/redis.log)";
        if (!redis.Start())
            return false;
        failure = "a relay";
        for (auto &relay : relays) {
            relay = std::make_unique<Relay>(
                std::vector<std::string>{"--redis", "127.0.0.1:" + std::to_string(redis.port), "--proxy", "127.0.0.1"});
            if (relay->port == 0)
                return false;
        }
        failure = "haproxy";
        const int port = Free_Port();
        setenv("TORVEK_PROXY_LISTEN", ("127.0.0.1:" + std::to_string(port)).c_str(), 1);
        setenv("TORVEK_PROXY_CERT", (dir + "/proxy.pem").c_str(), 1);
        setenv("TORVEK_RELAY_1", ("127.0.0.1:" + std::to_string(relays[0]->port)).c_str(), 1);
        setenv("TORVEK_RELAY_2", ("127.0.0.1:" + std::to_string(relays[1]->port)).c_str(), 1);
        proxy = std::make_unique<Child>(std::vector<std::string>{
            Program_Path("haproxy"), "-db", "-f", std::string(TORVEK_RELAY_CONFIG) + "/haproxy.cfg"});
        url = "wss://127.0.0.1:" + std::to_string(port) + "/";
        return Accepts(port, START_SECONDS);
    }
    // The relay (0 or 1) the proxy passed its next WebSocket to; -1 if none within the time.
    int Next_Relay()
    {
        const std::string line = proxy->Line_Starting("torvek-proxy: ", START_SECONDS);
        return line.find(" to relay1 ") != std::string::npos   ? 0
               : line.find(" to relay2 ") != std::string::npos ? 1
                                                                 : -1;
    }
    std::vector<std::string> Through_Proxy(const std::string &option, const std::string &room = "")
    {
        return {option, room.empty() ? url : room + "@" + url, "--ca", authority};
    }
};

#define SKIP_WITHOUT_SHARED_ROOMS()                                                                            \
    if (Program_Path("redis-server").empty() || Program_Path("redis-cli").empty() ||                       \
        Program_Path("haproxy").empty())                                                                   \
    GTEST_SKIP() << "redis-server, redis-cli and haproxy are needed (Debian: apt-get install redis-server haproxy)"

// Every player and watcher ends the round on the same position and scores,
// the position of the moves Redis stored, each of them legal in turn and
// none numbered twice (a move lost or stored twice would leave another
// position or an illegal one); the watcher that never lost its relay saw
// each of them played once.
void Expect_Kept(Room_Channel &channel, int first, const Final &host, const Final &guest, const Final &watcher,
                 bool watcher_saw_all)
{
    ASSERT_EQ(host.solids + host.stripes, 1) << "the round was not won";
    for (const Final *other : {&guest, &watcher}) {
        EXPECT_EQ(other->hash, host.hash);
        EXPECT_EQ(other->solids, host.solids);
        EXPECT_EQ(other->stripes, host.stripes);
    }
    const Stored_Match stored = channel.Stored(first);
    EXPECT_GT(stored.moves, 0);
    EXPECT_EQ(stored.legal, stored.moves) << "Redis stored a move the rules refuse there";
    EXPECT_EQ(stored.numbers_again, 0) << "Redis stored two moves with one number";
    EXPECT_EQ(stored.hash, host.hash) << "Redis stored another match than the players ended on";
    if (watcher_saw_all) {
        EXPECT_EQ(watcher.moves, stored.moves) << "a move was seen twice or missed";
    }
    std::printf("moves: %ld stored (%ld legal in turn); seen played: host %ld, guest %ld, watcher %ld\n",
                stored.moves, stored.legal, host.moves, guest.moves, watcher.moves);
}

// The side that places first, as the player's program logs it.
int First_Of(Child &player)
{
    return player.Logged("online: Solids place first.", 0) ? SOLIDS : STRIPES;
}

// Host and guest reach different relays through the proxy, a watcher a
// relay directly; mid-round the host's relay is killed: the host comes back
// through the proxy to the other relay and the round goes on to its win.
TEST(SharedRooms, PlayersOnTwoRelaysPlayOnWhenTheRelayOfOneIsKilled)
{
    SKIP_WITHOUT_SHARED_ROOMS();
    Shared_Rooms rooms;
    ASSERT_TRUE(rooms.Start()) << rooms.failure << " did not start";
    Child host(Player(61, 1, rooms.Through_Proxy("--host")), Log_Of(61));
    const std::string room = Room_Of(host);
    ASSERT_EQ(room.size(), 9u) << "no room code from the host\n" << host.Log();
    Room_Channel channel(rooms.redis, room);
    const int host_relay = rooms.Next_Relay();
    ASSERT_GE(host_relay, 0);
    const int other = 1 - host_relay;
    Child watcher(Player(63, 1, {"--watch", room + "@" + rooms.relays[other]->url}), Log_Of(63));
    ASSERT_TRUE(watcher.Logged("online: Watching room", START_SECONDS)) << watcher.Log();
    Child guest(Player(62, 1, rooms.Through_Proxy("--join", room)), Log_Of(62));
    ASSERT_EQ(rooms.Next_Relay(), other) << "round robin should give the guest the other relay";
    ASSERT_TRUE(Started(guest)) << guest.Log();

    std::this_thread::sleep_for(MID_ROUND);
    std::printf("moves stored when the host's relay was killed: %ld\n", channel.Heard());
    rooms.relays[host_relay]->program.Signal(SIGKILL);
    EXPECT_TRUE(host.Logged("online: Connection lost", START_SECONDS)) << host.Log();
    EXPECT_EQ(rooms.Next_Relay(), other) << "the host should come back through the relay left";

    const Final hosted = Read_Final(host.Line_Starting("final ", MATCH_SECONDS));
    const Final joined = Read_Final(guest.Line_Starting("final ", MATCH_SECONDS));
    const Final watched = Read_Final(watcher.Line_Starting("final ", MATCH_SECONDS));
    Expect_Kept(channel, First_Of(host), hosted, joined, watched, true);
}

// Both players on one relay, the watcher on the other: that relay is killed
// mid-round and both players come back through the proxy to the other.
TEST(SharedRooms, BothPlayersPlayOnWhenTheirRelayIsKilled)
{
    SKIP_WITHOUT_SHARED_ROOMS();
    Shared_Rooms rooms;
    ASSERT_TRUE(rooms.Start()) << rooms.failure << " did not start";
    Child host(Player(71, 1, rooms.Through_Proxy("--host")), Log_Of(71));
    const std::string room = Room_Of(host);
    ASSERT_EQ(room.size(), 9u) << "no room code from the host\n" << host.Log();
    Room_Channel channel(rooms.redis, room);
    const int players_relay = rooms.Next_Relay();
    ASSERT_GE(players_relay, 0);
    Child watcher(Player(73, 1, rooms.Through_Proxy("--watch", room)), Log_Of(73));
    ASSERT_EQ(rooms.Next_Relay(), 1 - players_relay);
    ASSERT_TRUE(watcher.Logged("online: Watching room", START_SECONDS)) << watcher.Log();
    Child guest(Player(72, 1, rooms.Through_Proxy("--join", room)), Log_Of(72));
    ASSERT_EQ(rooms.Next_Relay(), players_relay) << "round robin should give the guest the host's relay";
    ASSERT_TRUE(Started(guest)) << guest.Log();

    std::this_thread::sleep_for(MID_ROUND);
    std::printf("moves stored when the players' relay was killed: %ld\n", channel.Heard());
    rooms.relays[players_relay]->program.Signal(SIGKILL);
    for (Child *player : {&host, &guest})
        EXPECT_TRUE(player->Logged("online: Connection lost", START_SECONDS)) << player->Log();

    const Final hosted = Read_Final(host.Line_Starting("final ", MATCH_SECONDS));
    const Final joined = Read_Final(guest.Line_Starting("final ", MATCH_SECONDS));
    const Final watched = Read_Final(watcher.Line_Starting("final ", MATCH_SECONDS));
    Expect_Kept(channel, First_Of(host), hosted, joined, watched, true);
}

// Redis killed mid-round and started again on its append-only file: the
// relays tell their clients and close them, reconnect by themselves, and
// the players come back to the room with every move kept.
TEST(SharedRooms, TheMatchGoesOnWhenRedisIsRestarted)
{
    SKIP_WITHOUT_SHARED_ROOMS();
    Shared_Rooms rooms;
    ASSERT_TRUE(rooms.Start()) << rooms.failure << " did not start";
    Child host(Player(81, 1, rooms.Through_Proxy("--host")), Log_Of(81));
    const std::string room = Room_Of(host);
    ASSERT_EQ(room.size(), 9u) << "no room code from the host\n" << host.Log();
    Room_Channel channel(rooms.redis, room);
    const int host_relay = rooms.Next_Relay();
    ASSERT_GE(host_relay, 0);
    Child watcher(Player(83, 1, {"--watch", room + "@" + rooms.relays[host_relay]->url}), Log_Of(83));
    ASSERT_TRUE(watcher.Logged("online: Watching room", START_SECONDS)) << watcher.Log();
    Child guest(Player(82, 1, rooms.Through_Proxy("--join", room)), Log_Of(82));
    ASSERT_EQ(rooms.Next_Relay(), 1 - host_relay);
    ASSERT_TRUE(Started(guest)) << guest.Log();

    std::this_thread::sleep_for(MID_ROUND);
    std::printf("moves stored when Redis was killed: %ld\n", channel.Heard());
    rooms.redis.program->Signal(SIGKILL);
    EXPECT_EQ(rooms.redis.program->Wait(START_SECONDS), 128 + SIGKILL);
    for (Child *player : {&host, &guest})
        EXPECT_TRUE(player->Logged("online: Connection lost: the relay cannot reach its rooms now", START_SECONDS))
            << player->Log();
    std::this_thread::sleep_for(FAULT_TIME);
    ASSERT_TRUE(rooms.redis.Start()) << "Redis did not start again";
    channel.Listen();

    const Final hosted = Read_Final(host.Line_Starting("final ", MATCH_SECONDS));
    const Final joined = Read_Final(guest.Line_Starting("final ", MATCH_SECONDS));
    const Final watched = Read_Final(watcher.Line_Starting("final ", MATCH_SECONDS));
    Expect_Kept(channel, First_Of(host), hosted, joined, watched, false);
}

}  // namespace
