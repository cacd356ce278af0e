// This machine's own network addresses, as the system lists its interfaces:
// what a Host header may name when the server listens beyond loopback, and
// the address phones join at.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kdb2mid {

struct InterfaceAddress {
    std::string address;  // "192.168.1.20", "fe80::1" (no brackets, no zone)
    bool ipv4 = false;
    bool loopback = false;
    bool up = false;
};

// Every address of every interface; none where the system does not say.
std::vector<InterfaceAddress> interfaceAddresses();

// Whether text is an IPv4 address in dotted form ("0.0.0.0": every one).
bool ipv4Address(const std::string& text);

// The address phones are given: the first IPv4 address of an interface that
// is up and not loopback; nothing when there is none.
std::optional<std::string> joinAddress(const std::vector<InterfaceAddress>& addresses);

}  // namespace kdb2mid
