// What a relay is started with: torvek-relay's command line, and the same
// fields filled by the game's --host. Read once at start, by main.
#pragma once

#include <string>
#include <vector>

#include "lobby.h"

constexpr unsigned short DEFAULT_RELAY_PORT = 7357;

struct Relay_Options {
    std::string address = "127.0.0.1";
    unsigned short port = DEFAULT_RELAY_PORT;
    std::string page_folder;  // empty: no page
    std::string tls_cert, tls_key;
    int room_wait_seconds = DEFAULT_ROOM_WAIT_SECONDS;
    std::vector<std::string> origins;  // besides the relay's own page
    std::vector<std::string> proxies;  // addresses whose X-Forwarded-For is believed
    std::string redis;  // where the rooms are kept; empty: in the relay's memory
    bool help = false;
    bool version = false;
};

extern const char RELAY_USAGE[];

// Reads the command line into `options`; false with a line on what is wrong.
bool Read_Relay_Options(int argc, const char *const *argv, Relay_Options &options, std::string &error);
// "ADDR:PORT", "[V6ADDR]:PORT" or ":PORT" (all addresses of this machine).
bool Read_Listen_Address(const std::string &text, std::string &address, unsigned short &port);
