#include "framework/net/TcpConnect.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A listening socket on the loopback address, at a port of the system's choosing.
struct Listener {
    Listener() {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        listen(fd, 4);
    }
    ~Listener() { close(fd); }
    int fd = -1;
    unsigned port = 0;
};

} // namespace

TEST(TcpConnect, ReachesAListenerByNameAndByAddress) {
    Listener listener;
    for (const char* host : {"localhost", "127.0.0.1"}) {
        TcpConnectFailure failure;
        const int fd = ConnectTcp(host, listener.port, 5000ms, failure);
        EXPECT_GE(fd, 0) << host << ": " << failure.reason;
        if (fd >= 0)
            close(fd);
    }
}

TEST(TcpConnect, ARefusalAndAnUnknownNameAreToldApart) {
    unsigned closedPort = 0;
    {
        Listener gone;
        closedPort = gone.port;
    }
    TcpConnectFailure refused;
    EXPECT_LT(ConnectTcp("127.0.0.1", closedPort, 5000ms, refused), 0);
    EXPECT_EQ(refused.errnoValue, ECONNREFUSED);
    EXPECT_EQ(refused.reason, "Connection refused");

    TcpConnectFailure unknown;
    EXPECT_LT(ConnectTcp("no-such-host.invalid", 3001, 5000ms, unknown), 0);
    EXPECT_EQ(unknown.errnoValue, 0);
    EXPECT_EQ(unknown.reason, "name not found");
}
