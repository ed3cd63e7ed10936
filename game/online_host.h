// The game's own relay for --host without an address: the same relay as
// torvek-relay, run on a thread of its own inside the game, so that a home
// network needs no server. Builds without it (the browser's) say so.
#pragma once

#include <string>
#include <vector>

// Called by the online client when N makes the room. Listens on every
// address of this machine at port 7357, or the next free one; gives the
// address the game itself connects to and the machine's addresses with the
// port ("192.168.1.20:7357"), for the invite links. False with the words
// in *why when it cannot.
bool Start_Own_Relay(int room_wait, std::string *relay_url, std::vector<std::string> *hosts,
                     std::string *why);
// Called when the program ends: every connection closed, the thread joined.
void Stop_Own_Relay();
