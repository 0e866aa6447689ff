#pragma once

#include <chrono>
#include <functional>
#include <string>

// Opens a TCP connection to a host by name or address within a time limit that covers the name lookup
// too, so a caller is never held longer than it allows, whatever the network or the name service does.
struct TcpConnectFailure {
    int errnoValue = 0; // ETIMEDOUT, ECONNREFUSED..., or 0 for a name that does not resolve
    std::string reason; // "connection refused", "no answer within 5 s", "name not found"...
};

// The connected socket (non-blocking, close-on-exec, with keep-alive probes so that a peer that vanished
// without closing is noticed), or -1 with `failure` filled.
int ConnectTcp(const std::string& host, unsigned port, std::chrono::milliseconds limit,
               TcpConnectFailure& failure);

// A check that the waits of the calling thread's connection attempts make every 100 ms (the lookup, the
// connect, and what a caller waits for after it): once it returns true the attempt gives up (ECANCELED),
// so a thread asked to stop is not held for the whole time limit. Per thread; empty: none.
void SetConnectAbandonCheck(std::function<bool()> check);
bool ConnectAbandoned();
// The slice those waits take between two checks.
constexpr std::chrono::milliseconds kAbandonCheckPeriod{100};
