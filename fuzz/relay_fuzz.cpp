// Fuzz target: the relay's message handling (the lobby, the protocol and the
// room store) driven by four connections from two addresses, with no
// sockets. The input is a run of steps: a byte whose low two bits choose
// the connection and whose high bits what happens (a text message, a binary
// one, the connection dropped, the clock moved on), a length byte and that
// many bytes of message. In a message "@R" stands for the last room code and
// "@T" for the last seat token the relay gave out, so that random inputs get
// into rooms. After every step each message the relay sent must be a JSON
// object with a type, and no connection may have been sent a seat token it
// neither was given nor sent itself; a broken promise aborts.
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lobby.h"
#include "memory_store.h"

namespace {

constexpr int PEERS = 4;
constexpr int ADDRESSES = 2;
constexpr int ROOM_WAIT = 5;
constexpr std::size_t TOKEN_LENGTH = 32;

[[noreturn]] void Broken(const char *promise, const std::string &text)
{
    std::fprintf(stderr, "relay_fuzz: %s: %s\n", promise, text.c_str());
    std::abort();
}

struct Fuzz_Peer : Relay_Peer {
    void Send(std::string text) override { inbox.push_back(std::move(text)); }
    void Close(int, const char *) override { closing = true; }

    Connection_Id id = 0;
    bool closing = false;
    std::vector<std::string> inbox;
    std::set<std::string> tokens;  // given to it, or sent by it
};

struct World {
    Memory_Store store;
    Lobby lobby{store, Lobby_Settings{ROOM_WAIT, "fuzz"}};
    Fuzz_Peer peers[PEERS];
    Relay_Clock::time_point now = Relay_Clock::now();
    std::string last_room = "ABCD-EFGH";
    std::string last_token = std::string(TOKEN_LENGTH, '0');

    static std::string Address(int peer) { return "127.0.0." + std::to_string(1 + peer % ADDRESSES); }

    Fuzz_Peer &Peer(int index)
    {
        Fuzz_Peer &peer = peers[index];
        if (!peer.id) {
            lobby.Admit(Address(index));
            peer.id = lobby.Open(peer, Address(index));
        }
        return peer;
    }

    void Drop(int index)
    {
        Fuzz_Peer &peer = peers[index];
        if (!peer.id)
            return;
        lobby.Close(peer.id, now);
        lobby.Release(Address(index));
        peer.id = 0;
        peer.closing = false;
    }
};

std::string Substitute(std::string text, const World &world)
{
    for (std::size_t at = text.find('@'); at != std::string::npos && at + 1 < text.size(); at = text.find('@', at + 1)) {
        if (text[at + 1] == 'R')
            text.replace(at, 2, world.last_room);
        else if (text[at + 1] == 'T')
            text.replace(at, 2, world.last_token);
    }
    return text;
}

void Check_Inbox(World &world, Fuzz_Peer &peer)
{
    for (const std::string &text : peer.inbox) {
        const auto message = nlohmann::json::parse(text, nullptr, false);
        if (message.is_discarded() || !message.is_object() || !message.contains("type") ||
            !message["type"].is_string())
            Broken("a message that is no JSON object with a type", text);
        const std::string type = message["type"];
        if ((type == "created" || type == "joined") && message.contains("token")) {
            peer.tokens.insert(message["token"].get<std::string>());
            world.last_token = message["token"];
        }
        if (message.contains("room") && message["room"].is_string())
            world.last_room = message["room"];
        for (const Fuzz_Peer &other : world.peers)
            for (const std::string &token : other.tokens)
                if (!peer.tokens.count(token) && text.find(token) != std::string::npos)
                    Broken("a seat token sent to a connection that does not hold it", text);
    }
    peer.inbox.clear();
}

enum Step { STEP_TEXT, STEP_BINARY, STEP_DROP, STEP_CLOCK };

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    World world;
    std::size_t at = 0;
    while (at + 2 <= size) {
        const int peer_index = data[at] & 3;
        const int step = (data[at] >> 2) & 3;
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const std::string bytes(reinterpret_cast<const char *>(data + at + 2), length);
        at += 2 + length;
        if (step == STEP_DROP) {
            world.Drop(peer_index);
            continue;
        }
        if (step == STEP_CLOCK) {
            world.now += std::chrono::seconds(length);
            world.lobby.Tick(world.now);
            continue;
        }
        Fuzz_Peer &peer = world.Peer(peer_index);
        const std::string text = Substitute(bytes, world);
        // Whatever token a connection sends, it knows.
        for (const Fuzz_Peer &other : world.peers)
            for (const std::string &token : other.tokens)
                if (text.find(token) != std::string::npos)
                    peer.tokens.insert(token);
        world.lobby.Receive(peer.id, text, step == STEP_BINARY, world.now);
        for (int i = 0; i < PEERS; ++i) {
            Check_Inbox(world, world.peers[i]);
            if (world.peers[i].closing)
                world.Drop(i);
        }
    }
    world.lobby.Shutdown();
    for (Fuzz_Peer &peer : world.peers)
        Check_Inbox(world, peer);
    return 0;
}
