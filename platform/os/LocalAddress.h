#pragma once
// The address other machines reach this one at, as players are told it ("mms://address:port"):
// the first IPv4 address of an interface that is up and is not the loopback, else the first
// non-loopback IPv4 address the host name resolves to, else "127.0.0.1".
#include <string>
#include <vector>

std::string GetLocalIPv4Address();

// The choice itself, over what the interfaces and the host name gave (dotted quads, in order).
struct InterfaceAddress {
    std::string name;     // "eth0"
    std::string address;  // "192.168.1.20"
    bool up = false;
    bool loopback = false;
};
std::string ChooseLocalIPv4Address(const std::vector<InterfaceAddress>& interfaces,
                                   const std::vector<std::string>& hostAddresses);
