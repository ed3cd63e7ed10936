// The network in a web browser: the browser's own WebSocket, through
// emscripten's WebSocket library. The browser calls back between frames,
// while the frame loop waits (hge_platform_web.cpp); what it reports is
// kept for the next frame's Read. The browser answers the server's pings,
// checks wss:// certificates against its own store alone (Net_SetCertificates
// cannot add to it), and tells a page nothing of why a connection failed:
// the words say only whether it was ever open.
#include "hge_net.h"

#include <emscripten.h>
#include <emscripten/websocket.h>

#include <memory>

#include "hge.h"

// The only close codes a page may send besides the 4000s of its own.
static constexpr unsigned short NORMAL_CLOSE = 1000;

// Why the browser would refuse to open a WebSocket at an address (it would
// throw, and a throw cannot cross into the program), as read by its own
// address parser: one of these, by number.
enum AddressFault { ADDRESS_OPENS, ADDRESS_UNREADABLE, ADDRESS_NOT_WEBSOCKET, ADDRESS_FRAGMENT, ADDRESS_INSECURE };

static const char *const fault_words[] = {
    "",
    "cannot be read",
    "is not a ws:// or wss:// address",
    "has a fragment (#), which a WebSocket address may not",
    "is not wss://, which a page loaded over https:// may connect to only",
};

EM_JS(int, FindAddressFault, (const char *text), {
    try {
        var address = new URL(UTF8ToString(text));
        if (address.protocol !== "ws:" && address.protocol !== "wss:")
            return 2;
        if (address.hash)
            return 3;
        if (address.protocol === "ws:" && location.protocol === "https:")
            return 4;
        return 0;
    } catch (error) {
        return 1;
    }
});

namespace {

struct WebLink {
    EMSCRIPTEN_WEBSOCKET_T socket = 0;
    bool open = false;
    bool ended = false;
    std::vector<std::string> waiting;  // sent before the connection opened
    std::vector<NetEvent> events;      // not yet read by the engine
};

}  // namespace

static std::unique_ptr<WebLink> current;

static void Report(WebLink &link, NetEvent::Kind kind, std::string text = "", bool failed = false)
{
    if (link.ended)
        return;
    link.ended = kind == NetEvent::Kind::Ended;
    link.events.push_back({kind, std::move(text), failed});
}

static EM_BOOL Opened(int, const EmscriptenWebSocketOpenEvent *, void *data)
{
    WebLink &link = *static_cast<WebLink *>(data);
    link.open = true;
    Report(link, NetEvent::Kind::Opened);
    for (const std::string &text : link.waiting)
        emscripten_websocket_send_utf8_text(link.socket, text.c_str());
    link.waiting.clear();
    return EM_TRUE;
}

static EM_BOOL Arrived(int, const EmscriptenWebSocketMessageEvent *event, void *data)
{
    WebLink &link = *static_cast<WebLink *>(data);
    if (!event->isText) {
        LogNetwork("a binary message from the relay is dropped");
        return EM_TRUE;
    }
    // The text comes with its terminating NUL.
    const size_t length = event->numBytes > 0 ? event->numBytes - 1 : 0;
    if (length > HGENET_MAX_MESSAGE) {
        Report(link, NetEvent::Kind::Ended,
               "the relay sent a message over the limit of " + std::to_string(HGENET_MAX_MESSAGE) + " bytes", true);
        emscripten_websocket_close(link.socket, NORMAL_CLOSE, "message too large");
        return EM_TRUE;
    }
    Report(link, NetEvent::Kind::Message, std::string(reinterpret_cast<const char *>(event->data), length));
    return EM_TRUE;
}

static EM_BOOL Closed(int, const EmscriptenWebSocketCloseEvent *event, void *data)
{
    WebLink &link = *static_cast<WebLink *>(data);
    if (!link.open)
        Report(link, NetEvent::Kind::Ended, "the relay cannot be reached", true);
    else if (!event->wasClean)
        Report(link, NetEvent::Kind::Ended, "the connection was lost", true);
    else if (event->reason[0])
        Report(link, NetEvent::Kind::Ended, std::string("the relay closed the connection: ") + event->reason);
    else
        Report(link, NetEvent::Kind::Ended, "the relay closed the connection");
    return EM_TRUE;
}

// The browser finishes the close on its own; the link's callbacks go with it.
static void DropCurrent()
{
    if (!current)
        return;
    emscripten_websocket_close(current->socket, NORMAL_CLOSE, "");
    emscripten_websocket_delete(current->socket);
    current.reset();
}

static bool Open(const std::string &url, const std::string &, std::string *why)
{
    const int fault = FindAddressFault(url.c_str());
    if (fault != ADDRESS_OPENS) {
        *why = "the address \"" + url + "\" " + fault_words[fault];
        return false;
    }
    DropCurrent();
    EmscriptenWebSocketCreateAttributes attributes;
    emscripten_websocket_init_create_attributes(&attributes);
    attributes.url = url.c_str();
    attributes.createOnMainThread = EM_TRUE;
    const EMSCRIPTEN_WEBSOCKET_T socket = emscripten_websocket_new(&attributes);
    if (socket <= 0) {
        *why = "this browser cannot open a WebSocket";
        return false;
    }
    current = std::make_unique<WebLink>();
    current->socket = socket;
    emscripten_websocket_set_onopen_callback(socket, current.get(), Opened);
    emscripten_websocket_set_onmessage_callback(socket, current.get(), Arrived);
    emscripten_websocket_set_onclose_callback(socket, current.get(), Closed);
    return true;
}

static void Send(const std::string &text)
{
    if (!current || current->ended)
        return;
    if (current->open)
        emscripten_websocket_send_utf8_text(current->socket, text.c_str());
    else
        current->waiting.push_back(text);
}

static void Read(std::vector<NetEvent> &events)
{
    if (!current)
        return;
    for (NetEvent &event : current->events)
        events.push_back(std::move(event));
    current->events.clear();
}

static bool CanTrust(const std::string &, std::string *why)
{
    *why = "a browser trusts only its own certificate authorities";
    return false;
}

static const NetPlatform web_network = {
    .Open = Open,
    .Send = Send,
    .Read = Read,
    .Close = DropCurrent,
    .Stop = DropCurrent,
    .CanTrust = CanTrust,
};

const NetPlatform *WebNetwork()
{
    return &web_network;
}
