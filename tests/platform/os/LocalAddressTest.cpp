// The machine's address for players: interfaces first, then the host name, then the loopback.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include "platform/os/LocalAddress.h"

TEST(LocalAddress, FirstUpInterfaceThatIsNotTheLoopback) {
    const std::vector<InterfaceAddress> interfaces{
        {"lo", "127.0.0.1", true, true},
        {"docker0", "172.17.0.1", false, false},  // down
        {"tun0", "127.0.1.1", true, false},       // a loopback address on another interface
        {"eth0", "192.168.1.20", true, false},
        {"wlan0", "10.0.0.7", true, false},
    };
    EXPECT_EQ(ChooseLocalIPv4Address(interfaces, {"10.9.9.9"}), "192.168.1.20");
}

TEST(LocalAddress, HostNameThenLoopbackWhenNoInterfaceServes) {
    const std::vector<InterfaceAddress> onlyLoopback{{"lo", "127.0.0.1", true, true}};
    EXPECT_EQ(ChooseLocalIPv4Address(onlyLoopback, {"127.0.1.1", "10.1.2.3"}), "10.1.2.3");
    EXPECT_EQ(ChooseLocalIPv4Address(onlyLoopback, {"127.0.1.1"}), "127.0.0.1");
    EXPECT_EQ(ChooseLocalIPv4Address({}, {}), "127.0.0.1");
}

TEST(LocalAddress, ThisMachineGivesADottedQuad) {
    const std::string address = GetLocalIPv4Address();
    in_addr parsed{};
    EXPECT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
}
