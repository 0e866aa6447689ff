#include "framework/net/RemotePortName.h"

#include <gtest/gtest.h>

TEST(RemotePortName, ReadsBothSchemesAndEveryKindOfHost) {
    RemoteAddress address;
    ASSERT_TRUE(ParseRemotePortName("rfc2217://lab-pi:3001", address));
    EXPECT_EQ(address.protocol, RemoteAddress::Rfc2217);
    EXPECT_EQ(address.host, "lab-pi");
    EXPECT_EQ(address.port, 3001u);

    ASSERT_TRUE(ParseRemotePortName("tcp://10.0.0.5:4000", address));
    EXPECT_EQ(address.protocol, RemoteAddress::RawTcp);
    EXPECT_EQ(address.host, "10.0.0.5");

    ASSERT_TRUE(ParseRemotePortName("RFC2217://[::1]:65535", address));
    EXPECT_EQ(address.host, "::1");
    EXPECT_EQ(address.port, 65535u);
    EXPECT_EQ(HostAndPort(address), "[::1]:65535");
}

TEST(RemotePortName, RefusesWhatIsNoRemotePort) {
    for (const char* name :
         {"COM1", "/dev/ttyUSB0", "rfc2217://", "rfc2217://host", "rfc2217://host:", "rfc2217://:3001",
          "rfc2217://host:0", "rfc2217://host:65536", "rfc2217://host:30x", "rfc2217://::1:3001",
          "rfc2217://[::1]3001", "rfc2217://[zz]:3001", "rfc2217://host:3001/x", "rfc2217://ho st:3001",
          "ssh://host:22", "tcp://host:123456"}) {
        RemoteAddress address;
        EXPECT_FALSE(ParseRemotePortName(name, address)) << name;
        EXPECT_FALSE(IsRemotePortName(name)) << name;
    }
}

TEST(RemotePortName, DescribesThePortForLists) {
    RemoteAddress address;
    ASSERT_TRUE(ParseRemotePortName("rfc2217://lab-pi:3001", address));
    EXPECT_EQ(DescribeRemotePort(address), "remote, RFC 2217, lab-pi:3001");
    ASSERT_TRUE(ParseRemotePortName("tcp://[fe80::1]:4000", address));
    EXPECT_EQ(DescribeRemotePort(address), "remote, TCP, [fe80::1]:4000");
}
