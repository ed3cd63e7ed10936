// Online matches through the real relay: torvek-relay on a free port of
// 127.0.0.1 and the real program, headless, as host, guest and watcher,
// each a process of its own playing its side by keys; and the same over a
// bad link (a proxy of the tests' own between a player and the relay), a
// player killed and started again, a room left empty, the relay stopped,
// and a relay with TLS.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child.h"
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
    Child watcher(Player(23, 1, {"--watch", room + "@" + relay.url}), Log_Of(23));
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
    Expect_Same_Ending(hosted, watched);
    // Its record, written anew when it came back, holds the whole match.
    Match_Record recorded;
    Record_Fault fault;
    ASSERT_TRUE(Record_Read(torvek_test::ReadFile(guest_record), recorded, fault)) << fault.line << ": " << fault.what;
    EXPECT_EQ(static_cast<long>(recorded.moves.size()), hosted.moves);
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

}  // namespace
