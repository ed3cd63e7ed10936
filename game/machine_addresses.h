// This machine's IPv4 addresses, for the invite links of the game's own
// relay: machine_addresses_linux.cpp (getifaddrs) or
// machine_addresses_windows.cpp (GetAdaptersAddresses), chosen by CMake.
#pragma once

#include <string>
#include <vector>

// In the system's order, loopback last: a friend elsewhere needs one of the
// others. Only "127.0.0.1" when the system cannot list them.
std::vector<std::string> Machine_Addresses();
