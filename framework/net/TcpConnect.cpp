#include "framework/net/TcpConnect.h"

#include "framework/core/ThreadName.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

thread_local std::function<bool()> abandonCheck;

// The time to wait next: the rest until the deadline, at most one slice between two abandon checks.
std::chrono::milliseconds NextSlice(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return std::max(std::chrono::milliseconds(0), std::min(left, kAbandonCheckPeriod));
}

// A lookup runs on a thread of its own: the resolver has no time limit of its own, and a lookup that
// outlives the caller's limit finishes there and frees what it used.
struct Lookup {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    addrinfo* result = nullptr;
    ~Lookup() {
        if (result)
            freeaddrinfo(result);
    }
};

std::shared_ptr<Lookup> StartLookup(const std::string& host, unsigned port) {
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port] {
        NameCurrentThread("name-lookup");
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        // No AI_ADDRCONFIG: a machine whose only addresses are its loopback ones would find no
        // address for "localhost" or "::1"; an address the machine cannot reach fails at once below.
        addrinfo* result = nullptr;
        const int status = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &result);
        std::lock_guard<std::mutex> guard(lookup->lock);
        lookup->status = status;
        lookup->result = result;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    return lookup;
}

std::string Seconds(std::chrono::milliseconds limit) {
    const auto whole = limit.count() / 1000;
    return whole * 1000 == limit.count() ? std::to_string(whole) + " s"
                                         : std::to_string(limit.count()) + " ms";
}

void KeepAlive(int fd) {
    const int on = 1;
    const int idle = 10;
    const int interval = 5;
    const int count = 3;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

// One address: the socket once connected, else -1 with the errno.
int ConnectOne(const addrinfo& address, Clock::time_point deadline, int& error) {
    const int fd =
        socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (connect(fd, address.ai_addr, address.ai_addrlen) == 0) {
        KeepAlive(fd);
        return fd;
    }
    if (errno != EINPROGRESS) {
        error = errno;
        close(fd);
        return -1;
    }
    for (;;) {
        const auto slice = NextSlice(deadline);
        if (slice.count() <= 0 || ConnectAbandoned()) {
            error = slice.count() <= 0 ? ETIMEDOUT : ECANCELED;
            close(fd);
            return -1;
        }
        pollfd watched{fd, POLLOUT, 0};
        const int ready = poll(&watched, 1, static_cast<int>(slice.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue; // the deadline is checked above
        int pending = 0;
        socklen_t length = sizeof pending;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length) != 0)
            pending = errno;
        if (pending != 0) {
            error = pending;
            close(fd);
            return -1;
        }
        KeepAlive(fd);
        return fd;
    }
}

} // namespace

int ConnectTcp(const std::string& host, unsigned port, std::chrono::milliseconds limit,
               TcpConnectFailure& failure) {
    const auto deadline = Clock::now() + limit;
    const std::shared_ptr<Lookup> lookup = StartLookup(host, port);
    addrinfo* addresses = nullptr;
    {
        std::unique_lock<std::mutex> guard(lookup->lock);
        while (!lookup->finished) {
            const auto slice = NextSlice(deadline);
            if (slice.count() <= 0 || ConnectAbandoned()) {
                failure.errnoValue = slice.count() <= 0 ? ETIMEDOUT : ECANCELED;
                failure.reason = slice.count() <= 0 ? "name lookup took longer than " + Seconds(limit)
                                                    : std::string("given up");
                return -1;
            }
            lookup->done.wait_for(guard, slice);
        }
        if (lookup->status != 0) {
            failure.errnoValue = lookup->status == EAI_SYSTEM ? errno : 0;
            failure.reason = lookup->status == EAI_NONAME || lookup->status == EAI_NODATA
                                 ? std::string("name not found")
                                 : std::string(gai_strerror(lookup->status));
            return -1;
        }
        addresses = lookup->result;
    }
    int error = ETIMEDOUT;
    for (const addrinfo* address = addresses; address; address = address->ai_next) {
        const int fd = ConnectOne(*address, deadline, error);
        if (fd >= 0)
            return fd;
        if (error == ETIMEDOUT || error == ECANCELED)
            break;
    }
    failure.errnoValue = error;
    failure.reason = error == ETIMEDOUT   ? "no answer within " + Seconds(limit)
                     : error == ECANCELED ? std::string("given up")
                                          : std::string(std::strerror(error));
    return -1;
}

void SetConnectAbandonCheck(std::function<bool()> check) {
    abandonCheck = std::move(check);
}

bool ConnectAbandoned() {
    return abandonCheck && abandonCheck();
}
