#pragma once

#include "support/TempDir.h"

#include <string>
#include <sys/types.h>

// Runs ser2net, the serial server, on 127.0.0.1 in front of a device, from a configuration of its own:
// one port speaking telnet with the serial-port option (RFC 2217), one carrying the bytes raw. The ports
// are free ones chosen at construction and kept across a stop and a start. A missing ser2net fails the
// test that asks for it (Start returns false with the reason).
class Ser2Net {
public:
    explicit Ser2Net(const std::string& device);
    ~Ser2Net();
    Ser2Net(const Ser2Net&) = delete;
    Ser2Net& operator=(const Ser2Net&) = delete;

    // Returns once both ports listen (true), or with `why` filled.
    bool Start(std::string& why);
    // Returns once ser2net has ended and its ports are free.
    void Stop();

    std::string Rfc2217Name() const { return "rfc2217://127.0.0.1:" + std::to_string(m_rfc2217Port); }
    std::string TcpName() const { return "tcp://127.0.0.1:" + std::to_string(m_rawPort); }
    unsigned Rfc2217Port() const { return m_rfc2217Port; }

    // A local TCP port that nothing listens on.
    static unsigned FreePort();

private:
    TempDir m_dir;
    std::string m_device;
    unsigned m_rfc2217Port;
    unsigned m_rawPort;
    pid_t m_pid = -1;
};

// The device a port directory's COMn link points at ("/dev/pts/7").
std::string LinkTarget(const std::string& link);
