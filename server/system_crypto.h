// What the rooms take from the operating system's own cryptography: random
// bytes, SHA-256 and a comparison in constant time. One file per system
// (system_crypto_linux.cpp, system_crypto_windows.cpp), chosen by CMake.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

using Sha256_Digest = std::array<unsigned char, 32>;

// Fills `out` from the system's random source; aborts the program if the
// system has none to give, rather than hand out guessable codes.
void Random_Fill(unsigned char *out, std::size_t count);

Sha256_Digest Sha256(std::string_view data);

// Compares in a time that does not depend on where the two first differ.
bool Same_Bytes(const void *a, const void *b, std::size_t count);
