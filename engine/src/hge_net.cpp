// The engine's Net_ calls: the one connection's state, its words after a
// failure or close, and the messages taken in at the start of each frame
// from the platform's network (hge_net.h).
#include "hge_net.h"

#include <cstring>

#include "hge_internal.h"

NetState net;

static const char NO_NETWORK[] = "there is no network on this platform";
static const char CLOSED_BY_GAME[] = "the connection was closed";

static const NetPlatform *Network()
{
    return platform->Network ? platform->Network() : nullptr;
}

void LogNetwork(const std::string &line)
{
    platform->Log("network: " + line);
}

static void Fail(const std::string &why)
{
    net.state = HGENET_FAILED;
    net.error = why;
    LogNetwork(why);
}

static void ForgetMessages()
{
    net.inbox.clear();
    net.next_message = 0;
    net.received.clear();
}

static bool Connected()
{
    return net.state == HGENET_CONNECTING || net.state == HGENET_OPEN;
}

bool HGE::Net_Connect(const char *url)
{
    const NetPlatform *network = Network();
    if (Connected() && network)
        network->Close();
    ForgetMessages();
    net.error.clear();
    net.url = url ? url : "";
    if (!network) {
        Fail(NO_NETWORK);
        return false;
    }
    std::string why;
    if (!network->Open(net.url, net.ca_file, &why)) {
        Fail(why);
        return false;
    }
    net.state = HGENET_CONNECTING;
    return true;
}

void HGE::Net_Send(const char *text)
{
    const size_t length = text ? std::strlen(text) : 0;
    if (!Connected()) {
        LogNetwork("not connected: a message of " + std::to_string(length) + " bytes is dropped");
        return;
    }
    if (length > HGENET_MAX_MESSAGE) {
        LogNetwork("a message of " + std::to_string(length) + " bytes is over the limit of " +
                   std::to_string(HGENET_MAX_MESSAGE) + " and is dropped");
        return;
    }
    Network()->Send(std::string(text, length));
}

const char *HGE::Net_Receive()
{
    if (net.next_message >= net.inbox.size())
        return nullptr;
    net.received = std::move(net.inbox[net.next_message++]);
    if (net.next_message == net.inbox.size()) {
        net.inbox.clear();
        net.next_message = 0;
    }
    return net.received.c_str();
}

int HGE::Net_GetState()
{
    return net.state;
}

const char *HGE::Net_GetError()
{
    return net.error.c_str();
}

void HGE::Net_Close()
{
    if (!Connected())
        return;
    Network()->Close();
    net.state = HGENET_CLOSED;
    net.error = CLOSED_BY_GAME;
    LogNetwork(std::string(CLOSED_BY_GAME) + " (" + net.url + ")");
}

bool HGE::Net_SetCertificates(const char *file)
{
    net.ca_file.clear();
    if (!file || !*file)
        return true;
    const NetPlatform *network = Network();
    std::string why = NO_NETWORK;
    if (!network || !network->CanTrust(file, &why)) {
        LogNetwork(why);
        return false;
    }
    net.ca_file = file;
    return true;
}

// A message holding a NUL could not be handed out whole as a C string.
static void TakeMessage(std::string &text)
{
    if (text.find('\0') != std::string::npos) {
        LogNetwork("a message holding a NUL character is dropped");
        return;
    }
    net.inbox.push_back(std::move(text));
}

static void TakeEvent(NetEvent &event)
{
    switch (event.kind) {
    case NetEvent::Kind::Opened:
        net.state = HGENET_OPEN;
        LogNetwork("connected to " + net.url);
        break;
    case NetEvent::Kind::Message: TakeMessage(event.text); break;
    case NetEvent::Kind::Ended:
        net.state = event.failed ? HGENET_FAILED : HGENET_CLOSED;
        net.error = event.text;
        LogNetwork(event.text + " (" + net.url + ")");
        break;
    }
}

void ReadNetwork()
{
    // Also after a close: the close itself goes on in the platform's Read.
    const NetPlatform *network = Network();
    if (!network)
        return;
    std::vector<NetEvent> events;
    network->Read(events);
    for (NetEvent &event : events)
        TakeEvent(event);
}

void StopNetwork()
{
    if (const NetPlatform *network = Network())
        network->Stop();
    // The authorities trusted are a choice of the game's, kept like a state.
    std::string ca_file = std::move(net.ca_file);
    net = NetState();
    net.ca_file = std::move(ca_file);
}
