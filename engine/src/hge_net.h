// The network behind the engine's Net_ calls: what a platform's network
// does (NetPlatform, one file per platform), and what the engine side
// (hge_net.cpp) keeps for the game between frames.
//
// The engine side calls a platform's network only from the game's thread:
// Open, Send and Close from the Net_ calls, Read at the start of every frame
// (ReadNetwork, from the frame loop), Stop from System_Shutdown. A platform
// whose network works elsewhere (a thread of its own) hands its events over
// under a lock in Read. Only the engine's sources include this header.
#pragma once

#include <string>
#include <vector>

// One thing that happened to the connection, reported in the order it happened.
struct NetEvent {
    enum class Kind {
        Opened,   // the WebSocket handshake is done
        Message,  // a text message arrived: `text`
        Ended,    // the connection is over, `text` says why: closed cleanly or, `failed`, not
    };
    Kind kind = Kind::Message;
    std::string text;
    bool failed = false;
};

struct NetPlatform {
    // From Net_Connect: drops the connection before, if any (closing it
    // cleanly in the background), and starts connecting to `url`, trusting
    // for wss:// the system's authorities and those in `ca_file` ("": none).
    // False, with the words in `why` and nothing started, for an address it
    // cannot read.
    bool (*Open)(const std::string &url, const std::string &ca_file, std::string *why);
    // From Net_Send: queues one text message, sent in order once open.
    void (*Send)(const std::string &text);
    // At the start of every frame: appends what happened to the connection
    // since the last call, in order; nothing of a connection dropped or
    // closed by the engine.
    void (*Read)(std::vector<NetEvent> &events);
    // From Net_Close: sends what is queued, then closes cleanly, in the
    // background and bounded in time; nothing of it is reported.
    void (*Close)();
    // From System_Shutdown: closes as Close does and waits a bounded time
    // for every close under way to finish, then lets everything go.
    void (*Stop)();
    // From Net_SetCertificates: whether the authorities in `file` can be
    // used; false with the words in `why` when not.
    bool (*CanTrust)(const std::string &file, std::string *why);
};

// What the engine side keeps of the connection for the frame function.
struct NetState {
    int state = 0;  // HGENET_CLOSED
    std::string error;
    std::string url;
    std::string ca_file;
    std::vector<std::string> inbox;  // messages taken in, not yet received
    size_t next_message = 0;         // the first of `inbox` not yet received
    std::string received;            // the text Net_Receive handed out last
};

extern NetState net;

// ---------------------------------------------------------------- hge_net.cpp
// Called by the frame loop at the start of every frame, with the input:
// takes in what the platform's network reports.
void ReadNetwork();
// Called by System_Shutdown: closes the connection cleanly, waiting a
// short while, and forgets it.
void StopNetwork();
// Writes one line of the network's to the engine's log.
void LogNetwork(const std::string &line);

// ---------------------------------------------------------------- one file per platform's network
// The platform's network, for its Platform's Network slot: Boost.Beast over
// Boost.Asio (hge_net_asio.cpp), WinHTTP (hge_net_winhttp.cpp) or the
// browser's WebSocket (hge_net_web.cpp).
const NetPlatform *AsioNetwork();
const NetPlatform *WinHttpNetwork();
const NetPlatform *WebNetwork();
