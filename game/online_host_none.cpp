#include "online_host.h"

bool Start_Own_Relay(int, std::string *, std::vector<std::string> *, std::string *why)
{
    *why = "this build of TORVEK has no relay of its own: give --host the address of one";
    return false;
}

void Stop_Own_Relay() {}
