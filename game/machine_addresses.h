// This machine's IPv4 addresses, for the invite links of the game's own
// relay: machine_addresses_linux.cpp (getifaddrs) or
// machine_addresses_windows.cpp (GetAdaptersAddresses), chosen by CMake.
#pragma once

#include <string>
#include <vector>

// As text, in the system's order; empty when the system cannot list them.
std::vector<std::string> System_Addresses();
