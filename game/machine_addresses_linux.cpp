#include "machine_addresses.h"

#include <ifaddrs.h>
#include <netdb.h>
#include <sys/socket.h>

std::vector<std::string> System_Addresses()
{
    std::vector<std::string> found;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return found;
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char text[NI_MAXHOST];
        if (getnameinfo(entry->ifa_addr, sizeof(sockaddr_in), text, sizeof text, nullptr, 0,
                        NI_NUMERICHOST) != 0)
            continue;
        found.push_back(text);
    }
    freeifaddrs(list);
    return found;
}
