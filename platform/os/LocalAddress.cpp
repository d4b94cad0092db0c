#include "platform/os/LocalAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <climits>

namespace {

std::string DottedQuad(const sockaddr* address) {
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    return inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) ? text : "";
}

// 127.0.0.0/8 whatever interface carries it.
bool IsLoopback(const std::string& address) { return address.rfind("127.", 0) == 0; }

std::vector<InterfaceAddress> Interfaces() {
    std::vector<InterfaceAddress> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        found.push_back({entry->ifa_name ? entry->ifa_name : "", DottedQuad(entry->ifa_addr),
                         (entry->ifa_flags & IFF_UP) != 0, (entry->ifa_flags & IFF_LOOPBACK) != 0});
    }
    freeifaddrs(list);
    return found;
}

std::vector<std::string> HostAddresses() {
    std::vector<std::string> found;
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0) return found;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0) return found;
    for (const addrinfo* entry = list; entry; entry = entry->ai_next)
        found.push_back(DottedQuad(entry->ai_addr));
    freeaddrinfo(list);
    return found;
}

}  // namespace

std::string ChooseLocalIPv4Address(const std::vector<InterfaceAddress>& interfaces,
                                   const std::vector<std::string>& hostAddresses) {
    for (const InterfaceAddress& entry : interfaces) {
        if (entry.up && !entry.loopback && !entry.address.empty() && !IsLoopback(entry.address))
            return entry.address;
    }
    for (const std::string& address : hostAddresses) {
        if (!address.empty() && !IsLoopback(address)) return address;
    }
    return "127.0.0.1";
}

std::string GetLocalIPv4Address() {
    const std::vector<InterfaceAddress> interfaces = Interfaces();
    const std::string chosen = ChooseLocalIPv4Address(interfaces, {});
    if (chosen != "127.0.0.1") return chosen;
    // Resolving the host name may wait on a name server: only when the interfaces gave nothing.
    return ChooseLocalIPv4Address({}, HostAddresses());
}
