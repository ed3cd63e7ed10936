#include "machine_addresses.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <memory>

// The list's size is asked for and may grow before it is fetched: a few tries.
constexpr int LIST_TRIES = 3;
constexpr ULONG LIST_FIRST_SIZE = 16 * 1024;
constexpr ULONG LIST_FLAGS = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;

static std::unique_ptr<unsigned char[]> Adapter_List()
{
    ULONG size = LIST_FIRST_SIZE;
    for (int tried = 0; tried < LIST_TRIES; ++tried) {
        auto list = std::make_unique<unsigned char[]>(size);
        const ULONG result = GetAdaptersAddresses(AF_INET, LIST_FLAGS, nullptr,
                                                  reinterpret_cast<IP_ADAPTER_ADDRESSES *>(list.get()), &size);
        if (result == ERROR_SUCCESS)
            return list;
        if (result != ERROR_BUFFER_OVERFLOW)
            return nullptr;
    }
    return nullptr;
}

std::vector<std::string> System_Addresses()
{
    std::vector<std::string> found;
    const auto list = Adapter_List();
    if (!list)
        return found;
    auto *adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES *>(list.get());
    for (; adapter; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp)
            continue;
        for (auto *unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const sockaddr *address = unicast->Address.lpSockaddr;
            if (!address || address->sa_family != AF_INET)
                continue;
            char text[INET_ADDRSTRLEN];
            if (!inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(address)->sin_addr, text, sizeof text))
                continue;
            found.push_back(text);
        }
    }
    return found;
}
