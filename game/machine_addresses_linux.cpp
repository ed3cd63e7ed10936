#include "machine_addresses.h"

#include <ifaddrs.h>
#include <netdb.h>
#include <sys/socket.h>

std::vector<std::string> Machine_Addresses()
{
    std::vector<std::string> found, loopback;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return {"127.0.0.1"};
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char text[NI_MAXHOST];
        if (getnameinfo(entry->ifa_addr, sizeof(sockaddr_in), text, sizeof text, nullptr, 0,
                        NI_NUMERICHOST) != 0)
            continue;
        const std::string address = text;
        (address.rfind("127.", 0) == 0 ? loopback : found).push_back(address);
    }
    freeifaddrs(list);
    found.insert(found.end(), loopback.begin(), loopback.end());
    return found;
}
