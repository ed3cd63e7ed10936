// torvek-relay: the relay for online matches on its own. Reads the command
// line, starts the relay, prints where it listens and runs it until SIGINT
// or SIGTERM, which close every connection cleanly and exit 0.
#include <cstdio>
#include <string>

#include "redis_store.h"
#include "relay.h"

constexpr int EXIT_USAGE = 2;

int main(int argc, char **argv)
{
    Relay_Options options;
    std::string error;
    if (!Read_Relay_Options(argc, argv, options, error)) {
        std::fprintf(stderr, "torvek-relay: %s (see --help)\n", error.c_str());
        return EXIT_USAGE;
    }
    if (options.help) {
        std::fputs(RELAY_USAGE, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("torvek-relay %s\n", TORVEK_VERSION);
        return 0;
    }
    Store_Maker make_store;
    Redis_Address redis;
    if (!options.redis.empty()) {
        if (!Read_Redis_Address(options.redis, redis)) {
            std::fprintf(stderr, "torvek-relay: --redis takes IP:PORT, redis://IP[:PORT] or unix:PATH, not %s\n",
                         options.redis.c_str());
            return EXIT_USAGE;
        }
        make_store = [&redis, &options](boost::asio::io_context &io) {
            auto store = std::make_unique<Redis_Store>(io, redis, std::chrono::seconds(options.room_wait_seconds));
            store->Start();
            return store;
        };
    }
    Relay_Server relay(options, make_store);
    if (!relay.Start(error)) {
        std::fprintf(stderr, "torvek-relay: %s\n", error.c_str());
        return EXIT_USAGE;
    }
    std::printf("torvek-relay: relaying on %s\n", relay.Relay_Url().c_str());
    if (!relay.Page_Url().empty())
        std::printf("torvek-relay: page on %s\n", relay.Page_Url().c_str());
    std::fflush(stdout);
    relay.Stop_On_Signals();
    relay.Run();
    return 0;
}
