#include "serve/network_addresses.hpp"

#ifndef _WIN32
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#endif

namespace kdb2mid {

std::vector<InterfaceAddress> interfaceAddresses() {
    std::vector<InterfaceAddress> found;
#ifndef _WIN32
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return found;
    for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
        if (item->ifa_addr == nullptr) continue;
        const int family = item->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) continue;
        char text[INET6_ADDRSTRLEN] = {};
        const void* raw =
            family == AF_INET
                ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(item->ifa_addr)->sin_addr)
                : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(item->ifa_addr)->sin6_addr);
        if (::inet_ntop(family, raw, text, sizeof text) == nullptr) continue;
        found.push_back({text, family == AF_INET, (item->ifa_flags & IFF_LOOPBACK) != 0,
                         (item->ifa_flags & IFF_UP) != 0});
    }
    ::freeifaddrs(list);
#endif
    return found;
}

bool ipv4Address(const std::string& text) {
#ifdef _WIN32
    return text == "127.0.0.1";
#else
    in_addr parsed{};
    return ::inet_pton(AF_INET, text.c_str(), &parsed) == 1;
#endif
}

std::optional<std::string> joinAddress(const std::vector<InterfaceAddress>& addresses) {
    for (const InterfaceAddress& address : addresses) {
        if (address.ipv4 && address.up && !address.loopback) return address.address;
    }
    return std::nullopt;
}

}  // namespace kdb2mid
