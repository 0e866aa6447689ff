#pragma once

#include <string>

// A serial port on another machine, shared over the network (by ser2net, for one): "rfc2217://HOST:PORT"
// speaks telnet with the serial-port control option, "tcp://HOST:PORT" carries the bytes as they are. HOST
// is a name, an IPv4 address or an IPv6 address in brackets ("rfc2217://[::1]:3001").
struct RemoteAddress {
    enum Protocol { Rfc2217, RawTcp };
    Protocol protocol = Rfc2217;
    std::string host; // without the brackets of an IPv6 address
    unsigned port = 0;
};

// False, leaving `address` alone, for anything that is not such a name: another scheme, no host, a port
// that is not a number from 1 to 65535, an IPv6 address without brackets, or anything after the port.
bool ParseRemotePortName(const std::string& name, RemoteAddress& address);
bool IsRemotePortName(const std::string& name);

// "lab-pi:3001", "[::1]:3001".
std::string HostAndPort(const RemoteAddress& address);

// What the port is, for lists and tool tips: "remote, RFC 2217, lab-pi:3001", "remote, TCP, 10.0.0.5:4000".
std::string DescribeRemotePort(const RemoteAddress& address);
