// Online matches through the real relay: torvek-relay on a free port of
// 127.0.0.1 and the real program, headless, as host, guest and watcher,
// each a process of its own playing its side by keys.
#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <string>
#include <vector>

#include "child.h"
#include "test_files.h"

namespace {

constexpr double START_SECONDS = 20;
constexpr double MATCH_SECONDS = 240;

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

// The relay, and the address it listens on.
struct Relay {
    Child program{{TORVEK_RELAY, "--listen", "127.0.0.1:0"}};
    std::string url;
    Relay()
    {
        const std::string line = program.Line_Starting("torvek-relay: relaying on ", START_SECONDS);
        url = line.empty() ? "" : line.substr(line.rfind(' ') + 1);
    }
};

// Each player keeps its seat in a state folder of its own, as on its own machine.
std::vector<std::string> Player(unsigned seed, int rounds, std::vector<std::string> options)
{
    const std::string state = torvek_test::ScratchDir() + "/player" + std::to_string(seed);
    std::vector<std::string> words = {TORVEK_ONLINE_PLAYER, "--seed", std::to_string(seed), "--rounds",
                                      std::to_string(rounds), "--seconds", "200", "--state", state, "--"};
    words.insert(words.end(), options.begin(), options.end());
    return words;
}

// The room code the host's program prints once the relay made its room.
std::string Room_Of(Child &host)
{
    const std::string line = host.Line_Starting("TORVEK room ", START_SECONDS);
    return line.empty() ? "" : line.substr(line.rfind(' ') + 1);
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
    Child guest(Player(2, 1, {"--join", room + "@" + relay.url}));
    Child watcher(Player(3, 1, {"--watch", room + "@" + relay.url}));

    const Final hosted = Read_Final(host.Line_Starting("final ", MATCH_SECONDS));
    const Final joined = Read_Final(guest.Line_Starting("final ", MATCH_SECONDS));
    const Final watched = Read_Final(watcher.Line_Starting("final ", MATCH_SECONDS));
    EXPECT_EQ(host.Wait(START_SECONDS), 0);
    EXPECT_EQ(guest.Wait(START_SECONDS), 0);
    EXPECT_EQ(watcher.Wait(START_SECONDS), 0);
    ASSERT_EQ(hosted.solids + hosted.stripes, 1) << "the round was not won";
    EXPECT_GE(hosted.moves, 9);
    for (const Final *other : {&joined, &watched}) {
        EXPECT_EQ(other->hash, hosted.hash);
        EXPECT_EQ(other->solids, hosted.solids);
        EXPECT_EQ(other->stripes, hosted.stripes);
        EXPECT_EQ(other->moves, hosted.moves);
    }
    relay.program.Signal(SIGTERM);
    EXPECT_EQ(relay.program.Wait(START_SECONDS), 0);
}

}  // namespace
