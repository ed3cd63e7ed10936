// The relay as the game runs it with --host: the library inside another
// program's loop rather than torvek-relay's own. `frames` polls it once every
// 16 ms like a frame loop; `thread` runs it on a thread of its own and stops
// it from the main thread. Either way SIGTERM (seen by the loop, as a game
// sees its quit) calls Stop, and the program exits 0 once the relay has
// stopped, printing its longest poll. Options after the mode are
// torvek-relay's. The relay's scenarios run a match through both.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "relay.h"

constexpr auto FRAME = std::chrono::milliseconds(16);
// A stop that never ends fails the scenario rather than hang it.
constexpr int STOP_FRAMES_MAX = 1000;

static volatile std::sig_atomic_t quit = 0;

static void Ask_To_Quit(int)
{
    quit = 1;
}

static int Run_In_Frames(Relay_Server &relay)
{
    double longest_ms = 0;
    int stop_frames = 0;
    while (!relay.Stopped() && stop_frames < STOP_FRAMES_MAX) {
        const auto began = std::chrono::steady_clock::now();
        relay.Poll();
        const double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
        longest_ms = took > longest_ms ? took : longest_ms;
        if (quit == 1) {
            relay.Stop();
            quit = 2;
        }
        stop_frames += quit == 2;
        std::this_thread::sleep_for(FRAME);
    }
    std::printf("embedded: longest poll %.1f ms\n", longest_ms);
    return relay.Stopped() ? 0 : 1;
}

static int Run_On_Thread(Relay_Server &relay)
{
    std::thread runner([&relay] { relay.Run(); });
    while (quit == 0)
        std::this_thread::sleep_for(FRAME);
    relay.Stop();
    runner.join();
    std::printf("embedded: stopped\n");
    return relay.Stopped() ? 0 : 1;
}

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    Relay_Options options;
    std::string error;
    if ((mode != "frames" && mode != "thread") || !Read_Relay_Options(argc - 1, argv + 1, options, error)) {
        std::fprintf(stderr, "usage: embedded_relay frames|thread [torvek-relay's options] %s\n", error.c_str());
        return 2;
    }
    Relay_Server relay(options);
    if (!relay.Start(error)) {
        std::fprintf(stderr, "embedded_relay: %s\n", error.c_str());
        return 2;
    }
    std::printf("torvek-relay: relaying on %s\n", relay.Relay_Url().c_str());
    std::fflush(stdout);
    std::signal(SIGTERM, Ask_To_Quit);
    const int status = mode == "frames" ? Run_In_Frames(relay) : Run_On_Thread(relay);
    std::fflush(stdout);
    return status;
}
