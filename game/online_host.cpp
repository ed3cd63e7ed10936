#include "online_host.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "machine_addresses.h"
#include "relay.h"

// Ports tried from 7357 on before --host gives up.
constexpr int PORTS_TRIED = 20;

static std::unique_ptr<Relay_Server> own_relay;
static std::thread own_relay_thread;

// The addresses of the invite links, loopback last: a friend elsewhere needs one of the others.
static std::vector<std::string> Invite_Addresses()
{
    std::vector<std::string> addresses = System_Addresses();
    if (addresses.empty())
        return {"127.0.0.1"};
    std::stable_partition(addresses.begin(), addresses.end(),
                          [](const std::string &address) { return address.rfind("127.", 0) != 0; });
    return addresses;
}

bool Start_Own_Relay(int room_wait, std::string *relay_url, std::vector<std::string> *hosts,
                     std::string *why)
{
    Relay_Options options;
    options.address = "0.0.0.0";
    if (room_wait > 0)
        options.room_wait_seconds = room_wait;
    for (int tried = 0; tried < PORTS_TRIED; ++tried) {
        options.port = static_cast<unsigned short>(DEFAULT_RELAY_PORT + tried);
        auto relay = std::make_unique<Relay_Server>(options);
        if (!relay->Start(*why))
            continue;
        const std::string port = std::to_string(relay->Port());
        *relay_url = "ws://127.0.0.1:" + port + "/";
        hosts->clear();
        for (const std::string &address : Invite_Addresses())
            hosts->push_back(address + ":" + port);
        own_relay = std::move(relay);
        own_relay_thread = std::thread([] { own_relay->Run(); });
        return true;
    }
    return false;
}

void Stop_Own_Relay()
{
    if (!own_relay)
        return;
    own_relay->Stop();
    if (own_relay_thread.joinable())
        own_relay_thread.join();
    own_relay.reset();
}
