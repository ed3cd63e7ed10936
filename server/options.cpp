#include "options.h"

#include <charconv>

const char RELAY_USAGE[] =
    "Usage: torvek-relay [options]\n"
    "\n"
    "The relay for online matches of TORVEK: two players on any two machines\n"
    "play one match through it, and it checks every move with the game's rules.\n"
    "\n"
    "Options:\n"
    "  --listen ADDR:PORT   listen there (default 127.0.0.1:7357; port 0 picks one)\n"
    "  --page DIR           also serve the web page in DIR on the same port\n"
    "  --tls-cert FILE      serve wss:// and https:// with this certificate chain\n"
    "  --tls-key FILE       and this private key (both PEM; both or neither)\n"
    "  --room-wait S        how long a room waits for a lost player (default 600)\n"
    "  --origin ORIGIN      also accept browsers from ORIGIN (may be repeated)\n"
    "  --proxy ADDR         a proxy in front: its X-Forwarded-For names the\n"
    "                       client's address (may be repeated)\n"
    "  --redis ADDRESS      keep the rooms in Redis, shared with other relays:\n"
    "                       HOST:PORT, redis://[:PASSWORD@]HOST[:PORT] or unix:PATH\n"
    "  -h, --help           show this help and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "The protocol and its limits: docs/online.md.\n";

constexpr int ROOM_WAIT_MAX_SECONDS = 7 * 24 * 3600;

static bool Read_Number(const std::string &text, long long lowest, long long highest, long long &value)
{
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && value >= lowest && value <= highest;
}

bool Read_Listen_Address(const std::string &text, std::string &address, unsigned short &port)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    else if (host.find(':') != std::string::npos)
        return false;
    long long number;
    if (!Read_Number(text.substr(colon + 1), 0, 65535, number))
        return false;
    address = host.empty() ? "0.0.0.0" : host;
    port = static_cast<unsigned short>(number);
    return true;
}

static bool Option_Value(int argc, const char *const *argv, int &i, std::string &value, std::string &error)
{
    if (i + 1 >= argc) {
        error = std::string(argv[i]) + " needs a value";
        return false;
    }
    value = argv[++i];
    return true;
}

static bool Read_Option(int argc, const char *const *argv, int &i, Relay_Options &options, std::string &error)
{
    const std::string name = argv[i];
    if (name == "-h" || name == "--help") {
        options.help = true;
        return true;
    }
    if (name == "--version") {
        options.version = true;
        return true;
    }
    std::string value;
    if (name != "--listen" && name != "--page" && name != "--tls-cert" && name != "--tls-key" &&
        name != "--room-wait" && name != "--origin" && name != "--redis" &&
        name != "--proxy") {
        error = "unknown option " + name;
        return false;
    }
    if (!Option_Value(argc, argv, i, value, error))
        return false;
    if (name == "--listen" && !Read_Listen_Address(value, options.address, options.port)) {
        error = "--listen takes ADDR:PORT, not " + value;
        return false;
    }
    long long seconds;
    if (name == "--room-wait") {
        if (!Read_Number(value, 0, ROOM_WAIT_MAX_SECONDS, seconds)) {
            error = "--room-wait takes seconds from 0 to " + std::to_string(ROOM_WAIT_MAX_SECONDS);
            return false;
        }
        options.room_wait_seconds = static_cast<int>(seconds);
    }
    if (name == "--page")
        options.page_folder = value;
    if (name == "--tls-cert")
        options.tls_cert = value;
    if (name == "--tls-key")
        options.tls_key = value;
    if (name == "--origin")
        options.origins.push_back(value);
    if (name == "--proxy")
        options.proxies.push_back(value);
    if (name == "--redis")
        options.redis = value;
    return true;
}

bool Read_Relay_Options(int argc, const char *const *argv, Relay_Options &options, std::string &error)
{
    for (int i = 1; i < argc; ++i)
        if (!Read_Option(argc, argv, i, options, error))
            return false;
    if (options.tls_cert.empty() != options.tls_key.empty()) {
        error = "--tls-cert and --tls-key go together";
        return false;
    }
    return true;
}
